#include "ui/widgets/settingswalker.h"

#include "ui/inifile.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QTextEdit>
#include <QVariant>

#include <algorithm>
#include <functional>

Q_LOGGING_CATEGORY(lcSettings, "duomira.ui.settings", QtWarningMsg)

namespace {

const QString KeyText = QStringLiteral("Text");
const QString KeyChecked = QStringLiteral("Checked");
const QString KeyItems = QStringLiteral("Items");
const QString KeyItemIndex = QStringLiteral("ItemIndex");
const QString KeyFindText = QStringLiteral("FindText");
const QString KeyReplaceText = QStringLiteral("ReplaceText");
const QString KeySizes = QStringLiteral("Sizes");

// Pane sizes beyond this are damage, not a screen.
constexpr int MaxPaneSize = 1 << 20;

bool isOwner(const QObject *o)
{
    const QVariant flag = o->property("settingsOwner");
    if (flag.isValid())
        return flag.toBool();
    return o->objectName().startsWith(QLatin1String("Frame"));
}

bool hasProperty(const QObject *o, const char *name)
{
    return o->metaObject()->indexOfProperty(name) >= 0;
}

bool isRadioGroup(const QObject *o)
{
    return hasProperty(o, "items") && hasProperty(o, "itemIndex");
}

bool isMenuItem(const QAction *action)
{
    for (const QObject *o : action->associatedObjects()) {
        if (qobject_cast<const QMenu *>(o))
            return true;
    }
    return false;
}

// A control whose children are its own parts (the edit of a spin box, the buttons of a
// radio group), not components of the window.
bool isLeaf(const QObject *o)
{
    return qobject_cast<const QLineEdit *>(o) || qobject_cast<const QAbstractSpinBox *>(o) ||
           qobject_cast<const QComboBox *>(o) || qobject_cast<const QPlainTextEdit *>(o) ||
           qobject_cast<const QTextEdit *>(o) || qobject_cast<const QAbstractButton *>(o) ||
           isRadioGroup(o);
}

QString escapeLines(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString unescapeLines(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == QLatin1Char('n') || next == QLatin1Char('\\')) {
                out += next == QLatin1Char('n') ? QLatin1Char('\n') : QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString checkedText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// ---- the keys of one component ----

void saveComponent(QObject *o, const QString &section, TIniFile &ini)
{
    if (auto *edit = qobject_cast<QLineEdit *>(o))
        ini.WriteString(section, KeyText, QuotedText(edit->text()));
    if (auto *spin = qobject_cast<QSpinBox *>(o))
        ini.WriteString(section, KeyText, QuotedText(QString::number(spin->value())));
    else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(o))
        ini.WriteString(section, KeyText, QuotedText(QString::number(dspin->value())));
    if (auto *plain = qobject_cast<QPlainTextEdit *>(o))
        ini.WriteString(section, KeyText, QuotedText(escapeLines(plain->toPlainText())));
    if (auto *rich = qobject_cast<QTextEdit *>(o))
        ini.WriteString(section, KeyText, QuotedText(escapeLines(rich->toPlainText())));
    if (auto *box = qobject_cast<QCheckBox *>(o))
        ini.WriteString(section, KeyChecked, checkedText(box->isChecked()));
    if (auto *radio = qobject_cast<QRadioButton *>(o))
        ini.WriteString(section, KeyChecked, checkedText(radio->isChecked()));
    if (auto *action = qobject_cast<QAction *>(o))
        ini.WriteString(section, KeyChecked, checkedText(action->isChecked()));
    if (isRadioGroup(o)) {
        ini.WriteString(section, KeyItems, EncodeItemList(o->property("items").toStringList()));
        ini.WriteInteger(section, KeyItemIndex, o->property("itemIndex").toInt());
    }
    if (auto *combo = qobject_cast<QComboBox *>(o)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        ini.WriteString(section, KeyItems, EncodeItemList(items));
        ini.WriteInteger(section, KeyItemIndex, combo->currentIndex());
    }
    if (hasProperty(o, "findText"))
        ini.WriteString(section, KeyFindText, QuotedText(o->property("findText").toString()));
    if (hasProperty(o, "replaceText"))
        ini.WriteString(section, KeyReplaceText, QuotedText(o->property("replaceText").toString()));
    if (auto *splitter = qobject_cast<QSplitter *>(o)) {
        QStringList sizes;
        for (int size : splitter->sizes())
            sizes << QString::number(size);
        ini.WriteString(section, KeySizes, sizes.join(QLatin1Char(',')));
    }
}

// Sets a checked state as the user's click would: an enabled button is clicked, so that
// its click and toggle handlers run; a disabled one is set directly. A radio button is
// never unchecked by hand; checking its neighbour does that.
void restoreChecked(QAbstractButton *button, bool on)
{
    if (button->isChecked() == on)
        return;
    if (qobject_cast<QRadioButton *>(button) && !on && button->autoExclusive())
        return;
    if (button->isEnabled())
        button->click();
    if (button->isChecked() != on)
        button->setChecked(on);
}

void restoreChecked(QAction *action, bool on)
{
    if (!action->isCheckable() || action->isChecked() == on)
        return;
    if (action->isEnabled())
        action->trigger();
    if (action->isChecked() != on)
        action->setChecked(on);
}

bool readChecked(const TIniFile &ini, const QString &section, bool current)
{
    return ini.ReadInteger(section, KeyChecked, current ? 1 : 0) != 0;
}

void loadComboBox(QComboBox *combo, const QString &section, const TIniFile &ini)
{
    if (ini.ValueExists(section, KeyItems)) {
        if (const auto items = DecodeItemList(ini.ReadString(section, KeyItems, QString()))) {
            const QSignalBlocker quiet(combo);
            combo->clear();
            combo->addItems(*items);
            combo->setCurrentIndex(-1);
        } else {
            qCWarning(lcSettings) << "damaged item list in" << section;
        }
    }
    const int index = ini.ReadInteger(section, KeyItemIndex, combo->currentIndex());
    if (index >= -1 && index < combo->count())
        combo->setCurrentIndex(index);
}

void loadRadioGroup(QObject *group, const QString &section, const TIniFile &ini)
{
    if (ini.ValueExists(section, KeyItems)) {
        if (const auto items = DecodeItemList(ini.ReadString(section, KeyItems, QString()))) {
            const QSignalBlocker quiet(group);
            group->setProperty("items", *items);
        }
    }
    const int now = int(group->property("items").toStringList().size());
    const int index = ini.ReadInteger(section, KeyItemIndex, group->property("itemIndex").toInt());
    if (index >= -1 && index < now)
        group->setProperty("itemIndex", index);
}

void loadSplitter(QSplitter *splitter, const QString &section, const TIniFile &ini)
{
    if (!ini.ValueExists(section, KeySizes))
        return;
    const QStringList parts = ini.ReadString(section, KeySizes, QString()).split(QLatin1Char(','));
    if (parts.size() != splitter->count())
        return;
    QList<int> sizes;
    qint64 total = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int size = part.trimmed().toInt(&ok);
        if (!ok || size < 0 || size > MaxPaneSize)
            return;
        sizes << size;
        total += size;
    }
    if (total <= 0)
        return;
    splitter->setSizes(sizes);
    splitter->setProperty(SettingsRestoredProperty, true);
    splitter->setProperty(SettingsSizesProperty, QVariant::fromValue(sizes));
}

void loadComponent(QObject *o, const QString &section, const TIniFile &ini)
{
    if (!ini.SectionExists(section))
        return;
    if (auto *edit = qobject_cast<QLineEdit *>(o))
        edit->setText(ini.ReadString(section, KeyText, edit->text()));
    if (auto *spin = qobject_cast<QSpinBox *>(o)) {
        bool ok = false;
        const int value = ini.ReadString(section, KeyText, QString()).trimmed().toInt(&ok);
        if (ok)
            spin->setValue(value);
    } else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(o)) {
        bool ok = false;
        const double value = ini.ReadString(section, KeyText, QString()).trimmed().toDouble(&ok);
        if (ok)
            dspin->setValue(value);
    }
    if (auto *plain = qobject_cast<QPlainTextEdit *>(o)) {
        if (ini.ValueExists(section, KeyText))
            plain->setPlainText(unescapeLines(ini.ReadString(section, KeyText, QString())));
    }
    if (auto *rich = qobject_cast<QTextEdit *>(o)) {
        if (ini.ValueExists(section, KeyText))
            rich->setPlainText(unescapeLines(ini.ReadString(section, KeyText, QString())));
    }
    if (auto *box = qobject_cast<QCheckBox *>(o))
        restoreChecked(box, readChecked(ini, section, box->isChecked()));
    if (auto *radio = qobject_cast<QRadioButton *>(o))
        restoreChecked(radio, readChecked(ini, section, radio->isChecked()));
    if (auto *action = qobject_cast<QAction *>(o))
        restoreChecked(action, readChecked(ini, section, action->isChecked()));
    if (isRadioGroup(o))
        loadRadioGroup(o, section, ini);
    if (auto *combo = qobject_cast<QComboBox *>(o))
        loadComboBox(combo, section, ini);
    if (hasProperty(o, "findText"))
        o->setProperty("findText",
                       ini.ReadString(section, KeyFindText, o->property("findText").toString()));
    if (hasProperty(o, "replaceText"))
        o->setProperty("replaceText", ini.ReadString(section, KeyReplaceText,
                                                     o->property("replaceText").toString()));
    if (auto *splitter = qobject_cast<QSplitter *>(o))
        loadSplitter(splitter, section, ini);
}

using Visit = std::function<void(QObject *)>;

// Children first, in creation order, then the component itself. Windows parented by the
// window are walked on their own; actions count only when a menu shows them.
void walk(QObject *o, const Visit &visit, bool isRoot)
{
    if (!isLeaf(o)) {
        // A handler run by loading may add or remove children: walk a copy, and skip
        // children that are gone by the time they are reached.
        const QObjectList children = o->children();
        QList<QPointer<QObject>> guarded;
        for (QObject *child : children)
            guarded << QPointer<QObject>(child);
        for (const QPointer<QObject> &child : guarded) {
            if (!child)
                continue;
            if (auto *w = qobject_cast<QWidget *>(child.data()); w && w->isWindow())
                continue;
            if (auto *action = qobject_cast<QAction *>(child.data())) {
                if (isMenuItem(action))
                    visit(action);
                continue;
            }
            walk(child, visit, false);
        }
    }
    if (!isRoot)
        visit(o);
}

void walkWindow(QWidget *window, const Visit &visit)
{
    walk(window, visit, true);
    visit(window);
}

} // namespace

QString SettingsSection(const QObject *component)
{
    if (!component)
        return {};
    QStringList names;
    const QObject *o = component;
    names << o->objectName();
    bool reachedWindow = false;
    if (auto *w = qobject_cast<const QWidget *>(o); w && w->isWindow())
        reachedWindow = true;
    while (!reachedWindow) {
        o = o->parent();
        if (!o)
            return {};
        auto *w = qobject_cast<const QWidget *>(o);
        if (w && w->isWindow()) {
            names.prepend(o->objectName());
            reachedWindow = true;
        } else if (isOwner(o)) {
            names.prepend(o->objectName());
        }
    }
    for (const QString &name : names) {
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            return {};
    }
    return names.join(QLatin1Char('_'));
}

void SaveComponentSettings(QWidget *window, TIniFile &ini)
{
    if (!window)
        return;
    walkWindow(window, [&ini](QObject *o) {
        const QString section = SettingsSection(o);
        if (!section.isEmpty())
            saveComponent(o, section, ini);
    });
    const QStringList sections = SavedSettingsSections(window);
    QSet<QString> seen;
    for (const QString &section : sections) {
        // Section names compare without regard to case, as in the file.
        const QString key = section.toLower();
        if (seen.contains(key))
            qCWarning(lcSettings) << "two components share the settings section" << section;
        seen.insert(key);
    }
}

QStringList SavedSettingsSections(QWidget *window)
{
    QStringList sections;
    if (!window)
        return sections;
    walkWindow(window, [&sections](QObject *o) {
        const QString section = SettingsSection(o);
        if (section.isEmpty())
            return;
        TIniFile scratch;
        saveComponent(o, section, scratch);
        if (scratch.SectionExists(section))
            sections << section;
    });
    return sections;
}

void LoadComponentSettings(QWidget *window, const TIniFile &ini)
{
    if (!window)
        return;
    walkWindow(window, [&ini](QObject *o) {
        const QString section = SettingsSection(o);
        if (!section.isEmpty())
            loadComponent(o, section, ini);
    });
}

bool ApplyRestoredSplitterSizes(QSplitter *splitter)
{
    const QList<int> saved = splitter->property(SettingsSizesProperty).value<QList<int>>();
    if (saved.isEmpty() || saved.size() != splitter->count())
        return false;
    qint64 savedTotal = 0;
    for (int size : saved)
        savedTotal += size;
    const int handles = splitter->handleWidth() * (splitter->count() - 1);
    const int length =
        splitter->orientation() == Qt::Horizontal ? splitter->width() : splitter->height();
    const qint64 total = std::max(0, length - handles);
    if (savedTotal <= 0 || total <= 0)
        return false;
    QList<int> sizes;
    qint64 given = 0;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        // The last pane takes what rounding left over, so that the panes fill the length.
        const qint64 size = i + 1 < saved.size() ? saved[i] * total / savedTotal : total - given;
        sizes << int(std::max<qint64>(1, size));
        given += size;
    }
    splitter->setSizes(sizes);
    return true;
}

QList<QWidget *> SettingsWindows()
{
    static const char *const names[] = {"FormMain", "FormAssistent2", "FormSearchReplace"};
    QList<QWidget *> windows;
    const QWidgetList all = QApplication::topLevelWidgets();
    for (const char *name : names) {
        for (QWidget *w : all) {
            if (w->objectName() == QLatin1String(name)) {
                windows << w;
                break;
            }
        }
    }
    return windows;
}

bool LoadProgramSettings(const QString &path, const QList<QWidget *> &windows)
{
    TIniFile ini;
    if (!ini.LoadFromFile(path))
        return false;
    for (QWidget *window : windows)
        LoadComponentSettings(window, ini);
    return true;
}

bool SaveProgramSettings(const QString &path, const QList<QWidget *> &windows,
                         const QString &programFileName, const QString &copyright)
{
    TIniFile ini;
    ini.LoadFromFile(path);
    const QString section = QStringLiteral("Copyright");
    ini.WriteString(section, QStringLiteral("Programm"), QuotedText(programFileName));
    ini.WriteString(section, QStringLiteral("Hersteller"), QuotedText(copyright));
    for (QWidget *window : windows)
        SaveComponentSettings(window, ini);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    if (!ini.SaveToFile(path, &error)) {
        qCWarning(lcSettings) << "settings file not written:" << path << error;
        return false;
    }
    return true;
}
