// The browser view's icon and details list: an owner-data list over the
// item store that shows the gallery's items in the gallery's order and keeps
// the selection of both in step, its column headings sorting the folder.
#include "browser/zun_main_view.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/file_rename.h"
#include "browser/thumbnail_cache.h"
#include "browser/zun_main_frame.h"
#include "util/path_util.h"
#include "imaging/dib_bitmap.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <algorithm>
#include <cstring>

namespace {

// Copies text into the list's buffer, cut to its length at a character's start.
void CopyToBuffer(const std::string& text, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    size_t n = std::min(text.size(), size_t(size - 1));
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}

// What the map keeps under the path's upper-cased extension, asked for once.
template <class T, class Ask>
const T& LookUpByExtension(std::map<std::string, T>& map, const std::string& path, const Ask& ask)
{
    std::string ext = ExtensionOf(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
    if (auto it = map.find(ext); it != map.end())
        return it->second;
    return map.emplace(ext, ask(path)).first->second;
}

} // namespace

std::string CZunMainView::LookUpTypeName(std::map<std::string, std::string>& names, const std::string& path,
                                         const std::function<std::string(const std::string&)>& ask)
{
    return LookUpByExtension(names, path, ask);
}

void CZunMainView::CreateList()
{
    // Hidden until a list mode puts it in the gallery's pane.
    const DWORD style = DWORD(WS_CHILD) | LVS_OWNERDATA | LVS_EDITLABELS | LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS |
                        LVS_SHOWSELALWAYS | LVS_REPORT;
    if (!m_list.Create(style, CRect(0, 0, 10, 10), &m_wndSplitter, UINT(-1)))
        return;
    m_pList = &m_list;
    struct Column {
        UINT heading;
        int format, width;
    };
    static constexpr Column kColumns[] = {{IDS_LIST_NAME, LVCFMT_LEFT, 150},
                                          {IDS_LIST_SIZE, LVCFMT_RIGHT, 100},
                                          {IDS_LIST_TYPE, LVCFMT_LEFT, 150},
                                          {IDS_LIST_UPDATED, LVCFMT_LEFT, 150}};
    for (size_t i = 0; i < std::size(kColumns); ++i)
        m_list.InsertColumn(int(i), LoadResString(kColumns[i].heading), kColumns[i].width, kColumns[i].format);
}

// ---- display modes

void CZunMainView::SetViewMode(int mode)
{
    // A stored mode out of range shows the thumbnails.
    if (mode != 2 && mode != 3)
        mode = 1;
    if (mode == m_nViewMode)
        return;
    const int current = std::max(GetCurrentIndex(), 0);
    const int old = m_nViewMode;
    m_nViewMode = mode;
    if (mode == 1) {
        if (!m_pGallery || !m_pGallery->m_hWnd)
            return;
        m_wndSplitter.ReplacePaneWindow(0, 1, m_pGallery);
        m_pGallery->SetFocus();
        m_pGallery->EnsureVisible(current);
        return;
    }
    if (!m_pList || !m_pList->m_hWnd)
        return;
    m_pList->SetViewStyle(mode == 2 ? LVS_ICON : LVS_REPORT);
    AttachListImages();
    if (old != 2 && old != 3) {
        m_wndSplitter.ReplacePaneWindow(0, 1, m_pList);
        SyncListSelection();
    }
    m_pList->SetFocus();
    m_pList->EnsureVisible(current, FALSE);
}

void CZunMainView::OnViewIcons() { SetViewMode(2); }

void CZunMainView::OnViewDetails() { SetViewMode(3); }

void CZunMainView::OnUpdateViewMode(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    const int mode = pCmdUI->m_nID == ID_VIEW_ICONS ? 2 : pCmdUI->m_nID == ID_VIEW_DETAILS ? 3 : 1;
    pCmdUI->SetCheck(mode == m_nViewMode);
}

// ---- the list's items

void CZunMainView::OnListGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    LVITEM& item = reinterpret_cast<NMLVDISPINFO*>(pNMHDR)->item;
    const int i = item.iItem;
    if (i < 0 || i >= GetFileItemCount())
        return;
    const std::string path = GetFileItem(i)->GetPath();
    if (item.mask & LVIF_TEXT) {
        std::string text;
        switch (item.iSubItem) {
        case 0: text = GetItemFileName(i); break;
        case 1: text = FormatFileSizeText(path); break;
        case 2: text = LookUpTypeName(m_mapTypeNames, path, &GetShellTypeName); break;
        case 3: text = FormatLocalFileTime(GetItemFileTime(i)); break;
        default: break;
        }
        CopyToBuffer(text, item.pszText, item.cchTextMax);
    }
    if (item.mask & LVIF_IMAGE) {
        int image = -1;
        auto shellIcon = [](const std::string& file) {
            int index = -1;
            return GetShellIconIndex(file, index) ? index : -1;
        };
        if (m_bListThumbnails)
            image = i < m_listImages.GetImageCount() ? i : -1;
        else if (m_bOwnIcons)
            image = LookUpByExtension(m_mapIcons, path, shellIcon);
        else
            image = shellIcon(path);
        if (image >= 0)
            item.iImage = image;
    }
}

// ---- the list's pictures

void CZunMainView::SetListThumbnails(BOOL on)
{
    m_bListThumbnails = on;
    if (on) {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        MakeListPictures();
    }
    AttachListImages();
}

void CZunMainView::SetOwnIcons(BOOL on)
{
    m_bOwnIcons = on;
    m_mapIcons.clear();
    if (m_pList && m_pList->m_hWnd)
        m_pList->RedrawItems(0, m_pList->GetItemCount() - 1);
}

void CZunMainView::AttachListImages()
{
    if (!m_pList || !m_pList->m_hWnd || (m_nViewMode != 2 && m_nViewMode != 3))
        return;
    const bool icons = m_nViewMode == 2;
    if (m_bListThumbnails)
        m_pList->SetImageList(&m_listImages, icons ? LVSIL_NORMAL : LVSIL_SMALL);
    else
        m_pList->SetImageList(GetSystemImageList(icons), icons ? LVSIL_NORMAL : LVSIL_SMALL);
}

QImage CZunMainView::ListPicture(int index) const
{
    const int size = m_nListPictureSize;
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    CDibBitmap fitted;
    if (GetItemThumbnailFitted(index, fitted, size, size) && fitted.IsValid()) {
        CDC dc(&picture);
        fitted.Draw(&dc, CRect(0, 0, size, size));
    }
    return picture;
}

void CZunMainView::MakeListPictures()
{
    const int count = GetFileItemCount();
    m_listImages.Create(m_nListPictureSize, m_nListPictureSize, ILC_COLOR24, count, 10);
    m_listImages.SetBkColor(RGB(255, 255, 255));
    for (int i = 0; i < count; ++i)
        m_listImages.Add(ListPicture(i), RGB(255, 255, 255));
}

void CZunMainView::RefreshListPicture(int index)
{
    if (!m_bListThumbnails || !m_pList || !m_pList->m_hWnd)
        return;
    m_listImages.Replace(index, ListPicture(index));
    if (m_pList->IsWindowVisible())
        m_pList->RedrawItems(index, index);
}

// ---- selection

void CZunMainView::SyncListSelection()
{
    if (!m_pList || !m_pList->m_hWnd || m_nViewMode == 1 || !m_pGallery)
        return;
    m_bIgnoreListChange = TRUE;
    m_pList->SetItemState(-1, 0, LVIS_SELECTED);
    const int count = std::min(m_pGallery->GetItemCount(), m_pList->GetItemCount());
    for (int i = 0; i < count; ++i)
        if (m_pGallery->IsSelected(i))
            m_pList->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    // The gallery's focus item is the list's; without one the current item.
    int focus = m_pGallery->Model().GetFocusItem();
    if (focus < 0 || focus >= m_pList->GetItemCount())
        focus = GetCurrentIndex();
    if (focus >= 0 && focus < m_pList->GetItemCount())
        m_pList->SetItemState(focus, LVIS_FOCUSED, LVIS_FOCUSED);
    m_bIgnoreListChange = FALSE;
}

void CZunMainView::StopSoundOfDeselected()
{
    if (m_nSoundItem >= 0 && m_pGallery && m_pGallery->IsSelected(m_nSoundItem))
        return;
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_STOPWAVE, 0);
    m_wave.Stop();
}

void CZunMainView::OnListItemChanged(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    if (m_bIgnoreListChange || !m_pGallery)
        return;
    StopSoundOfDeselected();
    const auto* nm = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    if (!(nm->uChanged & LVIF_STATE))
        return;
    const int item = nm->iItem;
    const BOOL selected = (nm->uNewState & LVIS_SELECTED) != 0;
    const bool selectionChanged = ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) != 0;
    const bool focusChanged = ((nm->uNewState ^ nm->uOldState) & LVIS_FOCUSED) != 0;
    if (!(GetKeyState(VK_SHIFT) & 0x8000) || item < 0) {
        if (selectionChanged && item < 0) {
            m_pGallery->SelectAll(selected);
        } else if (selectionChanged && item < m_pGallery->GetItemCount()) {
            m_pGallery->SetSelected(item, selected);
            const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
            if ((ctrl && selected) || (nm->uNewState & LVIS_FOCUSED)) {
                m_pGallery->Model().SetFocusItem(item);
                SetCurrentIndex(item);
            }
        }
    } else if (item < m_pGallery->GetItemCount()) {
        // Shift extends from the gallery's anchor, as a Shift-click there would.
        if (focusChanged) {
            m_pGallery->Model().ExtendSelection(item);
            SetCurrentIndex(item);
            // The list takes the gallery's range: what was selected outside it goes.
            SyncListSelection();
        } else {
            m_pGallery->SetSelected(item, selected);
        }
    }
    EnableFuncButtons();
    UpdateTotals();
}

void CZunMainView::OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    OpenClickedItem(reinterpret_cast<NMITEMACTIVATE*>(pNMHDR)->iItem);
}

// ---- sorting by a column, reloading the list

void CZunMainView::OnListColumnClick(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    if (!m_pToolBar)
        return;
    // The columns stand in the order of the sort methods: name, size, type, time.
    const int column = reinterpret_cast<NMLISTVIEW*>(pNMHDR)->iSubItem;
    if (column == GetSortMethod())
        m_bSortDescending = !m_bSortDescending;
    else
        m_pToolBar->SetSortMethod(column);
    Resort();
}

void CZunMainView::OnReloadIndex()
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    RebuildList(FALSE);
}

// ---- label editing in the list

void CZunMainView::OnListBeginLabelEdit(NMHDR*, LRESULT* pResult) { *pResult = 0; }

void CZunMainView::OnListEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    const LVITEM& item = reinterpret_cast<NMLVDISPINFO*>(pNMHDR)->item;
    if (item.iItem < 0 || !item.pszText)
        return;
    if (RenameItem(item.iItem, item.pszText, m_strRenameError)) {
        *pResult = 1;
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        RefreshCaption(item.iItem);
        return;
    }
    if (m_strRenameError.empty())
        return;
    const std::string error = std::move(m_strRenameError);
    m_strRenameError.clear();
    AfxMessageBox(error);
}

// ---- voice notes

void CZunMainView::OnGalleryIconClick(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    const int item = reinterpret_cast<NMGALLERY*>(pNMHDR)->iItem;
    if (item < 0)
        return;
    m_nSoundItem = item;
    std::string sound;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        sound = GetItemSoundPath(item);
    }
    PlaySoundFile(sound);
}

void CZunMainView::OnPlaySound()
{
    if (!m_pGallery || m_pGallery->GetSelectedCount() != 1)
        return;
    std::string sound;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        sound = GetItemSoundPath(-1);
    }
    if (!sound.empty()) {
        PlaySoundFile(sound);
        return;
    }
    // Without a voice note the item opens as a double click would open it.
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_FILEDCLICKED, 0);
}
