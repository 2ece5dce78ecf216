#include "../platform/ui/Rows.h"
#include "CalDate.h"
#include "ScopedEnvironment.h"
#include "Settings.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>

#include <time.h>

namespace
{

using rows::operator<<;

struct Held // the six settings, shown as lab/eng/timeout/calDataTimeout/network/factory
{
    std::string lab = "old lab", eng = "old eng";
    int timeout = 7, calDataTimeout = 8;
    bool network = true, factory = true;
    SettingsBinding Binding() { return {lab, eng, timeout, calDataTimeout, network, factory}; }
    std::string Text() const { return lab + "/" + eng + "/" + std::to_string(timeout) + "/" + std::to_string(calDataTimeout) + (network ? "/on" : "/off") + (factory ? "/on" : "/off"); }
};
const char* const Untouched = "old lab/old eng/7/8/on/on";
const char* const Defaults = "user lab/user/1000/60000/off/off";

// A settings file (nullptr: none) in the configuration folder `home` (nullptr: XDG_CONFIG_HOME unset) and the
// settings it gives; `asWritten` when the file is byte for byte what the program writes for them.
struct FileRow { const char* scenario; const char* file; const char* values; bool asWritten = false; const char* home = "Köln é"; };
using SettingsFile = rows::Test<FileRow>;

TEST_P(SettingsFile, GivesAllSettingsOrNone)
{
    const FileRow& row = GetParam();
    const QTemporaryDir root;
    const bool named = row.home && *row.home;
    const ScopedEnvironmentVariable home("HOME", root.path()), config("XDG_CONFIG_HOME", row.home ? std::optional(named ? root.filePath(row.home) : "") : std::nullopt);
    const QString path = SettingsFilePath();
    EXPECT_EQ(path, root.filePath(QString(named ? row.home : ".config") + "/Trobe-Lindvar/Ostrel.cfg"));
    EXPECT_TRUE(QFileInfo(path).dir().exists());
    EXPECT_FALSE(QFile::exists(path)) << "made only when written";
    QFile file(path);
    ASSERT_TRUE(!row.file || (file.open(QIODevice::WriteOnly) && file.write(row.file) >= 0 && file.flush()));
    file.close();
    Held held;
    const bool read = ReadSettingsFile(path, held.Binding());
    EXPECT_EQ(read, held.Text() != Untouched);
    EXPECT_EQ(held.Text(), row.values);
    if (row.asWritten) {
        ASSERT_TRUE(WriteSettingsFile(path, held.Binding()) && file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), row.file);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFile, testing::Values(
    FileRow{"NoFileUnderHome", nullptr, Defaults, false, nullptr},
    FileRow{"EmptyFileUnderAnEmptyConfigHome", "", Defaults, false, ""},
    FileRow{"AsWrittenNonAscii", "[cal]\r\nlab = Prüflabor Köln № 7\r\neng = Jörg Åström\r\n[rc]\r\ntimeout = 250\r\ncalDataTimeout = 90000\r\nincludeNetworkResources = true\r\nalwaysUseFactoryDataSet = false\n", "Prüflabor Köln № 7/Jörg Åström/250/90000/on/off", true},
    FileRow{"AsWrittenEmptyLabEqualsAndExtremeTimeouts", "[cal]\r\nlab = \r\neng = x = y [3]  a\r\n[rc]\r\ntimeout = -2147483648\r\ncalDataTimeout = 2147483647\r\nincludeNetworkResources = false\r\nalwaysUseFactoryDataSet = true\n", "/x = y [3]  a/-2147483648/2147483647/off/on", true},
    FileRow{"LinesEndingInCrCrLf", "[cal]\r\r\nlab = Lab 3\r\r\n[rc]\r\r\ntimeout = 250\r\r\n", "Lab 3/user/250/60000/off/off"},
    FileRow{"ByHand", "# by hand\n\n[cal]\n   # indented\n  lab\t=  \t Lab 3 \t #3 north\neng=Eng\n\n", "Lab 3/Eng/1000/60000/off/off"},
    FileRow{"SignsAndOptionWords", "[rc]\ntimeout = +5\ncalDataTimeout = -1\nincludeNetworkResources = yes\nalwaysUseFactoryDataSet = 1\n", "user lab/user/5/-1/on/on"},
    FileRow{"UnknownKeyAfterGoodOnes", "[cal]\nlab = A\n[rc]\ntimeout = 5\ncalDataTimout = 7\n", Untouched},
    FileRow{"UnknownSection", "[sensor]\nlab = A\n", Untouched},
    FileRow{"TimeoutNotANumber", "[cal]\nlab = A\n[rc]\ntimeout = abc\n", Untouched},
    FileRow{"TimeoutBeyondTheIntRange", "[rc]\ncalDataTimeout = 2147483648\n", Untouched},
    FileRow{"OptionNotAWord", "[rc]\nincludeNetworkResources = maybe\n", Untouched},
    FileRow{"LineWithoutEquals", "[cal]\nlab = A\nengineer\n", Untouched},
    FileRow{"KeyTwice", "[cal]\nlab = A\nlab = B\n", Untouched}), rows::Name());

// A stamp's date; with a time zone (a POSIX rule), today's there. The two zones are 26 hours apart, so their dates
// always differ.
struct DateRow { const char* scenario; boost::gregorian::date date; const char* text; const char* zone = nullptr; };
using CalDate = rows::Test<DateRow>;

TEST_P(CalDate, IsYearMonthDay)
{
    const DateRow& row = GetParam();
    QString before = row.text, today = QString::fromStdString(FormatCalDate(row.date)), after = before;
    if (row.zone) {
        const ScopedEnvironmentVariable zone("TZ", QString(row.zone));
        tzset();
        before = QDate::currentDate().toString(Qt::ISODate);
        today = QString::fromStdString(TodayCalDate());
        after = QDate::currentDate().toString(Qt::ISODate);
    }
    tzset();
    EXPECT_TRUE(today == before || today == after) << today.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Dates, CalDate, testing::Values(
    DateRow{"LeadingZeros", {2026, 3, 7}, "2026-03-07"}, DateRow{"FourDigitYear", {1400, 12, 31}, "1400-12-31"},
    DateRow{"TodayAheadOfUtc", {}, "", "AHEAD-14"}, DateRow{"TodayBehindUtc", {}, "", "BEHIND+12"}), rows::Name());

} // namespace
