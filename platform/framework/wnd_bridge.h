#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

#include "platform/framework/wnd.h"

// A top-level window's place or size left to the desktop (in x or cx of the
// creation values): frames made by LoadFrame start so.
constexpr int CW_USEDEFAULT = int(0x80000000);

// Carries a posted message to its window's thread.
class PostedMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    PostedMessageEvent(UINT m, WPARAM w, LPARAM l) : QEvent(EventType()), msg(m), wParam(w), lParam(l) {}
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Watches a CWnd's widget and turns its events into the window's messages.
class CWndBridge : public QObject {
public:
    explicit CWndBridge(CWnd* wnd) : m_wnd(wnd) {}
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    CWnd* m_wnd;
};

// The widget of a window that is neither a control nor a Qt window of its own:
// it shows what the window paints and nothing else.
class CWndWidget : public QWidget {
public:
    explicit CWndWidget(QWidget* parent, Qt::WindowFlags f = {}) : QWidget(parent, f)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
    }
};

namespace fwdetail {
// Translates a Qt event into a window message for the window's hooks; false
// when the event has no message form.
bool TranslateEvent(CWnd* wnd, QWidget* w, QEvent* e, MSG& msg);
// Mouse key flags of the current buttons and modifiers.
UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
UINT VirtualKeyOf(int qtKey);
// The modifiers GetKeyState reports, from input a window's inner Qt widget
// handles itself (the event never passes the window's own translation).
void NoteInputModifiers(Qt::KeyboardModifiers mods);
} // namespace fwdetail
