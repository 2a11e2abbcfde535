#include "batchfixture.h"

#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "imaging/libgfl.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>

void TTestProgress::BeginPhase(const QString &text, int maximum, int phase)
{
    state.Begin(maximum, phase);
    ShowStatus(text);
}

void TTestProgress::StepProgress(const QString &text)
{
    state.Step();
    ++steps;
    ShowStatus(text);
    if (onStep)
        onStep(steps);
}

void TTestProgress::ShowStatus(const QString &)
{
    ++statusCalls;
}

BatchFixture::BatchFixture()
{
    m_oldData = qgetenv("XDG_DATA_HOME");
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root.path() + QStringLiteral("/config")));
    TNamingSettings &naming = store.Naming;
    naming.FolderLeft = dest(QStringLiteral("L"));
    naming.FolderRight = dest(QStringLiteral("R"));
    naming.FolderMono = dest(QStringLiteral("M"));
    ListRowModel::LinkLists(left, right);
    QDir().mkpath(src(QString()));
    engine.SetLeftList(&left);
    engine.SetSpmListBase(m_root.path());
}

BatchFixture::~BatchFixture()
{
    left.Clear();
    right.Clear();
    store.Registry.FreeAll();
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

const TGflLibrary *BatchFixture::library()
{
    static TGflLibrary *lib = [] {
        auto *l = new TGflLibrary;
        QString messages;
        if (!l->GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME),
                        QStringLiteral(GFL_EFFECTS_MODULE_NAME), QString(), messages)) {
            delete l;
            return static_cast<TGflLibrary *>(nullptr);
        }
        return l;
    }();
    return lib;
}

QString BatchFixture::makePhoto(const QString &name, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const uint seed = qHash(name);
    image.fill(QColor::fromRgb(seed & 0xFF, (seed >> 8) & 0xFF, (seed >> 16) & 0xFF));
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height() / 2, Qt::red); // tells turns apart
    painter.end();
    const QString path = src(name);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(image.save(path, "JPEG", 90));
    return path;
}

std::pair<TDatensatz *, TDatensatz *> BatchFixture::addPair(const QString &base,
                                                            const QString &newName)
{
    const QString l = makePhoto(base + QStringLiteral("_l.jpg"));
    const QString r = makePhoto(base + QStringLiteral("_r.jpg"));
    TDatensatz *a = AppendEntry(left, left.Count(), l, dsLeft);
    TDatensatz *b = AppendEntry(right, right.Count(), r, dsRight);
    LinkBothWays(a, b);
    a->SetAttribute(daStereoPair);
    b->SetAttribute(daStereoPair);
    a->SetNewName(newName);
    b->SetNewName(newName);
    return {a, b};
}

TDatensatz *BatchFixture::addMono(const QString &name, const QString &newName)
{
    const QString path = makePhoto(name);
    TDatensatz *image = AppendEntry(left, left.Count(), path, dsLeft);
    TDatensatz *gap = CreateGap(right);
    gap->SetAttribute(daGap);
    LinkBothWays(image, gap);
    image->SetAttribute(daMono);
    image->SetNewName(newName);
    return image;
}

bool BatchFixture::run(const TBatchJobSettings &settings, TFileOps *ops)
{
    realOps = TRealFileOps(library());
    engine.SetFileOps(ops ? ops : &realOps);
    engine.RunBatchJob(settings);
    return engine.JobFailed();
}

QMap<QString, QByteArray> BatchFixture::files() const
{
    QMap<QString, QByteArray> out;
    QDirIterator it(m_root.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(m_root.path() + QStringLiteral("/data/")))
            continue;
        out.insert(rel(path), FileSha256(path));
    }
    return out;
}

QStringList BatchFixture::logLines(const QString &text) const
{
    QStringList out;
    for (const TProtokollLine &line : log.Lines())
        if (line.Text.contains(text))
            out << line.Text;
    return out;
}

int BatchFixture::redLines() const
{
    int n = 0;
    for (const TProtokollLine &line : log.Lines())
        n += line.Color == logcolor::Red;
    return n;
}

QString BatchFixture::rel(const QString &path) const
{
    return QDir(m_root.path()).relativeFilePath(path);
}

void BatchFixture::startRow()
{
    left.Clear();
    right.Clear();
    QDir(m_root.path()).removeRecursively();
    QDir().mkpath(src(QString()));
    log.Clear();
}
