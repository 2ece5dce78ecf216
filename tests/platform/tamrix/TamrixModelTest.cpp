#include "Tamrix.h"
#include "TamrixTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tamrix_core_test;

namespace
{

// Accessors of every text of a data set (device 0 for the mnemonic).
struct TextField
{
    const char* name;
    long maxCharacters;
    std::function<void(CTamrix&, const std::string&)> set;
    std::function<std::string(const CTamrix&)> get;
};

std::vector<TextField> TextFields()
{
    std::vector<TextField> fields = {
        {"sensor name", maxInfoStringLength, &CTamrix::SetSensorName, &CTamrix::GetSensorName},
        {"stock number", maxInfoStringLength, &CTamrix::SetStockNumber, &CTamrix::GetStockNumber},
        {"attribute", maxInfoStringLength, &CTamrix::SetAttribute, &CTamrix::GetAttribute},
        {"serial number", maxInfoStringLength, &CTamrix::SetSerialNumber, &CTamrix::GetSerialNumber},
        {"internal serial number", maxInfoStringLength, &CTamrix::SetSerialNumberInternal,
         &CTamrix::GetSerialNumberInternal},
        {"mnemonic", maxMnemonicLength, [](CTamrix& s, const std::string& t) { s.SetSPDMnemonic(0, t); },
         [](const CTamrix& s) { return s.GetSPDMnemonic(0); }},
    };
    for (const CMeasurement* m : CMeasurement::All()) {
        const std::string prefix = m->Name();
        fields.push_back({"date", maxInfoStringLength, [m](CTamrix& s, const std::string& t) { s.SetCalDate(m, t); },
                          [m](const CTamrix& s) { return s.GetCalDate(m); }});
        fields.push_back({"laboratory", maxInfoStringLength,
                          [m](CTamrix& s, const std::string& t) { s.SetCalLab(m, t); },
                          [m](const CTamrix& s) { return s.GetCalLab(m); }});
        fields.push_back({"engineer", maxInfoStringLength,
                          [m](CTamrix& s, const std::string& t) { s.SetCalEng(m, t); },
                          [m](const CTamrix& s) { return s.GetCalEng(m); }});
    }
    return fields;
}

std::string Repeat(const std::string& piece, long times)
{
    std::string result;
    for (long i = 0; i < times; ++i)
        result += piece;
    return result;
}

// A set of `count` devices whose mnemonics name their first position.
CTamrix NamedDevices(long count, long defaultDevice)
{
    CTamrix set;
    set.SetSParaDeviceNumber(count);
    for (long d = 0; d < count; ++d)
        set.SetSPDMnemonic(d, std::string(1, static_cast<char>('A' + d)));
    set.SetSParaDefaultDevice(defaultDevice);
    return set;
}

std::string Mnemonics(const CTamrix& set)
{
    std::string result;
    for (long d = 0; d < set.GetSParaDeviceNumber(); ++d)
        result += set.GetSPDMnemonic(d);
    return result;
}

} // namespace

TEST(TamrixModel, NewDataSetIsEmpty)
{
    const CTamrix set;
    EXPECT_FALSE(set.IsUtf8SupportEnabled());
    EXPECT_EQ(set.GetSParaDeviceNumber(), 0);
    EXPECT_EQ(set.GetSParaDefaultDevice(), -1);
    EXPECT_EQ(set.GetChannelNumber(), 0);
    EXPECT_TRUE(std::isnan(set.GetMiscNum().referenceFrequency));
    EXPECT_NO_THROW(CTamrix::Validate(set.Content()));
}

TEST(TamrixModel, NewDeviceHasOneNeutralPoint)
{
    CTamrix set;
    set.SetSParaDeviceNumber(1);
    EXPECT_EQ(set.GetSPDMnemonic(0), "");
    EXPECT_EQ(set.GetSParaMinPower(0), 0.0);
    EXPECT_EQ(set.GetSParaMaxPower(0), static_cast<double>(0.1f));
    EXPECT_EQ(set.GetSParaDeviceFlags(0), 0u);
    ASSERT_EQ(set.GetSParaFreqNumber(0), 1);
    EXPECT_EQ(set.GetSParaFreq(0, 0), 0.0);
    EXPECT_EQ(set.GetSParaValue(0, 0, &SParaType<1>::S11), SParaValue(0.0, 0.0, 0.0));
    EXPECT_EQ(set.GetSParaValue(0, 0, &SParaType<1>::S12), SParaValue(1.0, 0.0, 0.0));
    EXPECT_EQ(set.GetSParaValue(0, 0, &SParaType<1>::S21), SParaValue(1.0, 0.0, 0.0));
    EXPECT_EQ(set.GetSParaValue(0, 0, &SParaType<1>::S22), SParaValue(0.0, 0.0, 0.0));

    // Points added later are the same neutral point.
    set.SetSParaFreq(0, 0, 5.0e9);
    set.SetSParaFreqNumber(0, 3);
    EXPECT_EQ(set.GetSParaFreq(0, 0), 5.0e9);
    EXPECT_EQ(set.GetSParaFreq(0, 2), 0.0);
    EXPECT_EQ(set.GetSParaValue(0, 2, &SParaType<1>::S21), SParaValue(1.0, 0.0, 0.0));
    set.SetSParaFreqNumber(0, 0);
    EXPECT_EQ(set.GetSParaFreqNumber(0), 0);
}

TEST(TamrixModel, ValuesAreKeptInSinglePrecision)
{
    CTamrix set = SmallSet();
    set.SetSParaValue(0, 1, &SParaType<1>::S12, {0.1, -1.0e-40, 3.0e38});
    EXPECT_EQ(set.GetSParaValue(0, 1, &SParaType<1>::S12),
              SParaValue(static_cast<double>(0.1f), static_cast<double>(-1.0e-40f), static_cast<double>(3.0e38f)));
    // Each S-parameter has its own place.
    EXPECT_EQ(set.GetSParaValue(0, 1, &SParaType<1>::S21), SParaValue(0.5, -0.25, static_cast<double>(0.01f)));
    EXPECT_EQ(set.Content().devices[0].points[1].values[3], 0.1f);

    set.SetSParaMinPower(0, 1.0e-6);
    set.SetSParaMaxPower(0, 0.3);
    EXPECT_EQ(set.GetSParaMinPower(0), static_cast<double>(1.0e-6f));
    EXPECT_EQ(set.GetSParaMaxPower(0), static_cast<double>(0.3f));

    // Frequencies are doubles.
    set.SetSParaFreq(0, 2, 3.000000000123e9);
    EXPECT_EQ(set.GetSParaFreq(0, 2), 3.000000000123e9);
}

TEST(TamrixModel, TextsConvertBetweenIso88591AndUtf8)
{
    struct Row
    {
        const char* scenario;
        bool utf8WhenSet;
        std::string given;
        std::string stored;
        bool utf8WhenGot;
        std::string got;
    };
    const Row rows[] = {
        {"ISO-8859-1 in and out", false, "Gr\xFC\xDF", "Gr\xC3\xBC\xC3\x9F", false, "Gr\xFC\xDF"},
        {"ISO-8859-1 in, UTF-8 out", false, "\xB5W", "\xC2\xB5W", true, "\xC2\xB5W"},
        {"UTF-8 in and out", true, "\xE2\x82\xAC 5", "\xE2\x82\xAC 5", true, "\xE2\x82\xAC 5"},
        {"above U+00FF becomes ?", true, "\xE2\x82\xAC\xF0\x9F\x93\x90!", "\xE2\x82\xAC\xF0\x9F\x93\x90!", false,
         "?" "?!"},
        {"UTF-8 in, ISO-8859-1 out", true, "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", false, "\xE9t\xE9"},
        {"bytes that are not UTF-8 pass", true, "a\xFF\xC0\xAF" "b\xE2\x82", "a\xFF\xC0\xAF" "b\xE2\x82", false,
         "a\xFF\xC0\xAF" "b\xE2\x82"},
        {"encoded surrogate is not UTF-8", true, "\xED\xA0\x80", "\xED\xA0\x80", false, "\xED\xA0\x80"},
        {"beyond U+10FFFF is not UTF-8", true, "\xF4\x90\x80\x80", "\xF4\x90\x80\x80", false, "\xF4\x90\x80\x80"},
        {"not UTF-8 kept byte for byte", true, "\xFE\xFF", "\xFE\xFF", true, "\xFE\xFF"},
        {"ASCII unchanged", false, "plain", "plain", false, "plain"},
    };
    for (const TextField& field : TextFields()) {
        for (const Row& row : rows) {
            CTamrix set = SmallSet();
            set.EnableUtf8Support(row.utf8WhenSet);
            field.set(set, row.given);
            set.EnableUtf8Support(row.utf8WhenGot);
            EXPECT_EQ(field.get(set), row.got) << field.name << ": " << row.scenario;
            set.EnableUtf8Support(true);
            EXPECT_EQ(field.get(set), row.stored) << field.name << ": " << row.scenario;
        }
    }
}

TEST(TamrixModel, TextLengthCountsCharacters)
{
    struct Row
    {
        const char* scenario;
        bool utf8;
        std::string piece; // repeated maxCharacters + extra times
        long extra;
        std::string tail;
        bool accepted;
    };
    const Row rows[] = {
        {"ASCII at the limit", true, "x", 0, "", true},
        {"ASCII one more", true, "x", 1, "", false},
        {"three-byte characters at the limit", true, "\xE2\x82\xAC", 0, "", true},
        {"three-byte characters one more", true, "\xE2\x82\xAC", 1, "", false},
        {"four-byte characters at the limit", true, "\xF0\x9F\x93\x90", 0, "", true},
        {"bytes that are not UTF-8 count one each", true, "\xFF", 0, "", true},
        {"one byte that is not UTF-8 too many", true, "\xFF", -1, "\xE2\x82", false},
        {"broken sequence at the limit", true, "a", -2, "\xE2\x82", true},
        {"ISO-8859-1 at the limit", false, "\xE9", 0, "", true},
        {"ISO-8859-1 one more", false, "\xE9", 1, "", false},
        {"empty", true, "", 0, "", true},
        {"NUL", true, "", 0, std::string("a\0b", 3), false},
        {"NUL alone", true, "", 0, std::string(1, '\0'), false},
    };
    for (const TextField& field : TextFields()) {
        for (const Row& row : rows) {
            CTamrix set = SmallSet();
            set.EnableUtf8Support(row.utf8);
            field.set(set, "before");
            const std::string text = Repeat(row.piece, field.maxCharacters + row.extra) + row.tail;
            const std::int32_t code = CodeOf([&] { field.set(set, text); });
            EXPECT_EQ(code, row.accepted ? 0 : TamrixErrorCode::WrongArgument) << field.name << ": " << row.scenario;
            EXPECT_EQ(field.get(set), row.accepted ? text : "before") << field.name << ": " << row.scenario;
        }
    }
}

TEST(TamrixModel, RefusalsLeaveTheSetUnchanged)
{
    struct Row
    {
        const char* scenario;
        std::function<void(CTamrix&)> action;
        std::int32_t code;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    static const SParaType<1> lookalike{"S11", 0, &SParaType<1>::S12};
    static const CMeasurement foreignMeasurement{"Abso", 1};
    const auto value = [](double v) { return SParaValue(v, v, v); };
    CalTable descending;
    descending.axis = {2.0, 1.0};
    descending.valuesPerPoint = 1;
    descending.values = {1.0f, 2.0f};
    CalTable wrongCount = descending;
    wrongCount.axis = {1.0, 2.0};
    wrongCount.values = {1.0f};
    CalTable nanValue = wrongCount;
    nanValue.values = {1.0f, std::numeric_limits<float>::quiet_NaN()};
    CalTable infiniteAxis = nanValue;
    infiniteAxis.values = {1.0f, 2.0f};
    infiniteAxis.axis = {1.0, infinity};
    CalTable valuesWithoutWidth;
    valuesWithoutWidth.axis = {1.0};
    valuesWithoutWidth.values = {1.0f};

    const Row rows[] = {
        // 105: indexes
        {"device -1", [](CTamrix& s) { s.SetSPDMnemonic(-1, "x"); }, TamrixErrorCode::InvalidTableAccess},
        {"device past the end", [](CTamrix& s) { s.SetSParaMinPower(3, 0.0); }, TamrixErrorCode::InvalidTableAccess},
        {"get from device past the end", [](CTamrix& s) { s.GetSParaFreqNumber(3); },
         TamrixErrorCode::InvalidTableAccess},
        {"get mnemonic of device -1", [](CTamrix& s) { s.GetSPDMnemonic(-1); }, TamrixErrorCode::InvalidTableAccess},
        {"flags of device past the end", [](CTamrix& s) { s.SetSParaDeviceFlags(3, 0); },
         TamrixErrorCode::InvalidTableAccess},
        {"point -1", [](CTamrix& s) { s.SetSParaFreq(0, -1, 1.0); }, TamrixErrorCode::InvalidTableAccess},
        {"point past the end", [](CTamrix& s) { s.SetSParaFreq(0, 4, 1.0); }, TamrixErrorCode::InvalidTableAccess},
        {"get point past the end", [](CTamrix& s) { s.GetSParaValue(1, 4, &SParaType<1>::S11); },
         TamrixErrorCode::InvalidTableAccess},
        {"value at point past the end", [value](CTamrix& s) { s.SetSParaValue(2, 4, &SParaType<1>::S11, value(0)); },
         TamrixErrorCode::InvalidTableAccess},
        {"frequency count of device -1", [](CTamrix& s) { s.SetSParaFreqNumber(-1, 2); },
         TamrixErrorCode::InvalidTableAccess},
        {"default device past the end", [](CTamrix& s) { s.SetSParaDefaultDevice(3); },
         TamrixErrorCode::InvalidTableAccess},
        {"default device -2", [](CTamrix& s) { s.SetSParaDefaultDevice(-2); }, TamrixErrorCode::InvalidTableAccess},
        {"insert before -1", [](CTamrix& s) { s.InsertSParaDeviceBefore(-1); }, TamrixErrorCode::InvalidTableAccess},
        {"insert past the end", [](CTamrix& s) { s.InsertSParaDeviceBefore(4); },
         TamrixErrorCode::InvalidTableAccess},
        {"swap with device past the end", [](CTamrix& s) { s.SwapSParaDevices(0, 3); },
         TamrixErrorCode::InvalidTableAccess},
        {"swap device -1 with itself", [](CTamrix& s) { s.SwapSParaDevices(-1, -1); },
         TamrixErrorCode::InvalidTableAccess},
        {"delete device past the end", [](CTamrix& s) { s.DeleteSParaDevice(3); },
         TamrixErrorCode::InvalidTableAccess},
        // 104: arguments
        {"null measurement", [](CTamrix& s) { s.SetCalDate(nullptr, "x"); }, TamrixErrorCode::WrongArgument},
        {"get with null measurement", [](CTamrix& s) { s.GetCalLab(nullptr); }, TamrixErrorCode::WrongArgument},
        {"measurement that is a copy", [](CTamrix& s) { s.SetCalEng(&foreignMeasurement, "x"); },
         TamrixErrorCode::WrongArgument},
        {"null s-parameter", [value](CTamrix& s) { s.SetSParaValue(0, 0, nullptr, value(0)); },
         TamrixErrorCode::WrongArgument},
        {"unknown s-parameter", [value](CTamrix& s) { s.SetSParaValue(0, 0, &SParaType<1>::Unknown, value(0)); },
         TamrixErrorCode::WrongArgument},
        {"get unknown s-parameter", [](CTamrix& s) { s.GetSParaValue(0, 0, &SParaType<1>::Unknown); },
         TamrixErrorCode::WrongArgument},
        {"s-parameter lookalike", [value](CTamrix& s) { s.SetSParaValue(0, 0, &lookalike, value(0)); },
         TamrixErrorCode::WrongArgument},
        {"NaN value", [nan](CTamrix& s) { s.SetSParaValue(0, 0, &SParaType<1>::S21, {1.0, nan, 0.0}); },
         TamrixErrorCode::WrongArgument},
        {"infinite uncertainty",
         [infinity](CTamrix& s) { s.SetSParaValue(0, 0, &SParaType<1>::S21, {1.0, 0.0, infinity}); },
         TamrixErrorCode::WrongArgument},
        {"negative infinite value", [infinity, value](CTamrix& s) { s.SetSParaValue(0, 0, &SParaType<1>::S22, value(-infinity)); },
         TamrixErrorCode::WrongArgument},
        {"negative frequency", [](CTamrix& s) { s.SetSParaFreq(0, 0, -1.0); }, TamrixErrorCode::WrongArgument},
        {"NaN frequency", [nan](CTamrix& s) { s.SetSParaFreq(0, 0, nan); }, TamrixErrorCode::WrongArgument},
        {"infinite frequency", [infinity](CTamrix& s) { s.SetSParaFreq(0, 0, infinity); },
         TamrixErrorCode::WrongArgument},
        {"negative power limit", [](CTamrix& s) { s.SetSParaMinPower(0, -1.0e-9); }, TamrixErrorCode::WrongArgument},
        {"NaN power limit", [nan](CTamrix& s) { s.SetSParaMaxPower(0, nan); }, TamrixErrorCode::WrongArgument},
        {"infinite power limit", [infinity](CTamrix& s) { s.SetSParaMaxPower(0, infinity); },
         TamrixErrorCode::WrongArgument},
        {"device count -1", [](CTamrix& s) { s.SetSParaDeviceNumber(-1); }, TamrixErrorCode::WrongArgument},
        {"device count 65", [](CTamrix& s) { s.SetSParaDeviceNumber(maxSParaDeviceNumber + 1); },
         TamrixErrorCode::WrongArgument},
        {"point count -1", [](CTamrix& s) { s.SetSParaFreqNumber(0, -1); }, TamrixErrorCode::WrongArgument},
        {"point count 100001", [](CTamrix& s) { s.SetSParaFreqNumber(0, maxSParaFreqNumber + 1); },
         TamrixErrorCode::WrongArgument},
        {"unknown global bit", [](CTamrix& s) { s.SetSParaCorrDef(0x10); }, TamrixErrorCode::WrongArgument},
        {"high global bit", [](CTamrix& s) { s.SetSParaCorrDef(0x100000000ul); }, TamrixErrorCode::WrongArgument},
        {"unknown device flag", [](CTamrix& s) { s.SetSParaDeviceFlags(0, 0x02); }, TamrixErrorCode::WrongArgument},
        {"negative channel", [](CTamrix& s) { s.SetChannelNumber(-1); }, TamrixErrorCode::WrongArgument},
        {"channel beyond 32 bits", [](CTamrix& s) { s.SetChannelNumber(0x80000000l); },
         TamrixErrorCode::WrongArgument},
        {"table of Misc", [](CTamrix& s) { s.SetCalTable(CMeasurement::Misc, CalTable()); },
         TamrixErrorCode::WrongArgument},
        {"table of SPara", [](CTamrix& s) { s.GetCalTable(CMeasurement::SPara); }, TamrixErrorCode::WrongArgument},
        {"table of null", [](CTamrix& s) { s.GetCalTable(nullptr); }, TamrixErrorCode::WrongArgument},
        {"table axis descending", [descending](CTamrix& s) { s.SetCalTable(CMeasurement::Temp, descending); },
         TamrixErrorCode::FrequenciesNotAscending},
        {"table value count", [wrongCount](CTamrix& s) { s.SetCalTable(CMeasurement::Abso, wrongCount); },
         TamrixErrorCode::WrongArgument},
        {"table value NaN", [nanValue](CTamrix& s) { s.SetCalTable(CMeasurement::Lin, nanValue); },
         TamrixErrorCode::WrongArgument},
        {"table axis infinite", [infiniteAxis](CTamrix& s) { s.SetCalTable(CMeasurement::Refl, infiniteAxis); },
         TamrixErrorCode::WrongArgument},
        {"table values without width",
         [valuesWithoutWidth](CTamrix& s) { s.SetCalTable(CMeasurement::Refl, valuesWithoutWidth); },
         TamrixErrorCode::WrongArgument},
        // 215: beyond single precision
        {"value beyond float", [](CTamrix& s) { s.SetSParaValue(0, 0, &SParaType<1>::S11, {1.0e39, 0.0, 0.0}); },
         TamrixErrorCode::SinglePrecisionOverflow},
        {"negative value beyond float",
         [](CTamrix& s) { s.SetSParaValue(0, 0, &SParaType<1>::S11, {0.0, 0.0, -1.0e300}); },
         TamrixErrorCode::SinglePrecisionOverflow},
        {"power limit beyond float", [](CTamrix& s) { s.SetSParaMaxPower(0, 1.0e39); },
         TamrixErrorCode::SinglePrecisionOverflow},
        // Whole contents
        {"replace with a broken content",
         [](CTamrix& s) {
             TamrixContent content = s.Content();
             content.devices[1].points[0].values[0] = std::numeric_limits<float>::infinity();
             s.ReplaceContent(content);
         },
         TamrixErrorCode::WrongArgument},
    };
    for (const Row& row : rows) {
        CTamrix set = RichSet('3');
        const std::string before = Fingerprint(set.Content());
        EXPECT_EQ(CodeOf([&] { row.action(set); }), row.code) << row.scenario;
        EXPECT_EQ(Fingerprint(set.Content()), before) << row.scenario;
    }
}

TEST(TamrixModel, NoDeviceBeyondTheMost)
{
    CTamrix set = NamedDevices(maxSParaDeviceNumber, 5);
    const std::string before = Fingerprint(set.Content());
    EXPECT_EQ(CodeOf([&] { set.InsertSParaDeviceBefore(0); }), TamrixErrorCode::WrongArgument);
    EXPECT_EQ(CodeOf([&] { set.InsertSParaDeviceBefore(maxSParaDeviceNumber); }), TamrixErrorCode::WrongArgument);
    EXPECT_EQ(Fingerprint(set.Content()), before);
}

TEST(TamrixModel, DefaultDeviceFollowsItsDevice)
{
    struct Row
    {
        const char* scenario;
        long count;
        long defaultBefore;
        std::function<void(CTamrix&)> action;
        std::string mnemonicsAfter; // device i was named 'A' + i
        long defaultAfter;
    };
    const Row rows[] = {
        {"swap the default away", 4, 1, [](CTamrix& s) { s.SwapSParaDevices(1, 3); }, "ADCB", 3},
        {"swap the default back", 4, 3, [](CTamrix& s) { s.SwapSParaDevices(1, 3); }, "ADCB", 1},
        {"swap two others", 4, 0, [](CTamrix& s) { s.SwapSParaDevices(2, 3); }, "ABDC", 0},
        {"swap with itself", 4, 2, [](CTamrix& s) { s.SwapSParaDevices(2, 2); }, "ABCD", 2},
        {"swap without default", 4, -1, [](CTamrix& s) { s.SwapSParaDevices(0, 1); }, "BACD", -1},
        {"insert before the default", 3, 1, [](CTamrix& s) { s.InsertSParaDeviceBefore(0); }, "ABC", 2},
        {"insert at the default", 3, 1, [](CTamrix& s) { s.InsertSParaDeviceBefore(1); }, "ABC", 2},
        {"insert after the default", 3, 1, [](CTamrix& s) { s.InsertSParaDeviceBefore(2); }, "ABC", 1},
        {"append", 3, 2, [](CTamrix& s) { s.InsertSParaDeviceBefore(3); }, "ABC", 2},
        {"insert without default", 3, -1, [](CTamrix& s) { s.InsertSParaDeviceBefore(0); }, "ABC", -1},
        {"insert into an empty list", 0, -1, [](CTamrix& s) { s.InsertSParaDeviceBefore(0); }, "", -1},
        {"delete the default", 3, 1, [](CTamrix& s) { s.DeleteSParaDevice(1); }, "AC", -1},
        {"delete before the default", 3, 2, [](CTamrix& s) { s.DeleteSParaDevice(0); }, "BC", 1},
        {"delete after the default", 3, 0, [](CTamrix& s) { s.DeleteSParaDevice(2); }, "AB", 0},
        {"delete the last device", 1, 0, [](CTamrix& s) { s.DeleteSParaDevice(0); }, "", -1},
        {"shrink past the default", 4, 2, [](CTamrix& s) { s.SetSParaDeviceNumber(2); }, "AB", -1},
        {"shrink to just keep the default", 4, 2, [](CTamrix& s) { s.SetSParaDeviceNumber(3); }, "ABC", 2},
        {"shrink to none", 2, 0, [](CTamrix& s) { s.SetSParaDeviceNumber(0); }, "", -1},
        {"grow", 2, 1, [](CTamrix& s) { s.SetSParaDeviceNumber(4); }, "AB", 1},
        {"set no default", 2, 1, [](CTamrix& s) { s.SetSParaDefaultDevice(-1); }, "AB", -1},
    };
    for (const Row& row : rows) {
        CTamrix set = NamedDevices(row.count, row.defaultBefore);
        row.action(set);
        EXPECT_EQ(Mnemonics(set), row.mnemonicsAfter) << row.scenario;
        EXPECT_EQ(set.GetSParaDefaultDevice(), row.defaultAfter) << row.scenario;
        EXPECT_NO_THROW(CTamrix::Validate(set.Content())) << row.scenario;
    }
}

TEST(TamrixModel, ValidateRefusesBrokenContents)
{
    struct Row
    {
        const char* scenario;
        std::function<void(TamrixContent&)> change;
        std::int32_t code;
    };
    const Row rows[] = {
        {"sensor name too long", [](TamrixContent& c) { c.sensorName = std::string(33, 'x'); },
         TamrixErrorCode::WrongArgument},
        {"laboratory holding NUL", [](TamrixContent& c) { c.calInfo[5].laboratory = std::string(2, '\0'); },
         TamrixErrorCode::WrongArgument},
        {"point count above the most", [](TamrixContent& c) { c.devices[0].points.resize(100001); },
         TamrixErrorCode::WrongArgument},
        {"denormal power limit is fine, negative not", [](TamrixContent& c) { c.devices[0].minPower = -1.0e-40f; },
         TamrixErrorCode::WrongArgument},
        {"default device without devices",
         [](TamrixContent& c) {
             c.devices.clear();
             c.sParaDefaultDevice = 0;
         },
         TamrixErrorCode::InvalidTableAccess},
        {"table values without axis",
         [](TamrixContent& c) {
             c.refl.valuesPerPoint = 2;
             c.refl.values = {1.0f, 2.0f};
         },
         TamrixErrorCode::WrongArgument},
        {"the first rule broken wins",
         [](TamrixContent& c) {
             c.sParaDefaultDevice = 7;
             c.attribute = std::string(1, '\0');
         },
         TamrixErrorCode::WrongArgument},
        // What only storing refuses is fine while editing.
        {"frequencies out of order", [](TamrixContent& c) { c.devices[0].points[0].frequency = 1.0e15; }, 0},
        {"device without points", [](TamrixContent& c) { c.devices[0].points.clear(); }, 0},
        {"no device",
         [](TamrixContent& c) {
             c.devices.clear();
             c.sParaDefaultDevice = -1;
         },
         0},
        {"equal axis values", [](TamrixContent& c) { c.temp.axis = {1.0, 1.0, 1.0}; }, 0},
        {"any MiscNum", [](TamrixContent& c) { c.miscNum.maxPower = -std::numeric_limits<float>::infinity(); }, 0},
    };
    for (const Row& row : rows) {
        TamrixContent content = RichContent('3');
        row.change(content);
        EXPECT_EQ(CodeOf([&] { CTamrix::Validate(content); }), row.code) << row.scenario;
    }
}

TEST(TamrixModel, CalInfoBelongsToItsMeasurement)
{
    CTamrix set;
    for (const CMeasurement* measurement : CMeasurement::All())
        set.SetCalDate(measurement, std::string("day ") + measurement->Name());
    EXPECT_EQ(set.GetCalDate(CMeasurement::Refl), "day Refl");
    for (const CMeasurement* measurement : CMeasurement::All())
        EXPECT_EQ(set.Content().calInfo[static_cast<std::size_t>(measurement->Index())].date,
                  std::string("day ") + measurement->Name());
}

TEST(TamrixModel, CalTablesBelongToTheirMeasurement)
{
    CTamrix set;
    const CMeasurement* const withTables[] = {CMeasurement::Abso, CMeasurement::Refl, CMeasurement::Temp,
                                              CMeasurement::Lin};
    for (std::size_t i = 0; i < 4; ++i) {
        CalTable table;
        table.axis = {static_cast<double>(i), 10.0};
        table.valuesPerPoint = static_cast<std::uint32_t>(i + 1);
        table.values.assign(2 * (i + 1), static_cast<float>(i));
        set.SetCalTable(withTables[i], table);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const CalTable& table = set.GetCalTable(withTables[i]);
        EXPECT_EQ(table.axis.front(), static_cast<double>(i));
        EXPECT_EQ(table.valuesPerPoint, i + 1);
    }
}

TEST(TamrixModel, MovingLeavesAnEmptySetBehind)
{
    CTamrix source = RichSet('3');
    source.EnableUtf8Support(true);
    const std::string expected = Fingerprint(source.Content());
    CTamrix moved(std::move(source));
    EXPECT_EQ(Fingerprint(moved.Content()), expected);
    EXPECT_TRUE(moved.IsUtf8SupportEnabled());
    EXPECT_EQ(Fingerprint(source.Content()), Fingerprint(TamrixContent()));
    EXPECT_NO_THROW(CTamrix::Validate(source.Content()));
}
