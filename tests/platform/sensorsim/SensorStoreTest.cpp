#include "ScopedFileSizeLimit.h"
#include "ServedSensors.h"

#include <gtest/gtest.h>

#include <boost/algorithm/string/replace.hpp>

#include <algorithm>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace
{

// Bytes a text file would not keep: NUL, CR LF, a byte above 0x7F.
const std::string AreaBytes("area\0\r\n\xFF", 8);

// Every name below `folder`, hidden ones too, so that left-over temporary files show.
std::vector<std::string> AllNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

// Sensor 100001 in the store of a fresh folder, which is never served here.
class StoreTest : public testing::Test
{
protected:
    StoreTest() { store.Add(NewSensorIdentity("100001", "TVX-18G"), AreaBytes); }

    ServedSensors sensors;
    SensorStore& store = sensors.Store();
    const fs::path storeFolder = store.Folder();
};

TEST_F(StoreTest, KeepsIdentityAreasAndFaultsAndRemovesWithoutTrace)
{
    // Every yes/no the other way round from the sensor the fixture adds.
    const SensorIdentity identity{"SN_7.b-2", "TVX-x", "4127.3005K02", "3.0", 0xBEEF, false, false, "10.0.0.7"};
    const std::string& serial = identity.serialNumber;
    store.Add(identity, AreaBytes + "factory");
    store.SaveArea(serial, DataArea::User, AreaBytes + "user");
    const std::string stamp = store.FaultsStamp(serial);
    sensors.SetFaults(serial, {"drop-after=4096", "locked"});
    EXPECT_NE(store.FaultsStamp(serial), stamp);

    const SensorStore reader(storeFolder);
    EXPECT_EQ(reader.Serials(), (std::vector<std::string>{"100001", serial}));
    EXPECT_TRUE(reader.LoadIdentity(serial) == identity);
    EXPECT_TRUE(reader.LoadIdentity("100001") == NewSensorIdentity("100001", "TVX-18G"));
    EXPECT_EQ(reader.LoadArea(serial, DataArea::Factory), AreaBytes + "factory");
    EXPECT_EQ(reader.LoadArea(serial, DataArea::User), AreaBytes + "user");
    EXPECT_EQ(reader.LoadFaults(serial).Settings(), (std::vector<std::string>{"drop-after=4096", "locked"}));
    store.SaveArea(serial, DataArea::User, "");
    EXPECT_EQ(reader.LoadArea(serial, DataArea::User), "");
    EXPECT_EQ(AllNames(storeFolder / serial), (std::vector<std::string>{"factory.cal", "faults.conf", "sensor.conf"}));

    store.Remove(serial);
    EXPECT_FALSE(reader.Contains(serial));
    EXPECT_EQ(AllNames(storeFolder), (std::vector<std::string>{"100001", "100001/factory.cal", "100001/sensor.conf"}));
}

struct RefusalRow
{
    const char* scenario;
    const char* file; // null, or one of sensor 100001 first replaced by `content`, or removed without one
    std::optional<std::string> content;
    std::function<void(SensorStore&)> action;
    const char* error; // "@" stands for that file, or the store folder without one
};

void PrintTo(const RefusalRow& row, std::ostream* out) { *out << row.scenario; }

class StoreRefusalTest : public StoreTest, public testing::WithParamInterface<RefusalRow>
{
};

TEST_P(StoreRefusalTest, SaysWhatAndWhereAndChangesNothing)
{
    const RefusalRow& row = GetParam();
    const fs::path file = storeFolder / "100001" / (row.file ? row.file : "");
    if (row.file)
        row.content ? static_cast<void>(std::ofstream(file) << *row.content) : static_cast<void>(fs::remove(file));
    const std::vector<std::string> before = AllNames(storeFolder);
    std::string expected = row.error;
    boost::algorithm::replace_all(expected, "@", (row.file ? file : storeFolder).string());
    try {
        row.action(store);
        ADD_FAILURE() << "no error";
    } catch (const SensorStoreError& error) {
        EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
    EXPECT_EQ(AllNames(storeFolder), before);
}

std::function<void(SensorStore&)> Adding(const std::string& serial, const std::string& model,
                                         rlim_t fileSize = RLIM_INFINITY)
{
    return [=](SensorStore& store) {
        const ScopedFileSizeLimit limit(fileSize);
        store.Add(NewSensorIdentity(serial, model), std::string(10000, 'x'));
    };
}

const auto LoadIdentity = [](SensorStore& store) { store.LoadIdentity("100001"); };
const std::string Conf = "model = TVX-18G\nfirmware = 2.14\nproduct-id = 0x0118\nuser-data = yes\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, StoreRefusalTest,
    testing::ValuesIn(std::vector<RefusalRow>{
        {"add_existing", nullptr, {}, Adding("100001", "TVX-18G"), "Simulated sensor 100001 already exists"},
        {"add_hidden_serial", nullptr, {}, Adding(".add", "TVX-18G"), "Bad serial number '.add'"},
        {"add_serial_of_33", nullptr, {}, Adding(std::string(33, '1'), "TVX-18G"), "Bad serial number '111"},
        {"add_model_of_two_lines", nullptr, {}, Adding("2", "TVX\nx"), "2 to @: 'TVX?x' is not one line"},
        {"add_disk_full_midway", nullptr, {}, Adding("2", "TVX-18G", 5000), "Cannot write @/.add-2-"},
        {"missing_sensor", nullptr, {}, [](SensorStore& store) { store.LoadIdentity("9"); },
         "No simulated sensor 9 in @"},
        {"remove_missing", nullptr, {}, [](SensorStore& store) { store.Remove("9"); }, "No simulated sensor 9 in @"},
        {"conf_without_usb", "sensor.conf", Conf, LoadIdentity, "Broken sensor file @: no usb"},
        {"conf_usb_maybe", "sensor.conf", Conf + "usb = maybe", LoadIdentity, "@: usb 'maybe' is neither yes nor no"},
        {"conf_product_id_too_big", "sensor.conf", Conf + "usb=no\nproduct-id=0x10000", LoadIdentity,
         "@: product-id '0x10000'"},
        {"conf_line_without_key", "sensor.conf", Conf + "usb yes", LoadIdentity, "@: line 5 is not"},
        {"factory_area_missing", "factory.cal", {},
         [](SensorStore& store) { store.LoadArea("100001", DataArea::Factory); }, "@ is missing"},
        {"bad_fault_line", "faults.conf", "locked\n\ndelay=1s", [](SensorStore& store) { store.LoadFaults("100001"); },
         "Broken faults file @: line 3: Bad value '1s'"}}),
    [](const auto& info) { return std::string(info.param.scenario); });

struct FaultRow
{
    const char* scenario;
    std::vector<std::string> settings;
    const char* faults; // Settings() joined by spaces
    const char* error;  // "", or a fragment of the error of the last setting
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.scenario; }

using FaultSettingsTest = testing::TestWithParam<FaultRow>;

TEST_P(FaultSettingsTest, GiveTheFaultsOrAClearError)
{
    const FaultRow& row = GetParam();
    SensorFaults faults;
    std::string error;
    std::size_t taken = 0;
    while (taken < row.settings.size() && faults.Apply(row.settings[taken], error))
        ++taken;
    std::string settings;
    for (const std::string& setting : faults.Settings())
        settings += (settings.empty() ? "" : " ") + setting;
    EXPECT_EQ(settings, row.faults);
    EXPECT_EQ(taken, row.settings.size() - (*row.error ? 1 : 0)) << error;
    EXPECT_TRUE(*row.error ? error.find(row.error) != std::string::npos : error.empty()) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FaultSettingsTest,
    testing::Values(
        FaultRow{"all_in_member_order",
                 {"unplugged", "refuse-write=-32768", "locked", "delay=600000", "no-final-lf", "refuse-user-write=-1",
                  "drop-after=18446744073709551615", "restart-fails", "bad-length", "bad-digit-count", "garbage",
                  "gone-after-restart", "corrupt-store"},
                 "delay=600000 drop-after=18446744073709551615 garbage bad-digit-count bad-length no-final-lf "
                 "refuse-write=-32768 refuse-user-write=-1 corrupt-store restart-fails gone-after-restart locked "
                 "unplugged",
                 ""},
        FaultRow{"delay_zero_is_off", {"delay=5", "delay=0", "refuse-write=32767"}, "refuse-write=32767", ""},
        FaultRow{"bad_value_changes_nothing", {"delay=7", "delay=600001"}, "delay=7",
                 "Bad value '600001' for fault 'delay': use 0 to 600000"},
        FaultRow{"unit_after_value", {"delay=10ms"}, "", "Bad value '10ms'"},
        FaultRow{"value_missing", {"delay"}, "", "Fault 'delay' needs a value"},
        FaultRow{"drop_after_zero", {"drop-after=0"}, "", "Bad value '0' for fault 'drop-after'"},
        FaultRow{"drop_after_overflow", {"drop-after=18446744073709551616"}, "", "Bad value"},
        FaultRow{"refuse_write_zero", {"refuse-write=0"}, "", "other than 0"},
        FaultRow{"refuse_write_below_range", {"refuse-write=-32769"}, "", "Bad value '-32769'"},
        FaultRow{"flag_with_value", {"garbage=1"}, "", "Fault 'garbage' takes no value"}),
    [](const auto& info) { return std::string(info.param.scenario); });

} // namespace
