#include "viewer/viewer_fixture.h"

#include "imaging/viewer/view_print.h"
#include "imaging/viewer/view_print_dlog.h"
#include "platform/gdi/logfont.h"

using namespace viewertest;

namespace {

TEST(ViewerPrintArithmetic, MillimetresDotsAndLimits)
{
    EXPECT_EQ(viewprint::MillimetresOf(2362, 600), 100); // 2362 x 25.4 / 600 + 0.3 = 100.29
    EXPECT_EQ(viewprint::DotsOf(100, 600), 2362);
    EXPECT_EQ(viewprint::MillimetresOf(2362, 0), 0);
    // Six digits at a high resolution still fit: the product is taken in 64 bits.
    EXPECT_EQ(viewprint::DotsOf(999999, 2400), 94488094);
    const viewprint::Limits l = viewprint::ComputeLimits(3000, 2000, RECT{0, 0, 4000, 10000}, 600);
    EXPECT_EQ(l.largestWidth, 4000);
    EXPECT_EQ(l.largestHeight, 2666);
    EXPECT_EQ(l.leastResolution, 450);
    // No room at all (a caption as tall as the page): nothing to divide by, nothing fails.
    const viewprint::Limits none = viewprint::ComputeLimits(3000, 2000, RECT{0, 0, 4000, 0}, 600);
    EXPECT_EQ(none.largestWidth, 0);
    EXPECT_EQ(none.leastResolution, 0);
    struct Row {
        int64_t r;
        int side, dpi, largest, expected;
    } rows[] = {{300, 3000, 600, 10000, 6000}, {300, 3000, 600, 4000, 4000}, {0, 3000, 600, 4000, 4000},
                {1000000, 10, 600, 4000, 1}};
    for (const Row& r : rows)
        EXPECT_EQ(viewprint::SideFromResolution(r.r, r.side, r.dpi, r.largest), r.expected) << r.r;
    EXPECT_EQ(viewprint::NumberOf("0450"), 450);
    EXPECT_EQ(viewprint::NumberOf(""), 0);
    EXPECT_EQ(viewprint::NumberOf("12345678"), 123456); // at most six digits
}

class ViewerPrintTest : public ViewerTest {
protected:
    // The page printed to the PDF, read back.
    QImage PrintedPage(int dpi)
    {
        const auto pages = uitest::RenderPdf(pdf, dpi);
        return pages.empty() ? QImage() : pages.front();
    }
    static int Count(const QImage& img, bool (*test)(QColor))
    {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += test(img.pixelColor(x, y)) ? 1 : 0;
        return n;
    }
    static bool Red(QColor c) { return c.red() > 150 && c.blue() < 100; }
    static bool Blue(QColor c) { return c.blue() > 150 && c.red() < 100; }
    fs::path pdf = dir / "page.pdf";
};

// The preview dialog opens on the view's Print; a resolution below the least
// is refused and corrected; Print sends the page to the printer (a PDF here).
TEST_F(ViewerPrintTest, PreviewThenPrintPutsThePictureOnThePage)
{
    ASSERT_NE(Open(MakeJpeg(dir / "print me.jpg", 300, 200)), nullptr);
    CViewerView::SetPrintFile(pdf.string());
    int least = -1;
    std::vector<std::string> shownBoxes;
    CDialog::SetModalObserver([&](CDialog* d) {
        auto* dlg = dynamic_cast<CViewPrintDlog*>(d);
        if (!dlg)
            return;
        least = dlg->GetLimits().leastResolution;
        EXPECT_GT(dlg->GetLimits().largestWidth, 0);
        // The preview: the page in the middle, with the picture on it.
        const QImage shot = uitest::Grab(dlg->m_hWnd);
        fs::create_directories(kScreenshots);
        EXPECT_TRUE(shot.save(QString::fromStdString(kScreenshots + "/viewer_print_preview.png")));
        EXPECT_GT(Count(shot, Red), 20);
        // 50 mm high at the PDF's 300 dpi: 590 dots, the width after the
        // picture's aspect, the resolution after the height.
        dlg->m_strHeight = "50";
        dlg->OnHeightChanged();
        dlg->Apply();
        EXPECT_EQ(View()->GetPrintSettings().m_nPrintedHeight, 590);
        EXPECT_EQ(dlg->GetPrintedWidth(), 885);
        EXPECT_EQ(dlg->m_strWidth, "75");
        EXPECT_EQ(dlg->m_strResolution, std::to_string(std::max(200 * 300 / 590, least)));
        dlg->m_strResolution = "1";
        dlg->UpdateData(FALSE);
        dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_VP_PRINT, BN_CLICKED), 0);
        shownBoxes = boxes;
        EXPECT_TRUE(dlg->m_hWnd->isVisible());
        EXPECT_EQ(dlg->GetDlgItemText(IDC_VP_RESOLUTION), std::to_string(dlg->GetLimits().leastResolution));
        dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_VP_PRINT, BN_CLICKED), 0);
    });
    Command(ID_VIEWER_PRINT);
    EXPECT_EQ(shownBoxes, std::vector<std::string>{"Entered resolution is too low."});
    // 300 pixels over the whole printable width at 300 dpi
    EXPECT_GT(least, 0);
    ASSERT_TRUE(uitest::WaitFor([&] { return fs::exists(pdf) && fs::file_size(pdf) > 0; }));
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    const QImage page = PrintedPage(30);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(Count(page, Red), 100);
    EXPECT_GT(Count(page, Blue), 100);
    // Red left of blue, on white paper.
    EXPECT_EQ(page.pixelColor(2, 2), QColor(255, 255, 255));
}

TEST_F(ViewerPrintTest, HugeCaptionFontOrLongTitleLeavesAnEmptyPictureAreaNotACrash)
{
    ASSERT_NE(Open(MakeJpeg(dir / "caption.jpg", 60, 40)), nullptr);
    CViewerView::SetPrintFile(pdf.string());
    // The shipped face: a face the machine lacks falls back to whatever it has.
    SetLogFontFaceName(View()->GetPrintSettings().m_captionFont, qrtest::kTestFace);
    View()->GetPrintSettings().m_captionFont.lfHeight = -400000;
    View()->GetPrintSettings().m_bShowCaption = FALSE;
    int least = -1, largest = -1;
    CDialog::SetModalObserver([&](CDialog* d) {
        if (auto* dlg = dynamic_cast<CViewPrintDlog*>(d)) {
            least = dlg->GetLimits().leastResolution;
            largest = dlg->GetLimits().largestWidth;
            dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_VP_QUIT, BN_CLICKED), 0);
        }
    });
    Command(ID_VIEWER_PRINT);
    EXPECT_EQ(largest, 0);
    EXPECT_EQ(least, 0);
    EXPECT_TRUE(View()->PrintPicture());
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    EXPECT_EQ(Count(PrintedPage(20), Red), 0);
}

TEST_F(ViewerPrintTest, SizeToPageFillsTheWidthAndByResolutionKeepsTheSize)
{
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    ASSERT_NE(Open(MakeJpeg(dir / "sizes.jpg", 300, 100)), nullptr);
    CViewerView::SetPrintFile(pdf.string());
    CViewPrintSettings& s = View()->GetPrintSettings();
    s.m_bByResolution = TRUE;
    s.m_nPrintedWidth = 300; // one inch at 300 dpi
    s.m_nPrintedHeight = 100;
    ASSERT_TRUE(View()->PrintPicture());
    const int small = Count(PrintedPage(30), Red);
    fs::remove(dir / "page-1.png");
    s.m_bByResolution = FALSE;
    ASSERT_TRUE(View()->PrintPicture());
    const int large = Count(PrintedPage(30), Red);
    EXPECT_GT(small, 50); // half of 30 x 10 pixels
    EXPECT_GT(large, small * 20);
}

} // namespace
