// Properties of every generated name, over random masks, file names and metadata: it holds
// no character that a file name may not hold, has no blanks at either end, stays within
// the length limit, and the evaluation is repeatable.
#include "maskfixture.h"
#include "naming/renamemask.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <random>

namespace {

const char *const tokenNames[] = {
    "<Filename Number",
    "<Filename",
    "<Directory",
    "<Folder name",
    "<Creation Date",
    "<Size auto",
    "<Size",
    "<Size KB",
    "<Size MB",
    "<Marke",
    "<Model",
    "<Date Taken",
    "<Exposure Time",
    "<F-Number",
    "<ISO Value",
    "<Focal Length",
    "<Focal Length 35mm",
    "<Flash",
    "<Exposure Bias",
    "<Metering Mode",
    "<Image Size",
    "<Compression",
    "<Colour space",
    "<X-Res",
    "<Y-Res",
};
const char *const wholeTokens[] = {"<Textfield 1>", "<Textfield 2>", "<Textfield 3>",
                                   "<Current Date>", "<Current Date[A B]>"};
const char16_t pieces[] =
    u"#####[[]]]'<<>>:?*/|\\\"  \t\n\r\x01\x7f\u00a0\u2028\u3000aAbBYyMmdHS-._RL1209";

class RandomText
{
public:
    explicit RandomText(unsigned seed) : m_rng(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    QString chars(int maxLength)
    {
        QString s;
        const int n = below(maxLength + 1);
        for (int i = 0; i < n; ++i) {
            switch (below(8)) {
            case 0:
                s += QChar(char16_t(below(0x10000))); // any code unit, surrogates too
                break;
            case 1:
                s += QChar(char16_t(0x20 + below(0x5f)));
                break;
            default:
                s += QChar(pieces[below(int(std::size(pieces)) - 1)]);
            }
        }
        return s;
    }

    QString mask()
    {
        QString s;
        const int parts = below(12);
        for (int i = 0; i < parts; ++i) {
            switch (below(4)) {
            case 0:
                s += chars(6);
                break;
            case 1:
                s += QLatin1String(wholeTokens[below(int(std::size(wholeTokens)))]);
                break;
            default: {
                QString t = QLatin1String(tokenNames[below(int(std::size(tokenNames)))]);
                t += below(2) ? QLatin1String("_L") : QLatin1String("_R");
                if (below(3) == 0)
                    t += u'[' + chars(5) + (below(4) ? QStringLiteral("]") : QString());
                if (below(8) != 0)
                    t += u'>';
                s += below(6) == 0 ? t.toLower() : t;
            }
            }
        }
        return s;
    }

private:
    std::mt19937 m_rng;
};

bool isSafeName(const QString &name, QString *why)
{
    static const QString forbidden = QStringLiteral("?*</|\\>:\"");
    if (name.size() > MaxRenameTextLength) {
        *why = QStringLiteral("too long");
        return false;
    }
    if (!name.isEmpty()) {
        for (const QChar end : {name.front(), name.back()}) {
            if (end.unicode() <= 0x20 || end.isSpace()) {
                *why = QStringLiteral("blank at an end");
                return false;
            }
        }
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (forbidden.contains(c) || c.category() == QChar::Other_Control) {
            *why = QStringLiteral("character %1 at %2").arg(c.unicode()).arg(i);
            return false;
        }
        if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            *why = QStringLiteral("lone surrogate at %1").arg(i);
            return false;
        }
    }
    return true;
}

TEST(RenameMaskProperty, GeneratedNamesAreSafeFileNames)
{
    RandomText random(20081224);
    const MaskContext context = pinnedContext();
    for (int round = 0; round < 4000; ++round) {
        MaskEntry left = maskImage(u'/' + random.chars(8) + u'/' + random.chars(10), MaskListLeft,
                                   random.below(2000) - 1000);
        MaskEntry right = maskImage(u'/' + random.chars(8) + u'/' + random.chars(10), MaskListRight,
                                    random.below(20));
        for (MaskEntry *e : {&left, &right}) {
            for (QString &text : e->Metadata.Str)
                text = random.chars(4);
            e->Metadata.FileTime = random.below(3) ? 39000.0 + random.below(100000) / 7.0 : 0;
            e->Metadata.CaptureTime = random.below(3) ? 38000.5 : 0;
            e->Metadata.FileSize = qint64(random.below(1 << 30)) << random.below(20);
            e->Attribute = random.below(7);
        }
        if (random.below(4) != 0) {
            left.Partner = &right;
            right.Partner = &left;
        }
        const QString mask = random.mask();
        TRenameTextFields fields;
        for (TRenameTextField &f : fields)
            f = {random.below(4), random.chars(4),
                 random.below(2) ? random.mask() : random.chars(5)};
        const TRenameTextFields before = fields;
        const MaskEntry &entry = random.below(2) ? left : right;

        const QString name = EvaluateRenameMask(mask, entry, fields, context);
        QString why;
        ASSERT_TRUE(isSafeName(name, &why)) << why.toStdString() << " mask: " << mask.toStdString()
                                            << " name: " << name.toStdString();

        TRenameTextFields again = before;
        EXPECT_EQ(EvaluateRenameMask(mask, entry, again, context), name);
    }
}

// Tokens that expand into further tokens: a file name full of folder tokens, a long folder
// and a mask repeating the file name. The result is cut at the limit, quickly.
TEST(RenameMaskProperty, ExpandingMasksStayBounded)
{
    QString fileName;
    for (int i = 0; i < 18; ++i)
        fileName += QStringLiteral("<Directory_L>");
    const QString folder = QStringLiteral("/") + QString(4000, u'd');
    const MaskEntry e =
        maskImage(folder + u'/' + fileName + QStringLiteral(".JPG"), MaskListLeft, 1);
    QString mask;
    for (int i = 0; i < 2000; ++i)
        mask += QStringLiteral("<Filename_L>");

    QElapsedTimer timer;
    timer.start();
    const QString name = evalMask(mask, e);
    EXPECT_EQ(name.size(), MaxRenameTextLength);
    EXPECT_LT(timer.elapsed(), 5000);
}

// Date formats that write their own token again: every round removes one ">", so the loop
// ends. In Spanish on a Saturday in April "a" gives "sáb" and "b" gives "abr", so the text
// doubles about every round and only the length limit holds it.
TEST(RenameMaskProperty, SelfFeedingDateTokensEnd)
{
    MaskEntry e = maskImage(QStringLiteral("/f/IMG.JPG"), MaskListLeft, 1);
    e.Metadata.FileTime = maskDays(2008, 4, 26, 15, 30, 10); // a Saturday in April
    // Each round's value begins with "L[" and so completes the next "<Creation Date_".
    const int rounds = 300;
    QString mask = QStringLiteral("<Creation Date_").repeated(rounds) +
                   QStringLiteral("<Creation Date_L[") + QStringLiteral("L[").repeated(rounds) +
                   QStringLiteral("ab") + QStringLiteral("]>").repeated(rounds + 1);
    const QString name =
        evalMask(mask, e, pinnedContext(QLocale(QLocale::Spanish, QLocale::Spain)));
    EXPECT_EQ(name.size(), MaxRenameTextLength);
    EXPECT_FALSE(name.contains(u'>'));
}

} // namespace
