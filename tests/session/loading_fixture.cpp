#include "loading_fixture.h"

#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "support/testdata.h"

#include <QCoreApplication>
#include <QFile>

void RecordingView::SetStatusText(const QString &text)
{
    status = text;
    if (statusHistory.isEmpty() || statusHistory.back() != text)
        statusHistory << text;
}

void RecordingView::SetProgressMaximum(int maximum)
{
    progressMaximum = maximum;
}

void RecordingView::SetProgressPosition(int position)
{
    progressPosition = position;
    progressPositions.push_back(position);
}

void RecordingView::LetEventsThrough()
{
    ++eventsLetThrough;
    if (m_sinceEvents.isValid())
        longestStretchMs = std::max(longestStretchMs, m_sinceEvents.restart());
    if (onEvents)
        onEvents();
    QCoreApplication::processEvents();
    if (m_sinceEvents.isValid())
        m_sinceEvents.restart();
}

QStringList datedPhotos()
{
    return {
        QStringLiteral("jpg/Canon_40D.jpg"),                // 2008:05:30 15:56:01
        QStringLiteral("jpg/Canon_DIGITAL_IXUS_400.jpg"),   // 2004:08:27 13:52:55
        QStringLiteral("jpg/Canon_PowerShot_S40.jpg"),      // 2003:12:14 12:01:44
        QStringLiteral("jpg/Fujifilm_FinePix6900ZOOM.jpg"), // 2001:02:19 06:40:05
        QStringLiteral("jpg/Fujifilm_FinePix_E500.jpg"),    // 2006:08:17 09:24:48
        QStringLiteral("jpg/Kodak_CX7530.jpg"),             // 2005:08:13 09:47:23
        QStringLiteral("jpg/Konica_Minolta_DiMAGE_Z3.jpg"), // 2005:03:10 15:10:48
        QStringLiteral("jpg/Nikon_COOLPIX_P1.jpg"),         // 2008:03:07 09:55:46
        QStringLiteral("jpg/Nikon_D70.jpg"),                // 2008:03:15 09:52:01
        QStringLiteral("jpg/Olympus_C8080WZ.jpg"),          // 2006:10:22 15:44:29
        QStringLiteral("jpg/Panasonic_DMC-FZ30.jpg"),       // 2008:07:16 11:33:20
        QStringLiteral("jpg/Pentax_K10D.jpg"),              // 2008:05:04 16:47:24
        QStringLiteral("jpg/Ricoh_Caplio_RR330.jpg"),       // 2004:08:31 19:52:58
        QStringLiteral("jpg/Samsung_Digimax_i50_MP3.jpg"),  // 2006:08:15 17:50:57
        QStringLiteral("jpg/Sony_HDR-HC3.jpg"),             // 2007:06:15 04:42:32
    };
}

LoadingFixture::LoadingFixture()
{
    ListRowModel::LinkLists(left, right);
    pool.setMaxThreadCount(2);
    processor = new TIdleProcessor(left, right, view, &pool);
    processor->SetOrdering(&pass, &state);
    view.startTiming();
}

LoadingFixture::~LoadingFixture()
{
    delete processor; // waits for the reads still running
    left.Clear();
    right.Clear();
    store.Registry.FreeAll();
    EXPECT_EQ(store.Holders.Count(), 0);
}

QString LoadingFixture::copyPhoto(const QString &relative, const QString &name)
{
    const QString target = dir.filePath(name);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/") + relative), target))
        << relative.toStdString();
    return target;
}

QStringList LoadingFixture::copyPhotos(int n, const QString &prefix, const QString &suffix)
{
    const QStringList sources = datedPhotos();
    QStringList paths;
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("%1%2%3.JPG")
                                 .arg(prefix)
                                 .arg(i + 1, 4, 10, QLatin1Char('0'))
                                 .arg(suffix);
        paths << copyPhoto(sources[i % sources.size()], name);
    }
    return paths;
}

bool LoadingFixture::runUntilIdle(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (processor->IsIdle() && (view.status == QLatin1String(StatusReady) ||
                                    view.status == QLatin1String(StatusNoData)))
            return true;
    }
    return false;
}

std::vector<TDatensatz *> LoadingFixture::rowEntries(const ListRowModel &list)
{
    std::vector<TDatensatz *> entries;
    for (int i = 0; i < list.Count(); ++i)
        entries.push_back(list.EntryAt(i));
    return entries;
}

std::vector<double> LoadingFixture::captureTimes(const ListRowModel &list)
{
    std::vector<double> times;
    for (TDatensatz *e : rowEntries(list)) {
        if (e && e->Attribute() < daGapNew)
            times.push_back(e->CaptureTime());
    }
    return times;
}
