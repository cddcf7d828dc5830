#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"
#include "platform/gdi/emf_writer.h"
#include "platform/gdi/metafile_dc.h"
#include "platform/gdi/text_layout.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A memory context on a fresh bitmap filled with one colour.
struct Canvas {
    explicit Canvas(int w = 32, int h = 32, COLORREF fill = kWhite)
    {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateBitmap(w, h, 1, 32, nullptr);
        old = dc.SelectObject(&bitmap);
        dc.FillSolidRect(0, 0, w, h, fill);
    }
    // Read from the bitmap itself: GetPixel answers nothing outside the clip.
    COLORREF At(int x, int y) const { return FromQColor(QColor(bitmap.m_hObject->image.pixel(x, y))); }
    CDC dc;
    CBitmap bitmap;
    CBitmap* old = nullptr;
};

// Which of the pixels in row y (from x0 to x1 exclusive) have colour c, as a string of '#' and '.'.
std::string Row(const Canvas& c, int y, int x0, int x1, COLORREF colour)
{
    std::string s;
    for (int x = x0; x < x1; ++x)
        s += c.At(x, y) == colour ? '#' : '.';
    return s;
}

} // namespace

TEST(GdiObjects, SelectObjectAnswersThePreviousObjectAndStockObjectsAreShared)
{
    Canvas c;
    CPen red(PS_SOLID, 1, kRed), blue(PS_SOLID, 1, kBlue);
    CPen* first = c.dc.SelectObject(&red);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_hObject, GetStockObject(BLACK_PEN));
    EXPECT_EQ(c.dc.SelectObject(&blue), &red);
    EXPECT_EQ(c.dc.SelectObject(first), &blue);
    EXPECT_EQ(c.dc.GetCurrentBrush()->m_hObject, GetStockObject(WHITE_BRUSH));
}

TEST(GdiObjects, AnObjectDeletedWhileSelectedKeepsDrawingAndHandsBackAWrapper)
{
    Canvas c;
    CPen* stock = nullptr;
    CPen* orphan = nullptr;
    {
        CPen red(PS_SOLID, 1, kRed);
        stock = c.dc.SelectObject(&red);
    }
    c.dc.MoveTo(0, 5);
    c.dc.LineTo(10, 5);
    EXPECT_EQ(c.At(3, 5), kRed);
    orphan = c.dc.SelectObject(stock);
    ASSERT_NE(orphan, nullptr);
    // The wrapper stays usable until temporary objects are let go.
    EXPECT_EQ(orphan->m_hObject->pen.lopnColor, kRed);
    EXPECT_EQ(c.dc.SelectObject(orphan), stock);
    GdiDeleteTempObjects();
    EXPECT_EQ(c.dc.GetCurrentPen()->m_hObject->pen.lopnColor, kRed);
}

TEST(GdiObjects, BitmapIsDrawnOnByOneContextAtATime)
{
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateBitmap(4, 4, 1, 32, nullptr));
    CDC a, b;
    a.CreateCompatibleDC(nullptr);
    b.CreateCompatibleDC(nullptr);
    EXPECT_NE(a.SelectObject(&bmp), nullptr);
    EXPECT_EQ(b.SelectObject(&bmp), nullptr);
}

TEST(GdiObjects, MonochromeBitmapBitsHaveWordPaddedRows)
{
    const WORD rows[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateBitmap(8, 8, 1, 1, rows));
    EXPECT_EQ(bmp.m_hObject->bitsPixel, 1);
    const QImage& img = bmp.m_hObject->image;
    // 0x55 = 01010101: first pixel black, second white.
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(img.pixel(0, 1) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(GdiObjects, RectangularRegionLeavesRightAndBottomEdgesOut)
{
    CRgn r;
    ASSERT_TRUE(r.CreateRectRgn(10, 0, 0, 10)); // corners in either order
    CRect box;
    EXPECT_EQ(r.GetRgnBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 10, 10));
    EXPECT_TRUE(r.PtInRegion(2, 2));
    EXPECT_FALSE(r.PtInRegion(10, 2));
    EXPECT_FALSE(r.PtInRegion(2, 10));
}

TEST(GdiShapes, LineLeavesItsEndPointOut)
{
    Canvas c;
    c.dc.MoveTo(1, 1);
    c.dc.LineTo(6, 1);
    EXPECT_EQ(Row(c, 1, 0, 8, kBlack), ".#####..");
    c.dc.MoveTo(3, 3);
    c.dc.LineTo(3, 7);
    EXPECT_EQ(c.At(3, 6), kBlack);
    EXPECT_EQ(c.At(3, 7), kWhite);
}

// The box round the pixels that are not white.
CRect InkBox(const Canvas& c, int w, int h)
{
    CRect box(w, h, 0, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (c.At(x, y) != kWhite)
                box = CRect(std::min(box.left, LONG(x)), std::min(box.top, LONG(y)), std::max(box.right, LONG(x + 1)),
                            std::max(box.bottom, LONG(y + 1)));
    return box;
}

TEST(GdiShapes, RoundRectangleStaysInsideItsRectangle)
{
    struct Case { CRect given; CPoint corner; CRect ink; };
    const Case cases[] = {
        {{3, 4, 17, 12}, {6, 6}, {3, 4, 17, 12}},
        {{17, 12, 3, 4}, {0, 0}, {3, 4, 17, 12}}, // corners in either order, square corners
    };
    for (const Case& k : cases) {
        Canvas c(100, 60);
        CBrush blue(kBlue);
        c.dc.SelectObject(&blue);
        c.dc.RoundRect(&k.given, k.corner);
        EXPECT_EQ(InkBox(c, 100, 60), k.ink) << k.corner.x;
    }
}

TEST(GdiShapes, SolidFillAnd3dRect)
{
    Canvas c;
    const CRect frame(1, 1, 7, 5);
    c.dc.Draw3dRect(&frame, kRed, kBlue);
    EXPECT_EQ(Row(c, 1, 0, 8, kRed), ".#####..");
    EXPECT_EQ(c.At(6, 1), kBlue);
    EXPECT_EQ(Row(c, 4, 0, 8, kBlue), ".######.");
    EXPECT_EQ(c.At(1, 3), kRed);
    EXPECT_EQ(c.At(6, 3), kBlue);
    EXPECT_EQ(c.At(3, 3), kWhite);
    // FillSolidRect leaves its colour as the background colour.
    EXPECT_EQ(c.dc.GetBkColor(), kBlue);
}

TEST(GdiRop, BlitOperationsCombineSourcePatternAndDestination)
{
    // Each case: destination colour, source colour, brush colour, operation, expected.
    struct Case { const char* name; COLORREF d, s, p; DWORD rop; COLORREF want; };
    const Case cases[] = {
        {"copy", kRed, kBlue, kBlack, SRCCOPY, kBlue},
        {"and", RGB(0xF0, 0x0F, 0xFF), RGB(0x3C, 0xFF, 0x00), kBlack, SRCAND, RGB(0x30, 0x0F, 0x00)},
        {"or", RGB(0xF0, 0x00, 0x01), RGB(0x0F, 0x10, 0x02), kBlack, SRCPAINT, RGB(0xFF, 0x10, 0x03)},
        {"xor", RGB(0xFF, 0x0F, 0x00), RGB(0x0F, 0x0F, 0x0F), kBlack, SRCINVERT, RGB(0xF0, 0x00, 0x0F)},
        {"not source", kRed, RGB(0x00, 0xFF, 0x0F), kBlack, NOTSRCCOPY, RGB(0xFF, 0x00, 0xF0)},
        {"invert", RGB(0x12, 0x34, 0x56), kBlack, kBlack, DSTINVERT, RGB(0xED, 0xCB, 0xA9)},
        {"pattern", kRed, kBlack, kBlue, PATCOPY, kBlue},
        {"pattern xor", RGB(0xFF, 0, 0), kBlack, RGB(0xFF, 0xFF, 0), PATINVERT, RGB(0, 0xFF, 0)},
        {"pattern and", RGB(0xF0, 0xF0, 0xF0), kBlack, RGB(0x3C, 0xFF, 0x00), 0x00A000C9, RGB(0x30, 0xF0, 0)},
        {"pattern or", RGB(0xF0, 0, 0), kBlack, RGB(0, 0, 0x0F), 0x00FA0089, RGB(0xF0, 0, 0x0F)},
        {"blackness", kRed, kBlue, kBlue, BLACKNESS, kBlack},
        {"whiteness", kRed, kBlue, kBlue, WHITENESS, kWhite},
        // pattern where the source is white, destination where it is black, and the reverse
        {"mask white", kRed, kWhite, kBlue, 0x00E20746, kBlue},
        {"mask black", kRed, kBlack, kBlue, 0x00E20746, kRed},
        {"reverse mask white", kRed, kWhite, kBlue, 0x00B8074A, kRed},
        {"reverse mask black", kRed, kBlack, kBlue, 0x00B8074A, kBlue},
    };
    for (const Case& k : cases) {
        Canvas dst(4, 4, k.d), src(4, 4, k.s);
        CBrush brush(k.p);
        dst.dc.SelectObject(&brush);
        const bool usesSource = (((k.rop >> 2) ^ k.rop) & 0x330000) != 0;
        if (usesSource)
            EXPECT_TRUE(dst.dc.BitBlt(1, 1, 2, 2, &src.dc, 0, 0, k.rop)) << k.name;
        else
            EXPECT_TRUE(dst.dc.PatBlt(1, 1, 2, 2, k.rop)) << k.name;
        EXPECT_EQ(dst.At(1, 1), k.want) << k.name;
        EXPECT_EQ(dst.At(2, 2), k.want) << k.name;
        EXPECT_EQ(dst.At(0, 0), k.d) << k.name << ": outside the block";
        EXPECT_EQ(dst.At(3, 3), k.d) << k.name << ": outside the block";
    }
}

TEST(GdiRop, MonochromeConversionsUseTheContextColours)
{
    // colour -> mono: the source's background colour becomes white, all else black
    Canvas colour(4, 1, kRed);
    colour.dc.SetPixel(1, 0, kBlue);
    colour.dc.SetBkColor(kRed);
    CDC mono;
    mono.CreateCompatibleDC(nullptr);
    CBitmap bits;
    bits.CreateBitmap(4, 1, 1, 1, nullptr);
    mono.SelectObject(&bits);
    EXPECT_TRUE(mono.IsMonochrome());
    ASSERT_TRUE(mono.BitBlt(0, 0, 4, 1, &colour.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(mono.GetPixel(0, 0), kWhite);
    EXPECT_EQ(mono.GetPixel(1, 0), kBlack);

    // mono -> colour: 0 bits take the text colour, 1 bits the background colour
    Canvas out(4, 1, kWhite);
    out.dc.SetTextColor(kBlue);
    out.dc.SetBkColor(kRed);
    ASSERT_TRUE(out.dc.BitBlt(0, 0, 4, 1, &mono, 0, 0, SRCCOPY));
    EXPECT_EQ(out.At(0, 0), kRed);
    EXPECT_EQ(out.At(1, 0), kBlue);
}

TEST(GdiRop, StretchAndMirror)
{
    Canvas src(2, 1, kRed);
    src.dc.SetPixel(1, 0, kBlue);
    Canvas dst(8, 2, kWhite);
    ASSERT_TRUE(dst.dc.StretchBlt(0, 0, 4, 1, &src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(Row(dst, 0, 0, 4, kRed), "##..");
    // Opposite signs mirror the picture.
    ASSERT_TRUE(dst.dc.StretchBlt(4, 1, 4, 1, &src.dc, 2, 0, -2, 1, SRCCOPY));
    EXPECT_EQ(Row(dst, 1, 4, 8, kBlue), "##..");
}

TEST(GdiClip, ClipLimitsDrawingAndSaveRestoreBringsItBack)
{
    Canvas c(10, 10, kWhite);
    const int saved = c.dc.SaveDC();
    c.dc.IntersectClipRect(2, 2, 5, 5);
    CRect box;
    EXPECT_EQ(c.dc.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(2, 2, 5, 5));
    c.dc.FillSolidRect(0, 0, 10, 10, kRed);
    EXPECT_EQ(c.At(1, 1), kWhite);
    EXPECT_EQ(c.At(2, 2), kRed);
    EXPECT_EQ(c.At(5, 5), kWhite);
    EXPECT_EQ(c.dc.GetClipRgn(nullptr), 1);
    c.dc.RestoreDC(saved);
    EXPECT_EQ(c.dc.GetClipRgn(nullptr), 0);
    c.dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 10, 10));
}

TEST(GdiDeviceCaps, AnswersForAMemoryContext)
{
    Canvas c(40, 30);
    EXPECT_EQ(c.dc.GetDeviceCaps(HORZRES), 40);
    EXPECT_EQ(c.dc.GetDeviceCaps(VERTRES), 30);
    EXPECT_EQ(c.dc.GetDeviceCaps(BITSPIXEL), 32);
    EXPECT_EQ(c.dc.GetDeviceCaps(RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_NE(c.dc.GetDeviceCaps(RASTERCAPS) & RC_STRETCHBLT, 0);
}

TEST(GdiContext, DrawsThroughAPainterItDoesNotOwn)
{
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(5, 5);
    painter.setClipRect(QRect(0, 0, 10, 10));
    {
        CDC dc(&painter);
        dc.FillSolidRect(0, 0, 20, 20, kRed);
    }
    painter.end();
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(14, 14), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(15, 15), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(4, 4), qRgb(255, 255, 255));
}

TEST(GdiText, DrawTextMeasuresLinesAndWraps)
{
    Canvas c(300, 200);
    CFont font;
    font.CreatePointFont(100, qrtest::kTestFace, &c.dc);
    c.dc.SelectObject(&font);
    const QFontMetrics fm(c.dc.CurrentQFont());
    ASSERT_TRUE(fm.inFont(u'W'));
    const int line = fm.height();
    struct Case { const char* text; UINT format; int width; int lines; };
    const Case cases[] = {
        {"one line", DT_SINGLELINE, 300, 1},
        {"a\nb\r\nc", 0, 300, 3},
        {"a\nb", DT_SINGLELINE, 300, 1},
        {"word word word word", DT_WORDBREAK, fm.horizontalAdvance("word word") + 2, 2},
        {"Unbreakablelongword", DT_WORDBREAK, 20, 1},
        {"Unbreakablelongword", DT_WORDBREAK | DT_EDITCONTROL, fm.horizontalAdvance("Unbreak") + 1, 3},
    };
    for (const Case& k : cases) {
        CRect r(0, 0, k.width, 10);
        EXPECT_EQ(c.dc.DrawText(k.text, &r, k.format | DT_CALCRECT), line * k.lines) << k.text;
        EXPECT_EQ(r.bottom, line * k.lines) << k.text;
    }
    CRect r(0, 0, 300, 10);
    c.dc.DrawText("&File", &r, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(r.right, fm.horizontalAdvance("File"));
    r = CRect(0, 0, 300, 10);
    c.dc.DrawText("&File", &r, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(r.right, fm.horizontalAdvance("&File"));
}

// Lines end where the script allows: after the blanks behind a word, between
// Japanese characters, but never before a closing mark or after an opening one.
TEST(GdiText, LinesMayEndWhereTheScriptAllows)
{
    struct Case {
        const char* text;
        std::vector<qsizetype> breaks;
    };
    const Case cases[] = {
        {"word word", {5, 9}},
        {" lead  two", {1, 7, 10}},
        {"日本語の文章です。次", {1, 2, 3, 4, 5, 6, 7, 9, 10}},
        {"「写真」を見る", {2, 4, 5, 6, 7}},
        {"写真 photo-book です", {1, 3, 9, 14, 15, 16}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(CTextLayout::BreakPositions(QString::fromUtf8(k.text)), k.breaks) << k.text;
}

// Forty Japanese characters in a box 120 pixels wide wrap into lines that
// fit, the same lines in a memory picture and in a metafile, nothing lost.
TEST(GdiText, JapaneseTextWrapsBetweenCharactersOnEveryDevice)
{
    const std::string text = "朝から雨が降っていましたが、昼過ぎには晴れて、港の向こうに"
                             "大きな虹が見えました。";
    const QString wide = QString::fromUtf8(text.c_str());
    ASSERT_EQ(wide.size(), 40);
    Canvas canvas(300, 400);
    CMetaFileDC meta;
    ASSERT_TRUE(meta.CreateEnhanced(nullptr, nullptr, nullptr, nullptr));
    LOGFONT lf;
    lf.lfHeight = -16;
    CFont font;
    font.CreateFontIndirect(&lf);
    for (CDC* dc : {static_cast<CDC*>(&canvas.dc), static_cast<CDC*>(&meta)}) {
        dc->SelectObject(&font);
        const CTextLayout layout(CTextLayout::SharedMetrics(dc->CurrentQFont()), false);
        const int advance = layout.Width(wide.left(1));
        if (advance <= 0 || advance > 60)
            GTEST_SKIP() << "no font here gives the Japanese characters a usable width (" << advance << " pixels)";
        const std::vector<CTextLayout::Line> lines = layout.Break(wide, 120, false);
        EXPECT_GE(lines.size(), size_t(layout.Width(wide) / 120 + 1));
        QString joined;
        for (const CTextLayout::Line& l : lines) {
            EXPECT_LE(layout.Width(l.text), 120) << l.text.toStdString();
            EXPECT_NE(l.text.front(), QChar(u'、')) << "a comma never starts a line";
            joined += l.text;
        }
        EXPECT_EQ(joined, wide);
        // Drawn text measures the same lines.
        CRect box(0, 0, 120, 0);
        const int height = dc->DrawText(text, &box, DT_WORDBREAK | DT_CALCRECT);
        EXPECT_GT(height, layout.LineHeight());
        EXPECT_LE(box.Width(), 120);
    }
    DeleteEnhMetaFile(meta.CloseEnhanced());
}

TEST(GdiText, TextIsDrawnInTheTextColourInsideItsRectangle)
{
    Canvas c(120, 40);
    LOGFONT lf;
    lf.lfHeight = -20;
    lf.lfWeight = FW_BOLD;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    SetLogFontFaceName(lf, qrtest::kTestFace);
    CFont font;
    font.CreateFontIndirect(&lf);
    c.dc.SelectObject(&font);
    ASSERT_TRUE(QFontMetrics(c.dc.CurrentQFont()).inFont(u'M'));
    c.dc.SetTextColor(kRed);
    c.dc.SetBkMode(TRANSPARENT);
    CRect r(0, 0, 60, 40);
    c.dc.DrawText("MMMMMMMMMM", &r, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
    int inside = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (c.At(x, y) == kRed)
                (x < 60 ? inside : outside)++;
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);
}

TEST(GdiLogFont, PointSizeGivesTheCharacterHeight)
{
    struct Case { int tenths; int dpi; LONG height; };
    const Case cases[] = {{90, 96, -12}, {80, 96, -11}, {100, 96, -13}, {90, 600, -75}};
    for (const Case& k : cases)
        EXPECT_EQ(LogFontFromPointSize(k.tenths, "Arial", k.dpi).lfHeight, k.height) << k.tenths << "@" << k.dpi;
    // Face names are cut on a character boundary.
    LOGFONT lf;
    SetLogFontFaceName(lf, std::string(30, 'a') + "\xC3\xA9");
    EXPECT_EQ(LogFontFaceName(lf), std::string(30, 'a'));
}

// Any height a record may hold gives a font whose metrics hold: sizes past
// the largest are made at the largest, where ascent and height stay positive.
TEST(GdiLogFont, HugeHeightsGiveTheLargestFontWithSaneMetrics)
{
    for (LONG height : {LONG(-1000000), LONG(-32767), LONG(-20000), LONG(20000), LONG(1000000)}) {
        LOGFONT lf;
        lf.lfHeight = height;
        SetLogFontFaceName(lf, qrtest::kTestFace);
        const QFont font = QFontFromLogFont(lf);
        const QFontMetrics fm(font);
        EXPECT_LE(font.pixelSize(), kLargestFontPixels) << height;
        EXPECT_GT(fm.ascent(), kLargestFontPixels / 2) << height;
        EXPECT_GT(fm.height(), fm.ascent()) << height;
    }
}

TEST(GdiMetaFile, RecordsWhatIsDrawn)
{
    CMetaFileDC meta;
    ASSERT_TRUE(meta.CreateEnhanced(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(meta.GetDeviceCaps(TECHNOLOGY), DT_METAFILE);
    meta.FillSolidRect(0, 0, 10, 10, kRed);
    HENHMETAFILE h = meta.CloseEnhanced();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->picture.boundingRect(), QRect(0, 0, 10, 10));
    DeleteEnhMetaFile(h);
}

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The record types of an enhanced metafile, in order, after the header's setup.
std::vector<uint32_t> RecordTypes(const std::vector<uint8_t>& b)
{
    std::vector<uint32_t> types;
    for (size_t at = 0; at + 8 <= b.size();) {
        const uint32_t size = Le32(b, at + 4);
        if (size < 8 || at + size > b.size())
            return {};
        types.push_back(Le32(b, at));
        at += size;
    }
    return types;
}

} // namespace

TEST(GdiMetaFile, WritesEnhancedMetafileRecords)
{
    CMetaFileDC meta;
    const CRect frame(0, 0, 2540, 2540); // one inch
    ASSERT_TRUE(meta.CreateEnhanced(nullptr, nullptr, &frame, "Quiram"));
    CPen red(PS_SOLID, 1, kRed);
    CPen* old = meta.SelectObject(&red);
    meta.MoveTo(1, 1);
    meta.LineTo(20, 1);
    const int saved = meta.SaveDC();
    meta.IntersectClipRect(0, 0, 30, 30);
    meta.Ellipse(2, 2, 12, 12);
    meta.RestoreDC(saved);
    // The same pen again after the restore: selected again, not made again.
    meta.Rectangle(3, 3, 9, 9);
    meta.SelectObject(old);
    HENHMETAFILE h = meta.CloseEnhanced();
    ASSERT_NE(h, nullptr);
    const std::vector<uint8_t>& b = h->bytes;
    const std::vector<uint32_t> types = RecordTypes(b);
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), EMR_HEADER);
    EXPECT_EQ(types.back(), EMR_EOF);
    EXPECT_EQ(Le32(b, 48), b.size());
    EXPECT_EQ(Le32(b, 52), types.size());
    EXPECT_EQ(Le32(b, 64), 108u) << "the description after the header";
    EXPECT_EQ(Le32(b, 72), 96u) << "the page in pixels at 96 dots per inch";
    // After the setup records: the pen, the line, the saved state with its
    // clip, brush and ellipse, the restore (the pen chosen before the save
    // comes back with it, the brush chosen inside is selected again) and the
    // rectangle.
    const std::vector<uint32_t> drawn(types.begin() + 6, types.end() - 1);
    const std::vector<uint32_t> expected = {
        EMR_CREATEPEN, EMR_SELECTOBJECT, EMR_POLYLINE, EMR_SAVEDC, EMR_EXTSELECTCLIPRGN, EMR_CREATEBRUSHINDIRECT,
        EMR_SELECTOBJECT, EMR_ELLIPSE, EMR_RESTOREDC, EMR_SELECTOBJECT, EMR_RECTANGLE};
    EXPECT_EQ(drawn, expected);
    DeleteEnhMetaFile(h);
}
