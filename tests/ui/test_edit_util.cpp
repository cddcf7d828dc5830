#include "ui/edit_util.h"

#include <gtest/gtest.h>

namespace {

const std::string kHyo = "\xE8\xA1\xA8";       // 表, one UTF-16 unit
const std::string kSmile = "\xF0\x9F\x98\x80"; // 😀, two UTF-16 units

TEST(EditUtil, PositionsAndByteOffsets)
{
    const std::string text = "a" + kHyo + kSmile + "b"; // bytes 0,1,4,8; units 0,1,2,4
    struct Case {
        size_t pos, offset;
    } cases[] = {{0, 0}, {1, 1}, {2, 4}, {4, 8}, {5, 9}};
    for (const Case& c : cases) {
        EXPECT_EQ(ByteOffsetFromUtf16Pos(text, c.pos), c.offset) << c.pos;
        EXPECT_EQ(Utf16PosFromByteOffset(text, c.offset), c.pos) << c.offset;
    }
    EXPECT_EQ(ByteOffsetFromUtf16Pos(text, 99), text.size());
    EXPECT_EQ(Utf16PosFromByteOffset(text, 2), 5u); // inside a character: the whole text
    EXPECT_EQ(Utf16PosFromByteOffset("", 0), 0u);
}

TEST(EditUtil, LimitTextChars)
{
    struct Case {
        std::string text;
        size_t start, end, max;
        std::string left;
        size_t newStart, newEnd;
    } cases[] = {
        // Within the limit: untouched.
        {"abc", 1, 1, 3, "abc", 1, 1},
        // Caret at the end, at the start, or a selection: the end is cut, whole characters only.
        {"abcd", 4, 4, 3, "abc", 3, 3},
        {"ab" + kHyo, 5, 5, 2, "ab", 2, 2},
        {"abcd", 0, 0, 3, "abc", 0, 0},
        {"abcd", 1, 2, 3, "abc", 1, 2},
        {kHyo + kHyo + kHyo, 0, 9, 2, kHyo + kHyo, 0, 6},
        // Caret inside: what was typed at the caret goes, the rest stays.
        {"abXYcd", 4, 4, 4, "abcd", 2, 2},
        {"a" + kHyo + kSmile + "z", 8, 8, 2, "az", 1, 1},
        // Reaching the start, the characters behind the caret go too.
        {"XYZab", 1, 1, 2, "ab", 0, 0},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        size_t start = c.start, end = c.end;
        LimitTextChars(text, start, end, c.max);
        EXPECT_EQ(text, c.left) << testing::PrintToString(c.text);
        EXPECT_EQ(start, c.newStart) << testing::PrintToString(c.text);
        EXPECT_EQ(end, c.newEnd) << testing::PrintToString(c.text);
    }
}

TEST(EditUtil, KeepDigits)
{
    struct Case {
        std::string text;
        size_t start, end;
        std::string left;
        size_t newStart, newEnd;
    } cases[] = {
        {"12a", 3, 3, "12", 2, 2},         // typed a letter at the end
        {"a12", 1, 1, "12", 0, 0},         // at the start
        {"1" + kHyo + "2", 4, 4, "12", 1, 1}, // a three-byte character is three bytes gone
        {"1x2y3", 0, 5, "123", 0, 3},
        {"12x", 2, 2, "12", 2, 2},         // the caret before the removed byte stays
        {"123", 1, 2, "123", 1, 2},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        size_t start = c.start, end = c.end;
        KeepDigits(text, start, end);
        EXPECT_EQ(text, c.left) << c.text;
        EXPECT_EQ(start, c.newStart) << c.text;
        EXPECT_EQ(end, c.newEnd) << c.text;
    }
}

} // namespace

#include "platform/framework/controls.h"
#include "platform/framework/dialog.h"

namespace {

constexpr UINT kTemplate = 29120;

class DigitsDlg : public CDialog {
public:
    DigitsDlg() : CDialog(kTemplate) {}
    std::string number;
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 100, number); }
};

// A modeless dialog with a one-line edit (100) and a many-line one (101).
struct EditDialog {
    DigitsDlg dlg;
    EditDialog()
    {
        DlgTemplate t;
        t.rect = CRect(0, 0, 160, 80);
        t.items = {{"EDIT", "", 100, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, CRect(5, 5, 150, 17)},
                   {"EDIT", "", 101, WS_CHILD | WS_VISIBLE | ES_MULTILINE, CRect(5, 20, 150, 70)}};
        RegisterDialogTemplate(kTemplate, t);
        EXPECT_TRUE(dlg.Create(kTemplate));
    }
    ~EditDialog() { dlg.DestroyWindow(); }
    CEdit* Edit(int id) { return static_cast<CEdit*>(dlg.GetDlgItem(id)); }
};

TEST(EditUtil, ControlsKeepByteSelections)
{
    EditDialog d;
    for (int id : {100, 101}) {
        CEdit* edit = d.Edit(id);
        ASSERT_NE(edit, nullptr);
        edit->SetWindowText("a" + kHyo + kSmile + "b");
        edit->SetSel(2, 4); // the smile, in the control's own units
        int start = -1, end = -1;
        EditGetSelBytes(edit, start, end);
        EXPECT_EQ(start, 4) << id;
        EXPECT_EQ(end, 8) << id;
        EditSetSelBytes(edit, 1, 9);
        int s = -1, e = -1;
        edit->GetSel(s, e);
        EXPECT_EQ(s, 1) << id;
        EXPECT_EQ(e, 5) << id;
    }
}

TEST(EditUtil, LimitEditTextCharsRemovesWhatWasTypedAtTheCaret)
{
    EditDialog d;
    struct Case {
        std::string text;
        int start, end;
        size_t max;
        std::string left;
        int newStart, newEnd;
    } cases[] = {
        {"abXYcd", 4, 4, 4, "abcd", 2, 2},
        {kHyo + kHyo + kHyo, 9, 9, 2, kHyo + kHyo, 6, 6},
        {"a" + kSmile + kSmile + "z", 9, 9, 3, "a" + kSmile + "z", 5, 5},
        {"short", 2, 2, 64, "short", 2, 2},
    };
    for (int id : {100, 101}) {
        for (const Case& c : cases) {
            CEdit* edit = d.Edit(id);
            edit->SetWindowText(c.text);
            EditSetSelBytes(edit, c.start, c.end);
            LimitEditTextChars(edit, c.max);
            EXPECT_EQ(edit->GetWindowText(), c.left) << id << " " << c.text;
            int start = -1, end = -1;
            EditGetSelBytes(edit, start, end);
            EXPECT_EQ(start, c.newStart) << id << " " << c.text;
            EXPECT_EQ(end, c.newEnd) << id << " " << c.text;
        }
    }
}

TEST(EditUtil, KeepDigitsInEditThroughTheDialogsData)
{
    EditDialog d;
    CEdit* edit = d.Edit(100);
    edit->SetWindowText("1" + kHyo + "2x");
    EditSetSelBytes(edit, 5, 5); // behind the 2
    KeepDigitsInEdit(&d.dlg, edit, d.dlg.number);
    EXPECT_EQ(d.dlg.number, "12");
    EXPECT_EQ(edit->GetWindowText(), "12");
    int start = -1, end = -1;
    EditGetSelBytes(edit, start, end);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(end, 2);
}

} // namespace
