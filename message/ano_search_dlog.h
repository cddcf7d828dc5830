#pragma once

#include "ui/button_ex.h"
#include "ui/dialog_ex.h"

#include <string>

enum : UINT {
    IDD_ANO_SEARCH = 183,
    IDC_ANO_SEARCH_CASE = 2708,
    IDC_ANO_SEARCH_WILDCARDS = 2709,
    IDC_ANO_SEARCH_UP = 2710,
    IDC_ANO_SEARCH_DOWN = 2711,
    IDC_ANO_SEARCH_NEXT = 2712,
    IDC_ANO_SEARCH_TEXT = 2741,
};

// The message editor's Comment Search: each Next (or Enter) takes the
// controls into the fields and posts ID_ANOFINDNEXT to the owner, which
// finds the next comment holding the text (the comment pane's FindNext with
// these fields). Quit and closing only hide it; the fields keep the last search.
class CAnoSearchDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    CAnoSearchDlog();

    BOOL Create(CWnd* pParent);
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // TRUE when Down is chosen.
    BOOL IsDown() const { return m_nDirection == 1; }

    std::string m_strSearchText;
    int m_bCaseSensitive = FALSE;
    // In the template but never shown; passed along, and changes nothing.
    int m_bWildcards = FALSE;
    int m_nDirection = 0; // 0 Up, 1 Down

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnClose() override;
    void OnNext();

private:
    CButtonEx m_btnNext;
    CButtonEx m_btnQuit;
};
