#include "mainwindow/widgets/optionstack.h"

#include "entries/namingsettings.h"
#include "imaging/jpegdata.h"
#include "mainwindow/widgets/collapsiblebox.h"
#include "session/optionlogic.h"
#include "ui/widgets/labelformat.h"
#include "ui/widgets/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int DesignWidth = 257;
constexpr int MinimumWidth = 240;

template <class W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QVBoxLayout *columnOf(QWidget *body)
{
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);
    return layout;
}

// A spin edit without lower or upper limit.
QSpinBox *unlimitedSpin(QWidget *parent, const char *name, int value)
{
    auto *spin = named(new QSpinBox(parent), name);
    spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    spin->setValue(value);
    spin->setAccelerated(true);
    return spin;
}

// A captioned edit: the caption above the edit.
QLineEdit *labeledEdit(QWidget *parent, QVBoxLayout *layout, const char *name,
                       const QString &caption, const QString &text, QWidget *button = nullptr)
{
    auto *label = new QLabel(caption, parent);
    auto *edit = named(new QLineEdit(text, parent), name);
    label->setBuddy(edit);
    layout->addWidget(label);
    if (!button) {
        layout->addWidget(edit);
        return edit;
    }
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(edit, 1);
    row->addWidget(button);
    layout->addLayout(row);
    return edit;
}

QLabel *smallCaption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

} // namespace

TOptionStack::TOptionStack(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PanelLeft"));
    setMinimumWidth(MinimumWidth);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 2, 4);
    outer->setSpacing(4);

    buildHints();
    buildSorting();

    ScrollBox1 = named(new QScrollArea(this), "ScrollBox1");
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *inner = new QWidget(ScrollBox1);
    inner->setObjectName(QStringLiteral("ScrollBoxContent"));
    auto *column = new QVBoxLayout(inner);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    buildStereoDisplay();
    buildDefaults();
    buildExif();
    buildNumbering();
    buildDirectories();
    buildSuffix();
    buildStatus();
    buildRun();
    for (TCollapsibleBox *box :
         {GroupBoxHinweis, GroupBoxAutoOrd, GroupBoxStereoDisplay, GroupBoxDefaults, GroupBoxExif,
          GroupBoxNumbering, GroupBoxDirectories, GroupBoxSuffix})
        column->addWidget(box);
    column->addStretch(1);
    ScrollBox1->setWidget(inner);
    outer->addWidget(ScrollBox1, 1);
    // "Status" and "Batch Job" stay in sight at the bottom of the column, below the boxes
    // that scroll, however many of those are open and however low the screen is.
    outer->addWidget(GroupBoxStatus);
    outer->addWidget(GroupBoxRun);

    // The design width, or what the quick help, the buttons, the captions and the fields
    // need with the font in use (plus the scroll bar of the scroll box), so that no caption
    // is ever cut: the column does not get narrower than that.
    int wanted = std::max(LabelFormatStep->sizeHint().width(), inner->sizeHint().width());
    for (const QWidget *w :
         {static_cast<QWidget *>(GroupBoxAutoOrd), static_cast<QWidget *>(GroupBoxStatus),
          static_cast<QWidget *>(GroupBoxRun)})
        wanted = std::max(wanted, w->sizeHint().width());
    const int scrollBar = ScrollBox1->verticalScrollBar()->sizeHint().width();
    const QMargins margins = outer->contentsMargins();
    m_preferredWidth =
        std::max(DesignWidth, wanted + scrollBar + margins.left() + margins.right() + 8);
    setMinimumWidth(std::max(MinimumWidth, m_preferredWidth));
}

QSize TOptionStack::sizeHint() const
{
    return {m_preferredWidth, QWidget::sizeHint().height()};
}

TCollapsibleBox *TOptionStack::makeBox(const QString &name, const QString &title)
{
    auto *box = new TCollapsibleBox(title, this);
    box->setObjectName(name);
    return box;
}

QList<TCollapsibleBox *> TOptionStack::boxes() const
{
    return {GroupBoxHinweis, GroupBoxAutoOrd,   GroupBoxStereoDisplay, GroupBoxDefaults,
            GroupBoxExif,    GroupBoxNumbering, GroupBoxDirectories,   GroupBoxSuffix,
            GroupBoxStatus,  GroupBoxRun};
}

void TOptionStack::arrangeForShow()
{
    // From the bottom up, the signs alternate so that folded neighbours differ in colour.
    const std::pair<TCollapsibleBox *, int> order[] = {
        {GroupBoxRun, -1},         {GroupBoxStatus, +1},        {GroupBoxSuffix, -1},
        {GroupBoxDirectories, +1}, {GroupBoxNumbering, -1},     {GroupBoxExif, +1},
        {GroupBoxDefaults, -1},    {GroupBoxStereoDisplay, +1}, {GroupBoxAutoOrd, -1},
        {GroupBoxHinweis, +1},
    };
    for (const auto &[box, sign] : order)
        box->collapse(sign);
    for (TCollapsibleBox *box : {GroupBoxStatus, GroupBoxHinweis, GroupBoxAutoOrd, GroupBoxRun})
        box->expand();
}

NewEntryDefaults TOptionStack::newEntryDefaults() const
{
    NewEntryDefaults d;
    d.Invert = CheckBoxInvertPicture->isChecked();
    d.RotationLeft = RadioGroupDrehung_L->itemIndex();
    d.RotationRight = RadioGroupDrehung_R->itemIndex();
    d.MirrorLeft = CheckBoxMirror_L->isChecked();
    d.MirrorRight = CheckBoxMirror_R->isChecked();
    d.ExcludeLeft = CheckBoxVorgNoBatch_L->isChecked();
    d.ExcludeRight = CheckBoxVorgNoBatch_R->isChecked();
    d.KeepShotsTogether = CheckBoxVorgSiblings->isChecked();
    return d;
}

void TOptionStack::buildHints()
{
    GroupBoxHinweis = makeBox(QStringLiteral("GroupBoxHinweis"), QStringLiteral("Hints"));
    QWidget *body = GroupBoxHinweis->body();
    auto *layout = columnOf(body);
    LabelFormatStep = named(new TLabelFormat(body), "LabelFormatStep");
    LabelFormatStep->setCaption(QuickHelpText());
    layout->addWidget(LabelFormatStep);
    // Any click on the box or its label folds it.
    GroupBoxHinweis->setToggleOnAnyClick(true);
    GroupBoxHinweis->addToggleArea(LabelFormatStep);
    GroupBoxHinweis->addToggleArea(body);
    GroupBoxHinweis->setCursor(Qt::PointingHandCursor);
}

void TOptionStack::buildSorting()
{
    GroupBoxAutoOrd = makeBox(QStringLiteral("GroupBoxAutoOrd"), QStringLiteral("Sorting Actions"));
    QWidget *body = GroupBoxAutoOrd->body();
    auto *layout = columnOf(body);
    ButtonSort =
        named(new QPushButton(QStringLiteral("Chronological ordering of stereo lists"), body),
              "ButtonSort");
    ButtonSortAll =
        named(new QPushButton(QStringLiteral("Dissolve all assignments and re-assign"), body),
              "ButtonSortAll");
    QFont bold = ButtonSortAll->font();
    bold.setBold(true);
    ButtonSortAll->setFont(bold);
    RadioButtonAutoSortAll =
        named(new QRadioButton(QStringLiteral("All list entries"), body), "RadioButtonAutoSortAll");
    RadioButtonAutoSortMonos =
        named(new QRadioButton(QStringLiteral("Only entries marked as Unassigned"), body),
              "RadioButtonAutoSortMonos");
    RadioButtonAutoSortAll->setChecked(true);
    CheckBoxTolerateDrift =
        named(new QCheckBox(QStringLiteral("Tolerate clock drift"), body), "CheckBoxTolerateDrift");
    CheckBoxTolerateDrift->setToolTip(
        QStringLiteral("Pair by aligning the rhythm of both cameras: follows clocks that drift "
                       "apart or were changed during the session, copes with bursts, and marks "
                       "doubtful pairs"));
    layout->addWidget(ButtonSort);
    layout->addWidget(ButtonSortAll);
    layout->addWidget(RadioButtonAutoSortAll);
    layout->addWidget(RadioButtonAutoSortMonos);
    layout->addWidget(CheckBoxTolerateDrift);
}

void TOptionStack::buildStereoDisplay()
{
    GroupBoxStereoDisplay =
        makeBox(QStringLiteral("GroupBoxStereoDisplay"), QStringLiteral("Stereo Display Options"));
    QWidget *body = GroupBoxStereoDisplay->body();
    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setVerticalSpacing(3);
    RadioButtonKreuz =
        named(new QRadioButton(QStringLiteral("Cross-eyed view"), body), "RadioButtonKreuz");
    RadioButtonParallel =
        named(new QRadioButton(QStringLiteral("Parallel view"), body), "RadioButtonParallel");
    RadioButtonAnaglyph =
        named(new QRadioButton(QStringLiteral("Anaglyph (red/cyan)"), body), "RadioButtonAnaglyph");
    RadioButtonMono_L = named(new QRadioButton(QStringLiteral("Left"), body), "RadioButtonMono_L");
    RadioButtonMono_R = named(new QRadioButton(QStringLiteral("Right"), body), "RadioButtonMono_R");
    RadioButtonKreuz->setChecked(true);
    grid->addWidget(RadioButtonKreuz, 0, 0, 1, 2);
    grid->addWidget(RadioButtonParallel, 1, 0, 1, 2);
    grid->addWidget(RadioButtonAnaglyph, 2, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Monoscopic"), body), 3, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(RadioButtonMono_L, 4, 0);
    grid->addWidget(RadioButtonMono_R, 4, 1);

    SpinEditAbstand = unlimitedSpin(body, "SpinEditAbstand", 16);
    grid->addWidget(new QLabel(QStringLiteral("SbS: Inner Spacing"), body), 5, 0);
    grid->addWidget(SpinEditAbstand, 5, 1);

    ComboBoxThumbSize = named(new QComboBox(body), "ComboBoxThumbSize");
    ComboBoxThumbSize->addItems(ThumbnailSizeItems());
    ComboBoxThumbSize->setCurrentIndex(0);
    grid->addWidget(new QLabel(QStringLiteral("Thumbnail Dimensions"), body), 6, 0);
    grid->addWidget(ComboBoxThumbSize, 6, 1);

    CheckBoxLadeBilderImmerNeu = named(new QCheckBox(QStringLiteral("Always reload images"), body),
                                       "CheckBoxLadeBilderImmerNeu");
    grid->addWidget(CheckBoxLadeBilderImmerNeu, 7, 0, 1, 2);
}

void TOptionStack::buildDefaults()
{
    GroupBoxDefaults =
        makeBox(QStringLiteral("GroupBoxDefaults"), QStringLiteral("Default settings"));
    QWidget *body = GroupBoxDefaults->body();
    auto *layout = columnOf(body);
    layout->addWidget(new QLabel(QStringLiteral("New pictures will be handled like.."), body));

    auto *top = new QGridLayout;
    top->setVerticalSpacing(2);
    CheckBoxInvertPicture =
        named(new QCheckBox(QStringLiteral("Invert"), body), "CheckBoxInvertPicture");
    CheckBoxMirror_L = named(new QCheckBox(QStringLiteral("Left"), body), "CheckBoxMirror_L");
    CheckBoxMirror_R = named(new QCheckBox(QStringLiteral("Right"), body), "CheckBoxMirror_R");
    top->addWidget(CheckBoxInvertPicture, 0, 0);
    top->addWidget(smallCaption(QStringLiteral("Mirror"), body), 0, 1, 1, 2, Qt::AlignHCenter);
    top->addWidget(CheckBoxMirror_L, 1, 1);
    top->addWidget(CheckBoxMirror_R, 1, 2);
    layout->addLayout(top);

    layout->addWidget(smallCaption(QStringLiteral("Rotation"), body));
    auto *rotation = new QHBoxLayout;
    RadioGroupDrehung_L =
        named(new TRadioGroup(QStringLiteral("Left"),
                              {QStringLiteral("0\u00B0"), QStringLiteral("90\u00B0"),
                               QStringLiteral("180\u00B0"), QStringLiteral("270\u00B0")},
                              1, body),
              "RadioGroupDrehung_L");
    RadioGroupDrehung_R =
        named(new TRadioGroup(QStringLiteral("Right"),
                              {QStringLiteral("0\u00B0 "), QStringLiteral("90\u00B0"),
                               QStringLiteral("180\u00B0"), QStringLiteral("270\u00B0")},
                              1, body),
              "RadioGroupDrehung_R");
    RadioGroupDrehung_L->setItemIndex(2);
    RadioGroupDrehung_R->setItemIndex(0);
    rotation->addWidget(RadioGroupDrehung_L);
    rotation->addWidget(RadioGroupDrehung_R);
    layout->addLayout(rotation);

    layout->addWidget(smallCaption(QStringLiteral("Exclude from Batch Job"), body));
    auto *exclude = new QHBoxLayout;
    CheckBoxVorgNoBatch_L =
        named(new QCheckBox(QStringLiteral("Left"), body), "CheckBoxVorgNoBatch_L");
    CheckBoxVorgNoBatch_R =
        named(new QCheckBox(QStringLiteral("Right"), body), "CheckBoxVorgNoBatch_R");
    exclude->addWidget(CheckBoxVorgNoBatch_L);
    exclude->addWidget(CheckBoxVorgNoBatch_R);
    layout->addLayout(exclude);

    CheckBoxVorgSiblings =
        named(new QCheckBox(QStringLiteral("Keep RAW and JPEG of one shot together"), body),
              "CheckBoxVorgSiblings");
    CheckBoxVorgSiblings->setChecked(true);
    CheckBoxVorgSiblings->setToolTip(
        QStringLiteral("Pictures of one folder with one name (IMG_0042.JPG, IMG_0042.CR2) are "
                       "one entry; their sidecars (.xmp, .pp3, ...) travel with them"));
    layout->addWidget(CheckBoxVorgSiblings);
}

void TOptionStack::buildExif()
{
    GroupBoxExif = makeBox(QStringLiteral("GroupBoxExif"), QStringLiteral("EXIF"));
    QWidget *body = GroupBoxExif->body();
    auto *layout = columnOf(body);
    CheckBoxZeigeExif =
        named(new QCheckBox(QStringLiteral("Show EXIF"), body), "CheckBoxZeigeExif");
    CheckBoxZeigeExif->setChecked(true);
    CheckListBoxExif = named(new QListWidget(body), "CheckListBoxExif");
    for (int index : ExifListIndexes()) {
        auto *item = new QListWidgetItem(QString(ExifLabels[size_t(index)]), CheckListBoxExif);
        item->setData(Qt::UserRole, index);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(ExifCheckedAtStart(index) ? Qt::Checked : Qt::Unchecked);
    }
    CheckListBoxExif->setFixedHeight(
        CheckListBoxExif->sizeHintForRow(0) * CheckListBoxExif->count() + 6);
    layout->addWidget(CheckBoxZeigeExif);
    layout->addWidget(CheckListBoxExif);
}

void TOptionStack::buildNumbering()
{
    GroupBoxNumbering = makeBox(QStringLiteral("GroupBoxNumbering"), QStringLiteral("Numbering"));
    QWidget *body = GroupBoxNumbering->body();
    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setVerticalSpacing(3);
    SpinEditStartNr = unlimitedSpin(body, "SpinEditStartNr", 1);
    SpinEditEndNr = unlimitedSpin(body, "SpinEditEndNr", 0);
    grid->addWidget(new QLabel(QStringLiteral("Counter Start"), body), 0, 0);
    grid->addWidget(SpinEditStartNr, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Counter End"), body), 1, 0);
    grid->addWidget(SpinEditEndNr, 1, 1);
    RadioButtonResetStartNr1 =
        named(new QRadioButton(QStringLiteral("Counter Start at 1 or:"), body),
              "RadioButtonResetStartNr1");
    RadioButtonResetStartNrEnd =
        named(new QRadioButton(QStringLiteral("last number"), body), "RadioButtonResetStartNrEnd");
    RadioButtonResetStartNr1->setChecked(true);
    grid->addWidget(RadioButtonResetStartNr1, 2, 0);
    grid->addWidget(new QLabel(QStringLiteral("at program startup"), body), 2, 1);
    grid->addWidget(RadioButtonResetStartNrEnd, 3, 0);
    grid->addWidget(new QLabel(QStringLiteral("setting up"), body), 3, 1);
}

void TOptionStack::buildDirectories()
{
    GroupBoxDirectories =
        makeBox(QStringLiteral("GroupBoxDirectories"), QStringLiteral("Directories for images"));
    QWidget *body = GroupBoxDirectories->body();
    auto *layout = columnOf(body);
    // The folders a first start shows; the window then shows its session's.
    const TNamingSettings s = TNamingSettings::Defaults();
    const auto dirButton = [body](const char *name) {
        auto *b = named(new QToolButton(body), name);
        b->setText(QStringLiteral("..."));
        return b;
    };
    ButtonDir_L = dirButton("ButtonDir_L");
    ButtonDir_R = dirButton("ButtonDir_R");
    ButtonDir_M = dirButton("ButtonDir_M");
    LabeledEditZielpath_L = labeledEdit(body, layout, "LabeledEditZielpath_L",
                                        QStringLiteral("Destination folder for Left images"),
                                        s.FolderLeft, ButtonDir_L);
    LabeledEditZielpath_R = labeledEdit(body, layout, "LabeledEditZielpath_R",
                                        QStringLiteral("Destination folder for Right images"),
                                        s.FolderRight, ButtonDir_R);
    LabeledEditZielpath_M = labeledEdit(body, layout, "LabeledEditZielpath_M",
                                        QStringLiteral("Destination folder for monoscopic images"),
                                        s.FolderMono, ButtonDir_M);
    CheckBoxForceDir = named(new QCheckBox(QStringLiteral("Always create missing folders"), body),
                             "CheckBoxForceDir");
    CheckBoxForceDir->setChecked(true);
    layout->addWidget(CheckBoxForceDir);
}

void TOptionStack::buildSuffix()
{
    GroupBoxSuffix = makeBox(QStringLiteral("GroupBoxSuffix"), QStringLiteral("Suffix"));
    QWidget *body = GroupBoxSuffix->body();
    auto *layout = columnOf(body);
    LabeledEditSuffix_L =
        labeledEdit(body, layout, "LabeledEditSuffix_L", QStringLiteral("Suffix for left pictures"),
                    QStringLiteral("_L"));
    LabeledEditSuffix_R =
        labeledEdit(body, layout, "LabeledEditSuffix_R",
                    QStringLiteral("Suffix for right pictures"), QStringLiteral("_R"));
    // The monoscopic field starts as "_M" like the setting it feeds: an empty field would be
    // saved with the settings and silently take the suffix off monoscopic names next time.
    LabeledEditSuffix_M =
        labeledEdit(body, layout, "LabeledEditSuffix_M",
                    QStringLiteral("Suffix for monoscopic pictures"), QStringLiteral("_M"));
    // A stereo file renamed in its folder takes its pair's new name; empty adds nothing.
    LabeledEditSuffix_Stereo = labeledEdit(body, layout, "LabeledEditSuffix_Stereo",
                                           QStringLiteral("Stereo file suffix"), QString());
}

void TOptionStack::buildStatus()
{
    GroupBoxStatus = makeBox(QStringLiteral("GroupBoxStatus"), QStringLiteral("Status"));
    QWidget *body = GroupBoxStatus->body();
    auto *layout = columnOf(body);
    LabelStatus = named(new QLabel(QString::fromLatin1(StatusNoData), body), "LabelStatus");
    QFont bold = LabelStatus->font();
    bold.setBold(true);
    LabelStatus->setFont(bold);
    LabelStatus->setAutoFillBackground(true);
    LabelStatus->setContentsMargins(6, 3, 6, 3);
    // The whole status shows, however long the pairing's findings are: the label grows by
    // lines. Names in it (a picture's name in a clock finding) are plain text.
    LabelStatus->setTextFormat(Qt::PlainText);
    LabelStatus->setWordWrap(true);
    QPalette pal = LabelStatus->palette();
    pal.setColor(QPalette::Window, QColor(0x3c, 0x4a, 0x5c));
    pal.setColor(QPalette::WindowText, Qt::white);
    LabelStatus->setPalette(pal);
    ProgressBarStatus = named(new QProgressBar(body), "ProgressBarStatus");
    ProgressBarStatus->setRange(0, NoDataProgressMaximum);
    ProgressBarStatus->setValue(0);
    ProgressBarStatus->setTextVisible(false);
    ProgressBarStatus->setFixedHeight(12);
    layout->addWidget(LabelStatus);
    layout->addWidget(ProgressBarStatus);
}

void TOptionStack::buildRun()
{
    GroupBoxRun = makeBox(QStringLiteral("GroupBoxRun"), QStringLiteral("Batch Job"));
    QWidget *body = GroupBoxRun->body();
    auto *layout = columnOf(body);
    ButtonRun = named(new QPushButton(QStringLiteral("Execute Batch Job"), body), "ButtonRun");
    QFont bold = ButtonRun->font();
    bold.setBold(true);
    ButtonRun->setFont(bold);
    ButtonRun->setMinimumHeight(30);
    ButtonNew = named(new QPushButton(QStringLiteral("Remove all items from both lists"), body),
                      "ButtonNew");
    layout->addWidget(ButtonRun);
    layout->addWidget(ButtonNew);
}
