// The export texts, default power limits, rounding and file writing behind the
// editor's import and export commands.

#include "S2PFileFormat.h"
#include "S2PTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <set>

namespace
{
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
