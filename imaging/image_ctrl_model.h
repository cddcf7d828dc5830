#pragma once

#include "imaging/image_quad.h"
#include "platform/types.h"

#include <cstdint>
#include <vector>

// Notification codes the image display control sends its owner (WM_NOTIFY,
// control id and code in the header, a parameter after it).
enum : int {
    ICN_LBUTTONDOWN = 1001,   // left button pressed, after the area hit test
    ICN_LBUTTONDBLCLK = 1002, // left double click, before a zoom tool acts
    ICN_HSCROLL = 1003,       // horizontal scroll position changed
    ICN_VSCROLL = 1004,       // vertical scroll position changed
    ICN_PREDRAW = 1005,       // about to draw the picture
    ICN_AREACHANGING = 1006,  // a drag step of an area; parameter: the current area
    ICN_AREACHANGED = 1007,   // an area drag ended; parameter: the current area
    ICN_MOUSEENTER = 1008,    // first move with tracking on; parameter: the image point
    ICN_MOUSEMOVE = 1009,     // later moves with tracking on; parameter: the image point
    ICN_MOUSELEAVE = 1010,    // the mouse left the control
    ICN_ROTATED = 1015,       // the picture was turned
    ICN_CURSORARROW = 1016,   // the arrow cursor was set
    ICN_CURSOR1 = 1017,       // owner cursor 1 was set
    ICN_CURSOR2 = 1018,       // owner cursor 2 was set (zoom tool, modifier down)
    ICN_CURSOR3 = 1019,       // owner cursor 3 was set (zoom tool cannot go on)
    ICN_CURSORNEWAREA = 1020, // area tool: a new area may start here
    ICN_CURSORHANDLE = 1021,  // area tool: over a corner, an edge, or an area
    ICN_CURSORMOVE = 1022,    // area tool: the move cursor inside an area
    ICN_PANSTART = 1023,
    ICN_PANEND = 1024,
    ICN_ZOOMCLICK = 1025,    // a zoom tool click was handled
    ICN_ZOOMFORWARD = 1026,  // the owner is asked for a step in the tool's direction
    ICN_ZOOMBACKWARD = 1027, // the owner is asked for a step against it
    ICN_DROP = 1028,         // data was dropped (read it with GetDropData)
    ICN_RBUTTONDOWN = 1029,
};

// Tool modes.
enum : int {
    kImageModeNone = 0,
    kImageModePan = 1,
    kImageModeZoomIn = 2,     // by steps
    kImageModeZoomDouble = 3, // by doubling
    kImageModeArea = 4,       // draw, move and resize areas
    kImageModeZoomOut = 5,    // by steps
    kImageModeZoomHalve = 6,  // by halving
    kImageModePoints = 7,     // freehand path
};

// Cursors the control shows; Unchanged leaves the one that is there.
enum class ImageCursor { Unchanged, Arrow, Owner1, Owner2, Owner3, SizeNWSE, SizeNESW, SizeNS, SizeWE, SizeAll, Cross };

// Keys held during an input: MK_SHIFT and MK_CONTROL as mouse messages carry
// them, and this bit for Alt.
constexpr UINT kKeyShift = 0x0004;
constexpr UINT kKeyControl = 0x0008;
constexpr UINT kKeyAlt = 0x0020;

// Scroll request codes (the scroll-bar message codes).
enum : int {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
};

// What the image display control knows and decides, without a display: the
// picture's size, zoom and fit, the client area and its scroll bars, the
// mapping between client and image coordinates, the areas and the freehand
// path, and what the mouse and the tools do with them. The widget feeds it
// sizes and input and carries out what it asks of its host.
class CImageCtrlModel {
public:
    // What the model asks of the window that shows it.
    class Host {
    public:
        virtual ~Host() = default;
        // A notification to the owner; param points at a value valid only during the call.
        virtual void Notify(int code, LPARAM param) = 0;
        virtual void Invalidate() {}
        // The client contents move by dx, dy; what comes into view is painted.
        virtual void ScrollContents(int dx, int dy) {}
        // Paints what is pending at once.
        virtual void UpdateNow() {}
        // Bars shown or hidden, ranges or positions changed.
        virtual void ScrollStateChanged() {}
        virtual void SetCursor(ImageCursor cursor) {}
    };

    struct Axis {
        bool scrolls = false; // the picture is larger than the client on this axis
        bool barShown = false;
        int minPos = 0;
        int maxPos = 0;
        int pos = 0;
        int page = 0; // the client extent
    };

    explicit CImageCtrlModel(Host* host = nullptr);
    void SetHost(Host* host) { m_host = host; }

    // ---- picture and window
    // The picture's size; (0, 0) for none.
    void SetPictureSize(CSize size);
    CSize GetPictureSize() const { return m_picture; }
    bool HasPicture() const { return m_picture.cx > 0 && m_picture.cy > 0; }
    // The room for the client area and the window's scroll bars. Sizes below
    // 5 on either axis are ignored.
    void SetWindowSize(int width, int height);
    // Width of a vertical and height of a horizontal scroll bar.
    void SetScrollBarExtents(int vertical, int horizontal);
    // The client area: the window less the scroll bars shown.
    CRect GetClientRect() const;
    // The client area less the border.
    CRect GetPictureArea() const;
    void SetBorderWidth(int width);
    int GetBorderWidth() const { return m_borderWidth; }

    // ---- zoom (hundredths of a percent)
    // The fit zoom while not zoomed, else the zoom field.
    int64_t GetZoom() const;
    int64_t GetZoomField() const { return m_zoom; }
    int64_t CalcFitZoom() const;
    int64_t CalcZoomToFitRect(const RECT& imageRect) const;
    // Stores the zoom (about the centre: through ZoomAt at the image point
    // under the client centre). A zoom below 1 is refused.
    BOOL SetZoom(int64_t zoom, BOOL aboutCentre = FALSE);
    // Clamps the zoom to the limits and brings the image point to the centre.
    void ZoomAt(int64_t zoom, int x, int y);
    // zoomed: the zoom field applies and the picture scrolls; 0 fits it to the
    // window. The scroll-bar flag is stored only when zoomed changes.
    void SetZoomMode(int zoomed, BOOL scrollBars);
    int IsZoomed() const { return m_zoomed; }
    BOOL UsesScrollBars() const { return m_scrollBars; }
    // Limits below 1, or a maximum below the minimum, are refused.
    BOOL SetZoomLimits(int minimum, int maximum);
    int GetMinZoom() const { return m_minZoom; }
    int GetMaxZoom() const { return m_maxZoom; }
    // Percent per step of the stepping tools below and from 100 %.
    void SetZoomSteps(int below100, int from100);
    BOOL CanZoom(bool reversed) const;
    void ZoomStep(bool reversed);
    void SetSelfZoom(BOOL on) { m_selfZoom = on; }
    BOOL GetSelfZoom() const { return m_selfZoom; }

    // ---- layout and scrolling
    void RecalcLayout();
    const Axis& GetAxis(bool vertical) const { return vertical ? m_v : m_h; }
    // A scroll request on one axis; true when the position changed.
    bool Scroll(bool vertical, int code, int thumbPos = 0, bool scrollContents = true);
    void SetLineSteps(int x, int y);
    void SetOverscroll(BOOL on);
    BOOL GetOverscroll() const { return m_overscroll; }
    CSize GetOverscrollMargins() const { return CSize(m_marginX, m_marginY); }
    void SetKeepViewOnResize(BOOL on) { m_keepViewOnResize = on; }

    // ---- coordinates
    // Where the whole picture lies in client coordinates; empty without one.
    CRect GetImageClientRect() const;
    CRect ImageRectToClient(const RECT& imageRect) const;
    CPoint ImageToClient(POINT imagePoint) const;
    CImageQuad ImageQuadToClient(const CImageQuad& quad) const;
    // The inverse mapping; false (and an empty result) without a picture.
    bool ClientRectToImage(const RECT& clientRect, RECT* imageRect, bool clamp) const;
    // The image point under a client point ((-1, -1) without a picture),
    // clamped to the picture unless bounds are set; true when it lies in the
    // bounds, or without bounds on the picture.
    bool ClientToImage(int x, int y, POINT* imagePoint) const;
    void UpdateVisibleRect();
    CRect GetVisibleRect() const { return m_visible; }
    // The client area intersected with the picture's client rectangle.
    CRect GetVisiblePictureClientRect() const;
    void SetBounds(const RECT& bounds) { m_bounds = bounds; }
    CRect GetBounds() const { return m_bounds; }

    // ---- areas (image coordinates)
    int GetAreaCount() const { return static_cast<int>(m_areas.size()); }
    const std::vector<CImageQuad>& GetAreas() const { return m_areas; }
    CImageQuad GetArea(int index) const;
    CImageQuad GetCurrentArea() const;
    int GetCurrentIndex() const { return m_current; }
    const std::vector<POINT>& GetPathPoints() const { return m_path; }
    BOOL SetSelection(const CImageQuad& quad, BOOL redraw);
    BOOL AddArea(const CImageQuad& quad, BOOL redraw);
    BOOL SetArea(int index, const CImageQuad& quad, BOOL redraw);
    BOOL SetAreas(const std::vector<CImageQuad>& quads, BOOL redraw);
    void SetCurrentArea(const CImageQuad& quad);
    void SelectAll();
    void ClearSelection();
    // The first area hit at a client point, or -1; its hit code in *code.
    int HitTestAreas(int x, int y, int* code = nullptr) const;
    // Turns every non-empty area with the picture (its size before the turn).
    void RotateAreas(CSize pictureBefore, int degrees);
    void SetMultipleAreas(BOOL on) { m_multipleAreas = on; }
    void SetMinAreaSize(int width, int height);
    void SetMayCreateAreas(BOOL on) { m_mayCreateAreas = on; }
    void SetHandleTest(BOOL on) { m_handleTest = on; }
    void SetInsideCode(BOOL on) { m_insideCode = on; }
    void SetFreeFormQuads(BOOL on) { m_freeForm = on; }

    // ---- tools and mouse (client coordinates, keys as kKey... bits)
    void SetMode(int mode) { m_mode = mode; }
    int GetMode() const { return m_mode; }
    static bool IsZoomTool(int mode) { return mode == 2 || mode == 3 || mode == 5 || mode == 6; }
    // Virtual-key codes (Shift 16, Control 17, Alt 18).
    void SetZoomModifierKey(int vk) { m_zoomKey = vk; }
    int GetZoomModifierKey() const { return m_zoomKey; }
    void SetSquareModifierKey(int vk) { m_squareKey = vk; }
    void SetMouseTracking(BOOL on) { m_mouseTracking = on; }
    // Which owner cursors are set (1..3).
    void SetOwnerCursorsSet(bool c1, bool c2, bool c3);

    void OnLButtonDown(POINT pt, UINT keys);
    void OnLButtonDblClk(POINT pt, UINT keys);
    void OnLButtonUp(POINT pt, UINT keys);
    // False when no drag took the move (the default handling may run).
    bool OnMouseMove(POINT pt, UINT keys);
    void OnRButtonDown(POINT pt, UINT keys);
    // The mouse left the client area: 1010 when a 1008 was sent.
    void OnMouseLeave();
    bool IsMouseInside() const { return m_mouseInside; }
    // Chooses the cursor for a client point and reports it.
    ImageCursor ChooseCursor(POINT pt, UINT keys);
    // The zoom modifier's state polled: true when it changed (choose the cursor again).
    bool PollModifier(UINT keys);
    bool IsDragging() const { return m_panning || m_creating || m_placingPoints || m_resizing || m_moving; }
    bool IsPanning() const { return m_panning; }
    bool IsCreating() const { return m_creating; }
    bool IsPlacingPoints() const { return m_placingPoints; }
    bool IsResizing() const { return m_resizing; }
    bool IsMoving() const { return m_moving; }
    CPoint GetButtonDownPoint() const { return m_downPoint; }
    CPoint GetButtonDownImagePoint() const { return m_downImage; }
    BOOL GetButtonDownInside() const { return m_downInside; }
    int GetDragHitCode() const { return m_dragCode; }
    CImageQuad GetDragStartQuad() const { return m_dragStart; }

    // ---- animated outline
    int GetOutlinePhase() const { return m_phase; }
    // One step on (modulo 8); the old phase.
    int AdvanceOutlinePhase();

private:
    void Notify(int code, LPARAM param = 0) const;
    void NotifyArea(int code) const;
    void Invalidate() const;
    bool IsKeyDown(int vk, UINT keys) const;
    CRect LimitRect() const;
    BOOL AddByRule(const CImageQuad& quad);
    bool LayoutPass();
    void SetMarginsFromClient();
    bool SetPosition(bool vertical, int pos, bool scrollContents);
    int64_t ScaledExtent(bool vertical) const;

    void ZoomClick(POINT pt, UINT keys);
    bool NewQuad(POINT imagePoint, UINT keys, bool outside);
    void SquareRect(CRect& rc, int code) const;
    void PointStep(POINT imagePoint);
    void AutoScroll(POINT pt);
    void PanStep(POINT pt);
    void ResizeStep(POINT pt, UINT keys);
    void CreateStep(POINT pt, UINT keys);
    void MoveStep(POINT pt);
    bool OutsideClient(POINT pt) const;

    Host* m_host = nullptr;
    CSize m_picture;
    int m_windowW = 0, m_windowH = 0;
    int m_vbarWidth = 16, m_hbarHeight = 16;
    int m_borderWidth = 0;

    int m_mode = 1;
    int64_t m_zoom = 10000;
    int m_lineX = 8, m_lineY = 8;
    int m_minAreaW = 1, m_minAreaH = 1;
    std::vector<CImageQuad> m_areas;
    std::vector<POINT> m_path;
    int m_current = -1;
    bool m_ownerCursor[3] = {false, false, false};
    int m_zoomed = 0;
    BOOL m_mouseTracking = FALSE;
    BOOL m_scrollBars = TRUE;
    BOOL m_selfZoom = TRUE;
    BOOL m_multipleAreas = FALSE;
    int m_zoomKey = 17;
    int m_squareKey = 16;
    BOOL m_overscroll = FALSE;
    CRect m_bounds;

    CPoint m_downPoint;
    CPoint m_downImage;
    CPoint m_lastImage;
    CPoint m_anchor; // the image point a pan holds under the cursor
    BOOL m_downInside = FALSE;
    bool m_modifierDown = false;
    bool m_panning = false, m_creating = false, m_placingPoints = false, m_resizing = false, m_moving = false;
    BOOL m_mayCreateAreas = TRUE;
    BOOL m_handleTest = TRUE;
    BOOL m_insideCode = TRUE;
    BOOL m_keepViewOnResize = FALSE;
    BOOL m_freeForm = FALSE;
    int m_dragCode = 0;
    CImageQuad m_dragStart;
    int m_phase = 0;
    int m_minZoom = 10, m_maxZoom = 100000;
    int m_stepBelow = 10, m_stepFrom = 10;
    int m_marginX = 36, m_marginY = 36;
    CRect m_visible;
    bool m_mouseInside = false;
    Axis m_h, m_v;
};
