#pragma once

// Shared helpers of the data set library's tests.

#include "Tamrix.h"
#include "TamrixBinary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// A table's row, named after its case: the test's name and what a failure shows.
struct Row { const char* name; };
inline std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }
inline constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };
// Rows that edit a data set or a content, written short.
#define EDIT(...) [](CTamrix & s) { __VA_ARGS__; }
#define CHANGE(...) [](TamrixContent & c) { __VA_ARGS__; }
using Edit = std::function<void(CTamrix&)>;

// The error `action` throws: code 0 and no context when it throws none.
struct Failure { std::int32_t code = 0; std::string context; };
inline Failure FailureOf(const std::function<void()>& action)
{
    try { action(); } catch (const TvxKyyCalcDLLError& error) { return {error.code, error.context ? error.context : "(none)"}; }
    return {};
}
inline std::int32_t CodeOf(const std::function<void()>& action) { return FailureOf(action).code; }

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::string DataFile(const std::string& name) { return OSTREL_TEST_DATA_DIR "/" + name; }

// The checked-in data sets, each named after its version: the samples of the editor and, beside the tests, one data set per version with the
// awkward values a round trip must keep (NaN payloads, -0, denormals, texts of the longest length, bytes that are not UTF-8).
struct SampleRow : Row { std::string path; char version; };
inline SampleRow Sample(const std::string& folder, const char* name) { return {{name}, folder + "/" + name + ".cal", name[std::strlen(name) - 1]}; }
inline const std::string samples = OSTREL_SOURCE_DIR "/samples", beside = OSTREL_TEST_DATA_DIR;
inline const SampleRow sampleRows[] = {
    Sample(samples, "factory_v3"), Sample(samples, "factory_v4"), Sample(samples, "missing_identity_v3"), Sample(samples, "single_device_v2"),
    Sample(samples, "user_v3"), Sample(beside, "rich_v2"), Sample(beside, "rich_v3"), Sample(beside, "rich_v4"),
};

inline CTamrix Loaded(const std::string& path) { CTamrix set; CTamrixUtil::LoadTMXFromBuffer2(set, ReadFile(path)); return set; }
// rich_v3: three devices of four points, default device 1, every table filled but Refl.
inline CTamrix Rich() { return Loaded(DataFile("rich_v3.cal")); }
// An XML document in the documented layout: one device "Pad 6 dB" of two points (read as kept in visualize/xml_documented.txt).
inline const std::string documented = ReadFile(DataFile("xml/documented.xml"));

inline CTamrix WithDevices(std::vector<SParaDevice> devices)
{
    TamrixContent content;
    content.devices = std::move(devices);
    CTamrix set;
    set.ReplaceContent(std::move(content));
    return set;
}
// A new device named `mnemonic` with `points` points at 0 Hz, all values 0 but the first point's.
inline SParaDevice Device(std::string mnemonic, std::size_t points = 1)
{
    SParaDevice device = CTamrix::NewSParaDevice();
    device.mnemonic = std::move(mnemonic), device.points.resize(points);
    return device;
}

inline std::string Stored(const CTamrix& set, char version = '3')
{
    std::string data;
    CTamrixUtil::StoreTMXToBuffer2(set, data, version, '0');
    return data;
}
inline std::string Export(const CTamrix& set) { std::ostringstream out; set.ExportSPara(out); return out.str(); }
inline void Import(CTamrix& set, const std::string& document) { std::istringstream in(document); set.ImportSPara(in); }

// `value` written over the four bytes at `at`, least significant first.
inline void Put32(std::string& data, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        data[at + i] = static_cast<char>(value >> (8 * i));
}
// Sets the length field and the checksum of stored bytes to fit the bytes.
inline std::string Reseal(std::string data)
{
    Put32(data, 10, static_cast<std::uint32_t>(data.size()));
    Put32(data, 14, tamrix_binary::Checksum(data));
    return data;
}

// The bytes of `content` laid out as the stored format describes it, without any check, so that tests can write content the library refuses; in
// version '3' every value of a content, bit for bit, so also its fingerprint.
inline std::string Bytes(const TamrixContent& c, char version = '3')
{
    std::string out("\x89TMX\r\n\x1a\n", 8);
    out += {version, '0'};
    out.append(8, '\0');
    const auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i)); };
    const auto f32 = [&](float v) { std::uint32_t b; std::memcpy(&b, &v, 4); u32(b); };
    const auto f64 = [&](double v) { std::uint64_t b; std::memcpy(&b, &v, 8); u32(std::uint32_t(b)); u32(std::uint32_t(b >> 32)); };
    const auto text = [&](const std::string& t) { u32(static_cast<std::uint32_t>(t.size())); out += t; };
    text(c.sensorName), text(c.stockNumber), text(c.attribute), text(c.serialNumber);
    if (version != '4')
        text(c.serialNumberInternal);
    u32(static_cast<std::uint32_t>(c.channelNumber));
    const MiscNum& m = c.miscNum;
    for (const float v : {m.referenceFrequency, m.referencePower, m.startFrequency, m.minPower, m.maxPower, m.stopFrequency, m.minTemperature, m.maxTemperature})
        f32(v);
    for (const CalInfo& info : c.calInfo)
        text(info.date), text(info.laboratory), text(info.engineer);
    u32(c.sParaCorrDef), u32(static_cast<std::uint32_t>(c.sParaDefaultDevice)), u32(static_cast<std::uint32_t>(c.devices.size()));
    for (const SParaDevice& device : c.devices) {
        text(device.mnemonic), f32(device.minPower), f32(device.maxPower);
        if (version != '2')
            u32(device.flags);
        u32(static_cast<std::uint32_t>(device.points.size()));
        for (const SParaPoint& point : device.points) {
            f64(point.frequency);
            for (const float v : point.values) f32(v);
        }
    }
    for (const CalTable* table : {&c.abso, &c.refl, &c.temp, &c.lin}) {
        u32(static_cast<std::uint32_t>(table->axis.size()));
        for (const double v : table->axis) f64(v);
        u32(table->valuesPerPoint);
        for (const float v : table->values) f32(v);
    }
    return Reseal(out);
}
// The code `action` throws (0 for none); a refusal leaves `set` exactly as it was.
inline std::int32_t CodeKeeping(const CTamrix& set, const std::function<void()>& action)
{
    const std::string before = Bytes(set.Content());
    const std::int32_t code = CodeOf(action);
    EXPECT_TRUE(code == 0 || Bytes(set.Content()) == before) << "changed on refusal, code " << code;
    return code;
}
