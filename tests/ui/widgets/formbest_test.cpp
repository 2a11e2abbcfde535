#include "ui/widgets/formbest.h"

#include "ui/dlgbox.h"

#include "support/widgets/modal.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(FormBest, WithoutAskingTheAnswerIsYes)
{
    TFormBest form;
    bool opened = false;
    // Would fire inside a modal loop; without one it runs after the call has returned.
    QTimer::singleShot(0, [&] { opened = QApplication::activeModalWidget() != nullptr; });
    EXPECT_EQ(AskReplace(form, false, "a", "b", Qt::CaseInsensitive, "name"), DlgResult::Yes);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_FALSE(form.isVisible());
}

TEST(FormBest, ButtonsAnswerAndClosingCancels)
{
    const std::pair<const char *, int> answers[] = {{"ButtonYes", DlgResult::Yes},
                                                    {"ButtonNo", DlgResult::No},
                                                    {"ButtonCancel", DlgResult::Cancel},
                                                    {nullptr, DlgResult::Cancel}};
    TFormBest form;
    for (const auto &[button, result] : answers) {
        SCOPED_TRACE(button ? button : "closed");
        QString question;
        whenModalOpens<TFormBest>([&, button = button](TFormBest *f) {
            question = f->questionLabel()->text();
            if (button)
                f->findChild<QPushButton *>(button)->click();
            else
                f->close();
        });
        EXPECT_EQ(
            AskReplace(form, true, "URLAUB", "Holiday", Qt::CaseInsensitive, "IMG_0815-urlaub-"),
            result);
        EXPECT_EQ(question, "Replace \"URLAUB\" with \"Holiday\"?");
    }
}

TEST(FormBest, SelectsTheFirstOccurrence)
{
    TFormBest form;
    struct Case
    {
        const char *search;
        Qt::CaseSensitivity cs;
        const char *name;
        int start; // -1: nothing selected
        const char *selected;
    };
    const Case cases[] = {
        {"URLAUB", Qt::CaseInsensitive, "IMG_0815-urlaub-", 9, "urlaub"},
        {"URLAUB", Qt::CaseSensitive, "IMG_0815-urlaub-", -1, ""},
        {"_a", Qt::CaseSensitive, "Pict_001_a_a", 8, "_a"},
        {"<b>%2", Qt::CaseSensitive, "x<b>%2", 1, "<b>%2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        form.prepare(c.search, "r%1", c.cs, c.name);
        QLineEdit *edit = form.nameEdit();
        EXPECT_EQ(edit->text(), c.name);
        EXPECT_EQ(edit->selectionStart(), c.start);
        EXPECT_EQ(edit->selectedText(), c.selected);
    }
    // Texts with markup-like or format-like characters are shown as typed.
    EXPECT_EQ(form.questionLabel()->text(), "Replace \"<b>%2\" with \"r%1\"?");
    EXPECT_EQ(form.questionLabel()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(form.nameEdit()->isReadOnly());
    EXPECT_EQ(form.nameEdit()->focusPolicy(), Qt::NoFocus);
}

TEST(FormBest, WiderButNotHigher)
{
    TFormBest form;
    EXPECT_EQ(form.windowTitle(), "Confirmation required");
    EXPECT_EQ(form.minimumSize(), QSize(315, 144));
    EXPECT_EQ(form.maximumHeight(), 144);
    form.show();
    const int editWidth = form.nameEdit()->width();
    form.resize(600, 300);
    EXPECT_EQ(form.height(), 144);
    EXPECT_EQ(form.nameEdit()->width(), editWidth + 600 - 315);
    form.hide();
}
