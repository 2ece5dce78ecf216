// The Touchstone reader (its grammar, whole files, and real files from public
// repositories, data/corpus and SOURCES.tsv, against a second reader,
// data/reference, written by data/make_reference.py), its accessors and
// refusals, and the export texts, default power limits, rounding and file
// writing behind the editor's import and export commands.

#include "BytesRead.h"
#include "RegularFile.h"
#include "S2PDataFile.h"
#include "S2PFileFormat.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace std::string_literals;

// A table's row is named after its case: the test's name.
constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };

// A fresh folder for a test's files, removed with them (also names that are not UTF-8).
struct Folder : QTemporaryDir
{
    ~Folder() { std::filesystem::remove_all(path().toStdString()); }
    std::string PathOf(const std::string& name) const { return path().toStdString() + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }
};

// The code and the context ("-" for none) of the library error an action throws; code 0 when it throws none.
using Failure = std::pair<std::int32_t, std::string>;
Failure FailureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TvxKyyCalcDLLError& error) {
        return {error.code, error.context ? error.context : "-"};
    }
    return {0, "-"};
}

const SParaType<1>* const Parameters[] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

// The table as the editor takes it: each point's frequency in Hz, then (real, imaginary) of S11, S21, S12 and S22
// (S11 and S21 of a line of five), the third part always 0. What it does not hold is refused, with code 105: a point
// past the last, a parameter beyond the line, one unknown or only looking like S11; a raw number beyond the table
// throws std::out_of_range.
std::vector<double> ReadBack(const CS2PDataFile& file, unsigned columns)
{
    const SParaType<1> lookalike{"S11", 0, &SParaType<1>::S12};
    const unsigned points = file.GetNumPoints();
    std::vector<double> values;
    for (unsigned point = 0; point < points; ++point) {
        values.push_back(file.GetFrequency(point));
        for (unsigned p = 0; 2 * p + 1 < columns; ++p) {
            const auto [real, imaginary, third] = file.GetSPara(point, Parameters[p]);
            values.insert(values.end(), {real, imaginary});
            EXPECT_EQ(third, 0.0);
        }
    }
    const std::function<void()> beyond[] = {[&] { file.GetFrequency(points); },
                                            [&] { file.GetSPara(points, Parameters[0]); },
                                            [&] { file.GetSPara(0, columns == 5 ? Parameters[2] : &lookalike); },
                                            [&] { file.GetSPara(0, &SParaType<1>::Unknown); }};
    for (const auto& refused : beyond)
        EXPECT_EQ(FailureOf(refused), Failure(105, "-"));
    EXPECT_THROW(file.GetValue(0, columns), std::out_of_range);
    EXPECT_THROW(file.GetValue(points, 0), std::out_of_range);
    return values;
}

// Each value as expected, NaN as NaN and zeros with their sign, or nearer than `absolute` and `relative` of it.
void ExpectValues(const std::vector<double>& actual, const std::vector<double>& expected, double relative, double absolute,
                  const std::string& what = "")
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const double a = actual[i], e = expected[i];
        ASSERT_TRUE((std::isnan(a) && std::isnan(e)) || (a == e && std::signbit(a) == std::signbit(e)) ||
                    std::abs(a - e) < std::max(absolute, relative * std::abs(e)))
            << what << " value " << i << ": " << a << " for " << e;
    }
}

const std::string D = "1 11 12 21 22 31 32 41 42\n", N = "1 2.5 0.5 45 10\n", H = "# HZ S RI\n", U = "1 2 3 4 5\n";
const std::string Alt = "<alternative><eol><expect_operator><permutation><frequency_unit><param_type><data_format>"
                        "<impedance><eol>";
const std::string Corpus = OSTREL_TEST_DATA_DIR "/corpus/";

// A file's load: its code and points, the path as context (none for 402), and the parser's one report ("Expecting "
// + expecting + " here:\n\"" + the snippet's first bytes; a snippet ending in its closing quote is the whole
// rest). Without a callback there is no report and the rest is the same. "@name" is a corpus file. Where the row gives
// values, they are the table as the editor reads it (ReadBack): every number as the real number parser reads it, or
// converted from MA or DB (worked out by hand: cos 60° = 0.5, 20 dB = 10) within the row's tolerance.
struct LoadRow { const char* name; char type; std::string content; std::int32_t code; unsigned points;
                 std::string expecting, snippet; std::vector<double> values; double tolerance = 0; };
void PrintTo(const LoadRow& row, std::ostream* out) { *out << row.name; }
using Load = ::testing::TestWithParam<LoadRow>;
TEST_P(Load, LoadsOrRefusesWithTheParsersReport)
{
    const auto& row = GetParam();
    const Folder folder;
    const std::string path = row.content[0] == '@' ? Corpus + row.content.substr(1) : folder.Write("t.s2p", row.content);
    std::vector<std::string> reports;
    unsigned points = 0, quietPoints = 0;
    const auto report = [&](const std::string& text) { reports.push_back(text); };
    const std::uint64_t readBefore = BytesReadSoFar();
    const Failure failure = FailureOf([&] { points = CS2PDataFile(row.type, path, report).GetNumPoints(); });
    if (row.content.size() > (1u << 20) && row.code != 0) {
        EXPECT_LT(BytesReadSoFar() - readBefore, 16384u) << "a large file is refused by its start";
    }
    EXPECT_EQ(FailureOf([&] { quietPoints = CS2PDataFile(row.type, path, nullptr).GetNumPoints(); }), failure);
    EXPECT_EQ(std::tie(failure, points, quietPoints),
              std::make_tuple(Failure(row.code, row.code != 0 && row.code != 402 ? path : "-"), row.points, row.points));
    const std::string head = "Expecting " + row.expecting + " here:\n\"" + row.snippet;
    const bool whole = !row.snippet.empty() && row.snippet.back() == '"';
    ASSERT_EQ(reports.size(), row.expecting.empty() ? 0u : 1u);
    const std::string design = reports.empty() ? "" : reports[0].substr(reports[0].find(":\n") + 2);
    EXPECT_TRUE(reports.empty() || (whole ? design == head : design.rfind(head, 0) == 0)) << reports[0];
    if (!row.values.empty())
        ExpectValues(ReadBack(CS2PDataFile(row.type, path, nullptr), row.type == 'U' ? 5 : 9), row.values,
                     row.tolerance, 0);
}
const LoadRow LoadRows[] = {
    // Option line keywords stand as whole words, once each.
    {"UnitAndComma", 'S', "# GHz, S\n" + D, 301, 0, Alt, " GHz, S\n"}, {"FormatAndLetter", 'S', "# MAX\n" + D, 301, 0, Alt, " MAX"},
    {"RAndNumber", 'S', "# R50\n" + D, 301, 0, Alt, " R50"}, {"RWithoutNumber", 'S', "# S R\n" + D, 301, 0, "<eol>", "R\n"},
    {"UnitAndHighByte", 'S', "# GHz\xe9\n" + D, 301, 0, "<eol>", "\xe9\n"},
    {"TwoUnits", 'S', "# GHz MHz\n" + D, 301, 0, "<eol>", "MHz\n"},
    // What may stand before the option line, and its absence; byte order marks count only at the very start.
    {"EmptyFile", 'S', "", 401, 0, "<option_line>", "\""}, {"Utf16LeMark", 'S', "\xFF\xFE#\0 \0H\0Z\0\n\0"s, 315, 0},
    {"MarkAfterABlankLine", 'S', "\n\xEF\xBB\xBF# HZ\n" + D, 401, 0, "<option_line>", "\xEF\xBB\xBF# HZ"},
    // Later hash lines only before the data, in 7-bit text.
    {"HighByteInLaterHash", 'S', "# HZ\n# caf\xe9 au lait\n" + D, 301, 0, "<eol>", "\xe9 au lait\n1 11"},
    {"HashBetweenData", 'S', "# HZ\n" + D + "# HZ\n" + D, 301, 0, "<eoi>", "# HZ\n"},
    // Data lines of nine numbers, then noise lines of five (the uncertainty row below reads lines of five).
    {"NoData", 'S', H + "! a\n\n! b\n", 301, 0, "<data_line_list>", "\""},
    {"Ten", 'S', H + "1 2 3 4 5 6 7 8 9 10\n", 301, 0, "<eol>", " 10\n"},
    {"NumberOverflow", 'S', H + "1e400 2 3 4 5 6 7 8 9\n", 301, 0, "<data_line_list>", "1e400"},
    {"NoiseLines", 'S', H + D + D + "\n! noise\n" + N + "\n1 2 3 4 5 ! end", 0, 2},
    {"DataAfterNoise", 'S', H + D + N + D, 301, 0, "<eol>", " 31 32 41 42\n"},
    // The parameter type the caller expects, in either case; any letter but S and U asks for the other types.
    {"LowerU", 'u', "  # u db\n" + U, 0, 1}, {"Z", 'Z', "# Z\n" + D, 0, 1}, {"GAsAnyOther", 'x', "# g\n" + D, 0, 1},
    {"UAsS", 'S', "# HZ U\n" + U, 402, 0}, {"SAsOther", 'Z', "# HZ S\n" + D, 402, 0},
    // Whole reports: up to 32 bytes from the error position, with the line end the reader appends.
    {"ReportOfAlternatives", 'S', "# foo\n1 2 3 4 5 6 7 8 9\n", 301, 0, Alt, " foo\n1 2 3 4 5 6 7 8 9\n\r\n\""},
    {"ReportCutAfter32", 'S', "# HZ 0123456789abcdefghijklmnopqrstuvwxyz\n", 301, 0, "<eol>",
     "0123456789abcdefghijklmnopqrstuv\""},
    // Real files that fail the way the grammar implies (the others load as the second reader reads them: a broken
    // pair's first record lacks a number, "R (10+10j)" is no number), and one whose last frequency is out of order,
    // which the second reader gives up on: it is a point like any other.
    {"BrokenPair", 'S', "@broken_pair.s2p", 301, 0, "<data_line_list>", ""},
    {"ComplexReference", 'S', "@double_option_line.s2p", 301, 0, "<eol>", ""},
    {"SimpleTouchstone", 'S', "@simple_touchstone.s2p", 301, 0, "<eol>", ""},
    {"Utf8Sig", 'S', "@test_encoding_UTF-8-SIG.s2p", 315, 0}, {"Unordered", 'S', "@scikit_unordered.s2p", 0, 101},
    // The option line's fields in any order and case (absent: GHz, MA), later hash lines ignored; values not
    // renormalised to the impedance.
    {"BareHashIsGHzMa", 'S', "#\n1.5 0 0 2 60 0 0 0 0\n", 0, 1, "", "",
     {1.5e9, 0, 0, 1.0000000000000002, 1.7320508075688772, 0, 0, 0, 0}, 1e-15},
    {"KHzDbInMixedCaseTabsSignedImpedance", 'S', "#\tkHz\ts dB\tr\t -2.5e1 ! c\n1.5 0 0 20 0 0 0 0 0\n", 0, 1, "", "",
     {1.5e3, 1, 0, 10, 0, 1, 0, 1, 0}, 1e-15},
    {"ReversedOrderRi", 'S', "# r 75 Ri S gHZ\n" + D, 0, 1, "", "", {1e9, 11, 12, 21, 22, 31, 32, 41, 42}},
    {"NoBlankAfterHashCrThenLaterHashLinesIgnored", 'S',
     "#HZ RI R 50!c\r# GHz U DB R 75\n\n#\x01 (x) \x7f\n! c\n  # b ! caf\xe9\r\n\r#\n" + D,
     0, 1, "", "", {1, 11, 12, 21, 22, 31, 32, 41, 42}},
    // Numbers with and without blanks between them; blanks, tabs, comments with any bytes and blank lines before the
    // option line and between the numbers; CR LF, LF CR, CR, LF or no line end.
    {"NumbersBlanksCommentsAndLineEnds", 's', "  \t\r\n\r! \xe9\xff\x01\x7f\n\t# HZ S RI\r\n \t1.0-2.0+3-4e1+5E-1"
     "-6.5+7-8+.9 \t ! x\xe9\xff\n\r\n\r.5 5. -.25 +7. 0.0 -0 00012 1.e1 .1E+2\r\n\t\r1e3 1E+3 1e-3 -1.5e-3 +2.5E2 "
     "1e+009 1e308 4.9e-324 1e-400\n1 nan NAN Inf -inf INFINITY -Infinity +nan 9 ! end",
     0, 4, "", "", {1, -2, 3, -40, 0.5, -6.5, 7, -8, 0.9, 0.5, 5, -0.25, 7, 0, -0.0, 12, 10, 10, 1e3, 1e3, 1e-3, -1.5e-3,
                    250, 1e9, 1e308, 4.9e-324, 0.0, 1, NAN, NAN, HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL, NAN, 9}},
    {"Uncertainty", 'U', "# HZ U RI\n1 0.1 0.2 0.3 0.4\n! c\n2 0.5 0.6 0.7 0.8\n3-1-2-3-4\n",
     0, 3, "", "", {1, 0.1, 0.2, 0.3, 0.4, 2, 0.5, 0.6, 0.7, 0.8, 3, -1, -2, -3, -4}},
    // Texts whose nearest double Spirit's double_ missed (two from data/corpus/dut_raw_12.s2p).
    {"NearestDoubles", 'S', H + "1 4.4e-30 3.3e26 1.1e29 -0.09375792741775513 0.009739572182297707 9.798649e-23 5.25e-24 "
     "8.58e25\n", 0, 1, "", "", {1, 4.4e-30, 3.3e26, 1.1e29, -0.09375792741775513, 0.009739572182297707, 9.798649e-23,
                                  5.25e-24, 8.58e25}},
    // Beyond a double's range: what the grammar always took rounds to infinity or zero, a power of ten below -614
    // (fraction digits count) is no number, and an exponent beyond an int's range is no exponent.
    {"RangeEdges", 'S', H + "1 10e308 -1e-400 1e-614 0.000001e-608 -4.9e-324 2.2250738585072011e-308 1e308 00e-0\n", 0, 1,
     "", "", {1, HUGE_VAL, -0.0, 0, 0, -4.9e-324, 2.2250738585072011e-308, 1e308, 0}},
    {"PowerBelowMinus614", 'S', H + "1 0.00001e-610 3 4 5 6 7 8 9\n", 301, 0, "<data_line_list>", "1 0.00001e-610"},
    {"ExponentBeyondAnInt", 'S', H + "1 2 3 4 5 6 7 8 9e2147483648\n", 301, 0, "<eol>", "e2147483648\n"},
    {"ExponentWithoutDigits", 'S', H + "1 2 3 4 5 6 7 8 9E+\n", 301, 0, "<eol>", "E+\n"},
    {"NanBracketNeverClosed", 'S', H + "1 2 3 4 5 6 7 8 nan(9\n", 301, 0, "<data_line_list>", "1 2 3 4 5 6 7 8 nan(9"},
    // Large files that their start shows to be none, and one that starts with comments beyond that start.
    {"LargeBinary", 'S', "\x7f" "ELF\2\1" + std::string(2 << 20, '\0'), 401, 0, "<option_line>", "\x7f" "ELF\2\1\0"s},
    {"LargeAfterComments", 'S', "! c\n\n  ! d\r\n<html>" + std::string(2 << 20, ' '), 401, 0, "<option_line>", "<html>"},
    {"LargeWithMark", 'S', "\xEF\xBB\xBF" + H + std::string(2 << 20, '\n'), 315, 0},
    {"LongCommentsFirst", 'U', "! " + std::string(8192, 'c') + "\n# HZ U\n" + U, 0, 1},
    {"ContentNearTheEndOfTheStart", 'S', "! " + std::string(4086, 'c') + "\n<html><body>0123456789abcdefghijkl" +
     std::string(8192, ' '), 401, 0, "<option_line>", "<html><body>0123456789abcdefghij\""}};
INSTANTIATE_TEST_SUITE_P(S2PGrammar, Load, ::testing::ValuesIn(LoadRows), RowName);

// A corpus file without a row above loads, every point as the second reader reads it.
TEST(S2PGrammar, CorpusFilesAgreeWithTheSecondReader)
{
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Corpus)) {
        const std::string name = entry.path().filename().string();
        const auto hasRow = [&](const LoadRow& row) { return row.content == "@" + name; };
        if (name == "SOURCES.tsv" || std::any_of(std::begin(LoadRows), std::end(LoadRows), hasRow))
            continue;
        std::ifstream reference(OSTREL_TEST_DATA_DIR "/reference/" + name + ".txt");
        const std::vector<double> expected{std::istream_iterator<double>(reference), {}};
        const CS2PDataFile file(name == "ex_11.s2p" ? 'H' : 'S', Corpus + name, nullptr);
        ExpectValues(ReadBack(file, 9), expected, 1e-12, 1e-15, name);
        ++compared;
    }
    EXPECT_EQ(compared, 27);
}

// Every number of a real file as scikit-rf reads it, with Python's float(), bit for bit: both are the nearest double.
TEST(S2PGrammar, CorpusNumbersAreScikitRfsBitForBit)
{
    if (std::system("/usr/bin/python3 -c 'import skrf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Debian's python3-scikit-rf is not installed (/usr/bin/python3 cannot import skrf)";
    const std::string path = Corpus + "dut_raw_12.s2p"; // Spirit's double_ missed 1,971 of its numbers
    const std::string script = "import sys\nfrom skrf.io.touchstone import Touchstone\n"
                               "for row in Touchstone(sys.argv[1]).sparameters: print('row', *map(repr, row))";
    const std::unique_ptr<FILE, int (*)(FILE*)> python(
        ::popen(("/usr/bin/python3 -c \"" + script + "\" '" + path + "' 2>/dev/null").c_str(), "r"), ::pclose);
    std::vector<double> expected;
    for (char line[512]; python && std::fgets(line, sizeof line, python.get());) {
        std::istringstream words(line);
        std::string word;
        for (const bool row = words >> word && word == "row"; row && words >> word;)
            std::from_chars(word.data(), word.data() + word.size(), expected.emplace_back());
    }
    const CS2PDataFile file('S', path, nullptr);
    std::vector<double> actual;
    for (unsigned row = 0; row < file.GetNumPoints(); ++row) {
        for (unsigned column = 0; column < 9; ++column)
            actual.push_back(file.GetValue(row, column));
    }
    ASSERT_GT(expected.size(), 1000u);
    ExpectValues(actual, expected, 0, 0);
}

// The frequency in Hz is the number written scaled by the unit and rounded once, not a product rounded again; the
// value stays as written.
TEST(S2PDataFile, FrequencyInHzIsTheTextScaledByTheUnit)
{
    const std::tuple<const char*, std::string, double, double> cases[] = {
        {"GHz", "# GHz U\n5.2387424118 0 0 0 0\n", 5.2387424118, 5238742411.8},
        {"MHz", "# MHz U\n1242.4423654 0 0 0 0\n", 1242.4423654, 1242442365.4},
        {"MHzToWholeHz", "# MHz U\n526892.9507 0 0 0 0\n", 526892.9507, 526892950700},
        {"KHz", "# kHz U\n79.637201515 0 0 0 0\n", 79.637201515, 79637.201515},
        {"Exponent", "# GHz U\n52.387424118e-1 0 0 0 0\n", 5.2387424118, 5238742411.8},
        {"TooManyDigitsForOneDivision", "# GHz U\n5.23874241180000000000001 0 0 0 0\n", 5.2387424118, 5238742411.8},
        {"RowWithNan", "# MHz U\n1242.4423654 nan 0 0 0\n", 1242.4423654, 1242442365.4},
        {"Infinity", "# GHz U\n-inf 0 0 0 0\n", -HUGE_VAL, -HUGE_VAL}};
    for (const auto& [name, content, asWritten, hz] : cases) {
        const CS2PDataFile file('U', content, "test.s2p", nullptr);
        ExpectValues({file.GetValue(0, 0), file.GetFrequency(0)}, {asWritten, hz}, 0, 0, name);
    }
}

// A row's line is the one its first number stands on; CR LF, a lone CR and a lone LF each end a line.
// A refused file's report starts with the place where reading stopped: a line of numbers that ends short of a
// data line is refused behind its last number, whatever the grammar expected where the line begins.
TEST(S2PDataFile, ReportsWhereReadingStopped)
{
    const std::tuple<const char*, char, std::string, const char*> cases[] = {
        {"EightOfNineNumbers", 'S', H + D + "2 11 12 21 22 31 32 41\n" + D, "line 3, column 23"},
        {"FourOfNine", 'S', H + D + "2 11 12 21\n" + D, "line 3, column 11"},
        {"FirstPairMissesANumber", 'S', "@broken_pair.s2p", "line 7, column 120"},
        {"ComplexReference", 'S', "@double_option_line.s2p", "line 2, column 12"},
        {"ComplexReferenceAgain", 'S', "@simple_touchstone.s2p", "line 2, column 12"},
        {"NanNeverClosed", 'S', H + "1 2 3 4 5 6 7 8 nan(9\n", "line 2, column 17"},
        {"FourOfFive", 'U', "# HZ U\n1 2 3 4 5\r\n2 2 3 4\r\n", "line 3, column 8"},
        {"DataAfterNoise", 'S', H + D + N + D, "line 4, column 14"},
        {"OptionLine", 'S', "! c\n# GHz, S\n" + D, "line 2, column 2"}};
    for (const auto& [name, type, content, place] : cases) {
        std::string report;
        const auto keep = [&report](const std::string& text) { report = text; };
        EXPECT_ANY_THROW(content[0] == '@' ? CS2PDataFile(type, Corpus + content.substr(1), keep)
                                           : CS2PDataFile(type, content, "test.s2p", keep)) << name;
        EXPECT_EQ(report.substr(0, report.find(":\n")), place) << name;
    }
}

TEST(S2PDataFile, RowsKnowTheLineTheyStartOn)
{
    const std::tuple<const char*, char, std::string, std::vector<unsigned>> cases[] = {
        {"CrLfCommentsAndBlankLines", 'U', "! c\r\n\r\n# HZ U\r\n! c\r\n1 2 3 4 5\r\n\r\n  ! c\r\n 2 2 3 4 5 ! c\r\n3 2 3 4 5",
         {5, 8, 9}},
        {"LoneCrAndLf", 'U', "# HZ U\n1 2 3 4 5\r2 2 3 4 5\r\r3 2 3 4 5\n", {2, 3, 5}},
        {"LfCrIsTwoLineEnds", 'U', "# HZ U\n\r1 2 3 4 5\n\r2 2 3 4 5", {3, 5}},
        {"NanBracketsAcrossLines", 'U', "# HZ U\n1 nan(a\r\nb\rc) 3 4 5\n2 2 3 4 5\n", {2, 5}},
        {"LaterHashLineAndNoise", 'S', "# HZ\n# x\n" + D + "\n" + D + N, {3, 5}}};
    for (const auto& [name, type, content, lines] : cases) {
        const CS2PDataFile file(type, content, "test.s2p", nullptr);
        std::vector<unsigned> actual;
        for (unsigned row = 0; row < file.GetNumPoints(); ++row)
            actual.push_back(file.GetLine(row));
        EXPECT_EQ(actual, lines) << name;
        EXPECT_THROW(file.GetLine(file.GetNumPoints()), std::out_of_range) << name;
    }
}

// Equal neighbours do not fall; a NaN frequency does not rise, nor does the one after it.
TEST(S2PDataFile, FirstFallingRowIsWhereFrequenciesStopRising)
{
    const auto rows = [](std::initializer_list<const char*> frequencies) {
        std::string text = "# MHz U\n";
        for (const char* frequency : frequencies)
            text += std::string(frequency) + " 1 2 3 4\n";
        return text;
    };
    const std::tuple<const char*, std::string, std::optional<unsigned>> cases[] = {
        {"Rising", rows({"1", "2", "3"}), std::nullopt}, {"EqualNeighbours", rows({"1", "1", "2"}), std::nullopt},
        {"FallsAtTheThird", rows({"1", "3", "2", "4"}), 2}, {"NanBetween", rows({"1", "nan", "3"}), 1},
        {"NanFirst", rows({"nan", "1"}), 1}, {"NanAlone", rows({"nan"}), std::nullopt}};
    for (const auto& [name, content, row] : cases)
        EXPECT_EQ(CS2PDataFile('U', content, "test.s2p", nullptr).GetFirstFallingRow(), row) << name;
}

// The largest |S21|² of all points, of the converted values, NaN passed over, S11 and S12 not looked at.
TEST(S2PDataFile, LargestGainIsTheLargestS21Squared)
{
    const std::string db = "# DB\n1 40 0 -10 0 40 0 0 0\n2 0 0 20 60 0 0 0 0\n3 0 0 3 0 0 0 0 0\n4 0 0 nan 0 0 0 0 0\n";
    EXPECT_FLOAT_EQ(CS2PDataFile('S', db, "test.s2p", nullptr).GetMaxS21Gain(), 100);
}

// The rows around a frequency decide, with a tolerance of 1e-6 relative; between two rows the larger value.
TEST(S2PDataFile, UncertaintyComesFromTheRowsAroundTheFrequency)
{
    const std::string F3 = "# MHz U\n100 0.10 0.20 0.30 0.40\n200 0.50 0.05 0.35 0.45\n300 0.01 0.60 0.02 0.70\n";
    const std::string T = "# HZ U\n10 1 1 1 1\n", F5 = T + "20 2 2 2 2\n30 3 9 3 3\n40 4 4 4 4\n50 5 5 5 5\n";
    const std::array<double, 4> Second = {0.50, 0.05, 0.35, 0.45};
    const std::tuple<const char*, char, std::string, double, std::array<double, 4>> cases[] = {
    {"HairBeyondToleranceAboveFirst", 'U', F3, 100e6 * (1 + 1.0000005e-6), {0.10, 0.20, 0.30, 0.40}},
    {"ToleranceAboveSecond", 'U', F3, 200e6 * 1.0000009, Second}, {"FiveThirdToFourth", 'U', F5, 35, {4, 9, 4, 4}},
    {"ToleranceBelowSecond", 'U', F3, 200e6 * 0.9999991, Second}, {"ZeroForS", 'S', H + D, 1, {0, 0, 0, 0}},
    {"BelowSecondBeyondTolerance", 'U', F3, 200e6 * 0.999998, {0.50, 0.20, 0.35, 0.45}},
    {"ToleranceBelowLast", 'U', F3, 300e6 * 0.9999991, {0.01, 0.60, 0.02, 0.70}},
    {"OnePointNan", 'U', "# MHz U\n100 1 2 3 4\n", NAN, {1, 2, 3, 4}},
    {"RepeatedTakesTheLater", 'U', T + "20 2 2 2 2\n20 7 7 7 7\n30 3 3 3 3\n", 20, {7, 7, 7, 7}},
    {"UnorderedStopsAtFirstHigher", 'U', T + "40 4 4 4 4\n20 2 9 2 2\n30 3 3 3 3\n50 5 5 5 5\n", 25, {4, 4, 4, 4}},
    {"UnorderedLowerAfterHigher", 'U', T + "20 2 2 2 2\n15 8 8 8 8\n40 4 4 4 4\n50 5 5 5 5\n", 30, {8, 8, 8, 8}}};
    for (const auto& [name, type, content, frequency, expected] : cases)
        EXPECT_EQ(CS2PDataFile(type, content, "test.s2p", nullptr).GetUncertainty(frequency), expected) << name;
}

// Half up to the digits (at least one); what is not positive and finite stays as it is.
TEST(S2PFileFormat, RoundingRoundsTheMantissaHalfUp)
{
    const std::tuple<const char*, double, int, double> cases[] = {
    {"HalfUp", 1.125, 3, 1.13}, {"BelowHalfDown", 1.124, 3, 1.12}, {"CarryToNextDecade", 99.96, 3, 100},
    {"ZeroDigitsAsOne", 3.5, 0, 4}, {"Negative", -1.2345, 3, -1.2345}, {"Infinite", HUGE_VAL, 3, HUGE_VAL}};
    for (const auto& [name, value, digits, expected] : cases)
        ExpectValues({RoundToSignificantDigits(value, digits)}, {expected}, 1e-15, 0, name);
}

// Each stock number gets the limits of the first list that holds it exactly; any other none and a tenth of a watt.
TEST(S2PFileFormat, DefaultPowerLimitsOfTheFirstListHoldingTheStockNumber)
{
    const std::pair<std::string, std::pair<double, double>> cases[] = {
        {"1184.3316K03", {1e-10, 0.2}}, {"1230.9901K04", {1e-10, 0.1}}, {"1338.8862K05", {3e-7, 0.1}}, {"", {0, 0.1}},
        {"1338.8862k05", {0, 0.1}},     {"1338.8862K05 ", {0, 0.1}},    {"1338.8862K0", {0, 0.1}}};
    for (const auto& [stockNumber, limits] : cases)
        EXPECT_EQ(GetDefaultPowerLimits(stockNumber), limits) << stockNumber;
}

// Fields right-aligned in 12 characters (longer ones whole), CR LF line ends, no control or non-ASCII bytes in
// the comment. The editor's export tests write the usual tables.
TEST(S2PFileFormat, TextsAreWrittenByteForByte)
{
    const std::vector<std::string_view> fields = {"123456789012345", "", "1", "2", "3", "4", "5", "6", "123456789012"};
    const auto fill = [&](std::size_t, auto& row) { std::copy_n(fields.begin(), row.size(), row.begin()); };
    const std::string line = "123456789012345                         1            2            3            4"
                             "            5            6 123456789012\r\n";
    EXPECT_EQ(MakeS2PFileText("Pad\t3 dB \x1f~\x7f\x80\xe9\xff\0x"s, 2, fill),
              "! Pad_3 dB _~\x7f____x\r\n# HZ S RI R 50\r\n" + line + line);
    EXPECT_EQ(MakeUncertaintyFileText(std::nullopt, 1, fill),
              "# HZ U\r\n123456789012345                         1            2            3\r\n");
}

// A write puts exactly its bytes in place of the file, under a name in the file-system encoding, and a read gives
// them back; a failed write returns false and leaves everything as it was (the data set store's tests try every way
// a write fails). What is not a regular readable file of at most 256 MiB is refused with code 1 and the path.
TEST(S2PFileFormat, FilesAreWrittenWholeAndReadByteForByte)
{
    const Folder folder;
    std::string content = "! \xe9\r\n# HZ U\r\n\r\n\n\r\x1a";
    for (int i = 0; i < 256; ++i)
        content += static_cast<char>(i);
    const std::string path = folder.PathOf("M\xc3\xbc \xe2\x82\xac.s2p");
    ASSERT_TRUE(WriteStringToFile(path, std::string(1000, 'x')) && WriteStringToFile(path, content));
    EXPECT_FALSE(WriteStringToFile(path + "/x.s2p", "content") || WriteStringToFile("", "content"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QString::fromUtf8("M\xc3\xbc \xe2\x82\xac.s2p")});
    const std::optional<FileBytes> read = ReadRegularFile(path, content.size(), 2);
    EXPECT_TRUE(read && read->View() == content);
    EXPECT_FALSE(ReadRegularFile(path, content.size() - 1));
    ASSERT_EQ(::mkfifo(folder.PathOf("pipe.s2p").c_str(), 0600), 0); // no writer: must not wait for one
    const std::string large = folder.Write("large.s2p", "");
    std::filesystem::resize_file(large, maxTouchstoneFileSize + 1); // sparse
    const auto noReport = [](const std::string& report) { ADD_FAILURE() << report; };
    for (const std::string& refused : {folder.PathOf("pipe.s2p"), folder.PathOf("missing.s2p"), large})
        EXPECT_EQ(FailureOf([&] { CS2PDataFile('S', refused, noReport); }), Failure(1, refused));
    EXPECT_EQ(CS2PDataFile('S', folder.Write("caf\xe9 a;b.S2P", "# HZ\n" + D), nullptr).GetNumPoints(), 1u);
}

} // namespace
