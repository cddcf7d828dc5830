#include "imaging/colour_settings.h"
#include "viewer/colour_pref_dlog.h"
#include "support/command_recorder.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "util/reg_settings.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(ColorPrefs, ListRowsAndColourSpaceCodes)
{
    struct Row {
        int code, index;
    } rows[] = {{17, 0}, {14, 1}, {7, 2}, {18, -1}, {0, -1}};
    for (const Row& r : rows)
        EXPECT_EQ(CColorPrefDlog::IndexFromColorSpace(r.code), r.index) << r.code;
    struct Back {
        int index, code;
    } back[] = {{0, 17}, {1, 14}, {2, 7}, {-1, 14}, {3, 14}};
    for (const Back& b : back)
        EXPECT_EQ(CColorPrefDlog::ColorSpaceFromIndex(b.index), b.code) << b.index;
    // Linux tells the cases apart: the filter lists both.
    const std::string filter = CColorPrefDlog::ProfileFilter();
    for (const char* p : {"*.ICM", "*.icm", "*.ICC", "*.icc"})
        EXPECT_NE(filter.find(p), std::string::npos) << filter;
    EXPECT_EQ(filter.find('|'), std::string::npos) << filter;
}

// The dialog over the stored settings; the test acts on it while it is up
// and the main window records what it is told afterwards.
class ColorPrefTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        GetColorSettings(saved);
        ASSERT_TRUE(main.Create(nullptr, "main", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
        app.m_pMainWnd = &main;
        previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        CColorPrefDlog::SetProfileChooser(nullptr);
        ApplyColorSettings(saved);
        SetMessageBoxHandler(previousBoxes);
        app.m_pMainWnd = nullptr;
        main.DestroyWindow();
        SetRegistryStore(nullptr);
    }
    // Runs the dialog; act runs while it is up. The dialog's answer.
    INT_PTR Run(std::function<void(CColorPrefDlog&)> act)
    {
        CDialog::SetModalObserver([act](CDialog* d) { act(*static_cast<CColorPrefDlog*>(d)); });
        CColorPrefDlog dlg(&main);
        INT_PTR r = dlg.DoModal();
        QApplication::processEvents(); // the posted commands
        return r;
    }
    static void Click(CDialog& d, UINT id) { d.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    static void Check(CDialog& d, UINT id, bool on)
    {
        d.CheckDlgButton(id, on ? BST_CHECKED : BST_UNCHECKED);
        Click(d, id);
    }

    qrtest::TempDir hives;
    CRegistryStore store{hives.path(), hives / "machine"};
    CWinApp app{"colourprefs"};
    qrtest::CommandRecorder main;
    ColorSettings saved;
    MessageBoxHandler previousBoxes;
    std::vector<std::string> boxes;
};

TEST_F(ColorPrefTest, UnknownSpaceShowsNoRowAndIsSavedAsSrgbWithoutChange310Only)
{
    ColorSettings s;
    s.colorSpace = 18;
    ApplyColorSettings(s);
    int shownRow = 99;
    ASSERT_EQ(Run([&](CColorPrefDlog& d) {
                  shownRow = dynamic_cast<CComboBox*>(d.GetDlgItem(IDC_CP_SPACE))->GetCurSel();
                  // Matching off: the list and the profile boxes wait.
                  EXPECT_FALSE(d.GetDlgItem(IDC_CP_SPACE)->IsWindowEnabled());
                  EXPECT_FALSE(d.GetDlgItem(IDC_CP_DISPLAY_LOAD)->IsWindowEnabled());
                  Click(d, IDOK);
              }),
              IDOK);
    EXPECT_EQ(shownRow, -1);
    ColorSettings after;
    GetColorSettings(after);
    EXPECT_EQ(after.colorSpace, 14);
    EXPECT_EQ(main.Count(310), 1u);
    EXPECT_EQ(main.Count(229), 1u); // 18 became 14

    main.commands.clear();
    ASSERT_EQ(Run([](CColorPrefDlog& d) { Click(d, IDOK); }), IDOK);
    EXPECT_EQ(main.Count(310), 1u);
    EXPECT_EQ(main.Count(229), 0u);
}

TEST_F(ColorPrefTest, ProfilesAreAskedForOnlyWhileMatchingIsOn)
{
    ApplyColorSettings(ColorSettings{});
    // Matching off: checked boxes without profiles are accepted.
    ASSERT_EQ(Run([](CColorPrefDlog& d) {
                  Check(d, IDC_CP_DISPLAY, true);
                  Click(d, IDOK);
              }),
              IDOK);
    EXPECT_TRUE(boxes.empty());
    main.commands.clear();
    // On, with the display box checked and no profile: the dialog stays up.
    static std::string chosen;
    chosen = "/profiles/Monitor Profile.icc";
    CColorPrefDlog::SetProfileChooser([](std::string& path) {
        path = chosen;
        return TRUE;
    });
    ASSERT_EQ(Run([&](CColorPrefDlog& d) {
                  Check(d, IDC_CP_MATCHING, true);
                  EXPECT_TRUE(d.GetDlgItem(IDC_CP_DISPLAY_LOAD)->IsWindowEnabled());
                  EXPECT_FALSE(d.GetDlgItem(IDC_CP_PRINTER_LOAD)->IsWindowEnabled());
                  Click(d, IDOK);
                  EXPECT_EQ(boxes, std::vector<std::string>{"ICC profile not selected."});
                  EXPECT_TRUE(d.IsWindowVisible());
                  Click(d, IDC_CP_DISPLAY_LOAD);
                  EXPECT_EQ(d.GetDlgItemText(IDC_CP_DISPLAY_NAME), "Monitor Profile.icc");
                  dynamic_cast<CComboBox*>(d.GetDlgItem(IDC_CP_SPACE))->SetCurSel(2);
                  Click(d, IDOK);
              }),
              IDOK);
    ColorSettings after;
    GetColorSettings(after);
    EXPECT_EQ(after.doInputCM, 1);
    EXPECT_EQ(after.doDispCM, 1);
    EXPECT_EQ(after.doPrintCM, 0);
    EXPECT_EQ(after.colorSpace, 7);
    EXPECT_EQ(after.displayProfile, chosen);
    EXPECT_EQ(main.Count(229), 1u);
}

TEST_F(ColorPrefTest, CancelChangesNothing)
{
    ColorSettings s;
    s.doInputCM = 1;
    s.colorSpace = 7;
    ApplyColorSettings(s);
    ASSERT_EQ(Run([](CColorPrefDlog& d) {
                  Check(d, IDC_CP_MATCHING, false);
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    ColorSettings after;
    GetColorSettings(after);
    EXPECT_EQ(after, s);
    EXPECT_TRUE(main.commands.empty());
}

} // namespace
