#include "ui/printer_dc.h"

#include "util/string_util.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "resources/string_table.h"

#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace {
std::string g_pdfFolder;
// What Print Setup chose; empty until the user chooses.
std::optional<QPageSize> g_chosenPageSize;
std::optional<QPageLayout::Orientation> g_chosenOrientation;

constexpr int kPdfResolution = 300;
constexpr UINT IDS_PRINTED_TO_PDF = 6970;
constexpr double kPdfMarginMm = 6.35; // a quarter inch, the usual unprintable edge of a printer

// A name in the folder that no file has yet, so that no user's file is overwritten.
std::string NewPdfPath()
{
    QString folder = g_pdfFolder.empty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                         : QString::fromStdString(g_pdfFolder);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    QString base = QDir(folder).filePath("Quiram Relayo print");
    QString path = base + ".pdf";
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QString("%1 (%2).pdf").arg(base).arg(n);
    return path.toStdString();
}
} // namespace

void CPrinterDC::SetPdfFallbackFolder(const std::string& folder) { g_pdfFolder = folder; }

CPrinterDC::CPrinterDC()
{
    m_bPrinting = TRUE;
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        m_bDefaults = m_printer->isValid();
        if (m_bDefaults) {
            ApplyPrintSetup();
            return;
        }
    }
    InitPdf(NewPdfPath());
    m_bFallback = TRUE;
    ApplyPrintSetup();
}

void CPrinterDC::ApplyPrintSetup()
{
    if (g_chosenPageSize)
        m_printer->setPageSize(*g_chosenPageSize);
    if (g_chosenOrientation)
        m_printer->setPageOrientation(*g_chosenOrientation);
}

BOOL CPrinterDC::DoPrintSetup(CWnd* pParent)
{
    CPrinterDC dc;
    QPageSetupDialog dialog(dc.GetPrinter(), pParent ? pParent->m_hWnd : nullptr);
    dialog.setWindowTitle(QObject::tr("Print Setup"));
    if (dialog.exec() != QDialog::Accepted)
        return FALSE;
    g_chosenPageSize = dc.GetPrinter()->pageLayout().pageSize();
    g_chosenOrientation = dc.GetPrinter()->pageLayout().orientation();
    return TRUE;
}

void CPrinterDC::ResetPrintSetup()
{
    g_chosenPageSize.reset();
    g_chosenOrientation.reset();
}

CPrinterDC::CPrinterDC(const std::string& pdfPath)
{
    m_bPrinting = TRUE;
    InitPdf(pdfPath);
}

void CPrinterDC::InitPdf(const std::string& path)
{
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_printer->setOutputFormat(QPrinter::PdfFormat);
    m_printer->setResolution(kPdfResolution);
    m_printer->setPageMargins(QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                              QPageLayout::Millimeter);
    m_printer->setOutputFileName(QString::fromStdString(path));
    m_pdfPath = path;
    m_bDefaults = TRUE;
}

CPrinterDC::~CPrinterDC()
{
    // A job never ended is not one to report.
    m_bFallback = FALSE;
    if (m_bInDoc)
        EndDoc();
    DeleteDC();
}

QSize CPrinterDC::DeviceSize() const
{
    if (!m_printer)
        return {};
    return m_printer->pageLayout().paintRectPixels(m_printer->resolution()).size();
}

int CPrinterDC::GetDeviceCaps(int index) const
{
    if (!m_printer)
        return CDC::GetDeviceCaps(index);
    const int res = m_printer->resolution();
    const QPageLayout layout = m_printer->pageLayout();
    const QRect paper = layout.fullRectPixels(res);
    const QRect paint = layout.paintRectPixels(res);
    switch (index) {
    case TECHNOLOGY: return DT_RASPRINTER;
    case LOGPIXELSX:
    case LOGPIXELSY: return res;
    case HORZRES: return paint.width();
    case VERTRES: return paint.height();
    case PHYSICALWIDTH: return paper.width();
    case PHYSICALHEIGHT: return paper.height();
    case PHYSICALOFFSETX: return paint.left();
    case PHYSICALOFFSETY: return paint.top();
    case HORZSIZE: return int(layout.paintRect(QPageLayout::Millimeter).width() + 0.5);
    case VERTSIZE: return int(layout.paintRect(QPageLayout::Millimeter).height() + 0.5);
    default: return CDC::GetDeviceCaps(index);
    }
}

CPoint CPrinterDC::GetPrintingOffset() const
{
    if (!m_printer)
        return CPoint(0, 0);
    QRect paint = m_printer->pageLayout().paintRectPixels(m_printer->resolution());
    return CPoint(paint.left(), paint.top());
}

int CPrinterDC::StartDoc(const std::string& docName)
{
    if (!m_printer || m_bInDoc)
        return 0;
    m_printer->setDocName(QString::fromStdString(docName));
    if (!AttachDevice(m_printer.get()))
        return 0;
    m_bInDoc = TRUE;
    m_bPageDone = FALSE;
    return 1;
}

int CPrinterDC::StartPage()
{
    if (!m_bInDoc)
        return 0;
    if (m_bPageDone && !m_printer->newPage())
        return 0;
    m_bPageDone = FALSE;
    return 1;
}

int CPrinterDC::EndPage()
{
    if (!m_bInDoc)
        return 0;
    m_bPageDone = TRUE;
    return 1;
}

int CPrinterDC::EndDoc()
{
    if (!m_bInDoc)
        return 0;
    m_bInDoc = FALSE;
    if (!DeleteDC())
        return 0;
    // The user asked for paper: a file in its place is named, or it would go unnoticed.
    if (m_bFallback)
        AfxMessageBox(FormatWithStrings(res::String(IDS_PRINTED_TO_PDF), {m_pdfPath}), MB_OK | MB_ICONINFORMATION);
    return 1;
}

int CPrinterDC::AbortDoc()
{
    if (!m_bInDoc)
        return 0;
    m_printer->abort();
    m_bInDoc = FALSE;
    DeleteDC();
    return 1;
}

BOOL GetPrintingOffset(CDC* pDC, POINT* pOffset)
{
    if (!pDC)
        return FALSE;
    CPoint off(0, 0);
    if (auto* printer = dynamic_cast<CPrinterDC*>(pDC))
        off = printer->GetPrintingOffset();
    if (pOffset)
        *pOffset = off;
    return TRUE;
}

BOOL GetPrintableSize(CDC* pDC, SIZE* pSize, int nResolution)
{
    if (!pDC)
        return FALSE;
    int64_t cx = pDC->GetDeviceCaps(HORZRES);
    int64_t cy = pDC->GetDeviceCaps(VERTRES);
    if (nResolution) {
        const int dx = pDC->GetDeviceCaps(LOGPIXELSX), dy = pDC->GetDeviceCaps(LOGPIXELSY);
        if (dx > 0)
            cx = cx * nResolution / dx;
        if (dy > 0)
            cy = cy * nResolution / dy;
    }
    if (pSize)
        *pSize = SIZE{LONG(cx), LONG(cy)};
    return TRUE;
}
