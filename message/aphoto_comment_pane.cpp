#include "message/aphoto_comment_pane.h"

#include "message/photo_content.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/win_app.h"
#include "platform/gdi/logfont.h"
#include "platform/shell.h"
#include "resources/string_table.h"
#include "ui/edit_util.h"
#include "ui/ui_services.h"
#include "ui/window_helpers.h"
#include "util/app_settings.h"
#include "util/draw_guards.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

IMPLEMENT_DYNAMIC(APhotoCommentPane, CDialog)

BEGIN_MESSAGE_MAP(APhotoCommentPane, CDialog)
    ON_BN_CLICKED(APhotoCommentPane::IDC_OPEN, &APhotoCommentPane::OnOpen)
    ON_BN_CLICKED(APhotoCommentPane::IDC_SAVE, &APhotoCommentPane::OnSave)
    ON_BN_CLICKED(APhotoCommentPane::IDC_DELETE, &APhotoCommentPane::OnDeleteButton)
    ON_BN_CLICKED(APhotoCommentPane::IDC_PRINT, &APhotoCommentPane::OnPrint)
    ON_BN_CLICKED(APhotoCommentPane::IDC_MAIL, &APhotoCommentPane::OnMail)
    ON_BN_CLICKED(APhotoCommentPane::IDC_QUIT, &APhotoCommentPane::OnQuit)
    ON_BN_CLICKED(APhotoCommentPane::IDC_SAVEWEB, &APhotoCommentPane::OnSaveWeb)
    ON_BN_CLICKED(APhotoCommentPane::IDC_WRITEFILE, &APhotoCommentPane::OnWriteFile)
    ON_BN_CLICKED(APhotoCommentPane::IDC_INFOLINK, &APhotoCommentPane::OnInfoLink)
    ON_BN_CLICKED(APhotoCommentPane::IDC_EDIT, &APhotoCommentPane::OnEditButton)
    ON_CONTROL(BN_KILLFOCUS, APhotoCommentPane::IDC_EDIT, &APhotoCommentPane::OnEditKillFocus)
    ON_COMMAND(APhotoCommentPane::ID_PREFERENCES_KEY, &APhotoCommentPane::OnPreferences)
    ON_EN_CHANGE(APhotoCommentPane::IDC_TITLE_EDIT, &APhotoCommentPane::OnTitleChange)
    ON_COMMAND(ID_STARTCOMMENTEDIT, &APhotoCommentPane::OnTreeStartEdit)
    ON_COMMAND(ID_ENDCOMMENTEDIT, &APhotoCommentPane::OnTreeEndEdit)
    ON_COMMAND(ID_COMMENTCHANGED, &APhotoCommentPane::OnTreeCommentChanged)
    ON_NOTIFY(CAPhotoTreeModel::kNotifySelChanged, IDC_COMMENTTREE, &APhotoCommentPane::OnTreeSelChanged)
    ON_NOTIFY(CAPhotoTreeModel::kNotifyClick, IDC_COMMENTTREE, &APhotoCommentPane::OnTreeClick)
    ON_NOTIFY(CAPhotoTreeModel::kNotifyDblClk, IDC_COMMENTTREE, &APhotoCommentPane::OnTreeDblClk)
    ON_NOTIFY(CAPhotoTreeModel::kNotifyRClick, IDC_COMMENTTREE, &APhotoCommentPane::OnTreeRClick)
    ON_NOTIFY(CAPhotoTreeModel::kNotifyKillFocus, IDC_COMMENTTREE, &APhotoCommentPane::OnTreeKillFocus)
END_MESSAGE_MAP()

namespace {

constexpr UINT kAccelTable = 129;
constexpr int kMargin = 10;
constexpr UINT kTitleFormat = 0x801; // centred, no prefix
enum : UINT { kCopy = ID_EDIT_COPY, kCut = ID_EDIT_CUT, kPaste = ID_EDIT_PASTE, kUndo = ID_EDIT_UNDO };

void RegisterPaneTemplate()
{
    static const bool once = [] {
        using P = APhotoCommentPane;
        DlgTemplate t;
        t.style = WS_CHILD;
        t.rect = CRect(0, 0, 242, 208);
        const DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
        t.items.push_back({"STATIC", "Title", P::IDC_TITLE_MARK, WS_CHILD, CRect(7, 3, 60, 12)});
        t.items.push_back({"EDIT", "", P::IDC_TITLE_EDIT, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                           CRect(7, 14, 140, 26)});
        t.items.push_back({"BUTTON", "Edit", P::IDC_EDIT, button | WS_DISABLED, CRect(7, 30, 57, 44)});
        const struct {
            UINT id;
            const char* text;
            DWORD extra;
        } column[] = {{P::IDC_OPEN, "Open", 0},
                      {P::IDC_SAVE, "Save", 0},
                      {P::IDC_SAVEWEB, "Save as Web Page", 0},
                      {P::IDC_WRITEFILE, "Write to File", 0},
                      {P::IDC_DELETE, "Delete", WS_DISABLED},
                      {P::IDC_PRINT, "Print", 0},
                      {P::IDC_MAIL, "Mail", 0},
                      {P::IDC_INFOLINK, "Info Link", 0},
                      {P::IDC_QUIT, "Quit", 0}};
        int y = 14;
        for (const auto& c : column) {
            t.items.push_back({"BUTTON", c.text, c.id, button | c.extra, CRect(150, y, 235, y + 14)});
            y += 17;
        }
        RegisterDialogTemplate(P::IDD, t);
        return true;
    }();
    (void)once;
}

} // namespace

APhotoCommentPane::APhotoCommentPane() : CDialog(IDD)
{
    RegisterPaneTemplate();
    m_default.m_logFont = DefaultCommentFont();
}

APhotoCommentPane::~APhotoCommentPane() { m_wave.Close(); }

BOOL APhotoCommentPane::Create(CWnd* pParent, UINT nID)
{
    if (!CDialog::Create(IDD, pParent))
        return FALSE;
    SetDlgCtrlID(int(nID));
    if (!m_tree.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | 0x109, CRect(0, 0, 10, 10), this, IDC_COMMENTTREE))
        return FALSE;
    m_tree.SetEditExemptWindow(&m_btnEdit);
    m_tree.SetShowCaption(GetAppSettings().m_bShowDateTime);
    m_tree.SetHoverTracking(m_bHoverTracking);
    CRect client;
    GetClientRect(&client);
    OnSize(SIZE_RESTORED, client.Width(), client.Height());
    return TRUE;
}

void APhotoCommentPane::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TITLE_EDIT, m_wndTitle);
    DDX_Text(pDX, IDC_TITLE_EDIT, m_strTitle);
    DDX_Control(pDX, IDC_OPEN, m_btnOpen);
    DDX_Control(pDX, IDC_SAVE, m_btnSave);
    DDX_Control(pDX, IDC_DELETE, m_btnDelete);
    DDX_Control(pDX, IDC_EDIT, m_btnEdit);
    DDX_Control(pDX, IDC_PRINT, m_btnPrint);
    DDX_Control(pDX, IDC_MAIL, m_btnMail);
    DDX_Control(pDX, IDC_INFOLINK, m_btnInfoLink);
    DDX_Control(pDX, IDC_QUIT, m_btnQuit);
    DDX_Control(pDX, IDC_SAVEWEB, m_btnSaveWeb);
    DDX_Control(pDX, IDC_WRITEFILE, m_btnWriteFile);
}

BOOL APhotoCommentPane::OnInitDialog()
{
    CDialog::OnInitDialog();
    UpdateData(FALSE);
    const COLORREF pane = GetSchemeSysColor(12);
    for (CButtonEx* b : {&m_btnOpen, &m_btnSave, &m_btnDelete, &m_btnPrint, &m_btnMail, &m_btnInfoLink, &m_btnQuit,
                         &m_btnSaveWeb, &m_btnWriteFile})
        b->SetBackColor(pane);
    m_btnEdit.SetBackColor(GetSchemeSysColor(15));
    m_accel.Load(GetParent(), kAccelTable);
    UpdateButtons();
    return TRUE;
}

CButtonEx& APhotoCommentPane::GetButton(UINT nID)
{
    switch (nID) {
    case IDC_OPEN: return m_btnOpen;
    case IDC_SAVE: return m_btnSave;
    case IDC_DELETE: return m_btnDelete;
    case IDC_EDIT: return m_btnEdit;
    case IDC_PRINT: return m_btnPrint;
    case IDC_MAIL: return m_btnMail;
    case IDC_INFOLINK: return m_btnInfoLink;
    case IDC_QUIT: return m_btnQuit;
    case IDC_SAVEWEB: return m_btnSaveWeb;
    default: return m_btnWriteFile;
    }
}

// ---- state

void APhotoCommentPane::Attach(CWnd* pTarget)
{
    m_strTitle.clear();
    m_pTarget = pTarget;
    m_tree.SetCommandTarget(pTarget);
    m_tree.DeleteAllNodes();
    UpdateData(FALSE);
    UpdateButtons();
}

void APhotoCommentPane::SetOpen(BOOL bOpen)
{
    m_bOpen = bOpen;
    UpdateButtons();
}

void APhotoCommentPane::SetReadOnly(BOOL bReadOnly)
{
    m_bReadOnly = bReadOnly;
    m_tree.SetReadOnly(bReadOnly);
    UpdateButtons();
}

void APhotoCommentPane::SetLocked(BOOL bLocked)
{
    m_bLocked = bLocked;
    if (bLocked) {
        m_bReadOnly = TRUE;
        m_tree.SetReadOnly(TRUE);
    }
    UpdateButtons();
}

void APhotoCommentPane::ApplyShowDateTime()
{
    m_tree.SetShowCaption(GetAppSettings().m_bShowDateTime);
    UpdateButtons();
}

void APhotoCommentPane::SetHoverTracking(BOOL bTrack)
{
    m_bHoverTracking = bTrack;
    m_tree.SetHoverTracking(bTrack);
}

std::string APhotoCommentPane::GetTitle()
{
    if (m_hWnd)
        UpdateData(TRUE);
    return m_strTitle;
}

void APhotoCommentPane::SetTitle(const std::string& title)
{
    m_strTitle = title;
    if (m_hWnd)
        UpdateData(FALSE);
}

void APhotoCommentPane::GetMinTrackSize(MINMAXINFO* pInfo) const
{
    CRect open, edit;
    const_cast<CButtonEx&>(m_btnOpen).GetWindowRect(&open);
    const_cast<CButtonEx&>(m_btnEdit).GetWindowRect(&edit);
    pInfo->ptMinTrackSize.x = open.Width() + edit.Width() + 40;
    pInfo->ptMinTrackSize.y = 0;
}

CWnd* APhotoCommentPane::Target() const { return m_pTarget ? m_pTarget : AfxGetMainWnd(); }

void APhotoCommentPane::PostToTarget(UINT nID)
{
    if (CWnd* target = Target(); target && target->m_hWnd)
        target->PostMessage(WM_COMMAND, MAKEWPARAM(nID, 0), 0);
}

void APhotoCommentPane::SendToTarget(UINT nID)
{
    if (CWnd* target = Target(); target && target->m_hWnd)
        target->SendMessage(WM_COMMAND, MAKEWPARAM(nID, 0), 0);
}

// ---- comments

int APhotoCommentPane::AddComment(const CAnoRecord& record)
{
    const int parent = m_tree.GetSelectedCount() == 1 ? m_tree.GetFirstSelected() : 0;
    return m_tree.InsertNode(record, parent);
}

BOOL APhotoCommentPane::DeleteSelectedComments()
{
    const int first = m_tree.GetFirstSelected();
    if (!first)
        return FALSE;
    const UINT question = m_tree.GetChildItem(first) ? IDS_DELETE_NESTED : IDS_DELETE_COMMENT;
    if (AfxMessageBox(question, MB_OKCANCEL) != IDOK) {
        m_tree.SetFocus();
        return FALSE;
    }
    std::vector<int> items;
    m_tree.CollectSelectedItems(items);
    for (int item : items) {
        CAnoRecord record = m_tree.GetRecord(item);
        record.m_area.m_rect.SetRectEmpty();
        m_tree.SetNodeRecord(item, record, FALSE);
    }
    m_tree.DeleteSelectedNodes();
    UpdateButtons();
    return TRUE;
}

const CAnoRecord& APhotoCommentPane::GetCurrentRecord() const
{
    const int current = m_tree.GetCurrent();
    return current ? m_tree.GetRecord(current) : m_default;
}

void APhotoCommentPane::SetCurrentRecord(const CAnoRecord& record)
{
    if (const int current = m_tree.GetCurrent()) {
        m_tree.SetNodeRecord(current, record, TRUE);
        m_tree.Invalidate();
    }
}

BOOL APhotoCommentPane::LoadRecords(const CAPhotoContent& content)
{
    const BOOL loaded = m_tree.LoadRecords(content);
    UpdateButtons();
    return loaded;
}

void APhotoCommentPane::ClearSelection(BOOL bNotify)
{
    m_tree.SetSelectState(0, CAPhotoTreeModel::stateOff, bNotify);
    m_tree.SetCurrent(0, bNotify, TRUE);
    m_bEditing = FALSE;
    m_tree.EndCommentEdit();
    UpdateEditCaption();
    UpdateButtons();
}

void APhotoCommentPane::SetBoxesHidden(const std::vector<int>& indices)
{
    for (int i = 0; i < m_tree.GetCount(); ++i) {
        const bool hidden = std::find(indices.begin(), indices.end(), i) != indices.end();
        m_tree.SetSelectState(i + 1, hidden ? CAPhotoTreeModel::stateNoBox : CAPhotoTreeModel::stateOff, TRUE);
    }
}

int APhotoCommentPane::FindNext(const std::string& text, BOOL down, BOOL caseSensitive, BOOL wildcards)
{
    const int index = m_tree.FindNext(text, down, caseSensitive, wildcards);
    if (index >= 0)
        m_tree.EnsureVisible(index);
    else
        AfxMessageBox(IDS_NO_FILES_FOUND);
    return index;
}

// ---- marquees

CAreaMarquee APhotoCommentPane::GetCurrentMarquee() const
{
    const int root = m_tree.GetRootItem(m_tree.GetCurrent());
    return root ? m_tree.GetRecord(root).m_area : CAreaMarquee();
}

CAreaMarquee APhotoCommentPane::GetHotMarquee() const
{
    const int root = m_tree.GetRootItem(m_tree.GetHotItem());
    return root ? m_tree.GetRecord(root).m_area : CAreaMarquee();
}

CAreaMarquee APhotoCommentPane::GetTopLevelMarquee(int k) const
{
    const int item = GetTopLevelItem(k);
    return item ? m_tree.GetRecord(item).m_area : CAreaMarquee();
}

void APhotoCommentPane::CollectMarquees(std::vector<CAreaMarquee>& marquees) const
{
    marquees.clear();
    for (int item = 1; item <= m_tree.GetCount(); ++item)
        marquees.push_back(m_tree.GetRecord(item).m_area);
}

void APhotoCommentPane::SetAllMarquees(const std::vector<CAreaMarquee>& marquees)
{
    const int count = std::min<int>(m_tree.GetCount(), int(marquees.size()));
    for (int i = 0; i < count; ++i) {
        CAnoRecord record = m_tree.GetRecordAt(i);
        record.m_area = marquees[size_t(i)];
        m_tree.SetNodeRecord(i + 1, record, FALSE);
    }
}

void APhotoCommentPane::OffsetAllMarquees(int dx, int dy)
{
    std::vector<CAreaMarquee> marquees;
    CollectMarquees(marquees);
    for (CAreaMarquee& m : marquees)
        m.m_rect.OffsetRect(dx, dy);
    SetAllMarquees(marquees);
}

void APhotoCommentPane::ScaleAllMarquees(int from, int to)
{
    if (from == 0 || from == to)
        return;
    std::vector<CAreaMarquee> marquees;
    CollectMarquees(marquees);
    auto scale = [from, to](int64_t v) { return LONG(v * to / from); };
    for (CAreaMarquee& m : marquees) {
        CRect& r = m.m_rect;
        const LONG width = scale(r.Width());
        const LONG height = scale(r.Height());
        r.left = scale(r.left);
        r.top = scale(r.top);
        r.right = r.left + width;
        r.bottom = r.top + height;
    }
    SetAllMarquees(marquees);
}

void APhotoCommentPane::RotateAllMarquees(int angle, int width, int height)
{
    if (angle != 90 && angle != 270)
        return;
    std::vector<CAreaMarquee> marquees;
    CollectMarquees(marquees);
    for (CAreaMarquee& m : marquees) {
        const CRect r = m.m_rect;
        // About the image's centre, then moved so that the rotated image
        // starts at 0, 0 (its size is height x width).
        if (angle == 90)
            m.m_rect = CRect(height - r.bottom, r.left, height - r.top, r.right);
        else
            m.m_rect = CRect(r.top, width - r.right, r.bottom, width - r.left);
        for (CPoint& p : m.m_points)
            p = angle == 90 ? CPoint(height - p.y, p.x) : CPoint(p.y, width - p.x);
    }
    SetAllMarquees(marquees);
}

void APhotoCommentPane::HitTestMarquees(int x, int y, std::vector<int>& indices) const
{
    indices.clear();
    for (int i = 0; i < m_tree.GetCount(); ++i)
        if (m_tree.GetDepth(i + 1) == 0 && m_tree.GetRecordAt(i).m_area.m_rect.PtInRect(CPoint(x, y)))
            indices.push_back(i);
}

void APhotoCommentPane::SetCurrentMarquee(const CAreaMarquee& marquee)
{
    const int current = m_tree.GetCurrent();
    if (!current || m_tree.GetRecord(current).m_area.m_rect == marquee.m_rect)
        return;
    // A thread marks one area: the one its root marks.
    const int root = m_tree.GetRootItem(current);
    for (int item = root; item <= m_tree.GetCount() && (item == root || m_tree.GetDepth(item) > 0); ++item) {
        CAnoRecord record = m_tree.GetRecord(item);
        record.m_area = marquee;
        m_tree.SetNodeRecord(item, record, FALSE);
    }
    StampComment(current);
}

void APhotoCommentPane::SetCommentTime(int item, const SYSTEMTIME& time)
{
    CAnoRecord record = m_tree.GetRecord(item);
    record.m_date = time;
    m_tree.SetNodeRecord(item, record, TRUE);
}

void APhotoCommentPane::StampComment(int item)
{
    if (!m_tree.Model().IsValid(item))
        return;
    CAnoRecord record = m_tree.GetRecord(item);
    record.m_strUserName = GetAppSettings().m_strUserName;
    COleDateTime::GetCurrentTime().GetAsSystemTime(record.m_date);
    m_tree.SetNodeRecord(item, record, TRUE);
    m_tree.Invalidate();
}

// ---- commands

CEdit* APhotoCommentPane::EditTarget()
{
    QWidget* focus = QApplication::focusWidget();
    if (m_wndTitle.m_hWnd && focus == m_wndTitle.m_hWnd)
        return &m_wndTitle;
    return m_tree.GetLabelEdit();
}

BOOL APhotoCommentPane::IsFocusInPane()
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_hWnd)
        return FALSE;
    if (focus == m_hWnd || focus->parentWidget() == m_hWnd)
        return TRUE;
    CEdit* label = m_tree.GetLabelEdit();
    return label && focus == label->m_hWnd;
}

BOOL APhotoCommentPane::CanDoCommand(UINT nID, UINT& messageId)
{
    messageId = 0;
    const BOOL writable = m_bOpen && !m_bReadOnly && !m_bLocked;
    switch (nID) {
    case ID_ADDANOTATION: {
        if (!writable)
            return FALSE;
        if (m_tree.GetCount() >= kMaxComments) {
            messageId = IDS_TOO_MANY_COMMENTS;
            return FALSE;
        }
        const int first = m_tree.GetFirstSelected();
        if (first && m_tree.GetDepth(first) >= kMaxReplyDepth) {
            messageId = IDS_CANNOT_NEST;
            return FALSE;
        }
        return TRUE;
    }
    case ID_COMMENT_DELETE:
    case ID_COMMENT_DELETE_KEY:
    case ID_STARTCOMMENTEDIT: return writable && m_tree.GetSelectedCount() > 0;
    case ID_WRITE_TO_FILE:
    case ID_SAVE_WEBPAGE:
    case ID_FILE_MAIL: return m_bOpen && !m_bLocked;
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS: return writable;
    case kCopy: return HasEditSelection(EditTarget());
    case kCut: return CanCutEditSelection(EditTarget());
    case kPaste: {
        CEdit* target = EditTarget();
        return target && ClipboardHasText(target);
    }
    case kUndo: {
        CEdit* target = EditTarget();
        return target && target->CanUndo();
    }
    default: return FALSE;
    }
}

BOOL APhotoCommentPane::OnEditCommand(UINT nID)
{
    if (nID == ID_COMMENT_DELETE || nID == ID_COMMENT_DELETE_KEY)
        return DeleteSelectedComments();
    UINT messageId = 0;
    CEdit* target = EditTarget();
    if (!target || !IsFocusInPane() || !CanDoCommand(nID, messageId))
        return FALSE;
    switch (nID) {
    case kCopy: target->Copy(); return TRUE;
    case kCut: target->Cut(); return TRUE;
    case kPaste: target->Paste(); return TRUE;
    case kUndo: target->Undo(); return TRUE;
    default: return FALSE;
    }
}

BOOL APhotoCommentPane::EndEdit()
{
    m_bEditing = FALSE;
    m_tree.EndCommentEdit();
    UpdateEditCaption();
    return TRUE;
}

void APhotoCommentPane::UpdateEditCaption()
{
    if (m_btnEdit.m_hWnd)
        m_btnEdit.SetWindowText(LoadResString(m_bEditing ? IDS_END_EDIT : IDS_EDIT));
}

void APhotoCommentPane::UpdateButtons()
{
    if (!m_hWnd)
        return;
    m_wndTitle.SetReadOnly(m_bReadOnly || m_bLocked);
    UINT unused = 0;
    auto enable = [this, &unused](CButtonEx& button, UINT command) { button.EnableWindow(CanDoCommand(command, unused)); };
    m_btnOpen.EnableWindow(TRUE);
    m_btnInfoLink.EnableWindow(TRUE);
    m_btnQuit.EnableWindow(TRUE);
    enable(m_btnSave, ID_FILE_SAVE);
    enable(m_btnEdit, ID_STARTCOMMENTEDIT);
    enable(m_btnDelete, ID_COMMENT_DELETE);
    enable(m_btnSaveWeb, ID_SAVE_WEBPAGE);
    enable(m_btnWriteFile, ID_WRITE_TO_FILE);
    enable(m_btnMail, ID_FILE_MAIL);
    m_btnPrint.EnableWindow(m_bOpen);
    UpdateEditCaption();
}

void APhotoCommentPane::OnInfoLink() { StartShellProcess("xdg-open", {GetWebLinkUrl()}); }

void APhotoCommentPane::OnEditButton()
{
    if (m_bEditing) {
        m_bEditing = FALSE;
        m_tree.EndCommentEdit();
    } else if (m_tree.GetSelectedCount() > 0) {
        m_bEditing = TRUE;
        m_tree.StartCommentEdit();
    }
    UpdateEditCaption();
}

void APhotoCommentPane::OnEditKillFocus()
{
    // The label edit itself taking the focus from the button is the edit
    // starting, not ending.
    CEdit* label = m_tree.GetLabelEdit();
    if (label && QApplication::focusWidget() == label->m_hWnd)
        return;
    m_bEditing = FALSE;
    m_tree.EndCommentEdit();
    UpdateEditCaption();
}

void APhotoCommentPane::OnTitleChange()
{
    LimitEditTextChars(&m_wndTitle, kMaxTitleChars);
    PostToTarget(ID_TITLECHANGED);
}

void APhotoCommentPane::OnTreeStartEdit() { SendToTarget(ID_STARTCOMMENTEDIT); }

void APhotoCommentPane::OnTreeEndEdit()
{
    SendToTarget(ID_ENDCOMMENTEDIT);
    m_bEditing = FALSE;
    UpdateEditCaption();
    UpdateButtons();
}

void APhotoCommentPane::OnTreeCommentChanged()
{
    StampComment(m_tree.GetFirstSelected());
    SendToTarget(ID_COMMENTCHANGED);
}

void APhotoCommentPane::OnTreeSelChanged(NMHDR*, LRESULT* pResult)
{
    m_wave.Stop();
    m_bEditing = FALSE;
    m_tree.EndCommentEdit();
    UpdateEditCaption();
    PostToTarget(ID_COMMENTSELCHANGED);
    UpdateButtons();
    *pResult = 0;
}

void APhotoCommentPane::OnTreeClick(NMHDR*, LRESULT* pResult)
{
    PostToTarget(ID_UPDATE_UI);
    UpdateButtons();
    CRect client;
    GetClientRect(&client);
    OnSize(SIZE_RESTORED, client.Width(), client.Height());
    *pResult = 0;
}

void APhotoCommentPane::OnTreeDblClk(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    PlayCurrent();
}

void APhotoCommentPane::PlayCurrent()
{
    const int current = m_tree.GetCurrent();
    if (!current)
        return;
    const CAnoRecord& record = m_tree.GetRecord(current);
    if (record.m_nKind == CAnoRecord::sound) {
        m_wave.Stop();
        const auto& bytes = record.Data();
        if (m_wave.ReadFromMemory(bytes.data(), bytes.size()))
            m_wave.Play(nullptr, nullptr);
        else
            AfxMessageBox(record.UnreadableText(), MB_ICONEXCLAMATION);
    } else if (record.m_nKind == CAnoRecord::image) {
        SendToTarget(ID_OPENIMAGEANO);
    }
}

void APhotoCommentPane::OnTreeRClick(NMHDR*, LRESULT* pResult)
{
    PostToTarget(ID_TREE_CONTEXT);
    *pResult = 0;
}

void APhotoCommentPane::OnTreeKillFocus(NMHDR*, LRESULT* pResult)
{
    m_wave.Stop();
    *pResult = 0;
}

BOOL APhotoCommentPane::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN)
        return CDialog::PreTranslateMessage(pMsg);
    if (m_accel.Translate(pMsg))
        return TRUE;
    CEdit* label = m_tree.GetLabelEdit();
    if (pMsg->wParam == VK_TAB && label && QApplication::focusWidget() == label->m_hWnd) {
        m_wndTitle.SetFocus();
        return TRUE;
    }
    if (pMsg->wParam == VK_RETURN)
        return FALSE; // the focused control takes it (a new line in a comment)
    if (pMsg->wParam == VK_ESCAPE)
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

// ---- layout and painting

void APhotoCommentPane::OnSize(UINT, int cx, int cy)
{
    if (!m_tree.m_hWnd)
        return;
    for (UINT id : {IDC_OPEN, IDC_SAVE, IDC_DELETE, IDC_PRINT, IDC_MAIL, IDC_INFOLINK, IDC_QUIT, IDC_SAVEWEB,
                    IDC_WRITEFILE}) {
        CRect r;
        GetDlgItemRectInParent(&r, this, int(id));
        r.OffsetRect(cx - kMargin - r.right, 0);
        GetButton(id).MoveWindow(r, FALSE);
    }
    CRect quit, title, edit;
    GetDlgItemRectInParent(&quit, this, IDC_QUIT);
    GetDlgItemRectInParent(&title, this, IDC_TITLE_EDIT);
    title = CRect(kMargin, title.top, kMargin + std::max<LONG>(0, quit.left - 20), title.bottom);
    m_wndTitle.MoveWindow(title, FALSE);
    GetDlgItemRectInParent(&edit, this, IDC_EDIT);
    edit = CRect(kMargin, title.bottom + kMargin, std::max<LONG>(kMargin, edit.right), title.bottom + kMargin + edit.Height());
    m_btnEdit.MoveWindow(edit, FALSE);
    const int treeTop = edit.bottom + kMargin;
    m_tree.MoveWindow(kMargin, treeTop, title.Width(), std::max(0, cy - kMargin - treeTop), TRUE);
    Invalidate();
}

BOOL APhotoCommentPane::OnEraseBkgnd(CDC* pDC)
{
    CRect client;
    GetClientRect(&client);
    pDC->FillSolidRect(&client, GetSchemeSysColor(12));
    return TRUE;
}

void APhotoCommentPane::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSchemeSysColor(12));
    CRect mark, tree, frame;
    GetDlgItemRectInParent(&mark, this, IDC_TITLE_MARK);
    GetChildRectInParent(&tree, this, &m_tree);
    tree.InflateRect(5, 5);
    frame.UnionRect(mark, tree);
    Draw3DRoundFrame(&dc, frame, GetSchemeSysColor(15), GetSchemeSysColor(12), GetSchemeSysColor(4), CLR_INVALID,
                     SchemeColorTeal, SchemeColorIndigo);
    CFont font;
    font.CreatePointFont(90, LoadResString(30).c_str(), &dc);
    CFontSelection select(&dc, &font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(SchemeColorIndigo);
    const std::string text = GetDlgItemText(IDC_TITLE_MARK);
    dc.DrawText(text, &mark, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

void APhotoCommentPane::OnLButtonDown(UINT nFlags, CPoint point)
{
    ClearSelection(TRUE);
    CDialog::OnLButtonDown(nFlags, point);
}

// ---- printing

bool APhotoCommentPane::PlaceCard(CDC& dc, const CRect& page, const CAnoPrintParams& params, int item, int indent,
                                  CRect& cursor, bool draw, bool force)
{
    CAnoRecord& record = const_cast<CAnoRecord&>(m_tree.GetRecord(item));
    CRect box(cursor.left + indent, cursor.top, cursor.right, cursor.bottom);
    const CRect card = record.LayoutCard(dc, box, CAPhotoTree::kMeasureFormat | DT_CALCRECT, params.m_nResolution,
                                         params.m_bShowDateTime);
    const int need = card.Height() + card.Height() / 10;
    const bool fits = cursor.top + need <= page.bottom;
    if (!fits && !force)
        return false;
    if (draw) {
        const int saved = dc.SaveDC();
        dc.IntersectClipRect(page.left, page.top, page.right, page.bottom);
        CRect target(box.left, cursor.top, box.right, std::min<LONG>(cursor.top + card.Height(), page.bottom));
        record.LayoutCard(dc, target, CAPhotoTree::kCardFormat, params.m_nResolution, params.m_bShowDateTime);
        dc.RestoreDC(saved);
    }
    cursor.OffsetRect(0, need);
    return true;
}

int APhotoCommentPane::CountPages(CDC& dc, const CRect& page, const CAnoPrintParams& params, int thread,
                                  int firstCard, int& lastCard)
{
    const int root = GetTopLevelItem(thread);
    const int size = GetThreadSize(thread);
    lastCard = std::max(0, size - 1);
    if (!root || firstCard < 0 || firstCard >= size)
        return 0;
    const int step = params.m_nResolution * 10 / kScreenDpi;
    CRect cursor(page.left, page.top, page.right, page.top + params.m_nHeaderHeight);
    for (int card = firstCard; card < size; ++card) {
        const int item = root + card;
        const int indent = step * m_tree.GetDepth(item);
        if (!PlaceCard(dc, page, params, item, indent, cursor, false, false)) {
            if (card == firstCard) {
                // A card taller than a page has a page of its own.
                lastCard = card;
                return card + 1 < size ? card + 1 : 0;
            }
            lastCard = card - 1;
            return card;
        }
    }
    lastCard = size - 1;
    return 0;
}

void APhotoCommentPane::DrawPage(CDC& dc, const CRect& page, const CAnoPrintParams& params, int thread, int firstCard,
                                 int lastCard)
{
    const int root = GetTopLevelItem(thread);
    const int size = GetThreadSize(thread);
    if (!root)
        return;
    const int step = params.m_nResolution * 10 / kScreenDpi;
    CRect cursor(page.left, page.top, page.right, page.top + params.m_nHeaderHeight);
    for (int card = std::max(0, firstCard); card <= lastCard && card < size; ++card) {
        const int item = root + card;
        const int indent = step * m_tree.GetDepth(item);
        if (!PlaceCard(dc, page, params, item, indent, cursor, true, false))
            PlaceCard(dc, page, params, item, indent, cursor, true, true);
    }
}

void APhotoCommentPane::DrawTitle(CDC& dc, CRect rect, const CAnoPrintParams& params)
{
    rect.bottom = rect.top + params.m_nTitleHeight;
    const std::string title = GetTitle();
    LOGFONT lf = params.m_titleFont;
    for (;;) {
        CFont font;
        font.CreateFontIndirect(&lf);
        CFontSelection select(&dc, &font);
        CRect measured = rect;
        dc.DrawText(title, &measured, kTitleFormat | DT_CALCRECT);
        const LONG height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        if (measured.Width() <= rect.Width() || height <= 1) {
            dc.SetBkMode(TRANSPARENT);
            dc.DrawText(title, &rect, kTitleFormat);
            return;
        }
        // Too wide: a size smaller until it fits.
        lf.lfHeight += lf.lfHeight < 0 ? 1 : -1;
    }
}
