#pragma once

#include "message/ano_commands.h"
#include "platform/framework/controls.h"
#include "ui/button_ex.h"
#include "ui/dialog_ex.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Controls and templates of the comment editors.
enum : UINT {
    IDD_TEXT_ANO_EDITOR = 905,
    IDD_IMAGE_ANO_EDITOR = 906,
    IDD_SOUND_ANO_EDITOR = 907,
    IDC_ANO_ADD = 1073,
    IDC_ANO_PLAY = 1075,
    IDC_ANO_UP = 1076,
    IDC_ANO_FILES = 1077,
    IDC_ANO_STOP = 1078,
    IDC_ANO_RECORD = 1082,
    IDC_ANO_CLEAR = 1083,
    IDC_ANO_PREVIEW = 2218,
    IDC_ANO_TEXT = 2362,
};

// Registers a page's template once: the buttons (id, text) one under another
// in the button size the layouts keep, then the other items.
void RegisterAnoEditorTemplate(UINT nIDTemplate, const std::vector<std::pair<UINT, const char*>>& buttons,
                               std::vector<DlgItemTemplate> others = {});

// One page below the photograph on which a comment's content is made: a
// text, a sound file or a picture file. Add asks the frame to add the
// comment (307), Clear to clear the selection (198). The image pane talks to
// the current page only through the virtual operations below.
class CAnoEditor : public CDialogEx {
    DECLARE_DYNAMIC(CAnoEditor)
    DECLARE_MESSAGE_MAP()
public:
    explicit CAnoEditor(UINT nIDTemplate);

    // A child of the parent (the pane's tab control), made from its template.
    BOOL Create(UINT nIDTemplate, CWnd* pParent);

    // 1 text, 2 sound, 3 image (CAnoRecord's kinds).
    virtual int GetContentKind() const = 0;
    virtual BOOL CanDoCommand(UINT nID);
    // Nonzero when the command was carried out.
    virtual BOOL DoCommand(UINT nID);
    virtual void RecalcLayout() {}
    // Add and Clear follow the frame's command routing.
    virtual void UpdateButtons();
    virtual int GetPreferredHeight() = 0;
    virtual void SetReadOnly(DWORD dwReadOnly);
    virtual void SetContent(const std::string& text);
    // The controls' data pulled first: the text, or the chosen file's path.
    virtual std::string GetContent();
    virtual void Reset();
    virtual void DeleteSelection() {}

    // The window that gets the commands; null: the application's main window.
    void SetFrame(CWnd* pFrame) { m_pFrame = pFrame; }
    CWnd* GetFrame() const;
    DWORD GetReadOnly() const { return m_dwReadOnly; }
    // Esc is swallowed, Delete deletes the selection, Enter goes to the page.
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // A page has nothing to end: Enter and Esc leave it up.
    void OnOK() override {}
    void OnCancel() override {}
    void OnSize(UINT nType, int cx, int cy) override;
    virtual void OnAdd();
    virtual void OnClear();
    void PostToFrame(UINT nID);
    // The command's enable state as the frame's routing decides it.
    BOOL AskFrame(UINT nID) const;

    CButtonEx m_btnAdd;
    CButtonEx m_btnClear;
    std::string m_strContent;
    DWORD m_dwReadOnly = 0;
    CWnd* m_pFrame = nullptr;
};

// The text page: a multi-line edit of at most 512 characters.
class CTextAnoEditor : public CAnoEditor {
    DECLARE_DYNAMIC(CTextAnoEditor)
    DECLARE_MESSAGE_MAP()
public:
    static constexpr size_t kMaxChars = 512;

    CTextAnoEditor();

    int GetContentKind() const override { return 1; }
    BOOL CanDoCommand(UINT nID) override;
    BOOL DoCommand(UINT nID) override;
    void RecalcLayout() override;
    int GetPreferredHeight() override;
    CEdit& Edit() { return m_edit; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnClear() override;
    void OnEditChange();

    CEdit m_edit;
};
