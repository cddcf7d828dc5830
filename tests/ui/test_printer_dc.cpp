#include "ui/printer_dc.h"

#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRadioButton>
#include <QTimer>
#include <QApplication>
#include <QDialog>

#include <functional>

namespace {

bool IsDark(QRgb c) { return qGray(c) < 64; }
bool IsWhite(QRgb c) { return qGray(c) > 240; }

TEST(PrinterDC, SizesAndOffsetComeFromThePageLayout)
{
    qrtest::TempDir dir;
    CPrinterDC dc((dir / "sizes.pdf").string());
    ASSERT_TRUE(dc.HasDefaults());
    const int dpi = dc.GetDeviceCaps(LOGPIXELSX);
    EXPECT_EQ(dpi, 300);
    EXPECT_EQ(dc.GetDeviceCaps(TECHNOLOGY), DT_RASPRINTER);
    const int w = dc.GetDeviceCaps(HORZRES), h = dc.GetDeviceCaps(VERTRES);
    POINT off{-1, -1};
    ASSERT_TRUE(GetPrintingOffset(&dc, &off));
    EXPECT_EQ(off.x, 75); // a quarter inch at 300 dots per inch
    EXPECT_EQ(off.y, 75);
    EXPECT_EQ(w + 2 * off.x, dc.GetDeviceCaps(PHYSICALWIDTH));
    EXPECT_EQ(h + 2 * off.y, dc.GetDeviceCaps(PHYSICALHEIGHT));

    struct Row {
        int resolution;
        LONG cx, cy;
    } rows[] = {
        {0, w, h},                                              // device pixels
        {dpi, w, h},                                            // its own resolution: the same
        {100, LONG(int64_t(w) * 100 / dpi), LONG(int64_t(h) * 100 / dpi)}, // multiplication first
        {72, LONG(int64_t(w) * 72 / dpi), LONG(int64_t(h) * 72 / dpi)},
    };
    for (const Row& r : rows) {
        SIZE s{};
        ASSERT_TRUE(GetPrintableSize(&dc, &s, r.resolution));
        EXPECT_EQ(s.cx, r.cx) << r.resolution;
        EXPECT_EQ(s.cy, r.cy) << r.resolution;
    }
    SIZE s{};
    EXPECT_FALSE(GetPrintableSize(nullptr, &s, 0));
    EXPECT_FALSE(GetPrintingOffset(nullptr, &off));
    // A context that is no printer has no printing offset.
    QImage img(10, 10, QImage::Format_RGB32);
    CDC screen(&img);
    ASSERT_TRUE(GetPrintingOffset(&screen, &off));
    EXPECT_EQ(off.x, 0);
    EXPECT_EQ(off.y, 0);
}

TEST(PrinterDC, PagesPrintedToPdfReadBack)
{
    qrtest::TempDir dir;
    const auto pdf = dir / "job.pdf";
    int w = 0, h = 0;
    {
        CPrinterDC dc(pdf.string());
        w = dc.GetDeviceCaps(HORZRES);
        h = dc.GetDeviceCaps(VERTRES);
        ASSERT_EQ(dc.StartDoc("Message"), 1);
        ASSERT_EQ(dc.StartPage(), 1);
        dc.FillSolidRect(0, 0, w / 2, h / 4, RGB(0, 0, 0)); // the top-left of the printable area
        ASSERT_EQ(dc.EndPage(), 1);
        ASSERT_EQ(dc.StartPage(), 1);
        dc.FillSolidRect(w / 2, h / 2, w / 2, h / 2, RGB(0, 0, 0)); // the bottom-right quarter
        ASSERT_EQ(dc.EndPage(), 1);
        ASSERT_EQ(dc.EndDoc(), 1);
        EXPECT_EQ(dc.EndDoc(), 0);
    }
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    std::vector<QImage> pages = uitest::RenderPdf(pdf, 30);
    ASSERT_EQ(pages.size(), 2u);
    // At 30 dots per inch: the offset is 7.5 pixels, the printable area 1/10 of the device size.
    const double k = 30.0 / 300.0;
    auto at = [&](const QImage& img, double x, double y) { return img.pixel(int(7.5 + x * k), int(7.5 + y * k)); };
    EXPECT_TRUE(IsDark(at(pages[0], w / 4.0, h / 8.0)));
    EXPECT_TRUE(IsWhite(at(pages[0], w * 0.75, h * 0.5)));
    EXPECT_TRUE(IsWhite(pages[0].pixel(2, 2))); // the unprintable edge stays blank
    EXPECT_TRUE(IsWhite(at(pages[1], w / 4.0, h / 8.0)));
    EXPECT_TRUE(IsDark(at(pages[1], w * 0.75, h * 0.75)));
}

TEST(PrinterDC, WithoutAPrinterTheJobGoesToANewPdfFile)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a default printer is set up";
    qrtest::TempDir dir;
    CPrinterDC::SetPdfFallbackFolder(dir.path().string());
    qrtest::WriteBytes(dir / "Quiram Relayo print.pdf", {'k', 'e', 'e', 'p'});
    uitest::RecordedBoxes boxes;
    {
        CPrinterDC dc;
        EXPECT_TRUE(dc.HasDefaults());
        EXPECT_EQ(dc.GetPdfPath(), (dir / "Quiram Relayo print (2).pdf").string());
        ASSERT_EQ(dc.StartDoc("x"), 1);
        dc.StartPage();
        dc.EndPage();
        EXPECT_TRUE(boxes.texts.empty());
        dc.EndDoc();
    }
    // Once the job is done the user learns where the pages went.
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "No printer is set up, so the pages were saved as a PDF file:\n" +
                                  (dir / "Quiram Relayo print (2).pdf").string());
    // A job that never ended, and one into a file the caller named, say nothing.
    {
        CPrinterDC dc;
        ASSERT_EQ(dc.StartDoc("x"), 1);
        dc.StartPage();
    }
    {
        CPrinterDC dc((dir / "named.pdf").string());
        ASSERT_EQ(dc.StartDoc("x"), 1);
        dc.StartPage();
        dc.EndPage();
        dc.EndDoc();
    }
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(qrtest::ReadBytes(dir / "Quiram Relayo print.pdf"), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(std::filesystem::exists(dir / "Quiram Relayo print (2).pdf"));
    CPrinterDC::SetPdfFallbackFolder({});
}

} // namespace

namespace {

// Answers the next modal Qt dialog once it is up: act on it, then close it.
void AnswerModal(std::function<void(QDialog*)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act]() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start(20);
}

} // namespace

TEST(PrinterDC, PrintSetupChoosesThePageOfLaterJobsAndCancelKeepsIt)
{
    qrtest::TempDir dir;
    CPrinterDC::SetPdfFallbackFolder(dir.path().string());
    const QPageLayout::Orientation usual = CPrinterDC().GetPrinter()->pageLayout().orientation();
    ASSERT_EQ(usual, QPageLayout::Portrait);

    AnswerModal([](QDialog* d) {
        auto* landscape = d->findChild<QRadioButton*>("landscape");
        ASSERT_NE(landscape, nullptr);
        landscape->click();
        d->accept();
    });
    EXPECT_TRUE(CPrinterDC::DoPrintSetup(nullptr));
    {
        CPrinterDC dc;
        EXPECT_EQ(dc.GetPrinter()->pageLayout().orientation(), QPageLayout::Landscape);
        EXPECT_GT(dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
    }

    // Cancelled after a change, the earlier choice stands.
    AnswerModal([](QDialog* d) {
        if (auto* portrait = d->findChild<QRadioButton*>("portrait"))
            portrait->click();
        d->reject();
    });
    EXPECT_FALSE(CPrinterDC::DoPrintSetup(nullptr));
    EXPECT_EQ(CPrinterDC().GetPrinter()->pageLayout().orientation(), QPageLayout::Landscape);

    CPrinterDC::ResetPrintSetup();
    CPrinterDC::SetPdfFallbackFolder({});
    EXPECT_EQ(CPrinterDC().GetPrinter()->pageLayout().orientation(), QPageLayout::Portrait);
}
