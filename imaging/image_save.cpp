#include "imaging/image_save.h"

#include "imaging/exif_file.h"
#include "imaging/exif_thumbnail.h"
#include "imaging/icc_profile_data.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_info_set.h"
#include "imaging/metadata_file_kind.h"
#include "imaging/program_folders.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "resources/string_table.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr UINT kMsgDiskFull = 6046;
constexpr UINT kMsgNoMemory = 6066;
constexpr UINT kMsgError = 6071;
constexpr UINT kMsgUnableToSave = 6131;

ImageSaveJobRunner& Runner()
{
    static ImageSaveJobRunner runner;
    return runner;
}


std::vector<uint8_t> BlockBytes(CFile* file)
{
    std::vector<uint8_t> bytes;
    if (!file)
        return bytes;
    if (auto* mem = dynamic_cast<CMemFile*>(file))
        return mem->Data();
    bytes.resize(static_cast<size_t>(file->GetLength()));
    file->SeekToBegin();
    bytes.resize(file->Read(bytes.data(), bytes.size()));
    return bytes;
}

const uint8_t* DataOrNull(const std::vector<uint8_t>& v) { return v.empty() ? nullptr : v.data(); }

// What was thrown while saving path, told to the user.
void ShowSaveFailure(const std::exception_ptr& caught, const std::string& path)
{
    try {
        std::rethrow_exception(caught);
    } catch (int code) {
        // A plug-in that failed (at its close, say) names no file: this does.
        const UINT message = SaveFailureMessage(code);
        if (message == kMsgUnableToSave)
            AfxMessageBox(std::string(res::String(message)) + path);
        else
            AfxMessageBox(message);
    } catch (const CFileException& e) {
        AfxMessageBox(SaveFailureText(e));
    } catch (const CMemoryException&) {
        AfxMessageBox(kMsgNoMemory);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(kMsgNoMemory);
    } catch (...) {
        AfxMessageBox(kMsgError);
    }
}

// One 68-byte record of a main tag: the tag, then a resolution's rational as
// three words or a text of at most 63 bytes, cut at a whole character.
void AppendMainTag(std::vector<uint8_t>& out, const CExifEntry& entry)
{
    uint8_t record[68] = {};
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            record[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, entry.m_tag);
    if (entry.m_tag == 282 || entry.m_tag == 283) {
        DWORD numerator = 0, denominator = 0;
        int sign = 0;
        entry.GetRational(numerator, denominator, sign, 0);
        put32(4, numerator);
        put32(8, denominator);
        put32(12, static_cast<uint32_t>(sign));
    } else {
        std::string text = FormatTagValue(entry, 0);
        if (text.size() > 63) {
            size_t cut = 63;
            while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
        }
        std::copy(text.begin(), text.end(), record + 4);
    }
    out.insert(out.end(), record, record + sizeof record);
}

constexpr WORD kMainTags[] = {270, 271, 272, 305, 306, 282, 283};

} // namespace

std::string SaveFailureText(const CFileException& e)
{
    const std::string text = e.m_cause == CFileException::diskFull
                                 ? std::string(res::String(kMsgDiskFull))
                                 : std::string(res::String(kMsgUnableToSave)) + e.m_strFileName;
    return WithSystemReason(text, e);
}

UINT SaveFailureMessage(int exportCode)
{
    switch (exportCode) {
    case -10007:
    case kExportOutOfMemory: return kMsgNoMemory;
    // The exporter gave up: nothing says the disk is full.
    case kExportGaveUp:
    case kExportFileError: return kMsgUnableToSave;
    default: return kMsgError;
    }
}

ImageSaveJobRunner SetImageSaveJobRunner(ImageSaveJobRunner runner)
{
    ImageSaveJobRunner previous = std::move(Runner());
    Runner() = std::move(runner);
    return previous;
}

int RunImageSaveJobDirectly(CImageSaveJob& job)
{
    try {
        const std::vector<uint8_t> b1 = BlockBytes(job.blocks[0]);
        const std::vector<uint8_t> b2 = BlockBytes(job.blocks[1]);
        const std::vector<uint8_t> b3 = BlockBytes(job.blocks[2]);
        CImageExporter exporter(job.exporterPattern);
        exporter.Export(job.targetPath, *job.image, DataOrNull(b1), static_cast<uint32_t>(b1.size()),
                        DataOrNull(b2), static_cast<uint32_t>(b2.size()), DataOrNull(b3),
                        static_cast<uint32_t>(b3.size()), b1.empty());
        return 0;
    } catch (...) {
        ShowSaveFailure(std::current_exception(), job.targetPath);
        return 1;
    }
}

int RunImageSave(CWnd* owner, CImageBuffer& image, const CIccProfileData* profile, const std::string& displayPath,
                 CFile* block1, CFile* block2, CFile* block3, const std::string& writePath,
                 const ImageSaveValues& values)
{
    int cancel = 1;
    try {
        CImageSaveJob job;
        job.owner = owner;
        job.image = &image;
        job.profile = profile;
        job.exporterPattern = GetExporterSearchPath();
        job.displayPath = displayPath;
        job.blocks[0] = block1;
        job.blocks[1] = block2;
        job.blocks[2] = block3;
        job.targetPath = writePath;
        job.values = values;
        for (CFile* block : job.blocks)
            if (block)
                block->SeekToBegin();
        cancel = Runner() ? Runner()(job) : RunImageSaveJobDirectly(job);
        // A failed or cancelled save left the old file, and its companion with it.
        if (cancel == 0 && GetMetadataFileKind(writePath) == kExifTiff)
            MakeThmFile(image, writePath);
    } catch (...) {
        ShowSaveFailure(std::current_exception(), writePath);
        cancel = 1;
    }
    return cancel;
}

int ExportImageFile(CWnd* owner, CImageBuffer& image, const CIccProfileData* profile, CFile* block1, CFile* block2,
                    CFile* block3, const std::string& /*sourcePath*/, const std::string& targetPath,
                    const ImageSaveValues& values)
{
    CWaitCursor wait;
    // Over the source itself or any other file, the save job's writer keeps
    // the old file whole until the new one is complete.
    return RunImageSave(owner, image, profile, targetPath, block1, block2, block3, targetPath, values);
}

void WriteExifAndProfile(CFile& out, const CExifFile* jpegSource, const CIccProfileData* profile)
{
    std::vector<BYTE> prefix;
    if (jpegSource) {
        const auto p = jpegSource->GetApp2Prefix();
        prefix.assign(p.begin(), p.end());
    }
    static const std::vector<BYTE> kNone;
    const std::vector<BYTE>& profileBytes = profile && profile->HasData() ? profile->GetBytes() : kNone;
    const std::vector<BYTE> app2 = JoinApp2PrefixAndProfile(prefix, profileBytes);
    if (!app2.empty())
        out.Write(app2.data(), app2.size());
}

void CopyMainTags(CFile& out, const CExifFile& source)
{
    std::vector<uint8_t> records;
    for (WORD tag : kMainTags)
        if (const CExifEntry* e = source.FindEntry(tag, 0, kSubMain))
            AppendMainTag(records, *e);
    if (!records.empty())
        out.Write(records.data(), records.size());
}

int ExportImageWithMetadata(CWnd* owner, CImageBuffer& image, const CIccProfileData* profile,
                            const std::string& sourcePath, const std::string& targetPath,
                            const ImageSaveValues& values)
{
    CMemFile exifBlock;
    CMemFile profileBlock;
    CMemFile mainTags;
    const int sourceKind = GetMetadataFileKind(sourcePath);
    const int targetKind = GetMetadataFileKind(targetPath);

    CFile source;
    const bool opened = source.Open(sourcePath, CFile::modeRead);
    CExifFile metadata;
    const bool parsed = opened && sourceKind != kExifUnsupported && metadata.Attach(&source, sourceKind) == 0;

    WriteExifAndProfile(profileBlock, opened && sourceKind == kExifJpeg ? &metadata : nullptr, profile);
    if (parsed) {
        // Block 3 first: the Exif writer changes the entries it writes.
        CopyMainTags(mainTags, metadata);

        // The light source stays the source's: the save job's words say
        // nothing about the light the photograph was taken in.
        const int16_t option = -1;
        DWORD size = 0;
        if (targetKind == kExifJpeg) {
            CMemFile thumbnail;
            CSize thumbSize;
            const DWORD thumbBytes = MakeExifThumbnail(image, thumbSize, thumbnail);
            if (thumbBytes > 0)
                metadata.WriteExif(&exifBlock, size, thumbnail.Data().data(), thumbBytes, image.GetWidth(),
                                   image.GetHeight(), thumbSize.cx, thumbSize.cy, 0, option);
        } else if (targetKind == kExifTiff) {
            metadata.WriteExif(&exifBlock, size, nullptr, 0, image.GetWidth(), image.GetHeight(), 0, 0, 1, option);
        }
        if (size == 0)
            exifBlock.SetLength(0);
    }
    return ExportImageFile(owner, image, profile, &exifBlock, &profileBlock, &mainTags, sourcePath, targetPath,
                           values);
}
