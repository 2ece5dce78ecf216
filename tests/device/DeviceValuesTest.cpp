#include "DeviceValues.h"
#include "TamrixError.h"

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

using rows::operator<<;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

// Three points with distinct values, so that a swapped column shows.
DeviceValues ThreePoints()
{
    DeviceValues values;
    values.minPower = 1e-6;
    values.maxPower = 0.25;
    values.mnemonic = "Pad \xC2\xB5W";
    for (int point = 0; point < 3; ++point)
    {
        DevicePoint p;
        p.frequency = 1e9 * (point + 1);
        for (int s = 0; s < 4; ++s)
        {
            const double base = 0.125 * (point + 1) + s;
            p.values[static_cast<std::size_t>(s)] = SParaValue(base, -base / 2, base / 64);
        }
        values.points.push_back(p);
    }
    return values;
}

CTamrix TwoDevices()
{
    CTamrix set;
    set.EnableUtf8Support(true);
    set.SetSParaDeviceNumber(2);
    return set;
}

TEST(StoreDeviceValues, WritesLimitsMnemonicAndEveryTriple)
{
    CTamrix set = TwoDevices();
    const DeviceValues values = ThreePoints();
    StoreDeviceValuesSafely(set, 1, values);
    EXPECT_EQ(set.GetSParaMinPower(1), static_cast<double>(1e-6f));
    EXPECT_EQ(set.GetSParaMaxPower(1), 0.25);
    EXPECT_EQ(set.GetSPDMnemonic(1), values.mnemonic);
    ASSERT_EQ(set.GetSParaFreqNumber(1), 3);
    for (long point = 0; point < 3; ++point)
    {
        EXPECT_EQ(set.GetSParaFreq(1, point), values.points[static_cast<std::size_t>(point)].frequency);
        for (int s = 0; s < 4; ++s)
        {
            EXPECT_EQ(set.GetSParaValue(1, point, tags[s]),
                      values.points[static_cast<std::size_t>(point)].values[static_cast<std::size_t>(s)])
                << "point " << point << ", " << tags[s]->name;
        }
    }
    EXPECT_EQ(set.GetSParaFreqNumber(0), 1) << "the other device stays as it was";
}

struct MirrorCase
{
    const char* scenario;
    bool useS21ForS12;
    bool useS11ForS22;
};

using StoreMirror = rows::Test<MirrorCase>;

TEST_P(StoreMirror, CopiesTheStoredSourceTriple)
{
    const MirrorCase& c = GetParam();
    CTamrix set = TwoDevices();
    DeviceValues values = ThreePoints();
    values.useS21ForS12 = c.useS21ForS12;
    values.useS11ForS22 = c.useS11ForS22;
    StoreDeviceValuesSafely(set, 0, values);
    for (long point = 0; point < 3; ++point)
    {
        const auto& own = values.points[static_cast<std::size_t>(point)].values;
        EXPECT_EQ(set.GetSParaValue(0, point, tags[2]), c.useS21ForS12 ? set.GetSParaValue(0, point, tags[1]) : own[2]);
        EXPECT_EQ(set.GetSParaValue(0, point, tags[3]), c.useS11ForS22 ? set.GetSParaValue(0, point, tags[0]) : own[3]);
    }
}

INSTANTIATE_TEST_SUITE_P(Options, StoreMirror,
                         testing::Values(MirrorCase{"Neither", false, false}, MirrorCase{"S21ForS12", true, false},
                                         MirrorCase{"S11ForS22", false, true}, MirrorCase{"Both", true, true}),
                         rows::Name());

struct RefusedCase
{
    const char* scenario;
    void (*spoil)(DeviceValues&);
    std::int32_t code;
};

using StoreRefused = rows::Test<RefusedCase>;

TEST_P(StoreRefused, ThrowsAndLeavesTheDeviceAsItWas)
{
    const RefusedCase& c = GetParam();
    CTamrix set = TwoDevices();
    StoreDeviceValuesSafely(set, 0, ThreePoints());
    const CTamrix before = set;
    DeviceValues values = ThreePoints();
    values.mnemonic = "changed";
    values.minPower = 0.5;
    c.spoil(values);
    try
    {
        StoreDeviceValuesSafely(set, 0, values);
        ADD_FAILURE() << "no error";
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        EXPECT_EQ(error.code, c.code);
    }
    const SParaDevice& now = set.Content().devices[0];
    const SParaDevice& then = before.Content().devices[0];
    EXPECT_EQ(now.mnemonic, then.mnemonic);
    EXPECT_EQ(now.minPower, then.minPower);
    EXPECT_EQ(now.maxPower, then.maxPower);
    ASSERT_EQ(now.points.size(), then.points.size());
    for (std::size_t point = 0; point < now.points.size(); ++point)
    {
        EXPECT_EQ(now.points[point].frequency, then.points[point].frequency);
        EXPECT_EQ(now.points[point].values, then.points[point].values);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoreRefused,
    testing::Values(
        RefusedCase{"InfiniteFrequencyOfTheLastPoint",
                    [](DeviceValues& v) { v.points.back().frequency = std::numeric_limits<double>::infinity(); }, 104},
        RefusedCase{"NegativeUpperLimit", [](DeviceValues& v) { v.maxPower = -1; }, 104},
        RefusedCase{"ValueBeyondSinglePrecision", [](DeviceValues& v) { std::get<1>(v.points[2].values[3]) = 1e39; },
                    215},
        RefusedCase{"TooManyPoints", [](DeviceValues& v) { v.points.resize(100001); }, 104}),
    rows::Name());

} // namespace
