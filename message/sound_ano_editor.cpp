#include "message/sound_ano_editor.h"

#include "message/rec_dlog.h"
#include "ui/ui_services.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "resources/string_table.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "resources/string_ids.h"

IMPLEMENT_DYNAMIC(CSoundAnoEditor, CFileAnoEditor)

BEGIN_MESSAGE_MAP(CSoundAnoEditor, CFileAnoEditor)
    ON_BN_CLICKED(IDC_ANO_RECORD, &CSoundAnoEditor::Record)
    ON_BN_CLICKED(IDC_ANO_PLAY, &CSoundAnoEditor::Play)
    ON_BN_CLICKED(IDC_ANO_STOP, &CSoundAnoEditor::Stop)
    ON_NOTIFY(CButtonEx::NM_BUTTON_KILLFOCUS, IDC_ANO_PLAY, &CSoundAnoEditor::OnPlayKillFocus)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_ANO_FILES, &CSoundAnoEditor::OnListChanged)
END_MESSAGE_MAP()

namespace {

constexpr int kMargin = 5;
constexpr DWORD kTakeRate = 11025;
constexpr WORD kTakeBits = 8;

} // namespace

CSoundAnoEditor::CSoundAnoEditor() : CFileAnoEditor(IDD_SOUND_ANO_EDITOR, "SoundAnoDefault")
{
    RegisterAnoEditorTemplate(IDD_SOUND_ANO_EDITOR, {{IDC_ANO_UP, "Up"},
                                                     {IDC_ANO_ADD, "Add"},
                                                     {IDC_ANO_CLEAR, "Clear"},
                                                     {IDC_ANO_RECORD, "Record"},
                                                     {IDC_ANO_PLAY, "Play"},
                                                     {IDC_ANO_STOP, "Stop"}});
}

// Whatever still plays of the page's sound ends before the page goes.
CSoundAnoEditor::~CSoundAnoEditor()
{
    m_wave.m_pListener = nullptr;
    m_wave.Stop();
}

void CSoundAnoEditor::DoDataExchange(CDataExchange* pDX)
{
    CFileAnoEditor::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ANO_RECORD, m_btnRecord);
    DDX_Control(pDX, IDC_ANO_PLAY, m_btnPlay);
    DDX_Control(pDX, IDC_ANO_STOP, m_btnStop);
}

BOOL CSoundAnoEditor::OnInitDialog()
{
    CFileAnoEditor::OnInitDialog();
    const COLORREF face = GetSchemeSysColor(COLOR_BTNFACE);
    m_btnRecord.SetBackColor(face);
    m_btnPlay.SetBackColor(face);
    m_btnStop.SetBackColor(face);
    m_btnRecord.SetIcon(4070);
    m_btnPlay.SetIcon(4067);
    m_btnStop.SetIcon(4069);
    UpdateButtons();
    return TRUE;
}

void CSoundAnoEditor::GetFilters(std::vector<std::string>& extensions) { extensions = {"wav"}; }

void CSoundAnoEditor::UpdateButtons()
{
    CFileAnoEditor::UpdateButtons();
    if (!m_btnRecord.m_hWnd)
        return;
    m_btnRecord.EnableWindow(TRUE);
    m_btnPlay.EnableWindow(CanDoCommand(ID_ADDANOTATION));
    m_btnStop.EnableWindow(m_wave.IsPlaying());
}

int CSoundAnoEditor::GetPreferredHeight()
{
    CRect play, up;
    m_btnPlay.GetWindowRect(&play);
    m_btnUp.GetWindowRect(&up);
    return 4 * play.Height() + up.Height() + 30;
}

void CSoundAnoEditor::RecalcLayout()
{
    if (!m_list.m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    const int column = LayoutButtonColumn(client, kMargin);
    CRect b;
    m_btnRecord.GetWindowRect(&b);
    const int left = column - kMargin - b.Width();
    int y = kMargin;
    for (CButtonEx* btn : {&m_btnRecord, &m_btnPlay, &m_btnStop}) {
        btn->MoveWindow(CRect(left, y, left + b.Width(), y + b.Height()));
        y += b.Height() + kMargin;
    }
    PlaceList(client, left);
}

std::string CSoundAnoEditor::NewTakePath() const
{
    if (m_strFolder.empty())
        return std::string();
    const std::string folder = m_strFolder == "/" ? m_strFolder : m_strFolder + "/";
    std::string name;
    if (!MakeUniqueFilePath(folder + "New.wav", name, true, '~') || name.empty())
        return std::string();
    return folder + name;
}

void CSoundAnoEditor::Record()
{
    m_wave.Stop();
    m_wave.FreeBlocks();
    m_wave.Create(kTakeRate, kTakeBits, 0);
    CRecDlog dlg(this, &m_wave);
    if (dlg.DoModal() != IDOK)
        return;
    // A take goes to a file of its own: an existing sound is never replaced.
    const std::string path = NewTakePath();
    if (path.empty())
        return;
    if (!m_wave.WriteWav(path)) {
        AfxMessageBox(FormatWithStrings(res::String(IDS_TAKE_NOT_SAVED), {path}), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ListFolderItems();
    SelectByName(path);
    m_list.SetFocus();
    UpdateButtons();
}

void CSoundAnoEditor::Play()
{
    const std::string path = GetContent();
    if (path.empty())
        return;
    CWaitCursor wait;
    m_wave.Stop();
    if (m_wave.LoadFile(path.c_str()))
        m_wave.Play(&CWave::SharedPlayer(), &m_listener);
    UpdateButtons();
}

void CSoundAnoEditor::Stop()
{
    m_wave.Stop();
    UpdateButtons();
}

void CSoundAnoEditor::OpenFile(const std::string&)
{
    m_btnPlay.SetFocus();
    Play();
}

void CSoundAnoEditor::OnPlayKillFocus(NMHDR*, LRESULT* pResult)
{
    m_wave.Stop();
    *pResult = 0;
}

void CSoundAnoEditor::OnListChanged(NMHDR*, LRESULT* pResult)
{
    UpdateButtons();
    *pResult = 0;
}

void CSoundAnoEditor::OnClear()
{
    m_list.SetItemState(-1, 0, LVIS_SELECTED);
    PostToFrame(ID_CLEARANOTATION);
}
