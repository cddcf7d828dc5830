#include "viewer/view_print_dlog.h"

#include "viewer/viewer_view.h"
#include "ui/edit_util.h"
#include "ui/font_dialog.h"
#include "ui/printer_dc.h"
#include "ui/ui_services.h"
#include "ui/window_helpers.h"
#include "util/geometry.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/wait_cursor.h"
#include "platform/gdi/gdi_object.h"
#include "resources/string_ids.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNAMIC(CViewPrintDlog, CDialogEx)

BEGIN_MESSAGE_MAP(CViewPrintDlog, CDialogEx)
    ON_BN_CLICKED(IDC_VP_BY_RESOLUTION, &CViewPrintDlog::OnSizing)
    ON_BN_CLICKED(IDC_VP_TO_PAGE, &CViewPrintDlog::OnSizing)
    ON_BN_CLICKED(IDC_VP_SHOW, &CViewPrintDlog::OnCaptionChoice)
    ON_BN_CLICKED(IDC_VP_HIDE, &CViewPrintDlog::OnCaptionChoice)
    ON_BN_CLICKED(IDC_VP_FONT, &CViewPrintDlog::OnFont)
    ON_BN_CLICKED(IDC_VP_PRINTER_SETUP, &CViewPrintDlog::OnPrinterSetup)
    ON_BN_CLICKED(IDC_VP_PRINT, &CViewPrintDlog::OnPrint)
    ON_BN_CLICKED(IDC_VP_QUIT, &CViewPrintDlog::OnQuit)
    ON_EN_CHANGE(IDC_VP_RESOLUTION, &CViewPrintDlog::OnResolutionEdit)
    ON_EN_CHANGE(IDC_VP_HEIGHT, &CViewPrintDlog::OnHeightEdit)
    ON_EN_CHANGE(IDC_VP_WIDTH, &CViewPrintDlog::OnWidthEdit)
END_MESSAGE_MAP()

namespace {

enum : UINT { ID_PRINT_SETUP = 57606 };

CViewPrintDlog::FontChooser g_fontChooser = nullptr;

void RegisterViewPrintTemplate()
{
    static const bool once = [] {
        const DWORD kChild = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        t.title = "Print Preview";
        t.rect = CRect(0, 0, 304, 233);
        auto add = [&t](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        add("STATIC", "", IDC_VP_PREVIEW, WS_CHILD, CRect(8, 8, 180, 212));
        add("BUTTON", "Size", IDC_VP_SIZE_GROUP, kChild | BS_GROUPBOX, CRect(188, 6, 296, 112));
        add("BUTTON", "Resolution", IDC_VP_BY_RESOLUTION, kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
            CRect(196, 18, 290, 28));
        add("BUTTON", "Size to Page", IDC_VP_TO_PAGE, kChild | BS_AUTORADIOBUTTON, CRect(196, 30, 290, 40));
        add("EDIT", "", IDC_VP_RESOLUTION, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(206, 44, 254, 56));
        add("STATIC", "dpi", IDC_VP_DPI_LABEL, kChild, CRect(258, 46, 290, 56));
        add("STATIC", "Height", IDC_VP_HEIGHT_LABEL, kChild, CRect(196, 66, 230, 76));
        add("EDIT", "", IDC_VP_HEIGHT, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(232, 64, 270, 76));
        add("STATIC", "mm", IDC_VP_HEIGHT_MM, kChild, CRect(274, 66, 292, 76));
        add("STATIC", "Width", IDC_VP_WIDTH_LABEL, kChild, CRect(196, 86, 230, 96));
        add("EDIT", "", IDC_VP_WIDTH, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(232, 84, 270, 96));
        add("STATIC", "mm", IDC_VP_WIDTH_MM, kChild, CRect(274, 86, 292, 96));
        add("BUTTON", "Display Image Info.", IDC_VP_CAPTION_GROUP, kChild | BS_GROUPBOX, CRect(188, 118, 296, 146));
        add("BUTTON", "Show", IDC_VP_SHOW, kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, CRect(196, 130, 240, 140));
        add("BUTTON", "Hide", IDC_VP_HIDE, kChild | BS_AUTORADIOBUTTON, CRect(244, 130, 290, 140));
        add("BUTTON", "Font", IDC_VP_FONT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(188, 150, 240, 164));
        add("BUTTON", "Printer Setup", IDC_VP_PRINTER_SETUP, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(188, 178, 296, 192));
        add("BUTTON", "Print", IDC_VP_PRINT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(188, 198, 240, 212));
        add("BUTTON", "Quit", IDC_VP_QUIT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(244, 198, 296, 212));
        RegisterDialogTemplate(IDD_VIEW_PRINT, t);
        return true;
    }();
    (void)once;
}

std::string TextOf(int64_t n) { return std::to_string(n); }

} // namespace

CViewPrintDlog::FontChooser CViewPrintDlog::SetFontChooser(FontChooser chooser)
{
    return std::exchange(g_fontChooser, chooser);
}

CViewPrintDlog::CViewPrintDlog(CViewerView* pView, CViewPrintSettings* pSettings)
    : CDialogEx(IDD_VIEW_PRINT, pView), m_pView(pView), m_pSettings(pSettings)
{
    RegisterViewPrintTemplate();
}

CViewPrintDlog::~CViewPrintDlog() = default;

void CViewPrintDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VP_PRINT, m_wndPrint);
    DDX_Control(pDX, IDC_VP_QUIT, m_wndQuit);
    DDX_Control(pDX, IDC_VP_FONT, m_wndFont);
    DDX_Control(pDX, IDC_VP_PRINTER_SETUP, m_wndSetup);
    DDX_Radio(pDX, IDC_VP_BY_RESOLUTION, m_nByResolution);
    DDX_Radio(pDX, IDC_VP_SHOW, m_nShowCaption);
    DDX_Text(pDX, IDC_VP_RESOLUTION, m_strResolution);
    DDX_Text(pDX, IDC_VP_HEIGHT, m_strHeight);
    DDX_Text(pDX, IDC_VP_WIDTH, m_strWidth);
}

BOOL CViewPrintDlog::PreparePrinter()
{
    m_pPrinter = CViewerView::CallDoPreparePrinting();
    if (!m_pPrinter)
        return FALSE;
    m_pView->OnBeginPrinting(m_pPrinter.get());
    return TRUE;
}

void CViewPrintDlog::ComputeLimits()
{
    const CSize page = m_pView->GetPrintableSize();
    const CPoint margin = m_pView->GetPrintOffset();
    const CRect area = m_pView->PictureArea(m_pPrinter.get(), CRect(0, 0, page.cx, page.cy), margin.x, margin.y);
    m_limits = viewprint::ComputeLimits(m_pSettings->m_nPictureWidth, m_pSettings->m_nPictureHeight, area, Dpi());
}

BOOL CViewPrintDlog::OnInitDialog()
{
    CWaitCursor wait;
    m_nByResolution = m_pSettings->m_bByResolution ? 0 : 1;
    m_nShowCaption = m_pSettings->m_bShowCaption ? 0 : 1;
    CDialogEx::OnInitDialog();
    if (!PreparePrinter()) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    if (CWnd* preview = GetDlgItem(IDC_VP_PREVIEW))
        preview->ShowWindow(SW_HIDE); // only its place counts: the dialog paints the page there
    for (UINT id : {IDC_VP_RESOLUTION, IDC_VP_HEIGHT, IDC_VP_WIDTH})
        if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(id)))
            edit->LimitText(viewprint::kMaxDigits);
    ComputeLimits();
    m_nWidth = m_limits.largestWidth;
    m_nHeight = m_limits.largestHeight;
    const int r = std::max(viewprint::ResolutionOf(m_pSettings->m_nPictureWidth, Dpi(), m_nWidth), m_limits.leastResolution);
    m_nHeight = viewprint::SideFromResolution(r, m_pSettings->m_nPictureHeight, Dpi(), m_limits.largestHeight);
    m_nWidth = viewprint::SideFromResolution(r, m_pSettings->m_nPictureWidth, Dpi(), m_limits.largestWidth);
    m_strResolution = r < 1 ? std::string() : TextOf(r);
    SetTexts();
    OnSizing();
    return TRUE;
}

void CViewPrintDlog::SetTexts()
{
    m_strHeight = TextOf(viewprint::MillimetresOf(m_nHeight, Dpi()));
    m_strWidth = TextOf(viewprint::MillimetresOf(m_nWidth, Dpi()));
    m_bSetting = true;
    UpdateData(FALSE);
    m_bSetting = false;
    Apply();
}

void CViewPrintDlog::Apply()
{
    m_pSettings->m_nResolution = int(viewprint::NumberOf(m_strResolution));
    m_pSettings->m_nPrintedWidth = viewprint::DotsOf(viewprint::NumberOf(m_strWidth), Dpi());
    m_pSettings->m_nPrintedHeight = viewprint::DotsOf(viewprint::NumberOf(m_strHeight), Dpi());
    Invalidate();
}

void CViewPrintDlog::OnResolutionChanged()
{
    const int64_t r = viewprint::NumberOf(m_strResolution);
    if (r > 0) {
        m_nHeight = viewprint::SideFromResolution(r, m_pSettings->m_nPictureHeight, Dpi(), m_limits.largestHeight);
        m_nWidth = viewprint::SideFromResolution(r, m_pSettings->m_nPictureWidth, Dpi(), m_limits.largestWidth);
    } else {
        m_nHeight = m_nWidth = 0;
    }
    m_strHeight = TextOf(viewprint::MillimetresOf(m_nHeight, Dpi()));
    m_strWidth = TextOf(viewprint::MillimetresOf(m_nWidth, Dpi()));
}

void CViewPrintDlog::OnHeightChanged() { SideChanged(true); }
void CViewPrintDlog::OnWidthChanged() { SideChanged(false); }

// One side entered in millimetres: the other side follows the picture's
// aspect, the resolution follows the side, never below the least one.
void CViewPrintDlog::SideChanged(bool height)
{
    const int pictureSide = height ? m_pSettings->m_nPictureHeight : m_pSettings->m_nPictureWidth;
    const int otherSide = height ? m_pSettings->m_nPictureWidth : m_pSettings->m_nPictureHeight;
    int& side = height ? m_nHeight : m_nWidth;
    int& other = height ? m_nWidth : m_nHeight;
    std::string& otherText = height ? m_strWidth : m_strHeight;
    int dots = viewprint::DotsOf(viewprint::NumberOf(height ? m_strHeight : m_strWidth), Dpi());
    if (dots < 1 || pictureSide < 1) {
        other = 0;
        m_strResolution.clear();
    } else {
        dots = std::min(dots, height ? m_limits.largestHeight : m_limits.largestWidth);
        side = dots;
        other = int(int64_t(otherSide) * dots / pictureSide);
        const int r = dots < 1 ? 0 : std::max(viewprint::ResolutionOf(pictureSide, Dpi(), dots), m_limits.leastResolution);
        m_strResolution = r < 1 ? std::string() : TextOf(r);
    }
    otherText = TextOf(viewprint::MillimetresOf(other, Dpi()));
}

void CViewPrintDlog::Clamp()
{
    ComputeLimits();
    if (m_nHeight > m_limits.largestHeight) {
        m_nHeight = m_limits.largestHeight;
        m_strHeight = TextOf(viewprint::MillimetresOf(m_nHeight, Dpi()));
        OnHeightChanged();
    }
    if (m_nWidth > m_limits.largestWidth) {
        m_nWidth = m_limits.largestWidth;
        m_strWidth = TextOf(viewprint::MillimetresOf(m_nWidth, Dpi()));
        OnWidthChanged();
    }
    m_bSetting = true;
    UpdateData(FALSE);
    m_bSetting = false;
    Apply();
}

// ---- the edits: digits only, each change runs its rule -----------------------

void CViewPrintDlog::EditChanged(UINT id, std::string& text, void (CViewPrintDlog::*rule)())
{
    // Putting the other values in their edits changes them in turn.
    if (m_bSetting)
        return;
    m_bSetting = true;
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(id)))
        KeepDigitsInEdit(this, edit, text);
    (this->*rule)();
    for (auto [other, value] : {std::pair{IDC_VP_RESOLUTION, &m_strResolution}, std::pair{IDC_VP_HEIGHT, &m_strHeight},
                                std::pair{IDC_VP_WIDTH, &m_strWidth}})
        if (other != id)
            SetDlgItemText(other, *value);
    m_bSetting = false;
    Apply();
}

void CViewPrintDlog::OnResolutionEdit() { EditChanged(IDC_VP_RESOLUTION, m_strResolution, &CViewPrintDlog::OnResolutionChanged); }
void CViewPrintDlog::OnHeightEdit() { EditChanged(IDC_VP_HEIGHT, m_strHeight, &CViewPrintDlog::OnHeightChanged); }
void CViewPrintDlog::OnWidthEdit() { EditChanged(IDC_VP_WIDTH, m_strWidth, &CViewPrintDlog::OnWidthChanged); }

// ---- choices -------------------------------------------------------------------

void CViewPrintDlog::OnSizing()
{
    m_bSetting = true;
    UpdateData(TRUE);
    m_bSetting = false;
    m_pSettings->m_bByResolution = m_nByResolution == 0;
    for (UINT id : {IDC_VP_RESOLUTION, IDC_VP_DPI_LABEL, IDC_VP_HEIGHT, IDC_VP_HEIGHT_LABEL, IDC_VP_HEIGHT_MM,
                    IDC_VP_WIDTH, IDC_VP_WIDTH_LABEL, IDC_VP_WIDTH_MM})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(m_pSettings->m_bByResolution);
    Invalidate();
}

void CViewPrintDlog::OnCaptionChoice()
{
    m_bSetting = true;
    UpdateData(TRUE);
    m_bSetting = false;
    m_pSettings->m_bShowCaption = m_nShowCaption == 0;
    Clamp();
}

void CViewPrintDlog::OnFont()
{
    LOGFONT lf = m_pSettings->m_captionFont;
    BOOL chosen = FALSE;
    if (g_fontChooser)
        chosen = g_fontChooser(lf);
    else
        chosen = ChooseFontDialog(this, lf);
    if (!chosen)
        return;
    m_pSettings->m_captionFont = lf;
    Clamp();
}

void CViewPrintDlog::OnPrinterSetup()
{
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_COMMAND, ID_PRINT_SETUP, 0);
    if (!PreparePrinter()) {
        EndDialog(IDCANCEL);
        return;
    }
    Clamp();
}

void CViewPrintDlog::OnPrint()
{
    m_bSetting = true;
    UpdateData(TRUE);
    m_bSetting = false;
    if (viewprint::NumberOf(m_strResolution) >= m_limits.leastResolution) {
        Apply();
        EndDialog(IDOK);
        return;
    }
    AfxMessageBox(IDS_RESOLUTION_TOO_LOW, MB_OK);
    m_strResolution = TextOf(m_limits.leastResolution);
    OnResolutionChanged();
    m_bSetting = true;
    UpdateData(FALSE);
    m_bSetting = false;
    Apply();
}

void CViewPrintDlog::OnQuit() { EndDialog(IDCANCEL); }

// ---- the preview -------------------------------------------------------------------

void CViewPrintDlog::OnPaint()
{
    CPaintDC dc(this);
    QPainter* p = dc.Painter();
    if (!p || !m_pPrinter)
        return;
    CRect area;
    GetDlgItemRectInParent(&area, this, IDC_VP_PREVIEW);
    area.InflateRect(4, 4);
    dc.FillSolidRect(&area, SchemeColorGreyBlue);
    const CSize page = m_pView->GetPrintableSize();
    const RECT pageRect{0, 0, page.cx, page.cy};
    RECT sheetRect{};
    ScaleRectKeepAspect(&area, &pageRect, &sheetRect, 1);
    CRect sheet(sheetRect);
    if (sheet.IsRectEmpty() || page.cx <= 0 || page.cy <= 0)
        return;
    CRect outline = sheet;
    outline.InflateRect(1, 1);
    p->setPen(QColor(0, 0, 0));
    p->setBrush(Qt::NoBrush);
    p->drawRect(outline.left, outline.top, outline.Width() - 1, outline.Height() - 1);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    dc.FillSolidRect(outline.right, outline.top + 3, 2, outline.Height() - 1, shadow);
    dc.FillSolidRect(outline.left + 2, outline.bottom, outline.Width(), 2, shadow);
    dc.FillSolidRect(&sheet, RGB(255, 255, 255));
    // The page in the printer's dots, scaled onto the sheet: drawn exactly as it prints.
    p->save();
    p->setClipRect(sheet.left, sheet.top, sheet.Width(), sheet.Height());
    p->translate(sheet.left, sheet.top);
    p->scale(double(sheet.Width()) / page.cx, double(sheet.Height()) / page.cy);
    {
        CDC pageDC(p); // takes the scale as its own
        pageDC.m_bPrinting = TRUE;
        const CPoint margin = m_pView->GetPrintOffset();
        m_pView->DrawPage(&pageDC, CRect(0, 0, page.cx, page.cy), margin.x, margin.y);
    }
    p->restore();
}
