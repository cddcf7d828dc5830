#include "imaging/image_importer.h"

#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "platform/exceptions.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace {

// Plug-in folder pattern and extension (upper case, no dot) -> the plug-in
// that reads it. Only grows. Keyed by the folder too, so hosts of another
// folder (a home folder changed in the settings) never get this one's answer.
std::mutex& ExtensionCacheMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::pair<std::string, std::string>, std::string>& ExtensionCache()
{
    static std::map<std::pair<std::string, std::string>, std::string> cache;
    return cache;
}

} // namespace

// At most one plug-in data procedure runs in the process at a time.
std::timed_mutex& ImportLock()
{
    static std::timed_mutex lock;
    return lock;
}

bool TakeImportLock(int timeoutMs)
{
    if (timeoutMs < 0) {
        ImportLock().lock();
        return true;
    }
    return ImportLock().try_lock_for(std::chrono::milliseconds(timeoutMs));
}

CImageImporter::CImageImporter() : m_searchPattern(DefaultPluginPattern("Importer/*.gim")) {}

CImageImporter::CImageImporter(std::string searchPattern) : m_searchPattern(std::move(searchPattern)) {}

CImageImporter::~CImageImporter()
{
    for (auto& [path, module] : m_modules)
        FreePluginModule(module);
}

void CImageImporter::SetProgressCallback(QrProgressProc callback, uintptr_t callbackUser)
{
    m_callback = callback ? callback : NoProgressCallback;
    m_callbackUser = callbackUser;
}

void CImageImporter::SetColorRecords(const QrSourceColorRecord* source, const QrSpaceRecord* working,
                                     const QrSpaceRecord* display)
{
    if (!source || !working)
        return;
    m_source = *source;
    m_working = *working;
    m_colorRecordsGiven = true;
    if (display) {
        m_display = *display;
        m_displayRecordGiven = true;
    }
}

uint32_t CImageImporter::Flags() const
{
    return (m_option1 ? QR_IMPORT_FLAG_OPTION1 : 0u) | (m_colorRecordsGiven ? QR_IMPORT_FLAG_COLOR_RECORDS : 0u) |
           (m_option4 ? QR_IMPORT_FLAG_OPTION4 : 0u);
}

bool CImageImporter::FindPluginForFile(const std::string& path, std::string& pluginPath)
{
    // Compared with the dot, so a plug-in listing "JPG" never matches.
    const std::string wanted = UpperFileExtensionWithDot(path);
    const std::pair<std::string, std::string> key(m_searchPattern, wanted);
    {
        std::lock_guard<std::mutex> guard(ExtensionCacheMutex());
        auto it = ExtensionCache().find(key);
        if (it != ExtensionCache().end()) {
            pluginPath = it->second;
            return true;
        }
    }
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        bool reads = false;
        for (const std::string& e : ReadImporterExtensions(m))
            reads = reads || (!wanted.empty() && e == wanted);
        FreePluginModule(m);
        if (reads) {
            pluginPath = file;
            std::lock_guard<std::mutex> guard(ExtensionCacheMutex());
            ExtensionCache().emplace(key, file);
            return true;
        }
    }
    return false;
}

bool CImageImporter::SelectPlugin(const std::string& path, const std::string* pluginPath)
{
    std::string chosen;
    if (pluginPath)
        chosen = *pluginPath;
    else if (!FindPluginForFile(path, chosen))
        return false;
    auto it = m_modules.find(chosen);
    if (it == m_modules.end())
        it = m_modules.emplace(chosen, LoadPluginModule(chosen)).first; // a failing path is not retried
    m_current = it->second;
    return m_current != nullptr;
}

bool CImageImporter::GetRawImageInfo(const std::string& path, QrRawImageInfo& info)
{
    if (!SelectPlugin(path, nullptr))
        return false;
    auto proc = FindPluginEntry<ImageRawInfoExProcFn>(m_current, "ImageRawInfoExProc");
    return proc && proc(path.c_str(), nullptr, &info, m_option4 ? QR_IMPORT_FLAG_OPTION4 : 0u) == 0;
}

bool CImageImporter::MatchesColorsItself(const std::string& path)
{
    if (!SelectPlugin(path, nullptr))
        return false;
    auto cap = FindPluginEntry<ImportCapProcFn>(m_current, "ImportCapProc");
    return cap && (cap() & QR_IMPORT_CAP_MATCHES_COLORS) != 0;
}

namespace {

struct LockRelease {
    ~LockRelease() { ImportLock().unlock(); }
};

} // namespace

void CImageImporter::ReadRawImage(const std::string& path, CImageBuffer& target, const void* options,
                                  int lockTimeoutMs)
{
    auto info = FindPluginEntry<ImageRawInfoExProcFn>(m_current, "ImageRawInfoExProc");
    auto data = FindPluginEntry<ImageRawDataExProcFn>(m_current, "ImageRawDataExProc");
    auto cap = FindPluginEntry<ImportCapProcFn>(m_current, "ImportCapProc");
    if (!info || !data || !cap)
        throw CUserException();
    const uint32_t flags = Flags();
    QrRawImageInfo record{};
    if (info(path.c_str(), options, &record, flags) != 0)
        throw CUserException();
    // Everything the plug-in said is checked before anything is allocated.
    const int64_t rawBits = static_cast<int64_t>(record.bitsFactor1) * record.bitsFactor2;
    const int64_t bits = rawBits == 15 ? 16 : rawBits;
    if (record.width <= 0 || record.height <= 0 || bits <= 0 || bits > 64 || record.pixelType < 1 ||
        record.pixelType > 20)
        throw CUserException();
    const int64_t rowBytes = ((record.width * bits + 31) / 32) * 4;
    const int64_t size = rowBytes * record.height;
    if (size <= 0 || size > kMaxImportPixelBytes || rowBytes > INT32_MAX)
        throw CUserException();
    // The picture goes into a buffer of its own; the target changes only on success.
    CImageBuffer fresh;
    const float xres = record.xResolution > 0 && record.xResolution < 1e6f ? record.xResolution : 96.0f;
    const float yres = record.yResolution > 0 && record.yResolution < 1e6f ? record.yResolution : 96.0f;
    if (!fresh.Create(CImageBuffer::kMapping, CSize(record.width, record.height), record.pixelType,
                      record.orientation, nullptr, nullptr, xres, yres, 100, false) ||
        static_cast<int64_t>(fresh.GetStride()) != rowBytes)
        throw CUserException();
    // The plug-in writes straight into the mapping when it gives one block;
    // otherwise into a staging block that is copied in.
    BYTE* direct = fresh.GetBits();
    std::unique_ptr<uint8_t[]> staging;
    uint8_t* pixels = direct;
    if (!pixels) {
        staging.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]());
        if (!staging)
            throw CMemoryException();
        pixels = staging.get();
    }
    const int entries = std::max(QrPaletteEntriesForType(record.pixelType), fresh.GetPaletteCount());
    std::vector<uint8_t> palette(static_cast<size_t>(entries) * 4, 0);
    // The plug-in is told the picture it described and the room it has.
    const QrImportBuffer buffer{record.width, record.height, static_cast<int32_t>(rawBits),
                                static_cast<int32_t>(rowBytes), static_cast<uint64_t>(size),
                                static_cast<uint32_t>(palette.size()), 0};

    if (!TakeImportLock(lockTimeoutMs)) {
        m_lockFailed = true;
        throw CUserException();
    }
    uint16_t result;
    {
        LockRelease release;
        m_lockFailed = false;
        result = data(path.c_str(), options, pixels, palette.empty() ? nullptr : palette.data(),
                      m_colorRecordsGiven ? &m_source : nullptr, m_colorRecordsGiven ? &m_working : nullptr,
                      m_colorRecordsGiven && m_displayRecordGiven ? &m_display : nullptr, m_callback, m_userValue,
                      flags, m_callbackUser, &buffer);
    }
    m_colorsMatched = (cap() & QR_IMPORT_CAP_MATCHES_COLORS) != 0 && m_colorRecordsGiven;
    if (result == QR_PLUGIN_CANCELLED)
        m_resultCode = QR_PLUGIN_CANCELLED;
    if (result != 0)
        throw CUserException();
    if (!direct) {
        for (int r = 0; r < record.height; ++r) {
            // Stored row r lies at r * stride in both blocks.
            const int top = fresh.GetOrientation() == 1 ? record.height - 1 - r : r;
            BYTE* row = fresh.GetRowPointer(top);
            if (!row)
                throw CUserException();
            std::memcpy(row, pixels + static_cast<size_t>(r) * static_cast<size_t>(rowBytes),
                        static_cast<size_t>(rowBytes));
        }
    }
    if (fresh.GetPaletteCount() > 0) {
        // Palette entries are RGBQUADs: blue, green, red, reserved.
        auto* dst = const_cast<RGBQUAD*>(fresh.GetPaletteEntries());
        std::memcpy(dst, palette.data(), static_cast<size_t>(fresh.GetPaletteCount()) * 4);
    }
    target.TakeOver(fresh);
}

void CImageImporter::TakeCode(int code)
{
    // A cancel reported by the plug-in stays a cancel.
    if (code == kLoadGaveUp && m_resultCode == QR_PLUGIN_CANCELLED)
        return;
    m_resultCode = code;
}

void CImageImporter::DecodeToBuffer(const std::string& path, CImageBuffer& target, const void* options,
                                    const std::string* pluginPath, int lockTimeoutMs)
{
    m_colorsMatched = false;
    try {
        // A file no plug-in reads is a failed load, not an empty success.
        if (!SelectPlugin(path, pluginPath))
            throw CUserException();
        ReadRawImage(path, target, options, lockTimeoutMs);
        m_lastLoadKind = kLoadKindPlugin;
    } catch (...) {
        TakeCode(LoadCodeOf(std::current_exception()));
    }
    if (m_resultCode != 0)
        throw m_resultCode;
}

int LoadCodeOf(const std::exception_ptr& caught)
{
    try {
        std::rethrow_exception(caught);
    } catch (const CMemoryException&) {
        return kLoadOutOfMemory;
    } catch (const std::bad_alloc&) {
        return kLoadOutOfMemory;
    } catch (const CFileException&) {
        return kLoadFileError;
    } catch (const CUserException&) {
        return kLoadGaveUp;
    } catch (...) {
        return kLoadOtherError;
    }
}

bool CImageImporter::TryDecodeToBuffer(const std::string& path, CImageBuffer& target, const void* options,
                                       int lockTimeoutMs)
{
    try {
        DecodeToBuffer(path, target, options, nullptr, lockTimeoutMs);
        return true;
    } catch (...) {
        return false;
    }
}

void CImageImporter::CollectExtensions(std::vector<std::string>& out, const std::vector<std::string>* exclusions)
{
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        std::vector<std::string> ext = ReadImporterExtensions(m);
        FreePluginModule(m);
        if (exclusions && ExtensionListsShare(ext, *exclusions))
            continue;
        out.insert(out.end(), ext.begin(), ext.end());
    }
}

std::string CImageImporter::BuildOpenFilter(std::string& out, bool addAllFiles, bool extensionsInLabel,
                                            const std::vector<std::string>* extraNames,
                                            const std::vector<std::string>* extraExtensions,
                                            const std::vector<std::string>* exclusions)
{
    out.clear();
    const bool extras = extraNames && extraExtensions;
    std::vector<std::string> all;
    if (extras)
        all = *extraExtensions;
    std::vector<std::string> plugins;
    CollectExtensions(plugins, exclusions);
    all.insert(all.end(), plugins.begin(), plugins.end());
    std::string list;
    for (const std::string& e : all)
        list += (list.empty() ? "*" : ";*") + e;
    if (!plugins.empty()) {
        const std::string label(res::String(IDS_SUPPORTED_FILES));
        out += extensionsInLabel ? label + " (" + list + ")|" + list + "|" : label + "|" + list + "|";
    }
    if (extras)
        for (size_t i = 0; i < extraNames->size() && i < extraExtensions->size(); ++i)
            out += (*extraNames)[i] + " (*" + (*extraExtensions)[i] + ")|*" + (*extraExtensions)[i] + "|";
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        std::vector<std::string> ext = ReadImporterExtensions(m);
        const std::string name = ReadPluginName(m, false);
        FreePluginModule(m);
        if (exclusions && ExtensionListsShare(ext, *exclusions))
            continue;
        std::string patterns;
        for (const std::string& e : ext)
            patterns += (patterns.empty() ? "*." : ";*.") + (!e.empty() && e[0] == '.' ? e.substr(1) : e);
        out += name + " (" + patterns + ")|" + patterns + "|";
    }
    if (addAllFiles)
        out += std::string(res::String(IDS_ALL_FILES_FILTER));
    out += "|";
    return out;
}
