#pragma once

#include "platform/types.h"

#include <string>
#include <vector>

class CStatusBar;
class CWnd;

// Status-bar hints for the control under the mouse, one step on each tick
// of the owning frame's status timer.
class CHoverHelp {
public:
    // nPane: the pane that receives the hints; -1 writes no pane (the owner
    // writes its panes itself).
    CHoverHelp(CStatusBar* pStatusBar, int nPane);
    virtual ~CHoverHelp();

    void Enable() { m_bEnabled = TRUE; }
    void Disable() { m_bEnabled = FALSE; }
    BOOL IsEnabled() const { return m_bEnabled; }
    // The frame asks for a status text: the idle one lets the hints show
    // (TRUE: the frame shows no prompt of its own), any other one, a menu
    // entry's prompt, stops them so that the prompt stays.
    BOOL OnMessageString(UINT nID);

    // A later hint for the same id wins.
    void AddHint(UINT nID, const std::string& text);
    // Controls whose hint is their own window text.
    void AddWindowTextId(UINT nID);
    BOOL IsWindowTextId(UINT nID) const;
    BOOL FindHint(UINT nID, std::string& text) const;
    void SetPaneText(int nPane, const std::string& text);

    // One tick: the hint for the window under the cursor into the pane.
    void Update();
    // The hint as the pane shows it: the fixed text, else the hint of the
    // window (or toolbar button) under the cursor; empty when there is none.
    std::string CurrentHint() const;
    // What a status pane with its own text shows: the hint under the cursor
    // when there is one (blanks count as none), else its own text. FALSE,
    // and the pane is left as it is, while a menu's prompt holds it.
    BOOL PaneText(const std::string& own, std::string& shown) const;
    // The hint for a window (empty when it has none).
    std::string HintFor(CWnd* pWnd) const;
    // The text a pane shows: the first line of the first 255 bytes, never
    // ending inside a character.
    static std::string CutHint(const std::string& hint);

    // While not empty, shown instead of any hint.
    std::string m_strFixedText;

private:
    BOOL m_bEnabled = FALSE;
    CStatusBar* m_pStatusBar;
    int m_nPane;
    std::vector<std::string> m_hintTexts; // in step with m_hintIds
    std::vector<UINT> m_hintIds;
    std::vector<UINT> m_windowTextIds;
};
