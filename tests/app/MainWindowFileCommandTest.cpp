#include "CalDate.h"
#include "MainWindowFixture.h"
#include "SParaXmlFile.h"
#include "TextConversion.h"

#include <QDir>
#include <QFileInfo>

namespace
{

const QString Ostrel = QStringLiteral("Ostrel");

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SameDevices(const CTamrix& a, const CTamrix& b)
{
    const auto& x = a.Content().devices;
    const auto& y = b.Content().devices;
    if (x.size() != y.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        if (x[i].mnemonic != y[i].mnemonic || x[i].minPower != y[i].minPower || x[i].maxPower != y[i].maxPower
            || x[i].flags != y[i].flags || x[i].points.size() != y[i].points.size())
        {
            return false;
        }
        for (std::size_t p = 0; p < x[i].points.size(); ++p)
        {
            if (x[i].points[p].frequency != y[i].points[p].frequency || x[i].points[p].values != y[i].points[p].values)
            {
                return false;
            }
        }
    }
    return true;
}

// Files in the test folder other than `keep`: leftovers of a failed write.
QStringList Leftovers(const QString& folder, const QStringList& keep)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : keep)
    {
        names.removeAll(name);
    }
    return names;
}

class FileCommand : public MainWindowFixture
{
public:
    void Command(int id, const std::optional<QString>& answer)
    {
        m_fileAnswers.push_back(answer);
        m_dialog->SendCommand(id);
    }
};

TEST_F(FileCommand, SaveWritesTheDataSetAndShowsTheFullPath)
{
    const QString source = CopySample("factory_v3.cal", QStringLiteral("source.cal"));
    Command(ID_FILE_LOAD, source);
    m_dialog->SendCommand(ID_DEVICE_APPEND);
    const QString target = m_folder.filePath(QStringLiteral("Kalibrierdaten J\u00f6rg"));

    Command(ID_FILE_SAVE, target);

    ASSERT_EQ(m_fileRequests.size(), 2u);
    EXPECT_FALSE(m_fileRequests[1].open);
    EXPECT_TRUE(m_fileRequests[1].overwritePrompt);
    EXPECT_EQ(m_fileRequests[1].defaultExtension, QStringLiteral("cal"));
    EXPECT_TRUE(m_boxes.empty());
    const QString written = target + QStringLiteral(".cal");
    EXPECT_EQ(m_dialog->GetWindowText(), written);
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));

    CTamrix reread;
    reread.EnableUtf8Support(true);
    const FormatPair format = CTamrixUtil::LoadTMXFromFile2(reread, WideToPath(written).c_str());
    EXPECT_EQ(format, FormatPair(m_dialog->Version(), m_dialog->Revision()));
    EXPECT_TRUE(SameDevices(reread, m_dialog->DataSet()));
    EXPECT_EQ(reread.GetSensorName(), m_dialog->DataSet().GetSensorName());
    EXPECT_EQ(reread.GetCalDate(CMeasurement::SPara), TodayCalDate());
}

TEST_F(FileCommand, CancelledOrNamelessSaveWritesNothing)
{
    LoadIntoWindow("user_v3.cal");
    const QString caption = m_dialog->GetWindowText();
    Command(ID_FILE_SAVE, std::nullopt);
    Command(ID_FILE_SAVE, QString());
    Command(ID_FILE_EXPORT_SPARA, std::nullopt);
    Command(ID_FILE_EXPORT_SPARA, QString());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dialog->GetWindowText(), caption);
    EXPECT_TRUE(Leftovers(m_folder.path(), {}).isEmpty());
}

struct FailedWriteCase
{
    const char* scenario;
    int command;
    const char* target; // in the test folder
    bool existingFolder; // the target is a folder
};

class FailedWrite : public FileCommand, public testing::WithParamInterface<FailedWriteCase>
{
};

TEST_P(FailedWrite, ShowsTheWriteErrorAndLeavesEverythingAsItWas)
{
    const FailedWriteCase& row = GetParam();
    const QString source = CopySample("factory_v3.cal", QStringLiteral("source.cal"));
    Command(ID_FILE_LOAD, source);
    m_dialog->SendCommand(ID_DEVICE_APPEND);
    const CTamrix before = m_dialog->DataSet();
    const QString caption = m_dialog->GetWindowText();
    const QByteArray sourceBytes = Contents(source);
    const QString target = m_folder.filePath(QString::fromUtf8(row.target));
    if (row.existingFolder)
    {
        ASSERT_TRUE(QDir().mkpath(target));
    }

    Command(row.command, target);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QLatin1Char('"') + target + QStringLiteral("\": File write access failed!"));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(m_boxes[0].caption, Ostrel);
    EXPECT_EQ(m_dialog->GetWindowText(), caption);
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));
    EXPECT_TRUE(SameDevices(m_dialog->DataSet(), before));
    EXPECT_EQ(Contents(source), sourceBytes);
    EXPECT_EQ(QFileInfo(target).isDir(), row.existingFolder);
    EXPECT_EQ(Leftovers(m_folder.path(), {QStringLiteral("source.cal")}), QStringList());
    EXPECT_TRUE(m_dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedWrite,
    testing::Values(FailedWriteCase{"SaveIntoMissingFolder", ID_FILE_SAVE, "missing/set.cal", false},
                    FailedWriteCase{"SaveOverAFolder", ID_FILE_SAVE, "folder.cal", true},
                    FailedWriteCase{"ExportIntoMissingFolder", ID_FILE_EXPORT_SPARA, "missing/devices.xml", false},
                    FailedWriteCase{"ExportOverAFolder", ID_FILE_EXPORT_SPARA, "folder.xml", true}),
    [](const testing::TestParamInfo<FailedWriteCase>& info) { return std::string(info.param.scenario); });

TEST_F(FileCommand, AStoreTheLibraryRefusesKeepsTheOldFile)
{
    // A data set without devices cannot be stored; the file it would replace stays.
    const QString source = CopySample("user_v3.cal", QStringLiteral("user.cal"));
    Command(ID_FILE_LOAD, source);
    m_dialog->DataSet().SetSParaDeviceNumber(0);
    const QByteArray old = Contents(source);

    Command(ID_FILE_SAVE, source);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].text.startsWith(QLatin1Char('"') + source + QStringLiteral("\": ")));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(Contents(source), old);
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("user.cal"));
    EXPECT_EQ(Leftovers(m_folder.path(), {QStringLiteral("user.cal")}), QStringList());
}

TEST_F(FileCommand, ExportThenImportGivesBackTheSameDevices)
{
    LoadIntoWindow("factory_v3.cal");
    m_dialog->SetUserData("Lab", "Eng");
    const CTamrix exported = m_dialog->DataSet();
    const QString xml = m_folder.filePath(QStringLiteral("Ger\u00e4te"));
    const QString caption = m_dialog->GetWindowText();

    Command(ID_FILE_EXPORT_SPARA, xml);
    ASSERT_TRUE(m_boxes.empty());
    const QString written = xml + QStringLiteral(".xml");
    ASSERT_TRUE(QFileInfo(written).isFile());
    EXPECT_EQ(Status(), QString());

    m_dialog->DataSet().SetSParaDeviceNumber(1);
    m_dialog->RefreshDeviceList();
    Command(ID_FILE_IMPORT_SPARA, written);

    ASSERT_EQ(m_fileRequests.size(), 2u);
    for (const FileDialogRequest& request : m_fileRequests)
    {
        EXPECT_EQ(request.defaultExtension, QStringLiteral("xml"));
        EXPECT_EQ(request.nameFilters,
                  (QStringList{QStringLiteral("*.xml Files (*.xml)"), QStringLiteral("All Files (*.*) (*)")}));
    }
    EXPECT_FALSE(m_fileRequests[0].open);
    EXPECT_TRUE(m_fileRequests[0].overwritePrompt);
    EXPECT_TRUE(m_fileRequests[1].open);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(SameDevices(m_dialog->DataSet(), exported));
    EXPECT_EQ(m_grid->GetRows(), exported.GetSParaDeviceNumber() + 1);
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));
    EXPECT_EQ(m_dialog->DataSet().GetCalDate(CMeasurement::SPara), TodayCalDate());
    EXPECT_EQ(m_dialog->GetWindowText(), caption);
    EXPECT_EQ(m_dialog->DataSet().GetSensorName(), exported.GetSensorName());
}

TEST_F(FileCommand, ExportReplacesAnExistingFileWhole)
{
    LoadIntoWindow("user_v3.cal");
    const QString xml = m_folder.filePath(QStringLiteral("devices.xml"));
    {
        QFile old(xml);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1 << 20, 'x'));
    }
    Command(ID_FILE_EXPORT_SPARA, xml);
    ASSERT_TRUE(m_boxes.empty());
    std::ostringstream expected;
    m_dialog->DataSet().ExportSPara(expected);
    EXPECT_EQ(Contents(xml).toStdString(), expected.str());
    EXPECT_EQ(Leftovers(m_folder.path(), {QStringLiteral("devices.xml")}), QStringList());
}

struct FailedImportCase
{
    const char* scenario;
    const char* fileName;
    const char* content; // nullptr: no such file
    const char* message;
};

class FailedImport : public FileCommand, public testing::WithParamInterface<FailedImportCase>
{
};

TEST_P(FailedImport, ShowsTheErrorWithThePathAndChangesNoDevice)
{
    const FailedImportCase& row = GetParam();
    LoadIntoWindow("factory_v3.cal");
    const CTamrix before = m_dialog->DataSet();
    const QString path = m_folder.filePath(QString::fromUtf8(row.fileName));
    if (row.content != nullptr)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(row.content);
    }

    Command(ID_FILE_IMPORT_SPARA, path);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QLatin1Char('"') + path + QStringLiteral("\": ") + QString::fromUtf8(row.message));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(m_boxes[0].caption, Ostrel);
    EXPECT_TRUE(SameDevices(m_dialog->DataSet(), before));
    EXPECT_EQ(m_dialog->DataSet().GetCalDate(CMeasurement::SPara), before.GetCalDate(CMeasurement::SPara));
    EXPECT_EQ(Status(), QString());
    EXPECT_EQ(m_grid->GetRows(), before.GetSParaDeviceNumber() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedImport,
    testing::Values(FailedImportCase{"MissingFile", "none.xml", nullptr, "File read access failed!"},
                    FailedImportCase{"NotXml", "text.xml", "no markup at all", "Generic XML error!"},
                    FailedImportCase{"NonAsciiName", "Ger\xC3\xA4te.xml", "<unclosed>", "Generic XML error!"}),
    [](const testing::TestParamInfo<FailedImportCase>& info) { return std::string(info.param.scenario); });

TEST_F(FileCommand, ImportFromAFolderIsARefusedRead)
{
    LoadIntoWindow("user_v3.cal");
    const QString folder = m_folder.filePath(QStringLiteral("folder.xml"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const CTamrix before = m_dialog->DataSet();
    Command(ID_FILE_IMPORT_SPARA, folder);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QLatin1Char('"') + folder + QStringLiteral("\": File read access failed!"));
    EXPECT_TRUE(SameDevices(m_dialog->DataSet(), before));
}

TEST_F(FileCommand, ImportWithAnEmptyNameOnlyRefreshes)
{
    m_dialog->DataSet().SetSParaDeviceNumber(3);
    Command(ID_FILE_IMPORT_SPARA, QString());
    EXPECT_EQ(m_grid->GetRows(), 4);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(Status(), QStringLiteral("No cal. data set loaded."));
}

} // namespace
