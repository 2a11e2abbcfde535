#include "naming/widgets/formeditrenmask.h"

#include "naming/maskeditor.h"
#include "naming/widgets/frameedittext.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int ClientWidth = 388;
constexpr int ClientHeight = 443;
constexpr int ButtonHeight = 22;
} // namespace

TFormEditRenMask::TFormEditRenMask(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormEditRenMask"));
    setWindowTitle(QStringLiteral("Configuration of Image Properties"));
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    // Header row: "Common" | "Tags from:" left / right "side" | "EXIF Tags".
    auto *header = new QGridLayout;
    header->setHorizontalSpacing(4);
    auto *common = new QLabel(QStringLiteral("Common"), this);
    auto *tagsFrom = new QLabel(QStringLiteral("Tags from:"), this);
    RadioButtonLeft = new QRadioButton(QStringLiteral("left"), this);
    RadioButtonLeft->setObjectName(QStringLiteral("RadioButtonLeft"));
    RadioButtonRight = new QRadioButton(QStringLiteral("  right"), this);
    RadioButtonRight->setObjectName(QStringLiteral("RadioButtonRight"));
    RadioButtonLeft->setChecked(true);
    auto *sides = new QButtonGroup(this);
    sides->addButton(RadioButtonLeft);
    sides->addButton(RadioButtonRight);
    auto *side = new QLabel(QStringLiteral("side"), this);
    auto *exif = new QLabel(QStringLiteral("EXIF Tags"), this);
    QFont bold = common->font();
    bold.setBold(true);
    for (QLabel *l : {common, tagsFrom, exif})
        l->setFont(bold);
    auto *choice = new QHBoxLayout;
    choice->setSpacing(4);
    choice->addWidget(tagsFrom);
    choice->addWidget(RadioButtonLeft);
    choice->addWidget(RadioButtonRight);
    choice->addWidget(side);
    choice->addStretch(1);
    header->addWidget(common, 0, 0);
    header->addLayout(choice, 0, 1, 1, 2);
    header->addWidget(exif, 1, 2);
    layout->addLayout(header);

    auto *columns = new QGridLayout;
    columns->setHorizontalSpacing(4);
    columns->setVerticalSpacing(1);
    int rows[3] = {0, 0, 0};
    for (const TPaletteButton &b : PaletteButtons()) {
        auto *button = new QPushButton(QString::fromLatin1(b.Caption), this);
        button->setObjectName(QString::fromLatin1(b.Name));
        button->setAutoDefault(false);
        button->setFixedHeight(ButtonHeight);
        button->setToolTip(QString::fromLatin1(b.Token));
        const QString token = QString::fromLatin1(b.Token);
        connect(button, &QPushButton::clicked, this, [this, token] { insert(token); });
        columns->addWidget(button, rows[b.Column]++, b.Column);
        m_buttons << button;
    }
    for (int c = 0; c < 3; ++c)
        columns->setColumnStretch(c, 1);
    columns->setRowStretch(std::max({rows[0], rows[1], rows[2]}), 1);
    layout->addLayout(columns, 1);

    auto *bottom = new QHBoxLayout;
    ButtonClose = new QPushButton(QStringLiteral("&Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setAutoDefault(false);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::hide);
    bottom->addStretch(1);
    bottom->addWidget(ButtonClose);
    layout->addLayout(bottom);

    // The design size, widened when the captions need more room with the font in use.
    const QSize need = sizeHint();
    setFixedSize(std::max(ClientWidth, need.width()), std::max(ClientHeight, need.height()));
}

void TFormEditRenMask::setTarget(TFrameEditText *target)
{
    m_target = target;
}

TFrameEditText *TFormEditRenMask::target() const
{
    return m_target;
}

bool TFormEditRenMask::rightSide() const
{
    return RadioButtonRight->isChecked();
}

void TFormEditRenMask::setRightSide(bool right)
{
    (right ? RadioButtonRight : RadioButtonLeft)->setChecked(true);
}

QPushButton *TFormEditRenMask::button(const QString &caption) const
{
    for (QPushButton *b : m_buttons) {
        if (b->text() == caption)
            return b;
    }
    return nullptr;
}

void TFormEditRenMask::insert(const QString &token)
{
    if (m_target)
        m_target->insertText(PaletteInsertText(token, rightSide()));
}
