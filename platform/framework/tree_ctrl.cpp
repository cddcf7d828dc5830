#include "platform/framework/tree_ctrl.h"

#include "platform/framework/controls.h"
#include "platform/framework/wnd_bridge.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <unordered_set>

IMPLEMENT_DYNAMIC(CTreeCtrl, CWnd)

const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(~uintptr_t(0xFFFF));
const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(~uintptr_t(0xFFFE));
const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(~uintptr_t(0xFFFD));

namespace {

enum Role : int {
    kParamRole = Qt::UserRole + 1,
    kImageRole,
    kSelectedImageRole,
    kExpandedOnceRole,
};

bool IsRootHandle(HTREEITEM h) { return !h || h == TVI_ROOT; }

// The order the current sort asks for; sorting runs on the GUI thread only.
struct SortOrder {
    PFNTVCOMPARE compare = nullptr;
    LPARAM lParam = 0;
};
SortOrder* g_sort = nullptr;

// Every item of the tree: it sorts by the order the running sort gives.
class CTreeItem : public QTreeWidgetItem {
public:
    CTreeItem() : QTreeWidgetItem(QTreeWidgetItem::UserType) {}
    bool operator<(const QTreeWidgetItem& other) const override
    {
        if (!g_sort || !g_sort->compare)
            return QTreeWidgetItem::operator<(other);
        return g_sort->compare(LPARAM(data(0, kParamRole).toULongLong()), LPARAM(other.data(0, kParamRole).toULongLong()),
                               g_sort->lParam) < 0;
    }
};

LPARAM ParamOf(const QTreeWidgetItem* item) { return item ? LPARAM(item->data(0, kParamRole).toULongLong()) : 0; }

} // namespace

// The Qt side of the tree control: it holds the tree's state, so that a tree
// made from a dialog template behaves as one made by CTreeCtrl::Create.
class CTreeWidget : public QTreeWidget {
public:
    CTreeWidget(DWORD style, QWidget* parent);
    ~CTreeWidget() override { m_dying = true; }

    LRESULT Notify(int code, NMHDR& hdr)
    {
        if (m_dying)
            return 0;
        hdr.hwndFrom = this;
        hdr.idFrom = UINT_PTR(property("qr_ctrlid").toInt());
        hdr.code = code;
        QWidget* parent = parentWidget();
        return parent ? ::SendMessage(parent, WM_NOTIFY, WPARAM(hdr.idFrom), LPARAM(&hdr)) : 0;
    }
    LRESULT NotifyItem(int code, UINT action, QTreeWidgetItem* oldItem, QTreeWidgetItem* newItem, QPoint pt = {})
    {
        NMTREEVIEW nm;
        nm.action = action;
        nm.itemOld.mask = nm.itemNew.mask = TVIF_HANDLE | TVIF_PARAM;
        nm.itemOld.hItem = oldItem;
        nm.itemOld.lParam = ParamOf(oldItem);
        nm.itemNew.hItem = newItem;
        nm.itemNew.lParam = ParamOf(newItem);
        nm.ptDrag = POINT{pt.x(), pt.y()};
        return Notify(code, nm.hdr);
    }

    // A handle may outlive its item: only items of the tree are touched.
    bool IsAlive(QTreeWidgetItem* item) const { return item && m_live.count(item); }
    void Born(QTreeWidgetItem* item) { m_live.insert(item); }
    bool StartEdit(QTreeWidgetItem* item)
    {
        CloseEditorNow(false);
        return edit(indexFromItem(item), QAbstractItemView::AllEditTriggers, nullptr);
    }

    void DeleteSubtree(QTreeWidgetItem* item)
    {
        QTreeWidgetItem* current = currentItem();
        for (QTreeWidgetItem* p = current; p; p = p->parent())
            if (p == item) {
                // The selection leaves first, so that nobody hears of it while items go.
                SelectCaret(item->parent());
                break;
            }
        if (m_editItem && (m_editItem == item || IsDescendant(m_editItem, item)))
            CloseEditorNow(false);
        NotifyDeleted(item);
        m_deleting = true;
        delete item;
        m_deleting = false;
    }
    static bool IsDescendant(QTreeWidgetItem* item, QTreeWidgetItem* ancestor)
    {
        for (QTreeWidgetItem* p = item ? item->parent() : nullptr; p; p = p->parent())
            if (p == ancestor)
                return true;
        return false;
    }
    void NotifyDeleted(QTreeWidgetItem* item)
    {
        for (int i = 0; i < item->childCount(); ++i)
            NotifyDeleted(item->child(i));
        if (item == m_dropHilite)
            SetDropHilite(nullptr);
        if (item == m_shownSelected)
            m_shownSelected = nullptr;
        if (item == m_pressItem)
            m_pressItem = nullptr;
        NotifyItem(TVN_DELETEITEM, 0, item, nullptr);
        m_live.erase(item);
    }

    void RefreshIcon(QTreeWidgetItem* item)
    {
        if (!item)
            return;
        const int image = item->data(0, item == currentItem() ? kSelectedImageRole : kImageRole).toInt();
        item->setIcon(0, m_iconOf && image >= 0 ? m_iconOf(image) : QIcon());
    }

    void SetDropHilite(QTreeWidgetItem* item)
    {
        if (m_dropHilite) {
            m_dropHilite->setData(0, Qt::BackgroundRole, QVariant());
            m_dropHilite->setData(0, Qt::ForegroundRole, QVariant());
        }
        m_dropHilite = item;
        if (item) {
            item->setData(0, Qt::BackgroundRole, palette().brush(QPalette::Active, QPalette::Highlight));
            item->setData(0, Qt::ForegroundRole, palette().brush(QPalette::Active, QPalette::HighlightedText));
        }
    }

    void SelectCaret(QTreeWidgetItem* item)
    {
        m_selectAction = TVC_UNKNOWN;
        setCurrentItem(item);
        if (!item)
            clearSelection();
    }

    // Expansion by code. The first expansion asks the parent, which may fill the children.
    bool ExpandItem(QTreeWidgetItem* item, UINT code)
    {
        UINT action = code & TVE_TOGGLE;
        if (action == TVE_TOGGLE)
            action = item->isExpanded() ? TVE_COLLAPSE : TVE_EXPAND;
        if (action == TVE_EXPAND) {
            const bool first = !item->data(0, kExpandedOnceRole).toBool();
            if (first && NotifyItem(TVN_ITEMEXPANDING, TVE_EXPAND, nullptr, item) != 0)
                return false;
            if (!IsAlive(item))
                return false;
            // An item the parent found nothing for is asked again next time.
            item->setData(0, kExpandedOnceRole, item->childCount() > 0);
            SetExpandedQuietly(item, true);
            if (first)
                NotifyItem(TVN_ITEMEXPANDED, TVE_EXPAND, nullptr, item);
            return true;
        }
        if (action != TVE_COLLAPSE)
            return false;
        SetExpandedQuietly(item, false);
        if (code & TVE_COLLAPSERESET) {
            while (item->childCount() > 0)
                DeleteSubtree(item->child(item->childCount() - 1));
            item->setData(0, kExpandedOnceRole, false);
        }
        return true;
    }
    void SetExpandedQuietly(QTreeWidgetItem* item, bool expanded)
    {
        const bool saved = m_inExpand;
        m_inExpand = true;
        item->setExpanded(expanded);
        m_inExpand = saved;
    }

    // The user's expansion and collapse (Qt has done it already).
    void UserExpanded(QTreeWidgetItem* item, bool expanded)
    {
        if (m_inExpand || m_deleting || !item)
            return;
        const UINT action = expanded ? TVE_EXPAND : TVE_COLLAPSE;
        if (NotifyItem(TVN_ITEMEXPANDING, action, nullptr, item) != 0) {
            if (IsAlive(item))
                SetExpandedQuietly(item, !expanded);
            return;
        }
        if (!IsAlive(item))
            return;
        if (expanded)
            item->setData(0, kExpandedOnceRole, item->childCount() > 0);
        NotifyItem(TVN_ITEMEXPANDED, action, nullptr, item);
    }

    // Label editing.
    CEdit* Editor() const { return m_editWrapper && m_editWrapper->m_hWnd ? m_editWrapper.get() : nullptr; }
    QWidget* EditorWidget() const { return m_editor; }
    void EditorCreated(QLineEdit* editor)
    {
        m_editor = editor;
        m_committed.reset();
        m_editWrapper = std::make_unique<CEdit>();
        m_editWrapper->Attach(editor);
    }
    void TextCommitted(const QString& text) { m_committed = text; }
    void CloseEditorNow(bool commit)
    {
        if (!m_editor)
            return;
        QLineEdit* editor = m_editor;
        if (commit)
            m_committed = editor->text();
        closeEditor(editor, commit ? QAbstractItemDelegate::SubmitModelCache : QAbstractItemDelegate::RevertModelCache);
    }

    DWORD m_style = 0;
    std::function<QIcon(int)> m_iconOf;
    QTreeWidgetItem* m_dropHilite = nullptr;
    QTreeWidgetItem* m_shownSelected = nullptr;
    QTreeWidgetItem* m_editItem = nullptr;
    QTreeWidgetItem* m_pressItem = nullptr;
    QPoint m_pressPoint;
    UINT m_selectAction = TVC_UNKNOWN;
    bool m_inExpand = false;
    bool m_deleting = false;
    bool m_dying = false;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        // A click on the selection only starts Qt's delay; the edit opens when it ends.
        const bool opens = index.isValid() && !m_editor && trigger != QAbstractItemView::SelectedClicked &&
                           (trigger == QAbstractItemView::AllEditTriggers || (editTriggers() & trigger));
        if (!opens)
            return QTreeWidget::edit(index, trigger, event);
        if (!(m_style & TVS_EDITLABELS))
            return false;
        QTreeWidgetItem* item = itemFromIndex(index);
        NMTVDISPINFO info;
        info.item.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_TEXT;
        info.item.hItem = item;
        info.item.lParam = ParamOf(item);
        const std::string text = item->text(0).toStdString();
        info.item.pszText = text.c_str();
        if (Notify(TVN_BEGINLABELEDIT, info.hdr) != 0 || !IsAlive(item))
            return false;
        m_editItem = item;
        if (!QTreeWidget::edit(indexFromItem(item), QAbstractItemView::AllEditTriggers, event)) {
            m_editItem = nullptr;
            return false;
        }
        return true;
    }

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        if (editor != m_editor) {
            QTreeWidget::closeEditor(editor, hint);
            return;
        }
        QTreeWidgetItem* item = m_editItem;
        std::optional<QString> text = m_committed;
        m_committed.reset();
        m_editItem = nullptr;
        m_editor = nullptr;
        if (m_editWrapper)
            m_editWrapper->Detach();
        QTreeWidget::closeEditor(editor, hint);
        if (!item)
            return;
        // The edit control has gone: the parent may now rename, refresh and reselect.
        const QPersistentModelIndex where(indexFromItem(item));
        const std::string bytes = text ? text->toStdString() : std::string();
        NMTVDISPINFO info;
        info.item.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_TEXT;
        info.item.hItem = item;
        info.item.lParam = ParamOf(item);
        info.item.pszText = text ? bytes.c_str() : nullptr;
        const LRESULT accepted = Notify(TVN_ENDLABELEDIT, info.hdr);
        if (accepted && text && where.isValid() && itemFromIndex(where) == item)
            item->setText(0, *text);
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        QTreeWidget::currentChanged(current, previous);
        if (m_deleting || m_dying)
            return;
        QTreeWidgetItem* oldItem = m_shownSelected;
        QTreeWidgetItem* newItem = itemFromIndex(current);
        m_shownSelected = newItem;
        RefreshIcon(oldItem);
        RefreshIcon(newItem);
        const UINT action = m_selectAction;
        m_selectAction = TVC_BYMOUSE;
        NotifyItem(TVN_SELCHANGED, action, oldItem, newItem);
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint at = e->position().toPoint();
        if (e->button() == Qt::RightButton) {
            // The owner decides what a right click does; the tree selects nothing itself.
            if (auto* tree = dynamic_cast<CTreeCtrl*>(CWnd::FromHandlePermanent(this)))
                tree->RightButtonDown(fwdetail::MouseFlags(e->buttons(), e->modifiers()), CPoint(at.x(), at.y()));
            e->accept();
            return;
        }
        if (e->button() == Qt::LeftButton) {
            m_pressItem = itemAt(at);
            m_pressPoint = at;
        }
        m_selectAction = TVC_BYMOUSE;
        QTreeWidget::mousePressEvent(e);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        // Expanding every level below at once would read whole disks.
        if (e->key() == Qt::Key_Asterisk) {
            e->accept();
            return;
        }
        m_selectAction = TVC_BYKEYBOARD;
        QTreeWidget::keyPressEvent(e);
        m_selectAction = TVC_BYMOUSE;
    }

    void contextMenuEvent(QContextMenuEvent* e) override
    {
        // As a child window's default handling does: the parent shows the menu.
        const QPoint g = e->globalPos();
        if (QWidget* parent = parentWidget())
            ::SendMessage(parent, WM_CONTEXTMENU, WPARAM(this), MAKELPARAM(g.x(), g.y()));
        e->accept();
    }

    void startDrag(Qt::DropActions) override
    {
        // The parent runs the drag (TVN_BEGINDRAG) with data of its own.
        if (m_pressItem && IsAlive(m_pressItem))
            NotifyItem(TVN_BEGINDRAG, 0, nullptr, m_pressItem, m_pressPoint);
    }

private:
    QPointer<QLineEdit> m_editor;
    std::unique_ptr<CEdit> m_editWrapper;
    std::optional<QString> m_committed;
    std::unordered_set<QTreeWidgetItem*> m_live;
};

namespace {

// The label editor: the text typed is handed to the tree, which decides
// after the editor has closed whether the item takes it.
class CTreeLabelDelegate : public QStyledItemDelegate {
public:
    explicit CTreeLabelDelegate(CTreeWidget* tree) : QStyledItemDelegate(tree), m_tree(tree) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(true);
        m_tree->EditorCreated(editor);
        return editor;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override
    {
        if (auto* e = qobject_cast<QLineEdit*>(editor))
            m_tree->TextCommitted(e->text());
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        // Enter and Escape end the edit here and go no further: a dialog
        // around the tree must not take them for its OK and Cancel.
        if (event->type() == QEvent::KeyPress && object == m_tree->EditorWidget()) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                m_tree->CloseEditorNow(key != Qt::Key_Escape);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    CTreeWidget* m_tree;
};

CTreeWidget* Tree(HWND h) { return dynamic_cast<CTreeWidget*>(h); }

} // namespace

CTreeWidget::CTreeWidget(DWORD style, QWidget* parent) : QTreeWidget(parent), m_style(style)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(style & TVS_LINESATROOT);
    setItemsExpandable(style & TVS_HASBUTTONS);
    setExpandsOnDoubleClick(true);
    setAnimated(false);
    setIconSize(QSize(16, 16));
    setEditTriggers(style & TVS_EDITLABELS ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                                           : QAbstractItemView::NoEditTriggers);
    setItemDelegate(new CTreeLabelDelegate(this));
    const bool drags = !(style & TVS_DISABLEDRAGDROP);
    setDragEnabled(drags);
    setDragDropMode(drags ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& i) { UserExpanded(itemFromIndex(i), true); });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) { UserExpanded(itemFromIndex(i), false); });
}

QWidget* CreateTreeWidget(DWORD style, QWidget* parent) { return new CTreeWidget(style, parent); }

// ---------------------------------------------------------------------------

CTreeCtrl::CTreeCtrl() = default;
CTreeCtrl::~CTreeCtrl() = default;

HWND CTreeCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateTreeWidget(cs.style, parent); }

BOOL CTreeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("SysTreeView32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

HTREEITEM CTreeCtrl::InsertItem(const TVINSERTSTRUCT* pInsert)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !pInsert)
        return nullptr;
    QTreeWidgetItem* parent = IsRootHandle(pInsert->hParent) ? nullptr : pInsert->hParent;
    if (parent && !t->IsAlive(parent))
        return nullptr;
    auto* item = new CTreeItem;
    const TVITEM& tv = pInsert->item;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
    item->setData(0, kImageRole, -1);
    item->setData(0, kSelectedImageRole, -1);
    if (tv.mask & TVIF_TEXT)
        item->setText(0, QString::fromStdString(tv.pszText ? tv.pszText : ""));
    if (tv.mask & TVIF_PARAM)
        item->setData(0, kParamRole, QVariant::fromValue<qulonglong>(qulonglong(tv.lParam)));
    if (tv.mask & TVIF_IMAGE)
        item->setData(0, kImageRole, tv.iImage);
    item->setData(0, kSelectedImageRole, tv.mask & TVIF_SELECTEDIMAGE ? tv.iSelectedImage : item->data(0, kImageRole).toInt());
    item->setChildIndicatorPolicy(tv.mask & TVIF_CHILDREN && tv.cChildren ? QTreeWidgetItem::ShowIndicator
                                                                          : QTreeWidgetItem::DontShowIndicatorWhenChildless);

    const int count = parent ? parent->childCount() : t->topLevelItemCount();
    int at = count;
    HTREEITEM after = pInsert->hInsertAfter;
    if (after == TVI_FIRST) {
        at = 0;
    } else if (after && after != TVI_LAST) {
        const int i = parent ? parent->indexOfChild(after) : t->indexOfTopLevelItem(after);
        if (i >= 0)
            at = i + 1;
    }
    t->Born(item);
    if (parent)
        parent->insertChild(at, item);
    else
        t->insertTopLevelItem(at, item);
    t->RefreshIcon(item);
    return item;
}

HTREEITEM CTreeCtrl::InsertItem(const std::string& text, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    TVINSERTSTRUCT ins;
    ins.hParent = hParent;
    ins.hInsertAfter = hInsertAfter;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = text.c_str();
    return InsertItem(&ins);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM hItem)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t)
        return FALSE;
    if (IsRootHandle(hItem)) {
        while (t->topLevelItemCount() > 0)
            t->DeleteSubtree(t->topLevelItem(t->topLevelItemCount() - 1));
        return TRUE;
    }
    if (!t->IsAlive(hItem))
        return FALSE;
    t->DeleteSubtree(hItem);
    return TRUE;
}

UINT CTreeCtrl::GetCount() const
{
    UINT n = 0;
    if (CTreeWidget* t = Tree(m_hWnd))
        for (QTreeWidgetItemIterator it(t); *it; ++it)
            ++n;
    return n;
}

BOOL CTreeCtrl::GetItem(TVITEM* pItem) const
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !pItem || !t->IsAlive(pItem->hItem))
        return FALSE;
    QTreeWidgetItem* item = pItem->hItem;
    if (pItem->mask & TVIF_PARAM)
        pItem->lParam = ParamOf(item);
    if (pItem->mask & TVIF_IMAGE)
        pItem->iImage = item->data(0, kImageRole).toInt();
    if (pItem->mask & TVIF_SELECTEDIMAGE)
        pItem->iSelectedImage = item->data(0, kSelectedImageRole).toInt();
    if (pItem->mask & TVIF_CHILDREN)
        pItem->cChildren = ItemHasChildren(item) ? 1 : 0;
    if (pItem->mask & TVIF_STATE)
        pItem->state = GetItemState(item, pItem->stateMask ? pItem->stateMask : ~0u);
    return TRUE;
}

BOOL CTreeCtrl::SetItem(const TVITEM* pItem)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !pItem || !t->IsAlive(pItem->hItem))
        return FALSE;
    QTreeWidgetItem* item = pItem->hItem;
    if (pItem->mask & TVIF_TEXT)
        item->setText(0, QString::fromStdString(pItem->pszText ? pItem->pszText : ""));
    if (pItem->mask & TVIF_PARAM)
        item->setData(0, kParamRole, QVariant::fromValue<qulonglong>(qulonglong(pItem->lParam)));
    if (pItem->mask & TVIF_IMAGE)
        item->setData(0, kImageRole, pItem->iImage);
    if (pItem->mask & TVIF_SELECTEDIMAGE)
        item->setData(0, kSelectedImageRole, pItem->iSelectedImage);
    if (pItem->mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE))
        t->RefreshIcon(item);
    if (pItem->mask & TVIF_CHILDREN)
        item->setChildIndicatorPolicy(pItem->cChildren ? QTreeWidgetItem::ShowIndicator
                                                       : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if ((pItem->mask & TVIF_STATE) && (pItem->stateMask & TVIS_EXPANDEDONCE))
        item->setData(0, kExpandedOnceRole, bool(pItem->state & TVIS_EXPANDEDONCE));
    return TRUE;
}

std::string CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    CTreeWidget* t = Tree(m_hWnd);
    return t && t->IsAlive(hItem) ? hItem->text(0).toStdString() : std::string();
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, const std::string& text)
{
    TVITEM tv;
    tv.mask = TVIF_TEXT;
    tv.hItem = hItem;
    tv.pszText = text.c_str();
    return SetItem(&tv);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const
{
    CTreeWidget* t = Tree(m_hWnd);
    return t && t->IsAlive(hItem) ? DWORD_PTR(ParamOf(hItem)) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR data)
{
    TVITEM tv;
    tv.mask = TVIF_PARAM;
    tv.hItem = hItem;
    tv.lParam = LPARAM(data);
    return SetItem(&tv);
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !t->IsAlive(hItem))
        return 0;
    UINT s = 0;
    if (hItem->isExpanded())
        s |= TVIS_EXPANDED;
    if (hItem->data(0, kExpandedOnceRole).toBool())
        s |= TVIS_EXPANDEDONCE;
    if (hItem == t->currentItem())
        s |= TVIS_SELECTED;
    if (hItem == t->m_dropHilite)
        s |= TVIS_DROPHILITED;
    return s & nStateMask;
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !t->IsAlive(hItem))
        return FALSE;
    return hItem->childCount() > 0 || hItem->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM hItem, RECT* pRect, BOOL bTextOnly) const
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !pRect || !t->IsAlive(hItem))
        return FALSE;
    QRect r = t->visualItemRect(hItem);
    if (r.isEmpty())
        return FALSE;
    if (!bTextOnly)
        r = QRect(0, r.top(), t->viewport()->width(), r.height());
    *pRect = CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    return TRUE;
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t)
        return nullptr;
    const bool root = IsRootHandle(hItem);
    if (!root && nCode != TVGN_ROOT && nCode != TVGN_CARET && nCode != TVGN_DROPHILITE && nCode != TVGN_FIRSTVISIBLE &&
        !t->IsAlive(hItem))
        return nullptr;
    auto sibling = [t](QTreeWidgetItem* item, int step) -> QTreeWidgetItem* {
        QTreeWidgetItem* parent = item->parent();
        const int i = (parent ? parent->indexOfChild(item) : t->indexOfTopLevelItem(item)) + step;
        if (i < 0)
            return nullptr;
        return parent ? parent->child(i) : t->topLevelItem(i);
    };
    switch (nCode) {
    case TVGN_ROOT: return t->topLevelItem(0);
    case TVGN_CHILD: return root ? t->topLevelItem(0) : hItem->child(0);
    case TVGN_NEXT: return root ? nullptr : sibling(hItem, 1);
    case TVGN_PREVIOUS: return root ? nullptr : sibling(hItem, -1);
    case TVGN_PARENT: return root ? nullptr : hItem->parent();
    case TVGN_FIRSTVISIBLE: return t->itemAt(QPoint(1, 1));
    case TVGN_NEXTVISIBLE: return root ? nullptr : t->itemBelow(hItem);
    case TVGN_PREVIOUSVISIBLE: return root ? nullptr : t->itemAbove(hItem);
    case TVGN_DROPHILITE: return t->m_dropHilite;
    case TVGN_CARET: return t->currentItem();
    default: return nullptr;
    }
}

BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !t->IsAlive(hItem))
        return FALSE;
    return t->ExpandItem(hItem, nCode) ? TRUE : FALSE;
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM hItem)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !t->IsAlive(hItem))
        return FALSE;
    for (QTreeWidgetItem* p = hItem->parent(); p; p = p->parent())
        if (!p->isExpanded() && !t->ExpandItem(p, TVE_EXPAND))
            return FALSE;
    if (!t->IsAlive(hItem))
        return FALSE;
    t->scrollToItem(hItem, QAbstractItemView::EnsureVisible);
    return TRUE;
}

BOOL CTreeCtrl::Select(HTREEITEM hItem, UINT nCode)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t)
        return FALSE;
    if (hItem && !t->IsAlive(hItem))
        return FALSE;
    switch (nCode) {
    case TVGN_DROPHILITE: t->SetDropHilite(hItem); return TRUE;
    case TVGN_CARET:
        if (hItem && !EnsureVisible(hItem))
            return FALSE;
        if (hItem != t->currentItem())
            t->SelectCaret(hItem);
        return TRUE;
    case TVGN_FIRSTVISIBLE:
        if (!hItem || !EnsureVisible(hItem))
            return FALSE;
        t->scrollToItem(hItem, QAbstractItemView::PositionAtTop);
        return TRUE;
    default: return FALSE;
    }
}

HTREEITEM CTreeCtrl::HitTest(CPoint pt, UINT* pFlags) const
{
    CTreeWidget* t = Tree(m_hWnd);
    QTreeWidgetItem* item = t ? t->itemAt(QPoint(pt.x, pt.y)) : nullptr;
    if (pFlags) {
        *pFlags = TVHT_NOWHERE;
        if (item) {
            const QRect r = t->visualItemRect(item);
            if (pt.x < r.left())
                *pFlags = TVHT_ONITEMBUTTON;
            else if (pt.x < r.left() + t->iconSize().width() + 4)
                *pFlags = TVHT_ONITEMICON;
            else
                *pFlags = TVHT_ONITEMLABEL;
        }
    }
    return item;
}

CEdit* CTreeCtrl::EditLabel(HTREEITEM hItem)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !t->IsAlive(hItem))
        return nullptr;
    return t->StartEdit(hItem) ? t->Editor() : nullptr;
}

CEdit* CTreeCtrl::GetEditControl() const
{
    CTreeWidget* t = Tree(m_hWnd);
    return t ? t->Editor() : nullptr;
}

BOOL CTreeCtrl::EndEditLabelNow(BOOL bCancel)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !t->Editor())
        return FALSE;
    t->CloseEditorNow(!bCancel);
    return TRUE;
}

BOOL CTreeCtrl::SortChildrenCB(const TVSORTCB* pSort)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t || !pSort || !pSort->lpfnCompare)
        return FALSE;
    SortOrder order{pSort->lpfnCompare, pSort->lParam};
    SortOrder* saved = g_sort;
    g_sort = &order;
    if (IsRootHandle(pSort->hParent)) {
        t->invisibleRootItem()->sortChildren(0, Qt::AscendingOrder);
    } else if (t->IsAlive(pSort->hParent)) {
        pSort->hParent->sortChildren(0, Qt::AscendingOrder);
    }
    g_sort = saved;
    return TRUE;
}

COLORREF CTreeCtrl::SetBkColor(COLORREF cr)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t)
        return CLR_INVALID;
    QPalette pal = t->palette();
    const QColor old = pal.color(QPalette::Base);
    pal.setColor(QPalette::Base, QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr)));
    t->setPalette(pal);
    return RGB(old.red(), old.green(), old.blue());
}

void CTreeCtrl::SetImageSource(std::function<QIcon(int)> iconOf)
{
    CTreeWidget* t = Tree(m_hWnd);
    if (!t)
        return;
    t->m_iconOf = std::move(iconOf);
    for (QTreeWidgetItemIterator it(t); *it; ++it)
        t->RefreshIcon(*it);
}
