#include "formfixture.h"

#include "entries/namingsettings.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "session/idleprocessor.h"
#include "support/testdata.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>

bool waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(2);
    }
    return true;
}

FormFixture::FormFixture()
{
    form = std::make_unique<TFormMain>();
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    settle();
}

FormFixture::~FormFixture()
{
    form.reset();
    settle();
}

void FormFixture::settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QString FormFixture::copyFixture(const QString &relative, const QString &name)
{
    const QString target = dir.filePath(name);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/") + relative), target))
        << relative.toStdString();
    return target;
}

QString FormFixture::photo(const QString &name, const QString &date)
{
    QFile source(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")));
    EXPECT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    const QByteArray original("2008:05:30 15:56:01");
    EXPECT_EQ(date.size(), original.size());
    bytes.replace(original, date.toLatin1());
    const QString target = dir.filePath(name);
    QFile out(target);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
    return target;
}

QStringList FormFixture::shots(const QString &prefix, const QStringList &times)
{
    QStringList paths;
    for (int i = 0; i < times.size(); ++i)
        paths << photo(QStringLiteral("%1%2.jpg").arg(prefix).arg(i + 1),
                       QStringLiteral("2020:01:01 ") + times[i]);
    return paths;
}

void FormFixture::loadCameras(const QStringList &leftTimes, const QStringList &rightTimes)
{
    if (!leftTimes.isEmpty())
        dropAndWait(left(), shots(QStringLiteral("L"), leftTimes));
    if (!rightTimes.isEmpty())
        dropAndWait(right(), shots(QStringLiteral("R"), rightTimes));
}

void FormFixture::drop(const ListRowModel &list, const QStringList &paths)
{
    QWidget *viewport = view(list)->viewport();
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const QPoint pos = viewport->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
}

bool FormFixture::waitReady(int timeoutMs)
{
    // Once the pairs are made, the background pair check's counts stand for "Ready".
    const auto ready = [this] {
        const QString s = status();
        return s == QLatin1String("Ready") || s.contains(QLatin1String("pairs checked")) ||
               s.startsWith(QLatin1String("Checking pairs"));
    };
    return waitUntil([&] { return ready() && form->idleProcessor().IsIdle(); }, timeoutMs);
}

void FormFixture::dropAndWait(const ListRowModel &list, const QStringList &paths)
{
    drop(list, paths);
    ASSERT_TRUE(waitReady()) << "status: " << status().toStdString();
    settle();
}

QString FormFixture::status() const
{
    return form->optionStack()->LabelStatus->text();
}

void FormFixture::click(QAbstractButton *button)
{
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    // A check box or radio button reacts to clicks on its mark and caption only, which
    // need not lie at the middle of the widget: it is clicked directly.
    if (button->isVisible() && !button->isCheckable())
        QTest::mouseClick(button, Qt::LeftButton);
    else
        button->click();
    settle();
}

void FormFixture::click(const char *name)
{
    click(child<QAbstractButton>(name));
}

void FormFixture::clickRow(const ListRowModel &list, int row, Qt::KeyboardModifiers mods)
{
    TImageListView *v = view(list);
    const QModelIndex index = v->model()->index(row, 2);
    v->scrollTo(index);
    const QPoint pos = v->visualRect(index).center();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, mods, pos);
    settle();
}

std::vector<std::string> FormFixture::column(const ListRowModel &list, int col)
{
    std::vector<std::string> out;
    for (int r = 0; r < list.Count(); ++r) {
        QString text = list.Row(r)->Text(col);
        if (col == lcNumber)
            text = text.trimmed().remove(QChar(0xA0));
        out.push_back(text.toStdString());
    }
    return out;
}

std::vector<int> FormFixture::selectedRows(const ListRowModel &list)
{
    return list.SelectedRows();
}

std::vector<int> FormFixture::viewSelectedRows(const ListRowModel &list) const
{
    std::vector<int> rows;
    for (const QModelIndex &i : view(list)->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string FormFixture::alignmentFault() const
{
    const ListRowModel &l = left();
    const ListRowModel &r = right();
    if (l.Count() != r.Count())
        return "row counts differ: " + std::to_string(l.Count()) + " / " +
               std::to_string(r.Count());
    for (int i = 0; i < l.Count(); ++i) {
        const TDatensatz *a = l.EntryAt(i);
        const TDatensatz *b = r.EntryAt(i);
        if (!a || !b)
            return "row " + std::to_string(i) + " has no entry";
        if (a->Partner() != b || b->Partner() != a)
            return "row " + std::to_string(i) + " is no pair";
        if (a->Number() != i || b->Number() != i)
            return "row " + std::to_string(i) + " has numbers " + std::to_string(a->Number()) +
                   " / " + std::to_string(b->Number());
    }
    return {};
}

void FormFixture::screenshot(const QString &name) const
{
    const QByteArray target = qgetenv("DUOMIRA_SCREENSHOT_DIR");
    if (target.isEmpty())
        return;
    form->grab().save(QString::fromLocal8Bit(target) + QLatin1Char('/') + name +
                      QStringLiteral(".png"));
}
