#include "DownloadDialog.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
#include "Resource.h"
#include "ServedSensors.h"
#include "TvxControl2.h"
#include "UploadDialog.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

namespace
{

enum Path { Driver, Visa };    // Visa: over USB; the LAN is left to the VISA library's tests
constexpr int LeftOpen = -100; // what DoModal gives when the row's actions left the dialog open

// A data set made out to sensor 100001: "user", "factory", or "restocked" (the factory set
// under another stock number, whose Miscellaneous date the dialog is told differs from the
// sensor's, so that a write shows); "": none.
std::string Data(const std::string& kind, const std::string& model)
{
    if (kind == "restocked")
        return SampleDataFor("factory_v3.cal", model, "100001", "4711.0815.01");
    return kind.empty() ? kind : SampleDataFor(kind + "_v3.cal", model, "100001");
}

struct Transfer
{
    const char* name;
    bool upload;
    Path path;
    bool forceFactory;
    const char* data;               // download: what the dialog writes; upload: what it hands over
    std::vector<std::string> boxes; // "caption: text", the application's caption left out
    int result;
    std::array<const char*, 2> areas; // the user and factory areas afterwards
    std::vector<std::string> faults = {};
    const char* model = "TVX-18G"; // a TVX-6G has no user data area
    int answer = IDYES;            // to the date confirmation
    bool unplugged = false;        // between the search and the click
    const char* stale = nullptr;   // a command sent before, whose error the sensor still holds
};

std::ostream& operator<<(std::ostream& out, const Transfer& row) { return out << row.name; }

using Transfers = ::testing::TestWithParam<Transfer>;

// Sensor 100001; an upload finds the user sample in its user data area, a
// download has to pass sensor 100000 of the same type, which is listed first.
TEST_P(Transfers, ShowEveryOutcomeAndStoreExactlyTheDataSet)
{
    const Transfer& c = GetParam();
    std::vector<std::string> boxes;
    ScopedMessageBoxPresenter presenter{[&](const MessageBoxRequest& request) {
        const bool named = !request.caption.isEmpty() && request.caption != QLatin1String("Ostrel");
        boxes.push_back((named ? request.caption.toStdString() + ": " : "") + request.text.toStdString());
        return request.buttons == MessageBoxButtons::YesNo ? c.answer : IDOK;
    }};
    ServedSensors sensors;
    const bool hasUserData = NewSensorIdentity("100001", c.model).hasUserData;
    sensors.Add("100001", c.model, hasUserData); // the factory sample made out to it
    if (c.upload && hasUserData)
        sensors.Store().SaveArea("100001", DataArea::User, Data("user", c.model));
    if (!c.upload)
        sensors.Add("100000", c.model);
    sensors.SetFaults("100001", c.faults);
    sensors.Start();
    // The driver is the only way when there is no VISA library.
    const auto visa = c.path == Driver ? nullptr : VisaLoader::Load({OSTREL_VISA_LIBRARY});
    const std::string via = c.path == Driver ? "TvxControl2.dll" : "VISA";
    const std::string found = std::string("Compatible sensor found:\r\n") + c.model + " Serial # 100001 via " + via +
                              "\r\n\r\nChoose \"Download\" to save\r\ncalibration data to sensor.";
    std::unique_ptr<CDialog> dialog;
    if (c.upload) {
        dialog = std::make_unique<CUploadDialog>(1000, 10000, false, c.forceFactory, nullptr, visa);
    } else {
        auto download = std::make_unique<CDownloadDialog>(1000, 10000, false, c.forceFactory, nullptr, visa);
        download->SetSensorIdentity(c.model, "100001");
        download->SetCalDates(std::string(c.data) == "restocked" ? "2026-12-01" : "2024-03-11", "2024-03-12",
                              "2024-03-12", "2024-03-13", "2024-03-14");
        download->DataBuffer() = Data(c.data, c.model);
        dialog = std::move(download);
    }
    if (c.stale) {
        std::int32_t sensor = 0;
        ASSERT_EQ(TvxOpenSensor("TVXUSB::100001", &sensor), 0);
        ASSERT_EQ(TvxSendCommand(sensor, c.stale, 2000), 0);
        TvxCloseSensor(sensor);
    }
    QTimer::singleShot(0, dialog.get(), [&] {
        if (c.upload) {
            auto* list = dialog->GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
            ASSERT_EQ(list->GetItemCount(), 1);
            EXPECT_EQ(list->GetItemText(0, 3), QString::fromStdString(via));
            EXPECT_FALSE(dialog->GetDlgItem(IDC_UPLOAD)->isEnabled());
            const QPoint row = list->visualRect(list->model()->index(0, 1)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        } else {
            EXPECT_EQ(dialog->GetDlgItemText(IDC_DOWNLOAD_TEXT).toStdString(), found);
        }
        if (c.unplugged)
            sensors.Stop();
        QTest::mouseClick(dialog->GetDlgItem(c.upload ? IDC_UPLOAD : IDC_DOWNLOAD), Qt::LeftButton);
        if (dialog->isVisible() && !c.unplugged) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            dialog->close();
            EXPECT_TRUE(dialog->isVisible()) << "neither Escape nor the close box ends it while the worker runs";
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible() || dialog->GetDlgItem(IDCANCEL)->isEnabled(); },
                                    20000));
        if (c.upload && dialog->GetDlgItem(IDOK)->isEnabled())
            QTest::mouseClick(dialog->GetDlgItem(IDOK), Qt::LeftButton);
        if (!c.upload && dialog->isVisible()) { // the search again
            EXPECT_EQ(dialog->GetDlgItemText(IDC_DOWNLOAD_TEXT).toStdString(),
                      c.unplugged ? "Connect TVX-18G Ser.# 100001\r\nand choose \"Rescan\"." : found);
        }
        if (dialog->isVisible())
            dialog->EndDialog(LeftOpen);
    });
    EXPECT_EQ(dialog->DoModal(), c.result);
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_TRUE(!c.upload || static_cast<CUploadDialog&>(*dialog).ResultData() == Data(c.data, c.model));
    EXPECT_TRUE(sensors.Store().LoadArea("100001", DataArea::User) == Data(c.areas[0], c.model));
    EXPECT_TRUE(sensors.Store().LoadArea("100001", DataArea::Factory) == Data(c.areas[1], c.model));
}

const std::array<const char*, 2> UserAndFactory{"user", "factory"}, FactoryOnly{"", "factory"};
const std::vector<std::string> Ok{"Download successful."};
const std::string Confirmation = "Different calibration dates detected! Proceed?\n\nMiscellaneous:\n\tDate in cal. "
                                 "data set: 2026-12-01\n\tDate in sensor: 2024-03-11\n";
const std::string UserSetInFactoryArea = "Settings conflict;a user data set does not go into the factory data area";

INSTANTIATE_TEST_SUITE_P(
    Rows, Transfers,
    ::testing::ValuesIn(std::vector<Transfer>{
        {"UploadDriverFactoryForced", true, Driver, true, "factory", {}, IDOK, UserAndFactory},
        // The user area upload over the driver, past an error an earlier session left.
        {"UploadDriverUserAreaStaleUnknownCommandIsNoProbeAnswer", true, Driver, false, "user", {}, IDOK, UserAndFactory,
         {}, "TVX-18G", IDYES, false, "cal:foo"},
        {"UploadDriverWithoutUserCommand", true, Driver, false, "factory", {}, IDOK, FactoryOnly, {}, "TVX-6G"},
        {"UploadDriverConnectionLost", true, Driver, true, "", {"The connection to the sensor was lost."}, LeftOpen,
         UserAndFactory, {"drop-after=100"}},
        {"UploadVisaUserArea", true, Visa, false, "user", {}, IDOK, UserAndFactory},
        {"UploadVisaWithoutUserCommand", true, Visa, false, "factory", {}, IDOK, FactoryOnly, {}, "TVX-6G"},
        {"UploadVisaTimeout", true, Visa, false, "", {"VI_ERROR_TMO: Timeout expired before operation completed."},
         LeftOpen, UserAndFactory, {"delay=1500"}},
        {"UploadVisaShortBlock", true, Visa, true, "",
         {"VI_SUCCESS_MAX_CNT: The number of bytes read is equal to the input count. More data might be available."},
         LeftOpen, UserAndFactory, {"bad-length"}},
        {"UploadVisaFactoryForced", true, Visa, true, "factory", {}, IDOK, UserAndFactory},
        {"DownloadDriverFactoryEqualDates", false, Driver, true, "factory", Ok, IDCANCEL, FactoryOnly},
        {"DownloadDriverDifferentDateDeclined", false, Driver, true, "restocked", {Confirmation}, IDCANCEL, FactoryOnly,
         {}, "TVX-18G", IDNO},
        {"DownloadDriverWithoutUserCommandRefusesAUserSet", false, Driver, false, "user",
         {"Sensor error -221, " + UserSetInFactoryArea}, LeftOpen, FactoryOnly, {}, "TVX-6G"},
        // A probe answer other than the refusal or an unknown command writes nothing, though
        // the factory area would take this set; an error left from before is no answer.
        {"DownloadDriverOtherProbeAnswerWritesNothing", false, Driver, false, "restocked",
         {"Sensor error -200, Execution error;write refused"}, LeftOpen, FactoryOnly, {"refuse-user-write=-200"}},
        {"DownloadDriverStaleErrorIsNoProbeAnswer", false, Driver, false, "user", Ok, IDCANCEL, UserAndFactory, {},
         "TVX-18G", IDYES, false, "cal:data"},
        {"DownloadDriverRestartFails", false, Driver, false, "user",
         {"The sensor refused the request.", "Error: Download successful, but flash or reset error."}, LeftOpen,
         UserAndFactory, {"restart-fails"}},
        {"DownloadVisaUserArea", false, Visa, false, "user", Ok, IDCANCEL, UserAndFactory},
        {"DownloadVisaDifferentDateAccepted", false, Visa, true, "restocked", {Confirmation, Ok[0]}, IDCANCEL,
         {"", "restocked"}},
        {"DownloadVisaSensorErrorAfterTheWrite", false, Visa, false, "user", {"Error: " + UserSetInFactoryArea},
         LeftOpen, FactoryOnly, {}, "TVX-6G"},
        {"DownloadVisaUnpluggedLeadsBackToConnect", false, Visa, false, "user",
         {"VI_ERROR_RSRC_NFOUND: Insufficient location information or the device or resource is not present in the "
          "system."}, LeftOpen, FactoryOnly, {}, "TVX-18G", IDYES, true}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
