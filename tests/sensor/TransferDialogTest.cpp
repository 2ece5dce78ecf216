#include "DownloadDialog.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
#include "PrivateNetwork.h"
#include "Resource.h"
#include "ServedSensors.h"
#include "TvxControl2.h"
#include "UploadDialog.h"

#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include <ostream>

// The LAN rows serve a sensor at 127.0.0.2 in this program's own network.
bool TestsUsePrivateNetwork() { return true; }

namespace
{

enum Path { Driver, Visa, Lan }; // Visa: over USB
constexpr int LeftOpen = -100;   // what DoModal gives when the row's actions left the dialog open

// A data set made out to sensor 100001: "user", "factory", or "restocked" (the factory set
// under another stock number, whose Miscellaneous date the dialog is told differs from the
// sensor's, so that a write shows); "": none.
std::string Data(const std::string& kind, const std::string& model, const std::string& serial = "100001")
{
    if (kind == "restocked")
        return SampleDataFor("factory_v3.cal", model, serial, "4711.0815.01");
    return kind.empty() ? kind : SampleDataFor(kind + "_v3.cal", model, serial);
}

struct Transfer
{
    const char* name;
    bool upload;
    Path path;
    bool forceFactory;
    const char* data; // download: what the dialog writes; upload: what it hands over
    // Each box as "caption: text" (the application's caption left out), its line breaks as
    // "\n"; the lines that name the sensor of a failure stand as "|"; {N} is the size of
    // the data set, {K} the byte after its middle.
    std::vector<std::string> boxes;
    int result;
    std::array<const char*, 2> areas; // the user and factory areas afterwards
    std::vector<std::string> faults = {};
    const char* model = "TVX-18G"; // a TVX-6G has no user data area
    int answer = IDYES;            // to the date confirmation
    bool unplugged = false;        // between the search and the click
    const char* stale = nullptr;   // a command sent before, whose error the sensor still holds
    const char* busy = nullptr;    // what the dialog shows 1.5 s after the click, while it waits
    const char* empty = "";        // upload: why no data set came
    const char* other = nullptr;   // another sensor answers at the address found, in its place
};

std::ostream& operator<<(std::ostream& out, const Transfer& row) { return out << row.name; }

std::string Replaced(std::string text, const std::string& what, const std::string& by)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size()))
        text.replace(at, what.size(), by);
    return text;
}

using Transfers = ::testing::TestWithParam<Transfer>;

// Sensor 100001; an upload finds the user sample in its user data area, a
// download has to pass sensor 100000 of the same type, which is listed first.
TEST_P(Transfers, ShowEveryOutcomeAndStoreExactlyTheDataSet)
{
    const Transfer& c = GetParam();
    if (c.path == Lan && !private_network::Problem().empty())
        GTEST_SKIP() << "no LAN without a private network: " << private_network::Problem();
    const std::string via = c.path == Driver ? "TvxControl2.dll" : "VISA";
    std::vector<std::string> boxes;
    ScopedMessageBoxPresenter presenter{[&](const MessageBoxRequest& request) {
        const bool named = !request.caption.isEmpty() && request.caption != QLatin1String("Ostrel");
        std::string text = Replaced(request.text.toStdString(), "\r\n", "\n");
        // The sensor a failure names: the one of the data set (or picked), by the way it was reached.
        const std::size_t sensor = text.find("\n\nSensor: ");
        if (sensor != std::string::npos) {
            const std::size_t end = text.find('\n', sensor + 2);
            const std::string line = text.substr(sensor + 2, end - sensor - 2);
            EXPECT_EQ(line.rfind(std::string("Sensor: ") + c.model + " Ser.# 100001, ", 0), 0u) << line;
            EXPECT_EQ(line.substr(line.size() - via.size() - 5), " via " + via) << line;
            text.replace(sensor, end + 1 - sensor, "|");
        }
        boxes.push_back((named ? request.caption.toStdString() + ": " : "") + text);
        return request.buttons == MessageBoxButtons::YesNo ? c.answer : IDOK;
    }};
    ServedSensors sensors;
    const bool hasUserData = NewSensorIdentity("100001", c.model).hasUserData;
    c.path == Lan ? sensors.AddOnLan("100001", "127.0.0.2") : sensors.Add("100001", c.model, hasUserData);
    if (c.upload && hasUserData && *c.data)
        sensors.Store().SaveArea("100001", DataArea::User, Data("user", c.model));
    if (!c.upload && c.path != Lan)
        sensors.Add("100000", c.model);
    sensors.SetFaults("100001", c.faults);
    sensors.Start();
    // The driver is the only way when there is no VISA library.
    const auto visa = c.path == Driver ? nullptr : VisaLoader::Load({OSTREL_VISA_LIBRARY});
    const char* area = c.forceFactory || !hasUserData ? "factory" : "user";
    const std::string found = std::string("Compatible sensor found:\n") + c.model + " Serial # 100001 via " + via +
                              "\nData area: " + area + " data set\n\nChoose \"Download\" to save\ncalibration data to sensor.";
    std::unique_ptr<CDialog> dialog;
    if (c.upload) {
        dialog = std::make_unique<CUploadDialog>(1000, 10000, c.path == Lan, c.forceFactory, nullptr, visa);
    } else {
        // A sensor that does not come back after its restart is waited for as long as a transfer may take.
        const bool gone = c.faults == std::vector<std::string>{"gone-after-restart"};
        auto download =
            std::make_unique<CDownloadDialog>(1000, gone ? 2000 : 10000, c.path == Lan, c.forceFactory, nullptr, visa);
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
    const auto shown = [&] {
        return Replaced(dialog->GetDlgItemText(c.upload ? IDC_UPLOAD_STATUS : IDC_DOWNLOAD_TEXT).toStdString(), "\r\n",
                        "\n");
    };
    std::string whileBusy;
    std::function<void()> act;
    act = [&] {
        // The search runs while the dialog answers: it ends with Cancel usable again.
        if (!dialog->GetDlgItem(IDCANCEL)->isEnabled()) {
            QTimer::singleShot(20, dialog.get(), act);
            return;
        }
        if (c.upload) {
            auto* list = dialog->GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
            if (list->GetItemCount() != 1) {
                ADD_FAILURE() << list->GetItemCount() << " rows";
                dialog->EndDialog(LeftOpen);
                return;
            }
            EXPECT_EQ(list->GetItemText(0, 3), QString::fromStdString(via));
            EXPECT_FALSE(dialog->GetDlgItem(IDC_UPLOAD)->isEnabled());
            const QPoint row = list->visualRect(list->model()->index(0, 1)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        } else {
            EXPECT_EQ(shown(), found);
        }
        if (c.unplugged)
            sensors.Stop();
        if (c.other) { // the address found now belongs to another sensor
            sensors.Stop();
            sensors.Store().Remove("100001");
            sensors.AddOnLan(c.other, "127.0.0.2");
            sensors.Start();
        }
        QTimer::singleShot(1500, dialog.get(), [&] {
            whileBusy = dialog->GetDlgItem(IDCANCEL)->isEnabled() ? std::string("(not busy)") : shown();
        });
        QTest::mouseClick(dialog->GetDlgItem(c.upload ? IDC_UPLOAD : IDC_DOWNLOAD), Qt::LeftButton);
        if (dialog->isVisible() && !dialog->GetDlgItem(IDCANCEL)->isEnabled()) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            dialog->close();
            EXPECT_TRUE(dialog->isVisible()) << "neither Escape nor the close box ends it while the worker runs";
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible() || dialog->GetDlgItem(IDCANCEL)->isEnabled(); },
                                    20000));
        if (c.upload && dialog->GetDlgItem(IDOK)->isEnabled())
            QTest::mouseClick(dialog->GetDlgItem(IDOK), Qt::LeftButton);
        if (c.upload && dialog->isVisible()) { // a failure: the row is still there to try again
            EXPECT_TRUE(dialog->GetDlgItem(IDC_UPLOAD)->isEnabled());
        }
        if (!c.upload && dialog->isVisible()) { // the search again
            EXPECT_EQ(shown(), c.unplugged || c.other || c.faults == std::vector<std::string>{"gone-after-restart"}
                                   ? "Connect TVX-18G Ser.# 100001\nand choose \"Rescan\"."
                                   : found);
        }
        if (dialog->isVisible())
            dialog->EndDialog(LeftOpen);
    };
    QTimer::singleShot(0, dialog.get(), act);
    EXPECT_EQ(dialog->DoModal(), c.result);
    const std::string size = std::to_string(Data(c.data, c.model).size());
    const std::string middle = std::to_string(Data(c.data, c.model).size() / 2 + 1);
    std::vector<std::string> expected;
    for (const std::string& box : c.boxes)
        expected.push_back(Replaced(Replaced(box, "{N}", size), "{K}", middle));
    EXPECT_EQ(boxes, expected);
    if (c.busy) {
        EXPECT_EQ(whileBusy, c.busy);
    }
    if (c.upload) {
        const auto& upload = static_cast<CUploadDialog&>(*dialog);
        EXPECT_TRUE(upload.ResultData() == Data(c.data, c.model));
        EXPECT_EQ(upload.EmptyReason(), c.empty);
    }
    const std::string serial = c.other ? c.other : "100001";
    const auto held = [&](const std::string& kind) { // "corrupt": what was sent, a byte of its middle changed
        std::string data = Data(kind == "corrupt" ? c.data : kind, c.model, serial);
        if (kind == "corrupt")
            data[data.size() / 2] ^= 0x01;
        return data;
    };
    EXPECT_TRUE(sensors.Store().LoadArea(serial, DataArea::User) == held(c.areas[0]));
    EXPECT_TRUE(sensors.Store().LoadArea(serial, DataArea::Factory) == held(c.areas[1]));
}

const std::array<const char*, 2> UserAndFactory{"user", "factory"}, FactoryOnly{"", "factory"};
const std::vector<std::string> Ok{"Download successful."};
const std::string Confirmation = "Different calibration dates detected! Proceed?\n\nMiscellaneous:\n\tDate in cal. "
                                 "data set: 2026-12-01\n\tDate in sensor: 2024-03-11\n";
const std::string UserSetInFactoryArea = "Settings conflict;a user data set does not go into the factory data area";
const std::string Unchanged = "\nThe sensor's data is unchanged.";
const std::string Timeouts = "\nIf the sensor needs longer, raise the timeouts under Options > Remote.";
const std::string Cable = "\nCheck the sensor's USB cable, then try again.";
const std::string Areas = "|Failed step: asking the sensor for its data areas";
const std::string Reading = "|Failed step: reading the data set from the factory data area";
const std::string WritingUser = "|Failed step: writing the data set into the user data area";
const std::string WritingFactory = "|Failed step: writing the data set into the factory data area";
const std::string NotValid = "The sensor's answer is not a valid data block: ";
const std::string Differs = "The sensor holds {N} bytes, the data set sent has {N}; they differ from byte {K} on.";

INSTANTIATE_TEST_SUITE_P(
    Rows, Transfers,
    ::testing::ValuesIn(std::vector<Transfer>{
        {"UploadDriverFactoryForced", true, Driver, true, "factory", {}, IDOK, UserAndFactory},
        // The user area upload over the driver, past an error an earlier session left.
        {"UploadDriverUserAreaStaleUnknownCommandIsNoProbeAnswer", true, Driver, false, "user", {}, IDOK, UserAndFactory,
         {}, "TVX-18G", IDYES, false, "cal:foo"},
        {"UploadDriverWithoutUserCommand", true, Driver, false, "factory", {}, IDOK, FactoryOnly, {}, "TVX-6G"},
        {"UploadDriverConnectionLost", true, Driver, true, "",
         {"The connection to the sensor was lost." + Reading + Unchanged + Cable}, LeftOpen, FactoryOnly,
         {"drop-after=100"}},
        {"UploadDriverEmptyUserArea", true, Driver, false, "", {}, IDOK, {"", "factory"}, {}, "TVX-18G", IDYES, false,
         nullptr, nullptr, "The user data area of TVX-18G Ser.# 100001 is empty."},
        {"UploadVisaUserArea", true, Visa, false, "user", {}, IDOK, UserAndFactory},
        {"UploadVisaWithoutUserCommand", true, Visa, false, "factory", {}, IDOK, FactoryOnly, {}, "TVX-6G"},
        {"UploadVisaTimeout", true, Visa, false, "",
         {"VI_ERROR_TMO: Timeout expired before operation completed." + Areas + Unchanged + Timeouts}, LeftOpen,
         FactoryOnly, {"delay=1500"}},
        {"UploadVisaBlockLongerThanAnnounced", true, Visa, true, "",
         {NotValid + "it holds more bytes than it announces." + Reading + Unchanged}, LeftOpen, FactoryOnly,
         {"bad-length"}},
        {"UploadVisaNoFinalLineFeed", true, Visa, true, "", {NotValid + "its final line feed is missing." + Reading + Unchanged},
         LeftOpen, FactoryOnly, {"no-final-lf"}},
        {"UploadVisaGarbage", true, Visa, false, "", {NotValid + "it does not begin with \"#\"." + Areas + Unchanged},
         LeftOpen, FactoryOnly, {"garbage"}},
        {"UploadVisaLockedWaitsVisibly", true, Visa, false, "",
         {"VI_ERROR_RSRC_LOCKED: Specified type of lock cannot be obtained, or specified operation cannot be "
          "performed, because the resource is locked.|Failed step: locking the sensor for this program" + Unchanged +
          "\nAnother program is using the sensor: close it or let it finish, then try again."},
         LeftOpen, FactoryOnly, {"locked"}, "TVX-18G", IDYES, false, nullptr,
         "Waiting for the lock on TVX-18G Ser.# 100001 (up to 5 s): another program may be using it ..."},
        {"UploadDriverLocked", true, Driver, false, "",
         {"Another program has locked the sensor and did not let go of it within the timeout.|Failed step: reading the data set from the user data area" + Unchanged +
          "\nAnother program is using the sensor: close it or let it finish, then try again."},
         LeftOpen, FactoryOnly, {"locked"}},
        {"UploadVisaEmptyUserArea", true, Visa, false, "", {}, IDOK, {"", "factory"}, {}, "TVX-18G", IDYES, false,
         nullptr, nullptr, "The user data area of TVX-18G Ser.# 100001 is empty."},
        {"UploadVisaFactoryForced", true, Visa, true, "factory", {}, IDOK, UserAndFactory},
        {"DownloadDriverFactoryEqualDates", false, Driver, true, "factory", Ok, IDCANCEL, FactoryOnly},
        {"DownloadDriverDifferentDateDeclined", false, Driver, true, "restocked", {Confirmation}, IDCANCEL, FactoryOnly,
         {}, "TVX-18G", IDNO},
        {"DownloadDriverWithoutUserCommandRefusesAUserSet", false, Driver, false, "user",
         {"Sensor error -221, " + UserSetInFactoryArea + WritingFactory + Unchanged}, LeftOpen, FactoryOnly, {},
         "TVX-6G"},
        // A probe answer other than the refusal or an unknown command writes nothing, though
        // the factory area would take this set; an error left from before is no answer.
        {"DownloadDriverOtherProbeAnswerWritesNothing", false, Driver, false, "restocked",
         {"Sensor error -200, Execution error;write refused" + Areas + Unchanged}, LeftOpen, FactoryOnly,
         {"refuse-user-write=-200"}},
        {"DownloadDriverStaleErrorIsNoProbeAnswer", false, Driver, false, "user", Ok, IDCANCEL, UserAndFactory, {},
         "TVX-18G", IDYES, false, "cal:data"},
        {"DownloadDriverRestartFails", false, Driver, false, "user",
         {"The sensor refused the request.|Failed step: storing the data set and restarting the sensor\nThe sensor "
          "gave the data set sent back; whether it keeps it after a restart is not known.",
          "Error: Download successful, but flash or reset error."},
         LeftOpen, UserAndFactory, {"restart-fails"}},
        {"DownloadDriverCorruptStoreIsNoSuccess", false, Driver, false, "user",
         {"The data set read back from the sensor is not the one sent. " + Differs +
          "|Failed step: reading the data set back from the user data area"},
         LeftOpen, {"corrupt", "factory"}, {"corrupt-store"}},
        {"DownloadDriverGoneAfterRestartIsNoSuccess", false, Driver, false, "user",
         {"The sensor did not come back within 2000 ms after its restart. It gave the data set sent back before the "
          "restart; whether it kept it is not known.|Failed step: storing the data set and restarting the sensor" +
          Timeouts},
         LeftOpen, UserAndFactory, {"gone-after-restart"}},
        {"DownloadVisaUserArea", false, Visa, false, "user", Ok, IDCANCEL, UserAndFactory},
        {"DownloadVisaDifferentDateAccepted", false, Visa, true, "restocked", {Confirmation, Ok[0]}, IDCANCEL,
         {"", "restocked"}},
        {"DownloadVisaSensorErrorAfterTheWrite", false, Visa, false, "user",
         {"Error: " + UserSetInFactoryArea + WritingFactory + Unchanged}, LeftOpen, FactoryOnly, {}, "TVX-6G"},
        {"DownloadVisaCorruptStoreIsNoSuccess", false, Visa, true, "factory",
         {"The data set read back from the sensor is not the one sent. " + Differs +
          "|Failed step: reading the data set back from the factory data area"},
         LeftOpen, {"", "corrupt"}, {"corrupt-store"}},
        {"DownloadVisaUnpluggedLeadsBackToConnect", false, Visa, false, "user",
         {"VI_ERROR_RSRC_NFOUND: Insufficient location information or the device or resource is not present in the "
          "system.|Failed step: opening the sensor" + Unchanged + Cable},
         LeftOpen, FactoryOnly, {}, "TVX-18G", IDYES, true},
        {"DownloadLanUserArea", false, Lan, false, "user", Ok, IDCANCEL, UserAndFactory},
        {"DownloadLanAnotherSensorAtTheAddressGetsNothing", false, Lan, false, "user",
         {"The instrument that answers there is Trobe&Lindvar TVX-18G Ser.# 100002, not the data set's sensor TVX-18G "
          "Ser.# 100001. Nothing was written; the dialog searches again.|Failed step: asking the sensor for its type "
          "and serial number" + Unchanged},
         LeftOpen, FactoryOnly, {}, "TVX-18G", IDYES, false, nullptr, nullptr, "", "100002"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
