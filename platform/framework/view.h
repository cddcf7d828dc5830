#pragma once

#include "platform/framework/wnd.h"

class CDocument;

// A view: a child window of a frame that shows its document. Commands it does
// not handle go on to its document.
class CView : public CWnd {
    DECLARE_DYNAMIC(CView)
    DECLARE_MESSAGE_MAP()
public:
    CView();
    ~CView() override;
    CDocument* GetDocument() const { return m_pDocument; }
    CDocument* m_pDocument = nullptr;

    virtual void OnInitialUpdate();
    virtual void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint);
    virtual void OnDraw(CDC* pDC) {}
    virtual void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView) {}
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnPaint() override;
    void OnDestroy() override;
    void PostNcDestroy() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
};

// What a frame is made with: the classes of its view and its document.
struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
    class CDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pLastView = nullptr;
    class CFrameWnd* m_pCurrentFrame = nullptr;
};
