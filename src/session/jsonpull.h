#pragma once
// A pull reader of JSON text from untrusted bytes: the caller walks the document value by
// value and keeps only what it needs, so that a file of tens of thousands of rows is read
// without first building a whole document tree of it.
//
// Every read checks the bounds of the input; the first fault stops the reader, which then
// says what was wrong and where (the byte offset), and whether the text simply ended too
// early. Containers nest at most MaxDepth deep. Strings must be valid UTF-8 without raw
// control characters; "\u" escapes may pair into characters beyond the first plane.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

class TJsonPull
{
public:
    static constexpr int MaxDepth = 64;

    enum class Kind
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object,
        Invalid, // no value starts here (or the reader has failed)
    };

    // A number as the text wrote it: integral when it had neither fraction nor exponent
    // and fits in 64 bits (then integer is exact); value is always set (infinite when the
    // text is beyond the range of a double).
    struct Number
    {
        bool integral = false;
        qint64 integer = 0;
        double value = 0;
    };

    explicit TJsonPull(QByteArrayView bytes);

    bool Ok() const { return m_error.isEmpty(); }
    // What is wrong ("" while Ok), the byte offset where it was found, and whether the
    // text ended before the document did.
    const QString &Error() const { return m_error; }
    qsizetype ErrorOffset() const { return m_errorAt; }
    bool EndedEarly() const { return m_endedEarly; }

    // The kind of the value that starts next (whitespace skipped).
    Kind Peek();

    bool ReadNull();
    bool ReadBool(bool &value);
    bool ReadNumber(Number &value);
    bool ReadString(QString &value);
    // Reads and drops the next value, whatever it is.
    bool SkipValue();

    // Objects: BeginObject, then NextKey until it returns false (at the closing brace, or
    // on a fault: see Ok); after each key the caller reads or skips its value.
    bool BeginObject();
    // key: the name as UTF-8, valid until the next call.
    bool NextKey(QByteArrayView &key);
    // Arrays: BeginArray, then NextItem before each item until it returns false.
    bool BeginArray();
    bool NextItem();

    // Only whitespace is left.
    bool Finish();

private:
    bool fail(const char *what);
    bool failAt(const char *what, const char *at);
    void skipSpace();
    bool literal(const char *word);
    bool open(char bracket);
    bool next(char closing);
    // The string at m_pos (after its opening quote) into out as UTF-8 (raw: the bytes of
    // the input when they need no decoding).
    bool stringBytes(QByteArrayView &out);
    bool escape(QByteArray &out);
    bool skipContainer();

    const char *m_begin;
    const char *m_pos;
    const char *m_end;
    QString m_error;
    qsizetype m_errorAt = -1;
    bool m_endedEarly = false;
    // Per open container: the bracket that closes it, and whether no item or key was read
    // in it yet.
    struct Level
    {
        char closing;
        bool first;
    };
    std::vector<Level> m_levels;
    QByteArray m_buffer; // decoded strings with escapes
};
