// The settings of the program's windows in the settings file: what a first start writes, a
// round trip with every control changed, and the counter range restored in its order.
#include "batch/protokoll.h"
#include "batch/widgets/formassistent2.h"
#include "entries/namingsettings.h"
#include "mainwindow/widgets/formmain.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "naming/widgets/formsearchreplace.h"
#include "session/session.h"
#include "ui/inifile.h"
#include "ui/widgets/settingswalker.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <memory>

namespace {

class SettingsFixture : public ::testing::Test
{
protected:
    SettingsFixture()
    {
        m_savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        path = SettingsFilePath(QString());
    }
    ~SettingsFixture() override { qputenv("XDG_CONFIG_HOME", m_savedConfig); }

    static QByteArray bytesOf(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir config;
    QString path;

private:
    QByteArray m_savedConfig;
};

// Gives every saved control of the window another value than its design default; the
// multi-line texts get lines that would look like a section and a key if they broke out.
void changeEveryControl(QWidget *window)
{
    // A change may rebuild part of a window: children gone by their turn are skipped.
    QList<QPointer<QObject>> children;
    for (QObject *child : window->findChildren<QObject *>())
        children << child;
    for (const QPointer<QObject> &child : children) {
        QObject *o = child.data();
        if (!o || SettingsSection(o).isEmpty())
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(o))
            edit->setText(edit->text() + QStringLiteral(" changed "));
        else if (auto *spin = qobject_cast<QSpinBox *>(o))
            spin->setValue(spin->value() + 7);
        else if (auto *text = qobject_cast<QTextEdit *>(o))
            text->setPlainText(QStringLiteral("first line\n[FormMain_Evil]\nText=\"x\"\n"));
        else if (auto *button = qobject_cast<QAbstractButton *>(o); button && button->isCheckable())
            button->setChecked(!button->isChecked());
        else if (auto *combo = qobject_cast<QComboBox *>(o)) {
            if (combo->isEditable())
                combo->addItem(QStringLiteral(" typed once "));
            if (combo->count() > 1)
                combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        } else if (auto *action = qobject_cast<QAction *>(o); action && action->isCheckable())
            action->setChecked(!action->isChecked());
        else if (o->metaObject()->indexOfProperty("itemIndex") >= 0) {
            const int count = int(o->property("items").toStringList().size());
            if (count > 1)
                o->setProperty("itemIndex", (o->property("itemIndex").toInt() + 1) % count);
        }
    }
}

// The windows whose controls are the settings, made as the program makes them.
struct Program
{
    TFormMain main;
    TFormSearchReplace search{&main};
    TFormAssistent2 wizard{main.session().BatchContext(), &main};

    QList<QWidget *> windows() { return {&main, &wizard, &search}; }
    // The main window shown at a fixed size, so that its splitters have their lengths.
    void show()
    {
        main.resize(1200, 800);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    }
    QSplitter *lists() { return main.findChild<QSplitter *>(QStringLiteral("Splitter1")); }
};

} // namespace

TEST_F(SettingsFixture, FirstStartWritesTheDefaultsAndEveryChangeOfTheWindowsSurvivesARestart)
{
    const auto save = [](const QString &file, Program &p) {
        return SaveProgramSettings(file, p.windows(), QStringLiteral("duomira"),
                                   QStringLiteral("Copyright line"));
    };
    {
        Program p;
        EXPECT_FALSE(LoadProgramSettings(path, p.windows()));
        EXPECT_EQ(p.main.optionStack()->SpinEditStartNr->value(), 1);
        ASSERT_TRUE(save(path, p));
    }
    const QByteArray first = bytesOf(path);
    for (const char *part : {
             "[Copyright]\nProgramm=\"duomira\"\nHersteller=\"Copyright line\"\n",
             "[FormMain_SpinEditStartNr]\nText=\"1\"\n",
             "[FormMain_LabeledEditSuffix_M]\nText=\"_M\"\n",
             "[FormMain_CheckBoxTolerateDrift]\nChecked=",
         })
        EXPECT_TRUE(first.contains(part)) << part;
    // The windows one after the other, each section written once.
    const qsizetype lastMain = first.lastIndexOf("[FormMain_");
    const qsizetype firstWizard = first.indexOf("[FormAssistent2_");
    const qsizetype lastWizard = first.lastIndexOf("[FormAssistent2_");
    const qsizetype firstSearch = first.indexOf("[FormSearchReplace_");
    EXPECT_TRUE(lastMain > 0 && firstWizard > lastMain && firstSearch > lastWizard);
    EXPECT_TRUE(first.contains("[FormAssistent2_FrameAssistenDrehenDst1_RadioButtonDrehNo]"));

    // Every control changed (the list splitter moved too), saved, and restored into new
    // windows: they save the same file again.
    QByteArray changed;
    QList<int> splitterSizes;
    {
        Program p;
        for (QWidget *w : p.windows()) {
            changeEveryControl(w);
            const QStringList sections = SavedSettingsSections(w);
            EXPECT_EQ(QSet<QString>(sections.begin(), sections.end()).size(), sections.size())
                << "two controls share a section in " << w->objectName().toStdString();
        }
        p.show();
        // The preview grown as far as the splitter lets it: the lists keep a few rows.
        const int before = p.lists()->sizes().at(0);
        const int total = before + p.lists()->sizes().at(1);
        p.lists()->setSizes({total, 0});
        splitterSizes = p.lists()->sizes();
        EXPECT_GT(splitterSizes.at(0), before);
        const TImageListView *list = p.main.listView(p.main.leftList());
        EXPECT_GE(list->viewport()->height(),
                  TImageListView::MinimumRows * list->uniformRowHeight());
        ASSERT_TRUE(save(path, p));
        changed = bytesOf(path);
        EXPECT_NE(changed, first);
    }
    for (const QByteArray &line : changed.split('\n'))
        EXPECT_FALSE(line.startsWith("Text=\"x") || line.startsWith("[FormMain_Evil"))
            << line.data();

    Program p;
    ASSERT_TRUE(LoadProgramSettings(path, p.windows()));
    p.show();
    EXPECT_EQ(p.lists()->sizes(), splitterSizes);
    const QString copy = config.filePath(QStringLiteral("copy.INI"));
    ASSERT_TRUE(save(copy, p));
    EXPECT_EQ(bytesOf(copy), changed);
    EXPECT_EQ(p.main.session().Naming().SuffixMono, QStringLiteral("_M changed "));
}

TEST_F(SettingsFixture, RestoredCounterEndContinuesNumberingUnlessStartAtOneIsChosen)
{
    struct Case
    {
        bool lastNumber;
        int startNumber;
        int endField;
    };
    for (const Case c : {Case{true, 11, 10}, Case{false, 1, 0}}) {
        TIniFile ini;
        ini.WriteString(QStringLiteral("FormMain_SpinEditStartNr"), QStringLiteral("Text"),
                        QStringLiteral("\"1\""));
        ini.WriteString(QStringLiteral("FormMain_SpinEditEndNr"), QStringLiteral("Text"),
                        QStringLiteral("\"10\""));
        ini.WriteInteger(QStringLiteral("FormMain_RadioButtonResetStartNr1"),
                         QStringLiteral("Checked"), c.lastNumber ? 0 : 1);
        ini.WriteInteger(QStringLiteral("FormMain_RadioButtonResetStartNrEnd"),
                         QStringLiteral("Checked"), c.lastNumber ? 1 : 0);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        ASSERT_TRUE(ini.SaveToFile(path));

        TFormMain form;
        ASSERT_TRUE(LoadProgramSettings(path, {&form}));
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_EQ(form.session().Naming().StartNumber, c.startNumber) << c.lastNumber;
        EXPECT_EQ(form.optionStack()->SpinEditStartNr->value(), c.startNumber);
        EXPECT_EQ(form.optionStack()->SpinEditEndNr->value(), c.endField);
    }
}
