#include "platform/framework/list_ctrl.h"

#include "platform/shell.h"

#include <QHeaderView>
#include <QTreeWidget>

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

namespace {

// The Qt side: a flat tree, one column without a header until columns are
// inserted, whole rows selected. Tells the parent of every selection change
// of an item and of double clicks, as the list control's notifications.
class CListWidget : public QTreeWidget {
public:
    explicit CListWidget(QWidget* parent) : QTreeWidget(parent)
    {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setRootIsDecorated(false);
        setUniformRowHeights(true);
        setHeaderHidden(true);
        setColumnCount(1);
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this](const QItemSelection& on, const QItemSelection& off) {
                    for (const QModelIndex& i : off.indexes())
                        if (i.column() == 0)
                            Changed(i.row(), 0, LVIS_SELECTED);
                    for (const QModelIndex& i : on.indexes())
                        if (i.column() == 0)
                            Changed(i.row(), LVIS_SELECTED, 0);
                });
        connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
            NMITEMACTIVATE nm;
            nm.iItem = item ? indexOfTopLevelItem(item) : -1;
            Send(NM_DBLCLK, nm.hdr);
        });
    }
    int count() const { return topLevelItemCount(); }
    QTreeWidgetItem* item(int row) const { return topLevelItem(row); }
    bool m_bColumns = false;
    CShellImageList* m_images = nullptr;

private:
    void Changed(int item, UINT newState, UINT oldState)
    {
        NMLISTVIEW nm;
        nm.iItem = item;
        nm.uChanged = LVIF_STATE;
        nm.uNewState = newState;
        nm.uOldState = oldState;
        Send(LVN_ITEMCHANGED, nm.hdr);
    }
    void Send(int code, NMHDR& hdr)
    {
        hdr.hwndFrom = this;
        hdr.idFrom = UINT_PTR(property("qr_ctrlid").toInt());
        hdr.code = code;
        if (QWidget* parent = parentWidget())
            ::SendMessage(parent, WM_NOTIFY, WPARAM(hdr.idFrom), LPARAM(&hdr));
    }
};

CListWidget* List(HWND h) { return static_cast<CListWidget*>(h); }

} // namespace

HWND CListCtrl::CreateWidget(const CREATESTRUCT&, QWidget* parent) { return new CListWidget(parent); }

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("SysListView32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

void CListCtrl::SetImageList(CShellImageList* images)
{
    List(m_hWnd)->m_images = images;
    if (images)
        List(m_hWnd)->setIconSize(QSize(images->IconSize(), images->IconSize()));
}

int CListCtrl::InsertItem(int nItem, const std::string& text, int nImage)
{
    CListWidget* list = List(m_hWnd);
    const int at = nItem < 0 || nItem > list->count() ? list->count() : nItem;
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
    if (list->m_images && nImage >= 0)
        item->setIcon(0, list->m_images->GetIcon(nImage));
    list->insertTopLevelItem(at, item);
    return at;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& text)
{
    QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item || nSubItem < 0 || nSubItem >= List(m_hWnd)->columnCount())
        return FALSE;
    item->setText(nSubItem, QString::fromStdString(text));
    return TRUE;
}

int CListCtrl::InsertColumn(int nCol, const std::string& heading, int nWidth)
{
    CListWidget* list = List(m_hWnd);
    // The first column inserted takes the place of the headerless one.
    const int columns = list->m_bColumns ? list->columnCount() : 0;
    const int at = nCol < 0 || nCol > columns ? columns : nCol;
    QStringList headings;
    for (int i = 0; i < columns; ++i)
        headings << list->headerItem()->text(i);
    headings.insert(at, QString::fromStdString(heading));
    list->m_bColumns = true;
    list->setColumnCount(int(headings.size()));
    list->setHeaderLabels(headings);
    list->setHeaderHidden(false);
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(at, nWidth);
    return at;
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx)
{
    CListWidget* list = List(m_hWnd);
    if (nCol < 0 || nCol >= list->columnCount())
        return FALSE;
    list->setColumnWidth(nCol, cx);
    return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const
{
    const CListWidget* list = List(m_hWnd);
    return nCol < 0 || nCol >= list->columnCount() ? 0 : list->columnWidth(nCol);
}

BOOL CListCtrl::DeleteAllItems()
{
    List(m_hWnd)->clear();
    return TRUE;
}

int CListCtrl::GetItemCount() const { return List(m_hWnd)->count(); }

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    const QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    return item ? item->text(nSubItem).toStdString() : std::string();
}

int CListCtrl::GetNextItem(int nItem, UINT nFlags) const
{
    const CListWidget* list = List(m_hWnd);
    for (int i = std::max(nItem + 1, 0); i < list->count(); ++i)
        if (!(nFlags & LVNI_SELECTED) || list->item(i)->isSelected())
            return i;
    return -1;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    CListWidget* list = List(m_hWnd);
    if (nItem < -1 || nItem >= list->count())
        return FALSE;
    const int first = nItem < 0 ? 0 : nItem;
    const int last = nItem < 0 ? list->count() - 1 : nItem;
    for (int i = first; i <= last; ++i) {
        if (nMask & LVIS_SELECTED)
            list->item(i)->setSelected((nState & LVIS_SELECTED) != 0);
        if ((nMask & LVIS_FOCUSED) && (nState & LVIS_FOCUSED))
            list->setCurrentItem(list->item(i), 0, QItemSelectionModel::NoUpdate);
    }
    return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const
{
    const CListWidget* list = List(m_hWnd);
    const QTreeWidgetItem* item = list->item(nItem);
    if (!item)
        return 0;
    UINT state = 0;
    if (item->isSelected())
        state |= LVIS_SELECTED;
    if (list->currentItem() == item)
        state |= LVIS_FOCUSED;
    return state & nMask;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL)
{
    QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item)
        return FALSE;
    List(m_hWnd)->scrollToItem(item);
    return TRUE;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* lpRect) const
{
    QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item)
        return FALSE;
    // The whole row, every column.
    QRect r = List(m_hWnd)->visualItemRect(item);
    r.setLeft(0);
    r.setRight(std::max(r.right(), List(m_hWnd)->viewport()->width() - 1));
    *lpRect = CRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    return TRUE;
}
