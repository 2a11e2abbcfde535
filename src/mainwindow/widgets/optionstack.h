#pragma once
// TOptionStack: the column on the left of the main window (PanelLeft). A scroll box holds,
// from the top, the "Hints" box with the quick help, "Sorting Actions" and the option boxes
// "Stereo Display Options", "Default settings", "EXIF", "Numbering", "Directories for
// images" and "Suffix"; below it, always in sight, stand "Status" and "Batch Job". Every
// box folds to its caption line on a click there.
//
// The stack only holds the controls; the main window connects them to its actions and to
// the program-wide settings.
#include "session/loading.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class TCollapsibleBox;
class TLabelFormat;
class TRadioGroup;

class TOptionStack : public QWidget
{
    Q_OBJECT

public:
    explicit TOptionStack(QWidget *parent = nullptr);

    // Folds every box, alternating the stripe colours, and opens "Status", "Hints",
    // "Sorting Actions" and "Batch Job" again: the look of the stack when the window is
    // first shown.
    void arrangeForShow();

    // Wide enough for the quick help, the buttons and every caption (at least the design
    // width of 257); also the column's minimum width.
    QSize sizeHint() const override;

    // Every box from the top.
    QList<TCollapsibleBox *> boxes() const;

    // The values of "Default settings" that new entries take.
    NewEntryDefaults newEntryDefaults() const;

    // "Hints"
    TCollapsibleBox *GroupBoxHinweis = nullptr;
    TLabelFormat *LabelFormatStep = nullptr;
    // "Sorting Actions"
    TCollapsibleBox *GroupBoxAutoOrd = nullptr;
    QPushButton *ButtonSort = nullptr;    // "Chronological ordering of stereo lists"
    QPushButton *ButtonSortAll = nullptr; // "Dissolve all assignments and re-assign"
    QRadioButton *RadioButtonAutoSortAll = nullptr;
    QRadioButton *RadioButtonAutoSortMonos = nullptr;
    // Assigning passes pair by the rhythm alignment (clock drift, bursts, changed clocks).
    QCheckBox *CheckBoxTolerateDrift = nullptr;
    QScrollArea *ScrollBox1 = nullptr;
    // "Stereo Display Options"
    TCollapsibleBox *GroupBoxStereoDisplay = nullptr;
    QRadioButton *RadioButtonKreuz = nullptr;
    QRadioButton *RadioButtonParallel = nullptr;
    QRadioButton *RadioButtonAnaglyph = nullptr;
    QRadioButton *RadioButtonMono_L = nullptr;
    QRadioButton *RadioButtonMono_R = nullptr;
    QSpinBox *SpinEditAbstand = nullptr;
    QComboBox *ComboBoxThumbSize = nullptr;
    QCheckBox *CheckBoxLadeBilderImmerNeu = nullptr;
    // "Default settings"
    TCollapsibleBox *GroupBoxDefaults = nullptr;
    QCheckBox *CheckBoxInvertPicture = nullptr;
    QCheckBox *CheckBoxMirror_L = nullptr;
    QCheckBox *CheckBoxMirror_R = nullptr;
    TRadioGroup *RadioGroupDrehung_L = nullptr;
    TRadioGroup *RadioGroupDrehung_R = nullptr;
    QCheckBox *CheckBoxVorgNoBatch_L = nullptr;
    QCheckBox *CheckBoxVorgNoBatch_R = nullptr;
    QCheckBox *CheckBoxVorgSiblings = nullptr; // "Keep RAW and JPEG of one shot together"
    // "EXIF"
    TCollapsibleBox *GroupBoxExif = nullptr;
    QCheckBox *CheckBoxZeigeExif = nullptr;
    QListWidget *CheckListBoxExif = nullptr;
    // "Numbering"
    TCollapsibleBox *GroupBoxNumbering = nullptr;
    QSpinBox *SpinEditStartNr = nullptr;
    QSpinBox *SpinEditEndNr = nullptr;
    QRadioButton *RadioButtonResetStartNr1 = nullptr;
    QRadioButton *RadioButtonResetStartNrEnd = nullptr;
    // "Directories for images"
    TCollapsibleBox *GroupBoxDirectories = nullptr;
    QLineEdit *LabeledEditZielpath_L = nullptr;
    QLineEdit *LabeledEditZielpath_R = nullptr;
    QLineEdit *LabeledEditZielpath_M = nullptr;
    QToolButton *ButtonDir_L = nullptr;
    QToolButton *ButtonDir_R = nullptr;
    QToolButton *ButtonDir_M = nullptr;
    QCheckBox *CheckBoxForceDir = nullptr;
    // "Suffix"
    TCollapsibleBox *GroupBoxSuffix = nullptr;
    QLineEdit *LabeledEditSuffix_L = nullptr;
    QLineEdit *LabeledEditSuffix_R = nullptr;
    QLineEdit *LabeledEditSuffix_M = nullptr;
    QLineEdit *LabeledEditSuffix_Stereo = nullptr;
    // "Status"
    TCollapsibleBox *GroupBoxStatus = nullptr;
    QLabel *LabelStatus = nullptr;
    QProgressBar *ProgressBarStatus = nullptr;
    // "Batch Job"
    TCollapsibleBox *GroupBoxRun = nullptr;
    QPushButton *ButtonRun = nullptr; // "Execute Batch Job"
    QPushButton *ButtonNew = nullptr; // "Remove all items from both lists"

private:
    TCollapsibleBox *makeBox(const QString &name, const QString &title);
    void buildHints();
    void buildSorting();
    void buildStereoDisplay();
    void buildDefaults();
    void buildExif();
    void buildNumbering();
    void buildDirectories();
    void buildSuffix();
    void buildStatus();
    void buildRun();

    int m_preferredWidth = 257;
};
