#include "session/jsonpull.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace {

// Length of the valid UTF-8 sequence at p (before end) that starts with a byte >= 0x80, or
// 0: no overlong forms, no surrogates, nothing beyond U+10FFFF.
int utf8Sequence(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    if (p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    }
    return length;
}

void appendUtf8(QByteArray &out, char32_t code)
{
    if (code < 0x80) {
        out.append(char(code));
    } else if (code < 0x800) {
        out.append(char(0xC0 | (code >> 6)));
        out.append(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(char(0xE0 | (code >> 12)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    } else {
        out.append(char(0xF0 | (code >> 18)));
        out.append(char(0x80 | ((code >> 12) & 0x3F)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
        out.append(char(0x80 | (code & 0x3F)));
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

TJsonPull::TJsonPull(QByteArrayView bytes)
    : m_begin(bytes.data()), m_pos(bytes.data()), m_end(bytes.data() + bytes.size())
{
    m_levels.reserve(MaxDepth);
}

bool TJsonPull::fail(const char *what)
{
    return failAt(what, m_pos);
}

bool TJsonPull::failAt(const char *what, const char *at)
{
    if (m_error.isEmpty()) {
        m_error = QString::fromLatin1(what);
        m_errorAt = at - m_begin;
        m_endedEarly = at >= m_end;
    }
    // Nothing more is read after a fault.
    m_pos = m_end;
    return false;
}

void TJsonPull::skipSpace()
{
    while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\n' || *m_pos == '\r' || *m_pos == '\t'))
        ++m_pos;
}

TJsonPull::Kind TJsonPull::Peek()
{
    skipSpace();
    if (!Ok() || m_pos >= m_end)
        return Kind::Invalid;
    switch (*m_pos) {
    case 'n':
        return Kind::Null;
    case 't':
    case 'f':
        return Kind::Bool;
    case '"':
        return Kind::String;
    case '[':
        return Kind::Array;
    case '{':
        return Kind::Object;
    default:
        return *m_pos == '-' || isDigit(*m_pos) ? Kind::Number : Kind::Invalid;
    }
}

bool TJsonPull::literal(const char *word)
{
    const auto length = qsizetype(std::strlen(word));
    if (m_end - m_pos < length) {
        if (std::memcmp(m_pos, word, std::size_t(m_end - m_pos)) == 0)
            return failAt("the text ends inside a value", m_end);
        return fail("not a value");
    }
    if (std::memcmp(m_pos, word, std::size_t(length)) != 0)
        return fail("not a value");
    m_pos += length;
    return true;
}

bool TJsonPull::ReadNull()
{
    skipSpace();
    return literal("null");
}

bool TJsonPull::ReadBool(bool &value)
{
    skipSpace();
    value = m_pos < m_end && *m_pos == 't';
    return literal(value ? "true" : "false");
}

bool TJsonPull::ReadNumber(Number &value)
{
    skipSpace();
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    const char *start = m_pos;
    const char *p = m_pos;
    if (p < m_end && *p == '-')
        ++p;
    if (p >= m_end)
        return failAt("the text ends inside a number", m_end);
    if (*p == '0') {
        ++p;
    } else if (isDigit(*p)) {
        while (p < m_end && isDigit(*p))
            ++p;
    } else {
        return failAt("not a number", p);
    }
    bool integral = true;
    if (p < m_end && *p == '.') {
        integral = false;
        if (++p >= m_end)
            return failAt("the text ends inside a number", m_end);
        if (!isDigit(*p))
            return failAt("not a number", p);
        while (p < m_end && isDigit(*p))
            ++p;
    }
    if (p < m_end && (*p == 'e' || *p == 'E')) {
        integral = false;
        if (++p < m_end && (*p == '+' || *p == '-'))
            ++p;
        if (p >= m_end)
            return failAt("the text ends inside a number", m_end);
        if (!isDigit(*p))
            return failAt("not a number", p);
        while (p < m_end && isDigit(*p))
            ++p;
    }
    m_pos = p;
    value = Number();
    if (integral) {
        const auto r = std::from_chars(start, p, value.integer);
        value.integral = r.ec == std::errc() && r.ptr == p;
    }
    if (value.integral) {
        value.value = double(value.integer);
        return true;
    }
    const auto r = std::from_chars(start, p, value.value);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond a double's range: a large magnitude is infinite, a tiny one zero.
        const char *e = start;
        while (e < p && *e != 'e' && *e != 'E')
            ++e;
        const bool tiny = e + 1 < p && e[1] == '-';
        const double huge = std::numeric_limits<double>::infinity();
        value.value = tiny ? 0.0 : (*start == '-' ? -huge : huge);
    } else if (r.ec != std::errc() || r.ptr != p) {
        return failAt("not a number", start);
    }
    return true;
}

bool TJsonPull::escape(QByteArray &out)
{
    // m_pos is at the backslash.
    if (m_end - m_pos < 2)
        return failAt("the text ends inside a text", m_end);
    const char c = m_pos[1];
    static const char plain[] = "\"\\/bfnrt";
    static const char meant[] = "\"\\/\b\f\n\r\t";
    if (const char *at = std::strchr(plain, c); at && c != 0) {
        out.append(meant[at - plain]);
        m_pos += 2;
        return true;
    }
    if (c != 'u')
        return fail("an unknown escape in a text");
    auto unit = [this](const char *at, char32_t &code) {
        if (m_end - at < 6)
            return failAt("the text ends inside a text", m_end);
        code = 0;
        for (int i = 2; i < 6; ++i) {
            const int h = hexValue(at[i]);
            if (h < 0)
                return failAt("a \\u escape without four hex digits", at);
            code = code << 4 | char32_t(h);
        }
        return true;
    };
    char32_t code = 0;
    if (!unit(m_pos, code))
        return false;
    if (code >= 0xDC00 && code <= 0xDFFF)
        return fail("a lone surrogate in a \\u escape");
    if (code >= 0xD800 && code <= 0xDBFF) {
        char32_t low = 0;
        if (m_end - m_pos < 12 || m_pos[6] != '\\' || m_pos[7] != 'u')
            return fail("a lone surrogate in a \\u escape");
        if (!unit(m_pos + 6, low))
            return false;
        if (low < 0xDC00 || low > 0xDFFF)
            return fail("a lone surrogate in a \\u escape");
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        m_pos += 6;
    }
    m_pos += 6;
    appendUtf8(out, code);
    return true;
}

bool TJsonPull::stringBytes(QByteArrayView &out)
{
    skipSpace();
    if (m_pos >= m_end)
        return failAt("the text ends where a text should be", m_end);
    if (*m_pos != '"')
        return fail("not a text");
    ++m_pos;
    const char *start = m_pos;
    bool escaped = false;
    m_buffer.clear();
    while (true) {
        if (m_pos >= m_end)
            return failAt("the text ends inside a text", m_end);
        const auto c = static_cast<unsigned char>(*m_pos);
        if (c == '"')
            break;
        if (c < 0x20)
            return fail("a control character inside a text");
        if (c == '\\') {
            if (!escaped) {
                m_buffer.append(start, m_pos - start);
                escaped = true;
            }
            if (!escape(m_buffer))
                return false;
            continue;
        }
        int length = 1;
        if (c >= 0x80) {
            length = utf8Sequence(reinterpret_cast<const unsigned char *>(m_pos),
                                  reinterpret_cast<const unsigned char *>(m_end));
            if (length == 0)
                return fail("a text that is not UTF-8");
        }
        if (escaped)
            m_buffer.append(m_pos, length);
        m_pos += length;
    }
    out = escaped ? QByteArrayView(m_buffer) : QByteArrayView(start, m_pos - start);
    ++m_pos; // the closing quote
    return true;
}

bool TJsonPull::ReadString(QString &value)
{
    QByteArrayView bytes;
    if (!stringBytes(bytes))
        return false;
    value = QString::fromUtf8(bytes);
    return true;
}

bool TJsonPull::open(char bracket)
{
    skipSpace();
    if (m_pos >= m_end)
        return failAt("the text ends where a value should be", m_end);
    if (*m_pos != bracket)
        return fail(bracket == '{' ? "not an object" : "not a list");
    if (int(m_levels.size()) >= MaxDepth)
        return fail("lists or objects nested too deeply");
    ++m_pos;
    m_levels.push_back({bracket == '{' ? '}' : ']', true});
    return true;
}

bool TJsonPull::next(char closing)
{
    skipSpace();
    if (!Ok() || m_levels.empty() || m_levels.back().closing != closing)
        return false;
    if (m_pos >= m_end)
        return failAt(closing == '}' ? "the text ends inside an object"
                                     : "the text ends inside a list",
                      m_end);
    if (*m_pos == closing) {
        ++m_pos;
        m_levels.pop_back();
        return false;
    }
    if (!m_levels.back().first) {
        if (*m_pos != ',')
            return fail(closing == '}' ? "a comma or \"}\" is missing"
                                       : "a comma or \"]\" is missing");
        ++m_pos;
        skipSpace();
        // A comma must be followed by another item or key: no trailing comma.
        if (m_pos < m_end && *m_pos == closing)
            return fail("a comma before the end of a list or object");
    }
    m_levels.back().first = false;
    return true;
}

bool TJsonPull::BeginObject()
{
    return open('{');
}

bool TJsonPull::NextKey(QByteArrayView &key)
{
    if (!next('}'))
        return false;
    if (!stringBytes(key))
        return false;
    skipSpace();
    if (m_pos >= m_end)
        return failAt("the text ends after a name", m_end);
    if (*m_pos != ':')
        return fail("a colon is missing after a name");
    ++m_pos;
    return true;
}

bool TJsonPull::BeginArray()
{
    return open('[');
}

bool TJsonPull::NextItem()
{
    return next(']');
}

bool TJsonPull::skipContainer()
{
    // Walks to the end of the container just opened, keeping the depth in m_levels rather
    // than on the stack.
    const std::size_t outer = m_levels.size() - 1;
    while (Ok() && m_levels.size() > outer) {
        QByteArrayView key;
        const bool more = m_levels.back().closing == '}' ? NextKey(key) : NextItem();
        if (!more)
            continue; // closed (or failed: the loop ends)
        const Kind kind = Peek();
        if (kind == Kind::Array || kind == Kind::Object) {
            open(kind == Kind::Array ? '[' : '{');
        } else if (!SkipValue()) {
            return false;
        }
    }
    return Ok();
}

bool TJsonPull::SkipValue()
{
    switch (Peek()) {
    case Kind::Null:
        return ReadNull();
    case Kind::Bool: {
        bool b = false;
        return ReadBool(b);
    }
    case Kind::Number: {
        Number n;
        return ReadNumber(n);
    }
    case Kind::String: {
        QByteArrayView bytes;
        return stringBytes(bytes);
    }
    case Kind::Array:
        return open('[') && skipContainer();
    case Kind::Object:
        return open('{') && skipContainer();
    case Kind::Invalid:
        break;
    }
    if (!Ok())
        return false;
    return m_pos >= m_end ? failAt("the text ends where a value should be", m_end)
                          : fail("not a value");
}

bool TJsonPull::Finish()
{
    skipSpace();
    if (!Ok())
        return false;
    if (m_pos != m_end)
        return fail("more text after the end of the document");
    return true;
}
