#include "mainwindow/widgets/editarea.h"

#include "entries/listoperations.h"
#include "naming/widgets/frameedittext.h"
#include "session/listactions.h"
#include "ui/widgets/radiogroup.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int DesignHeight = 235;

// "Name_L" / "Name_R".
QString sided(const char *name, bool left)
{
    return QString::fromLatin1(name) + (left ? QStringLiteral("_L") : QStringLiteral("_R"));
}

QPushButton *taggedButton(const QString &caption, const QString &name, int tag, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setProperty("tag", tag);
    b->setAutoDefault(false);
    return b;
}

// A compact button for the search box: it takes the width its caption needs.
QToolButton *searchButton(const QString &caption, const QString &name, int tag, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setText(caption);
    b->setObjectName(name);
    b->setProperty("tag", tag);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}

QCheckBox *namedCheck(const QString &caption, const QString &name, QWidget *parent)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

} // namespace

QList<QPushButton *> TSideEditControls::actionButtons() const
{
    return {Swap, MarkPair, Split, MarkMono, MarkUnassigned};
}

QList<QToolButton *> TSideEditControls::searchButtons() const
{
    return {GoMono, GoPair, GoGap, GoUnassigned};
}

TEditArea::TEditArea(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PanelEdit"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControlEdit"));
    PageControl->setTabPosition(QTabWidget::West);
    PageControl->setDocumentMode(false);
    TabSheetTyp = buildOrderingTab();
    TabSheetEditAnsicht = buildViewTab();
    TabSheetText = new QWidget(PageControl);
    TabSheetText->setObjectName(QStringLiteral("TabSheetText"));
    auto *textLayout = new QVBoxLayout(TabSheetText);
    textLayout->setContentsMargins(2, 2, 2, 2);
    FrameEditText1 = new TFrameEditText(TabSheetText);
    FrameEditText1->setFrameShape(QFrame::StyledPanel);
    FrameEditText1->setFrameShadow(QFrame::Sunken);
    textLayout->addWidget(FrameEditText1);
    PageControl->addTab(TabSheetTyp, QStringLiteral("Ordering"));
    PageControl->addTab(TabSheetEditAnsicht, QStringLiteral("View"));
    PageControl->addTab(TabSheetText, QStringLiteral("Text"));
    layout->addWidget(PageControl, 1);
    layout->addWidget(buildSelectionBar());
    // The design height, or what the tabs need with the font in use.
    setFixedHeight(std::max(DesignHeight, sizeHint().height()));
}

void TEditArea::setLinkMode(bool split)
{
    PanelLink->setChecked(split);
    PanelLink->setText(split ? QStringLiteral("Split") : QStringLiteral("Connect"));
}

QGroupBox *TEditArea::buildAttributesBox(TSideEditControls &side, bool left, QWidget *parent)
{
    auto *box = new QGroupBox(left ? QStringLiteral("Left View Attributes")
                                   : QStringLiteral("Right View Attributes"),
                              parent);
    box->setObjectName(sided("GroupBoxAttributes", left));
    side.AttributesBox = box;
    // The action buttons above the search box, so that the tab fits the width of a laptop
    // screen beside the option column.
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(4);

    auto *actions = new QGridLayout;
    actions->setSpacing(3);
    side.Swap = taggedButton(left ? QStringLiteral("Swap L / R") : QStringLiteral("Swap R / L"),
                             sided("ButtonSwap", left), saSwapPair, box);
    side.MarkPair = taggedButton(QStringLiteral("Mark Stereo Pair"), sided("ButtonMarkPair", left),
                                 saMarkStereoPairs, box);
    side.Split = taggedButton(QStringLiteral("Split into Monoscopic"), sided("ButtonSplit", left),
                              saSplitPair, box);
    side.MarkMono = taggedButton(QStringLiteral("Mark as Monoscopic"),
                                 sided("ButtonMarkMono", left), saMarkMono, box);
    side.MarkUnassigned = taggedButton(QStringLiteral("Mark as Unassigned"),
                                       sided("ButtonMarkUnassigned", left), saMarkUnassigned, box);
    side.Remove = taggedButton(QStringLiteral("Remove from list"), sided("ButtonRemove", left),
                               saDeleteEntryPair, box);
    side.Remove->setToolTip(QStringLiteral("Remove the selected images from the list (Del)"));
    side.NoBatch = namedCheck(
        QStringLiteral("Exclude from Batch Job"),
        left ? QStringLiteral("CheckBox_L_NoBatch") : QStringLiteral("CheckBox_R_NoBatch"), box);
    actions->addWidget(side.Swap, 0, 0);
    actions->addWidget(side.MarkPair, 1, 0);
    actions->addWidget(side.Split, 2, 0);
    actions->addWidget(side.MarkMono, 0, 1);
    actions->addWidget(side.MarkUnassigned, 1, 1);
    actions->addWidget(side.Remove, 2, 1);
    actions->addWidget(side.NoBatch, 3, 0, 1, 2);
    column->addLayout(actions);

    side.SearchBox = new QGroupBox(QStringLiteral(" Search for... "), box);
    side.SearchBox->setObjectName(sided("GroupBoxGoNext", left));
    auto *search = new QGridLayout(side.SearchBox);
    search->setContentsMargins(4, 2, 4, 4);
    search->setSpacing(3);
    side.GoMono = searchButton(QStringLiteral("Monoscopic"), sided("ButtonGoNextMono", left),
                               srMono, side.SearchBox);
    side.GoPair = searchButton(QStringLiteral("Stereo Pair"), sided("ButtonGoNextPair", left),
                               srStereoPair, side.SearchBox);
    side.GoGap =
        searchButton(QStringLiteral("Gap"), sided("ButtonGoNextGap", left), srGap, side.SearchBox);
    side.GoUnassigned =
        searchButton(QStringLiteral("Unassigned"), sided("ButtonGoNextUnassigned", left),
                     srUnassigned, side.SearchBox);
    side.FromBeginning = namedCheck(QStringLiteral("From beginning"),
                                    sided("CheckBoxGoNextAbAnf", left), side.SearchBox);
    side.Backward = namedCheck(QStringLiteral("Backward direction"),
                               sided("CheckBoxGoNextDir", left), side.SearchBox);
    search->addWidget(side.GoMono, 0, 0);
    search->addWidget(side.GoPair, 0, 1);
    search->addWidget(side.GoGap, 0, 2);
    search->addWidget(side.GoUnassigned, 0, 3);
    search->addWidget(side.FromBeginning, 1, 0, 1, 2);
    search->addWidget(side.Backward, 1, 2, 1, 2);
    column->addWidget(side.SearchBox);
    column->addStretch(1);
    return box;
}

QWidget *TEditArea::buildOrderingTab()
{
    auto *tab = new QWidget(PageControl);
    tab->setObjectName(QStringLiteral("TabSheetTyp"));
    auto *row = new QHBoxLayout(tab);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);
    row->addWidget(buildAttributesBox(Left, true, tab), 1);

    // The middle buttons, centred between the two boxes.
    auto *middle = new QVBoxLayout;
    middle->setSpacing(6);
    ButtonKombi =
        taggedButton(QStringLiteral("Combinations"), QStringLiteral("ButtonKombi"), 0, tab);
    ButtonSearchUnassigned = taggedButton(QStringLiteral("Search unassigned"),
                                          QStringLiteral("ButtonSearchUnassigned"), 0, tab);
    PanelLink = taggedButton(QStringLiteral("Connect"), QStringLiteral("PanelLink"), 0, tab);
    PanelLink->setCheckable(true);
    QFont bold = PanelLink->font();
    bold.setBold(true);
    PanelLink->setFont(bold);
    PanelLink->setMinimumHeight(34);
    middle->addStretch(1);
    middle->addWidget(ButtonKombi);
    middle->addWidget(ButtonSearchUnassigned);
    middle->addWidget(PanelLink);
    middle->addStretch(1);
    row->addLayout(middle);

    row->addWidget(buildAttributesBox(Right, false, tab), 1);
    return tab;
}

QGroupBox *TEditArea::buildViewBox(TSideEditControls &side, bool left, QWidget *parent)
{
    auto *box =
        new QGroupBox(left ? QStringLiteral("Left View") : QStringLiteral("Right View"), parent);
    box->setObjectName(sided("GroupBoxView", left));
    side.ViewBox = box;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 4, 8, 6);
    side.Invert = namedCheck(QStringLiteral("Invert"), sided("CheckBoxInvertPicture", left), box);
    side.Rotation = new TRadioGroup(QStringLiteral("Rotation (Clockwise)"),
                                    {QStringLiteral("0\u00B0 "), QStringLiteral("90\u00B0"),
                                     QStringLiteral("180\u00B0"), QStringLiteral("270\u00B0")},
                                    4, box);
    side.Rotation->setObjectName(sided("RadioGroupEditDrehung", left));
    side.Rotation->setItemIndex(0);
    side.Mirror = namedCheck(QStringLiteral("Mirror"), sided("CheckBoxEditMirror", left), box);
    layout->addWidget(side.Invert);
    layout->addWidget(side.Rotation);
    layout->addWidget(side.Mirror);
    layout->addStretch(1);
    return box;
}

QWidget *TEditArea::buildViewTab()
{
    auto *tab = new QWidget(PageControl);
    tab->setObjectName(QStringLiteral("TabSheetEditAnsicht"));
    auto *row = new QHBoxLayout(tab);
    row->setContentsMargins(4, 2, 4, 2);
    // The "Left View" box takes half of the tab's width.
    row->addWidget(buildViewBox(Left, true, tab), 1);
    row->addWidget(buildViewBox(Right, false, tab), 1);
    return tab;
}

QWidget *TEditArea::buildSelectionBar()
{
    PanelMitteEdit = new QWidget(this);
    PanelMitteEdit->setObjectName(QStringLiteral("PanelMitteEdit"));
    auto *row = new QHBoxLayout(PanelMitteEdit);
    row->setContentsMargins(4, 0, 4, 2);
    row->setSpacing(4);
    const struct
    {
        const char *caption;
        const char *name;
    } buttons[] = {
        {"Select all", "ButtonSelAll"},        {"Select Pairs", "ButtonSelPairs"},
        {"Select Mono", "ButtonSelMono"},      {"Unassigned", "ButtonSelUnassigned"},
        {"Select Gaps", "ButtonSelGaps"},      {"Doubtful", "ButtonSelDoubtful"},
        {"Suspect pairs", "ButtonSelSuspect"},
    };
    int tag = 0;
    for (const auto &b : buttons) {
        QPushButton *button = taggedButton(QString::fromLatin1(b.caption),
                                           QString::fromLatin1(b.name), tag++, PanelMitteEdit);
        SelectionButtons << button;
        if (tag == 1) // "Select all"
            button->setToolTip(QStringLiteral("Select all rows (Ctrl+A in a list)"));
        row->addWidget(button);
    }
    row->addSpacing(12);
    CheckBoxSynchron = namedCheck(QStringLiteral("Select counterpart permanently"),
                                  QStringLiteral("CheckBoxSynchron"), PanelMitteEdit);
    CheckBoxSynchron->setChecked(true);
    row->addWidget(CheckBoxSynchron);
    row->addStretch(1);
    return PanelMitteEdit;
}
