// The Touchstone grammar, rule by rule, through whole files.

#include "S2PTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

using s2p_test::LoadOutcome;
using s2p_test::LoadText;
using s2p_test::Open;

namespace
{

const std::string dataLine = "1 11 12 21 22 31 32 41 42\n";
const std::string noiseLine = "1 2.5 0.5 45 10\n";
const std::string optionAlternatives =
    "<alternative><eol><expect_operator><permutation><frequency_unit><param_type><data_format><impedance><eol>";

// A load that fails with a parser report: the code, what was expected and
// the text the report shows from the error position on (its first bytes).
struct Refusal
{
    const char* scenario;
    std::string content;
    std::int32_t code;
    std::string expecting;
    std::string snippetStart;
    char type = 'S';
};

void ExpectRefusals(const std::vector<Refusal>& rows)
{
    for (const Refusal& row : rows) {
        SCOPED_TRACE(row.scenario);
        std::string path;
        const LoadOutcome outcome = LoadText(row.type, row.content, &path);
        EXPECT_EQ(outcome.code, row.code);
        EXPECT_TRUE(outcome.hasContext);
        EXPECT_EQ(outcome.context, path);
        ASSERT_EQ(outcome.reports.size(), 1u);
        const std::string head = "Expecting " + row.expecting + " here:\n\"" + row.snippetStart;
        EXPECT_EQ(outcome.reports[0].substr(0, head.size()), head);
    }
}

struct OptionLineCase
{
    const char* scenario;
    std::string line;
    const CFreqUnit* unit;
    const CParamType* type;
    const CDataFormat* format;
    double impedance;
};

void ExpectOptionLine(const OptionLineCase& row, char typeLetter, const std::string& data)
{
    SCOPED_TRACE(row.scenario);
    SCOPED_TRACE(row.line);
    const auto file = Open(typeLetter, row.line + data);
    const s2p_option_line_t& options = file->GetOptionLine();
    EXPECT_FALSE(options.option_line_missing);
    EXPECT_EQ(options.frequency_unit, row.unit);
    EXPECT_EQ(options.param_type, row.type);
    EXPECT_EQ(options.data_format, row.format);
    EXPECT_EQ(options.impedance, row.impedance);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

} // namespace

// --- option_line and its tokens ---------------------------------------------

TEST(S2PGrammarOptionLine, TokensSetTheirFieldsAndAbsentOnesKeepTheDefaults)
{
    const CFreqUnit* GHz = &CFreqUnit::GHz;
    const CParamType* S = &CParamType::SParameter;
    const CDataFormat* MA = &CDataFormat::MA;
    const std::vector<OptionLineCase> rows = {
        {"bare hash keeps every default", "#\n", GHz, S, MA, 50.0},
        {"hash with blanks and a comment only", "#   ! no tokens\n", GHz, S, MA, 50.0},
        {"all four in upper case", "# HZ S RI R 75\n", &CFreqUnit::Hz, S, &CDataFormat::RI, 75.0},
        {"all four lower case, impedance first", "# r 50 ri s mhz\n", &CFreqUnit::MHz, S, &CDataFormat::RI, 50.0},
        {"mixed case", "# kHz s dB r 25\n", &CFreqUnit::kHz, S, &CDataFormat::DB, 25.0},
        {"unit alone", "# khz\n", &CFreqUnit::kHz, S, MA, 50.0},
        {"format alone", "# db\n", GHz, S, &CDataFormat::DB, 50.0},
        {"impedance alone", "# R 75\n", GHz, S, MA, 75.0},
        {"impedance after a tab", "# R\t12.5\n", GHz, S, MA, 12.5},
        {"impedance after several blanks", "# R  \t 100 S\n", GHz, S, MA, 100.0},
        {"impedance in exponent form", "# R 1e2\n", GHz, S, MA, 100.0},
        {"impedance with a sign", "# R -5\n", GHz, S, MA, -5.0},
        {"impedance followed by a comment", "# R 60! impedance\n", GHz, S, MA, 60.0},
        {"tabs between tokens", "#\tMHZ\tS\tMA\tR\t50\n", &CFreqUnit::MHz, S, MA, 50.0},
        {"no blank after the hash", "#HZ RI\n", &CFreqUnit::Hz, S, &CDataFormat::RI, 50.0},
        {"blanks before the hash", "  \t# GHZ\n", GHz, S, MA, 50.0},
        {"all four, a blank and a comment", "# HZ S RI R 50 ! c\n", &CFreqUnit::Hz, S, &CDataFormat::RI, 50.0},
        {"comment straight after the last token", "# HZ S RI R 50!c\n", &CFreqUnit::Hz, S, &CDataFormat::RI,
         50.0},
        {"trailing blanks", "# MHz   \t\n", &CFreqUnit::MHz, S, MA, 50.0},
        {"carriage return line end", "# MHz\r", &CFreqUnit::MHz, S, MA, 50.0},
        {"blank and comment lines after it", "# MHz\n\n  ! c\n\r\n", &CFreqUnit::MHz, S, MA, 50.0},
    };
    for (const OptionLineCase& row : rows)
        ExpectOptionLine(row, 'S', dataLine);
}

TEST(S2PGrammarOptionLine, ParameterTypeLettersInEitherCase)
{
    const CFreqUnit* GHz = &CFreqUnit::GHz;
    const CDataFormat* MA = &CDataFormat::MA;
    struct Row
    {
        OptionLineCase option;
        char typeLetter;
        std::string data;
    };
    const std::vector<Row> rows = {
        {{"S upper", "# S\n", GHz, &CParamType::SParameter, MA, 50.0}, 'S', dataLine},
        {{"s lower", "# s\n", GHz, &CParamType::SParameter, MA, 50.0}, 's', dataLine},
        {{"U upper", "# U\n", GHz, &CParamType::Uncertainty, MA, 50.0}, 'U', "1 2 3 4 5\n"},
        {{"u lower", "# u\n", GHz, &CParamType::Uncertainty, MA, 50.0}, 'u', "1 2 3 4 5\n"},
        {{"Z", "# Z\n", GHz, &CParamType::Other, MA, 50.0}, 'Z', dataLine},
        {{"y", "# y\n", GHz, &CParamType::Other, MA, 50.0}, 'Y', dataLine},
        {{"H", "# H\n", GHz, &CParamType::Other, MA, 50.0}, 'H', dataLine},
        {{"g", "# g\n", GHz, &CParamType::Other, MA, 50.0}, 'G', dataLine},
    };
    for (const Row& row : rows)
        ExpectOptionLine(row.option, row.typeLetter, row.data);
}

TEST(S2PGrammarOptionLine, FourTokensInEveryOrderAndCase)
{
    std::array<std::string, 4> tokens = {"GHz", "S", "Ri", "R 75"};
    std::sort(tokens.begin(), tokens.end());
    int orders = 0;
    do {
        for (const auto& spell : {Lower, Upper}) {
            std::string line = "#";
            for (const std::string& token : tokens)
                line += " " + spell(token);
            const OptionLineCase row{"permuted", line + "\n", &CFreqUnit::GHz, &CParamType::SParameter,
                                     &CDataFormat::RI, 75.0};
            ExpectOptionLine(row, 'S', dataLine);
        }
        ++orders;
    } while (std::next_permutation(tokens.begin(), tokens.end()));
    EXPECT_EQ(orders, 24);
}

TEST(S2PGrammarOptionLine, KeywordsMustStandAsWholeWords)
{
    const std::vector<Refusal> rows = {
        {"unit followed by a comma", "# GHz, S\n" + dataLine, 301, optionAlternatives, " GHz, S\n"},
        {"unit followed by an exclamation mark", "# GHz! c\n" + dataLine, 301, optionAlternatives, " GHz! c"},
        {"unit followed by a letter", "# GHzS\n" + dataLine, 301, optionAlternatives, " GHzS"},
        {"format followed by a letter", "# MAX\n" + dataLine, 301, optionAlternatives, " MAX"},
        {"type followed by a digit", "# S1\n" + dataLine, 301, optionAlternatives, " S1"},
        {"impedance letter followed by the number", "# R50\n" + dataLine, 301, optionAlternatives, " R50"},
        {"comma after a later unit", "# S GHz,\n" + dataLine, 301, "<eol>", "GHz,\n"},
        {"unit followed by a byte above 0x7F", "# GHz\xe9\n" + dataLine, 301, "<eol>", "\xe9\n"},
        {"unit followed by DEL", "# GHz\x7f\n" + dataLine, 301, "<eol>", "\x7f\n"},
        {"keyword followed by a control byte", "# MA\x01\n" + dataLine, 301, "<eol>", "\x01\n"},
    };
    ExpectRefusals(rows);
}

TEST(S2PGrammarOptionLine, UnknownAndRepeatedTokensAreRefused)
{
    const std::vector<Refusal> rows = {
        {"unknown token alone", "# foo\n" + dataLine, 301, optionAlternatives, " foo\n"},
        {"unknown token after valid ones", "# GHz S MA X\n" + dataLine, 301, "<eol>", "X\n"},
        {"two frequency units", "# GHz MHz\n" + dataLine, 301, "<eol>", "MHz\n"},
        {"two parameter types", "# S U\n" + dataLine, 301, "<eol>", "U\n"},
        {"two formats", "# MA RI\n" + dataLine, 301, "<eol>", "RI\n"},
        {"two impedances", "# R 50 R 75\n" + dataLine, 301, "<eol>", " R 75\n"},
        {"impedance letter without a number", "# S R\n" + dataLine, 301, "<eol>", "R\n"},
        {"complex impedance", "# GHz S RI R (50+5j)\n" + dataLine, 301, "<eol>", "R (50+5j)\n"},
        {"impedance out of the double range", "# S R 1e400\n" + dataLine, 301, "<eol>", "R 1e400\n"},
        {"Touchstone 2 keyword", "[Version] 2.0\n# GHz\n" + dataLine, 401, "<option_line>", "[Version]"},
    };
    ExpectRefusals(rows);
}

// --- input: what comes before the option line, and the option line missing --

TEST(S2PGrammarInput, BlankAndCommentLinesMayPrecedeTheOptionLine)
{
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"blank lines", "\n\n\n# HZ\n"},
        {"comment lines", "! one\n!two\n# HZ\n"},
        {"blanks, tabs and comments", "  \t\n \t! c \n\t# HZ\n"},
        {"CRLF and lone CR", "\r\n\r! c\r# HZ\n"},
        {"comment with bytes above 0x7F and control bytes", "! \xe9\xff\x01\x7f\n# HZ\n"},
    };
    for (const auto& [scenario, head] : rows) {
        SCOPED_TRACE(scenario);
        const LoadOutcome outcome = LoadText('S', head + dataLine);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_TRUE(outcome.reports.empty());
        EXPECT_EQ(outcome.points, 1u);
    }
}

TEST(S2PGrammarInput, WithoutAnOptionLineTheFileIsRefusedWith401)
{
    const std::vector<Refusal> rows = {
        {"empty file", "", 401, "<option_line>", "\""},
        {"blank lines only", "\n \n\r\n", 401, "<option_line>", "\""},
        {"comments only", "! a\n! b", 401, "<option_line>", "\""},
        {"data without option line", dataLine, 401, "<option_line>", "1 11 12"},
        {"text before the hash", "freq S11\n# HZ\n" + dataLine, 401, "<option_line>", "freq S11"},
        {"text before the hash on its line", "x # HZ\n" + dataLine, 401, "<option_line>", "x # HZ"},
        {"byte order mark after a blank line", "\n\xEF\xBB\xBF# HZ\n" + dataLine, 401, "<option_line>",
         "\xEF\xBB\xBF# HZ"},
        {"half a byte order mark", "\xEF\xBB# HZ\n" + dataLine, 401, "<option_line>", "\xEF\xBB# HZ"},
    };
    ExpectRefusals(rows);
}

TEST(S2PGrammarInput, ByteOrderMarksAreRefusedWith315BeforeParsing)
{
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"UTF-8", "\xEF\xBB\xBF# HZ\n" + dataLine},
        {"UTF-16 little endian", std::string("\xFF\xFE#\0 \0H\0Z\0\n\0", 12)},
        {"UTF-16 big endian", std::string("\xFE\xFF\0#\0 \0H\0Z\0\n", 12)},
        {"UTF-8 mark alone", "\xEF\xBB\xBF"},
    };
    for (const auto& [scenario, content] : rows) {
        SCOPED_TRACE(scenario);
        std::string path;
        const LoadOutcome outcome = LoadText('S', content, &path);
        EXPECT_EQ(outcome.code, 315);
        EXPECT_EQ(outcome.context, path);
        EXPECT_TRUE(outcome.reports.empty());
    }
}

// --- ignored_option_line ------------------------------------------------------

TEST(S2PGrammarIgnoredOptionLine, LaterHashLinesWithSevenBitTextAreIgnored)
{
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"a second option line", "# HZ S RI R 50\n# GHz U DB R 75\n"},
        {"any 7-bit text", "# HZ S RI\n#\x01 (x) , ; \x7f \"x\"\n"},
        {"a bare hash", "# HZ S RI\n#\n"},
        {"several, with blank and comment lines between", "# HZ S RI\n\n# a\n! c\n  # b\r\n\r#c\n"},
        {"a byte above 0x7F in its comment", "# HZ S RI\n# text ! caf\xe9\n"},
        {"blank lines between the option line and the data", "# HZ S RI\n\n\n"},
    };
    for (const auto& [scenario, head] : rows) {
        SCOPED_TRACE(scenario);
        const auto file = Open('S', head + dataLine);
        EXPECT_EQ(file->GetOptionLine().frequency_unit, &CFreqUnit::Hz);
        EXPECT_EQ(file->GetOptionLine().param_type, &CParamType::SParameter);
        EXPECT_EQ(file->GetOptionLine().data_format, &CDataFormat::RI);
        EXPECT_EQ(file->GetNumPoints(), 1u);
    }
}

TEST(S2PGrammarIgnoredOptionLine, RefusedWhereTheyMayNotStand)
{
    const std::vector<Refusal> rows = {
        {"a byte above 0x7F", "# HZ\n# caf\xe9 au lait\n" + dataLine, 301, "<eol>", "\xe9 au lait\n1 11"},
        {"a byte above 0x7F after a comment line", "# HZ\n! ok\n#\xff\n" + dataLine, 301, "<eol>", "\xff\n"},
        {"between two data lines", "# HZ\n" + dataLine + "# HZ\n" + dataLine, 301, "<eoi>", "# HZ\n"},
        {"after the last data line", "# HZ\n" + dataLine + "#\n", 301, "<eoi>", "#\n"},
        {"after the noise block", "# HZ\n" + dataLine + noiseLine + "# x\n", 301, "<eoi>", "# x\n"},
    };
    ExpectRefusals(rows);
}

// --- data_line and data_line_list ----------------------------------------------

TEST(S2PGrammarDataLine, NumbersAsTheRealNumberParserReadsThem)
{
    struct Row
    {
        const char* scenario;
        std::string line;
        std::vector<double> values;
    };
    const std::vector<Row> rows = {
        {"separated by blanks", "1 2 3 4 5 6 7 8 9", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"separated by tabs and several blanks", "1\t2 \t 3    4\t\t5 6 7 8 9", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"signs without blanks", "1.0-2.0+3-4e1+5E-1-6.5+7-8+.9", {1, -2, 3, -40, 0.5, -6.5, 7, -8, 0.9}},
        {"leading and trailing decimal points", ".5 5. -.25 +7. 0.0 -0 00012 1.e1 .1E+2",
         {0.5, 5, -0.25, 7, 0, -0.0, 12, 10, 10}},
        {"exponents", "1e3 1E+3 1e-3 -1.5e-3 +2.5E2 1e+009 1e308 4.9e-324 1e-400",
         {1e3, 1e3, 1e-3, -1.5e-3, 250, 1e9, 1e308, 4.9e-324, 0.0}},
        {"leading blanks and a trailing comment", "   1 2 3 4 5 6 7 8 9 ! the end", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"trailing blanks", "1 2 3 4 5 6 7 8 9 \t ", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"comment straight after the last number", "1 2 3 4 5 6 7 8 9!x", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        const auto file = Open('S', "# HZ S RI\n" + row.line + "\n");
        ASSERT_EQ(file->GetNumPoints(), 1u);
        for (unsigned column = 0; column < 9; ++column) {
            EXPECT_EQ(file->GetValue(0, column), row.values[column]) << "column " << column;
            EXPECT_EQ(std::signbit(file->GetValue(0, column)), std::signbit(row.values[column]));
        }
    }
}

TEST(S2PGrammarDataLine, NotANumberAndInfinityInAnyCase)
{
    const auto file = Open('S', "# HZ S RI\n1 nan NAN Inf -inf INFINITY -Infinity +nan 9\n");
    EXPECT_TRUE(std::isnan(file->GetValue(0, 1)));
    EXPECT_TRUE(std::isnan(file->GetValue(0, 2)));
    EXPECT_EQ(file->GetValue(0, 3), HUGE_VAL);
    EXPECT_EQ(file->GetValue(0, 4), -HUGE_VAL);
    EXPECT_EQ(file->GetValue(0, 5), HUGE_VAL);
    EXPECT_EQ(file->GetValue(0, 6), -HUGE_VAL);
    EXPECT_TRUE(std::isnan(file->GetValue(0, 7)));
}

TEST(S2PGrammarDataLine, LineEndsBlankAndCommentLinesAnywhere)
{
    const std::string a = "1 11 12 21 22 31 32 41 42";
    const std::string b = "2 13 14 23 24 33 34 43 44";
    const std::string c = "3 15 16 25 26 35 36 45 46";
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"LF", "# HZ S RI\n" + a + "\n" + b + "\n" + c + "\n"},
        {"CRLF", "# HZ S RI\r\n" + a + "\r\n" + b + "\r\n" + c + "\r\n"},
        {"lone CR", "# HZ S RI\r" + a + "\r" + b + "\r" + c + "\r"},
        {"mixed", "# HZ S RI\r\n" + a + "\n" + b + "\r" + c + "\r\n"},
        {"LF CR taken as two line ends", "# HZ S RI\n\r" + a + "\n\r" + b + "\n\r" + c + "\n\r"},
        {"no final line end", "# HZ S RI\n" + a + "\n" + b + "\n" + c},
        {"comment without final line end", "# HZ S RI\n" + a + "\n" + b + "\n" + c + " ! end"},
        {"blank lines between and after", "# HZ S RI\n\n" + a + "\n\n\n" + b + "\n \t\n" + c + "\n\n\n"},
        {"comment lines between and after", "# HZ S RI\n" + a + "\n! x\n" + b + "\n  ! y\n" + c + "\n!z\n!"},
        {"comments with high bytes between", "# HZ S RI\n" + a + "\n!\xe9\xff\n" + b + " !\x80\n" + c + "\n"},
    };
    for (const auto& [scenario, content] : rows) {
        SCOPED_TRACE(scenario);
        const auto file = Open('S', content);
        ASSERT_EQ(file->GetNumPoints(), 3u);
        EXPECT_EQ(file->GetValue(0, 8), 42.0);
        EXPECT_EQ(file->GetValue(1, 0), 2.0);
        EXPECT_EQ(file->GetValue(2, 1), 15.0);
        EXPECT_EQ(file->GetValue(2, 8), 46.0);
    }
}

TEST(S2PGrammarDataLine, FrequencyOrderIsNotChecked)
{
    const auto file = Open('S', "# HZ S RI\n3 1 2 3 4 5 6 7 8\n1 1 2 3 4 5 6 7 8\n1 1 2 3 4 5 6 7 8\n");
    ASSERT_EQ(file->GetNumPoints(), 3u);
    EXPECT_EQ(file->GetValue(0, 0), 3.0);
    EXPECT_EQ(file->GetValue(2, 0), 1.0);
}

TEST(S2PGrammarDataLine, LinesOfTheWrongLengthAreRefused)
{
    const std::string head = "# HZ S RI\n";
    const std::vector<Refusal> rows = {
        {"option line without data", head, 301, "<data_line_list>", "\""},
        {"option line and comments only", head + "! a\n\n! b\n", 301, "<data_line_list>", "\""},
        {"first line of five numbers", head + noiseLine, 301, "<data_line_list>", "1 2.5 0.5"},
        {"first line of eight numbers", head + "1 2 3 4 5 6 7 8\n" + dataLine, 301, "<data_line_list>", "1 2 3"},
        {"first line of one number", head + "1\n", 301, "<data_line_list>", "1\n"},
        {"six numbers after a data line", head + dataLine + "2 1 2 3 4 5\n", 301, "<eol>", " 5\n"},
        {"seven numbers after a data line", head + dataLine + "2 1 2 3 4 5 6\n", 301, "<eol>", " 5 6\n"},
        {"eight numbers after a data line", head + dataLine + "2 1 2 3 4 5 6 7\n", 301, "<eol>", " 5 6 7\n"},
        {"four numbers after a data line", head + dataLine + "2 1 2 3\n", 301, "<eoi>", "2 1 2 3\n"},
        {"one number after a data line", head + dataLine + "  2\n", 301, "<eoi>", "2\n"},
        {"ten numbers", head + "1 2 3 4 5 6 7 8 9 10\n", 301, "<eol>", " 10\n"},
        {"text after nine numbers", head + "1 2 3 4 5 6 7 8 9 x\n", 301, "<eol>", " x\n"},
        {"comma after nine numbers", head + "1 2 3 4 5 6 7 8 9,\n", 301, "<eol>", ",\n"},
        {"a record wrapped after four numbers", head + dataLine + "2 1 2 3\n4 5 6 7 8\n", 301, "<eoi>", "2 1 2 3\n4"},
        {"a record wrapped after five numbers", head + dataLine + "2 1 2 3 4\n5 6 7 8\n", 301, "<eoi>", "5 6 7 8\n"},
        {"the first record wrapped", head + "1 2 3 4 5\n6 7 8 9\n", 301, "<data_line_list>", "1 2 3 4 5\n6"},
        {"decimal commas", head + "1,5 2 3 4 5 6 7 8 9\n", 301, "<data_line_list>", "1,5 2"},
        {"a number beyond the double range", head + "1e400 2 3 4 5 6 7 8 9\n", 301, "<data_line_list>", "1e400"},
        {"a number beyond the range later", head + dataLine + "2 1 2 3 4 5 6 7 1e999\n", 301, "<eol>",
         " 5 6 7 1e999"},
        {"a byte above 0x7F between numbers", head + "1 2 3 4 5\xb5 6 7 8 9\n", 301, "<data_line_list>",
         "1 2 3 4 5\xb5"},
        {"a line of text after the data", head + dataLine + "end\n", 301, "<eoi>", "end\n"},
    };
    ExpectRefusals(rows);
}

// --- noise_params ------------------------------------------------------------

TEST(S2PGrammarNoiseParams, NoiseLinesAfterTheDataAreDropped)
{
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"one noise line", dataLine + dataLine + noiseLine},
        {"several, with blank and comment lines", dataLine + dataLine + "\n! noise\n" + noiseLine + "\n" + noiseLine +
                                                      "! end\n\n"},
        {"frequencies overlapping the data", "1 0 0 1 0 1 0 0 0\n75 0 0 1 0 1 0 0 0\n70 2 .5 45 10\n75 2 .5 45 10\n"},
        {"noise line without final line end", dataLine + dataLine + "1 2 3 4 5"},
        {"numbers written without blanks", dataLine + dataLine + "1+2.5-0.5+45-10\n"},
    };
    for (const auto& [scenario, body] : rows) {
        SCOPED_TRACE(scenario);
        const auto file = Open('S', "# GHz S MA\n" + body);
        EXPECT_EQ(file->GetNumPoints(), 2u);
    }
}

TEST(S2PGrammarNoiseParams, OnlyFiveNumberLinesMayFollow)
{
    const std::string head = "# GHz S MA\n" + dataLine;
    const std::vector<Refusal> rows = {
        {"a data line after a noise line", head + noiseLine + dataLine, 301, "<eol>", " 31 32 41 42\n"},
        {"six numbers in the noise block", head + noiseLine + "2 1 2 3 4 5\n", 301, "<eol>", " 5\n"},
        {"four numbers in the noise block", head + noiseLine + "2 1 2 3\n", 301, "<eoi>", "2 1 2 3\n"},
    };
    ExpectRefusals(rows);
}

// --- uncertainty files: five numbers per line ---------------------------------

TEST(S2PGrammarUncertainty, EveryFiveNumberLineIsADataLine)
{
    const auto file = Open('U', "# HZ U\n1 0.1 0.2 0.3 0.4\n! c\n2 0.5 0.6 0.7 0.8\n3-1-2-3-4\n");
    ASSERT_EQ(file->GetNumPoints(), 3u);
    EXPECT_EQ(file->GetValue(1, 4), 0.8);
    EXPECT_EQ(file->GetValue(2, 4), -4.0);
    EXPECT_THROW(file->GetValue(0, 5), std::out_of_range);
}

TEST(S2PGrammarUncertainty, LinesOfOtherLengthsAreRefused)
{
    const std::vector<Refusal> rows = {
        {"nine numbers", "# HZ U\n" + dataLine, 301, "<eol>", " 31 32 41 42\n", 'U'},
        {"six numbers after a data line", "# HZ U\n1 2 3 4 5\n2 3 4 5 6 7\n", 301, "<eol>", " 7\n", 'U'},
        {"four numbers", "# HZ U\n1 2 3 4\n", 301, "<data_line_list>", "1 2 3 4\n", 'U'},
        {"the type token after the data", "# HZ\n1 2 3 4 5\n# U\n", 301, "<data_line_list>", "1 2 3 4 5", 'U'},
    };
    ExpectRefusals(rows);
}

// --- parameter type against the caller's expectation ---------------------------

TEST(S2PGrammarParamType, TheFileMustHoldTheExpectedType)
{
    const std::string u = "1 2 3 4 5\n";
    struct Row
    {
        const char* scenario;
        std::string content;
        char typeLetter;
        std::int32_t code;
    };
    const std::vector<Row> rows = {
        {"uncertainty file read as S-parameters", "# HZ U\n" + u, 'S', 402},
        {"Z file read as S-parameters", "# HZ Z\n" + dataLine, 'S', 402},
        {"S file read as uncertainties", "# HZ S\n" + dataLine, 'U', 402},
        {"default type read as uncertainties", "#\n" + dataLine, 'u', 402},
        {"S file read as another type", "# HZ S\n" + dataLine, 'Z', 402},
        {"uncertainty file read as another type", "# HZ U\n" + u, 'H', 402},
        {"Z file read as Z", "# HZ Z\n" + dataLine, 'Z', 0},
        {"G file read with any other letter", "# HZ G\n" + dataLine, 'x', 0},
        {"H file read as Y", "# HZ H\n" + dataLine, 'Y', 0},
        {"S file read as s", "# HZ S\n" + dataLine, 's', 0},
        {"uncertainty file read as u", "# HZ U\n" + u, 'u', 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        const LoadOutcome outcome = LoadText(row.typeLetter, row.content);
        EXPECT_EQ(outcome.code, row.code);
        EXPECT_FALSE(outcome.hasContext);
        EXPECT_TRUE(outcome.reports.empty());
    }
}

// --- the parser report ---------------------------------------------------------

TEST(S2PGrammarReport, ExactTextWithUpTo32BytesFromTheErrorPosition)
{
    struct Row
    {
        const char* scenario;
        std::string content;
        std::string report;
    };
    const std::vector<Row> rows = {
        {"option line alternatives",
         "# foo\n1 2 3 4 5 6 7 8 9\n",
         "Expecting <alternative><eol><expect_operator><permutation><frequency_unit><param_type>"
         "<data_format><impedance><eol> here:\n\" foo\n1 2 3 4 5 6 7 8 9\n\r\n\""},
        {"cut after 32 bytes",
         "# HZ 0123456789abcdefghijklmnopqrstuvwxyz\n",
         "Expecting <eol> here:\n\"0123456789abcdefghijklmnopqrstuv\""},
        {"empty file", "", "Expecting <option_line> here:\n\"\""},
        {"appended line end in the snippet", "# HZ\n1 2 3 4 5 6 7 8 9\n2 3 4",
         "Expecting <eoi> here:\n\"2 3 4\r\n\""},
        {"data line list", "# HZ\n\n! c\n1 2 3 4 5\n6 7 8 9 10 11 12 13 14 15 16 17\n",
         "Expecting <data_line_list> here:\n\"1 2 3 4 5\n6 7 8 9 10 11 12 13 14\""},
        {"bytes above 0x7F as they are", "# HZ\n#\xc3\xa9t\xc3\xa9\n",
         "Expecting <eol> here:\n\"\xc3\xa9t\xc3\xa9\n\r\n\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        const LoadOutcome outcome = LoadText('S', row.content);
        ASSERT_EQ(outcome.reports.size(), 1u);
        EXPECT_EQ(outcome.reports[0], row.report);
    }
}

TEST(S2PGrammarReport, AnEmptyCallbackStillRefusesTheFile)
{
    const s2p_test::TemporaryFolder folder;
    const std::string path = folder.Write("bad.s2p", "# HZ S RI\n1 2 3\n");
    try {
        const CS2PDataFile file('S', path, CS2PDataFile::ParserErrorCallback());
        FAIL() << "the file loaded";
    } catch (const TvxKyyCalcDLLError& error) {
        EXPECT_EQ(error.code, 301);
        ASSERT_NE(error.context, nullptr);
        EXPECT_EQ(std::string(error.context), path);
    }
}
