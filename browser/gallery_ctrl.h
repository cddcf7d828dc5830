#pragma once

#include "browser/gallery_model.h"
#include "platform/framework/controls.h"
#include "platform/framework/image_list.h"
#include "platform/framework/wnd.h"
#include "platform/gdi/gdi_object.h"

#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class CDC;
class CDibBitmap;
class CGalleryCtrl;
class QPainter;

// The record of every gallery notification (WM_NOTIFY; WPARAM is the control's window).
struct NMGALLERY {
    NMHDR hdr;
    int iItem = -1;
    LPARAM lParam = 0; // 1028: points at the int answer
};

// Callbacks; user is the control's user value.
// Fills the bitmap with the item's picture; nonzero when it did.
using GalleryThumbnailFn = BOOL (*)(int index, CDibBitmap& bitmap, LPARAM user);
using GalleryImageSizeFn = void (*)(CSize& size, int index);
using GalleryCaptionFn = BOOL (*)(int index, std::string& text, LPARAM user);
// Adds caption line colours after the control's own.
using GalleryColourFn = void (*)(int index, std::vector<COLORREF>& colours);
// Draws the picture itself.
using GalleryThumbnailDrawFn = void (*)(CDC* dc, int index, const CRect& picture);
using GalleryCaptionDrawFn = void (*)(CDC* dc, int index, const CRect& band, const CRect& icon, CFont* font,
                                      LPARAM user);
using GalleryOverlayFn = void (*)(CGalleryCtrl* ctrl, CDC* dc, int index, const CRect& cell, const CRect& picture);

// The in-place caption editor: Enter keeps the text, Escape drops it.
class CGalleryEdit : public CEdit {
public:
    CGalleryCtrl* m_pGallery = nullptr;

protected:
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
};

// The thumbnail gallery: items in a grid of equal cells, each a picture with
// caption lines under it and an optional small icon; selection by mouse,
// keys, type-ahead and rubber band, in-place editing of the first caption
// line and resizing of the cells from a cell's corner. Pictures, captions and
// extra drawing come from the owner's callbacks; everything the user does is
// told to the owner through WM_NOTIFY (GCN_...). The window is a scroll area
// whose viewport is the client area.
class CGalleryCtrl : public CWnd {
    DECLARE_DYNCREATE(CGalleryCtrl)
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT { IDC_GALLERY_EDIT = 6000 };
    // The caption font: 9 points.
    static constexpr int kCaptionPoints = 9;

    CGalleryCtrl();
    ~CGalleryCtrl() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    CGalleryModel& Model() { return m_model; }
    const CGalleryModel& Model() const { return m_model; }

    // ---- items
    // Only with a thumbnail callback set; the index, or -1.
    int AddItem(const std::string& text, BOOL redraw = TRUE);
    void DeleteItem(int index);
    void DeleteAllItems(BOOL updateScrollBar = TRUE);
    int GetItemCount() const { return m_model.GetItemCount(); }
    BOOL IsSelected(int index) const { return m_model.IsSelected(index); }
    int GetFirstSelected() const { return m_model.GetFirstSelected(); }
    int GetSelectedCount() const { return m_model.GetSelectedCount(); }
    BOOL SetSelected(int index, BOOL state) { return m_model.SetSelected(index, state); }
    void SelectAll(BOOL state) { m_model.SelectAll(state); }
    void SetItemText(int index, const std::string& text, const std::string& secondText = {});
    std::string GetItemText(int index) const { return m_model.GetItemText(index); }
    // The small icon of the item, added to the control's image list.
    void AddIcon(int index, const QImage& icon);

    // ---- set-up (the owner lays the gallery out after changing it)
    void SetCellRect(const CRect& cell);
    void SetInsets(int left, int top, int right, int bottom);
    void SetCaptionLines(int lines);
    void SetCaptionPlacement(int placement, BOOL shown);
    void SetCaptionExtraHeight(int height);
    void SetThumbnailCallback(GalleryThumbnailFn fn) { m_thumbnail = fn; }
    void SetImageSizeCallback(GalleryImageSizeFn fn) { m_imageSize = fn; }
    void SetCaptionCallback(GalleryCaptionFn fn) { m_caption = fn; }
    void SetColourCallback(GalleryColourFn fn) { m_colours = fn; }
    void SetThumbnailDrawCallback(GalleryThumbnailDrawFn fn) { m_thumbnailDraw = fn; }
    void SetCaptionDrawCallback(GalleryCaptionDrawFn fn) { m_captionDraw = fn; }
    void SetOverlayCallback(GalleryOverlayFn fn) { m_overlay = fn; }
    void SetUserValue(LPARAM value) { m_user = value; }
    void SetOwner(CWnd* owner) { m_pNotify = owner; }
    void SetBkColor(COLORREF colour);
    // Face, selected face, inactive selected face, selected text, text; CLR_INVALID keeps one.
    void SetColours(COLORREF face, COLORREF selected, COLORREF inactive, COLORREF selectedText, COLORREF text);
    void SetTextFormat(UINT flags) { m_nTextFormat = flags; }
    UINT GetTextFormat() const { return m_nTextFormat; }
    void SetDrawMode(int mode) { m_nDrawMode = mode; }
    void SetFocusHandling(BOOL on) { m_bFocusHandling = on; }
    // The editor keeps at most limit characters.
    void SetLabelEditing(BOOL enabled, int limit, BOOL singleClick);
    // The caption font (size in tenths of a point); the caption line height follows it.
    void SetCaptionFont(int pointTenths, const std::string& face);
    CFont* GetCaptionFont() { return &m_font; }

    // ---- layout
    void RecalcLayout(BOOL redraw);
    void EnsureVisible(int index) { m_model.EnsureVisible(index); }
    void DrawItem(int index);
    void InvalidateAll();
    CGalleryEdit& Editor() { return m_edit; }
    QWidget* Viewport() const;

    // Called by the editor.
    void OnEditorKey(UINT vk);

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnDestroy() override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnEditKillFocus();
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;

private:
    class View;
    class ModelHost;
    friend class View;
    void Paint(QPainter& painter, const QRect& update);
    void PaintCell(CDC& dc, int index);
    void ApplyScrollState();
    void ApplyEditorFont();
    LRESULT SendNotify(int code, int item, LPARAM value);
    void Mouse(QEvent* e);

    CGalleryModel m_model;
    std::unique_ptr<ModelHost> m_host;
    QPointer<View> m_pView; // the widget may go before this object
    CGalleryEdit m_edit;
    CImageList m_icons;
    CFont m_font;
    CWnd* m_pNotify = nullptr;
    LPARAM m_user = 0;
    GalleryThumbnailFn m_thumbnail = nullptr;
    GalleryImageSizeFn m_imageSize = nullptr;
    GalleryCaptionFn m_caption = nullptr;
    GalleryColourFn m_colours = nullptr;
    GalleryThumbnailDrawFn m_thumbnailDraw = nullptr;
    GalleryCaptionDrawFn m_captionDraw = nullptr;
    GalleryOverlayFn m_overlay = nullptr;
    COLORREF m_crBack;
    COLORREF m_crFace, m_crSelected, m_crInactive, m_crSelectedText, m_crText;
    UINT m_nTextFormat;
    int m_nDrawMode = 0;
    BOOL m_bFocusHandling = FALSE;
    bool m_bSyncingBar = false;
    bool m_bHasFocus = false;
    QPainter* m_pPainter = nullptr; // while painting
};
