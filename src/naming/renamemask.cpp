#include "naming/renamemask.h"

#include "naming/maskformat.h"
#include "naming/naminglog.h"

#include <limits>

namespace {

// A file token written for the left and for the right image of a pair.
struct SideToken
{
    QStringView Left;
    QStringView Right;
    QStringView forSide(int side) const { return side == 0 ? Left : Right; }
};

constexpr SideToken tokFileNumber{u"<Filename Number_L>", u"<Filename Number_R>"};
constexpr SideToken tokFileName{u"<Filename_L>", u"<Filename_R>"};
constexpr SideToken tokDirectory{u"<Directory_L>", u"<Directory_R>"};
constexpr SideToken tokFolderName{u"<Folder name_L>", u"<Folder name_R>"};
constexpr SideToken tokCreationDate{u"<Creation Date_L>", u"<Creation Date_R>"};
constexpr SideToken tokSizeAuto{u"<Size auto_L>", u"<Size auto_R>"};
constexpr SideToken tokSize{u"<Size_L>", u"<Size_R>"};
constexpr SideToken tokSizeKB{u"<Size KB_L>", u"<Size KB_R>"};
constexpr SideToken tokSizeMB{u"<Size MB_L>", u"<Size MB_R>"};
constexpr SideToken tokMaker{u"<Marke_L>", u"<Marke_R>"};
constexpr SideToken tokModel{u"<Model_L>", u"<Model_R>"};
constexpr SideToken tokDateTaken{u"<Date Taken_L>", u"<Date Taken_R>"};
constexpr QStringView tokCurrentDate = u"<Current Date>";
constexpr std::array<QStringView, 3> tokTextFields = {u"<Textfield 1>", u"<Textfield 2>",
                                                      u"<Textfield 3>"};

// The metadata tokens replaced last, in their order, with the index of their text.
struct ExifToken
{
    SideToken Token;
    int Index;
};
constexpr std::array<ExifToken, 13> exifTokens = {{
    {{u"<Exposure Time_L>", u"<Exposure Time_R>"}, jdShutterSpeed},
    {{u"<F-Number_L>", u"<F-Number_R>"}, jdAperture},
    {{u"<ISO Value_L>", u"<ISO Value_R>"}, jdIsoSpeed},
    {{u"<Focal Length_L>", u"<Focal Length_R>"}, jdFocalLength},
    {{u"<Focal Length 35mm_L>", u"<Focal Length 35mm_R>"}, jdFocalLength35mm},
    {{u"<Flash_L>", u"<Flash_R>"}, jdFlash},
    {{u"<Exposure Bias_L>", u"<Exposure Bias_R>"}, jdExposureCompensation},
    {{u"<Metering Mode_L>", u"<Metering Mode_R>"}, jdMeteringMode},
    {{u"<Image Size_L>", u"<Image Size_R>"}, jdSize},
    {{u"<Compression_L>", u"<Compression_R>"}, jdCompression},
    {{u"<Colour space_L>", u"<Colour space_R>"}, jdColorSpace},
    {{u"<X-Res_L>", u"<X-Res_R>"}, jdHorizontalResolution},
    {{u"<Y-Res_L>", u"<Y-Res_R>"}, jdVerticalResolution},
}};

// The nine characters that no file name may hold.
bool isForbiddenChar(QChar c)
{
    switch (c.unicode()) {
    case '?':
    case '*':
    case '<':
    case '/':
    case '|':
    case '\\':
    case '>':
    case ':':
    case '"':
        return true;
    default:
        return false;
    }
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isPathSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\';
#else
    return c == u'/';
#endif
}

// "/a/b/IMG_1.JPG" gives "IMG_1.JPG".
QStringView fileNameOf(QStringView path)
{
    qsizetype start = path.size();
    while (start > 0 && !isPathSeparator(path[start - 1]))
        --start;
    return path.mid(start);
}

// "IMG_1.JPG" gives "IMG_1"; the extension starts at the last ".".
QStringView withoutExtension(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

// "/a/b/IMG_1.JPG" gives "/a/b": the folder without trailing separator.
QStringView folderOf(QStringView path)
{
    QStringView folder = path.left(path.size() - fileNameOf(path).size());
    while (!folder.isEmpty() && isPathSeparator(folder.back()))
        folder.chop(1);
    return folder;
}

// Cuts a working text that has grown past the limit (never inside a surrogate pair).
void capLength(QString &text)
{
    if (text.size() <= MaxRenameTextLength)
        return;
    qCInfo(lcNaming) << "rename mask result cut at" << MaxRenameTextLength << "characters";
    text.truncate(MaxRenameTextLength);
    if (text.back().isHighSurrogate())
        text.chop(1);
}

// Position of the first occurrence of token at or after from. Every token begins with "<",
// so only the places of "<" are compared, and a place whose second and last characters do
// not fit is passed over before the whole token is compared.
qsizetype findToken(QStringView text, QStringView token, qsizetype from, Qt::CaseSensitivity cs)
{
    if (token.isEmpty())
        return -1;
    if (token.front() != u'<' || token.size() < 2)
        return text.indexOf(token, from, cs);
    const qsizetype n = token.size();
    const auto same = [cs](QChar a, QChar b) {
        if (a == b)
            return true;
        if (cs == Qt::CaseSensitive)
            return false;
        if (a.unicode() < 128 && b.unicode() < 128)
            return (a.unicode() | 0x20) == (b.unicode() | 0x20) && (a.unicode() | 0x20) >= 'a' &&
                   (a.unicode() | 0x20) <= 'z';
        return a.toCaseFolded() == b.toCaseFolded();
    };
    for (qsizetype at = text.indexOf(u'<', from); at >= 0; at = text.indexOf(u'<', at + 1)) {
        if (text.size() - at < n)
            return -1;
        if (same(text[at + 1], token[1]) && same(text[at + n - 1], token[n - 1]) &&
            text.mid(at, n).compare(token, cs) == 0)
            return at;
    }
    return -1;
}

// Replaces every occurrence of token (without regard to case, left to right, replaced text
// not searched again) by the value that valueOf() gives; valueOf is called only when the
// token occurs. Returns whether the text changed.
template <typename ValueOf> bool replaceToken(QString &text, QStringView token, ValueOf &&valueOf)
{
    qsizetype hit = findToken(text, token, 0, Qt::CaseInsensitive);
    if (hit < 0)
        return false;
    const QString value = valueOf();
    QString out;
    out.reserve(text.size() + value.size());
    bool changed = false;
    qsizetype copied = 0;
    while (hit >= 0) {
        out.append(QStringView(text).mid(copied, hit - copied));
        changed = changed || QStringView(text).mid(hit, token.size()) != value;
        out.append(value);
        copied = hit + token.size();
        if (out.size() > MaxRenameTextLength)
            break;
        hit = findToken(text, token, copied, Qt::CaseInsensitive);
    }
    out.append(QStringView(text).mid(copied));
    capLength(out);
    text = std::move(out);
    return changed;
}

// Replaces the token of a parameterised date (or number) in a loop: find it with
// FindMaskToken, replace the token text found everywhere, and go on while that changed the
// text. Each round removes at least one ">" (values hold none), which bounds the rounds.
template <typename ValueOf>
void replaceTokenLoop(QString &text, QStringView completeToken, bool onlyWithParameter,
                      ValueOf &&valueOf)
{
    qsizetype rounds = -1; // counted when the token is first met
    while (rounds != 0) {
        const MaskTokenMatch match = FindMaskToken(text, completeToken);
        if (onlyWithParameter ? !match.Found : match.Token.isEmpty())
            return;
        if (rounds < 0)
            rounds = text.count(u'>');
        --rounds;
        if (!replaceToken(text, match.Token, [&] { return valueOf(match.Parameter); }) &&
            !onlyWithParameter)
            return;
    }
}

QString sizeText(qint64 size, double divisor, QLatin1String unit, const QLocale &locale)
{
    return FormatFixed(double(size) / divisor, 2, 0, locale) + unit;
}

// The working state of one evaluation.
class MaskEvaluation
{
public:
    MaskEvaluation(const MaskEntry &entry, const MaskContext &context)
        : m_entry(entry), m_context(context)
    {
        // The left image is the entry itself in the left list, else its partner; likewise
        // the right image. Without partner both sides read the entry itself.
        const MaskEntry *other = entry.Partner ? entry.Partner : &entry;
        m_side[0] = entry.ListSide == MaskListLeft ? &entry : other;
        m_side[1] = entry.ListSide == MaskListRight ? &entry : other;
    }

    QString run(const QString &mask, TRenameTextFields &textFields)
    {
        m_text = mask;
        capLength(m_text);

        eachSide(tokFileNumber, [](const MaskEntry &e) { return ExtractFileNumber(e, {}); });
        for (int s = 0; s < 2; ++s) {
            replaceTokenLoop(m_text, tokFileNumber.forSide(s), true,
                             [&](QStringView p) { return ExtractFileNumber(*m_side[s], p); });
        }
        eachSide(tokFileName, [](const MaskEntry &e) {
            return withoutExtension(fileNameOf(e.SourcePath)).toString();
        });
        m_text = ExpandCounters(m_text, m_entry.CounterValue);
        eachSide(tokDirectory,
                 [](const MaskEntry &e) { return folderOf(e.SourcePath).toString(); });
        eachSide(tokFolderName, [](const MaskEntry &e) {
            const QStringView folder = folderOf(e.SourcePath);
            qsizetype start = folder.size();
            while (start > 0 && !isForbiddenChar(folder[start - 1]))
                --start;
            return folder.mid(start).toString();
        });
        for (int s = 0; s < 2; ++s) {
            replaceTokenLoop(m_text, tokCreationDate.forSide(s), false, [&](QStringView p) {
                return FormatMaskDate(p, m_side[s]->Metadata.FileTime, m_context.Locale);
            });
        }
        eachSide(tokSizeAuto, [&](const MaskEntry &e) {
            return FormatByteSize(e.Metadata.FileSize, m_context.Locale);
        });
        eachSide(tokSize, [](const MaskEntry &e) {
            return QString::number(e.Metadata.FileSize) + QLatin1String("Byte");
        });
        eachSide(tokSizeKB, [&](const MaskEntry &e) {
            return sizeText(e.Metadata.FileSize, 1024.0, QLatin1String("KB"), m_context.Locale);
        });
        eachSide(tokSizeMB, [&](const MaskEntry &e) {
            return sizeText(e.Metadata.FileSize, 1048576.0, QLatin1String("MB"), m_context.Locale);
        });
        replaceTextFields(textFields);
        replaceTokenLoop(m_text, tokCurrentDate, false, [&](QStringView p) {
            const QDateTime now = currentTime();
            return p.isEmpty() ? FormatMaskShortDate(now.date(), m_context.Locale)
                               : FormatMaskDateTime(p, now, m_context.Locale);
        });
        eachSide(tokMaker, [](const MaskEntry &e) { return e.Metadata.Str[jdManufacturer]; });
        eachSide(tokModel, [](const MaskEntry &e) { return e.Metadata.Str[jdModel]; });
        for (int s = 0; s < 2; ++s) {
            const MaskEntry &e = *m_side[s];
            const double taken = e.Attribute < MaskFirstGapAttribute ? e.Metadata.CaptureTime : 0;
            replaceTokenLoop(m_text, tokDateTaken.forSide(s), false, [&](QStringView p) {
                return FormatMaskDate(p, taken, m_context.Locale);
            });
        }
        for (const ExifToken &t : exifTokens)
            eachSide(t.Token, [&](const MaskEntry &e) { return e.Metadata.Str[t.Index]; });
        return CleanFileName(m_text, true);
    }

private:
    template <typename ValueOf> void eachSide(const SideToken &token, ValueOf &&valueOf)
    {
        for (int s = 0; s < 2; ++s)
            replaceToken(m_text, token.forSide(s), [&] { return valueOf(*m_side[s]); });
    }

    // Text fields 1 to 3. A non-empty value is written between hyphens, so that an entry
    // can read its texts back from the file name later.
    void replaceTextFields(TRenameTextFields &textFields)
    {
        for (size_t k = 0; k < textFields.size(); ++k) {
            TRenameTextField &field = textFields[k];
            QString value;
            switch (field.Mode) {
            case rtmDelete:
                field.Current = field.New;
                break;
            case rtmReplace:
                value = field.New;
                field.Current = field.New;
                break;
            default: // rtmDontModify, and a mode list without selection
                value = field.Current;
                break;
            }
            replaceToken(m_text, tokTextFields[k],
                         [&] { return value.isEmpty() ? value : u'-' + value + u'-'; });
        }
    }

    // The clock is read once per evaluation, so that all current-date tokens agree.
    QDateTime currentTime()
    {
        if (!m_nowRead) {
            m_now = m_context.Now ? m_context.Now() : QDateTime::currentDateTime();
            m_nowRead = true;
        }
        return m_now;
    }

    const MaskEntry &m_entry;
    const MaskContext &m_context;
    const MaskEntry *m_side[2];
    QString m_text;
    QDateTime m_now;
    bool m_nowRead = false;
};

} // namespace

QString EvaluateRenameMask(const QString &mask, const MaskEntry &entry,
                           TRenameTextFields &textFields, const MaskContext &context)
{
    return MaskEvaluation(entry, context).run(mask, textFields);
}

QString EvaluateRenameMask(const QString &mask, const MaskEntry &entry,
                           TRenameTextFields &textFields)
{
    return EvaluateRenameMask(mask, entry, textFields, MaskContext{});
}

QString CleanFileName(const QString &text, bool allowEmpty)
{
    // Blanks and control characters at both ends go; Unicode blanks count as blanks.
    const auto isTrimmed = [](QChar c) {
        return c.unicode() <= 0x20 || c.category() == QChar::Other_Control || c.isSpace();
    };
    const QStringView view(text);
    qsizetype begin = 0;
    qsizetype end = view.size();
    while (begin < end && isTrimmed(view[begin]))
        ++begin;
    while (end > begin && isTrimmed(view[end - 1]))
        --end;

    QString out;
    out.reserve(end - begin);
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = view[i];
        if (c.isHighSurrogate() && i + 1 < end && view[i + 1].isLowSurrogate()) {
            out.append(c);
            out.append(view[++i]);
            continue;
        }
        // Control characters and line breaks inside a name would cut the path at the
        // system call (NUL) or split the lines of the pair list; a lone surrogate cannot be
        // written as a file name at all.
        const bool unsafe = isForbiddenChar(c) || c.category() == QChar::Other_Control ||
                            c.category() == QChar::Separator_Line ||
                            c.category() == QChar::Separator_Paragraph || c.isSurrogate();
        out.append(unsafe ? QChar(u'_') : c);
    }
    if (out.isEmpty() && !allowEmpty)
        return QStringLiteral("noname");
    return out;
}

QString ExpandCounters(const QString &text, qint64 number)
{
    // Each maximal run of n "#" becomes the number with at least n digits. Replacing the
    // longest runs first and shorter ones in later rounds comes to the same, as a number
    // holds no "#" and so never joins two runs.
    const qsizetype firstHash = text.indexOf(u'#');
    if (firstHash < 0)
        return text;
    QString out;
    out.reserve(text.size() + 16);
    out.append(QStringView(text).left(firstHash));
    for (qsizetype i = firstHash; i < text.size() && out.size() <= MaxRenameTextLength;) {
        if (text[i] != u'#') {
            out.append(text[i++]);
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && text[i] == u'#')
            ++i;
        out.append(FormatCounter(number, i - start));
    }
    capLength(out);
    return out;
}

QString ExtractFileNumberFromPath(QStringView sourcePath, QStringView parameter)
{
    // Run number: the first digits of the parameter, 1 when it has none.
    qint64 runNumber = 1;
    qsizetype p = 0;
    while (p < parameter.size() && !isAsciiDigit(parameter[p]))
        ++p;
    if (p < parameter.size()) {
        runNumber = 0;
        for (; p < parameter.size() && isAsciiDigit(parameter[p]); ++p) {
            runNumber = runNumber * 10 + (parameter[p].unicode() - u'0');
            if (runNumber > std::numeric_limits<int>::max())
                return {}; // more runs than any name can hold
        }
    }
    if (runNumber <= 0)
        return {};
    const bool backwards = parameter.contains(u'R') || parameter.contains(u'r');

    const QStringView name = fileNameOf(sourcePath);
    if (!backwards) {
        // Forwards through the whole name, extension included.
        for (qsizetype i = 0; i < name.size();) {
            if (!isAsciiDigit(name[i])) {
                ++i;
                continue;
            }
            const qsizetype start = i;
            while (i < name.size() && isAsciiDigit(name[i]))
                ++i;
            if (--runNumber == 0)
                return name.mid(start, i - start).toString();
        }
        return {};
    }
    // Backwards from the last character before the extension; no extension, no number.
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    for (qsizetype i = dot - 1; i >= 0;) {
        if (!isAsciiDigit(name[i])) {
            --i;
            continue;
        }
        const qsizetype end = i + 1;
        while (i >= 0 && isAsciiDigit(name[i]))
            --i;
        if (--runNumber == 0)
            return name.mid(i + 1, end - (i + 1)).toString();
    }
    return {};
}

QString ExtractFileNumber(const MaskEntry &entry, QStringView parameter)
{
    return ExtractFileNumberFromPath(entry.SourcePath, parameter);
}

MaskTokenMatch FindMaskToken(QStringView text, QStringView completeToken)
{
    MaskTokenMatch match;
    const qsizetype cut = completeToken.indexOf(u'>');
    const QStringView name = cut < 0 ? completeToken : completeToken.left(cut);
    if (name.isEmpty())
        return match;
    const qsizetype at = findToken(text, name, 0, Qt::CaseSensitive);
    if (at < 0)
        return match;
    const qsizetype close = text.indexOf(u'>', at + name.size());
    if (close < 0)
        return match;
    match.Token = text.mid(at, close + 1 - at).toString();
    const qsizetype open = match.Token.indexOf(u'[');
    const qsizetype shut = match.Token.indexOf(u']');
    if (open >= 0 && shut > open) {
        match.Parameter = match.Token.mid(open + 1, shut - open - 1);
        match.Found = true;
    }
    return match;
}
