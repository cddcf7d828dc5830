#include "platform/framework/control_bar.h"
#include "platform/framework/controls.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/menu.h"
#include "platform/framework/view.h"
#include "platform/framework/win_app.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include "platform/framework/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

enum : UINT {
    ID_VIEW_ONLY = 40001,
    ID_DOC_ONLY = 40002,
    ID_FRAME_ONLY = 40003,
    ID_APP_ONLY = 40004,
    ID_EVERYONE = 40005,
    ID_UNHANDLED = 40006,
    ID_CHECKED = 40007,
    ID_DISABLED = 40008,
    ID_FIRST_POSTED = 40010,
    ID_SECOND = 40011,
};

class TestApp : public CWinApp {
    DECLARE_MESSAGE_MAP()
public:
    TestApp() : CWinApp("test") {}
    void OnApp() { g_log.push_back("app"); }
    void OnAll() { g_log.push_back("app-all"); }
};
BEGIN_MESSAGE_MAP(TestApp, CWinApp)
    ON_COMMAND(ID_APP_ONLY, &TestApp::OnApp)
    ON_COMMAND(ID_EVERYONE, &TestApp::OnAll)
END_MESSAGE_MAP()

class TestDoc : public CDocument {
    DECLARE_DYNCREATE(TestDoc)
    DECLARE_MESSAGE_MAP()
public:
    void OnDoc() { g_log.push_back("doc"); }
    void OnAll() { g_log.push_back("doc-all"); }
    void Serialize(CArchive& ar) override;
    std::string content;
};
IMPLEMENT_DYNCREATE(TestDoc, CDocument)
BEGIN_MESSAGE_MAP(TestDoc, CDocument)
    ON_COMMAND(ID_DOC_ONLY, &TestDoc::OnDoc)
    ON_COMMAND(ID_EVERYONE, &TestDoc::OnAll)
END_MESSAGE_MAP()

class TestView : public CView {
    DECLARE_DYNCREATE(TestView)
    DECLARE_MESSAGE_MAP()
public:
    void OnView() { g_log.push_back("view"); }
    void OnAll() { g_log.push_back("view-all"); }
    void OnFirst()
    {
        g_log.push_back("first-begin");
        GetParentFrame()->PostMessage(WM_COMMAND, ID_SECOND, 0);
        g_log.push_back("first-end");
    }
    void OnSecond() { g_log.push_back("second"); }
};
IMPLEMENT_DYNCREATE(TestView, CView)
BEGIN_MESSAGE_MAP(TestView, CView)
    ON_COMMAND(ID_VIEW_ONLY, &TestView::OnView)
    ON_COMMAND(ID_EVERYONE, &TestView::OnAll)
    ON_COMMAND(ID_FIRST_POSTED, &TestView::OnFirst)
    ON_COMMAND(ID_SECOND, &TestView::OnSecond)
END_MESSAGE_MAP()

class TestFrame : public CFrameWnd {
    DECLARE_DYNCREATE(TestFrame)
    DECLARE_MESSAGE_MAP()
public:
    void OnFrame() { g_log.push_back("frame"); }
    void OnUpdateChecked(CCmdUI* ui) { ui->SetCheck(m_checked); }
    void OnUpdateDisabled(CCmdUI* ui) { ui->Enable(FALSE); }
    void OnDisabled() { g_log.push_back("disabled ran"); }
    void OnChecked() { m_checked = !m_checked; }
    int m_checked = 1;
};
IMPLEMENT_DYNCREATE(TestFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(TestFrame, CFrameWnd)
    ON_COMMAND(ID_FRAME_ONLY, &TestFrame::OnFrame)
    ON_COMMAND(ID_DISABLED, &TestFrame::OnDisabled)
    ON_COMMAND(ID_CHECKED, &TestFrame::OnChecked)
    ON_UPDATE_COMMAND_UI(ID_CHECKED, &TestFrame::OnUpdateChecked)
    ON_UPDATE_COMMAND_UI(ID_DISABLED, &TestFrame::OnUpdateDisabled)
END_MESSAGE_MAP()

} // namespace

#include "platform/archive.h"

void TestDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.Write(content.data(), content.size());
    } else {
        content.resize(size_t(ar.RemainingBytes()));
        ar.ReadExact(content.data(), content.size());
    }
}

namespace {

using uitest::WaitFor;

void ClickAt(QWidget* w, QPoint at)
{
    QPointF global = w->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, {}, {});
    QApplication::sendEvent(w, &release);
}

struct FrameFixture : ::testing::Test {
    TestApp app;
    CSingleDocTemplate* tmpl = nullptr;
    TestDoc* doc = nullptr;
    TestFrame* frame = nullptr;

    void SetUp() override
    {
        g_log.clear();
        tmpl = new CSingleDocTemplate(0, RUNTIME_CLASS(TestDoc), RUNTIME_CLASS(TestFrame), RUNTIME_CLASS(TestView));
        app.AddDocTemplate(tmpl);
        app.LoadStdProfileSettings(4);
        doc = static_cast<TestDoc*>(tmpl->OpenDocumentFile({}, FALSE));
        ASSERT_NE(doc, nullptr);
        frame = static_cast<TestFrame*>(doc->GetFirstView()->GetParentFrame());
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override
    {
        SetMessageBoxHandler(nullptr);
        if (tmpl->GetOnlyDocument()) {
            tmpl->GetOnlyDocument()->SetModifiedFlag(FALSE);
            tmpl->GetOnlyDocument()->OnCloseDocument();
        }
    }
};

TEST_F(FrameFixture, CommandsFollowTheRoutingOrder)
{
    struct Row {
        UINT id;
        std::vector<std::string> expected;
    } rows[] = {
        {ID_VIEW_ONLY, {"view"}},   {ID_DOC_ONLY, {"doc"}}, {ID_FRAME_ONLY, {"frame"}},
        {ID_APP_ONLY, {"app"}},     {ID_EVERYONE, {"view-all"}}, // the active view comes first
        {ID_UNHANDLED, {}},
    };
    for (const Row& r : rows) {
        g_log.clear();
        frame->SendMessage(WM_COMMAND, r.id, 0);
        EXPECT_EQ(g_log, r.expected) << r.id;
    }
    // Without an active view the frame, then the application, are asked.
    frame->SetActiveView(nullptr);
    g_log.clear();
    frame->SendMessage(WM_COMMAND, ID_EVERYONE, 0);
    frame->SendMessage(WM_COMMAND, ID_VIEW_ONLY, 0);
    EXPECT_EQ(g_log, std::vector<std::string>{"app-all"});
}

TEST_F(FrameFixture, PostedCommandArrivesAfterTheCurrentOne)
{
    frame->SendMessage(WM_COMMAND, ID_FIRST_POSTED, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first-begin", "first-end"}));
    ASSERT_TRUE(WaitFor([] { return g_log.size() == 3; }));
    EXPECT_EQ(g_log.back(), "second");
}

TEST_F(FrameFixture, UpdateHandlersSetMenuItemsAndToolbarButtons)
{
    CMenu menu;
    menu.CreatePopupMenu();
    for (UINT id : {ID_CHECKED, ID_DISABLED, ID_UNHANDLED, ID_FRAME_ONLY})
        menu.AppendMenu(MF_STRING, id, "item");
    for (int i = 0; i < menu.GetMenuItemCount(); ++i) {
        CMenuCmdUI ui;
        ui.m_pMenu = &menu;
        ui.m_nID = menu.GetMenuItemID(i);
        ui.DoUpdate(frame, TRUE);
    }
    struct Row {
        UINT id;
        UINT state;
    } rows[] = {
        {ID_CHECKED, MF_CHECKED}, {ID_DISABLED, MF_GRAYED},
        {ID_UNHANDLED, MF_GRAYED}, // no handler anywhere
        {ID_FRAME_ONLY, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(menu.GetMenuState(r.id, MF_BYCOMMAND), r.state) << r.id;

    CToolBar toolbar;
    CToolBar* bar = &toolbar;
    ASSERT_TRUE(bar->Create(frame));
    const UINT ids[] = {ID_CHECKED, ID_SEPARATOR, ID_DISABLED, ID_UNHANDLED, ID_FRAME_ONLY};
    bar->SetButtons(ids, 5);
    frame->UpdateCommandUI();
    EXPECT_EQ(bar->GetButtonState(0), UINT(TBSTATE_ENABLED | TBSTATE_CHECKED));
    EXPECT_EQ(bar->GetButtonState(2), 0u);
    EXPECT_EQ(bar->GetButtonState(3), 0u);
    EXPECT_EQ(bar->GetButtonState(4), UINT(TBSTATE_ENABLED));
    // A click runs the command through the frame and the check follows.
    frame->ShowWindow(SW_SHOW);
    CRect r;
    bar->GetItemRect(0, &r);
    ClickAt(bar->m_hWnd, QPoint(r.CenterPoint().x, r.CenterPoint().y));
    EXPECT_EQ(frame->m_checked, 0);
    ASSERT_TRUE(WaitFor([&] { return !(bar->GetButtonState(0) & TBSTATE_CHECKED); }));
    // A disabled command does nothing, even when sent.
    frame->SendMessage(WM_COMMAND, ID_DISABLED, 0);
    EXPECT_TRUE(g_log.empty());
}

class NotifyParent : public CWnd {
    DECLARE_MESSAGE_MAP()
public:
    void OnClick(NMHDR* hdr, LRESULT* result)
    {
        got.push_back(int(hdr->idFrom));
        *result = 77;
    }
    std::vector<int> got;
};
BEGIN_MESSAGE_MAP(NotifyParent, CWnd)
    ON_NOTIFY(NM_CLICK, 5, &NotifyParent::OnClick)
END_MESSAGE_MAP()

TEST(FrameworkNotify, UnhandledNotificationReachesTheOwnersParent)
{
    NotifyParent top;
    ASSERT_TRUE(top.Create(nullptr, "top", WS_OVERLAPPED, CRect(0, 0, 200, 200), nullptr, 0));
    CWnd owner;
    ASSERT_TRUE(owner.Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &top, 3));
    CButton control;
    ASSERT_TRUE(control.Create("x", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &owner, 5));
    NMHDR hdr{control.m_hWnd, 5, NM_CLICK};
    LRESULT r = owner.SendMessage(WM_NOTIFY, 5, LPARAM(&hdr));
    EXPECT_EQ(top.got, std::vector<int>{5});
    EXPECT_EQ(r, 77);
    // A code nobody handles comes back as 0.
    hdr.code = NM_DBLCLK;
    EXPECT_EQ(owner.SendMessage(WM_NOTIFY, 5, LPARAM(&hdr)), 0);
}

class TimerWnd : public CWnd {
public:
    std::vector<UINT_PTR> fired;
    void OnTimer(UINT_PTR id) override
    {
        fired.push_back(id);
        if (id == 7)
            KillTimer(7); // a one-shot, killed from its own handler
    }
};

TEST(FrameworkTimers, TimersFireWithTheirOwnIds)
{
    TimerWnd w;
    ASSERT_TRUE(w.Create(nullptr, "t", WS_OVERLAPPED, CRect(0, 0, 50, 50), nullptr, 0));
    EXPECT_EQ(w.SetTimer(7, 1), 7u);
    EXPECT_EQ(w.SetTimer(42, 5), 42u);
    ASSERT_TRUE(WaitFor([&] { return std::count(w.fired.begin(), w.fired.end(), 42) >= 2; }));
    EXPECT_EQ(std::count(w.fired.begin(), w.fired.end(), 7), 1);
    EXPECT_TRUE(w.KillTimer(42));
    EXPECT_FALSE(w.KillTimer(42));
    EXPECT_FALSE(w.KillTimer(99));
}

TEST(FrameworkWindows, ChildIdsGeometryAndDestroyOrder)
{
    std::vector<std::string> order;
    struct Logged : CWnd {
        std::vector<std::string>* log = nullptr;
        std::string name;
        void OnDestroy() override { log->push_back("destroy " + name); }
        void OnNcDestroy() override
        {
            log->push_back("ncdestroy " + name);
            CWnd::OnNcDestroy();
        }
    };
    Logged parent, child;
    parent.log = child.log = &order;
    parent.name = "parent";
    child.name = "child";
    ASSERT_TRUE(parent.Create(nullptr, "p", WS_OVERLAPPED, CRect(10, 20, 210, 220), nullptr, 0));
    ASSERT_TRUE(child.Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(5, 6, 55, 46), &parent, 12));
    EXPECT_EQ(parent.GetDlgItem(12), &child);
    EXPECT_EQ(parent.GetDlgItem(13), nullptr);
    CRect rc;
    child.GetClientRect(&rc);
    EXPECT_EQ(rc, CRect(0, 0, 50, 40));
    CRect wr;
    child.GetWindowRect(&wr);
    parent.ScreenToClient(&wr);
    EXPECT_EQ(wr, CRect(5, 6, 55, 46));
    parent.DestroyWindow();
    EXPECT_EQ(order, (std::vector<std::string>{"destroy parent", "destroy child", "ncdestroy child", "ncdestroy parent"}));
    EXPECT_EQ(child.m_hWnd, nullptr);
    EXPECT_FALSE(PostMessage(nullptr, WM_COMMAND));
}

} // namespace
