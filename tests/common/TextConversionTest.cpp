#include "TextConversion.h"

#include "QStringPrinting.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace std::string_literals;

namespace
{
struct BytesToTextRow
{
    const char* name;
    std::string bytes;
    std::u16string expected;
};

struct TextToBytesRow
{
    const char* name;
    std::u16string text;
    std::string expected;
};

const std::string LongAscii(1000, 'x');
} // namespace

TEST(TextConversion, Utf8ToWideDropsExactlyTheInvalidBytes)
{
    const BytesToTextRow rows[] = {
        {"empty", "", u""},
        {"ascii", "Frequency [GHz]", u"Frequency [GHz]"},
        {"umlaut", "M\xC3\xBCller", u"M\u00FCller"},
        {"ohm and micro", "\xCE\xA9 \xC2\xB5W", u"\u03A9 \u00B5W"},
        {"outside the BMP", "a\xF0\x9F\x93\xA1z", u"a\U0001F4E1z"},
        {"long ascii then umlaut", LongAscii + "\xC3\xA4", std::u16string(1000, u'x') + u"\u00E4"},
        {"lone continuation byte", "a\x80" "b", u"ab"},
        {"lead byte before ascii", "\xC3" "A", u"A"},
        {"truncated three-byte sequence before ascii", "\xE2\x82" "A", u"A"},
        {"truncated four-byte sequence before ascii", "\xF0\x9F\x98" "A", u"A"},
        {"truncated sequence at the end", "A\xE2\x82", u"A"},
        {"overlong slash", "\xC0\xAF" "B", u"B"},
        {"overlong three-byte", "\xE0\x80\xAF" "B", u"B"},
        {"encoded surrogate", "\xED\xA0\x80" "C", u"C"},
        {"above U+10FFFF", "\xF4\x90\x80\x80" "D", u"D"},
        {"byte FF", "\xFF" "E", u"E"},
        {"latin-1 text", "Stra\xDF" "e", u"Strae"},
        {"embedded NUL", "a\0\xC3\xA4"s, std::u16string(u"a\0\u00E4", 3)},
    };
    for (const BytesToTextRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Utf8ToWide(row.bytes), Units(row.expected));
    }
}

TEST(TextConversion, WideToUtf8DropsUnpairedSurrogates)
{
    const TextToBytesRow rows[] = {
        {"empty", u"", ""},
        {"ascii", u"S21 [dB]", "S21 [dB]"},
        {"umlaut and euro", u"\u00E4\u20AC", "\xC3\xA4\xE2\x82\xAC"},
        {"surrogate pair", u"a\U0001F4E1z", "a\xF0\x9F\x93\xA1z"},
        {"long ascii then umlaut", std::u16string(1000, u'x') + u"\u00E4", LongAscii + "\xC3\xA4"},
        {"lone high surrogate before ascii", u"A\xD800" u"B", "AB"},
        {"lone low surrogate", u"A\xDC00" u"B", "AB"},
        {"high surrogate at the end", u"A\xD83D", "A"},
        {"pair in reverse order", u"A\xDE00\xD83D" u"B", "AB"},
        {"two high surrogates then a pair", u"\xD800\xD83D\xDE00", "\xF0\x9F\x98\x80"},
    };
    for (const TextToBytesRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(WideToUtf8(Units(row.text)), row.expected);
    }
}

TEST(TextConversion, WideToLatin1DropsCharactersAboveFF)
{
    const TextToBytesRow rows[] = {
        {"empty", u"", ""},
        {"number", u"-1.5e-3", "-1.5e-3"},
        {"latin-1 letters", u"\u00E4\u00DF\u00FF", "\xE4\xDF\xFF"},
        {"C1 control", u"a\u0080", "a\x80"},
        {"long ascii then umlaut", std::u16string(1000, u'x') + u"\u00E4", LongAscii + "\xE4"},
        {"euro", u"5\u20AC", "5"},
        {"unicode minus", u"\u22120.5", "0.5"},
        {"surrogate pair", u"a\U0001F4E1z", "az"},
        {"lone surrogate", u"a\xD800z", "az"},
    };
    for (const TextToBytesRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(WideToLatin1(Units(row.text)), row.expected);
    }
}

TEST(TextConversion, Latin1ToWideMapsEveryByteToOneCharacter)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    const QString text = Latin1ToWide(bytes);
    ASSERT_EQ(text.size(), 256);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(text[b].unicode(), b) << "byte " << b;
    }
    EXPECT_EQ(WideToLatin1(text), bytes);
    EXPECT_EQ(Latin1ToWide("Sensor OK"), QStringLiteral("Sensor OK"));
}

TEST(TextConversion, Utf8RoundTripKeepsEveryCharacter)
{
    const std::u16string_view texts[] = {
        u"", u"plain", u"\u00C4rger \u03A9 \u00B5W \u20AC", u"\U0001F4E1 \U0010FFFF", u"\uFFFD\uFEFF",
    };
    for (const std::u16string_view text : texts) {
        EXPECT_EQ(Utf8ToWide(WideToUtf8(Units(text))), Units(text));
    }
}

TEST(TextConversion, IsValidUtf8)
{
    const struct
    {
        const char* name;
        std::string bytes;
        bool valid;
    } rows[] = {
        {"empty", "", true},
        {"ascii", "abc", true},
        {"umlaut", "\xC3\xA4", true},
        {"four-byte", "\xF0\x9F\x93\xA1", true},
        {"latin-1 umlaut", "\xE4", false},
        {"truncated", "\xE2\x82", false},
        {"overlong", "\xC0\xAF", false},
        {"encoded surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsValidUtf8(row.bytes), row.valid);
    }
}

TEST(TextConversion, PathFromDialogCanBeOpened)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QString::fromUtf8("M\xC3\xBCller \xCE\xA9 \xE2\x82\xAC.cal"));

    EXPECT_EQ(WideToPath(path), path.toUtf8().toStdString());
    EXPECT_EQ(PathToWide(WideToPath(path)), path);
    {
        std::ofstream out(WideToPath(path), std::ios::binary);
        ASSERT_TRUE(out);
        out << "data";
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("data"));
}
