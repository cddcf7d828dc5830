#include "message/ano_editor.h"

#include "ui/edit_util.h"
#include "ui/ui_services.h"
#include "platform/framework/win_app.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

IMPLEMENT_DYNAMIC(CAnoEditor, CDialogEx)
IMPLEMENT_DYNAMIC(CTextAnoEditor, CAnoEditor)

BEGIN_MESSAGE_MAP(CAnoEditor, CDialogEx)
    ON_BN_CLICKED(IDC_ANO_ADD, &CAnoEditor::OnAdd)
    ON_BN_CLICKED(IDC_ANO_CLEAR, &CAnoEditor::OnClear)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CTextAnoEditor, CAnoEditor)
    ON_EN_CHANGE(IDC_ANO_TEXT, &CTextAnoEditor::OnEditChange)
END_MESSAGE_MAP()

namespace {

constexpr int kMargin = 5;

// Shows the enable state a command-UI update decides, without a control of its own.
class CStateCmdUI : public CCmdUI {
public:
    explicit CStateCmdUI(UINT nID) { m_nID = nID; }
};

} // namespace

void RegisterAnoEditorTemplate(UINT nIDTemplate, const std::vector<std::pair<UINT, const char*>>& buttons,
                               std::vector<DlgItemTemplate> others)
{
    if (FindDialogTemplate(nIDTemplate))
        return;
    DlgTemplate t;
    t.style = WS_CHILD;
    t.rect = CRect(0, 0, 220, 80);
    int top = 4;
    for (const auto& [id, text] : buttons) {
        t.items.push_back({"BUTTON", text, id, WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(176, top, 216, top + 14)});
        top += 18;
    }
    for (DlgItemTemplate& item : others)
        t.items.push_back(std::move(item));
    RegisterDialogTemplate(nIDTemplate, std::move(t));
}

// ---------------------------------------------------------------------------

CAnoEditor::CAnoEditor(UINT nIDTemplate) : CDialogEx(nIDTemplate, nullptr) {}

BOOL CAnoEditor::Create(UINT nIDTemplate, CWnd* pParent) { return CDialog::Create(nIDTemplate, pParent); }

CWnd* CAnoEditor::GetFrame() const { return m_pFrame ? m_pFrame : AfxGetMainWnd(); }

BOOL CAnoEditor::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    const COLORREF face = GetSchemeSysColor(COLOR_BTNFACE);
    m_btnAdd.SetBackColor(face);
    m_btnClear.SetBackColor(face);
    return TRUE;
}

void CAnoEditor::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ANO_ADD, m_btnAdd);
    DDX_Control(pDX, IDC_ANO_CLEAR, m_btnClear);
}

BOOL CAnoEditor::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_ESCAPE)
            return TRUE;
        if (pMsg->wParam == VK_DELETE)
            DeleteSelection();
    }
    return CDialogEx::PreTranslateMessage(pMsg);
}

void CAnoEditor::OnSize(UINT nType, int cx, int cy)
{
    CDialogEx::OnSize(nType, cx, cy);
    RecalcLayout();
}

BOOL CAnoEditor::CanDoCommand(UINT nID)
{
    if (nID != ID_ADDANOTATION)
        return FALSE;
    return m_dwReadOnly == 0 && !GetContent().empty();
}

BOOL CAnoEditor::DoCommand(UINT) { return FALSE; }

BOOL CAnoEditor::AskFrame(UINT nID) const
{
    CWnd* frame = GetFrame();
    if (!frame)
        return FALSE;
    CStateCmdUI ui(nID);
    ui.DoUpdate(frame, TRUE);
    return ui.m_bEnabled;
}

void CAnoEditor::UpdateButtons()
{
    if (!m_hWnd)
        return;
    m_btnAdd.EnableWindow(AskFrame(ID_ADDANOTATION));
    m_btnClear.EnableWindow(AskFrame(ID_CLEARANOTATION));
}

void CAnoEditor::SetReadOnly(DWORD dwReadOnly)
{
    m_dwReadOnly = dwReadOnly;
    UpdateButtons();
}

void CAnoEditor::SetContent(const std::string& text) { m_strContent = text; }

std::string CAnoEditor::GetContent()
{
    if (m_hWnd)
        UpdateData(TRUE);
    return m_strContent;
}

void CAnoEditor::Reset()
{
    m_strContent.clear();
    if (m_hWnd)
        UpdateData(FALSE);
}

void CAnoEditor::PostToFrame(UINT nID)
{
    if (CWnd* frame = GetFrame())
        frame->PostMessage(WM_COMMAND, nID, 0);
}

void CAnoEditor::OnAdd() { PostToFrame(ID_ADDANOTATION); }

void CAnoEditor::OnClear() { PostToFrame(ID_CLEARANOTATION); }

// ---------------------------------------------------------------------------

CTextAnoEditor::CTextAnoEditor() : CAnoEditor(IDD_TEXT_ANO_EDITOR)
{
    RegisterAnoEditorTemplate(IDD_TEXT_ANO_EDITOR, {{IDC_ANO_ADD, "Add"}, {IDC_ANO_CLEAR, "Clear"}},
                              {{"EDIT", "", IDC_ANO_TEXT,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE,
                                CRect(4, 4, 170, 56)}});
}

void CTextAnoEditor::DoDataExchange(CDataExchange* pDX)
{
    CAnoEditor::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ANO_TEXT, m_edit);
    DDX_Text(pDX, IDC_ANO_TEXT, m_strContent);
}

BOOL CTextAnoEditor::CanDoCommand(UINT nID)
{
    const bool focused = m_edit.m_hWnd && CWnd::GetFocus() == &m_edit;
    int start = 0, end = 0;
    if (focused)
        m_edit.GetSel(start, end);
    const bool selection = start != end;
    switch (nID) {
    case ID_EDIT_COPY: return focused && selection;
    case ID_EDIT_CUT: return focused && selection && !(m_edit.GetStyle() & ES_READONLY);
    case ID_EDIT_PASTE: {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return focused && data && data->hasText();
    }
    case ID_EDIT_UNDO: return focused && m_edit.CanUndo();
    case ID_CLEARANOTATION:
    case ID_ADDANOTATION: return m_dwReadOnly == 0 && !GetContent().empty();
    default: return FALSE;
    }
}

BOOL CTextAnoEditor::DoCommand(UINT nID)
{
    switch (nID) {
    case ID_EDIT_COPY: m_edit.Copy(); return TRUE;
    case ID_EDIT_CUT: m_edit.Cut(); return TRUE;
    case ID_EDIT_PASTE: m_edit.Paste(); return TRUE;
    case ID_EDIT_UNDO: m_edit.Undo(); return TRUE;
    default: return FALSE;
    }
}

void CTextAnoEditor::RecalcLayout()
{
    if (!m_edit.m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    CRect add, clear;
    m_btnAdd.GetWindowRect(&add);
    m_btnClear.GetWindowRect(&clear);
    const int right = client.right - kMargin;
    const CRect addAt(right - add.Width(), kMargin, right, kMargin + add.Height());
    m_btnAdd.MoveWindow(addAt);
    m_btnClear.MoveWindow(CRect(right - clear.Width(), addAt.bottom + kMargin, right,
                                addAt.bottom + kMargin + clear.Height()));
    m_edit.MoveWindow(CRect(kMargin, kMargin, std::max<int>(kMargin, addAt.left - kMargin),
                            std::max<int>(kMargin, client.bottom - kMargin)));
}

int CTextAnoEditor::GetPreferredHeight()
{
    CRect add;
    m_btnAdd.GetWindowRect(&add);
    return add.Height() + 10;
}

void CTextAnoEditor::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CAnoEditor::OnShowWindow(bShow, nStatus);
    if (bShow)
        UpdateButtons();
}

void CTextAnoEditor::OnEditChange()
{
    // Counted in characters; a character's bytes are never split.
    LimitEditTextChars(&m_edit, kMaxChars);
    UpdateButtons();
}

void CTextAnoEditor::OnClear()
{
    m_edit.SetWindowText("");
    PostToFrame(ID_CLEARANOTATION);
    UpdateButtons();
}
