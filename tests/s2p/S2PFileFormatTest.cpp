#include "S2PFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace
{

// dddd.ddddKdd
bool HasStockNumberForm(std::string_view number)
{
    const std::string_view form = "dddd.ddddKdd";
    if (number.size() != form.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < form.size(); ++i)
    {
        const bool digit = number[i] >= '0' && number[i] <= '9';
        if (form[i] == 'd' ? !digit : number[i] != form[i])
        {
            return false;
        }
    }
    return true;
}

template <class Case> std::string ScenarioName(const testing::TestParamInfo<Case>& info)
{
    return info.param.scenario;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << content;
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// ---------------------------------------------------------------------------

struct RoundCase
{
    const char* scenario;
    double value;
    int digits;
    double expected;
};

class RoundToSignificantDigitsTest : public testing::TestWithParam<RoundCase>
{
};

TEST_P(RoundToSignificantDigitsTest, RoundsTheMantissaHalfUp)
{
    EXPECT_DOUBLE_EQ(RoundToSignificantDigits(GetParam().value, GetParam().digits), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RoundToSignificantDigitsTest,
    testing::Values(RoundCase{"HalfGoesUp", 1.125, 3, 1.13}, RoundCase{"BelowHalfGoesDown", 1.124, 3, 1.12},
                    RoundCase{"ThousandsToTwoDigits", 1250, 2, 1300}, RoundCase{"CarryIntoNextDecade", 99.96, 3, 100},
                    RoundCase{"SmallLowerLimit", 9.99999994e-8, 3, 1e-7}, RoundCase{"AlreadyRound", 0.1, 3, 0.1},
                    RoundCase{"ManyDigitsKeepTheValue", 123.456, 6, 123.456},
                    RoundCase{"ZeroDigitsCountAsOne", 3.5, 0, 4}, RoundCase{"NegativeDigitsCountAsOne", 2.5, -2, 3}),
    ScenarioName<RoundCase>);

struct UnchangedCase
{
    const char* scenario;
    double value;
};

class RoundToSignificantDigitsUnchanged : public testing::TestWithParam<UnchangedCase>
{
};

TEST_P(RoundToSignificantDigitsUnchanged, ReturnsValuesThatAreNotPositiveAndFiniteAsTheyAre)
{
    const double value = GetParam().value;
    const double rounded = RoundToSignificantDigits(value, 3);
    if (std::isnan(value))
    {
        EXPECT_TRUE(std::isnan(rounded));
    }
    else
    {
        EXPECT_EQ(rounded, value);
        EXPECT_EQ(std::signbit(rounded), std::signbit(value));
    }
}

INSTANTIATE_TEST_SUITE_P(Values, RoundToSignificantDigitsUnchanged,
                         testing::Values(UnchangedCase{"Zero", 0.0}, UnchangedCase{"NegativeZero", -0.0},
                                         UnchangedCase{"Negative", -1.2345},
                                         UnchangedCase{"NotANumber", std::numeric_limits<double>::quiet_NaN()},
                                         UnchangedCase{"Infinite", std::numeric_limits<double>::infinity()},
                                         UnchangedCase{"NegativeInfinite", -std::numeric_limits<double>::infinity()}),
                         ScenarioName<UnchangedCase>);

// ---------------------------------------------------------------------------

struct SanitizeCase
{
    const char* scenario;
    std::string text;
    std::string expected;
};

class SanitizeCommentTextTest : public testing::TestWithParam<SanitizeCase>
{
};

TEST_P(SanitizeCommentTextTest, ReplacesControlAndNonAsciiBytes)
{
    EXPECT_EQ(SanitizeCommentText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SanitizeCommentTextTest,
    testing::Values(SanitizeCase{"PrintableAsciiStays", "Attenuator 20 dB ~#!", "Attenuator 20 dB ~#!"},
                    SanitizeCase{"Empty", "", ""}, SanitizeCase{"Tab", "a\tb", "a_b"},
                    SanitizeCase{"LineEnds", "a\r\nb", "a__b"}, SanitizeCase{"Unit31", "\x1f", "_"},
                    SanitizeCase{"DeleteStays", "\x7f", "\x7f"}, SanitizeCase{"Byte128", "\x80", "_"},
                    SanitizeCase{"AccentedLatin1Letter", "Pr\xfc" "fling", "Pr_fling"},
                    SanitizeCase{"Byte255", "\xff", "_"}, SanitizeCase{"NulInside", std::string("a\0b", 3), "a_b"}),
    ScenarioName<SanitizeCase>);

// ---------------------------------------------------------------------------

TEST(StockNumberLists, HoldFortyDistinctModelNumbersInListsOf15And10And16And3)
{
    const auto& lists = GetStockNumberLists();
    const std::size_t sizes[] = {15, 10, 16, 3};
    std::set<std::string_view> distinct;
    for (std::size_t i = 0; i < lists.size(); ++i)
    {
        EXPECT_EQ(lists[i].stockNumbers.size(), sizes[i]) << "list " << i + 1;
        std::set<std::string_view> inList;
        for (const std::string_view number : lists[i].stockNumbers)
        {
            EXPECT_TRUE(HasStockNumberForm(number)) << number;
            EXPECT_TRUE(inList.insert(number).second) << number << " twice in list " << i + 1;
            distinct.insert(number);
        }
    }
    EXPECT_EQ(distinct.size(), 40u);
    std::size_t inFirstAndSecond = 0;
    for (const std::string_view number : lists[1].stockNumbers)
    {
        const auto& first = lists[0].stockNumbers;
        inFirstAndSecond += std::find(first.begin(), first.end(), number) != first.end() ? 1 : 0;
    }
    EXPECT_EQ(inFirstAndSecond, 4u);
}

TEST(DefaultPowerLimits, EveryStockNumberGetsTheLimitsOfTheFirstListThatHoldsIt)
{
    const auto& lists = GetStockNumberLists();
    const std::pair<double, double> limits[] = {{1e-10, 0.2}, {1e-10, 0.1}, {3e-7, 0.1}, {1e-9, 0.1}};
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < lists.size(); ++i)
    {
        EXPECT_EQ(std::make_pair(lists[i].lower, lists[i].upper), limits[i]) << "list " << i + 1;
        for (const std::string_view number : lists[i].stockNumbers)
        {
            if (seen.insert(number).second)
            {
                EXPECT_EQ(GetDefaultPowerLimits(std::string(number)), limits[i]) << number;
            }
            else
            {
                EXPECT_EQ(GetDefaultPowerLimits(std::string(number)), limits[0]) << number << " repeated";
            }
        }
    }
}

struct UnknownStockCase
{
    const char* scenario;
    std::string (*variant)(const std::string& known);
};

class DefaultPowerLimitsUnknown : public testing::TestWithParam<UnknownStockCase>
{
};

TEST_P(DefaultPowerLimitsUnknown, GiveNoLowerLimitAndATenthOfAWatt)
{
    const std::string known(GetStockNumberLists()[2].stockNumbers.front());
    ASSERT_NE(GetDefaultPowerLimits(known), std::make_pair(0.0, 0.1));
    EXPECT_EQ(GetDefaultPowerLimits(GetParam().variant(known)), std::make_pair(0.0, 0.1));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, DefaultPowerLimitsUnknown,
    testing::Values(UnknownStockCase{"Empty", [](const std::string&) { return std::string(); }},
                    UnknownStockCase{"TrailingBlank", [](const std::string& s) { return s + " "; }},
                    UnknownStockCase{"LeadingBlank", [](const std::string& s) { return " " + s; }},
                    UnknownStockCase{"LowerCaseK",
                                     [](const std::string& s) {
                                         std::string lower = s;
                                         lower[9] = 'k';
                                         return lower;
                                     }},
                    UnknownStockCase{"Prefix", [](const std::string& s) { return s.substr(0, 11); }},
                    UnknownStockCase{"OtherModel", [](const std::string&) { return std::string("9999.9999K99"); }}),
    ScenarioName<UnknownStockCase>);

// ---------------------------------------------------------------------------

struct TextCase
{
    const char* scenario;
    std::optional<std::string> comment;
    std::vector<std::vector<std::string>> rows;
    std::string expected;
};

std::string S2PText(const TextCase& c)
{
    return MakeS2PFileText(c.comment, c.rows.size(), [&c](std::size_t row, S2PRowFields& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
        {
            fields[i] = c.rows[row][i];
        }
    });
}

std::string UncertaintyText(const TextCase& c)
{
    return MakeUncertaintyFileText(c.comment, c.rows.size(), [&c](std::size_t row, UncertaintyRowFields& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
        {
            fields[i] = c.rows[row][i];
        }
    });
}

class S2PFileText : public testing::TestWithParam<TextCase>
{
};

TEST_P(S2PFileText, IsWrittenByteForByte)
{
    EXPECT_EQ(S2PText(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, S2PFileText,
    testing::Values(
        TextCase{"TwoRowsWithComment",
                 std::string("Attenuator"),
                 {{"1e9", "0.1", "-0.2", "0.9", "0.01", "0.8", "0.02", "0.3", "-0.4"},
                  {"1.5e9", "1.23457e-5", "-2", "3", "4", "5", "6", "7", "8"}},
                 "! Attenuator\r\n"
                 "# HZ S RI R 50\r\n"
                 "         1e9          0.1         -0.2          0.9         0.01          0.8         0.02"
                 "          0.3         -0.4\r\n"
                 "       1.5e9   1.23457e-5           -2            3            4            5            6"
                 "            7            8\r\n"},
        TextCase{"NoComment",
                 std::nullopt,
                 {{"0", "0", "0", "1", "0", "1", "0", "0", "0"}},
                 "# HZ S RI R 50\r\n"
                 "           0            0            0            1            0            1            0"
                 "            0            0\r\n"},
        TextCase{"EmptyCommentStillGivesTheLine", std::string(), {}, "! \r\n# HZ S RI R 50\r\n"},
        TextCase{"CommentIsSanitized", std::string("Pad\t3 dB \xe9"), {}, "! Pad_3 dB _\r\n# HZ S RI R 50\r\n"},
        TextCase{"NoRowsGiveTheHeaderOnly", std::nullopt, {}, "# HZ S RI R 50\r\n"},
        TextCase{"LongAndEmptyFieldsAreNotCut",
                 std::nullopt,
                 {{"123456789012345", "", "1", "2", "3", "4", "5", "6", "123456789012"}},
                 "# HZ S RI R 50\r\n"
                 "123456789012345                         1            2            3            4            5"
                 "            6 123456789012\r\n"}),
    ScenarioName<TextCase>);

class UncertaintyFileText : public testing::TestWithParam<TextCase>
{
};

TEST_P(UncertaintyFileText, IsWrittenByteForByte)
{
    EXPECT_EQ(UncertaintyText(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, UncertaintyFileText,
    testing::Values(TextCase{"TwoRowsWithComment",
                             std::string("Cable"),
                             {{"1e9", "0.01", "0.02", "0.03", "0.04"}, {"2e9", "1e-3", "2e-3", "3e-3", "4e-3"}},
                             "! Cable\r\n"
                             "# HZ U\r\n"
                             "         1e9         0.01         0.02         0.03         0.04\r\n"
                             "         2e9         1e-3         2e-3         3e-3         4e-3\r\n"},
                    TextCase{"NoRowsGiveTheHeaderOnly", std::nullopt, {}, "# HZ U\r\n"}),
    ScenarioName<TextCase>);

// ---------------------------------------------------------------------------

class WriteStringToFileTest : public testing::Test
{
protected:
    std::string Path(const char* name) const { return m_folder.filePath(QString::fromLatin1(name)).toStdString(); }

    QTemporaryDir m_folder;
};

TEST_F(WriteStringToFileTest, WritesExactlyTheBytesGiven)
{
    const std::string content = std::string("! \xe9\r\n# HZ U\r\n\0\xff", 14) + "\n\r";
    const std::string path = Path("new.txt");
    ASSERT_TRUE(WriteStringToFile(path, content));
    EXPECT_EQ(ReadFile(path), content);
    EXPECT_EQ(FolderEntries(m_folder.path()), QStringList{"new.txt"});
}

TEST_F(WriteStringToFileTest, ReplacesALongerFileWholeAndKeepsItsPermissions)
{
    const std::string path = Path("old.s2p");
    WriteFile(path, std::string(1000, 'x'));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteStringToFile(path, "short"));
    EXPECT_EQ(ReadFile(path), "short");
    struct stat status{};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(m_folder.path()), QStringList{"old.s2p"});
}

TEST_F(WriteStringToFileTest, WritesThroughALinkAndKeepsTheLink)
{
    const std::string target = Path("target.s2p");
    const std::string link = Path("link.s2p");
    WriteFile(target, "old");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WriteStringToFile(link, "new"));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
    EXPECT_EQ(ReadFile(target), "new");
}

TEST_F(WriteStringToFileTest, PathsAreInTheFileSystemEncoding)
{
    const QString name = QString::fromUtf8("Mess\xc3\xbc" "ng \xe2\x82\xac.s2p");
    const std::string path = QFile::encodeName(m_folder.filePath(name)).toStdString();
    ASSERT_TRUE(WriteStringToFile(path, "x"));
    EXPECT_EQ(FolderEntries(m_folder.path()), QStringList{name});
}

struct BadTargetCase
{
    const char* scenario;
    std::string (*path)(const std::string& folder);
};

class WriteStringToFileBadTarget : public testing::TestWithParam<BadTargetCase>
{
};

TEST_P(WriteStringToFileBadTarget, ReturnsFalseAndLeavesNothingBehind)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
    WriteFile(folder.filePath("plain").toStdString(), "plain");
    const QStringList before = FolderEntries(folder.path());
    EXPECT_FALSE(WriteStringToFile(GetParam().path(folder.path().toStdString()), "content"));
    EXPECT_EQ(FolderEntries(folder.path()), before);
    EXPECT_TRUE(FolderEntries(folder.filePath("sub")).isEmpty());
    EXPECT_EQ(ReadFile(folder.filePath("plain").toStdString()), "plain");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, WriteStringToFileBadTarget,
    testing::Values(BadTargetCase{"Folder", [](const std::string& folder) { return folder + "/sub"; }},
                    BadTargetCase{"ParentIsAFile", [](const std::string& folder) { return folder + "/plain/x.s2p"; }},
                    BadTargetCase{"MissingFolder", [](const std::string& folder) { return folder + "/none/x.s2p"; }},
                    BadTargetCase{"EmptyPath", [](const std::string&) { return std::string(); }}),
    ScenarioName<BadTargetCase>);

} // namespace
