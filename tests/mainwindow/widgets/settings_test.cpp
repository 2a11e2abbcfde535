// The main window's controls in the settings file: what a first start writes, a round trip
// with every control changed, and the counter range restored in its order.
#include "entries/namingsettings.h"
#include "mainwindow/widgets/formmain.h"
#include "mainwindow/widgets/optionstack.h"
#include "ui/inifile.h"
#include "ui/widgets/settingswalker.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

class SettingsFixture : public ::testing::Test
{
protected:
    SettingsFixture()
    {
        ResetNamingSettings();
        m_savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        path = SettingsFilePath(QString());
    }
    ~SettingsFixture() override
    {
        qputenv("XDG_CONFIG_HOME", m_savedConfig);
        ResetNamingSettings();
    }

    static bool save(const QString &file, TFormMain &form)
    {
        return SaveProgramSettings(file, {&form}, QStringLiteral("duomira"),
                                   QStringLiteral("Copyright line"));
    }
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

// Gives every saved control of the window another value than its design default.
void changeEveryControl(QWidget *window)
{
    for (QObject *o : window->findChildren<QObject *>()) {
        if (SettingsSection(o).isEmpty())
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(o))
            edit->setText(edit->text() + QStringLiteral(" changed "));
        else if (auto *spin = qobject_cast<QSpinBox *>(o))
            spin->setValue(spin->value() + 7);
        else if (auto *button = qobject_cast<QAbstractButton *>(o); button && button->isCheckable())
            button->setChecked(!button->isChecked());
        else if (auto *combo = qobject_cast<QComboBox *>(o); combo && combo->count() > 1)
            combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        else if (auto *action = qobject_cast<QAction *>(o); action && action->isCheckable())
            action->setChecked(!action->isChecked());
        else if (o->metaObject()->indexOfProperty("itemIndex") >= 0) {
            const int count = int(o->property("items").toStringList().size());
            if (count > 1)
                o->setProperty("itemIndex", (o->property("itemIndex").toInt() + 1) % count);
        }
    }
}

} // namespace

TEST_F(SettingsFixture, FirstStartWritesTheDesignDefaultsAndEveryChangeSurvivesARestart)
{
    {
        TFormMain form;
        EXPECT_FALSE(LoadProgramSettings(path, {&form}));
        EXPECT_EQ(form.optionStack()->SpinEditStartNr->value(), 1);
        ASSERT_TRUE(save(path, form));
    }
    const QByteArray first = bytesOf(path);
    for (const char *part : {
             "[Copyright]\nProgramm=\"duomira\"\nHersteller=\"Copyright line\"\n",
             "[FormMain_SpinEditStartNr]\nText=\"1\"\n",
             "[FormMain_LabeledEditSuffix_M]\nText=\"_M\"\n",
         })
        EXPECT_TRUE(first.contains(part)) << part;

    // Every control changed, saved, and restored into a new window saves the same again.
    QByteArray changed;
    {
        TFormMain form;
        changeEveryControl(&form);
        ASSERT_TRUE(save(path, form));
        changed = bytesOf(path);
        EXPECT_NE(changed, first);
    }
    TFormMain form;
    ASSERT_TRUE(LoadProgramSettings(path, {&form}));
    const QString copy = config.filePath(QStringLiteral("copy.INI"));
    ASSERT_TRUE(save(copy, form));
    EXPECT_EQ(bytesOf(copy), changed);
    EXPECT_EQ(NamingSettings().SuffixMono, QStringLiteral("_M changed "));
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
        EXPECT_EQ(NamingSettings().StartNumber, c.startNumber) << c.lastNumber;
        EXPECT_EQ(form.optionStack()->SpinEditStartNr->value(), c.startNumber);
        EXPECT_EQ(form.optionStack()->SpinEditEndNr->value(), c.endField);
    }
}
