#pragma once

#include "imaging/image_ctrl.h"
#include "viewer/view_print.h"
#include "platform/framework/view.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

class CDibBitmap;
class CImageBuffer;
class CViewerDoc;
class CPrinterDC;

// Answers Save As in place of the file-save dialog (tests): TRUE with the
// path and the quality, FALSE for cancel. An empty one restores the dialog.
using ViewerSaveAsAnswer = std::function<BOOL(std::string& path, int& quality)>;
ViewerSaveAsAnswer SetViewerSaveAsAnswer(ViewerSaveAsAnswer answer);

// The viewer's only view: the picture in an image control that fills it,
// with the tools, the zoom table, quarter turns, copying the selection,
// saving through the exporters, drops and the right-button menu.
class CViewerView : public CView {
    DECLARE_DYNCREATE(CViewerView)
    DECLARE_MESSAGE_MAP()
public:
    // The zoom table, in hundredths of a percent.
    static constexpr int64_t kZoomSteps[] = {2500, 5000, 7500, 10000, 20000, 40000};
    static constexpr int64_t kMinZoom = 2500;
    static constexpr int64_t kMaxZoom = 40000;
    // The next step of the table up or down from a zoom; the zoom itself
    // when there is none.
    static int64_t NextZoomStep(int64_t zoom, bool larger);
    // The time the picture was taken: the Exif date of a JPEG or TIFF, a
    // fixed date for an Exif date that is all zeros or out of range, else the
    // file's modification time; -1 when the file cannot be read.
    static int64_t PictureTimeFromFile(const std::string& path);

    CViewerView();
    ~CViewerView() override;

    CViewerDoc* GetDocument() const;
    void OnInitialUpdate() override;
    void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint) override;

    // The picture turned by the rotation, at its own depth; FALSE without one.
    BOOL GetSaveImage(CImageBuffer& out) const;
    // The print picture when valid, else the picture, as a turned bitmap.
    BOOL GetPrintBitmap(CDibBitmap& out) const;
    CSize GetRotatedSize() const;
    void Rotate(int degrees);
    // The current area's bounding box, white outside the area; the whole
    // picture without an area.
    BOOL GetSelectionBitmap(CDibBitmap& out);
    void SetImages(CImageBuffer* picture, CImageBuffer* display, CImageBuffer* print, int64_t pictureTime);
    void ShowPicture(BOOL redraw);
    void LayoutControl();
    void CreateImageCtrl();

    // An exporter writes the document's file type at the picture's pixel type.
    BOOL CanSaveFileType();
    // Writes the turned picture with the source file's metadata; 6131 on failure.
    BOOL SaveImage(const std::string& path, int quality);
    std::string GetInfoText() const;
    // Opens the dropped file when exactly one of the paths is a picture.
    BOOL OpenDroppedFiles(const std::vector<std::string>& paths);

    // ---- printing (one page)
    // The default printer's context (a PDF file when there is no printer);
    // null when none can be had. The browser's and the editor's print dialogs use it too.
    static std::unique_ptr<CPrinterDC> CallDoPreparePrinting();
    // Sends every job to this PDF file instead (tests); empty: the printer.
    static void SetPrintFile(const std::string& pdfPath);
    // The printable size and the offsets (the printing offset plus a margin
    // of 10/96 inch); the printer's resolution goes to the settings.
    void OnBeginPrinting(CDC* pDC);
    // The caption at the bottom of the area inside the margins (drawn unless
    // only measured); answers the area above it.
    CRect LayoutPage(CDC* pDC, const CRect& page, int mx, int my, BOOL measureOnly);
    // Where the picture goes: the layout's picture area inside the margins once more.
    CRect PictureArea(CDC* pDC, const CRect& page, int mx, int my);
    void DrawPage(CDC* pDC, const CRect& page, int mx, int my);
    // The page on the printer; FALSE when nothing was printed.
    BOOL PrintPicture();
    CViewPrintSettings& GetPrintSettings() { return m_printSettings; }
    CSize GetPrintableSize() const { return m_printableSize; }
    CPoint GetPrintOffset() const { return m_printOffset; }

    CImageCtrl& GetImageCtrl() { return m_wndImage; }
    int GetRotation() const { return m_nRotation; }
    int64_t GetPictureTime() const { return m_pictureTime; }
    BOOL HasPicture() const;

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnDestroy() override;

    void OnSaveAs();
    void OnUpdateSaveAs(CCmdUI* pCmdUI);
    void OnQuit();
    void OnSaveAll();
    void OnCopy();
    void OnUpdateCopy(CCmdUI* pCmdUI);
    void OnSelectAll();
    void OnUpdateNeedsPicture(CCmdUI* pCmdUI);
    void OnUpdateNever(CCmdUI* pCmdUI);
    void OnNothing();
    void OnAreaTool();
    void OnMagnifier();
    void OnGrabTool();
    void OnUpdateAreaTool(CCmdUI* pCmdUI);
    void OnUpdateMagnifier(CCmdUI* pCmdUI);
    void OnUpdateGrabTool(CCmdUI* pCmdUI);
    void OnEnlarge();
    void OnReduce();
    void OnUpdateEnlarge(CCmdUI* pCmdUI);
    void OnUpdateReduce(CCmdUI* pCmdUI);
    void OnFit();
    void OnActualSize();
    void OnFixedZoom(UINT nID);
    void OnUpdateFixedZoom(CCmdUI* pCmdUI);
    void OnRotateCW();
    void OnRotateCCW();
    void OnRotate180();
    void OnUpdateRotate(CCmdUI* pCmdUI);
    void OnUpdateInfo(CCmdUI* pCmdUI);
    void OnFilePrint();
    void OnUpdateFilePrint(CCmdUI* pCmdUI);
    void OnPrintDirect();
    void OnZoomForward(NMHDR* pNMHDR, LRESULT* pResult);
    void OnZoomBackward(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDropNotify(NMHDR* pNMHDR, LRESULT* pResult);
    void OnRightButton(NMHDR* pNMHDR, LRESULT* pResult);

private:
    BOOL HasValidBitmap() const;
    void ZoomTo(int64_t zoom);
    CDibBitmap* ShownBitmap() const;

    CViewPrintSettings m_printSettings;
    CSize m_printableSize{0, 0};
    CPoint m_printOffset{0, 0};
    CImageCtrl m_wndImage;
    CImageBuffer* m_pPicture = nullptr;
    CImageBuffer* m_pDisplay = nullptr;
    CImageBuffer* m_pPrint = nullptr;
    int64_t m_pictureTime = 0;
    int m_nRotation = 0;
    // Whether an exporter writes (extension, pixel type): asked once each.
    std::map<std::pair<std::string, int>, bool> m_saveableTypes;
};
