#include "platform/framework/system_metrics.h"
#include "platform/framework/wnd.h"
#include "platform/framework/wnd_bridge.h"
#include "platform/posted_call.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>

// Qt events arrive here and leave as the window's message handlers.

namespace {
// The modifier keys as the input being handled now reports them.
Qt::KeyboardModifiers g_inputMods;
}

int16_t GetKeyState(int vk)
{
    Qt::KeyboardModifier m = vk == int(VK_SHIFT)     ? Qt::ShiftModifier
                             : vk == int(VK_CONTROL) ? Qt::ControlModifier
                             : vk == int(VK_MENU)    ? Qt::AltModifier
                                                     : Qt::NoModifier;
    return (m != Qt::NoModifier && (g_inputMods & m)) ? int16_t(0x8000) : int16_t(0);
}

namespace fwdetail {

void NoteInputModifiers(Qt::KeyboardModifiers mods) { g_inputMods = mods; }

UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    UINT f = 0;
    if (buttons & Qt::LeftButton)
        f |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        f |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        f |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier)
        f |= MK_SHIFT;
    if (mods & Qt::ControlModifier)
        f |= MK_CONTROL;
    return f;
}

UINT VirtualKeyOf(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return UINT('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return UINT('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + UINT(key - Qt::Key_F1);
    struct Row {
        int qt;
        UINT vk;
    };
    static const Row rows[] = {
        {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB},       {Qt::Key_Return, VK_RETURN},
        {Qt::Key_Enter, VK_RETURN},   {Qt::Key_Shift, VK_SHIFT},   {Qt::Key_Control, VK_CONTROL},
        {Qt::Key_Alt, VK_MENU},       {Qt::Key_Pause, VK_PAUSE},   {Qt::Key_Escape, VK_ESCAPE},
        {Qt::Key_Space, VK_SPACE},    {Qt::Key_PageUp, VK_PRIOR},  {Qt::Key_PageDown, VK_NEXT},
        {Qt::Key_End, VK_END},        {Qt::Key_Home, VK_HOME},     {Qt::Key_Left, VK_LEFT},
        {Qt::Key_Up, VK_UP},          {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},
        {Qt::Key_Insert, VK_INSERT},  {Qt::Key_Delete, VK_DELETE},
    };
    for (const Row& r : rows)
        if (r.qt == key)
            return r.vk;
    return 0;
}

bool TranslateEvent(CWnd* wnd, QWidget* w, QEvent* e, MSG& msg)
{
    msg = MSG{};
    msg.hwnd = w;
    auto clientPos = [&](QPointF p) {
        CPoint pt(int(p.x()), int(p.y()));
        if (wnd) {
            CRect ins = wnd->GetNonClientInsets();
            pt = CPoint(pt.x - ins.left, pt.y - (ins.top - wnd->GetHiddenTop()));
        }
        return MAKELPARAM(pt.x, pt.y);
    };
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        g_inputMods = me->modifiers();
        bool left = me->button() == Qt::LeftButton, right = me->button() == Qt::RightButton;
        switch (e->type()) {
        case QEvent::MouseButtonPress: msg.message = left ? WM_LBUTTONDOWN : right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN; break;
        case QEvent::MouseButtonRelease: msg.message = left ? WM_LBUTTONUP : right ? WM_RBUTTONUP : WM_MBUTTONUP; break;
        case QEvent::MouseButtonDblClick: msg.message = left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK; break;
        default: msg.message = WM_MOUSEMOVE; break;
        }
        msg.wParam = MouseFlags(me->buttons(), me->modifiers());
        msg.lParam = clientPos(me->position());
        QPoint g = me->globalPosition().toPoint();
        msg.pt = POINT{g.x(), g.y()};
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        g_inputMods = ke->modifiers();
        bool alt = (ke->modifiers() & Qt::AltModifier) || ke->key() == Qt::Key_Alt;
        if (e->type() == QEvent::KeyPress)
            msg.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
        else
            msg.message = alt ? WM_SYSKEYUP : WM_KEYUP;
        msg.wParam = VirtualKeyOf(ke->key());
        // The key data's context code (bit 29) tells that Alt is held.
        msg.lParam = LPARAM((ke->isAutoRepeat() ? 0x40000001 : 1) | (alt ? 0x20000000 : 0));
        return msg.wParam != 0;
    }
    case QEvent::Resize: {
        if (!wnd)
            return false;
        CRect rc;
        wnd->GetClientRect(&rc);
        msg.message = WM_SIZE;
        msg.wParam = w->isMaximized() ? SIZE_MAXIMIZED : w->isMinimized() ? SIZE_MINIMIZED : SIZE_RESTORED;
        msg.lParam = MAKELPARAM(rc.Width(), rc.Height());
        return true;
    }
    case QEvent::FocusIn: msg.message = WM_SETFOCUS; return true;
    case QEvent::FocusOut: msg.message = WM_KILLFOCUS; return true;
    case QEvent::Close: msg.message = WM_CLOSE; return true;
    case QEvent::Paint: msg.message = WM_PAINT; return true;
    case QEvent::WindowActivate: msg.message = WM_ACTIVATE; msg.wParam = WA_ACTIVE; return true;
    case QEvent::WindowDeactivate: msg.message = WM_ACTIVATE; msg.wParam = WA_INACTIVE; return true;
    case QEvent::Show: msg.message = WM_SHOWWINDOW; msg.wParam = TRUE; return true;
    case QEvent::Hide: msg.message = WM_SHOWWINDOW; msg.wParam = FALSE; return true;
    default: return false;
    }
}

} // namespace fwdetail

bool CWndBridge::eventFilter(QObject* obj, QEvent* e)
{
    if (obj != m_wnd->m_hWnd)
        return false;
    return m_wnd->HandleEvent(obj, e);
}

bool CWnd::HandleEvent(QObject*, QEvent* e)
{
    posted::TakeEvent(e); // a message another thread posted
    const QEvent::Type type = e->type();
    if (type == PostedMessageEvent::EventType()) {
        auto* pm = static_cast<PostedMessageEvent*>(e);
        MSG msg{m_hWnd, pm->msg, pm->wParam, pm->lParam, GetTickCount(), {}};
        // The top-level window may take it first (accelerators, menu keys).
        if (CWnd* top = GetTopLevelParent(); top && top != this && top->PreTranslateMessage(&msg))
            return true;
        ::SendMessage(m_hWnd, pm->msg, pm->wParam, pm->lParam);
        return true;
    }
    BOOL savedDefault = m_bDefaultCalled;
    m_bDefaultCalled = FALSE;
    // A handler may end the window (a click on Close, Escape in a dialog):
    // after that neither this object nor the widget may be touched.
    // (The widget goes with its window; this object may go with both.)
    QPointer<QWidget> self = m_hWnd;
    auto gone = [&]() { return self.isNull(); };
    bool handled = true;
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        handled = HandleMouse(e);
        break;
    case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(e);
        QPoint g = we->globalPosition().toPoint();
        OnMouseWheel(fwdetail::MouseFlags(we->buttons(), we->modifiers()), short(we->angleDelta().y()),
                     CPoint(g.x(), g.y()));
        break;
    }
    case QEvent::Leave: OnMouseLeave(); break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        UINT vk = fwdetail::VirtualKeyOf(ke->key());
        MSG msg;
        fwdetail::TranslateEvent(this, m_hWnd, e, msg);
        if (vk) {
            // The frame offers keys to its bars and accelerators first (the
            // menu bar acts on the release of Alt and F10).
            if (CWnd* top = GetTopLevelParent(); top && top->PreTranslateMessage(&msg))
                break;
        }
        UINT rep = 1, flags = ke->isAutoRepeat() ? 0x4000 : 0;
        if (type == QEvent::KeyPress) {
            if (!vk)
                Default();
            else if (msg.message == WM_SYSKEYDOWN)
                OnSysKeyDown(vk, rep, flags);
            else
                OnKeyDown(vk, rep, flags);
            // A key the handler took makes no character.
            if (!gone() && m_bDefaultCalled && !ke->text().isEmpty()) {
                m_bDefaultCalled = FALSE;
                OnChar(ke->text().at(0).unicode(), rep, flags);
            }
        } else if (vk) {
            OnKeyUp(vk, rep, flags);
        } else {
            Default();
        }
        break;
    }
    case QEvent::Resize: {
        RecalcNonClient();
        CRect rc;
        GetClientRect(&rc);
        UINT t = m_hWnd->isMaximized() ? SIZE_MAXIMIZED : m_hWnd->isMinimized() ? SIZE_MINIMIZED : SIZE_RESTORED;
        OnSize(t, rc.Width(), rc.Height());
        m_bDefaultCalled = TRUE;
        break;
    }
    case QEvent::Move: {
        CRect rc;
        GetClientRect(&rc);
        ClientToScreen(&rc);
        OnMove(rc.left, rc.top);
        m_bDefaultCalled = TRUE;
        break;
    }
    case QEvent::Paint: handled = HandlePaint(e); break;
    case QEvent::FocusIn: OnSetFocus(nullptr); break;
    case QEvent::FocusOut: OnKillFocus(FromHandle(QApplication::focusWidget())); break;
    case QEvent::Close:
        if (!m_hWnd->isWindow()) {
            m_bDefaultCalled = TRUE;
            break;
        }
        // The window decides: OnClose destroys it or keeps it. It decides
        // once Qt's close handling is off the stack, as the window may go.
        e->ignore();
        ::PostMessage(m_hWnd, WM_CLOSE, 0, 0);
        m_bDefaultCalled = FALSE;
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate: {
        if (!m_hWnd->isWindow()) {
            m_bDefaultCalled = TRUE;
            break;
        }
        BOOL active = type == QEvent::WindowActivate;
        ::SendMessage(m_hWnd, WM_NCACTIVATE, active, 0);
        OnActivate(active ? WA_ACTIVE : WA_INACTIVE, nullptr, IsIconic());
        m_bDefaultCalled = TRUE;
        break;
    }
    case QEvent::Show:
    case QEvent::Hide:
        if (e->spontaneous()) {
            m_bDefaultCalled = TRUE;
            break;
        }
        ::SendMessage(m_hWnd, WM_SHOWWINDOW, type == QEvent::Show, 0);
        m_bDefaultCalled = TRUE;
        break;
    case QEvent::WindowStateChange:
        if (m_bOwnNonClient)
            m_hWnd->update();
        m_bDefaultCalled = TRUE;
        break;
    default:
        m_bDefaultCalled = TRUE;
        break;
    }
    if (gone())
        return true;
    bool passOn = m_bDefaultCalled;
    m_bDefaultCalled = savedDefault;
    if (!handled)
        return false;
    return !passOn;
}

bool CWnd::HandleMouse(QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    const QEvent::Type type = e->type();
    QPoint g = me->globalPosition().toPoint();
    CPoint screen(g.x(), g.y());
    CPoint client = WidgetToClient(int(me->position().x()), int(me->position().y()));
    UINT flags = fwdetail::MouseFlags(me->buttons(), me->modifiers());
    const bool captured = GetCapture() == this;
    if (type != QEvent::MouseMove) {
        // Button messages pass the top-level window first too (the menu bar
        // drops its keyboard selection on a click elsewhere).
        MSG msg;
        fwdetail::TranslateEvent(this, m_hWnd, e, msg);
        if (CWnd* top = GetTopLevelParent(); top && top->PreTranslateMessage(&msg))
            return true;
    }

    if (m_bOwnNonClient && !captured) {
        LRESULT hit = ::SendMessage(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        bool nc = hit != HTCLIENT;
        if (type == QEvent::MouseButtonPress && me->button() == Qt::LeftButton)
            m_bNcTracking = nc;
        if (type == QEvent::MouseMove && m_bNcTracking)
            nc = true;
        if (type == QEvent::MouseButtonRelease && m_bNcTracking) {
            m_bNcTracking = FALSE;
            nc = true;
        }
        if (nc) {
            switch (type) {
            case QEvent::MouseButtonPress:
                if (me->button() == Qt::LeftButton)
                    OnNcLButtonDown(UINT(hit), screen);
                else if (me->button() == Qt::RightButton)
                    OnNcRButtonDown(UINT(hit), screen);
                break;
            case QEvent::MouseButtonDblClick:
                if (me->button() == Qt::LeftButton)
                    OnNcLButtonDblClk(UINT(hit), screen);
                break;
            case QEvent::MouseButtonRelease:
                if (me->button() == Qt::LeftButton)
                    OnNcLButtonUp(UINT(hit), screen);
                break;
            default: OnNcMouseMove(UINT(hit), screen); break;
            }
            return true;
        }
    }
    switch (type) {
    case QEvent::MouseButtonPress:
        if (me->button() == Qt::LeftButton)
            OnLButtonDown(flags, client);
        else if (me->button() == Qt::RightButton)
            OnRButtonDown(flags, client);
        else
            Default();
        break;
    case QEvent::MouseButtonRelease:
        if (me->button() == Qt::LeftButton)
            OnLButtonUp(flags, client);
        else if (me->button() == Qt::RightButton)
            OnRButtonUp(flags, client);
        else
            Default();
        break;
    case QEvent::MouseButtonDblClick:
        if (me->button() == Qt::LeftButton)
            OnLButtonDblClk(flags, client);
        else
            Default();
        break;
    default: OnMouseMove(flags, client); break;
    }
    return true;
}

bool CWnd::HandlePaint(QEvent*)
{
    BOOL wasPainting = m_bInPaint;
    m_bInPaint = TRUE;
    if (m_bOwnNonClient || !(m_ncInsets == CRect()))
        ::SendMessage(m_hWnd, WM_NCPAINT, 0, 0);
    if (m_bEraseBackground)
        EraseForPaint();
    OnPaint();
    m_paintPainter.reset();
    m_bInPaint = wasPainting;
    return true;
}
