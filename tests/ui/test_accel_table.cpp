#include "ui/accel_table.h"

#include "platform/framework/frame_wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

std::vector<UINT> g_accelCommands;

class AccelFrame : public CFrameWnd {
    DECLARE_DYNCREATE(AccelFrame)
    DECLARE_MESSAGE_MAP()
public:
    CAccelTable m_accel;
    BOOL PreTranslateMessage(MSG* pMsg) override { return m_accel.Translate(pMsg) || CFrameWnd::PreTranslateMessage(pMsg); }
    void OnCmd(UINT id) { g_accelCommands.push_back(id); }
};
IMPLEMENT_DYNCREATE(AccelFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(AccelFrame, CFrameWnd)
    ON_COMMAND_RANGE(32900, 32910, &AccelFrame::OnCmd)
END_MESSAGE_MAP()

TEST(AccelTable, KeysWithExactlyTheirModifiersSendCommands)
{
    RegisterAcceleratorResource(7100, {{FVIRTKEY | FCONTROL, 'C', 32900},
                                       {FVIRTKEY, VK_DELETE, 32901},
                                       {FVIRTKEY | FSHIFT | FCONTROL, 'C', 32902},
                                       {FVIRTKEY | FALT, VK_RETURN, 32903}});
    auto* frame = new AccelFrame;
    ASSERT_TRUE(frame->Create(nullptr, "Accel", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
    frame->ShowWindow(SW_SHOW);
    MSG msg{frame->m_hWnd, WM_KEYDOWN, 'C', 1, 0, {}};
    EXPECT_EQ(frame->m_accel.Translate(&msg), 0); // before Load: left to normal processing
    frame->m_accel.Load(frame, 7100);

    struct Row {
        int key;
        Qt::KeyboardModifiers mods;
        std::vector<UINT> want;
    } rows[] = {
        {Qt::Key_C, Qt::ControlModifier, {32900}},
        {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, {32902}},
        {Qt::Key_C, Qt::NoModifier, {}},
        {Qt::Key_Delete, Qt::NoModifier, {32901}},
        {Qt::Key_Delete, Qt::ControlModifier, {}},
        {Qt::Key_Return, Qt::AltModifier, {32903}},
    };
    for (const Row& r : rows) {
        g_accelCommands.clear();
        QKeyEvent press(QEvent::KeyPress, r.key, r.mods);
        QApplication::sendEvent(frame->m_hWnd, &press);
        EXPECT_EQ(g_accelCommands, r.want) << r.key;
    }
    CAccelTable missing;
    missing.Load(frame, 7199); // no such table
    EXPECT_EQ(missing.Translate(&msg), 0);
    frame->DestroyWindow();
}

} // namespace
