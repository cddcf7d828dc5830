#include "message_fixtures.h"

#include "message/aphoto_page_render.h"
#include "message/photo_content.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/metafile_dc.h"

#include <QImage>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// An A4-like page at 96 dots per inch.
constexpr int kPageWidth = 794;
constexpr int kPageHeight = 1123;

struct Message {
    CAPhotoContent content{80};
    CAPhotoPrintOptions options;

    Message(int comments, const std::string& text)
    {
        CImageBuffer picture = msgtest::MakePicture(200, 150);
        content.TakeImage(picture);
        content.m_strPictureText = "Harbour at dawn";
        for (int i = 0; i < comments; ++i) {
            auto record = std::make_unique<CAnoRecord>(
                msgtest::TextRecord(text, CAreaMarquee(CRect(10 + i, 10, 60 + i, 50), CAreaMarquee::square)));
            content.m_comments.emplace_back(0, std::move(record));
            options.printOrder.push_back(i);
        }
        options.bDate = FALSE;
    }
};

// A page drawn into memory, measured as printed pages are.
struct PageImage {
    QImage image{kPageWidth, kPageHeight, QImage::Format_RGB32};
    CDC dc;
    PageImage()
    {
        image.fill(Qt::white);
        dc.AttachDevice(&image);
        dc.m_bPrinting = TRUE;
    }
};

int Paginate(Message& m, CDC& dc, int resolution = 96)
{
    CAPhotoPageRender render(m.content, m.options);
    render.SetPageGeometry(CSize(kPageWidth, kPageHeight), 0, 0, resolution);
    return render.Paginate(&dc);
}

std::string LongText()
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "word" + std::to_string(i) + " ";
    return text;
}

} // namespace

TEST(APhotoPageRender, PageCountsFollowTheCommentsAndColumns)
{
    struct Case {
        int comments;
        int columns;
        int pages;
    };
    // Page 1 holds one column of cards beside the photograph, later pages two.
    const Case cases[] = {
        {0, 3, 1},  {1, 3, 1},  {3, 3, 1}, {4, 3, 2},  {9, 3, 2}, {10, 3, 3},
        {2, 1, 2},  {3, 1, 2},  {4, 1, 3}, {2, 0, 2}, // columns below 1 count as 1
        {8, 12, 1}, {9, 12, 2}, // and above 8 as 8
    };
    for (const Case& c : cases) {
        Message m(c.comments, "A short note");
        m.options.nColumns = c.columns;
        PageImage page;
        EXPECT_EQ(Paginate(m, page.dc), c.pages) << c.comments << " comments, " << c.columns << " a column";
    }
}

TEST(APhotoPageRender, PagesRecordWhereTheyStart)
{
    Message m(10, "A short note");
    m.options.nColumns = 3;
    PageImage page;
    CAPhotoPageRender render(m.content, m.options);
    render.SetPageGeometry(CSize(kPageWidth, kPageHeight), 20, 20, 96);
    ASSERT_EQ(render.Paginate(&page.dc), 3);
    const auto& pages = render.GetPages();
    EXPECT_EQ(pages[0].position, 0);
    EXPECT_EQ(pages[0].last, 2);
    EXPECT_EQ(pages[1].position, 3);
    EXPECT_EQ(pages[1].first, 3);
    EXPECT_EQ(pages[1].last, 8);
    EXPECT_EQ(pages[2].position, 9);
    EXPECT_EQ(pages[2].last, 9);
    for (const auto& p : pages)
        EXPECT_EQ(p.offset, 0);
    // Only printed comments count: a print order of two gives one page.
    m.options.printOrder = {7, 2};
    EXPECT_EQ(render.Paginate(&page.dc), 1);
    EXPECT_EQ(render.GetPages()[0].first, 7);
    EXPECT_EQ(render.GetPages()[0].last, 2);
}

TEST(APhotoPageRender, ALongCommentGoesOnWithoutItsHeadingAndWithItsColour)
{
    Message m(2, LongText());
    m.options.nColumns = 1;
    m.options.bImageDetail = FALSE;
    PageImage measure;
    CAPhotoPageRender render(m.content, m.options);
    render.SetPageGeometry(CSize(kPageWidth, kPageHeight), 0, 0, 96);
    const int pages = render.Paginate(&measure.dc);
    ASSERT_GE(pages, 3);
    const auto& starts = render.GetPages();
    // Page 2 starts inside comment 0, past its heading.
    EXPECT_EQ(starts[1].position, 0);
    const std::string heading = m.content.m_comments[0].m_pRecord->GetHeading();
    EXPECT_GT(starts[1].offset, int(heading.size()));
    ASSERT_GE(render.GetCellStarts().size(), 2u);
    EXPECT_EQ(render.GetCellStarts()[0], 0);
    EXPECT_EQ(render.GetCellStarts()[1], starts[1].offset);

    // The continued card shows comment 0's colour marker at its cell's top-left.
    PageImage out;
    render.SetCurrentPage(2);
    render.RenderPage(&out.dc, CRect(0, 0, kPageWidth, kPageHeight), 0, 0);
    const CAPhotoPageRender::Layout layout =
        render.LayoutPage(&out.dc, CRect(0, 0, kPageWidth, kPageHeight), 2);
    ASSERT_FALSE(layout.cells.empty());
    const QPoint marker(layout.cells[0].left + 5 + 8, layout.cells[0].top + 5 + 8);
    EXPECT_EQ(out.image.pixel(marker) & 0xFFFFFF, 0xFF0000u);
}

TEST(APhotoPageRender, CommentColoursGoByIndex)
{
    EXPECT_EQ(CAPhotoPageRender::CommentColour(0), RGB(255, 0, 0));
    EXPECT_EQ(CAPhotoPageRender::CommentColour(4), RGB(255, 0, 255));
    EXPECT_EQ(CAPhotoPageRender::CommentColour(6), RGB(255, 0, 0));
    EXPECT_EQ(CAPhotoPageRender::CommentColour(11), RGB(255, 255, 0));
}

TEST(APhotoPageRender, PrinterPreviewAndMetafileBreakAlike)
{
    // The same page at 300 dots per inch, measured on a picture in memory and
    // on a metafile: the cells start at the same offsets.
    Message a(3, LongText());
    a.options.nColumns = 2;
    QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    CDC printer(&image);
    printer.m_bPrinting = TRUE;
    CAPhotoPageRender onImage(a.content, a.options);
    onImage.SetPageGeometry(CSize(2480, 3508), 40, 40, 300);
    const int pages = onImage.Paginate(&printer);

    CMetaFileDC meta;
    ASSERT_TRUE(meta.CreateEnhanced(&printer, nullptr, nullptr, nullptr));
    CAPhotoPageRender onMeta(a.content, a.options);
    onMeta.SetPageGeometry(CSize(2480, 3508), 40, 40, 300);
    EXPECT_EQ(onMeta.Paginate(&meta), pages);
    EXPECT_EQ(onMeta.GetCellStarts(), onImage.GetCellStarts());
    DeleteEnhMetaFile(meta.CloseEnhanced());
}

TEST(APhotoPageRender, AMessageWithoutCommentsPrintsThePhotographOnOnePage)
{
    Message m(0, "");
    PageImage page;
    CAPhotoPageRender render(m.content, m.options);
    render.SetPageGeometry(CSize(kPageWidth, kPageHeight), 0, 0, 96);
    ASSERT_EQ(render.Paginate(&page.dc), 1);
    render.SetCurrentPage(1);
    render.RenderPage(&page.dc, CRect(0, 0, kPageWidth, kPageHeight), 0, 0);
    const auto layout = render.LayoutPage(&page.dc, CRect(0, 0, kPageWidth, kPageHeight), 1);
    // Portrait: the photograph fills the top half's picture box; its centre shows the picture.
    const CRect& photo = layout.photo;
    const QRgb centre = page.image.pixel(photo.CenterPoint().x, photo.top + photo.Height() * 3 / 8);
    EXPECT_NE(centre & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(layout.cells.size() == 2u);
}
