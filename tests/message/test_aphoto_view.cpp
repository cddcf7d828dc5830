#include "message/ano_doc_template.h"
#include "message/aphoto_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(AnoDocTemplate, TakesMessagesAndItsPictureTypesNativelyInAnyCase)
{
    CAnoDocTemplate tmpl(0, 0);
    struct Row {
        const char* path;
        CDocTemplate::Confidence expected;
    } rows[] = {
        {"/p/a.kvt", CDocTemplate::yesAttemptNative},   {"/p/a.KVT", CDocTemplate::yesAttemptNative},
        {"/p/a.jpg", CDocTemplate::yesAttemptNative},   {"/p/a.JPEG", CDocTemplate::yesAttemptNative},
        {"/p/a.jpe", CDocTemplate::yesAttemptNative},   {"/p/a.Bmp", CDocTemplate::yesAttemptNative},
        {"/p/a.Tif", CDocTemplate::yesAttemptNative},   {"/p/a.tiff", CDocTemplate::yesAttemptNative},
        {"/p/a.png", CDocTemplate::yesAttemptForeign},  {"/p/noext", CDocTemplate::yesAttemptForeign},
        {"/p.jpg/noext", CDocTemplate::yesAttemptForeign}, {"/p/a.jpg.txt", CDocTemplate::yesAttemptForeign},
    };
    for (const Row& r : rows) {
        CDocument* match = nullptr;
        EXPECT_EQ(tmpl.MatchDocType(r.path, match), r.expected) << r.path;
    }
    EXPECT_EQ(CAnoDocTemplate::LoadDocStringPart(129, 0), "Annotation");
    EXPECT_EQ(CAnoDocTemplate::LoadDocStringPart(129, 4), ".kvt");
    EXPECT_EQ(CAnoDocTemplate::LoadDocStringPart(129, 9), "");
    // No message open: nothing to ask.
    EXPECT_TRUE(tmpl.CanCloseDocument());
}

TEST(AphotoViewInsert, PicturesStandSideBySideCentredInEqualCells)
{
    const CAPhotoView::InsertLayout l = CAPhotoView::LayOutInsert(CSize(200, 50), CSize(100, 80));
    EXPECT_EQ(l.composite, CSize(420, 80));
    EXPECT_EQ(l.oldRect, CRect(0, 15, 200, 65));
    EXPECT_EQ(l.newRect, CRect(270, 0, 370, 80));

    // Two wide pictures are scaled so that the composite stays within 3840.
    const CAPhotoView::InsertLayout wide = CAPhotoView::LayOutInsert(CSize(3000, 2000), CSize(3000, 1000));
    EXPECT_LE(wide.composite.cx, 3840);
    EXPECT_LE(wide.composite.cy, 3840);
    EXPECT_EQ(wide.oldRect.Width(), wide.newRect.Width());
    EXPECT_LE(wide.newRect.right, wide.composite.cx);
    EXPECT_GE(wide.oldRect.left, 0);
}

TEST(AphotoViewDrop, OneMessageOneOrTwoPicturesAndNothingMixed)
{
    using V = std::vector<std::string>;
    struct Row {
        V paths;
        CAPhotoView::DropAction expected;
    } rows[] = {
        {{"/a/m.kvt"}, CAPhotoView::dropMessage},
        {{"/a/p.JPG"}, CAPhotoView::dropPicture},
        {{"/a/p.jpg", "/a/q.tif"}, CAPhotoView::dropTwoPictures},
        {{"/a/m.kvt", "/a/p.jpg"}, CAPhotoView::dropNone},
        {{"/a/m.kvt", "/a/n.kvt"}, CAPhotoView::dropNone},
        {{"/a/p.jpg", "/a/q.jpg", "/a/r.jpg"}, CAPhotoView::dropNone},
        {{"/a/p.png"}, CAPhotoView::dropNone},
        {{"/a/p.jpg", "/a/notes.txt"}, CAPhotoView::dropPicture},
        {{}, CAPhotoView::dropNone},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CAPhotoView::ClassifyDrop(r.paths), r.expected) << (r.paths.empty() ? "" : r.paths[0]);
}
