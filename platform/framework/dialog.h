#pragma once

#include "platform/framework/wnd.h"

#include <functional>
#include <string>
#include <vector>

// A dialog layout, built in code under the template id the classes use.
// Coordinates are dialog units (4 per average character width, 8 per line).
struct DlgItemTemplate {
    std::string className; // "BUTTON", "STATIC", "EDIT", "COMBOBOX", "LISTBOX", "msctls_progress32", ...
    std::string text;
    UINT id = 0;
    DWORD style = WS_CHILD | WS_VISIBLE;
    CRect rect;
    DWORD exStyle = 0;
};

struct DlgTemplate {
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    DWORD exStyle = 0;
    CRect rect;
    std::string title;
    int pointSize = 9;
    std::string faceName;
    std::vector<DlgItemTemplate> items;
};

void RegisterDialogTemplate(UINT nID, DlgTemplate tmpl);
const DlgTemplate* FindDialogTemplate(UINT nID);
// Dialog units to pixels.
CRect MapDialogRect(const CRect& dlu);

class CDialog;

// Carries values between a dialog's controls and its members.
class CDataExchange {
public:
    CDataExchange(CDialog* pDlg, BOOL bSaveAndValidate) : m_pDlgWnd(pDlg), m_bSaveAndValidate(bSaveAndValidate) {}
    // Remembers the control a failing check should focus.
    CWnd* PrepareCtrl(int nIDC);
    CWnd* PrepareEditCtrl(int nIDC) { return PrepareCtrl(nIDC); }
    // Stops the exchange: focuses the last control and throws CUserException.
    [[noreturn]] void Fail();

    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    int m_idLastControl = 0;
};

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);

// A dialog, modal (DoModal returns the code EndDialog gave) or modeless (Create).
class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
    DECLARE_MESSAGE_MAP()
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX) {}
    // Dialog item helpers.
    void SetDlgItemText(int nID, const std::string& text);
    std::string GetDlgItemText(int nID) const;
    void CheckDlgButton(int nID, UINT nCheck);
    // Checks nIDCheck and unchecks the other buttons of the id range.
    void CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck);
    UINT IsDlgButtonChecked(int nID) const;

    // Called once each modal dialog is up and running its loop (tests answer
    // dialogs through it); nullptr removes it.
    using ModalObserver = std::function<void(CDialog*)>;
    static void SetModalObserver(ModalObserver observer);

    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

protected:
    BOOL CreateFromTemplate(const DlgTemplate& tmpl, CWnd* pParent);
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnClose() override;
    void PostNcDestroy() override;
    void OnIdOk() { OnOK(); }
    void OnIdCancel() { OnCancel(); }

    BOOL m_bModal = FALSE;
    int m_nModalResult = -1;
    class QEventLoop* m_pLoop = nullptr;
};

enum : int { IDC_STATIC = -1 };
