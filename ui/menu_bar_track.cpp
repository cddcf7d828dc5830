#include "ui/menu_bar_track.h"

#include "platform/framework/wnd_defs.h"

void CMenuBarTracker::SetTrackingState(int nState, int nIndex)
{
    if (m_nTrackState == kHot && nState != kHot)
        m_bAltSeenInPopup = FALSE;
    m_nTrackState = nState;
    if (m_nCurIndex >= 0 && m_nCurIndex < int(m_items.size())) {
        m_items[size_t(m_nCurIndex)]->m_state &= BYTE(~(MBS_HOT | MBS_PRESSED));
        m_dirty.push_back(m_nCurIndex);
    }
    m_nCurIndex = -1;
    if (nState != kNone && nIndex >= 0 && nIndex < int(m_items.size())) {
        m_nCurIndex = nIndex;
        BYTE& st = m_items[size_t(nIndex)]->m_state;
        st &= BYTE(~(MBS_HOT | MBS_PRESSED));
        st |= nState == kPopup ? MBS_PRESSED : MBS_HOT;
        m_dirty.push_back(nIndex);
    }
    m_bCanGoLeft = m_bCanGoRight = TRUE;
}

int CMenuBarTracker::FindNextItem(int nFrom, BOOL bBackwards) const
{
    const int n = int(m_items.size());
    if (n == 0)
        return -1;
    int i = nFrom;
    // At most one full turn: a bar where nothing can take the selection gives -1.
    for (int step = 0; step < n; ++step) {
        i = bBackwards ? (i <= 0 ? n - 1 : i - 1) : (i + 1 >= n ? 0 : i + 1);
        if (m_items[size_t(i)]->IsSelectable())
            return i;
    }
    return -1;
}

int CMenuBarTracker::HitTest(CPoint pt) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if ((m_items[i]->m_kind & MBK_HITTEST) && m_items[i]->m_rect.PtInRect(pt))
            return int(i);
    return -1;
}

MenuBarStep CMenuBarTracker::Open(int nIndex)
{
    MenuBarStep s;
    s.eaten = TRUE;
    if (nIndex >= 0) {
        s.action = MenuBarAction::OpenPopup;
        s.index = nIndex;
    }
    return s;
}

MenuBarStep CMenuBarTracker::TranslateFrameMessage(UINT message, UINT vk, BOOL alt, BOOL shift, BOOL ctrl, BOOL toBar)
{
    MenuBarStep pass;
    if (message >= WM_LBUTTONDOWN && message <= WM_MOUSEWHEEL) {
        if (!toBar && m_nTrackState != kNone)
            SetTrackingState(kNone);
        return pass;
    }
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN && message != WM_SYSKEYUP)
        return pass;
    vk &= 0xFF;

    const bool menuKey = vk == VK_MENU || (vk == VK_F10 && !shift && !ctrl && !alt);
    if (menuKey) {
        MenuBarStep eaten;
        eaten.eaten = TRUE;
        if (message != WM_SYSKEYUP)
            return eaten;
        if (m_nTrackState == kNone) {
            if (m_bAltSeenInPopup)
                m_bAltSeenInPopup = FALSE; // the Alt that closed a popup selects nothing
            else if (int first = FindNextItem(-1, FALSE); first >= 0)
                SetTrackingState(kSelected, first);
        } else if (m_nTrackState == kSelected) {
            SetTrackingState(kNone);
        }
        return eaten;
    }
    if (message == WM_SYSKEYUP)
        return pass;

    if (m_nTrackState == kSelected && vk >= VK_ESCAPE && vk <= VK_DOWN) {
        MenuBarStep eaten;
        eaten.eaten = TRUE;
        switch (vk) {
        case VK_ESCAPE: SetTrackingState(kNone); return eaten;
        case VK_SPACE: return Open(m_nCurIndex);
        case VK_UP:
        case VK_DOWN:
            if (m_bHorzDocked)
                return Open(m_nCurIndex);
            SetTrackingState(kSelected, FindNextItem(m_nCurIndex, vk == VK_UP));
            return eaten;
        case VK_LEFT:
        case VK_RIGHT:
            if (!m_bHorzDocked)
                return Open(m_nCurIndex);
            SetTrackingState(kSelected, FindNextItem(m_nCurIndex, vk == VK_LEFT));
            return eaten;
        default: break;
        }
    }

    // Key codes, not characters: letters are 'A'-'Z' and digits '0'-'9';
    // F1 to F11 (0x70-0x7A) would read as 'p' to 'z'.
    const bool letterOrDigit = (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9');
    if ((alt || m_nTrackState == kSelected) && letterOrDigit) {
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i]->m_mnemonic != 0 && m_items[i]->m_mnemonic == vk) {
                SetTrackingState(kNone);
                return Open(int(i));
            }
        }
        if (m_nTrackState == kSelected && !alt) {
            MenuBarStep eaten;
            eaten.eaten = TRUE;
            return eaten;
        }
    }

    if (m_nTrackState == kSelected || m_nTrackState == kPopup)
        SetTrackingState(kNone);
    return pass;
}

MenuBarStep CMenuBarTracker::OnMenuInput(UINT message, UINT vk, CPoint pt)
{
    MenuBarStep s;
    switch (message) {
    case WM_MOUSEMOVE: {
        if (pt == m_ptLastMouse)
            return s;
        m_ptLastMouse = pt;
        const int hit = HitTest(pt);
        if (hit >= 0 && hit != m_nCurIndex && m_items[size_t(hit)]->IsSelectable()) {
            SetTrackingState(kNone);
            m_nCurIndex = hit;
            m_bReopen = TRUE;
            s.action = MenuBarAction::ClosePopup;
            s.index = hit;
        }
        return s;
    }
    case WM_KEYDOWN: {
        if (!m_bHorzDocked)
            return s;
        const bool left = vk == VK_LEFT && m_bCanGoLeft;
        const bool right = vk == VK_RIGHT && m_bCanGoRight;
        if (!left && !right)
            return s;
        const int next = FindNextItem(m_nCurIndex, left);
        if (next < 0)
            return s;
        SetTrackingState(kNone);
        m_nCurIndex = next;
        m_bReopen = TRUE;
        s.eaten = TRUE;
        s.action = MenuBarAction::ClosePopup;
        s.index = next;
        return s;
    }
    case WM_SYSKEYDOWN:
        m_bAltSeenInPopup = TRUE;
        // Alt ends the popup, as the system's menu loop does.
        if ((vk & 0xFF) == VK_MENU)
            s.action = MenuBarAction::ClosePopup;
        return s;
    case WM_LBUTTONDOWN:
        if (m_nCurIndex >= 0 && HitTest(pt) == m_nCurIndex) {
            const int cur = m_nCurIndex;
            SetTrackingState(kSelected, cur);
            m_bReopen = FALSE;
            s.eaten = TRUE;
            s.action = MenuBarAction::ClosePopup;
            s.index = cur;
        }
        return s;
    default: return s;
    }
}

void CMenuBarTracker::OnMenuSelect(BOOL bOpensSubmenu, BOOL bInCascade)
{
    m_bCanGoRight = !bOpensSubmenu;
    m_bCanGoLeft = !bInCascade;
}

void CMenuBarTracker::BeginLoop(int nIndex)
{
    m_nCurIndex = nIndex;
    m_bReopen = TRUE;
}

void CMenuBarTracker::BeginPopup()
{
    SetTrackingState(kPopup, m_nCurIndex);
    m_bReopen = FALSE;
    m_nTrackState = kPopup;
}

void CMenuBarTracker::EndLoop()
{
    if (m_nTrackState != kSelected)
        SetTrackingState(kNone);
}
