#include "ui/inifile.h"
#include "ui/widgets/radiogroup.h"
#include "ui/widgets/settingswalker.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace {

template <class W> W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A window with one control of every kind: some on a panel, some inside a frame, one
// without a name, and a dialog that the window parents. Every change handler writes the
// control's name into the log.
struct TestWindow
{
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLineEdit *edit;
    QSpinBox *spin;
    QCheckBox *check;
    QRadioButton *radioA, *radioB;
    TRadioGroup *group;
    QComboBox *combo;
    QPlainTextEdit *history;
    QSplitter *splitter;
    QLineEdit *mask;
    QAction *action;
    QLineEdit *unnamed;
    QLineEdit *dialogEdit;
    QStringList log;

    TestWindow()
    {
        QWidget *w = named(window.get(), "FormTest");
        auto *menuBar = new QMenuBar(w);
        QMenu *menu = menuBar->addMenu(QStringLiteral("View"));
        action = named(new QAction(QStringLiteral("Synchron"), w), "ActionSynchron");
        action->setCheckable(true);
        menu->addAction(action);
        named(new QAction(QStringLiteral("Not in a menu"), w), "ActionHidden")->setCheckable(true);

        QWidget *panel = named(new QWidget(w), "Panel1");
        spin = named(new QSpinBox(panel), "SpinEditStartNr");
        spin->setRange(-1000, 1000);
        edit = named(new QLineEdit(panel), "LabeledEditSuffix_L");
        check = named(new QCheckBox(panel), "CheckBoxForceDir");
        radioA = named(new QRadioButton(panel), "RadioButtonA");
        radioB = named(new QRadioButton(panel), "RadioButtonB");
        radioA->setChecked(true);
        group = named(new TRadioGroup(QStringLiteral("Rotation"),
                                      {QStringLiteral("0"), QStringLiteral("90")}, 1, panel),
                      "RadioGroupDrehung_L");
        unnamed = new QLineEdit(panel);
        history = named(new QPlainTextEdit(w), "RichEditVerlauf");
        splitter = named(new QSplitter(w), "Splitter1");
        splitter->addWidget(new QWidget);
        splitter->addWidget(new QWidget);
        QWidget *frame = named(new QWidget(w), "FrameEditText1");
        combo = named(new QComboBox(frame), "ComboBoxNamenMaske");
        combo->addItems({QStringLiteral("A"), QStringLiteral("B")});
        mask = named(new QLineEdit(frame), "EditMaske");
        auto *dialog = named(new QDialog(w), "FormChild");
        dialogEdit = named(new QLineEdit(dialog), "EditInDialog");

        const auto record = [this](QObject *o) { log << o->objectName(); };
        QObject::connect(edit, &QLineEdit::textChanged, w, [this, record] { record(edit); });
        QObject::connect(spin, &QSpinBox::valueChanged, w, [this, record] { record(spin); });
        QObject::connect(check, &QCheckBox::clicked, w, [this, record] { record(check); });
        QObject::connect(radioB, &QRadioButton::clicked, w, [this, record] { record(radioB); });
        QObject::connect(group, &TRadioGroup::itemIndexChanged, w,
                         [this, record] { record(group); });
        QObject::connect(combo, &QComboBox::currentIndexChanged, w,
                         [this, record] { record(combo); });
        QObject::connect(mask, &QLineEdit::textChanged, w, [this, record] { record(mask); });
        QObject::connect(action, &QAction::triggered, w, [this, record] { record(action); });
    }

    void changeEverything()
    {
        edit->setText(QStringLiteral(" _left "));
        spin->setValue(-17);
        check->setChecked(true);
        radioB->setChecked(true);
        group->setItems(
            {QStringLiteral("0\u00B0"), QStringLiteral("90\u00B0"), QStringLiteral("180\u00B0")});
        group->setItemIndex(2);
        combo->clear();
        combo->addItems({QStringLiteral(" Pict_###"), QStringLiteral("\u00C4rger")});
        combo->setCurrentIndex(1);
        history->setPlainText(QStringLiteral("line 1\nC:\\path\\n\n[Evil]=1"));
        splitter->setSizes({120, 300});
        mask->setText(QStringLiteral("Pict_### "));
        action->setChecked(true);
        unnamed->setText(QStringLiteral("not saved"));
        dialogEdit->setText(QStringLiteral("not saved"));
    }
};

} // namespace

TEST(SettingsWalker, SavesEveryKindUnderItsOwnerPathInWalkOrder)
{
    TestWindow t;
    t.changeEverything();
    TIniFile ini;
    SaveComponentSettings(t.window.get(), ini);

    // Children before their owner, in creation order; panels are no owners, frames are;
    // the unnamed edit, the action outside any menu and the dialog's edit are not saved.
    EXPECT_EQ(ini.Sections(), QStringList({
                                  QStringLiteral("FormTest_ActionSynchron"),
                                  QStringLiteral("FormTest_SpinEditStartNr"),
                                  QStringLiteral("FormTest_LabeledEditSuffix_L"),
                                  QStringLiteral("FormTest_CheckBoxForceDir"),
                                  QStringLiteral("FormTest_RadioButtonA"),
                                  QStringLiteral("FormTest_RadioButtonB"),
                                  QStringLiteral("FormTest_RadioGroupDrehung_L"),
                                  QStringLiteral("FormTest_RichEditVerlauf"),
                                  QStringLiteral("FormTest_Splitter1"),
                                  QStringLiteral("FormTest_FrameEditText1_ComboBoxNamenMaske"),
                                  QStringLiteral("FormTest_FrameEditText1_EditMaske"),
                              }));
    const QByteArray bytes = ini.ToBytes();
    for (const char *line : {
             "[FormTest_ActionSynchron]\nChecked=1\n",
             "[FormTest_SpinEditStartNr]\nText=\"-17\"\n",
             "[FormTest_LabeledEditSuffix_L]\nText=\" _left \"\n",
             "[FormTest_RadioButtonA]\nChecked=0\n",
             "[FormTest_RadioGroupDrehung_L]\nItems=30C2B00D0A3930C2B00D0A313830C2B00D0A\n"
             "ItemIndex=2\n",
             "[FormTest_RichEditVerlauf]\nText=\"line 1\\nC:\\\\path\\\\n\\n[Evil]=1\"\n",
             "[FormTest_FrameEditText1_ComboBoxNamenMaske]\n"
             "Items=20506963745F2323230D0AC384726765720D0A\nItemIndex=1\n",
         })
        EXPECT_TRUE(bytes.contains(line)) << line << "\nin\n" << bytes.toStdString();
}

TEST(SettingsWalker, LoadingRestoresEveryControlAndRunsItsHandlersInWalkOrder)
{
    TestWindow saved;
    saved.changeEverything();
    TIniFile ini;
    SaveComponentSettings(saved.window.get(), ini);
    // The splitter's sizes as a shown window would have them.
    ini.WriteString(QStringLiteral("FormTest_Splitter1"), QStringLiteral("Sizes"),
                    QStringLiteral("120,300"));

    TestWindow t;
    LoadComponentSettings(t.window.get(), ini);
    EXPECT_EQ(t.log, QStringList({
                         QStringLiteral("ActionSynchron"),
                         QStringLiteral("SpinEditStartNr"),
                         QStringLiteral("LabeledEditSuffix_L"),
                         QStringLiteral("CheckBoxForceDir"),
                         QStringLiteral("RadioButtonB"),
                         QStringLiteral("RadioGroupDrehung_L"),
                         QStringLiteral("ComboBoxNamenMaske"),
                         QStringLiteral("EditMaske"),
                     }));
    EXPECT_EQ(t.edit->text(), QStringLiteral(" _left "));
    EXPECT_EQ(t.spin->value(), -17);
    EXPECT_TRUE(t.check->isChecked());
    EXPECT_TRUE(t.radioB->isChecked());
    EXPECT_FALSE(t.radioA->isChecked());
    EXPECT_EQ(t.group->items(), saved.group->items());
    EXPECT_EQ(t.group->itemIndex(), 2);
    EXPECT_EQ(t.combo->itemText(0), QStringLiteral(" Pict_###"));
    EXPECT_EQ(t.combo->count(), 2);
    EXPECT_EQ(t.combo->currentIndex(), 1);
    EXPECT_EQ(t.history->toPlainText(), saved.history->toPlainText());
    EXPECT_EQ(t.mask->text(), QStringLiteral("Pict_### "));
    EXPECT_TRUE(t.action->isChecked());
    EXPECT_TRUE(t.unnamed->text().isEmpty());
    EXPECT_TRUE(t.dialogEdit->text().isEmpty());
    EXPECT_TRUE(t.splitter->property(SettingsRestoredProperty).toBool());

    // Saving again gives the same file.
    TIniFile again;
    SaveComponentSettings(t.window.get(), again);
    again.WriteString(QStringLiteral("FormTest_Splitter1"), QStringLiteral("Sizes"),
                      QStringLiteral("120,300"));
    EXPECT_EQ(again.ToBytes(), ini.ToBytes());
}

TEST(SettingsWalker, MissingOrDamagedValuesLeaveTheControlsAsTheyAre)
{
    struct Case
    {
        const char *text;
        QStringList comboItems;
        int comboIndex;
        int spin;
        int group;
    };
    const QStringList ab{QStringLiteral("A"), QStringLiteral("B")};
    const Case cases[] = {
        {"", ab, 0, 0, -1},
        {"[FormTest_FrameEditText1_ComboBoxNamenMaske]\nItems=\n", {}, -1, 0, -1},
        {"[FormTest_FrameEditText1_ComboBoxNamenMaske]\nItems=410D0\nItemIndex=1\n", ab, 1, 0, -1},
        {"[FormTest_FrameEditText1_ComboBoxNamenMaske]\nItemIndex=7\n", ab, 0, 0, -1},
        {"[FormTest_SpinEditStartNr]\nText=\"12abc\"\n", ab, 0, 0, -1},
        {"[FormTest_SpinEditStartNr]\nText=\"99999999999\"\n", ab, 0, 0, -1},
        {"[FormTest_SpinEditStartNr]\nText=\"5000\"\n", ab, 0, 1000, -1},
        {"[FormTest_RadioGroupDrehung_L]\nItemIndex=2\n", ab, 0, 0, -1},
        {"[FormTest_RadioGroupDrehung_L]\nItemIndex=1\n", ab, 0, 0, 1},
        {"[FormTest_Splitter1]\nSizes=1,2,3\n", ab, 0, 0, -1},
        {"[FormTest_Splitter1]\nSizes=-5,2000000000\n", ab, 0, 0, -1},
    };
    for (const Case &c : cases) {
        TestWindow t;
        LoadComponentSettings(t.window.get(), TIniFile::FromBytes(c.text));
        QStringList items;
        for (int i = 0; i < t.combo->count(); ++i)
            items << t.combo->itemText(i);
        EXPECT_EQ(items, c.comboItems) << c.text;
        EXPECT_EQ(t.combo->currentIndex(), c.comboIndex) << c.text;
        EXPECT_EQ(t.spin->value(), c.spin) << c.text;
        EXPECT_EQ(t.group->itemIndex(), c.group) << c.text;
        EXPECT_FALSE(t.splitter->property(SettingsRestoredProperty).toBool()) << c.text;
        EXPECT_TRUE(t.radioA->isChecked()) << c.text;
    }
}

TEST(SettingsWalker, AnyNonZeroIntegerIsChecked)
{
    // Check box, radio button and menu item read "Checked" as an integer: any value but 0
    // checks them, 0 unchecks them, a value that is no integer leaves them as they are.
    const struct
    {
        const char *value;
        bool checked;
    } cases[] = {{"1", true}, {"2", true}, {"-1", true}, {"255", true}, {"0", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        const QByteArray text = QByteArray("[FormTest_CheckBoxForceDir]\nChecked=") + c.value +
                                "\n[FormTest_RadioButtonB]\nChecked=" + c.value +
                                "\n[FormTest_ActionSynchron]\nChecked=" + c.value + "\n";
        TestWindow t;
        LoadComponentSettings(t.window.get(), TIniFile::FromBytes(text));
        EXPECT_EQ(t.check->isChecked(), c.checked);
        EXPECT_EQ(t.radioB->isChecked(), c.checked);
        EXPECT_EQ(t.action->isChecked(), c.checked);
    }
    TestWindow t;
    t.check->setChecked(true);
    LoadComponentSettings(t.window.get(),
                          TIniFile::FromBytes("[FormTest_CheckBoxForceDir]\nChecked=yes\n"));
    EXPECT_TRUE(t.check->isChecked());
}

TEST(SettingsWalker, RestoredSplitterSizesShareThePresentLengthInTheirProportions)
{
    TestWindow t;
    // Saved on a wide screen; the splitter is a third as long now, and only its first pane
    // stretches (as the main window's preview does).
    t.splitter->setStretchFactor(0, 1);
    t.splitter->setStretchFactor(1, 0);
    LoadComponentSettings(t.window.get(),
                          TIniFile::FromBytes("[FormTest_Splitter1]\nSizes=300,900\n"));
    const int handle = t.splitter->handleWidth();
    t.splitter->resize(400 + handle, 100);
    ASSERT_TRUE(ApplyRestoredSplitterSizes(t.splitter));
    EXPECT_EQ(t.splitter->sizes(), QList<int>({100, 300}));

    TestWindow fresh;
    EXPECT_FALSE(ApplyRestoredSplitterSizes(fresh.splitter));
}
