#pragma once

#include "platform/framework/wnd.h"
#include "platform/gdi/dc.h"

#include <QImage>

class QPainter;

// The device context of a window's paint: it draws on the painting in
// progress, in client coordinates, and ends with the scope. Made outside a
// paint, it draws nowhere and asks for the window to be painted again.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    QPainter* Painter() const { return GetPainter(); }
    CDC* GetDC() { return this; }
    RECT m_rcPaint{};

protected:
    enum class Origin { Client, Window };
    CPaintDC(CWnd* pWnd, Origin origin);

private:
    void Begin(Origin origin);
    CWnd* m_pWnd;
    QPainter* m_saved = nullptr;
    QImage m_scratch;
};

// The whole window, non-client area included, in window coordinates.
class CWindowDC : public CPaintDC {
public:
    explicit CWindowDC(CWnd* pWnd) : CPaintDC(pWnd, Origin::Window) {}
};
