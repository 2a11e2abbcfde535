#include "ui/widgets/formdlgnext.h"
#include "ui/widgets/labelformat.h"
#include "ui/windowmessages.h"

#include <QCoreApplication>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class Recorder : public QObject
{
public:
    struct Message
    {
        int message;
        qintptr code;
        qintptr tag;
        bool operator==(const Message &) const = default;
    };
    std::vector<Message> messages;

    std::vector<Message> take()
    {
        QCoreApplication::sendPostedEvents(this);
        return std::exchange(messages, {});
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != WindowMessageEvent::eventType())
            return QObject::event(e);
        auto *m = static_cast<WindowMessageEvent *>(e);
        messages.push_back({m->message(), m->wParam(), m->lParam()});
        return true;
    }
};

class FormDlgNextTest : public ::testing::Test
{
protected:
    void SetUp() override { setMessageReceiver(&recorder); }
    void TearDown() override { setMessageReceiver(nullptr); }
    Recorder recorder;
};

using Msg = Recorder::Message;

} // namespace

TEST_F(FormDlgNextTest, NextPostsCode4AndStaysOpen)
{
    TFormDlgNext prompt;
    prompt.setTag(2);
    prompt.show();
    prompt.nextButton()->click();
    EXPECT_TRUE(recorder.messages.empty()); // posted, handled after the current event
    EXPECT_EQ(recorder.take(), (std::vector<Msg>{{WM_ASSIGN_STEP, 4, 2}}));
    EXPECT_TRUE(prompt.isVisible());

    prompt.hide(); // the main window hides it after handling code 4
    EXPECT_EQ(recorder.take(), (std::vector<Msg>{{WM_ASSIGN_STEP, 6, 2}}));
}

TEST_F(FormDlgNextTest, EveryWayOfHidingPostsCode6)
{
    TFormDlgNext prompt;
    prompt.setTag(1);
    prompt.show();
    prompt.cancelButton()->click();
    EXPECT_FALSE(prompt.isVisible());
    EXPECT_EQ(recorder.take(), (std::vector<Msg>{{WM_ASSIGN_STEP, 6, 1}}));

    prompt.show();
    prompt.close();
    EXPECT_EQ(recorder.take(), (std::vector<Msg>{{WM_ASSIGN_STEP, 6, 1}}));

    prompt.show();
    prompt.reject(); // Escape
    EXPECT_EQ(recorder.take(), (std::vector<Msg>{{WM_ASSIGN_STEP, 6, 1}}));

    prompt.hide(); // already hidden: nothing more
    EXPECT_TRUE(recorder.take().empty());
}

TEST_F(FormDlgNextTest, NeverShownPostsNothing)
{
    {
        TFormDlgNext prompt;
        prompt.hide();
    }
    EXPECT_TRUE(recorder.take().empty());
}

TEST_F(FormDlgNextTest, WindowLayout)
{
    TFormDlgNext prompt;
    EXPECT_EQ(prompt.windowTitle(), "Confirmation required");
    EXPECT_EQ(prompt.size(), QSize(303, 218));
    EXPECT_TRUE(prompt.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(prompt.isModal());
    EXPECT_EQ(prompt.nextButton()->text(), "&Next");
    EXPECT_EQ(prompt.cancelButton()->text(), "Cancel");
    EXPECT_EQ(prompt.nextButton()->size(), QSize(105, 25));
    EXPECT_EQ(prompt.cancelButton()->size(), QSize(105, 25));
    EXPECT_LT(prompt.cancelButton()->x(), prompt.nextButton()->x());
    EXPECT_EQ(prompt.cancelButton()->y(), prompt.nextButton()->y());
    EXPECT_GT(prompt.nextButton()->y(), prompt.height() / 2);
    EXPECT_FALSE(prompt.nextButton()->icon().isNull());

    // The hint fits its fixed label.
    const TLabelFormat *hint = prompt.hintLabel();
    EXPECT_FALSE(hint->autoSize());
    EXPECT_TRUE(hint->caption().startsWith("<C4><FB><FS12>Hint<FN> <LF>Unable to successfuly"));
    EXPECT_LE(hint->measuredSize().width(), hint->width());
    EXPECT_LE(hint->measuredSize().height(), hint->height());

    const QByteArray dir = qgetenv("DUOMIRA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        prompt.show();
        EXPECT_TRUE(prompt.grab().save(QString::fromLocal8Bit(dir) + "/dlgnext.png"));
        prompt.hide();
    }
}
