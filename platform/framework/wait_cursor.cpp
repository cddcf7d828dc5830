#include "platform/framework/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QThread>

CWaitCursor::CWaitCursor()
{
    m_on = qGuiApp && QThread::currentThread() == qGuiApp->thread();
    if (m_on)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

CWaitCursor::~CWaitCursor()
{
    if (m_on)
        QGuiApplication::restoreOverrideCursor();
}
