// The Touchstone reader on a large two-port file: 100,000 points in MA format,
// CRLF line ends and a comment header, about 12 MB. Where Debian's
// python3-scikit-rf is installed, the same file is also read with it in the
// same run, as a yardstick: the reader should be at least ten times faster.

#include "S2PDataFile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

namespace
{

const char* const python = "/usr/bin/python3";

// A folder of its own under the temporary folder, removed at the end.
class BenchFolder
{
public:
    BenchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-s2p-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        m_path = pattern;
    }
    ~BenchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string WriteLargeFile(const std::string& folder)
{
    const std::string path = folder + "/large.s2p";
    std::string text;
    text.reserve(13u << 20);
    text += "! Two-port measurement, 100000 points\r\n"
            "! Frequency S11 S21 S12 S22, magnitude and angle\r\n"
            "!\r\n"
            "# HZ S MA R 50\r\n";
    char line[256];
    for (int point = 0; point < 100000; ++point) {
        const double f = 1.0e6 + 1.0e5 * point;
        const double x = point * 1.0e-4;
        // Magnitudes and angles of S11, S21, S12, S22, as a network analyser writes them.
        const double angle = std::fmod(point * 1.1, 360.0) - 180.0;
        std::snprintf(line, sizeof line, "%.0f  %.10f  %.7f  %.10f  %.7f  %.10f  %.7f  %.10f  %.7f\r\n", f,
                      0.1 + 0.05 * std::sin(x), -180.0 + std::fmod(point * 0.37, 360.0), 0.9 - 0.1 * std::cos(x),
                      angle, 0.9 - 0.1 * std::sin(x), angle, 0.12 + 0.04 * std::cos(x),
                      179.0 - std::fmod(point * 0.29, 358.0));
        text += line;
    }
    std::ofstream file(path, std::ios::binary);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
    return path;
}

struct LargeFile
{
    BenchFolder folder;
    std::string path = WriteLargeFile(folder.Path());
};

const LargeFile& Large()
{
    static const LargeFile file;
    return file;
}

void BM_S2PDataFileLargeMA(benchmark::State& state)
{
    const std::string& path = Large().path;
    for (auto _ : state) {
        const CS2PDataFile file('S', path, nullptr);
        benchmark::DoNotOptimize(file.GetNumPoints());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_S2PDataFileLargeMA)->Unit(benchmark::kMillisecond);

bool ScikitRfAvailable()
{
    const std::string command = std::string(python) + " -c \"import skrf\" >/dev/null 2>&1";
    return std::filesystem::exists(python) && std::system(command.c_str()) == 0;
}

// Seconds per skrf.Network(path), the mean of `loads` after one warm-up, timed
// inside Python so that its start-up does not count; negative on failure.
double ScikitRfSeconds(const std::string& path, int loads)
{
    const std::string command = std::string(python) +
                                " -c \"import sys, time, skrf\n"
                                "skrf.Network(sys.argv[1])\n"
                                "t = time.perf_counter()\n"
                                "for i in range(" +
                                std::to_string(loads) +
                                "): skrf.Network(sys.argv[1])\n"
                                "print('seconds=%r' % ((time.perf_counter() - t) / " +
                                std::to_string(loads) + "))\" '" + path + "' 2>/dev/null";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        return -1;
    char line[256];
    double seconds = -1;
    while (std::fgets(line, sizeof line, pipe.get())) {
        if (std::sscanf(line, "seconds=%lf", &seconds) == 1)
            break;
    }
    return seconds;
}

// One run of the other reader: its time per load, and our speed-up over it.
void BM_ScikitRfNetworkLargeMA(benchmark::State& state)
{
    const std::string& path = Large().path;
    double ourBest = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const CS2PDataFile file('S', path, nullptr);
        benchmark::DoNotOptimize(file.GetNumPoints());
        ourBest = std::min(ourBest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    for (auto _ : state) {
        const double seconds = ScikitRfSeconds(path, 5);
        if (seconds <= 0) {
            state.SkipWithError("scikit-rf did not read the file");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["speedup"] = seconds / ourBest;
        state.counters["ours_ms"] = ourBest * 1e3;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (ScikitRfAvailable()) {
        benchmark::RegisterBenchmark("BM_ScikitRfNetworkLargeMA", BM_ScikitRfNetworkLargeMA)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
