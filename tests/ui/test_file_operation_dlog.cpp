#include "ui/file_operation_dlog.h"

#include "util/shell_util.h"
#include "platform/framework/message_box.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QDir>
#include <QLabel>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& p, const std::string& text)
{
    qrtest::WriteBytes(p, std::vector<unsigned char>(text.begin(), text.end()));
}

std::string Read(const fs::path& p)
{
    auto bytes = qrtest::ReadBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

using qrtest::FolderNames;

// The program's file operations run behind the real dialog; message boxes
// are answered by the test; each test puts back what it found.
class FileOperationDlogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousProgress = InstallFileOperationProgressDlog();
        CDialog::SetModalObserver([this](CDialog* d) { m_dialog = d; });
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        SetMessageBoxHandler(m_previousBoxes);
        SetFileOperationProgress(m_previousProgress);
    }
    void AnswerBoxes(std::function<int(const std::string&)> answer)
    {
        m_previousBoxes = SetMessageBoxHandler([answer](const std::string& text, UINT, UINT) { return answer(text); });
    }

    IFileOperationProgress* m_previousProgress = nullptr;
    MessageBoxHandler m_previousBoxes;
    CDialog* m_dialog = nullptr;
};

TEST_F(FileOperationDlogTest, CopyingAFolderShowsProgressAndCancelLeavesNothingHalfCopied)
{
    qrtest::TempDir dir;
    fs::create_directories(dir / "src/photos");
    fs::create_directories(dir / "dst/photos");
    std::vector<std::string> small;
    for (int i = 0; i < 120; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p_%03d.jpg", i);
        small.push_back(name);
        Write(dir / "src/photos" / name, std::string(4096, char('a' + i % 26)));
    }
    // Sorted between p_059 and p_060; a name Qt would take for markup.
    const std::string big = "p_060 <b>x.jpg";
    Write(dir / "src/photos" / big, std::string(3 << 20, 'b'));
    Write(dir / "dst/photos" / big, "old");

    int boxes = 0;
    std::string countsAtQuestion, fileAtQuestion, statusAfterCancel;
    bool plainText = false;
    int barAtQuestion = -1;
    AnswerBoxes([&](const std::string& text) {
        ++boxes;
        // Asked by the job's thread, shown by the GUI thread over the progress dialog.
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        if (boxes == 1) { // the folder exists: merge into it
            EXPECT_NE(text.find("The folder"), std::string::npos) << text;
            return IDYES;
        }
        // Replace the big file? While the question is up the dialog shows how far the job is.
        EXPECT_NE(text.find("already exists"), std::string::npos) << text;
        if (!m_dialog) {
            ADD_FAILURE() << "no progress dialog";
            return IDCANCEL;
        }
        const std::string expected = "60 of 121 files, 240 KB of 3.5 MB";
        uitest::WaitFor([&] { return m_dialog->GetDlgItemText(IDC_PROGRESS_COUNTS) == expected; });
        countsAtQuestion = m_dialog->GetDlgItemText(IDC_PROGRESS_COUNTS);
        fileAtQuestion = m_dialog->GetDlgItemText(IDC_PROGRESS_FILE);
        auto* label = qobject_cast<QLabel*>(m_dialog->GetDlgItem(IDC_PROGRESS_FILE)->m_hWnd);
        plainText = label && label->textFormat() == Qt::PlainText;
        barAtQuestion = static_cast<CProgressCtrl*>(m_dialog->GetDlgItem(IDC_PROGRESS_BAR))->GetPos();

        QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(uitest::Grab(m_dialog->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/file_copy_progress.png"));

        // The user presses Cancel, then says yes: the copy of the big file
        // starts, sees the request and leaves nothing of itself.
        CWnd* cancel = m_dialog->GetDlgItem(IDCANCEL);
        EXPECT_TRUE(cancel->IsWindowEnabled());
        uitest::Click(cancel->m_hWnd, cancel->m_hWnd->rect().center());
        statusAfterCancel = m_dialog->GetDlgItemText(IDC_PROGRESS_STATUS);
        return IDYES;
    });

    EXPECT_FALSE(ShellCopyFiles(nullptr, 6210, {(dir / "src/photos").string()}, (dir / "dst").string()));
    EXPECT_EQ(boxes, 2);
    EXPECT_EQ(countsAtQuestion, "60 of 121 files, 240 KB of 3.5 MB");
    EXPECT_EQ(fileAtQuestion, big);
    EXPECT_TRUE(plainText);
    // 240 KB of the bytes: the bar has moved, a little.
    EXPECT_EQ(barAtQuestion, CFileOperationProgressDlog::BarPosition(60 * 4096, 120 * 4096 + (3 << 20), 60, 121));
    EXPECT_GT(barAtQuestion, 0);
    EXPECT_EQ(statusAfterCancel, "Operation has been canceled as requested.");

    // The finished files are there whole, the replaced one is as it was, and
    // nothing after it was begun: no temporary, no partial file.
    std::vector<std::string> expected(small.begin(), small.begin() + 60);
    expected.push_back(big);
    EXPECT_EQ(FolderNames(dir / "dst/photos"), expected);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(Read(dir / "dst/photos" / small[size_t(i)]), std::string(4096, char('a' + i % 26))) << i;
    EXPECT_EQ(Read(dir / "dst/photos" / big), "old");
    EXPECT_EQ(FolderNames(dir / "src/photos").size(), 121u); // a copy leaves its sources
}

TEST_F(FileOperationDlogTest, AFinishedJobClosesByItself)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "dst");
    for (const char* name : {"a.jpg", "b.jpg", "c.wav"})
        Write(dir / name, name);
    std::string status;
    CDialog::SetModalObserver([&](CDialog* d) { status = d->GetDlgItemText(IDC_PROGRESS_STATUS); });
    AnswerBoxes([](const std::string& text) {
        ADD_FAILURE() << "unexpected question: " << text;
        return IDCANCEL;
    });
    EXPECT_TRUE(ShellMoveFiles(nullptr, 6212, {(dir / "a.jpg").string(), (dir / "b.jpg").string(), (dir / "c.wav").string()},
                               (dir / "dst").string()));
    EXPECT_EQ(status, "File is being moved...");
    EXPECT_EQ(FolderNames(dir / "dst"), (std::vector<std::string>{"a.jpg", "b.jpg", "c.wav"}));
    EXPECT_EQ(Read(dir / "dst/c.wav"), "c.wav");
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"dst"}));
}

TEST(FileOperationProgress, CountsAndBar)
{
    struct Row {
        bool withBytes;
        uint64_t doneFiles, totalFiles, doneUnits, totalUnits;
        const char* counts;
        int bar;
    } rows[] = {
        {true, 0, 240, 0, 80ull << 20, "0 of 240 files, 0 B of 80.0 MB", 0},
        {true, 12, 240, 3u << 20, 12u << 20, "12 of 240 files, 3.0 MB of 12.0 MB", 250},
        {true, 3, 4, 0, 0, "3 of 4 files, 0 B of 0 B", 750}, // empty files: the bar goes by files
        {true, 0, 0, 0, 0, "0 of 0 files, 0 B of 0 B", 0},
        {false, 5, 8, 9, 12, "5 of 8 files", 750}, // a delete: entries move the bar
        // Far beyond 32 bits, and a count that ran past its total.
        {true, 1, 1, 9ull << 40, 8ull << 40, "1 of 1 files, 9437184.0 MB of 8388608.0 MB", 1000},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(CFileOperationProgressDlog::FormatCounts(r.withBytes, r.doneFiles, r.totalFiles, r.doneUnits, r.totalUnits),
                  r.counts);
        EXPECT_EQ(CFileOperationProgressDlog::BarPosition(r.doneUnits, r.totalUnits, r.doneFiles, r.totalFiles), r.bar)
            << r.counts;
    }
}

} // namespace
