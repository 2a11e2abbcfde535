#include "naming/widgets/frameedittext.h"

#include "naming/widgets/formeditrenmask.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <algorithm>

// ---- TSchemaComboBox ----

void TSchemaComboBox::showPopup()
{
    Q_EMIT aboutToShowPopup();
    QComboBox::showPopup();
}

// ---- TMaskEdit ----

void TMaskEdit::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    m_pressCaret = hasSelectedText() ? selectionStart() : cursorPosition();
}

void TMaskEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QLineEdit::mouseDoubleClickEvent(event);
        return;
    }
    // The caret of the press that began the double click decides the piece.
    const TMaskPiece piece = MaskPieceAt(text(), m_pressCaret);
    setSelection(piece.Start, piece.Length);
    event->accept();
}

// ---- TFrameEditText ----

namespace {

// Blocks a counter for its lifetime, also when an error interrupts the work.
class CountScope
{
public:
    explicit CountScope(int &count) : m_count(count) { ++m_count; }
    ~CountScope() { --m_count; }
    CountScope(const CountScope &) = delete;
    CountScope &operator=(const CountScope &) = delete;

private:
    int &m_count;
};

QPushButton *namedButton(const QString &caption, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TFrameEditText::TFrameEditText(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("FrameEditText1"));
    buildControls();
    setSchemas(InitialMaskSchemas());

    connect(EditMaske, &QLineEdit::textChanged, this, &TFrameEditText::maskEdited);
    connect(ComboBoxNamenMaske, &QComboBox::activated, this, &TFrameEditText::schemaChosen);
    connect(ComboBoxNamenMaske, &TSchemaComboBox::aboutToShowPopup, this,
            &TFrameEditText::pruneSchemas);
    connect(ComboBoxNamenMaske, &QComboBox::currentIndexChanged, this,
            &TFrameEditText::updateClearButton);
    connect(ButtonSchemaEdit, &QPushButton::clicked, this, &TFrameEditText::openPalette);
    connect(ButtonSchemaNeu, &QPushButton::clicked, this, &TFrameEditText::newSchema);
    connect(ButtonSchemaDel, &QPushButton::clicked, this, &TFrameEditText::clearSchema);
    connect(ButtonSetzeBezeichnungen, &QPushButton::clicked, this, &TFrameEditText::fetchTexts);
    // The preview follows the text fields as it follows the mask.
    for (int k = 0; k < 3; ++k) {
        connect(ComboBoxRenameModus[size_t(k)], &QComboBox::currentIndexChanged, this,
                &TFrameEditText::refreshPreview);
        connect(LabeledEditBez[size_t(k)], &QLineEdit::textChanged, this,
                &TFrameEditText::refreshPreview);
    }
}

void TFrameEditText::buildControls()
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    // Mask row: caption, schema list with the mask edit over it, "Edit", "New", "Clear".
    Label2 = new QLabel(QStringLiteral("File name pattern"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    ComboBoxNamenMaske = new TSchemaComboBox(this);
    ComboBoxNamenMaske->setObjectName(QStringLiteral("ComboBoxNamenMaske"));
    ComboBoxNamenMaske->setEditable(false);
    ComboBoxNamenMaske->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBoxNamenMaske->setMinimumContentsLength(20);
    ComboBoxNamenMaske->installEventFilter(this);
    // The edit belongs to the frame (as the settings know it) and lies over the list.
    EditMaske = new TMaskEdit(this);
    EditMaske->setObjectName(QStringLiteral("EditMaske"));
    EditMaske->setFrame(false);
    ButtonSchemaEdit = namedButton(QStringLiteral("Edit"), "ButtonSchemaEdit", this);
    ButtonSchemaNeu = namedButton(QStringLiteral("New"), "ButtonSchemaNeu", this);
    ButtonSchemaDel = namedButton(QStringLiteral("Clear"), "ButtonSchemaDel", this);
    auto *maskRow = new QHBoxLayout;
    maskRow->setSpacing(4);
    maskRow->addWidget(ComboBoxNamenMaske, 1);
    maskRow->addWidget(ButtonSchemaEdit);
    maskRow->addWidget(ButtonSchemaNeu);
    maskRow->addWidget(ButtonSchemaDel);
    grid->addWidget(Label2, 0, 0);
    grid->addLayout(maskRow, 0, 1, 1, 3);

    // Preview: grey, read-only.
    auto *previewLabel = new QLabel(QStringLiteral("Preview:"), this);
    LabeledEditVorschau = new QLineEdit(this);
    LabeledEditVorschau->setObjectName(QStringLiteral("LabeledEditVorschau"));
    LabeledEditVorschau->setReadOnly(true);
    LabeledEditVorschau->setFocusPolicy(Qt::ClickFocus);
    QPalette grey = LabeledEditVorschau->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    LabeledEditVorschau->setPalette(grey);
    previewLabel->setBuddy(LabeledEditVorschau);
    grid->addWidget(previewLabel, 1, 0);
    grid->addWidget(LabeledEditVorschau, 1, 1, 1, 3);

    // Three text fields: label, edit and mode list each.
    const QStringList modes1{QStringLiteral("Don't modify"), QStringLiteral("Delete"),
                             QStringLiteral("Replace")};
    const QStringList modes23{QStringLiteral("Don't modify"), QStringLiteral("Delete"),
                              QStringLiteral("replace")};
    for (int k = 0; k < 3; ++k) {
        auto *column = new QGridLayout;
        column->setSpacing(2);
        auto *label = new QLabel(QStringLiteral("Text option %1").arg(k + 1), this);
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("LabeledEditBez%1").arg(k + 1));
        label->setBuddy(edit);
        auto *mode = new QComboBox(this);
        mode->setObjectName(QStringLiteral("ComboBoxRenameModus%1").arg(k + 1));
        mode->addItems(k == 0 ? modes1 : modes23);
        mode->setCurrentIndex(rtmDontModify);
        column->addWidget(label, 0, 0, 1, 2);
        column->addWidget(edit, 1, 0);
        column->addWidget(mode, 1, 1);
        column->setColumnStretch(0, 1);
        grid->addLayout(column, 2, 1 + k);
        LabeledEditBez[size_t(k)] = edit;
        ComboBoxRenameModus[size_t(k)] = mode;
    }

    // Buttons for the selected files.
    Label5 = new QLabel(QStringLiteral("Selected files to"), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    BitBtnRename = namedButton(QStringLiteral("Renaming"), "BitBtnRename", this);
    BitBtnRename->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ButtonSetzeBezeichnungen =
        namedButton(QStringLiteral("From selected entry..."), "ButtonSetzeBezeichnungen", this);
    ButtonSetzeBezeichnungen->setToolTip(QStringLiteral("Shows how the filename will look like"));
    ButtonReplace = namedButton(QStringLiteral("Search and Replace"), "ButtonReplace", this);
    grid->addWidget(Label5, 3, 0);
    grid->addWidget(BitBtnRename, 3, 1);
    grid->addWidget(ButtonSetzeBezeichnungen, 3, 2);
    grid->addWidget(ButtonReplace, 3, 3);

    for (int c = 1; c <= 3; ++c)
        grid->setColumnStretch(c, 1);
    grid->setRowStretch(4, 1);
}

bool TFrameEditText::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ComboBoxNamenMaske &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
         event->type() == QEvent::Show || event->type() == QEvent::StyleChange))
        placeMaskEdit();
    return QFrame::eventFilter(watched, event);
}

void TFrameEditText::placeMaskEdit()
{
    // The mask edit covers the text area of the drop-down list; its arrow stays visible.
    QStyleOptionComboBox option;
    option.initFrom(ComboBoxNamenMaske);
    option.editable = false;
    option.frame = true;
    const QRect field = ComboBoxNamenMaske->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, ComboBoxNamenMaske);
    EditMaske->setGeometry(field.translated(ComboBoxNamenMaske->pos()));
    EditMaske->raise();
}

void TFrameEditText::setTokenPalette(TFormEditRenMask *palette)
{
    m_palette = palette;
}

TFormEditRenMask *TFrameEditText::tokenPalette()
{
    if (!m_palette)
        m_palette = new TFormEditRenMask(this);
    return m_palette;
}

TRenameTextFields TFrameEditText::textFields() const
{
    TRenameTextFields fields;
    for (size_t k = 0; k < 3; ++k) {
        fields[k].Mode = std::max(0, ComboBoxRenameModus[k]->currentIndex());
        fields[k].New = LabeledEditBez[k]->text();
    }
    return fields;
}

QString TFrameEditText::mask() const
{
    return EditMaske->text();
}

void TFrameEditText::refreshPreview()
{
    if (!m_preview)
        return;
    const QString preview = m_preview(EditMaske->text(), textFields());
    LabeledEditVorschau->setText(preview);
    LabeledEditVorschau->setCursorPosition(0);
    LabeledEditVorschau->setToolTip(preview);
}

TMaskSchemas TFrameEditText::schemas() const
{
    TMaskSchemas s;
    for (int i = 0; i < ComboBoxNamenMaske->count(); ++i)
        s.Items << ComboBoxNamenMaske->itemText(i);
    s.Selected = ComboBoxNamenMaske->currentIndex();
    s.Mask = EditMaske->text();
    return s;
}

void TFrameEditText::setSchemas(const TMaskSchemas &s)
{
    {
        CountScope updating(m_updateCount);
        const QSignalBlocker block(ComboBoxNamenMaske);
        ComboBoxNamenMaske->clear();
        ComboBoxNamenMaske->addItems(s.Items);
        ComboBoxNamenMaske->setCurrentIndex(s.HasSelection() ? s.Selected : -1);
        if (EditMaske->text() != s.Mask)
            EditMaske->setText(s.Mask);
    }
    updateClearButton();
    refreshPreview();
}

void TFrameEditText::maskEdited(const QString &text)
{
    if (m_updateCount > 0)
        return;
    const int selected = ComboBoxNamenMaske->currentIndex();
    if (selected >= 0) {
        const QSignalBlocker block(ComboBoxNamenMaske);
        ComboBoxNamenMaske->setItemText(selected, SchemaItem(text));
    }
    refreshPreview();
}

void TFrameEditText::schemaChosen(int index)
{
    TMaskSchemas s = schemas();
    ChooseSchema(s, index);
    ComboBoxNamenMaske->setCurrentIndex(s.Selected);
    // The mask follows the chosen item; the item itself follows the mask as with typing.
    EditMaske->setText(s.Mask);
    updateClearButton();
}

void TFrameEditText::newSchema()
{
    TMaskSchemas s = schemas();
    if (NewSchema(s)) {
        setSchemas(s);
        EditMaske->setFocus();
    }
    openPalette();
}

void TFrameEditText::clearSchema()
{
    TMaskSchemas s = schemas();
    ClearSchema(s);
    setSchemas(s);
    EditMaske->setFocus();
}

void TFrameEditText::pruneSchemas()
{
    TMaskSchemas s = schemas();
    const int before = int(s.Items.size());
    PruneSchemas(s);
    if (int(s.Items.size()) != before || s.Selected != ComboBoxNamenMaske->currentIndex())
        setSchemas(s);
}

void TFrameEditText::openPalette()
{
    TFormEditRenMask *palette = tokenPalette();
    palette->setTarget(this);
    palette->show();
    // The palette's top right corner goes to the bottom right corner of "Clear" (placed
    // once shown, when the window frame's size is known).
    const QPoint corner =
        ButtonSchemaDel->mapToGlobal(QPoint(ButtonSchemaDel->width(), ButtonSchemaDel->height()));
    palette->move(corner.x() - palette->frameGeometry().width(), corner.y());
    palette->raise();
    updateClearButton();
    EditMaske->setFocus();
}

void TFrameEditText::insertText(const QString &text)
{
    // The text replaces the selection (or goes to the caret); the edit's undo keeps it.
    EditMaske->insert(text);
    EditMaske->setFocus();
}

void TFrameEditText::fetchTexts()
{
    TRenameTextFields fields = textFields();
    for (size_t k = 0; k < 3; ++k)
        fields[k].Current = LabeledEditBez[k]->text();
    if (m_fetch)
        m_fetch(fields);
    for (size_t k = 0; k < 3; ++k)
        LabeledEditBez[k]->setText(fields[k].Current);
}

void TFrameEditText::updateClearButton()
{
    ButtonSchemaDel->setEnabled(ComboBoxNamenMaske->currentIndex() >= 0);
}
