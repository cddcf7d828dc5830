#pragma once

#include "platform/framework/controls.h"
#include "platform/framework/ole_drop.h"

#include <vector>

// The push button of the program's panes: owner-drawn in a rounded 3D frame,
// showing its icon or else its text; tells its parent when it loses the focus
// (WM_NOTIFY code 8, wParam the button's window).
class CButtonEx : public CButton {
    DECLARE_DYNAMIC(CButtonEx)
    DECLARE_MESSAGE_MAP()
public:
    enum : int { NM_BUTTON_KILLFOCUS = 8 };
    CButtonEx();
    BOOL Create(const std::string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID,
                COLORREF crBack = CLR_INVALID);
    void SetBackColor(COLORREF cr);
    COLORREF GetBackColor() const { return m_crBack; }
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    COLORREF m_crBack = CLR_INVALID;

protected:
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnKillFocus(CWnd* pNew) override;
    void OnReflectKillFocus();
    void NotifyOwner(int code);
    void DrawIconFace(CDC* pDC, const CRect& rc, UINT state);
    void DrawTextFace(CDC* pDC, const CRect& rc, UINT state);
};

class CDropButton;

// The drop target of a drop button: forwards to the button the drags that
// offer one of its formats (and every scroll).
class CButtonDropTarget : public COleDropTarget {
public:
    std::vector<UINT> m_formats;
    CDropButton* m_pButton = nullptr; // forwarding target; null = the registered button
    DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pData, DWORD dwKeyState, CPoint point) override;
    DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pData, DWORD dwKeyState, CPoint point) override;
    BOOL OnDrop(CWnd* pWnd, COleDataObject* pData, DROPEFFECT dropEffect, CPoint point) override;
    DROPEFFECT OnDragScroll(CWnd* pWnd, DWORD dwKeyState, CPoint point) override;

private:
    CDropButton* Target(CWnd* pWnd) const;
    bool Offers(COleDataObject* pData) const;
};

// The record a drop button sends with each notification.
struct DropButtonNotify {
    NMHDR hdr;
    DWORD dwParam = 0;
    DWORD dwResult = 0; // the owner's answer: the drop effect to report
};

// A button that takes files dragged onto it and lets its owner decide.
class CDropButton : public CButtonEx {
    DECLARE_DYNAMIC(CDropButton)
public:
    enum : int { NM_DROP = 1000, NM_DRAGENTER = 1001, NM_DRAGOVER = 1002, NM_DRAGSCROLL = 1003 };
    BOOL Create(const std::string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID,
                COLORREF crBack = CLR_INVALID);
    void SetDropFormat(UINT cf);

    DROPEFFECT DoDragEnter(COleDataObject* pData, DWORD dwKeyState, CPoint point);
    DROPEFFECT DoDragOver(COleDataObject* pData, DWORD dwKeyState, CPoint point);
    BOOL DoDrop(COleDataObject* pData, DROPEFFECT dropEffect, CPoint point);
    DROPEFFECT DoDragScroll(DWORD dwKeyState, CPoint point);

    CButtonDropTarget m_dropTarget;
    COleDataObject* m_pDropData = nullptr;
    CWnd* m_pNotifyOwner = nullptr;
    DropButtonNotify m_notify;
    UINT m_cfDrop = 0;

private:
    // The paths of the drop; accepted when there is one and the first is a file.
    bool Accepts(COleDataObject* pData) const;
    DWORD Notify(int code);
};
