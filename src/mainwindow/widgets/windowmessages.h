#pragma once
// Deferred work the main window posts to itself: the three window messages of the program,
// delivered as posted Qt events and handled after the current event. Only the window (and
// the program's start-up) posts them; the core tells the window through typed callbacks.
#include "session/assignstep.h"

#include <QEvent>
#include <QObject>
#include <QtGlobal>

constexpr int WM_USER = 0x0400;
constexpr int WM_SELECT_PARTNER = WM_USER + 1;  // select the counterpart of an entry
constexpr int WM_ASSIGN_STEP = WM_USER + 2;     // continue an automatic assignment
constexpr int WM_ENTRIES_CHANGED = WM_USER + 3; // refresh all rows at the next idle time

// First parameter of WM_ASSIGN_STEP: TAssignStep (session/assignstep.h); the second is the
// OrderingMode of the assignment pass (pairing/ordering.h).

class WindowMessageEvent : public QEvent
{
public:
    WindowMessageEvent(int message, qintptr wParam, qintptr lParam);

    static QEvent::Type eventType();

    int message() const { return m_message; }
    qintptr wParam() const { return m_wParam; }
    qintptr lParam() const { return m_lParam; }

private:
    int m_message;
    qintptr m_wParam;
    qintptr m_lParam;
};

// The object that receives posted window messages (the main window). Null until one is
// installed; messages posted without a receiver are dropped.
void setMessageReceiver(QObject *receiver);
QObject *messageReceiver();

// Posts a message to the receiver; it is delivered after the current event. Returns false
// when there is no receiver or the application is shutting down.
bool postWindowMessage(int message, qintptr wParam = 0, qintptr lParam = 0);
