// The Touchstone reader on two-port files of 1,000, 10,000 and 100,000 points
// in MA format with CR LF line ends and a comment header, the numbers as a
// network analyser writes them (7 to 10 significant digits), read from memory
// and from the file. Each figure is set against a floor measured alongside it
// in the same run: a plain pass that finds every number of the data lines and
// converts it with std::from_chars into an array made beforehand. The reader
// should take at most 1.2 times the floor (counter vs_floor), and at least 15
// times less than scikit-rf (Debian's python3-scikit-rf) reading the same file
// (counter speedup); ns_per_point shows that time grows with the points alone.
// The machine may be shared: vs_floor is the median of the ratios of readings
// taken side by side, the times are the quickest.
//
// The heap keeps the memory it is given back, as the floor keeps its array:
// otherwise every reading pays the kernel for fresh pages (the file's bytes and
// the table), which on a virtual machine can cost more than the parse itself.
// --fresh_memory leaves the C library's defaults and shows that cost.

#include "S2PDataFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <malloc.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace
{

const char* const python = "/usr/bin/python3";
constexpr int columns = 9;

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

const std::string header = "! Two-port measurement\r\n"
                           "! Frequency S11 S21 S12 S22, magnitude and angle\r\n"
                           "!\r\n"
                           "# HZ S MA R 50\r\n";

std::string MakeText(int points)
{
    std::string text = header;
    text.reserve(header.size() + static_cast<std::size_t>(points) * 128);
    char line[256];
    for (int point = 0; point < points; ++point) {
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
    return text;
}

struct TestFile
{
    std::string text;
    std::string path;
};

// The file of `points` points, written once.
const TestFile& File(int points)
{
    static BenchFolder folder;
    static std::map<int, TestFile> files;
    auto found = files.find(points);
    if (found == files.end()) {
        TestFile file{MakeText(points), folder.Path() + "/points" + std::to_string(points) + ".s2p"};
        std::ofstream(file.path, std::ios::binary).write(file.text.data(), static_cast<std::streamsize>(file.text.size()));
        if (std::filesystem::file_size(file.path) != file.text.size())
            throw std::runtime_error("cannot write " + file.path);
        found = files.emplace(points, std::move(file)).first;
    }
    return found->second;
}

// The floor: every number of the data lines by std::from_chars, blanks and line ends skipped.
void FloorPass(const std::string& text, std::vector<double>& numbers)
{
    const char* p = text.data() + header.size();
    const char* const last = text.data() + text.size();
    double* out = numbers.data();
    for (;;) {
        while (p != last && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n'))
            ++p;
        if (p == last)
            break;
        p = std::from_chars(p, last, *out++).ptr;
    }
    if (out != numbers.data() + numbers.size())
        throw std::runtime_error("the floor did not find every number");
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times `read` once per iteration with a floor pass right before it, so that
// both see the same machine (it is shared with other work): the ratio is the
// median of the iterations' ratios, the times the quickest of each.
template <typename Read>
void AgainstTheFloor(benchmark::State& state, const Read& read)
{
    const int points = static_cast<int>(state.range(0));
    const TestFile& file = File(points);
    std::vector<double> numbers(static_cast<std::size_t>(points) * columns);
    std::vector<double> ratios;
    double readerBest = 1e9, floorBest = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        FloorPass(file.text, numbers);
        const double floor = Seconds(start);
        benchmark::DoNotOptimize(numbers.data());

        const double seconds = read(file);
        state.SetIterationTime(seconds);
        ratios.push_back(seconds / floor);
        readerBest = std::min(readerBest, seconds);
        floorBest = std::min(floorBest, floor);
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.counters["floor_ms"] = floorBest * 1e3;
    state.counters["reader_ms"] = readerBest * 1e3;
    state.counters["vs_floor"] = ratios[ratios.size() / 2];
    state.counters["ns_per_point"] = readerBest * 1e9 / points;
}

double ReadFromMemory(const TestFile& file)
{
    // The reader appends a line end to the bytes it is given; a string with room for it is not copied.
    std::string content;
    content.reserve(file.text.size() + 2);
    content = file.text;
    const auto start = std::chrono::steady_clock::now();
    const CS2PDataFile data('S', std::move(content), "bench.s2p", nullptr);
    benchmark::DoNotOptimize(data.GetNumPoints());
    return Seconds(start);
}

double ReadFromFile(const TestFile& file)
{
    const auto start = std::chrono::steady_clock::now();
    const CS2PDataFile data('S', file.path, nullptr);
    benchmark::DoNotOptimize(data.GetNumPoints());
    return Seconds(start);
}

void BM_ReaderFromMemory(benchmark::State& state)
{
    AgainstTheFloor(state, ReadFromMemory);
}

void BM_ReaderFromFile(benchmark::State& state)
{
    AgainstTheFloor(state, ReadFromFile);
}

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

// scikit-rf's time per load of the same file, and the reader's speed-up over it.
void BM_ScikitRf(benchmark::State& state)
{
    const TestFile& file = File(static_cast<int>(state.range(0)));
    double ourBest = 1e9;
    for (int i = 0; i < 20; ++i)
        ourBest = std::min(ourBest, ReadFromFile(file));
    for (auto _ : state) {
        const double seconds = ScikitRfSeconds(file.path, 5);
        if (seconds <= 0) {
            state.SkipWithError("scikit-rf did not read the file");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["speedup"] = seconds / ourBest;
        state.counters["reader_ms"] = ourBest * 1e3;
    }
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseManualTime();
}

BENCHMARK(BM_ReaderFromMemory)->Apply(Sizes);
BENCHMARK(BM_ReaderFromFile)->Apply(Sizes);

} // namespace

int main(int argc, char** argv)
{
    const auto fresh = std::find(argv + 1, argv + argc, std::string_view("--fresh_memory"));
    if (fresh != argv + argc) {
        std::rotate(fresh, fresh + 1, argv + argc);
        --argc;
    } else {
        // Blocks up to 32 MiB (every one of these files) come from the heap, which is never trimmed.
        ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        ::mallopt(M_TRIM_THRESHOLD, -1);
    }
    if (ScikitRfAvailable()) {
        benchmark::RegisterBenchmark("BM_ScikitRf", BM_ScikitRf)->Apply(Sizes)->Iterations(1);
    } else {
        std::fprintf(stderr, "BM_ScikitRf skipped: %s cannot import skrf (Debian package python3-scikit-rf)\n", python);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
