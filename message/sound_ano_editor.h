#pragma once

#include "message/file_ano_editor.h"
#include "message/wave.h"

// The sound page: ".wav" files of a folder, recorded through the recording
// dialog (each take saved as a new file of the folder) and played.
class CSoundAnoEditor : public CFileAnoEditor {
    DECLARE_DYNAMIC(CSoundAnoEditor)
    DECLARE_MESSAGE_MAP()
public:
    CSoundAnoEditor();
    ~CSoundAnoEditor() override;

    int GetContentKind() const override { return 2; }
    void RecalcLayout() override;
    void UpdateButtons() override;
    int GetPreferredHeight() override;
    void GetFilters(std::vector<std::string>& extensions) override;
    void OpenFile(const std::string& path) override;
    void FolderChanged() override { UpdateButtons(); }

    // Records a take through the recording dialog and keeps it as a new file.
    void Record();
    // Plays the chosen file.
    void Play();
    void Stop();
    const CWave& GetWave() const { return m_wave; }
    // Where a take would be saved now ("New.wav" made unique); empty when none can be named.
    std::string NewTakePath() const;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnClear() override;
    void OnPlayKillFocus(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListChanged(NMHDR* pNMHDR, LRESULT* pResult);

private:
    class CListener : public CWaveNotify {
    public:
        explicit CListener(CSoundAnoEditor* pEditor) : m_pEditor(pEditor) {}
        void PlayEnded(CWave*) override { m_pEditor->UpdateButtons(); }

    private:
        CSoundAnoEditor* m_pEditor;
    };

    CButtonEx m_btnRecord, m_btnPlay, m_btnStop;
    CWave m_wave;
    CListener m_listener{this};
};
