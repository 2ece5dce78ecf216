// The stored format: what loads and stores again to the same bytes, and what either refuses, leaving the data set and the output as they were.

#include "TamrixTestSupport.h"

#include <limits>

namespace
{
using ContentEdit = std::function<void(TamrixContent&)>;
const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();

// Loaded and stored again to the same bytes; any change of one byte and any truncation is refused, and the data set stays.
using BinarySample = ::testing::TestWithParam<SampleRow>;
TEST_P(BinarySample, LoadsAndStoresAgainToTheSameBytesAndRefusesEveryChangedByteAndEveryTruncation)
{
    const std::string data = ReadFile(GetParam().path);
    for (const bool utf8 : {false, true}) {
        CTamrix set = Rich();
        set.EnableUtf8Support(utf8);
        EXPECT_EQ(CTamrixUtil::LoadTMXFromBuffer2(set, data), FormatPair(GetParam().version, '0'));
        EXPECT_EQ(set.IsUtf8SupportEnabled(), utf8);
        EXPECT_EQ(Stored(set, GetParam().version), data);
        EXPECT_EQ(Bytes(set.Content(), GetParam().version), data); // the layout as described, field by field
    }
    CTamrix witness = Rich();
    witness.EnableUtf8Support(true);
    const auto expectRefused = [&](const std::string& damaged, const std::string& what) {
        SCOPED_TRACE(what);
        const std::int32_t code = CodeKeeping(witness, [&] { CTamrixUtil::LoadTMXFromBuffer2(witness, damaged); });
        ASSERT_TRUE(code == 201 || (code >= 204 && code <= 208)) << "code " << code;
        ASSERT_TRUE(witness.IsUtf8SupportEnabled());
    };
    for (std::size_t i = 0; i < data.size(); ++i) {
        for (const unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string damaged = data;
            damaged[i] = static_cast<char>(damaged[i] ^ mask);
            expectRefused(damaged, "byte " + std::to_string(i) + " ^ " + std::to_string(mask));
        }
        expectRefused(data.substr(0, i), "first " + std::to_string(i) + " bytes");
    }
}
INSTANTIATE_TEST_SUITE_P(Tamrix, BinarySample, ::testing::ValuesIn(sampleRows), RowName);

// Stored from rich_v3 after `edit`, then loaded into another set: what the stored bytes hold is rich_v3 after `edit` and `dropped`; a refusal leaves
// the output untouched.
struct StoreRow : Row { Edit edit; char version, revision; std::int32_t code; ContentEdit dropped = nullptr; };
using BinaryStore = ::testing::TestWithParam<StoreRow>;
TEST_P(BinaryStore, WritesWhatTheVersionHoldsOrRefuses)
{
    CTamrix set = Rich();
    GetParam().edit(set);
    std::string out = "untouched";
    EXPECT_EQ(CodeOf([&] { CTamrixUtil::StoreTMXToBuffer2(set, out, GetParam().version, GetParam().revision); }),
              GetParam().code);
    if (GetParam().code != 0) {
        EXPECT_EQ(out, "untouched");
        return;
    }
    CTamrix loaded = Rich();
    EXPECT_EQ(CTamrixUtil::LoadTMXFromBuffer2(loaded, out), FormatPair(GetParam().version, '0'));
    TamrixContent expected = set.Content();
    if (GetParam().dropped)
        GetParam().dropped(expected);
    EXPECT_EQ(Bytes(loaded.Content()), Bytes(expected));
}
const Edit same = [](CTamrix&) {};
const StoreRow storeRows[] = {
    {"Version3KeepsEverything", same, '3', '0', 0},
    {"Version2DropsDeviceFlagsAndNewGlobalBits",
     EDIT(s.SetSParaDeviceNumber(1), s.SetSParaDeviceFlags(0, 1), s.SetSParaDefaultDevice(0)), '2', '0',
     0, CHANGE(c.devices[0].flags = 0, c.sParaCorrDef = 3)},
    {"Version4WithoutInternalSerialNumber", EDIT(s.SetSerialNumberInternal("")), '4', '0', 0}, {"Version1", same, '1', '0', 205},
    {"Version5", same, '5', '0', 205}, {"Revision1", same, '3', '1', 206}, {"VersionBeforeRevision", same, '9', '9', 205},
    {"FormatBeforeContent", EDIT(s.SetSParaDeviceNumber(0)), '3', '1', 206}, {"NoDevice", EDIT(s.SetSParaDeviceNumber(0)), '3', '0', 211},
    {"DeviceWithoutPoints", EDIT(s.SetSParaFreqNumber(1, 0)), '3', '0', 211}, {"TwoDevicesInVersion2", EDIT(s.SetSParaDeviceNumber(2)), '2', '0', 214},
    {"InternalSerialNumberInVersion4", same, '4', '0', 214}, {"NewPointAt0HzAfterTheOthers", EDIT(s.SetSParaFreqNumber(0, 5)), '3', '0', 109},
    {"MoreThanTheLargestDataSet", EDIT(s = WithDevices(std::vector<SParaDevice>(24, Device("d", maxSParaFreqNumber)))), '3', '0', 202}, // 134 MB
};
INSTANTIATE_TEST_SUITE_P(Tamrix, BinaryStore, ::testing::ValuesIn(storeRows), RowName);

// Bytes that must not load, with the code that says why; the set stays as it was.
struct LoadRow : Row { std::function<std::string()> data; std::int32_t code; };
using BinaryLoad = ::testing::TestWithParam<LoadRow>;
TEST_P(BinaryLoad, RefusesBrokenDataAndKeepsTheSet)
{
    CTamrix set = Rich();
    set.EnableUtf8Support(true);
    EXPECT_EQ(CodeKeeping(set, [&] { CTamrixUtil::LoadTMXFromBuffer2(set, GetParam().data()); }), GetParam().code);
    EXPECT_TRUE(set.IsUtf8SupportEnabled());
}
const std::string good = ReadFile(DataFile("rich_v3.cal"));
// rich_v3 with the byte at `at` set to `value`; with the count at `at` (from the end when negative) set to `value`, sealed again.
std::function<std::string()> Changed(long at, char value) { return [=] { std::string data = good; data[at] = value; return data; }; }
std::function<std::string()> Count(long at, std::uint32_t value)
{
    return [=] {
        std::string data = good;
        Put32(data, at < 0 ? data.size() + at : at, value);
        return Reseal(data);
    };
}
// The rich data set of `version` after `edit`, written without the library's checks.
std::function<std::string()> Rule(ContentEdit edit, char version = '3')
{
    return [=] {
        TamrixContent content = Loaded(DataFile(std::string("rich_v") + version + ".cal")).Content();
        edit(content);
        return Bytes(content, version);
    };
}
const LoadRow loadRows[] = {
    {"ShorterThanTheHeader", [] { return good.substr(0, 17); }, 201}, {"HeaderOnly", [] { return Reseal(good.substr(0, 18)); }, 201},
    {"Signature", Changed(1, 't'), 204}, {"Version1", Changed(8, '1'), 205}, {"Version5", Changed(8, '5'), 205}, {"Revision1", Changed(9, '1'), 206},
    {"VersionBeforeRevision", [] { return good.substr(0, 8) + "71" + good.substr(10); }, 205}, {"LengthFieldOneMore", Changed(10, static_cast<char>(good[10] + 1)), 207},
    {"OneByteAppended", [] { return good + '\0'; }, 207}, {"ContentByte", Changed(40, static_cast<char>(good[40] ^ 0x10)), 208},
    {"Version3ReadAs2", Changed(8, '2'), 208}, {"BytesAfterTheLastTable", [] { return Reseal(good + "x"); }, 201},
    {"LastTableCutOff", [] { return Reseal(good.substr(0, good.size() - 4)); }, 201}, {"TextOneByteLonger", Count(18, 97), 201},
    {"AxisCountPastTheEnd", Count(-28, 0x7FFFFFFFu), 201}, // the linearity table: one axis value, three values
    {"ValuesPastTheEnd", Count(-16, 0x40000000u), 201},
    // The model's rules, each once.
    {"TextOf33Characters", Rule(CHANGE(c.serialNumber = std::string(33, '1'))), 104}, {"NegativeChannel", Rule(CHANGE(c.channelNumber = -1)), 104},
    {"EngineerHoldingNul", Rule(CHANGE(c.calInfo[2].engineer = std::string("a\0b", 3))), 104},
    {"LaboratoryHoldingNul", Rule(CHANGE(c.calInfo[5].laboratory = std::string(2, '\0'))), 104},
    {"MnemonicOf256Characters", Rule(CHANGE(c.devices[0].mnemonic = std::string(256, 'm'))), 104}, {"UnknownGlobalBit", Rule(CHANGE(c.sParaCorrDef = 0x10)), 104},
    {"UnknownDeviceFlag", Rule(CHANGE(c.devices[0].flags = 0x02)), 104}, {"Devices65", Rule(CHANGE(c.devices.resize(65, c.devices[0]))), 104},
    {"DefaultDevicePastTheEnd", Rule(CHANGE(c.sParaDefaultDevice = 3)), 105}, {"DefaultDeviceMinus2", Rule(CHANGE(c.sParaDefaultDevice = -2)), 105},
    {"InfiniteUncertainty", Rule(CHANGE(c.devices[2].points[0].values[11] = infinity)), 104},
    {"NegativeFrequency", Rule(CHANGE(c.devices[0].points[0].frequency = -1.0)), 104}, {"NegativePowerLimit", Rule(CHANGE(c.devices[0].maxPower = -1.0f)), 104},
    {"InfinitePowerLimit", Rule(CHANGE(c.devices[0].minPower = infinity)), 104}, {"NegativeDenormalPowerLimit", Rule(CHANGE(c.devices[0].minPower = -1.0e-40f)), 104},
    {"CalibrationAxisOutOfOrder", Rule(CHANGE(c.temp.axis = {30.0, 20.0, 40.0})), 109}, {"CalibrationValueNotFinite", Rule(CHANGE(c.abso.values[3] = nan)), 104},
    // What only storing refuses, after the model's rules.
    {"NewGlobalBitsInVersion2", Rule(CHANGE(c.sParaCorrDef = sParaCorr_deviceLocked), '2'), 203},
    {"FrequenciesDescending", Rule(CHANGE(c.devices[1].points[1].frequency = 1.0e12), '4'), 109},
    {"RulesBeforeWhatStoringRefuses", Rule(CHANGE(c.devices[1].points[1].frequency = 1.0e12, c.devices[1].points[3].values[0] = nan)), 104},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, BinaryLoad, ::testing::ValuesIn(loadRows), RowName);
} // namespace
