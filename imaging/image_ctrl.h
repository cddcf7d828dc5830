#pragma once

#include "imaging/display_copy.h"
#include "imaging/image_ctrl_model.h"
#include "platform/framework/ole_drop.h"
#include "platform/framework/wnd.h"

#include <cstdint>
#include <memory>
#include <vector>

class CDC;
class CDibBitmap;
class CImageCtrl;
class QPainter;
class QRegion;

// The record every notification of the control carries (WM_NOTIFY; the
// message's WPARAM is the control's window handle). The parameter points at
// a copy valid only during the notification.
struct NMIMAGECTRL {
    NMHDR hdr;
    LPARAM lParam = 0;
    // The area of 1006 and 1007, the image point of 1008 and 1009; null for other codes.
    const CImageQuad* Area() const
    {
        return hdr.code == ICN_AREACHANGING || hdr.code == ICN_AREACHANGED ? reinterpret_cast<const CImageQuad*>(lParam)
                                                                           : nullptr;
    }
    const POINT* Point() const
    {
        return hdr.code == ICN_MOUSEENTER || hdr.code == ICN_MOUSEMOVE ? reinterpret_cast<const POINT*>(lParam) : nullptr;
    }
};

// What an owner decides about drags over the control (points in client coordinates).
class CImageDropListener {
public:
    virtual ~CImageDropListener() = default;
    virtual DROPEFFECT DragEnter(COleDataObject* data, DWORD keyState, CPoint point) = 0;
    virtual DROPEFFECT DragOver(COleDataObject* data, DWORD keyState, CPoint point) = 0;
    virtual DROPEFFECT DragScroll(CWnd* wnd, DWORD keyState, CPoint point) = 0;
    // FALSE refuses the drop.
    virtual BOOL Drop(COleDataObject* data, DROPEFFECT effect, CPoint point) = 0;
};

// The control's drop target: passes on drags that offer one of its formats.
class CImageDropTarget : public COleDropTarget {
public:
    // Clipboard formats accepted, in the order added.
    std::vector<UINT> m_formats;
    // The control the drags go to; null: the one the target is registered with.
    CImageCtrl* m_pForward = nullptr;

    BOOL IsAcceptedFormat(COleDataObject* data) const { return IsAnyFormatAvailable(data, m_formats); }
    DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* data, DWORD keyState, CPoint point) override;
    DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* data, DWORD keyState, CPoint point) override;
    BOOL OnDrop(CWnd* pWnd, COleDataObject* data, DROPEFFECT effect, CPoint point) override;
    DROPEFFECT OnDragScroll(CWnd* pWnd, DWORD keyState, CPoint point) override;

private:
    CImageCtrl* Target(CWnd* pWnd) const;
};

// Callbacks, each with two user words passed back.
// Gets a copy of the part of the picture about to be drawn and may change it.
using ImagePreDrawFn = void (*)(CDibBitmap* visiblePart, LPARAM user1, LPARAM user2);
// Draws one area itself (client coordinates); FALSE lets the control draw it.
using ImageAreaDrawFn = BOOL (*)(CDC* dc, int index, const CImageQuad& area, int phase, LPARAM user1, LPARAM user2);
// Draws the current area's animated outline itself at each step of the phase.
using ImageOutlineStepFn = void (*)(CDC* dc, const CImageQuad& area, int oldPhase, int newPhase, LPARAM user1,
                                    LPARAM user2);
// Paints over the picture after the border.
using ImageOverlayFn = void (*)(CDC* dc, const CRect& client, const CDibBitmap* picture, const CRect* visibleRect,
                                const CRect& dest, LPARAM user1, LPARAM user2);

// The image display control: shows one picture fitted or zoomed, scrolls and
// pans it, and lets the user mark areas and freehand paths on it with eight
// tools; it tells its owner (the parent given to Create) everything through
// WM_NOTIFY with the codes ICN_... Its window is a scroll area: the client
// area is the scroll area's viewport, and client coordinates are the
// viewport's.
class CImageCtrl : public CWnd {
    DECLARE_DYNCREATE(CImageCtrl)
public:
    enum : UINT_PTR { kOutlineTimer = 1, kModifierTimer = 2 };

    CImageCtrl();
    ~CImageCtrl() override;

    // A child with WS_BORDER gets a sunken edge. The parent is the notification target.
    BOOL Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID);

    // ---- set-up
    void SetBkColor(COLORREF colour);
    COLORREF GetBkColor() const { return m_crBack; }
    // Cursor resource ids of the tools; -1 = none.
    void SetCursors(int cursor1, int cursor2, int cursor3);
    void SetPreDrawCallback(ImagePreDrawFn fn, LPARAM user1 = 0, LPARAM user2 = 0);
    void SetAreaDrawCallback(ImageAreaDrawFn fn, LPARAM user1 = 0, LPARAM user2 = 0);
    void SetOutlineStepCallback(ImageOutlineStepFn fn, LPARAM user1 = 0, LPARAM user2 = 0);
    void SetOverlayCallback(ImageOverlayFn fn, LPARAM user1 = 0, LPARAM user2 = 0);
    void EnableMouseTracking(BOOL on);
    void SetDropListener(CImageDropListener* listener) { m_pDropListener = listener; }
    void EnableDrop(BOOL = TRUE) { m_bDropEnabled = TRUE; }
    // 0 is ignored.
    void AddDropFormat(UINT format);
    // The dropped data, only while 1028 is being sent.
    COleDataObject* GetDropData() const { return m_pDropData; }
    CImageDropTarget& GetDropTarget() { return m_dropTarget; }
    void SetMode(int mode);
    int GetMode() const { return m_model.GetMode(); }
    // zoomed 0 fits the picture to the window; the scroll-bar flag changes
    // only together with it.
    void SetZoomMode(int zoomed, BOOL scrollBars);
    // A menu resource whose first submenu pops up on the context-menu key or
    // a right click; 0 = none.
    void SetContextMenu(UINT menuId) { m_nContextMenu = menuId; }
    void SetBorderWidth(int width);
    void SetHighlightBorder(BOOL on);
    void SetGreyWhenDisabled(BOOL on);
    void SetAnimatedOutline(BOOL on);
    // Quality of a picture drawn larger / smaller than its pixels: 0 plain, 1
    // bicubic, 2 bilinear; other values are refused.
    BOOL SetEnlargeQuality(int quality);
    BOOL SetReduceQuality(int quality);
    int GetEnlargeQuality() const { return m_nEnlargeQuality; }
    int GetReduceQuality() const { return m_nReduceQuality; }
    void SetSelfZoom(BOOL on) { m_model.SetSelfZoom(on); }
    void SetMultipleAreas(BOOL on) { m_model.SetMultipleAreas(on); }
    void SetMayCreateAreas(BOOL on) { m_model.SetMayCreateAreas(on); }
    void SetHandleTest(BOOL on) { m_model.SetHandleTest(on); }
    void SetInsideCode(BOOL on) { m_model.SetInsideCode(on); }
    void SetKeepViewOnResize(BOOL on) { m_model.SetKeepViewOnResize(on); }
    void SetFreeFormQuads(BOOL on) { m_model.SetFreeFormQuads(on); }
    void SetOverscroll(BOOL on) { m_model.SetOverscroll(on); }
    // Virtual keys: Shift 16, Control 17, Alt 18.
    void SetZoomModifierKey(int vk) { m_model.SetZoomModifierKey(vk); }
    void SetSquareModifierKey(int vk) { m_model.SetSquareModifierKey(vk); }
    void SetLineSteps(int x, int y) { m_model.SetLineSteps(x, y); }
    void SetMinAreaSize(int width, int height) { m_model.SetMinAreaSize(width, height); }
    // Image rectangle areas stay in; empty: the whole picture.
    void SetBounds(const RECT& bounds) { m_model.SetBounds(bounds); }
    BOOL SetZoomLimits(int minimum, int maximum) { return m_model.SetZoomLimits(minimum, maximum); }
    void SetZoomSteps(int below100, int from100) { m_model.SetZoomSteps(below100, from100); }

    // ---- picture and zoom
    // The control shows and keeps the picture (nullptr: none). A picture it
    // kept before goes. Without redrawNow the window is not painted again.
    void SetImage(std::unique_ptr<CDibBitmap> picture, BOOL redrawNow);
    // The control shows a picture its caller keeps alive until another one is
    // set or the control goes.
    void SetBorrowedImage(CDibBitmap* picture, BOOL redrawNow);
    CDibBitmap* GetImage() const { return m_pImage; }
    // The picture's pixels were changed in place: drawn anew from them.
    void PictureChanged();
    int64_t GetZoom() const { return m_model.GetZoom(); }
    int64_t CalcFitZoom() const { return m_model.CalcFitZoom(); }
    int64_t CalcZoomToFitRect(const RECT& imageRect) const { return m_model.CalcZoomToFitRect(imageRect); }
    // FALSE for a zoom below 1.
    BOOL SetZoom(int64_t zoom, BOOL aboutCentre = FALSE) { return m_model.SetZoom(zoom, aboutCentre); }
    void ZoomAt(int64_t zoom, int x, int y) { m_model.ZoomAt(zoom, x, y); }
    BOOL CanZoom(BOOL reversed) const { return m_model.CanZoom(reversed != FALSE); }
    void ZoomStep(BOOL reversed) { m_model.ZoomStep(reversed != FALSE); }
    int IsZoomedMode() const { return m_model.IsZoomed(); }
    void RecalcLayout() { m_model.RecalcLayout(); }
    // Turns the picture and its areas clockwise; FALSE (and nothing changed)
    // when the picture cannot be turned.
    BOOL RotateImage(int degrees);

    // ---- coordinates
    // The client area: the viewport inside the edge and the scroll bars.
    CRect GetViewRect() const { return m_model.GetClientRect(); }
    CRect GetImageClientRect() const { return m_model.GetImageClientRect(); }
    CRect ImageRectToClient(const RECT& imageRect) const { return m_model.ImageRectToClient(imageRect); }
    CPoint ImageToClient(POINT imagePoint) const { return m_model.ImageToClient(imagePoint); }
    BOOL ClientRectToImage(const RECT& clientRect, RECT* imageRect, BOOL clamp) const
    {
        return m_model.ClientRectToImage(clientRect, imageRect, clamp != FALSE);
    }
    BOOL ClientToImage(int x, int y, POINT* imagePoint) const { return m_model.ClientToImage(x, y, imagePoint); }
    CRect GetVisibleRect() const { return m_model.GetVisibleRect(); }

    // ---- areas (image coordinates)
    int GetAreaCount() const { return m_model.GetAreaCount(); }
    CImageQuad GetArea(int index) const { return m_model.GetArea(index); }
    CImageQuad GetCurrentArea() const { return m_model.GetCurrentArea(); }
    int GetCurrentAreaIndex() const { return m_model.GetCurrentIndex(); }
    const std::vector<POINT>& GetPathPoints() const { return m_model.GetPathPoints(); }
    BOOL SetSelection(const CImageQuad& quad, BOOL redraw) { return m_model.SetSelection(quad, redraw); }
    BOOL AddArea(const CImageQuad& quad, BOOL redraw) { return m_model.AddArea(quad, redraw); }
    BOOL SetArea(int index, const CImageQuad& quad, BOOL redraw) { return m_model.SetArea(index, quad, redraw); }
    BOOL SetAreas(const std::vector<CImageQuad>& quads, BOOL redraw) { return m_model.SetAreas(quads, redraw); }
    void SetCurrentArea(const CImageQuad& quad) { m_model.SetCurrentArea(quad); }
    void SelectAll() { m_model.SelectAll(); }
    void ClearSelection() { m_model.ClearSelection(); }
    int HitTestAreas(int x, int y, int* code = nullptr) const { return m_model.HitTestAreas(x, y, code); }

    // ---- the last press
    CPoint GetButtonDownPoint() const { return m_model.GetButtonDownPoint(); }
    CPoint GetButtonDownImagePoint() const { return m_model.GetButtonDownImagePoint(); }
    BOOL GetButtonDownInside() const { return m_model.GetButtonDownInside(); }

    // The model behind the control, for reading its state.
    const CImageCtrlModel& Model() const { return m_model; }
    // The widget the picture is painted on and the mouse is read from.
    QWidget* Viewport() const;
    // The display copy (for tests and benchmarks).
    const CDisplayCopy& DisplayCopy() const { return m_displayCopy; }

    // ---- drops, as the drop target passes them on
    DROPEFFECT DoDragEnter(COleDataObject* data, DWORD keyState, CPoint point);
    DROPEFFECT DoDragOver(COleDataObject* data, DWORD keyState, CPoint point);
    DROPEFFECT DoDragScroll(DWORD keyState, CPoint point);
    BOOL DoDrop(COleDataObject* data, DROPEFFECT effect, CPoint point);

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnDestroy() override;

private:
    class View;
    class ModelHost;
    friend class View;
    friend class ModelHost;

    void SendNotify(int code, LPARAM param);
    void Paint(QPainter& painter);
    bool DrawImage(QPainter& painter, CDC& dc, CRect* dest);
    void DrawBorder(CDC& dc);
    void DrawAreas(QPainter& painter, CDC& dc);
    void DrawOutline(QPainter& painter, const CImageQuad& area, bool dashed);
    void AnimateOutline();
    void ApplyCursor(ImageCursor cursor);
    void ApplyScrollState();
    void UpdateWindowSize();
    void Redraw();
    void ModifierChanged(UINT keys);
    void ShowContextMenu(QPoint global);

    CImageCtrlModel m_model;
    std::unique_ptr<ModelHost> m_host;
    View* m_pView = nullptr;
    CWnd* m_pNotifyTarget = nullptr;
    void ShowImage(CDibBitmap* picture, BOOL redrawNow);

    // The picture shown is m_ownedImage's when the control keeps one.
    std::unique_ptr<CDibBitmap> m_ownedImage;
    CDibBitmap* m_pImage = nullptr;
    uint64_t m_generation = 1;
    COLORREF m_crBack = RGB(255, 255, 255);
    UINT m_nContextMenu = 0;
    int m_cursor[3] = {-1, -1, -1};
    int m_nBorderWidth = 0;
    BOOL m_bHighlightBorder = FALSE;
    BOOL m_bAnimatedOutline = TRUE;
    ImagePreDrawFn m_preDraw = nullptr;
    ImageAreaDrawFn m_areaDraw = nullptr;
    ImageOutlineStepFn m_outlineStep = nullptr;
    ImageOverlayFn m_overlay = nullptr;
    LPARAM m_user[4][2] = {};
    CImageDropTarget m_dropTarget;
    COleDataObject* m_pDropData = nullptr;
    CImageDropListener* m_pDropListener = nullptr;
    BOOL m_bGreyWhenDisabled = FALSE;
    BOOL m_bDropEnabled = FALSE;
    int m_nEnlargeQuality = 0;
    int m_nReduceQuality = 0;
    int m_nOldPhase = 0; // the phase before the last step of the animation
    bool m_bSyncingBars = false;
    CDisplayCopy m_displayCopy;
};
