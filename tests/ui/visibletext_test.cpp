// Names the file system holds as bytes, shown with their undecodable bytes escaped.
#include "ui/visibletext.h"

#include <gtest/gtest.h>

TEST(NameFromBytes, UndecodableBytesAreEscapedOneByOne)
{
    const struct
    {
        QByteArray bytes;
        const char *shown;
    } cases[] = {
        {"plain.jpg", "plain.jpg"},
        {"caf\xc3\xa9 \xf0\x9f\x98\x80.jpg", "caf\u00e9 \U0001F600.jpg"},
        {"caf\xe9.jpg", "caf\\xe9.jpg"},              // Latin-1
        {"\xc0\xaf", "\\xc0\\xaf"},                   // overlong "/"
        {"\xed\xa0\x80x", "\\xed\\xa0\\x80x"},        // a surrogate
        {"cut \xe2\x82", "cut \\xe2\\x82"},           // a sequence cut off at the end
        {"\xe2\x82\xac\x80\xff", "\u20AC\\x80\\xff"}, // a stray continuation byte, 0xFF
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"}, // past U+10FFFF
    };
    for (const auto &c : cases)
        EXPECT_EQ(NameFromBytes(c.bytes), QString::fromUtf8(c.shown))
            << c.bytes.toHex().constData();
}
