#include "platform/framework/wnd.h"

#include "platform/framework/frame_wnd.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/wnd_bridge.h"
#include "platform/gui_request.h"
#include "platform/posted_call.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <mutex>
#include <unordered_map>

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

namespace {

const char* const kIdProperty = "qr_ctrlid";

struct Registry {
    std::mutex lock; // PostMessage may come from worker threads
    std::unordered_map<QWidget*, CWnd*> windows;
    std::unordered_map<QWidget*, WNDPROC> procs;
    std::unordered_map<QWidget*, QObject*> hookFilters;
};

Registry& Reg()
{
    static Registry r;
    return r;
}

thread_local MSG t_current;
thread_local bool t_fromEvent = false;
thread_local bool t_eventPassed = false;
CWnd* g_capture = nullptr;

// The filter that feeds a hooked window's events through its procedure.
class HookFilter : public QObject {
public:
    explicit HookFilter(QWidget* w) : QObject(w) {}
    bool eventFilter(QObject* obj, QEvent* e) override
    {
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        MSG msg;
        CWnd* wnd = CWnd::FromHandlePermanent(w);
        if (!fwdetail::TranslateEvent(wnd, w, e, msg))
            return false;
        WNDPROC proc = nullptr;
        {
            std::lock_guard<std::mutex> g(Reg().lock);
            auto it = Reg().procs.find(w);
            if (it == Reg().procs.end())
                return false;
            proc = it->second;
        }
        MSG saved = t_current;
        bool savedFrom = t_fromEvent, savedPassed = t_eventPassed;
        t_current = msg;
        t_fromEvent = true;
        t_eventPassed = false;
        proc(w, msg.message, msg.wParam, msg.lParam);
        bool passed = t_eventPassed;
        t_current = saved;
        t_fromEvent = savedFrom;
        t_eventPassed = savedPassed;
        return !passed;
    }
};

CRect QtToRect(const QRect& r) { return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()); }

} // namespace

QEvent::Type PostedMessageEvent::EventType()
{
    static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
    return t;
}

// ---------------------------------------------------------------------------
// Message functions

const MSG* AfxGetCurrentMessage() { return &t_current; }

BOOL IsWindow(HWND hWnd)
{
    if (!hWnd)
        return FALSE;
    std::lock_guard<std::mutex> g(Reg().lock);
    return Reg().windows.count(hWnd) ? TRUE : FALSE;
}

LRESULT AfxWndProcBase(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (t_fromEvent) {
        // An event that the hooks let through: Qt hands it on to the window.
        t_eventPassed = true;
        return 0;
    }
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    return wnd ? wnd->WindowProc(msg, wParam, lParam) : 0;
}

LRESULT SendMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!hWnd)
        return 0;
    if (QThread::currentThread() != qApp->thread()) {
        // Another thread waits until the window's thread has handled it, or
        // until its own owner stops waiting (then it gets 0).
        return AskGuiThread([=] { return ::SendMessage(hWnd, msg, wParam, lParam); }).value_or(0);
    }
    WNDPROC proc = AfxWndProcBase;
    {
        std::lock_guard<std::mutex> g(Reg().lock);
        auto it = Reg().procs.find(hWnd);
        if (it != Reg().procs.end())
            proc = it->second;
        else if (!Reg().windows.count(hWnd))
            return 0;
    }
    MSG saved = t_current;
    bool savedFrom = t_fromEvent;
    t_current = MSG{hWnd, msg, wParam, lParam, GetTickCount(), {}};
    t_fromEvent = false;
    LRESULT r = proc(hWnd, msg, wParam, lParam);
    t_current = saved;
    t_fromEvent = savedFrom;
    return r;
}

BOOL PostMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!hWnd)
        return FALSE;
    if (QThread::currentThread() == qApp->thread())
        CWnd::FromHandle(hWnd); // a plain widget gets its wrapper now
    std::lock_guard<std::mutex> g(Reg().lock);
    if (!Reg().windows.count(hWnd))
        return FALSE;
    // Removed by Qt with the widget, so a message never reaches a dead window.
    auto* event = new PostedMessageEvent(msg, wParam, lParam);
    posted::MarkEvent(event);
    QCoreApplication::postEvent(hWnd, event);
    return TRUE;
}

WNDPROC SetWindowProc(HWND hWnd, WNDPROC proc)
{
    if (!hWnd)
        return nullptr;
    if (!CWnd::FromHandle(hWnd))
        return nullptr;
    std::lock_guard<std::mutex> g(Reg().lock);
    auto& procs = Reg().procs;
    auto it = procs.find(hWnd);
    WNDPROC old = it == procs.end() ? AfxWndProcBase : it->second;
    if (!proc || proc == AfxWndProcBase) {
        procs.erase(hWnd);
        auto f = Reg().hookFilters.find(hWnd);
        if (f != Reg().hookFilters.end()) {
            delete f->second;
            Reg().hookFilters.erase(f);
        }
    } else {
        procs[hWnd] = proc;
        if (!Reg().hookFilters.count(hWnd)) {
            auto* filter = new HookFilter(hWnd);
            // Installed after the window's own watcher, so it sees events first.
            hWnd->installEventFilter(filter);
            Reg().hookFilters[hWnd] = filter;
        }
    }
    return old;
}

LRESULT CallWindowProc(WNDPROC proc, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hWnd, msg, wParam, lParam) : 0;
}

UINT RegisterWindowMessage(const char* name)
{
    static std::mutex lock;
    static std::unordered_map<std::string, UINT> names;
    std::lock_guard<std::mutex> g(lock);
    auto it = names.find(name);
    if (it != names.end())
        return it->second;
    UINT id = WM_REGISTERED_FIRST + UINT(names.size());
    names.emplace(name, id);
    return id;
}

// ---------------------------------------------------------------------------
// CWnd: life

CWnd::CWnd() : m_crDefaultBack(GetSysColor(COLOR_WINDOW)) {}

CWnd::~CWnd()
{
    if (m_hWnd) {
        m_bAutoDelete = FALSE; // being deleted already
        DestroyWindow();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    std::lock_guard<std::mutex> g(Reg().lock);
    auto it = Reg().windows.find(hWnd);
    return it == Reg().windows.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* w = FromHandlePermanent(hWnd))
        return w;
    auto* w = new CWnd;
    w->m_bAutoDelete = TRUE;
    w->Attach(hWnd);
    w->m_dwStyle = (hWnd->isWindow() ? 0u : DWORD(WS_CHILD)) | (hWnd->isHidden() ? 0u : DWORD(WS_VISIBLE));
    return w;
}

void CWnd::AttachBridge()
{
    m_bridge = std::make_unique<CWndBridge>(this);
    m_hWnd->installEventFilter(m_bridge.get());
    HWND h = m_hWnd;
    QObject::connect(h, &QObject::destroyed, m_bridge.get(), [this, h]() {
        // Qt deleted the widget under us (its parent went): end the window here.
        if (m_hWnd == h)
            ::SendMessage(h, WM_NCDESTROY, 0, 0);
    });
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (!hWnd || m_hWnd)
        return FALSE;
    {
        std::lock_guard<std::mutex> g(Reg().lock);
        if (Reg().windows.count(hWnd))
            return FALSE;
        Reg().windows[hWnd] = this;
    }
    m_hWnd = hWnd;
    AttachBridge();
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND h = m_hWnd;
    if (!h)
        return nullptr;
    KillTimer(UINT_PTR(-1));
    m_timers.clear();
    m_bridge.reset();
    {
        std::lock_guard<std::mutex> g(Reg().lock);
        Reg().windows.erase(h);
    }
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd)
        return FALSE;
    if (CWnd* old = FromHandlePermanent(hWnd)) {
        if (!old->m_bAutoDelete)
            return FALSE;
        old->Detach();
        delete old;
    }
    if (!Attach(hWnd))
        return FALSE;
    m_dwStyle |= (hWnd->isWindow() ? 0u : DWORD(WS_CHILD)) | (hWnd->isHidden() ? 0u : DWORD(WS_VISIBLE));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent || !pParent->m_hWnd)
        return FALSE;
    CWnd* item = pParent->GetDlgItem(int(nID));
    if (!item)
        return FALSE;
    DWORD style = item->m_dwStyle, ex = item->m_dwExStyle;
    HWND h = item->m_hWnd;
    if (!SubclassWindow(h))
        return FALSE;
    m_dwStyle = style;
    m_dwExStyle = ex;
    return TRUE;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&) { return TRUE; }

void CWnd::SetupOwnedItem(DWORD style, DWORD exStyle, const std::string& text)
{
    m_bAutoDelete = TRUE;
    m_dwStyle = style & ~(WS_VISIBLE | WS_DISABLED);
    m_dwExStyle = exStyle;
    SetWindowText(text);
}

HWND CWnd::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    if (cs.style & WS_CHILD)
        return new CWndWidget(parent);
    Qt::WindowFlags flags = parent ? Qt::Window : Qt::WindowFlags();
    // A pop-up window without a caption has no title bar and no border.
    if ((cs.style & WS_POPUP) && (cs.style & WS_CAPTION) == 0)
        flags |= Qt::Window | Qt::FramelessWindowHint;
    return new CWndWidget(parent, flags);
}

BOOL CWnd::Create(const char* className, const std::string& windowName, DWORD style, const RECT& rect,
                  CWnd* pParent, UINT nID, void* pContext)
{
    return CreateEx(0, className, windowName, style, rect, pParent, nID, pContext);
}

namespace {

// Gives a new window the place and size of cs, the desktop choosing what is CW_USEDEFAULT.
void PlaceNewWindow(CWnd* wnd, const CREATESTRUCT& cs, bool child)
{
    const bool defaultPlace = cs.x == CW_USEDEFAULT, defaultSize = cs.cx == CW_USEDEFAULT;
    if (child || (!defaultPlace && !defaultSize)) {
        wnd->MoveWindow(defaultPlace ? 0 : cs.x, defaultPlace ? 0 : cs.y, defaultSize ? 0 : cs.cx,
                        defaultSize ? 0 : cs.cy, FALSE);
        return;
    }
    // The desktop's size for a new window: three quarters of the screen, and
    // never smaller than the smallest window the program's frames are made for.
    QSize size(cs.cx, cs.cy);
    if (defaultSize) {
        size = QSize(640, 480);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect avail = screen->availableGeometry();
            size = QSize(std::max(640, avail.width() * 3 / 4), std::max(480, avail.height() * 3 / 4));
        }
    }
    if (defaultPlace)
        wnd->m_hWnd->resize(size.width(), std::max(0, size.height() - wnd->GetHiddenTop())); // the window manager places it
    else
        wnd->MoveWindow(cs.x, cs.y, size.width(), size.height(), FALSE);
}

} // namespace

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const std::string& windowName, DWORD style,
                    const RECT& rect, CWnd* pParent, UINT nID, void* pParam)
{
    if (m_hWnd)
        return FALSE;
    CREATESTRUCT cs;
    cs.lpCreateParams = pParam;
    cs.pParent = pParent;
    cs.nID = nID;
    // A rectangle starting at CW_USEDEFAULT leaves place and size to the desktop.
    const bool byDesktop = rect.left == CW_USEDEFAULT;
    cs.x = rect.left;
    cs.y = byDesktop ? CW_USEDEFAULT : rect.top;
    cs.cx = byDesktop ? CW_USEDEFAULT : rect.right - rect.left;
    cs.cy = byDesktop ? CW_USEDEFAULT : rect.bottom - rect.top;
    cs.style = style;
    cs.dwExStyle = exStyle;
    cs.lpszName = windowName;
    cs.lpszClass = className ? className : "";
    if (!PreCreateWindow(cs))
        return FALSE;
    m_dwStyle = cs.style & ~(WS_VISIBLE | WS_DISABLED);
    m_dwExStyle = cs.dwExStyle;
    QWidget* parentW = cs.pParent ? cs.pParent->m_hWnd : nullptr;
    bool child = (cs.style & WS_CHILD) != 0;
    if (child && !parentW)
        return FALSE;
    HWND h = CreateWidget(cs, parentW);
    if (!h)
        return FALSE;
    if (!child && !(cs.style & WS_CHILD) && cs.pParent)
        m_pOwner = cs.pParent;
    if (!Attach(h)) {
        delete h;
        return FALSE;
    }
    m_bEraseBackground = dynamic_cast<CWndWidget*>(h) != nullptr;
    SetDlgCtrlID(int(child ? cs.nID : 0));
    m_strText = cs.lpszName;
    SetWidgetText(cs.lpszName);
    if (child)
        h->hide();
    if (cs.style & WS_DISABLED)
        h->setEnabled(false);
    PlaceNewWindow(this, cs, child);
    if (SendMessage(WM_CREATE, 0, LPARAM(&cs)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if (!m_hWnd)
        return FALSE;
    RecalcNonClient();
    CRect rc;
    GetClientRect(&rc);
    OnSize(SIZE_RESTORED, rc.Width(), rc.Height());
    if (cs.style & WS_VISIBLE)
        ShowWindow(SW_SHOW);
    return TRUE;
}

void CWnd::SendDestroyTree()
{
    ::SendMessage(m_hWnd, WM_DESTROY, 0, 0);
    if (!m_hWnd)
        return;
    for (QObject* o : m_hWnd->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (CWnd* c = w ? FromHandlePermanent(w) : nullptr)
            c->SendDestroyTree();
    }
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    QPointer<QWidget> w = m_hWnd;
    if (g_capture == this)
        g_capture = nullptr;
    SendDestroyTree();
    if (!w)
        return TRUE;
    // Children end first; then this window (which may delete this object).
    QList<QWidget*> kids = w->findChildren<QWidget*>();
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        if (IsWindow(*it))
            ::SendMessage(*it, WM_NCDESTROY, 0, 0);
    if (w && IsWindow(w))
        ::SendMessage(w, WM_NCDESTROY, 0, 0);
    delete w.data();
    return TRUE;
}

void CWnd::DoNcDestroy()
{
    HWND h = m_hWnd;
    if (!h)
        return;
    if (g_capture == this)
        g_capture = nullptr;
    SetWindowProc(h, nullptr);
    Detach();
    PostNcDestroy();
}

int CWnd::OnCreate(LPCREATESTRUCT) { return 0; }
void CWnd::OnDestroy() {}
void CWnd::OnNcDestroy() { DoNcDestroy(); }
void CWnd::PostNcDestroy()
{
    if (m_bAutoDelete)
        delete this;
}

// ---------------------------------------------------------------------------
// Messages

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return ::SendMessage(m_hWnd, msg, wParam, lParam); }
BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return ::PostMessage(m_hWnd, msg, wParam, lParam); }

void CWnd::SendMessageToDescendants(UINT msg, WPARAM wParam, LPARAM lParam, BOOL bDeep)
{
    if (!m_hWnd)
        return;
    const auto kids = m_hWnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : kids) {
        if (CWnd* c = FromHandlePermanent(w)) {
            ::SendMessage(w, msg, wParam, lParam);
            if (bDeep && IsWindow(w))
                c->SendMessageToDescendants(msg, wParam, lParam, TRUE);
        }
    }
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        LRESULT r = 0;
        if (OnNotify(wParam, lParam, &r))
            return r;
        break;
    }
    case WM_TIMER: OnTimer(UINT_PTR(wParam)); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_CREATE: return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY: OnNcDestroy(); return 0;
    case WM_SYSCOMMAND: OnSysCommand(UINT(wParam), lParam); return 0;
    case WM_SETTINGCHANGE: OnSettingChange(UINT(wParam), reinterpret_cast<const char*>(lParam)); return 0;
    case WM_SYSCOLORCHANGE: OnSysColorChange(); return 0;
    case WM_NCHITTEST: return OnNcHitTest(CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
    case WM_NCACTIVATE: return OnNcActivate(BOOL(wParam));
    case WM_SHOWWINDOW: OnShowWindow(BOOL(wParam), UINT(lParam)); return 0;
    case WM_ACTIVATE: OnActivate(LOWORD(DWORD(wParam)), nullptr, HIWORD(DWORD(wParam))); return 0;
    case WM_SIZE: OnSize(UINT(wParam), LOWORD(DWORD(lParam)), HIWORD(DWORD(lParam))); return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<CMenu*>(wParam), LOWORD(DWORD(lParam)), HIWORD(DWORD(lParam))); return 0;
    case WM_NCPAINT: OnNcPaint(); return 0;
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<void*>(wParam)); return 0;
    default: break;
    }
    if (const MsgMapEntry* e = FindEntry(MsgKind::Message, msg, 0, 0)) {
        MsgParams p{wParam, lParam};
        LRESULT r = 0;
        DispatchEntry(e, 0, &p, &r);
        return r;
    }
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: PostMessage(WM_CLOSE); break;
        case SC_MINIMIZE: ShowWindow(SW_SHOWMINIMIZED); break;
        case SC_MAXIMIZE: ShowWindow(SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(SW_RESTORE); break;
        case SC_MOVE:
            if (m_hWnd && m_hWnd->windowHandle())
                m_hWnd->windowHandle()->startSystemMove();
            break;
        case SC_SIZE:
            if (m_hWnd && m_hWnd->windowHandle())
                m_hWnd->windowHandle()->startSystemResize(Qt::RightEdge | Qt::BottomEdge);
            break;
        default: break;
        }
        return 0;
    case WM_CLOSE: DestroyWindow(); return 0;
    case WM_CONTEXTMENU:
        // A child that shows no menu of its own leaves it to its parent.
        if (m_hWnd && !m_hWnd->isWindow())
            if (CWnd* parent = GetParent())
                return parent->SendMessage(WM_CONTEXTMENU, wParam, lParam);
        return 0;
    default: return 0;
    }
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra) { return CCmdTarget::OnCmdMsg(nID, nCode, pExtra); }

BOOL CWnd::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (msg == WM_COMMAND) {
        int code = HIWORD(DWORD(wParam));
        if (const MsgMapEntry* e = FindEntry(MsgKind::CommandReflect, WM_COMMAND, code, 0))
            return DispatchEntry(e, LOWORD(DWORD(wParam)), nullptr, pResult);
    } else if (msg == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (const MsgMapEntry* e = FindEntry(MsgKind::NotifyReflect, WM_NOTIFY, hdr->code, 0))
            return DispatchEntry(e, UINT(hdr->idFrom), hdr, pResult);
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT nID = LOWORD(DWORD(wParam));
    int nCode = HIWORD(DWORD(wParam));
    auto hCtl = reinterpret_cast<HWND>(lParam);
    if (hCtl) {
        // The control sees its own notification first.
        if (CWnd* ctl = FromHandlePermanent(hCtl)) {
            LRESULT r = 0;
            if (ctl != this && ctl->OnChildNotify(WM_COMMAND, wParam, lParam, &r))
                return TRUE;
        }
    } else if (nCode == 0) {
        // A menu or accelerator command: disabled items do nothing.
        CCmdUI state;
        state.m_nID = nID;
        state.DoUpdate(this, TRUE);
        if (!state.m_bEnabled)
            return FALSE;
    }
    return OnCmdMsg(nID, nCode, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr)
        return FALSE;
    if (CWnd* ctl = FromHandlePermanent(hdr->hwndFrom)) {
        if (ctl != this && ctl->OnChildNotify(WM_NOTIFY, 0, lParam, pResult))
            return TRUE;
    }
    if (const MsgMapEntry* e = FindEntry(MsgKind::Notify, WM_NOTIFY, hdr->code, UINT(hdr->idFrom)))
        return DispatchEntry(e, UINT(hdr->idFrom), hdr, pResult);
    // Nobody here handles it: the parent may.
    if (CWnd* parent = GetParent()) {
        *pResult = parent->SendMessage(WM_NOTIFY, WPARAM(hdr->idFrom), lParam);
        return TRUE;
    }
    return FALSE;
}

void CWnd::Default() { m_bDefaultCalled = TRUE; }

// ---------------------------------------------------------------------------
// Timers

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*)
{
    if (!m_hWnd)
        return 0;
    auto& t = m_timers[nIDEvent];
    if (!t) {
        t = std::make_unique<QTimer>();
        HWND h = m_hWnd;
        QObject::connect(t.get(), &QTimer::timeout, [h, nIDEvent]() { ::SendMessage(h, WM_TIMER, nIDEvent, 0); });
    }
    t->start(int(nElapse));
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    auto it = m_timers.find(nIDEvent);
    if (it == m_timers.end())
        return FALSE;
    it->second->stop();
    // Deleted later: a timer may be killed from inside its own timeout.
    it->second.release()->deleteLater();
    m_timers.erase(it);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Family

CWnd* CWnd::GetParent() const
{
    if (!m_hWnd)
        return nullptr;
    if (m_hWnd->isWindow())
        return m_pOwner;
    return FromHandle(m_hWnd->parentWidget());
}

CWnd* CWnd::GetOwner() const { return m_pOwner ? m_pOwner : GetParent(); }

CWnd* CWnd::GetTopLevelParent() const
{
    if (!m_hWnd)
        return nullptr;
    return FromHandle(m_hWnd->window());
}

CFrameWnd* CWnd::GetParentFrame() const
{
    for (CWnd* p = GetParent(); p; p = p->GetParent())
        if (p->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
            return static_cast<CFrameWnd*>(p);
    return nullptr;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    if (!m_hWnd)
        return nullptr;
    for (QWidget* w : m_hWnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow() && w->property(kIdProperty).toInt() == nID)
            return FromHandle(w);
    return nullptr;
}

int CWnd::GetDlgCtrlID() const { return m_hWnd ? m_hWnd->property(kIdProperty).toInt() : 0; }

int CWnd::SetDlgCtrlID(int nID)
{
    int old = GetDlgCtrlID();
    if (m_hWnd)
        m_hWnd->setProperty(kIdProperty, nID);
    return old;
}

CWnd* CWnd::GetWindow(UINT nCmd) const
{
    if (!m_hWnd)
        return nullptr;
    auto childrenOf = [](QWidget* p) {
        QList<QWidget*> out;
        for (QObject* o : p->children())
            if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow())
                out.push_back(w);
        return out;
    };
    if (nCmd == GW_CHILD) {
        auto kids = childrenOf(m_hWnd);
        return kids.isEmpty() ? nullptr : FromHandle(kids.front());
    }
    if (nCmd == GW_OWNER)
        return m_pOwner;
    QWidget* p = m_hWnd->isWindow() ? nullptr : m_hWnd->parentWidget();
    if (!p)
        return nullptr;
    auto sibs = childrenOf(p);
    qsizetype i = sibs.indexOf(m_hWnd);
    switch (nCmd) {
    case GW_HWNDFIRST: return FromHandle(sibs.front());
    case GW_HWNDLAST: return FromHandle(sibs.back());
    case GW_HWNDNEXT: return i + 1 < sibs.size() ? FromHandle(sibs[i + 1]) : nullptr;
    case GW_HWNDPREV: return i > 0 ? FromHandle(sibs[i - 1]) : nullptr;
    default: return nullptr;
    }
}

CWnd* CWnd::SetParent(CWnd* pNewParent)
{
    CWnd* old = GetParent();
    if (m_hWnd && pNewParent && pNewParent->m_hWnd) {
        bool vis = !m_hWnd->isHidden();
        m_hWnd->setParent(pNewParent->m_hWnd);
        if (vis)
            m_hWnd->show();
    }
    return old;
}

CWnd* CWnd::GetFocus() { return FromHandle(QApplication::focusWidget()); }

CWnd* CWnd::SetFocus()
{
    CWnd* old = GetFocus();
    if (m_hWnd)
        m_hWnd->setFocus(Qt::OtherFocusReason);
    return old;
}

CWnd* CWnd::GetCapture() { return g_capture; }

CWnd* CWnd::SetCapture()
{
    CWnd* old = g_capture;
    g_capture = this;
    if (m_hWnd && m_hWnd->isVisible())
        m_hWnd->grabMouse();
    return old;
}

BOOL ReleaseCapture()
{
    if (g_capture && g_capture->m_hWnd)
        g_capture->m_hWnd->releaseMouse();
    g_capture = nullptr;
    return TRUE;
}

CWnd* CWnd::GetActiveWindow() { return FromHandle(QApplication::activeWindow()); }

CWnd* CWnd::ChildWindowFromPoint(POINT pt, UINT nFlags) const
{
    if (!m_hWnd)
        return nullptr;
    CRect client;
    GetClientRect(&client);
    QPoint origin(m_ncInsets.left, m_ncInsets.top - m_nHiddenTop);
    QPoint wp(pt.x + origin.x(), pt.y + origin.y());
    if (!m_hWnd->rect().contains(wp))
        return nullptr;
    const auto kids = m_hWnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
        QWidget* w = *it;
        if (w->isWindow() || !w->geometry().contains(wp))
            continue;
        if ((nFlags & CWP_SKIPINVISIBLE) && w->isHidden())
            continue;
        if ((nFlags & CWP_SKIPDISABLED) && !w->isEnabled())
            continue;
        if (nFlags & CWP_SKIPTRANSPARENT) {
            CWnd* c = FromHandlePermanent(w);
            if (w->testAttribute(Qt::WA_TransparentForMouseEvents) || (c && (c->m_dwExStyle & WS_EX_TRANSPARENT)))
                continue;
        }
        return FromHandle(w);
    }
    return const_cast<CWnd*>(this);
}

// ---------------------------------------------------------------------------
// State

BOOL CWnd::ShowWindow(int nCmdShow)
{
    if (!m_hWnd)
        return FALSE;
    BOOL was = !m_hWnd->isHidden();
    switch (nCmdShow) {
    case SW_HIDE: m_hWnd->hide(); break;
    case SW_MAXIMIZE: m_hWnd->showMaximized(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: m_hWnd->showMinimized(); break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        if (m_hWnd->isWindow())
            m_hWnd->showNormal();
        else
            m_hWnd->show();
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        m_hWnd->setAttribute(Qt::WA_ShowWithoutActivating);
        m_hWnd->show();
        m_hWnd->setAttribute(Qt::WA_ShowWithoutActivating, false);
        break;
    default: m_hWnd->show(); break;
    }
    return was;
}

BOOL CWnd::IsWindowVisible() const { return m_hWnd && m_hWnd->isVisible(); }

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    if (!m_hWnd)
        return FALSE;
    BOOL wasDisabled = !m_hWnd->isEnabled();
    m_hWnd->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_hWnd && m_hWnd->isEnabled(); }
BOOL CWnd::IsZoomed() const { return m_hWnd && m_hWnd->isMaximized(); }
BOOL CWnd::IsIconic() const { return m_hWnd && m_hWnd->isMinimized(); }

void CWnd::SetWindowText(const std::string& text)
{
    m_strText = text;
    SetWidgetText(text);
}

std::string CWnd::GetWindowText() const { return GetWidgetText(); }

void CWnd::SetWidgetText(const std::string& text)
{
    if (m_hWnd && m_hWnd->isWindow())
        m_hWnd->setWindowTitle(QString::fromStdString(text));
    if (m_hWnd && m_bOwnNonClient)
        m_hWnd->update();
}

std::string CWnd::GetWidgetText() const { return m_strText; }

DWORD CWnd::GetStyle() const
{
    DWORD s = m_dwStyle & ~(WS_VISIBLE | WS_DISABLED | WS_MAXIMIZE | WS_MINIMIZE);
    if (m_hWnd) {
        if (!m_hWnd->isHidden())
            s |= WS_VISIBLE;
        if (!m_hWnd->isEnabled())
            s |= WS_DISABLED;
        if (m_hWnd->isMaximized())
            s |= WS_MAXIMIZE;
        if (m_hWnd->isMinimized())
            s |= WS_MINIMIZE;
    }
    return s;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT nFlags)
{
    DWORD old = m_dwStyle;
    m_dwStyle = (m_dwStyle & ~remove) | add;
    if (nFlags & SWP_FRAMECHANGED)
        RecalcNonClient();
    return old != m_dwStyle;
}

void CWnd::SetFont(const QFont& font, BOOL bRedraw)
{
    if (!m_hWnd)
        return;
    m_hWnd->setFont(font);
    if (bRedraw)
        m_hWnd->update();
}

QFont CWnd::GetFont() const { return m_hWnd ? m_hWnd->font() : QFont(); }

// ---------------------------------------------------------------------------
// Geometry

void CWnd::GetWindowRect(RECT* r) const
{
    if (!m_hWnd) {
        *r = CRect();
        return;
    }
    QPoint tl = m_hWnd->mapToGlobal(QPoint(0, 0));
    *r = CRect(tl.x(), tl.y() - m_nHiddenTop, tl.x() + m_hWnd->width(), tl.y() + m_hWnd->height());
}

void CWnd::GetClientRect(RECT* r) const
{
    if (!m_hWnd) {
        *r = CRect();
        return;
    }
    int w = m_hWnd->width() - m_ncInsets.left - m_ncInsets.right;
    int h = m_hWnd->height() + m_nHiddenTop - m_ncInsets.top - m_ncInsets.bottom;
    *r = CRect(0, 0, std::max(0, w), std::max(0, h));
}

void CWnd::ClientToScreen(POINT* p) const
{
    if (!m_hWnd)
        return;
    QPoint g = m_hWnd->mapToGlobal(QPoint(p->x + m_ncInsets.left, p->y + m_ncInsets.top - m_nHiddenTop));
    p->x = g.x();
    p->y = g.y();
}

void CWnd::ClientToScreen(RECT* r) const
{
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    ClientToScreen(&a);
    ClientToScreen(&b);
    *r = CRect(a.x, a.y, b.x, b.y);
}

void CWnd::ScreenToClient(POINT* p) const
{
    if (!m_hWnd)
        return;
    QPoint l = m_hWnd->mapFromGlobal(QPoint(p->x, p->y));
    p->x = l.x() - m_ncInsets.left;
    p->y = l.y() - (m_ncInsets.top - m_nHiddenTop);
}

void CWnd::ScreenToClient(RECT* r) const
{
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    ScreenToClient(&a);
    ScreenToClient(&b);
    *r = CRect(a.x, a.y, b.x, b.y);
}

CPoint CWnd::WidgetToClient(int x, int y) const
{
    return CPoint(x - m_ncInsets.left, y - (m_ncInsets.top - m_nHiddenTop));
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint)
{
    if (!m_hWnd)
        return;
    if (m_hWnd->isWindow()) {
        m_hWnd->setGeometry(x, y + m_nHiddenTop, std::max(0, cx), std::max(0, cy - m_nHiddenTop));
    } else {
        QPoint origin;
        if (CWnd* p = FromHandlePermanent(m_hWnd->parentWidget()))
            origin = QPoint(p->m_ncInsets.left, p->m_ncInsets.top - p->m_nHiddenTop);
        m_hWnd->setGeometry(x + origin.x(), y + origin.y(), std::max(0, cx), std::max(0, cy));
    }
    // Qt reports a hidden widget's new size only when it shows; windows hear it now.
    if (m_hWnd->isHidden()) {
        RecalcNonClient();
        CRect rc;
        GetClientRect(&rc);
        OnSize(SIZE_RESTORED, rc.Width(), rc.Height());
    }
    if (bRepaint)
        m_hWnd->update();
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT nFlags)
{
    if (!m_hWnd)
        return FALSE;
    CRect r;
    GetWindowRect(&r);
    if (!m_hWnd->isWindow() && GetParent())
        GetParent()->ScreenToClient(&r);
    if (!(nFlags & SWP_NOMOVE))
        r = CRect(x, y, x + r.Width(), y + r.Height());
    if (!(nFlags & SWP_NOSIZE))
        r.right = r.left + cx, r.bottom = r.top + cy;
    if (!(nFlags & SWP_NOMOVE) || !(nFlags & SWP_NOSIZE))
        MoveWindow(r, !(nFlags & SWP_NOREDRAW));
    if (nFlags & SWP_FRAMECHANGED)
        RecalcNonClient();
    if (nFlags & SWP_SHOWWINDOW)
        ShowWindow((nFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (nFlags & SWP_HIDEWINDOW)
        ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    if (!m_hWnd)
        return;
    CRect me, ref;
    GetWindowRect(&me);
    CWnd* owner = pAlternateOwner ? pAlternateOwner : GetOwner();
    if (owner && owner->m_hWnd) {
        owner->GetWindowRect(&ref);
    } else {
        QRect s = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                   : QRect(0, 0, 1024, 768);
        ref = QtToRect(s);
    }
    int x = ref.left + (ref.Width() - me.Width()) / 2;
    int y = ref.top + (ref.Height() - me.Height()) / 2;
    if (m_hWnd->isWindow())
        MoveWindow(x, y, me.Width(), me.Height());
}

void CWnd::RecalcNonClient()
{
    if (!m_hWnd)
        return;
    NCCALCSIZE_PARAMS p;
    int W = m_hWnd->width(), H = m_hWnd->height() + m_nHiddenTop;
    p.rgrc[0] = CRect(0, 0, W, H);
    OnNcCalcSize(TRUE, &p);
    CRect ins(p.rgrc[0].left, p.rgrc[0].top, W - p.rgrc[0].right, H - p.rgrc[0].bottom);
    if (ins == m_ncInsets)
        return;
    QPoint oldOrigin(m_ncInsets.left, m_ncInsets.top - m_nHiddenTop);
    m_ncInsets = ins;
    QPoint delta = QPoint(ins.left, ins.top - m_nHiddenTop) - oldOrigin;
    for (QWidget* w : m_hWnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow())
            w->move(w->pos() + delta);
    m_hWnd->update();
}

// ---------------------------------------------------------------------------
// Drawing

void CWnd::Invalidate(BOOL) { if (m_hWnd) m_hWnd->update(); }

void CWnd::InvalidateRect(const RECT* r, BOOL)
{
    if (!m_hWnd)
        return;
    if (!r) {
        m_hWnd->update();
        return;
    }
    QPoint o(m_ncInsets.left, m_ncInsets.top - m_nHiddenTop);
    m_hWnd->update(QRect(r->left + o.x(), r->top + o.y(), r->right - r->left, r->bottom - r->top));
}

void CWnd::UpdateWindow()
{
    if (m_hWnd && m_hWnd->isVisible())
        m_hWnd->repaint();
}

BOOL CWnd::RedrawWindow(const RECT* r, void*, UINT flags)
{
    if (!m_hWnd)
        return FALSE;
    if (flags & RDW_FRAME)
        m_hWnd->update();
    else
        InvalidateRect(r);
    if (flags & RDW_UPDATENOW)
        UpdateWindow();
    return TRUE;
}

void CWnd::RedrawNonClient() { if (m_hWnd) m_hWnd->update(); }

QPainter* CWnd::GetPaintPainter()
{
    if (!m_bInPaint || !m_hWnd)
        return nullptr;
    if (!m_paintPainter)
        m_paintPainter = std::make_unique<QPainter>(m_hWnd);
    return m_paintPainter.get();
}

// ---------------------------------------------------------------------------
// Default handlers: Qt's own handling goes on.

void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnNcPaint() {}
BOOL CWnd::OnNcActivate(BOOL) { return TRUE; }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) {}
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnClose() { DefWindowProc(WM_CLOSE, 0, 0); }
void CWnd::OnTimer(UINT_PTR) {}
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { Default(); return FALSE; }
void CWnd::OnMouseLeave() { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT nChar, UINT, UINT)
{
    // Alt+F4 closes a top-level window as its system menu's Close does; inside
    // a window the key travels up to it.
    if (nChar == VK_F4 && m_hWnd && m_hWnd->isWindow()) {
        PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysCommand(UINT nID, LPARAM lParam) { DefWindowProc(WM_SYSCOMMAND, nID, lParam); }
void CWnd::OnSettingChange(UINT, const char*) {}
void CWnd::OnSysColorChange() {}
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) {}
void CWnd::OnDropFiles(void*) {}
void CWnd::OnNcRButtonDown(UINT, CPoint) {}

void CWnd::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* p)
{
    if (!m_bOwnNonClient)
        return;
    CRect& r = static_cast<CRect&>(p->rgrc[0]);
    DWORD style = GetStyle();
    if (style & WS_THICKFRAME)
        r.DeflateRect(GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME));
    else if (style & (WS_DLGFRAME | WS_BORDER))
        r.DeflateRect(GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME));
    if ((style & WS_CAPTION) == WS_CAPTION)
        r.top += GetSystemMetrics(SM_CYCAPTION);
    if (r.bottom < r.top)
        r.bottom = r.top;
}

LRESULT CWnd::OnNcHitTest(CPoint point)
{
    CRect client;
    GetClientRect(&client);
    ClientToScreen(&client);
    if (client.PtInRect(point))
        return HTCLIENT;
    if (!m_bOwnNonClient)
        return HTCLIENT;
    CRect win;
    GetWindowRect(&win);
    win.top += m_nHiddenTop;
    if (!win.PtInRect(point))
        return HTNOWHERE;
    if (GetStyle() & WS_THICKFRAME) {
        const int f = GetSystemMetrics(SM_CXFRAME), corner = 16;
        bool left = point.x < win.left + f, right = point.x >= win.right - f;
        bool top = point.y < win.top + f, bottom = point.y >= win.bottom - f;
        bool nearLeft = point.x < win.left + corner, nearRight = point.x >= win.right - corner;
        bool nearTop = point.y < win.top + corner, nearBottom = point.y >= win.bottom - corner;
        if ((bottom && nearLeft) || (left && nearBottom))
            return HTBOTTOMLEFT;
        if ((bottom && nearRight) || (right && nearBottom))
            return HTBOTTOMRIGHT;
        if ((top && nearLeft) || (left && nearTop))
            return HTTOPLEFT;
        if ((top && nearRight) || (right && nearTop))
            return HTTOPRIGHT;
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
        if (top)
            return HTTOP;
        if (bottom)
            return HTBOTTOM;
    }
    if (point.y < client.top)
        return HTCAPTION;
    return HTBORDER;
}

namespace {
Qt::Edges EdgesOfHit(UINT hit)
{
    switch (hit) {
    case HTLEFT: return Qt::LeftEdge;
    case HTRIGHT: return Qt::RightEdge;
    case HTTOP: return Qt::TopEdge;
    case HTBOTTOM: return Qt::BottomEdge;
    case HTTOPLEFT: return Qt::TopEdge | Qt::LeftEdge;
    case HTTOPRIGHT: return Qt::TopEdge | Qt::RightEdge;
    case HTBOTTOMLEFT: return Qt::BottomEdge | Qt::LeftEdge;
    case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}
} // namespace

void CWnd::OnNcLButtonDown(UINT nHitTest, CPoint point)
{
    m_captionDrag = CaptionDrag::none;
    QWindow* win = m_hWnd ? m_hWnd->window()->windowHandle() : nullptr;
    if (!win)
        return;
    if (nHitTest == HTCAPTION) {
        m_captionDrag = CaptionDrag::pending;
        m_ptCaptionPress = point;
        m_ptWindowAtPress = m_hWnd->window()->pos();
    } else if (Qt::Edges e = EdgesOfHit(nHitTest)) {
        win->startSystemResize(e);
    }
}

void CWnd::OnNcMouseMove(UINT, CPoint point)
{
    if (m_captionDrag == CaptionDrag::none)
        return;
    QWidget* top = m_hWnd->window();
    const QPoint moved(point.x - m_ptCaptionPress.x, point.y - m_ptCaptionPress.y);
    if (m_captionDrag == CaptionDrag::pending) {
        if (moved.manhattanLength() < QApplication::startDragDistance())
            return;
        // The window manager moves it when it can; otherwise we follow the mouse.
        QWindow* win = top->windowHandle();
        if (win && !top->isMaximized() && win->startSystemMove()) {
            m_captionDrag = CaptionDrag::none;
            return;
        }
        m_captionDrag = top->isMaximized() ? CaptionDrag::none : CaptionDrag::manual;
    }
    if (m_captionDrag == CaptionDrag::manual)
        top->move(m_ptWindowAtPress + moved);
}

void CWnd::OnNcLButtonUp(UINT, CPoint) { m_captionDrag = CaptionDrag::none; }

void CWnd::OnNcLButtonDblClk(UINT nHitTest, CPoint)
{
    m_captionDrag = CaptionDrag::none;
    if (nHitTest == HTCAPTION)
        ShowWindow(IsZoomed() ? SW_RESTORE : SW_MAXIMIZE);
}
