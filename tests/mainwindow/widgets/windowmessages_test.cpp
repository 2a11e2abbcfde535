#include "mainwindow/widgets/windowmessages.h"

#include <QCoreApplication>
#include <QList>
#include <gtest/gtest.h>

namespace {
class Recorder : public QObject
{
public:
    QList<int> messages;
    QList<qintptr> params;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == WindowMessageEvent::eventType()) {
            auto *m = static_cast<WindowMessageEvent *>(e);
            messages.append(m->message());
            params.append(m->wParam());
            return true;
        }
        return QObject::event(e);
    }
};
} // namespace

TEST(WindowMessages, PostedMessagesArriveLaterInOrder)
{
    Recorder r;
    setMessageReceiver(&r);
    EXPECT_TRUE(postWindowMessage(WM_ASSIGN_STEP, 4));
    EXPECT_TRUE(postWindowMessage(WM_ENTRIES_CHANGED));
    EXPECT_TRUE(r.messages.isEmpty()); // posted, not sent
    QCoreApplication::sendPostedEvents(&r);
    EXPECT_EQ(r.messages, (QList<int>{WM_ASSIGN_STEP, WM_ENTRIES_CHANGED}));
    EXPECT_EQ(r.params.first(), 4);
    setMessageReceiver(nullptr);
    EXPECT_FALSE(postWindowMessage(WM_ENTRIES_CHANGED));
}

TEST(WindowMessages, DestroyedReceiverIsForgotten)
{
    {
        Recorder r;
        setMessageReceiver(&r);
    }
    EXPECT_EQ(messageReceiver(), nullptr);
    EXPECT_FALSE(postWindowMessage(WM_SELECT_PARTNER));
}
