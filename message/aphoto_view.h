#pragma once

#include "imaging/icc_profile_data.h"
#include "imaging/image_buffer.h"
#include "message/aphoto_print_options.h"
#include "message/area_marquee.h"
#include "message/aphoto_view_base.h"
#include "ui/splitter.h"

#include <memory>
#include <string>
#include <vector>

class APhotoCommentPane;
class APhotoImgPane;
class CAPhotoContent;
class CAPhotoDoc;
class CAnoRecord;
class CAnoSearchDlog;
class CCmdUI;
class CDibBitmap;
class CFrameWnd;
class CHoverHelp;

// The message editor's view: the image pane on the left and the comment pane
// on the right of a splitter. It is the command target of the editor's menu:
// a command goes to the comment pane first, then to the image pane, and only
// then to the view, which keeps the pictures the message shows (the
// photograph, the one kept for undoing an inserted picture), inserts,
// rotates, pastes and takes dropped files.
class CAPhotoView : public CAPhotoViewBase {
    DECLARE_DYNCREATE(CAPhotoView)
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT { IDC_SPLITTER = 1079, IDC_AREA_HINT = 1051, ID_DATE_USERNAME = 241, ID_FONT = 202,
                  ID_PLAYBACK = 32811, ID_COLOR_PREFS = 170, ID_COMMENT_SEARCH = 166, ID_STATUS_SIZE = 32790 };
    static constexpr int kDefaultImageWidth = 300;
    static constexpr int kMinImageWidth = 160;
    static constexpr const char* kImageWidthValue = "CorrectImagePaneWidth";

    CAPhotoView();
    ~CAPhotoView() override;

    // The editor frame and its hover help (either may be null).
    void SetFrameAndHoverHelp(CFrameWnd* pFrame, CHoverHelp* pHoverHelp);
    CWnd* GetFrame() const;

    BOOL CanClose() override;
    BOOL InsertPicture(const std::string& path) override;
    // The screen picture and the comments after a message was read.
    void RefreshAfterLoad();
    // The title and the comments go into content before it is written.
    void FillContent(CAPhotoContent& content);
    std::string GetMessageTitle();
    // The picture that counts: the displayed one when there is one, else the message's.
    const CImageBuffer& GetPicture() const;
    BOOL HasPicture() const;
    // The colour-matched photograph (invalid without input matching) and the bitmap on the screen.
    const CImageBuffer& GetDisplayedPicture() const { return m_displayPicture; }
    // The picture the printed pages show, matched to the printer (empty
    // while print matching is off: the pages show the stored photograph).
    const CImageBuffer& GetPrintPicture() const { return m_printPicture; }
    // Matches the picture on screen to the printer into the print picture;
    // FALSE when the match failed or was cancelled.
    BOOL PrintMatch();
    const CDibBitmap* GetScreenBitmap() const { return m_pScreenBitmap.get(); }
    // The selected image comment's picture for the image viewer, matched into
    // the working space, with its screen and printer matches when those are
    // on (else empty), its text and its date (seconds; 0 before 1900). FALSE
    // without an image comment.
    BOOL PrepareCommentPicture(CImageBuffer& picture, CImageBuffer& display, CImageBuffer& print, std::string& text,
                               int64_t& date);

    APhotoImgPane* GetImagePane() const { return m_pImagePane; }
    APhotoCommentPane* GetCommentPane() const { return m_pCommentPane; }
    CSplitter& GetSplitter() { return m_wndSplitter; }
    int GetRotation() const { return m_nRotation; }
    CAnoSearchDlog* GetSearchDialog() const { return m_pSearch.get(); }
    BOOL HasUndoPicture() const { return m_undoPicture.IsValid(); }
    // The frame may not be made smaller than both panes need.
    void GetMinTrackSize(MINMAXINFO* pInfo);

    // How a picture is placed beside the photograph: the composite's size
    // and the two pictures' rectangles in it.
    struct InsertLayout {
        CSize composite;
        CRect oldRect;
        CRect newRect;
    };
    static InsertLayout LayOutInsert(CSize oldSize, CSize newSize);
    // What a drop of these paths does: nothing, open the one message, open or
    // add the one picture, or open the first picture and add the second.
    enum DropAction { dropNone, dropMessage, dropPicture, dropTwoPictures };
    static DropAction ClassifyDrop(const std::vector<std::string>& paths);

    void OnInitialUpdate() override;
    void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

protected:
    void OnSize(UINT nType, int cx, int cy) override;
    void OnDestroy() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

    void OnEditCopy();
    void OnEditPaste();
    void OnEditUndo();
    void OnUpdateEditCopy(CCmdUI* pCmdUI);
    void OnUpdateEditPaste(CCmdUI* pCmdUI);
    void OnUpdateEditUndo(CCmdUI* pCmdUI);
    void OnUpdateEditCut(CCmdUI* pCmdUI);
    void OnRotate(UINT nID);
    void OnImagePaneCommand(UINT nID);
    void OnUpdateImagePaneCommand(CCmdUI* pCmdUI);
    void OnUpdateTool(CCmdUI* pCmdUI);
    void OnUpdateAlways(CCmdUI* pCmdUI);
    void OnUpdateNeedsPicture(CCmdUI* pCmdUI);
    void OnUpdateSave(CCmdUI* pCmdUI);
    void OnDateUserName();
    void OnUpdateDateUserName(CCmdUI* pCmdUI);
    void OnAddComment();
    void OnUpdateAddComment(CCmdUI* pCmdUI);
    void OnDeleteComment();
    void OnUpdateDeleteComment(CCmdUI* pCmdUI);
    void OnClear();
    void OnUpdateClear(CCmdUI* pCmdUI);
    void OnPlayback();
    void OnUpdatePlayback(CCmdUI* pCmdUI);
    void OnFont();
    void OnUpdateFont(CCmdUI* pCmdUI);
    void OnPrint();
    void OnWriteToFile();
    void OnSaveWebPage();
    void OnColorPreferences();
    void OnCommentSearch();
    void OnFindNext();
    void OnSelectionChanged();
    void OnAreaChanged();
    void OnPrefChanged();
    void OnDeselect();
    void OnAreaModeOff();
    void OnAreaModeOn();
    void OnCommentEdited();
    void OnModified();
    void OnFilesDropped();
    void OnColourChanged();
    void OnUpdateStatusSize(CCmdUI* pCmdUI);

private:
    class CColumnGuard : public ISplitterLayoutGuard {
    public:
        explicit CColumnGuard(CAPhotoView* pView) : m_pView(pView) {}
        BOOL CanRecalcLayout() override;

    private:
        CAPhotoView* m_pView;
    };

    CAPhotoDoc* GetPhotoDoc() const;
    CAPhotoContent* Content() const;
    BOOL CreatePanes(BOOL bRebind);
    void ClearPanes();
    void ResetPicture();
    void ShowPicture();
    // Colour matching: the photograph into the working space (the displayed
    // picture), then the screen bitmap to the monitor; FALSE when a match
    // failed or was cancelled.
    BOOL MatchContentPicture();
    void RefreshScreen(BOOL bRedraw);
    BOOL RunColourJobs(void* input, void* display, void* print = nullptr);
    void SetModified();
    void SetReadOnlyDisplay(BOOL bReadOnly);
    BOOL CommentPaneCan(UINT nID);
    BOOL ImagePaneCan(UINT nID);
    void DropPaths(const std::vector<std::string>& paths);

    CColumnGuard m_columnGuard{this};
    CSplitter m_wndSplitter;
    APhotoImgPane* m_pImagePane = nullptr;
    APhotoCommentPane* m_pCommentPane = nullptr;
    std::unique_ptr<APhotoImgPane> m_imagePane;
    std::unique_ptr<APhotoCommentPane> m_commentPane;
    CFrameWnd* m_pFrame = nullptr;
    CHoverHelp* m_pHoverHelp = nullptr;
    CImageBuffer m_displayPicture;
    CImageBuffer m_printPicture;
    std::unique_ptr<CDibBitmap> m_pScreenBitmap;
    int m_nRotation = 0;
    CAPhotoPrintOptions m_printOptions;
    CImageBuffer m_undoPicture;
    CIccProfileData m_undoProfile;
    std::vector<CAreaMarquee> m_beforeAreas;
    std::vector<CAreaMarquee> m_afterAreas;
    std::unique_ptr<CAnoSearchDlog> m_pSearch;
};
