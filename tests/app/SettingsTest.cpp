#include "ScopedEnvironment.h"
#include "Settings.h"
#include "SettingsValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

namespace
{

// Distinct from the defaults in every field, so that a read that writes
// anything shows.
const SettingsValues Untouched{"old lab", "old eng", 7, 8, true, true};
const SettingsValues Defaults = DefaultSettings;

SettingsValues DefaultsWith(const std::function<void(SettingsValues&)>& change)
{
    SettingsValues values = Defaults;
    change(values);
    return values;
}

struct ReadCase
{
    const char* scenario;
    const char* text;
    SettingsValues expected;
};

class ReadSettingsText : public testing::TestWithParam<ReadCase>
{
};

TEST_P(ReadSettingsText, WritesAllSettingsOrNone)
{
    const ReadCase& row = GetParam();
    SettingsValues values = Untouched;
    std::istringstream in(row.text);
    const bool read = ReadSettings(in, values.Binding());
    EXPECT_EQ(values, row.expected);
    EXPECT_EQ(read, !(row.expected == Untouched));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadSettingsText,
    testing::Values(
        ReadCase{"Empty", "", Defaults},
        ReadCase{"AsWrittenWithCrLf",
                 "[cal]\r\nlab = Lab 3\r\neng = Eng 4\r\n[rc]\r\ntimeout = 250\r\ncalDataTimeout = 90000\r\n"
                 "includeNetworkResources = true\r\nalwaysUseFactoryDataSet = true\n",
                 SettingsValues{"Lab 3", "Eng 4", 250, 90000, true, true}},
        ReadCase{"LinesEndingInCrCrLf", "[cal]\r\r\nlab = Lab 3\r\r\n[rc]\r\r\ntimeout = 250\r\r\n",
                 DefaultsWith([](SettingsValues& v) {
                     v.calLab = "Lab 3";
                     v.timeout = 250;
                 })},
        ReadCase{"OnlyCalAndLab", "[cal]\nlab = Lab 3\n",
                 DefaultsWith([](SettingsValues& v) { v.calLab = "Lab 3"; })},
        ReadCase{"HashCutsTheLab", "[cal]\r\nlab = Lab #3 north\r\neng = Eng\r\n", DefaultsWith([](SettingsValues& v) {
                     v.calLab = "Lab";
                     v.calEng = "Eng";
                 })},
        ReadCase{"CommentLinesAndBlankLines", "# written by hand\n\n[cal]\n   # indented comment\nlab = X\n\n",
                 DefaultsWith([](SettingsValues& v) { v.calLab = "X"; })},
        ReadCase{"SpacesAndTabsAroundKeysAndValues", "[cal]\n  lab\t=  \t Lab 3 \t \neng=Eng\n",
                 DefaultsWith([](SettingsValues& v) {
                     v.calLab = "Lab 3";
                     v.calEng = "Eng";
                 })},
        ReadCase{"EmptyTexts", "[cal]\nlab =\neng = \n", DefaultsWith([](SettingsValues& v) {
                     v.calLab.clear();
                     v.calEng.clear();
                 })},
        ReadCase{"ValueWithEqualsSign", "[cal]\nlab = a=b\n", DefaultsWith([](SettingsValues& v) { v.calLab = "a=b"; })},
        ReadCase{"SignedTimeouts", "[rc]\ntimeout = +5\ncalDataTimeout = -1\n", DefaultsWith([](SettingsValues& v) {
                     v.timeout = 5;
                     v.calDataTimeout = -1;
                 })},
        ReadCase{"OptionWords", "[rc]\nincludeNetworkResources = yes\nalwaysUseFactoryDataSet = 1\n",
                 DefaultsWith([](SettingsValues& v) {
                     v.includeNetworkResources = true;
                     v.alwaysUseFactoryDataSet = true;
                 })},
        ReadCase{"MisspeltKeyUnderRc", "[rc]\ntimeOut = 5\n", Untouched},
        ReadCase{"UnknownKeyAfterGoodOnes", "[cal]\nlab = A\n[rc]\ntimeout = 5\ncalDataTimout = 7\n", Untouched},
        ReadCase{"UnknownSection", "[sensor]\nlab = A\n", Untouched},
        ReadCase{"KeyBeforeAnySection", "lab = A\n", Untouched},
        ReadCase{"TimeoutNotANumber", "[cal]\nlab = A\n[rc]\ntimeout = abc\n", Untouched},
        ReadCase{"TimeoutWithAUnit", "[rc]\ntimeout = 5 ms\n", Untouched},
        ReadCase{"TimeoutBeyondTheIntRange", "[rc]\ncalDataTimeout = 2147483648\n", Untouched},
        ReadCase{"OptionNotAWord", "[rc]\nincludeNetworkResources = maybe\n", Untouched},
        ReadCase{"LineWithoutEquals", "[cal]\nlab = A\nengineer\n", Untouched},
        ReadCase{"KeyTwice", "[cal]\nlab = A\nlab = B\n", Untouched}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.scenario); });

struct RoundTripCase
{
    const char* scenario;
    SettingsValues values;
};

class SettingsRoundTrip : public testing::TestWithParam<RoundTripCase>
{
};

TEST_P(SettingsRoundTrip, ReadsBackWhatWasWritten)
{
    SettingsValues written = GetParam().values;
    std::istringstream in(SettingsText(written.Binding()));
    SettingsValues read = Untouched;
    ASSERT_TRUE(ReadSettings(in, read.Binding()));
    EXPECT_EQ(read, written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsRoundTrip,
    testing::Values(RoundTripCase{"Defaults", Defaults},
                    RoundTripCase{"NonAsciiTexts",
                                  SettingsValues{"Pr\xC3\xBC" "flabor K\xC3\xB6ln \xE2\x84\x96 7",
                                                 "J\xC3\xB6rg \xC3\x85str\xC3\xB6m", 250, 90000, true, false}},
                    RoundTripCase{"EmptyTextsAndExtremeTimeouts", SettingsValues{"", "", INT_MIN, INT_MAX, false, true}},
                    RoundTripCase{"InnerSpacesAndBrackets", SettingsValues{"Lab [3]  a", "x = y", 0, 1, true, true}}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.scenario); });

TEST(SettingsFile, RoundTripThroughAFolderWithANonAsciiName)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("K\u00F6ln \u00E9t\u00E9.cfg"));
    SettingsValues written{"Lab \xC3\xA4", "Eng", 3, 4, false, true};
    ASSERT_TRUE(WriteSettingsFile(path, written.Binding()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), SettingsText(written.Binding()));
    SettingsValues read = Untouched;
    EXPECT_TRUE(ReadSettingsFile(path, read.Binding()));
    EXPECT_EQ(read, written);
}

struct PathCase
{
    const char* scenario;
    std::optional<QString> configHome; // relative to the temporary folder; nullopt: unset
    QString expectedFolder; // relative to the temporary folder, HOME being "home"
};

class SettingsFilePathIn : public testing::TestWithParam<PathCase>
{
};

TEST_P(SettingsFilePathIn, IsInTheUsersConfigurationFolderWhichIsMade)
{
    const PathCase& row = GetParam();
    const QTemporaryDir folder;
    const QString root = folder.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("home")));
    const ScopedEnvironmentVariable home("HOME", root + QStringLiteral("home"));
    const ScopedEnvironmentVariable configHome(
        "XDG_CONFIG_HOME", row.configHome ? std::optional<QString>(row.configHome->isEmpty() ? QString() : root + *row.configHome)
                                          : std::nullopt);
    const QString path = SettingsFilePath();
    EXPECT_EQ(path, root + row.expectedFolder + QStringLiteral("/Trobe-Lindvar/Ostrel.cfg"));
    EXPECT_TRUE(QFileInfo(path).dir().exists());
    EXPECT_FALSE(QFileInfo::exists(path)) << "the file is made only when written";
}

INSTANTIATE_TEST_SUITE_P(
    Environments, SettingsFilePathIn,
    testing::Values(PathCase{"ConfigHomeSet", QStringLiteral("config/deeper"), QStringLiteral("config/deeper")},
                    PathCase{"ConfigHomeEmpty", QString(), QStringLiteral("home/.config")},
                    PathCase{"ConfigHomeUnset", std::nullopt, QStringLiteral("home/.config")},
                    PathCase{"NonAsciiFolder", QStringLiteral("K\u00F6ln"), QStringLiteral("K\u00F6ln")}),
    [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.scenario); });

} // namespace
