#include "message/about_dlog.h"
#include "platform/framework/frame_wnd.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <memory>

using namespace uitest;

TEST(AboutBox, TimeLeftCountsFromShowingUnlessClicked)
{
    struct Row {
        int minimum;
        DWORD shown, now;
        BOOL clicked;
        int left;
    } rows[] = {
        {1000, 5000, 5200, FALSE, 800},  // closed after 200 ms: 800 to go
        {2500, 5000, 8000, FALSE, 0},    // already over
        {2500, 5000, 5100, TRUE, 0},     // clicked away
        {2500, 0, 100, FALSE, 0},        // never shown
        {0, 5000, 5000, FALSE, 0},       // no minimum
        {1000, 0xFFFFFF00u, 0x100, FALSE, 488}, // the tick count wrapped
    };
    for (const Row& r : rows)
        EXPECT_EQ(CAboutDlog::TimeLeft(r.minimum, r.shown, r.now, r.clicked), r.left);
}

TEST(AboutBox, SplashShowsThePictureAtItsSizeAndAClickEndsTheWait)
{
    auto splash = std::make_unique<CAboutDlog>(2500, std::string());
    ASSERT_TRUE(splash->Create(IDD_ABOUTBOX, nullptr));
    // A splash window: the window manager neither decorates it nor lists it.
    EXPECT_EQ(splash->m_hWnd->windowType(), Qt::SplashScreen);
    EXPECT_TRUE(splash->m_hWnd->windowFlags() & Qt::FramelessWindowHint);
    splash->ShowWindow(SW_SHOW);
    ASSERT_FALSE(splash->Picture().isNull());
    CRect client;
    splash->GetClientRect(&client);
    EXPECT_EQ(client.Width(), splash->Picture().width());
    EXPECT_EQ(client.Height(), splash->Picture().height());
    QImage shot = Grab(splash->m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/splash.png"));
    // The picture is painted, not the background fill.
    EXPECT_EQ(shot.pixel(shot.width() / 2, shot.height() - 5), splash->Picture().pixel(shot.width() / 2, shot.height() - 5));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), splash->m_hWnd->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(splash->m_hWnd, &press);
    EXPECT_TRUE(splash->WasClicked());
    EXPECT_EQ(CAboutDlog::TimeLeft(2500, 1, 2, splash->WasClicked()), 0);
    splash.reset();
}

TEST(AboutBox, AboutBoxIsAnUndecoratedWindowOverItsOwner)
{
    auto* owner = new CFrameWnd;
    ASSERT_TRUE(owner->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    owner->ShowWindow(SW_SHOW);
    Qt::WindowFlags flags;
    QWidget* parent = nullptr;
    CDialog::SetModalObserver([&](CDialog* dlg) {
        flags = dlg->m_hWnd->windowFlags();
        parent = dlg->m_hWnd->parentWidget();
        // A click ends it without the minimum wait.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), dlg->m_hWnd->mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(dlg->m_hWnd, &press);
    });
    {
        CAboutDlog about(owner, 1000, std::string());
        EXPECT_EQ(about.DoModal(), IDOK);
    }
    CDialog::SetModalObserver(nullptr);
    EXPECT_EQ(parent, owner->m_hWnd);
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_NE(flags & Qt::WindowType_Mask, Qt::SplashScreen);
    owner->DestroyWindow();
}
