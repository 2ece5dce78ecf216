#include "LibraryError.h"
#include "MainWindowFixture.h"
#include "SensorIdDialog.h"
#include "TextConversion.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <sys/stat.h>

namespace
{

const QString Ostrel = QStringLiteral("Ostrel");

// A drop of local files on the window, as the window system delivers it.
void DropFiles(QWidget* window, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
    {
        urls.append(QUrl::fromLocalFile(path));
    }
    data.setUrls(urls);
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    for (int i = 0; i < 3; ++i)
    {
        QApplication::processEvents();
    }
}

std::vector<std::string> Mnemonics(const CTamrix& set)
{
    std::vector<std::string> names;
    for (long i = 0; i < set.GetSParaDeviceNumber(); ++i)
    {
        names.push_back(set.GetSPDMnemonic(i));
    }
    return names;
}

void Corrupt(const QString& path, qint64 offset)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(offset));
    char byte = 0;
    ASSERT_TRUE(file.getChar(&byte));
    ASSERT_TRUE(file.seek(offset));
    ASSERT_TRUE(file.putChar(static_cast<char>(byte ^ 0x5A)));
}

class LoadCommand : public MainWindowFixture
{
public:
    // Loads through the file menu, with `path` chosen in the dialog.
    void LoadThroughMenu(const QString& path)
    {
        m_fileAnswers.push_back(path);
        m_dialog->SendCommand(ID_FILE_LOAD);
    }

    std::vector<QString> Column(long col) const
    {
        std::vector<QString> texts;
        for (long row = 1; row < m_grid->GetRows(); ++row)
        {
            texts.push_back(m_grid->GetTextMatrix(row, col));
        }
        return texts;
    }
};

TEST_F(LoadCommand, AFileChosenInTheDialogIsLoadedAndShown)
{
    const QString path = CopySample("factory_v3.cal", QStringLiteral("factory.cal"));
    FormatPair expected{};
    const CTamrix sample = LoadSample("factory_v3.cal", &expected);

    LoadThroughMenu(path);

    ASSERT_EQ(m_fileRequests.size(), 1u);
    const FileDialogRequest& request = m_fileRequests[0];
    EXPECT_TRUE(request.open);
    EXPECT_EQ(request.defaultExtension, QStringLiteral("cal"));
    EXPECT_EQ(request.fileName, QString());
    EXPECT_EQ(request.nameFilters,
              (QStringList{QStringLiteral("*.cal and *.bin Files (*.cal *.bin)"), QStringLiteral("*.cal Files (*.cal)"),
                           QStringLiteral("*.bin Files (*.bin)"), QStringLiteral("All Files (*.*) (*)")}));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_dialog->IsLoaded());
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("factory.cal"));
    EXPECT_EQ(Status(), QString());
    EXPECT_EQ(m_dialog->Version(), std::get<0>(expected));
    EXPECT_EQ(m_dialog->Revision(), std::get<1>(expected));
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(sample));
    ASSERT_EQ(m_grid->GetRows(), sample.GetSParaDeviceNumber() + 1);
    EXPECT_EQ(m_grid->GetTextMatrix(1, 1), Utf8ToWide(sample.GetSPDMnemonic(0)));
    EXPECT_EQ(Box(IDC_FLAG_ACTIVE_AFTER_RESET)->isChecked(),
              (sample.GetSParaCorrDef() & sParaCorr_activeAfterReset) != 0);
}

TEST_F(LoadCommand, CancelChangesNothingAndAnEmptyNameOnlyRefreshes)
{
    m_dialog->DataSet().SetSParaDeviceNumber(2);
    m_dialog->SendCommand(ID_FILE_LOAD); // no answer: Cancel
    EXPECT_EQ(m_grid->GetRows(), 1);

    LoadThroughMenu(QString());
    EXPECT_EQ(m_grid->GetRows(), 3);
    EXPECT_FALSE(m_dialog->IsLoaded());
    EXPECT_EQ(Status(), QStringLiteral("No cal. data set loaded."));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(LoadCommand, APathWithNonAsciiLettersLoads)
{
    const QString path = CopySample("user_v3.cal", QStringLiteral("Kalibrierdaten J\u00f6rg.cal"));
    LoadThroughMenu(path);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("Kalibrierdaten J\u00f6rg.cal"));
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(LoadSample("user_v3.cal")));
}

struct FailedLoadCase
{
    const char* scenario;
    bool dropped;
    // Makes the file to load in `folder` and returns its path.
    QString (*make)(const QString& folder, const QString& sample);
    const char* message;
};

QString Missing(const QString& folder, const QString&)
{
    return folder + QStringLiteral("/no such file.cal");
}

QString Folder(const QString& folder, const QString&)
{
    const QString path = folder + QStringLiteral("/a folder.cal");
    QDir().mkpath(path);
    return path;
}

QString Fifo(const QString& folder, const QString&)
{
    const QString path = folder + QStringLiteral("/pipe.cal");
    EXPECT_EQ(mkfifo(WideToPath(path).c_str(), 0600), 0);
    return path;
}

QString Unreadable(const QString& folder, const QString& sample)
{
    const QString path = folder + QStringLiteral("/locked.cal");
    QFile::copy(sample, path);
    QFile(path).setPermissions(QFileDevice::WriteOwner);
    return path;
}

QString FlippedByte(const QString& folder, const QString& sample)
{
    const QString path = folder + QStringLiteral("/flipped.cal");
    QFile::copy(sample, path);
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    Corrupt(path, QFileInfo(path).size() / 2);
    return path;
}

QString Truncated(const QString& folder, const QString& sample)
{
    const QString path = folder + QStringLiteral("/truncated.cal");
    QFile::copy(sample, path);
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile(path).resize(QFileInfo(path).size() - 7);
    return path;
}

QString NotADataSet(const QString& folder, const QString&)
{
    const QString path = folder + QStringLiteral("/notes.cal");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("These are no calibration data.\n");
    return path;
}

class FailedLoad : public LoadCommand, public testing::WithParamInterface<FailedLoadCase>
{
};

TEST_P(FailedLoad, ShowsTheErrorWithThePathAndKeepsEverything)
{
    const FailedLoadCase& row = GetParam();
    if (row.make == &Unreadable && geteuid() == 0)
    {
        GTEST_SKIP() << "the superuser reads every file";
    }
    const QString first = CopySample("factory_v4.cal", QStringLiteral("first.cal"));
    LoadThroughMenu(first);
    m_dialog->SendCommand(ID_DEVICE_APPEND);
    const CTamrix before = m_dialog->DataSet();
    const QString caption = m_dialog->GetWindowText();
    const QString status = Status();
    const char version = m_dialog->Version();
    const char revision = m_dialog->Revision();
    m_boxes.clear();

    const QString path = row.make(m_folder.path(), QString::fromStdString(SamplePath("factory_v3.cal")));
    if (row.dropped)
    {
        DropFiles(m_dialog.get(), {path});
    }
    else
    {
        LoadThroughMenu(path);
    }

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QLatin1Char('"') + path + QStringLiteral("\": ") + QString::fromUtf8(row.message));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(m_boxes[0].buttons, MessageBoxButtons::Ok);
    EXPECT_EQ(m_boxes[0].caption, row.dropped ? QStringLiteral("Error") : Ostrel);
    EXPECT_EQ(m_dialog->DataSet().Content().devices.size(), before.Content().devices.size());
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(before));
    EXPECT_EQ(m_dialog->DataSet().GetSensorName(), before.GetSensorName());
    EXPECT_EQ(m_dialog->GetWindowText(), caption);
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(m_dialog->Version(), version);
    EXPECT_EQ(m_dialog->Revision(), revision);
    EXPECT_EQ(m_grid->GetRows(), before.GetSParaDeviceNumber() + 1);
    EXPECT_TRUE(m_dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedLoad,
    testing::Values(FailedLoadCase{"MissingFile", false, &Missing, "File read access failed!"},
                    FailedLoadCase{"Folder", false, &Folder, "File read access failed!"},
                    FailedLoadCase{"NamedPipe", false, &Fifo, "File read access failed!"},
                    FailedLoadCase{"Unreadable", false, &Unreadable, "File read access failed!"},
                    FailedLoadCase{"FlippedByte", false, &FlippedByte, "Calibration data set checksum test failed!"},
                    FailedLoadCase{"Truncated", false, &Truncated,
                                   "Calibration data set contains inconsistent file length information."},
                    FailedLoadCase{"NotADataSet", false, &NotADataSet, "Calibration data set has wrong signature!"},
                    FailedLoadCase{"DroppedMissingFile", true, &Missing, "File read access failed!"},
                    FailedLoadCase{"DroppedFlippedByte", true, &FlippedByte,
                                   "Calibration data set checksum test failed!"}),
    [](const testing::TestParamInfo<FailedLoadCase>& info) { return std::string(info.param.scenario); });

TEST_F(LoadCommand, TheFirstDroppedFileIsLoadedWhateverItsExtension)
{
    const QString first = CopySample("user_v3.cal", QStringLiteral("user.data"));
    const QString second = CopySample("factory_v3.cal", QStringLiteral("factory.cal"));

    DropFiles(m_dialog.get(), {first, second});

    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_dialog->IsLoaded());
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("user.data"));
    EXPECT_EQ(Status(), QString());
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(LoadSample("user_v3.cal")));
    EXPECT_EQ(Column(0).front(), QStringLiteral("1001"));
}

// The identity dialog after a load of a data set without sensor name, stock
// number and serial number, answered with real keys.
TEST_F(LoadCommand, AMissingIdentityIsAskedForAndStored)
{
    const QString path = CopySample("missing_identity_v3.cal", QStringLiteral("anonymous.cal"));
    const CTamrix sample = LoadSample("missing_identity_v3.cal");
    ASSERT_TRUE(sample.GetSensorName().empty());
    bool asked = false;
    WhenModal([&asked](QWidget* modal) {
        auto* dialog = qobject_cast<CSensorIdDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        asked = true;
        const std::pair<int, const char*> typed[] = {{IDC_SENSOR_NAME, "TLS-40G"},
                                                     {IDC_STOCK_NUMBER, "4711.0815"},
                                                     {IDC_SERIAL_NUMBER, "100234"}};
        for (const auto& [id, text] : typed)
        {
            auto* edit = dialog->GetDlgItemAs<QLineEdit>(id);
            ASSERT_TRUE(edit->isEnabled());
            edit->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        QTest::keyClick(dialog->GetDlgItemAs<QLineEdit>(IDC_SERIAL_NUMBER), Qt::Key_Return);
    });

    LoadThroughMenu(path);

    EXPECT_TRUE(asked);
    EXPECT_TRUE(m_boxes.empty());
    const CTamrix& set = m_dialog->DataSet();
    EXPECT_EQ(set.GetSensorName(), "TLS-40G");
    EXPECT_EQ(set.GetStockNumber(), "4711.0815");
    EXPECT_EQ(set.GetSerialNumber(), "100234");
    EXPECT_EQ(set.GetAttribute(), sample.GetAttribute());
    EXPECT_EQ(set.GetSerialNumberInternal(), sample.GetSerialNumberInternal());
    EXPECT_TRUE(m_dialog->IsLoaded());
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("anonymous.cal"));
    EXPECT_EQ(Status(), QString());
}

TEST_F(LoadCommand, ACancelledIdentityDialogStoresNothingButTheLoadStands)
{
    const QString path = CopySample("missing_identity_v3.cal", QStringLiteral("anonymous.cal"));
    const CTamrix sample = LoadSample("missing_identity_v3.cal");
    WhenModal([](QWidget* modal) {
        auto* name = static_cast<CDialog*>(modal)->GetDlgItemAs<QLineEdit>(IDC_SENSOR_NAME);
        name->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(name, QStringLiteral("typed"));
        QTest::keyClick(name, Qt::Key_Escape);
    });

    LoadThroughMenu(path);

    EXPECT_EQ(m_dialog->DataSet().GetSensorName(), sample.GetSensorName());
    EXPECT_EQ(m_dialog->DataSet().GetSerialNumber(), sample.GetSerialNumber());
    EXPECT_TRUE(m_dialog->IsLoaded());
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("anonymous.cal"));
}

TEST_F(LoadCommand, ACompleteIdentityOpensNoDialog)
{
    // An open dialog would wait for an answer that never comes; none may open.
    const QString path = CopySample("factory_v4.cal", QStringLiteral("complete.cal"));
    LoadThroughMenu(path);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(m_dialog->IsLoaded());
}

TEST_F(LoadCommand, ABufferLoadIsCaptionedWithTheSensor)
{
    QFile file(QString::fromStdString(SamplePath("factory_v3.cal")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const CTamrix sample = LoadSample("factory_v3.cal");

    m_dialog->LoadDataSetFromBuffer(file.readAll().toStdString());

    EXPECT_EQ(m_dialog->GetWindowText(), Utf8ToWide("Upload from " + sample.GetSensorName() + " Ser.# "
                                                    + sample.GetSerialNumber()));
    EXPECT_TRUE(m_dialog->IsLoaded());
    EXPECT_EQ(Status(), QString());
}

} // namespace
