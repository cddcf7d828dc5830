#include "ui/subclass_wnd.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace uitest;

namespace {

constexpr UINT WM_PROBE = WM_USER + 50;

std::vector<std::string> g_seen;

class Target : public CWnd {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_PROBE) {
            g_seen.push_back("window");
            return 1;
        }
        if (msg == WM_NCDESTROY)
            g_seen.push_back("window ncdestroy");
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    int presses = 0;
    void OnLButtonDown(UINT, CPoint) override { ++presses; }
};

class Hook : public CSubclassWnd {
public:
    explicit Hook(std::string n, bool swallow = false) : name(std::move(n)), swallow(swallow) {}
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_PROBE || msg == WM_LBUTTONDOWN) {
            g_seen.push_back(name);
            if (swallow)
                return 0;
        }
        if (msg == WM_NCDESTROY)
            g_seen.push_back(name + " ncdestroy");
        return CSubclassWnd::WindowProc(msg, wParam, lParam);
    }
    std::string name;
    bool swallow;
};

struct HookTest : ::testing::Test {
    Target wnd;
    void SetUp() override
    {
        g_seen.clear();
        ASSERT_TRUE(wnd.Create(nullptr, "t", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
    }
    std::vector<std::string> Probe()
    {
        g_seen.clear();
        wnd.SendMessage(WM_PROBE);
        return g_seen;
    }
};

using V = std::vector<std::string>;

TEST_F(HookTest, NewestFirstAndRemovalInEitherOrder)
{
    Hook older("older"), newer("newer");
    older.HookWindow(wnd);
    newer.HookWindow(wnd);
    EXPECT_EQ(Probe(), (V{"newer", "older", "window"}));
    EXPECT_EQ(newer.m_pNext, &older);
    EXPECT_EQ(newer.m_pfnOldWndProc, older.m_pfnOldWndProc);

    // The older one first: the newer goes on working, the window keeps its hook procedure.
    older.HookWindow(nullptr);
    EXPECT_EQ(Probe(), (V{"newer", "window"}));
    newer.HookWindow(nullptr);
    newer.HookWindow(wnd);
    older.HookWindow(wnd);
    EXPECT_EQ(Probe(), (V{"older", "newer", "window"}));
    older.HookWindow(nullptr);
    newer.HookWindow(nullptr);
    EXPECT_EQ(Probe(), V{"window"});
    EXPECT_EQ(SetWindowProc(wnd, nullptr), AfxWndProcBase); // the window's own procedure is back
}

TEST_F(HookTest, AHookThatDoesNotPassOnSwallowsTheMessage)
{
    Hook pass("pass"), swallow("swallow", true);
    pass.HookWindow(wnd);
    swallow.HookWindow(wnd);
    EXPECT_EQ(Probe(), V{"swallow"});
    // Events of the window go through the chain too.
    wnd.ShowWindow(SW_SHOW);
    g_seen.clear();
    Mouse(wnd.m_hWnd, QEvent::MouseButtonPress, QPoint(5, 5));
    EXPECT_EQ(g_seen, V{"swallow"});
    EXPECT_EQ(wnd.presses, 0);
    swallow.HookWindow(nullptr);
    g_seen.clear();
    Mouse(wnd.m_hWnd, QEvent::MouseButtonPress, QPoint(5, 5));
    EXPECT_EQ(g_seen, V{"pass"});
    EXPECT_EQ(wnd.presses, 1);
    pass.HookWindow(nullptr);
}

TEST_F(HookTest, DestroyingTheWindowUnhooksEveryHookFirst)
{
    Hook a("a"), b("b");
    a.HookWindow(wnd);
    b.HookWindow(wnd);
    g_seen.clear();
    wnd.DestroyWindow();
    // Unhooked before the window's own procedure saw the end.
    EXPECT_EQ(g_seen, V{"window ncdestroy"});
    EXPECT_FALSE(a.IsHooked());
    EXPECT_FALSE(b.IsHooked());
    EXPECT_EQ(a.m_pNext, nullptr);
}

} // namespace
