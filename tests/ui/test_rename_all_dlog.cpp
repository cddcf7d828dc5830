// Rename All's dialog: the name base and first serial number it asks for,
// what it refuses, and what it remembers while the program runs.
#include "ui/rename_all_dlog.h"
#include "platform/framework/controls.h"
#include "resources/string_table.h"
#include "support/ui_test_util.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>

namespace {

class RenameAllTest : public ::testing::Test {
protected:
    void TearDown() override { GetRenameAllMemory() = RenameAllMemory(); }
    INT_PTR Run(CRenameAllDlog& dlg, std::function<void()> during) { return uitest::RunModal(dlg, during); }
    static QLineEdit* Line(CDialog& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)->m_hWnd); }
    // A key typed at the caret, as the user types it.
    static void Type(QLineEdit* line, const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(line, &press);
        }
    }

    uitest::RecordedBoxes recorded;
    std::vector<std::string>& boxes = recorded.texts;
};

TEST_F(RenameAllTest, StartsWithTheGivenValuesAndRemembersOnlyWhatRenameTook)
{
    EXPECT_EQ(GetRenameAllMemory().nameBase, "IMAGE");
    EXPECT_EQ(GetRenameAllMemory().firstNumber, "0001");
    {
        CRenameAllDlog dlg("TRIP", "0010", nullptr);
        std::string caption, name, number;
        ASSERT_EQ(Run(dlg,
                      [&] {
                          caption = dlg.GetWindowText();
                          name = dlg.GetDlgItemText(IDC_RENAME_ALL_NAME);
                          number = dlg.GetDlgItemText(IDC_RENAME_ALL_FIRST_NUMBER);
                          dlg.SetDlgItemText(IDC_RENAME_ALL_NAME, "OTHER");
                      }),
                  IDCANCEL);
        EXPECT_EQ(caption, "Rename All");
        EXPECT_EQ(name, "TRIP");
        EXPECT_EQ(number, "0010");
        // Quit keeps what the dialog was opened with.
        EXPECT_EQ(GetRenameAllMemory().nameBase, "TRIP");
        EXPECT_EQ(GetRenameAllMemory().firstNumber, "0010");
    }
    CRenameAllDlog dlg("TRIP", "0010", nullptr);
    ASSERT_EQ(Run(dlg,
                  [&] {
                      dlg.SetDlgItemText(IDC_RENAME_ALL_NAME, "SEA");
                      dlg.SetDlgItemText(IDC_RENAME_ALL_FIRST_NUMBER, "7");
                      dlg.SendMessage(WM_COMMAND, IDOK, 0);
                  }),
              IDOK);
    EXPECT_EQ(dlg.m_strNameBase, "SEA");
    EXPECT_EQ(dlg.m_strFirstNumber, "7");
    EXPECT_EQ(GetRenameAllMemory().nameBase, "SEA");
    EXPECT_EQ(GetRenameAllMemory().firstNumber, "7");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RenameAllTest, LettersLeaveTheSerialNumberAtOnceAndTheNameStopsAtTenCharacters)
{
    CRenameAllDlog dlg("IMAGE", "0001", nullptr);
    std::string number, name;
    int caret = -1;
    Run(dlg, [&] {
        QLineEdit* serial = Line(dlg, IDC_RENAME_ALL_FIRST_NUMBER);
        serial->setCursorPosition(2);
        Type(serial, "x");
        number = dlg.GetDlgItemText(IDC_RENAME_ALL_FIRST_NUMBER);
        caret = serial->cursorPosition();
        QLineEdit* base = Line(dlg, IDC_RENAME_ALL_NAME);
        base->setText("");
        Type(base, "ABCDEFGHIJK");
        name = dlg.GetDlgItemText(IDC_RENAME_ALL_NAME);
    });
    EXPECT_EQ(number, "0001");
    EXPECT_EQ(caret, 2);
    EXPECT_EQ(name, "ABCDEFGHIJ");
}

TEST_F(RenameAllTest, ANameBaseNoFileMayHaveIsRefusedAndTheDialogStays)
{
    CRenameAllDlog dlg("IMAGE", "0001", nullptr);
    bool open = false;
    Run(dlg, [&] {
        dlg.SetDlgItemText(IDC_RENAME_ALL_NAME, "A:B");
        dlg.SendMessage(WM_COMMAND, IDOK, 0);
        open = uitest::IsUp(dlg);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(6001)});
    EXPECT_EQ(GetRenameAllMemory().nameBase, "IMAGE");
}

} // namespace
