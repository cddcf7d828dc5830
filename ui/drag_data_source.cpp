#include "ui/drag_data_source.h"

#include "ui/ui_services.h"
#include "platform/framework/wnd.h"

#include <QImage>
#include <QMimeData>
#include <QWidget>

namespace {
// The MIME type bytes of a format travel as; a drop-files block keeps its own
// type beside the file URLs.
std::string FormatMime(UINT nFormat)
{
    return nFormat == CF_HDROP ? std::string(kDropFilesMimeType) : COleDataObject::MimeTypeOf(nFormat);
}
} // namespace

std::vector<uint8_t> BuildDropFilesGlobal(const std::vector<std::string>& paths, int x, int y, BOOL bNonClient)
{
    std::vector<uint8_t> block = MakeDropFileList(paths);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            block[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put32(4, uint32_t(x));
    put32(8, uint32_t(y));
    put32(12, bNonClient ? 1u : 0u);
    return block;
}

CDragDataSource::CDragDataSource() : m_data(std::make_unique<QMimeData>()) {}

CDragDataSource::~CDragDataSource() = default;

void CDragDataSource::SetDib(const std::vector<uint8_t>& packedDib)
{
    if (packedDib.size() < 40 || !m_data)
        return;
    SetMimeBytes(m_data.get(), kDibMimeType, packedDib.data(), packedDib.size());
    // Other programs take it as a picture: a BMP file is the DIB behind a 14-byte file header.
    QByteArray bmp("BM", 2);
    const uint32_t fileSize = uint32_t(14 + packedDib.size());
    const uint32_t headerSize = uint32_t(packedDib[0]) | uint32_t(packedDib[1]) << 8;
    const uint32_t bitCount = uint32_t(packedDib[14]) | uint32_t(packedDib[15]) << 8;
    const uint32_t used = uint32_t(packedDib[32]) | uint32_t(packedDib[33]) << 8 | uint32_t(packedDib[34]) << 16 |
                          uint32_t(packedDib[35]) << 24;
    const uint32_t colours = used ? used : (bitCount <= 8 ? (1u << bitCount) : 0u);
    const uint32_t offBits = 14 + headerSize + colours * 4;
    for (uint32_t v : {fileSize, 0u, offBits})
        for (int shift = 0; shift < 32; shift += 8)
            bmp.append(char(uint8_t(v >> shift)));
    bmp.append(reinterpret_cast<const char*>(packedDib.data()), qsizetype(packedDib.size()));
    QImage img;
    if (img.loadFromData(bmp, "BMP"))
        m_data->setImageData(img);
}

void CDragDataSource::SetData(UINT nFormat, const void* bytes, size_t count)
{
    const std::string mime = FormatMime(nFormat);
    if (!m_data || mime.empty() || (!bytes && count))
        return;
    SetMimeBytes(m_data.get(), mime, bytes, count);
    const ClipboardFormats& f = GetClipboardFormats();
    if (nFormat && nFormat == f.fileCut)
        m_use = FileListUse::Cut;
    else if (nFormat && nFormat == f.fileCopy)
        m_use = FileListUse::Copy;
    UpdateFileList();
}

void CDragDataSource::SetPathList(const std::vector<std::string>& paths, UINT nFormat)
{
    const std::string mime = FormatMime(nFormat);
    if (!m_data || mime.empty())
        return;
    const std::vector<uint8_t> block = BuildDropFilesGlobal(paths, 0, 0, TRUE);
    SetMimeBytes(m_data.get(), mime, block.data(), block.size());
    m_paths = paths;
    m_bHasPaths = true;
    UpdateFileList();
}

void CDragDataSource::UpdateFileList()
{
    if (m_bHasPaths)
        SetFileListMimeData(m_data.get(), m_paths, m_use);
}

DWORD CDragDataSource::Drag(DWORD allowedEffects, CWnd* pSource)
{
    if (!m_data || !pSource || !pSource->m_hWnd)
        return DROPEFFECT_NONE;
    return RunDrag(pSource->m_hWnd, m_data.release(), allowedEffects);
}

void CDragDataSource::SetClipboard()
{
    if (m_data)
        SetClipboardMimeData(m_data.release());
}

std::vector<uint8_t> CDragDataSource::GetData(const QMimeData* data, UINT nFormat)
{
    return COleDataObject(data).GetGlobalData(nFormat);
}
