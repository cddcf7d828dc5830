#include "imaging/image_exporter.h"

#include "imaging/image_buffer.h"
#include "platform/exceptions.h"
#include "platform/replace_file.h"

#include <filesystem>
#include <new>
#include <unistd.h>

std::string DefaultPluginPattern(const char* folderAndPattern)
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string folder = ec ? std::string("./") : exe.parent_path().string() + "/";
    return folder + folderAndPattern;
}

CImageExporter::CImageExporter() : m_searchPattern(DefaultPluginPattern("Exporter/*.gex")) {}

CImageExporter::CImageExporter(std::string searchPattern) : m_searchPattern(std::move(searchPattern)) {}

CImageExporter::~CImageExporter()
{
    FreePluginModule(m_chosen);
}

void CImageExporter::SetProgressCallback(QrProgressProc callback, uintptr_t userValue)
{
    m_callback = callback ? callback : NoProgressCallback;
    m_callbackUser = userValue;
}

int32_t CImageExporter::ReportProgress(int32_t done, int32_t total) const
{
    return m_callback(done, total, m_callbackUser);
}

namespace {

// Exporters give their progress callback a user value of 0, so the host hands
// them this forwarder and keeps its own user value: each export reaches the
// callback of the host that runs it (plug-ins call back on the same thread).
thread_local const CImageExporter* t_exportingHost = nullptr;

int32_t ForwardExportProgress(int32_t done, int32_t total, uintptr_t)
{
    return t_exportingHost ? t_exportingHost->ReportProgress(done, total) : 0;
}

struct ExportingHostScope {
    explicit ExportingHostScope(const CImageExporter* host) : previous(t_exportingHost) { t_exportingHost = host; }
    ~ExportingHostScope() { t_exportingHost = previous; }
    const CImageExporter* previous;
};

std::string PatternList(const std::vector<std::string>& extensions)
{
    std::string list;
    for (const std::string& e : extensions) {
        if (!list.empty())
            list += ';';
        list += "*.";
        list += (!e.empty() && e[0] == '.') ? e.substr(1) : e;
    }
    return list;
}

std::string WithDot(std::string e)
{
    for (char& c : e)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return (!e.empty() && e[0] == '.') ? e : "." + e;
}

bool ServesKind(PluginModule m, int kind)
{
    auto info = FindPluginEntry<ExportInfoProcFn>(m, "ExportInfoProc");
    return info && info(kind) != 0;
}

} // namespace

std::string CImageExporter::BuildSaveFilter(std::string& out, int kind)
{
    out.clear();
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        if (kind != -1 && !ServesKind(m, kind))
            continue;
        // A module that writes no extension has nothing to offer the dialog.
        const std::vector<std::string> extensions = ReadExporterExtensions(m);
        if (extensions.empty())
            continue;
        const std::string list = PatternList(extensions);
        out += ReadPluginName(m, true) + " (" + list + ")|" + list + "|";
    }
    out += "|";
    return out;
}

void CImageExporter::ListNames(std::vector<std::string>& out)
{
    for (const std::string& file : ListPluginFiles(m_searchPattern))
        if (PluginModule m = LoadPluginModule(file); m && !ReadExporterExtensions(m).empty())
            out.push_back(ReadPluginName(m, true));
}

void CImageExporter::ListExtensions(std::vector<std::string>& out, bool firstOnly)
{
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        std::vector<std::string> ext = ReadExporterExtensions(m);
        if (ext.empty())
            continue; // lists nothing: skipped, so names and extensions stay paired
        if (firstOnly)
            out.push_back(ext.front());
        else
            out.insert(out.end(), ext.begin(), ext.end());
    }
}

bool CImageExporter::ServesExtension(int kind, const std::string& extension)
{
    const std::string wanted = WithDot(extension);
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        for (const std::string& e : ReadExporterExtensions(m))
            if (WithDot(e) == wanted && ServesKind(m, kind))
                return true;
    }
    return false;
}

bool CImageExporter::SelectPluginForFile(const std::string& path)
{
    std::string ext = UpperFileExtensionWithDot(path);
    if (!ext.empty())
        ext.erase(0, 1);
    for (const std::string& file : ListPluginFiles(m_searchPattern)) {
        PluginModule m = LoadPluginModule(file);
        if (!m)
            continue;
        bool listed = false;
        for (const std::string& e : ReadExporterExtensions(m))
            listed = listed || (!ext.empty() && e == ext);
        if (listed) {
            FreePluginModule(m_chosen);
            m_chosen = m;
            return true;
        }
        FreePluginModule(m);
    }
    return false;
}

void CImageExporter::ExportWithChosen(const std::string& path, CImageBuffer& image, const uint8_t* b1, uint32_t l1,
                                      const uint8_t* b2, uint32_t l2, const uint8_t* b3, uint32_t l3,
                                      bool block1Empty)
{
    if (!m_chosen || !image.IsValid())
        throw CUserException();
    // Storage words: the pixel pointer (null for a temporary file), the file
    // handle with its cached block written back, the mapping handle and size.
    const BYTE* pixels = image.GetBits();
    int32_t fileFd = -1, mapFd = -1;
    uint64_t mapSize = 0;
    if (image.GetStorageKind() == CImageBuffer::kTempFile) {
        fileFd = image.GetTempFileBuffer().FlushAndGetFile();
        if (fileFd < 0)
            throw CFileException(CFileException::hardIO);
    } else if (image.GetStorageKind() == CImageBuffer::kMapping) {
        mapFd = image.GetMappedBuffer().GetHandle();
        mapSize = image.GetMappedBuffer().GetSize();
    }
    float xRes = 96.0f, yRes = 96.0f;
    image.GetResolution(&xRes, &yRes);
    const int32_t type = image.GetPixelType();
    const uint8_t* palette = reinterpret_cast<const uint8_t*>(image.GetPaletteEntries());
    const int32_t stride = static_cast<int32_t>(image.GetStride());
    const int32_t w = image.GetWidth(), h = image.GetHeight(), orient = image.GetOrientation();
    const int32_t spp = image.GetSamplesPerPixel(), bps = image.GetBitsPerSample();
    const uint32_t pct = static_cast<uint32_t>(image.GetPercentage());
    const char* target = path.c_str();
    const QrProgressProc progress = ForwardExportProgress;
    ExportingHostScope scope(this);
    uint16_t result;
    if (auto map = FindPluginEntry<ImageExportMapProcFn>(m_chosen, "ImageExportMapProc")) {
        result = map(target, type, pixels, mapFd, fileFd, mapSize, orient, palette, w, h, xRes, yRes, stride, spp,
                     bps, pct, b1, l1, b2, l2, b3, l3, block1Empty ? 1 : 0, progress, 0);
    } else if (auto data = FindPluginEntry<ImageExportWithDataProcFn>(m_chosen, "ImageExportWithDataProc")) {
        result = data(target, type, pixels, orient, palette, w, h, xRes, yRes, stride, spp, bps, pct, b1, l1, b2, l2,
                      b3, l3, block1Empty ? 1 : 0, progress, 0);
    } else if (auto ex = FindPluginEntry<ImageExportExProcFn>(m_chosen, "ImageExportExProc")) {
        result = ex(target, type, pixels, orient, palette, w, h, xRes, yRes, stride, spp, bps, pct, progress, 0);
    } else if (auto plain = FindPluginEntry<ImageExportProcFn>(m_chosen, "ImageExportProc")) {
        result = plain(target, pixels, palette, w, h, xRes, yRes, stride, spp, bps, pct, progress, type);
    } else {
        throw CUserException();
    }
    if (result != 0)
        throw CUserException();
}

void CImageExporter::Export(const std::string& path, CImageBuffer& image, const uint8_t* block1,
                            uint32_t block1Length, const uint8_t* block2, uint32_t block2Length,
                            const uint8_t* block3, uint32_t block3Length, bool block1Empty,
                            const std::atomic<int>* stop)
{
    int code = 0;
    try {
        if (!SelectPluginForFile(path))
            code = kExportFileError;
    } catch (...) {
        code = ExportCodeOf(std::current_exception());
    }
    if (code != 0)
        throw code;
    // The plug-in writes the writer's temporary file; the host puts it in place.
    CReplaceFile out;
    if (!out.Open(path))
        throw out.Error();
    try {
        ExportWithChosen(out.WritePath(), image, block1, block1Length, block2, block2Length, block3, block3Length,
                         block1Empty);
    } catch (...) {
        code = ExportCodeOf(std::current_exception());
    }
    if (code == kExportGaveUp && !(stop && *stop)) {
        // A plug-in says only that it failed: when the file system is why
        // (a full disk, an input/output error), the user is told so.
        if (const int err = out.FileSystemError())
            throw CFileException(CFileException::OsErrorToCause(err), err, path);
    }
    if (code != 0)
        throw code;
    if (stop && *stop)
        return; // asked to stop after the plug-in's last question: the old file stays
    if (!out.Commit())
        throw out.Error();
}

int ExportCodeOf(const std::exception_ptr& caught)
{
    try {
        std::rethrow_exception(caught);
    } catch (const CMemoryException&) {
        return kExportOutOfMemory;
    } catch (const std::bad_alloc&) {
        return kExportOutOfMemory;
    } catch (const CFileException&) {
        return kExportFileError;
    } catch (const CUserException&) {
        return kExportGaveUp;
    } catch (...) {
        return kExportOtherError;
    }
}
