#pragma once

#include "platform/types.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

namespace uitest {

inline void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QPointF global = w->mapToGlobal(QPointF(at));
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    if (type == QEvent::MouseMove)
        button = Qt::NoButton;
    QMouseEvent e(type, QPointF(at), global, button, held, {});
    QApplication::sendEvent(w, &e);
}

inline void Click(QWidget* w, QPoint at)
{
    Mouse(w, QEvent::MouseButtonPress, at);
    Mouse(w, QEvent::MouseButtonRelease, at);
}

// Pumps events until the condition holds, for at most two seconds.
template <class F> bool WaitFor(F cond)
{
    QDeadlineTimer deadline(2000);
    while (!cond() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return cond();
}

// The widget as it paints now.
inline QImage Grab(QWidget* w)
{
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    w->render(&img);
    return img;
}

inline COLORREF Pixel(const QImage& img, int x, int y)
{
    QRgb p = img.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

} // namespace uitest
