// How far past a 2 s timeout a VISA call on the LAN ends against an instrument
// that misbehaves at one stage of a session: viOpen (its 2 s connect budget)
// at the portmapper and at create_link, viWrite, viRead and viLock behind
// them. The figure is `overshoot_ms`. The program enters a network namespace
// of its own, as the tests do.

#include "HostileInstrument.h"
#include "PrivateNetwork.h"
#include "VisaLoader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace
{

constexpr int timeoutMs = 2000;
const char* const resource = "TCPIP0::127.0.0.9::inst0::INSTR";
using Stage = HostileInstrument::Stage;
using Misbehaviour = HostileInstrument::Misbehaviour;

void BM_VisaCall(benchmark::State& state)
{
    const auto stage = static_cast<Stage>(state.range(0));
    HostileInstrument instrument("127.0.0.9", stage, static_cast<Misbehaviour>(state.range(1)));
    const auto visa = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    const std::string data(100000, 'd');
    std::string buffer(1 << 20, '\0');
    double worst = 0;
    for (auto _ : state) {
        ViSession manager = 0, session = 0;
        ViUInt32 count = 0;
        visa->viOpenDefaultRM(&manager);
        const bool opening = stage == Stage::Portmapper || stage == Stage::CreateLink;
        if (!opening && visa->viOpen(manager, resource, VI_NULL, VI_NULL, &session) != VI_SUCCESS) {
            state.SkipWithError("cannot open the instrument");
            break;
        }
        visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, timeoutMs);
        const auto start = std::chrono::steady_clock::now();
        if (opening)
            visa->viOpen(manager, resource, VI_NULL, VI_NULL, &session);
        else if (stage == Stage::Write)
            visa->viWrite(session, reinterpret_cast<ViConstBuf>(data.data()), static_cast<ViUInt32>(data.size()), &count);
        else if (stage == Stage::Read)
            visa->viRead(session, reinterpret_cast<ViBuf>(buffer.data()), static_cast<ViUInt32>(buffer.size()), &count);
        else
            visa->viLock(session, VI_EXCLUSIVE_LOCK, timeoutMs, VI_NULL, VI_NULL);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, ms - timeoutMs);
        visa->viClose(manager);
    }
    state.counters["overshoot_ms"] = worst;
}

// The rows of the test of the same name: the misbehaviours each stage can show.
void EachStageAndMisbehaviour(benchmark::internal::Benchmark* benchmark)
{
    for (int stage = 0; stage <= static_cast<int>(Stage::Lock); ++stage)
        for (int misbehaviour = 0; misbehaviour <= static_cast<int>(Misbehaviour::Silent); ++misbehaviour)
            if (stage == static_cast<int>(Stage::Write) ||
                (stage == static_cast<int>(Stage::Read) && misbehaviour != static_cast<int>(Misbehaviour::TinyReceiveSize)) ||
                (misbehaviour != static_cast<int>(Misbehaviour::Piecemeal) &&
                 misbehaviour != static_cast<int>(Misbehaviour::TinyReceiveSize)))
                benchmark->Args({stage, misbehaviour});
}

} // namespace

BENCHMARK(BM_VisaCall)->Apply(EachStageAndMisbehaviour)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv)
{
    const std::string problem = private_network::Enter();
    if (!problem.empty()) {
        std::fprintf(stderr, "bench_vxi11_deadlines needs a network namespace of its own: %s\n", problem.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
