// The data set in memory: what each edit makes of it, and what it refuses, leaving the set exactly as it was.

#include "TamrixTestSupport.h"

#include <limits>

namespace
{
const SParaType<1>*const S11 = &SParaType<1>::S11, *const S21 = &SParaType<1>::S21, *const S22 = &SParaType<1>::S22;

// Every text of a data set (device 0 for the mnemonic, the S-parameter measurement for a calibration record), with its longest length.
struct TextField { std::string name; long most; std::function<void(CTamrix&, const std::string&)> set; std::function<std::string(const CTamrix&)> get; };
TextField Record(const char* name, void (CTamrix::*set)(const CMeasurement*, const std::string&), std::string (CTamrix::*get)(const CMeasurement*) const)
{
    return {name, 32, [=](CTamrix& s, const std::string& t) { (s.*set)(CMeasurement::SPara, t); }, [=](const CTamrix& s) { return (s.*get)(CMeasurement::SPara); }};
}
const TextField textFields[] = {
    {"sensor name", 32, &CTamrix::SetSensorName, &CTamrix::GetSensorName}, {"stock number", 32, &CTamrix::SetStockNumber, &CTamrix::GetStockNumber},
    {"attribute", 32, &CTamrix::SetAttribute, &CTamrix::GetAttribute}, {"serial number", 32, &CTamrix::SetSerialNumber, &CTamrix::GetSerialNumber},
    {"internal serial number", 32, &CTamrix::SetSerialNumberInternal, &CTamrix::GetSerialNumberInternal},
    {"mnemonic", 255, [](CTamrix& s, const std::string& t) { s.SetSPDMnemonic(0, t); }, [](const CTamrix& s) { return s.GetSPDMnemonic(0); }},
    Record("date", &CTamrix::SetCalDate, &CTamrix::GetCalDate), Record("laboratory", &CTamrix::SetCalLab, &CTamrix::GetCalLab),
    Record("engineer", &CTamrix::SetCalEng, &CTamrix::GetCalEng),
};

// A text of `piece` repeated (longest length + `extra`) times, then `tail`, set with UTF-8 support `utf8In` and read with `utf8Out`: the text read
// (the text given when empty), or refused (104) and the old text kept.
struct TextRow : Row { bool utf8In; std::string piece; long extra; std::string tail; bool utf8Out; bool accepted; std::string out; };
using ModelText = ::testing::TestWithParam<TextRow>;
TEST_P(ModelText, AreConvertedAndLimitedInCharacters)
{
    const TextRow& row = GetParam();
    for (const TextField& field : textFields) {
        SCOPED_TRACE(field.name);
        CTamrix set = Rich();
        set.EnableUtf8Support(row.utf8In);
        field.set(set, "before");
        std::string given = row.tail;
        for (long i = 0; i < field.most + row.extra; ++i)
            given.insert(0, row.piece);
        EXPECT_EQ(CodeKeeping(set, [&] { field.set(set, given); }), row.accepted ? 0 : 104);
        set.EnableUtf8Support(row.utf8Out);
        EXPECT_EQ(field.get(set), row.accepted ? (row.out.empty() ? given : row.out) : "before");
    }
}
const TextRow textRows[] = {
    {"Iso88591InUtf8Out", false, "", 0, "\xB5W", true, true, "\xC2\xB5W"}, {"Utf8InIso88591Out", true, "", 0, "\xC3\xA9t\xC3\xA9", false, true, "\xE9t\xE9"},
    {"AboveU00FFBecomesQuestionMark", true, "", 0, "\xE2\x82\xAC\xF0\x9F\x93\x90!", false, true, "?" "?!"}, {"Nul", true, "", 0, std::string("a\0b", 3), true, false, ""},
    {"BytesThatAreNotUtf8Pass", true, "", 0, "a\xFF\xC0\xAF" "b\xE2\x82", false, true, ""},
    {"EncodedSurrogateIsNotUtf8", true, "", 0, "\xED\xA0\x80", false, true, ""}, {"BeyondU10FFFFIsNotUtf8", true, "", 0, "\xF4\x90\x80\x80", false, true, ""},
    {"AsciiAtTheLimit", true, "x", 0, "", true, true, ""}, {"AsciiOneMore", true, "x", 1, "", true, false, ""},
    {"ThreeByteCharactersAtTheLimit", true, "\xE2\x82\xAC", 0, "", true, true, ""}, {"ThreeByteCharactersOneMore", true, "\xE2\x82\xAC", 1, "", true, false, ""},
    {"FourByteCharactersAtTheLimit", true, "\xF0\x9F\x93\x90", 0, "", true, true, ""}, {"BytesThatAreNotUtf8CountOneEach", true, "\xFF", 0, "", true, true, ""},
    {"OneByteThatIsNotUtf8TooMany", true, "\xFF", -1, "\xE2\x82", true, false, ""}, {"BrokenSequenceAtTheLimit", true, "a", -2, "\xE2\x82", true, true, ""},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelText, ::testing::ValuesIn(textRows), RowName);

// Edits of rich_v3 that are refused with a code; the set stays exactly as it was.
struct RefusalRow : Row { Edit edit; std::int32_t code; };
using ModelRefusal = ::testing::TestWithParam<RefusalRow>;
TEST_P(ModelRefusal, LeaveTheSetUnchanged)
{
    CTamrix set = Rich();
    EXPECT_EQ(CodeKeeping(set, [&] { GetParam().edit(set); }), GetParam().code);
}
const double nan = std::numeric_limits<double>::quiet_NaN(), infinity = std::numeric_limits<double>::infinity();
const SParaType<1> lookalike{"S11", 0, &SParaType<1>::S12};
const CMeasurement foreignMeasurement{"Abso", 1};
const SParaValue zeros{0, 0, 0};
Edit Table(const CMeasurement* m, std::vector<double> axis, std::uint32_t width, std::vector<float> values)
{
    return [=](CTamrix& s) { s.SetCalTable(m, CalTable{axis, width, values}); };
}
// The content replaced by itself after `change`.
Edit Replaced(std::function<void(TamrixContent&)> change)
{
    return [=](CTamrix& s) { TamrixContent c = s.Content(); change(c); s.ReplaceContent(c); };
}
#define CONTENT(...) Replaced(CHANGE(__VA_ARGS__))
const RefusalRow refusalRows[] = {
    {"DeviceMinus1", EDIT(s.SetSPDMnemonic(-1, "x")), 105}, {"DevicePastTheEnd", EDIT(s.SetSParaMinPower(3, 0.0)), 105},
    {"GetFromDevicePastTheEnd", EDIT(s.GetSParaFreqNumber(3)), 105}, {"GetMnemonicOfDeviceMinus1", EDIT(s.GetSPDMnemonic(-1)), 105},
    {"FlagsOfDevicePastTheEnd", EDIT(s.SetSParaDeviceFlags(3, 0)), 105}, {"PointMinus1", EDIT(s.SetSParaFreq(0, -1, 1.0)), 105},
    {"PointPastTheEnd", EDIT(s.SetSParaFreq(0, 4, 1.0)), 105}, {"GetPointPastTheEnd", EDIT(s.GetSParaValue(1, 4, S11)), 105},
    {"ValueAtPointPastTheEnd", EDIT(s.SetSParaValue(2, 4, S11, zeros)), 105}, {"FrequencyCountOfDeviceMinus1", EDIT(s.SetSParaFreqNumber(-1, 2)), 105},
    {"DefaultDevicePastTheEnd", EDIT(s.SetSParaDefaultDevice(3)), 105}, {"DefaultDeviceMinus2", EDIT(s.SetSParaDefaultDevice(-2)), 105},
    {"InsertBeforeMinus1", EDIT(s.InsertSParaDeviceBefore(-1)), 105}, {"InsertPastTheEnd", EDIT(s.InsertSParaDeviceBefore(4)), 105},
    {"SwapWithDevicePastTheEnd", EDIT(s.SwapSParaDevices(0, 3)), 105}, {"SwapDeviceMinus1WithItself", EDIT(s.SwapSParaDevices(-1, -1)), 105},
    {"DeleteDevicePastTheEnd", EDIT(s.DeleteSParaDevice(3)), 105}, {"NullMeasurement", EDIT(s.SetCalDate(nullptr, "x")), 104},
    {"GetWithNullMeasurement", EDIT(s.GetCalLab(nullptr)), 104}, {"MeasurementThatIsACopy", EDIT(s.SetCalEng(&foreignMeasurement, "x")), 104},
    {"NullSParameter", EDIT(s.SetSParaValue(0, 0, nullptr, zeros)), 104}, {"UnknownSParameter", EDIT(s.SetSParaValue(0, 0, &SParaType<1>::Unknown, zeros)), 104},
    {"GetUnknownSParameter", EDIT(s.GetSParaValue(0, 0, &SParaType<1>::Unknown)), 104}, {"SParameterLookalike", EDIT(s.SetSParaValue(0, 0, &lookalike, zeros)), 104},
    {"NanValue", EDIT(s.SetSParaValue(0, 0, S21, {1.0, nan, 0.0})), 104}, {"InfiniteUncertainty", EDIT(s.SetSParaValue(0, 0, S21, {1.0, 0.0, infinity})), 104},
    {"NegativeInfiniteValue", EDIT(s.SetSParaValue(0, 0, S22, {-infinity, 0, 0})), 104}, {"NegativeUncertainty", EDIT(s.SetSParaValue(0, 0, S21, {0.5, 0.5, -1e-9})), 104}, {"NegativeFrequency", EDIT(s.SetSParaFreq(0, 0, -1.0)), 104},
    {"NanFrequency", EDIT(s.SetSParaFreq(0, 0, nan)), 104}, {"InfiniteFrequency", EDIT(s.SetSParaFreq(0, 0, infinity)), 104},
    {"NegativePowerLimit", EDIT(s.SetSParaMinPower(0, -1.0e-9)), 104}, {"NanPowerLimit", EDIT(s.SetSParaMaxPower(0, nan)), 104},
    {"InfinitePowerLimit", EDIT(s.SetSParaMaxPower(0, infinity)), 104}, {"DeviceCountMinus1", EDIT(s.SetSParaDeviceNumber(-1)), 104},
    {"DeviceCount65", EDIT(s.SetSParaDeviceNumber(65)), 104}, {"PointCountMinus1", EDIT(s.SetSParaFreqNumber(0, -1)), 104},
    {"PointCount100001", EDIT(s.SetSParaFreqNumber(0, 100001)), 104}, {"UnknownGlobalBit", EDIT(s.SetSParaCorrDef(0x10)), 104},
    {"HighGlobalBit", EDIT(s.SetSParaCorrDef(0x100000000ul)), 104}, {"UnknownDeviceFlag", EDIT(s.SetSParaDeviceFlags(0, 0x02)), 104},
    {"NegativeChannel", EDIT(s.SetChannelNumber(-1)), 104}, {"ChannelBeyond32Bits", EDIT(s.SetChannelNumber(0x80000000l)), 104},
    {"TableOfMisc", EDIT(s.SetCalTable(CMeasurement::Misc, CalTable())), 104}, {"TableOfSPara", EDIT(s.GetCalTable(CMeasurement::SPara)), 104},
    {"TableOfNull", EDIT(s.GetCalTable(nullptr)), 104}, {"TableAxisDescending", Table(CMeasurement::Temp, {2.0, 1.0}, 1, {1.0f, 2.0f}), 109},
    {"TableValueCount", Table(CMeasurement::Abso, {1.0, 2.0}, 1, {1.0f}), 104},
    {"TableValueNan", Table(CMeasurement::Lin, {1.0, 2.0}, 1, {1.0f, std::numeric_limits<float>::quiet_NaN()}), 104},
    {"TableAxisInfinite", Table(CMeasurement::Refl, {1.0, infinity}, 1, {1.0f, 2.0f}), 104}, {"TableValuesWithoutWidth", Table(CMeasurement::Refl, {1.0}, 0, {1.0f}), 104},
    {"ValueBeyondFloat", EDIT(s.SetSParaValue(0, 0, S11, {1.0e39, 0.0, 0.0})), 215}, {"NegativeValueBeyondFloat", EDIT(s.SetSParaValue(0, 0, S11, {0.0, -1.0e300, 0.0})), 215},
    {"PowerLimitBeyondFloat", EDIT(s.SetSParaMaxPower(0, 1.0e39)), 215},
    // A replaced content keeps the same rules as a loaded one (each tried with the stored format).
    {"ContentWithPointCountAboveTheMost", CONTENT(c.devices[0].points.resize(100001)), 104},
    {"ContentFirstRuleBrokenWins", CONTENT(c.sParaDefaultDevice = 7, c.attribute = std::string(1, '\0')), 104},
    // What only storing refuses is fine while editing.
    {"ContentWithFrequenciesOutOfOrder", CONTENT(c.devices[0].points[0].frequency = 1.0e15), 0}, {"ContentWithDeviceWithoutPoints", CONTENT(c.devices[0].points.clear()), 0},
    {"ContentWithNoDevice", CONTENT(c.devices.clear(), c.sParaDefaultDevice = -1), 0}, {"ContentWithEqualAxisValues", CONTENT(c.temp.axis = {1.0, 1.0, 1.0}), 0},
    {"ContentWithAnyMiscNum", CONTENT(c.miscNum.maxPower = -float(infinity)), 0},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelRefusal, ::testing::ValuesIn(refusalRows), RowName);

// Devices named 'A', 'B', ... by their first position, one of them the default: the names and the default device after an edit of the list (on
// refusal the set unchanged).
struct DeviceListRow : Row { long count, defaultBefore; Edit edit; std::int32_t code; std::string names; long defaultAfter; };
using ModelDeviceList = ::testing::TestWithParam<DeviceListRow>;
TEST_P(ModelDeviceList, KeepsTheDefaultDeviceOnItsDevice)
{
    CTamrix set;
    set.SetSParaDeviceNumber(GetParam().count);
    for (long d = 0; d < GetParam().count; ++d)
        set.SetSPDMnemonic(d, std::string(1, static_cast<char>('A' + d)));
    set.SetSParaDefaultDevice(GetParam().defaultBefore);
    EXPECT_EQ(CodeKeeping(set, [&] { GetParam().edit(set); }), GetParam().code);
    std::string names;
    for (long d = 0; d < set.GetSParaDeviceNumber(); ++d)
        names += set.GetSPDMnemonic(d);
    EXPECT_EQ(std::make_pair(GetParam().code ? "(refused)" : names, set.GetSParaDefaultDevice()),
              std::make_pair(GetParam().names, GetParam().defaultAfter));
    EXPECT_NO_THROW(CTamrix::Validate(set.Content()));
}
const DeviceListRow deviceListRows[] = {
    {"ImportKeepsTheDefaultOnTheLastDevice", 4, 0, EDIT(Import(s, documented)), 0, "Pad 6 dB", 0},
    {"ImportDropsTheDefaultBeyondTheNewList", 4, 1, EDIT(Import(s, documented)), 0, "Pad 6 dB", -1},
    {"SwapTheDefaultAway", 4, 1, EDIT(s.SwapSParaDevices(1, 3)), 0, "ADCB", 3}, {"SwapTheDefaultBack", 4, 3, EDIT(s.SwapSParaDevices(1, 3)), 0, "ADCB", 1},
    {"SwapTwoOthers", 4, 0, EDIT(s.SwapSParaDevices(2, 3)), 0, "ABDC", 0}, {"SwapWithItself", 4, 2, EDIT(s.SwapSParaDevices(2, 2)), 0, "ABCD", 2},
    {"InsertBeforeTheDefault", 3, 1, EDIT(s.InsertSParaDeviceBefore(0)), 0, "ABC", 2}, {"InsertAtTheDefault", 3, 1, EDIT(s.InsertSParaDeviceBefore(1)), 0, "ABC", 2},
    {"InsertAfterTheDefault", 3, 1, EDIT(s.InsertSParaDeviceBefore(2)), 0, "ABC", 1}, {"Append", 3, 2, EDIT(s.InsertSParaDeviceBefore(3)), 0, "ABC", 2},
    {"InsertBeyondTheMost", 64, 5, EDIT(s.InsertSParaDeviceBefore(0)), 104, "(refused)", 5}, {"DeleteTheDefault", 3, 1, EDIT(s.DeleteSParaDevice(1)), 0, "AC", -1},
    {"DeleteBeforeTheDefault", 3, 2, EDIT(s.DeleteSParaDevice(0)), 0, "BC", 1}, {"DeleteAfterTheDefault", 3, 0, EDIT(s.DeleteSParaDevice(2)), 0, "AB", 0},
    {"ShrinkPastTheDefault", 4, 2, EDIT(s.SetSParaDeviceNumber(2)), 0, "AB", -1}, {"ShrinkToJustKeepTheDefault", 4, 2, EDIT(s.SetSParaDeviceNumber(3)), 0, "ABC", 2},
    {"Grow", 2, 1, EDIT(s.SetSParaDeviceNumber(4)), 0, "AB", 1}, {"SetNoDefault", 2, 1, EDIT(s.SetSParaDefaultDevice(-1)), 0, "AB", -1},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelDeviceList, ::testing::ValuesIn(deviceListRows), RowName);
} // namespace
