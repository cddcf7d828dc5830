// An item's full picture written out: kept in the raw cache while the file
// stays as it is, refused above 3840 pixels a side, mirrored, rotated,
// overlaid, resized and cropped.
#include "browser_fixture.h"

#include "browser/item_output.h"
#include "util/string_util.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "viewer/image_load_progress_dlog.h"
#include "platform/file.h"
#include "platform/framework/message_box.h"
#include "platform/gdi/dc.h"
#include "platform/replace_file.h"

#include <ctime>

using qrtest::BrowserTest;

namespace {

class OutputTest : public BrowserTest {
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            m_boxes.push_back(text);
            return IDOK;
        });
        // Every decode runs behind the loading dialog.
        CDialog::SetModalObserver([this](CDialog* d) { m_decodes += dynamic_cast<CImageLoadProgressDlog*>(d) != nullptr; });
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        SetMessageBoxHandler(nullptr);
        GetPrintTextSettings() = CPrintTextSettings();
        BrowserTest::TearDown();
    }
    // A store of one item for the file, its information read.
    void One(const std::string& path)
    {
        Fill({path});
        ASSERT_EQ(GetFileItem(0)->ResetThumbnail(TRUE), 1);
    }
    std::vector<std::string> m_boxes;
    int m_decodes = 0;
};

// A 24-bit BMP file: white with a red block at the top-left corner.
void WriteBmp(const std::string& path, int w, int h, CRect red)
{
    CDibBitmap b;
    b.CreateDib(CSize(w, h), 24);
    for (int y = red.top; y < red.bottom; ++y)
        for (int x = red.left; x < red.right; ++x) {
            BYTE* p = b.GetBits() + uint64_t(h - 1 - y) * uint64_t(b.GetStride()) + 3 * x;
            p[0] = 0;
            p[1] = 0;
            p[2] = 255;
        }
    CMemFile m;
    ASSERT_TRUE(b.Write(m));
    ReplaceFileContents(path, m.Data());
}

COLORREF PixelOf(CImageBuffer& b, int x, int y)
{
    const BYTE* p = b.GetRowPointer(y) + 3 * x;
    return b.GetPixelType() == PixelType::Bgr24 ? RGB(p[2], p[1], p[0]) : RGB(p[0], p[1], p[2]);
}

bool Dark(COLORREF c) { return GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128; }

} // namespace

TEST_F(OutputTest, SecondCopyReadsTheRawCacheUntilTheFileChanges)
{
    const std::string path = Jpeg("photo.jpg", 64, 48, 200);
    One(path);
    CDibBitmap first, second, third;
    ASSERT_TRUE(LoadItemImage(0, first));
    EXPECT_EQ(first.GetSize(), CSize(64, 48));
    EXPECT_TRUE(std::filesystem::exists(Cache() / "IDX00.raw"));
    ASSERT_TRUE(LoadItemImage(0, second));
    EXPECT_EQ(m_decodes, 1);
    EXPECT_EQ(GetFileItem(0)->m_outputSize, CSize(64, 48));

    // Saved over with another picture: the kept copy is stale.
    ReplaceFileContents(path, qrtest::JpegBytes(64, 48, 90, 120, 20));
    ASSERT_TRUE(LoadItemImage(0, third));
    EXPECT_EQ(m_decodes, 2);
    EXPECT_LT(GetRValue(third.GetPixel(10, 10)), 60);
    EXPECT_GT(GetRValue(first.GetPixel(10, 10)), 160);

    // Save As and Resize All read through the same cache.
    CImageBuffer buffer;
    ASSERT_TRUE(LoadItemImageBuffer(0, buffer, 8, TRUE));
    EXPECT_EQ(m_decodes, 2);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(OutputTest, PicturesLargerThan3840ASideAreRefusedBeforeDecoding)
{
    const std::string edge = Jpeg("edge.jpg", 3840, 3840);
    One(edge);
    CDibBitmap bitmap;
    EXPECT_TRUE(LoadItemImage(0, bitmap));
    EXPECT_EQ(bitmap.GetSize(), CSize(3840, 3840));
    EXPECT_TRUE(m_boxes.empty());

    // One pixel more either way: refused without a decode.
    for (CSize size : {CSize(3841, 3840), CSize(3840, 3841)}) {
        std::filesystem::remove(Cache() / "IDX00.raw");
        m_decodes = 0;
        GetFileItem(0)->m_pictureSize = size;
        EXPECT_FALSE(LoadItemImage(0, bitmap));
        EXPECT_EQ(m_decodes, 0);
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes.back(), "Image is too large.");
        m_boxes.clear();
    }
}

TEST_F(OutputTest, MissingAndUnreadableFilesSaySo)
{
    const std::string path = Jpeg("photo.jpg");
    One(path);
    std::filesystem::remove(path);
    CDibBitmap bitmap;
    EXPECT_FALSE(LoadItemImage(0, bitmap));
    CImageBuffer buffer;
    EXPECT_FALSE(LoadItemImageBuffer(0, buffer, 8, TRUE));
    qrtest::WriteBytes(path, {0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 1});
    EXPECT_FALSE(LoadItemImage(0, bitmap));
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"File or folder not found. (" + path + ")",
                                                 "File or folder not found. (" + path + ")",
                                                 "Unable to open file. "}));
}

TEST_F(OutputTest, RotatedMirroredCroppedPictureWithOverlay)
{
    const std::string path = Pic("render.bmp");
    WriteBmp(path, 200, 100, CRect(0, 0, 40, 20));
    One(path);
    CFileItem* item = GetFileItem(0);
    item->m_bMirrorH = 1;
    item->m_nRotation = 90;
    item->m_outputSize = CSize(100, 50);
    CPrintTextSettings& overlay = GetPrintTextSettings();
    overlay.m_nOverlayOn = 1;
    overlay.m_nLocation = 2; // bottom left
    overlay.m_bDateTime = FALSE;
    overlay.m_bComment = FALSE;
    overlay.m_color = RGB(0, 0, 0);

    // Mirrored the red corner is top right, turned it is bottom right of a
    // 100 x 200 picture, halved 50 x 100; the crop is taken at half size too.
    CImageBuffer out;
    ASSERT_TRUE(RenderItemForOutput(0, out, 8, CImageBuffer::kBilinear, CRect(0, 100, 100, 200)));
    ASSERT_EQ(out.GetSize(), CSize(50, 50));
    EXPECT_EQ(PixelOf(out, 45, 40), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(out, 45, 5), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(out, 25, 10), RGB(255, 255, 255));
    // The file name at the bottom left, nowhere else.
    int dark = 0, darkAbove = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 40; ++x)
            (y >= 38 ? dark : darkAbove) += Dark(PixelOf(out, x, y));
    EXPECT_GT(dark, 5);
    EXPECT_EQ(darkAbove, 0);

    // Without edits, overlay and output size the picture comes out as it is.
    ResetItemEdits(0);
    item->m_outputSize = item->GetImageSize();
    overlay.m_nOverlayOn = 0;
    ASSERT_TRUE(RenderItemForOutput(0, out, 8, CImageBuffer::kBilinear, CRect()));
    EXPECT_EQ(out.GetSize(), CSize(200, 100));
    EXPECT_EQ(PixelOf(out, 5, 5), RGB(255, 0, 0));
    // An output size not set yet, as before the thumbnail is made, is the picture's own.
    item->m_outputSize = CSize(0, 0);
    ASSERT_TRUE(RenderItemForOutput(0, out, 8, CImageBuffer::kBilinear, CRect()));
    EXPECT_EQ(out.GetSize(), CSize(200, 100));
    // Turned by 90 degrees, an output size of 800 x 600 comes out 600 x 800.
    item->m_nRotation = 90;
    item->m_outputSize = CSize(800, 600);
    ASSERT_TRUE(RenderItemForOutput(0, out, 8, CImageBuffer::kBilinear, CRect()));
    EXPECT_EQ(out.GetSize(), CSize(600, 800));
}

TEST_F(OutputTest, OverlayLinesAndTheirCorner)
{
    const std::string path = Jpeg("IMG_0007.JPG");
    One(path);
    CPrintTextSettings& overlay = GetPrintTextSettings();
    overlay.m_nLocation = 3;
    overlay.m_logFont.lfItalic = 1;
    overlay.m_bComment = FALSE;
    const time_t t = static_cast<time_t>(GetItemFileTime(0));
    struct tm local{};
    localtime_r(&t, &local);
    const std::string date = FormatDateTimeLocaleYmdHms(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                        local.tm_hour, local.tm_min, local.tm_sec);
    EXPECT_EQ(FormatOverlayText(0, TRUE, TRUE, FALSE), date + " \nIMG_0007.JPG ");
    overlay.m_logFont.lfItalic = 0;
    EXPECT_EQ(FormatOverlayText(0, TRUE, TRUE, TRUE), date + "\nIMG_0007.JPG");
    EXPECT_EQ(FormatOverlayText(0, FALSE, TRUE, FALSE), "IMG_0007.JPG");
    EXPECT_EQ(FormatOverlayText(3, TRUE, TRUE, TRUE), "");

    CDC screen;
    screen.CreateCompatibleDC(nullptr);
    const CRect picture(0, 0, 800, 600);
    for (int location = 0; location < 4; ++location) {
        overlay.m_nLocation = location;
        const CRect r = PlaceOverlayText(&screen, 0, picture);
        EXPECT_GT(r.Width(), 0);
        EXPECT_GT(r.Height(), 10);
        const bool right = location == 1 || location == 3, bottom = location >= 2;
        EXPECT_EQ(right ? r.right : r.left, right ? 800 : 0) << location;
        EXPECT_EQ(bottom ? r.bottom : r.top, bottom ? 600 : 0) << location;
    }
    // Inside the selection when asked.
    overlay.m_bInsideSelection = TRUE;
    overlay.m_rcArea = CRect(100, 100, 300, 200);
    const CRect inside = PlaceOverlayText(&screen, 0, picture);
    EXPECT_EQ(inside.right, 300);
    EXPECT_EQ(inside.bottom, 200);
}
