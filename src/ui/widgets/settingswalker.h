#pragma once
// The settings walker: saves the state of every control of a window into the settings
// file and restores it, without code for single controls. A control added to a window
// later is saved as soon as it has a name.
//
// Sections. Every saved component has its own section, named by its owner path: the names
// of its owners from the window down to the component, joined by "_". The owners are the
// window and the embedded frames inside it (a widget whose name starts with "Frame", or
// one whose property "settingsOwner" is true; "settingsOwner" false makes a "Frame..."
// widget a plain container). Panels, group boxes, scroll areas and the like are no owners:
// a check box on a panel of the main window lies in "FormMain_CheckBoxForceDir", an edit
// inside the frame FrameEditText1 in "FormMain_FrameEditText1_EditMaske". A component
// with an empty name (or a name Qt gave it, "qt_...") is not saved. Windows inside the
// window (dialogs that it parents) are walked on their own, not as part of it.
//
// Keys by kind of component (a component of several kinds gets all their keys):
//   one-line edit, spin edit, multi-line or rich edit  "Text"    the text in double quotes
//   check box, radio button, menu item (an action      "Checked" "1" or "0"
//     shown in a menu)
//   radio group (properties "items" and "itemIndex"),  "Items"   the item list in hex
//     combo box                                        "ItemIndex" the index, -1 for none
//   find dialog (property "findText")                  "FindText" in double quotes
//   replace dialog (also property "replaceText")       "ReplaceText" in double quotes
//   splitter                                           "Sizes"   the pane sizes, "300,900"
// Line breaks and backslashes of a multi-line text are written as "\n" and "\\".
//
// Walk. Both directions visit a component's children first, recursively, in the order in
// which they were created, then the component itself; the window comes last.
//
// Loading reads each key with the control's current value as default, so a missing key
// leaves the control as it is. Setting a text or a checked state runs the control's
// handlers as a change by the user would (an enabled button is clicked), in the order of
// the walk; a new item list replaces the old one quietly, and then the index is selected.
#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;
class TIniFile;

// Name of the property a splitter gets when its sizes were restored (true); a window that
// sets default sizes when first shown leaves such a splitter alone.
inline constexpr char SettingsRestoredProperty[] = "settingsRestored";
// Name of the property that holds the restored sizes (a QList<int>).
inline constexpr char SettingsSizesProperty[] = "settingsSizes";
class QSplitter;
// Shares the splitter's present length among its panes in the proportions of the restored
// sizes; false (and nothing changes) when no sizes were restored. A window calls it once it
// has its size on the screen, so that sizes saved on a larger screen still leave every
// pane its share instead of squeezing the panes that stretch.
bool ApplyRestoredSplitterSizes(QSplitter *splitter);

// The section of a component ("FormMain_FrameEditText1_EditMaske"); empty when the
// component or one of its owners has no name, or when it lies in no window.
QString SettingsSection(const QObject *component);

// Saves the settings of the window and everything it owns.
void SaveComponentSettings(QWidget *window, TIniFile &ini);
// The sections that saving the window writes, in walk order. A section listed twice names
// two components that would overwrite each other's settings (saving warns about it).
QStringList SavedSettingsSections(QWidget *window);
// Loads the settings of the window and everything it owns.
void LoadComponentSettings(QWidget *window, const TIniFile &ini);

// The program's windows whose controls are its settings, in the order in which they are
// saved and loaded: those of the windows named "FormMain", "FormAssistent2" and
// "FormSearchReplace" that exist.
QList<QWidget *> SettingsWindows();

// If the file at path exists, loads the settings of the windows from it, in their order,
// and returns true. Without the file nothing changes.
bool LoadProgramSettings(const QString &path, const QList<QWidget *> &windows);
// Writes the settings file: the old file's content with the "Copyright" section (the
// program file's name and the copyright line) and the settings of the windows in their
// order. The folder is created when missing. False when the file could not be written
// (the old file then stays as it was).
bool SaveProgramSettings(const QString &path, const QList<QWidget *> &windows,
                         const QString &programFileName, const QString &copyright);
