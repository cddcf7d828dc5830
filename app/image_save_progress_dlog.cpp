#include "app/image_save_progress_dlog.h"

#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_save.h"
#include "platform/file.h"
#include "platform/framework/controls.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <cstdio>
#include <vector>

namespace {

UINT MessageForExportCode(int code)
{
    switch (code) {
    case kExportGaveUp: return IDS_DISK_FULL;
    case kExportFileError: return IDS_UNABLE_TO_SAVE;
    case kExportOutOfMemory: return IDS_NO_MEMORY;
    default: return IDS_ERROR;
    }
}

std::vector<uint8_t> ReadAll(CFile* f)
{
    std::vector<uint8_t> bytes;
    if (!f)
        return bytes;
    uint64_t length = f->GetLength();
    if (length == 0 || length > 0xFFFFFFFFull)
        return bytes;
    bytes.resize(size_t(length));
    f->SeekToBegin();
    bytes.resize(f->Read(bytes.data(), bytes.size()));
    return bytes;
}

} // namespace

CImageSaveProgressDlog::CImageSaveProgressDlog(CWnd* pParent, CImageBuffer* pImage, const std::string& exporterPattern,
                                               const std::string& displayPath, CFile* pMeta1, CFile* pMeta2,
                                               CFile* pMeta3, const std::string& targetPath, int nIndex, int nCount,
                                               BOOL bToggleBar, UINT nStatusStringId)
    : CProgressDlog(IDD_PROGRESS_SAVE, ImageSaveWorker, pParent), m_pImage(pImage), m_exporter(exporterPattern),
      m_strDisplayPath(displayPath), m_pMeta{pMeta1, pMeta2, pMeta3}, m_strTargetPath(targetPath), m_nIndex(nIndex),
      m_nCount(nCount), m_bToggleBar(bToggleBar), m_nStatusStringId(nStatusStringId)
{
    for (CFile* f : m_pMeta)
        if (f)
            f->SeekToBegin();
}

CImageSaveProgressDlog::~CImageSaveProgressDlog() = default;

std::string CImageSaveProgressDlog::FormatSavingStatus(const std::string& format, int nIndex, int nCount,
                                                       const std::string& name)
{
    if (format.empty())
        return {};
    size_t s = format.find("%s"), d = format.find("%d");
    std::vector<char> buf(format.size() + name.size() + 64);
    if (s != std::string::npos && (d == std::string::npos || s < d))
        std::snprintf(buf.data(), buf.size(), format.c_str(), name.c_str(), nIndex, nCount);
    else
        std::snprintf(buf.data(), buf.size(), format.c_str(), nIndex, nCount, name.c_str());
    return buf.data();
}

BOOL CImageSaveProgressDlog::OnInitDialog()
{
    CProgressDlog::OnInitDialog();
    m_exporter.SetProgressCallback(ImageSaveProgressCallback, uintptr_t(this));
    std::string name = LastNameOf(m_strDisplayPath);
    std::string status;
    if (m_nStatusStringId)
        status = std::string(res::String(m_nStatusStringId));
    else
        status = FormatSavingStatus(std::string(res::String(IDS_SAVING)), m_nIndex, m_nCount, name);
    if (status.empty())
        status = std::string(res::String(IDS_PROCESSING));
    SetStatusText(status);
    return FALSE;
}

UINT CImageSaveProgressDlog::ImageSaveWorker(void* pParam)
{
    static_cast<CImageSaveProgressDlog*>(pParam)->Save();
    return 0;
}

void CImageSaveProgressDlog::SetBar(int upper, int position)
{
    m_nBarUpper = upper;
    m_nBarPos = position;
    RequestRefresh();
}

void CImageSaveProgressDlog::Save()
{
    SetBar(100, 10);
    SetBar(100, 20);
    std::vector<uint8_t> blocks[3];
    for (int i = 0; i < 3; ++i)
        blocks[i] = ReadAll(m_pMeta[i]);
    auto data = [&](int i) { return blocks[i].empty() ? nullptr : blocks[i].data(); };
    auto size = [&](int i) { return uint32_t(blocks[i].size()); };

    try {
        if (!m_pImage)
            throw int(kExportOtherError);
        // The old file stays whole until the new one is complete, and when
        // Cancel came after the exporter's last question.
        m_exporter.Export(m_strTargetPath, *m_pImage, data(0), size(0), data(1), size(1), data(2), size(2),
                          blocks[0].empty(), &m_bCancel);
    } catch (int code) {
        // A cancelled save reports nothing.
        if (!m_bCancel)
            m_nErrorId = MessageForExportCode(code);
        m_bCancel = TRUE;
    } catch (const CFileException& e) {
        m_heldException = e;
        m_bCancel = TRUE;
    } catch (...) {
        m_nErrorId = IDS_ERROR;
        m_bCancel = TRUE;
    }
}

int32_t CImageSaveProgressDlog::ImageSaveProgressCallback(int32_t position, int32_t total, uintptr_t user)
{
    auto* job = reinterpret_cast<CImageSaveProgressDlog*>(user);
    if (!job)
        return 0;
    if (job->m_bToggleBar)
        job->m_bBarVisible = position > 0;
    // The exporter's share starts one sixth into the bar.
    int64_t e = std::max<int64_t>(total, 0) / 5;
    job->m_nBarUpper = int(std::min<int64_t>(int64_t(std::max(total, 0)) + e, 0x7FFFFFFF));
    job->m_nBarPos = int(std::min<int64_t>(int64_t(position) + e, 0x7FFFFFFF));
    job->m_bCancelEnabled = true;
    job->RequestRefresh();
    return job->m_bCancel ? 1 : 0;
}

void CImageSaveProgressDlog::DoDataExchange(CDataExchange* pDX)
{
    CProgressDlog::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_wndCancel);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_wndProgress);
}

void CImageSaveProgressDlog::OnRefresh()
{
    if (m_wndProgress.m_hWnd) {
        m_wndProgress.SetRange32(0, m_nBarUpper);
        m_wndProgress.SetPos(m_nBarPos);
        m_wndProgress.ShowWindow(m_bBarVisible ? SW_SHOW : SW_HIDE);
    }
    if (m_bCancelEnabled && !m_bCancel)
        if (CWnd* button = GetDlgItem(IDCANCEL))
            button->EnableWindow(TRUE);
}

INT_PTR CImageSaveProgressDlog::DoModal()
{
    INT_PTR result = CProgressDlog::DoModal();
    if (m_nErrorId == IDS_UNABLE_TO_SAVE) {
        // The exporter's failure names no file: this does.
        AfxMessageBox(std::string(res::String(IDS_UNABLE_TO_SAVE)) + m_strTargetPath, MB_OK);
    } else if (m_nErrorId) {
        AfxMessageBox(m_nErrorId, MB_OK);
    } else if (m_heldException) {
        AfxMessageBox(SaveFailureText(*m_heldException), MB_OK);
    }
    m_heldException.reset();
    return result;
}
