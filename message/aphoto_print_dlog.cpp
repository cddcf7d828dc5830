#include "message/aphoto_print_dlog.h"

#include "message/aphoto_doc.h"
#include "message/aphoto_metafile.h"
#include "message/aphoto_tree.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/exceptions.h"
#include "platform/framework/paint_dc.h"
#include "platform/gdi/logfont.h"
#include "resources/string_table.h"
#include "ui/hover_help.h"
#include "ui/printer_dc.h"
#include "ui/edit_util.h"
#include "ui/font_dialog.h"
#include "ui/ui_services.h"
#include "ui/window_helpers.h"
#include "util/draw_guards.h"
#include "util/file_filter.h"
#include "util/geometry.h"
#include "util/reg_settings.h"
#include "util/string_util.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

BEGIN_MESSAGE_MAP(CAPhotoPrintDlog, CDialogEx)
    ON_BN_CLICKED(IDC_PRINT_OK, &CAPhotoPrintDlog::OnPrint)
    ON_BN_CLICKED(IDC_PRINT_QUIT, &CAPhotoPrintDlog::OnQuit)
    ON_BN_CLICKED(IDC_PRINT_BACK, &CAPhotoPrintDlog::OnBack)
    ON_BN_CLICKED(IDC_PRINT_NEXT, &CAPhotoPrintDlog::OnNext)
    ON_BN_CLICKED(IDC_PRINT_FONT, &CAPhotoPrintDlog::OnFont)
    ON_BN_CLICKED(IDC_PRINT_SETUP, &CAPhotoPrintDlog::OnPrinterSetup)
    ON_EN_CHANGE(IDC_PRINT_COLUMNS, &CAPhotoPrintDlog::OnColumnsChange)
    ON_EN_CHANGE(IDC_PRINT_HEADER, &CAPhotoPrintDlog::OnHeaderChange)
    ON_EN_CHANGE(IDC_PRINT_FOOTER, &CAPhotoPrintDlog::OnFooterChange)
    ON_COMMAND_RANGE(IDC_PRINT_DETAIL_SHOW, IDC_PRINT_DATE_HIDE, &CAPhotoPrintDlog::OnRadio)
    ON_NOTIFY(CAPhotoTreeModel::kNotifySelectState, IDC_PRINT_TREE, &CAPhotoPrintDlog::OnTreeSelect)
END_MESSAGE_MAP()

namespace {

enum : UINT {
    ID_FILE_PRINT_SETUP = 57606,
    IDI_PRINT_BIG = 128,
    IDI_PRINT_SMALL = 129,
};
// Extra room beyond the control groups when the dialog is made smaller.
constexpr int kMinExtraWidth = 80;
// What the dialog opens wider than its layout, shared by the preview and
// the comment list, so that a comment reads in lines rather than word by word.
constexpr int kStartExtraWidth = 160;
constexpr int kMinExtraHeight = 148;

void RegisterPrintTemplate()
{
    static const bool once = [] {
        constexpr DWORD child = WS_CHILD | WS_VISIBLE;
        constexpr DWORD button = child | WS_TABSTOP;
        constexpr DWORD radio = child | WS_TABSTOP | BS_AUTORADIOBUTTON;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        t.rect = CRect(0, 0, 417, 257);
        t.title = "Print Preview";
        auto add = [&](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        add("STATIC", "", IDC_PRINT_PREVIEW, WS_CHILD, CRect(10, 10, 190, 222));
        add("STATIC", "", IDC_PRINT_TREE_PLACE, WS_CHILD, CRect(198, 10, 296, 222));
        add("BUTTON", "Column", IDC_PRINT_COLUMN_GROUP, child | BS_GROUPBOX, CRect(308, 4, 410, 30));
        add("EDIT", "", IDC_PRINT_COLUMNS, child | WS_TABSTOP | WS_BORDER, CRect(314, 14, 338, 26));
        add("msctls_updown32", "", IDC_PRINT_COLUMNS_SPIN, child, CRect(338, 14, 348, 26));
        add("STATIC", "Column(s)", IDC_PRINT_COLUMNS_LABEL, child, CRect(354, 16, 404, 26));
        const struct {
            const char* title;
            UINT group, show, hide;
            int top;
        } pairs[] = {
            {"Image Detail", IDC_PRINT_DETAIL_GROUP, IDC_PRINT_DETAIL_SHOW, IDC_PRINT_DETAIL_HIDE, 32},
            {"Page Number", IDC_PRINT_NUMBER_GROUP, IDC_PRINT_NUMBER_SHOW, IDC_PRINT_NUMBER_HIDE, 56},
            {"Area Marquee", IDC_PRINT_MARQUEE_GROUP, IDC_PRINT_MARQUEE_SHOW, IDC_PRINT_MARQUEE_HIDE, 80},
            {"Date", IDC_PRINT_DATE_GROUP, IDC_PRINT_DATE_SHOW, IDC_PRINT_DATE_HIDE, 104},
        };
        for (const auto& p : pairs) {
            add("BUTTON", p.title, p.group, child | BS_GROUPBOX, CRect(308, p.top, 410, p.top + 22));
            add("BUTTON", "Show", p.show, radio, CRect(314, p.top + 10, 358, p.top + 20));
            add("BUTTON", "Hide", p.hide, radio, CRect(362, p.top + 10, 406, p.top + 20));
        }
        add("STATIC", "Header", IDC_PRINT_HEADER_LABEL, child, CRect(308, 130, 410, 138));
        add("EDIT", "", IDC_PRINT_HEADER, child | WS_TABSTOP | WS_BORDER, CRect(308, 139, 410, 151));
        add("STATIC", "Footer", IDC_PRINT_FOOTER_LABEL, child, CRect(308, 155, 410, 163));
        add("EDIT", "", IDC_PRINT_FOOTER, child | WS_TABSTOP | WS_BORDER, CRect(308, 164, 410, 176));
        add("BUTTON", "Font", IDC_PRINT_FONT, button, CRect(308, 184, 410, 198));
        add("BUTTON", "Back", IDC_PRINT_BACK, button, CRect(10, 228, 56, 242));
        add("STATIC", "1000/1000", IDC_PRINT_PAGE, child | SS_CENTER | SS_CENTERIMAGE, CRect(60, 228, 120, 242));
        add("BUTTON", "Next", IDC_PRINT_NEXT, button, CRect(124, 228, 170, 242));
        add("BUTTON", "Printer Setup", IDC_PRINT_SETUP, button, CRect(250, 228, 310, 242));
        add("BUTTON", "Print", IDC_PRINT_OK, button | BS_DEFPUSHBUTTON, CRect(314, 228, 360, 242));
        add("BUTTON", "Quit", IDC_PRINT_QUIT, button, CRect(364, 228, 410, 242));
        RegisterDialogTemplate(IDD_APHOTO_PRINT, t);
        return true;
    }();
    (void)once;
}

} // namespace

std::vector<int32_t> AllComments(const CAPhotoDoc& doc)
{
    std::vector<int32_t> all;
    for (size_t i = 0; i < doc.GetContent().m_comments.size(); ++i)
        all.push_back(int32_t(i));
    return all;
}

BOOL PrintMessagePages(CAPhotoPageRender& render, CPrinterDC& printer, const std::string& jobName)
{
    render.PreparePrinting(&printer, TRUE);
    if (!printer.StartDoc(jobName))
        return FALSE;
    const CSize size = render.GetPageSize();
    const int saved = render.GetCurrentPage();
    for (int page = 1; page <= render.GetPageCount(); ++page) {
        if (!printer.StartPage()) {
            printer.AbortDoc();
            render.SetCurrentPage(saved);
            return FALSE;
        }
        render.SetCurrentPage(page);
        render.RenderPage(&printer, CRect(0, 0, size.cx, size.cy), render.GetMarginX(), render.GetMarginY());
        printer.EndPage();
    }
    render.SetCurrentPage(saved);
    return printer.EndDoc() > 0 ? TRUE : FALSE;
}

BOOL WriteMessageToFile(CWnd* pParent, CAPhotoDoc& doc, CAPhotoPageRender& render, CHoverHelp* pHoverHelp)
{
    CAPhotoPrintDlog dlg(pParent, doc, render, pHoverHelp, CAPhotoPrintDlog::modeWrite);
    if (dlg.DoModal() != IDOK)
        return FALSE;
    std::string path = doc.GetMessageTitle();
    const std::string filter(res::String(IDS_METAFILE_FILTER));
    if (!AfxPromptFileName(path, FALSE, std::string(), QtFileFilter(filter)))
        return FALSE;
    if (DottedExtensionOf(path).empty())
        path += ".EMF";
    return WritePageMetafile(render, path, DefaultPrintablePage());
}

BOOL PrintMessage(CWnd* pParent, CAPhotoDoc& doc, CAPhotoPageRender& render, CHoverHelp* pHoverHelp)
{
    CAPhotoPrintDlog dlg(pParent, doc, render, pHoverHelp, CAPhotoPrintDlog::modePrint);
    if (dlg.DoModal() != IDOK)
        return FALSE;
    CPrinterDC printer;
    std::string title = doc.GetMessageTitle();
    return PrintMessagePages(render, printer, title.empty() ? doc.GetTitle() : title);
}

CAPhotoPrintDlog::CAPhotoPrintDlog(CWnd* pParent, CAPhotoDoc& doc, CAPhotoPageRender& render,
                                   CHoverHelp* pHoverHelp, int mode)
    : CDialogEx(IDD_APHOTO_PRINT, pParent), m_doc(doc), m_render(render), m_options(render.Options()),
      m_pHoverHelp(pHoverHelp), m_nMode(mode)
{
    RegisterPrintTemplate();
    RegReadString(m_strHeader, IDS_REG_PREFERENCE, kHeaderValue);
    RegReadString(m_strFooter, IDS_REG_PREFERENCE, kFooterValue);
    TruncateToChars(m_strHeader, CAPhotoPrintOptions::kMaxHeaderChars);
    TruncateToChars(m_strFooter, CAPhotoPrintOptions::kMaxHeaderChars);
}

CAPhotoPrintDlog::~CAPhotoPrintDlog()
{
    RegWriteString(IDS_REG_PREFERENCE, kHeaderValue, m_strHeader);
    RegWriteString(IDS_REG_PREFERENCE, kFooterValue, m_strFooter);
    m_pTree.reset();
    m_pPrinter.reset();
}

int CAPhotoPrintDlog::GetCurrentPage() const { return m_pPrinter ? m_render.GetCurrentPage() : 1; }

int CAPhotoPrintDlog::GetPageCount() const { return m_render.GetPageCount(); }

CRect CAPhotoPrintDlog::ItemRect(UINT id) const
{
    CRect r;
    GetDlgItemRectInParent(&r, const_cast<CAPhotoPrintDlog*>(this), int(id));
    return r;
}

CRect CAPhotoPrintDlog::PreviewArea() const
{
    CRect r = ItemRect(IDC_PRINT_PREVIEW);
    r.InflateRect(4, 4);
    return r;
}

BOOL CAPhotoPrintDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    SetBackColor(GetSchemeSysColor(12));
    m_optionIds = {IDC_PRINT_COLUMN_GROUP, IDC_PRINT_COLUMNS_SPIN, IDC_PRINT_COLUMNS, IDC_PRINT_COLUMNS_LABEL,
                   IDC_PRINT_DETAIL_GROUP, IDC_PRINT_DETAIL_SHOW, IDC_PRINT_DETAIL_HIDE, IDC_PRINT_MARQUEE_GROUP,
                   IDC_PRINT_MARQUEE_SHOW, IDC_PRINT_MARQUEE_HIDE, IDC_PRINT_NUMBER_GROUP, IDC_PRINT_NUMBER_SHOW,
                   IDC_PRINT_NUMBER_HIDE, IDC_PRINT_DATE_GROUP, IDC_PRINT_DATE_SHOW, IDC_PRINT_DATE_HIDE,
                   IDC_PRINT_HEADER_LABEL, IDC_PRINT_HEADER, IDC_PRINT_FOOTER_LABEL, IDC_PRINT_FOOTER,
                   IDC_PRINT_FONT};
    m_buttonIds = {IDC_PRINT_SETUP, IDC_PRINT_OK, IDC_PRINT_QUIT};
    m_pageIds = {IDC_PRINT_BACK, IDC_PRINT_PAGE, IDC_PRINT_NEXT};

    // The comments to print: the message's, all selected at first.
    m_pTree = std::make_unique<CAPhotoTree>();
    m_pTree->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, ItemRect(IDC_PRINT_TREE_PLACE), this, IDC_PRINT_TREE);
    m_pTree->SetReadOnly(TRUE);
    m_pTree->LoadRecords(m_doc.GetContent());
    m_pTree->SelectAll(FALSE);
    TakePrintOrder();

    m_options.strHeader = m_strHeader;
    m_options.strFooter = m_strFooter;
    m_bUpdating = TRUE;
    SetDlgItemText(IDC_PRINT_HEADER, m_strHeader);
    SetDlgItemText(IDC_PRINT_FOOTER, m_strFooter);
    m_options.nColumns = std::clamp<int>(m_options.nColumns, CAPhotoPrintOptions::kMinColumns,
                                         CAPhotoPrintOptions::kMaxDialogColumns);
    SetDlgItemText(IDC_PRINT_COLUMNS, std::to_string(m_options.nColumns));
    m_pSpin = dynamic_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_PRINT_COLUMNS_SPIN));
    if (m_pSpin) {
        m_pSpin->SetBuddy(GetDlgItem(IDC_PRINT_COLUMNS));
        m_pSpin->SetRange(CAPhotoPrintOptions::kMinColumns, CAPhotoPrintOptions::kMaxDialogColumns);
    }
    CheckRadioButton(IDC_PRINT_DETAIL_SHOW, IDC_PRINT_DETAIL_HIDE,
                     m_options.bImageDetail ? IDC_PRINT_DETAIL_SHOW : IDC_PRINT_DETAIL_HIDE);
    CheckRadioButton(IDC_PRINT_NUMBER_SHOW, IDC_PRINT_NUMBER_HIDE,
                     m_options.bPageNumber ? IDC_PRINT_NUMBER_SHOW : IDC_PRINT_NUMBER_HIDE);
    CheckRadioButton(IDC_PRINT_MARQUEE_SHOW, IDC_PRINT_MARQUEE_HIDE,
                     m_options.bAreaMarquee ? IDC_PRINT_MARQUEE_SHOW : IDC_PRINT_MARQUEE_HIDE);
    CheckRadioButton(IDC_PRINT_DATE_SHOW, IDC_PRINT_DATE_HIDE,
                     m_options.bDate ? IDC_PRINT_DATE_SHOW : IDC_PRINT_DATE_HIDE);
    m_bUpdating = FALSE;
    SetSystemIcon(IDI_PRINT_SMALL);

    if (!MakePrinterContext(1)) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    SetDlgItemText(IDC_PRINT_OK, std::string(res::String(m_nMode == modeWrite ? IDS_PRINT_SAVE : IDS_PRINT_PRINT)));
    CRect client;
    GetClientRect(&client);
    m_lastClient = CSize(client.Width(), client.Height());
    // Smallest: the control groups side by side, with room to spare.
    CRect options = ItemRect(IDC_PRINT_COLUMN_GROUP);
    options.UnionRect(options, ItemRect(IDC_PRINT_FONT));
    CRect buttons = ItemRect(IDC_PRINT_SETUP);
    buttons.UnionRect(buttons, ItemRect(IDC_PRINT_QUIT));
    CRect pages = ItemRect(IDC_PRINT_BACK);
    pages.UnionRect(pages, ItemRect(IDC_PRINT_NEXT));
    m_minTrack = CSize(options.Width() + std::max(buttons.Width(), pages.Width()) + kMinExtraWidth,
                       options.Height() + buttons.Height() + kMinExtraHeight);
    m_bReady = TRUE;
    CRect window;
    GetWindowRect(&window);
    MoveWindow(window.left - kStartExtraWidth / 2, window.top, window.Width() + kStartExtraWidth, window.Height());
    UpdatePageControls();
    return TRUE;
}

BOOL CAPhotoPrintDlog::MakePrinterContext(int page)
{
    m_pPrinter = std::make_unique<CPrinterDC>();
    if (m_pPrinter->GetDeviceCaps(HORZRES) <= 0 || m_pPrinter->GetDeviceCaps(VERTRES) <= 0) {
        m_pPrinter.reset();
        return FALSE;
    }
    const int saved = m_pPrinter->SaveDC();
    m_render.PreparePrinting(m_pPrinter.get(), TRUE);
    m_pPrinter->RestoreDC(saved);
    m_render.SetCurrentPage(std::clamp(page, 1, m_render.GetPageCount()));
    return TRUE;
}

void CAPhotoPrintDlog::TakePrintOrder()
{
    std::vector<int> selected;
    if (m_pTree)
        m_pTree->CollectSelectedIndices(selected);
    m_options.printOrder.assign(selected.begin(), selected.end());
}

void CAPhotoPrintDlog::Repaginate()
{
    if (!m_bReady || !m_pPrinter)
        return;
    const int page = m_render.GetCurrentPage();
    const int saved = m_pPrinter->SaveDC();
    m_render.PreparePrinting(m_pPrinter.get(), TRUE);
    m_pPrinter->RestoreDC(saved);
    // A page that is gone leaves the last one shown.
    m_render.SetCurrentPage(std::clamp(page, 1, m_render.GetPageCount()));
    CRect area = PreviewArea();
    InvalidateRect(&area, TRUE);
    UpdatePageControls();
}

void CAPhotoPrintDlog::UpdatePageControls()
{
    char label[32];
    std::snprintf(label, sizeof label, "%d/%d", m_render.GetCurrentPage(), m_render.GetPageCount());
    SetDlgItemText(IDC_PRINT_PAGE, label);
    if (CWnd* back = GetDlgItem(IDC_PRINT_BACK))
        back->EnableWindow(m_render.GetCurrentPage() > 1);
    if (CWnd* next = GetDlgItem(IDC_PRINT_NEXT))
        next->EnableWindow(m_render.GetCurrentPage() < m_render.GetPageCount());
}

void CAPhotoPrintDlog::OnBack()
{
    if (m_render.GetCurrentPage() <= 1)
        return;
    m_render.SetCurrentPage(m_render.GetCurrentPage() - 1);
    CRect area = PreviewArea();
    InvalidateRect(&area, TRUE);
    UpdatePageControls();
}

void CAPhotoPrintDlog::OnNext()
{
    if (m_render.GetCurrentPage() >= m_render.GetPageCount())
        return;
    m_render.SetCurrentPage(m_render.GetCurrentPage() + 1);
    CRect area = PreviewArea();
    InvalidateRect(&area, TRUE);
    UpdatePageControls();
}

void CAPhotoPrintDlog::OnColumnsChange()
{
    if (!m_bReady || m_bUpdating)
        return;
    const std::string text = GetDlgItemText(IDC_PRINT_COLUMNS);
    if (text.empty())
        return; // still being typed
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    const bool number = end && *end == '\0';
    CDataExchange dx(this, TRUE);
    try {
        dx.PrepareEditCtrl(IDC_PRINT_COLUMNS);
        DDV_MinMaxInt(&dx, number ? int(std::clamp<long>(value, -1000, 1000)) : 0,
                      CAPhotoPrintOptions::kMinColumns, CAPhotoPrintOptions::kMaxDialogColumns);
    } catch (const CUserException&) {
        // Refused: the options keep the value they had.
        m_bUpdating = TRUE;
        SetDlgItemText(IDC_PRINT_COLUMNS, std::to_string(m_options.nColumns));
        m_bUpdating = FALSE;
        return;
    }
    if (m_options.nColumns == value)
        return;
    m_options.nColumns = int32_t(value);
    Repaginate();
}

void CAPhotoPrintDlog::OnHeaderChange()
{
    if (m_bUpdating)
        return;
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(IDC_PRINT_HEADER)))
        LimitEditTextChars(edit, CAPhotoPrintOptions::kMaxHeaderChars);
    m_strHeader = GetDlgItemText(IDC_PRINT_HEADER);
    m_options.strHeader = m_strHeader;
    Repaginate();
}

void CAPhotoPrintDlog::OnFooterChange()
{
    if (m_bUpdating)
        return;
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(IDC_PRINT_FOOTER)))
        LimitEditTextChars(edit, CAPhotoPrintOptions::kMaxHeaderChars);
    m_strFooter = GetDlgItemText(IDC_PRINT_FOOTER);
    m_options.strFooter = m_strFooter;
    Repaginate();
}

void CAPhotoPrintDlog::OnRadio(UINT nID)
{
    // The pairs are Show then Hide: an even offset from the first is Show.
    const UINT first = nID - (nID - IDC_PRINT_DETAIL_SHOW) % 2;
    const BOOL show = nID == first;
    CheckRadioButton(int(first), int(first + 1), int(nID));
    switch (first) {
    case IDC_PRINT_DETAIL_SHOW: m_options.bImageDetail = show; break;
    case IDC_PRINT_NUMBER_SHOW: m_options.bPageNumber = show; break;
    case IDC_PRINT_MARQUEE_SHOW: m_options.bAreaMarquee = show; break;
    case IDC_PRINT_DATE_SHOW: m_options.bDate = show; break;
    default: return;
    }
    Repaginate();
}

void CAPhotoPrintDlog::OnTreeSelect(NMHDR*, LRESULT* pResult)
{
    TakePrintOrder();
    Repaginate();
    if (pResult)
        *pResult = 0;
}

void CAPhotoPrintDlog::OnFont()
{
    if (m_pHoverHelp)
        m_pHoverHelp->Disable();
    LOGFONT lf = m_options.commentFont;
    const BOOL chosen = ChooseFontDialog(this, lf);
    if (m_pHoverHelp)
        m_pHoverHelp->Enable();
    if (!chosen)
        return;
    m_options.commentFont = lf;
    Repaginate();
}

void CAPhotoPrintDlog::OnPrinterSetup()
{
    if (m_pHoverHelp)
        m_pHoverHelp->Disable();
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_COMMAND, ID_FILE_PRINT_SETUP);
    if (!MakePrinterContext(m_render.GetCurrentPage())) {
        EndDialog(IDCANCEL);
        return;
    }
    Repaginate();
    if (m_pHoverHelp)
        m_pHoverHelp->Enable();
}

void CAPhotoPrintDlog::OnPrint()
{
    m_options.nPrintWord = 0;
    EndDialog(IDOK);
}

void CAPhotoPrintDlog::OnQuit() { EndDialog(IDCANCEL); }

void CAPhotoPrintDlog::OnCancel() { EndDialog(IDCANCEL); }

void CAPhotoPrintDlog::OnPaint()
{
    CPaintDC dc(this);
    if (!m_pPrinter)
        return;
    const CRect area = PreviewArea();
    dc.FillSolidRect(&area, SchemeColorGreyBlue);
    const CSize page = m_render.GetPageSize();
    if (page.cx <= 0 || page.cy <= 0)
        return;
    CRect room = area;
    room.DeflateRect(8, 8);
    const CRect pageRect(0, 0, page.cx, page.cy);
    CRect frame;
    FitRectKeepAspect(&room, &pageRect, &frame, 1);
    // The sheet: its shadow, a frame in the window-frame colour, white inside.
    dc.FillSolidRect(frame.left + 3, frame.top + 3, frame.Width(), frame.Height(), GetSysColor(COLOR_BTNSHADOW));
    dc.FillSolidRect(&frame, GetSysColor(COLOR_WINDOWFRAME));
    CRect inside = frame;
    inside.DeflateRect(2, 2);
    dc.FillSolidRect(&inside, RGB(255, 255, 255));

    // The page in the printer's own units, mapped onto the sheet.
    QPainter* painter = dc.Painter();
    if (!painter)
        return;
    painter->save();
    painter->setClipRect(QRect(inside.left, inside.top, inside.Width(), inside.Height()), Qt::IntersectClip);
    painter->translate(frame.left, frame.top);
    painter->scale(double(frame.Width()) / page.cx, double(frame.Height()) / page.cy);
    {
        CDC pageDc(painter);
        pageDc.m_bPrinting = TRUE;
        m_render.RenderPage(&pageDc, pageRect, m_render.GetMarginX(), m_render.GetMarginY());
        pageDc.m_bPrinting = FALSE;
    }
    painter->restore();
}

BOOL CAPhotoPrintDlog::OnEraseBkgnd(CDC* pDC)
{
    // The dialog's own background and group panels, then the button band and the frames.
    CDialogEx::OnEraseBkgnd(pDC);
    if (!pDC)
        return FALSE;
    CRect client;
    GetClientRect(&client);
    const CRect quit = ItemRect(IDC_PRINT_QUIT);
    if (!quit.IsRectEmpty()) {
        const LONG band = quit.top - 8;
        pDC->FillSolidRect(client.left, band, client.Width(), client.bottom - band, GetSchemeSysColor(15));
    }
    for (int i = 0; i < 2; ++i) {
        pDC->Draw3dRect(&client, GetSchemeSysColor(15), GetSchemeSysColor(15));
        client.DeflateRect(1, 1);
    }
    // Rounded frames round the preview with the comment tree, and round the options.
    CRect left = PreviewArea();
    left.UnionRect(left, ItemRect(IDC_PRINT_TREE_PLACE));
    left.InflateRect(10, 10);
    CRect right = ItemRect(IDC_PRINT_COLUMN_GROUP);
    right.UnionRect(right, ItemRect(IDC_PRINT_FONT));
    right.InflateRect(10, 10);
    for (const CRect& r : {left, right})
        Draw3DRoundFrame(pDC, r, CLR_INVALID, CLR_INVALID, SchemeColorTeal, GetSchemeSysColor(15),
                         GetSchemeSysColor(4), SchemeColorIndigo);
    return TRUE;
}

void CAPhotoPrintDlog::OnSize(UINT nType, int cx, int cy)
{
    CDialogEx::OnSize(nType, cx, cy);
    if (!m_bReady || cx <= 0 || cy <= 0)
        return;
    const int dx = cx - m_lastClient.cx, dy = cy - m_lastClient.cy;
    m_lastClient = CSize(cx, cy);
    if (dx == 0 && dy == 0)
        return;
    OffsetDlgItems(this, m_optionIds, dx, 0);
    OffsetDlgItems(this, m_buttonIds, dx, dy);
    OffsetDlgItems(this, m_pageIds, 0, dy);
    // The preview and the comment tree beside it share what the width gains.
    const int treeGain = dx / 2;
    CRect preview = ItemRect(IDC_PRINT_PREVIEW);
    preview.right += dx - treeGain;
    preview.bottom += dy;
    if (CWnd* w = GetDlgItem(IDC_PRINT_PREVIEW))
        w->MoveWindow(preview, FALSE);
    CRect place = ItemRect(IDC_PRINT_TREE_PLACE);
    place.left += dx - treeGain;
    place.right += dx;
    place.bottom += dy;
    if (CWnd* w = GetDlgItem(IDC_PRINT_TREE_PLACE))
        w->MoveWindow(place, FALSE);
    if (m_pTree)
        m_pTree->MoveWindow(place, TRUE);
    Invalidate(TRUE);
}

void CAPhotoPrintDlog::OnGetMinMaxInfo(MINMAXINFO* p)
{
    CDialogEx::OnGetMinMaxInfo(p);
    if (p && m_minTrack.cx > 0) {
        p->ptMinTrackSize.x = std::max<LONG>(p->ptMinTrackSize.x, m_minTrack.cx);
        p->ptMinTrackSize.y = std::max<LONG>(p->ptMinTrackSize.y, m_minTrack.cy);
    }
}
