#pragma once

#include "platform/framework/ole_drop.h"

#include <memory>
#include <string>
#include <vector>

class CWnd;
class QMimeData;

// The data of one drag or one clipboard hand-over: pictures, byte blocks and
// path lists in the system's and the program's private formats. Path lists go
// out as file URLs too, and with the private copy or cut marker also in the
// desktop's copied-files form, so that file managers take them.
class CDragDataSource {
public:
    CDragDataSource();
    virtual ~CDragDataSource();
    CDragDataSource(const CDragDataSource&) = delete;
    CDragDataSource& operator=(const CDragDataSource&) = delete;

    // The picture as CF_DIB: the packed DIB that CDibBitmap::CopyToGlobal
    // makes (nothing when it is empty); it goes out as an image as well.
    void SetDib(const std::vector<uint8_t>& packedDib);
    // A copy of the bytes in the format.
    void SetData(UINT nFormat, const void* bytes, size_t count);
    // The drop-files block of the paths (point 0, 0; non-client flag set) in the format.
    void SetPathList(const std::vector<std::string>& paths, UINT nFormat);
    // Runs the drag from the window and answers the drop effect; the data
    // goes with the drag.
    DWORD Drag(DWORD allowedEffects, CWnd* pSource);
    // Places the data on the clipboard, which then owns it.
    void SetClipboard();

    const QMimeData* GetMimeData() const { return m_data.get(); }
    // The bytes a data object holds in a format (empty when none).
    static std::vector<uint8_t> GetData(const QMimeData* data, UINT nFormat);

private:
    void UpdateFileList();
    std::unique_ptr<QMimeData> m_data;
    std::vector<std::string> m_paths;
    bool m_bHasPaths = false;
    FileListUse m_use = FileListUse::Drag;
};

// The file-drop block of the paths (MakeDropFileList) with the drop point
// and the non-client flag in its header.
std::vector<uint8_t> BuildDropFilesGlobal(const std::vector<std::string>& paths, int x, int y, BOOL bNonClient);
