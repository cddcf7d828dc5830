#include "platform/framework/dialog.h"

#include "platform/exceptions.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/tree_ctrl.h"
#include "platform/framework/wnd_bridge.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <map>

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnIdOk)
    ON_COMMAND(IDCANCEL, &CDialog::OnIdCancel)
END_MESSAGE_MAP()

namespace {

std::map<UINT, DlgTemplate>& Templates()
{
    static std::map<UINT, DlgTemplate> t;
    return t;
}

CDialog::ModalObserver& Observer()
{
    static CDialog::ModalObserver o;
    return o;
}

// The wrapper class a dialog item of a window class gets.
CWnd* MakeWrapper(const std::string& className)
{
    if (className == "BUTTON")
        return new CButton;
    if (className == "STATIC")
        return new CStatic;
    if (className == "EDIT")
        return new CEdit;
    if (className == "COMBOBOX")
        return new CComboBox;
    if (className == "LISTBOX")
        return new CListBox;
    if (className == "msctls_progress32")
        return new CProgressCtrl;
    if (className == "SysTabControl32")
        return new CTabCtrl;
    if (className == "msctls_trackbar32")
        return new CSliderCtrl;
    if (className == "msctls_updown32")
        return new CSpinButtonCtrl;
    if (className == "SysTreeView32")
        return new CTreeCtrl;
    return new CWnd;
}

} // namespace

void RegisterDialogTemplate(UINT nID, DlgTemplate tmpl) { Templates()[nID] = std::move(tmpl); }

const DlgTemplate* FindDialogTemplate(UINT nID)
{
    auto it = Templates().find(nID);
    return it == Templates().end() ? nullptr : &it->second;
}

CRect MapDialogRect(const CRect& r)
{
    // Base units of the dialog font: 6 pixels per average character, 13 per line.
    constexpr int bx = 6, by = 13;
    return CRect(r.left * bx / 4, r.top * by / 8, r.right * bx / 4, r.bottom * by / 8);
}

// ---------------------------------------------------------------------------

CWnd* CDataExchange::PrepareCtrl(int nIDC)
{
    m_idLastControl = nIDC;
    return m_pDlgWnd->GetDlgItem(nIDC);
}

void CDataExchange::Fail()
{
    if (CWnd* c = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
        c->SetFocus();
        if (auto* e = dynamic_cast<CEdit*>(c))
            e->SetSel(0, -1);
    }
    throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    CWnd* c = pDX->PrepareEditCtrl(nIDC);
    if (!c)
        return;
    if (pDX->m_bSaveAndValidate)
        value = c->GetWindowText();
    else
        c->SetWindowText(value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    CWnd* c = pDX->PrepareEditCtrl(nIDC);
    if (!c)
        return;
    if (!pDX->m_bSaveAndValidate) {
        c->SetWindowText(std::to_string(value));
        return;
    }
    std::string text = c->GetWindowText();
    try {
        size_t used = 0;
        long long v = std::stoll(text, &used);
        while (used < text.size() && text[used] == ' ')
            ++used;
        if (used != text.size() || v < INT32_MIN || v > INT32_MAX)
            throw std::invalid_argument("not a number");
        value = int(v);
    } catch (const std::exception&) {
        AfxMessageBox("Please enter an integer.", MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    auto* b = dynamic_cast<CButton*>(pDX->PrepareCtrl(nIDC));
    if (!b)
        return;
    if (pDX->m_bSaveAndValidate)
        value = b->GetCheck();
    else
        b->SetCheck(value);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    // The group runs from nIDC through the following radio buttons.
    CWnd* first = pDX->PrepareCtrl(nIDC);
    if (!first)
        return;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    for (CWnd* w = first; w; w = w->GetWindow(GW_HWNDNEXT)) {
        auto* b = dynamic_cast<CButton*>(w);
        UINT type = b ? (b->GetButtonStyle() & BS_TYPEMASK) : 0;
        if (!b || (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON))
            break;
        if (w != first && (w->GetStyle() & WS_GROUP))
            break;
        if (pDX->m_bSaveAndValidate) {
            if (b->GetCheck() == BST_CHECKED)
                value = index;
        } else {
            b->SetCheck(index == value ? BST_CHECKED : BST_UNCHECKED);
        }
        ++index;
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    auto* c = dynamic_cast<CComboBox*>(pDX->PrepareCtrl(nIDC));
    if (!c)
        return;
    if (pDX->m_bSaveAndValidate)
        index = c->GetCurSel();
    else
        c->SetCurSel(index);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    rControl.SubclassDlgItem(UINT(nIDC), pDX->m_pDlgWnd);
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars)
{
    if (!pDX->m_bSaveAndValidate) {
        if (auto* e = dynamic_cast<CEdit*>(pDX->m_pDlgWnd->GetDlgItem(pDX->m_idLastControl)))
            e->LimitText(nChars);
        return;
    }
    if (int(QString::fromStdString(value).size()) > nChars) {
        AfxMessageBox("Enter no more than " + std::to_string(nChars) + " characters.", MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal)) {
        AfxMessageBox("Enter an integer between " + std::to_string(minVal) + " and " + std::to_string(maxVal) + ".",
                      MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

// ---------------------------------------------------------------------------

void CDialog::SetModalObserver(ModalObserver observer) { Observer() = std::move(observer); }

CDialog::CDialog() { m_crDefaultBack = GetSysColor(COLOR_3DFACE); }

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd)
{
    m_crDefaultBack = GetSysColor(COLOR_3DFACE);
}

CDialog::~CDialog()
{
    if (m_pLoop)
        m_pLoop->exit(IDCANCEL);
}

BOOL CDialog::CreateFromTemplate(const DlgTemplate& tmpl, CWnd* pParent)
{
    CRect px = MapDialogRect(tmpl.rect);
    // A modeless dialog may be a child window (a page inside a pane); a modal one never is.
    DWORD style = tmpl.style & ~(m_bModal ? WS_CHILD | WS_VISIBLE : WS_VISIBLE);
    if (!CreateEx(tmpl.exStyle, "#32770", tmpl.title, style, CRect(0, 0, px.Width(), px.Height()), pParent, 0))
        return FALSE;
    // The template gives the client area: a caption and frame that the
    // program draws itself come on top of it, not out of it.
    const CRect ins = GetNonClientInsets();
    if (ins.left || ins.top || ins.right || ins.bottom)
        MoveWindow(0, 0, px.Width() + ins.left + ins.right, px.Height() + ins.top + ins.bottom, FALSE);
    QFont font = GetNonClientMetrics().lfMessageFont;
    if (!tmpl.faceName.empty())
        font.setFamily(QString::fromStdString(tmpl.faceName));
    font.setPointSize(tmpl.pointSize > 0 ? tmpl.pointSize : 9);
    SetFont(font, FALSE);
    for (const DlgItemTemplate& item : tmpl.items) {
        QWidget* w = CreateControlWidget(item.className, item.style, m_hWnd);
        CWnd* wrapper = MakeWrapper(item.className);
        wrapper->Attach(w);
        wrapper->SetDlgCtrlID(int(item.id));
        wrapper->SetFont(font, FALSE);
        wrapper->SetupOwnedItem(item.style, item.exStyle, item.text);
        wrapper->MoveWindow(MapDialogRect(item.rect), FALSE);
        if (item.style & WS_DISABLED)
            w->setEnabled(false);
        if (item.style & WS_VISIBLE)
            w->show();
        else
            w->hide();
    }
    return TRUE;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDHelp = nIDTemplate;
    m_pParentWnd = pParentWnd;
    const DlgTemplate* tmpl = FindDialogTemplate(nIDTemplate);
    if (!tmpl || !CreateFromTemplate(*tmpl, pParentWnd))
        return FALSE;
    // A modeless pop-up's template place counts from its owner's client area,
    // not from the corner of the screen.
    if (!(tmpl->style & WS_CHILD) && pParentWnd && pParentWnd->m_hWnd) {
        CPoint origin(0, 0);
        pParentWnd->ClientToScreen(&origin);
        const CRect at = MapDialogRect(tmpl->rect);
        CRect window;
        GetWindowRect(&window);
        MoveWindow(origin.x + at.left, origin.y + at.top, window.Width(), window.Height(), FALSE);
    }
    if (!OnInitDialog()) {
        // Returning FALSE means the dialog set the focus itself.
    }
    if (tmpl->style & WS_VISIBLE)
        ShowWindow(SW_SHOW);
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    const DlgTemplate* tmpl = FindDialogTemplate(m_nIDHelp);
    if (!tmpl)
        return -1;
    CWnd* parent = m_pParentWnd ? m_pParentWnd : CWnd::GetActiveWindow();
    if (parent)
        parent = parent->GetTopLevelParent();
    m_bModal = TRUE;
    m_nModalResult = -1;
    if (!CreateFromTemplate(*tmpl, parent)) {
        m_bModal = FALSE;
        return -1;
    }
    QPointer<QWidget> self = m_hWnd;
    m_hWnd->setWindowModality(Qt::ApplicationModal);
    OnInitDialog();
    if (m_nModalResult == -1 && self) {
        CenterWindow();
        ShowWindow(SW_SHOW);
        QEventLoop loop;
        m_pLoop = &loop;
        if (Observer()) {
            QTimer::singleShot(0, &loop, [this, self]() {
                if (self && Observer())
                    Observer()(this);
            });
        }
        if (m_nModalResult == -1)
            loop.exec();
        m_pLoop = nullptr;
    }
    if (self && IsWindow(self))
        DestroyWindow();
    m_bModal = FALSE;
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    if (m_bModal) {
        if (m_hWnd)
            m_hWnd->hide();
        if (m_pLoop)
            m_pLoop->exit(nResult);
    } else {
        DestroyWindow();
    }
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnClose() { SendMessage(WM_COMMAND, IDCANCEL, 0); }

void CDialog::PostNcDestroy()
{
    if (m_pLoop)
        m_pLoop->exit(m_nModalResult == -1 ? IDCANCEL : m_nModalResult);
    CWnd::PostNcDestroy();
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_ESCAPE) {
            PostMessage(WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        }
        if (pMsg->wParam == VK_RETURN) {
            // Enter in a multi-line edit stays there.
            CWnd* focus = GetFocus();
            if (focus && (focus->GetStyle() & ES_MULTILINE) && dynamic_cast<CEdit*>(focus))
                return FALSE;
            PostMessage(WM_COMMAND, IDOK, 0);
            return TRUE;
        }
    }
    return CWnd::PreTranslateMessage(pMsg);
}

void CDialog::SetDlgItemText(int nID, const std::string& text)
{
    if (CWnd* c = GetDlgItem(nID))
        c->SetWindowText(text);
}

std::string CDialog::GetDlgItemText(int nID) const
{
    CWnd* c = GetDlgItem(nID);
    return c ? c->GetWindowText() : std::string();
}

void CDialog::CheckDlgButton(int nID, UINT nCheck)
{
    if (auto* b = dynamic_cast<CButton*>(GetDlgItem(nID)))
        b->SetCheck(int(nCheck));
}

void CDialog::CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck)
{
    for (int id = nIDFirst; id <= nIDLast; ++id)
        CheckDlgButton(id, id == nIDCheck ? BST_CHECKED : BST_UNCHECKED);
}

UINT CDialog::IsDlgButtonChecked(int nID) const
{
    auto* b = dynamic_cast<CButton*>(GetDlgItem(nID));
    return b ? UINT(b->GetCheck()) : 0;
}
