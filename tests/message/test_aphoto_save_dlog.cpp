#include "message/aphoto_save_dlog.h"

#include "platform/framework/message_box.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct SaveDlogTest : ::testing::Test {
    void SetUp() override
    {
        previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            return answer;
        });
    }
    void TearDown() override { SetMessageBoxHandler(previous); }

    qrtest::TempDir dir;
    MessageBoxHandler previous;
    std::vector<std::string> boxes;
    int answer = IDOK;
};

} // namespace

TEST_F(SaveDlogTest, FilterAndExtensionComeFromTheTemplateStrings)
{
    CAPhotoSaveDlog dlg("Save As", "Quiram Relayo(*.kvt)", ".kvt;.kv2", "", FALSE, nullptr);
    EXPECT_EQ(QtFilterLine(dlg.GetFilter()), "Quiram Relayo (*.kvt *.kv2)");
    EXPECT_EQ(dlg.GetDefaultExtension(), "kvt");
    const std::pair<const char*, const char*> rows[] = {
        {"/m/beach", "/m/beach.kvt"}, {"/m/beach.kvt", "/m/beach.kvt"}, {"/m/a.b/beach", "/m/a.b/beach.kvt"},
        {"/m/beach.txt", "/m/beach.txt"}, {"/m/", "/m/"},
    };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(dlg.CompleteExtension(in), out) << in;
    EXPECT_TRUE(CAPhotoSaveDlog::IsPathLengthSupported("/m/" + std::string(255, 'a')));
    EXPECT_FALSE(CAPhotoSaveDlog::IsPathLengthSupported("/m/" + std::string(256, 'a')));
    EXPECT_FALSE(CAPhotoSaveDlog::IsPathLengthSupported(std::string(4096, '/')));
}

// The real dialog, driven as a person would: a name typed, Read Only ticked,
// Save pressed; the question about the lock answered.
TEST_F(SaveDlogTest, ReadOnlyBoxIsAskedAboutAndReported)
{
    CAPhotoSaveDlog dlg("Save As", "Quiram Relayo(*.kvt)", ".kvt", (dir / "*").string(), FALSE, nullptr);
    bool driven = false;
    bool startsTicked = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* file = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!file || driven)
            return;
        driven = true;
        auto* name = file->findChild<QLineEdit*>("fileNameEdit");
        auto* box = file->findChild<QCheckBox*>("ReadOnly");
        ASSERT_NE(name, nullptr);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->isChecked(), startsTicked);
        EXPECT_EQ(file->directory().absolutePath().toStdString(), dir.path().string());
        name->setText("holiday");
        box->setChecked(true);
        file->resize(760, 460);
        QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(uitest::Grab(file).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/message_save_as.png"));
        // Save, as the dialog's button does.
        auto* buttons = file->findChild<QDialogButtonBox*>("buttonBox");
        ASSERT_NE(buttons, nullptr);
        QPushButton* save = buttons->button(QDialogButtonBox::Save);
        ASSERT_NE(save, nullptr);
        save->click();
    });
    driver.start(10);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(driven);
    EXPECT_EQ(dlg.GetPathName(), (dir / "holiday.kvt").string());
    EXPECT_TRUE(dlg.IsReadOnlyChecked());
    EXPECT_EQ(boxes, std::vector<std::string>{"Save as a file only for reading?"});

    // Cancel on that question cancels the dialog. The box starts as it was left.
    driven = false;
    startsTicked = true;
    boxes.clear();
    answer = IDCANCEL;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(boxes.size(), 1u);
}
