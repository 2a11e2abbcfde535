// The file layer on the real file system, with faults injected where the real fault
// cannot be arranged: nothing is overwritten, nothing is lost, nothing half-written stays.
#include "batch/fileops.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// name -> bytes of every file in dir (links by their target's bytes, marked "@").
std::map<QString, QByteArray> contents(const QString &dir)
{
    std::map<QString, QByteArray> out;
    for (const QFileInfo &info :
         QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile f(info.filePath());
        f.open(QIODevice::ReadOnly);
        out[(info.isSymLink() ? QStringLiteral("@") : QString()) + info.fileName()] = f.readAll();
    }
    return out;
}

struct Case
{
    const char *name;
    std::function<TFileOpResult(TRealFileOps &, const QString &dir)> act;
    bool ok;
    std::map<QString, QByteArray> after; // a: "A" bytes, b: "B" bytes
    bool unchanged = false;
};

} // namespace

TEST(FileOps, NothingIsOverwrittenLostOrLeftHalfWritten)
{
    const QByteArray A(5000, 'a'), B("B");
    auto at = [](const QString &dir, const char *n) { return dir + u'/' + QString::fromLatin1(n); };
    const Case cases[] = {
        {"rename onto an existing file",
         [&](TRealFileOps &ops, const QString &d) {
             put(at(d, "b"), B);
             return ops.Rename(at(d, "a"), at(d, "b"));
         },
         false,
         {{"a", A}, {"b", B}}},
        {"rename to its own path",
         [&](TRealFileOps &ops, const QString &d) { return ops.Rename(at(d, "a"), at(d, "a")); },
         true,
         {{"a", A}},
         true},
        {"rename onto a second name of the file",
         [&](TRealFileOps &ops, const QString &d) {
             ::link(QFile::encodeName(at(d, "a")).constData(),
                    QFile::encodeName(at(d, "b")).constData());
             return ops.Rename(at(d, "a"), at(d, "b"));
         },
         true,
         {{"a", A}, {"b", A}},
         true},
        {"rename without the no-replace flag links and unlinks",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetFaultHook([](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::RenameNoReplace ? EINVAL : 0;
             });
             return ops.Rename(at(d, "a"), at(d, "c"));
         },
         true,
         {{"c", A}}},
        {"rename where neither works checks the target first",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetFaultHook([](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::RenameNoReplace ? EINVAL
                        : p == TFaultPoint::Link          ? EPERM
                                                          : 0;
             });
             return ops.Rename(at(d, "a"), at(d, "c"));
         },
         true,
         {{"c", A}}},
        {"the checked rename refuses an existing target",
         [&](TRealFileOps &ops, const QString &d) {
             put(at(d, "b"), B);
             ops.SetFaultHook([](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::RenameNoReplace ? EINVAL
                        : p == TFaultPoint::Link          ? EPERM
                                                          : 0;
             });
             return ops.Rename(at(d, "a"), at(d, "b"));
         },
         false,
         {{"a", A}, {"b", B}}},
        {"copy onto a link to its own source",
         [&](TRealFileOps &ops, const QString &d) {
             QFile::link(at(d, "a"), at(d, "l"));
             return ops.Copy(at(d, "a"), at(d, "l"));
         },
         false,
         {{"a", A}, {"@l", A}}},
        {"copy onto an existing file",
         [&](TRealFileOps &ops, const QString &d) {
             put(at(d, "b"), B);
             return ops.Copy(at(d, "a"), at(d, "b"));
         },
         false,
         {{"a", A}, {"b", B}}},
        {"copy through a link holds the picture",
         [&](TRealFileOps &ops, const QString &d) {
             QFile::link(at(d, "a"), at(d, "l"));
             return ops.Copy(at(d, "l"), at(d, "c"));
         },
         true,
         {{"a", A}, {"@l", A}, {"c", A}}},
        {"disk full during a copy",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetChunkSize(1000);
             ops.SetFaultHook([n = 0](TFaultPoint p, const QString &) mutable {
                 return p == TFaultPoint::Write && ++n == 3 ? ENOSPC : 0;
             });
             return ops.Copy(at(d, "a"), at(d, "c"));
         },
         false,
         {{"a", A}}},
        {"failed sync of a copy",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetFaultHook(
                 [](TFaultPoint p, const QString &) { return p == TFaultPoint::Sync ? EIO : 0; });
             return ops.Copy(at(d, "a"), at(d, "c"));
         },
         false,
         {{"a", A}}},
        {"moving a link is refused",
         [&](TRealFileOps &ops, const QString &d) {
             QFile::link(at(d, "a"), at(d, "l"));
             return ops.Move(at(d, "l"), at(d, "c"));
         },
         false,
         {{"a", A}, {"@l", A}}},
        {"move onto an existing file",
         [&](TRealFileOps &ops, const QString &d) {
             put(at(d, "b"), B);
             return ops.Move(at(d, "a"), at(d, "b"));
         },
         false,
         {{"a", A}, {"b", B}}},
        {"move to another volume copies and deletes",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetFaultHook([](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::RenameNoReplace ? EXDEV : 0;
             });
             return ops.Move(at(d, "a"), at(d, "c"));
         },
         true,
         {{"c", A}}},
        {"undeletable source of a move keeps no copy",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetFaultHook([](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::RenameNoReplace ? EXDEV
                        : p == TFaultPoint::UnlinkSource  ? EROFS
                                                          : 0;
             });
             return ops.Move(at(d, "a"), at(d, "c"));
         },
         false,
         {{"a", A}}},
        {"a failed replace keeps the old list",
         [&](TRealFileOps &ops, const QString &d) {
             ops.SetFaultHook([](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::ReplaceTarget ? EIO : 0;
             });
             return ops.WriteFileReplacing(at(d, "a"), B);
         },
         false,
         {{"a", A}}},
        {"a replaced list",
         [&](TRealFileOps &ops, const QString &d) { return ops.WriteFileReplacing(at(d, "a"), B); },
         true,
         {{"a", B}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        put(dir.filePath(QStringLiteral("a")), A);
        TRealFileOps ops;
        const TFileOpResult r = c.act(ops, dir.path());
        EXPECT_EQ(r.ok, c.ok) << r.reason.toStdString();
        EXPECT_EQ(r.unchanged, c.unchanged);
        if (!r.ok) {
            EXPECT_FALSE(r.reason.isEmpty());
        }
        EXPECT_EQ(contents(dir.path()), c.after);
    }
}

TEST(FileOps, ACopyKeepsTimeAndPermissionsAndACrossVolumeMoveItsBytes)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a"));
    put(a, QByteArray(100000, 'x'));
    ::chmod(QFile::encodeName(a).constData(), 0640);
    const struct timespec times[2] = {{1000, 0}, {1234567890, 123456789}};
    ::utimensat(AT_FDCWD, QFile::encodeName(a).constData(), times, 0);
    TRealFileOps ops;
    const TFileOpResult copy = ops.Copy(a, dir.filePath(QStringLiteral("c")));
    ASSERT_TRUE(copy.ok);
    const QByteArray bytes = FileSha256(a);
    EXPECT_EQ(FileSha256(dir.filePath(QStringLiteral("c"))), bytes);
    const TFileStamp source = StatPath(a), target = StatPath(dir.filePath(QStringLiteral("c")));
    EXPECT_EQ(target.mtimeNs, source.mtimeNs);
    EXPECT_EQ(target.mode, 0640u);

    // A real second volume where the machine has one.
    QTemporaryDir other(QStringLiteral("/dev/shm/duomira-XXXXXX"));
    if (!other.isValid() || StatPath(other.path()).device == StatPath(dir.path()).device)
        GTEST_SKIP() << "no second volume at /dev/shm";
    const QString moved = other.filePath(QStringLiteral("m"));
    const TFileOpResult move = ops.Move(a, moved);
    ASSERT_TRUE(move.ok) << move.reason.toStdString();
    EXPECT_TRUE(move.crossVolume);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(FileSha256(moved), bytes);
    EXPECT_EQ(StatPath(moved).mtimeNs, source.mtimeNs);
}
