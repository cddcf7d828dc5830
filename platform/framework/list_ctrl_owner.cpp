#include "platform/framework/list_ctrl_owner.h"

#include "platform/framework/controls.h"
#include "platform/framework/image_list.h"
#include "platform/framework/wnd_bridge.h"
#include "platform/shell.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <optional>
#include <type_traits>
#include <vector>

namespace {

// The longest text one request carries, with its terminating zero.
constexpr int kTextMax = 260;

struct Column {
    QString heading;
    int width = 0;
    int format = LVCFMT_LEFT;
};

} // namespace

LRESULT NotifyListParent(QWidget* list, int code, NMHDR& hdr)
{
    hdr.hwndFrom = list;
    hdr.idFrom = UINT_PTR(list->property("qr_ctrlid").toInt());
    hdr.code = code;
    QWidget* parent = list->parentWidget();
    return parent ? ::SendMessage(parent, WM_NOTIFY, WPARAM(hdr.idFrom), LPARAM(&hdr)) : 0;
}

void NotifyItemStateChanged(QWidget* list, int item, UINT oldState, UINT newState)
{
    NMLISTVIEW nm;
    nm.iItem = item;
    nm.uChanged = LVIF_STATE;
    nm.uOldState = oldState;
    nm.uNewState = newState;
    NotifyListParent(list, LVN_ITEMCHANGED, nm.hdr);
}

class COwnerDataModel;
class COwnerLabelDelegate;
template <class View> class COwnerView;
using CReportView = COwnerView<QTreeView>;
using CIconView = COwnerView<QListView>;

struct COwnerDataList::Impl {
    COwnerDataList* q = nullptr;
    DWORD style = 0;
    int count = 0;
    std::vector<Column> columns;
    // The icons of one form: the shell's, or an image list of the owner's.
    struct Icons {
        CShellImageList* shell = nullptr;
        const CImageList* own = nullptr;
        QIcon Get(int image) const
        {
            if (own)
                return image >= 0 && image < own->GetImageCount() ? QIcon(QPixmap::fromImage(own->Image(image)))
                                                                   : QIcon();
            return shell && image >= 0 ? shell->GetIcon(image) : QIcon();
        }
        bool Any() const { return shell || own; }
        QSize Size() const
        {
            return own ? QSize(own->GetImageSize().cx, own->GetImageSize().cy)
                       : QSize(shell->IconSize(), shell->IconSize());
        }
    };
    Icons normalImages;
    Icons smallImages;
    COwnerDataModel* model = nullptr;
    CReportView* report = nullptr;
    CIconView* icons = nullptr;
    QStackedLayout* stack = nullptr;
    COwnerLabelDelegate* delegate = nullptr;
    // The label editor while it is open.
    QPointer<QLineEdit> editor;
    std::unique_ptr<CEdit> editWrapper;
    std::optional<QString> committed;
    int editItem = -1;
    int pressItem = -1;

    QAbstractItemView* Shown() const;
    QItemSelectionModel* Selection() const;
    LRESULT Notify(int code, NMHDR& hdr) const { return NotifyListParent(q, code, hdr); }
    std::string AskText(int item, int subItem) const
    {
        char buffer[kTextMax] = {};
        NMLVDISPINFO info;
        info.item.mask = LVIF_TEXT;
        info.item.iItem = item;
        info.item.iSubItem = subItem;
        info.item.pszText = buffer;
        info.item.cchTextMax = kTextMax;
        Notify(LVN_GETDISPINFO, info.hdr);
        buffer[kTextMax - 1] = 0;
        return buffer;
    }
    int AskImage(int item) const
    {
        NMLVDISPINFO info;
        info.item.mask = LVIF_IMAGE;
        info.item.iItem = item;
        Notify(LVN_GETDISPINFO, info.hdr);
        return info.item.iImage;
    }
    void ItemChanged(int item, UINT oldState, UINT newState) const { NotifyItemStateChanged(q, item, oldState, newState); }
    // The first column (the names) takes the room the others leave, never
    // less than the width it was given.
    void FitFirstColumn() const;
    bool OfferKeyToFrame(QKeyEvent* e) const
    {
        CWnd* wnd = CWnd::FromHandlePermanent(q);
        MSG msg;
        if (!wnd || !fwdetail::VirtualKeyOf(e->key()) || !fwdetail::TranslateEvent(wnd, q, e, msg))
            return false;
        CWnd* top = wnd->GetTopLevelParent();
        return top && top->PreTranslateMessage(&msg);
    }
    int CurrentRow() const
    {
        const QModelIndex i = Selection()->currentIndex();
        return i.isValid() ? i.row() : -1;
    }
    void EditorCreated(QLineEdit* e)
    {
        editor = e;
        committed.reset();
        editWrapper = std::make_unique<CEdit>();
        editWrapper->Attach(e);
    }
    void CloseEditorNow(bool commit);
};

// The items as the owner tells them: a count of rows, the columns inserted,
// texts and icons asked for when a row is drawn.
class COwnerDataModel : public QAbstractTableModel {
public:
    explicit COwnerDataModel(COwnerDataList::Impl* d) : d(d) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : d->count; }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : std::max(1, int(d->columns.size()));
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= d->count)
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return QString::fromStdString(d->AskText(index.row(), index.column()));
        case Qt::DecorationRole: {
            const COwnerDataList::Impl::Icons& images = (d->style & LVS_TYPEMASK) == LVS_ICON ? d->normalImages : d->smallImages;
            if (index.column() != 0 || !images.Any())
                return {};
            const QIcon icon = images.Get(d->AskImage(index.row()));
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
        case Qt::TextAlignmentRole:
            return QVariant(Alignment(index.column()));
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= int(d->columns.size()))
            return {};
        if (role == Qt::DisplayRole)
            return d->columns[size_t(section)].heading;
        if (role == Qt::TextAlignmentRole)
            return QVariant(Alignment(section));
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
        if ((d->style & LVS_EDITLABELS) && index.column() == 0)
            f |= Qt::ItemIsEditable;
        return f;
    }
    // The owner decides once the editor has gone (LVN_ENDLABELEDIT).
    bool setData(const QModelIndex&, const QVariant&, int) override { return false; }

    void Reset(int count)
    {
        beginResetModel();
        d->count = count;
        endResetModel();
    }
    void RowsChanged(int first, int last)
    {
        if (d->count > 0)
            emit dataChanged(index(std::max(first, 0), 0), index(std::min(last, d->count - 1), columnCount({}) - 1));
    }

private:
    Qt::Alignment Alignment(int column) const
    {
        const bool right = column >= 0 && column < int(d->columns.size()) &&
                           d->columns[size_t(column)].format == LVCFMT_RIGHT;
        return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
    COwnerDataList::Impl* d;
};

// The label editor: its text goes to the owner after it has closed.
class COwnerLabelDelegate : public QStyledItemDelegate {
public:
    COwnerLabelDelegate(COwnerDataList::Impl* d, QObject* parent) : QStyledItemDelegate(parent), d(d) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(true);
        d->EditorCreated(editor);
        return editor;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override
    {
        if (auto* e = qobject_cast<QLineEdit*>(editor))
            d->committed = e->text();
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        // Enter and Escape end the edit and go no further: a dialog around
        // the list must not take them for its OK and Cancel.
        if (event->type() == QEvent::KeyPress && object == d->editor.data()) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                d->CloseEditorNow(key != Qt::Key_Escape);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    COwnerDataList::Impl* d;
};

// One form of the list: label editing asks the owner first and tells it the
// text after the editor has gone; a drag is the owner's to run.
template <class View> class COwnerView : public View {
public:
    COwnerView(COwnerDataList::Impl* d, QWidget* parent) : View(parent), d(d) {}
    void CloseEditor(QWidget* editor, bool commit)
    {
        closeEditor(editor, commit ? QAbstractItemDelegate::SubmitModelCache : QAbstractItemDelegate::RevertModelCache);
    }

protected:
    bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override
    {
        // A click on the selection only starts Qt's delay; the edit opens when it ends.
        const bool opens = index.isValid() && !d->editor && trigger != QAbstractItemView::SelectedClicked &&
                           (trigger == QAbstractItemView::AllEditTriggers || (this->editTriggers() & trigger));
        if (trigger == QAbstractItemView::SelectedClicked && !m_soleSelected)
            return false;
        if (!opens)
            return View::edit(index, trigger, event);
        if (!(d->style & LVS_EDITLABELS))
            return false;
        const int row = index.row();
        NMLVDISPINFO info;
        info.item.mask = LVIF_TEXT;
        info.item.iItem = row;
        if (d->Notify(LVN_BEGINLABELEDIT, info.hdr) != 0 || row >= d->count)
            return false;
        d->editItem = row;
        if (!View::edit(d->model->index(row, 0), QAbstractItemView::AllEditTriggers, event)) {
            d->editItem = -1;
            return false;
        }
        return true;
    }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        if (editor != d->editor.data()) {
            View::closeEditor(editor, hint);
            return;
        }
        const int item = d->editItem;
        const std::optional<QString> text = d->committed;
        d->committed.reset();
        d->editItem = -1;
        d->editor = nullptr;
        if (d->editWrapper)
            d->editWrapper->Detach();
        View::closeEditor(editor, hint);
        if (item < 0 || item >= d->count)
            return;
        QByteArray bytes = text ? text->toUtf8() : QByteArray();
        NMLVDISPINFO info;
        info.item.mask = LVIF_TEXT;
        info.item.iItem = item;
        info.item.pszText = text ? bytes.data() : nullptr;
        info.item.cchTextMax = int(bytes.size()) + 1;
        // Whatever the owner did, the row shows what it now says.
        d->Notify(LVN_ENDLABELEDIT, info.hdr);
        d->model->RowsChanged(item, item);
    }
    void resizeEvent(QResizeEvent* e) override
    {
        View::resizeEvent(e);
        if constexpr (std::is_same_v<View, QTreeView>)
            d->FitFirstColumn();
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        fwdetail::NoteInputModifiers(e->modifiers());
        // The frame's accelerators come first, as for the window's own keys:
        // Ctrl+C copies the files, not the row's text.
        if (d->OfferKeyToFrame(e)) {
            e->accept();
            return;
        }
        View::keyPressEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        fwdetail::NoteInputModifiers(e->modifiers());
        const QModelIndex at = this->indexAt(e->position().toPoint());
        d->pressItem = at.isValid() ? at.row() : -1;
        // A press on a selected item waits for a drag that may follow;
        // without one the release deselects it (Ctrl) or keeps it alone
        // (a plain click), and only a click on the one selected item edits.
        QItemSelectionModel* sel = this->selectionModel();
        const bool onSelected = at.isValid() && e->button() == Qt::LeftButton && sel->isRowSelected(at.row());
        const Qt::KeyboardModifiers mods = e->modifiers();
        m_release = !onSelected                    ? Release::Nothing
                    : (mods & Qt::ControlModifier) ? Release::Deselect
                    : !(mods & Qt::ShiftModifier)  ? Release::KeepAlone
                                                   : Release::Nothing;
        m_soleSelected = onSelected && sel->selectedRows().size() == 1;
        View::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        fwdetail::NoteInputModifiers(e->modifiers());
        const Release release = m_release;
        m_release = Release::Nothing;
        View::mouseReleaseEvent(e);
        const QModelIndex at = this->indexAt(e->position().toPoint());
        if (release == Release::Nothing || !at.isValid() || at.row() != d->pressItem)
            return;
        QItemSelectionModel* sel = this->selectionModel();
        if (release == Release::Deselect && sel->isRowSelected(at.row()))
            sel->select(at, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        else if (release == Release::KeepAlone && sel->selectedRows().size() > 1)
            sel->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    void contextMenuEvent(QContextMenuEvent* e) override
    {
        // The list shows no menu itself: its window's owners may.
        const QPoint g = e->globalPos();
        ::SendMessage(d->q, WM_CONTEXTMENU, WPARAM(d->q), MAKELPARAM(g.x(), g.y()));
        e->accept();
    }
    void startDrag(Qt::DropActions) override
    {
        m_release = Release::Nothing;
        if (d->pressItem < 0 || d->pressItem >= d->count)
            return;
        NMLISTVIEW nm;
        nm.iItem = d->pressItem;
        d->Notify(LVN_BEGINDRAG, nm.hdr);
    }

private:
    COwnerDataList::Impl* d;
    enum class Release { Nothing, Deselect, KeepAlone };
    Release m_release = Release::Nothing;
    bool m_soleSelected = false;
};

QAbstractItemView* COwnerDataList::Impl::Shown() const
{
    return (style & LVS_TYPEMASK) == LVS_ICON ? static_cast<QAbstractItemView*>(icons)
                                               : static_cast<QAbstractItemView*>(report);
}

QItemSelectionModel* COwnerDataList::Impl::Selection() const { return report->selectionModel(); }

void COwnerDataList::Impl::CloseEditorNow(bool commit)
{
    if (!editor)
        return;
    QLineEdit* e = editor;
    if (commit)
        committed = e->text();
    if (Shown() == report)
        report->CloseEditor(e, commit);
    else
        icons->CloseEditor(e, commit);
}

namespace {

template <class View> void SetUpView(View* v, QAbstractItemDelegate* delegate)
{
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    v->setItemDelegate(delegate);
    v->setDragEnabled(true);
    v->setDragDropMode(QAbstractItemView::DragOnly);
}

} // namespace

COwnerDataList::COwnerDataList(DWORD style, QWidget* parent) : QWidget(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->style = style;
    d->model = new COwnerDataModel(d.get());
    d->model->setParent(this);
    d->delegate = new COwnerLabelDelegate(d.get(), this);

    d->report = new CReportView(d.get(), this);
    SetUpView(d->report, d->delegate);
    d->report->setRootIsDecorated(false);
    d->report->setUniformRowHeights(true);
    d->report->setAllColumnsShowFocus(true);
    d->report->setItemsExpandable(false);
    d->report->header()->setSectionsClickable(true);
    d->report->header()->setStretchLastSection(false);
    d->report->header()->setSectionsMovable(false);
    d->report->setModel(d->model);

    d->icons = new CIconView(d.get(), this);
    SetUpView(d->icons, d->delegate);
    d->icons->setViewMode(QListView::IconMode);
    d->icons->setMovement(QListView::Static);
    d->icons->setResizeMode(QListView::Adjust);
    d->icons->setWrapping(true);
    d->icons->setWordWrap(true);
    d->icons->setGridSize(QSize(96, 72));
    d->icons->setIconSize(QSize(32, 32));
    d->icons->setModel(d->model);
    // One selection for both forms: switching keeps it.
    QItemSelectionModel* own = d->icons->selectionModel();
    d->icons->setSelectionModel(d->report->selectionModel());
    delete own;

    d->stack = new QStackedLayout(this);
    d->stack->setContentsMargins(0, 0, 0, 0);
    d->stack->addWidget(d->report);
    d->stack->addWidget(d->icons);
    SetViewStyle(style & LVS_TYPEMASK);

    QItemSelectionModel* selection = d->Selection();
    connect(selection, &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& on, const QItemSelection& off) {
                const int current = d->CurrentRow();
                auto rows = [](const QItemSelection& s) {
                    std::vector<int> out;
                    for (const QItemSelectionRange& r : s)
                        for (int row = r.top(); row <= r.bottom(); ++row)
                            out.push_back(row);
                    std::sort(out.begin(), out.end());
                    out.erase(std::unique(out.begin(), out.end()), out.end());
                    return out;
                };
                // Every item at once is one notification for all (-1).
                const std::vector<int> offRows = rows(off), onRows = rows(on);
                if (d->count > 1 && (int(onRows.size()) == d->count || int(offRows.size()) == d->count)) {
                    const bool all = int(onRows.size()) == d->count;
                    d->ItemChanged(-1, all ? 0u : UINT(LVIS_SELECTED), all ? UINT(LVIS_SELECTED) : 0u);
                    return;
                }
                for (int row : offRows) {
                    const UINT focus = row == current ? UINT(LVIS_FOCUSED) : 0u;
                    d->ItemChanged(row, LVIS_SELECTED | focus, focus);
                }
                for (int row : onRows) {
                    const UINT focus = row == current ? UINT(LVIS_FOCUSED) : 0u;
                    d->ItemChanged(row, focus, LVIS_SELECTED | focus);
                }
            });
    connect(selection, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                QItemSelectionModel* s = d->Selection();
                if (previous.isValid()) {
                    const UINT sel = s->isRowSelected(previous.row()) ? UINT(LVIS_SELECTED) : 0u;
                    d->ItemChanged(previous.row(), sel | LVIS_FOCUSED, sel);
                }
                if (current.isValid()) {
                    const UINT sel = s->isRowSelected(current.row()) ? UINT(LVIS_SELECTED) : 0u;
                    d->ItemChanged(current.row(), sel, sel | LVIS_FOCUSED);
                }
            });
    connect(d->report->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        NMLISTVIEW nm;
        nm.iItem = -1;
        nm.iSubItem = section;
        d->Notify(LVN_COLUMNCLICK, nm.hdr);
    });
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(d->report), static_cast<QAbstractItemView*>(d->icons)})
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            NMITEMACTIVATE nm;
            nm.iItem = index.isValid() ? index.row() : -1;
            d->Notify(NM_DBLCLK, nm.hdr);
        });
}

COwnerDataList::~COwnerDataList()
{
    // The views go before the state they ask.
    if (d->editWrapper)
        d->editWrapper->Detach();
    delete d->stack;
    delete d->report;
    delete d->icons;
}

namespace {

void ApplyIcons(COwnerDataList::Impl& d, const COwnerDataList::Impl::Icons& icons, int which)
{
    if (which == LVSIL_NORMAL) {
        d.normalImages = icons;
        if (icons.Any())
            d.icons->setIconSize(icons.Size());
        // The cells are measured again with the icons in them.
        d.icons->doItemsLayout();
    } else {
        d.smallImages = icons;
        if (icons.Any())
            d.report->setIconSize(icons.Size());
    }
    d.model->RowsChanged(0, d.count - 1);
}

} // namespace

void COwnerDataList::SetImageList(CShellImageList* images, int which) { ApplyIcons(*d, {images, nullptr}, which); }

void COwnerDataList::SetImageList(const CImageList* images, int which) { ApplyIcons(*d, {nullptr, images}, which); }

void COwnerDataList::RedrawItems(int first, int last) { d->model->RowsChanged(first, last); }

void COwnerDataList::SetViewStyle(DWORD lvsStyle)
{
    const bool hadFocus = hasFocus() || isAncestorOf(QApplication::focusWidget());
    d->style = (d->style & ~DWORD(LVS_TYPEMASK)) | (lvsStyle & LVS_TYPEMASK);
    QAbstractItemView* shown = d->Shown();
    d->stack->setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
}

DWORD COwnerDataList::GetViewStyle() const { return d->style & LVS_TYPEMASK; }

void COwnerDataList::SetItemCount(int count, DWORD flags)
{
    QAbstractItemView* shown = d->Shown();
    const int scroll = shown->verticalScrollBar() ? shown->verticalScrollBar()->value() : 0;
    d->model->Reset(std::max(count, 0));
    if ((flags & LVSICF_NOSCROLL) && shown->verticalScrollBar())
        shown->verticalScrollBar()->setValue(scroll);
}

int COwnerDataList::GetItemCount() const { return d->count; }

void COwnerDataList::Impl::FitFirstColumn() const
{
    if (!report || columns.empty())
        return;
    int others = 0;
    for (size_t i = 1; i < columns.size(); ++i)
        others += report->columnWidth(int(i));
    report->setColumnWidth(0, std::max(columns[0].width, report->viewport()->width() - others));
}

int COwnerDataList::InsertColumn(int col, const std::string& heading, int width, int format)
{
    const int at = col < 0 || col > int(d->columns.size()) ? int(d->columns.size()) : col;
    d->columns.insert(d->columns.begin() + at, Column{QString::fromStdString(heading), width, format});
    d->model->Reset(d->count);
    for (size_t i = 0; i < d->columns.size(); ++i)
        d->report->setColumnWidth(int(i), d->columns[i].width);
    d->FitFirstColumn();
    return at;
}

BOOL COwnerDataList::SetColumnWidth(int col, int cx)
{
    if (col < 0 || col >= int(d->columns.size()))
        return FALSE;
    d->columns[size_t(col)].width = cx;
    d->report->setColumnWidth(col, cx);
    d->FitFirstColumn();
    return TRUE;
}

int COwnerDataList::GetColumnWidth(int col) const
{
    return col < 0 || col >= int(d->columns.size()) ? 0 : d->report->columnWidth(col);
}

int COwnerDataList::GetNextItem(int item, UINT flags) const
{
    for (int i = std::max(item + 1, 0); i < d->count; ++i)
        if (!(flags & LVNI_SELECTED) || d->Selection()->isRowSelected(i))
            return i;
    return -1;
}

BOOL COwnerDataList::SetItemState(int item, UINT state, UINT mask)
{
    if (item < -1 || item >= d->count)
        return FALSE;
    if (d->count == 0)
        return TRUE;
    QItemSelectionModel* s = d->Selection();
    const int first = item < 0 ? 0 : item, last = item < 0 ? d->count - 1 : item;
    if (mask & LVIS_SELECTED) {
        const QItemSelection rows(d->model->index(first, 0), d->model->index(last, d->model->columnCount({}) - 1));
        s->select(rows, (state & LVIS_SELECTED) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    }
    if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
        s->setCurrentIndex(d->model->index(last, 0), QItemSelectionModel::NoUpdate);
    return TRUE;
}

UINT COwnerDataList::GetItemState(int item, UINT mask) const
{
    if (item < 0 || item >= d->count)
        return 0;
    UINT state = 0;
    if (d->Selection()->isRowSelected(item))
        state |= LVIS_SELECTED;
    if (d->CurrentRow() == item)
        state |= LVIS_FOCUSED;
    return state & mask;
}

BOOL COwnerDataList::EnsureVisible(int item)
{
    if (item < 0 || item >= d->count)
        return FALSE;
    d->Shown()->scrollTo(d->model->index(item, 0));
    return TRUE;
}

BOOL COwnerDataList::GetItemRect(int item, RECT* rect) const
{
    if (item < 0 || item >= d->count)
        return FALSE;
    QAbstractItemView* shown = d->Shown();
    QRect r = shown->visualRect(d->model->index(item, 0));
    if (shown == d->report)
        r.setRight(std::max(r.right(), shown->viewport()->width() - 1));
    // In the list's own coordinates.
    r.translate(shown->viewport()->mapTo(this, QPoint(0, 0)));
    *rect = CRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    return TRUE;
}

std::string COwnerDataList::GetItemText(int item, int subItem) const
{
    return item < 0 || item >= d->count ? std::string() : d->AskText(item, subItem);
}

CEdit* COwnerDataList::EditLabel(int item)
{
    if (item < 0 || item >= d->count || !(d->style & LVS_EDITLABELS))
        return nullptr;
    QAbstractItemView* shown = d->Shown();
    shown->setFocus();
    shown->edit(d->model->index(item, 0));
    return GetEditControl();
}

CEdit* COwnerDataList::GetEditControl() const
{
    return d->editor && d->editWrapper && d->editWrapper->m_hWnd ? d->editWrapper.get() : nullptr;
}
