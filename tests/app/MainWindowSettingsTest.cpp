#include "MainWindowFixture.h"
#include "ScopedEnvironment.h"
#include "ScopedFileSizeLimit.h"
#include "SettingsValues.h"

#include "Menu.h"

#include <QDir>
#include <QDirIterator>

namespace
{

const QByteArray DefaultFile = "[cal]\r\nlab = user lab\r\neng = user\r\n[rc]\r\ntimeout = 1000\r\n"
                               "calDataTimeout = 60000\r\nincludeNetworkResources = false\r\n"
                               "alwaysUseFactoryDataSet = false\n";

const SettingsValues Defaults = DefaultSettings;
const SettingsValues StartValues{"", "", 1000, 60000, false, false};

SettingsValues SettingsOf(const COstrelDlg& window)
{
    return {window.CalLab(),  window.CalEng(),
            window.Timeout(), window.CalDataTimeout(),
            window.IncludeNetworkResources(), window.AlwaysUseFactoryDataSet()};
}

bool SensorItemChecked(const COstrelDlg& window, int position)
{
    return (window.GetMenu().GetSubMenu(1).GetMenuState(position, MF_BYPOSITION) & MF_CHECKED) != 0;
}

// Windows started and closed as a user does, in a configuration folder of
// their own; every message box is recorded.
class MainWindowSettings : public testing::Test
{
public:
    QString FilePath() const { return m_configFolder.path() + QStringLiteral("/Trobe-Lindvar/Ostrel.cfg"); }

    void WriteFile(const QByteArray& bytes) const
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(FilePath()).path()));
        QFile file(FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray FileBytes() const
    {
        QFile file(FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
    }

    std::unique_ptr<COstrelDlg> Start() const
    {
        auto window = std::make_unique<COstrelDlg>();
        EXPECT_TRUE(window->Create());
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // Escape, which ends in the cancel path as the close box and Exit do.
    static void Close(COstrelDlg& window)
    {
        QWidget* focus = window.focusWidget() != nullptr ? window.focusWidget() : &window;
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
    }

    QTemporaryDir m_configFolder;
    ScopedEnvironmentVariable m_configHome{"XDG_CONFIG_HOME", m_configFolder.path()};
    std::vector<MessageBoxRequest> m_boxes;
    ScopedMessageBoxPresenter m_presenter{[this](const MessageBoxRequest& request) {
        m_boxes.push_back(request);
        return IDOK;
    }};
};

TEST_F(MainWindowSettings, StartsWithTheDefaultsWithoutAFileAndWritesItOnExit)
{
    const std::unique_ptr<COstrelDlg> window = Start();
    EXPECT_EQ(SettingsOf(*window), Defaults);
    EXPECT_FALSE(SensorItemChecked(*window, 3));
    EXPECT_FALSE(SensorItemChecked(*window, 4));
    EXPECT_FALSE(QFileInfo::exists(FilePath())) << "written only on exit";

    Close(*window);
    EXPECT_EQ(FileBytes(), DefaultFile);
    EXPECT_TRUE(m_boxes.empty());
}

struct StartCase
{
    const char* scenario;
    const char* file;
    SettingsValues expected;
};

class MainWindowSettingsAtStart : public MainWindowSettings, public testing::WithParamInterface<StartCase>
{
};

TEST_P(MainWindowSettingsAtStart, ComeFromTheFile)
{
    WriteFile(GetParam().file);
    const std::unique_ptr<COstrelDlg> window = Start();
    EXPECT_EQ(SettingsOf(*window), GetParam().expected);
    EXPECT_EQ(SensorItemChecked(*window, 3), GetParam().expected.includeNetworkResources);
    EXPECT_EQ(SensorItemChecked(*window, 4), GetParam().expected.alwaysUseFactoryDataSet);
    EXPECT_TRUE(m_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MainWindowSettingsAtStart,
    testing::Values(
        StartCase{"MisspeltKey", "[cal]\r\nlab = Lab 3\r\n[rc]\r\ntimeout = 5\r\ncalDataTimout = 7\r\n", StartValues},
        StartCase{"OnlyCalAndLab", "[cal]\nlab = Lab 3\n", SettingsValues{"Lab 3", "user", 1000, 60000, false, false}},
        StartCase{"EverySettingChanged",
                  "[cal]\r\nlab = Lab\r\neng = Eng\r\n[rc]\r\ntimeout = 250\r\ncalDataTimeout = 90000\r\n"
                  "includeNetworkResources = true\r\nalwaysUseFactoryDataSet = true\n",
                  SettingsValues{"Lab", "Eng", 250, 90000, true, true}}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.scenario); });

// What a user types goes through the file to the next start, texts that the
// file cuts (a "#", outer spaces) cut.
TEST_F(MainWindowSettings, ReachTheNextStartThroughTheFile)
{
    const std::string lab = "Pr\xC3\xBC" "flabor K\xC3\xB6ln";
    const std::string engineer = "J\xC3\xB6rg \xC3\x85str\xC3\xB6m";
    {
        const std::unique_ptr<COstrelDlg> window = Start();
        window->SetUserData(lab, engineer);
        MainWindowFixture::WhenModal([](QWidget* remote) {
            auto* dialog = qobject_cast<CDialog*>(remote);
            ASSERT_NE(dialog, nullptr);
            for (const auto& [id, text] : {std::pair{IDC_COMMAND_TIMEOUT, "250"}, std::pair{IDC_CAL_DATA_TIMEOUT, "90000"}})
            {
                auto* field = dialog->GetDlgItemAs<QLineEdit>(id);
                field->setFocus(Qt::TabFocusReason);
                field->selectAll();
                QTest::keyClicks(field, QString::fromLatin1(text));
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        window->GetMenu().FindMenuItem(ID_OPTIONS_REMOTE, MF_BYCOMMAND)->trigger();
        window->GetMenu().FindMenuItem(ID_SENSOR_SCAN_NETWORK, MF_BYCOMMAND)->trigger();
        window->GetMenu().FindMenuItem(ID_SENSOR_ALWAYS_FACTORY, MF_BYCOMMAND)->trigger();
        Close(*window);
    }
    EXPECT_EQ(FileBytes().toStdString(), "[cal]\r\nlab = " + lab + "\r\neng = " + engineer
                                             + "\r\n[rc]\r\ntimeout = 250\r\ncalDataTimeout = 90000\r\n"
                                               "includeNetworkResources = true\r\nalwaysUseFactoryDataSet = true\n");
    {
        const std::unique_ptr<COstrelDlg> window = Start();
        EXPECT_EQ(SettingsOf(*window), (SettingsValues{lab, engineer, 250, 90000, true, true}));
        EXPECT_TRUE(SensorItemChecked(*window, 3));
        EXPECT_TRUE(SensorItemChecked(*window, 4));
        window->SetUserData("  Lab #3", " Eng ");
        Close(*window);
    }
    const std::unique_ptr<COstrelDlg> window = Start();
    EXPECT_EQ(window->CalLab(), "Lab");
    EXPECT_EQ(window->CalEng(), "Eng");
    EXPECT_TRUE(m_boxes.empty());
}

struct UnwritableCase
{
    const char* scenario;
    // Spoils the configuration folder given and returns the one to use.
    std::function<QString(const QString& folder)> spoil;
};

QString MakeFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
}

class UnwritableSettings : public MainWindowSettings, public testing::WithParamInterface<UnwritableCase>
{
};

TEST_P(UnwritableSettings, AreNeitherReadNorWrittenWithoutAWord)
{
    const ScopedEnvironmentVariable configHome("XDG_CONFIG_HOME", GetParam().spoil(m_configFolder.path()));
    const std::unique_ptr<COstrelDlg> window = Start();
    EXPECT_EQ(SettingsOf(*window), Defaults);
    window->SetUserData("Lab", "Eng");
    Close(*window);
    EXPECT_TRUE(m_boxes.empty());
    QDirIterator files(m_configFolder.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
    {
        EXPECT_NE(QFileInfo(files.next()).fileName(), QStringLiteral("Ostrel.cfg"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locations, UnwritableSettings,
    testing::Values(UnwritableCase{"CompanyFolderIsAFile",
                                   [](const QString& folder) {
                                       MakeFile(folder + QStringLiteral("/Trobe-Lindvar"));
                                       return folder;
                                   }},
                    UnwritableCase{"SettingsFileIsAFolder",
                                   [](const QString& folder) {
                                       EXPECT_TRUE(QDir().mkpath(folder + QStringLiteral("/Trobe-Lindvar/Ostrel.cfg")));
                                       return folder;
                                   }},
                    UnwritableCase{"ConfigurationFolderBelowAFile",
                                   [](const QString& folder) {
                                       return MakeFile(folder + QStringLiteral("/plain")) + QStringLiteral("/config");
                                   }}),
    [](const testing::TestParamInfo<UnwritableCase>& info) { return std::string(info.param.scenario); });

TEST_F(MainWindowSettings, AFailedWriteLeavesTheOldFile)
{
    const QByteArray old = "[cal]\r\nlab = Old lab\r\n";
    WriteFile(old);
    const std::unique_ptr<COstrelDlg> window = Start();
    ASSERT_EQ(window->CalLab(), "Old lab");
    window->SetUserData("New lab", "New eng");

    bool limited = false;
    {
        const ScopedFileSizeLimit limit(16);
        limited = limit.IsActive();
        Close(*window);
    }
    ASSERT_TRUE(limited);
    EXPECT_EQ(FileBytes(), old);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(QDir(QFileInfo(FilePath()).path()).entryList(QDir::Files), QStringList{QStringLiteral("Ostrel.cfg")});
}

} // namespace
