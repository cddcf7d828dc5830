#include "platform/framework/list_ctrl.h"

#include "platform/framework/list_ctrl_owner.h"
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
    std::vector<int> m_formats;

private:
    void Changed(int item, UINT newState, UINT oldState) { NotifyItemStateChanged(this, item, oldState, newState); }
    void Send(int code, NMHDR& hdr) { NotifyListParent(this, code, hdr); }
};

CListWidget* List(HWND h) { return static_cast<CListWidget*>(h); }
COwnerDataList* Owner(HWND h) { return dynamic_cast<COwnerDataList*>(h); }

} // namespace

HWND CListCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    if (cs.style & LVS_OWNERDATA)
        return new COwnerDataList(cs.style, parent);
    return new CListWidget(parent);
}

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("SysListView32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

void CListCtrl::SetImageList(CShellImageList* images, int nImageList)
{
    if (COwnerDataList* o = Owner(m_hWnd))
        o->SetImageList(images, nImageList);
    else
        SetImageList(images);
}

void CListCtrl::SetImageList(const CImageList* images, int nImageList)
{
    if (COwnerDataList* o = Owner(m_hWnd))
        o->SetImageList(images, nImageList);
}

BOOL CListCtrl::RedrawItems(int nFirst, int nLast)
{
    COwnerDataList* o = Owner(m_hWnd);
    if (!o || nFirst > nLast)
        return FALSE;
    o->RedrawItems(nFirst, nLast);
    return TRUE;
}

void CListCtrl::SetViewStyle(DWORD lvsStyle)
{
    if (COwnerDataList* o = Owner(m_hWnd))
        o->SetViewStyle(lvsStyle);
}

DWORD CListCtrl::GetViewStyle() const
{
    const COwnerDataList* o = Owner(m_hWnd);
    return o ? o->GetViewStyle() : DWORD(LVS_REPORT);
}

void CListCtrl::SetItemCountEx(int nItems, DWORD dwFlags)
{
    if (COwnerDataList* o = Owner(m_hWnd))
        o->SetItemCount(nItems, dwFlags);
}

CEdit* CListCtrl::EditLabel(int nItem)
{
    COwnerDataList* o = Owner(m_hWnd);
    return o ? o->EditLabel(nItem) : nullptr;
}

CEdit* CListCtrl::GetEditControl() const
{
    const COwnerDataList* o = Owner(m_hWnd);
    return o ? o->GetEditControl() : nullptr;
}

void CListCtrl::SetImageList(CShellImageList* images)
{
    if (COwnerDataList* o = Owner(m_hWnd)) {
        o->SetImageList(images, LVSIL_SMALL);
        return;
    }
    List(m_hWnd)->m_images = images;
    if (images)
        List(m_hWnd)->setIconSize(QSize(images->IconSize(), images->IconSize()));
}

int CListCtrl::InsertItem(int nItem, const std::string& text, int nImage)
{
    // An owner-data list holds a count, not items.
    if (Owner(m_hWnd))
        return -1;
    CListWidget* list = List(m_hWnd);
    const int at = nItem < 0 || nItem > list->count() ? list->count() : nItem;
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
    for (size_t c = 0; c < list->m_formats.size(); ++c)
        if (list->m_formats[c] == LVCFMT_RIGHT)
            item->setTextAlignment(int(c), Qt::AlignRight | Qt::AlignVCenter);
    if (list->m_images && nImage >= 0)
        item->setIcon(0, list->m_images->GetIcon(nImage));
    list->insertTopLevelItem(at, item);
    return at;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& text)
{
    if (Owner(m_hWnd))
        return FALSE;
    QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item || nSubItem < 0 || nSubItem >= List(m_hWnd)->columnCount())
        return FALSE;
    item->setText(nSubItem, QString::fromStdString(text));
    return TRUE;
}

int CListCtrl::InsertColumn(int nCol, const std::string& heading, int nWidth, int nFormat)
{
    if (COwnerDataList* o = Owner(m_hWnd))
        return o->InsertColumn(nCol, heading, nWidth, nFormat);
    CListWidget* list = List(m_hWnd);
    // The first column inserted takes the place of the headerless one.
    const int columns = list->m_bColumns ? list->columnCount() : 0;
    const int at = nCol < 0 || nCol > columns ? columns : nCol;
    QStringList headings;
    for (int i = 0; i < columns; ++i)
        headings << list->headerItem()->text(i);
    headings.insert(at, QString::fromStdString(heading));
    list->m_formats.resize(size_t(columns), LVCFMT_LEFT);
    list->m_formats.insert(list->m_formats.begin() + at, nFormat);
    if (nFormat == LVCFMT_RIGHT)
        list->headerItem()->setTextAlignment(at, Qt::AlignRight | Qt::AlignVCenter);
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
    if (COwnerDataList* o = Owner(m_hWnd))
        return o->SetColumnWidth(nCol, cx);
    CListWidget* list = List(m_hWnd);
    if (nCol < 0 || nCol >= list->columnCount())
        return FALSE;
    list->setColumnWidth(nCol, cx);
    return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const
{
    if (const COwnerDataList* o = Owner(m_hWnd))
        return o->GetColumnWidth(nCol);
    const CListWidget* list = List(m_hWnd);
    return nCol < 0 || nCol >= list->columnCount() ? 0 : list->columnWidth(nCol);
}

BOOL CListCtrl::DeleteAllItems()
{
    if (COwnerDataList* o = Owner(m_hWnd)) {
        o->SetItemCount(0, 0);
        return TRUE;
    }
    List(m_hWnd)->clear();
    return TRUE;
}

int CListCtrl::GetItemCount() const
{
    const COwnerDataList* o = Owner(m_hWnd);
    return o ? o->GetItemCount() : List(m_hWnd)->count();
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    if (const COwnerDataList* o = Owner(m_hWnd))
        return o->GetItemText(nItem, nSubItem);
    const QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    return item ? item->text(nSubItem).toStdString() : std::string();
}

int CListCtrl::GetNextItem(int nItem, UINT nFlags) const
{
    if (const COwnerDataList* o = Owner(m_hWnd))
        return o->GetNextItem(nItem, nFlags);
    const CListWidget* list = List(m_hWnd);
    for (int i = std::max(nItem + 1, 0); i < list->count(); ++i)
        if (!(nFlags & LVNI_SELECTED) || list->item(i)->isSelected())
            return i;
    return -1;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    if (COwnerDataList* o = Owner(m_hWnd))
        return o->SetItemState(nItem, nState, nMask);
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
    if (const COwnerDataList* o = Owner(m_hWnd))
        return o->GetItemState(nItem, nMask);
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
    if (COwnerDataList* o = Owner(m_hWnd))
        return o->EnsureVisible(nItem);
    QTreeWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item)
        return FALSE;
    List(m_hWnd)->scrollToItem(item);
    return TRUE;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* lpRect) const
{
    if (const COwnerDataList* o = Owner(m_hWnd))
        return o->GetItemRect(nItem, lpRect);
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
