#pragma once

#include "browser/contact_sheet.h"
#include "browser/gallery_ctrl.h"
#include "browser/thumbnail_loader.h"
#include "browser/tree_pane.h"
#include "browser/zun_func_pane.h"
#include "ui/splitter.h"
#include "message/wave.h"
#include "platform/framework/image_list.h"
#include "platform/framework/list_ctrl.h"
#include "platform/framework/view.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CCommentSearchDlog;
class CHoverHelp;
class CZunToolBar;
class CFrameWnd;

enum : UINT {
    ID_FUNC_ANOTAION = 302,
    ID_STOPWAVE = 345,
    ID_AFTER_RELOAD = 223,
    ID_FILEDCLICKED = 32795,
    ID_VIEW_THUMBNAILS = 32853,
    ID_VIEW_ICONS = 32801,
    ID_VIEW_DETAILS = 32804,
    ID_THUMB_CUSTOM = 32854,
    ID_THUMB_LARGE = 32855,
    ID_THUMB_MEDIUM = 32856,
    ID_THUMB_SMALL = 32857,
    ID_VIEW_IMAGEINFO = 32834,
    ID_REFRESHTHUMBNAIL = 32896,
    ID_RELOADINDEX = 32815,
    IDC_BROWSER_SPLITTER = 2309,
    // The gallery is the outer splitter's pane (0, 1).
    IDC_BROWSER_GALLERY = AFX_IDW_PANE_FIRST + 1,
    IDS_ARIAL = 37,
    IDS_TOTAL_FILES = 6007,
    IDS_SELECTED_FILES = 6287,
    IDS_BLANK_HINT = 6000,
    IDS_LIST_UPDATED = 6152,
    IDS_LIST_TYPE = 6153,
    IDS_LIST_NAME = 6154,
    IDS_LIST_SIZE = 6155,
};
// The update hint of a folder change (the browser document's).
inline constexpr LPARAM kHintDirectoryChanged = 0x8015;

// The browser's view: the folder pane on the left and, on the right, the
// folder's files in the thumbnail gallery or in a list of icons or details
// (the list shows the gallery's items and keeps its selection in step). It reloads the item store when the
// folder changes (emptying the gallery and the loader's queue first, so
// nothing paints or loads the items the scan replaces), lets the loader
// thread make the thumbnails while it is shown, keeps the status texts, the
// thumbnail size and the picture-information switch, and hands the chosen
// picture to the main window (Return: the message editor; double click: as
// the item asks).
class CZunMainView : public CView {
    DECLARE_DYNCREATE(CZunMainView)
    DECLARE_MESSAGE_MAP()
public:
    CZunMainView();
    ~CZunMainView() override;

    void OnInitialUpdate() override;
    // The label editor of the active pane (gallery caption or tree label), or null.
    CEdit* GetActiveEditor();
    CWnd* GetActivePane() const { return m_pActivePane; }
    // Cut (TRUE) or Copy of the active pane's files to the clipboard.
    void PutFilesOnClipboard(BOOL cut);
    // The sort method shown (the toolbar keeps it) and a re-sort of the items
    // with the selection carried along.
    int GetSortMethod() const;
    BOOL IsSortDescending() const { return m_bSortDescending; }
    void Resort();
    // Pastes the clipboard's files into the tree's folder; TRUE when the shell did.
    BOOL PasteFiles();
    // Paste is the view's for an open label editor, and for files on the
    // clipboard while the tree shows a folder; any other goes to the frame.
    BOOL TakesPaste();
    void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Commands go to the pane that had the focus last, then to the view.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override;
    // Plays a voice note; a missing or unreadable file plays nothing.
    void PlaySoundFile(const std::string& path);
    const CWave& Wave() const { return m_wave; }

    void ReloadFolder(BOOL quiet);
    // The totals are counted again when the status texts are next read: a
    // range selected row by row asks many times and counts once.
    void UpdateTotals() { m_bTotalsStale = TRUE; }
    std::string GetStatusText(int index);
    void SelectStartFolder();
    void SetAllSelected(BOOL state);
    void SelectItem(int index, BOOL scroll);
    void RebuildList(BOOL quiet);
    void SetViewMode(int mode);
    int GetViewMode() const { return m_nViewMode; }
    void SetThumbnailSize(int size, BOOL force);
    int GetThumbnailSize() const { return m_nThumbSize; }
    BOOL IsShowingInfo() const { return m_bShowInfo; }
    void UpdateActivePane();
    // The pre-close step: the settings written back.
    void SaveSettings();
    // A save wrote the file at path: a listed item forgets what it had read of it.
    void RefreshSavedItem(const std::string& path);
    // Removes the items whose files are gone (after file operations).
    void RemoveVanishedFiles();

    // The frame's toolbar (it keeps the sort method) and the frame itself.
    void SetFrameParts(CZunToolBar* pToolBar, CFrameWnd* pFrame);
    // The frame's hover help, which shows no hint over the panes.
    void SetHoverHelp(CHoverHelp* pHoverHelp) { m_pHoverHelp = pHoverHelp; }
    // The selected items' paths in gallery order; FALSE when none.
    BOOL CollectSelectedPaths(std::vector<std::string>& paths);
    // Of the selection: each item's linked message, else the item when it is a message file.
    std::vector<std::string> SelectedMessagePaths();
    // Selected items that are no message file, movie or sound; with skipLinked
    // those with a linked message are left out too.
    std::vector<std::string> SelectedPicturePaths(BOOL skipLinked);
    std::vector<std::string> SelectedMoviePaths();
    std::vector<std::string> SelectedSoundPaths();
    // A message was saved at the path: the items linked to it forget the link.
    void RefreshLinkedMessage(const std::string& path);
    // The function pane's buttons from the selection.
    void EnableFuncButtons();

    // What the selection holds, for the command states.
    struct SelectionKinds {
        int count = 0;
        int pictures = 0;         // JPEG, TIFF or BMP by extension
        int unlinkedPictures = 0; // of those, without a linked message
        int messages = 0;         // message files and items with a linked message
        int sounds = 0;
        int movies = 0;
        BOOL anyUnverified = FALSE;
        BOOL anyVerified = FALSE;
    };
    SelectionKinds GetSelectionKinds();
    static BOOL CanViewComment(const SelectionKinds& k);
    static BOOL CanViewImage(const SelectionKinds& k);
    static BOOL CanTextImage(const SelectionKinds& k);

    CGalleryCtrl* GetGallery() { return m_pGallery; }
    CListCtrl* GetList() { return m_pList; }
    // The shell's type name of the file, asked once per extension in any
    // letter case and kept in names under the upper-cased extension.
    static std::string LookUpTypeName(std::map<std::string, std::string>& names, const std::string& path,
                                      const std::function<std::string(const std::string&)>& ask);
    // The list's pictures as the items' thumbnails (image index = item
    // index) instead of the shell's icons; off unless switched on.
    void SetListThumbnails(BOOL on);
    BOOL IsListThumbnails() const { return m_bListThumbnails; }
    const CImageList& ListImages() const { return m_listImages; }
    // The list's icons looked up once per file type and kept by upper-cased
    // extension; off unless switched on.
    void SetOwnIcons(BOOL on);
    const std::map<std::string, int>& OwnIcons() const { return m_mapIcons; }
    CZunFuncPane* GetFuncPane() { return m_pFuncPane; }
    CTreePane* GetTreePane() { return m_pTreePane; }
    CThumbnailLoader& Loader() { return m_loader; }
    // The thumbnails held for painting (the visible cells' in disk mode).
    size_t HeldThumbnailCount() const { return m_shown.size(); }
    // The Comment Search dialog once it was opened; null before.
    CCommentSearchDlog* GetSearchDialog() const { return m_pDlgSearch.get(); }

protected:
    void OnSize(UINT nType, int cx, int cy) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnDestroy() override;
    void OnRefreshThumbnail();
    void OnGallerySelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnGalleryDblClk(NMHDR* pNMHDR, LRESULT* pResult);
    void OnGalleryScrolled(NMHDR* pNMHDR, LRESULT* pResult);
    void OnFileMoved();
    void OnViewThumbnails();
    void OnViewIcons();
    void OnViewDetails();
    void OnUpdateViewMode(CCmdUI* pCmdUI);
    void OnReloadIndex();
    void OnPlaySound();
    void OnGalleryIconClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListBeginDrag(NMHDR* pNMHDR, LRESULT* pResult);
    void OnThumbSize(UINT nID);
    void OnUpdateThumbSize(CCmdUI* pCmdUI);
    void OnViewImageInfo();
    void OnUpdateViewImageInfo(CCmdUI* pCmdUI);
    void OnUpdateCommand(CCmdUI* pCmdUI);
    void OnEditUndo();
    void OnEditCut();
    void OnEditCopy();
    void OnEditPaste();
    void OnEditSelectAll();
    void OnEditDelete();
    void OnNewFolder();
    void OnCopyToClipboard();
    void OnViewUpdate();
    void OnDataValidation();
    void OnClearValidation();
    // File/Print: the contact-sheet dialog, then the pages; Ctrl+P prints them at once.
    void OnPrintSheets();
    void OnPrintDirect();
    void OnGalleryBeginDrag(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDirectoryRenamed();
    LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    void OnGalleryLabelEdited(NMHDR* pNMHDR, LRESULT* pResult);
    void OnGalleryEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEditRename();
    void OnRenameAll();
    void OnResizeAll();
    // The picture information of the selection, written as a CSV file.
    void OnExportInfoCsv();
    // The Exif user comment of the selected pictures, asked for and written into their files.
    void OnEditUserComment();
    // Camera copies of the selected pictures, one save dialog each.
    void OnSaveCameraCopies();
    void OnMoveToFolder();
    void OnCopyToFolder();
    void OnSortMethod(UINT nID);
    void OnSortDirection(UINT nID);
    void OnUpdateSort(CCmdUI* pCmdUI);
    // Comment Search over the folder's messages, and the opening of a found one.
    void OnCommentSearch();
    void OnOpenSearchResult();

private:
    void CountTotals();
    BOOL IsFilePaneActive() const;
    BOOL IsTreePaneActive() const;
    // The tree has a folder that file commands may act on.
    BOOL TreeState() const;
    BOOL FileCommandAllowed();
    CEdit* GetVisibleEditor();
    // The selected files, or the tree's folder when the tree is active.
    BOOL CollectCommandPaths(std::vector<std::string>& paths);
    void ValidateSelection(BOOL clear);
    std::vector<int> SelectedIndices();
    void MoveOrCopyToFolder(BOOL move);
    void FillGallery();
    // A double click on an item: it becomes current and opens.
    void OpenClickedItem(int item);
    void CreateList();
    // The list's image lists for its form: the thumbnails or the shell's icons.
    void AttachListImages();
    // Every item's thumbnail at the list's picture size, in item order.
    void MakeListPictures();
    // One item's thumbnail fitted into the list's picture size on white.
    QImage ListPicture(int index) const;
    // Draws the item's list picture anew (after its thumbnail was made).
    void RefreshListPicture(int index);
    // The list's selection and focus made the gallery's (while the list is shown).
    void SyncListSelection();
    // Stops the voice note when its item is no longer selected.
    void StopSoundOfDeselected();
    static BOOL Thumbnail(int index, CDibBitmap& bitmap, LPARAM user);
    static void ImageSize(CSize& size, int index);
    void RefreshCaption(int index);
    void RefreshCaptions();
    static void CustomOverlay(CGalleryCtrl* ctrl, CDC* dc, int index, const CRect& cell, const CRect& picture);
    void ForgetHidden();

    // The contact sheets' settings and page state, kept while the browser lives.
    CContactSheet m_contactSheet;
    CSplitter m_wndSplitter;
    CSplitter m_wndSplitter2;
    CTreePane m_treePane;
    CZunFuncPane m_funcPane;
    CZunFuncPane* m_pFuncPane = nullptr;
    // The reason the last rename was refused; empty after one that worked.
    std::string m_strRenameError;
    CZunToolBar* m_pToolBar = nullptr;
    CFrameWnd* m_pMainFrame = nullptr;
    CHoverHelp* m_pHoverHelp = nullptr;
    CGalleryCtrl m_gallery;
    CGalleryCtrl* m_pGallery = nullptr;
    CListCtrl m_list;
    CListCtrl* m_pList = nullptr;
    // Upper-cased extension to the shell's type name, for the Type column.
    std::map<std::string, std::string> m_mapTypeNames;
    BOOL m_bListThumbnails = FALSE;
    int m_nListPictureSize = 18;
    CImageList m_listImages;
    BOOL m_bOwnIcons = FALSE;
    // Upper-cased extension to the list's icon, while m_bOwnIcons is set.
    std::map<std::string, int> m_mapIcons;
    BOOL m_bIgnoreListChange = FALSE;
    // The item whose voice note a click started; -1 for none.
    int m_nSoundItem = -1;
    CTreePane* m_pTreePane = nullptr;
    CWnd* m_pActivePane = nullptr;
    int m_nViewMode = 1;
    int m_nThumbSize = 1;
    BOOL m_bSortDescending = FALSE;
    BOOL m_bShowInfo = TRUE;
    BOOL m_bReloading = FALSE;
    BOOL m_bStarted = FALSE;
    std::string m_strStatus0, m_strStatus1;
    BOOL m_bTotalsStale = FALSE;
    CThumbnailLoader m_loader;
    CWave m_wave;
    // Decoded thumbnails of the cells painted lately, so that scrolling in
    // disk mode does not read a cache file on every paint.
    std::map<int, CDibBitmap> m_shown;
    std::unique_ptr<CCommentSearchDlog> m_pDlgSearch;
};
