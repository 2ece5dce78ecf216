#include "SampleDataSets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace
{

std::string CheckedInPath(const std::string& fileName)
{
    return std::string(OSTREL_SOURCE_DIR) + "/samples/" + fileName;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

template <typename Number>
std::string Bits(Number value)
{
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    std::string text;
    for (const unsigned char byte : bytes)
        text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 0xF];
    return text;
}

std::string Text(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Table(const CalTable& table)
{
    std::ostringstream out;
    out << table.valuesPerPoint << " axis";
    for (const double value : table.axis)
        out << ' ' << Bits(value);
    out << " values";
    for (const float value : table.values)
        out << ' ' << Bits(value);
    return out.str();
}

// Every value of a content, numbers as bit patterns: equal exactly when the
// contents are equal bit for bit, and a difference shows in the output.
std::string Fingerprint(const TamrixContent& content)
{
    std::ostringstream out;
    out << Text(content.sensorName) << Text(content.stockNumber) << Text(content.attribute)
        << Text(content.serialNumber) << Text(content.serialNumberInternal) << " channel " << content.channelNumber
        << "\nmisc";
    const MiscNum& misc = content.miscNum;
    for (const float value : {misc.referenceFrequency, misc.referencePower, misc.startFrequency, misc.minPower,
                              misc.maxPower, misc.stopFrequency, misc.minTemperature, misc.maxTemperature})
        out << ' ' << Bits(value);
    for (const CalInfo& info : content.calInfo)
        out << "\ncal " << Text(info.date) << Text(info.laboratory) << Text(info.engineer);
    out << "\ncorr " << content.sParaCorrDef << " default " << content.sParaDefaultDevice;
    for (const SParaDevice& device : content.devices) {
        out << "\ndevice " << Text(device.mnemonic) << ' ' << Bits(device.minPower) << ' ' << Bits(device.maxPower)
            << ' ' << device.flags;
        for (const SParaPoint& point : device.points) {
            out << "\n  " << Bits(point.frequency);
            for (const float value : point.values)
                out << ' ' << Bits(value);
        }
    }
    out << "\nabso " << Table(content.abso) << "\nrefl " << Table(content.refl) << "\ntemp " << Table(content.temp)
        << "\nlin " << Table(content.lin);
    return out.str();
}

double Magnitude(const SParaPoint& point, const SParaType<1>& which)
{
    const std::size_t first = 3 * static_cast<std::size_t>(which.index);
    return std::hypot(point.values[first], point.values[first + 1]);
}

} // namespace

TEST(Samples, CheckedInFilesAreWhatTheToolWrites)
{
    for (const SampleDataSet& sample : BuildSampleDataSets()) {
        SCOPED_TRACE(sample.fileName);
        std::string stored;
        CTamrixUtil::StoreTMXToBuffer2(sample.dataSet, stored, sample.version, sample.revision);
        const std::string checkedIn = ReadFile(CheckedInPath(sample.fileName));
        ASSERT_EQ(checkedIn.size(), stored.size()) << "regenerate the samples with make_samples";
        const auto difference = std::mismatch(stored.begin(), stored.end(), checkedIn.begin());
        EXPECT_TRUE(difference.first == stored.end())
            << "first difference at byte " << (difference.first - stored.begin())
            << "; regenerate the samples with make_samples";
    }
}

TEST(Samples, CheckedInFilesLoadAsBuilt)
{
    for (const SampleDataSet& sample : BuildSampleDataSets()) {
        SCOPED_TRACE(sample.fileName);
        CTamrix loaded;
        loaded.EnableUtf8Support(true);
        const FormatPair format = CTamrixUtil::LoadTMXFromFile2(loaded, CheckedInPath(sample.fileName).c_str());
        EXPECT_EQ(format, FormatPair(sample.version, sample.revision));
        EXPECT_EQ(Fingerprint(loaded.Content()), Fingerprint(sample.dataSet.Content()));
    }
}

TEST(Samples, DevicesLookLikeRealCalibrations)
{
    // Plausible values keep the samples useful for trying out the editor:
    // frequencies rising over 10 MHz ... 18 GHz, small reflections, |S21| of
    // a passive device, uncertainties of a good bench, sensible limits.
    for (const SampleDataSet& sample : BuildSampleDataSets()) {
        for (const SParaDevice& device : sample.dataSet.Content().devices) {
            SCOPED_TRACE(sample.fileName + " " + device.mnemonic);
            ASSERT_FALSE(device.points.empty());
            EXPECT_EQ(device.points.front().frequency, 10e6);
            EXPECT_EQ(device.points.back().frequency, 18e9);
            EXPECT_LT(device.minPower, device.maxPower);
            for (std::size_t p = 0; p < device.points.size(); ++p) {
                const SParaPoint& point = device.points[p];
                if (p > 0) {
                    EXPECT_GT(point.frequency, device.points[p - 1].frequency);
                }
                for (const SParaType<1>* reflection : {&SParaType<1>::S11, &SParaType<1>::S22})
                    EXPECT_LE(Magnitude(point, *reflection), 0.05) << point.frequency;
                for (const SParaType<1>* transmission : {&SParaType<1>::S21, &SParaType<1>::S12})
                    EXPECT_LT(Magnitude(point, *transmission), 1.0) << point.frequency;
                for (std::size_t s = 0; s < 4; ++s) {
                    EXPECT_GE(point.values[3 * s + 2], 0.001f) << point.frequency;
                    EXPECT_LE(point.values[3 * s + 2], 0.01f) << point.frequency;
                }
            }
        }
    }
}
