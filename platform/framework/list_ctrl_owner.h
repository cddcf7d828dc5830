#pragma once

// The Qt side of an owner-data list (CListCtrl created with LVS_OWNERDATA):
// a report view and an icon view over one model and one selection, of which
// the list's form shows one. Only list_ctrl.cpp uses it.

#include "platform/framework/list_ctrl.h"

#include <QWidget>

#include <memory>

// Sends the list's notification to its parent, with the list's window and id
// in the header; the parent's answer.
LRESULT NotifyListParent(QWidget* list, int code, NMHDR& hdr);
// LVN_ITEMCHANGED of one item's state.
void NotifyItemStateChanged(QWidget* list, int item, UINT oldState, UINT newState);

class COwnerDataList : public QWidget {
public:
    COwnerDataList(DWORD style, QWidget* parent);
    ~COwnerDataList() override;

    void SetImageList(CShellImageList* images, int which);
    void SetImageList(const CImageList* images, int which);
    void RedrawItems(int first, int last);
    void SetViewStyle(DWORD lvsStyle);
    DWORD GetViewStyle() const;
    void SetItemCount(int count, DWORD flags);
    int GetItemCount() const;
    int InsertColumn(int col, const std::string& heading, int width, int format);
    BOOL SetColumnWidth(int col, int cx);
    int GetColumnWidth(int col) const;
    int GetNextItem(int item, UINT flags) const;
    BOOL SetItemState(int item, UINT state, UINT mask);
    UINT GetItemState(int item, UINT mask) const;
    BOOL EnsureVisible(int item);
    BOOL GetItemRect(int item, RECT* rect) const;
    std::string GetItemText(int item, int subItem) const;
    CEdit* EditLabel(int item);
    CEdit* GetEditControl() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
