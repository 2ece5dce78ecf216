#include "Tamrix.h"
#include "TamrixTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace tamrix_core_test;

namespace
{

const char versions[] = {'2', '3', '4'};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Loading `data` must be refused with a code of the library, and `witness`
// must not change (neither its content nor its UTF-8 flag).
void ExpectRefusedAndUnchanged(const std::string& data, CTamrix& witness, const std::string& scenario)
{
    const std::string before = Fingerprint(witness.Content());
    const bool utf8 = witness.IsUtf8SupportEnabled();
    const std::int32_t code = CodeOf([&] { CTamrixUtil::LoadTMXFromBuffer2(witness, data); });
    ASSERT_TRUE(IsLibraryCode(code)) << scenario << ": code " << code;
    ASSERT_EQ(Fingerprint(witness.Content()), before) << scenario;
    ASSERT_EQ(witness.IsUtf8SupportEnabled(), utf8) << scenario;
}

// Changes each byte in turn and expects every change to be refused.
void ExpectEveryByteChangeRefused(const std::string& stored, const std::string& name)
{
    CTamrix witness = SmallSet();
    witness.EnableUtf8Support(true);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        for (const unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string changed = stored;
            changed[i] = static_cast<char>(static_cast<unsigned char>(changed[i]) ^ mask);
            ExpectRefusedAndUnchanged(changed, witness, name + " byte " + std::to_string(i) + " ^ "
                                                             + std::to_string(mask));
        }
    }
}

} // namespace

TEST(TamrixBinary, RoundTripKeepsEveryValueBitForBit)
{
    for (const char version : versions) {
        SCOPED_TRACE(std::string("version ") + version);
        const CTamrix original = RichSet(version);
        const std::string stored = Stored(original, version);

        CTamrix loaded;
        const FormatPair format = CTamrixUtil::LoadTMXFromBuffer2(loaded, stored);
        EXPECT_EQ(format, FormatPair(version, '0'));
        EXPECT_EQ(Fingerprint(loaded.Content()), Fingerprint(original.Content()));
        EXPECT_EQ(Stored(loaded, version), stored) << "store -> load -> store changed the bytes";
    }
}

TEST(TamrixBinary, WritesExactlyWhatFormatMdDescribes)
{
    for (const char version : versions) {
        SCOPED_TRACE(std::string("version ") + version);
        const TamrixContent content = RichContent(version);
        EXPECT_EQ(Stored(RichSet(version), version), WriteAsDocumented(content, version));
    }
}

TEST(TamrixBinary, Version2DropsDeviceFlagsAndNewGlobalBits)
{
    CTamrix set = RichSet('3');
    set.SetSParaDeviceNumber(1);
    set.SetSParaDeviceFlags(0, sParaDevice_writeProtected);
    set.SetSParaCorrDef(0x0F);

    CTamrix loaded;
    CTamrixUtil::LoadTMXFromBuffer2(loaded, Stored(set, '2'));
    EXPECT_EQ(loaded.GetSParaDeviceFlags(0), 0u);
    EXPECT_EQ(loaded.GetSParaCorrDef(), sParaCorr_activeAfterReset | sParaCorr_stateLocked);
    EXPECT_EQ(loaded.GetSPDMnemonic(0), set.GetSPDMnemonic(0));
}

TEST(TamrixBinary, Version4NeverHoldsAnInternalSerialNumber)
{
    CTamrix set = RichSet('3');
    std::string out = "untouched";
    EXPECT_EQ(CodeOf([&] { CTamrixUtil::StoreTMXToBuffer2(set, out, '4', '0'); }),
              TamrixErrorCode::IncompatibleVersion);
    EXPECT_EQ(out, "untouched");

    set.SetSerialNumberInternal("");
    CTamrix loaded;
    loaded.SetSerialNumberInternal("left over");
    loaded.SetSParaDeviceNumber(1);
    CTamrixUtil::LoadTMXFromBuffer2(loaded, Stored(set, '4'));
    EXPECT_EQ(loaded.GetSerialNumberInternal(), "");
    EXPECT_EQ(Fingerprint(loaded.Content()), Fingerprint(set.Content()));
}

TEST(TamrixBinary, LoadKeepsTheUtf8FlagOfTheSet)
{
    for (const bool utf8 : {false, true}) {
        CTamrix loaded;
        loaded.EnableUtf8Support(utf8);
        CTamrixUtil::LoadTMXFromBuffer2(loaded, Stored(RichSet('3')));
        EXPECT_EQ(loaded.IsUtf8SupportEnabled(), utf8);
    }
}

TEST(TamrixBinary, StoreRefuses)
{
    struct Row
    {
        const char* scenario;
        std::function<void(CTamrix&)> change;
        char version;
        char revision;
        std::int32_t code;
    };
    const Row rows[] = {
        {"version 1", [](CTamrix&) {}, '1', '0', TamrixErrorCode::UnsupportedVersion},
        {"version 5", [](CTamrix&) {}, '5', '0', TamrixErrorCode::UnsupportedVersion},
        {"version NUL", [](CTamrix&) {}, '\0', '0', TamrixErrorCode::UnsupportedVersion},
        {"revision 1", [](CTamrix&) {}, '3', '1', TamrixErrorCode::UnsupportedRevision},
        {"version before revision", [](CTamrix&) {}, '9', '9', TamrixErrorCode::UnsupportedVersion},
        {"format before content", [](CTamrix& set) { set.SetSParaDeviceNumber(0); }, '3', '1',
         TamrixErrorCode::UnsupportedRevision},
        {"no device", [](CTamrix& set) { set.SetSParaDeviceNumber(0); }, '3', '0', TamrixErrorCode::NoSParaDevice},
        {"device without points", [](CTamrix& set) { set.SetSParaFreqNumber(1, 0); }, '3', '0',
         TamrixErrorCode::NoSParaDevice},
        {"two devices in version 2", [](CTamrix& set) { set.SetSParaDeviceNumber(2); }, '2', '0',
         TamrixErrorCode::IncompatibleVersion},
        {"internal serial number in version 4", [](CTamrix& set) { set.SetSParaDeviceNumber(1); }, '4', '0',
         TamrixErrorCode::IncompatibleVersion},
        {"frequencies descending", [](CTamrix& set) { set.SetSParaFreq(2, 3, 1.0); }, '3', '0',
         TamrixErrorCode::FrequenciesNotAscending},
        {"new point at 0 Hz after the others", [](CTamrix& set) { set.SetSParaFreqNumber(0, 5); }, '3', '0',
         TamrixErrorCode::FrequenciesNotAscending},
    };
    for (const Row& row : rows) {
        CTamrix set = RichSet('3');
        row.change(set);
        std::string out = "untouched";
        EXPECT_EQ(CodeOf([&] { CTamrixUtil::StoreTMXToBuffer2(set, out, row.version, row.revision); }), row.code)
            << row.scenario;
        EXPECT_EQ(out, "untouched") << row.scenario;
    }
}

TEST(TamrixBinary, StoreRefusesMoreThanTheLargestDataSet)
{
    // 24 devices of 100000 points need 134 MB, more than maxDataSetSize.
    TamrixContent content;
    content.devices.resize(24);
    for (SParaDevice& device : content.devices)
        device.points.resize(static_cast<std::size_t>(maxSParaFreqNumber));
    CTamrix set;
    set.ReplaceContent(std::move(content));
    std::string out;
    EXPECT_EQ(CodeOf([&] { CTamrixUtil::StoreTMXToBuffer2(set, out, '3', '0'); }), TamrixErrorCode::TooLarge);
    EXPECT_TRUE(out.empty());
}

TEST(TamrixBinary, LoadRefusesBrokenHeaders)
{
    const std::string good = Stored(RichSet('3'));
    struct Row
    {
        const char* scenario;
        std::string data;
        std::int32_t code;
    };
    auto changed = [&](std::size_t offset, char value) {
        std::string data = good;
        data[offset] = value;
        return data;
    };
    const Row rows[] = {
        {"empty", "", TamrixErrorCode::NotParsable},
        {"shorter than the header", good.substr(0, 17), TamrixErrorCode::NotParsable},
        {"header only", Reseal(good.substr(0, 18)), TamrixErrorCode::NotParsable},
        {"signature", changed(1, 't'), TamrixErrorCode::WrongSignature},
        {"text file", std::string(100, 'x'), TamrixErrorCode::WrongSignature},
        {"version 1", changed(8, '1'), TamrixErrorCode::UnsupportedVersion},
        {"version 5", changed(8, '5'), TamrixErrorCode::UnsupportedVersion},
        {"revision 1", changed(9, '1'), TamrixErrorCode::UnsupportedRevision},
        {"version before revision", changed(9, '1').replace(8, 1, "7"), TamrixErrorCode::UnsupportedVersion},
        {"length field one more", changed(10, static_cast<char>(good[10] + 1)),
         TamrixErrorCode::InconsistentLength},
        {"one byte appended", good + '\0', TamrixErrorCode::InconsistentLength},
        {"last byte missing", good.substr(0, good.size() - 1), TamrixErrorCode::InconsistentLength},
        {"checksum", changed(14, static_cast<char>(good[14] ^ 0x01)), TamrixErrorCode::ChecksumFailed},
        {"content byte", changed(40, static_cast<char>(good[40] ^ 0x10)), TamrixErrorCode::ChecksumFailed},
        {"version 3 read as 2", changed(8, '2'), TamrixErrorCode::ChecksumFailed},
    };
    for (const Row& row : rows) {
        CTamrix set = SmallSet();
        const std::string before = Fingerprint(set.Content());
        EXPECT_EQ(CodeOf([&] { CTamrixUtil::LoadTMXFromBuffer2(set, row.data); }), row.code) << row.scenario;
        EXPECT_EQ(Fingerprint(set.Content()), before) << row.scenario;
    }
}

TEST(TamrixBinary, LoadRefusesContentThatDoesNotParse)
{
    const std::string good = Stored(RichSet('3'));
    const std::string small = Stored(SmallSet());
    struct Row
    {
        const char* scenario;
        std::string data;
    };
    auto withU32At = [](std::string data, std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            data[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        return Reseal(data);
    };
    // SmallSet: the sensor name "Sensor A" is the first text, right after the header.
    const std::size_t firstText = 18;
    const std::size_t lastAxisCount = small.size() - 8;
    // RichContent: the last table holds one axis value and three values per point.
    const std::size_t lastValuesPerPoint = good.size() - 16;
    const Row rows[] = {
        {"bytes after the last table", Reseal(good + "x")},
        {"the last table cut off", Reseal(good.substr(0, good.size() - 4))},
        {"text longer than the rest", withU32At(small, firstText, 0xFFFFFFF0u)},
        {"text one byte longer", withU32At(small, firstText, 9)},
        {"axis count past the end", withU32At(small, lastAxisCount, 0x7FFFFFFFu)},
        {"values past the end", withU32At(good, lastValuesPerPoint, 0x40000000u)},
    };
    for (const Row& row : rows) {
        CTamrix set = SmallSet();
        EXPECT_EQ(CodeOf([&] { CTamrixUtil::LoadTMXFromBuffer2(set, row.data); }), TamrixErrorCode::NotParsable)
            << row.scenario;
    }
}

TEST(TamrixBinary, LoadRefusesContentThatBreaksTheRules)
{
    struct Row
    {
        const char* scenario;
        char version;
        std::function<void(TamrixContent&)> change;
        std::int32_t code;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const Row rows[] = {
        {"text of 33 characters", '3',
         [](TamrixContent& c) { c.serialNumber = std::string(maxInfoStringLength + 1, '1'); },
         TamrixErrorCode::WrongArgument},
        {"text holding NUL", '3', [](TamrixContent& c) { c.calInfo[2].engineer = std::string("a\0b", 3); },
         TamrixErrorCode::WrongArgument},
        {"mnemonic of 256 characters", '3',
         [](TamrixContent& c) { c.devices[0].mnemonic = std::string(maxMnemonicLength + 1, 'm'); },
         TamrixErrorCode::WrongArgument},
        {"negative channel", '3', [](TamrixContent& c) { c.channelNumber = -1; }, TamrixErrorCode::WrongArgument},
        {"unknown global bit", '3', [](TamrixContent& c) { c.sParaCorrDef = 0x10; },
         TamrixErrorCode::WrongArgument},
        {"unknown device flag", '3', [](TamrixContent& c) { c.devices[0].flags = 0x02; },
         TamrixErrorCode::WrongArgument},
        {"default device past the end", '3', [](TamrixContent& c) { c.sParaDefaultDevice = 3; },
         TamrixErrorCode::InvalidTableAccess},
        {"default device -2", '3', [](TamrixContent& c) { c.sParaDefaultDevice = -2; },
         TamrixErrorCode::InvalidTableAccess},
        {"65 devices", '3', [](TamrixContent& c) { c.devices.resize(65, c.devices[0]); },
         TamrixErrorCode::WrongArgument},
        {"NaN S-parameter", '3', [nan](TamrixContent& c) { c.devices[1].points[2].values[7] = nan; },
         TamrixErrorCode::WrongArgument},
        {"infinite uncertainty", '3', [infinity](TamrixContent& c) { c.devices[2].points[0].values[11] = infinity; },
         TamrixErrorCode::WrongArgument},
        {"negative frequency", '3', [](TamrixContent& c) { c.devices[0].points[0].frequency = -1.0; },
         TamrixErrorCode::WrongArgument},
        {"NaN frequency", '3', [](TamrixContent& c) { c.devices[0].points[3].frequency = std::nan(""); },
         TamrixErrorCode::WrongArgument},
        {"negative power limit", '3', [](TamrixContent& c) { c.devices[0].maxPower = -1.0f; },
         TamrixErrorCode::WrongArgument},
        {"infinite power limit", '3', [infinity](TamrixContent& c) { c.devices[0].minPower = infinity; },
         TamrixErrorCode::WrongArgument},
        {"calibration axis out of order", '3', [](TamrixContent& c) { c.temp.axis = {30.0, 20.0, 40.0}; },
         TamrixErrorCode::FrequenciesNotAscending},
        {"calibration value not finite", '3', [nan](TamrixContent& c) { c.abso.values[3] = nan; },
         TamrixErrorCode::WrongArgument},
        {"new global bits in version 2", '2', [](TamrixContent& c) { c.sParaCorrDef = sParaCorr_deviceLocked; },
         TamrixErrorCode::Invalid},
        {"no device", '3',
         [](TamrixContent& c) {
             c.devices.clear();
             c.sParaDefaultDevice = -1;
         },
         TamrixErrorCode::NoSParaDevice},
        {"device without points", '3', [](TamrixContent& c) { c.devices[2].points.clear(); },
         TamrixErrorCode::NoSParaDevice},
        {"two devices in version 2", '2', [](TamrixContent& c) { c.devices.push_back(c.devices[0]); },
         TamrixErrorCode::IncompatibleVersion},
        {"frequencies descending", '4', [](TamrixContent& c) { c.devices[1].points[1].frequency = 1.0e12; },
         TamrixErrorCode::FrequenciesNotAscending},
        {"rules before what storing refuses", '3',
         [nan](TamrixContent& c) {
             c.devices[1].points[1].frequency = 1.0e12;
             c.devices[1].points[3].values[0] = nan;
         },
         TamrixErrorCode::WrongArgument},
    };
    for (const Row& row : rows) {
        TamrixContent content = RichContent(row.version);
        row.change(content);
        CTamrix set = SmallSet();
        const std::string before = Fingerprint(set.Content());
        EXPECT_EQ(CodeOf([&] { CTamrixUtil::LoadTMXFromBuffer2(set, WriteAsDocumented(content, row.version)); }),
                  row.code)
            << row.scenario;
        EXPECT_EQ(Fingerprint(set.Content()), before) << row.scenario;
    }
}

TEST(TamrixBinary, EverySingleByteChangeIsRefused)
{
    for (const char version : versions)
        ExpectEveryByteChangeRefused(Stored(RichSet(version), version), std::string("version ") + version);
}

TEST(TamrixBinary, EverySingleByteChangeOfTheSamplesIsRefused)
{
    const std::filesystem::path folder = OSTREL_SOURCE_DIR "/samples";
    int samples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".cal")
            continue;
        ++samples;
        const std::string stored = ReadFile(entry.path());
        CTamrix sample;
        ASSERT_EQ(CodeOf([&] { CTamrixUtil::LoadTMXFromBuffer2(sample, stored); }), 0) << entry.path();
        ExpectEveryByteChangeRefused(stored, entry.path().filename().string());
    }
    if (samples == 0)
        GTEST_SKIP() << "no sample data sets in " << folder;
}

TEST(TamrixBinary, EveryTruncationIsRefused)
{
    const std::string stored = Stored(RichSet('3'));
    CTamrix witness = SmallSet();
    for (std::size_t size = 0; size < stored.size(); ++size)
        ExpectRefusedAndUnchanged(stored.substr(0, size), witness, "first " + std::to_string(size) + " bytes");
}

TEST(TamrixBinary, DataSetsBesideTheTestsStillLoad)
{
    // Written by an earlier build; they pin the format against accidental change.
    struct Row
    {
        const char* file;
        char version;
    };
    for (const Row& row : {Row{"rich_v2.cal", '2'}, Row{"rich_v3.cal", '3'}, Row{"rich_v4.cal", '4'}}) {
        const std::string stored = ReadFile(std::filesystem::path(OSTREL_TEST_DATA_DIR) / row.file);
        CTamrix loaded;
        EXPECT_EQ(CTamrixUtil::LoadTMXFromBuffer2(loaded, stored), FormatPair(row.version, '0')) << row.file;
        EXPECT_EQ(Fingerprint(loaded.Content()), Fingerprint(RichContent(row.version))) << row.file;
        EXPECT_EQ(Stored(loaded, row.version), stored) << row.file;
    }
}
