#pragma once

#include "message/ano_commands.h"
#include "message/aphoto_tree_model.h"
#include "platform/framework/controls.h"
#include "platform/framework/wnd.h"
#include "platform/gdi/gdi_object.h"

#include <memory>
#include <string>
#include <vector>

class CAPhotoContent;
class CDC;
class QScrollBar;

enum : UINT { IDC_TREEEDIT = 1050, IDC_COMMENTTREE = 1051, IDC_FOUNDTEXT = 2365 };

// The comment tree of a message: comment cards in a column, indented by depth
// and joined by tree lines, each with a selection box. It paints, hit-tests
// and scrolls itself over CAPhotoTreeModel, edits a comment's text in place,
// moves top-level threads by drag and shows search hits; its parent hears of
// everything through WM_NOTIFY (the model's codes) and WM_COMMAND.
class CAPhotoTree : public CWnd, private CAPhotoTreeListener {
    DECLARE_DYNAMIC(CAPhotoTree)
    DECLARE_MESSAGE_MAP()
public:
    // Text comments longer than this are cut while typed.
    static constexpr size_t kMaxEditChars = 512;
    static constexpr UINT kCardFormat = 0x2850;  // word break, expand tabs, no prefix, edit control
    static constexpr UINT kMeasureFormat = 0x2C50; // the same, measuring
    static constexpr COLORREF kBackColor = RGB(255, 255, 255);

    CAPhotoTree();
    ~CAPhotoTree() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    void SetCommandTarget(CWnd* pWnd) { m_pCommandTarget = pWnd; }
    void SetEditExemptWindow(CWnd* pWnd) { m_pEditExempt = pWnd; }
    void SetReadOnly(BOOL bReadOnly) { m_bReadOnly = bReadOnly; }
    void SetHoverTracking(BOOL bTrack) { m_bHoverTracking = bTrack; }
    void SetShowCaption(BOOL bShow);
    BOOL GetShowCaption() const { return m_model.GetShowCaption(); }

    CAPhotoTreeModel& Model() { return m_model; }
    const CAPhotoTreeModel& Model() const { return m_model; }

    // Queries and content, as the model gives them.
    int GetCount() const { return m_model.GetCount(); }
    BOOL HasNodes() const { return m_model.HasNodes(); }
    const CAnoRecord& GetRecord(int item) const { return m_model.GetRecord(item); }
    const CAnoRecord& GetRecordAt(int index) const { return m_model.GetRecordAt(index); }
    int GetDepth(int item) const { return m_model.GetDepth(item); }
    int GetKind(int item) const { return m_model.GetKind(item); }
    int GetCurrent() const { return m_model.GetCurrent(); }
    int GetHotItem() const { return m_model.GetHotItem(); }
    int GetFirstSelected() const { return m_model.GetFirstSelected(); }
    int GetSelectedCount() const { return m_model.GetSelectedCount(); }
    BOOL IsSelected(int item) const { return m_model.IsSelected(item); }
    UINT GetSelectState(int item) const { return m_model.GetSelectState(item); }
    BOOL CollectSelectedIndices(std::vector<int>& indices) const { return m_model.CollectSelectedIndices(indices); }
    void CollectSelectedItems(std::vector<int>& items) const { m_model.CollectSelectedItems(items); }
    int GetNextItem(int item, UINT code) const { return m_model.GetNextItem(item, code); }
    int GetRootItem(int item) const { return m_model.GetRootItem(item); }
    int GetParentItem(int item) const { return m_model.GetParentItem(item); }
    int GetChildItem(int item) const { return m_model.GetChildItem(item); }
    int GetTopLevelCount() const { return m_model.GetTopLevelCount(); }
    int GetThreadSize(int k) const { return m_model.GetThreadSize(k); }
    std::string GetItemText(int item) const { return m_model.GetItemText(item); }
    std::string GetDisplayText(int item) const { return m_model.GetDisplayText(item); }
    CRect GetItemRect(int item) const { return m_model.GetItemRect(item); }
    BOOL IsEditing() const { return m_pLabelEdit && m_nEditItem != 0; }
    BOOL HasFocus() const;
    CEdit* GetLabelEdit() const { return IsEditing() ? m_pLabelEdit.get() : nullptr; }
    CEdit* GetFoundTextBox() const { return m_pFoundBox.get(); }
    int GetFoundTextItem() const { return m_nFoundItem; }

    BOOL LoadRecords(const CAPhotoContent& content);
    BOOL CollectRecords(CAPhotoContent& content) const { return m_model.CollectRecords(content); }
    int InsertNode(const CAnoRecord& record, int parent);
    void SetNodeRecord(int item, const CAnoRecord& record, BOOL relayout) { m_model.SetNodeRecord(item, record, relayout); }
    BOOL DeleteNode(int item) { return m_model.DeleteNode(item); }
    BOOL DeleteAllNodes() { return m_model.DeleteAllNodes(); }
    BOOL DeleteSelectedNodes() { return m_model.DeleteSelectedNodes(); }
    void SetSelectState(int item, UINT state, BOOL notify) { m_model.SetSelectState(item, state, notify); }
    void SelectAll(BOOL notify) { m_model.SelectAll(notify); }
    void ToggleSelect(int item) { m_model.ToggleSelect(item); }
    BOOL SetCurrent(int item, BOOL notify, BOOL erase) { return m_model.SetCurrent(item, notify, erase); }
    void SetHot(int item, BOOL erase) { m_model.SetHot(item, erase); }

    BOOL StartCommentEdit();
    void EndCommentEdit();
    // 0-based index of the comment where a match now shows, or -1.
    int FindNext(const std::string& text, BOOL down, BOOL caseSensitive, BOOL wildcards);
    void EnsureVisible(int index);

    // Paints the whole tree into dc, as the window shows it.
    void DrawTree(CDC& dc);

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnLButtonDblClk(UINT nFlags, CPoint point) override;
    void OnRButtonDown(UINT nFlags, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) override;
    void OnMouseLeave() override;
    void OnSetFocus(CWnd* pOld) override;
    void OnKillFocus(CWnd* pNew) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnSettingChange(UINT uFlags, const char* lpszSection) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void TreeNotify(int code) override;
    void TreeRedraw(int item, bool erase) override;
    void TreeRedrawBox(int item) override;
    void TreeLayoutChanged() override;

    void DrawNode(CDC& dc, int item, bool erase);
    void DrawBox(CDC& dc, int item);
    void DrawLines(CDC& dc, int item, const CRect& band);
    CRect MeasureCard(const CAnoRecord& record, const CRect& bound, CRect* textArea = nullptr);
    CRect TextArea(int item);
    void Relayout();
    void UpdateScrollBars();
    void ScrolledBy(int delta);
    void SendCommandToParent(UINT id);
    void SendCommandToTarget(UINT id);
    void LeaveHover();
    void OnLabelEditUpdate();
    void OnLabelEditKillFocus();
    void OpenFoundTextBox(int index, int start, int end);
    void CloseFoundTextBox();
    std::unique_ptr<CEdit> OpenEdit(UINT id, DWORD style, int item, const std::string& text);
    void Retire(std::unique_ptr<CEdit> edit);

    CAPhotoTreeModel m_model;
    CDC m_measureDC;
    CBitmap m_measureBitmap;
    QScrollBar* m_pVBar = nullptr;
    std::unique_ptr<CEdit> m_pLabelEdit;
    std::unique_ptr<CEdit> m_pFoundBox;
    std::vector<std::unique_ptr<CEdit>> m_retired; // editors ended, waiting to go
    CFont m_editFont;
    int m_nEditItem = 0;
    int m_nFoundItem = 0;
    BOOL m_bUpdateGuard = FALSE;
    BOOL m_bReadOnly = FALSE;
    BOOL m_bHoverTracking = TRUE;
    BOOL m_bSettingBar = FALSE;
    BOOL m_bInRelayout = FALSE;
    CWnd* m_pEditExempt = nullptr;
    CWnd* m_pCommandTarget = nullptr;
};
