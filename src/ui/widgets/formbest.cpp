#include "ui/widgets/formbest.h"

#include "ui/dlgbox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int MinimumWidth = 315;
constexpr int FixedHeight = 144;
} // namespace

TFormBest::TFormBest(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormBest"));
    setWindowTitle(QStringLiteral("Confirmation required"));
    setMinimumSize(MinimumWidth, FixedHeight);
    setMaximumHeight(FixedHeight);
    resize(MinimumWidth, FixedHeight);

    m_question = new QLabel(this);
    m_question->setObjectName(QStringLiteral("LabelQuestion"));
    m_question->setTextFormat(Qt::PlainText); // the texts are shown as typed

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("EditName"));
    m_name->setReadOnly(true);
    // Without focus the edit never loses its selection, so the found text stays marked.
    m_name->setFocusPolicy(Qt::NoFocus);
    QPalette grey = m_name->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    m_name->setPalette(grey);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    const struct
    {
        const char *caption;
        const char *name;
        int result;
    } answers[] = {{"Yes", "ButtonYes", DlgResult::Yes},
                   {"No", "ButtonNo", DlgResult::No},
                   {"Cancel", "ButtonCancel", DlgResult::Cancel}};
    for (const auto &answer : answers) {
        auto *button = new QPushButton(QString::fromLatin1(answer.caption), this);
        button->setObjectName(QString::fromLatin1(answer.name));
        const int result = answer.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        buttons->addWidget(button);
        if (result == DlgResult::Yes)
            button->setDefault(true);
    }
    buttons->addStretch();

    auto *column = new QVBoxLayout(this);
    column->addWidget(m_question);
    column->addWidget(m_name);
    column->addStretch();
    column->addLayout(buttons);
}

void TFormBest::prepare(const QString &search, const QString &replacement, Qt::CaseSensitivity cs,
                        const QString &name)
{
    m_question->setText(QStringLiteral("Replace \"%1\" with \"%2\"?").arg(search, replacement));
    m_name->setText(name);
    const qsizetype at = name.indexOf(search, 0, cs);
    if (at >= 0)
        m_name->setSelection(int(at), int(search.size()));
    else
        m_name->deselect();
}

int TFormBest::ask(const QString &search, const QString &replacement, Qt::CaseSensitivity cs,
                   const QString &name)
{
    prepare(search, replacement, cs, name);
    return exec();
}

void TFormBest::reject()
{
    done(DlgResult::Cancel);
}

int AskReplace(TFormBest &form, bool ask, const QString &search, const QString &replacement,
               Qt::CaseSensitivity cs, const QString &name)
{
    if (!ask)
        return DlgResult::Yes;
    return form.ask(search, replacement, cs, name);
}
