#pragma once

#include "ui/menu_bar_item.h"

// What the bar does after a step of its tracking.
enum class MenuBarAction {
    None,
    OpenPopup,  // run the popup loop on the index
    ClosePopup, // close the popup that is open (the loop opens the next one when asked)
};

struct MenuBarStep {
    BOOL eaten = FALSE;
    MenuBarAction action = MenuBarAction::None;
    int index = -1;
};

// The menu bar's tracking as a pure state machine over its items: the marks
// (none, selected by keyboard, popup open, hot under the mouse), the keys of
// the frame, and the input of an open popup. The bar window applies the
// actions and repaints.
class CMenuBarTracker {
public:
    enum State { kNone = 0, kSelected = 1, kPopup = 2, kHot = 3 };

    explicit CMenuBarTracker(MenuBarItems& items) : m_items(items) {}

    // The one way the marks change.
    void SetTrackingState(int nState, int nIndex = -1);
    // The next (or previous) item that takes the selection, with wrap-around;
    // -1 when no item can take it.
    int FindNextItem(int nFrom, BOOL bBackwards) const;
    int HitTest(CPoint pt) const;

    // A message that reaches the frame. vk is the key of key messages; alt
    // tells that Alt is held (KF_ALTDOWN), shift and ctrl the other
    // modifiers; toBar that a mouse message is addressed to the bar.
    MenuBarStep TranslateFrameMessage(UINT message, UINT vk, BOOL alt, BOOL shift, BOOL ctrl, BOOL toBar);
    // Input of the open popup; pt in the bar's client coordinates.
    MenuBarStep OnMenuInput(UINT message, UINT vk, CPoint pt);
    // The highlight of the open popup moved: whether the entry opens a
    // cascade, and whether the highlight is inside a cascade (Left then
    // closes the cascade instead of switching menus).
    void OnMenuSelect(BOOL bOpensSubmenu, BOOL bInCascade);

    // The popup loop's steps: the start, and one popup about to open.
    void BeginLoop(int nIndex);
    void BeginPopup();
    // After the loop: the item stays selected when a click on it closed its
    // popup, else the marks go.
    void EndLoop();

    int m_nTrackState = kNone;
    int m_nCurIndex = -1;
    BOOL m_bReopen = FALSE;
    BOOL m_bAltSeenInPopup = FALSE;
    CPoint m_ptLastMouse{-1, -1};
    BOOL m_bCanGoRight = TRUE;
    BOOL m_bCanGoLeft = TRUE;
    BOOL m_bHorzDocked = TRUE; // docked at the top or bottom
    // Items whose marks changed since the caller last cleared this.
    std::vector<int> m_dirty;

private:
    MenuBarStep Open(int nIndex);
    MenuBarItems& m_items;
};
