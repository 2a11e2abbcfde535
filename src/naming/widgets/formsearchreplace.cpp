#include "naming/widgets/formsearchreplace.h"

#include "ui/widgets/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The design size; the captions may need more at larger fonts.
constexpr int MinimumWidth = 475;
constexpr int FixedHeight = 262;

// Items of "Direction of search" and "Range".
constexpr int DirectionForward = 1;
constexpr int RangeSelected = 1;

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QComboBox *historyBox(const char *name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert); // the history is kept by the buttons
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return box;
}
} // namespace

TFormSearchReplace::TFormSearchReplace(QWidget *parent) : QDialog(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("FormSearchReplace"));
    setWindowTitle(QStringLiteral("Search and Replace"));

    ComboBoxSearchText = historyBox("ComboBoxSearchText", this);
    ComboBoxReplaceText = historyBox("ComboBoxReplaceText", this);
    auto *searchLabel = new QLabel(QStringLiteral(" Search for... "), this);
    searchLabel->setBuddy(ComboBoxSearchText);
    auto *replaceLabel = new QLabel(QStringLiteral("Replace with"), this);
    replaceLabel->setBuddy(ComboBoxReplaceText);

    auto *optionsBox = new QGroupBox(QStringLiteral("Options"), this);
    optionsBox->setObjectName(QStringLiteral("GroupBoxOptions"));
    CheckBoxGrossKlein = new QCheckBox(QStringLiteral("Case sensitive"), optionsBox);
    CheckBoxGrossKlein->setObjectName(QStringLiteral("CheckBoxGrossKlein"));
    CheckBoxBest = new QCheckBox(QStringLiteral("Confirmation required"), optionsBox);
    CheckBoxBest->setObjectName(QStringLiteral("CheckBoxBest"));
    auto *optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(CheckBoxGrossKlein);
    optionsLayout->addWidget(CheckBoxBest);
    optionsLayout->addStretch(1);

    RadioGroupDirektion = new TRadioGroup(
        QStringLiteral("Direction of search"),
        {QStringLiteral("Backward direction"), QStringLiteral("Forward direction")}, 1, this);
    RadioGroupDirektion->setObjectName(QStringLiteral("RadioGroupDirektion"));
    RadioGroupDirektion->setItemIndex(DirectionForward);
    RadioGroupBereich = new TRadioGroup(
        QStringLiteral("Range"),
        {QStringLiteral("All Entries"), QStringLiteral("Selected entries only")}, 1, this);
    RadioGroupBereich->setObjectName(QStringLiteral("RadioGroupBereich"));
    RadioGroupBereich->setItemIndex(RangeSelected);

    const auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    ButtonSerchNext = button(QStringLiteral("Search"), "ButtonSerchNext");
    ButtonSerchNext->setDefault(true);
    ButtonReplaceSearcheNext =
        button(QStringLiteral("Search and Replace"), "ButtonReplaceSearcheNext");
    ButtonReplaceAll = button(QStringLiteral("Replace all"), "ButtonReplaceAll");
    ButtonClose = button(QStringLiteral("Exit"), "ButtonClose");

    auto *fields = new QGridLayout;
    fields->addWidget(searchLabel, 0, 0);
    fields->addWidget(ComboBoxSearchText, 0, 1);
    fields->addWidget(replaceLabel, 1, 0);
    fields->addWidget(ComboBoxReplaceText, 1, 1);
    fields->setColumnStretch(1, 1);

    auto *groups = new QHBoxLayout;
    groups->addWidget(optionsBox, 1);
    groups->addWidget(RadioGroupDirektion, 1);
    groups->addWidget(RadioGroupBereich, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ButtonSerchNext);
    buttons->addWidget(ButtonReplaceSearcheNext);
    buttons->addWidget(ButtonReplaceAll);
    buttons->addStretch(1);
    buttons->addWidget(ButtonClose);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);

    connect(ComboBoxSearchText, &QComboBox::editTextChanged, this, [this] {
        setSearchState(TSearchState::New);
        Q_EMIT searchTextChanged();
    });
    connect(ButtonSerchNext, &QPushButton::clicked, this, [this] {
        updateHistories();
        Q_EMIT requestFind(options());
    });
    connect(ButtonReplaceSearcheNext, &QPushButton::clicked, this, [this] {
        updateHistories();
        Q_EMIT requestReplace(options(), false);
    });
    connect(ButtonReplaceAll, &QPushButton::clicked, this, [this] {
        updateHistories();
        Q_EMIT requestReplace(options(), true);
    });
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::accept);
    setSearchState(TSearchState::New);
    fitToCaptions();
}

void TFormSearchReplace::fitToCaptions()
{
    QLayout *grid = layout();
    if (!grid)
        return;
    // The longest caption of the search button decides its width in both states.
    const QString caption = ButtonSerchNext->text();
    ButtonSerchNext->setText(QStringLiteral("Search next"));
    ButtonSerchNext->setMinimumWidth(ButtonSerchNext->sizeHint().width());
    ButtonSerchNext->setText(caption);
    grid->invalidate();
    grid->activate();
    const QSize needed = grid->totalMinimumSize().expandedTo(QSize(MinimumWidth, FixedHeight));
    setMinimumSize(needed);
    setMaximumHeight(needed.height());
    resize(std::max(width(), needed.width()), needed.height());
}

void TFormSearchReplace::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitToCaptions();
}

TSearchOptions TFormSearchReplace::options() const
{
    TSearchOptions o;
    o.SearchText = ComboBoxSearchText->currentText();
    o.ReplaceText = ComboBoxReplaceText->currentText();
    o.SelectedOnly = RadioGroupBereich->itemIndex() == RangeSelected;
    o.Forward = RadioGroupDirektion->itemIndex() != 0;
    o.CaseSensitive = CheckBoxGrossKlein->isChecked();
    o.Confirm = CheckBoxBest->isChecked();
    return o;
}

void TFormSearchReplace::setSearchState(TSearchState state)
{
    m_state = state;
    ButtonSerchNext->setText(state == TSearchState::New ? QStringLiteral("Search")
                                                        : QStringLiteral("Search next"));
    const bool found = state != TSearchState::NothingFound;
    ButtonSerchNext->setEnabled(found);
    ButtonReplaceAll->setEnabled(found);
    ButtonReplaceSearcheNext->setEnabled(state == TSearchState::Hit);
}

void TFormSearchReplace::updateHistories()
{
    // Rewriting the item lists keeps the texts being edited.
    for (QComboBox *box : {ComboBoxSearchText, ComboBoxReplaceText}) {
        const QString text = box->currentText();
        QStringList items = itemsOf(box);
        UpdateSearchHistory(items, text);
        if (items == itemsOf(box))
            continue;
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(items);
        box->setCurrentIndex(-1);
        box->setEditText(text);
    }
}
