#include "ui/file_save_dlog.h"
#include "ui/text_entry_dlog.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeView>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::string kFilter = "JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|TIFF (*.tif;*.tiff)|*.tif;*.tiff|PNG (*.png)|*.png|"
                            "All Files (*.*)|*.*||";
enum { kJpeg = 0, kTiff = 1, kPng = 2, kAll = 3 };

// The user's side of the dialog, scripted: each run answers with a path and a
// filter, after doing what the test asks of the panel.
class ScriptedSaveDlog : public CFileSaveDlog {
public:
    using CFileSaveDlog::CFileSaveDlog;
    struct Answer {
        bool ok;
        std::string path;
        int filter;
        std::function<void(CFileSaveDlog&)> during;
    };
    std::vector<Answer> answers;
    std::vector<std::string> replaceAsked;
    bool replace = true;

protected:
    BOOL RunDialog(std::string& path, int& filterIndex) override
    {
        if (answers.empty())
            return FALSE;
        Answer a = answers.front();
        answers.erase(answers.begin());
        OnFilterChanged(a.filter);
        if (a.during)
            a.during(*this);
        path = a.path;
        filterIndex = a.filter;
        return a.ok;
    }
    BOOL ConfirmReplace(const std::string& path) override
    {
        replaceAsked.push_back(path);
        return replace;
    }
};

TEST(FileSaveDlog, ExtensionIsCompletedFromTheSelectedType)
{
    struct Row {
        const char* path;
        std::vector<std::string> patterns;
        const char* result;
    } rows[] = {
        {"/p/photo", {"*.jpg", "*.jpeg"}, "/p/photo.jpg"},
        {"/p/photo.JPEG", {"*.jpg", "*.jpeg"}, "/p/photo.JPEG"},
        {"/p/photo.jpg", {"*.tif", "*.tiff"}, "/p/photo.jpg.tif"},
        {"/p.jpg/photo", {"*.jpg"}, "/p.jpg/photo.jpg"},
        {"/p/photo", {"*.*"}, "/p/photo"},
        {"/p/photo.raw", {"*.*"}, "/p/photo.raw"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CFileSaveDlog::CompleteExtension(r.path, r.patterns), r.result) << r.path;
}

TEST(FileSaveDlog, TheSourcesTypeOrExtensionPicksItsEntry)
{
    int quality = 80;
    const std::pair<const char*, int> rows[] = {{"JPEG", kJpeg}, {"jpg", kJpeg}, {"TIF", kTiff},
                                                {"tiff", kTiff}, {"png", kPng},  {"Png", kPng}};
    for (const auto& [type, index] : rows)
        EXPECT_EQ(CFileSaveDlog(&quality, 24, type, "", 0, kFilter, nullptr).GetFilterIndex(), index) << type;
}

TEST(FileSaveDlog, PanelFollowsTheTypeAndTheSourceDepth)
{
    int quality = 80;
    CFileSaveDlog raw48(&quality, 48, "tkf", "", 0, kFilter, nullptr);
    EXPECT_EQ(raw48.GetFilterIndex(), kTiff); // the camera's raw type saves as TIFF
    EXPECT_TRUE(raw48.IsBitDepthEnabled());
    EXPECT_FALSE(raw48.IsCompressionEnabled());
    EXPECT_EQ(raw48.GetSliderPos(), 21);
    raw48.SetBitDepthChoice(1);
    EXPECT_EQ(raw48.GetBitDepthChoice(), 1);
    raw48.OnFilterChanged(kJpeg);
    EXPECT_TRUE(raw48.IsCompressionEnabled());
    EXPECT_FALSE(raw48.IsBitDepthEnabled());
    EXPECT_EQ(raw48.GetBitDepthChoice(), 0);

    CFileSaveDlog tiff24(&quality, 24, "TIFF", "", 0, kFilter, nullptr);
    EXPECT_EQ(tiff24.GetFilterIndex(), kTiff);
    EXPECT_FALSE(tiff24.IsBitDepthEnabled());
    tiff24.SetBitDepthChoice(1);
    EXPECT_EQ(tiff24.GetBitDepthChoice(), 0);
}

TEST(FileSaveDlog, QualityReachesTheCallerOnlyOnOk)
{
    int quality = 80;
    ScriptedSaveDlog cancelled(&quality, 24, "JPEG", "", 0, kFilter, nullptr);
    cancelled.answers.push_back({false, "", kJpeg, [](CFileSaveDlog& d) { d.OnSliderMoved(41); }});
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(quality, 80);

    qrtest::TempDir dir;
    ScriptedSaveDlog confirmed(&quality, 24, "JPEG", "", 0, kFilter, nullptr);
    confirmed.answers.push_back({true, (dir / "a").string(), kJpeg, [](CFileSaveDlog& d) { d.OnSliderMoved(41); }});
    EXPECT_EQ(confirmed.DoModal(), IDOK);
    EXPECT_EQ(quality, 60);
    EXPECT_EQ(confirmed.GetPathName(), (dir / "a.jpg").string());
}

TEST(FileSaveDlog, CompletedNameOfAnExistingFileIsAskedAbout)
{
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "a.jpg", {1});
    int quality = 90;
    ScriptedSaveDlog dlg(&quality, 24, "JPEG", "", 0, kFilter, nullptr);
    dlg.replace = false;
    dlg.answers.push_back({true, (dir / "a").string(), kJpeg, nullptr});
    dlg.answers.push_back({true, (dir / "b").string(), kJpeg, nullptr});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.replaceAsked, (std::vector<std::string>{(dir / "a.jpg").string()}));
    EXPECT_EQ(dlg.GetPathName(), (dir / "b.jpg").string());
}

TEST(FileSaveDlog, TheListingShowsEachPhotosSizeTypeAndDateWhole)
{
    qrtest::TempDir dir;
    const char* photos[] = {"camera_nikon_d70s.jpg", "camera_canon_eos_t4i.jpg", "camera_sony_dsc_w15.jpg"};
    for (const char* name : photos)
        std::filesystem::copy_file(qrtest::DataPath(name), dir / name);
    int quality = 90;
    CFileSaveDlog dlg(&quality, 24, "JPEG", (dir / "harbour.jpg").string(), 0, kFilter, nullptr);
    std::vector<std::string> cut;
    bool listed = false;
    QTimer poll;
    QDeadlineTimer deadline(30000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!fd || !fd->isVisible())
            return;
        auto* details = fd->findChild<QTreeView*>("treeView");
        if (!details || !details->isVisible()) {
            fd->reject();
            return;
        }
        const QModelIndex root = details->rootIndex();
        listed = details->model()->rowCount(root) >= int(std::size(photos));
        if (!listed && !deadline.hasExpired())
            return;
        QApplication::processEvents();
        const QFontMetrics metrics(details->font());
        for (int column = 1; column < details->header()->count(); ++column) {
            int widest = 0;
            for (int row = 0; row < details->model()->rowCount(root); ++row)
                widest = std::max(widest, metrics.horizontalAdvance(
                                              details->model()->index(row, column, root).data().toString()));
            if (details->header()->sectionSize(column) < widest)
                cut.push_back(details->model()->headerData(column, Qt::Horizontal).toString().toStdString());
        }
        fd->resize(760, 480);
        QApplication::processEvents();
        QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(uitest::Grab(fd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/save_dialog_photos.png"));
        fd->reject();
    });
    poll.start(20);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(listed);
    EXPECT_TRUE(cut.empty()) << cut.front();
}

TEST(FileSaveDlog, RealDialogCarriesThePanelAndCancelKeepsTheQuality)
{
    int quality = 70;
    CFileSaveDlog dlg(&quality, 48, "TIFF", "", 0, kFilter, nullptr);
    bool sawPanel = false;
    QTimer::singleShot(0, [&sawPanel]() {
        auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(fd, nullptr);
        auto* slider = fd->findChild<QSlider*>();
        auto radios = fd->findChildren<QRadioButton*>();
        sawPanel = slider && radios.size() == 2 && !slider->isEnabled() && radios[1]->isEnabled();
        if (slider)
            slider->setValue(11);
        fd->reject();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(sawPanel);
    EXPECT_EQ(quality, 70);
}

TEST(TextEntryDlog, TakesAtMost32CharactersAndStartsSelected)
{
    CTextEntryDlog dlg(nullptr, "Holiday");
    CDialog::SetModalObserver([](CDialog* d) {
        auto* edit = dynamic_cast<CEdit*>(d->GetDlgItem(IDC_TEXT_ENTRY_EDIT));
        ASSERT_NE(edit, nullptr);
        int start = -1, end = -1;
        edit->GetSel(start, end);
        EXPECT_EQ(start, 0);
        EXPECT_EQ(end, 7);
        // The edit takes no more than the dialog accepts.
        edit->SetWindowText(std::string(33, 'x'));
        d->SendMessage(WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    CDialog::SetModalObserver(nullptr);
    EXPECT_EQ(dlg.m_strText, std::string(32, 'x'));

    CTextEntryDlog cancelled(nullptr, "Holiday");
    CDialog::SetModalObserver([](CDialog* d) {
        d->GetDlgItem(IDC_TEXT_ENTRY_EDIT)->SetWindowText("other");
        d->SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    CDialog::SetModalObserver(nullptr);
    EXPECT_EQ(cancelled.m_strText, "Holiday");
}

} // namespace
