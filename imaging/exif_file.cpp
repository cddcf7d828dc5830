#include "imaging/exif_file.h"

#include "platform/byte_reader.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <atomic>
#include <unordered_set>

namespace {


constexpr uint32_t kRawMagicQ = 0x00544B51; // NUL "TKQ"
constexpr uint32_t kRawMagicJ = 0x00544B4A; // NUL "TKJ"
constexpr uint32_t kRawTiffBlock = 0x00545457; // NUL "TTW"

uint32_t Be32(const BYTE* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Reads exactly count bytes or reports false.
bool ReadExact(CFile& file, void* buffer, size_t count)
{
    return file.Read(buffer, count) == count;
}

std::atomic<uint64_t> g_maxTiffBytes{CExifFile::kMaxTiffBytes};

} // namespace

uint64_t CExifFile::MaxTiffBytes() { return g_maxTiffBytes.load(std::memory_order_relaxed); }
void CExifFile::SetMaxTiffBytes(uint64_t bytes) { g_maxTiffBytes.store(bytes, std::memory_order_relaxed); }

CExifFile::CExifFile() = default;

CExifFile::~CExifFile() = default;

// ---- entry list -------------------------------------------------------------

namespace {

bool Matches(const CExifEntry& e, int directory, int subDirectory)
{
    return e.m_directory == directory && (subDirectory == 0 || e.m_subDirectory == subDirectory);
}

} // namespace

CExifEntry* CExifFile::FindFirstEntry(int directory, int subDirectory, const CExifEntry* start) const
{
    auto it = m_entries.begin();
    if (start)
        it = std::find_if(it, m_entries.end(), [start](const auto& e) { return e.get() == start; });
    for (; it != m_entries.end(); ++it)
        if (Matches(**it, directory, subDirectory))
            return it->get();
    return nullptr;
}

size_t CExifFile::EndOfFirstRun(int directory) const
{
    auto first = std::find_if(m_entries.begin(), m_entries.end(),
                              [directory](const auto& e) { return e->m_directory == directory; });
    if (first == m_entries.end())
        return 0;
    auto end = std::find_if(first, m_entries.end(), [directory](const auto& e) { return e->m_directory != directory; });
    return static_cast<size_t>(end - m_entries.begin());
}

CExifEntry* CExifFile::FindLastEntryOfDirectory(int directory) const
{
    const size_t end = EndOfFirstRun(directory);
    return end == 0 ? nullptr : m_entries[end - 1].get();
}

CExifEntry* CExifFile::FindEntry(WORD tag, int directory, int subDirectory) const
{
    for (const auto& e : m_entries)
        if (e->m_tag == tag && Matches(*e, directory, subDirectory))
            return e.get();
    return nullptr;
}

int CExifFile::CountEntries(int directory, int subDirectory) const
{
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(), [&](const auto& e) {
        return e->m_directory == directory && e->m_subDirectory == subDirectory;
    }));
}

void CExifFile::RemoveEntry(const CExifEntry* entry)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [entry](const auto& e) { return e.get() == entry; });
    if (it != m_entries.end())
        m_entries.erase(it);
}

void CExifFile::RemoveAllEntries()
{
    m_entries.clear();
}

CExifEntry* CExifFile::InsertEntry(std::unique_ptr<CExifEntry> entry)
{
    if (!entry)
        return nullptr;
    entry->m_owner = this;
    // In front of the first entry of its run with a greater tag, else behind the run's last.
    auto at = m_entries.end();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        const CExifEntry& e = **it;
        if (e.m_directory != entry->m_directory || e.m_subDirectory != entry->m_subDirectory)
            continue;
        if (e.m_tag > entry->m_tag) {
            at = it;
            break;
        }
        at = it + 1;
    }
    return m_entries.insert(at, std::move(entry))->get();
}

// ---- the attached stream ------------------------------------------------------

short CExifFile::ReadU16(WORD& out)
{
    BYTE b[2];
    if (!m_stream || m_stream->Read(b, 2) != 2)
        return -1;
    out = m_bigEndian ? WORD(b[0] << 8 | b[1]) : WORD(b[1] << 8 | b[0]);
    return 0;
}

short CExifFile::ReadU32(DWORD& out)
{
    BYTE b[4];
    if (!m_stream || m_stream->Read(b, 4) != 4)
        return -1;
    out = m_bigEndian ? Be32(b) : (DWORD(b[3]) << 24 | DWORD(b[2]) << 16 | DWORD(b[1]) << 8 | b[0]);
    return 0;
}

size_t CExifFile::Read(void* buffer, size_t count)
{
    return m_stream ? m_stream->Read(buffer, count) : 0;
}

void CExifFile::Seek(int64_t position, int origin)
{
    if (!m_stream)
        return;
    switch (origin) {
    case 0: m_stream->Seek(position, CFile::begin); break;
    case 1: m_stream->Seek(position, CFile::current); break;
    case 2: m_stream->Seek(m_base + position, CFile::begin); break;
    default: break;
    }
}

uint64_t CExifFile::GetPosition() const
{
    return m_stream ? m_stream->GetPosition() : 0;
}

size_t CExifFile::Write(const void* buffer, size_t count)
{
    if (!m_stream)
        return 0;
    try {
        m_stream->Write(buffer, count);
    } catch (const CException&) {
        return 0;
    }
    return count;
}

uint64_t CExifFile::GetLength() const
{
    return m_stream ? m_stream->GetLength() : 0;
}

void CExifFile::SetLength(uint64_t length)
{
    if (m_stream)
        m_stream->SetLength(length);
}

// ---- reading --------------------------------------------------------------------

short CExifFile::Attach(CFile* stream, int kind)
{
    m_stream = stream;
    m_fileKind = kind;
    return Parse(kind);
}

short CExifFile::Parse(int kind)
{
    if (kind < kExifJpeg || kind > kExifRaw || !m_stream)
        return -1;
    m_fileKind = kind;
    RemoveAllEntries();
    m_tiff.clear();
    m_app1Length = 0;
    m_directorySpans.clear();
    m_valueBytes = 0;
    short result = -1;
    uint64_t start = 0;
    try {
        start = m_stream->GetPosition();
        result = ReadMetadata(kind);
    } catch (const CFileException&) {
        result = -1;
    } catch (const CMemoryException&) {
        throw;
    } catch (const CException&) {
        result = -1;
    }
    try {
        m_stream->Seek(static_cast<int64_t>(start), CFile::begin);
        CollectColorProfile(kind);
        m_stream->Seek(static_cast<int64_t>(start), CFile::begin);
    } catch (const CFileException&) {
        // a stream that fails here simply has no profile
    }
    return result;
}

bool CExifFile::LoadTiffArea(int kind, TiffArea& area, uint64_t limit)
{
    CFile& file = *m_stream;
    const uint64_t length = file.GetLength();
    BYTE head[8];
    if (kind == kExifJpeg) {
        const uint64_t start = file.GetPosition();
        const auto segment = FindExifSegment(file);
        if (!segment || segment->length < 8)
            return false;
        area.app1Length = segment->length;
        // The TIFF structure of a JPEG ends with its APP1 segment.
        limit = std::min<uint64_t>(limit, segment->length - 8);
        file.Seek(static_cast<int64_t>(start + segment->Base()), CFile::begin);
    } else if (kind == kExifRaw) {
        if (!ReadExact(file, head, 8))
            return false;
        uint32_t magic = Be32(head);
        if (magic != kRawMagicQ && magic != kRawMagicJ)
            return false;
        for (;;) {
            if (!ReadExact(file, head, 8))
                return false;
            uint32_t blockLength = Be32(head + 4);
            if (Be32(head) == kRawTiffBlock)
                break;
            uint64_t at = file.GetPosition();
            if (blockLength > length - std::min(length, at))
                return false;
            file.Seek(blockLength, CFile::current);
        }
    }
    area.base = static_cast<int64_t>(file.GetPosition());
    const uint64_t at = static_cast<uint64_t>(area.base);
    const uint64_t want = std::min(limit, length - std::min(length, at));
    if (want > MaxTiffBytes())
        return false;
    area.bytes.resize(static_cast<size_t>(want));
    area.bytes.resize(file.Read(area.bytes.data(), area.bytes.size()));
    return true;
}

short CExifFile::ReadMetadata(int kind)
{
    m_bigEndian = true;
    TiffArea area;
    if (!LoadTiffArea(kind, area, UINT64_MAX))
        return -1;
    m_base = area.base;
    m_tiff = std::move(area.bytes);
    m_app1Length = area.app1Length;

    ByteReader reader(m_tiff, true);
    if (m_tiff.size() < 8)
        return -1;
    m_bigEndian = m_tiff[0] == 'M' && m_tiff[1] == 'M';
    reader.SetBigEndian(m_bigEndian);
    uint32_t first = *reader.U32At(4);

    // The main chain; a loop or an endless chain ends it.
    std::unordered_set<uint32_t> visited;
    uint32_t offset = first ? first : 8;
    for (int n = 0; n < kMaxChainDirectories; ++n) {
        if (!visited.insert(offset).second)
            break;
        uint32_t next = 0;
        if (ReadDirectoryAt(reader, offset, static_cast<WORD>(n), kSubMain, m_entries.size(), next) != 0 || next == 0)
            break;
        offset = next;
    }

    // A sub-directory's run stands behind the first run of directory 0.
    auto readSub = [&](WORD pointerTag, WORD sub) {
        // A pointer is one LONG; anything else points nowhere.
        CExifEntry* pointer = FindEntry(pointerTag, 0, 0);
        if (!pointer || pointer->m_type != 4 || pointer->m_count != 1)
            return false;
        uint32_t next = 0;
        ReadDirectoryAt(reader, pointer->GetLong(0), 0, sub, EndOfFirstRun(0), next);
        return true;
    };
    if (!readSub(kTagExifPointer, kSubExif))
        return -1;
    readSub(kTagInteropPointer, kSubInterop);
    readSub(kTagGpsPointer, kSubGps);

    if (CExifEntry* comment = FindEntry(kTagUserComment, 0, kSubExif))
        comment->NormalizeUserComment();

    if (CExifEntry* maker = FindEntry(kTagMakerNote, 0, kSubExif); maker && IsKnownMakerNote(maker->m_value)) {
        uint64_t record = static_cast<uint64_t>(maker->m_fileOffset - m_base);
        if (auto makerOffset = reader.U32At(record + 8)) {
            uint32_t next = 0;
            ReadDirectoryAt(reader, *makerOffset, 0, kSubMaker, EndOfFirstRun(0), next);
        }
    }
    return 0;
}

short CExifFile::ReadDirectoryAt(ByteReader& reader, uint32_t offset, WORD directory, WORD subDirectory, size_t at,
                                 uint32_t& next)
{
    next = 0;
    auto count = reader.U16At(offset);
    if (!count)
        return -1;
    // The directory's entries go into the list in one step, so a long list
    // costs no more than its length.
    m_directorySpans.emplace_back(offset, 2 + 12ull * *count + 4);
    ExifEntryList read;
    short result = 0;
    for (uint32_t i = 0; i < *count; ++i) {
        uint64_t record = uint64_t(offset) + 2 + 12ull * i;
        if (!reader.Fits(record, 12) || m_entries.size() + read.size() >= kMaxEntries) {
            result = -1;
            break;
        }
        if (std::unique_ptr<CExifEntry> entry = ReadEntryAt(reader, record, directory, subDirectory))
            read.push_back(std::move(entry));
        // else a value that does not fit the file: the entry is dropped
    }
    const auto where = at >= m_entries.size() ? m_entries.end() : m_entries.begin() + static_cast<ptrdiff_t>(at);
    m_entries.insert(where, std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    if (result != 0)
        return result;
    auto nextOffset = reader.U32At(uint64_t(offset) + 2 + 12ull * *count);
    if (!nextOffset)
        return -1;
    next = *nextOffset;
    return 0;
}

std::unique_ptr<CExifEntry> CExifFile::ReadEntryAt(ByteReader& reader, uint64_t record, WORD directory,
                                                   WORD subDirectory)
{
    std::unique_ptr<CExifEntry> entry(new CExifEntry());
    entry->m_owner = this;
    entry->m_directory = directory;
    entry->m_subDirectory = subDirectory;
    entry->m_fileOffset = m_base + static_cast<int64_t>(record);
    entry->m_tag = *reader.U16At(record);
    entry->m_type = *reader.U16At(record + 2);
    // The count as stored: a date written without its NUL keeps 19.
    entry->m_count = *reader.U32At(record + 4);

    const uint64_t size = CExifEntry::GetTypeSize(entry->m_type, entry->m_count);
    if (size == 0)
        return entry;
    const uint64_t at = size > 4 ? *reader.U32At(record + 8) : record + 8;
    if (!reader.Fits(at, size))
        return nullptr;
    // Values may overlap (a maker note holds its own directory) but never by
    // more than the file itself: anything beyond is a hostile file.
    const uint64_t budget = 2 * uint64_t(reader.Size()) + (1u << 20);
    if (size > budget || m_valueBytes + size > budget)
        return nullptr;
    m_valueBytes += size;
    if (size > 4)
        entry->m_valueOffset = static_cast<int64_t>(at);
    auto bytes = *reader.At(at, size);
    entry->m_value.assign(bytes.begin(), bytes.end());
    return entry;
}
