#include "Device.h"
#include "DownloadDialog.h"
#include "ListCtrl.h"
#include "MainWindowFixture.h"
#include "PrivateNetwork.h"
#include "ServedSensors.h"
#include "UploadDialog.h"

#include <QPushButton>

// The LAN rows serve a sensor at 127.0.0.2 in this program's own network.
bool TestsUsePrivateNetwork()
{
    return true;
}

namespace
{

enum class Path
{
    Driver,
    VisaUsb,
    VisaLan
};

void ClickButton(CDialog& dialog, int id)
{
    QWidget* button = dialog.GetDlgItem(id);
    ASSERT_TRUE(button && button->isEnabled()) << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

// Until the worker's message has come or the dialog has gone.
void WaitForWorker(CDialog& dialog, int idEnabledAfterwards)
{
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !dialog.isVisible() || dialog.GetDlgItem(idEnabledAfterwards)->isEnabled(); }, 20000));
}

// One sensor, TVX-18G 100001, on one path, with the user sample in its user
// area; the main window's dialogs use VISA only on the VISA paths.
class SensorMenu : public MainWindowFixture, public testing::WithParamInterface<Path>
{
public:
    void SetUp() override
    {
        if (GetParam() == Path::VisaLan && !private_network::Problem().empty())
            GTEST_SKIP() << "no LAN without a private network: " << private_network::Problem();
        MainWindowFixture::SetUp();
        SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
        identity.onUsb = GetParam() != Path::VisaLan;
        identity.lanAddress = GetParam() == Path::VisaLan ? "127.0.0.2" : "";
        m_sensors.Store().Add(identity, SampleDataFor("factory_v3.cal", "TVX-18G", "100001"));
        m_sensors.Store().SaveArea("100001", DataArea::User, SampleDataFor("user_v3.cal", "TVX-18G", "100001"));
        m_sensors.Start();
        m_previousVisa = VisaLoader::ReplaceDefault(GetParam() == Path::Driver ? nullptr
                                                                               : VisaLoader::Load({OSTREL_VISA_LIBRARY}));
        if (GetParam() == Path::VisaLan)
            m_dialog->SendCommand(ID_SENSOR_SCAN_NETWORK);
    }

    void TearDown() override
    {
        VisaLoader::ReplaceDefault(m_previousVisa);
        MainWindowFixture::TearDown();
    }

    // Sensor > Load Calibration Data: the sensor's row, Upload, OK.
    void LoadFromSensor()
    {
        bool done = false;
        WhenModal([&done](QWidget* modal) {
            auto* dialog = qobject_cast<CUploadDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            auto* list = dialog->GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
            ASSERT_EQ(list->GetItemCount(), 1);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(0, 0)).center());
            ClickButton(*dialog, IDC_UPLOAD);
            WaitForWorker(*dialog, IDC_REBUILD_LIST);
            ClickButton(*dialog, IDOK);
            done = true;
        });
        m_dialog->SendCommand(ID_SENSOR_LOAD);
        ASSERT_TRUE(done);
    }

    // Sensor > Save Calibration Data: Download, once the sensor is found.
    void SaveToSensor()
    {
        bool done = false;
        WhenModal([&done](QWidget* modal) {
            auto* dialog = qobject_cast<CDownloadDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            ClickButton(*dialog, IDC_DOWNLOAD);
            WaitForWorker(*dialog, IDC_RESCAN);
            done = !dialog->isVisible();
        });
        m_dialog->SendCommand(ID_SENSOR_SAVE);
        ASSERT_TRUE(done) << "the download dialog is still open";
    }

    ServedSensors m_sensors;
    std::shared_ptr<const VisaFunctions> m_previousVisa;
};

// A user loads the data set out of the sensor, edits a value of its first
// device, saves it into the sensor and loads it again: the edited value is in
// the sensor, in the store on disk and back in the window.
TEST_P(SensorMenu, AnEditGoesIntoTheSensorAndComesBack)
{
    LoadFromSensor();
    ASSERT_TRUE(m_boxes.empty()) << m_boxes[0].text.toStdString();
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("Upload from TVX-18G Ser.# 100001"));
    ASSERT_EQ(m_dialog->DataSet().GetChannelNumber(), 0);

    bool edited = false;
    WhenModal([&edited](QWidget* modal) {
        auto* editor = qobject_cast<CDevice*>(modal);
        ASSERT_NE(editor, nullptr);
        TypeIntoCell(editor->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID), 1, 2, QStringLiteral("0.125"));
        QTest::mouseClick(editor->GetDlgItemAs<QPushButton>(IDOK), Qt::LeftButton);
        edited = true;
    });
    DoubleClickCell(1, 1);
    ASSERT_TRUE(edited);

    SaveToSensor();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("Download successful."));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Information);

    CTamrix stored;
    stored.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromBuffer2(stored, m_sensors.Store().LoadArea("100001", DataArea::User));
    EXPECT_EQ(std::get<0>(stored.GetSParaValue(0, 0, &SParaType<1>::S11)), 0.125);

    m_boxes.clear();
    m_dialog->AcceptLoadedDataSet(CTamrix(), FormatPair{'3', '0'});
    LoadFromSensor();
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(std::get<0>(m_dialog->DataSet().GetSParaValue(0, 0, &SParaType<1>::S11)), 0.125);
    EXPECT_EQ(m_dialog->DataSet().Content().devices[1].points.size(), stored.Content().devices[1].points.size());
}

INSTANTIATE_TEST_SUITE_P(Paths, SensorMenu, testing::Values(Path::Driver, Path::VisaUsb, Path::VisaLan),
                         [](const auto& info) {
                             return info.param == Path::Driver ? "Driver" : info.param == Path::VisaUsb ? "VisaUsb" : "VisaLan";
                         });

// A user data set is not written while the factory data set is forced, and
// no dialog opens.
TEST_F(MainWindowFixture, SavingAUserDataSetWhileTheFactoryDataSetIsForcedIsRefused)
{
    LoadIntoWindow("user_v3.cal");
    m_dialog->SendCommand(ID_SENSOR_ALWAYS_FACTORY);
    m_dialog->SendCommand(ID_SENSOR_SAVE);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].text.startsWith(QStringLiteral("Consistency check failed:\r\nThe option \"Always Use")));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
}

} // namespace
