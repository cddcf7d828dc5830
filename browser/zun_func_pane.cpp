#include "browser/zun_func_pane.h"

#include "ui/ui_services.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"

#include <QPainter>
#include <QWidget>

IMPLEMENT_DYNCREATE(CZunFuncPane, CWnd)

BEGIN_MESSAGE_MAP(CZunFuncPane, CWnd)
END_MESSAGE_MAP()

namespace {

struct FuncButton {
    UINT id;
    const char* text;
    UINT icon;
    UINT tip;
    UINT command;
};
// In creation order.
constexpr FuncButton kButtons[] = {
    {IDC_FUNC_ANOTATION, "a", 129, 302, 302},
    {IDC_FUNC_WHITEBOARD, "w", 160, ID_FUNC_WHITEBOARD, ID_FUNC_WHITEBOARD},
    {IDC_FUNC_VIEWER, "v", 130, ID_FUNC_VIEWER, ID_FUNC_VIEWER},
    {IDC_FUNC_VALIDATION, "al", 4080, 185, ID_FUNC_VALIDATION},
};

const FuncButton* ButtonOf(UINT id)
{
    for (const FuncButton& b : kButtons)
        if (b.id == id)
            return &b;
    return nullptr;
}

} // namespace

CZunFuncPane::CZunFuncPane() = default;
CZunFuncPane::~CZunFuncPane() = default;

BOOL CZunFuncPane::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    if (!CWnd::Create(nullptr, "", dwStyle | WS_CHILD | WS_CLIPCHILDREN, rect, pParent, nID))
        return FALSE;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_ICON;
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const FuncButton& b = kButtons[i];
        if (!m_buttons[i].Create(b.text, style, CRect(0, 0, 10, 10), this, b.id, GetSchemeSysColor(12)))
            return FALSE;
        m_buttons[i].SetIcon(b.icon);
    }
    Layout();
    return TRUE;
}

void CZunFuncPane::Init(CFrameWnd* pFrame, UINT nDropFormat)
{
    m_pFrame = pFrame;
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i].SetDropFormat(nDropFormat);
        if (m_buttons[i].m_hWnd)
            m_buttons[i].m_hWnd->setToolTip(QString::fromStdString(LoadResString(kButtons[i].tip)));
    }
    Layout();
}

void CZunFuncPane::EnableButtons(BOOL a, BOOL w, BOOL v, BOOL al)
{
    const BOOL states[] = {a, w, v, al};
    for (size_t i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i].m_hWnd)
            m_buttons[i].EnableWindow(states[i]);
}

void CZunFuncPane::Layout()
{
    for (const CDropButton& b : m_buttons)
        if (!b.m_hWnd)
            return;
    CRect rc;
    GetClientRect(&rc);
    rc.DeflateRect(5, 5);
    // One button fills the pane; the other three stay for their commands' sake.
    m_buttons[0].MoveWindow(rc);
    for (size_t i = 1; i < m_buttons.size(); ++i)
        m_buttons[i].ShowWindow(SW_HIDE);
}

void CZunFuncPane::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    Layout();
}

void CZunFuncPane::OnPaint()
{
    CPaintDC dc(this);
    if (QPainter* p = dc.Painter()) {
        CRect rc;
        GetClientRect(&rc);
        const COLORREF c = GetSchemeSysColor(12);
        p->fillRect(QRect(0, 0, rc.Width(), rc.Height()), QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
}

void CZunFuncPane::SendToFrame(UINT nControlId)
{
    const FuncButton* b = ButtonOf(nControlId);
    CWnd* target = m_pFrame ? static_cast<CWnd*>(m_pFrame) : AfxGetMainWnd();
    if (b && target)
        target->SendMessage(WM_COMMAND, b->command, 0);
}

BOOL CZunFuncPane::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED && ButtonOf(LOWORD(wParam))) {
        SendToFrame(LOWORD(wParam));
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CZunFuncPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr || !ButtonOf(UINT(hdr->idFrom)))
        return CWnd::OnNotify(wParam, lParam, pResult);
    auto* n = reinterpret_cast<DropButtonNotify*>(lParam);
    switch (int(hdr->code)) {
    case CDropButton::NM_DROP:
        SendToFrame(UINT(hdr->idFrom));
        break;
    case CDropButton::NM_DRAGENTER:
    case CDropButton::NM_DRAGOVER:
    case CDropButton::NM_DRAGSCROLL:
        n->dwResult = DROPEFFECT_MOVE;
        break;
    default:
        return CWnd::OnNotify(wParam, lParam, pResult);
    }
    *pResult = 0;
    return TRUE;
}
