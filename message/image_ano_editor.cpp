#include "message/image_ano_editor.h"

#include "imaging/program_folders.h"
#include "imaging/thumbnail_maker.h"
#include "viewer/image_file_tests.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/wait_cursor.h"
#include "util/geometry.h"
#include "resources/string_ids.h"

IMPLEMENT_DYNAMIC(CImageAnoEditor, CFileAnoEditor)

BEGIN_MESSAGE_MAP(CImageAnoEditor, CFileAnoEditor)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_ANO_FILES, &CImageAnoEditor::OnListChanged)
END_MESSAGE_MAP()

namespace {

constexpr int kMargin = 5;
constexpr COLORREF kPreviewBack = RGB(85, 127, 170);

} // namespace

CImageAnoEditor::CImageAnoEditor() : CFileAnoEditor(IDD_IMAGE_ANO_EDITOR, "ImageAnoDefault")
{
    RegisterAnoEditorTemplate(IDD_IMAGE_ANO_EDITOR, {{IDC_ANO_UP, "Up"}, {IDC_ANO_ADD, "Add"}, {IDC_ANO_CLEAR, "Clear"}},
                              {{"STATIC", "", IDC_ANO_PREVIEW, WS_CHILD, CRect(176, 58, 216, 76)}});
}

void CImageAnoEditor::DoDataExchange(CDataExchange* pDX)
{
    CFileAnoEditor::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ANO_PREVIEW, m_frame);
}

BOOL CImageAnoEditor::OnInitDialog()
{
    CFileAnoEditor::OnInitDialog();
    UpdateButtons();
    return TRUE;
}

void CImageAnoEditor::GetFilters(std::vector<std::string>& extensions)
{
    extensions = {"BMP", "TIF", "TIFF", "JPG", "JPE", "JPEG"};
}

int CImageAnoEditor::GetPreferredHeight()
{
    CRect add, up;
    m_btnAdd.GetWindowRect(&add);
    m_btnUp.GetWindowRect(&up);
    return add.Width() + add.Height() + up.Height() + 20;
}

void CImageAnoEditor::RecalcLayout()
{
    if (!m_list.m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    CRect b;
    m_btnUp.GetWindowRect(&b);
    const int w = b.Width(), h = b.Height();
    // Up on top; Add and Clear side by side below it; the preview square at the bottom right.
    const int right = client.right - kMargin;
    m_btnUp.MoveWindow(CRect(right - w, kMargin, right, kMargin + h));
    const int row = kMargin + h + kMargin;
    m_btnClear.MoveWindow(CRect(right - w, row, right, row + h));
    m_btnAdd.MoveWindow(CRect(right - 2 * w - kMargin, row, right - w - kMargin, row + h));
    const int side = std::max<int>(w, std::min(client.Width(), client.Height()) * 2 / 5);
    m_frame.MoveWindow(CRect(right - side, client.bottom - kMargin - side, right, client.bottom - kMargin));
    PlaceList(client, std::min<int>(right - 2 * w - kMargin, right - side));
    Invalidate();
}

void CImageAnoEditor::ClearPreview()
{
    m_preview.DeleteObject();
    Invalidate();
}

void CImageAnoEditor::FolderChanged() { ClearPreview(); }

void CImageAnoEditor::OnListChanged(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    const auto* nm = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    m_preview.DeleteObject();
    if ((nm->uNewState & LVIS_SELECTED) && m_list.IsFileItem(nm->iItem)) {
        CWaitCursor wait;
        CRect frame;
        m_frame.GetClientRect(&frame);
        CThumbnailMaker maker(GetImporterSearchPath(), std::max<int>(frame.Width(), 1),
                              std::max<int>(frame.Height(), 1), -1);
        maker.MakeThumbnail(m_list.PathOf(nm->iItem), m_preview);
    }
    Invalidate();
    UpdateButtons();
}

void CImageAnoEditor::OnPaint()
{
    CPaintDC dc(this);
    if (!m_frame.m_hWnd)
        return;
    CRect frame;
    m_frame.GetWindowRect(&frame);
    ScreenToClient(&frame);
    dc.Draw3dRect(&frame, RGB(0, 0, 0), RGB(255, 255, 255));
    CRect inside = frame;
    inside.DeflateRect(2, 2);
    dc.FillSolidRect(&inside, kPreviewBack);
    if (m_preview.IsValid()) {
        const CSize size = m_preview.GetSize();
        const CRect source(0, 0, size.cx, size.cy);
        CRect fitted;
        FitRectKeepAspect(&inside, &source, &fitted, 1);
        m_preview.Draw(&dc, fitted);
    }
}

void CImageAnoEditor::OnAdd()
{
    const std::string path = GetContent();
    if (path.empty() || !IsLoadableImageFile(path)) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CFileAnoEditor::OnAdd();
}

void CImageAnoEditor::OnClear()
{
    m_list.SetItemState(-1, 0, LVIS_SELECTED);
    ClearPreview();
    PostToFrame(ID_CLEARANOTATION);
}
