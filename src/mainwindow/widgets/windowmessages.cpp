#include "mainwindow/widgets/windowmessages.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
QPointer<QObject> g_receiver;
}

WindowMessageEvent::WindowMessageEvent(int message, qintptr wParam, qintptr lParam)
    : QEvent(eventType()), m_message(message), m_wParam(wParam), m_lParam(lParam)
{
}

QEvent::Type WindowMessageEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void setMessageReceiver(QObject *receiver)
{
    g_receiver = receiver;
}

QObject *messageReceiver()
{
    return g_receiver.data();
}

bool postWindowMessage(int message, qintptr wParam, qintptr lParam)
{
    QObject *receiver = g_receiver.data();
    if (!receiver || QCoreApplication::closingDown())
        return false;
    QCoreApplication::postEvent(receiver, new WindowMessageEvent(message, wParam, lParam));
    return true;
}
