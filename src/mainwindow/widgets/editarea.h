#pragma once
// TEditArea: the edit area between the preview and the lists (PanelEdit). A page control
// with its tabs on the left side holds "Ordering" (the list actions and searches of each
// list, and "Combinations", "Search unassigned", "Connect" between them), "View" (invert,
// rotation and mirror of each side) and "Text" (the rename frame); below it the selection
// bar. Only controls live here; the main window connects them.
#include <QWidget>

class QCheckBox;
class QFrame;
class QGroupBox;
class QPushButton;
class QTabWidget;
class QToolButton;
class TFrameEditText;
class TRadioGroup;

// The controls of one side (left or right list).
struct TSideEditControls
{
    QGroupBox *AttributesBox = nullptr;    // "Left View Attributes" / "Right View Attributes"
    QPushButton *Swap = nullptr;           // "Swap L / R" / "Swap R / L"
    QPushButton *MarkPair = nullptr;       // "Mark Stereo Pair"
    QPushButton *Split = nullptr;          // "Split into Monoscopic"
    QPushButton *MarkMono = nullptr;       // "Mark as Monoscopic"
    QPushButton *MarkUnassigned = nullptr; // "Mark as Unassigned"
    QPushButton *Remove = nullptr;         // "Remove from list"
    QCheckBox *NoBatch = nullptr;          // "Exclude from Batch Job"
    QGroupBox *SearchBox = nullptr;        // " Search for... "
    QToolButton *GoMono = nullptr;
    QToolButton *GoPair = nullptr;
    QToolButton *GoGap = nullptr;
    QToolButton *GoUnassigned = nullptr;
    QCheckBox *FromBeginning = nullptr;
    QCheckBox *Backward = nullptr;
    QGroupBox *ViewBox = nullptr; // "Left View" / "Right View"
    QCheckBox *Invert = nullptr;
    TRadioGroup *Rotation = nullptr; // "Rotation (Clockwise)"
    QCheckBox *Mirror = nullptr;

    // The list action buttons, each carrying its action code in the property "tag".
    QList<QPushButton *> actionButtons() const;
    // The " Search for... " buttons, each carrying the attribute it looks for as "tag".
    QList<QToolButton *> searchButtons() const;
};

class TEditArea : public QWidget
{
    Q_OBJECT

public:
    explicit TEditArea(QWidget *parent = nullptr);

    TSideEditControls Left;
    TSideEditControls Right;

    QTabWidget *PageControl = nullptr;
    QWidget *TabSheetTyp = nullptr;           // "Ordering"
    QWidget *TabSheetEditAnsicht = nullptr;   // "View"
    QWidget *TabSheetText = nullptr;          // "Text"
    TFrameEditText *FrameEditText1 = nullptr; // the rename frame

    QPushButton *ButtonKombi = nullptr;            // "Combinations"
    QPushButton *ButtonSearchUnassigned = nullptr; // "Search unassigned"
    QPushButton *PanelLink = nullptr;              // the "Connect" / "Split" toggle

    // The selection bar.
    QWidget *PanelMitteEdit = nullptr;
    QList<QPushButton *> SelectionButtons; // "Select all" ... "Select Gaps", tags 0..6
    QCheckBox *CheckBoxSynchron = nullptr; // "Select counterpart permanently"

    // Shows the toggle as "Split" (down) or "Connect" (up).
    void setLinkMode(bool split);

private:
    QWidget *buildOrderingTab();
    QWidget *buildViewTab();
    QWidget *buildSelectionBar();
    QGroupBox *buildAttributesBox(TSideEditControls &side, bool left, QWidget *parent);
    QGroupBox *buildViewBox(TSideEditControls &side, bool left, QWidget *parent);
};
