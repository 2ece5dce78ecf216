// The data set library on the largest data set the editor handles in practice,
// 10 devices of 99,999 points each (about 56 MB stored): storing and loading,
// XML export and import, and the text rendering.

#include "Tamrix.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>

namespace
{

CTamrix BuildLargeSet()
{
    TamrixContent content;
    content.sensorName = "bench sensor";
    content.serialNumber = "100001";
    content.sParaDefaultDevice = 0;
    content.devices.resize(10);
    for (std::size_t d = 0; d < content.devices.size(); ++d) {
        SParaDevice& device = content.devices[d];
        device.mnemonic = "device " + std::to_string(d);
        device.points.resize(99999);
        for (std::size_t p = 0; p < device.points.size(); ++p) {
            SParaPoint& point = device.points[p];
            point.frequency = 1.0e6 + 1.0e5 * static_cast<double>(p);
            for (std::size_t v = 0; v < point.values.size(); ++v)
                point.values[v] = static_cast<float>(p % 1000) * 1.0e-3f + static_cast<float>(v);
        }
    }
    CTamrix set;
    set.ReplaceContent(std::move(content));
    return set;
}

const CTamrix& LargeSet()
{
    static const CTamrix set = BuildLargeSet();
    return set;
}

void BM_Store(benchmark::State& state)
{
    const CTamrix& set = LargeSet();
    std::string data;
    for (auto _ : state) {
        CTamrixUtil::StoreTMXToBuffer2(set, data, '3', '0');
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Store)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state)
{
    std::string data;
    CTamrixUtil::StoreTMXToBuffer2(LargeSet(), data, '3', '0');
    for (auto _ : state) {
        CTamrix set;
        CTamrixUtil::LoadTMXFromBuffer2(set, data);
        benchmark::DoNotOptimize(&set);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

// The figure the editor's users feel: store, then load what was stored.
void BM_StoreAndLoad(benchmark::State& state)
{
    const CTamrix& source = LargeSet();
    for (auto _ : state) {
        std::string data;
        CTamrixUtil::StoreTMXToBuffer2(source, data, '3', '0');
        CTamrix set;
        CTamrixUtil::LoadTMXFromBuffer2(set, data);
        benchmark::DoNotOptimize(&set);
    }
}
BENCHMARK(BM_StoreAndLoad)->Unit(benchmark::kMillisecond);

void BM_Validate(benchmark::State& state)
{
    const CTamrix& set = LargeSet();
    for (auto _ : state)
        CTamrix::Validate(set.Content());
}
BENCHMARK(BM_Validate)->Unit(benchmark::kMillisecond);

const std::string& LargeDocument()
{
    static const std::string document = [] {
        std::ostringstream out;
        LargeSet().ExportSPara(out);
        return out.str();
    }();
    return document;
}

// Counts what it is given and keeps nothing, so that only the export is measured.
class CountingBuffer final : public std::streambuf
{
public:
    std::size_t count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize size) override
    {
        count += static_cast<std::size_t>(size);
        return size;
    }
    int_type overflow(int_type c) override
    {
        ++count;
        return traits_type::not_eof(c);
    }
};

void BM_ExportSPara(benchmark::State& state)
{
    const CTamrix& set = LargeSet();
    for (auto _ : state) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        set.ExportSPara(out);
        benchmark::DoNotOptimize(buffer.count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations())
                            * static_cast<std::int64_t>(LargeDocument().size()));
}
BENCHMARK(BM_ExportSPara)->Unit(benchmark::kMillisecond);

void BM_ImportSPara(benchmark::State& state)
{
    const std::string& document = LargeDocument();
    const std::string path = "/tmp/bench_tamrix_document.xml";
    std::ofstream(path, std::ios::binary).write(document.data(), static_cast<std::streamsize>(document.size()));
    CTamrix set;
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        set.ImportSPara(in);
        benchmark::DoNotOptimize(set.GetSParaDeviceNumber());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(document.size()));
}
BENCHMARK(BM_ImportSPara)->Unit(benchmark::kMillisecond);

void BM_Visualize(benchmark::State& state)
{
    const CTamrix& set = LargeSet();
    for (auto _ : state) {
        const std::string text = set.Visualize();
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_Visualize)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
