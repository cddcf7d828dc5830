#pragma once

#include "imaging/image_ctrl.h"
#include "message/ano_commands.h"
#include "message/area_marquee.h"
#include "message/image_ano_editor.h"
#include "message/sound_ano_editor.h"
#include "ui/accel_table.h"
#include "ui/tab_ctrl_ex.h"

#include <memory>
#include <string>
#include <vector>

class CAnoRecord;
class CDibBitmap;

// The left part of the message editor's view: the photograph in the image
// control, on which the marquee tools mark a comment's area, zoomed and
// turned here; below it the comment editors on three tabs. The view hands
// it the picture and the marquees to show, and asks it for a new comment.
class APhotoImgPane : public CDialog {
    DECLARE_DYNCREATE(APhotoImgPane)
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT { IDD = 911, IDC_IMAGE = 2130, IDC_TABS = 1074, IDR_COMMENT_IMAGE = 161, IDR_ACCEL = 129 };
    // The tabs' indexes.
    enum : int { kTabText = 0, kTabAudio = 1, kTabImage = 2 };
    static constexpr COLORREF kBackColor = RGB(85, 127, 170);
    static constexpr COLORREF kAreaColor = RGB(255, 0, 0);

    // The reader's pane has no tabs and no editors.
    explicit APhotoImgPane(BOOL bWithEditors = TRUE);
    ~APhotoImgPane() override;

    BOOL Create(CWnd* pParent, UINT nID);
    // The picture goes, the zoom state is reset, and the frame (null: the
    // application's main window) gets the pane's and the editors' commands.
    void Attach(CWnd* pFrame);
    CWnd* GetFrame() const;
    // The picture stays the caller's.
    void SetImage(CDibBitmap* pPicture, BOOL bRedraw);

    // The current marquee; an empty one when there is none.
    CAreaMarquee GetMarquee() const;
    // The marquee becomes the only one and the control's selection.
    void SetMarquee(const CAreaMarquee& marquee);
    // Several marquees shown at once (the first is the current one); none clears them.
    void SetMarquees(const std::vector<CAreaMarquee>& marquees);
    const std::vector<CAreaMarquee>& GetMarquees() const { return m_marquees; }
    int GetMarqueeKind() const;
    static int MarqueeKindOfTool(UINT nTool);
    UINT GetTool() const { return m_nTool; }
    void SetTool(UINT nTool);

    // A new comment of the current editor's kind on the current marquee (the
    // whole picture without one). FALSE, with the user told why, for a sound
    // that cannot be attached whole.
    BOOL BuildNewComment(CAnoRecord& out);
    BOOL CanDoCommand(UINT nID);
    BOOL DoCommand(UINT nID);

    void ZoomToRect(const CRect& imageRect);
    void SetZoomRect(const CRect& imageRect);
    BOOL IsZoomed() const { return m_bZoomed; }
    int GetMinZoom();
    int GetMaxZoom();
    CSize GetMinTrackSize();
    void RefreshDateFlag();
    BOOL GetShowDate() const { return m_bShowDate; }
    void SetAreaMode(BOOL bOn) { m_bAreaMode = bOn; }

    // The three editors at once.
    void SetReadOnly(DWORD dwReadOnly);
    DWORD GetReadOnly() const { return m_dwReadOnly; }
    void UpdateEditorButtons();
    void ResetEditors();

    // The editor of the selected tab (the text editor for any tab but 1 and 2); null in the reader.
    CAnoEditor* GetCurrentEditor();
    CAnoEditor* EditorOfTab(int nTab);
    void SelectTab(int nTab);
    CTextAnoEditor& TextEditor() { return m_textEditor; }
    CSoundAnoEditor& SoundEditor() { return m_soundEditor; }
    CImageAnoEditor& ImageEditor() { return m_imageEditor; }
    CTabCtrlEx& Tabs() { return m_tabs; }
    CImageCtrl& ImageCtrl() { return m_image; }

    // Whether a drag of these paths may be dropped: one message file alone, or
    // one or two pictures while the message may be changed.
    static BOOL AcceptsDrop(const std::vector<std::string>& paths, DWORD dwReadOnly);
    // A marquee turned with a picture of that size, clockwise by a multiple of 90 degrees.
    static CAreaMarquee RotateMarquee(const CAreaMarquee& marquee, CSize picture, int degrees);

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // A pane has nothing to end: Enter and Esc leave it up.
    void OnOK() override {}
    void OnCancel() override {}
    void OnSize(UINT nType, int cx, int cy) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnTabChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void ShowCurrentEditor();

private:
    class CDropListener : public CImageDropListener {
    public:
        explicit CDropListener(APhotoImgPane* pPane) : m_pPane(pPane) {}
        DROPEFFECT DragEnter(COleDataObject* data, DWORD, CPoint) override { return m_pPane->DropEffect(data); }
        DROPEFFECT DragOver(COleDataObject* data, DWORD, CPoint) override { return m_pPane->DropEffect(data); }
        DROPEFFECT DragScroll(CWnd*, DWORD, CPoint) override { return DROPEFFECT_NONE; }
        BOOL Drop(COleDataObject* data, DROPEFFECT, CPoint) override { return m_pPane->DropEffect(data) != 0; }

    private:
        APhotoImgPane* m_pPane;
    };

    static BOOL DrawArea(CDC* pDC, int index, const CImageQuad& area, int phase, LPARAM user1, LPARAM user2);
    DROPEFFECT DropEffect(COleDataObject* data) const;
    void OnImageNotify(NMHDR* pHdr, LRESULT* pResult);
    void ForwardToParent(NMHDR* pHdr);
    CAreaMarquee MarqueeFromArea(bool close) const;
    void ShowContextMenu();
    void RecalcLayout();
    void RecalcZoomLimits();
    BOOL HasPicture() const;
    CSize PictureSize() const;
    CPoint MarqueeCentre() const;
    void ZoomToMarquee();
    void ResetView();
    void Enlarge();
    void Reduce();
    void Rotate(int degrees);
    void PostToFrame(UINT nID);
    void ApplyToolToControl();

    BOOL m_bWithEditors;
    CAccelTable m_accel;
    CRect m_zoomRect;
    BOOL m_bZoomed = FALSE;
    std::vector<CAreaMarquee> m_marquees;
    UINT m_nTool = ID_TOOL_SQUARE;
    CWnd* m_pFrame = nullptr;
    BOOL m_bAreaMode = FALSE;
    CImageCtrl m_image;
    BOOL m_bShowDate = TRUE;
    int m_nMinZoom = 1;
    int m_nMaxZoom = 1;
    DWORD m_dwReadOnly = 0;
    CDropListener m_dropListener{this};
    CTabCtrlEx m_tabs;
    CTextAnoEditor m_textEditor;
    CImageAnoEditor m_imageEditor;
    CSoundAnoEditor m_soundEditor;
};
