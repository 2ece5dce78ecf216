#include "DownloadDialog.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
#include "PrivateNetwork.h"
#include "Resource.h"
#include "ServedSensors.h"
#include "UploadDialog.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

enum class Path
{
    Driver,
    VisaUsb,
    VisaLan
};

const char* PathName(Path path)
{
    return path == Path::Driver ? "Driver" : path == Path::VisaUsb ? "VisaUsb" : "VisaLan";
}

std::string Sample(const char* name, const std::string& model = "TVX-18G")
{
    return SampleDataFor(name, model, "100001");
}

// A factory data set of the sensor whose Miscellaneous date differs from the
// sensor's.
std::string Redated(const std::string& model = "TVX-18G")
{
    CTamrix set;
    set.EnableUtf8Support(true);
    const FormatPair format = CTamrixUtil::LoadTMXFromBuffer2(set, Sample("factory_v3.cal", model));
    set.SetCalDate(CMeasurement::Misc, "2026-12-01");
    std::string data;
    CTamrixUtil::StoreTMXToBuffer2(set, data, std::get<0>(format), std::get<1>(format));
    return data;
}

// One sensor, 100001, served on the row's path; every message box recorded
// and answered.
class TransferDialogs : public ::testing::Test
{
protected:
    void Serve(Path path, const std::string& model, bool hasUserData, const std::vector<std::string>& faults,
               const std::string& userData = {})
    {
        if (path == Path::VisaLan && !private_network::Problem().empty())
            GTEST_SKIP() << "no LAN without a private network: " << private_network::Problem();
        SensorIdentity identity = NewSensorIdentity("100001", model);
        identity.hasUserData = hasUserData;
        identity.onUsb = path != Path::VisaLan;
        identity.lanAddress = path == Path::VisaLan ? "127.0.0.2" : "";
        sensors.Store().Add(identity, Sample("factory_v3.cal", model));
        if (!userData.empty())
            sensors.Store().SaveArea("100001", DataArea::User, userData);
        sensors.SetFaults("100001", faults);
        sensors.Start();
        // The driver path is the only one when there is no VISA library.
        visa = path == Path::Driver ? nullptr : VisaLoader::Load({OSTREL_VISA_LIBRARY});
    }

    std::string Stored(DataArea area) { return sensors.Store().LoadArea("100001", area); }

    // The boxes shown, one text each ("caption: text" when it is not the application's).
    std::vector<std::string> boxes;
    int answer = IDYES;
    ScopedMessageBoxPresenter presenter{[this](const MessageBoxRequest& request) {
        boxes.push_back((request.caption.isEmpty() || request.caption == QLatin1String("Ostrel")
                             ? std::string()
                             : request.caption.toStdString() + ": ") +
                        request.text.toStdString());
        return request.buttons == MessageBoxButtons::YesNo ? answer : IDOK;
    }};
    ServedSensors sensors;
    std::shared_ptr<const VisaFunctions> visa;
};

// Runs the dialog with `action` inside its modal loop; a dialog still open
// afterwards is cancelled.
template <class Dialog>
int RunModal(Dialog& dialog, const std::function<void()>& action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        action();
        if (dialog.isVisible())
            dialog.EndDialog(IDCANCEL);
    });
    return dialog.DoModal();
}

void Click(CDialog& dialog, int id)
{
    QWidget* control = dialog.GetDlgItem(id);
    ASSERT_TRUE(control && control->isEnabled()) << id;
    QTest::mouseClick(control, Qt::LeftButton);
}

// Until the transfer's message has come (or the dialog went).
void WaitForTheWorker(CDialog& dialog, int idEnabledAfterwards)
{
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !dialog.isVisible() || dialog.GetDlgItem(idEnabledAfterwards)->isEnabled(); }, 20000));
}

struct UploadCase
{
    const char* name;
    Path path;
    const char* model;
    bool hasUserData;
    bool forceFactory;
    std::vector<std::string> faults;
    const char* expected; // "user", "factory" or "" (nothing received)
    bool okEnabled;
    std::string box; // the start of the one box shown, or empty for none
};

class Upload : public TransferDialogs, public ::testing::WithParamInterface<UploadCase>
{
};

TEST_P(Upload, ReadsTheRightAreaThroughTheDialog)
{
    const UploadCase& c = GetParam();
    Serve(c.path, c.model, c.hasUserData, c.faults, c.hasUserData ? Sample("user_v3.cal", c.model) : "");
    CUploadDialog dialog(1000, 10000, c.path == Path::VisaLan, c.forceFactory, nullptr, visa);
    const int result = RunModal(dialog, [&] {
        auto* list = dialog.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
        ASSERT_EQ(list->GetItemCount(), 1);
        EXPECT_EQ(list->GetItemText(0, 3), c.path == Path::Driver ? "TvxControl2.dll" : "VISA");
        EXPECT_FALSE(dialog.GetDlgItem(IDC_UPLOAD)->isEnabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 1)).center());
        Click(dialog, IDC_UPLOAD);
        EXPECT_FALSE(dialog.GetDlgItem(IDCANCEL)->isEnabled()) << "no other command while the worker runs";
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        EXPECT_TRUE(dialog.isVisible()) << "neither Escape nor the close box ends it while the worker runs";
        WaitForTheWorker(dialog, IDC_REBUILD_LIST);
        EXPECT_EQ(dialog.GetDlgItem(IDOK)->isEnabled(), c.okEnabled);
        if (c.okEnabled)
            Click(dialog, IDOK);
    });
    EXPECT_EQ(result, c.okEnabled ? IDOK : IDCANCEL);
    const std::string expected = std::string(c.expected) == "user"      ? Sample("user_v3.cal", c.model)
                                 : std::string(c.expected) == "factory" ? Sample("factory_v3.cal", c.model)
                                                                        : std::string();
    EXPECT_TRUE(dialog.ResultData() == expected) << dialog.ResultData().size() << " bytes";
    ASSERT_EQ(boxes.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty())
        EXPECT_EQ(boxes[0].substr(0, c.box.size()), c.box);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Upload,
    ::testing::Values(
        UploadCase{"DriverUserArea", Path::Driver, "TVX-18G", true, false, {}, "user", true, ""},
        UploadCase{"DriverFactoryForced", Path::Driver, "TVX-18G", true, true, {}, "factory", true, ""},
        UploadCase{"DriverWithoutUserCommand", Path::Driver, "TVX-6G", false, false, {}, "factory", true, ""},
        UploadCase{"DriverGarbageGivesNoBlock", Path::Driver, "TVX-18G", true, true, {"garbage"}, "", true, ""},
        UploadCase{"DriverConnectionLost", Path::Driver, "TVX-18G", true, true, {"drop-after=100"}, "", false,
                   "The connection to the sensor was lost."},
        UploadCase{"VisaUsbUserArea", Path::VisaUsb, "TVX-18G", true, false, {}, "user", true, ""},
        UploadCase{"VisaUsbWithoutUserCommand", Path::VisaUsb, "TVX-6G", false, false, {}, "factory", true, ""},
        UploadCase{"VisaUsbTimeout", Path::VisaUsb, "TVX-18G", true, false, {"delay=1500"}, "", false,
                   "VI_ERROR_TMO"},
        UploadCase{"VisaUsbShortBlock", Path::VisaUsb, "TVX-18G", true, true, {"bad-length"}, "", false,
                   "VI_SUCCESS_MAX_CNT"},
        UploadCase{"VisaLanUserArea", Path::VisaLan, "TVX-18G", true, false, {}, "user", true, ""},
        UploadCase{"VisaLanFactoryForced", Path::VisaLan, "TVX-18G", true, true, {}, "factory", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct DownloadCase
{
    const char* name;
    Path path;
    const char* model;
    bool hasUserData;
    const char* written; // "user", "factory" or "redated"
    bool forceFactory;
    std::vector<std::string> faults;
    int answer;                     // to the date confirmation
    std::vector<std::string> shown; // the starts of the boxes, in order
    bool stored;                    // the data set is in the sensor afterwards
    std::string text;               // the start of the text field when the dialog stays open
};

class Download : public TransferDialogs, public ::testing::WithParamInterface<DownloadCase>
{
};

TEST_P(Download, WritesIntoTheSensorThroughTheDialog)
{
    const DownloadCase& c = GetParam();
    Serve(c.path, c.model, c.hasUserData, c.faults);
    answer = c.answer;
    const std::string data = std::string(c.written) == "user"      ? Sample("user_v3.cal", c.model)
                             : std::string(c.written) == "factory" ? Sample("factory_v3.cal", c.model)
                                                                   : Redated(c.model);
    const DataArea area = std::string(c.written) == "user" && c.hasUserData ? DataArea::User : DataArea::Factory;
    const std::string before = Stored(area);
    CDownloadDialog dialog(1000, 10000, c.path == Path::VisaLan, c.forceFactory, nullptr, visa);
    dialog.SetSensorIdentity(c.model, "100001");
    dialog.SetCalDates("2024-03-11", "2024-03-12", "2024-03-12", "2024-03-13", "2024-03-14");
    if (std::string(c.written) == "redated")
        dialog.SetCalDates("2026-12-01", "2024-03-12", "2024-03-12", "2024-03-13", "2024-03-14");
    dialog.DataBuffer() = data;
    std::string text;
    RunModal(dialog, [&] {
        EXPECT_EQ(dialog.GetDlgItemText(IDC_DOWNLOAD_TEXT).toStdString(),
                  std::string("Compatible sensor found:\r\n") + c.model + " Serial # 100001 via " +
                      (c.path == Path::Driver ? "TvxControl2.dll" : "VISA") +
                      "\r\n\r\nChoose \"Download\" to save\r\ncalibration data to sensor.");
        Click(dialog, IDC_DOWNLOAD);
        WaitForTheWorker(dialog, IDC_RESCAN);
        if (dialog.isVisible())
            text = dialog.GetDlgItemText(IDC_DOWNLOAD_TEXT).toStdString();
    });
    ASSERT_EQ(boxes.size(), c.shown.size());
    for (std::size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i].substr(0, c.shown[i].size()), c.shown[i]) << "box " << i;
    EXPECT_TRUE(Stored(area) == (c.stored ? data : before));
    EXPECT_EQ(text.substr(0, c.text.size()), c.text);
}

const std::string confirmation = "Different calibration dates detected! Proceed?\n\nMiscellaneous:\n\tDate in cal. "
                                 "data set: 2026-12-01\n\tDate in sensor: 2024-03-11\n";
const std::string found = "Compatible sensor found:";

INSTANTIATE_TEST_SUITE_P(
    Paths, Download,
    ::testing::Values(
        DownloadCase{"DriverUserArea", Path::Driver, "TVX-18G", true, "user", false, {}, IDYES,
                     {"Download successful."}, true, ""},
        DownloadCase{"DriverFactoryEqualDates", Path::Driver, "TVX-18G", true, "factory", true, {}, IDYES,
                     {"Download successful."}, true, ""},
        DownloadCase{"DriverDifferentDateDeclined", Path::Driver, "TVX-18G", true, "redated", true, {}, IDNO,
                     {confirmation}, false, ""},
        DownloadCase{"DriverWithoutUserCommandRefusesAUserSet", Path::Driver, "TVX-6G", false, "user", false, {},
                     IDYES, {"Sensor error -221, Settings conflict;a user data set does not go into the factory"},
                     false, found},
        DownloadCase{"DriverRefusedProbeWritesNothing", Path::Driver, "TVX-18G", true, "user", false,
                     {"refuse-write=-350"}, IDYES, {"Sensor error -350, Queue overflow;write refused"}, false, found},
        DownloadCase{"DriverRestartFails", Path::Driver, "TVX-18G", true, "user", false, {"restart-fails"}, IDYES,
                     {"The sensor refused the request.", "Error: Download successful, but flash or reset error."},
                     true, found},
        DownloadCase{"DriverConnectionLost", Path::Driver, "TVX-18G", true, "factory", true, {"drop-after=2000"},
                     IDYES, {"The connection to the sensor was lost."}, false, found},
        DownloadCase{"VisaUsbUserArea", Path::VisaUsb, "TVX-18G", true, "user", false, {}, IDYES,
                     {"Download successful."}, true, ""},
        DownloadCase{"VisaUsbDifferentDateAccepted", Path::VisaUsb, "TVX-18G", true, "redated", true, {}, IDYES,
                     {confirmation, "Download successful."}, true, ""},
        DownloadCase{"VisaUsbSensorErrorAfterTheWrite", Path::VisaUsb, "TVX-6G", false, "user", false, {}, IDYES,
                     {"Error: Settings conflict;a user data set does not go into the factory data area"}, false,
                     found},
        DownloadCase{"VisaLanUserArea", Path::VisaLan, "TVX-18G", true, "user", false, {}, IDYES,
                     {"Download successful."}, true, ""},
        DownloadCase{"VisaLanFactoryForced", Path::VisaLan, "TVX-18G", true, "factory", true, {}, IDYES,
                     {"Download successful."}, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A sensor that goes between the search and the download leads back to the
// search, which asks for it again.
TEST_F(TransferDialogs, AnUnpluggedSensorLeadsBackToConnect)
{
    Serve(Path::VisaUsb, "TVX-18G", true, {});
    CDownloadDialog dialog(1000, 10000, false, false, nullptr, visa);
    dialog.SetSensorIdentity("TVX-18G", "100001");
    dialog.DataBuffer() = Sample("user_v3.cal");
    std::string text;
    RunModal(dialog, [&] {
        sensors.SetFaults("100001", {"unplugged"});
        QTest::qWait(500);
        Click(dialog, IDC_DOWNLOAD);
        text = dialog.GetDlgItemText(IDC_DOWNLOAD_TEXT).toStdString();
        EXPECT_FALSE(dialog.GetDlgItem(IDC_DOWNLOAD)->isEnabled());
    });
    EXPECT_EQ(text, "Connect TVX-18G Ser.# 100001\r\nand choose \"Rescan\".");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].substr(0, 20), "VI_ERROR_RSRC_NFOUND");
}

} // namespace
