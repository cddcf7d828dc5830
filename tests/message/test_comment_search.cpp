// Comment search: matching one message file, the search of a folder's
// message files behind the dialog with its rows, the end row, stopping,
// restarting, closing mid-search and opening a result; the editor's search
// dialog and what it hands its owner.
#include "message_doc_fixture.h"
#include "pane_fixtures.h"

#include "message/ano_commands.h"
#include "message/ano_search_dlog.h"
#include "message/comment_search.h"
#include "message/comment_search_dlog.h"
#include "platform/framework/controls.h"
#include "platform/framework/list_ctrl.h"
#include "support/ui_test_util.h"

#include <QDir>

#include <filesystem>

namespace fs = std::filesystem;
using namespace msgtest;

namespace {

CAreaMarquee Area() { return CAreaMarquee(CRect(1, 1, 6, 6), CAreaMarquee::square); }

CAnoRecord By(const std::string& text, const std::string& user)
{
    CAnoRecord r = TextRecord(text, Area());
    r.m_strUserName = user;
    return r;
}

class CommentSearchTest : public MessageDocTest {
protected:
    void SetUp() override
    {
        MessageDocTest::SetUp();
        a = SaveMessage("a.kvt", "A", 24, 16, {{0, By("Lake at dawn", "Anne")}});
        b = SaveMessage("b.kvt", "B", 24, 16, {{0, By("Mountain", "Ben")}, {1, By("Gr\xC3\xBC\xC3\x9F" "e", "Ben")}});
        c = SaveMessage("c.kvt", "C", 24, 16, {{0, By("no", "Cleo")}, {1, By("the lake shore", "Cleo")}});
        // A message cut short, and bytes that were never one.
        auto bytes = qrtest::ReadBytes(a);
        bytes.resize(bytes.size() / 2);
        qrtest::WriteBytes(dir / "cut.kvt", bytes);
        qrtest::WriteBytes(dir / "noise.KVT", std::vector<unsigned char>(5000, 0xA5));
        qrtest::WriteBytes(dir / "photo.jpg", {0xFF, 0xD8});
        ASSERT_TRUE(owner.Create(nullptr, "owner", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
    }
    void TearDown() override
    {
        owner.DestroyWindow();
        MessageDocTest::TearDown();
    }

    std::unique_ptr<CCommentSearchDlog> Dialog(CommentSearchSource source)
    {
        auto dlg = std::make_unique<CCommentSearchDlog>();
        EXPECT_TRUE(dlg->Create(&owner, std::move(source)));
        return dlg;
    }
    static CListCtrl& List(CCommentSearchDlog& dlg)
    {
        return *dynamic_cast<CListCtrl*>(dlg.GetDlgItem(IDC_SEARCH_RESULTS));
    }
    static std::vector<std::string> Rows(CCommentSearchDlog& dlg)
    {
        std::vector<std::string> rows;
        for (int i = 0; i < List(dlg).GetItemCount(); ++i)
            rows.push_back(List(dlg).GetItemText(i));
        return rows;
    }
    static void Search(CCommentSearchDlog& dlg, const std::string& text)
    {
        dlg.GetDlgItem(IDC_SEARCH_TEXT)->SetWindowText(text);
        dlg.SendMessage(WM_COMMAND, IDC_SEARCH_START, 0);
    }
    // Until the search ran through and the list shows these rows.
    static bool Shows(CCommentSearchDlog& dlg, const std::vector<std::string>& rows)
    {
        return uitest::WaitFor([&] { return !dlg.IsSearching() && Rows(dlg) == rows; });
    }

    std::string a, b, c;
    RoutingFrame owner;
};

} // namespace

TEST_F(CommentSearchTest, AFileMatchesByTextUserOrDateInAnyCaseAndADamagedOneNever)
{
    struct Row {
        const char* text;
        const std::string* file;
        bool matches;
    };
    const std::string cut = (dir / "cut.kvt").string(), noise = (dir / "noise.KVT").string(),
                      missing = (dir / "gone.kvt").string();
    // The date and time as the comment's heading shows them.
    const std::string heading = By("Mountain", "Ben").GetCaption();
    std::string when = heading.substr(heading.rfind("Ben") + 3);
    when = when.substr(when.find_first_not_of(' '));
    when = when.substr(0, when.size() - 2);
    for (const Row& r : {Row{"LAKE", &a, true}, Row{"lake", &c, true}, Row{"Lake", &b, false},
                         Row{"anne", &a, true}, Row{when.c_str(), &b, true}, Row{"gr\xC3\x9C\xC3\x9F", &b, true},
                         Row{"l?ke", &a, false}, Row{"*", &a, false}, Row{"lake", &cut, false},
                         Row{"", &noise, false}, Row{"lake", &missing, false}})
        EXPECT_EQ(MessageFileMatches(*r.file, r.text), r.matches) << r.text << " in " << *r.file;
}

TEST_F(CommentSearchTest, TheFolderSearchListsItsMatchesAndOpensTheOneDoubleClicked)
{
    auto dlg = Dialog(MessageFolderSource(dir.path().string()));
    Search(*dlg, "LAKE");
    ASSERT_TRUE(Shows(*dlg, {"a.kvt", "c.kvt"}));
    CListCtrl& list = List(*dlg);
    EXPECT_EQ(list.GetItemText(1, 1), dir.path().string());
    EXPECT_NE(list.GetItemText(1, 3), "");
    EXPECT_NE(list.GetItemText(1, 4), "");

    // An empty text lists every message file, damaged or not.
    Search(*dlg, "");
    ASSERT_TRUE(Shows(*dlg, {"a.kvt", "b.kvt", "c.kvt", "cut.kvt", "noise.KVT"}));

    // A double click asks the owner to open that file.
    NMITEMACTIVATE nm;
    nm.hdr.idFrom = IDC_SEARCH_RESULTS;
    nm.hdr.code = NM_DBLCLK;
    nm.hdr.hwndFrom = list.m_hWnd;
    nm.iItem = 2;
    dlg->SendMessage(WM_NOTIFY, IDC_SEARCH_RESULTS, LPARAM(&nm));
    EXPECT_TRUE(uitest::WaitFor([&] { return owner.Count(ID_OPENSEARCHRESULT) == 1; }));
    EXPECT_EQ(dlg->GetChosenPath(), c);

    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    dlg->ShowWindow(SW_SHOW);
    EXPECT_TRUE(uitest::Grab(dlg->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/comment_search.png"));
}

TEST_F(CommentSearchTest, NothingFoundSaysSoInOneWideRowUntilTheNextSearch)
{
    auto dlg = Dialog(MessageFolderSource(dir.path().string()));
    Search(*dlg, "zebra");
    ASSERT_TRUE(uitest::WaitFor([&] {
        return Rows(*dlg) == std::vector<std::string>{"Search is complete.There are no results to display."};
    }));
    EXPECT_EQ(List(*dlg).GetColumnWidth(0), 1000);
    // The double click on the sentence opens nothing.
    NMITEMACTIVATE nm;
    nm.hdr.code = NM_DBLCLK;
    nm.iItem = 0;
    dlg->SendMessage(WM_NOTIFY, IDC_SEARCH_RESULTS, LPARAM(&nm));
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.Count(ID_OPENSEARCHRESULT), 0u);

    Search(*dlg, "mountain");
    EXPECT_EQ(List(*dlg).GetColumnWidth(0), 100);
    ASSERT_TRUE(Shows(*dlg, {"b.kvt"}));

    // A folder without message files.
    qrtest::TempDir empty;
    auto none = Dialog(MessageFolderSource(empty.path().string()));
    Search(*none, "");
    EXPECT_TRUE(uitest::WaitFor([&] {
        return Rows(*none) == std::vector<std::string>{"Search is complete.There are no results to display."};
    }));
}

TEST_F(CommentSearchTest, ASearchStopsRestartsAndEndsWithItsDialog)
{
    // Many candidates, so that the search is still running when it is stopped.
    std::atomic<int> asked{0};
    const std::string file = a;
    auto many = [&asked, file](const std::string&) {
        ++asked;
        return std::vector<std::string>(4000, file);
    };
    auto dlg = Dialog(many);
    Search(*dlg, "dawn");
    ASSERT_TRUE(uitest::WaitFor([&] { return List(*dlg).GetItemCount() >= 1 && List(*dlg).GetItemText(0) == "a.kvt"; }));
    dlg->SendMessage(WM_COMMAND, IDC_SEARCH_END, 0);
    EXPECT_FALSE(dlg->IsSearching());
    EXPECT_TRUE(dlg->GetDlgItem(IDC_SEARCH_START)->IsWindowEnabled());
    EXPECT_TRUE(dlg->GetDlgItem(IDC_SEARCH_END)->IsWindowEnabled());
    const int shown = List(*dlg).GetItemCount();
    EXPECT_LT(shown, 4000);

    // Search again while one runs: the old one ends, the list starts empty.
    Search(*dlg, "dawn");
    EXPECT_EQ(Rows(*dlg), std::vector<std::string>{"Searching..."});
    Search(*dlg, "dawn");
    EXPECT_TRUE(uitest::WaitFor([&] { return asked == 3; }));

    // Closing only hides; the dialog's end ends the search and waits for it.
    dlg->SendMessage(WM_CLOSE, 0, 0);
    EXPECT_FALSE(dlg->IsWindowVisible());
    dlg->DestroyWindow();
    EXPECT_FALSE(dlg->IsSearching());
    dlg.reset();

    // Also when the dialog goes without its window being destroyed first.
    auto other = Dialog(many);
    Search(*other, "dawn");
    other.reset();
}

TEST_F(CommentSearchTest, TheEditorsSearchHandsItsFieldsToItsOwner)
{
    CAnoSearchDlog dlg;
    ASSERT_TRUE(dlg.Create(&owner));
    dlg.ShowWindow(SW_SHOW);
    EXPECT_FALSE(dlg.GetDlgItem(IDC_ANO_SEARCH_WILDCARDS)->IsWindowVisible());
    dlg.GetDlgItem(IDC_ANO_SEARCH_TEXT)->SetWindowText("lake");
    dynamic_cast<CButton*>(dlg.GetDlgItem(IDC_ANO_SEARCH_CASE))->SetCheck(BST_CHECKED);
    dynamic_cast<CButton*>(dlg.GetDlgItem(IDC_ANO_SEARCH_DOWN))->SetCheck(BST_CHECKED);
    dynamic_cast<CButton*>(dlg.GetDlgItem(IDC_ANO_SEARCH_UP))->SetCheck(BST_UNCHECKED);
    dlg.SendMessage(WM_COMMAND, IDC_ANO_SEARCH_NEXT, 0);
    EXPECT_TRUE(uitest::WaitFor([&] { return owner.Count(ID_ANOFINDNEXT) == 1; }));
    EXPECT_EQ(dlg.m_strSearchText, "lake");
    EXPECT_TRUE(dlg.m_bCaseSensitive);
    EXPECT_TRUE(dlg.IsDown());
    // Enter is Next too; Quit hides and keeps the fields.
    dlg.SendMessage(WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(uitest::WaitFor([&] { return owner.Count(ID_ANOFINDNEXT) == 2; }));
    dlg.SendMessage(WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_EQ(dlg.m_strSearchText, "lake");
    dlg.DestroyWindow();
}
