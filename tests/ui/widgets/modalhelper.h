#pragma once
// Acting on a modal window from inside its own event loop: once a modal widget of type T
// other than `except` is open, action is called with it. If none opens within the time
// limit, every modal window is closed so that the test fails instead of hanging.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

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
