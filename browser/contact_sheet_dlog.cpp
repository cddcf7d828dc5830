#include "browser/contact_sheet_dlog.h"

#include "ui/printer_dc.h"
#include "ui/ui_services.h"
#include "ui/window_helpers.h"
#include "util/geometry.h"
#include "platform/framework/controls.h"
#include "platform/framework/font_dialog.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "platform/gdi/gdi_object.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

BEGIN_MESSAGE_MAP(CMainPrintDlog, CDialogEx)
    ON_BN_CLICKED(IDC_SHEET_BACK, &CMainPrintDlog::OnBack)
    ON_BN_CLICKED(IDC_SHEET_NEXT, &CMainPrintDlog::OnNext)
    ON_BN_CLICKED(IDC_SHEET_PRINTER_SETUP, &CMainPrintDlog::OnPrinterSetup)
    ON_BN_CLICKED(IDC_SHEET_FONT, &CMainPrintDlog::OnFont)
    ON_CONTROL(BN_CLICKED, IDC_SHEET_PAGE_NUMBERS_SHOW, &CMainPrintDlog::OnPageNumbers)
    ON_CONTROL(BN_CLICKED, IDC_SHEET_PAGE_NUMBERS_HIDE, &CMainPrintDlog::OnPageNumbers)
    ON_CONTROL(BN_CLICKED, IDC_SHEET_INFO_SHOW, &CMainPrintDlog::OnImageInfo)
    ON_CONTROL(BN_CLICKED, IDC_SHEET_INFO_HIDE, &CMainPrintDlog::OnImageInfo)
    ON_BN_CLICKED(IDC_SHEET_PRINT, &CMainPrintDlog::OnPrint)
    ON_BN_CLICKED(IDC_SHEET_QUIT, &CMainPrintDlog::OnQuit)
    ON_EN_CHANGE(IDC_SHEET_COLUMNS, &CMainPrintDlog::OnColumnsChange)
    ON_EN_CHANGE(IDC_SHEET_ROWS, &CMainPrintDlog::OnRowsChange)
END_MESSAGE_MAP()

namespace {

constexpr UINT kDialogIcon = 129;
constexpr int kPreviewBorder = 4;

CMainPrintDlog::PrinterFactory g_printerFactory = nullptr;

void RegisterMainPrintTemplate()
{
    static const bool once = [] {
        constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        t.rect = CRect(0, 0, 321, 185);
        t.title = "Print Preview";
        auto add = [&t](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        // The preview's place; the dialog draws the paper there itself.
        add("STATIC", "", IDC_SHEET_PREVIEW, WS_CHILD, CRect(8, 8, 212, 158));
        add("BUTTON", "Back", IDC_SHEET_BACK, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(56, 164, 96, 178));
        add("STATIC", "1000/1000", IDC_SHEET_PAGE_TEXT, kChild | SS_CENTER, CRect(98, 167, 122, 176));
        add("BUTTON", "Next", IDC_SHEET_NEXT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(124, 164, 164, 178));
        add("BUTTON", "Row x Column", IDC_SHEET_GRID_GROUP, kChild | BS_GROUPBOX, CRect(224, 6, 313, 50));
        add("EDIT", "", IDC_SHEET_ROWS, kChild | WS_TABSTOP | WS_BORDER | ES_NUMBER, CRect(232, 17, 258, 29));
        add("msctls_updown32", "", IDC_SHEET_ROW_SPIN, kChild, CRect(258, 17, 266, 29));
        add("STATIC", "Row", IDC_SHEET_ROW_LABEL, kChild, CRect(272, 19, 308, 27));
        add("EDIT", "", IDC_SHEET_COLUMNS, kChild | WS_TABSTOP | WS_BORDER | ES_NUMBER, CRect(232, 33, 258, 45));
        add("msctls_updown32", "", IDC_SHEET_COLUMN_SPIN, kChild, CRect(258, 33, 266, 45));
        add("STATIC", "Column", IDC_SHEET_COLUMN_LABEL, kChild, CRect(272, 35, 308, 43));
        add("BUTTON", "Page No.", IDC_SHEET_PAGE_NUMBERS_GROUP, kChild | BS_GROUPBOX, CRect(224, 54, 313, 78));
        add("BUTTON", "Show", IDC_SHEET_PAGE_NUMBERS_SHOW, kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
            CRect(232, 64, 268, 74));
        add("BUTTON", "Hide", IDC_SHEET_PAGE_NUMBERS_HIDE, kChild | BS_AUTORADIOBUTTON, CRect(272, 64, 308, 74));
        add("BUTTON", "Display Image Info.", IDC_SHEET_INFO_GROUP, kChild | BS_GROUPBOX, CRect(224, 82, 313, 106));
        add("BUTTON", "Show", IDC_SHEET_INFO_SHOW, kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
            CRect(232, 92, 268, 102));
        add("BUTTON", "Hide", IDC_SHEET_INFO_HIDE, kChild | BS_AUTORADIOBUTTON, CRect(272, 92, 308, 102));
        add("BUTTON", "Font", IDC_SHEET_FONT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(224, 112, 313, 126));
        add("BUTTON", "Printer Setup", IDC_SHEET_PRINTER_SETUP, kChild | WS_TABSTOP | BS_OWNERDRAW,
            CRect(224, 140, 313, 154));
        add("BUTTON", "Print", IDC_SHEET_PRINT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(224, 164, 266, 178));
        add("BUTTON", "Quit", IDC_SHEET_QUIT, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(271, 164, 313, 178));
        RegisterDialogTemplate(IDD_MAIN_PRINT, t);
        return true;
    }();
    (void)once;
}

std::unique_ptr<CPrinterDC> MakePrinter()
{
    return g_printerFactory ? g_printerFactory() : std::make_unique<CPrinterDC>();
}

} // namespace

void CMainPrintDlog::SetPrinterFactory(PrinterFactory factory) { g_printerFactory = factory; }

CMainPrintDlog::CMainPrintDlog(CWnd* pParent, CContactSheet* pView, CContactSheetSettings* pSettings)
    : CDialogEx(IDD_MAIN_PRINT, pParent), m_pView(pView), m_pSettings(pSettings),
      m_nPageNumbers(pSettings->pageNumbers == 1 ? 0 : 1), m_nImageInfo(pSettings->imageInfo == 1 ? 0 : 1),
      m_nColumns(pSettings->columns), m_nRows(pSettings->rows)
{
    RegisterMainPrintTemplate();
}

CMainPrintDlog::~CMainPrintDlog() = default;

void CMainPrintDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SHEET_BACK, m_wndBack);
    DDX_Control(pDX, IDC_SHEET_NEXT, m_wndNext);
    DDX_Control(pDX, IDC_SHEET_FONT, m_wndFont);
    DDX_Control(pDX, IDC_SHEET_PRINTER_SETUP, m_wndSetup);
    DDX_Control(pDX, IDC_SHEET_PRINT, m_wndPrint);
    DDX_Control(pDX, IDC_SHEET_QUIT, m_wndQuit);
    DDX_Text(pDX, IDC_SHEET_COLUMNS, m_nColumns);
    DDV_MinMaxInt(pDX, m_nColumns, 1, CContactSheet::kMaxGrid);
    DDX_Text(pDX, IDC_SHEET_ROWS, m_nRows);
    DDV_MinMaxInt(pDX, m_nRows, 1, CContactSheet::kMaxGrid);
    DDX_Radio(pDX, IDC_SHEET_PAGE_NUMBERS_SHOW, m_nPageNumbers);
    DDX_Radio(pDX, IDC_SHEET_INFO_SHOW, m_nImageInfo);
    DDX_Text(pDX, IDC_SHEET_PAGE_TEXT, m_strPageText);
}

BOOL CMainPrintDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    m_settingsIds = {IDC_SHEET_GRID_GROUP,  IDC_SHEET_COLUMN_SPIN,        IDC_SHEET_COLUMNS,
                     IDC_SHEET_COLUMN_LABEL, IDC_SHEET_ROW_SPIN,          IDC_SHEET_ROWS,
                     IDC_SHEET_ROW_LABEL,    IDC_SHEET_INFO_GROUP,        IDC_SHEET_INFO_SHOW,
                     IDC_SHEET_INFO_HIDE,    IDC_SHEET_PAGE_NUMBERS_GROUP, IDC_SHEET_PAGE_NUMBERS_SHOW,
                     IDC_SHEET_PAGE_NUMBERS_HIDE, IDC_SHEET_FONT};
    m_buttonIds = {IDC_SHEET_PRINTER_SETUP, IDC_SHEET_PRINT, IDC_SHEET_QUIT};
    m_pageBarIds = {IDC_SHEET_BACK, IDC_SHEET_PAGE_TEXT, IDC_SHEET_NEXT};
    SetSystemIcon(kDialogIcon);

    for (const auto& [spinId, buddy] : {std::pair{IDC_SHEET_ROW_SPIN, IDC_SHEET_ROWS},
                                        std::pair{IDC_SHEET_COLUMN_SPIN, IDC_SHEET_COLUMNS}})
        if (auto* spin = dynamic_cast<CSpinButtonCtrl*>(GetDlgItem(int(spinId)))) {
            spin->SetRange(1, CContactSheet::kMaxGrid);
            spin->SetBuddy(GetDlgItem(int(buddy)));
        }

    if (!PreparePrinting(1)) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    // The layout moves the controls from where the template puts them.
    CRect window;
    GetWindowRect(&window);
    m_minWindow = window.Size();
    const DlgTemplate* tmpl = FindDialogTemplate(IDD_MAIN_PRINT);
    m_initialClient = MapDialogRect(tmpl->rect).Size();
    m_initialRects.clear();
    for (const DlgItemTemplate& item : tmpl->items) {
        const CRect r = MapDialogRect(item.rect);
        m_initialRects.emplace_back(item.id, r);
    }
    m_bReady = true;
    LayOut();
    m_wndBack.EnableWindow(TRUE);
    m_wndNext.EnableWindow(TRUE);
    UpdateData(FALSE);
    UpdatePageText();
    return TRUE;
}

bool CMainPrintDlog::PreparePrinting(int page)
{
    m_pPrinter.reset();
    m_bPrepared = FALSE;
    std::unique_ptr<CPrinterDC> printer = MakePrinter();
    if (!printer || !printer->HasDefaults())
        return false;
    m_pPrinter = std::move(printer);
    m_bPrepared = TRUE;
    m_pView->BeginPrinting(m_pPrinter.get());
    m_nLastPage = std::max(1, m_pView->m_nPageCount);
    m_nCurrentPage = std::clamp(page, 1, m_nLastPage);
    return true;
}

void CMainPrintDlog::RefreshPreview()
{
    if (!m_pPrinter)
        return;
    m_pView->BeginPrinting(m_pPrinter.get());
    m_nLastPage = std::max(1, m_pView->m_nPageCount);
    if (m_nCurrentPage > m_nLastPage)
        m_nCurrentPage = m_nLastPage;
    Invalidate(FALSE);
    UpdatePageText();
}

void CMainPrintDlog::UpdatePageButtons()
{
    m_wndBack.EnableWindow(1 < m_nCurrentPage);
    m_wndNext.EnableWindow(m_nCurrentPage < m_nLastPage);
}

void CMainPrintDlog::UpdatePageText()
{
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d", m_nCurrentPage, m_nLastPage);
    m_strPageText = text;
    SetDlgItemText(IDC_SHEET_PAGE_TEXT, m_strPageText);
    UpdatePageButtons();
}

void CMainPrintDlog::OnBack()
{
    if (m_nCurrentPage <= 1)
        return;
    --m_nCurrentPage;
    UpdatePageText();
    Invalidate(FALSE);
}

void CMainPrintDlog::OnNext()
{
    if (m_nCurrentPage >= m_nLastPage)
        return;
    ++m_nCurrentPage;
    UpdatePageText();
    Invalidate(FALSE);
}

void CMainPrintDlog::OnPageNumbers(UINT nID)
{
    CheckRadioButton(IDC_SHEET_PAGE_NUMBERS_SHOW, IDC_SHEET_PAGE_NUMBERS_HIDE, int(nID));
    if (!UpdateData(TRUE))
        return;
    m_pSettings->pageNumbers = m_nPageNumbers == 0 ? 1 : 0;
    Invalidate(FALSE);
}

void CMainPrintDlog::OnImageInfo(UINT nID)
{
    CheckRadioButton(IDC_SHEET_INFO_SHOW, IDC_SHEET_INFO_HIDE, int(nID));
    if (!UpdateData(TRUE))
        return;
    m_pSettings->imageInfo = m_nImageInfo == 0 ? 1 : 0;
    Invalidate(FALSE);
}

void CMainPrintDlog::OnColumnsChange() { OnGridChange(m_pSettings->columns); }

void CMainPrintDlog::OnRowsChange() { OnGridChange(m_pSettings->rows); }

void CMainPrintDlog::OnGridChange(int& field)
{
    if (!m_bReady)
        return;
    // A box emptied to type the next digit is not yet an entry.
    if (GetDlgItemText(IDC_SHEET_ROWS).empty() || GetDlgItemText(IDC_SHEET_COLUMNS).empty())
        return;
    if (!UpdateData(TRUE))
        return;
    field = &field == &m_pSettings->rows ? m_nRows : m_nColumns;
    RefreshPreview();
}

void CMainPrintDlog::OnFont()
{
    CFontDialog dlg(m_pSettings->font, m_pSettings->fontResolution, this);
    if (dlg.DoModal() != IDOK)
        return;
    dlg.GetCurrentFont(&m_pSettings->font);
    RefreshPreview();
}

void CMainPrintDlog::OnPrinterSetup()
{
    if (CWnd* parent = GetParent())
        if (CWnd* frame = parent->GetTopLevelParent())
            frame->SendMessage(WM_COMMAND, ID_FILE_PRINT_SETUP_COMMAND, 0);
    if (!PreparePrinting(m_nCurrentPage)) {
        EndDialog(IDCANCEL);
        return;
    }
    RefreshPreview();
}

void CMainPrintDlog::OnPrint() { EndDialog(IDOK); }

void CMainPrintDlog::OnQuit() { EndDialog(IDCANCEL); }

CRect CMainPrintDlog::PreviewArea() const
{
    CRect area;
    GetDlgItemRectInParent(&area, const_cast<CMainPrintDlog*>(this), IDC_SHEET_PREVIEW);
    area.InflateRect(kPreviewBorder, kPreviewBorder);
    return area;
}

void CMainPrintDlog::DrawPaper(CDC* pDC, const CRect& paper)
{
    pDC->FillSolidRect(&paper, RGB(255, 255, 255));
    CPen outline(PS_SOLID, 2, GetSchemeSysColor(6));
    CPen* old = pDC->SelectObject(&outline);
    pDC->MoveTo(paper.left, paper.top);
    pDC->LineTo(paper.right, paper.top);
    pDC->LineTo(paper.right, paper.bottom);
    pDC->LineTo(paper.left, paper.bottom);
    pDC->LineTo(paper.left, paper.top);
    CPen shadow(PS_SOLID, 3, GetSchemeSysColor(16));
    pDC->SelectObject(&shadow);
    pDC->MoveTo(paper.right + 1, paper.top + 3);
    pDC->LineTo(paper.right + 1, paper.bottom + 1);
    pDC->MoveTo(paper.left + 3, paper.bottom + 1);
    pDC->LineTo(paper.right + 1, paper.bottom + 1);
    pDC->SelectObject(old);
}

void CMainPrintDlog::DrawPreview(CDC* pDC)
{
    if (!m_pView || !m_pPrinter)
        return;
    const CRect area = PreviewArea();
    pDC->FillSolidRect(&area, SchemeColorGreyBlue);
    const CRect page(0, 0, m_pPrinter->GetDeviceCaps(HORZRES), m_pPrinter->GetDeviceCaps(VERTRES));
    if (page.IsRectEmpty())
        return;
    CRect inside(area);
    inside.DeflateRect(8, 8);
    RECT fitted{};
    FitRectKeepAspect(&inside, &page, &fitted, 1);
    m_rcPaper = CRect(fitted);
    DrawPaper(pDC, m_rcPaper);
    if (m_rcPaper.IsRectEmpty())
        return;
    // The page is drawn in the printer's pixels and scaled onto the paper,
    // so that the preview lays out and breaks lines as the printer will.
    QImage sheet(m_rcPaper.Width(), m_rcPaper.Height(), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(double(m_rcPaper.Width()) / page.Width(), double(m_rcPaper.Height()) / page.Height());
        CDC pageDC(&painter);
        pageDC.m_bPrinting = TRUE;
        pageDC.SetBkMode(TRANSPARENT);
        m_pView->DrawPage(&pageDC, m_nCurrentPage, page);
        pageDC.DeleteDC();
    }
    pDC->StretchImage(m_rcPaper.left, m_rcPaper.top, m_rcPaper.Width(), m_rcPaper.Height(), sheet, 0, 0,
                      sheet.width(), sheet.height(), SRCCOPY);
}

void CMainPrintDlog::OnPaint()
{
    CPaintDC dc(this);
    DrawPreview(&dc);
}

BOOL CMainPrintDlog::OnEraseBkgnd(CDC* pDC)
{
    CDialogEx::OnEraseBkgnd(pDC);
    if (!m_bReady)
        return TRUE;
    const COLORREF light = GetSchemeSysColor(20), shadow = GetSchemeSysColor(16);
    auto frame = [&](CRect r) {
        r.InflateRect(10, 10);
        Draw3DRoundFrame(pDC, r, CLR_INVALID, CLR_INVALID, light, light, shadow, shadow);
    };
    CRect preview = PreviewArea(), back;
    GetDlgItemRectInParent(&back, this, IDC_SHEET_BACK);
    preview.bottom = std::max(preview.bottom, back.bottom);
    frame(preview);
    CRect settings, font;
    GetDlgItemRectInParent(&settings, this, IDC_SHEET_GRID_GROUP);
    GetDlgItemRectInParent(&font, this, IDC_SHEET_FONT);
    settings.bottom = std::max(settings.bottom, font.bottom);
    frame(settings);
    return TRUE;
}

void CMainPrintDlog::LayOut()
{
    if (!m_bReady)
        return;
    CRect client;
    GetClientRect(&client);
    const int dx = client.Width() - m_initialClient.cx, dy = client.Height() - m_initialClient.cy;
    auto in = [](const std::vector<UINT>& ids, UINT id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
    for (const auto& [id, r] : m_initialRects) {
        CWnd* w = GetDlgItem(int(id));
        if (!w)
            continue;
        CRect to(r);
        if (id == IDC_SHEET_PREVIEW) {
            to.right += dx;
            to.bottom += dy;
        } else if (in(m_settingsIds, id)) {
            to.OffsetRect(dx, 0);
        } else if (in(m_buttonIds, id)) {
            to.OffsetRect(dx, in({IDC_SHEET_PRINTER_SETUP}, id) ? 0 : dy);
        } else if (in(m_pageBarIds, id)) {
            // The page bar stays centred below the preview.
            to.OffsetRect(dx / 2, dy);
        }
        w->MoveWindow(to);
    }
    Invalidate();
}

void CMainPrintDlog::OnSize(UINT nType, int cx, int cy)
{
    CDialogEx::OnSize(nType, cx, cy);
    LayOut();
}

void CMainPrintDlog::OnGetMinMaxInfo(MINMAXINFO* p)
{
    CDialogEx::OnGetMinMaxInfo(p);
    if (m_bReady) {
        p->ptMinTrackSize.x = std::max<LONG>(p->ptMinTrackSize.x, m_minWindow.cx);
        p->ptMinTrackSize.y = std::max<LONG>(p->ptMinTrackSize.y, m_minWindow.cy);
    }
}

bool PrintContactSheets(CWnd* pParent, CContactSheet& sheet)
{
    CMainPrintDlog dlg(pParent, &sheet, &sheet.m_printSettings);
    if (dlg.DoModal() != IDOK)
        return false;
    return PrintContactSheetsNow(sheet);
}

bool PrintContactSheetsNow(CContactSheet& sheet)
{
    std::unique_ptr<CPrinterDC> printer = MakePrinter();
    return printer && sheet.PrintAll(*printer, "Contact Sheet");
}
