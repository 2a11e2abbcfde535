// Writes the program icon as PNG files for the icon theme: <folder>/<size>.png for each
// size given on the command line. Run by the build.
#include "ui/programicon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: duomira-icongen FOLDER SIZE...\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral(".")))
        return 1;
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size <= 0 || size > 1024)
            return 2;
        if (!ProgramIconImage(size).save(folder.filePath(QStringLiteral("%1.png").arg(size))))
            return 1;
    }
    return 0;
}
