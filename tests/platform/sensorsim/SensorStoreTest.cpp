#include "SensorSimTestFolder.h"

#include "ScopedFileSizeLimit.h"
#include "SensorStore.h"

#include <functional>
#include <tuple>

using namespace sensorsim_test;
namespace fs = std::filesystem;

namespace
{
using sensorsim_test::operator<<;

// Bytes a text file would not keep: NUL, CR LF, a byte above 0x7F.
const std::string AreaBytes("area\0\r\n\xFF", 8);

auto Fields(const SensorIdentity& identity)
{
    return std::tie(identity.serialNumber, identity.model, identity.stockNumber, identity.firmware,
                    identity.productId, identity.hasUserData, identity.onUsb, identity.lanAddress);
}

// The text of the SensorStoreError that `action` throws, "" when it throws none.
std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const SensorStoreError& error) {
        return error.what();
    }
    return {};
}

class StoreTest : public testing::Test
{
protected:
    StoreTest() { store.Add(NewSensorIdentity("100001", "TVX-18G"), AreaBytes); }

    TestFolder folder;
    const fs::path storeFolder = folder / "store";
    SensorStore store{storeFolder};
};

struct IdentityRow
{
    const char* scenario;
    SensorIdentity identity;
};

class StoreRoundTripTest : public StoreTest, public testing::WithParamInterface<IdentityRow>
{
};

TEST_P(StoreRoundTripTest, KeepsIdentityAreasAndFaultsAndRemovesWithoutTrace)
{
    const SensorIdentity& identity = GetParam().identity;
    const std::string& serial = identity.serialNumber;
    SensorFaults faults;
    std::string error;
    ASSERT_TRUE(faults.Apply("drop-after=4096", error) && faults.Apply("locked", error)) << error;
    store.Add(identity, AreaBytes + "factory");
    store.SaveArea(serial, DataArea::User, AreaBytes + "user");
    const std::string stamp = store.FaultsStamp(serial);
    store.SaveFaults(serial, faults);
    EXPECT_NE(store.FaultsStamp(serial), stamp);

    const SensorStore reader(storeFolder);
    EXPECT_EQ(reader.Serials(), (std::vector<std::string>{"100001", serial}));
    EXPECT_EQ(Fields(reader.LoadIdentity(serial)), Fields(identity));
    EXPECT_EQ(reader.LoadArea(serial, DataArea::Factory), AreaBytes + "factory");
    EXPECT_EQ(reader.LoadArea(serial, DataArea::User), AreaBytes + "user");
    EXPECT_EQ(reader.LoadFaults(serial), faults);
    store.SaveArea(serial, DataArea::User, "");
    EXPECT_EQ(reader.LoadArea(serial, DataArea::User), "");
    EXPECT_EQ(AllNames(storeFolder / serial), (std::vector<std::string>{"factory.cal", "faults.conf", "sensor.conf"}));

    store.Remove(serial);
    EXPECT_FALSE(reader.Contains(serial));
    EXPECT_EQ(AllNames(storeFolder), (std::vector<std::string>{"100001", "100001/factory.cal", "100001/sensor.conf"}));
}

SensorIdentity LanOnly()
{
    SensorIdentity identity = NewSensorIdentity("SN_7.b-2", "TVX-other");
    identity.stockNumber = "4127.3005K02";
    identity.productId = 0xBEEF;
    identity.hasUserData = identity.onUsb = false;
    identity.lanAddress = "10.0.0.7";
    return identity;
}

INSTANTIATE_TEST_SUITE_P(Rows, StoreRoundTripTest,
                         testing::Values(IdentityRow{"usb_with_user_area", NewSensorIdentity("100002", "TVX-33G")},
                                         IdentityRow{"lan_only_without_user_area", LanOnly()}),
                         ScenarioName<IdentityRow>);

struct RefusalRow
{
    const char* scenario;
    std::function<void(SensorStore&)> action;
    const char* error; // "@" stands for the store folder
};

class StoreRefusalTest : public StoreTest, public testing::WithParamInterface<RefusalRow>
{
};

TEST_P(StoreRefusalTest, SaysWhatAndWhereAndChangesNothing)
{
    const std::vector<std::string> before = AllNames(storeFolder);
    std::string expected = GetParam().error;
    expected.replace(expected.find('@'), 1, storeFolder.string());
    const std::string error = ErrorOf([&] { GetParam().action(store); });
    EXPECT_NE(error.find(expected), std::string::npos) << error;
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

// Replaces (or without `content` removes) a file of sensor 100001, then reads.
std::function<void(SensorStore&)> Reading(const char* file, std::optional<std::string> content,
                                          std::function<void(SensorStore&)> read)
{
    return [=](SensorStore& store) {
        const fs::path path = store.Folder() / "100001" / file;
        content ? static_cast<void>(std::ofstream(path) << *content) : static_cast<void>(fs::remove(path));
        read(store);
    };
}

const auto LoadIdentity = [](SensorStore& store) { store.LoadIdentity("100001"); };
const std::string Conf = "model = TVX-18G\nfirmware = 2.14\nproduct-id = 0x0118\nuser-data = yes\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, StoreRefusalTest,
    testing::Values(
        RefusalRow{"add_existing", Adding("100001", "TVX-18G"), "Simulated sensor 100001 already exists in @"},
        RefusalRow{"add_slash_in_serial", Adding("a/b", "TVX-18G"), "Bad serial number 'a/b'"},
        RefusalRow{"add_hidden_serial", Adding(".add", "TVX-18G"), "Bad serial number '.add'"},
        RefusalRow{"add_serial_of_33", Adding(std::string(33, '1'), "TVX-18G"), "Bad serial number '111"},
        RefusalRow{"add_model_of_two_lines", Adding("2", "TVX\nx"), "sensor 2 to @: 'TVX?x' is not one line"},
        RefusalRow{"add_disk_full_midway", Adding("2", "TVX-18G", 5000), "Cannot write @/.add-2-"},
        RefusalRow{"missing_sensor", [](SensorStore& store) { store.LoadIdentity("9"); }, "No simulated sensor 9 in @"},
        RefusalRow{"remove_missing", [](SensorStore& store) { store.Remove("9"); }, "No simulated sensor 9 in @"},
        RefusalRow{"conf_without_usb", Reading("sensor.conf", Conf, LoadIdentity),
                   "Broken sensor file @/100001/sensor.conf: no usb"},
        RefusalRow{"conf_usb_maybe", Reading("sensor.conf", Conf + "usb = maybe", LoadIdentity),
                   "@/100001/sensor.conf: usb 'maybe' is neither yes nor no"},
        RefusalRow{"conf_product_id_too_big",
                   Reading("sensor.conf", Conf + "usb=no\nproduct-id=0x10000", LoadIdentity),
                   "@/100001/sensor.conf: product-id '0x10000'"},
        RefusalRow{"conf_line_without_key", Reading("sensor.conf", Conf + "usb yes", LoadIdentity),
                   "@/100001/sensor.conf: line 5 is not"},
        RefusalRow{"factory_area_missing",
                   Reading("factory.cal", {}, [](SensorStore& store) { store.LoadArea("100001", DataArea::Factory); }),
                   "@/100001/factory.cal is missing"},
        RefusalRow{"bad_fault_line",
                   Reading("faults.conf", "garbage\n\ndelay=1s", [](SensorStore& store) { store.LoadFaults("100001"); }),
                   "Broken faults file @/100001/faults.conf: line 3: Bad value '1s'"}),
    ScenarioName<RefusalRow>);

struct FaultRow
{
    const char* scenario;
    std::vector<std::string> settings;
    const char* faults; // Settings() joined by spaces
    const char* error;  // "", or a fragment of the error of the last setting
};

class FaultSettingsTest : public testing::TestWithParam<FaultRow>
{
};

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
        FaultRow{"none", {}, "", ""},
        FaultRow{"all_in_member_order",
                 {"unplugged", "refuse-write=-32768", "locked", "delay=600000", "no-final-lf",
                  "drop-after=18446744073709551615", "restart-fails", "bad-length", "bad-digit-count", "garbage"},
                 "delay=600000 drop-after=18446744073709551615 garbage bad-digit-count bad-length no-final-lf "
                 "refuse-write=-32768 restart-fails locked unplugged",
                 ""},
        FaultRow{"delay_zero_is_off", {"delay=5", "delay=0", "refuse-write=32767"}, "refuse-write=32767", ""},
        FaultRow{"bad_value_changes_nothing", {"delay=7", "delay=600001"}, "delay=7",
                 "Bad value '600001' for fault 'delay': use 0 to 600000"},
        FaultRow{"unit_after_value", {"delay=10ms"}, "", "Bad value '10ms'"},
        FaultRow{"plus_sign", {"drop-after=+5"}, "", "Bad value '+5'"},
        FaultRow{"value_missing", {"delay"}, "", "Fault 'delay' needs a value"},
        FaultRow{"drop_after_zero", {"drop-after=0"}, "", "Bad value '0' for fault 'drop-after'"},
        FaultRow{"drop_after_overflow", {"drop-after=18446744073709551616"}, "", "Bad value"},
        FaultRow{"refuse_write_zero", {"refuse-write=0"}, "", "other than 0"},
        FaultRow{"refuse_write_below_range", {"refuse-write=-32769"}, "", "Bad value '-32769'"},
        FaultRow{"flag_with_value", {"garbage=1"}, "", "Fault 'garbage' takes no value"},
        FaultRow{"unknown", {"slow"}, "", "Unknown fault 'slow' (known: delay=MS, drop-after=BYTES, garbage,"}),
    ScenarioName<FaultRow>);

struct FolderRow
{
    const char* scenario;
    const char* dataHome; // null: unset
    fs::path expected;    // a relative one below HOME
};

class DefaultFolderTest : public testing::TestWithParam<FolderRow>
{
};

TEST_P(DefaultFolderTest, FollowsXdgDataHomeWhenAbsolute)
{
    const TestFolder folder;
    GetParam().dataHome ? ::setenv("XDG_DATA_HOME", GetParam().dataHome, 1) : ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(SensorStore::DefaultFolder(), folder / "HOME" / GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DefaultFolderTest,
                         testing::Values(FolderRow{"absolute", "/srv/data", "/srv/data/Trobe-Lindvar/sensors"},
                                         FolderRow{"relative", "data", ".local/share/Trobe-Lindvar/sensors"},
                                         FolderRow{"unset", nullptr, ".local/share/Trobe-Lindvar/sensors"}),
                         ScenarioName<FolderRow>);

} // namespace
