#pragma once

#include "platform/framework/controls.h"
#include "platform/framework/dialog.h"
#include "platform/framework/message_box.h"

#include <QImage>

#include <memory>
#include <string>

enum : UINT {
    IDD_ABOUTBOX = 904,
    IDC_ABOUT_PICTURE = 2003,
    IDC_ABOUT_TEXT = 2152,
    IDR_ABOUT_JPEG = 2003,
};

// The program's picture: modal as the About box, modeless as the splash
// while the program starts. It stays on screen for a minimum time unless the
// user clicks it away.
class CAboutDlog : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    // Modal, on the parent.
    CAboutDlog(CWnd* pParent, int nMinimumMs, const std::string& text);
    // Modeless; made later with Create(IDD_ABOUTBOX).
    CAboutDlog(int nMinimumMs, const std::string& text);
    // Holds the caller until the minimum time has passed since the dialog was
    // shown, unless it was clicked away or never shown. The time is spent
    // serving paint and timer events, not asleep.
    ~CAboutDlog() override;

    // The splash while a program starts: shown at once when bShow; it goes
    // when the object does, not before the minimum time.
    static std::unique_ptr<CAboutDlog> ShowSplash(BOOL bShow, int nMinimumMs);

    BOOL OnInitDialog() override;
    BOOL DestroyWindow() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // How long the destructor still waits: minimum - (now - shown), never below 0;
    // 0 when clicked, never shown or without a minimum.
    static int TimeLeft(int nMinimumMs, DWORD dwShownAt, DWORD dwNow, BOOL bClicked);
    BOOL WasClicked() const { return m_bClicked; }
    const QImage& Picture() const { return m_picture; }

protected:
    // The splash (no owner) is a splash window: no decoration, not in the task bar.
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnPaint() override;

    CStatic m_wndPicture;
    QImage m_picture;
    std::string m_strText;
    BOOL m_bClicked = FALSE;
    int m_nMinimumMs;
    DWORD m_dwShownAt = 0;
    class QEventLoop* m_pWaitLoop = nullptr;
};

// The picture resource decoded by the program's JPEG layer; null when it is
// missing or does not decode.
QImage LoadJpegResource(UINT nId);
