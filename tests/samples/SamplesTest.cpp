#include "SampleDataSets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

// GoogleTest shows a sample as its file name.
void PrintTo(const SampleDataSet& sample, std::ostream* out) { *out << sample.fileName; }

namespace
{

using Sample = testing::TestWithParam<SampleDataSet>;

// The checked-in file is what make_samples writes, and loads back as built (the rendering shows every value exactly).
TEST_P(Sample, IsCheckedInAsTheToolWritesItAndLoadsAsBuilt)
{
    const SampleDataSet& sample = GetParam();
    std::string stored;
    CTamrixUtil::StoreTMXToBuffer2(sample.dataSet, stored, sample.version, sample.revision);
    const std::string path = std::string(OSTREL_SOURCE_DIR) + "/samples/" + sample.fileName;
    std::ifstream file(path, std::ios::binary);
    const std::string checkedIn{std::istreambuf_iterator<char>(file), {}};
    EXPECT_TRUE(checkedIn == stored) << "first difference at byte "
                                     << std::mismatch(stored.begin(), stored.end(), checkedIn.begin(), checkedIn.end()).first - stored.begin()
                                     << "; regenerate the samples with make_samples";
    CTamrix loaded;
    loaded.EnableUtf8Support(true);
    EXPECT_EQ(CTamrixUtil::LoadTMXFromFile2(loaded, path.c_str()), FormatPair(sample.version, sample.revision));
    EXPECT_EQ(loaded.Visualize(), sample.dataSet.Visualize());
}

// Plausible values keep the samples useful for trying out the editor: frequencies rising over 10 MHz ... 18 GHz,
// small reflections, |S21| of a passive device, uncertainties of a good bench, sensible limits.
TEST_P(Sample, DevicesLookLikeRealCalibrations)
{
    for (const SParaDevice& device : GetParam().dataSet.Content().devices) {
        SCOPED_TRACE(device.mnemonic);
        ASSERT_FALSE(device.points.empty());
        EXPECT_EQ(std::make_pair(device.points.front().frequency, device.points.back().frequency),
                  std::make_pair(10e6, 18e9));
        EXPECT_LT(device.minPower, device.maxPower);
        const auto notRising = [](const SParaPoint& a, const SParaPoint& b) { return a.frequency >= b.frequency; };
        EXPECT_TRUE(std::adjacent_find(device.points.begin(), device.points.end(), notRising) == device.points.end());
        for (const SParaPoint& point : device.points) {
            for (const SParaType<1>* which : {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22}) {
                const std::size_t first = 3 * static_cast<std::size_t>(which->index);
                const double magnitude = std::hypot(point.values[first], point.values[first + 1]);
                EXPECT_TRUE(which == &SParaType<1>::S11 || which == &SParaType<1>::S22 ? magnitude <= 0.05 : magnitude < 1.0)
                    << which->name << " at " << point.frequency;
                EXPECT_TRUE(point.values[first + 2] >= 0.001f && point.values[first + 2] <= 0.01f) << point.frequency;
            }
        }
    }
}

// A row per sample, named after its file.
INSTANTIATE_TEST_SUITE_P(Samples, Sample, testing::ValuesIn(BuildSampleDataSets()),
                         [](const auto& info) { return info.param.fileName.substr(0, info.param.fileName.find('.')); });

} // namespace
