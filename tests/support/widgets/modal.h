#pragma once
// Acting on a modal window from inside its own event loop, for the widget tests. If no
// window opens within the time limit, the test fails and every modal window is closed, so
// that the test does not hang.
#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Once a modal widget of type T other than `except` is open, action is called with it.
template <class T>
void whenModalOpens(std::function<void(T *)> action, QWidget *except = nullptr, int limitMs = 5000)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (modal && modal != except && modal->isVisible()) {
            action(modal);
            *poll = nullptr; // break the cycle
            return;
        }
        if (clock->elapsed() > limitMs) {
            ADD_FAILURE() << "no modal window opened";
            while (QWidget *w = QApplication::activeModalWidget())
                w->close();
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll] {
            if (*poll)
                (*poll)();
        });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
}

// Once a message box (TFormDlgBox) opens, passes its message to seen and presses the button
// whose result is answer (DlgResult); a box without that button fails the test and is closed.
void answerNextBox(int answer, QString *seen = nullptr, int limitMs = 10000);
