// The Touchstone reader (its grammar rule by rule, whole files, and real files
// from public repositories, data/corpus and SOURCES.tsv, against a second
// reader, data/reference, written by data/make_reference.py), its accessors
// and refusals, and the export texts, default power limits, rounding and file
// writing behind the editor's import and export commands.

#include "ReadFileToString.h"
#include "S2PDataFile.h"
#include "S2PFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// A table's row, named after its case: the test's name and what a failure shows.
struct Row { const char* name; };
std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }
constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };

// A fresh folder for a test's files, removed with them.
struct Folder : QTemporaryDir
{
    ~Folder() { std::filesystem::remove_all(path().toStdString()); } // also names that are not UTF-8
    std::string PathOf(const std::string& name) const { return path().toStdString() + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }
};

// What came of reading a file (with a callback, or an empty one): the code (0 when it loaded), the context,
// every parser report.
struct Outcome { std::int32_t code = 0; bool hasContext = false; std::string context; std::vector<std::string> reports; unsigned points = 0; };

Outcome LoadFile(char type, const std::string& path, bool withCallback = true)
{
    Outcome outcome;
    const auto report = [&](const std::string& text) { outcome.reports.push_back(text); };
    try {
        outcome.points = CS2PDataFile(type, path, withCallback ? report : CS2PDataFile::ParserErrorCallback()).GetNumPoints();
    } catch (const TvxKyyCalcDLLError& error) {
        outcome = {error.code, error.context != nullptr, error.context ? error.context : "", outcome.reports};
    }
    return outcome;
}

// The reader for bytes that must load.
std::unique_ptr<CS2PDataFile> Open(char type, const std::string& content)
{
    return std::make_unique<CS2PDataFile>(type, content, "test.s2p", nullptr);
}

const std::string D = "1 11 12 21 22 31 32 41 42\n", N = "1 2.5 0.5 45 10\n", H = "# HZ S RI\n", U = "1 2 3 4 5\n";
const std::string Alt = "<alternative><eol><expect_operator><permutation><frequency_unit><param_type><data_format><impedance><eol>";
const std::string A = "1 11 12 21 22 31 32 41 42", B = "2 13 14 23 24 33 34 43 44", C = "3 15 16 25 26 35 36 45 46";
const std::string Corpus = OSTREL_TEST_DATA_DIR "/corpus/";

// A file's load: its code, points, and the parser's report ("Expecting " +
// expecting + " here:\n\"" + the snippet's first bytes; a snippet ending in its
// closing quote is the whole rest). 402 carries no context, the other codes the path.
// Without a callback the outcome is the same.
struct LoadRow : Row { char type; std::string content; std::int32_t code; unsigned points; std::string expecting, snippet; };
using Load = ::testing::TestWithParam<LoadRow>;
TEST_P(Load, LoadsOrRefusesWithTheParsersReport)
{
    const auto& row = GetParam();
    const Folder folder;
    const std::string path = row.content.rfind("@", 0) == 0 ? Corpus + row.content.substr(1) : folder.Write("t.s2p", row.content);
    const Outcome outcome = LoadFile(row.type, path);
    EXPECT_EQ(outcome.code, row.code);
    const Outcome quiet = LoadFile(row.type, path, false);
    EXPECT_EQ(std::tie(quiet.code, quiet.context), std::tie(outcome.code, outcome.context)) << "with an empty callback";
    EXPECT_EQ(outcome.points, row.points);
    EXPECT_EQ(outcome.hasContext, row.code != 0 && row.code != 402);
    EXPECT_EQ(outcome.context, outcome.hasContext ? path : "");
    ASSERT_EQ(outcome.reports.size(), row.expecting.empty() ? 0u : 1u);
    const std::string head = "Expecting " + row.expecting + " here:\n\"" + row.snippet;
    if (!row.expecting.empty()) EXPECT_EQ(row.snippet.back() == '"' ? outcome.reports[0] : outcome.reports[0].substr(0, head.size()), head);
}
const LoadRow LoadRows[] = {
    // Option line keywords stand as whole words, once each.
    {"UnitAndComma", 'S', "# GHz, S\n" + D, 301, 0, Alt, " GHz, S\n"}, {"UnitAndBang", 'S', "# GHz! c\n" + D, 301, 0, Alt, " GHz! c"},
    {"FormatAndLetter", 'S', "# MAX\n" + D, 301, 0, Alt, " MAX"},
    {"TypeAndDigit", 'S', "# S1\n" + D, 301, 0, Alt, " S1"}, {"RAndNumber", 'S', "# R50\n" + D, 301, 0, Alt, " R50"},
    {"UnitAndHighByte", 'S', "# GHz\xe9\n" + D, 301, 0, "<eol>", "\xe9\n"},
    {"UnitAndDel", 'S', "# GHz\x7f\n" + D, 301, 0, "<eol>", "\x7f\n"}, {"KeywordAndControl", 'S', "# MA\x01\n" + D, 301, 0, "<eol>", "\x01\n"},
    {"TwoUnits", 'S', "# GHz MHz\n" + D, 301, 0, "<eol>", "MHz\n"}, {"TwoTypes", 'S', "# S U\n" + D, 301, 0, "<eol>", "U\n"},
    {"TwoFormats", 'S', "# MA RI\n" + D, 301, 0, "<eol>", "RI\n"}, {"TwoImpedances", 'S', "# R 50 R 75\n" + D, 301, 0, "<eol>", " R 75\n"},
    {"RWithoutNumber", 'S', "# S R\n" + D, 301, 0, "<eol>", "R\n"}, {"ComplexImpedance", 'S', "# GHz S RI R (50+5j)\n" + D, 301, 0, "<eol>", "R (50+5j)\n"},
    {"Version2Keyword", 'S', "[Version] 2.0\n# GHz\n" + D, 401, 0, "<option_line>", "[Version]"},
    // What may stand before the option line, and its absence.
    {"BlanksTabsCommentsFirst", 'S', "  \t\n \t! c \n\t# HZ\n" + D, 0, 1}, {"CrLfAndCrFirst", 'S', "\r\n\r! c\r# HZ\n" + D, 0, 1},
    {"HighAndControlBytesInComment", 'S', "! \xe9\xff\x01\x7f\n# HZ\n" + D, 0, 1},
    {"EmptyFile", 'S', "", 401, 0, "<option_line>", "\""}, {"BlankLinesOnly", 'S', "\n \n\r\n", 401, 0, "<option_line>", "\""},
    {"CommentsOnly", 'S', "! a\n! b", 401, 0, "<option_line>", "\""}, {"DataWithoutOptionLine", 'S', D, 401, 0, "<option_line>", "1 11 12"},
    {"TextBeforeTheHashOnItsLine", 'S', "x # HZ\n" + D, 401, 0, "<option_line>", "x # HZ"},
    {"MarkAfterABlankLine", 'S', "\n\xEF\xBB\xBF# HZ\n" + D, 401, 0, "<option_line>", "\xEF\xBB\xBF# HZ"},
    {"HalfAMark", 'S', "\xEF\xBB# HZ\n" + D, 401, 0, "<option_line>", "\xEF\xBB# HZ"},
    // Byte order marks are refused before parsing.
    {"Utf8Mark", 'S', "\xEF\xBB\xBF# HZ\n" + D, 315, 0}, {"Utf16LeMark", 'S', std::string("\xFF\xFE#\0 \0H\0Z\0\n\0", 12), 315, 0},
    {"Utf16BeMark", 'S', std::string("\xFE\xFF\0#\0 \0H\0Z\0\n", 12), 315, 0}, {"Utf8MarkAlone", 'S', "\xEF\xBB\xBF", 315, 0},
    // Later hash lines only before the data, in 7-bit text.
    {"HighByteInLaterHash", 'S', "# HZ\n# caf\xe9 au lait\n" + D, 301, 0, "<eol>", "\xe9 au lait\n1 11"},
    {"HighByteAfterComment", 'S', "# HZ\n! ok\n#\xff\n" + D, 301, 0, "<eol>", "\xff\n"},
    {"HashBetweenData", 'S', "# HZ\n" + D + "# HZ\n" + D, 301, 0, "<eoi>", "# HZ\n"},
    {"HashAfterNoise", 'S', "# HZ\n" + D + N + "# x\n", 301, 0, "<eoi>", "# x\n"},
    // Data lines of nine numbers, then noise lines of five.
    {"NoData", 'S', H, 301, 0, "<data_line_list>", "\""}, {"CommentsNoData", 'S', H + "! a\n\n! b\n", 301, 0, "<data_line_list>", "\""},
    {"FirstOfFive", 'S', H + N, 301, 0, "<data_line_list>", "1 2.5 0.5"}, {"SixAfterData", 'S', H + D + "2 1 2 3 4 5\n", 301, 0, "<eol>", " 5\n"},
    {"FourAfterData", 'S', H + D + "2 1 2 3\n", 301, 0, "<eoi>", "2 1 2 3\n"}, {"Ten", 'S', H + "1 2 3 4 5 6 7 8 9 10\n", 301, 0, "<eol>", " 10\n"},
    {"CommaAfterNine", 'S', H + "1 2 3 4 5 6 7 8 9,\n", 301, 0, "<eol>", ",\n"},
    {"WrappedAfterFive", 'S', H + D + "2 1 2 3 4\n5 6 7 8\n", 301, 0, "<eoi>", "5 6 7 8\n"},
    {"FirstWrapped", 'S', H + "1 2 3 4 5\n6 7 8 9\n", 301, 0, "<data_line_list>", "1 2 3 4 5\n6"},
    {"DecimalCommas", 'S', H + "1,5 2 3 4 5 6 7 8 9\n", 301, 0, "<data_line_list>", "1,5 2"},
    {"NumberOverflow", 'S', H + "1e400 2 3 4 5 6 7 8 9\n", 301, 0, "<data_line_list>", "1e400"},
    {"HighByteBetweenNumbers", 'S', H + "1 2 3 4 5\xb5 6 7 8 9\n", 301, 0, "<data_line_list>", "1 2 3 4 5\xb5"},
    {"TextAfterData", 'S', H + D + "end\n", 301, 0, "<eoi>", "end\n"},
    {"OneNoiseLine", 'S', H + D + D + N, 0, 2}, {"NoiseWithBlankAndComments", 'S', H + D + D + "\n! noise\n" + N + "\n" + N + "! end\n\n", 0, 2},
    {"NoiseOverlappingData", 'S', "# GHz S MA\n1 0 0 1 0 1 0 0 0\n75 0 0 1 0 1 0 0 0\n70 2 .5 45 10\n75 2 .5 45 10\n", 0, 2},
    {"NoiseWithoutLineEnd", 'S', H + D + D + "1 2 3 4 5", 0, 2}, {"DataAfterNoise", 'S', H + D + N + D, 301, 0, "<eol>", " 31 32 41 42\n"},
    // Uncertainty files: five numbers a line.
    {"UncertaintyOfNine", 'U', "# HZ U\n" + D, 301, 0, "<eol>", " 31 32 41 42\n"},
    {"UncertaintyOfFour", 'U', "# HZ U\n1 2 3 4\n", 301, 0, "<data_line_list>", "1 2 3 4\n"},
    {"UncertaintyTypeAfterData", 'U', "# HZ\n1 2 3 4 5\n# U\n", 301, 0, "<data_line_list>", "1 2 3 4 5"},
    // The parameter type the caller expects.
    {"UAsS", 'S', "# HZ U\n" + U, 402, 0}, {"ZAsS", 'S', "# HZ Z\n" + D, 402, 0}, {"SAsU", 'U', "# HZ S\n" + D, 402, 0},
    {"DefaultAsU", 'u', "#\n" + D, 402, 0}, {"SAsOther", 'Z', "# HZ S\n" + D, 402, 0}, {"UAsOther", 'H', "# HZ U\n" + U, 402, 0},
    {"ZAsZ", 'Z', "# HZ Z\n" + D, 0, 1}, {"GAsAnyOther", 'x', "# HZ G\n" + D, 0, 1}, {"HAsY", 'Y', "# HZ H\n" + D, 0, 1},
    {"SAsLowerS", 's', "# HZ S\n" + D, 0, 1}, {"UAsLowerU", 'u', "# HZ U\n" + U, 0, 1}, {"HFileAsS", 'S', "@ex_11.s2p", 402, 0},
    // Whole reports: up to 32 bytes from the error position, with the line end the reader appends.
    {"ReportOfAlternatives", 'S', "# foo\n1 2 3 4 5 6 7 8 9\n", 301, 0, Alt, " foo\n1 2 3 4 5 6 7 8 9\n\r\n\""},
    {"ReportCutAfter32", 'S', "# HZ 0123456789abcdefghijklmnopqrstuvwxyz\n", 301, 0, "<eol>", "0123456789abcdefghijklmnopqrstuv\""},
    {"ReportWithLineEnd", 'S', "# HZ\n1 2 3 4 5 6 7 8 9\n2 3 4", 301, 0, "<eoi>", "2 3 4\r\n\""},
    {"ReportOfDataList", 'S', "# HZ\n\n! c\n1 2 3 4 5\n6 7 8 9 10 11 12 13 14 15 16 17\n", 301, 0, "<data_line_list>", "1 2 3 4 5\n6 7 8 9 10 11 12 13 14\""},
    {"ReportHighBytes", 'S', "# HZ\n#\xc3\xa9t\xc3\xa9\n", 301, 0, "<eol>", "\xc3\xa9t\xc3\xa9\n\r\n\""},
    // Real files that fail the way the grammar implies (the others load as the second reader reads them).
    {"BrokenPair", 'S', "@broken_pair.s2p", 301, 0, "<data_line_list>", ""}, // its first record lacks the last number
    {"ComplexReference", 'S', "@double_option_line.s2p", 301, 0, "<eol>", ""}, // "R (10+10j)" is no number
    {"SimpleTouchstone", 'S', "@simple_touchstone.s2p", 301, 0, "<eol>", ""}, {"Utf8Sig", 'S', "@test_encoding_UTF-8-SIG.s2p", 315, 0}};
INSTANTIATE_TEST_SUITE_P(S2PGrammar, Load, ::testing::ValuesIn(LoadRows), RowName);

// A corpus file without a row above loads, every point as the second reader reads it.
TEST(S2PGrammar, CorpusFilesAgreeWithTheSecondReader)
{
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Corpus)) {
        const std::string name = entry.path().filename().string();
        if (name == "SOURCES.tsv" || std::any_of(std::begin(LoadRows), std::end(LoadRows), [&](const LoadRow& r) { return r.content == "@" + name && r.code != 402; }))
            continue;
        const CS2PDataFile file(name == "ex_11.s2p" ? 'H' : 'S', Corpus + name, nullptr);
        if (name == "scikit_unordered.s2p") { // the second reader gives up on an out-of-order last frequency; it is a point like any other
            EXPECT_EQ(std::make_tuple(file.GetNumPoints(), file.GetFrequency(99), file.GetFrequency(100), file.GetSPara(100, &SParaType<1>::S21)),
                      std::make_tuple(101u, 1485000100.0, 15000000.0, SParaValue(-0.000306106, 0.0041482, 0.0)));
            continue;
        }
        std::ifstream reference(OSTREL_TEST_DATA_DIR "/reference/" + name + ".txt");
        unsigned point = 0;
        for (std::string line; std::getline(reference, line); ++point) {
            ASSERT_LT(point, file.GetNumPoints()) << name;
            std::istringstream numbers(line);
            std::vector<double> expected(9);
            for (double& number : expected) numbers >> number;
            std::vector<double> actual = {file.GetFrequency(point)};
            for (const auto* which : {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22})
                actual.insert(actual.end(), {std::get<0>(file.GetSPara(point, which)), std::get<1>(file.GetSPara(point, which))});
            for (std::size_t i = 0; i < 9; ++i)
                ASSERT_LE(std::abs(actual[i] - expected[i]), std::max(1e-15, 1e-12 * std::abs(expected[i]))) << name << " point " << point << " value " << i;
        }
        EXPECT_EQ(point, file.GetNumPoints()) << name;
        ++compared;
    }
    EXPECT_EQ(compared, 27);
}

// The option line's fields; absent tokens keep the defaults, later hash lines are ignored.
struct OptionRow : Row { char type; std::string head; const CFreqUnit* unit; const CParamType* param; const CDataFormat* format; double impedance; };
using Option = ::testing::TestWithParam<OptionRow>;
TEST_P(Option, SetsItsFields)
{
    const auto& row = GetParam();
    const auto file = Open(row.type, row.head + (row.param == &CParamType::Uncertainty ? U : D));
    const s2p_option_line_t& options = file->GetOptionLine();
    EXPECT_FALSE(options.option_line_missing);
    EXPECT_EQ(file->GetNumPoints(), 1u);
    EXPECT_EQ(std::tie(options.frequency_unit, options.param_type, options.data_format, options.impedance),
              std::tie(row.unit, row.param, row.format, row.impedance));
}
const auto *GHz = &CFreqUnit::GHz, *MHz = &CFreqUnit::MHz, *Hz = &CFreqUnit::Hz, *kHz = &CFreqUnit::kHz;
const auto *S = &CParamType::SParameter, *O = &CParamType::Other;
const auto *MA = &CDataFormat::MA, *RI = &CDataFormat::RI, *DB = &CDataFormat::DB;
const OptionRow OptionRows[] = {
    {"BareHash", 'S', "#\n", GHz, S, MA, 50}, {"CommentOnly", 'S', "#   ! no tokens\n", GHz, S, MA, 50},
    {"MixedCase", 'S', "# kHz s dB r 25\n", kHz, S, DB, 25}, {"UnitAlone", 'S', "# khz\n", kHz, S, MA, 50},
    {"FormatAlone", 'S', "# db\n", GHz, S, DB, 50}, {"ImpedanceAlone", 'S', "# R 75\n", GHz, S, MA, 75},
    {"ImpedanceAfterTab", 'S', "# R\t12.5\n", GHz, S, MA, 12.5}, {"ImpedanceAfterBlanks", 'S', "# R  \t 100 S\n", GHz, S, MA, 100},
    {"ImpedanceExponent", 'S', "# R 1e2\n", GHz, S, MA, 100}, {"ImpedanceSign", 'S', "# R -5\n", GHz, S, MA, -5},
    {"ImpedanceAndComment", 'S', "# R 60! impedance\n", GHz, S, MA, 60}, {"Tabs", 'S', "#\tMHZ\tS\tMA\tR\t50\n", MHz, S, MA, 50},
    {"NoBlankAfterHash", 'S', "#HZ RI\n", Hz, S, RI, 50}, {"BlanksBeforeHash", 'S', "  \t# GHZ\n", GHz, S, MA, 50},
    {"BlankAndComment", 'S', "# HZ S RI R 50 ! c\n", Hz, S, RI, 50}, {"CommentAfterLast", 'S', "# HZ S RI R 50!c\n", Hz, S, RI, 50},
    {"TrailingBlanks", 'S', "# MHz   \t\n", MHz, S, MA, 50}, {"CrLineEnd", 'S', "# MHz\r", MHz, S, MA, 50},
    {"BlankAndCommentLinesAfter", 'S', "# MHz\n\n  ! c\n\r\n", MHz, S, MA, 50},
    {"UpperS", 'S', "# S\n", GHz, S, MA, 50}, {"LowerS", 's', "# s\n", GHz, S, MA, 50},
    {"UpperU", 'U', "# U\n", GHz, &CParamType::Uncertainty, MA, 50}, {"LowerU", 'u', "# u\n", GHz, &CParamType::Uncertainty, MA, 50},
    {"Z", 'Z', "# Z\n", GHz, O, MA, 50}, {"LowerY", 'Y', "# y\n", GHz, O, MA, 50}, {"H", 'H', "# H\n", GHz, O, MA, 50}, {"LowerG", 'G', "# g\n", GHz, O, MA, 50},
    {"SecondOptionLine", 'S', "# HZ S RI R 50\n# GHz U DB R 75\n", Hz, S, RI, 50}, {"SevenBitHash", 'S', H + "#\x01 (x) , ; \x7f \"x\"\n", Hz, S, RI, 50},
    {"LaterBareHash", 'S', H + "#\n", Hz, S, RI, 50}, {"SeveralHashes", 'S', H + "\n# a\n! c\n  # b\r\n\r#c\n", Hz, S, RI, 50},
    {"HighByteInHashComment", 'S', H + "# text ! caf\xe9\n", Hz, S, RI, 50}, {"BlankLinesBeforeData", 'S', H + "\n\n", Hz, S, RI, 50}};
INSTANTIATE_TEST_SUITE_P(S2PGrammar, Option, ::testing::ValuesIn(OptionRows), RowName);

TEST(S2PGrammar, FourTokensInEveryOrderAndCase)
{
    std::array<std::string, 4> tokens = {"GHz", "R 75", "Ri", "S"};
    do {
        for (const auto spell : {::tolower, ::toupper}) {
            std::string line = "#";
            for (std::string token : tokens) line += " " + (std::transform(token.begin(), token.end(), token.begin(), spell), token);
            const auto file = Open('S', line + "\n" + D);
            EXPECT_EQ(std::make_tuple(file->GetOptionLine().frequency_unit, file->GetOptionLine().data_format, file->GetOptionLine().impedance),
                      std::make_tuple(GHz, RI, 75.0)) << line;
        }
    } while (std::next_permutation(tokens.begin(), tokens.end()));
}

// Every number of the table as the real number parser reads it (sign included).
struct ValuesRow : Row { char type; std::string content; std::vector<double> values; };
using Values = ::testing::TestWithParam<ValuesRow>;
TEST_P(Values, ReadsEveryNumber)
{
    const auto file = Open(GetParam().type, GetParam().content);
    const unsigned columns = GetParam().type == 'U' ? 5 : 9;
    ASSERT_EQ(file->GetNumPoints() * columns, GetParam().values.size());
    for (unsigned i = 0; i < GetParam().values.size(); ++i) {
        const double read = file->GetValue(i / columns, i % columns), expected = GetParam().values[i];
        EXPECT_TRUE((std::isnan(read) && std::isnan(expected)) || (read == expected && std::signbit(read) == std::signbit(expected))) << i << ": " << read;
    }
    EXPECT_THROW(file->GetValue(0, columns), std::out_of_range);
    EXPECT_THROW(file->GetValue(file->GetNumPoints(), 0), std::out_of_range);
}
const std::vector<double> Nine = {1, 2, 3, 4, 5, 6, 7, 8, 9}, Abc = {1, 11, 12, 21, 22, 31, 32, 41, 42, 2, 13, 14, 23, 24, 33, 34, 43, 44, 3, 15, 16, 25, 26, 35, 36, 45, 46};
const ValuesRow ValuesRows[] = {
    {"Blanks", 'S', H + "1 2 3 4 5 6 7 8 9\n", Nine}, {"TabsAndBlanks", 'S', H + "1\t2 \t 3    4\t\t5 6 7 8 9\n", Nine},
    {"SignsWithoutBlanks", 'S', H + "1.0-2.0+3-4e1+5E-1-6.5+7-8+.9\n", {1, -2, 3, -40, 0.5, -6.5, 7, -8, 0.9}},
    {"DecimalPoints", 'S', H + ".5 5. -.25 +7. 0.0 -0 00012 1.e1 .1E+2\n", {0.5, 5, -0.25, 7, 0, -0.0, 12, 10, 10}},
    {"Exponents", 'S', H + "1e3 1E+3 1e-3 -1.5e-3 +2.5E2 1e+009 1e308 4.9e-324 1e-400\n", {1e3, 1e3, 1e-3, -1.5e-3, 250, 1e9, 1e308, 4.9e-324, 0.0}},
    {"LeadingBlanksTrailingComment", 'S', H + "   1 2 3 4 5 6 7 8 9 ! the end\n", Nine}, {"TrailingBlanks", 'S', H + "1 2 3 4 5 6 7 8 9 \t \n", Nine},
    {"CommentAfterLastNumber", 'S', H + "1 2 3 4 5 6 7 8 9!x\n", Nine},
    {"NanAndInfinity", 'S', H + "1 nan NAN Inf -inf INFINITY -Infinity +nan 9\n", {1, NAN, NAN, HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL, NAN, 9}},
    {"Lf", 'S', H + A + "\n" + B + "\n" + C + "\n", Abc}, {"CrLf", 'S', "# HZ S RI\r\n" + A + "\r\n" + B + "\r\n" + C + "\r\n", Abc},
    {"LoneCr", 'S', "# HZ S RI\r" + A + "\r" + B + "\r" + C + "\r", Abc}, {"MixedLineEnds", 'S', "# HZ S RI\r\n" + A + "\n" + B + "\r" + C + "\r\n", Abc},
    {"LfCrAsTwoLineEnds", 'S', "# HZ S RI\n\r" + A + "\n\r" + B + "\n\r" + C + "\n\r", Abc}, {"NoFinalLineEnd", 'S', H + A + "\n" + B + "\n" + C, Abc},
    {"CommentWithoutLineEnd", 'S', H + A + "\n" + B + "\n" + C + " ! end", Abc},
    {"BlankLinesBetween", 'S', H + "\n" + A + "\n\n\n" + B + "\n \t\n" + C + "\n\n\n", Abc},
    {"CommentLinesBetween", 'S', H + A + "\n! x\n" + B + "\n  ! y\n" + C + "\n!z\n!", Abc},
    {"HighBytesInComments", 'S', H + A + "\n!\xe9\xff\n" + B + " !\x80\n" + C + "\n", Abc},
    {"FrequencyOrderNotChecked", 'S', H + "3 1 2 3 4 5 6 7 8\n1 1 2 3 4 5 6 7 8\n", {3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 1, 2, 3, 4, 5, 6, 7, 8}},
    {"Uncertainty", 'U', "# HZ U\n1 0.1 0.2 0.3 0.4\n! c\n2 0.5 0.6 0.7 0.8\n3-1-2-3-4\n", {1, 0.1, 0.2, 0.3, 0.4, 2, 0.5, 0.6, 0.7, 0.8, 3, -1, -2, -3, -4}}};
INSTANTIATE_TEST_SUITE_P(S2PGrammar, Values, ::testing::ValuesIn(ValuesRows), RowName);

const auto *S11 = &SParaType<1>::S11, *S21 = &SParaType<1>::S21, *S12 = &SParaType<1>::S12, *S22 = &SParaType<1>::S22;
const std::string Ri = "1 11 12 21 22 31 32 41 42\n"; // every pair distinct, so that a swapped column shows

std::int32_t CodeOf(const std::function<void()>& action)
{
    try { action(); } catch (const TvxKyyCalcDLLError& error) { return error.code; }
    return 0;
}

// The first point's frequency in Hz and S21 as (real, imaginary, 0), worked
// out by hand: cos 60° = 0.5, 20 dB = 10, -6.0206 dB = 0.5, 0 dB at 45°.
struct PointRow : Row { std::string content; double hertz, real, imaginary; };
using Point = ::testing::TestWithParam<PointRow>;
TEST_P(Point, ScalesTheFrequencyAndConvertsTheFormat)
{
    const auto file = Open('S', GetParam().content);
    EXPECT_EQ(file->GetFrequency(0), GetParam().hertz);
    const SParaValue value = file->GetSPara(0, S21);
    EXPECT_NEAR(std::get<0>(value), GetParam().real, 1e-15 + std::abs(GetParam().real) * 1e-15);
    EXPECT_NEAR(std::get<1>(value), GetParam().imaginary, 1e-15 + std::abs(GetParam().imaginary) * 1e-15);
    EXPECT_EQ(std::get<2>(value), 0.0);
}
const PointRow PointRows[] = {
    {"Hz", "# HZ\n1.5 0 0 2 0 0 0 0 0\n", 1.5, 2, 0}, {"kHz", "# khz\n1.5 0 0 2 0 0 0 0 0\n", 1.5e3, 2, 0},
    {"MHz", "# MHz\n1.5 0 0 2 0 0 0 0 0\n", 1.5e6, 2, 0}, {"GHz", "# GHZ\n1.5 0 0 2 0 0 0 0 0\n", 1.5e9, 2, 0},
    {"DefaultGHz", "#\n1.5 0 0 2 0 0 0 0 0\n", 1.5e9, 2, 0}, {"Ma60", "# HZ MA\n1 0 0 2 60 0 0 0 0\n", 1, 1.0000000000000002, 1.7320508075688772},
    {"Ma90", "# HZ MA\n1 0 0 0.5 90 0 0 0 0\n", 1, 3.061616997868383e-17, 0.5}, {"MaMinus180", "# HZ MA\n1 0 0 1 -180 0 0 0 0\n", 1, -1, -1.2246467991473532e-16},
    {"MaNegative", "# HZ MA\n1 0 0 -1 0 0 0 0 0\n", 1, -1, -0.0}, {"Db20", "# HZ DB\n1 0 0 20 0 0 0 0 0\n", 1, 10, 0},
    {"DbHalfAt180", "# HZ DB\n1 0 0 -6.020599913279624 180 0 0 0 0\n", 1, -0.5, 6.123233995736766e-17},
    {"DbOneAt45", "# HZ DB\n1 0 0 0 45 0 0 0 0\n", 1, 0.7071067811865476, 0.7071067811865475},
    {"DbMinus40AtMinus90", "# HZ DB\n1 0 0 -40 -90 0 0 0 0\n", 1, 6.123233995736766e-19, -0.01}, {"Ri", "# HZ RI\n1 0 0 0.125 -0.75 0 0 0 0\n", 1, 0.125, -0.75}};
INSTANTIATE_TEST_SUITE_P(S2PDataFile, Point, ::testing::ValuesIn(PointRows), RowName);

TEST(S2PDataFile, ParametersTakeTheirColumnsAndOnlyTheirRows)
{
    const auto file = Open('S', "# MHz S RI R 75\n" + Ri + "2 0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(file->GetOptionLine().impedance, 75.0); // kept, values are not renormalised
    EXPECT_EQ(file->GetSPara(0, S11), SParaValue(11, 12, 0));
    EXPECT_EQ(file->GetSPara(0, S21), SParaValue(21, 22, 0));
    EXPECT_EQ(file->GetSPara(0, S12), SParaValue(31, 32, 0));
    EXPECT_EQ(file->GetSPara(0, S22), SParaValue(41, 42, 0));
    EXPECT_EQ(file->GetFrequency(1), 2e6);
    const SParaType<1> lookalike{"S11", 0, &SParaType<1>::S12};
    const auto uncertainty = Open('U', "# HZ U RI\n1 0.1 0.2 0.3 0.4\n");
    EXPECT_EQ(uncertainty->GetSPara(0, S11), SParaValue(0.1, 0.2, 0));
    for (const auto& refused : std::vector<std::function<void()>>{
             [&] { file->GetFrequency(2); }, [&] { file->GetFrequency(~0u); }, [&] { file->GetSPara(2, S11); },
             [&] { file->GetSPara(0, &SParaType<1>::Unknown); }, [&] { file->GetSPara(0, nullptr); }, [&] { file->GetSPara(0, &lookalike); },
             [&] { uncertainty->GetSPara(0, S12); }, [&] { uncertainty->GetSPara(0, S22); }})
        EXPECT_EQ(CodeOf(refused), 105);
}

struct GainRow : Row { std::string content; float gain; };
using Gain = ::testing::TestWithParam<GainRow>;
TEST_P(Gain, IsTheLargestPowerTransmission) { EXPECT_FLOAT_EQ(Open('S', GetParam().content)->GetMaxS21Gain(), GetParam().gain); }
const GainRow GainRows[] = {
    {"LargestInTheMiddle", "# RI\n1 9 9 0.3 0.4 9 9 9 9\n2 0 0 3 4 0 0 0 0\n3 9 9 1 1 9 9 9 9\n", 25}, {"S12Larger", "# RI\n1 0 0 0.5 0 7 7 0 0\n", 0.25f},
    {"Ma", "# MA\n1 0 0 0.5 123 0 0 0 0\n2 0 0 0.25 -10 0 0 0 0\n", 0.25f}, {"Db", "# DB\n1 0 0 -3 0 0 0 0 0\n2 0 0 10 45 0 0 0 0\n", 10},
    {"NanPassedOver", "# RI\n1 0 0 nan 0 0 0 0 0\n2 0 0 2 0 0 0 0 0\n", 4}};
INSTANTIATE_TEST_SUITE_P(S2PDataFile, Gain, ::testing::ValuesIn(GainRows), RowName);

// The rows around a frequency decide, with a tolerance of 1e-6 relative.
struct UncertaintyRow : Row { char type; std::string content; double frequency; std::array<double, 4> expected; };
using Uncertainty = ::testing::TestWithParam<UncertaintyRow>;
TEST_P(Uncertainty, ComesFromTheRowsAroundTheFrequency)
{
    EXPECT_EQ(Open(GetParam().type, GetParam().content)->GetUncertainty(GetParam().frequency), GetParam().expected);
}
const std::string F3 = "# MHz U\n100 0.10 0.20 0.30 0.40\n200 0.50 0.05 0.35 0.45\n300 0.01 0.60 0.02 0.70\n", One = "# MHz U\n100 1 2 3 4\n";
const std::string F5 = "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n30 3 9 3 3\n40 4 4 4 4\n50 5 5 5 5\n", Two = "# HZ U\n10 1 8 3 6\n20 5 4 7 2\n";
const std::array<double, 4> First = {0.10, 0.20, 0.30, 0.40}, FirstSecond = {0.50, 0.20, 0.35, 0.45}, Second = {0.50, 0.05, 0.35, 0.45}, Last = {0.01, 0.60, 0.02, 0.70};
const UncertaintyRow UncertaintyRows[] = {
    {"BelowFirst", 'U', F3, 50e6, First}, {"InsideToleranceBelowFirst", 'U', F3, 100e6 / 0.9999995, First}, {"AtFirst", 'U', F3, 100e6, First},
    {"HairBeyondToleranceAboveFirst", 'U', F3, 100e6 * (1 + 1.0000005e-6), First}, {"BetweenFirstAndSecond", 'U', F3, 150e6, FirstSecond},
    {"AboveFirstBeyondTolerance", 'U', F3, 100e6 * 1.000002, FirstSecond}, {"AtSecond", 'U', F3, 200e6, Second},
    {"ToleranceAboveSecond", 'U', F3, 200e6 * 1.0000009, Second}, {"ToleranceBelowSecond", 'U', F3, 200e6 * 0.9999991, Second},
    {"BelowSecondBeyondTolerance", 'U', F3, 200e6 * 0.999998, FirstSecond}, {"BetweenSecondAndThird", 'U', F3, 250e6, {0.50, 0.60, 0.35, 0.70}},
    {"ToleranceBelowLast", 'U', F3, 300e6 * 0.9999991, Last}, {"AtLast", 'U', F3, 300e6, Last}, {"AboveLast", 'U', F3, 1e12, Last},
    {"OnePointBelow", 'U', One, 1e6, {1, 2, 3, 4}}, {"OnePointAbove", 'U', One, 1e9, {1, 2, 3, 4}}, {"OnePointNan", 'U', One, NAN, {1, 2, 3, 4}},
    {"TwoBetween", 'U', Two, 15, {5, 8, 7, 6}}, {"TwoAtFirst", 'U', Two, 10, {1, 8, 3, 6}}, {"TwoAtSecond", 'U', Two, 20, {5, 4, 7, 2}},
    {"FiveThirdToFourth", 'U', F5, 35, {4, 9, 4, 4}}, {"FiveAtFourth", 'U', F5, 40, {4, 4, 4, 4}}, {"FiveFirstToSecond", 'U', F5, 12, {2, 2, 2, 2}},
    {"RepeatedTakesTheLater", 'U', "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n20 7 7 7 7\n30 3 3 3 3\n", 20, {7, 7, 7, 7}},
    {"UnorderedStopsAtFirstHigher", 'U', "# HZ U\n10 1 1 1 1\n40 4 4 4 4\n20 2 9 2 2\n30 3 3 3 3\n50 5 5 5 5\n", 25, {4, 4, 4, 4}},
    {"UnorderedLowerAfterHigher", 'U', "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n15 8 8 8 8\n40 4 4 4 4\n50 5 5 5 5\n", 30, {8, 8, 8, 8}},
    {"ZeroForS", 'S', "# HZ S RI\n" + Ri, 1, {0, 0, 0, 0}}, {"ZeroForZ", 'Z', "# HZ Z RI\n" + Ri, 1, {0, 0, 0, 0}}};
INSTANTIATE_TEST_SUITE_P(S2PDataFile, Uncertainty, ::testing::ValuesIn(UncertaintyRows), RowName);

TEST(S2PDataFile, WhatIsNotARegularReadableFileIsRefusedWithCode1)
{
    const Folder folder;
    ASSERT_EQ(::mkfifo(folder.PathOf("pipe.s2p").c_str(), 0600), 0); // no writer: must not wait for one
    const std::string large = folder.Write("large.s2p", "");
    ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(maxTouchstoneFileSize) + 1), 0); // sparse, beyond 256 MiB
    for (const std::string& path : {folder.path().toStdString(), folder.PathOf("pipe.s2p"), std::string("/dev/zero"), folder.PathOf("missing.s2p"),
                                    large, folder.PathOf("missing/x.s2p")}) {
        const Outcome outcome = LoadFile('S', path);
        EXPECT_EQ(std::make_tuple(outcome.code, outcome.context, outcome.reports.size()), std::make_tuple(1, path, std::size_t{0}));
    }
    for (const char* name : {"Messung \xc3\xa4\xc3\xb6\xc3\xbc.s2p", "caf\xe9.s2p", "a b;c.S2P"}) // opened as given
        EXPECT_EQ(LoadFile('S', folder.Write(name, "# HZ\n" + Ri)).points, 1u) << name;
}

TEST(S2PDataFile, ReadFileToStringKeepsEveryByteUpToTheLimit)
{
    const Folder folder;
    std::string bytes = "\r\n\n\r\x1a", content;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    const std::string path = folder.Write("bytes.bin", bytes);
    ASSERT_TRUE(ReadFileToString(path, content, 2, bytes.size()));
    EXPECT_EQ(content, bytes);
    EXPECT_GE(content.capacity(), bytes.size() + 2);
    EXPECT_FALSE(ReadFileToString(path, content, 0, bytes.size() - 1));
    EXPECT_TRUE(ReadFileToString(folder.Write("empty.bin", ""), content) && content.empty());
}

std::string ReadFile(const std::string& path) { std::ifstream in(path, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }
QStringList Entries(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot); }

// Half up to the digits (at least one); what is not positive and finite stays as it is.
struct RoundRow : Row { double value; int digits; double expected; };
using Round = ::testing::TestWithParam<RoundRow>;
TEST_P(Round, RoundsTheMantissaHalfUp)
{
    const double rounded = RoundToSignificantDigits(GetParam().value, GetParam().digits), expected = GetParam().expected;
    EXPECT_TRUE((std::isnan(rounded) && std::isnan(expected)) ||
                ((rounded == expected || std::abs(rounded - expected) <= 1e-15 * std::abs(expected)) && std::signbit(rounded) == std::signbit(expected))) << rounded;
}
const RoundRow RoundRows[] = {
    {"HalfUp", 1.125, 3, 1.13}, {"BelowHalfDown", 1.124, 3, 1.12}, {"Thousands", 1250, 2, 1300}, {"CarryToNextDecade", 99.96, 3, 100},
    {"SmallLowerLimit", 9.99999994e-8, 3, 1e-7}, {"AlreadyRound", 0.1, 3, 0.1}, {"ManyDigits", 123.456, 6, 123.456},
    {"ZeroDigitsAsOne", 3.5, 0, 4}, {"NegativeDigitsAsOne", 2.5, -2, 3}, {"Zero", 0.0, 3, 0.0}, {"NegativeZero", -0.0, 3, -0.0},
    {"Negative", -1.2345, 3, -1.2345}, {"NaN", NAN, 3, NAN}, {"Infinite", HUGE_VAL, 3, HUGE_VAL}, {"NegInfinite", -HUGE_VAL, 3, -HUGE_VAL}};
INSTANTIATE_TEST_SUITE_P(S2PFileFormat, Round, ::testing::ValuesIn(RoundRows), RowName);

struct SanitizeRow : Row { std::string text, expected; };
using Sanitize = ::testing::TestWithParam<SanitizeRow>;
TEST_P(Sanitize, ReplacesControlAndNonAsciiBytes) { EXPECT_EQ(SanitizeCommentText(GetParam().text), GetParam().expected); }
const SanitizeRow SanitizeRows[] = {
    {"PrintableAscii", "Attenuator 20 dB ~#!", "Attenuator 20 dB ~#!"}, {"Empty", "", ""}, {"Tab", "a\tb", "a_b"}, {"LineEnds", "a\r\nb", "a__b"},
    {"Unit31", "\x1f", "_"}, {"DeleteStays", "\x7f", "\x7f"}, {"Byte128", "\x80", "_"}, {"Latin1Letter", "Pr\xfc" "fling", "Pr_fling"},
    {"Byte255", "\xff", "_"}, {"Nul", std::string("a\0b", 3), "a_b"}};
INSTANTIATE_TEST_SUITE_P(S2PFileFormat, Sanitize, ::testing::ValuesIn(SanitizeRows), RowName);

// Each stock number gets the limits of the first list that holds it; anything else none and a tenth of a watt.
TEST(S2PFileFormat, DefaultPowerLimitsOfTheFirstListHoldingTheStockNumber)
{
    const std::pair<double, double> limits[] = {{1e-10, 0.2}, {1e-10, 0.1}, {3e-7, 0.1}, {1e-9, 0.1}};
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < GetStockNumberLists().size(); ++i) {
        const StockNumberList& list = GetStockNumberLists()[i];
        EXPECT_EQ(std::make_pair(list.lower, list.upper), limits[i]) << "list " << i + 1;
        for (const std::string_view number : list.stockNumbers)
            EXPECT_EQ(GetDefaultPowerLimits(std::string(number)), limits[seen.insert(number).second ? i : 0]) << number;
    }
    EXPECT_EQ(seen.size(), 40u);
    const std::string known(GetStockNumberLists()[2].stockNumbers.front());
    for (const std::string& unknown : {std::string(), known + " ", " " + known, known.substr(0, 9) + "k" + known.substr(10), known.substr(0, 11), std::string("9999.9999K99")})
        EXPECT_EQ(GetDefaultPowerLimits(unknown), std::make_pair(0.0, 0.1)) << unknown;
}

// Fields right-aligned in 12 characters (longer ones whole), CR LF line ends.
struct TextRow : Row { std::optional<std::string> comment; std::vector<std::vector<std::string>> rows; std::string expected; };
using Text = ::testing::TestWithParam<TextRow>;
TEST_P(Text, IsWrittenByteForByte)
{
    const auto& [comment, rows] = std::tie(GetParam().comment, GetParam().rows);
    const auto fill = [&](std::size_t row, auto& fields) { std::copy(rows[row].begin(), rows[row].end(), fields.begin()); };
    const bool uncertainty = GetParam().expected.find("# HZ U") != std::string::npos;
    EXPECT_EQ(uncertainty ? MakeUncertaintyFileText(comment, rows.size(), fill) : MakeS2PFileText(comment, rows.size(), fill), GetParam().expected);
}
const std::string Header = "# HZ S RI R 50\r\n";
const TextRow TextRows[] = {
    {"TwoRowsWithComment", "Attenuator", {{"1e9", "0.1", "-0.2", "0.9", "0.01", "0.8", "0.02", "0.3", "-0.4"}, {"1.5e9", "1.23457e-5", "-2", "3", "4", "5", "6", "7", "8"}},
     "! Attenuator\r\n" + Header + "         1e9          0.1         -0.2          0.9         0.01          0.8         0.02          0.3         -0.4\r\n"
     "       1.5e9   1.23457e-5           -2            3            4            5            6            7            8\r\n"},
    {"NoComment", std::nullopt, {{"0", "0", "0", "1", "0", "1", "0", "0", "0"}},
     Header + "           0            0            0            1            0            1            0            0            0\r\n"},
    {"EmptyComment", "", {}, "! \r\n" + Header}, {"CommentSanitized", "Pad\t3 dB \xe9", {}, "! Pad_3 dB _\r\n" + Header},
    {"HeaderOnly", std::nullopt, {}, Header},
    {"LongAndEmptyFields", std::nullopt, {{"123456789012345", "", "1", "2", "3", "4", "5", "6", "123456789012"}},
     Header + "123456789012345                         1            2            3            4            5            6 123456789012\r\n"},
    {"Uncertainty", "Cable", {{"1e9", "0.01", "0.02", "0.03", "0.04"}, {"2e9", "1e-3", "2e-3", "3e-3", "4e-3"}},
     "! Cable\r\n# HZ U\r\n         1e9         0.01         0.02         0.03         0.04\r\n         2e9         1e-3         2e-3         3e-3         4e-3\r\n"},
    {"UncertaintyHeaderOnly", std::nullopt, {}, "# HZ U\r\n"}};
INSTANTIATE_TEST_SUITE_P(S2PFileFormat, Text, ::testing::ValuesIn(TextRows), RowName);

TEST(S2PFileFormat, WriteStringToFileReplacesTheFileWhole)
{
    const Folder folder;
    const std::string content = std::string("! \xe9\r\n# HZ U\r\n\0\xff", 14) + "\n\r", path = folder.PathOf("old.s2p");
    ASSERT_TRUE(WriteStringToFile(path, std::string(1000, 'x')) && ::chmod(path.c_str(), 0640) == 0);
    ASSERT_TRUE(WriteStringToFile(path, content));
    struct stat status{};
    EXPECT_TRUE(ReadFile(path) == content && ::stat(path.c_str(), &status) == 0 && (status.st_mode & 07777) == 0640);
    ASSERT_EQ(::symlink(path.c_str(), folder.PathOf("link.s2p").c_str()), 0);
    ASSERT_TRUE(WriteStringToFile(folder.PathOf("link.s2p"), "new")); // through the link, which stays
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder.PathOf("link.s2p"))).isSymLink() && ReadFile(path) == "new");
    const QString name = QString::fromUtf8("Mess\xc3\xbcng \xe2\x82\xac.s2p"); // paths in the file-system encoding
    ASSERT_TRUE(WriteStringToFile(QFile::encodeName(QDir(folder.path()).filePath(name)).toStdString(), "x"));
    EXPECT_EQ(Entries(folder.path()), (QStringList{"link.s2p", name, "old.s2p"}));
}

TEST(S2PFileFormat, AFailedWriteReturnsFalseAndLeavesNothingBehind)
{
    const Folder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
    folder.Write("plain", "plain");
    for (const std::string& path : {folder.PathOf("sub"), folder.PathOf("plain/x.s2p"), folder.PathOf("none/x.s2p"), std::string()}) {
        EXPECT_FALSE(WriteStringToFile(path, "content")) << path;
        EXPECT_EQ(Entries(folder.path()), (QStringList{"plain", "sub"}));
        EXPECT_TRUE(Entries(folder.path() + "/sub").isEmpty() && ReadFile(folder.PathOf("plain")) == "plain");
    }
}

} // namespace
