// The size Resize All asks for: proportions kept while typing, the longer
// side at most 3840, the memory size beside, the limits on OK, and the
// dialog's place kept in the settings.
#include "browser/image_size_dlog.h"
#include "platform/framework/controls.h"
#include "platform/registry.h"
#include "resources/string_table.h"
#include "support/ui_test_util.h"
#include "support/test_support.h"
#include "resources/string_ids.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class ImageSizeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry = std::make_unique<CRegistryStore>(dir / "reg", dir / "reg");
        SetRegistryStore(registry.get());
    }
    void TearDown() override { SetRegistryStore(nullptr); }
    INT_PTR Run(CImageSizeDlog& dlg, std::function<void()> during) { return uitest::RunModal(dlg, during); }
    static QLineEdit* Line(CDialog& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)->m_hWnd); }
    static void Type(QLineEdit* line, const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(line, &press);
        }
    }
    // Replaces a field's text as the user does: everything selected, then typed over.
    static void Retype(CDialog& dlg, int id, const QString& text)
    {
        QLineEdit* line = Line(dlg, id);
        line->selectAll();
        Type(line, text);
    }
    std::string Size(CDialog& dlg)
    {
        return dlg.GetDlgItemText(IDC_IMAGE_SIZE_WIDTH) + "x" + dlg.GetDlgItemText(IDC_IMAGE_SIZE_HEIGHT) + " " +
               dlg.GetDlgItemText(IDC_IMAGE_SIZE_NUMBER) + " " + dlg.GetDlgItemText(IDC_IMAGE_SIZE_UNIT);
    }

    qrtest::TempDir dir;
    std::unique_ptr<CRegistryStore> registry;
    uitest::RecordedBoxes recorded;
    std::vector<std::string>& boxes = recorded.texts;
};

TEST_F(ImageSizeTest, TheLongerSideReaches3840AndTheOtherFollows)
{
    struct Case {
        int w, h, maxW, maxH;
    };
    for (const Case& c : {Case{3000, 2000, 3840, 2560}, Case{2000, 3000, 2560, 3840}, Case{100, 100, 3840, 3840},
                          Case{1, 100000, 0, 3840}, Case{0, 2000, 0, 0}}) {
        int w = -1, h = -1;
        CImageSizeDlog::ComputeMaxSize(c.w, c.h, w, h);
        EXPECT_EQ(w, c.maxW) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.maxH) << c.w << "x" << c.h;
    }
}

TEST_F(ImageSizeTest, TheMemorySizeCountsWholeRowsInBytesKilobytesOrMegabytes)
{
    struct Case {
        int w, h, bits;
        const char* number;
        const char* unit;
    };
    const Case cases[] = {
        {32, 32, 24, "3", "KB"},      // 3072 bytes
        {16, 16, 24, "768", "B"},
        {32, 32, 8, "1024", "B"},     // exactly 1024 stays in bytes
        {5, 5, 24, "80", "B"},        // rows padded to 16 bytes
        {3840, 2560, 24, "28.1", "MB"},
        {3840, 3840, 48, "84.4", "MB"},
    };
    for (const Case& c : cases) {
        std::string number, unit;
        CImageSizeDlog::FormatMemorySize(c.w, c.h, c.bits, number, unit);
        EXPECT_EQ(number + " " + unit, std::string(c.number) + " " + c.unit) << c.w << "x" << c.h << "x" << c.bits;
    }
}

TEST_F(ImageSizeTest, TypingOneSideSetsTheOtherOnceWithinTheMaximum)
{
    CImageSizeDlog dlg(3000, 2000, 3000, 2000, 0, 24, nullptr);
    std::vector<std::string> seen;
    std::string caption;
    int caret = -1;
    Run(dlg, [&] {
        caption = dlg.GetWindowText();
        seen.push_back(Size(dlg));
        Retype(dlg, IDC_IMAGE_SIZE_WIDTH, "5000");
        seen.push_back(Size(dlg));
        // The height typed drives the width; nothing comes back to the height.
        Retype(dlg, IDC_IMAGE_SIZE_HEIGHT, "101");
        seen.push_back(Size(dlg));
        Retype(dlg, IDC_IMAGE_SIZE_WIDTH, "32");
        seen.push_back(Size(dlg));
        // A letter goes at once; the caret stays where it was.
        QLineEdit* width = Line(dlg, IDC_IMAGE_SIZE_WIDTH);
        width->setCursorPosition(1);
        Type(width, "k");
        caret = width->cursorPosition();
        seen.push_back(Size(dlg));
        // More digits than any number holds: the maximum, no overflow.
        Retype(dlg, IDC_IMAGE_SIZE_HEIGHT, "99999999999999999999999");
        seen.push_back(Size(dlg));
    });
    EXPECT_EQ(caption, "Image Size");
    EXPECT_EQ(seen, (std::vector<std::string>{"3000x2000 17.2 MB", "3840x2560 28.1 MB", "151x101 45 KB",
                                              "32x21 2 KB", "32x21 2 KB", "3840x2560 28.1 MB"}));
    EXPECT_EQ(caret, 1);
}

TEST_F(ImageSizeTest, OkRefusesSizesOutside8To3840AndKeepsTheDialogOpen)
{
    struct Case {
        int srcW, srcH, typedId;
        const char* typed;
        UINT message; // 0: accepted
    };
    const Case cases[] = {
        {3000, 2000, IDC_IMAGE_SIZE_WIDTH, "7", IDS_IMAGE_SIZE_OUT_OF_RANGE},
        {3000, 2000, IDC_IMAGE_SIZE_WIDTH, "12", 0},                             // 12 x 8
        {3000, 2000, IDC_IMAGE_SIZE_WIDTH, "11", IDS_IMAGE_SIZE_OUT_OF_RANGE}, // 11 x 7
        {2, 3000, IDC_IMAGE_SIZE_HEIGHT, "1", IDS_IMAGE_SIZE_OUT_OF_RANGE},    // the width shows 1
        {3000, 2000, IDC_IMAGE_SIZE_WIDTH, "3840", 0},
    };
    for (const Case& c : cases) {
        boxes.clear();
        CImageSizeDlog dlg(c.srcW, c.srcH, c.srcW, c.srcH, 0, 24, nullptr);
        bool open = false;
        std::string shown;
        const INT_PTR result = Run(dlg, [&] {
            Retype(dlg, c.typedId, c.typed);
            shown = Size(dlg);
            dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_IMAGE_SIZE_OK, BN_CLICKED), 0);
            open = uitest::IsUp(dlg);
        });
        if (c.message) {
            EXPECT_TRUE(open) << c.typed;
            EXPECT_EQ(result, IDCANCEL) << c.typed;
            EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(c.message)}) << c.typed;
        } else {
            EXPECT_EQ(result, IDOK) << c.typed;
            EXPECT_TRUE(boxes.empty()) << c.typed;
        }
        if (c.srcW == 2) {
            EXPECT_EQ(shown.substr(0, 3), "1x1");
        }
    }
    // A picture too large reaches OK only from outside the fields' own limit.
    boxes.clear();
    CImageSizeDlog large(3000, 2000, 5000, 3000, 0, 24, nullptr);
    Run(large, [&] { large.SendMessage(WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(IDS_IMAGE_TOO_LARGE)});
}

TEST_F(ImageSizeTest, ASourceWithoutPixelsIsRefusedBeforeTheDialogShows)
{
    for (CSize source : {CSize(0, 2000), CSize(3000, 0), CSize(-1, 5)}) {
        boxes.clear();
        bool shown = false;
        CImageSizeDlog dlg(source.cx, source.cy, 100, 100, 0, 24, nullptr);
        EXPECT_EQ(Run(dlg, [&] { shown = true; }), IDCANCEL);
        EXPECT_FALSE(shown);
        EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(IDS_IMAGE_SIZE_OUT_OF_RANGE)});
    }
}

TEST_F(ImageSizeTest, TheChosenInterpolationComesBackAndThePlaceIsKept)
{
    CImageSizeDlog first(640, 480, 640, 480, 0, 24, nullptr);
    ASSERT_EQ(Run(first,
                  [&] {
                      first.MoveWindow(40, 30, 300, 250);
                      static_cast<CButton*>(first.GetDlgItem(IDC_IMAGE_SIZE_BICUBIC))->Click();
                      Retype(first, IDC_IMAGE_SIZE_WIDTH, "320");
                      first.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_IMAGE_SIZE_OK, BN_CLICKED), 0);
                  }),
              IDOK);
    EXPECT_EQ(first.m_nInterpolation, 1);
    EXPECT_EQ(first.GetWidth(), 320);
    EXPECT_EQ(first.GetHeight(), 240);

    CImageSizeDlog second(640, 480, 640, 480, 1, 24, nullptr);
    CRect at;
    int radio = -1;
    Run(second, [&] {
        second.GetWindowRect(&at);
        radio = second.IsDlgButtonChecked(IDC_IMAGE_SIZE_BICUBIC);
        second.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_IMAGE_SIZE_CANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(at.TopLeft(), CPoint(40, 30));
    EXPECT_EQ(radio, BST_CHECKED);
    EXPECT_EQ(second.m_nInterpolation, 1);
}

} // namespace
