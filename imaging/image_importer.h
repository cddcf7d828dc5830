#pragma once

#include "imaging/plugin_module.h"
#include "util/timed_lock.h"

#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class CImageBuffer;
class CDibBitmap;

// Load codes, thrown as plain integers.
enum : int {
    kLoadOutOfMemory = -11000,
    kLoadFileError = -11001,
    kLoadOleError = -11002,
    kLoadResourceError = -11003,
    kLoadGaveUp = -11004,
    kLoadOtherError = -11005,
    kLoadCancelled = QR_PLUGIN_CANCELLED,
};

// The load code for an exception caught on the loading road.
int LoadCodeOf(const std::exception_ptr& caught);

// What produced the last picture of a host.
enum : int {
    kLoadKindNone = 0,
    kLoadKindOle = 2,
    kLoadKindText = 3,
    kLoadKindPlugin = 4,
    kLoadKindBmp = 5,
    kLoadKindIcon = 6,
};

// The host of the importer plug-ins (Importer/*.gim) and the loading front end:
// finds the plug-in for a file by its extension, calls it under the
// process-wide import lock, and turns the result into an image buffer or a
// bitmap. One host serves one load; it frees the modules it loaded.
class CImageImporter {
public:
    CImageImporter();
    explicit CImageImporter(std::string searchPattern);
    virtual ~CImageImporter();
    CImageImporter(const CImageImporter&) = delete;
    CImageImporter& operator=(const CImageImporter&) = delete;

    // The callback and its user value belong to this host, so a finished
    // job's callback is never called for another host's load.
    void SetProgressCallback(QrProgressProc callback, uintptr_t callbackUser);
    void SetColorRecords(const QrSourceColorRecord* source, const QrSpaceRecord* working, const QrSpaceRecord* display);
    void SetUserValue(uintptr_t value) { m_userValue = value; }
    void SetOptionFlag1(uint32_t value) { m_option1 = value; }
    void SetOptionFlag4(uint32_t value) { m_option4 = value; }

    bool FindPluginForFile(const std::string& path, std::string& pluginPath);
    bool SelectPlugin(const std::string& path, const std::string* pluginPath);
    bool GetRawImageInfo(const std::string& path, QrRawImageInfo& info);
    bool MatchesColorsItself(const std::string& path);

    // The buffer road; throws CUserException (or CMemoryException) on failure.
    void ReadRawImage(const std::string& path, CImageBuffer& target, const void* options, int lockTimeoutMs);
    // The buffer road with codes: throws the result code as an int when nonzero.
    void DecodeToBuffer(const std::string& path, CImageBuffer& target, const void* options,
                        const std::string* pluginPath, int lockTimeoutMs);
    bool TryDecodeToBuffer(const std::string& path, CImageBuffer& target, const void* options, int lockTimeoutMs);

    // The bitmap road; throws CUserException on failure.
    void ReadDibImage(const std::string& path, CDibBitmap& target, const void* options, int lockTimeoutMs);
    // The loading front end: a plug-in, else our own BMP reader, a text
    // rendering, a picture of the file's icon. Throws the load code.
    void DecodeToDib(const std::string& path, CDibBitmap& target, const void* rect, const std::string* pluginPath,
                     int lockTimeoutMs);
    bool TryDecodeToDib(const std::string& path, CDibBitmap& target, const void* rect, int lockTimeoutMs);

    void CollectExtensions(std::vector<std::string>& out, const std::vector<std::string>* exclusions);
    std::string BuildOpenFilter(std::string& out, bool addAllFiles, bool extensionsInLabel,
                                const std::vector<std::string>* extraNames,
                                const std::vector<std::string>* extraExtensions,
                                const std::vector<std::string>* exclusions);

    int ResultCode() const { return m_resultCode; }
    bool LockFailed() const { return m_lockFailed; }
    bool ColorsMatchedByPlugin() const { return m_colorsMatched; }
    int LastLoadKind() const { return m_lastLoadKind; }
    void SetLastLoadKind(int kind) { m_lastLoadKind = kind; }
    const std::string& SearchPattern() const { return m_searchPattern; }

private:
    uint32_t Flags() const;
    // The code for whatever was caught, or 0 when nothing.
    void TakeCode(int code);

    int m_resultCode = 0;
    bool m_lockFailed = false;
    PluginModule m_current = nullptr;
    std::string m_searchPattern;
    QrProgressProc m_callback = NoProgressCallback;
    uintptr_t m_callbackUser = 0;
    uint32_t m_option1 = 1;
    bool m_colorRecordsGiven = false;
    bool m_displayRecordGiven = false;
    uint32_t m_option4 = 1;
    bool m_colorsMatched = false;
    QrSourceColorRecord m_source{};
    QrSpaceRecord m_working{};
    QrSpaceRecord m_display{};
    uintptr_t m_userValue = 0;
    int m_lastLoadKind = kLoadKindNone;
    std::map<std::string, PluginModule> m_modules;
};

// The process-wide import lock around every plug-in data procedure; a
// time-out of -1 waits without limit. True when taken.
CTimedMutex& ImportLock();
bool TakeImportLock(int timeoutMs);

// Pictures wider or taller than this are refused before anything is allocated.
constexpr int64_t kMaxImportPixelBytes = 0xFFFFFFFFll;
