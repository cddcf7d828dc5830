#include "ui/window_helpers.h"

#include "platform/framework/controls.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/win_app.h"
#include "platform/posted_call.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDeadlineTimer>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace {

CWnd::ScrollState* ScrollOf(CWnd* pWnd, int nBar)
{
    if (!pWnd || (nBar != SB_HORZ && nBar != SB_VERT && nBar != SB_CTL))
        return nullptr;
    return &pWnd->ScrollInfo(nBar == SB_VERT ? 1 : 0);
}

void ClampPos(CWnd::ScrollState& s)
{
    int top = s.nMax - std::max(s.nPage - 1, 0);
    s.nPos = std::clamp(s.nPos, s.nMin, std::max(s.nMin, top));
}

// Holds back a left-button release that arrives during a wait, to give it
// back to its window afterwards.
class ReleaseCatcher : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* e) override
    {
        posted::TakeEvent(e); // a message another thread posted passes here first
        if (e->type() == QEvent::MouseButtonRelease && !caught) {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton && obj->isWidgetType()) {
                target = static_cast<QWidget*>(obj);
                copy.reset(me->clone());
                caught = true;
                return true;
            }
        }
        return false;
    }
    bool caught = false;
    QPointer<QWidget> target;
    std::unique_ptr<QMouseEvent> copy;
};

} // namespace

void SetScrollRangeAndPage(CWnd* pWnd, int nBar, int nMin, int nMax, BOOL bRedraw, int nPage)
{
    CWnd::ScrollState* s = ScrollOf(pWnd, nBar);
    if (!s)
        return;
    s->nMin = nMin;
    s->nMax = std::max(nMin, nMax);
    s->nPage = std::clamp(nPage, 0, s->nMax - s->nMin + 1);
    ClampPos(*s);
    if (bRedraw)
        pWnd->Invalidate();
}

void GetScrollRangeOf(CWnd* pWnd, int nBar, int* pMin, int* pMax)
{
    CWnd::ScrollState* s = ScrollOf(pWnd, nBar);
    if (pMin)
        *pMin = s ? s->nMin : 0;
    if (pMax)
        *pMax = s ? s->nMax : 0;
}

void SetScrollPosition(CWnd* pWnd, int nBar, int nPos, BOOL bRedraw)
{
    CWnd::ScrollState* s = ScrollOf(pWnd, nBar);
    if (!s)
        return;
    s->nPos = nPos;
    ClampPos(*s);
    if (bRedraw)
        pWnd->Invalidate();
}

int GetScrollPosition(CWnd* pWnd, int nBar)
{
    CWnd::ScrollState* s = ScrollOf(pWnd, nBar);
    return s ? s->nPos : 0;
}

BOOL IsFocusWithin(CWnd* pWnd)
{
    QWidget* focus = QApplication::focusWidget();
    if (!pWnd || !pWnd->m_hWnd || !focus)
        return FALSE;
    return focus == pWnd->m_hWnd || pWnd->m_hWnd->isAncestorOf(focus);
}

CWnd* ChildWindowFromScreenPoint(int x, int y, CWnd* pTop)
{
    QWidget* under = QApplication::widgetAt(x, y);
    if (!under || !pTop || !pTop->m_hWnd)
        return nullptr;
    if (under != pTop->m_hWnd && !pTop->m_hWnd->isAncestorOf(under))
        return nullptr;
    CWnd* wnd = CWnd::FromHandle(under);
    CPoint pt(x, y);
    wnd->ScreenToClient(&pt);
    CWnd* child = wnd->ChildWindowFromPoint(pt, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    return child ? child : wnd;
}

void GetChildRectInParent(RECT* pOut, CWnd* pParent, CWnd* pChild)
{
    CRect r;
    if (pParent && pChild) {
        pChild->GetWindowRect(&r);
        pParent->ScreenToClient(&r);
    }
    *pOut = r;
}

void GetDlgItemRectInParent(RECT* pOut, CWnd* pDlg, int nID)
{
    CWnd* item = pDlg ? pDlg->GetDlgItem(nID) : nullptr;
    if (!item) {
        *pOut = CRect();
        return;
    }
    GetChildRectInParent(pOut, pDlg, item);
}

BOOL HasEditSelection(CEdit* pEdit)
{
    if (!pEdit || !pEdit->m_hWnd)
        return FALSE;
    int start = 0, end = 0;
    pEdit->GetSel(start, end);
    return start != end;
}

BOOL CanCutEditSelection(CEdit* pEdit)
{
    return HasEditSelection(pEdit) && !(pEdit->GetStyle() & ES_READONLY);
}

BOOL ClipboardHasText(CWnd* pWnd)
{
    if (!pWnd)
        return FALSE;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

BOOL WaitMouseHold(DWORD ms)
{
    const QPoint start = QCursor::pos();
    const QRect box(start.x() - 2, start.y() - 2, 5, 5);
    QDeadlineTimer deadline(ms);
    if (deadline.hasExpired())
        return TRUE;
    ReleaseCatcher catcher;
    qApp->installEventFilter(&catcher);
    BOOL held = TRUE;
    while (!deadline.hasExpired()) {
        if (!box.contains(QCursor::pos())) {
            held = FALSE;
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (catcher.caught) {
            held = FALSE;
            break;
        }
    }
    qApp->removeEventFilter(&catcher);
    // The release goes back to its window.
    if (catcher.caught && catcher.target)
        QCoreApplication::postEvent(catcher.target, catcher.copy.release());
    return held;
}

CTimerPause::CTimerPause(CWnd* pWnd, UINT_PTR nTimerId, UINT nPeriodMs) : m_pWnd(pWnd), m_nId(nTimerId), m_nPeriod(nPeriodMs)
{
    if (m_pWnd)
        m_pWnd->KillTimer(m_nId);
}

CTimerPause::~CTimerPause()
{
    if (m_pWnd && m_pWnd->m_hWnd)
        m_pWnd->SetTimer(m_nId, m_nPeriod);
}

void OffsetDlgItems(CWnd* pDlg, const std::vector<UINT>& ids, int dx, int dy)
{
    if (!pDlg || (dx == 0 && dy == 0))
        return;
    for (UINT id : ids) {
        CWnd* item = pDlg->GetDlgItem(int(id));
        if (!item)
            continue;
        CRect r;
        GetChildRectInParent(&r, pDlg, item);
        r.OffsetRect(dx, dy);
        item->MoveWindow(r, TRUE);
    }
}
