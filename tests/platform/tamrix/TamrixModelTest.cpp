// The data set in memory: what each edit makes of it, and what it refuses,
// leaving the set exactly as it was.

#include "TamrixTestSupport.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace
{
using Edit = std::function<void(CTamrix&)>;
const SParaType<1>*const S11 = &SParaType<1>::S11, *const S12 = &SParaType<1>::S12, *const S21 = &SParaType<1>::S21, *const S22 = &SParaType<1>::S22;
const SParaType<1>* const sParas[] = {S11, S12, S21, S22};

template <typename Number>
std::string Text(Number value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The model as text: what is not at its start value, numbers as their shortest exact text.
std::string Describe(const TamrixContent& c)
{
    std::string out = c.sensorName + c.stockNumber + c.attribute + c.serialNumber + c.serialNumberInternal + "channel " + Text(c.channelNumber)
        + " corr " + Text(c.sParaCorrDef) + " default " + Text(c.sParaDefaultDevice) + " reference " + Text(c.miscNum.referenceFrequency);
    for (const CalInfo& info : c.calInfo)
        out += info.date.empty() && info.laboratory.empty() ? "" : " | " + info.date + ' ' + info.laboratory + ' ' + info.engineer;
    for (const CalTable* table : {&c.abso, &c.refl, &c.temp, &c.lin}) {
        out += table->axis.empty() ? "" : " | " + Text(table->valuesPerPoint);
        for (const double value : table->axis)
            out += ' ' + Text(value);
    }
    for (const SParaDevice& device : c.devices) {
        out += "\n'" + device.mnemonic + "' " + Text(device.minPower) + ' ' + Text(device.maxPower) + ' ' + Text(device.flags);
        for (const SParaPoint& point : device.points) {
            out += " | " + Text(point.frequency);
            for (const float value : point.values)
                out += ' ' + Text(value);
        }
    }
    return out;
}

// Every getter reads what the model holds (texts as they are with UTF-8 enabled).
void ExpectGettersReadTheModel(CTamrix set)
{
    set.EnableUtf8Support(true);
    const TamrixContent& c = set.Content();
    EXPECT_EQ(std::make_tuple(set.GetSensorName(), set.GetStockNumber(), set.GetAttribute(), set.GetSerialNumber(), set.GetSerialNumberInternal()),
              std::make_tuple(c.sensorName, c.stockNumber, c.attribute, c.serialNumber, c.serialNumberInternal));
    EXPECT_EQ(std::make_tuple(set.GetChannelNumber(), set.GetSParaCorrDef(), set.GetSParaDefaultDevice(), &set.GetMiscNum()),
              std::make_tuple(long(c.channelNumber), (unsigned long)c.sParaCorrDef, long(c.sParaDefaultDevice), &c.miscNum));
    for (const CMeasurement* m : CMeasurement::All()) {
        const CalInfo& info = c.calInfo[m->Index()];
        EXPECT_EQ(std::make_tuple(set.GetCalDate(m), set.GetCalLab(m), set.GetCalEng(m)), std::make_tuple(info.date, info.laboratory, info.engineer));
    }
    for (const auto& [m, table] : {std::pair(CMeasurement::Abso, &c.abso), {CMeasurement::Refl, &c.refl}, {CMeasurement::Temp, &c.temp}, {CMeasurement::Lin, &c.lin}})
        EXPECT_EQ(&set.GetCalTable(m), table) << m->Name();
    ASSERT_EQ(set.GetSParaDeviceNumber(), long(c.devices.size()));
    for (long d = 0; d < set.GetSParaDeviceNumber(); ++d) {
        const SParaDevice& device = c.devices[d];
        EXPECT_EQ(std::make_tuple(set.GetSPDMnemonic(d), set.GetSParaMinPower(d), set.GetSParaMaxPower(d), set.GetSParaDeviceFlags(d), set.GetSParaFreqNumber(d)),
                  std::make_tuple(device.mnemonic, double(device.minPower), double(device.maxPower), (unsigned long)device.flags, long(device.points.size())));
        for (long p = 0; p < set.GetSParaFreqNumber(d); ++p) {
            EXPECT_EQ(set.GetSParaFreq(d, p), device.points[p].frequency);
            for (const SParaType<1>* which : sParas) {
                const float* v = &device.points[p].values[3 * which->index];
                EXPECT_EQ(set.GetSParaValue(d, p, which), SParaValue(v[0], v[1], v[2])) << which->name;
            }
        }
    }
}

// Edits of a new data set and the model they leave.
struct EditRow : Row { Edit edit; std::string model; };
using ModelEdit = ::testing::TestWithParam<EditRow>;
TEST_P(ModelEdit, LeaveTheModelShown)
{
    CTamrix set;
    EXPECT_FALSE(set.IsUtf8SupportEnabled());
    GetParam().edit(set);
    EXPECT_EQ(Describe(set.Content()), GetParam().model);
    EXPECT_NO_THROW(CTamrix::Validate(set.Content()));
    ExpectGettersReadTheModel(set);
}
const std::string start = "channel 0 corr 0 default -1 reference nan", neutral = " | 0 0 0 0 1 0 0 1 0 0 0 0 0";
const EditRow editRows[] = {
    {"NewDataSetIsEmpty", [](CTamrix&) {}, start}, {"NewDeviceHasOneNeutralPoint", EDIT(s.SetSParaDeviceNumber(1)), start + "\n'' 0 0.1 0" + neutral},
    {"PointsAddedLaterAreNeutral", EDIT(s.SetSParaDeviceNumber(1), s.SetSParaFreq(0, 0, 5e9), s.SetSParaFreqNumber(0, 3)),
     start + "\n'' 0 0.1 0 | 5e+09 0 0 0 1 0 0 1 0 0 0 0 0" + neutral + neutral},
    {"PointsRemoved", EDIT(s.SetSParaDeviceNumber(1), s.SetSParaFreqNumber(0, 0)), start + "\n'' 0 0.1 0"},
    {"ValuesKeptInSinglePrecision",
     EDIT(s.SetSParaDeviceNumber(1), s.SetSParaMinPower(0, 1.0e-6), s.SetSParaMaxPower(0, 0.3), s.SetSParaFreq(0, 0, 3.000000000123e9),
          s.SetSParaValue(0, 0, S12, {0.1, -1.0e-40, 3.0e38}), s.SetSParaValue(0, 0, S21, {0.10000000000000001, 1.0 / 3.0, 16777217.0})),
     start + "\n'' 1e-06 0.3 0 | 3000000000.123 0 0 0 0.1 -1e-40 3e+38 0.1 0.33333334 16777216 0 0 0"},
    {"EachSParameterInItsPlace",
     [](CTamrix& s) {
         s.SetSParaDeviceNumber(2);
         for (int i = 0; i < 4; ++i)
             s.SetSParaValue(1, 0, sParas[i], {i + 0.25, i + 0.5, i + 0.75});
     },
     start + "\n'' 0 0.1 0" + neutral + "\n'' 0 0.1 0 | 0 0.25 0.5 0.75 1.25 1.5 1.75 2.25 2.5 2.75 3.25 3.5 3.75"},
    {"FlagsAndNumbers",
     EDIT(s.SetChannelNumber(0x7FFFFFFF), s.SetSParaCorrDef(0xF), s.SetSParaDeviceNumber(2), s.SetSParaDeviceFlags(1, 1), s.SetSParaDefaultDevice(1),
          s.SetSPDMnemonic(0, "\xB5W"), s.SetMiscNum({5e7f, 1e-3f})),
     "channel 2147483647 corr 15 default 1 reference 5e+07\n'\xC2\xB5W' 0 0.1 0" + neutral + "\n'' 0 0.1 1" + neutral},
    {"IdentityTexts", EDIT(s.SetSensorName("n "), s.SetStockNumber("s "), s.SetAttribute("a "), s.SetSerialNumber("r "), s.SetSerialNumberInternal("i ")),
     "n s a r i " + start},
    {"CalInfoBelongsToItsMeasurement",
     [](CTamrix& s) {
         for (const CMeasurement* m : CMeasurement::All())
             s.SetCalDate(m, std::string("d") + m->Name()), s.SetCalLab(m, std::string("l") + m->Name()), s.SetCalEng(m, std::string("e") + m->Name());
     },
     start + " | dMisc lMisc eMisc | dAbso lAbso eAbso | dRefl lRefl eRefl | dTemp lTemp eTemp | dLin lLin eLin | dSPara lSPara eSPara"},
    {"CalTablesBelongToTheirMeasurement",
     [](CTamrix& s) {
         const CMeasurement* const tables[] = {CMeasurement::Abso, CMeasurement::Refl, CMeasurement::Temp, CMeasurement::Lin};
         for (std::uint32_t i = 0; i < 4; ++i)
             s.SetCalTable(tables[i], CalTable{{double(i), 10.0}, i + 1, std::vector<float>(2 * (i + 1), 1.0f)});
         s.SetCalTable(CMeasurement::Refl, CalTable{{-1.0, -1.0}, 0, {}});
     },
     start + " | 1 0 10 | 0 -1 -1 | 3 2 10 | 4 3 10"},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelEdit, ::testing::ValuesIn(editRows), RowName);

TEST(Tamrix, MovingHandsOverTheDataAndLeavesAnEmptySet)
{
    CTamrix source = Rich();
    source.EnableUtf8Support(true);
    const std::string expected = Bytes(source.Content());
    const CTamrix moved(std::move(source));
    EXPECT_EQ(Bytes(moved.Content()), expected);
    EXPECT_TRUE(moved.IsUtf8SupportEnabled());
    EXPECT_EQ(Bytes(source.Content()), Bytes(TamrixContent())); // NOLINT(bugprone-use-after-move)
}

// Every text of a data set (device 0 for the mnemonic), with its longest length.
struct TextField { std::string name; long most; std::function<void(CTamrix&, const std::string&)> set; std::function<std::string(const CTamrix&)> get; };
std::vector<TextField> TextFields()
{
    std::vector<TextField> fields = {
        {"sensor name", 32, &CTamrix::SetSensorName, &CTamrix::GetSensorName},
        {"stock number", 32, &CTamrix::SetStockNumber, &CTamrix::GetStockNumber},
        {"attribute", 32, &CTamrix::SetAttribute, &CTamrix::GetAttribute},
        {"serial number", 32, &CTamrix::SetSerialNumber, &CTamrix::GetSerialNumber},
        {"internal serial number", 32, &CTamrix::SetSerialNumberInternal, &CTamrix::GetSerialNumberInternal},
        {"mnemonic", 255, [](CTamrix& s, const std::string& t) { s.SetSPDMnemonic(0, t); },
         [](const CTamrix& s) { return s.GetSPDMnemonic(0); }},
    };
    for (const CMeasurement* m : CMeasurement::All()) {
        fields.push_back({m->Name() + std::string(" date"), 32, [m](CTamrix& s, const std::string& t) { s.SetCalDate(m, t); },
                          [m](const CTamrix& s) { return s.GetCalDate(m); }});
        fields.push_back({m->Name() + std::string(" laboratory"), 32, [m](CTamrix& s, const std::string& t) { s.SetCalLab(m, t); },
                          [m](const CTamrix& s) { return s.GetCalLab(m); }});
        fields.push_back({m->Name() + std::string(" engineer"), 32, [m](CTamrix& s, const std::string& t) { s.SetCalEng(m, t); },
                          [m](const CTamrix& s) { return s.GetCalEng(m); }});
    }
    return fields;
}

// A text of `piece` repeated (longest length + `extra`) times, then `tail`, set
// with UTF-8 support `utf8In` and read with `utf8Out`: the text read (the text
// given when empty), or refused (104) and the old text kept.
struct TextRow : Row { bool utf8In; std::string piece; long extra; std::string tail; bool utf8Out; bool accepted; std::string out; };
using ModelText = ::testing::TestWithParam<TextRow>;
TEST_P(ModelText, AreConvertedAndLimitedInCharacters)
{
    const TextRow& row = GetParam();
    for (const TextField& field : TextFields()) {
        SCOPED_TRACE(field.name);
        CTamrix set = Rich();
        set.EnableUtf8Support(row.utf8In);
        field.set(set, "before");
        const std::string before = Bytes(set.Content());
        std::string given;
        for (long i = 0; i < field.most + row.extra; ++i)
            given += row.piece;
        given += row.tail;
        EXPECT_EQ(CodeOf([&] { field.set(set, given); }), row.accepted ? 0 : 104);
        set.EnableUtf8Support(row.utf8Out);
        EXPECT_EQ(field.get(set), row.accepted ? (row.out.empty() ? given : row.out) : "before");
        if (!row.accepted) {
            EXPECT_EQ(Bytes(set.Content()), before);
        }
    }
}
const TextRow textRows[] = {
    {"Iso88591InAndOut", false, "", 0, "Gr\xFC\xDF", false, true, ""}, {"Iso88591InUtf8Out", false, "", 0, "\xB5W", true, true, "\xC2\xB5W"},
    {"Utf8InAndOut", true, "", 0, "\xE2\x82\xAC 5", true, true, ""},
    {"AboveU00FFBecomesQuestionMark", true, "", 0, "\xE2\x82\xAC\xF0\x9F\x93\x90!", false, true, "?" "?!"},
    {"Utf8InIso88591Out", true, "", 0, "\xC3\xA9t\xC3\xA9", false, true, "\xE9t\xE9"},
    {"BytesThatAreNotUtf8Pass", true, "", 0, "a\xFF\xC0\xAF" "b\xE2\x82", false, true, ""}, {"EncodedSurrogateIsNotUtf8", true, "", 0, "\xED\xA0\x80", false, true, ""},
    {"BeyondU10FFFFIsNotUtf8", true, "", 0, "\xF4\x90\x80\x80", false, true, ""}, {"NotUtf8KeptByteForByte", true, "", 0, "\xFE\xFF", true, true, ""},
    {"AsciiAtTheLimit", true, "x", 0, "", true, true, ""}, {"AsciiOneMore", true, "x", 1, "", true, false, ""},
    {"ThreeByteCharactersAtTheLimit", true, "\xE2\x82\xAC", 0, "", true, true, ""}, {"ThreeByteCharactersOneMore", true, "\xE2\x82\xAC", 1, "", true, false, ""},
    {"FourByteCharactersAtTheLimit", true, "\xF0\x9F\x93\x90", 0, "", true, true, ""}, {"BytesThatAreNotUtf8CountOneEach", true, "\xFF", 0, "", true, true, ""},
    {"OneByteThatIsNotUtf8TooMany", true, "\xFF", -1, "\xE2\x82", true, false, ""}, {"BrokenSequenceAtTheLimit", true, "a", -2, "\xE2\x82", true, true, ""},
    {"Iso88591AtTheLimit", false, "\xE9", 0, "", false, true, ""}, {"Iso88591OneMore", false, "\xE9", 1, "", false, false, ""},
    {"Empty", true, "", 0, "", true, true, ""}, {"Nul", true, "", 0, std::string("a\0b", 3), true, false, ""},
    {"NulAlone", true, "", 0, std::string(1, '\0'), true, false, ""},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelText, ::testing::ValuesIn(textRows), RowName);

// Edits of rich_v3 that are refused with a code; the set stays exactly as it was.
struct RefusalRow : Row { Edit edit; std::int32_t code; };
using ModelRefusal = ::testing::TestWithParam<RefusalRow>;
TEST_P(ModelRefusal, LeaveTheSetUnchanged)
{
    CTamrix set = Rich();
    const std::string before = Bytes(set.Content());
    EXPECT_EQ(CodeOf([&] { GetParam().edit(set); }), GetParam().code);
    if (GetParam().code != 0) {
        EXPECT_EQ(Bytes(set.Content()), before);
    }
}
const double nan = std::numeric_limits<double>::quiet_NaN(), infinity = std::numeric_limits<double>::infinity();
const SParaType<1> lookalike{"S11", 0, S12};
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
    {"NegativeInfiniteValue", EDIT(s.SetSParaValue(0, 0, S22, {-infinity, 0, 0})), 104}, {"NegativeFrequency", EDIT(s.SetSParaFreq(0, 0, -1.0)), 104},
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
    {"TableAxisInfinite", Table(CMeasurement::Refl, {1.0, infinity}, 1, {1.0f, 2.0f}), 104},
    {"TableValuesWithoutWidth", Table(CMeasurement::Refl, {1.0}, 0, {1.0f}), 104}, {"ValueBeyondFloat", EDIT(s.SetSParaValue(0, 0, S11, {1.0e39, 0.0, 0.0})), 215},
    {"NegativeValueBeyondFloat", EDIT(s.SetSParaValue(0, 0, S11, {0.0, 0.0, -1.0e300})), 215}, {"PowerLimitBeyondFloat", EDIT(s.SetSParaMaxPower(0, 1.0e39)), 215},
    {"ContentWithAnInfiniteValue", CONTENT(c.devices[1].points[0].values[0] = float(infinity)), 104},
    {"ContentWithSensorNameTooLong", CONTENT(c.sensorName = std::string(33, 'x')), 104},
    {"ContentWithLaboratoryHoldingNul", CONTENT(c.calInfo[5].laboratory = std::string(2, '\0')), 104},
    {"ContentWithPointCountAboveTheMost", CONTENT(c.devices[0].points.resize(100001)), 104},
    {"ContentWithNegativeDenormalLimit", CONTENT(c.devices[0].minPower = -1.0e-40f), 104},
    {"ContentWithDefaultDeviceWithoutDevices", CONTENT(c.devices.clear(), c.sParaDefaultDevice = 0), 105},
    {"ContentWithTableValuesWithoutAxis", CONTENT(c.refl.valuesPerPoint = 2, c.refl.values = {1.0f, 2.0f}), 104},
    {"ContentFirstRuleBrokenWins", CONTENT(c.sParaDefaultDevice = 7, c.attribute = std::string(1, '\0')), 104},
    // What only storing refuses is fine while editing.
    {"ContentWithFrequenciesOutOfOrder", CONTENT(c.devices[0].points[0].frequency = 1.0e15), 0},
    {"ContentWithDeviceWithoutPoints", CONTENT(c.devices[0].points.clear()), 0}, {"ContentWithNoDevice", CONTENT(c.devices.clear(), c.sParaDefaultDevice = -1), 0},
    {"ContentWithEqualAxisValues", CONTENT(c.temp.axis = {1.0, 1.0, 1.0}), 0}, {"ContentWithAnyMiscNum", CONTENT(c.miscNum.maxPower = -float(infinity)), 0},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelRefusal, ::testing::ValuesIn(refusalRows), RowName);

// Devices named 'A', 'B', ... by their first position, one of them the
// default: the names and the default device after an edit of the list (on
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
    const std::string before = Bytes(set.Content());
    EXPECT_EQ(CodeOf([&] { GetParam().edit(set); }), GetParam().code);
    if (GetParam().code != 0) {
        EXPECT_EQ(Bytes(set.Content()), before);
        return;
    }
    std::string names;
    for (long d = 0; d < set.GetSParaDeviceNumber(); ++d)
        names += set.GetSPDMnemonic(d);
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(set.GetSParaDefaultDevice(), GetParam().defaultAfter);
    EXPECT_NO_THROW(CTamrix::Validate(set.Content()));
}
const DeviceListRow deviceListRows[] = {
    {"SwapTheDefaultAway", 4, 1, EDIT(s.SwapSParaDevices(1, 3)), 0, "ADCB", 3}, {"SwapTheDefaultBack", 4, 3, EDIT(s.SwapSParaDevices(1, 3)), 0, "ADCB", 1},
    {"SwapTwoOthers", 4, 0, EDIT(s.SwapSParaDevices(2, 3)), 0, "ABDC", 0}, {"SwapWithItself", 4, 2, EDIT(s.SwapSParaDevices(2, 2)), 0, "ABCD", 2},
    {"SwapWithoutDefault", 4, -1, EDIT(s.SwapSParaDevices(0, 1)), 0, "BACD", -1}, {"InsertBeforeTheDefault", 3, 1, EDIT(s.InsertSParaDeviceBefore(0)), 0, "ABC", 2},
    {"InsertAtTheDefault", 3, 1, EDIT(s.InsertSParaDeviceBefore(1)), 0, "ABC", 2}, {"InsertAfterTheDefault", 3, 1, EDIT(s.InsertSParaDeviceBefore(2)), 0, "ABC", 1},
    {"Append", 3, 2, EDIT(s.InsertSParaDeviceBefore(3)), 0, "ABC", 2}, {"InsertWithoutDefault", 3, -1, EDIT(s.InsertSParaDeviceBefore(0)), 0, "ABC", -1},
    {"InsertIntoAnEmptyList", 0, -1, EDIT(s.InsertSParaDeviceBefore(0)), 0, "", -1}, {"InsertBeyondTheMost", 64, 5, EDIT(s.InsertSParaDeviceBefore(0)), 104, "", 0},
    {"AppendBeyondTheMost", 64, 5, EDIT(s.InsertSParaDeviceBefore(64)), 104, "", 0}, {"DeleteTheDefault", 3, 1, EDIT(s.DeleteSParaDevice(1)), 0, "AC", -1},
    {"DeleteBeforeTheDefault", 3, 2, EDIT(s.DeleteSParaDevice(0)), 0, "BC", 1}, {"DeleteAfterTheDefault", 3, 0, EDIT(s.DeleteSParaDevice(2)), 0, "AB", 0},
    {"DeleteTheLastDevice", 1, 0, EDIT(s.DeleteSParaDevice(0)), 0, "", -1}, {"ShrinkPastTheDefault", 4, 2, EDIT(s.SetSParaDeviceNumber(2)), 0, "AB", -1},
    {"ShrinkToJustKeepTheDefault", 4, 2, EDIT(s.SetSParaDeviceNumber(3)), 0, "ABC", 2}, {"ShrinkToNone", 2, 0, EDIT(s.SetSParaDeviceNumber(0)), 0, "", -1},
    {"Grow", 2, 1, EDIT(s.SetSParaDeviceNumber(4)), 0, "AB", 1}, {"SetNoDefault", 2, 1, EDIT(s.SetSParaDefaultDevice(-1)), 0, "AB", -1},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, ModelDeviceList, ::testing::ValuesIn(deviceListRows), RowName);
} // namespace
