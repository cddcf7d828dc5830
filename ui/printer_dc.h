#pragma once

#include "platform/gdi/dc.h"

#include <memory>
#include <string>

class QPrinter;
class CWnd;

// A device context for the application's default printer, for one printing
// job. Without a printer (no print system, or none set as the default) the
// job goes to a PDF file instead, so that printing and print preview always
// work; when the job ends the user is told the file's path. Printable size, resolution and printing offset come from the
// printer's page layout.
class CPrinterDC : public CDC {
public:
    CPrinterDC();
    // Prints into the PDF file at pdfPath (the fallback's own road).
    explicit CPrinterDC(const std::string& pdfPath);
    ~CPrinterDC() override;

    // Whether the default printer's settings could be read.
    BOOL HasDefaults() const { return m_bDefaults; }
    // The PDF file the job goes to when it goes to one; empty for a printer.
    const std::string& GetPdfPath() const { return m_pdfPath; }
    QPrinter* GetPrinter() const { return m_printer.get(); }

    // The job: pages are drawn between StartPage and EndPage. FALSE when the
    // device cannot be opened.
    int StartDoc(const std::string& docName);
    int StartPage();
    int EndPage();
    // Finishes the job (the PDF file is complete when this returns).
    int EndDoc();
    int AbortDoc();

    // Capabilities answer from the page layout even before the job starts.
    int GetDeviceCaps(int index) const override;
    // The printable area's offset from the paper's corner, in device pixels.
    CPoint GetPrintingOffset() const;

    // Where a job without a printer goes when no path is given: a new file in
    // this folder (the user's documents folder unless set).
    static void SetPdfFallbackFolder(const std::string& folder);

    // Print Setup: the paper and orientation the user chooses for the default
    // printer (or the PDF file that stands in for it), kept for the program's
    // later printing jobs. FALSE when the user cancels.
    static BOOL DoPrintSetup(CWnd* pParent);
    // Forgets the choice (the printer's own defaults again).
    static void ResetPrintSetup();

protected:
    QSize DeviceSize() const override;

private:
    void InitPdf(const std::string& path);
    void ApplyPrintSetup();
    std::unique_ptr<QPrinter> m_printer;
    BOOL m_bDefaults = FALSE;
    BOOL m_bInDoc = FALSE;
    BOOL m_bPageDone = FALSE; // a page ended: the next StartPage begins a new sheet
    BOOL m_bFallback = FALSE; // no printer: the job goes to a PDF file of our choosing, which EndDoc names
    std::string m_pdfPath;
};

// GETPRINTINGOFFSET: the printing offset of a printer context ((0, 0) for
// other contexts). FALSE without a context.
BOOL GetPrintingOffset(CDC* pDC, POINT* pOffset);
// HORZRES and VERTRES; with a resolution (dots per inch) the size expressed
// at that resolution (size x resolution / LOGPIXELS, multiplication first).
// FALSE without a context.
BOOL GetPrintableSize(CDC* pDC, SIZE* pSize, int nResolution);
