#pragma once
// TFrameEditText: the mask editor on the main window's "Text" tab. It keeps the saved
// masks (schemas) in a drop-down list with the mask edit laid over its text area, shows a
// live preview of the new name, holds the three text fields with their modes, and carries
// the buttons "Renaming", "From selected entry..." and "Search and Replace".
//
// The frame knows no image entries: its owner gives it a preview callback and a callback
// that fetches the texts of the selected entry, and handles "Renaming" and "Search and
// Replace" (BitBtnRename, ButtonReplace). The schema list lives in ComboBoxNamenMaske and
// the mask in EditMaske, so that saving and restoring those controls saves and restores
// the schemas; schemas() and setSchemas() give the same state as one value.
#include "naming/maskeditor.h"
#include "naming/renamemask.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPointer>

#include <array>
#include <functional>

class QLabel;
class QPushButton;
class TFormEditRenMask;

// The drop-down list of schemas; tells the frame before it drops down.
class TSchemaComboBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
Q_SIGNALS:
    void aboutToShowPopup();
};

// The mask edit: remembers the caret of the last mouse press, and a double
// click selects the token (or the text between two tokens) around the caret.
class TMaskEdit : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    int m_pressCaret = 0;
};

class TFrameEditText : public QFrame
{
    Q_OBJECT

public:
    // Preview: the mask and the text field records (Current empty); returns the preview.
    using PreviewCallback =
        std::function<QString(const QString &mask, const TRenameTextFields &fields)>;
    // Fetch: the records with Current set to the texts of the three edits; the owner may
    // overwrite the Current texts, which the edits then show.
    using FetchCallback = std::function<void(TRenameTextFields &fields)>;

    explicit TFrameEditText(QWidget *parent = nullptr);

    void setPreviewCallback(PreviewCallback callback) { m_preview = std::move(callback); }
    void setFetchCallback(FetchCallback callback) { m_fetch = std::move(callback); }
    // The token palette that "Edit" opens; without one the frame makes its own.
    void setTokenPalette(TFormEditRenMask *palette);
    TFormEditRenMask *tokenPalette();

    // For field k: Mode = item index of its mode list, New = text of its edit.
    TRenameTextFields textFields() const;
    // Computes the preview for the current mask and shows it (also as tooltip).
    void refreshPreview();
    QString mask() const;

    // The schema list, its selected index and the mask as one value, and back.
    TMaskSchemas schemas() const;
    void setSchemas(const TMaskSchemas &schemas);

    // Replaces the selection of the mask edit (or inserts at its caret) with text and
    // gives the edit the focus. The palette's buttons call this.
    void insertText(const QString &text);

    // "Edit": places the palette below the right edge of "Clear", makes this frame its
    // target and shows it.
    void openPalette();

    // Controls (names as the settings file knows them).
    QLabel *Label2 = nullptr;
    TSchemaComboBox *ComboBoxNamenMaske = nullptr;
    TMaskEdit *EditMaske = nullptr;
    QPushButton *ButtonSchemaEdit = nullptr;
    QPushButton *ButtonSchemaNeu = nullptr;
    QPushButton *ButtonSchemaDel = nullptr;
    QLineEdit *LabeledEditVorschau = nullptr;
    std::array<QComboBox *, 3> ComboBoxRenameModus{};
    std::array<QLineEdit *, 3> LabeledEditBez{};
    QLabel *Label5 = nullptr;
    QPushButton *BitBtnRename = nullptr;
    QPushButton *ButtonSetzeBezeichnungen = nullptr;
    QPushButton *ButtonReplace = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void placeMaskEdit();
    void maskEdited(const QString &text);
    void schemaChosen(int index);
    void newSchema();
    void clearSchema();
    void pruneSchemas();
    void fetchTexts();
    void updateClearButton();

    int m_updateCount = 0; // while above 0, mask changes leave the schema list alone
    PreviewCallback m_preview;
    FetchCallback m_fetch;
    QPointer<TFormEditRenMask> m_palette;
};
