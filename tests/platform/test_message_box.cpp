#include "platform/framework/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// A box with a short text is still as wide as its title in a bold face,
// with room for the title bar's buttons: the window manager would cut it.
TEST(MessageBox, AShortTextLeavesTheTitleWhole)
{
    const QString before = QApplication::applicationName();
    QApplication::setApplicationName("Quiram Relayo of a long title");
    int width = 0, title = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        QFont bold = box->font();
        bold.setBold(true);
        title = QFontMetrics(bold).horizontalAdvance(box->windowTitle());
        width = box->width();
        box->accept();
    });
    timer.start(10);
    EXPECT_EQ(ShowQtMessageBox("Done.", MB_OK), IDOK);
    QApplication::setApplicationName(before);
    ASSERT_GT(title, 0);
    EXPECT_GE(width, title + 48);
}

} // namespace
