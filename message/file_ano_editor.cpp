#include "message/file_ano_editor.h"

#include "viewer/image_file_tests.h"
#include "platform/shell.h"
#include "platform/path.h"
#include "util/path_util.h"
#include "ui/ui_services.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CFileAnoEditor, CAnoEditor)

BEGIN_MESSAGE_MAP(CFileAnoEditor, CAnoEditor)
    ON_BN_CLICKED(IDC_ANO_UP, &CFileAnoEditor::OnUp)
    ON_NOTIFY(NM_DBLCLK, IDC_ANO_FILES, &CFileAnoEditor::OnListDblClk)
END_MESSAGE_MAP()

namespace {
constexpr int kMargin = 5;
}

std::string anofolder::Normalize(const std::string& folder)
{
    if (folder.size() > 1 && folder.back() == '/')
        return folder.substr(0, folder.size() - 1);
    return folder;
}

// ---------------------------------------------------------------------------

std::string CAnoFileList::PathOf(int item) const
{
    if (IsFolderItem(item))
        return m_folders[size_t(item)];
    if (IsFileItem(item))
        return m_files[size_t(item - FolderCount())];
    return std::string();
}

void CAnoFileList::Fill()
{
    DeleteAllItems();
    auto add = [this](const std::string& path) {
        const std::string name = LastNameOf(path);
        int icon = -1;
        GetShellIconIndex(path, icon);
        InsertItem(GetItemCount(), name.empty() ? path : name, icon);
    };
    for (const std::string& f : m_folders)
        add(f);
    for (const std::string& f : m_files)
        add(f);
}

// ---------------------------------------------------------------------------

CFileAnoEditor::CFileAnoEditor(UINT nIDTemplate, const char* regValue)
    : CAnoEditor(nIDTemplate), m_regValue(regValue)
{
}

CFileAnoEditor::~CFileAnoEditor()
{
    if (m_bStarted)
        RegWriteString(IDS_REG_PREFERENCE, m_regValue, m_strFolder);
}

std::string CFileAnoEditor::GetStartFolder()
{
    std::string folder;
    RegReadString(folder, IDS_REG_PREFERENCE, m_regValue);
    return folder.empty() ? GetProgramFolder() : folder;
}

void CFileAnoEditor::DoDataExchange(CDataExchange* pDX)
{
    CAnoEditor::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ANO_UP, m_btnUp);
}

BOOL CFileAnoEditor::OnInitDialog()
{
    CAnoEditor::OnInitDialog();
    m_btnUp.SetBackColor(GetSchemeSysColor(COLOR_BTNFACE));
    m_btnUp.SetIcon(4068);
    m_filters.clear();
    GetFilters(m_filters);
    for (std::string& f : m_filters)
        f.erase(std::remove(f.begin(), f.end(), '.'), f.end());
    m_list.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, CRect(kMargin, kMargin, 100, 60), this,
                  IDC_ANO_FILES);
    m_list.SetImageList(GetSystemImageList(false));
    OpenFolder(GetStartFolder());
    m_bStarted = TRUE;
    return TRUE;
}

void CFileAnoEditor::ListFolderItems()
{
    m_list.m_folders.clear();
    m_list.m_files.clear();
    // Without a folder, the one root of the file system stands for the drives.
    if (m_strFolder.empty())
        m_list.m_folders.push_back("/");
    else
        ListFolder(m_strFolder, m_list.m_folders, m_list.m_files, m_filters);
    m_list.Fill();
}

void CFileAnoEditor::OpenFolder(const std::string& folder)
{
    m_strFolder = anofolder::Normalize(folder);
    if (m_list.m_hWnd)
        ListFolderItems();
}

void CFileAnoEditor::GoUp()
{
    const std::string parent = ParentFolderOf(m_strFolder);
    if (!parent.empty())
        OpenFolder(parent);
    FolderChanged();
}

void CFileAnoEditor::OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult)
{
    const int item = reinterpret_cast<NMITEMACTIVATE*>(pNMHDR)->iItem;
    if (m_list.IsFolderItem(item)) {
        OpenFolder(m_list.PathOf(item));
        FolderChanged();
    } else if (m_list.IsFileItem(item)) {
        OpenFile(m_list.PathOf(item));
    }
    *pResult = 0;
}

void CFileAnoEditor::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CAnoEditor::OnShowWindow(bShow, nStatus);
    if (bShow && m_list.m_hWnd)
        m_list.SetFocus();
}

std::string CFileAnoEditor::GetContent()
{
    if (m_list.m_hWnd) {
        const int item = m_list.GetNextItem(-1, LVNI_SELECTED);
        m_strContent = m_list.IsFileItem(item) ? m_list.PathOf(item) : std::string();
    }
    return m_strContent;
}

void CFileAnoEditor::Reset()
{
    m_strContent.clear();
    if (m_list.m_hWnd)
        m_list.SetItemState(-1, 0, LVIS_SELECTED);
}

BOOL CFileAnoEditor::CanDoCommand(UINT nID)
{
    return nID == ID_ADDANOTATION && m_dwReadOnly == 0 && !GetContent().empty();
}

void CFileAnoEditor::SelectByName(const std::string& path)
{
    for (int i = 0; i < m_list.GetItemCount(); ++i) {
        // Names that differ only by case are different files here.
        if (m_list.PathOf(i) == path) {
            m_list.SetItemState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            m_list.EnsureVisible(i, FALSE);
        } else {
            m_list.SetItemState(i, 0, LVIS_SELECTED);
        }
    }
}

int CFileAnoEditor::LayoutButtonColumn(const CRect& client, int top)
{
    CRect b;
    m_btnUp.GetWindowRect(&b);
    const int w = b.Width(), h = b.Height();
    const int left = client.right - kMargin - w;
    int y = top;
    for (CButtonEx* btn : {&m_btnUp, &m_btnAdd, &m_btnClear}) {
        btn->MoveWindow(CRect(left, y, left + w, y + h));
        y += h + kMargin;
    }
    return left;
}

void CFileAnoEditor::PlaceList(const CRect& client, int right)
{
    m_list.MoveWindow(CRect(kMargin, kMargin, std::max(kMargin + 1, right - kMargin),
                            std::max<int>(kMargin + 1, client.bottom - kMargin)));
}
