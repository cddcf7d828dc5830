#include "message/aphoto_tree.h"

#include "platform/framework/paint_dc.h"
#include "platform/framework/win_app.h"
#include "platform/gdi/logfont.h"
#include "ui/edit_util.h"
#include "util/draw_guards.h"

#include <QApplication>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>

IMPLEMENT_DYNAMIC(CAPhotoTree, CWnd)

BEGIN_MESSAGE_MAP(CAPhotoTree, CWnd)
END_MESSAGE_MAP()

namespace {

enum : DWORD { ES_AUTOVSCROLL = 0x0040, ES_NOHIDESEL = 0x0100, ES_OEMCONVERT = 0x0400, ES_WANTRETURN = 0x1000 };
constexpr DWORD kLabelEditStyle = WS_CHILD | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_OEMCONVERT | ES_WANTRETURN;
constexpr DWORD kFoundBoxStyle = kLabelEditStyle | ES_NOHIDESEL;
constexpr int kEditMargin = 2;

// The edit controls show line breaks as "\n"; comments keep "\r\n".
std::string ToEditText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

std::string FromEditText(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

CAPhotoTree::CAPhotoTree()
{
    m_model.SetListener(this);
    m_model.SetMeasure([this](const CAnoRecord& record, const CRect& bound) { return MeasureCard(record, bound); });
    m_measureDC.CreateCompatibleDC(nullptr);
    m_measureBitmap.CreateBitmap(1, 1, 1, 32, nullptr);
    m_measureDC.SelectObject(&m_measureBitmap);
}

CAPhotoTree::~CAPhotoTree()
{
    m_model.SetListener(nullptr);
    m_pLabelEdit.reset();
    m_pFoundBox.reset();
    m_retired.clear();
}

BOOL CAPhotoTree::Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID)
{
    const DWORD exStyle = (style & WS_BORDER) ? DWORD(WS_EX_CLIENTEDGE) : DWORD(0);
    if (!CreateEx(exStyle, "CAPhotoTree", "", style | WS_CLIPCHILDREN, rect, pParent, nID))
        return FALSE;
    m_pVBar = new QScrollBar(Qt::Vertical, m_hWnd);
    m_pVBar->hide();
    QObject::connect(m_pVBar, &QScrollBar::valueChanged, m_pVBar, [this](int value) {
        if (m_bSettingBar)
            return;
        ScrolledBy(m_model.ScrollTo(value));
    });
    Relayout();
    return TRUE;
}

void CAPhotoTree::SetShowCaption(BOOL bShow)
{
    m_model.SetShowCaption(bShow);
    Relayout();
    Invalidate();
}

BOOL CAPhotoTree::HasFocus() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return FALSE;
    return focus == m_hWnd || (IsEditing() && focus == m_pLabelEdit->m_hWnd);
}

BOOL CAPhotoTree::LoadRecords(const CAPhotoContent& content)
{
    EndCommentEdit();
    CloseFoundTextBox();
    return m_model.LoadRecords(content);
}

int CAPhotoTree::InsertNode(const CAnoRecord& record, int parent) { return m_model.InsertNode(record, parent); }

// ---- listener

void CAPhotoTree::TreeNotify(int code)
{
    CWnd* parent = GetParent();
    if (!parent || !m_hWnd)
        return;
    NMHDR hdr;
    hdr.hwndFrom = m_hWnd;
    hdr.idFrom = UINT_PTR(GetDlgCtrlID());
    hdr.code = code;
    parent->SendMessage(WM_NOTIFY, WPARAM(hdr.idFrom), LPARAM(&hdr));
}

void CAPhotoTree::TreeRedraw(int item, bool)
{
    if (!m_hWnd)
        return;
    const CRect band = m_model.GetBand(item);
    if (!band.IsRectEmpty())
        InvalidateRect(&band, TRUE);
}

void CAPhotoTree::TreeRedrawBox(int item)
{
    if (!m_hWnd)
        return;
    CRect box = m_model.GetBoxRect(item);
    box.InflateRect(1, 1);
    if (!box.IsRectEmpty())
        InvalidateRect(&box, FALSE);
}

void CAPhotoTree::TreeLayoutChanged()
{
    if (!m_hWnd)
        return;
    UpdateScrollBars();
    Invalidate();
}

// ---- layout

CRect CAPhotoTree::MeasureCard(const CAnoRecord& record, const CRect& bound, CRect* textArea)
{
    // The record lays its card out with its own font; the measuring context
    // only lends it a device.
    return const_cast<CAnoRecord&>(record).LayoutCard(m_measureDC, bound, kMeasureFormat | DT_CALCRECT, 96,
                                                      m_model.GetShowCaption(), textArea);
}

CRect CAPhotoTree::TextArea(int item)
{
    CRect area;
    const CRect rect = m_model.GetItemRect(item);
    MeasureCard(m_model.GetRecord(item), rect, &area);
    area.right = std::min(area.right, rect.right);
    return area;
}

void CAPhotoTree::Relayout()
{
    if (!m_hWnd)
        return;
    m_bInRelayout = TRUE;
    CRect client;
    GetClientRect(&client);
    m_model.SetClientRect(client);
    m_model.Layout();
    if (m_model.IsScrollBarShown() && m_pVBar) {
        // Room for the bar; a narrower column may need it all the more.
        client.right = std::max<LONG>(client.left, client.right - m_pVBar->sizeHint().width());
        m_model.SetClientRect(client);
        m_model.Layout();
    }
    UpdateScrollBars();
    m_bInRelayout = FALSE;
}

void CAPhotoTree::UpdateScrollBars()
{
    if (!m_pVBar || !m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    if (IsEditing()) {
        CRect r;
        m_pLabelEdit->GetWindowRect(&r);
        ScreenToClient(&r);
        r.OffsetRect(0, m_model.GetScrollPos());
        m_model.SetEditRect(r);
    } else {
        m_model.SetEditRect(CRect());
    }
    m_model.UpdateScrollRange();
    if (!m_bInRelayout && m_model.IsScrollBarShown() == (m_model.GetClientRect().right == client.right)) {
        // The bar comes or goes: the column changes width and is laid out again.
        Relayout();
        return;
    }
    m_bSettingBar = TRUE;
    const int page = m_model.GetClientRect().Height();
    m_pVBar->setRange(0, std::max(0, m_model.GetScrollMax() - page));
    m_pVBar->setPageStep(page);
    m_pVBar->setSingleStep(CAPhotoTreeModel::kLineStep);
    m_pVBar->setValue(m_model.GetScrollPos());
    const int width = m_pVBar->sizeHint().width();
    m_pVBar->setGeometry(client.right - width, client.top, width, client.Height());
    m_pVBar->setVisible(m_model.IsScrollBarShown());
    m_bSettingBar = FALSE;
}

void CAPhotoTree::ScrolledBy(int delta)
{
    if (delta == 0 || !m_hWnd)
        return;
    for (CEdit* edit : {m_pLabelEdit.get(), m_pFoundBox.get()}) {
        if (edit && edit->m_hWnd) {
            CRect r;
            edit->GetWindowRect(&r);
            ScreenToClient(&r);
            r.OffsetRect(0, -delta);
            edit->MoveWindow(r, TRUE);
        }
    }
    m_bSettingBar = TRUE;
    if (m_pVBar)
        m_pVBar->setValue(m_model.GetScrollPos());
    m_bSettingBar = FALSE;
    Invalidate();
}

// ---- painting

BOOL CAPhotoTree::OnEraseBkgnd(CDC*) { return TRUE; }

void CAPhotoTree::OnPaint()
{
    CPaintDC dc(this);
    DrawTree(dc);
}

void CAPhotoTree::DrawTree(CDC& dc)
{
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, kBackColor);
    for (int item = 1; item <= m_model.GetCount(); ++item)
        DrawNode(dc, item, false);
    if (GetExStyle() & WS_EX_CLIENTEDGE)
        dc.Draw3dRect(&client, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
}

void CAPhotoTree::DrawNode(CDC& dc, int item, bool erase)
{
    const CRect& client = m_model.GetClientRect();
    const CRect rect = m_model.GetItemRect(item);
    const CRect band = m_model.GetBand(item);
    if (item == 0 || rect.IsRectEmpty() || rect.bottom < client.top || rect.top > client.bottom)
        return;
    CRect visible;
    if (!visible.IntersectRect(band, client))
        return;

    CAnoRecord& record = const_cast<CAnoRecord&>(m_model.GetRecord(item));
    const COLORREF recordColor = record.m_color;
    COLORREF textColor = recordColor;
    COLORREF backColor = kBackColor;
    const bool current = m_model.GetCurrent() == item;
    if (current && HasFocus()) {
        dc.FillSolidRect(&band, GetSysColor(COLOR_HIGHLIGHT));
        textColor = GetSysColor(COLOR_HIGHLIGHTTEXT);
        backColor = GetSysColor(COLOR_HIGHLIGHT);
    } else if (current) {
        dc.FillSolidRect(&band, GetSysColor(COLOR_INACTIVEBORDER));
        backColor = GetSysColor(COLOR_INACTIVEBORDER);
    } else if (m_model.IsDragging() && m_model.GetDropTarget() == item) {
        dc.FillSolidRect(&band, kBackColor);
        // The bar shows where the thread will go: below a target under it,
        // above one over it.
        const int currentItem = m_model.GetCurrent();
        const int y = currentItem && currentItem < item ? band.bottom - 3 : band.top;
        dc.FillSolidRect(band.left + 30, y, band.right - band.left - 30, 3, RGB(0, 0, 0));
    } else if (m_model.GetHotItem() == item) {
        if (erase)
            dc.FillSolidRect(&band, kBackColor);
        textColor = RGB(0, 0, 255);
    } else if (erase) {
        dc.FillSolidRect(&band, kBackColor);
    }
    dc.SetBkColor(backColor);

    // The record draws in its own colour: lend it the one this row shows.
    record.m_color = textColor;
    CRect card = rect;
    record.LayoutCard(dc, card, kCardFormat, 96, m_model.GetShowCaption());
    record.m_color = recordColor;

    if (current && IsEditing() && m_nEditItem == item) {
        CRect frame;
        m_pLabelEdit->GetWindowRect(&frame);
        ScreenToClient(&frame);
        frame.InflateRect(1, 1);
        dc.Draw3dRect(&frame, RGB(255, 255, 255), RGB(255, 255, 255));
    }
    DrawBox(dc, item);
    DrawLines(dc, item, band);
}

void CAPhotoTree::DrawBox(CDC& dc, int item)
{
    const CRect box = m_model.GetBoxRect(item);
    if (box.IsRectEmpty())
        return;
    if (m_model.GetSelectState(item) == CAPhotoTreeModel::stateNoBox) {
        dc.FillSolidRect(&box, dc.GetBkColor());
        return;
    }
    const COLORREF bk = dc.GetBkColor();
    dc.Draw3dRect(&box, RGB(0, 0, 0), RGB(0, 0, 0));
    CRect inner = box;
    inner.DeflateRect(1, 1);
    dc.Draw3dRect(&inner, RGB(0, 0, 0), RGB(0, 0, 0));
    inner.DeflateRect(1, 1);
    dc.FillSolidRect(&inner, RGB(255, 255, 255));
    dc.SetBkColor(bk);
    if (m_model.GetSelectState(item) == CAPhotoTreeModel::stateOn) {
        CPen pen(PS_SOLID, 2, RGB(0, 0, 0));
        CPenSelection select(&dc, &pen);
        const int middle = (box.top + box.bottom) / 2;
        dc.MoveTo(box.left, middle);
        dc.LineTo(box.left + box.Width() / 3, box.bottom - 2);
        dc.LineTo(box.right, box.top + 2);
    }
}

void CAPhotoTree::DrawLines(CDC& dc, int item, const CRect& band)
{
    const int depth = m_model.GetDepth(item);
    for (int level = 1; level <= depth; ++level) {
        // The ancestor at this level: its next sibling decides whether the
        // line goes on below the row.
        int ancestor = item;
        while (m_model.GetDepth(ancestor) > level)
            ancestor = m_model.GetParentItem(ancestor);
        const bool hasNext = m_model.GetNextItem(ancestor, 1) != 0;
        CRect column(band.left + 20 * level + 6, band.top, band.left + 20 * level + 26, band.bottom);
        column.InflateRect(1, 1);
        const int cx = (column.left + column.right) / 2;
        const int cy = (column.top + column.bottom) / 2;
        if (hasNext || level == depth) {
            dc.MoveTo(cx, column.top);
            dc.LineTo(cx, cy);
        }
        if (hasNext) {
            dc.MoveTo(cx, cy);
            dc.LineTo(cx, column.bottom);
        }
        if (level == depth) {
            dc.MoveTo(cx, cy);
            dc.LineTo(column.right, cy);
        }
    }
}

// ---- mouse

void CAPhotoTree::OnLButtonDown(UINT, CPoint point)
{
    SetFocus();
    m_model.LButtonDown(point);
    if (m_model.IsDragging())
        SetCapture();
}

void CAPhotoTree::OnLButtonUp(UINT, CPoint)
{
    if (!m_model.IsDragging())
        return;
    if (GetCapture() == this)
        ReleaseCapture();
    m_model.Drop();
    Invalidate();
}

void CAPhotoTree::OnLButtonDblClk(UINT, CPoint point) { m_model.LButtonDblClk(point); }

void CAPhotoTree::OnRButtonDown(UINT, CPoint point)
{
    const int hit = m_model.HitTest(point);
    if (!hit)
        return;
    EndCommentEdit();
    if (m_model.GetSelectState(hit) != CAPhotoTreeModel::stateOn)
        m_model.ToggleSelect(hit);
    StartCommentEdit();
    TreeNotify(CAPhotoTreeModel::kNotifyRClick);
}

void CAPhotoTree::OnMouseMove(UINT, CPoint point)
{
    if (m_model.IsDragging()) {
        ScrolledBy(m_model.DragStep(point));
        return;
    }
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(point)) {
        LeaveHover();
        return;
    }
    if (m_model.GetCurrent() || m_model.GetSelectedCount())
        return;
    UINT flags = 0;
    const int hit = m_model.HitTest(point, &flags);
    m_model.SetHot(m_bHoverTracking && (flags & CAPhotoTreeModel::kHitOnItem) ? hit : 0, true);
    SendCommandToTarget(ID_MOUSEONCOMMENT);
}

void CAPhotoTree::OnMouseLeave() { LeaveHover(); }

void CAPhotoTree::LeaveHover()
{
    if (m_model.GetCurrent() == 0 && m_model.GetHotItem()) {
        m_model.SetHot(0, true);
        SendCommandToTarget(ID_MOUSELEAVECOMMENT);
    }
}

BOOL CAPhotoTree::OnMouseWheel(UINT, short zDelta, CPoint)
{
    ScrolledBy(m_model.Wheel(zDelta));
    return TRUE;
}

// ---- focus and window state

void CAPhotoTree::OnSetFocus(CWnd*) { TreeRedraw(m_model.GetCurrent(), true); }

void CAPhotoTree::OnKillFocus(CWnd*)
{
    TreeRedraw(m_model.GetCurrent(), true);
    TreeNotify(CAPhotoTreeModel::kNotifyKillFocus);
}

void CAPhotoTree::OnSize(UINT, int, int)
{
    EndCommentEdit();
    Relayout();
}

void CAPhotoTree::OnShowWindow(BOOL bShow, UINT)
{
    if (bShow)
        Relayout();
}

void CAPhotoTree::OnSettingChange(UINT, const char*)
{
    Relayout();
    Invalidate();
}

void CAPhotoTree::SendCommandToParent(UINT id)
{
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), LPARAM(m_hWnd));
}

void CAPhotoTree::SendCommandToTarget(UINT id)
{
    CWnd* target = m_pCommandTarget ? m_pCommandTarget : AfxGetMainWnd();
    if (target && target->m_hWnd)
        target->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

BOOL CAPhotoTree::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(DWORD(wParam));
    const UINT code = HIWORD(DWORD(wParam));
    if (id == IDC_TREEEDIT && m_pLabelEdit && m_pLabelEdit->m_hWnd == reinterpret_cast<HWND>(lParam)) {
        if (code == EN_CHANGE || code == EN_UPDATE)
            OnLabelEditUpdate();
        else if (code == EN_KILLFOCUS)
            OnLabelEditKillFocus();
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

// ---- in-place editing

std::unique_ptr<CEdit> CAPhotoTree::OpenEdit(UINT id, DWORD style, int item, const std::string& text)
{
    CRect area = TextArea(item);
    area.InflateRect(kEditMargin, kEditMargin);
    auto edit = std::make_unique<CEdit>();
    if (!edit->Create(style, area, this, id))
        return nullptr;
    LOGFONT lf = m_model.GetRecord(item).m_logFont;
    m_editFont.DeleteObject();
    m_editFont.CreateFontIndirect(&lf);
    edit->SetFont(QFontFromLogFont(lf), FALSE);
    // The text shows in the comment's own colour.
    QPalette palette = edit->m_hWnd->palette();
    palette.setColor(QPalette::Text, ToQColor(m_model.GetRecord(item).m_color));
    edit->m_hWnd->setPalette(palette);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(edit->m_hWnd))
        plain->setFrameShape(QFrame::Box);
    edit->SetWindowText(ToEditText(text));
    return edit;
}

BOOL CAPhotoTree::StartCommentEdit()
{
    if (m_bReadOnly)
        return FALSE;
    if (GetCapture() == this)
        ReleaseCapture();
    EndCommentEdit();
    const int item = m_model.GetFirstSelected();
    if (!item)
        return FALSE;
    SendCommandToParent(ID_STARTCOMMENTEDIT);
    const int kind = m_model.GetKind(item);
    if (kind != CAnoRecord::text && kind != CAnoRecord::sound && kind != CAnoRecord::image)
        return FALSE;
    std::unique_ptr<CEdit> edit = OpenEdit(IDC_TREEEDIT, kLabelEditStyle, item, m_model.GetRecord(item).m_strContent);
    if (!edit)
        return FALSE;
    m_nEditItem = item;
    m_pLabelEdit = std::move(edit);
    const std::string shown = m_pLabelEdit->GetWindowText();
    EditSetSelBytes(m_pLabelEdit.get(), 0, int(shown.size()));
    TreeRedraw(item, true);
    m_pLabelEdit->ShowWindow(SW_SHOW);
    m_pLabelEdit->UpdateWindow();
    m_pLabelEdit->SetFocus();
    UpdateScrollBars();
    return TRUE;
}

void CAPhotoTree::OnLabelEditUpdate()
{
    if (!IsEditing() || m_bUpdateGuard)
        return;
    m_bUpdateGuard = TRUE;
    std::string text = m_pLabelEdit->GetWindowText();
    if (!text.empty()) {
        CRect r;
        m_pLabelEdit->GetWindowRect(&r);
        ScreenToClient(&r);
        std::string measured = text;
        if (measured.back() == '\n')
            measured += ' ';
        CFontSelection select(&m_measureDC, &m_editFont);
        CRect calc(0, 0, std::max<LONG>(1, r.Width() - 2 * kEditMargin), 0);
        m_measureDC.DrawText(measured, &calc, kMeasureFormat | DT_CALCRECT);
        if (calc.Height() > r.Height() - 2 * kEditMargin) {
            // The editor grows with its text and never shrinks.
            r.bottom = r.top + calc.Height() + 2 * kEditMargin;
            m_pLabelEdit->MoveWindow(r, TRUE);
            UpdateScrollBars();
        }
    }
    LimitEditTextChars(m_pLabelEdit.get(), kMaxEditChars);
    m_bUpdateGuard = FALSE;
}

void CAPhotoTree::OnLabelEditKillFocus()
{
    QWidget* taking = QApplication::focusWidget();
    if (m_pEditExempt && m_pEditExempt->m_hWnd && taking == m_pEditExempt->m_hWnd)
        return;
    EndCommentEdit();
}

void CAPhotoTree::EndCommentEdit()
{
    if (m_bUpdateGuard)
        return;
    CloseFoundTextBox();
    m_editFont.DeleteObject();
    if (!m_pLabelEdit || !m_nEditItem) {
        m_pLabelEdit.reset();
        m_nEditItem = 0;
        return;
    }
    // Taken out first: destroying the editor moves the focus, which comes
    // back here.
    std::unique_ptr<CEdit> edit = std::move(m_pLabelEdit);
    const int item = m_nEditItem;
    m_nEditItem = 0;
    const std::string text = FromEditText(edit->GetWindowText());
    if (text != m_model.GetRecord(item).m_strContent &&
        edit->GetWindowText() != ToEditText(m_model.GetRecord(item).m_strContent)) {
        m_nEditItem = item; // the parent stamps the comment being edited
        SendCommandToParent(ID_COMMENTCHANGED);
        m_nEditItem = 0;
        CAnoRecord record = m_model.GetRecord(item);
        record.SetContentString(text);
        m_model.SetNodeRecord(item, record, true);
    }
    Retire(std::move(edit));
    Invalidate();
    SendCommandToParent(ID_ENDCOMMENTEDIT);
    UpdateScrollBars();
}

// ---- search

void CAPhotoTree::OpenFoundTextBox(int index, int start, int end)
{
    const int item = index + 1;
    if (m_nFoundItem != item || !m_pFoundBox) {
        CloseFoundTextBox();
        m_nFoundItem = item;
        m_pFoundBox = OpenEdit(IDC_FOUNDTEXT, kFoundBoxStyle, item, m_model.GetDisplayText(item));
        if (!m_pFoundBox) {
            m_nFoundItem = 0;
            return;
        }
        m_pFoundBox->SetReadOnly(TRUE);
        m_pFoundBox->ShowWindow(SW_SHOW);
    }
    // Offsets are into the display text; the box shows it with "\n" breaks.
    const std::string shown = m_model.GetDisplayText(item);
    auto toShown = [&shown](int offset) {
        int crs = 0;
        for (int i = 0; i < offset && i < int(shown.size()); ++i)
            if (shown[i] == '\r' && i + 1 < int(shown.size()) && shown[i + 1] == '\n')
                ++crs;
        return offset - crs;
    };
    EditSetSelBytes(m_pFoundBox.get(), toShown(start), toShown(end));
}

void CAPhotoTree::CloseFoundTextBox()
{
    m_nFoundItem = 0;
    if (m_pFoundBox)
        Retire(std::move(m_pFoundBox));
}

void CAPhotoTree::Retire(std::unique_ptr<CEdit> edit)
{
    // An editor often ends inside its own focus change: it is hidden now and
    // goes once that event is over.
    edit->ShowWindow(SW_HIDE);
    m_retired.push_back(std::move(edit));
    if (m_retired.size() == 1 && m_hWnd)
        QTimer::singleShot(0, m_hWnd, [this] { m_retired.clear(); });
}

int CAPhotoTree::FindNext(const std::string& text, BOOL down, BOOL caseSensitive, BOOL)
{
    if (!m_model.HasNodes())
        return -1;
    int boxIndex = -1, selStart = -1, selEnd = -1;
    if (m_pFoundBox && m_nFoundItem) {
        boxIndex = m_nFoundItem - 1;
        int s = 0, e = 0;
        EditGetSelBytes(m_pFoundBox.get(), s, e);
        // Back to offsets of the display text, "\r\n" breaks counted whole.
        const std::string shown = m_model.GetDisplayText(m_nFoundItem);
        auto toText = [&shown](int offset) {
            int pos = 0;
            for (int seen = 0; pos < int(shown.size()) && seen < offset; ++pos)
                if (!(shown[pos] == '\r' && pos + 1 < int(shown.size()) && shown[pos + 1] == '\n'))
                    ++seen;
            return pos;
        };
        selStart = toText(s);
        selEnd = toText(e);
    }
    CAPhotoTreeModel::Match match = m_model.FindNext(text, down, caseSensitive, boxIndex, selStart, selEnd);
    if (match.index < 0) {
        CloseFoundTextBox();
        return -1;
    }
    if (match.index != boxIndex)
        CloseFoundTextBox();
    OpenFoundTextBox(match.index, match.start, match.end);
    return match.index;
}

void CAPhotoTree::EnsureVisible(int index) { ScrolledBy(m_model.EnsureVisible(index)); }
