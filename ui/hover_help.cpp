#include "ui/hover_help.h"

#include "util/string_util.h"
#include "ui/window_helpers.h"
#include "platform/framework/control_bar.h"
#include "platform/framework/frame_wnd.h"
#include "resources/string_table.h"

#include <QCursor>

CHoverHelp::CHoverHelp(CStatusBar* pStatusBar, int nPane) : m_pStatusBar(pStatusBar), m_nPane(nPane) {}

CHoverHelp::~CHoverHelp() = default;

void CHoverHelp::AddHint(UINT nID, const std::string& text)
{
    m_hintIds.insert(m_hintIds.begin(), nID);
    m_hintTexts.insert(m_hintTexts.begin(), text);
}

void CHoverHelp::AddWindowTextId(UINT nID) { m_windowTextIds.insert(m_windowTextIds.begin(), nID); }

BOOL CHoverHelp::IsWindowTextId(UINT nID) const
{
    for (UINT id : m_windowTextIds)
        if (id == nID)
            return TRUE;
    return FALSE;
}

BOOL CHoverHelp::FindHint(UINT nID, std::string& text) const
{
    for (size_t i = 0; i < m_hintIds.size(); ++i) {
        if (m_hintIds[i] == nID) {
            text = m_hintTexts[i];
            return TRUE;
        }
    }
    return FALSE;
}

void CHoverHelp::SetPaneText(int nPane, const std::string& text)
{
    if (m_pStatusBar && m_pStatusBar->m_hWnd)
        m_pStatusBar->SetPaneText(nPane, text, TRUE);
}

namespace {

// The command of the toolbar button under the cursor; 0 over none.
UINT ButtonUnderCursor(const CToolBar& bar)
{
    const QPoint c = QCursor::pos();
    CPoint point(c.x(), c.y());
    bar.ScreenToClient(&point);
    for (int i = 0; i < bar.GetCount(); ++i) {
        CRect rect;
        bar.GetItemRect(i, &rect);
        if (!(bar.GetButton(i).style & TBSTYLE_SEP) && rect.PtInRect(point))
            return bar.GetButton(i).id;
    }
    return 0;
}

} // namespace

std::string CHoverHelp::HintFor(CWnd* pWnd) const
{
    if (!pWnd)
        return {};
    UINT id = UINT(pWnd->GetDlgCtrlID());
    std::string hint;
    // A toolbar's buttons are no windows of their own: the button under the
    // cursor gives the hint its command has.
    if (const auto* bar = dynamic_cast<const CToolBar*>(pWnd); bar && ButtonUnderCursor(*bar))
        id = ButtonUnderCursor(*bar);
    else if (IsWindowTextId(id))
        return pWnd->GetWindowText();
    if (FindHint(id, hint))
        return hint;
    if (id >= 1000 && id <= 9999)
        return std::string(res::String(id));
    if (id > 0x8000 && id < 0xEF00)
        return std::string(res::PromptPart(id));
    return {};
}

std::string CHoverHelp::CutHint(const std::string& hint)
{
    // Whole characters only: a cut inside one would leave a broken byte sequence.
    size_t end = 0;
    while (end < hint.size()) {
        const size_t len = CharLenAt(hint, end);
        if (end + len > 255)
            break;
        end += len;
    }
    std::string out = hint.substr(0, end);
    if (size_t nl = out.find('\n'); nl != std::string::npos)
        out.resize(nl);
    return out;
}

BOOL CHoverHelp::OnMessageString(UINT nID)
{
    m_bEnabled = nID == CFrameWnd::kIdleMessageId;
    return m_bEnabled;
}

BOOL CHoverHelp::PaneText(const std::string& own, std::string& shown) const
{
    if (!m_bEnabled)
        return FALSE;
    const std::string hint = CurrentHint();
    shown = hint.find_first_not_of(' ') == std::string::npos ? own : hint;
    return TRUE;
}

std::string CHoverHelp::CurrentHint() const
{
    std::string hint = m_strFixedText;
    if (hint.empty()) {
        const QPoint c = QCursor::pos();
        // Windows of the bar's own frame: the message editor is not the main window.
        CWnd* under = ChildWindowFromScreenPoint(c.x(), c.y(), m_pStatusBar ? m_pStatusBar->GetTopLevelParent() : nullptr);
        if (under && under != m_pStatusBar)
            hint = HintFor(under);
    }
    return CutHint(hint);
}

void CHoverHelp::Update()
{
    if (!m_bEnabled || !m_pStatusBar)
        return;
    // Written only when it changes, so the bar is not redrawn on every tick;
    // compared as it is shown, so a long or two-line hint counts as unchanged too.
    const std::string hint = CurrentHint();
    if (!m_pStatusBar->m_hWnd || hint == m_pStatusBar->GetPaneText(0))
        return;
    if (m_nPane >= 0)
        SetPaneText(m_nPane, hint);
}
