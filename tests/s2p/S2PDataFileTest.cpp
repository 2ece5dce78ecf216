// CS2PDataFile's accessors, and the files it refuses to read.

#include "ReadFileToString.h"
#include "S2PTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

namespace
{
const auto *S11 = &SParaType<1>::S11, *S21 = &SParaType<1>::S21, *S12 = &SParaType<1>::S12, *S22 = &SParaType<1>::S22;
const std::string Ri = "1 11 12 21 22 31 32 41 42\n"; // every pair distinct, so that a swapped column shows

std::int32_t CodeOf(const std::function<void()>& action)
{
    try { action(); } catch (const TvxKyyCalcDLLError& error) { return error.code; }
    return 0;
}

// The first point's frequency in Hz and S21 as (real, imaginary, 0), worked
// out by hand: cos 60° = 0.5, 20 dB = 10, -6.0206 dB = 0.5, 0 dB at 45°.
struct PointRow : Row { std::string content; double hertz, real, imaginary; };
using Point = ::testing::TestWithParam<PointRow>;
TEST_P(Point, ScalesTheFrequencyAndConvertsTheFormat)
{
    const auto file = Open('S', GetParam().content);
    EXPECT_EQ(file->GetFrequency(0), GetParam().hertz);
    const SParaValue value = file->GetSPara(0, S21);
    EXPECT_NEAR(std::get<0>(value), GetParam().real, 1e-15 + std::abs(GetParam().real) * 1e-15);
    EXPECT_NEAR(std::get<1>(value), GetParam().imaginary, 1e-15 + std::abs(GetParam().imaginary) * 1e-15);
    EXPECT_EQ(std::get<2>(value), 0.0);
}
const PointRow PointRows[] = {
    {"Hz", "# HZ\n1.5 0 0 2 0 0 0 0 0\n", 1.5, 2, 0}, {"kHz", "# khz\n1.5 0 0 2 0 0 0 0 0\n", 1.5e3, 2, 0},
    {"MHz", "# MHz\n1.5 0 0 2 0 0 0 0 0\n", 1.5e6, 2, 0}, {"GHz", "# GHZ\n1.5 0 0 2 0 0 0 0 0\n", 1.5e9, 2, 0},
    {"DefaultGHz", "#\n1.5 0 0 2 0 0 0 0 0\n", 1.5e9, 2, 0}, {"Ma60", "# HZ MA\n1 0 0 2 60 0 0 0 0\n", 1, 1.0000000000000002, 1.7320508075688772},
    {"Ma90", "# HZ MA\n1 0 0 0.5 90 0 0 0 0\n", 1, 3.061616997868383e-17, 0.5}, {"MaMinus180", "# HZ MA\n1 0 0 1 -180 0 0 0 0\n", 1, -1, -1.2246467991473532e-16},
    {"MaNegative", "# HZ MA\n1 0 0 -1 0 0 0 0 0\n", 1, -1, -0.0}, {"Db20", "# HZ DB\n1 0 0 20 0 0 0 0 0\n", 1, 10, 0},
    {"DbHalfAt180", "# HZ DB\n1 0 0 -6.020599913279624 180 0 0 0 0\n", 1, -0.5, 6.123233995736766e-17},
    {"DbOneAt45", "# HZ DB\n1 0 0 0 45 0 0 0 0\n", 1, 0.7071067811865476, 0.7071067811865475},
    {"DbMinus40AtMinus90", "# HZ DB\n1 0 0 -40 -90 0 0 0 0\n", 1, 6.123233995736766e-19, -0.01}, {"Ri", "# HZ RI\n1 0 0 0.125 -0.75 0 0 0 0\n", 1, 0.125, -0.75}};
INSTANTIATE_TEST_SUITE_P(S2PDataFile, Point, ::testing::ValuesIn(PointRows), RowName);

TEST(S2PDataFile, ParametersTakeTheirColumnsAndOnlyTheirRows)
{
    const auto file = Open('S', "# MHz S RI R 75\n" + Ri + "2 0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(file->GetOptionLine().impedance, 75.0); // kept, values are not renormalised
    EXPECT_EQ(file->GetSPara(0, S11), SParaValue(11, 12, 0));
    EXPECT_EQ(file->GetSPara(0, S21), SParaValue(21, 22, 0));
    EXPECT_EQ(file->GetSPara(0, S12), SParaValue(31, 32, 0));
    EXPECT_EQ(file->GetSPara(0, S22), SParaValue(41, 42, 0));
    EXPECT_EQ(file->GetFrequency(1), 2e6);
    const SParaType<1> lookalike{"S11", 0, &SParaType<1>::S12};
    const auto uncertainty = Open('U', "# HZ U RI\n1 0.1 0.2 0.3 0.4\n");
    EXPECT_EQ(uncertainty->GetSPara(0, S11), SParaValue(0.1, 0.2, 0));
    for (const auto& refused : std::vector<std::function<void()>>{
             [&] { file->GetFrequency(2); }, [&] { file->GetFrequency(~0u); }, [&] { file->GetSPara(2, S11); },
             [&] { file->GetSPara(0, &SParaType<1>::Unknown); }, [&] { file->GetSPara(0, nullptr); }, [&] { file->GetSPara(0, &lookalike); },
             [&] { uncertainty->GetSPara(0, S12); }, [&] { uncertainty->GetSPara(0, S22); }})
        EXPECT_EQ(CodeOf(refused), 105);
}

struct GainRow : Row { std::string content; float gain; };
using Gain = ::testing::TestWithParam<GainRow>;
TEST_P(Gain, IsTheLargestPowerTransmission) { EXPECT_FLOAT_EQ(Open('S', GetParam().content)->GetMaxS21Gain(), GetParam().gain); }
const GainRow GainRows[] = {
    {"LargestInTheMiddle", "# RI\n1 9 9 0.3 0.4 9 9 9 9\n2 0 0 3 4 0 0 0 0\n3 9 9 1 1 9 9 9 9\n", 25}, {"S12Larger", "# RI\n1 0 0 0.5 0 7 7 0 0\n", 0.25f},
    {"Ma", "# MA\n1 0 0 0.5 123 0 0 0 0\n2 0 0 0.25 -10 0 0 0 0\n", 0.25f}, {"Db", "# DB\n1 0 0 -3 0 0 0 0 0\n2 0 0 10 45 0 0 0 0\n", 10},
    {"NanPassedOver", "# RI\n1 0 0 nan 0 0 0 0 0\n2 0 0 2 0 0 0 0 0\n", 4}};
INSTANTIATE_TEST_SUITE_P(S2PDataFile, Gain, ::testing::ValuesIn(GainRows), RowName);

// The rows around a frequency decide, with a tolerance of 1e-6 relative.
struct UncertaintyRow : Row { char type; std::string content; double frequency; std::array<double, 4> expected; };
using Uncertainty = ::testing::TestWithParam<UncertaintyRow>;
TEST_P(Uncertainty, ComesFromTheRowsAroundTheFrequency)
{
    EXPECT_EQ(Open(GetParam().type, GetParam().content)->GetUncertainty(GetParam().frequency), GetParam().expected);
}
const std::string F3 = "# MHz U\n100 0.10 0.20 0.30 0.40\n200 0.50 0.05 0.35 0.45\n300 0.01 0.60 0.02 0.70\n", One = "# MHz U\n100 1 2 3 4\n";
const std::string F5 = "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n30 3 9 3 3\n40 4 4 4 4\n50 5 5 5 5\n", Two = "# HZ U\n10 1 8 3 6\n20 5 4 7 2\n";
const std::array<double, 4> First = {0.10, 0.20, 0.30, 0.40}, FirstSecond = {0.50, 0.20, 0.35, 0.45}, Second = {0.50, 0.05, 0.35, 0.45}, Last = {0.01, 0.60, 0.02, 0.70};
const UncertaintyRow UncertaintyRows[] = {
    {"BelowFirst", 'U', F3, 50e6, First}, {"InsideToleranceBelowFirst", 'U', F3, 100e6 / 0.9999995, First}, {"AtFirst", 'U', F3, 100e6, First},
    {"HairBeyondToleranceAboveFirst", 'U', F3, 100e6 * (1 + 1.0000005e-6), First}, {"BetweenFirstAndSecond", 'U', F3, 150e6, FirstSecond},
    {"AboveFirstBeyondTolerance", 'U', F3, 100e6 * 1.000002, FirstSecond}, {"AtSecond", 'U', F3, 200e6, Second},
    {"ToleranceAboveSecond", 'U', F3, 200e6 * 1.0000009, Second}, {"ToleranceBelowSecond", 'U', F3, 200e6 * 0.9999991, Second},
    {"BelowSecondBeyondTolerance", 'U', F3, 200e6 * 0.999998, FirstSecond}, {"BetweenSecondAndThird", 'U', F3, 250e6, {0.50, 0.60, 0.35, 0.70}},
    {"ToleranceBelowLast", 'U', F3, 300e6 * 0.9999991, Last}, {"AtLast", 'U', F3, 300e6, Last}, {"AboveLast", 'U', F3, 1e12, Last},
    {"OnePointBelow", 'U', One, 1e6, {1, 2, 3, 4}}, {"OnePointAbove", 'U', One, 1e9, {1, 2, 3, 4}}, {"OnePointNan", 'U', One, NAN, {1, 2, 3, 4}},
    {"TwoBetween", 'U', Two, 15, {5, 8, 7, 6}}, {"TwoAtFirst", 'U', Two, 10, {1, 8, 3, 6}}, {"TwoAtSecond", 'U', Two, 20, {5, 4, 7, 2}},
    {"FiveThirdToFourth", 'U', F5, 35, {4, 9, 4, 4}}, {"FiveAtFourth", 'U', F5, 40, {4, 4, 4, 4}}, {"FiveFirstToSecond", 'U', F5, 12, {2, 2, 2, 2}},
    {"RepeatedTakesTheLater", 'U', "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n20 7 7 7 7\n30 3 3 3 3\n", 20, {7, 7, 7, 7}},
    {"UnorderedStopsAtFirstHigher", 'U', "# HZ U\n10 1 1 1 1\n40 4 4 4 4\n20 2 9 2 2\n30 3 3 3 3\n50 5 5 5 5\n", 25, {4, 4, 4, 4}},
    {"UnorderedLowerAfterHigher", 'U', "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n15 8 8 8 8\n40 4 4 4 4\n50 5 5 5 5\n", 30, {8, 8, 8, 8}},
    {"ZeroForS", 'S', "# HZ S RI\n" + Ri, 1, {0, 0, 0, 0}}, {"ZeroForZ", 'Z', "# HZ Z RI\n" + Ri, 1, {0, 0, 0, 0}}};
INSTANTIATE_TEST_SUITE_P(S2PDataFile, Uncertainty, ::testing::ValuesIn(UncertaintyRows), RowName);

TEST(S2PDataFile, WhatIsNotARegularReadableFileIsRefusedWithCode1)
{
    const Folder folder;
    ASSERT_EQ(::mkfifo(folder.PathOf("pipe.s2p").c_str(), 0600), 0); // no writer: must not wait for one
    const std::string large = folder.Write("large.s2p", "");
    ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(maxTouchstoneFileSize) + 1), 0); // sparse, beyond 256 MiB
    for (const std::string& path : {folder.path().toStdString(), folder.PathOf("pipe.s2p"), std::string("/dev/zero"), folder.PathOf("missing.s2p"),
                                    large, folder.PathOf("missing/x.s2p")}) {
        const Outcome outcome = LoadFile('S', path);
        EXPECT_EQ(std::make_tuple(outcome.code, outcome.context, outcome.reports.size()), std::make_tuple(1, path, std::size_t{0}));
    }
    for (const char* name : {"Messung \xc3\xa4\xc3\xb6\xc3\xbc.s2p", "caf\xe9.s2p", "a b;c.S2P"}) // opened as given
        EXPECT_EQ(LoadFile('S', folder.Write(name, "# HZ\n" + Ri)).points, 1u) << name;
}

TEST(S2PDataFile, ReadFileToStringKeepsEveryByteUpToTheLimit)
{
    const Folder folder;
    std::string bytes = "\r\n\n\r\x1a", content;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    const std::string path = folder.Write("bytes.bin", bytes);
    ASSERT_TRUE(ReadFileToString(path, content, 2, bytes.size()));
    EXPECT_EQ(content, bytes);
    EXPECT_GE(content.capacity(), bytes.size() + 2);
    EXPECT_FALSE(ReadFileToString(path, content, 0, bytes.size() - 1));
    EXPECT_TRUE(ReadFileToString(folder.Write("empty.bin", ""), content) && content.empty());
}
} // namespace
