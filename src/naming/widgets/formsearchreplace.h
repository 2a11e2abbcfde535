#pragma once
// TFormSearchReplace ("Search and Replace"): the search text, the replacement, the
// options, and the buttons "Search" / "Search next", "Search and Replace", "Replace all"
// and "Exit". The window hands every button press with its options to the handler that
// the main window connects (requestFind, requestReplace) and shows the state that the
// search reports back (setSearchState).
#include "naming/searchreplace.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class TRadioGroup;

class TFormSearchReplace : public QDialog
{
    Q_OBJECT

public:
    explicit TFormSearchReplace(QWidget *parent = nullptr);

    // The options as the controls show them.
    TSearchOptions options() const;

    // Shows the state: the caption of the search button and which buttons are enabled.
    void setSearchState(TSearchState state);
    TSearchState searchState() const { return m_state; }

    QComboBox *ComboBoxSearchText = nullptr;
    QComboBox *ComboBoxReplaceText = nullptr;
    QCheckBox *CheckBoxGrossKlein = nullptr;
    QCheckBox *CheckBoxBest = nullptr;
    TRadioGroup *RadioGroupDirektion = nullptr;
    TRadioGroup *RadioGroupBereich = nullptr;
    QPushButton *ButtonSerchNext = nullptr;
    QPushButton *ButtonReplaceSearcheNext = nullptr;
    QPushButton *ButtonReplaceAll = nullptr;
    QPushButton *ButtonClose = nullptr;

Q_SIGNALS:
    // "Search" / "Search next".
    void requestFind(const TSearchOptions &options);
    // "Search and Replace" (all false) or "Replace all" (all true).
    void requestReplace(const TSearchOptions &options, bool all);
    // The search text was changed: a new search begins.
    void searchTextChanged();

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateHistories();
    // As wide and high as the captions need at the font in use, at least the design size;
    // the height stays fixed.
    void fitToCaptions();

    TSearchState m_state = TSearchState::New;
};
