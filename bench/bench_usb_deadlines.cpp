// How far past a 2 s timeout a call against a misbehaving USB sensor ends: a
// driver query and a VISA read against each misbehaviour of the hostile
// sensor socket of the tests. The figure is `overshoot_ms`; the anchor is the
// same driver query answered by a served sensor.

#include "HostileSensor.h"
#include "ServedSensors.h"
#include "TvxControl2.h"
#include "VisaLoader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace
{

constexpr int timeoutMs = 2000;
using Misbehaviour = HostileSensor::Misbehaviour;

// Runs `call` once per iteration and reports how long it took past the timeout.
template <typename Call>
void TimeAgainstTimeout(benchmark::State& state, Call call)
{
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        call();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, ms - timeoutMs);
    }
    state.counters["overshoot_ms"] = worst;
}

void BM_DriverQuery(benchmark::State& state)
{
    ServedSensors folder;
    HostileSensor sensor(static_cast<Misbehaviour>(state.range(0)));
    TimeAgainstTimeout(state, [] {
        int32_t handle = 0;
        if (TvxOpenDriver() == 0 && TvxOpenSensor((std::string("TVXUSB::") + HostileSensor::Serial).c_str(), &handle) == 0)
            TvxSendCommand(handle, "cal:data?", timeoutMs);
        TvxCloseDriver();
    });
}

void BM_VisaRead(benchmark::State& state)
{
    ServedSensors folder;
    HostileSensor sensor(static_cast<Misbehaviour>(state.range(0)));
    const auto visa = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    std::string buffer(1 << 20, '\0');
    TimeAgainstTimeout(state, [&] {
        ViSession manager = 0, session = 0;
        ViUInt32 count = 0;
        if (visa && visa->viOpenDefaultRM(&manager) == VI_SUCCESS &&
            visa->viOpen(manager, "USB9::0x1B7E::0x0118::666666::INSTR", VI_NULL, VI_NULL, &session) == VI_SUCCESS) {
            visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, timeoutMs);
            visa->viWrite(session, reinterpret_cast<ViConstBuf>("cal:data?\n"), 10, &count);
            visa->viRead(session, reinterpret_cast<ViBuf>(buffer.data()), static_cast<ViUInt32>(buffer.size()), &count);
        }
        if (manager)
            visa->viClose(manager);
    });
}

// The anchor: the query a served sensor answers, on the same path.
void BM_DriverQueryAnswered(benchmark::State& state)
{
    ServedSensors sensors;
    sensors.Add("100001");
    sensors.Start();
    int32_t handle = 0;
    if (TvxOpenDriver() != 0 || TvxOpenSensor("TVXUSB::100001", &handle) != 0) {
        state.SkipWithError("cannot open the served sensor");
        return;
    }
    for (auto _ : state)
        TvxSendCommand(handle, "*idn?", timeoutMs);
    TvxCloseDriver();
}

void EachMisbehaviour(benchmark::internal::Benchmark* benchmark)
{
    for (int m = 0; m <= static_cast<int>(Misbehaviour::StatusByteNeverComes); ++m)
        benchmark->Arg(m);
}

} // namespace

BENCHMARK(BM_DriverQuery)->Apply(EachMisbehaviour)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_VisaRead)->Apply(EachMisbehaviour)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_DriverQueryAnswered)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);
BENCHMARK_MAIN();
