#include "platform/framework/list_ctrl.h"

#include "platform/shell.h"

#include <QListWidget>

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

namespace {

// The Qt side: tells the parent of every selection change of an item and of
// double clicks, as the list control's notifications.
class CListWidget : public QListWidget {
public:
    explicit CListWidget(QWidget* parent) : QListWidget(parent)
    {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setUniformItemSizes(true);
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this](const QItemSelection& on, const QItemSelection& off) {
                    for (const QModelIndex& i : off.indexes())
                        Changed(i.row(), 0, LVIS_SELECTED);
                    for (const QModelIndex& i : on.indexes())
                        Changed(i.row(), LVIS_SELECTED, 0);
                });
        connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
            NMITEMACTIVATE nm;
            nm.iItem = item ? row(item) : -1;
            Send(NM_DBLCLK, nm.hdr);
        });
    }
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
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    if (list->m_images && nImage >= 0)
        item->setIcon(list->m_images->GetIcon(nImage));
    list->insertItem(at, item);
    return at;
}

BOOL CListCtrl::DeleteAllItems()
{
    List(m_hWnd)->clear();
    return TRUE;
}

int CListCtrl::GetItemCount() const { return List(m_hWnd)->count(); }

std::string CListCtrl::GetItemText(int nItem) const
{
    const QListWidgetItem* item = List(m_hWnd)->item(nItem);
    return item ? item->text().toStdString() : std::string();
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
            list->setCurrentRow(i, QItemSelectionModel::NoUpdate);
    }
    return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const
{
    const CListWidget* list = List(m_hWnd);
    const QListWidgetItem* item = list->item(nItem);
    if (!item)
        return 0;
    UINT state = 0;
    if (item->isSelected())
        state |= LVIS_SELECTED;
    if (list->currentRow() == nItem)
        state |= LVIS_FOCUSED;
    return state & nMask;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL)
{
    QListWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item)
        return FALSE;
    List(m_hWnd)->scrollToItem(item);
    return TRUE;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* lpRect) const
{
    QListWidgetItem* item = List(m_hWnd)->item(nItem);
    if (!item)
        return FALSE;
    const QRect r = List(m_hWnd)->visualItemRect(item);
    *lpRect = CRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    return TRUE;
}
