#include "imaging/image_ctrl_model.h"

#include "util/geometry.h"

#include <algorithm>

namespace {

// Scaled extents are kept well inside int: a zoom that would go beyond
// shows the picture at this size.
constexpr int64_t kMaxScaledExtent = int64_t(1) << 28;

// Division rounding towards minus infinity (points left of the picture map
// to negative image coordinates, not to 0).
int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

LONG ToLong(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

} // namespace

CImageCtrlModel::CImageCtrlModel(Host* host) : m_host(host) {}

void CImageCtrlModel::Notify(int code, LPARAM param) const
{
    if (m_host)
        m_host->Notify(code, param);
}

void CImageCtrlModel::NotifyArea(int code) const
{
    const CImageQuad area = GetCurrentArea();
    Notify(code, reinterpret_cast<LPARAM>(&area));
}

void CImageCtrlModel::Invalidate() const
{
    if (m_host)
        m_host->Invalidate();
}

// ---- picture and window

void CImageCtrlModel::SetPictureSize(CSize size)
{
    m_picture = size.cx > 0 && size.cy > 0 ? size : CSize();
}

void CImageCtrlModel::SetWindowSize(int width, int height)
{
    if (width < 5 || height < 5)
        return;
    m_windowW = width;
    m_windowH = height;
    SetMarginsFromClient();
    if (m_keepViewOnResize && !m_visible.IsRectEmpty()) {
        const CRect keep = m_visible;
        m_zoom = CalcZoomToFitRect(keep);
        RecalcLayout();
        SetPosition(false, ToLong(int64_t(keep.left) * m_zoom / 10000), false);
        SetPosition(true, ToLong(int64_t(keep.top) * m_zoom / 10000), false);
        UpdateVisibleRect();
    } else {
        UpdateVisibleRect();
        RecalcLayout();
        UpdateVisibleRect();
    }
    Invalidate();
}

void CImageCtrlModel::SetScrollBarExtents(int vertical, int horizontal)
{
    m_vbarWidth = std::max(0, vertical);
    m_hbarHeight = std::max(0, horizontal);
}

CRect CImageCtrlModel::GetClientRect() const
{
    const int w = m_windowW - (m_v.barShown ? m_vbarWidth : 0);
    const int h = m_windowH - (m_h.barShown ? m_hbarHeight : 0);
    return CRect(0, 0, std::max(0, w), std::max(0, h));
}

CRect CImageCtrlModel::GetPictureArea() const
{
    CRect area = GetClientRect();
    area.DeflateRect(m_borderWidth, m_borderWidth);
    if (area.right < area.left)
        area.right = area.left;
    if (area.bottom < area.top)
        area.bottom = area.top;
    return area;
}

void CImageCtrlModel::SetBorderWidth(int width) { m_borderWidth = std::max(0, width); }

void CImageCtrlModel::SetMarginsFromClient()
{
    const CRect client = GetClientRect();
    if (client.Width() >= 5 && client.Height() >= 5) {
        m_marginX = client.Width() / 2;
        m_marginY = client.Height() / 2;
    }
}

// ---- zoom

int64_t CImageCtrlModel::GetZoom() const { return m_zoomed ? m_zoom : CalcFitZoom(); }

int64_t CImageCtrlModel::CalcFitZoom() const { return CalcZoomToFitRect(CRect(0, 0, m_picture.cx, m_picture.cy)); }

int64_t CImageCtrlModel::CalcZoomToFitRect(const RECT& imageRect) const
{
    if (!HasPicture())
        return 10000;
    const int64_t rw = int64_t(imageRect.right) - imageRect.left, rh = int64_t(imageRect.bottom) - imageRect.top;
    if (rw <= 0 || rh <= 0)
        return 1;
    const CRect client = GetClientRect();
    int64_t cw = client.Width(), ch = client.Height();
    // Fitted, the picture needs no bars: their room counts.
    if (m_zoomed && m_scrollBars) {
        if (m_h.barShown)
            ch += m_hbarHeight;
        if (m_v.barShown)
            cw += m_vbarWidth;
    }
    cw = std::max<int64_t>(0, cw - 2 * m_borderWidth);
    ch = std::max<int64_t>(0, ch - 2 * m_borderWidth);
    return std::max<int64_t>(1, std::min(cw * 10000 / rw, ch * 10000 / rh));
}

BOOL CImageCtrlModel::SetZoom(int64_t zoom, BOOL aboutCentre)
{
    if (zoom < 1)
        return FALSE;
    if (aboutCentre) {
        const CRect client = GetClientRect();
        POINT centre;
        ClientToImage(client.Width() / 2, client.Height() / 2, &centre);
        ZoomAt(zoom, centre.x, centre.y);
        return TRUE;
    }
    m_zoom = zoom;
    RecalcLayout();
    Invalidate();
    UpdateVisibleRect();
    return TRUE;
}

void CImageCtrlModel::ZoomAt(int64_t zoom, int x, int y)
{
    m_zoom = std::clamp<int64_t>(zoom, m_minZoom, m_maxZoom);
    RecalcLayout();
    const CPoint at = ImageToClient(POINT{x, y});
    const CRect client = GetClientRect();
    SetPosition(false, ToLong(int64_t(m_h.pos) - client.Width() / 2 + at.x), false);
    SetPosition(true, ToLong(int64_t(m_v.pos) - client.Height() / 2 + at.y), false);
    Invalidate();
    UpdateVisibleRect();
}

void CImageCtrlModel::SetZoomMode(int zoomed, BOOL scrollBars)
{
    if (zoomed == m_zoomed)
        return;
    m_zoomed = zoomed;
    m_scrollBars = scrollBars;
    RecalcLayout();
    Invalidate();
    UpdateVisibleRect();
}

BOOL CImageCtrlModel::SetZoomLimits(int minimum, int maximum)
{
    if (minimum < 1 || maximum < minimum)
        return FALSE;
    m_minZoom = minimum;
    m_maxZoom = maximum;
    return TRUE;
}

void CImageCtrlModel::SetZoomSteps(int below100, int from100)
{
    m_stepBelow = std::max(1, below100);
    m_stepFrom = std::max(1, from100);
}

BOOL CImageCtrlModel::CanZoom(bool reversed) const
{
    const int64_t z = GetZoom();
    switch (m_mode) {
    case kImageModeZoomIn: return reversed ? z > m_minZoom : z < m_maxZoom;
    case kImageModeZoomDouble: return reversed ? z / 2 >= m_minZoom : 2 * z <= m_maxZoom;
    case kImageModeZoomOut: return reversed ? z < m_maxZoom : z > m_minZoom;
    case kImageModeZoomHalve: return reversed ? 2 * z <= m_maxZoom : z / 2 >= m_minZoom;
    default: return FALSE;
    }
}

void CImageCtrlModel::ZoomStep(bool reversed)
{
    if (!m_selfZoom) {
        Notify(reversed ? ICN_ZOOMBACKWARD : ICN_ZOOMFORWARD);
        return;
    }
    if (!CanZoom(reversed))
        return;
    int64_t z = GetZoom();
    const bool small = reversed ? z <= 10000 : z < 10000;
    const int64_t step = 100 * int64_t(small ? m_stepBelow : m_stepFrom);
    switch (m_mode) {
    case kImageModeZoomIn: z = reversed ? z - step : z + step; break;
    case kImageModeZoomOut: z = reversed ? z + step : z - step; break;
    case kImageModeZoomDouble: z = reversed ? z / 2 : z * 2; break;
    case kImageModeZoomHalve: z = reversed ? z * 2 : z / 2; break;
    default: return;
    }
    m_zoom = std::clamp<int64_t>(z, m_minZoom, m_maxZoom);
    RecalcLayout();
    Invalidate();
    UpdateVisibleRect();
}

// ---- layout and scrolling

int64_t CImageCtrlModel::ScaledExtent(bool vertical) const
{
    const int64_t side = vertical ? m_picture.cy : m_picture.cx;
    const int64_t zoom = std::min<int64_t>(m_zoom, kMaxScaledExtent);
    return std::min(side * zoom / 10000, kMaxScaledExtent);
}

bool CImageCtrlModel::LayoutPass()
{
    const CRect before = GetClientRect();
    if (!m_zoomed || !HasPicture()) {
        m_h = Axis{};
        m_v = Axis{};
        return !(GetClientRect() == before);
    }
    const CRect first = GetPictureArea();
    // One axis: does the picture (with the overscroll room) exceed the
    // client, and which positions may it take then.
    auto place = [&](Axis& a, bool vertical) {
        const int64_t scaled = ScaledExtent(vertical);
        const int64_t margin = vertical ? m_marginY : m_marginX;
        const int64_t measured = vertical ? first.Height() : first.Width();
        const int64_t extent = scaled + (m_overscroll ? measured - 2 * margin : 0);
        const CRect now = GetPictureArea();
        if (extent > (vertical ? now.Height() : now.Width())) {
            a.scrolls = true;
            a.barShown = m_scrollBars != FALSE;
        } else {
            a = Axis{};
            return;
        }
        const CRect after = GetPictureArea();
        const int64_t client = vertical ? after.Height() : after.Width();
        a.page = static_cast<int>(client);
        if (m_overscroll) {
            a.minPos = ToLong(margin - client);
            a.maxPos = ToLong(scaled - margin);
        } else {
            a.minPos = 0;
            a.maxPos = ToLong(std::max<int64_t>(0, scaled - client));
        }
        a.pos = std::clamp(a.pos, a.minPos, std::max(a.minPos, a.maxPos));
    };
    place(m_v, true);
    place(m_h, false);
    // The horizontal bar may have taken height that the vertical range counted.
    if (m_v.scrolls) {
        const int client = GetPictureArea().Height();
        m_v.page = client;
        if (!m_overscroll)
            m_v.maxPos = ToLong(std::max<int64_t>(0, ScaledExtent(true) - client));
        m_v.pos = std::clamp(m_v.pos, m_v.minPos, std::max(m_v.minPos, m_v.maxPos));
    }
    return !(GetClientRect() == before);
}

void CImageCtrlModel::RecalcLayout()
{
    // Showing or hiding a bar resizes the client, which lays out again, as
    // a size change of the window would; a few rounds settle it.
    for (int round = 0; round < 4; ++round) {
        if (!LayoutPass())
            break;
        SetMarginsFromClient();
    }
    if (m_host)
        m_host->ScrollStateChanged();
}

void CImageCtrlModel::SetLineSteps(int x, int y)
{
    m_lineX = std::max(1, x);
    m_lineY = std::max(1, y);
}

void CImageCtrlModel::SetOverscroll(BOOL on)
{
    if (on == m_overscroll)
        return;
    m_overscroll = on;
    RecalcLayout();
    Invalidate();
    UpdateVisibleRect();
}

bool CImageCtrlModel::Scroll(bool vertical, int code, int thumbPos, bool scrollContents)
{
    const Axis& a = vertical ? m_v : m_h;
    if (!m_zoomed || !HasPicture() || !a.scrolls)
        return false;
    const CRect area = GetPictureArea();
    const int64_t client = vertical ? area.Height() : area.Width();
    const int64_t line = vertical ? m_lineY : m_lineX;
    int64_t pos = a.pos;
    switch (code) {
    case kScrollLineUp: pos -= line; break;
    case kScrollLineDown: pos += line; break;
    case kScrollPageUp: pos -= client; break;
    case kScrollPageDown: pos += client; break;
    case kScrollThumbPosition:
    case kScrollThumbTrack: pos = thumbPos; break;
    case kScrollTop: pos = a.minPos; break;
    case kScrollBottom: pos = a.maxPos; break;
    default: return false;
    }
    return SetPosition(vertical, ToLong(pos), scrollContents);
}

bool CImageCtrlModel::SetPosition(bool vertical, int pos, bool scrollContents)
{
    Axis& a = vertical ? m_v : m_h;
    if (!a.scrolls)
        return false;
    pos = std::clamp(pos, a.minPos, std::max(a.minPos, a.maxPos));
    if (pos == a.pos) {
        UpdateVisibleRect();
        return false;
    }
    const int delta = a.pos - pos;
    a.pos = pos;
    if (scrollContents && m_host)
        m_host->ScrollContents(vertical ? 0 : delta, vertical ? delta : 0);
    UpdateVisibleRect();
    if (m_host)
        m_host->ScrollStateChanged();
    Notify(vertical ? ICN_VSCROLL : ICN_HSCROLL);
    return true;
}

// ---- coordinates

CRect CImageCtrlModel::GetImageClientRect() const
{
    if (!HasPicture())
        return CRect();
    const CRect area = GetPictureArea();
    if (!m_zoomed) {
        const RECT picture{0, 0, m_picture.cx, m_picture.cy};
        RECT fitted;
        ScaleRectKeepAspect(&area, &picture, &fitted, 1);
        return fitted;
    }
    const CRect client = GetClientRect();
    auto origin = [&](bool vertical) -> int64_t {
        const int64_t scaled = ScaledExtent(vertical);
        const int64_t areaStart = vertical ? area.top : area.left;
        const int64_t areaExtent = vertical ? area.Height() : area.Width();
        const int64_t margin = vertical ? m_marginY : m_marginX;
        const int64_t extent = scaled + (m_overscroll ? (vertical ? client.Height() : client.Width()) - 2 * margin : 0);
        if (extent > areaExtent)
            return areaStart - (vertical ? m_v.pos : m_h.pos);
        return areaStart + (areaExtent - scaled) / 2;
    };
    const int64_t x = origin(false), y = origin(true);
    return CRect(ToLong(x), ToLong(y), ToLong(x + ScaledExtent(false)), ToLong(y + ScaledExtent(true)));
}

CRect CImageCtrlModel::ImageRectToClient(const RECT& r) const
{
    const CRect pic = GetImageClientRect();
    if (pic.IsRectEmpty())
        return CRect();
    const int64_t pw = pic.Width(), ph = pic.Height(), w = m_picture.cx, h = m_picture.cy;
    return CRect(ToLong(pic.left + FloorDiv(int64_t(r.left) * pw, w)), ToLong(pic.top + FloorDiv(int64_t(r.top) * ph, h)),
                 ToLong(pic.left + FloorDiv(int64_t(r.right) * pw, w)),
                 ToLong(pic.top + FloorDiv(int64_t(r.bottom) * ph, h)));
}

CPoint CImageCtrlModel::ImageToClient(POINT p) const
{
    return ImageRectToClient(CRect(p.x, p.y, p.x + 1, p.y + 1)).TopLeft();
}

CImageQuad CImageCtrlModel::ImageQuadToClient(const CImageQuad& quad) const
{
    CImageQuad out;
    for (int i = 0; i < 4; ++i)
        out[i] = ImageToClient(quad[i]);
    return out;
}

bool CImageCtrlModel::ClientRectToImage(const RECT& r, RECT* out, bool clamp) const
{
    *out = CRect();
    const CRect pic = GetImageClientRect();
    if (!HasPicture() || pic.Width() <= 0)
        return false;
    // The horizontal ratio serves both axes.
    const int64_t pw = pic.Width(), w = m_picture.cx;
    CRect img(ToLong(FloorDiv((int64_t(r.left) - pic.left) * w, pw)), ToLong(FloorDiv((int64_t(r.top) - pic.top) * w, pw)),
              ToLong(FloorDiv((int64_t(r.right) - pic.left) * w, pw)),
              ToLong(FloorDiv((int64_t(r.bottom) - pic.top) * w, pw)));
    if (clamp) {
        img.left = std::clamp<LONG>(img.left, 0, m_picture.cx);
        img.right = std::clamp<LONG>(img.right, 0, m_picture.cx);
        img.top = std::clamp<LONG>(img.top, 0, m_picture.cy);
        img.bottom = std::clamp<LONG>(img.bottom, 0, m_picture.cy);
    }
    *out = img;
    return img.left <= img.right && img.top <= img.bottom;
}

bool CImageCtrlModel::ClientToImage(int x, int y, POINT* p) const
{
    *p = POINT{-1, -1};
    RECT r;
    if (!HasPicture() || !ClientRectToImage(CRect(x, y, x + 1, y + 1), &r, false))
        return false;
    POINT at{r.left, r.top};
    const bool inside = !m_bounds.IsRectEmpty() ? m_bounds.PtInRect(at)
                                                : CRect(0, 0, m_picture.cx, m_picture.cy).PtInRect(at);
    if (m_bounds.IsRectEmpty()) {
        at.x = std::clamp<LONG>(at.x, 0, m_picture.cx);
        at.y = std::clamp<LONG>(at.y, 0, m_picture.cy);
    }
    *p = at;
    return inside;
}

CRect CImageCtrlModel::GetVisiblePictureClientRect() const
{
    CRect visible;
    visible.IntersectRect(GetPictureArea(), GetImageClientRect());
    return visible;
}

void CImageCtrlModel::UpdateVisibleRect()
{
    m_visible = CRect();
    const CRect shown = GetVisiblePictureClientRect();
    RECT r;
    if (!shown.IsRectEmpty() && ClientRectToImage(shown, &r, true))
        m_visible = r;
}

// ---- areas

CRect CImageCtrlModel::LimitRect() const
{
    return !m_bounds.IsRectEmpty() ? m_bounds : CRect(0, 0, m_picture.cx, m_picture.cy);
}

CImageQuad CImageCtrlModel::GetArea(int index) const
{
    return index >= 0 && index < GetAreaCount() ? m_areas[static_cast<size_t>(index)] : CImageQuad();
}

CImageQuad CImageCtrlModel::GetCurrentArea() const { return GetArea(m_current); }

BOOL CImageCtrlModel::AddByRule(const CImageQuad& quad)
{
    if (!HasPicture())
        return FALSE;
    CImageQuad clamped = quad;
    clamped.Clamp(LimitRect());
    if (clamped.IsEmpty())
        return FALSE;
    m_areas.push_back(clamped);
    m_current = GetAreaCount() - 1;
    return TRUE;
}

BOOL CImageCtrlModel::SetSelection(const CImageQuad& quad, BOOL redraw)
{
    if (!HasPicture())
        return FALSE;
    if (!redraw && m_areas.size() == 1 && m_areas[0] == quad)
        return TRUE;
    m_areas.clear();
    m_current = -1;
    const BOOL added = AddByRule(quad);
    if (redraw)
        Invalidate();
    return added;
}

BOOL CImageCtrlModel::AddArea(const CImageQuad& quad, BOOL redraw)
{
    const BOOL added = AddByRule(quad);
    if (redraw)
        Invalidate();
    return added;
}

BOOL CImageCtrlModel::SetArea(int index, const CImageQuad& quad, BOOL redraw)
{
    if (!HasPicture() || index < 0 || index >= GetAreaCount())
        return FALSE;
    if (!redraw && m_areas[static_cast<size_t>(index)] == quad)
        return TRUE;
    CImageQuad clamped = quad;
    clamped.Clamp(LimitRect());
    const bool kept = !clamped.IsEmpty();
    if (kept) {
        m_areas[static_cast<size_t>(index)] = clamped;
        m_current = index;
    }
    if (redraw)
        Invalidate();
    return kept;
}

BOOL CImageCtrlModel::SetAreas(const std::vector<CImageQuad>& quads, BOOL redraw)
{
    if (quads == m_areas)
        return TRUE;
    m_areas.clear();
    m_current = -1;
    BOOL all = TRUE;
    for (const CImageQuad& q : quads) {
        if (!AddByRule(q)) {
            all = FALSE;
            break;
        }
    }
    if (redraw)
        Invalidate();
    return all;
}

void CImageCtrlModel::SetCurrentArea(const CImageQuad& quad)
{
    if (!m_multipleAreas) {
        m_areas.clear();
        m_current = -1;
    }
    if (m_current >= 0 && m_current < GetAreaCount())
        m_areas[static_cast<size_t>(m_current)] = quad;
    else
        AddByRule(quad);
    Invalidate();
}

void CImageCtrlModel::SelectAll()
{
    if (HasPicture())
        SetCurrentArea(CImageQuad(CRect(0, 0, m_picture.cx, m_picture.cy)));
}

void CImageCtrlModel::ClearSelection() { SetCurrentArea(CImageQuad()); }

int CImageCtrlModel::HitTestAreas(int x, int y, int* code) const
{
    if (code)
        *code = kHitNone;
    const POINT pt{x, y};
    for (int i = 0; i < GetAreaCount(); ++i) {
        const CImageQuad& area = m_areas[static_cast<size_t>(i)];
        if (area.IsEmpty())
            continue;
        const CImageQuad client = ImageQuadToClient(area);
        int hit;
        if (!m_handleTest) {
            // Every area counts: the press draws a new one unless it may move this one.
            hit = m_insideCode && client.Contains(pt) ? kHitInside : kHitNone;
        } else {
            hit = client.HitTest(pt);
            if (hit == kHitNone)
                continue;
            if (hit == kHitInside && !m_insideCode)
                hit = kHitNone;
        }
        if (code)
            *code = hit;
        return i;
    }
    return -1;
}

void CImageCtrlModel::RotateAreas(CSize before, int degrees)
{
    const int current = m_current;
    const CRect picture(0, 0, before.cx, before.cy);
    for (int i = 0; i < GetAreaCount(); ++i) {
        CImageQuad q = m_areas[static_cast<size_t>(i)];
        if (q.IsEmpty())
            continue;
        q.Rotate(picture, degrees);
        SetArea(i, q, FALSE);
    }
    // Turning the areas leaves the same one current.
    m_current = current;
    UpdateVisibleRect();
}

void CImageCtrlModel::SetMinAreaSize(int width, int height)
{
    m_minAreaW = std::max(1, width);
    m_minAreaH = std::max(1, height);
}

void CImageCtrlModel::SetOwnerCursorsSet(bool c1, bool c2, bool c3)
{
    m_ownerCursor[0] = c1;
    m_ownerCursor[1] = c2;
    m_ownerCursor[2] = c3;
}

int CImageCtrlModel::AdvanceOutlinePhase()
{
    const int old = m_phase;
    m_phase = (m_phase + 1) % 8;
    return old;
}
