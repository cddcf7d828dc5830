#pragma once

#include "message/ano_editor.h"
#include "platform/framework/list_ctrl.h"

#include <string>
#include <vector>

// The file list of a file page: the current folder's sub-folders, then its
// files, each item standing for the full path at the same index.
class CAnoFileList : public CListCtrl {
public:
    int FolderCount() const { return int(m_folders.size()); }
    bool IsFolderItem(int item) const { return item >= 0 && item < FolderCount(); }
    bool IsFileItem(int item) const { return item >= FolderCount() && item < FolderCount() + int(m_files.size()); }
    // The item's full path; empty for no such item.
    std::string PathOf(int item) const;
    // Every item anew from the two lists: the path's last element as its
    // text (the whole path when that is empty) and the shell's icon.
    void Fill();

    std::vector<std::string> m_folders;
    std::vector<std::string> m_files;
};

// A page that browses folders for one kind of file: the list, Up, and the
// folder kept in the settings between runs.
class CFileAnoEditor : public CAnoEditor {
    DECLARE_DYNAMIC(CFileAnoEditor)
    DECLARE_MESSAGE_MAP()
public:
    // regValue: the "Preference" value that keeps the page's folder.
    CFileAnoEditor(UINT nIDTemplate, const char* regValue);
    // The folder is kept for the next run.
    ~CFileAnoEditor() override;

    // The extensions listed, without dots.
    virtual void GetFilters(std::vector<std::string>& extensions) = 0;
    // The stored folder; the program's folder when none is stored.
    virtual std::string GetStartFolder();
    virtual void OpenFile(const std::string&) {}
    virtual void FolderChanged() {}

    BOOL CanDoCommand(UINT nID) override;
    std::string GetContent() override;
    void Reset() override;

    const std::string& GetFolder() const { return m_strFolder; }
    // The folder becomes current (one trailing separator removed), listed and shown.
    void OpenFolder(const std::string& folder);
    // To the parent folder; nothing at the root.
    void GoUp();
    // The items of that path selected, focused and shown; all others deselected.
    void SelectByName(const std::string& path);
    CAnoFileList& FileList() { return m_list; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnUp() { GoUp(); }
    void OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult);
    // Lists the current folder into the list and fills it.
    void ListFolderItems();
    // Places Up, Add and Clear in a column at the right edge; answers the
    // left edge of that column.
    int LayoutButtonColumn(const CRect& client, int top);
    void PlaceList(const CRect& client, int right);

    CButtonEx m_btnUp;
    CAnoFileList m_list;
    std::string m_strFolder;
    std::vector<std::string> m_filters;
    const char* m_regValue;
    BOOL m_bStarted = FALSE; // a folder was opened, so there is one to keep
};

// Folder arithmetic of the file pages.
namespace anofolder {
// One trailing separator removed, except from the root itself.
std::string Normalize(const std::string& folder);
} // namespace anofolder
