// CS2PDataFile's accessors, and the files it refuses to read.

#include "ReadFileToString.h"
#include "S2PTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <limits>

using s2p_test::LoadFile;
using s2p_test::LoadOutcome;
using s2p_test::Open;
using s2p_test::TemporaryFolder;

namespace
{

const SParaType<1>* const S11 = &SParaType<1>::S11;
const SParaType<1>* const S21 = &SParaType<1>::S21;
const SParaType<1>* const S12 = &SParaType<1>::S12;
const SParaType<1>* const S22 = &SParaType<1>::S22;

// Every pair of a line distinct, so that a swapped column shows.
const std::string riLine = "1 11 12 21 22 31 32 41 42\n";

std::int32_t CodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TvxKyyCalcDLLError& error) {
        return error.code;
    }
    return 0;
}

void ExpectValue(const SParaValue& actual, double real, double imaginary)
{
    const double tolerance = 1e-15;
    EXPECT_NEAR(std::get<0>(actual), real, tolerance + std::abs(real) * 1e-15);
    EXPECT_NEAR(std::get<1>(actual), imaginary, tolerance + std::abs(imaginary) * 1e-15);
    EXPECT_EQ(std::get<2>(actual), 0.0);
}

} // namespace

// --- GetFrequency, GetValue ------------------------------------------------------

TEST(S2PDataFileFrequency, TheUnitScalesToHertz)
{
    struct Row
    {
        const char* unit;
        double hertz;
    };
    const Row rows[] = {{"HZ", 1.5}, {"khz", 1.5e3}, {"MHz", 1.5e6}, {"GHZ", 1.5e9}, {"", 1.5e9}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.unit);
        const auto file = Open('S', std::string("# ") + row.unit + "\n1.5 0 0 0 0 0 0 0 0\n");
        EXPECT_EQ(file->GetFrequency(0), row.hertz);
        EXPECT_EQ(file->GetValue(0, 0), 1.5);
    }
}

TEST(S2PDataFileFrequency, RowsBeyondTheDataAreRefused)
{
    const auto file = Open('S', "# MHz RI\n" + riLine + "2 0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(file->GetFrequency(1), 2e6);
    EXPECT_EQ(CodeOf([&] { file->GetFrequency(2); }), 105);
    EXPECT_EQ(CodeOf([&] { file->GetFrequency(~0u); }), 105);
}

TEST(S2PDataFileValue, OutsideTheTableIsAnOutOfRangeError)
{
    const auto file = Open('S', "# MHz RI\n" + riLine);
    EXPECT_EQ(file->GetValue(0, 8), 42.0);
    EXPECT_THROW(file->GetValue(0, 9), std::out_of_range);
    EXPECT_THROW(file->GetValue(1, 0), std::out_of_range);
}

// --- GetSPara ---------------------------------------------------------------------

TEST(S2PDataFileSPara, ParametersTakeTheirColumnsInTouchstoneOrder)
{
    const auto file = Open('S', "# HZ S RI\n" + riLine);
    ExpectValue(file->GetSPara(0, S11), 11, 12);
    ExpectValue(file->GetSPara(0, S21), 21, 22);
    ExpectValue(file->GetSPara(0, S12), 31, 32);
    ExpectValue(file->GetSPara(0, S22), 41, 42);
}

TEST(S2PDataFileSPara, EachFormatConvertsToRealAndImaginaryParts)
{
    struct Row
    {
        const char* scenario;
        const char* format;
        double a, b;
        double real, imaginary;
    };
    // Worked out by hand: cos 60° = 0.5, sin 60° = 0.8660254037844386, 20 dB = 10,
    // -6.020599913279624 dB = 0.5, 0 dB at 45° = (0.7071067811865476, 0.7071067811865475).
    const Row rows[] = {
        {"MA at zero degrees", "MA", 2.0, 0.0, 2.0, 0.0},
        {"MA at 60 degrees", "MA", 2.0, 60.0, 1.0000000000000002, 1.7320508075688772},
        {"MA at 90 degrees", "MA", 0.5, 90.0, 3.061616997868383e-17, 0.5},
        {"MA at -180 degrees", "MA", 1.0, -180.0, -1.0, -1.2246467991473532e-16},
        {"MA with a negative magnitude", "MA", -1.0, 0.0, -1.0, -0.0},
        {"DB at zero degrees", "DB", 20.0, 0.0, 10.0, 0.0},
        {"DB of a half at 180 degrees", "DB", -6.020599913279624, 180.0, -0.5, 6.123233995736766e-17},
        {"DB of one at 45 degrees", "DB", 0.0, 45.0, 0.7071067811865476, 0.7071067811865475},
        {"DB of -40 at -90 degrees", "DB", -40.0, -90.0, 6.123233995736766e-19, -0.01},
        {"RI as written", "RI", 0.125, -0.75, 0.125, -0.75},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        char line[256];
        std::snprintf(line, sizeof line, "# %s\n1 0 0 %.17g %.17g 0 0 0 0\n", row.format, row.a, row.b);
        const auto file = Open('S', line);
        ExpectValue(file->GetSPara(0, S21), row.real, row.imaginary);
    }
}

TEST(S2PDataFileSPara, UnknownTagsAndRowsAreRefused)
{
    const auto file = Open('S', "# HZ S RI\n" + riLine);
    EXPECT_EQ(CodeOf([&] { file->GetSPara(1, S11); }), 105);
    EXPECT_EQ(CodeOf([&] { file->GetSPara(0, &SParaType<1>::Unknown); }), 105);
    EXPECT_EQ(CodeOf([&] { file->GetSPara(0, nullptr); }), 105);
    const SParaType<1> lookalike{"S11", 0, &SParaType<1>::S12};
    EXPECT_EQ(CodeOf([&] { file->GetSPara(0, &lookalike); }), 105);
}

TEST(S2PDataFileSPara, UncertaintyRowsHoldNoSecondPairPastTheirEnd)
{
    const auto file = Open('U', "# HZ U RI\n1 0.1 0.2 0.3 0.4\n");
    ExpectValue(file->GetSPara(0, S11), 0.1, 0.2);
    EXPECT_EQ(CodeOf([&] { file->GetSPara(0, S12); }), 105);
    EXPECT_EQ(CodeOf([&] { file->GetSPara(0, S22); }), 105);
}

// --- GetMaxS21Gain ------------------------------------------------------------------

TEST(S2PDataFileMaxS21Gain, TheLargestPowerTransmission)
{
    struct Row
    {
        const char* scenario;
        std::string content;
        float gain;
    };
    const Row rows[] = {
        {"RI, the largest in the middle", "# RI\n1 9 9 0.3 0.4 9 9 9 9\n2 0 0 3 4 0 0 0 0\n3 9 9 1 1 9 9 9 9\n", 25.0f},
        {"RI, S12 larger than S21", "# RI\n1 0 0 0.5 0 7 7 0 0\n", 0.25f},
        {"MA", "# MA\n1 0 0 0.5 123 0 0 0 0\n2 0 0 0.25 -10 0 0 0 0\n", 0.25f},
        {"DB", "# DB\n1 0 0 -3 0 0 0 0 0\n2 0 0 10 45 0 0 0 0\n", 10.0f},
        {"a not-a-number point is passed over", "# RI\n1 0 0 nan 0 0 0 0 0\n2 0 0 2 0 0 0 0 0\n", 4.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        EXPECT_FLOAT_EQ(Open('S', row.content)->GetMaxS21Gain(), row.gain);
    }
}

// --- GetUncertainty -----------------------------------------------------------------

TEST(S2PDataFileUncertainty, TheRowsAroundTheFrequencyDecide)
{
    const std::string file3 = "# MHz U\n"
                              "100 0.10 0.20 0.30 0.40\n"
                              "200 0.50 0.05 0.35 0.45\n"
                              "300 0.01 0.60 0.02 0.70\n";
    const std::string file5 = "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n30 3 9 3 3\n40 4 4 4 4\n50 5 5 5 5\n";
    struct Row
    {
        const char* scenario;
        std::string content;
        double frequency;
        std::array<double, 4> expected;
    };
    const Row rows[] = {
        {"below the first point", file3, 50e6, {0.10, 0.20, 0.30, 0.40}},
        {"just inside the tolerance below the first", file3, 100e6 / 0.9999995, {0.10, 0.20, 0.30, 0.40}},
        {"at the first point", file3, 100e6, {0.10, 0.20, 0.30, 0.40}},
        {"a hair beyond the tolerance above the first", file3, 100e6 * (1 + 1.0000005e-6), {0.10, 0.20, 0.30, 0.40}},
        {"between the first and second", file3, 150e6, {0.50, 0.20, 0.35, 0.45}},
        {"just above the first, beyond the tolerance", file3, 100e6 * 1.000002, {0.50, 0.20, 0.35, 0.45}},
        {"at the second point", file3, 200e6, {0.50, 0.05, 0.35, 0.45}},
        {"at the second within the tolerance above", file3, 200e6 * 1.0000009, {0.50, 0.05, 0.35, 0.45}},
        {"at the second within the tolerance below", file3, 200e6 * 0.9999991, {0.50, 0.05, 0.35, 0.45}},
        {"just below the second, beyond the tolerance", file3, 200e6 * 0.999998, {0.50, 0.20, 0.35, 0.45}},
        {"between the second and third", file3, 250e6, {0.50, 0.60, 0.35, 0.70}},
        {"within the tolerance below the last", file3, 300e6 * 0.9999991, {0.01, 0.60, 0.02, 0.70}},
        {"at the last point", file3, 300e6, {0.01, 0.60, 0.02, 0.70}},
        {"above the last point", file3, 1e12, {0.01, 0.60, 0.02, 0.70}},
        {"one point, below", "# MHz U\n100 1 2 3 4\n", 1e6, {1, 2, 3, 4}},
        {"one point, above", "# MHz U\n100 1 2 3 4\n", 1e9, {1, 2, 3, 4}},
        {"one point, not a number", "# MHz U\n100 1 2 3 4\n", std::nan(""), {1, 2, 3, 4}},
        {"two points, between", "# HZ U\n10 1 8 3 6\n20 5 4 7 2\n", 15, {5, 8, 7, 6}},
        {"two points, at the first", "# HZ U\n10 1 8 3 6\n20 5 4 7 2\n", 10, {1, 8, 3, 6}},
        {"two points, at the second", "# HZ U\n10 1 8 3 6\n20 5 4 7 2\n", 20, {5, 4, 7, 2}},
        {"five points, between the third and fourth", file5, 35, {4, 9, 4, 4}},
        {"five points, at the fourth", file5, 40, {4, 4, 4, 4}},
        {"five points, between the first and second", file5, 12, {2, 2, 2, 2}},
        {"a repeated frequency takes the later row", "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n20 7 7 7 7\n30 3 3 3 3\n", 20,
         {7, 7, 7, 7}},
        {"unordered: the scan stops at the first higher row", "# HZ U\n10 1 1 1 1\n40 4 4 4 4\n20 2 9 2 2\n30 3 3 3 3\n50 5 5 5 5\n",
         25, {4, 4, 4, 4}},
        {"unordered: a lower row after a higher one is found", "# HZ U\n10 1 1 1 1\n20 2 2 2 2\n15 8 8 8 8\n40 4 4 4 4\n50 5 5 5 5\n",
         30, {8, 8, 8, 8}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        EXPECT_EQ(Open('U', row.content)->GetUncertainty(row.frequency), row.expected);
    }
}

TEST(S2PDataFileUncertainty, ZeroForAnythingButAnUncertaintyFile)
{
    const auto sFile = Open('S', "# HZ S RI\n" + riLine);
    EXPECT_EQ(sFile->GetUncertainty(1.0), (std::array<double, 4>{0, 0, 0, 0}));
    const auto zFile = Open('Z', "# HZ Z RI\n" + riLine);
    EXPECT_EQ(zFile->GetUncertainty(1.0), (std::array<double, 4>{0, 0, 0, 0}));
}

// --- the option line as parsed -------------------------------------------------------

TEST(S2PDataFileOptionLine, TheImpedanceIsKeptButValuesAreNotRenormalised)
{
    const auto file = Open('S', "# HZ S RI R 75\n" + riLine);
    EXPECT_EQ(file->GetOptionLine().impedance, 75.0);
    ExpectValue(file->GetSPara(0, S11), 11, 12);
}

// --- reading the file ----------------------------------------------------------------

TEST(S2PDataFileReading, WhatIsNotARegularReadableFileIsRefusedWithCode1)
{
    const TemporaryFolder folder;
    const std::string fifo = folder.PathOf("pipe.s2p");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = folder.PathOf("large.s2p");
    {
        const int fd = ::open(large.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(maxTouchstoneFileSize) + 1), 0);
        ::close(fd);
    }
    const std::string paths[] = {
        folder.Path(),                    // a folder
        fifo,                             // a FIFO without a writer: must not wait for one
        "/dev/zero",                      // a device that never ends
        folder.PathOf("missing.s2p"),     // nothing there
        large,                            // a (sparse) file beyond 256 MiB
        folder.PathOf("missing/x.s2p"),   // a missing folder
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const LoadOutcome outcome = LoadFile('S', path);
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.context, path);
        EXPECT_TRUE(outcome.reports.empty());
    }
}

TEST(S2PDataFileReading, TheFileNameIsOpenedAsGiven)
{
    const TemporaryFolder folder;
    for (const char* name : {"Messung \xc3\xa4\xc3\xb6\xc3\xbc.s2p", "caf\xe9.s2p", "a b;c.S2P"}) {
        SCOPED_TRACE(name);
        const std::string path = folder.Write(name, "# HZ\n" + riLine);
        const LoadOutcome outcome = LoadFile('S', path);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.points, 1u);
    }
}

TEST(ReadFileToString, EveryByteAsWrittenUpToTheLimit)
{
    const TemporaryFolder folder;
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    bytes += "\r\n\n\r\x1a";
    const std::string path = folder.Write("bytes.bin", bytes);

    std::string content;
    ASSERT_TRUE(ReadFileToString(path, content, 2, bytes.size()));
    EXPECT_EQ(content, bytes);
    EXPECT_GE(content.capacity(), bytes.size() + 2);

    EXPECT_FALSE(ReadFileToString(path, content, 0, bytes.size() - 1));

    ASSERT_TRUE(ReadFileToString(folder.Write("empty.bin", ""), content));
    EXPECT_TRUE(content.empty());
}
