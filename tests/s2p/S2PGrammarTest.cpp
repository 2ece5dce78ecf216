// The Touchstone grammar, rule by rule, through whole files, and real files
// from public repositories (data/corpus, SOURCES.tsv) against a second reader
// (data/reference, written by data/make_reference.py).

#include "S2PTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

namespace
{
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

} // namespace
