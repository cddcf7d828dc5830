// Contact sheets: the page count, the print preview dialog driven as a user
// drives it (its screenshot left in the build tree), and twelve photographs
// printed to PDF and read back, each cell showing its own picture.
#include "browser_fixture.h"

#include "browser/contact_sheet.h"
#include "browser/contact_sheet_dlog.h"
#include "ui/printer_dc.h"
#include "platform/framework/controls.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QFontDialog>
#include <QTimer>
#include <QToolButton>

using qrtest::BrowserTest;

namespace {

// Twelve colours far apart, one per photograph (red, green, blue).
constexpr uint8_t kColours[12][3] = {
    {220, 30, 30}, {30, 200, 30},  {30, 30, 220},  {230, 220, 30}, {30, 210, 210}, {210, 30, 210},
    {120, 60, 20}, {250, 140, 20}, {20, 100, 60},  {100, 20, 140}, {40, 40, 40},   {140, 160, 230},
};

std::string g_pdfPath;

std::unique_ptr<CPrinterDC> PdfPrinter() { return std::make_unique<CPrinterDC>(g_pdfPath); }

class ContactSheetTest : public BrowserTest {
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        g_pdfPath = (m_dir / "sheet.pdf").string();
        CMainPrintDlog::SetPrinterFactory(PdfPrinter);
    }
    void TearDown() override
    {
        CMainPrintDlog::SetPrinterFactory(nullptr);
        BrowserTest::TearDown();
    }
    // n photographs of 64 x 48, each of its own colour.
    void Photographs(int n)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "photo%02d.jpg", i);
            qrtest::WriteBytes(Pics() / name, qrtest::JpegBytes(64, 48, kColours[i % 12][2], kColours[i % 12][1],
                                                                kColours[i % 12][0]));
            paths.push_back(Pic(name));
        }
        Fill(paths);
        for (int i = 0; i < n; ++i)
            GetFileItem(i)->ResetThumbnail(TRUE);
    }
    static bool Near(QRgb c, const uint8_t rgb[3])
    {
        return std::abs(qRed(c) - rgb[0]) < 40 && std::abs(qGreen(c) - rgb[1]) < 40 && std::abs(qBlue(c) - rgb[2]) < 40;
    }
    static bool Enabled(CDialog& d, int id) { return d.GetDlgItem(id)->IsWindowEnabled(); }

    CContactSheet sheet;
};

TEST(ContactSheetPages, PagesAreTheItemsOverTheGridRoundedUp)
{
    struct Case {
        int items, rows, columns, pages;
    };
    const Case cases[] = {
        {10, 3, 3, 2}, {9, 3, 3, 1}, {0, 3, 3, 0},   {1, 3, 3, 1},  {5, 1, 1, 5},
        {100, 9, 9, 2}, {12, 0, 12, 2}, // 0 rows and 12 columns print as 1 x 9
        {12, 4, 3, 1}, {13, 4, 3, 2}, {81, 10, 10, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CContactSheet::CountPages(c.items, c.rows, c.columns), c.pages)
            << c.items << " items at " << c.rows << " x " << c.columns;
}

TEST_F(ContactSheetTest, ThePreviewFollowsTheGridThePagesAndTheSwitches)
{
    Photographs(12);
    uitest::RecordedBoxes boxes;
    CMainPrintDlog dlg(nullptr, &sheet, &sheet.m_printSettings);
    struct Seen {
        std::string text;
        bool back, next;
    };
    std::vector<Seen> seen;
    std::string caption;
    std::vector<std::string> refusals;
    CRect paper;
    const std::string shot = std::string(QR_TEST_BUILD_DIR) + "/contact_sheet_preview.png";
    ASSERT_EQ(uitest::RunModal(
                  dlg,
                  [&] {
                      auto look = [&] {
                          seen.push_back({dlg.GetDlgItemText(IDC_SHEET_PAGE_TEXT), Enabled(dlg, IDC_SHEET_BACK),
                                          Enabled(dlg, IDC_SHEET_NEXT)});
                      };
                      caption = dlg.GetWindowText();
                      look();                                             // 3 x 3: two pages
                      dlg.OnNext();
                      look();                                             // the last page
                      dlg.SetDlgItemText(IDC_SHEET_ROWS, "1");
                      dlg.SetDlgItemText(IDC_SHEET_COLUMNS, "1");
                      look();                                             // one picture a page, still on page 2
                      for (int i = 0; i < 11; ++i)
                          dlg.OnNext();
                      look();                                             // 12/12: Next is off
                      dlg.SetDlgItemText(IDC_SHEET_ROWS, "4");
                      look();                                             // 3 pages now: back to the last
                      // Out of range: refused with the range message, nothing changes.
                      for (const char* typed : {"0", "10"}) {
                          boxes.texts.clear();
                          dlg.SetDlgItemText(IDC_SHEET_COLUMNS, typed);
                          refusals.push_back(boxes.texts.empty() ? "" : boxes.texts.front());
                      }
                      look();
                      // The arrows step the box within 1..9.
                      QWidget* spin = dlg.GetDlgItem(IDC_SHEET_COLUMN_SPIN)->m_hWnd;
                      dlg.SetDlgItemText(IDC_SHEET_COLUMNS, "2");
                      spin->findChild<QToolButton*>("up")->click();
                      look();                                             // 4 x 3: one page
                      static_cast<CButton*>(dlg.GetDlgItem(IDC_SHEET_PAGE_NUMBERS_HIDE))->Click();
                      // Large enough to see; the screenshot is the preview as it paints.
                      dlg.MoveWindow(0, 0, 900, 640);
                      QImage grab = uitest::Grab(dlg.m_hWnd);
                      grab.save(QString::fromStdString(shot));
                      paper = dlg.GetPaperRect();
                      // The paper shows each photograph's colour in its cell.
                      CRect client;
                      dlg.GetClientRect(&client);
                      CRect window;
                      dlg.GetWindowRect(&window);
                      QPoint origin = dlg.m_hWnd->mapTo(dlg.m_hWnd->window(), QPoint(0, 0));
                      int found = 0;
                      for (int i = 0; i < 12; ++i) {
                          bool hit = false;
                          for (int y = paper.top + origin.y(); y < paper.bottom + origin.y() && !hit; y += 2)
                              for (int x = paper.left + origin.x(); x < paper.right + origin.x() && !hit; x += 2)
                                  hit = Near(grab.pixel(x, y), kColours[i]);
                          found += hit;
                      }
                      EXPECT_EQ(found, 12);
                  },
                  IDOK),
              IDOK);
    EXPECT_EQ(caption, "Print Preview");
    const std::vector<std::tuple<std::string, bool, bool>> expected = {
        {"1/2", false, true}, {"2/2", true, false},  {"2/12", true, true}, {"12/12", true, false},
        {"3/3", true, false}, {"3/3", true, false}, {"1/1", false, false}};
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(std::make_tuple(seen[i].text, seen[i].back, seen[i].next), expected[i]) << i;
    EXPECT_EQ(refusals, (std::vector<std::string>{"Enter an integer between 1 and 9.", "Enter an integer between 1 and 9."}));
    // The settings stay as the dialog left them, whatever ended it.
    EXPECT_EQ(sheet.m_printSettings.rows, 4);
    EXPECT_EQ(sheet.m_printSettings.columns, 3);
    EXPECT_EQ(sheet.m_printSettings.pageNumbers, 0);
    EXPECT_EQ(sheet.m_printSettings.imageInfo, 1);
    EXPECT_FALSE(paper.IsRectEmpty());
    EXPECT_TRUE(std::filesystem::exists(shot));
}

TEST_F(ContactSheetTest, MarginsStayATenthOfAnInchWithinThePrintableAreaHoweverOftenThePreviewBegins)
{
    // The preview begins printing again after every change; the margins must not grow with it.
    Photographs(4);
    CMainPrintDlog dlg(nullptr, &sheet, &sheet.m_printSettings);
    ASSERT_EQ(uitest::RunModal(
                  dlg,
                  [&] {
                      for (const char* rows : {"1", "2", "3", "4", "2"})
                          dlg.SetDlgItemText(IDC_SHEET_ROWS, rows);
                  },
                  IDOK),
              IDOK);
    std::unique_ptr<CPrinterDC> printer = PdfPrinter();
    const int x = 10 * printer->GetDeviceCaps(LOGPIXELSX) / 96, y = 10 * printer->GetDeviceCaps(LOGPIXELSY) / 96;
    ASSERT_GT(x, 0);
    EXPECT_EQ(sheet.m_nMarginX, x);
    EXPECT_EQ(sheet.m_nMarginY, y);
    ASSERT_TRUE(sheet.PrintAll(*printer, "sheet"));
    EXPECT_EQ(sheet.m_nMarginX, x);
    EXPECT_EQ(sheet.m_nMarginY, y);
}

TEST_F(ContactSheetTest, TheFontDialogChangesTheCaptionFont)
{
    Photographs(2);
    CMainPrintDlog dlg(nullptr, &sheet, &sheet.m_printSettings);
    uitest::RunModal(dlg, [&] {
        QTimer::singleShot(0, [] {
            auto* fonts = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            if (!fonts)
                return;
            QFont f = fonts->currentFont();
            f.setPointSize(20);
            fonts->setCurrentFont(f);
            fonts->accept();
        });
        dlg.OnFont();
    });
    // 20 points at 96 dpi.
    EXPECT_EQ(sheet.m_printSettings.font.lfHeight, -27);
}

TEST_F(ContactSheetTest, TwelvePhotographsPrintedToPdfEachShowInTheirCell)
{
    Photographs(12);
    sheet.m_printSettings.rows = 4;
    sheet.m_printSettings.columns = 3;
    CPrinterDC printer(g_pdfPath);
    ASSERT_TRUE(sheet.PrintAll(printer, "Contact Sheet"));
    EXPECT_EQ(sheet.m_nPageCount, 1);
    const POINT offset{printer.GetDeviceCaps(PHYSICALOFFSETX), printer.GetDeviceCaps(PHYSICALOFFSETY)};
    const int printerDpi = printer.GetDeviceCaps(LOGPIXELSX);
    constexpr int kDpi = 60;
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    const std::vector<QImage> pages = uitest::RenderPdf(g_pdfPath, kDpi);
    ASSERT_EQ(pages.size(), 1u);
    const QImage& page = pages.front();

    // Each cell's upper part (where its picture sits above the caption) shows its colour.
    CRect area(0, 0, sheet.m_pageSize.cx, sheet.m_pageSize.cy);
    area.DeflateRect(sheet.m_nMarginX, sheet.m_nMarginY);
    CFont probe;
    for (int i = 0; i < 12; ++i) {
        const CRect cell = sheet.CellRect(area, i);
        const int x = (cell.CenterPoint().x + offset.x) * kDpi / printerDpi;
        const int y = (cell.top + cell.Height() * 35 / 100 + offset.y) * kDpi / printerDpi;
        EXPECT_TRUE(Near(page.pixel(x, y), kColours[i]))
            << "cell " << i << " shows " << std::hex << page.pixel(x, y);
    }
    // Between the cells the paper stays white.
    const CRect first = sheet.CellRect(area, 0), second = sheet.CellRect(area, 1);
    const int gapX = ((first.right + second.left) / 2 + offset.x) * kDpi / printerDpi;
    EXPECT_GT(qGray(page.pixel(gapX, (first.CenterPoint().y + offset.y) * kDpi / printerDpi)), 240);
}

TEST_F(ContactSheetTest, TheLastPageDrawsOnlyTheItemsLeft)
{
    Photographs(10);
    QImage image(850, 1100, QImage::Format_RGB32);
    image.fill(Qt::white);
    CDC dc(&image);
    sheet.BeginPrinting(&dc);
    ASSERT_EQ(sheet.m_nPageCount, 2);
    const CRect page(0, 0, sheet.m_pageSize.cx, sheet.m_pageSize.cy);
    sheet.DrawPage(&dc, 2, page);
    dc.DeleteDC();
    CRect area(page);
    area.DeflateRect(sheet.m_nMarginX, sheet.m_nMarginY);
    // The foot keeps the page number's band: the cells sit above it.
    area.bottom -= 40;
    auto middle = [&](int n) {
        const CRect cell = sheet.CellRect(area, n);
        return image.pixel(cell.CenterPoint().x, cell.top + cell.Height() * 35 / 100);
    };
    EXPECT_TRUE(Near(middle(0), kColours[9])) << std::hex << middle(0);
    for (int n = 1; n < 9; ++n)
        EXPECT_GT(qGray(middle(n)), 240) << n;
}

} // namespace
