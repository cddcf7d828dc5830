#pragma once

#include "message/aphoto_tree.h"
#include "message/wave.h"
#include "platform/framework/dialog.h"
#include "ui/accel_table.h"
#include "ui/button_ex.h"

#include <string>
#include <vector>

class CAPhotoContent;
class CDC;

// What printing a message's comments needs to know of the page (the print
// preview dialog fills it in).
struct CAnoPrintParams {
    int m_nResolution = 96;  // device pixels per inch
    int m_nHeaderHeight = 0; // height of the first card rectangle
    int m_nTitleHeight = 0;
    LOGFONT m_titleFont{};
    BOOL m_bShowDateTime = TRUE;
};

// The comment pane of the message editor: the message title, the comment
// tree, the Edit button and a column of command buttons. It turns clicks and
// tree notifications into the editor's commands, decides which editing
// commands may run, adds and deletes comments, keeps the area each thread
// marks and prints comment cards onto pages.
class APhotoCommentPane : public CDialog {
    DECLARE_DYNAMIC(APhotoCommentPane)
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT { IDD = 908 };
    enum : UINT {
        IDC_TITLE_EDIT = 1080,
        IDC_OPEN = 1008,
        IDC_SAVE = 2256,
        IDC_DELETE = 1055,
        IDC_EDIT = 1056,
        IDC_PRINT = 1011,
        IDC_MAIL = 1012,
        IDC_INFOLINK = 1013,
        IDC_QUIT = 1016,
        IDC_SAVEWEB = 2257,
        IDC_WRITEFILE = 2258,
        IDC_TITLE_MARK = 2735,
    };
    // Commands the pane sends or decides on.
    enum : UINT {
        ID_COMMENT_DELETE = 308,
        ID_COMMENT_DELETE_KEY = 32787,
        ID_FILE_OPENMESSAGE = 314,
        ID_FILE_PRINT_MESSAGE = 57609,
        ID_FILE_MAIL = 57612,
        ID_SAVE_WEBPAGE = 300,
        ID_WRITE_TO_FILE = 271,
        ID_PREFERENCES_KEY = 2215,
        ID_PREFERENCES = 32813,
        ID_TREE_CONTEXT = 245,
    };
    static constexpr int kMaxComments = 256;
    static constexpr int kMaxReplyDepth = 7;
    static constexpr size_t kMaxTitleChars = 64;

    APhotoCommentPane();
    ~APhotoCommentPane() override;

    BOOL Create(CWnd* pParent, UINT nID);
    using CDialog::Attach;
    void Attach(CWnd* pTarget);
    void SetOpen(BOOL bOpen);
    void SetReadOnly(BOOL bReadOnly);
    void SetLocked(BOOL bLocked);
    BOOL IsOpen() const { return m_bOpen; }
    BOOL IsReadOnly() const { return m_bReadOnly; }
    BOOL IsLocked() const { return m_bLocked; }
    void ApplyShowDateTime();
    void SetHoverTracking(BOOL bTrack);
    std::string GetTitle();
    void SetTitle(const std::string& title);
    void GetMinTrackSize(MINMAXINFO* pInfo) const;
    void CloseSound() { m_wave.Close(); }
    // Plays the current sound comment, or asks for the current image comment to be opened.
    void PlayCurrent();
    const CWave& GetSound() const { return m_wave; }

    CAPhotoTree& GetTree() { return m_tree; }
    CEdit& GetTitleEdit() { return m_wndTitle; }
    CButtonEx& GetButton(UINT nID);

    // Comments.
    int AddComment(const CAnoRecord& record);
    BOOL DeleteSelectedComments();
    const CAnoRecord& GetCurrentRecord() const;
    void SetCurrentRecord(const CAnoRecord& record);
    CAnoRecord GetRecordCopy(int item) const { return m_tree.GetRecord(item); }
    int GetTopLevelCount() const { return m_tree.GetTopLevelCount(); }
    int GetThreadSize(int k) const { return m_tree.GetThreadSize(k); }
    int GetCurrentIndex() const { return m_tree.GetCurrent() - 1; }
    int GetTopLevelItem(int k) const { return m_tree.Model().GetTopLevelItem(k); }
    BOOL IsEditing() const { return m_bEditing; }
    BOOL CollectRecords(CAPhotoContent& content) const { return m_tree.CollectRecords(content); }
    BOOL LoadRecords(const CAPhotoContent& content);
    void ClearSelection(BOOL bNotify);
    void SetBoxesHidden(const std::vector<int>& indices);
    int FindNext(const std::string& text, BOOL down, BOOL caseSensitive, BOOL wildcards);

    // The area each comment marks; a thread shares its root's.
    CAreaMarquee GetMarquee(int item) const { return m_tree.GetRecord(item).m_area; }
    CAreaMarquee GetMarqueeAt(int index) const { return m_tree.GetRecordAt(index).m_area; }
    CAreaMarquee GetCurrentMarquee() const;
    CAreaMarquee GetHotMarquee() const;
    CAreaMarquee GetTopLevelMarquee(int k) const;
    void CollectMarquees(std::vector<CAreaMarquee>& marquees) const;
    void SetAllMarquees(const std::vector<CAreaMarquee>& marquees);
    void OffsetAllMarquees(int dx, int dy);
    void ScaleAllMarquees(int from, int to);
    void RotateAllMarquees(int angle, int width, int height);
    void HitTestMarquees(int x, int y, std::vector<int>& indices) const;
    void SetCurrentMarquee(const CAreaMarquee& marquee);

    void SetCommentTime(int item, const SYSTEMTIME& time);
    void StampComment(int item);

    // Editing commands routed here by the view.
    BOOL OnEditCommand(UINT nID);
    BOOL CanDoCommand(UINT nID, UINT& messageId);
    BOOL EndEdit();

    // Print pages: a top-level thread's cards from firstCard on. CountPages
    // answers the first card of the next page (0: none) and gives this page's
    // last card; DrawPage draws the cards first to last.
    int CountPages(CDC& dc, const CRect& page, const CAnoPrintParams& params, int thread, int firstCard,
                   int& lastCard);
    void DrawPage(CDC& dc, const CRect& page, const CAnoPrintParams& params, int thread, int firstCard, int lastCard);
    void DrawTitle(CDC& dc, CRect rect, const CAnoPrintParams& params);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnSize(UINT nType, int cx, int cy) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;

    void OnOpen() { PostToTarget(ID_FILE_OPENMESSAGE); }
    void OnSave() { PostToTarget(ID_FILE_SAVE); }
    void OnDeleteButton() { PostToTarget(ID_COMMENT_DELETE); }
    void OnPrint() { PostToTarget(ID_FILE_PRINT_MESSAGE); }
    void OnMail() { PostToTarget(ID_FILE_MAIL); }
    void OnQuit() { PostToTarget(ID_APP_EXIT); }
    void OnSaveWeb() { PostToTarget(ID_SAVE_WEBPAGE); }
    void OnWriteFile() { PostToTarget(ID_WRITE_TO_FILE); }
    void OnPreferences() { PostToTarget(ID_PREFERENCES); }
    void OnInfoLink();
    void OnEditButton();
    void OnEditKillFocus();
    void OnTitleChange();
    void OnTreeStartEdit();
    void OnTreeEndEdit();
    void OnTreeCommentChanged();
    void OnTreeSelChanged(NMHDR* pHdr, LRESULT* pResult);
    void OnTreeClick(NMHDR* pHdr, LRESULT* pResult);
    void OnTreeDblClk(NMHDR* pHdr, LRESULT* pResult);
    void OnTreeRClick(NMHDR* pHdr, LRESULT* pResult);
    void OnTreeKillFocus(NMHDR* pHdr, LRESULT* pResult);

private:
    void UpdateButtons();
    void UpdateEditCaption();
    CEdit* EditTarget();
    BOOL IsFocusInPane();
    void PostToTarget(UINT nID);
    void SendToTarget(UINT nID);
    CWnd* Target() const;
    bool PlaceCard(CDC& dc, const CRect& page, const CAnoPrintParams& params, int item, int indent, CRect& cursor,
                   bool draw, bool force);

    CEdit m_wndTitle;
    std::string m_strTitle;
    CAPhotoTree m_tree;
    BOOL m_bOpen = FALSE;
    BOOL m_bReadOnly = FALSE;
    BOOL m_bLocked = FALSE;
    CAccelTable m_accel;
    CWnd* m_pTarget = nullptr;
    CWave m_wave;
    CAnoRecord m_default;
    BOOL m_bHoverTracking = TRUE;
    BOOL m_bEditing = FALSE;
    CButtonEx m_btnOpen, m_btnSave, m_btnDelete, m_btnEdit, m_btnPrint, m_btnMail, m_btnInfoLink, m_btnQuit,
        m_btnSaveWeb, m_btnWriteFile;
};
