// The image control's tools: what presses, drags, releases and the keys do,
// and which cursor shows where.
#include "imaging/image_ctrl_model.h"

#include "util/geometry.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

int Sign(int v) { return v < 0 ? -1 : 1; }

// x of the line through a and b at height y (x itself for a level line).
double XAt(POINT a, POINT b, double x, double y)
{
    return a.y == b.y ? x : a.x + (y - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y);
}

double YAt(POINT a, POINT b, double x, double y)
{
    return a.x == b.x ? y : a.y + (x - a.x) * (b.y - a.y) / static_cast<double>(b.x - a.x);
}

int CornerOf(int code)
{
    switch (code) {
    case kHitTopLeft: return 0;
    case kHitTopRight: return 1;
    case kHitBottomLeft: return 2;
    case kHitBottomRight: return 3;
    default: return -1;
    }
}

} // namespace

bool CImageCtrlModel::IsKeyDown(int vk, UINT keys) const
{
    switch (vk) {
    case 16: return (keys & kKeyShift) != 0;
    case 17: return (keys & kKeyControl) != 0;
    case 18: return (keys & kKeyAlt) != 0;
    default: return false;
    }
}

bool CImageCtrlModel::OutsideClient(POINT pt) const { return !GetClientRect().PtInRect(pt); }

// ---- buttons

void CImageCtrlModel::OnLButtonDown(POINT pt, UINT keys)
{
    m_downPoint = pt;
    POINT image;
    m_downInside = ClientToImage(pt.x, pt.y, &image);
    m_downImage = image;
    m_lastImage = image;
    const int hit = HitTestAreas(pt.x, pt.y);
    // With several areas the one pressed becomes current first, so that its
    // own shape is what a move or resize starts from.
    if (m_multipleAreas)
        m_current = hit;
    m_dragStart = hit < 0 ? CImageQuad() : GetCurrentArea();
    Notify(ICN_LBUTTONDOWN);
    const bool onVisiblePicture = HasPicture() && GetVisiblePictureClientRect().PtInRect(pt);
    switch (m_mode) {
    case kImageModePan:
        if (m_zoomed && HasPicture()) {
            m_anchor = image;
            m_panning = true;
            Notify(ICN_PANSTART);
        }
        break;
    case kImageModeZoomIn:
    case kImageModeZoomDouble:
    case kImageModeZoomOut:
    case kImageModeZoomHalve: ZoomClick(pt, keys); break;
    case kImageModeArea: {
        m_dragCode = kHitNone;
        int code = kHitNone;
        if (HitTestAreas(pt.x, pt.y, &code) < 0) {
            m_creating = m_mayCreateAreas && onVisiblePicture;
        } else {
            m_dragCode = code;
            if (code == kHitInside)
                m_moving = true;
            else
                m_resizing = true;
        }
        break;
    }
    case kImageModePoints:
        if (m_mayCreateAreas && onVisiblePicture) {
            m_placingPoints = true;
            m_path.clear();
        }
        break;
    default: break;
    }
}

void CImageCtrlModel::OnLButtonDblClk(POINT pt, UINT keys)
{
    Notify(ICN_LBUTTONDBLCLK);
    if (IsZoomTool(m_mode))
        ZoomClick(pt, keys);
}

void CImageCtrlModel::OnLButtonUp(POINT, UINT)
{
    if (m_moving || m_resizing) {
        m_moving = m_resizing = false;
        NotifyArea(ICN_AREACHANGED);
    } else if (m_creating || m_placingPoints) {
        m_creating = m_placingPoints = false;
        Invalidate();
        NotifyArea(ICN_AREACHANGED);
    } else if (m_panning) {
        m_panning = false;
        // Drawn again at its own quality, which panning gave up.
        Invalidate();
        if (m_host)
            m_host->SetCursor(ImageCursor::Arrow);
        Notify(ICN_PANEND);
    }
}

void CImageCtrlModel::OnRButtonDown(POINT pt, UINT)
{
    m_downPoint = pt;
    POINT image;
    m_downInside = ClientToImage(pt.x, pt.y, &image);
    m_downImage = image;
    Notify(ICN_RBUTTONDOWN);
}

void CImageCtrlModel::ZoomClick(POINT pt, UINT keys)
{
    const bool reversed = IsKeyDown(m_zoomKey, keys);
    if (!m_zoomed) {
        if (!m_selfZoom)
            Notify(reversed ? ICN_ZOOMBACKWARD : ICN_ZOOMFORWARD);
        return;
    }
    if (!GetImageClientRect().PtInRect(pt) || !CanZoom(reversed))
        return;
    POINT image;
    ClientToImage(pt.x, pt.y, &image);
    if (m_selfZoom)
        ZoomStep(reversed);
    else
        Notify(reversed ? ICN_ZOOMBACKWARD : ICN_ZOOMFORWARD); // the owner zooms before this returns
    // The same image point stays under the cursor.
    const CPoint now = ImageToClient(image);
    SetPosition(false, m_h.pos - pt.x + now.x, true);
    SetPosition(true, m_v.pos - pt.y + now.y, true);
    UpdateVisibleRect();
    Notify(ICN_ZOOMCLICK);
}

// ---- moves

bool CImageCtrlModel::OnMouseMove(POINT pt, UINT keys)
{
    if (m_mouseTracking) {
        POINT image;
        ClientToImage(pt.x, pt.y, &image);
        const int code = m_mouseInside ? ICN_MOUSEMOVE : ICN_MOUSEENTER;
        m_mouseInside = true;
        Notify(code, reinterpret_cast<LPARAM>(&image));
    }
    if (m_moving)
        MoveStep(pt);
    else if (m_resizing)
        ResizeStep(pt, keys);
    else if (m_creating || m_placingPoints)
        CreateStep(pt, keys);
    else if (m_panning)
        PanStep(pt);
    else
        return false;
    return true;
}

void CImageCtrlModel::OnMouseLeave()
{
    if (!m_mouseInside)
        return;
    m_mouseInside = false;
    Notify(ICN_MOUSELEAVE);
}

void CImageCtrlModel::PanStep(POINT pt)
{
    POINT image;
    ClientToImage(pt.x, pt.y, &image);
    const int64_t zoom = GetZoom();
    SetPosition(false, static_cast<int>(m_h.pos + (int64_t(m_anchor.x) - image.x) * zoom / 10000), true);
    SetPosition(true, static_cast<int>(m_v.pos + (int64_t(m_anchor.y) - image.y) * zoom / 10000), true);
}

void CImageCtrlModel::ResizeStep(POINT pt, UINT keys)
{
    POINT image;
    ClientToImage(pt.x, pt.y, &image);
    // The last image point stays the pressed one while resizing.
    if (SamePoint(image, m_lastImage))
        return;
    const bool changed = NewQuad(image, keys, OutsideClient(pt));
    AutoScroll(pt);
    if (changed)
        NotifyArea(ICN_AREACHANGING);
}

void CImageCtrlModel::CreateStep(POINT pt, UINT keys)
{
    POINT image;
    ClientToImage(pt.x, pt.y, &image);
    if (SamePoint(image, m_lastImage))
        return;
    bool changed = true;
    if (m_creating)
        changed = NewQuad(image, keys, OutsideClient(pt));
    else
        PointStep(image);
    m_lastImage = image;
    AutoScroll(pt);
    if (changed)
        NotifyArea(ICN_AREACHANGING);
}

void CImageCtrlModel::MoveStep(POINT pt)
{
    POINT image;
    ClientToImage(pt.x, pt.y, &image);
    if (SamePoint(image, m_lastImage))
        return;
    AutoScroll(pt);
    CImageQuad moved = m_dragStart;
    moved.Offset(image.x - m_downImage.x, image.y - m_downImage.y);
    if (!m_freeForm) {
        // Kept on the picture: pushed back by what passes an edge.
        const CRect limit = LimitRect();
        CRect box = moved.GetBoundingRect();
        if (box.right > limit.right)
            moved.Offset(limit.right - box.right, 0);
        box = moved.GetBoundingRect();
        if (box.left < limit.left)
            moved.Offset(limit.left - box.left, 0);
        box = moved.GetBoundingRect();
        if (box.bottom > limit.bottom)
            moved.Offset(0, limit.bottom - box.bottom);
        box = moved.GetBoundingRect();
        if (box.top < limit.top)
            moved.Offset(0, limit.top - box.top);
    } else if (OutsideClient(pt)) {
        moved = GetCurrentArea();
    }
    if (moved != GetCurrentArea()) {
        SetCurrentArea(moved);
        m_lastImage = image;
    }
    NotifyArea(ICN_AREACHANGING);
}

bool CImageCtrlModel::NewQuad(POINT image, UINT keys, bool outside)
{
    const CImageQuad before = GetCurrentArea();
    if (m_freeForm && outside)
        return false;
    if (!HasPicture()) {
        ClearSelection();
        return !(before == GetCurrentArea());
    }
    const bool square = IsKeyDown(m_squareKey, keys);
    CImageQuad quad;
    if (m_dragCode == kHitNone) {
        CRect rc(m_downImage.x, m_downImage.y, image.x, image.y);
        if (square)
            SquareRect(rc, kHitNone);
        rc.NormalizeRect();
        // Never thinner than the minimum, grown from the pressed point towards the cursor.
        if (rc.Width() < m_minAreaW) {
            if (m_downImage.x >= image.x)
                rc.left = rc.right - m_minAreaW;
            else
                rc.right = rc.left + m_minAreaW;
        }
        if (rc.Height() < m_minAreaH) {
            if (m_downImage.y >= image.y)
                rc.top = rc.bottom - m_minAreaH;
            else
                rc.bottom = rc.top + m_minAreaH;
        }
        quad = CImageQuad(rc);
    } else if (m_freeForm) {
        quad = m_dragStart;
        const int corner = CornerOf(m_dragCode);
        const double x = image.x, y = image.y;
        if (corner >= 0) {
            quad[corner] = image;
        } else if (m_dragCode == kHitLeft) {
            const int dx = static_cast<int>(x - XAt(quad[0], quad[2], x, y));
            quad[0].x += dx;
            quad[2].x += dx;
        } else if (m_dragCode == kHitTop) {
            const int dy = static_cast<int>(y - YAt(quad[0], quad[1], x, y));
            quad[0].y += dy;
            quad[1].y += dy;
        } else if (m_dragCode == kHitRight) {
            const int dx = static_cast<int>(x - XAt(quad[1], quad[3], x, y));
            quad[1].x += dx;
            quad[3].x += dx;
        } else if (m_dragCode == kHitBottom) {
            const int dy = static_cast<int>(y - YAt(quad[2], quad[3], x, y));
            quad[2].y += dy;
            quad[3].y += dy;
        }
        quad.Normalize();
    } else {
        CRect rc(m_dragStart[0].x, m_dragStart[0].y, m_dragStart[3].x, m_dragStart[3].y);
        if (m_dragCode & kHitSideLeft)
            rc.left = std::min<LONG>(image.x, rc.right - m_minAreaW);
        if (m_dragCode & kHitSideRight)
            rc.right = std::max<LONG>(image.x, rc.left + m_minAreaW);
        if (m_dragCode & kHitSideTop)
            rc.top = std::min<LONG>(image.y, rc.bottom - m_minAreaH);
        if (m_dragCode & kHitSideBottom)
            rc.bottom = std::max<LONG>(image.y, rc.top + m_minAreaH);
        if (square)
            SquareRect(rc, m_dragCode);
        rc.NormalizeRect();
        quad = CImageQuad(rc);
    }
    quad.Clamp(LimitRect());
    SetCurrentArea(quad);
    return !(before == GetCurrentArea());
}

void CImageCtrlModel::SquareRect(CRect& rc, int code) const
{
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const int aw = std::abs(w), ah = std::abs(h);
    const bool wide = aw > ah;
    // A side that moves stays on its side of the opposite one and ends at
    // the distance of the other dimension.
    auto moveLeft = [&] { rc.left = rc.right - Sign(w) * ah; };
    auto moveRight = [&] { rc.right = rc.left + Sign(w) * ah; };
    auto moveTop = [&] { rc.top = rc.bottom - Sign(h) * aw; };
    auto moveBottom = [&] { rc.bottom = rc.top + Sign(h) * aw; };
    if (code == kHitNone) {
        wide ? moveRight() : moveBottom();
    } else if (code & kHitCorner) {
        if (wide)
            (code & kHitSideLeft) ? moveLeft() : moveRight();
        else
            (code & kHitSideTop) ? moveTop() : moveBottom();
    } else if (code == kHitLeft) {
        moveLeft();
    } else if (code == kHitTop) {
        moveTop();
    } else if (code == kHitRight) {
        moveRight();
    } else if (code == kHitBottom) {
        moveBottom();
    }
}

void CImageCtrlModel::PointStep(POINT image)
{
    image.x = std::clamp<LONG>(image.x, 0, m_picture.cx);
    image.y = std::clamp<LONG>(image.y, 0, m_picture.cy);
    const bool first = m_path.empty();
    if (first || !SamePoint(image, m_path.back()))
        m_path.push_back(image);
    CImageQuad area;
    if (!first)
        area = CImageQuad(BoundingRectOfPoints(m_path.data(), m_path.size()));
    SetCurrentArea(area);
}

void CImageCtrlModel::AutoScroll(POINT pt)
{
    const CRect client = GetClientRect();
    if (!m_freeForm) {
        if (!m_zoomed)
            return;
        const CRect picture = GetImageClientRect();
        if (picture.Width() <= client.Width() && picture.Height() <= client.Height())
            return;
        if (pt.x <= client.left)
            Scroll(false, kScrollLineUp);
        else if (pt.x >= client.right - 1)
            Scroll(false, kScrollLineDown);
        if (pt.y <= client.top)
            Scroll(true, kScrollLineUp);
        else if (pt.y >= client.bottom - 1)
            Scroll(true, kScrollLineDown);
        if (m_host)
            m_host->UpdateNow();
        UpdateVisibleRect();
        return;
    }
    // Free-form quads: at the edge the view steps out instead.
    if (pt.x <= client.left || pt.y <= client.top || pt.x >= client.right - 1 || pt.y >= client.bottom - 1) {
        m_mode = kImageModeZoomIn;
        ZoomStep(true);
        m_mode = kImageModeArea;
    }
    UpdateVisibleRect();
}

// ---- cursors

ImageCursor CImageCtrlModel::ChooseCursor(POINT pt, UINT keys)
{
    ImageCursor cursor = ImageCursor::Arrow;
    int code = ICN_CURSORARROW;
    const bool onPicture = HasPicture() && GetVisiblePictureClientRect().PtInRect(pt);
    const auto owner = [&](int n, ImageCursor c, int note) {
        if (m_ownerCursor[n - 1]) {
            cursor = c;
            code = note;
        } else {
            cursor = ImageCursor::Unchanged;
        }
    };
    switch (m_mode) {
    case kImageModeNone:
    case kImageModePan:
    case kImageModePoints:
        if (onPicture && m_ownerCursor[0]) {
            cursor = ImageCursor::Owner1;
            code = ICN_CURSOR1;
        }
        break;
    case kImageModeZoomIn:
    case kImageModeZoomDouble:
    case kImageModeZoomOut:
    case kImageModeZoomHalve:
        if (onPicture) {
            const bool reversed = IsKeyDown(m_zoomKey, keys);
            if (!CanZoom(reversed))
                owner(3, ImageCursor::Owner3, ICN_CURSOR3);
            else if (reversed)
                owner(2, ImageCursor::Owner2, ICN_CURSOR2);
            else
                owner(1, ImageCursor::Owner1, ICN_CURSOR1);
        }
        break;
    case kImageModeArea: {
        int hit = kHitNone;
        const CImageQuad current = GetCurrentArea();
        const bool wholePicture = current.Width() == m_picture.cx && current.Height() == m_picture.cy;
        const ImageCursor crossOr1 = m_ownerCursor[0] ? ImageCursor::Owner1 : ImageCursor::Cross;
        if (HitTestAreas(pt.x, pt.y, &hit) >= 0) {
            code = ICN_CURSORHANDLE;
            switch (hit) {
            case kHitTopLeft:
            case kHitBottomRight: cursor = ImageCursor::SizeNWSE; break;
            case kHitTopRight:
            case kHitBottomLeft: cursor = ImageCursor::SizeNESW; break;
            case kHitTop:
            case kHitBottom: cursor = ImageCursor::SizeNS; break;
            case kHitLeft:
            case kHitRight: cursor = ImageCursor::SizeWE; break;
            case kHitInside:
                if (!wholePicture) {
                    cursor = ImageCursor::SizeAll;
                    code = ICN_CURSORMOVE;
                    break;
                }
                cursor = crossOr1;
                break;
            default: cursor = crossOr1; break;
            }
        } else if (m_mayCreateAreas && onPicture) {
            cursor = crossOr1;
            code = ICN_CURSORNEWAREA;
        }
        break;
    }
    default: break;
    }
    if (cursor != ImageCursor::Unchanged) {
        if (m_host)
            m_host->SetCursor(cursor);
        Notify(code);
    }
    return cursor;
}

bool CImageCtrlModel::PollModifier(UINT keys)
{
    const bool down = IsKeyDown(m_zoomKey, keys);
    if (down == m_modifierDown)
        return false;
    m_modifierDown = down;
    return true;
}
