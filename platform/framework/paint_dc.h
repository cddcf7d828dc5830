#pragma once

#include "platform/framework/wnd.h"

class QPainter;

// The device context of a window's paint: it draws on the painting in
// progress, in client coordinates, and ends with the scope.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    QPainter* Painter() const { return m_painter; }
    CDC* GetDC() { return nullptr; }
    RECT m_rcPaint{};

private:
    CWnd* m_pWnd;
    QPainter* m_painter = nullptr;
};
