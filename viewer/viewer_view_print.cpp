// The viewer's printing: one page with the picture and a caption line.
#include "viewer/viewer_view.h"

#include "imaging/dib_bitmap.h"
#include "viewer/view_print_dlog.h"
#include "viewer/viewer_doc.h"
#include "viewer/viewer_ids.h"
#include "ui/printer_dc.h"
#include "ui/text_draw.h"
#include "util/geometry.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/logfont.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The margin added to the printing offset, in 96ths of an inch.
constexpr int kMarginDots96 = 10;

std::string& PrintFile()
{
    static std::string path;
    return path;
}

} // namespace

void CViewerView::SetPrintFile(const std::string& pdfPath) { PrintFile() = pdfPath; }

std::unique_ptr<CPrinterDC> CViewerView::CallDoPreparePrinting()
{
    auto dc = PrintFile().empty() ? std::make_unique<CPrinterDC>() : std::make_unique<CPrinterDC>(PrintFile());
    if (!dc->HasDefaults())
        return nullptr;
    dc->m_bPrinting = TRUE;
    return dc;
}

void CViewerView::OnBeginPrinting(CDC* pDC)
{
    SIZE size{};
    POINT offset{};
    ::GetPrintableSize(pDC, &size, 0);
    ::GetPrintingOffset(pDC, &offset);
    m_printableSize = CSize(size.cx, size.cy);
    m_printOffset = CPoint(offset.x + pDC->GetDeviceCaps(LOGPIXELSX) * kMarginDots96 / kScreenDpi,
                           offset.y + pDC->GetDeviceCaps(LOGPIXELSY) * kMarginDots96 / kScreenDpi);
    m_printSettings.m_nPrinterResolution = pDC->GetDeviceCaps(LOGPIXELSY);
}

CRect CViewerView::LayoutPage(CDC* pDC, const CRect& page, int mx, int my, BOOL measureOnly)
{
    CRect area = page;
    area.DeflateRect(mx, my);
    if (area.right < area.left)
        area.right = area.left;
    if (area.bottom < area.top)
        area.bottom = area.top;
    CViewerDoc* doc = GetDocument();
    const std::string caption = m_printSettings.m_bShowCaption ? GetInfoText() : doc ? doc->GetTitle() : std::string();
    LOGFONT lf = m_printSettings.m_captionFont;
    lf.lfHeight = LONG(std::clamp<int64_t>(int64_t(lf.lfHeight) * m_printSettings.m_nPrinterResolution / kScreenDpi,
                                           -1000000, 1000000));
    CFont font;
    font.CreateFontIndirect(&lf);
    CFont* old = pDC->SelectObject(&font);
    // A caption taller than the page leaves the picture no room, never a negative one.
    constexpr UINT kCaptionFormat = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX;
    TextBand band = LayoutFootBand(pDC, caption, area, kCaptionFormat, std::abs(int64_t(lf.lfHeight)));
    if (!measureOnly && !caption.empty()) {
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetTextColor(RGB(0, 0, 0));
        pDC->DrawText(caption, &band.rect, kCaptionFormat);
    }
    pDC->SelectObject(old);
    return band.rest;
}

CRect CViewerView::PictureArea(CDC* pDC, const CRect& page, int mx, int my)
{
    CRect area = LayoutPage(pDC, page, mx, my, TRUE);
    area.DeflateRect(mx, my);
    if (area.right < area.left)
        area.right = area.left;
    if (area.bottom < area.top)
        area.bottom = area.top;
    return area;
}

void CViewerView::DrawPage(CDC* pDC, const CRect& page, int mx, int my)
{
    CRect area = LayoutPage(pDC, page, mx, my, FALSE);
    area.DeflateRect(mx, my);
    CDibBitmap bitmap;
    if (area.IsRectEmpty() || !GetPrintBitmap(bitmap))
        return;
    const CSize size = bitmap.GetSize();
    const CRect source(0, 0, size.cx, size.cy);
    RECT dest{};
    if (m_printSettings.m_bByResolution) {
        const RECT printed{0, 0, m_printSettings.m_nPrintedWidth, m_printSettings.m_nPrintedHeight};
        FitRectKeepAspect(&area, &printed, &dest, 1);
    } else {
        ScaleRectKeepAspect(&area, &source, &dest, 1);
    }
    const CRect target(dest);
    if (target.IsRectEmpty())
        return;
    if (!bitmap.DrawResampled(pDC, source, target))
        bitmap.Draw(pDC, target);
}

BOOL CViewerView::PrintPicture()
{
    if (!HasPicture())
        return FALSE;
    std::unique_ptr<CPrinterDC> dc = CallDoPreparePrinting();
    if (!dc)
        return FALSE;
    CWaitCursor wait;
    CViewerDoc* doc = GetDocument();
    if (dc->StartDoc(doc ? doc->GetTitle() : std::string()) <= 0)
        return FALSE;
    dc->StartPage();
    OnBeginPrinting(dc.get());
    DrawPage(dc.get(), CRect(0, 0, m_printableSize.cx, m_printableSize.cy), m_printOffset.x, m_printOffset.y);
    dc->EndPage();
    return dc->EndDoc() > 0;
}

void CViewerView::OnFilePrint()
{
    if (!HasPicture())
        return;
    const CSize size = GetRotatedSize();
    m_printSettings.m_nPictureWidth = size.cx;
    m_printSettings.m_nPictureHeight = size.cy;
    CViewPrintDlog dlg(this, &m_printSettings);
    if (dlg.DoModal() != IDOK)
        return;
    if (CFrameWnd* f = GetParentFrame())
        f->PostMessage(WM_COMMAND, ID_VIEWER_PRINT_DIRECT, 0);
}

void CViewerView::OnUpdateFilePrint(CCmdUI* pCmdUI) { pCmdUI->Enable(HasPicture()); }

void CViewerView::OnPrintDirect() { PrintPicture(); }
