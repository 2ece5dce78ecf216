#include "NumberText.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cmath>
#include <random>
#include <vector>

namespace
{
// What a device table holds: frequencies from 10 MHz to 110 GHz, S-parameter
// magnitudes and phases, uncertainties, the odd zero and negative value.
std::vector<double> TableValues()
{
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> values;
    values.reserve(4096);
    while (values.size() < 4096) {
        values.push_back(1e7 * std::pow(1.1e4, unit(random)));          // frequency
        values.push_back(std::pow(10.0, -3 * unit(random)));            // magnitude
        values.push_back(360 * unit(random) - 180);                     // phase
        values.push_back(std::pow(10.0, -6 + 4 * unit(random)));        // uncertainty
        values.push_back(values.size() % 64 == 0 ? 0.0 : std::round(100 * unit(random))); // plain number
    }
    return values;
}

std::vector<QString> TableTexts(QString (*format)(double))
{
    std::vector<QString> texts;
    for (const double value : TableValues()) {
        texts.push_back(format(value));
    }
    return texts;
}

template <QString (*Format)(double)> void BM_Format(benchmark::State& state)
{
    const std::vector<double> values = TableValues();
    std::size_t i = 0;
    for (auto _ : state) {
        QString text = Format(values[i]);
        benchmark::DoNotOptimize(text);
        i = (i + 1) % values.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TextToDouble(benchmark::State& state)
{
    const std::vector<QString> texts = TableTexts(FormatValue);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextToDouble(texts[i], 0.0));
        i = (i + 1) % texts.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_NormalizeNumber(benchmark::State& state)
{
    const std::vector<QString> texts = TableTexts(FormatEngineering);
    std::size_t i = 0;
    for (auto _ : state) {
        QString text = texts[i];
        benchmark::DoNotOptimize(NormalizeNumber(text, true));
        i = (i + 1) % texts.size();
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK_TEMPLATE(BM_Format, FormatValue);
BENCHMARK_TEMPLATE(BM_Format, FormatEngineering);
BENCHMARK(BM_TextToDouble);
BENCHMARK(BM_NormalizeNumber);

BENCHMARK_MAIN();
