#include "browser/gallery_model.h"

#include "platform/framework/wnd_defs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

char UpperFirst(const std::string& s)
{
    return s.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
}

int CeilDiv(int a, int b) { return b > 0 ? (a + b - 1) / b : 0; }

// A wheel notch; touchpads send fractions of it.
constexpr int kWheelNotch = 120;
// The square at a cell's bottom-right corner that resizes the cells.
constexpr int kResizeHandle = 10;

} // namespace

CGalleryModel::CGalleryModel() = default;

void CGalleryModel::Notify(int code, int item, LPARAM value)
{
    if (m_host && !m_bModal)
        m_host->Notify(code, item, value);
}

void CGalleryModel::Invalidate(int index)
{
    if (m_host && IsItemVisible(index))
        m_host->InvalidateItem(index);
}

// ---- items

int CGalleryModel::AddItem(const std::string& text, CSize imageSize)
{
    CGalleryItem item;
    item.text = text;
    item.imageSize = imageSize;
    m_items.push_back(std::move(item));
    return GetItemCount() - 1;
}

void CGalleryModel::DeleteItem(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    EndEdit(false);
    m_items.erase(m_items.begin() + index);
    for (int* i : {&m_nFocus, &m_nAnchor, &m_nPressed}) {
        if (*i == index)
            *i = -1;
        else if (*i > index)
            --*i;
    }
    RecalcLayout(TRUE);
}

void CGalleryModel::DeleteAllItems()
{
    EndEdit(true);
    m_items.clear();
    m_nFocus = m_nAnchor = m_nPressed = -1;
    m_nFirstRow = 0;
}

const CGalleryItem* CGalleryModel::Item(int index) const
{
    return index >= 0 && index < GetItemCount() ? &m_items[static_cast<size_t>(index)] : nullptr;
}

BOOL CGalleryModel::IsSelected(int index) const
{
    const CGalleryItem* item = Item(index);
    return item && item->selected;
}

int CGalleryModel::GetFirstSelected() const
{
    for (int i = 0; i < GetItemCount(); ++i)
        if (m_items[static_cast<size_t>(i)].selected)
            return i;
    return -1;
}

int CGalleryModel::GetSelectedCount() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(), [](const CGalleryItem& i) { return i.selected; }));
}

BOOL CGalleryModel::SetSelected(int index, BOOL state)
{
    if (index < 0 || index >= GetItemCount())
        return FALSE;
    BOOL& sel = m_items[static_cast<size_t>(index)].selected;
    if (!sel == !state)
        return FALSE;
    sel = state ? TRUE : FALSE;
    Invalidate(index);
    return TRUE;
}

void CGalleryModel::SelectAll(BOOL state)
{
    for (int i = 0; i < GetItemCount(); ++i)
        SetSelected(i, state);
}

void CGalleryModel::SetItemText(int index, const std::string& text, const std::string& secondText)
{
    if (index < 0 || index >= GetItemCount())
        return;
    m_items[static_cast<size_t>(index)].text = text;
    m_items[static_cast<size_t>(index)].secondText = secondText;
    Invalidate(index);
}

std::string CGalleryModel::GetItemSecondText(int index) const
{
    const CGalleryItem* item = Item(index);
    return item ? item->secondText : std::string();
}

void CGalleryModel::SetItemIcon(int index, int slot)
{
    if (index >= 0 && index < GetItemCount())
        m_items[static_cast<size_t>(index)].iconSlot = slot;
}

std::string CGalleryModel::GetItemText(int index) const
{
    const CGalleryItem* item = Item(index);
    if (!item)
        return {};
    std::string text;
    if (m_host && m_host->CaptionText(index, text))
        return text;
    return item->text;
}

// ---- settings

void CGalleryModel::SetClientSize(CSize size) { m_client = size; }

void CGalleryModel::SetCellRect(const CRect& cell) { m_cell = CRect(0, 0, cell.Width(), cell.Height()); }

void CGalleryModel::SetInsets(int left, int top, int right, int bottom)
{
    m_insets = CRect(std::max(left, 0), std::max(top, 0), std::max(right, 0), std::max(bottom, 0));
}

void CGalleryModel::SetLabelEditing(BOOL on, int limit, BOOL singleClick)
{
    m_bLabelEdit = on;
    m_nTextLimit = limit;
    m_bSingleClickEdit = singleClick;
}

// ---- geometry

bool CGalleryModel::IsItemVisible(int index) const
{
    const int first = GetFirstVisibleIndex();
    return index >= first && index < std::min(GetItemCount(), first + m_nColumns * m_nVisibleRows);
}

CRect CGalleryModel::GetCellRectOf(int index) const
{
    const int columns = std::max(m_nColumns, 1);
    const int row = index / columns - m_nFirstRow;
    const int column = index % columns;
    CRect r = m_cell;
    r.OffsetRect(column * m_cell.Width(), row * m_cell.Height());
    return r;
}

int CGalleryModel::HitTest(POINT pt) const
{
    if (pt.x < 0 || pt.y < 0 || m_cell.IsRectEmpty())
        return -1;
    const int column = pt.x / m_cell.Width();
    const int row = pt.y / m_cell.Height();
    if (column >= m_nColumns || row >= m_nVisibleRows)
        return -1;
    const int index = (m_nFirstRow + row) * m_nColumns + column;
    return index < GetItemCount() ? index : -1;
}

CRect CGalleryModel::Deflate(const CRect& r, int l, int t, int rr, int b)
{
    return CRect(r.left + l, r.top + t, r.right - rr, r.bottom - b);
}

CRect CGalleryModel::GetCaptionRect(int index) const
{
    const CRect cell = Deflate(GetCellRectOf(index), 2, 2, 2, 2);
    CRect band;
    if (m_nPlacement == kCaptionTop)
        band = CRect(cell.left, cell.top, cell.right, cell.top + m_nCaptionLines * m_nLineHeight);
    else if (m_nPlacement == kCaptionBottom)
        band = CRect(cell.left, cell.bottom - m_nCaptionLines * m_nLineHeight - m_nExtraHeight, cell.right, cell.bottom);
    else
        return CRect();
    const CGalleryItem* item = Item(index);
    if (item && item->iconSlot >= 0)
        band.right -= m_iconSize.cx + 2;
    return band;
}

CRect CGalleryModel::GetIconRect(int index) const
{
    const CGalleryItem* item = Item(index);
    if (!item || item->iconSlot < 0)
        return CRect();
    const CRect band = GetCaptionRect(index);
    CRect icon(band.right + 2, band.top, band.right + 2 + m_iconSize.cx, band.top + m_iconSize.cy);
    if (icon.bottom > band.bottom)
        icon.OffsetRect(0, band.bottom - icon.bottom);
    return icon;
}

CRect CGalleryModel::GetPictureArea(int index) const
{
    CRect area = Deflate(GetCellRectOf(index), m_insets.left, m_insets.top, m_insets.right, m_insets.bottom);
    if (m_bCaptionsShown) {
        if (m_nPlacement == kCaptionTop)
            area.top += m_nLineHeight + m_insets.top;
        else if (m_nPlacement == kCaptionBottom)
            area.bottom -= m_nLineHeight + m_insets.bottom;
    }
    if (area.top > area.bottom || area.left > area.right)
        return CRect(area.left, area.top, area.left, area.top);
    return area;
}

CRect CGalleryModel::GetPictureRect(int index) const
{
    const CRect area = GetPictureArea(index);
    CSize size;
    if (const CGalleryItem* item = Item(index))
        size = item->imageSize;
    if (m_host) {
        const CSize given = m_host->PictureSize(index);
        if (given.cx > 0 && given.cy > 0)
            size = given;
    }
    if (size.cx <= 0 || size.cy <= 0 || area.IsRectEmpty())
        return CRect(area.left, area.top, area.left, area.top);
    double scale = std::min(double(area.Width()) / size.cx, double(area.Height()) / size.cy);
    if (!m_bEnlarge)
        scale = std::min(scale, 1.0);
    const int w = std::max(1, static_cast<int>(size.cx * scale + 0.5));
    const int h = std::max(1, static_cast<int>(size.cy * scale + 0.5));
    const int x = area.left + (area.Width() - w) / 2;
    const int y = area.top + (area.Height() - h) / 2;
    return CRect(x, y, x + w, y + h);
}

CRect CGalleryModel::GetEditorRect(int index) const
{
    const CRect band = GetCaptionRect(index);
    CRect r(band.left, band.top, band.right, band.top + m_nLineHeight);
    r.InflateRect(1, 1);
    return r;
}

BOOL CGalleryModel::HitResizeHandle(POINT pt) const
{
    if (!m_bResizeHandle)
        return FALSE;
    const int index = HitTest(pt);
    if (index < 0)
        return FALSE;
    const CRect cell = GetCellRectOf(index);
    return CRect(cell.right - kResizeHandle, cell.bottom - kResizeHandle, cell.right, cell.bottom).PtInRect(pt);
}

BOOL CGalleryModel::HitIcon(POINT pt) const
{
    const int index = HitTest(pt);
    return index >= 0 && GetIconRect(index).PtInRect(pt);
}

int CGalleryModel::HitCaptionLine(POINT pt) const
{
    const int index = HitTest(pt);
    if (index < 0 || m_nLineHeight <= 0)
        return -1;
    const CRect band = GetCaptionRect(index);
    if (!band.PtInRect(pt))
        return -1;
    const int line = (pt.y - band.top) / m_nLineHeight;
    return line < m_nCaptionLines ? line : -1;
}

// ---- layout and scrolling

void CGalleryModel::RecalcLayout(BOOL redraw)
{
    EndEdit(false);
    const int count = GetItemCount();
    if (m_bFitToWindow && count > 0) {
        int bestW = 0, bestH = 0, best = -1;
        for (int c = 1; c <= count; ++c) {
            const int w = m_client.cx / c;
            const int h = m_client.cy / CeilDiv(count, c);
            const int diff = std::abs(w - h);
            if (best < 0 || diff < best) {
                best = diff;
                bestW = w;
                bestH = h;
            }
        }
        m_cell = CRect(0, 0, bestW, bestH);
    } else if (m_bSizeToLargest && count > 0) {
        CSize largest;
        for (int i = 0; i < count; ++i) {
            CSize s = m_items[static_cast<size_t>(i)].imageSize;
            if (m_host) {
                const CSize given = m_host->PictureSize(i);
                if (given.cx > 0 && given.cy > 0)
                    s = given;
            }
            largest.cx = std::max(largest.cx, s.cx);
            largest.cy = std::max(largest.cy, s.cy);
        }
        m_cell = CRect(0, 0, largest.cx + 2 * (m_insets.left + m_insets.right),
                       largest.cy + 2 * (m_insets.top + m_insets.bottom) + m_nLineHeight);
    }
    if (m_bFitToWindow || m_bSizeToLargest)
        m_cell = CRect(0, 0, std::max<int>(m_cell.Width(), m_nMinCell), std::max<int>(m_cell.Height(), m_nMinCell));
    if (m_cell.IsRectEmpty())
        return;
    m_nColumns = std::max<int>(1, m_client.cx / m_cell.Width());
    m_nVisibleRows = std::max(1, CeilDiv(m_client.cy, m_cell.Height()));
    m_nRowsPerPage = std::max<int>(1, m_client.cy / m_cell.Height());
    m_nLastRow = std::max(0, CeilDiv(count, m_nColumns) - m_nRowsPerPage);
    m_nFirstRow = std::clamp(m_nFirstRow, 0, m_nLastRow);
    if (m_host) {
        m_host->ScrollRangeChanged(m_nLastRow, m_nLastRow > 0);
        if (redraw)
            m_host->InvalidateAll();
    }
}

void CGalleryModel::SetFirstRow(int row)
{
    row = std::clamp(row, 0, m_nLastRow);
    if (row == m_nFirstRow)
        return;
    const int dy = (m_nFirstRow - row) * m_cell.Height();
    m_nFirstRow = row;
    if (m_host) {
        m_host->ScrollGrid(dy);
        if (m_nEditItem >= 0)
            m_host->MoveEditor(GetEditorRect(m_nEditItem));
    }
}

void CGalleryModel::Scroll(int code, int pos)
{
    switch (code) {
    case kScrollLineUp: SetFirstRow(m_nFirstRow - 1); break;
    case kScrollLineDown: SetFirstRow(m_nFirstRow + 1); break;
    case kScrollPageUp: SetFirstRow(m_nFirstRow - m_nRowsPerPage); break;
    case kScrollPageDown: SetFirstRow(m_nFirstRow + m_nRowsPerPage); break;
    case kScrollThumbPosition:
    case kScrollThumbTrack: SetFirstRow(pos); break;
    case kScrollTop: SetFirstRow(0); break;
    case kScrollBottom: SetFirstRow(GetItemCount() / std::max(m_nColumns, 1) - m_nRowsPerPage); break;
    default: Notify(GCN_SCROLLED, 0); break;
    }
}

void CGalleryModel::Wheel(int delta)
{
    if (delta == 1 || delta == -1) {
        Scroll(delta > 0 ? kScrollLineUp : kScrollLineDown);
        Notify(GCN_SCROLLED, 0);
        return;
    }
    // Fine-grained wheels and touchpads send many small deltas: a page only
    // for each whole notch, so that a gentle swipe does not race through the folder.
    m_nWheelSum += delta;
    bool moved = false;
    while (m_nWheelSum >= kWheelNotch) {
        m_nWheelSum -= kWheelNotch;
        Scroll(kScrollPageUp);
        moved = true;
    }
    while (m_nWheelSum <= -kWheelNotch) {
        m_nWheelSum += kWheelNotch;
        Scroll(kScrollPageDown);
        moved = true;
    }
    if (moved)
        Notify(GCN_SCROLLED, 0);
}

void CGalleryModel::EnsureVisible(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    const int row = index / std::max(m_nColumns, 1);
    if (row < m_nFirstRow)
        SetFirstRow(row);
    else if (row >= m_nFirstRow + m_nRowsPerPage)
        SetFirstRow(row - m_nRowsPerPage + 1);
}

// ---- selection

bool CGalleryModel::SelectOnly(int index)
{
    bool changed = false;
    for (int i = 0; i < GetItemCount(); ++i)
        changed |= SetSelected(i, i == index) != FALSE;
    return changed;
}

void CGalleryModel::SelectRange(int from, int to)
{
    if (from > to)
        std::swap(from, to);
    for (int i = 0; i < GetItemCount(); ++i)
        SetSelected(i, i >= from && i <= to);
}

void CGalleryModel::ExtendSelection(int index)
{
    if (m_nAnchor < 0 || m_nAnchor >= GetItemCount())
        m_nAnchor = index;
    SelectRange(m_nAnchor, index);
    m_nFocus = index;
}

void CGalleryModel::ClickSelect(int index, UINT keys, bool hitIcon)
{
    const bool shift = m_bMultiple && (keys & kKeyShift);
    const bool ctrl = m_bMultiple && (keys & kKeyControl);
    if (index < 0) {
        if (GetSelectedCount() > 0 && m_bEmptyClears && !(keys & (kKeyShift | kKeyControl))) {
            SelectAll(FALSE);
            Notify(GCN_SELCHANGED, -1);
        }
        return;
    }
    if (shift) {
        ExtendSelection(index);
        Notify(GCN_SELCHANGED, index);
        return;
    }
    if (ctrl) {
        if (GetSelectedCount() == 1 && IsSelected(index))
            return;
        SetSelected(index, !IsSelected(index));
        m_nFocus = m_nAnchor = index;
        Notify(GCN_SELCHANGED, index);
        if (IsSelected(index) && m_bDragNotify)
            Notify(GCN_BEGINDRAG, index);
        return;
    }
    if (hitIcon)
        Notify(GCN_ICONCLICK, index);
    if (!m_bReselect && IsSelected(index)) {
        if (!hitIcon && m_bDragNotify)
            Notify(GCN_BEGINDRAG, index);
        return;
    }
    SelectOnly(index);
    m_nFocus = m_nAnchor = index;
    Notify(GCN_SELCHANGED, index);
}

bool CGalleryModel::FirstLineHit(int index, POINT pt) const
{
    return index >= 0 && HitCaptionLine(pt) == 0;
}

CGalleryModel::Press CGalleryModel::LButtonDown(POINT pt, UINT keys)
{
    EndEdit(false);
    const int index = HitTest(pt);
    if (m_bPressMode) {
        if (index >= 0) {
            m_nPressed = index;
            SetSelected(index, TRUE);
            if (m_host)
                m_host->TakeCapture(true);
        }
        return Press::Select;
    }
    if (HitResizeHandle(pt)) {
        m_bResizing = true;
        m_resizeStart = pt;
        m_resize = m_resizeFrom = GetCellRectOf(index);
        if (m_host) {
            m_host->TakeCapture(true);
            m_host->BandChanged();
        }
        return Press::Resize;
    }
    if (m_bLabelEdit && m_bSingleClickEdit && IsSelected(index) && !(keys & (kKeyShift | kKeyControl)) &&
        FirstLineHit(index, pt) && GetSelectedCount() == 1) {
        if (BeginEdit(index))
            return Press::Edit;
    }
    if (m_bClickSelection && (index >= 0 || !(m_bMultiple && m_bRubberBand))) {
        ClickSelect(index, keys, index >= 0 && HitIcon(pt));
        return Press::Select;
    }
    if (index < 0 && m_bMultiple && m_bRubberBand) {
        if (m_bClickSelection)
            ClickSelect(-1, keys, false);
        m_snapshot.clear();
        for (const CGalleryItem& item : m_items)
            m_snapshot.push_back(item.selected);
        m_bandStart = POINT{pt.x, pt.y + m_nFirstRow * m_cell.Height()};
        m_bandEnd = m_bandStart;
        m_bBand = true;
        m_bBandMoved = false;
        if (m_host) {
            m_host->TakeCapture(true);
            m_host->BandChanged();
        }
        return Press::Band;
    }
    return Press::Default;
}

void CGalleryModel::RButtonDown(POINT pt, UINT keys)
{
    EndEdit(false);
    if (m_bClickSelection)
        ClickSelect(HitTest(pt), keys, false);
}

void CGalleryModel::MouseMove(POINT pt, UINT keys)
{
    if (m_bBand) {
        UpdateBand(pt, keys);
        return;
    }
    if (m_bResizing) {
        const int minW = m_nMinCell;
        const int minH = m_bCaptionsShown ? m_nMinCell + m_nLineHeight : m_nMinCell;
        int right = m_resizeFrom.right + pt.x - m_resizeStart.x;
        int bottom = m_resizeFrom.bottom + pt.y - m_resizeStart.y;
        right = std::clamp<int>(right, m_resize.left + minW, std::max<int>(m_client.cx, m_resize.left + minW));
        bottom = std::clamp<int>(bottom, m_resize.top + minH, std::max<int>(m_client.cy, m_resize.top + minH));
        m_resize.right = right;
        m_resize.bottom = bottom;
        if (m_host)
            m_host->BandChanged();
    }
}

void CGalleryModel::LButtonUp(POINT pt, UINT keys)
{
    (void)keys;
    if (m_nPressed >= 0) {
        const int pressed = m_nPressed;
        m_nPressed = -1;
        SetSelected(pressed, FALSE);
        if (m_host)
            m_host->TakeCapture(false);
        if (HitTest(pt) == pressed)
            Notify(GCN_RELEASED, pressed);
        return;
    }
    if (m_bResizing) {
        m_bResizing = false;
        const CRect done = m_resize;
        m_resize = CRect();
        if (m_host) {
            m_host->TakeCapture(false);
            m_host->BandChanged();
        }
        SetCellRect(done);
        RecalcLayout(FALSE);
        if (m_host)
            m_host->InvalidateAll();
        return;
    }
    if (m_bBand)
        EndBand();
}

void CGalleryModel::LButtonDblClk(POINT pt)
{
    const int index = HitTest(pt);
    if (m_bLabelEdit && IsSelected(index) && FirstLineHit(index, pt) && BeginEdit(index))
        return;
    Notify(GCN_DBLCLK, index);
}

// ---- rubber band

CRect CGalleryModel::GetBandRect() const
{
    if (!m_bBand)
        return CRect();
    CRect r(m_bandStart.x, m_bandStart.y, m_bandEnd.x, m_bandEnd.y);
    r.NormalizeRect();
    r.OffsetRect(0, -m_nFirstRow * m_cell.Height());
    return r;
}

void CGalleryModel::UpdateBand(POINT pt, UINT keys)
{
    const bool shift = (keys & kKeyShift) != 0;
    const bool ctrl = (keys & kKeyControl) != 0;
    if (!m_bBandMoved) {
        m_bBandMoved = true;
        if (!shift && !ctrl)
            for (int i = 0; i < GetItemCount(); ++i)
                if (SetSelected(i, FALSE))
                    Notify(GCN_SELCHANGED, i);
    }
    if (pt.y <= 0)
        SetFirstRow(m_nFirstRow - 1);
    else if (pt.y >= m_client.cy)
        SetFirstRow(m_nFirstRow + 1);
    m_bandEnd = POINT{pt.x, pt.y + m_nFirstRow * m_cell.Height()};
    if (m_host)
        m_host->BandChanged();
    const CRect band = GetBandRect();
    bool changed = false;
    const int last = std::min(GetItemCount(), GetFirstVisibleIndex() + m_nColumns * m_nVisibleRows);
    for (int i = GetFirstVisibleIndex(); i < last; ++i) {
        CRect overlap;
        const bool inside = overlap.IntersectRect(band, GetCellRectOf(i));
        const BOOL before = i < static_cast<int>(m_snapshot.size()) ? m_snapshot[static_cast<size_t>(i)] : FALSE;
        BOOL state;
        if (shift)
            state = inside ? TRUE : before;
        else if (ctrl)
            state = inside ? !before : before;
        else
            state = inside ? TRUE : FALSE;
        changed |= SetSelected(i, state) != FALSE;
    }
    if (changed)
        Notify(GCN_SELCHANGED, -1);
}

void CGalleryModel::EndBand()
{
    const CRect band = GetBandRect();
    m_bBand = false;
    if (band.Width() == 0 && band.Height() == 0)
        for (int i = 0; i < GetItemCount(); ++i)
            if (SetSelected(i, FALSE))
                Notify(GCN_SELCHANGED, i);
    m_snapshot.clear();
    if (m_host) {
        m_host->BandChanged();
        m_host->TakeCapture(false);
    }
}

// ---- keys

bool CGalleryModel::KeyDown(UINT vk, UINT keys)
{
    if (vk == VK_RETURN) {
        if (m_nEditItem >= 0)
            EndEdit(false);
        if (m_bModal) {
            m_bModal = FALSE;
            m_nModalResult = 1;
        }
        return true;
    }
    if (vk == VK_ESCAPE) {
        if (m_bModal) {
            m_bModal = FALSE;
            m_nModalResult = 2;
        } else if (m_nEditItem >= 0) {
            EndEdit(true);
        }
        return true;
    }
    if (!m_bKeyboard || GetItemCount() == 0)
        return false;
    if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN) {
        const int start = m_nFocus >= 0 ? m_nFocus : std::max(GetFirstSelected(), 0);
        int next = start;
        const int column = start % m_nColumns;
        if (vk == VK_LEFT && column > 0)
            next = start - 1;
        else if (vk == VK_RIGHT && column + 1 < m_nColumns)
            next = start + 1;
        else if (vk == VK_UP && start >= m_nColumns)
            next = start - m_nColumns;
        else if (vk == VK_DOWN)
            next = start + m_nColumns;
        if (next < GetItemCount()) {
            if (m_bMultiple && (keys & kKeyShift)) {
                ClickSelect(next, kKeyShift, false);
            } else {
                SelectOnly(next);
                m_nFocus = m_nAnchor = next;
                Notify(GCN_SELCHANGED, next);
            }
            EnsureVisible(next);
        }
        return true;
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') || vk == VK_SPACE)
        return TypeAhead(static_cast<char>(vk));
    return false;
}

bool CGalleryModel::TypeAhead(char c)
{
    const int count = GetItemCount();
    if (count == 0)
        return false;
    const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const int first = GetFirstSelected();
    // A repeated key steps on through the items that begin with it.
    const int start = first >= 0 && UpperFirst(GetItemText(first)) == key ? first + 1 : 0;
    for (int n = 0; n < count; ++n) {
        const int i = (start + n) % count;
        if (UpperFirst(GetItemText(i)) == key) {
            SelectOnly(i);
            m_nFocus = m_nAnchor = i;
            Notify(GCN_SELCHANGED, i);
            EnsureVisible(i);
            return true;
        }
    }
    return false;
}

// ---- caption editing

bool CGalleryModel::BeginEdit(int index)
{
    if (!m_bLabelEdit || !IsSelected(index) || m_nEditItem >= 0)
        return false;
    const std::string caption = GetItemText(index);
    m_strEditOld = caption;
    m_nEditItem = index;
    if (m_host)
        m_host->ShowEditor(GetEditorRect(index), caption.substr(0, caption.find('\n')));
    Notify(GCN_BEGINLABELEDIT, index);
    return true;
}

void CGalleryModel::EndEdit(bool cancel)
{
    if (m_nEditItem < 0)
        return;
    // Cleared first: hiding the editor takes its focus, which ends the edit again.
    const int index = m_nEditItem;
    m_nEditItem = -1;
    if (cancel) {
        if (m_host)
            m_host->HideEditor();
        return;
    }
    const std::string text = m_host ? m_host->EditorText() : std::string();
    if (!text.empty() && index < GetItemCount()) {
        const size_t eol = m_strEditOld.find('\n');
        const std::string caption = eol == std::string::npos ? text : text + m_strEditOld.substr(eol);
        CGalleryItem& item = m_items[static_cast<size_t>(index)];
        const std::string before = item.text;
        item.text = caption;
        int answer = 1;
        Notify(GCN_LABELEDITED, index, reinterpret_cast<LPARAM>(&answer));
        if (!answer && index < GetItemCount())
            m_items[static_cast<size_t>(index)].text = before;
        Invalidate(index);
    }
    if (m_host)
        m_host->HideEditor();
    Notify(GCN_ENDLABELEDIT, index);
}
