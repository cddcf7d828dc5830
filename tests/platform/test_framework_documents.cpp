#include "platform/archive.h"
#include "platform/framework/controls.h"
#include "platform/framework/dialog.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/view.h"
#include "platform/framework/win_app.h"
#include "support/test_support.h"

#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

class TextDoc : public CDocument {
    DECLARE_DYNCREATE(TextDoc)
public:
    std::string text;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar.Write(text.data(), text.size());
        } else {
            text.resize(size_t(ar.RemainingBytes()));
            ar.ReadExact(text.data(), text.size());
            if (text.rfind("damaged", 0) == 0)
                throw CArchiveException(CArchiveException::badSchema);
        }
    }
};
IMPLEMENT_DYNCREATE(TextDoc, CDocument)

class TextView : public CView {
    DECLARE_DYNCREATE(TextView)
};
IMPLEMENT_DYNCREATE(TextView, CView)

class TextFrame : public CFrameWnd {
    DECLARE_DYNCREATE(TextFrame)
};
IMPLEMENT_DYNCREATE(TextFrame, CFrameWnd)

std::string ReadText(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct DocFixture : ::testing::Test {
    CWinApp app{"docs"};
    CSingleDocTemplate* tmpl = nullptr;
    qrtest::TempDir dir;
    std::vector<std::string> asked;
    int answer = IDYES;

    void SetUp() override
    {
        tmpl = new CSingleDocTemplate(0, RUNTIME_CLASS(TextDoc), RUNTIME_CLASS(TextFrame), RUNTIME_CLASS(TextView));
        app.AddDocTemplate(tmpl);
        app.LoadStdProfileSettings(4);
        SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            asked.push_back(text);
            return answer;
        });
    }
    void TearDown() override
    {
        if (CDocument* d = tmpl->GetOnlyDocument()) {
            d->SetModifiedFlag(FALSE);
            d->OnCloseDocument();
        }
        SetMessageBoxHandler(nullptr);
    }
    std::string Make(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }
};

TEST_F(DocFixture, OpenReusesTheSingleDocumentAndFillsTheRecentList)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(Make("f" + std::to_string(i) + ".txt", "text " + std::to_string(i)));
    CDocument* first = app.OpenDocumentFile(paths[0]);
    ASSERT_NE(first, nullptr);
    CFrameWnd* frame = first->GetFirstView()->GetParentFrame();
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(app.OpenDocumentFile(paths[size_t(i)]), first);
    EXPECT_EQ(first->GetFirstView()->GetParentFrame(), frame);
    EXPECT_EQ(static_cast<TextDoc*>(first)->text, "text 4");
    // Four entries, the newest first; opening one again moves it to the front.
    const CRecentFileList& mru = *app.GetRecentFileList();
    ASSERT_EQ(mru.GetCount(), 4);
    EXPECT_EQ(mru[0], paths[4]);
    EXPECT_EQ(mru[3], paths[1]);
    app.OpenDocumentFile(paths[2]);
    EXPECT_EQ(mru[0], paths[2]);
    EXPECT_EQ(mru.GetCount(), 4);
    // A recent file that has gone leaves the list when chosen.
    std::filesystem::remove(paths[3]);
    int index = 0;
    while (mru[index] != paths[3])
        ++index;
    frame->SendMessage(WM_COMMAND, ID_FILE_MRU_FILE1 + UINT(index), 0);
    EXPECT_EQ(mru.GetCount(), 3);
    EXPECT_EQ(asked.size(), 1u); // the open failure was reported
}

// The names the File menu shows: whole when short, the first folder and the
// last parts that fit when long, the file name alone when nothing else fits
// or when the file is in the current folder; "&" doubled for the menu.
TEST(RecentFileNames, ShortenedToThirtyCharactersAtFolderBoundaries)
{
    struct Case {
        const char* path;
        const char* shown;
    };
    for (const Case& c : {
             Case{"/home/ann/beach.kvt", "/home/ann/beach.kvt"},
             Case{"/home/ann/photos/2026/summer/beach.kvt", "/home/.../summer/beach.kvt"},
             Case{"/home/ann/photos/2026/summer-holidays/beach.kvt", "/home/.../beach.kvt"},
             Case{"/home/ann/a-rather-long-message-name.kvt", "a-rather-long-message-name.kvt"},
             Case{"/verylongfolder/x/another-long-name-here.kvt", "another-long-name-here.kvt"},
             Case{"/home/ann/this-name-alone-is-longer-than-thirty.kvt", "this-name-alone-is-longer-than-thirty.kvt"},
             Case{"/work/here/R&D.kvt", "/work/here/R&&D.kvt"},
             // Characters, not bytes: 26 Japanese characters fit.
             Case{"/写真/海/夏の思い出/浜辺で撮った写真.kvt", "/写真/海/夏の思い出/浜辺で撮った写真.kvt"},
             Case{"/写真/二〇二六年/夏休みの旅行/沖縄の海/浜辺で撮った写真.kvt", "/写真/.../沖縄の海/浜辺で撮った写真.kvt"},
             Case{"/cwd/Notes & more.kvt", "Notes && more.kvt"},
         }) {
        CRecentFileList list(4);
        list.Add(c.path);
        EXPECT_EQ(list.GetDisplayName(0, "/cwd"), c.shown) << c.path;
    }
}

TEST_F(DocFixture, FailedOpenKeepsTheOpenDocumentOrLeavesANewOneNeverAnEmptyOneUnderTheOldName)
{
    const std::string good = Make("good.txt", "good");
    auto* doc = static_cast<TextDoc*>(app.OpenDocumentFile(good));
    ASSERT_NE(doc, nullptr);
    // Not there: nothing was read, the open document stays as it was.
    EXPECT_EQ(app.OpenDocumentFile((dir / "missing.txt").string()), nullptr);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].substr(0, asked[0].find('\n')), "Failed to open document.");
    EXPECT_NE(asked[0].find("No such file or directory"), std::string::npos);
    EXPECT_EQ(tmpl->GetOnlyDocument(), doc);
    EXPECT_EQ(doc->GetPathName(), good);
    EXPECT_EQ(doc->text, "good");
    EXPECT_FALSE(doc->IsModified());
    // Damaged: the read emptied the document, so it becomes a new one.
    EXPECT_EQ(app.OpenDocumentFile(Make("bad.txt", "damaged bytes")), nullptr);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], "Failed to open document.");
    EXPECT_EQ(tmpl->GetOnlyDocument(), doc);
    EXPECT_EQ(doc->GetPathName(), "");
    EXPECT_EQ(doc->GetTitle(), "Untitled");
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocFixture, SaveModifiedAsksAndHonoursTheAnswer)
{
    std::string path = Make("doc.txt", "old");
    auto* doc = static_cast<TextDoc*>(app.OpenDocumentFile(path));
    ASSERT_NE(doc, nullptr);
    CFrameWnd* frame = doc->GetFirstView()->GetParentFrame();

    doc->text = "new";
    doc->SetModifiedFlag();
    answer = IDCANCEL;
    EXPECT_FALSE(doc->CanCloseFrame(frame));
    EXPECT_EQ(ReadText(path), "old");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find(path), std::string::npos);

    answer = IDNO;
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_EQ(ReadText(path), "old");

    answer = IDYES;
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_EQ(ReadText(path), "new");
    EXPECT_FALSE(doc->IsModified());
    // Nothing left to ask about.
    asked.clear();
    EXPECT_TRUE(doc->CanCloseFrame(frame));
    EXPECT_TRUE(asked.empty());
}

TEST_F(DocFixture, ClosingTheMainFrameAsksForEveryDocument)
{
    auto* doc = static_cast<TextDoc*>(app.OpenDocumentFile(Make("main.txt", "m")));
    ASSERT_NE(doc, nullptr);
    CFrameWnd* frame = doc->GetFirstView()->GetParentFrame();
    EXPECT_EQ(app.m_pMainWnd, frame);
    QPointer<QWidget> w = frame->m_hWnd;
    doc->SetModifiedFlag();
    answer = IDCANCEL;
    frame->SendMessage(WM_CLOSE);
    EXPECT_TRUE(w);
    EXPECT_EQ(tmpl->GetOnlyDocument(), doc);
    answer = IDNO;
    frame->SendMessage(WM_CLOSE);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(tmpl->GetOnlyDocument(), nullptr);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(DocFixture, FailedSaveKeepsTheOldFile)
{
    std::string path = Make("keep.txt", "precious");
    auto* doc = static_cast<TextDoc*>(app.OpenDocumentFile(path));
    ASSERT_NE(doc, nullptr);
    doc->text = "replacement";
    // The folder cannot take the temporary file: the save fails and says so.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    bool canWrite = access(dir.path().c_str(), W_OK) == 0; // root writes anyway
    BOOL saved = doc->OnSaveDocument(path);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    if (!canWrite) {
        EXPECT_FALSE(saved);
        EXPECT_EQ(ReadText(path), "precious");
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].find(std::strerror(EACCES)), std::string::npos) << asked[0];
    }
    asked.clear();
    // A target that is a folder cannot be replaced either; the message says why.
    std::filesystem::create_directory(dir / "sub");
    EXPECT_FALSE(doc->OnSaveDocument((dir / "sub").string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find((dir / "sub").string()), std::string::npos) << asked[0];
    EXPECT_NE(asked[0].find("\n" + std::string(std::strerror(EISDIR))), std::string::npos) << asked[0];
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"keep.txt", "sub"}));
}

class NameDlg : public CDialog {
public:
    NameDlg() : CDialog(9001) {}
    std::string name = "start";
    int count = 3;
    int check = 1;
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, 100, name);
        DDV_MaxChars(pDX, name, 5);
        DDX_Text(pDX, 101, count);
        DDX_Check(pDX, 102, check);
    }
};

TEST(FrameworkDialog, ModalDialogExchangesDataAndValidates)
{
    DlgTemplate t;
    t.rect = CRect(0, 0, 120, 80);
    t.title = "Name";
    t.items = {{"EDIT", "", 100, WS_CHILD | WS_VISIBLE, CRect(5, 5, 100, 17)},
               {"EDIT", "", 101, WS_CHILD | WS_VISIBLE, CRect(5, 20, 100, 32)},
               {"BUTTON", "Check", 102, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(5, 35, 100, 45)},
               {"BUTTON", "OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, CRect(5, 60, 50, 74)}};
    RegisterDialogTemplate(9001, t);
    std::vector<std::string> boxes;
    SetMessageBoxHandler([&](const std::string& text, UINT, UINT) {
        boxes.push_back(text);
        return IDOK;
    });
    struct Step {
        std::string name, count;
        INT_PTR result;
    };
    int seen = 0;
    CDialog::SetModalObserver([&](CDialog* dlg) {
        ++seen;
        EXPECT_EQ(dlg->GetDlgItemText(100), "start");
        EXPECT_EQ(dlg->GetDlgItemText(101), "3");
        EXPECT_EQ(dlg->IsDlgButtonChecked(102), 1u);
        // The edit holds no more than the limit.
        dlg->SetDlgItemText(100, "toolong");
        EXPECT_EQ(dlg->GetDlgItemText(100), "toolo");
        // A number that is none is refused and the dialog stays.
        dlg->SetDlgItemText(100, "abc");
        dlg->SetDlgItemText(101, "x12");
        dlg->SendMessage(WM_COMMAND, IDOK, 0);
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(dlg->IsWindowVisible());
        dlg->SetDlgItemText(101, "12");
        dlg->CheckDlgButton(102, 0);
        static_cast<CButton*>(dlg->GetDlgItem(IDOK))->Click();
    });
    NameDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(dlg.name, "abc");
    EXPECT_EQ(dlg.count, 12);
    EXPECT_EQ(dlg.check, 0);
    EXPECT_EQ(dlg.m_hWnd, nullptr);

    // Closing the window is Cancel: the members keep their values.
    CDialog::SetModalObserver([](CDialog* d) {
        d->SetDlgItemText(100, "zz");
        d->SendMessage(WM_CLOSE);
    });
    NameDlg second;
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(second.name, "start");
    CDialog::SetModalObserver(nullptr);
    SetMessageBoxHandler(nullptr);
}

} // namespace
