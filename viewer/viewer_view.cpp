#include "viewer/viewer_view.h"

#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_save.h"
#include "imaging/program_folders.h"
#include "viewer/viewer_doc.h"
#include "viewer/viewer_doc_template.h"
#include "viewer/viewer_ids.h"
#include "ui/drag_data_source.h"
#include "ui/file_save_dlog.h"
#include "ui/ui_services.h"
#include "util/path_util.h"
#include "platform/clipboard.h"
#include "platform/datetime.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "platform/framework/win_app.h"
#include "platform/gdi/gdi_object.h"
#include "platform/path.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

IMPLEMENT_DYNCREATE(CViewerView, CView)

BEGIN_MESSAGE_MAP(CViewerView, CView)
    ON_COMMAND(ID_VIEWER_SAVE_AS, &CViewerView::OnSaveAs)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_SAVE_AS, &CViewerView::OnUpdateSaveAs)
    ON_COMMAND(ID_VIEWER_QUIT, &CViewerView::OnQuit)
    ON_COMMAND(ID_VIEWER_SAVE_ALL, &CViewerView::OnSaveAll)
    ON_COMMAND(ID_EDIT_COPY, &CViewerView::OnCopy)
    ON_UPDATE_COMMAND_UI(ID_EDIT_COPY, &CViewerView::OnUpdateCopy)
    ON_COMMAND(ID_VIEWER_SELECT_ALL, &CViewerView::OnSelectAll)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_SELECT_ALL, &CViewerView::OnUpdateNeedsPicture)
    ON_COMMAND(ID_VIEWER_UNDO, &CViewerView::OnNothing)
    ON_COMMAND(ID_VIEWER_REDO, &CViewerView::OnNothing)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_UNDO, &CViewerView::OnUpdateNever)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_REDO, &CViewerView::OnUpdateNever)
    ON_COMMAND(ID_VIEWER_AREA_TOOL, &CViewerView::OnAreaTool)
    ON_COMMAND(ID_VIEWER_MAGNIFIER, &CViewerView::OnMagnifier)
    ON_COMMAND(ID_VIEWER_GRAB_TOOL, &CViewerView::OnGrabTool)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_AREA_TOOL, &CViewerView::OnUpdateAreaTool)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_MAGNIFIER, &CViewerView::OnUpdateMagnifier)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_GRAB_TOOL, &CViewerView::OnUpdateGrabTool)
    ON_COMMAND(ID_VIEWER_ENLARGE, &CViewerView::OnEnlarge)
    ON_COMMAND(ID_VIEWER_REDUCE, &CViewerView::OnReduce)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_ENLARGE, &CViewerView::OnUpdateEnlarge)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_REDUCE, &CViewerView::OnUpdateReduce)
    ON_COMMAND(ID_VIEWER_FIT, &CViewerView::OnFit)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_FIT, &CViewerView::OnUpdateNeedsPicture)
    ON_COMMAND(ID_VIEWER_ACTUAL_SIZE, &CViewerView::OnActualSize)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_ACTUAL_SIZE, &CViewerView::OnUpdateNeedsPicture)
    ON_COMMAND_RANGE(ID_VIEWER_ZOOM_400, ID_VIEWER_ZOOM_25, &CViewerView::OnFixedZoom)
    ON_UPDATE_COMMAND_UI_RANGE(ID_VIEWER_ZOOM_400, ID_VIEWER_ZOOM_25, &CViewerView::OnUpdateFixedZoom)
    ON_COMMAND(ID_VIEWER_ROTATE_CW, &CViewerView::OnRotateCW)
    ON_COMMAND(ID_VIEWER_ROTATE_CCW, &CViewerView::OnRotateCCW)
    ON_COMMAND(ID_VIEWER_ROTATE_180, &CViewerView::OnRotate180)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_ROTATE_CW, &CViewerView::OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_ROTATE_CCW, &CViewerView::OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_ROTATE_180, &CViewerView::OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_INDICATOR_INFO, &CViewerView::OnUpdateInfo)
    ON_COMMAND(ID_VIEWER_PRINT, &CViewerView::OnFilePrint)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_PRINT, &CViewerView::OnUpdateFilePrint)
    ON_COMMAND(ID_VIEWER_PRINT_DIRECT, &CViewerView::OnPrintDirect)
    ON_NOTIFY(ICN_ZOOMFORWARD, IDC_VIEWER_IMAGE, &CViewerView::OnZoomForward)
    ON_NOTIFY(ICN_ZOOMBACKWARD, IDC_VIEWER_IMAGE, &CViewerView::OnZoomBackward)
    ON_NOTIFY(ICN_DROP, IDC_VIEWER_IMAGE, &CViewerView::OnDropNotify)
    ON_NOTIFY(ICN_RBUTTONDOWN, IDC_VIEWER_IMAGE, &CViewerView::OnRightButton)
END_MESSAGE_MAP()

namespace {

// The owner cursors of the tools.
enum : int { kCursorArea = 2313, kCursorZoom = 2181, kCursorZoomOther = 2315, kCursorZoomEnd = 2353, kCursorGrab = 2109 };

// The file dialog's flags: read-only box hidden, replacing asked first.
constexpr DWORD kSaveAsFlags = 0x0004 | 0x0002;

constexpr int64_t kFixedZooms[] = {40000, 20000, 10000, 5000, 7500, 2500}; // 320 to 325 in id order

// Exif dates that say nothing (all zeros) are shown as this day.
constexpr int kNoDateYear = 2003;

ViewerSaveAsAnswer& SaveAsAnswer()
{
    static ViewerSaveAsAnswer answer;
    return answer;
}

std::string ExtensionWithoutDot(const std::string& path)
{
    std::string ext = DottedExtensionOf(path);
    return ext.empty() ? ext : ext.substr(1);
}

} // namespace

ViewerSaveAsAnswer SetViewerSaveAsAnswer(ViewerSaveAsAnswer answer) { return std::exchange(SaveAsAnswer(), std::move(answer)); }

int64_t CViewerView::NextZoomStep(int64_t zoom, bool larger)
{
    if (larger) {
        for (int64_t s : kZoomSteps)
            if (s > zoom)
                return s;
    } else {
        for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
            if (*it < zoom)
                return *it;
    }
    return zoom;
}

int64_t CViewerView::PictureTimeFromFile(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    int64_t time = int64_t(st.st_mtime);
    const int kind = IsJpegFile(path) ? kExifJpeg : IsTiffFile(path) ? kExifTiff : -1;
    if (kind < 0)
        return time;
    try {
        CFile file(path, CFile::modeRead);
        CExifFile exif;
        if (exif.Attach(&file, kind) != 0)
            return time;
        const CExifEntry* taken = exif.FindEntry(kTagDateTimeOriginal, 0, kSubAny);
        if (!taken)
            return time;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        taken->GetDateTime(y, mo, d, h, mi, s);
        // A date out of range would make no time: it counts as no date.
        if (y == 0 || mo == 0 || d == 0 || COleDateTime(y, mo, d, h, mi, s).GetStatus() != COleDateTime::valid)
            return LocalTimeToSeconds(kNoDateYear, 1, 1, 0, 0, 0);
        return LocalTimeToSeconds(y, mo, d, h, mi, s);
    } catch (const CException&) {
        return time;
    }
}

CViewerView::CViewerView() = default;
CViewerView::~CViewerView() = default;

CViewerDoc* CViewerView::GetDocument() const { return dynamic_cast<CViewerDoc*>(m_pDocument); }

int CViewerView::OnCreate(LPCREATESTRUCT lpcs) { return CView::OnCreate(lpcs); }

void CViewerView::OnDestroy()
{
    // The control goes before the view it reports to.
    if (m_wndImage.m_hWnd)
        m_wndImage.DestroyWindow();
    CView::OnDestroy();
}

void CViewerView::OnSize(UINT nType, int cx, int cy)
{
    CView::OnSize(nType, cx, cy);
    LayoutControl();
}

void CViewerView::LayoutControl()
{
    if (!m_wndImage.m_hWnd)
        return;
    CRect rc;
    GetClientRect(&rc);
    m_wndImage.MoveWindow(rc.left, rc.top, rc.Width(), rc.Height());
}

void CViewerView::CreateImageCtrl()
{
    if (m_wndImage.m_hWnd)
        return;
    CRect rc;
    GetClientRect(&rc);
    if (!m_wndImage.Create(WS_CHILD | WS_VISIBLE, rc, this, IDC_VIEWER_IMAGE))
        return;
    m_wndImage.SetZoomMode(1, TRUE);
    m_wndImage.SetMode(kImageModeArea);
    m_wndImage.SetZoomLimits(int(kMinZoom), int(kMaxZoom));
    // The magnifier asks the view for each step, so it follows the zoom table.
    m_wndImage.SetSelfZoom(FALSE);
    CViewerDoc* doc = GetDocument();
    if (!doc || !doc->IsReaderBuild()) {
        m_wndImage.EnableDrop(TRUE);
        m_wndImage.AddDropFormat(CF_HDROP);
        m_wndImage.AddDropFormat(GetClipboardFormats().pathList);
    }
    LayoutControl();
}

void CViewerView::OnInitialUpdate()
{
    CView::OnInitialUpdate();
    CreateImageCtrl();
    CViewerDoc* doc = GetDocument();
    if (!doc)
        return;
    SetImages(&doc->GetPicture(), &doc->GetDisplayPicture(), &doc->GetPrintPicture(), doc->GetPictureTime());
    if (!doc->GetPathName().empty())
        if (int64_t t = PictureTimeFromFile(doc->GetPathName()); t >= 0)
            m_pictureTime = t;
    ShowPicture(TRUE);
    m_wndImage.SetZoom(1);
    m_wndImage.SetZoom(m_wndImage.CalcFitZoom());
    m_wndImage.SetMultipleAreas(FALSE);
    m_wndImage.SetCursors(kCursorArea, -1, -1);
    m_wndImage.SetMode(kImageModeArea);
}

void CViewerView::OnUpdate(CView*, LPARAM, CObject*)
{
    if (CViewerDoc* doc = GetDocument())
        SetImages(&doc->GetPicture(), &doc->GetDisplayPicture(), &doc->GetPrintPicture(), doc->GetPictureTime());
}

void CViewerView::SetImages(CImageBuffer* picture, CImageBuffer* display, CImageBuffer* print, int64_t pictureTime)
{
    m_pPicture = picture;
    m_pDisplay = display;
    m_pPrint = print;
    m_pictureTime = pictureTime;
    if (!m_wndImage.m_hWnd)
        return;
    ShowPicture(TRUE);
    m_wndImage.SetZoom(1);
    m_wndImage.SetZoom(m_wndImage.CalcFitZoom());
}

void CViewerView::ShowPicture(BOOL redraw)
{
    m_nRotation = 0;
    if (!m_wndImage.m_hWnd)
        return;
    m_wndImage.ClearSelection();
    const CImageBuffer* source = m_pDisplay && m_pDisplay->IsValid() ? m_pDisplay : m_pPicture;
    std::unique_ptr<CDibBitmap> dib = source && source->IsValid() ? source->CreateDib() : nullptr;
    m_wndImage.SetImage(std::move(dib), redraw);
    if (CFrameWnd* f = GetParentFrame())
        f->DelayUpdateCommandUI();
}

CDibBitmap* CViewerView::ShownBitmap() const { return m_wndImage.m_hWnd ? m_wndImage.GetImage() : nullptr; }

BOOL CViewerView::HasValidBitmap() const
{
    CDibBitmap* b = ShownBitmap();
    return b && b->IsValid();
}

BOOL CViewerView::HasPicture() const { return HasValidBitmap(); }

// ---- pictures out ----------------------------------------------------------

BOOL CViewerView::GetSaveImage(CImageBuffer& out) const
{
    out.Free();
    if (!m_pPicture || !m_pPicture->IsValid())
        return FALSE;
    CImageBuffer copy(*m_pPicture);
    if (!copy.IsValid())
        return FALSE;
    if (m_nRotation != 0 && !copy.Rotate(m_nRotation))
        return FALSE;
    out.TakeOver(copy);
    return TRUE;
}

BOOL CViewerView::GetPrintBitmap(CDibBitmap& out) const
{
    const CImageBuffer* source = m_pPrint && m_pPrint->IsValid() ? m_pPrint : m_pPicture;
    if (!source || !source->IsValid())
        return FALSE;
    std::unique_ptr<CDibBitmap> dib = source->CreateDib();
    if (!dib || (m_nRotation != 0 && !dib->Rotate(m_nRotation)))
        return FALSE;
    out = std::move(*dib);
    return TRUE;
}

CSize CViewerView::GetRotatedSize() const
{
    const CImageBuffer* source = m_pPrint && m_pPrint->IsValid() ? m_pPrint : m_pPicture;
    if (!source || !source->IsValid())
        return CSize(0, 0);
    const bool quarter = m_nRotation == 90 || m_nRotation == 270;
    return quarter ? CSize(source->GetHeight(), source->GetWidth()) : CSize(source->GetWidth(), source->GetHeight());
}

BOOL CViewerView::GetSelectionBitmap(CDibBitmap& out)
{
    CDibBitmap* shown = ShownBitmap();
    if (!shown || !shown->IsValid())
        return FALSE;
    CWaitCursor wait;
    CImageQuad q = m_wndImage.GetCurrentArea();
    const CRect b = q.GetBoundingRect();
    if (b.IsRectEmpty()) {
        out = *shown;
        return out.IsValid();
    }
    q.Offset(-b.left, -b.top);
    CRgn clip;
    if (!q.CreateRegion(&clip))
        return FALSE;
    // Outside the area the copy stays white.
    return out.ExtractRect(*shown, CRect(0, 0, b.Width(), b.Height()), b, 0, &clip);
}

// ---- saving ----------------------------------------------------------------

BOOL CViewerView::CanSaveFileType()
{
    CViewerDoc* doc = GetDocument();
    if (!HasValidBitmap() || !doc || doc->GetPathName().empty() || doc->IsReaderBuild() || !m_pPicture ||
        !m_pPicture->IsValid())
        return FALSE;
    std::string ext = ExtensionWithoutDot(doc->GetPathName());
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    // What is written is the picture at its own depth.
    const auto key = std::make_pair(ext, m_pPicture->GetPixelType());
    auto it = m_saveableTypes.find(key);
    if (it == m_saveableTypes.end()) {
        const bool serves = !ext.empty() && CImageExporter(GetExporterSearchPath()).ServesExtension(key.second, ext);
        it = m_saveableTypes.emplace(key, serves).first;
    }
    return it->second ? TRUE : FALSE;
}

BOOL CViewerView::SaveImage(const std::string& path, int quality)
{
    CViewerDoc* doc = GetDocument();
    CImageBuffer image;
    if (!doc || !GetSaveImage(image))
        return FALSE;
    image.SetPercentage(quality);
    // The file writer replaces the target only once the new file is whole.
    const int cancelled = ExportImageWithMetadata(this, image, nullptr, doc->GetPathName(), path, ImageSaveValues{});
    return cancelled == 0;
}

void CViewerView::OnSaveAs()
{
    CViewerDoc* doc = GetDocument();
    CImageBuffer image;
    if (!doc || !GetSaveImage(image))
        return;
    int quality = 95;
    std::string path;
    if (SaveAsAnswer()) {
        if (!SaveAsAnswer()(path, quality))
            return;
    } else {
        std::string filter;
        CImageExporter(GetExporterSearchPath()).BuildSaveFilter(filter, image.GetPixelType());
        const std::string name = doc->GetPathName().empty() ? doc->GetTitle()
                                                             : LastNameOf(doc->GetPathName());
        CFileSaveDlog dlg(&quality, doc->GetBitsPerPixel(), ExtensionWithoutDot(doc->GetPathName()), name,
                          kSaveAsFlags, filter, this);
        if (dlg.DoModal() != IDOK)
            return;
        path = dlg.GetPathName();
    }
    if (!SaveImage(path, quality))
        return;
    doc->SetModifiedFlag(FALSE);
    doc->SetPathName(path);
    if (CFrameWnd* f = GetParentFrame())
        f->OnUpdateFrameTitle(TRUE);
}

void CViewerView::OnUpdateSaveAs(CCmdUI* pCmdUI)
{
    CViewerDoc* doc = GetDocument();
    pCmdUI->Enable(HasValidBitmap() && doc && !doc->IsReaderBuild());
}

// ---- commands --------------------------------------------------------------

void CViewerView::OnQuit()
{
    if (CWnd* main = AfxGetMainWnd())
        main->PostMessage(WM_COMMAND, ID_VIEWER_QUIT, 0);
}

void CViewerView::OnSaveAll()
{
    if (CWnd* main = AfxGetMainWnd())
        main->PostMessage(WM_COMMAND, ID_VIEWER_SAVE_ALL, 0);
}

void CViewerView::OnCopy()
{
    CDibBitmap selection;
    if (!GetSelectionBitmap(selection))
        return;
    CDragDataSource source;
    source.SetDib(selection.CopyToGlobal());
    source.SetClipboard();
}

void CViewerView::OnUpdateCopy(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(HasValidBitmap() && !m_wndImage.GetCurrentArea().IsEmpty());
}

void CViewerView::OnSelectAll()
{
    if (HasValidBitmap())
        m_wndImage.SelectAll();
}

void CViewerView::OnUpdateNeedsPicture(CCmdUI* pCmdUI) { pCmdUI->Enable(HasValidBitmap()); }
void CViewerView::OnUpdateNever(CCmdUI* pCmdUI) { pCmdUI->Enable(FALSE); }
void CViewerView::OnNothing() {}

void CViewerView::OnAreaTool()
{
    m_wndImage.SetCursors(kCursorArea, -1, -1);
    m_wndImage.SetMode(kImageModeArea);
}

void CViewerView::OnMagnifier()
{
    m_wndImage.SetCursors(kCursorZoom, kCursorZoomOther, kCursorZoomEnd);
    m_wndImage.SetMode(kImageModeZoomIn);
    m_wndImage.SetZoomModifierKey(VK_SHIFT);
}

void CViewerView::OnGrabTool()
{
    m_wndImage.SetCursors(kCursorGrab, kCursorGrab, -1);
    m_wndImage.SetMode(kImageModePan);
}

void CViewerView::OnUpdateAreaTool(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(HasValidBitmap());
    pCmdUI->SetCheck(m_wndImage.m_hWnd && m_wndImage.GetMode() == kImageModeArea);
}

void CViewerView::OnUpdateMagnifier(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(HasValidBitmap());
    pCmdUI->SetCheck(m_wndImage.m_hWnd && m_wndImage.GetMode() == kImageModeZoomIn);
}

void CViewerView::OnUpdateGrabTool(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(HasValidBitmap());
    pCmdUI->SetCheck(m_wndImage.m_hWnd && m_wndImage.GetMode() == kImageModePan);
}

void CViewerView::ZoomTo(int64_t zoom)
{
    m_wndImage.SetZoom(zoom);
    if (CFrameWnd* f = GetParentFrame())
        f->DelayUpdateCommandUI();
}

void CViewerView::OnEnlarge()
{
    if (!HasValidBitmap())
        return;
    const int64_t z = m_wndImage.GetZoom();
    if (z < kMaxZoom)
        ZoomTo(NextZoomStep(z, true));
}

void CViewerView::OnReduce()
{
    if (!HasValidBitmap())
        return;
    const int64_t z = m_wndImage.GetZoom();
    if (z > kMinZoom)
        ZoomTo(NextZoomStep(z, false));
}

void CViewerView::OnUpdateEnlarge(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(GetDocument() && HasValidBitmap() && m_wndImage.GetZoom() < kMaxZoom);
}

void CViewerView::OnUpdateReduce(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(GetDocument() && HasValidBitmap() && m_wndImage.GetZoom() > kMinZoom);
}

void CViewerView::OnFit()
{
    if (!HasValidBitmap())
        return;
    m_wndImage.SetZoom(1);
    ZoomTo(m_wndImage.CalcFitZoom());
}

void CViewerView::OnActualSize()
{
    if (HasValidBitmap())
        ZoomTo(10000);
}

void CViewerView::OnFixedZoom(UINT nID)
{
    if (HasValidBitmap() && nID >= ID_VIEWER_ZOOM_400 && nID <= ID_VIEWER_ZOOM_25)
        ZoomTo(kFixedZooms[nID - ID_VIEWER_ZOOM_400]);
}

void CViewerView::OnUpdateFixedZoom(CCmdUI* pCmdUI)
{
    const BOOL shown = HasValidBitmap();
    pCmdUI->Enable(shown);
    const UINT id = pCmdUI->m_nID;
    pCmdUI->SetCheck(shown && id >= ID_VIEWER_ZOOM_400 && id <= ID_VIEWER_ZOOM_25 &&
                     m_wndImage.GetZoom() == kFixedZooms[id - ID_VIEWER_ZOOM_400]);
}

void CViewerView::Rotate(int degrees)
{
    if (!HasValidBitmap())
        return;
    CWaitCursor wait;
    m_nRotation = (degrees + m_nRotation) % 360;
    m_wndImage.RotateImage(degrees);
    if (CanSaveFileType())
        if (CViewerDoc* doc = GetDocument())
            doc->SetModifiedFlag(TRUE);
    if (CFrameWnd* f = GetParentFrame())
        f->DelayUpdateCommandUI();
}

void CViewerView::OnRotateCW() { Rotate(90); }
void CViewerView::OnRotateCCW() { Rotate(270); }
void CViewerView::OnRotate180() { Rotate(180); }

void CViewerView::OnUpdateRotate(CCmdUI* pCmdUI) { pCmdUI->Enable(GetDocument() && HasValidBitmap()); }

std::string CViewerView::GetInfoText() const
{
    CViewerDoc* doc = GetDocument();
    if (!doc || !m_pPicture || !m_pPicture->IsValid())
        return {};
    std::string date;
    const time_t t = time_t(m_pictureTime);
    std::tm local{};
    if (localtime_r(&t, &local)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        date = buf;
    }
    // The size of the picture as it is shown: a quarter turn swaps its sides.
    const bool across = m_nRotation % 180 != 0;
    char size[48];
    std::snprintf(size, sizeof size, "%dx%d", across ? m_pPicture->GetHeight() : m_pPicture->GetWidth(),
                  across ? m_pPicture->GetWidth() : m_pPicture->GetHeight());
    return doc->GetTitle() + " " + date + " " + size;
}

void CViewerView::OnUpdateInfo(CCmdUI* pCmdUI) { pCmdUI->SetText(GetInfoText()); }

// ---- notifications ---------------------------------------------------------

void CViewerView::OnZoomForward(NMHDR*, LRESULT* pResult)
{
    OnEnlarge();
    *pResult = 0;
}

void CViewerView::OnZoomBackward(NMHDR*, LRESULT* pResult)
{
    OnReduce();
    *pResult = 0;
}

BOOL CViewerView::OpenDroppedFiles(const std::vector<std::string>& paths)
{
    int pictures = 0;
    for (const std::string& p : paths)
        if (IsJpegFile(p) || IsTiffFile(p) || IsBmpFile(p))
            ++pictures;
    CViewerDoc* doc = GetDocument();
    if (pictures != 1 || !doc || !doc->GetDocTemplate())
        return FALSE;
    return doc->GetDocTemplate()->OpenDocumentFile(paths.front(), TRUE) != nullptr;
}

void CViewerView::OnDropNotify(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    CViewerDoc* doc = GetDocument();
    COleDataObject* data = m_wndImage.GetDropData();
    if (!doc || doc->IsReaderBuild() || !data || !data->GetMimeData())
        return;
    if (!data->IsDataAvailable(CF_HDROP) && !data->IsDataAvailable(GetClipboardFormats().pathList))
        return;
    std::vector<std::string> paths;
    GetDroppedFiles(data->GetMimeData(), paths);
    // The open replaces this view's picture: it runs once the drop is over.
    QPointer<QWidget> self = m_hWnd;
    QTimer::singleShot(0, m_hWnd, [this, self, paths] {
        if (self)
            OpenDroppedFiles(paths);
    });
}

void CViewerView::OnRightButton(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    CMenu menu;
    if (!menu.LoadMenu(IDR_VIEWER_CONTEXT))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup)
        return;
    CPoint at = m_wndImage.GetButtonDownPoint();
    m_wndImage.ClientToScreen(&at);
    CViewerDoc* doc = GetDocument();
    CWnd* owner = doc && doc->GetFrame() ? static_cast<CWnd*>(doc->GetFrame()) : AfxGetMainWnd();
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, owner);
}
