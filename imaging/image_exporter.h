#pragma once

#include "imaging/plugin_module.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class CImageBuffer;

// The export code for an exception caught while exporting.
int ExportCodeOf(const std::exception_ptr& caught);

// Export codes, thrown as plain integers.
enum : int {
    kExportOutOfMemory = -10000,
    kExportFileError = -10001,
    kExportResourceError = -10003,
    kExportGaveUp = -10004,
    kExportOtherError = -10006,
};

// The host of the exporter plug-ins (Exporter/*.gex): builds the save filter,
// picks the exporter for a target by its extension and hands it the picture
// with up to three metadata blocks.
class CImageExporter {
public:
    CImageExporter();
    explicit CImageExporter(std::string searchPattern);
    virtual ~CImageExporter();
    CImageExporter(const CImageExporter&) = delete;
    CImageExporter& operator=(const CImageExporter&) = delete;

    // The callback and its user value belong to this host (null: no progress).
    void SetProgressCallback(QrProgressProc callback, uintptr_t userValue);

    std::string BuildSaveFilter(std::string& out, int kind);
    void ListNames(std::vector<std::string>& out);
    // Modules that list no extension are left out of both lists.
    void ListExtensions(std::vector<std::string>& out, bool firstOnly);
    bool ServesExtension(int kind, const std::string& extension);
    bool SelectPluginForFile(const std::string& path);

    // Writes the picture to path through the platform's file writer: the
    // plug-in fills a temporary file beside path, which replaces it only when
    // the plug-in succeeded and stop (when given) is still clear; otherwise
    // path is as it was. Throws the export code (an int) when the plug-in
    // fails, or a CFileException with the system's reason when the file
    // cannot be made, written (the disk full) or put in place.
    void Export(const std::string& path, CImageBuffer& image, const uint8_t* block1, uint32_t block1Length,
                const uint8_t* block2, uint32_t block2Length, const uint8_t* block3, uint32_t block3Length,
                bool block1Empty, const std::atomic<int>* stop = nullptr);

    const std::string& SearchPattern() const { return m_searchPattern; }

    // The host's callback with the host's user value.
    int32_t ReportProgress(int32_t done, int32_t total) const;

private:
    void ExportWithChosen(const std::string& path, CImageBuffer& image, const uint8_t* b1, uint32_t l1,
                          const uint8_t* b2, uint32_t l2, const uint8_t* b3, uint32_t l3, bool block1Empty);

    PluginModule m_chosen = nullptr;
    std::string m_searchPattern;
    QrProgressProc m_callback = NoProgressCallback;
    uintptr_t m_callbackUser = 0;
};

// The program's own folder followed by the given plug-in pattern.
std::string DefaultPluginPattern(const char* folderAndPattern);
