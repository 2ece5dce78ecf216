#include "LibraryError.h"
#include "LibraryErrorTable.h"
#include "QStringPrinting.h"
#include "ScopedFileSizeLimit.h"
#include "TamrixError.h"
#include "TextConversion.h"
#include "WholeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace
{
using namespace std::string_literals;
const std::string X1000(1000, 'x'), AllBytes = [] { std::string b; for (int i = 0; i < 256; ++i) b += char(i); return b; }();
const std::u16string U1000(1000, u'x'), AllUnits = [] { std::u16string u; for (int i = 0; i < 256; ++i) u += char16_t(i); return u; }();

// Utf8 and Latin1 rows convert both ways (and Utf8 bytes are valid UTF-8);
// the others only one way, dropping what the target cannot hold.
enum Kind { Utf8, Utf8Read, Utf8Write, Latin1, Latin1Write };
struct ConversionRow : Row { Kind kind; std::string bytes; std::u16string text; };
using Conversion = ::testing::TestWithParam<ConversionRow>;
TEST_P(Conversion, DropsExactlyWhatTheTargetCannotHold)
{
    const auto& [kind, bytes, text] = std::tie(GetParam().kind, GetParam().bytes, GetParam().text);
    if (kind == Utf8 || kind == Utf8Read) { EXPECT_EQ(Utf8ToWide(bytes), Units(text)); }
    if (kind == Utf8 || kind == Utf8Read) { EXPECT_EQ(IsValidUtf8(bytes), kind == Utf8); }
    if (kind == Utf8 || kind == Utf8Write) { EXPECT_EQ(WideToUtf8(Units(text)), bytes); }
    if (kind == Latin1) { EXPECT_EQ(Latin1ToWide(bytes), Units(text)); }
    if (kind == Latin1 || kind == Latin1Write) { EXPECT_EQ(WideToLatin1(Units(text)), bytes); }
}
const ConversionRow ConversionRows[] = {
    {"Empty", Utf8, "", u""}, {"Ascii", Utf8, "S21 [dB]", u"S21 [dB]"}, {"Umlaut", Utf8, "M\xC3\xBCller", u"M\u00FCller"},
    {"OhmMicroEuro", Utf8, "\xCE\xA9 \xC2\xB5W\xE2\x82\xAC", u"\u03A9 \u00B5W\u20AC"}, {"Special", Utf8, "\xEF\xBF\xBD\xEF\xBB\xBF", u"\uFFFD\uFEFF"},
    {"OutsideTheBmp", Utf8, "a\xF0\x9F\x93\xA1z\xF4\x8F\xBF\xBF", u"a\U0001F4E1z\U0010FFFF"},
    {"LongThenUmlaut", Utf8, X1000 + "\xC3\xA4", U1000 + u"\u00E4"}, {"Nul", Utf8, "a\0\xC3\xA4"s, std::u16string(u"a\0\u00E4", 3)},
    {"LoneContinuation", Utf8Read, "a\x80" "b", u"ab"}, {"LeadBeforeAscii", Utf8Read, "\xC3" "A", u"A"},
    {"TruncatedThree", Utf8Read, "\xE2\x82" "A", u"A"}, {"TruncatedFour", Utf8Read, "\xF0\x9F\x98" "A", u"A"},
    {"TruncatedAtEnd", Utf8Read, "A\xE2\x82", u"A"}, {"OverlongSlash", Utf8Read, "\xC0\xAF" "B", u"B"},
    {"OverlongThree", Utf8Read, "\xE0\x80\xAF" "B", u"B"}, {"EncodedSurrogate", Utf8Read, "\xED\xA0\x80" "C", u"C"},
    {"AboveUnicode", Utf8Read, "\xF4\x90\x80\x80" "D", u"D"}, {"ByteFF", Utf8Read, "\xFF" "E", u"E"},
    {"Latin1Text", Utf8Read, "Stra\xDF" "e", u"Strae"}, {"LoneHigh", Utf8Write, "AB", u"A\xD800" u"B"},
    {"LoneLow", Utf8Write, "AB", u"A\xDC00" u"B"}, {"HighAtEnd", Utf8Write, "A", u"A\xD83D"},
    {"ReversedPair", Utf8Write, "AB", u"A\xDE00\xD83D" u"B"}, {"HighsThenPair", Utf8Write, "\xF0\x9F\x98\x80", u"\xD800\xD83D\xDE00"},
    {"EveryByte", Latin1, AllBytes, AllUnits}, {"Number", Latin1, "-1.5e-3", u"-1.5e-3"},
    {"LongLatin1", Latin1, X1000 + "\xE4", U1000 + u"\u00E4"}, {"Euro", Latin1Write, "5", u"5\u20AC"},
    {"UnicodeMinus", Latin1Write, "0.5", u"\u22120.5"}, {"PairToLatin1", Latin1Write, "az", u"a\U0001F4E1z"},
    {"LoneToLatin1", Latin1Write, "az", u"a\xD800z"}};
INSTANTIATE_TEST_SUITE_P(TextConversion, Conversion, ::testing::ValuesIn(ConversionRows), RowName);

TEST(TextConversion, PathFromDialogCanBeOpened)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8("M\xC3\xBCller \xCE\xA9 \xE2\x82\xAC.cal"));
    EXPECT_EQ(WideToPath(path), path.toStdString());
    EXPECT_EQ(PathToWide(WideToPath(path)), path);
    std::ofstream(WideToPath(path), std::ios::binary) << "data";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("data"));
}

struct ErrorRow : Row { TvxKyyCalcDLLError error; std::u16string expected; };
using Message = ::testing::TestWithParam<ErrorRow>;
TEST_P(Message, QuotesTheContextBeforeTheCodesText)
{
    EXPECT_EQ(FormatLibraryError(GetParam().error), Units(GetParam().expected));
}
const ErrorRow ErrorRows[] = {
    {"NoError", TvxKyyCalcDLLError(0), u"No error occurred."}, {"Unknown", TvxKyyCalcDLLError(3), u"An unknown error occured!"},
    {"Negative", TvxKyyCalcDLLError(-1), u"An unknown error occured!"}, {"Max", TvxKyyCalcDLLError(INT32_MAX), u"An unknown error occured!"},
    {"Min", TvxKyyCalcDLLError(INT32_MIN), u"An unknown error occured!"},
    {"NullContext", TvxKyyCalcDLLError(208, static_cast<const char*>(nullptr)), u"Calibration data set checksum test failed!"},
    {"EmptyContext", TvxKyyCalcDLLError(1, ""), u"\"\": File read access failed!"},
    {"UnknownWithContext", TvxKyyCalcDLLError(4711, "/data/x.cal"), u"\"/data/x.cal\": An unknown error occured!"},
    {"Utf8Path", TvxKyyCalcDLLError(204, "/m\xC3\xBC/\xCE\xA9.cal"), u"\"/m\u00FC/\u03A9.cal\": Calibration data set has wrong signature!"},
    {"Latin1Bytes", TvxKyyCalcDLLError(1, "M\xFCller\xB5"), u"\"M\u00FCller\u00B5\": File read access failed!"},
    {"LeadWithoutContinuation", TvxKyyCalcDLLError(2, "a\xC3"), u"\"a\u00C3\": File write access failed!"},
    {"Quotes", TvxKyyCalcDLLError(107, std::string("<a b=\"1\">")), u"\"<a b=\"1\">\": Generic XML error!"}};
INSTANTIATE_TEST_SUITE_P(LibraryError, Message, ::testing::ValuesIn(ErrorRows), RowName);

// Every entry is found by its code (the lookup needs ascending codes), and
// every code the data set library raises has a text of its own.
TEST(LibraryError, EveryCodeHasItsText)
{
    for (const LibraryErrorMessage& entry : LibraryErrorMessages)
        EXPECT_STREQ(LibraryErrorText(entry.code), entry.text);
    namespace c = TamrixErrorCode;
    for (const std::int32_t raised : {c::FileRead, c::FileWrite, c::WrongArgument, c::InvalidTableAccess, c::XmlError,
                                      c::FrequenciesNotAscending, c::NotParsable, c::TooLarge, c::Invalid, c::WrongSignature,
                                      c::UnsupportedVersion, c::UnsupportedRevision, c::InconsistentLength, c::ChecksumFailed,
                                      c::NoSParaDevice, c::IncompatibleVersion, c::SinglePrecisionOverflow})
        EXPECT_STRNE(LibraryErrorText(raised), UnknownLibraryErrorMessage) << raised;
}

// Small contents stay in the write buffer until the end; large ones go to the
// file while they are written. Both fail as a whole.
TEST(WholeFile, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    for (const std::size_t size : {3000, 200000}) {
        QTemporaryDir folder;
        QFile file(folder.filePath("out.txt"));
        ASSERT_TRUE(WriteWholeFile(file.fileName(), "old"));
        EXPECT_FALSE((ScopedFileSizeLimit(1024), WriteWholeFile(file.fileName(), std::string(size, 'n')))) << size;
        EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == "old") << size;
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"out.txt"});
    }
}
} // namespace
