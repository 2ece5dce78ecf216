#include "TamrixTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <limits>
#include <sstream>

namespace
{

float FloatFromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string Repeat(const std::string& piece, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += piece;
    return result;
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string result;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        result += digits[byte >> 4];
        result += digits[byte & 0x0F];
    }
    return result;
}

std::string Bits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    std::ostringstream out;
    out << std::hex << bits;
    return out.str();
}

std::string Bits(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    std::ostringstream out;
    out << std::hex << bits;
    return out.str();
}

void AppendU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFFu);
}

void AppendF32(std::string& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    AppendU32(out, bits);
}

void AppendF64(std::string& out, double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    AppendU32(out, static_cast<std::uint32_t>(bits));
    AppendU32(out, static_cast<std::uint32_t>(bits >> 32));
}

void AppendText(std::string& out, const std::string& text)
{
    AppendU32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

void PutU32At(std::string& data, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[offset + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

SParaPoint Point(double frequency, float first)
{
    SParaPoint point;
    point.frequency = frequency;
    for (std::size_t i = 0; i < point.values.size(); ++i)
        point.values[i] = first + 0.25f * static_cast<float>(i);
    return point;
}

} // namespace

namespace tamrix_core_test
{

TamrixContent RichContent(char version)
{
    TamrixContent content;
    content.sensorName = Repeat("\xE2\x82\xAC", static_cast<int>(maxInfoStringLength)); // 32 x EURO SIGN
    content.stockNumber = "ST-0042-17";
    content.attribute = "\xFF\xFE attr \xC0\xAF"; // not UTF-8
    content.serialNumber = "100200";
    if (version != '4')
        content.serialNumberInternal = "int-\xE9"; // an ISO-8859-1 byte
    content.channelNumber = 3;

    MiscNum& misc = content.miscNum;
    misc.referenceFrequency = FloatFromBits(0x7FC12345u); // quiet NaN with a payload
    misc.referencePower = FloatFromBits(0x7F812345u);     // signalling NaN
    misc.startFrequency = FloatFromBits(0x00000123u);     // denormal
    misc.minPower = -0.0f;
    misc.maxPower = 0.2f;
    misc.stopFrequency = 18.0e9f;
    misc.minTemperature = -std::numeric_limits<float>::infinity();
    misc.maxTemperature = FloatFromBits(0xFFC00001u); // negative NaN

    for (const CMeasurement* measurement : CMeasurement::All()) {
        CalInfo& info = content.calInfo[static_cast<std::size_t>(measurement->Index())];
        info.date = "2024-05-0" + std::to_string(measurement->Index() + 1);
        info.laboratory = std::string("Lab S\xC3\xBC" "d ") + measurement->Name();
        info.engineer = measurement->Index() == 5 ? Repeat("\xC3\xA9", static_cast<int>(maxInfoStringLength))
                                                  : std::string("E. Ngineer \xF0\x9F\x93\x90");
    }

    content.sParaCorrDef = version == '2' ? (sParaCorr_activeAfterReset | sParaCorr_stateLocked) : 0x0Fu;
    const int deviceCount = version == '2' ? 1 : 3;
    content.sParaDefaultDevice = version == '2' ? 0 : 1;
    for (int d = 0; d < deviceCount; ++d) {
        SParaDevice device;
        device.mnemonic = d == 0 ? Repeat("\xC3\xBC", static_cast<int>(maxMnemonicLength))
                                 : "adapter " + std::to_string(d) + " \xA7";
        device.minPower = d == 1 ? FloatFromBits(0x00000001u) : -0.0f;
        device.maxPower = 0.1f * static_cast<float>(d + 1);
        device.flags = (version != '2' && d == 1) ? sParaDevice_writeProtected : 0;
        device.points.push_back(Point(0.0, 0.0f));
        device.points.push_back(Point(1.0e6, -1.5f));
        device.points.push_back(Point(1.0e6, 2.5f)); // equal neighbours are ascending
        device.points.push_back(Point(18.0e9 + 0.1 * d, 1.0e-3f));
        SParaPoint& extremes = device.points.back();
        extremes.values[0] = -0.0f;
        extremes.values[1] = FloatFromBits(0x00000001u);
        extremes.values[2] = std::numeric_limits<float>::max();
        extremes.values[3] = std::numeric_limits<float>::lowest();
        extremes.values[4] = std::numeric_limits<float>::min();
        content.devices.push_back(device);
    }

    content.abso.axis = {1.0e6, 1.0e6, 2.0e9};
    content.abso.valuesPerPoint = 2;
    content.abso.values = {1.0f, -1.0f, 0.5f, -0.0f, FloatFromBits(0x00000007u), 3.0e38f};
    content.temp.axis = {-20.0, 25.0, 60.0};
    content.temp.valuesPerPoint = 1;
    content.temp.values = {0.99f, 1.0f, 1.01f};
    content.lin.axis = {1.0e-6};
    content.lin.valuesPerPoint = 3;
    content.lin.values = {1.0f, 2.0f, 3.0f};
    return content;
}

CTamrix RichSet(char version)
{
    CTamrix set;
    set.ReplaceContent(RichContent(version));
    return set;
}

CTamrix SmallSet()
{
    CTamrix set;
    set.SetSensorName("Sensor A");
    set.SetSerialNumber("101010");
    set.SetSParaDeviceNumber(1);
    set.SetSPDMnemonic(0, "attenuator");
    set.SetSParaFreqNumber(0, 3);
    for (long point = 0; point < 3; ++point) {
        set.SetSParaFreq(0, point, 1.0e9 * static_cast<double>(point + 1));
        set.SetSParaValue(0, point, &SParaType<1>::S21, {0.5, -0.25, 0.01});
    }
    return set;
}

std::string Fingerprint(const TamrixContent& content)
{
    std::ostringstream out;
    out << "sensorName " << Hex(content.sensorName) << "\nstockNumber " << Hex(content.stockNumber)
        << "\nattribute " << Hex(content.attribute) << "\nserialNumber " << Hex(content.serialNumber)
        << "\nserialNumberInternal " << Hex(content.serialNumberInternal) << "\nchannelNumber "
        << content.channelNumber << "\n";
    const MiscNum& misc = content.miscNum;
    out << "miscNum";
    for (const float value : {misc.referenceFrequency, misc.referencePower, misc.startFrequency, misc.minPower,
                              misc.maxPower, misc.stopFrequency, misc.minTemperature, misc.maxTemperature})
        out << ' ' << Bits(value);
    out << "\n";
    for (const CalInfo& info : content.calInfo)
        out << "calInfo " << Hex(info.date) << ' ' << Hex(info.laboratory) << ' ' << Hex(info.engineer) << "\n";
    out << "sParaCorrDef " << content.sParaCorrDef << "\nsParaDefaultDevice " << content.sParaDefaultDevice << "\n";
    for (const SParaDevice& device : content.devices) {
        out << "device " << Hex(device.mnemonic) << ' ' << Bits(device.minPower) << ' ' << Bits(device.maxPower)
            << ' ' << device.flags << "\n";
        for (const SParaPoint& point : device.points) {
            out << "  point " << Bits(point.frequency);
            for (const float value : point.values)
                out << ' ' << Bits(value);
            out << "\n";
        }
    }
    for (const CalTable* table : {&content.abso, &content.refl, &content.temp, &content.lin}) {
        out << "calTable";
        for (const double value : table->axis)
            out << ' ' << Bits(value);
        out << " / " << table->valuesPerPoint << " /";
        for (const float value : table->values)
            out << ' ' << Bits(value);
        out << "\n";
    }
    return out.str();
}

std::string Stored(const CTamrix& set, char version)
{
    std::string data;
    CTamrixUtil::StoreTMXToBuffer2(set, data, version, '0');
    return data;
}

std::string WriteAsDocumented(const TamrixContent& content, char version, char revision)
{
    std::string out("\x89TMX\r\n\x1a\n", 8);
    out += version;
    out += revision;
    AppendU32(out, 0); // length and checksum: Reseal
    AppendU32(out, 0);
    AppendText(out, content.sensorName);
    AppendText(out, content.stockNumber);
    AppendText(out, content.attribute);
    AppendText(out, content.serialNumber);
    if (version != '4')
        AppendText(out, content.serialNumberInternal);
    AppendU32(out, static_cast<std::uint32_t>(content.channelNumber));
    const MiscNum& misc = content.miscNum;
    for (const float value : {misc.referenceFrequency, misc.referencePower, misc.startFrequency, misc.minPower,
                              misc.maxPower, misc.stopFrequency, misc.minTemperature, misc.maxTemperature})
        AppendF32(out, value);
    for (const CalInfo& info : content.calInfo) {
        AppendText(out, info.date);
        AppendText(out, info.laboratory);
        AppendText(out, info.engineer);
    }
    AppendU32(out, content.sParaCorrDef);
    AppendU32(out, static_cast<std::uint32_t>(content.sParaDefaultDevice));
    AppendU32(out, static_cast<std::uint32_t>(content.devices.size()));
    for (const SParaDevice& device : content.devices) {
        AppendText(out, device.mnemonic);
        AppendF32(out, device.minPower);
        AppendF32(out, device.maxPower);
        if (version != '2')
            AppendU32(out, device.flags);
        AppendU32(out, static_cast<std::uint32_t>(device.points.size()));
        for (const SParaPoint& point : device.points) {
            AppendF64(out, point.frequency);
            for (const float value : point.values)
                AppendF32(out, value);
        }
    }
    for (const CalTable* table : {&content.abso, &content.refl, &content.temp, &content.lin}) {
        AppendU32(out, static_cast<std::uint32_t>(table->axis.size()));
        for (const double value : table->axis)
            AppendF64(out, value);
        AppendU32(out, table->valuesPerPoint);
        for (const float value : table->values)
            AppendF32(out, value);
    }
    return Reseal(out);
}

std::string Reseal(std::string data)
{
    PutU32At(data, 10, static_cast<std::uint32_t>(data.size()));
    const auto* bytes = reinterpret_cast<const Bytef*>(data.data());
    uLong crc = crc32(0, bytes, 14);
    crc = crc32(crc, bytes + 18, static_cast<uInt>(data.size() - 18));
    PutU32At(data, 14, static_cast<std::uint32_t>(crc));
    return data;
}

std::int32_t CodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TvxKyyCalcDLLError& error) {
        return error.code;
    } catch (const std::exception& error) {
        ADD_FAILURE() << "unexpected exception: " << error.what();
        return -1;
    }
    return 0;
}

bool IsLibraryCode(std::int32_t code)
{
    return code == 1 || code == 2 || (code >= 101 && code <= 115) || (code >= 201 && code <= 216);
}

} // namespace tamrix_core_test
