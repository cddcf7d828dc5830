#include "message/aphoto_tree_model.h"

#include "message/photo_content.h"
#include "util/string_util.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>

namespace {

enum : UINT { SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
              SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8 };
enum : UINT { kNext = 1, kPrevious = 2, kParent = 3, kChild = 4 };
constexpr int kWheelNotch = 120;

} // namespace

CAPhotoTreeModel::CAPhotoTreeModel()
{
    m_default.m_record.m_logFont = DefaultCommentFont();
}

// ---- queries

const CommentNode& CAPhotoTreeModel::GetNode(int item) const
{
    return IsValid(item) ? m_nodes[item - 1] : m_default;
}

const CAnoRecord& CAPhotoTreeModel::GetRecord(int item) const { return GetNode(item).m_record; }

int CAPhotoTreeModel::GetDepth(int item) const { return IsValid(item) ? int(m_nodes[item - 1].m_nDepth) : -1; }

int CAPhotoTreeModel::GetCurrent() const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_nodes[i].m_nCurrent)
            return i + 1;
    return 0;
}

int CAPhotoTreeModel::GetFirstSelected() const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_nodes[i].m_nSelectState == stateOn)
            return i + 1;
    return 0;
}

int CAPhotoTreeModel::GetSelectedCount() const
{
    return int(std::count_if(m_nodes.begin(), m_nodes.end(), [](const CommentNode& n) { return n.m_nSelectState == stateOn; }));
}

bool CAPhotoTreeModel::CollectSelectedIndices(std::vector<int>& indices) const
{
    indices.clear();
    for (int i = 0; i < GetCount(); ++i)
        if (m_nodes[i].m_nSelectState == stateOn)
            indices.push_back(i);
    return !indices.empty();
}

void CAPhotoTreeModel::CollectSelectedItems(std::vector<int>& items) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_nodes[i].m_nSelectState == stateOn)
            items.push_back(i + 1);
}

int CAPhotoTreeModel::GetNextItem(int item, UINT code) const
{
    if (!IsValid(item))
        return 0;
    const UINT depth = m_nodes[item - 1].m_nDepth;
    switch (code) {
    case kNext:
        for (int i = item; i < GetCount(); ++i) {
            if (m_nodes[i].m_nDepth == depth)
                return i + 1;
            if (m_nodes[i].m_nDepth < depth)
                return 0;
        }
        return 0;
    case kPrevious:
        for (int i = item - 2; i >= 0; --i) {
            if (m_nodes[i].m_nDepth == depth)
                return i + 1;
            if (m_nodes[i].m_nDepth < depth)
                return 0;
        }
        return 0;
    case kParent:
        if (depth == 0)
            return 0;
        for (int i = item - 2; i >= 0; --i)
            if (m_nodes[i].m_nDepth == depth - 1)
                return i + 1;
        return 0;
    case kChild:
        return item < GetCount() && m_nodes[item].m_nDepth == depth + 1 ? item + 1 : 0;
    default:
        return 0;
    }
}

int CAPhotoTreeModel::GetRootItem(int item) const
{
    if (!IsValid(item))
        return 0;
    int i = item - 1;
    while (i > 0 && m_nodes[i].m_nDepth != 0)
        --i;
    return i + 1;
}

int CAPhotoTreeModel::ThreadEnd(int index) const
{
    const UINT depth = m_nodes[index].m_nDepth;
    int end = index + 1;
    while (end < GetCount() && m_nodes[end].m_nDepth > depth)
        ++end;
    return end;
}

int CAPhotoTreeModel::GetLastDescendant(int item) const { return IsValid(item) ? ThreadEnd(item - 1) : 0; }

int CAPhotoTreeModel::GetTopLevelCount() const
{
    return int(std::count_if(m_nodes.begin(), m_nodes.end(), [](const CommentNode& n) { return n.m_nDepth == 0; }));
}

int CAPhotoTreeModel::GetTopLevelItem(int k) const
{
    if (k < 0)
        return 0;
    for (int i = 0; i < GetCount(); ++i)
        if (m_nodes[i].m_nDepth == 0 && k-- == 0)
            return i + 1;
    return 0;
}

int CAPhotoTreeModel::GetThreadSize(int k) const
{
    const int item = GetTopLevelItem(k);
    return item ? ThreadEnd(item - 1) - (item - 1) : 0;
}

std::string CAPhotoTreeModel::GetDisplayText(int item) const
{
    if (!IsValid(item))
        return {};
    const CAnoRecord& record = GetRecord(item);
    return m_bShowCaption ? record.GetCaption() : record.m_strContent;
}

// ---- content

bool CAPhotoTreeModel::LoadRecords(const CAPhotoContent& content)
{
    m_nodes.clear();
    m_nodes.reserve(content.m_comments.size());
    for (const CAnoElement& element : content.m_comments) {
        CommentNode node;
        // A reply is at most one level below the comment before it, and the
        // first comment is on the photograph: anything else would break the
        // relations every operation relies on.
        const int64_t deepest = m_nodes.empty() ? 0 : int64_t(m_nodes.back().m_nDepth) + 1;
        node.m_nDepth = UINT(std::clamp<int64_t>(element.m_nDepth, 0, deepest));
        if (element.m_pRecord)
            node.m_record = *element.m_pRecord;
        m_nodes.push_back(std::move(node));
    }
    m_nHot = 0;
    Changed();
    return true;
}

bool CAPhotoTreeModel::CollectRecords(CAPhotoContent& content) const
{
    content.m_comments.clear();
    content.m_comments.reserve(m_nodes.size());
    for (const CommentNode& node : m_nodes)
        content.m_comments.emplace_back(int32_t(node.m_nDepth), std::make_unique<CAnoRecord>(node.m_record));
    return true;
}

int CAPhotoTreeModel::InsertNode(const CAnoRecord& record, int parent)
{
    int position = GetCount();
    UINT depth = 0;
    if (parent != 0 && parent != kRootItem && IsValid(parent)) {
        depth = m_nodes[parent - 1].m_nDepth + 1;
        position = parent;
        while (position < GetCount() && m_nodes[position].m_nDepth >= depth)
            ++position;
    }
    CommentNode node;
    node.m_nDepth = depth;
    node.m_record = record;
    m_nodes.insert(m_nodes.begin() + position, std::move(node));
    m_nHot = 0;
    Layout();
    for (int item = position + 1; item <= GetCount(); ++item)
        Redraw(item, true);
    Changed();
    return position + 1;
}

void CAPhotoTreeModel::SetNodeRecord(int item, const CAnoRecord& record, bool relayout)
{
    (IsValid(item) ? Node(item) : m_default).m_record = record;
    if (relayout)
        Changed();
}

bool CAPhotoTreeModel::DeleteNode(int item)
{
    if (IsValid(item))
        m_nodes.erase(m_nodes.begin() + (item - 1), m_nodes.begin() + ThreadEnd(item - 1));
    m_nHot = 0;
    Changed();
    return true;
}

bool CAPhotoTreeModel::DeleteAllNodes()
{
    m_nodes.clear();
    m_nHot = 0;
    Changed();
    return true;
}

bool CAPhotoTreeModel::DeleteSelectedNodes()
{
    // From the end, so that the positions of those still to go stay put; a
    // selected reply inside a thread already gone was removed with it.
    for (int item = GetCount(); item >= 1; --item)
        if (IsValid(item) && m_nodes[item - 1].m_nSelectState == stateOn)
            DeleteNode(item);
    return true;
}

void CAPhotoTreeModel::MoveThread(int target)
{
    const int current = GetCurrent();
    if (!IsValid(current) || !IsValid(target))
        return;
    const int c = current - 1;
    const int t = target - 1;
    const int end = ThreadEnd(c);
    if (t >= c && t < end)
        return; // into its own thread: nowhere to go
    auto take = [this](int at) {
        CommentNode node = std::move(m_nodes[at]);
        m_nodes.erase(m_nodes.begin() + at);
        return node;
    };
    if (t > c) {
        for (int n = end - c; n > 0; --n) {
            CommentNode node = take(c);
            m_nodes.insert(m_nodes.begin() + t, std::move(node));
        }
    } else {
        for (int i = 0; i < end - c; ++i) {
            CommentNode node = take(c + i);
            m_nodes.insert(m_nodes.begin() + t + i, std::move(node));
        }
    }
    Changed();
}

// ---- states

void CAPhotoTreeModel::Notify(int code)
{
    if (m_pListener)
        m_pListener->TreeNotify(code);
}

void CAPhotoTreeModel::Redraw(int item, bool erase)
{
    if (m_pListener && IsValid(item))
        m_pListener->TreeRedraw(item, erase);
}

void CAPhotoTreeModel::RedrawBox(int item)
{
    if (m_pListener && IsValid(item))
        m_pListener->TreeRedrawBox(item);
}

void CAPhotoTreeModel::Changed()
{
    Layout();
    if (m_pListener)
        m_pListener->TreeLayoutChanged();
}

void CAPhotoTreeModel::SetSelectState(int item, UINT state, bool notify)
{
    if (item == 0) {
        for (int i = 1; i <= GetCount(); ++i) {
            if (Node(i).m_nSelectState != stateOff) {
                Node(i).m_nSelectState = stateOff;
                RedrawBox(i);
            }
        }
    } else if (IsValid(item) && Node(item).m_nSelectState != state) {
        Node(item).m_nSelectState = state;
        RedrawBox(item);
    }
    if (notify)
        Notify(kNotifySelectState);
}

void CAPhotoTreeModel::SelectAll(bool notify)
{
    for (int i = 1; i <= GetCount(); ++i)
        SetSelectState(i, stateOn, notify);
}

void CAPhotoTreeModel::ToggleSelect(int item)
{
    SetCurrent(item, true, true);
    SetSelectState(item, GetSelectState(item) == stateOn ? stateOff : stateOn, true);
    Notify(kNotifyClick);
}

bool CAPhotoTreeModel::SetCurrent(int item, bool notify, bool erase)
{
    if (item != 0)
        SetHot(0, erase);
    bool changed = false;
    for (int i = 1; i <= GetCount(); ++i) {
        const UINT flag = i == item ? 1 : 0;
        if (Node(i).m_nCurrent != flag) {
            Node(i).m_nCurrent = flag;
            changed = true;
            Redraw(i, erase);
        }
    }
    if (changed) {
        SetSelectState(0, stateOff, true);
        if (notify)
            Notify(kNotifySelChanged);
    }
    return changed;
}

void CAPhotoTreeModel::SetHot(int item, bool erase)
{
    if (item == m_nHot)
        return;
    const int old = m_nHot;
    m_nHot = 0;
    Redraw(old, erase);
    m_nHot = IsValid(item) ? item : 0;
    Redraw(m_nHot, erase);
}

// ---- layout

void CAPhotoTreeModel::Layout()
{
    m_rects.assign(m_nodes.size(), CRect());
    int y = m_client.top + kTopMargin;
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const int left = m_client.left + kCardLeft + int(m_nodes[i].m_nDepth) * kIndent;
        const CRect bound(left, y, std::max<LONG>(left + 1, m_client.right), y + 0x7FFF);
        CRect card = m_measure ? m_measure(m_nodes[i].m_record, bound) : CRect(left, y, left, y + kMinCardHeight);
        CRect r(left, y, m_client.right, y + std::max<LONG>(kMinCardHeight, card.Height()));
        m_rects[i] = r;
        y = r.bottom + kCardGap;
    }
    UpdateScrollRange();
}

CRect CAPhotoTreeModel::GetContentRect(int item) const
{
    return IsValid(item) && size_t(item) <= m_rects.size() ? m_rects[item - 1] : CRect();
}

CRect CAPhotoTreeModel::GetItemRect(int item) const
{
    CRect r = GetContentRect(item);
    if (!r.IsRectEmpty())
        r.OffsetRect(0, -m_nScrollPos);
    return r;
}

CRect CAPhotoTreeModel::GetBand(int item) const
{
    const CRect r = GetItemRect(item);
    if (r.IsRectEmpty())
        return r;
    return CRect(m_client.left, r.top - kBandMargin, std::max(m_client.right, r.right), r.bottom + kBandMargin);
}

CRect CAPhotoTreeModel::GetBoxRect(int item) const
{
    const CRect band = GetBand(item);
    if (band.IsRectEmpty())
        return band;
    return CRect(band.left + 10, band.top + 9, band.left + 10 + kBoxSide, band.top + 9 + kBoxSide);
}

int CAPhotoTreeModel::HitTest(CPoint point, UINT* flags) const
{
    for (int i = 1; i <= GetCount(); ++i) {
        if (GetBand(i).PtInRect(point)) {
            if (flags)
                *flags = kHitOnItem;
            return i;
        }
    }
    if (flags)
        *flags = 0;
    return 0;
}

// ---- scrolling

void CAPhotoTreeModel::UpdateScrollRange()
{
    CRect extent;
    for (const CRect& r : m_rects)
        extent.UnionRect(extent, CRect(m_client.left, r.top - kBandMargin, m_client.right, r.bottom + kBandMargin));
    if (!m_editRect.IsRectEmpty())
        extent.UnionRect(extent, m_editRect);
    const int lines = (extent.Height() + kLineStep - 1) / kLineStep;
    if (lines * kLineStep <= m_client.Height()) {
        m_nScrollPos = 0;
        m_nScrollMax = 0;
        m_bScrollBar = false;
    } else {
        m_nScrollMax = lines * kLineStep;
        m_bScrollBar = true;
        m_nScrollPos = std::clamp(m_nScrollPos, 0, std::max(0, m_nScrollMax - m_client.Height()));
    }
}

int CAPhotoTreeModel::ScrollTo(int pos)
{
    const int old = m_nScrollPos;
    m_nScrollPos = std::clamp(pos, 0, std::max(0, m_nScrollMax - m_client.Height()));
    return m_nScrollPos - old;
}

int CAPhotoTreeModel::VScroll(UINT code, int thumbPos)
{
    const int page = m_client.Height();
    switch (code) {
    case SB_LINEUP: return ScrollTo(m_nScrollPos - kLineStep);
    case SB_LINEDOWN: return ScrollTo(m_nScrollPos + kLineStep);
    case SB_PAGEUP: return ScrollTo(m_nScrollPos - page);
    case SB_PAGEDOWN: return ScrollTo(m_nScrollPos + page);
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return ScrollTo(thumbPos & 0xFFFF);
    case SB_TOP: return ScrollTo(0);
    case SB_BOTTOM: return ScrollTo(m_nScrollMax);
    default: return 0;
    }
}

int CAPhotoTreeModel::Wheel(int delta)
{
    if (delta == 1)
        return VScroll(SB_LINEUP, 0);
    if (delta == -1)
        return VScroll(SB_LINEDOWN, 0);
    // Touchpads send many small deltas: a page goes by per whole notch.
    m_nWheelRest += delta;
    int moved = 0;
    while (m_nWheelRest >= kWheelNotch) {
        m_nWheelRest -= kWheelNotch;
        moved += VScroll(SB_PAGEUP, 0);
    }
    while (m_nWheelRest <= -kWheelNotch) {
        m_nWheelRest += kWheelNotch;
        moved += VScroll(SB_PAGEDOWN, 0);
    }
    return moved;
}

int CAPhotoTreeModel::EnsureVisible(int index)
{
    const CRect band = GetBand(index + 1);
    if (band.IsRectEmpty() || (band.top >= m_client.top && band.bottom <= m_client.bottom))
        return 0;
    if (band.top >= m_client.top)
        return ScrollTo(m_nScrollPos + (band.bottom - m_client.bottom) / kLineStep * kLineStep);
    return ScrollTo(m_nScrollPos - (m_client.top - band.top) / kLineStep * kLineStep);
}

// ---- mouse

void CAPhotoTreeModel::LButtonDown(CPoint point)
{
    const int hit = HitTest(point);
    if (hit && InBox(hit, point)) {
        ToggleSelect(hit);
    } else {
        const int current = GetCurrent();
        if (hit != current) {
            if (current) {
                SetSelectState(0, stateOff, true);
                SetCurrent(0, true, true);
            }
            if (hit)
                SetCurrent(hit, true, true);
        } else {
            // A click on the current card turns it off, unless it is the
            // first selected comment.
            if (hit == 0 || hit != GetFirstSelected())
                SetSelectState(0, stateOff, true);
            SetCurrent(0, true, true);
        }
    }
    Notify(kNotifyClick);
    if (m_bDragEnabled && hit && GetDepth(hit) == 0 && GetCurrent() == hit) {
        m_bDragging = true;
        m_nDropTarget = hit;
    }
}

bool CAPhotoTreeModel::LButtonDblClk(CPoint point)
{
    const int hit = HitTest(point);
    if (hit) {
        SetCurrent(hit, true, true);
        if (InBox(hit, point))
            return false;
    }
    Notify(kNotifyDblClk);
    return true;
}

int CAPhotoTreeModel::DragStep(CPoint point)
{
    int moved = 0;
    if (point.y < m_client.top)
        moved = ScrollTo(m_nScrollPos - ((m_client.top - point.y) / 10 + 1));
    else if (point.y >= m_client.bottom)
        moved = ScrollTo(m_nScrollPos + ((point.y - m_client.bottom) / 10 + 1));
    const int hit = HitTest(point);
    if (hit != m_nDropTarget) {
        int target = GetRootItem(hit);
        const int current = GetCurrent();
        if (target && current && current < target && GetChildItem(target))
            target = GetLastDescendant(target);
        const int old = m_nDropTarget;
        m_nDropTarget = target;
        Redraw(old, true);
        Redraw(target, true);
    }
    return moved;
}

void CAPhotoTreeModel::Drop()
{
    const int target = m_nDropTarget;
    m_bDragging = false;
    m_nDropTarget = 0;
    const int current = GetCurrent();
    if (target != current) {
        Redraw(target, true);
        if (target)
            MoveThread(target);
    }
}

void CAPhotoTreeModel::CancelDrag()
{
    const int target = m_nDropTarget;
    m_bDragging = false;
    m_nDropTarget = 0;
    Redraw(target, true);
}

// ---- search

bool CAPhotoTreeModel::MatchComment(int index, std::string_view text, bool down, bool caseSensitive, int selStart,
                                    int selEnd, Match& match) const
{
    if (!IsValid(index + 1) || text.empty())
        return false;
    std::string subject = GetDisplayText(index + 1);
    std::string needle(text);
    if (!caseSensitive) {
        subject = UpperKeepingOffsets(subject);
        needle = UpperKeepingOffsets(needle);
    }
    if (!down) {
        // Both reversed, so that the search always runs forwards.
        std::reverse(subject.begin(), subject.end());
        std::reverse(needle.begin(), needle.end());
    }
    const int length = int(subject.size());
    const int textLength = int(needle.size());
    int start = 0;
    if (selStart != -1) {
        start = selStart;
        if (selEnd != -1 && selEnd != selStart)
            start = (down ? selStart : length - textLength - selStart) + 1;
    }
    if (start < 0 || start >= length)
        return false;
    const size_t found = subject.find(needle, size_t(start));
    if (found == std::string::npos)
        return false;
    int p = int(found);
    if (!down)
        p = length - textLength - p;
    match.index = index;
    match.start = p;
    match.end = p + textLength;
    return true;
}

CAPhotoTreeModel::Match CAPhotoTreeModel::FindNext(std::string_view text, bool down, bool caseSensitive, int boxIndex,
                                                   int boxSelStart, int boxSelEnd)
{
    Match match;
    if (m_nodes.empty())
        return match;
    const int count = GetCount();
    if (boxIndex >= 0 && MatchComment(boxIndex, text, down, caseSensitive, boxSelStart, boxSelEnd, match)) {
        SetCurrent(boxIndex + 1, true, true);
        return match;
    }
    const int current = GetCurrent();
    int start = 0;
    if (current) {
        start = down ? current : current - 2;
        if (start < 0)
            start = count - 1;
        if (start >= count)
            start = 0;
    }
    for (int n = 0; n < count; ++n) {
        const int index = down ? (start + n) % count : (start - n + count) % count;
        if (MatchComment(index, text, down, caseSensitive, -1, -1, match)) {
            SetCurrent(index + 1, true, true);
            return match;
        }
    }
    return Match();
}
