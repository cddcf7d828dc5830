#include "message/aphoto_img_pane.h"

#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "message/ano_record.h"
#include "message/aphoto_doc.h"
#include "message/wave.h"
#include "platform/clipboard.h"
#include "platform/datetime.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/win_app.h"
#include "platform/gdi/gdi_object.h"
#include "resources/string_table.h"
#include "ui/ui_services.h"
#include "util/app_settings.h"
#include "util/draw_guards.h"
#include "util/geometry.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "resources/string_ids.h"

#include <QCursor>
#include <QWidget>

#include <algorithm>

IMPLEMENT_DYNCREATE(APhotoImgPane, CDialog)

BEGIN_MESSAGE_MAP(APhotoImgPane, CDialog)
    ON_NOTIFY(TCN_SELCHANGE, APhotoImgPane::IDC_TABS, &APhotoImgPane::OnTabChanged)
END_MESSAGE_MAP()

namespace {

enum : int { kCursorArea = 1067, kCursorGrab = 2109, kCursorFreehand = 2212 };

// The tools: command, marquee kind, control mode, owner cursor.
struct Tool {
    UINT id;
    int kind;
    int mode;
    int cursor;
};
constexpr Tool kTools[] = {
    {ID_TOOL_SQUARE, CAreaMarquee::square, kImageModeArea, kCursorArea},
    {ID_TOOL_ROUNDSQUARE, CAreaMarquee::roundSquare, kImageModeArea, kCursorArea},
    {ID_TOOL_OVAL, CAreaMarquee::oval, kImageModeArea, kCursorArea},
    {ID_TOOL_FREEHAND, CAreaMarquee::freehand, kImageModePoints, kCursorFreehand},
    {ID_TOOL_GRAB, CAreaMarquee::none, kImageModePan, kCursorGrab},
};

const Tool* FindTool(UINT id)
{
    for (const Tool& t : kTools)
        if (t.id == id)
            return &t;
    return nullptr;
}

void RegisterPaneResources()
{
    static const bool once = [] {
        DlgTemplate t;
        t.style = WS_CHILD | WS_CLIPCHILDREN;
        t.rect = CRect(0, 0, 200, 260);
        RegisterDialogTemplate(APhotoImgPane::IDD, t);
        // The tools' cursors: a cross to mark areas and outlines, a hand to move the picture.
        RegisterResCursor(kCursorArea, QCursor(Qt::CrossCursor));
        RegisterResCursor(kCursorFreehand, QCursor(Qt::CrossCursor));
        RegisterResCursor(kCursorGrab, QCursor(Qt::OpenHandCursor));
        RegisterMenuResource(APhotoImgPane::IDR_COMMENT_IMAGE,
                             {{MF_POPUP,
                               0,
                               "Comment Image",
                               {{MF_STRING, ID_EDIT_COPY, "&Copy", {}},
                                {MF_STRING, ID_ENLARGE, "&Enlarge", {}},
                                {MF_STRING, ID_REDUCE, "&Reduce", {}}}}});
        return true;
    }();
    (void)once;
}

SYSTEMTIME LocalNow()
{
    SYSTEMTIME st{};
    COleDateTime::GetCurrentTime().GetAsSystemTime(st);
    return st;
}

// A point turned with a picture of the given size, clockwise by quarter turns:
// exact, so that four quarter turns give the point back.
CPoint TurnPoint(CPoint p, CSize picture, int quarters)
{
    for (int i = 0; i < quarters; ++i) {
        p = CPoint(picture.cy - p.y, p.x);
        picture = CSize(picture.cy, picture.cx);
    }
    return p;
}

} // namespace

APhotoImgPane::APhotoImgPane(BOOL bWithEditors) : CDialog(IDD, nullptr), m_bWithEditors(bWithEditors)
{
    RegisterPaneResources();
}

APhotoImgPane::~APhotoImgPane() = default;

BOOL APhotoImgPane::Create(CWnd* pParent, UINT nID)
{
    if (!CDialog::Create(IDD, pParent))
        return FALSE;
    SetDlgCtrlID(int(nID));
    return TRUE;
}

BOOL APhotoImgPane::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_accel.Load(GetParent(), IDR_ACCEL);
    m_image.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 160, 160), this, IDC_IMAGE);
    m_image.SetMode(kImageModeArea);
    m_image.SetCursors(kCursorArea, kCursorArea, -1);
    // One area at a time: a press anywhere, inside the old area too, draws a new one.
    m_image.SetHandleTest(FALSE);
    m_image.SetInsideCode(FALSE);
    m_image.SetEnlargeQuality(GetAppSettings().m_bHiFiImage ? 1 : 0);
    m_image.EnableMouseTracking(TRUE);
    m_image.SetBkColor(kBackColor);
    m_image.EnableDrop(TRUE);
    m_image.AddDropFormat(CF_HDROP);
    m_image.AddDropFormat(GetClipboardFormats().pathList);
    m_bShowDate = GetAppSettings().m_bShowDateTime;
    m_image.SetAreaDrawCallback(&APhotoImgPane::DrawArea, LPARAM(this));
    m_image.SetDropListener(&m_dropListener);
    if (m_bWithEditors) {
        m_tabs.Create(WS_CHILD | WS_VISIBLE, CRect(0, 160, 160, 260), this, IDC_TABS);
        m_tabs.m_crBack = GetSchemeSysColor(COLOR_BTNFACE);
        m_tabs.m_crBand = GetSchemeSysColor(COLOR_APPWORKSPACE);
        m_tabs.InsertItem(kTabText, std::string(res::String(IDS_TAB_TEXT)));
        m_tabs.InsertItem(kTabAudio, std::string(res::String(IDS_TAB_AUDIO)));
        m_tabs.InsertItem(kTabImage, std::string(res::String(IDS_TAB_IMAGE)));
        m_textEditor.Create(IDD_TEXT_ANO_EDITOR, &m_tabs);
        m_soundEditor.Create(IDD_SOUND_ANO_EDITOR, &m_tabs);
        m_imageEditor.Create(IDD_IMAGE_ANO_EDITOR, &m_tabs);
        m_tabs.SetCurSel(kTabText);
        m_textEditor.ShowWindow(SW_SHOW);
    }
    RecalcLayout();
    // The pane zooms the control itself; Attach and the fit view put it back to fit.
    m_image.SetZoomMode(1, FALSE);
    return TRUE;
}

void APhotoImgPane::Attach(CWnd* pFrame)
{
    m_image.SetImage(nullptr, FALSE);
    m_zoomRect.SetRectEmpty();
    m_bZoomed = FALSE;
    m_image.SetZoomMode(0, FALSE);
    m_pFrame = pFrame;
    if (m_bWithEditors)
        for (CAnoEditor* e : {static_cast<CAnoEditor*>(&m_textEditor), static_cast<CAnoEditor*>(&m_soundEditor),
                              static_cast<CAnoEditor*>(&m_imageEditor)})
            e->SetFrame(GetFrame());
}

CWnd* APhotoImgPane::GetFrame() const { return m_pFrame ? m_pFrame : AfxGetMainWnd(); }

void APhotoImgPane::SetImage(CDibBitmap* pPicture, BOOL bRedraw)
{
    m_image.SetBorrowedImage(pPicture, bRedraw);
    RecalcLayout();
}

BOOL APhotoImgPane::HasPicture() const { return m_image.GetImage() && m_image.GetImage()->IsValid(); }

CSize APhotoImgPane::PictureSize() const { return HasPicture() ? m_image.GetImage()->GetSize() : CSize(0, 0); }

// ---- marquees and tools

CAreaMarquee APhotoImgPane::GetMarquee() const { return m_marquees.empty() ? CAreaMarquee() : m_marquees[0]; }

void APhotoImgPane::SetMarquee(const CAreaMarquee& marquee)
{
    const bool had = !m_marquees.empty();
    m_marquees.assign(1, marquee);
    if (m_image.m_hWnd)
        m_image.SetSelection(CImageQuad(marquee.m_rect), TRUE);
    // Add and Clear depend on there being an area: an area drawn after the
    // editor's content was chosen must light Add up.
    if (!had)
        UpdateEditorButtons();
}

void APhotoImgPane::SetMarquees(const std::vector<CAreaMarquee>& marquees)
{
    const bool had = !m_marquees.empty();
    m_marquees = marquees;
    if (had != !m_marquees.empty())
        UpdateEditorButtons();
    if (!m_image.m_hWnd)
        return;
    std::vector<CImageQuad> quads;
    for (const CAreaMarquee& m : marquees)
        quads.emplace_back(m.m_rect);
    if (quads.empty())
        m_image.ClearSelection();
    else
        m_image.SetAreas(quads, TRUE);
    m_image.Invalidate();
}

int APhotoImgPane::MarqueeKindOfTool(UINT nTool)
{
    const Tool* t = FindTool(nTool);
    return t ? t->kind : CAreaMarquee::none;
}

int APhotoImgPane::GetMarqueeKind() const { return MarqueeKindOfTool(m_nTool); }

void APhotoImgPane::ApplyToolToControl()
{
    const Tool* t = FindTool(m_nTool);
    if (!t || !m_image.m_hWnd)
        return;
    m_image.SetCursors(t->cursor, t->cursor, -1);
    m_image.SetMode(t->mode);
}

void APhotoImgPane::SetTool(UINT nTool)
{
    m_nTool = nTool;
    ApplyToolToControl();
}

CAreaMarquee APhotoImgPane::MarqueeFromArea(bool close) const
{
    if (m_image.GetMode() != kImageModePoints)
        return CAreaMarquee(m_image.GetCurrentArea().GetRect(), GetMarqueeKind());
    std::vector<CPoint> points;
    for (const POINT& p : m_image.GetPathPoints())
        points.emplace_back(p);
    // A finished outline is closed: its first point again at the end.
    if (close && !points.empty())
        points.push_back(points.front());
    CAreaMarquee marquee;
    marquee.SetFreehand(std::move(points));
    return marquee;
}

// ---- new comments

BOOL APhotoImgPane::BuildNewComment(CAnoRecord& out)
{
    CAnoEditor* editor = GetCurrentEditor();
    const std::string content = editor ? editor->GetContent() : std::string();
    CAreaMarquee marquee = GetMarquee();
    if (marquee.m_rect.IsRectEmpty()) {
        AfxMessageBox(IDS_WHOLE_PICTURE, MB_OK | MB_ICONINFORMATION);
        const CSize size = PictureSize();
        marquee = CAreaMarquee(CRect(0, 0, size.cx, size.cy), CAreaMarquee::square);
    }
    CAnoRecord record(CAnoRecord::text, GetAppSettings().m_strUserName, LocalNow(), marquee);
    switch (editor ? editor->GetContentKind() : CAnoRecord::text) {
    case CAnoRecord::sound: {
        // Only a sound that is there whole and plays becomes a comment.
        CWave check;
        if (!record.AttachSound(content) || !check.ReadFromMemory(record.Data()) || check.TotalSamples() == 0) {
            AfxMessageBox(FormatWithStrings(res::String(IDS_SOUND_NOT_ATTACHED), {content}),
                          MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
        break;
    }
    case CAnoRecord::image: {
        CImageBuffer picture;
        if (CAPhotoDoc::LoadPictureFile(content, picture, TRUE) && !record.AttachImage(content, picture))
            record = CAnoRecord(CAnoRecord::text, record.m_strUserName, record.m_date, marquee);
        break;
    }
    default: record.SetText(content.c_str()); break;
    }
    out = record;
    return TRUE;
}

// ---- commands

BOOL APhotoImgPane::CanDoCommand(UINT nID)
{
    CAnoEditor* editor = GetCurrentEditor();
    auto editorSays = [&](UINT id) { return editor && editor->CanDoCommand(id); };
    const bool marquee = !m_marquees.empty();
    switch (nID) {
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE: return (marquee && !m_bZoomed) || editorSays(nID);
    case ID_EDIT_CUT:
    case ID_EDIT_UNDO:
    case ID_ANO_EDITOR_COMMAND: return editorSays(nID);
    case ID_ADDANOTATION: return marquee && editorSays(nID);
    case ID_CLEARANOTATION: return marquee || editorSays(nID);
    case ID_ZOOMTOMARQUEE: return HasPicture() && marquee && !m_bZoomed;
    case ID_ZOOMFIT: return HasPicture() && m_bZoomed;
    case ID_ZOOM: return CanDoCommand(ID_ZOOMTOMARQUEE) || CanDoCommand(ID_ZOOMFIT);
    case ID_ENLARGE: return HasPicture() && m_image.GetZoom() < GetMaxZoom();
    case ID_REDUCE: return HasPicture() && m_image.GetZoom() > GetMinZoom();
    case ID_ROTATE_CW:
    case ID_ROTATE_CCW: return HasPicture();
    default: return FALSE;
    }
}

BOOL APhotoImgPane::DoCommand(UINT nID)
{
    if (!CanDoCommand(nID))
        return FALSE;
    switch (nID) {
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
    case ID_EDIT_PASTE:
    case ID_EDIT_UNDO:
    case ID_ANO_EDITOR_COMMAND: {
        // Only while the focus is in one of the program's windows.
        CAnoEditor* editor = GetCurrentEditor();
        return CWnd::GetFocus() && editor ? editor->DoCommand(nID) : FALSE;
    }
    case ID_ZOOMTOMARQUEE: ZoomToMarquee(); return TRUE;
    case ID_ZOOMFIT: ResetView(); return TRUE;
    case ID_ZOOM:
        if (CanDoCommand(ID_ZOOMTOMARQUEE))
            ZoomToMarquee();
        return TRUE;
    case ID_ENLARGE: Enlarge(); return TRUE;
    case ID_REDUCE: Reduce(); return TRUE;
    case ID_ROTATE_CW: Rotate(90); return TRUE;
    case ID_ROTATE_CCW: Rotate(270); return TRUE;
    default: return FALSE;
    }
}

void APhotoImgPane::PostToFrame(UINT nID)
{
    if (CWnd* frame = GetFrame())
        frame->PostMessage(WM_COMMAND, nID, 0);
}

// ---- zoom

int APhotoImgPane::GetMinZoom()
{
    RecalcZoomLimits();
    return m_nMinZoom;
}

int APhotoImgPane::GetMaxZoom()
{
    RecalcZoomLimits();
    return m_nMaxZoom;
}

// The fit zoom follows the control's size, which settles after the layout:
// the limits are taken anew wherever they are used.
void APhotoImgPane::RecalcZoomLimits()
{
    const int64_t fit = m_image.CalcFitZoom();
    m_nMinZoom = int(std::max<int64_t>(1, fit - fit / 10));
    int64_t most = 2 * int64_t(m_nMinZoom);
    if (m_bZoomed) {
        const CRect& target = !m_zoomRect.IsRectEmpty() ? m_zoomRect : GetMarquee().m_rect;
        if (!target.IsRectEmpty())
            most = 2 * m_image.CalcZoomToFitRect(target);
    }
    m_nMaxZoom = int(std::clamp<int64_t>(most, m_nMinZoom, INT32_MAX));
    // The control may go where the pane's own steps and zooms lead.
    m_image.SetZoomLimits(1, std::max<int>(m_nMaxZoom, int(std::min<int64_t>(INT32_MAX, 2 * fit))));
}

void APhotoImgPane::ZoomToRect(const CRect& imageRect)
{
    const CRect client = m_image.GetViewRect();
    const int64_t w = std::max<LONG>(1, imageRect.Width()), h = std::max<LONG>(1, imageRect.Height());
    const int64_t zoom = h >= w ? int64_t(client.Height()) * 10000 / h : int64_t(client.Width()) * 10000 / w;
    RecalcZoomLimits();
    m_image.SetZoomMode(1, FALSE);
    const CPoint centre = imageRect.CenterPoint();
    m_image.ZoomAt(std::max<int64_t>(1, zoom), centre.x, centre.y);
}

void APhotoImgPane::SetZoomRect(const CRect& imageRect)
{
    m_zoomRect = imageRect;
    m_bZoomed = TRUE;
    ZoomToRect(imageRect);
}

void APhotoImgPane::ZoomToMarquee()
{
    if (!m_zoomRect.IsRectEmpty() || m_marquees.empty())
        return;
    const CAreaMarquee marquee = GetMarquee();
    m_image.SetSelection(CImageQuad(marquee.m_rect), FALSE);
    m_bZoomed = TRUE;
    ZoomToRect(marquee.m_rect);
    SetTool(ID_TOOL_GRAB);
}

void APhotoImgPane::ResetView()
{
    m_zoomRect.SetRectEmpty();
    m_bZoomed = FALSE;
    m_image.SetZoomMode(0, FALSE);
    RecalcZoomLimits();
    m_image.SetZoom(m_image.CalcFitZoom());
    SetTool(ID_TOOL_SQUARE);
    m_image.Invalidate();
}

CPoint APhotoImgPane::MarqueeCentre() const
{
    if (!m_marquees.empty() && !m_marquees[0].m_rect.IsRectEmpty())
        return m_marquees[0].m_rect.CenterPoint();
    const CSize size = PictureSize();
    return CPoint(size.cx / 2, size.cy / 2);
}

void APhotoImgPane::Enlarge()
{
    const int64_t zoom = m_image.GetZoom();
    const int64_t fit = m_image.CalcFitZoom();
    const int64_t next = zoom * 10 / 9;
    m_bZoomed = TRUE;
    // Passing the fit view on the way up lands on it.
    if (zoom < fit && next >= fit) {
        PostToFrame(ID_ZOOMFIT);
        return;
    }
    RecalcZoomLimits();
    m_image.SetZoomMode(1, FALSE);
    const CPoint at = MarqueeCentre();
    m_image.ZoomAt(next, at.x, at.y);
}

void APhotoImgPane::Reduce()
{
    const int64_t zoom = m_image.GetZoom();
    const int64_t fit = m_image.CalcFitZoom();
    const int64_t next = zoom - zoom / 10;
    if (next < fit - fit / 10)
        return;
    if (zoom > fit && next <= fit) {
        PostToFrame(ID_ZOOMFIT);
        return;
    }
    // The point zoomed about walks from the marquee's centre to the
    // picture's, arriving there as the zoom reaches the fit view.
    const CPoint from = MarqueeCentre();
    const CSize size = PictureSize();
    const CPoint to(size.cx / 2, size.cy / 2);
    CPoint at = to;
    if (zoom > fit) {
        const int64_t step = zoom - next, room = zoom - fit;
        at.x = LONG(from.x + (int64_t(to.x) - from.x) * step / room);
        at.y = LONG(from.y + (int64_t(to.y) - from.y) * step / room);
    }
    RecalcZoomLimits();
    m_image.SetZoomMode(1, FALSE);
    m_image.ZoomAt(next, at.x, at.y);
}

// ---- rotation

CAreaMarquee APhotoImgPane::RotateMarquee(const CAreaMarquee& marquee, CSize picture, int degrees)
{
    const int quarters = ((degrees % 360) + 360) % 360 / 90;
    CAreaMarquee turned = marquee;
    if (marquee.m_nKind == CAreaMarquee::freehand && !marquee.m_points.empty()) {
        // The outline turns point by point, so it keeps its shape.
        std::vector<CPoint> points;
        points.reserve(marquee.m_points.size());
        for (const CPoint& p : marquee.m_points)
            points.push_back(TurnPoint(p, picture, quarters));
        turned.SetFreehand(std::move(points));
        return turned;
    }
    const CPoint a = TurnPoint(marquee.m_rect.TopLeft(), picture, quarters);
    const CPoint b = TurnPoint(marquee.m_rect.BottomRight(), picture, quarters);
    turned.m_rect = CRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
    return turned;
}

void APhotoImgPane::Rotate(int degrees)
{
    const CSize size = PictureSize();
    if (!m_zoomRect.IsRectEmpty())
        m_zoomRect = RotateMarquee(CAreaMarquee(m_zoomRect, CAreaMarquee::square), size, degrees).m_rect;
    if (!m_marquees.empty())
        SetMarquee(RotateMarquee(m_marquees[0], size, degrees));
    m_image.RotateImage(degrees);
    if (!m_marquees.empty())
        m_image.SetSelection(CImageQuad(m_marquees[0].m_rect), TRUE);
    RecalcLayout();
    if (m_bZoomed) {
        const CPoint at = MarqueeCentre();
        m_image.ZoomAt(m_image.GetZoom(), at.x, at.y);
    }
}

// ---- notifications

BOOL APhotoImgPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr && hdr->idFrom == IDC_IMAGE && hdr->hwndFrom == m_image.m_hWnd) {
        OnImageNotify(hdr, pResult);
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, pResult);
}

void APhotoImgPane::ForwardToParent(NMHDR* pHdr)
{
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_NOTIFY, WPARAM(m_hWnd), LPARAM(pHdr));
}

void APhotoImgPane::OnImageNotify(NMHDR* pHdr, LRESULT* pResult)
{
    *pResult = 0;
    switch (int(pHdr->code)) {
    case ICN_AREACHANGING:
    case ICN_AREACHANGED:
        SetMarquee(MarqueeFromArea(pHdr->code == ICN_AREACHANGED));
        ForwardToParent(pHdr);
        break;
    case ICN_MOUSEMOVE:
    case ICN_MOUSELEAVE:
        if (m_bAreaMode)
            ForwardToParent(pHdr);
        break;
    case ICN_DROP:
        if (CWnd* frame = GetFrame())
            frame->SendMessage(WM_COMMAND, ID_FILEDROPPED, 0);
        break;
    case ICN_RBUTTONDOWN: ShowContextMenu(); break;
    default: break;
    }
}

void APhotoImgPane::ShowContextMenu()
{
    CMenu menu;
    if (!menu.LoadMenu(IDR_COMMENT_IMAGE))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup)
        return;
    const CPoint at = m_image.GetButtonDownPoint();
    QWidget* viewport = m_image.Viewport();
    const QPoint global = viewport ? viewport->mapToGlobal(QPoint(at.x, at.y)) : QPoint(at.x, at.y);
    popup->TrackPopupMenu(TPM_RIGHTBUTTON, global.x(), global.y(), GetFrame());
}

void APhotoImgPane::OnLButtonDown(UINT nFlags, CPoint point)
{
    CDialog::OnLButtonDown(nFlags, point);
    if (CWnd* frame = GetFrame())
        frame->PostMessage(WM_COMMAND, ID_DESELECTCOMMENT, 0);
}

BOOL APhotoImgPane::PreTranslateMessage(MSG* pMsg)
{
    if (m_accel.Translate(pMsg))
        return TRUE;
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE)
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

// ---- tabs and editors

CAnoEditor* APhotoImgPane::EditorOfTab(int nTab)
{
    if (!m_bWithEditors)
        return nullptr;
    switch (nTab) {
    case kTabAudio: return &m_soundEditor;
    case kTabImage: return &m_imageEditor;
    default: return &m_textEditor;
    }
}

CAnoEditor* APhotoImgPane::GetCurrentEditor()
{
    return EditorOfTab(m_bWithEditors && m_tabs.m_hWnd ? m_tabs.GetCurSel() : kTabText);
}

void APhotoImgPane::SelectTab(int nTab)
{
    if (!m_bWithEditors)
        return;
    m_tabs.SetCurSel(nTab);
    ShowCurrentEditor();
}

void APhotoImgPane::ShowCurrentEditor()
{
    CAnoEditor* current = GetCurrentEditor();
    for (CAnoEditor* e : {EditorOfTab(kTabText), EditorOfTab(kTabAudio), EditorOfTab(kTabImage)})
        if (e != current)
            e->ShowWindow(SW_HIDE);
    current->ShowWindow(SW_SHOW);
}

void APhotoImgPane::OnTabChanged(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    ShowCurrentEditor();
}

void APhotoImgPane::SetReadOnly(DWORD dwReadOnly)
{
    m_dwReadOnly = dwReadOnly;
    if (m_bWithEditors)
        for (int tab : {kTabText, kTabAudio, kTabImage})
            EditorOfTab(tab)->SetReadOnly(dwReadOnly);
}

void APhotoImgPane::UpdateEditorButtons()
{
    if (m_bWithEditors)
        for (int tab : {kTabText, kTabAudio, kTabImage})
            EditorOfTab(tab)->UpdateButtons();
}

void APhotoImgPane::ResetEditors()
{
    if (m_bWithEditors)
        for (int tab : {kTabText, kTabAudio, kTabImage})
            EditorOfTab(tab)->Reset();
}

void APhotoImgPane::RefreshDateFlag()
{
    m_bShowDate = GetAppSettings().m_bShowDateTime;
    m_image.Invalidate();
}

// ---- layout and painting

CSize APhotoImgPane::GetMinTrackSize()
{
    int editors = 0;
    if (m_bWithEditors && m_tabs.m_hWnd) {
        CRect tab;
        m_tabs.GetItemRect(0, &tab);
        editors = std::max({m_textEditor.GetPreferredHeight(), m_soundEditor.GetPreferredHeight(),
                            m_imageEditor.GetPreferredHeight()}) +
                  6 + tab.Height();
    }
    CRect client;
    GetClientRect(&client);
    client.DeflateRect(2, 2);
    const int side = std::max<int>(160, std::min<int>(client.Width(), client.Height() - (m_bWithEditors ? 4 + editors : 10)));
    return CSize(std::max(side + 4, 160), side + editors + 8);
}

void APhotoImgPane::RecalcLayout()
{
    if (!m_image.m_hWnd)
        return;
    CRect inner;
    GetClientRect(&inner);
    inner.DeflateRect(2, 2);
    int editors = 0;
    CRect tab;
    if (m_bWithEditors && m_tabs.m_hWnd) {
        m_tabs.GetItemRect(0, &tab);
        editors = std::max({m_textEditor.GetPreferredHeight(), m_soundEditor.GetPreferredHeight(),
                            m_imageEditor.GetPreferredHeight()}) +
                  6 + tab.Height();
    }
    const int side = std::max<int>(160, std::min<int>(inner.Width(), inner.Height() - (m_bWithEditors ? 4 + editors : 10)));
    const CRect area(inner.left, inner.top, inner.left + side, inner.top + side);
    CRect room = area;
    room.DeflateRect(5, 5);
    CRect place = room;
    if (HasPicture()) {
        const CSize size = PictureSize();
        const CRect source(0, 0, size.cx, size.cy);
        FitRectKeepAspect(&room, &source, &place, 1);
        // A picture smaller than the room still fills it, keeping its shape.
        if (place.Width() < room.Width() && place.Height() < room.Height()) {
            const int64_t sx = int64_t(room.Width()) * size.cy, sy = int64_t(room.Height()) * size.cx;
            const int w = sx <= sy ? room.Width() : int(int64_t(room.Height()) * size.cx / std::max<LONG>(1, size.cy));
            const int h = sx <= sy ? int(int64_t(room.Width()) * size.cy / std::max<LONG>(1, size.cx)) : room.Height();
            place = CRect(room.left + (room.Width() - w) / 2, room.top + (room.Height() - h) / 2, 0, 0);
            place.right = place.left + w;
            place.bottom = place.top + h;
        }
    }
    m_image.MoveWindow(place);
    if (m_bWithEditors && m_tabs.m_hWnd) {
        const CRect tabs(inner.left, area.bottom + 2, inner.right, std::max<int>(area.bottom + 3, inner.bottom - 2));
        m_tabs.MoveWindow(tabs);
        CRect display(0, tab.bottom, tabs.Width(), tabs.Height());
        display.DeflateRect(3, 3);
        for (int t : {kTabText, kTabAudio, kTabImage})
            EditorOfTab(t)->MoveWindow(display);
    }
    if (!m_bZoomed)
        m_image.SetZoomMode(0, FALSE);
    RecalcZoomLimits();
    Invalidate();
}

void APhotoImgPane::OnSize(UINT nType, int cx, int cy)
{
    CDialog::OnSize(nType, cx, cy);
    RecalcLayout();
}

BOOL APhotoImgPane::OnEraseBkgnd(CDC*) { return TRUE; }

void APhotoImgPane::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    const COLORREF back = GetSchemeSysColor(COLOR_APPWORKSPACE);
    dc.FillSolidRect(&client, back);
    if (!m_image.m_hWnd)
        return;
    CRect frame;
    m_image.GetWindowRect(&frame);
    ScreenToClient(&frame);
    frame.InflateRect(5, 5);
    Draw3DRoundFrame(&dc, frame, kBackColor, back, RGB(255, 255, 255), GetSchemeSysColor(COLOR_BTNFACE),
                     GetSysColor(COLOR_BTNSHADOW), RGB(0, 0, 0));
}

BOOL APhotoImgPane::DrawArea(CDC* pDC, int index, const CImageQuad&, int, LPARAM user1, LPARAM)
{
    auto* pane = reinterpret_cast<APhotoImgPane*>(user1);
    if (index < 0 || size_t(index) >= pane->m_marquees.size())
        return TRUE;
    const CAreaMarquee& marquee = pane->m_marquees[size_t(index)];
    if (marquee.m_rect.IsRectEmpty() && marquee.m_points.empty())
        return TRUE;
    const CRect rect = pane->m_image.ImageRectToClient(marquee.m_rect);
    CPen pen(PS_SOLID, 1, kAreaColor);
    CPenSelection penSel(pDC, &pen);
    HGDIOBJ oldBrush = pDC->SelectObject(GetStockObject(NULL_BRUSH));
    switch (marquee.m_nKind) {
    case CAreaMarquee::freehand: marquee.DrawFreehand(*pDC, rect); break;
    case CAreaMarquee::roundSquare: {
        const LONG corner = CAreaMarquee::RoundCorner(rect);
        pDC->RoundRect(rect.left, rect.top, rect.right, rect.bottom, corner, corner);
        break;
    }
    case CAreaMarquee::oval: pDC->RoundRect(rect.left, rect.top, rect.right, rect.bottom, rect.Width(), rect.Height()); break;
    default: pDC->RoundRect(rect.left, rect.top, rect.right, rect.bottom, 0, 0); break;
    }
    pDC->SelectObject(oldBrush);
    return TRUE;
}

// ---- drops

BOOL APhotoImgPane::AcceptsDrop(const std::vector<std::string>& paths, DWORD dwReadOnly)
{
    int messages = 0, pictures = 0;
    for (const std::string& p : paths) {
        if (CAPhotoDoc::IsMessageFile(p))
            ++messages;
        else if (IsJpegFile(p) || IsTiffFile(p) || IsBmpFile(p))
            ++pictures;
    }
    if (messages > 0)
        return messages == 1 && pictures == 0;
    return pictures >= 1 && pictures <= 2 && dwReadOnly == 0;
}

DROPEFFECT APhotoImgPane::DropEffect(COleDataObject* data) const
{
    const UINT pathList = GetClipboardFormats().pathList;
    std::vector<UINT> formats{CF_HDROP};
    if (pathList)
        formats.push_back(pathList);
    if (!data || !IsAnyFormatAvailable(data, formats))
        return DROPEFFECT_NONE;
    return AcceptsDrop(GetMimeFilePaths(data->GetMimeData()), m_dwReadOnly) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}
