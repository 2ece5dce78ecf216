// A 56 MB block query (10 devices of 99,999 points) over the LAN on loopback,
// through our VISA library (viWrite, then viRead of the whole block), against
// pyvisa-py reading the same block from the same sensor in the same run. The
// program enters a network namespace of its own, as the tests do.

#include "PrivateNetwork.h"
#include "SensorDataSet.h"
#include "ServedSensors.h"
#include "VisaBlockQuery.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

namespace
{

const char* const resource = "TCPIP0::127.0.0.2::inst0::INSTR";

// The served LAN sensor whose factory area holds the large data set.
struct LanSensor
{
    LanSensor() : sensors(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"), data(SensorDataSet(10, 99999))
    {
        SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
        identity.onUsb = false;
        identity.lanAddress = "127.0.0.2";
        sensors.Store().Add(identity, data);
        sensors.Start();
    }
    ServedSensors sensors;
    std::string data;
};

LanSensor& Sensor()
{
    static LanSensor sensor;
    return sensor;
}

void BM_OurVisaLanBlockQuery(benchmark::State& state)
{
    TimeOurVisaBlockQuery(state, resource, Sensor().data);
}
BENCHMARK(BM_OurVisaLanBlockQuery)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The same block written back (the sensor checks and stores it each time);
// the sensor takes 1 KiB a call, as it announces.
void BM_OurVisaLanBlockWrite(benchmark::State& state)
{
    const auto visa = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    const std::string& data = Sensor().data;
    ViSession manager = 0;
    ViSession session = 0;
    if (!visa || visa->viOpenDefaultRM(&manager) != VI_SUCCESS ||
        visa->viOpen(manager, resource, VI_NULL, VI_NULL, &session) != VI_SUCCESS) {
        state.SkipWithError("cannot open the LAN sensor");
        return;
    }
    visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, 60000);
    const std::string message = "*cls;cal:data #8" + std::to_string(data.size()) + data + "\n";
    const std::string check = "syst:err?\n";
    for (auto _ : state) {
        ViUInt32 count = 0;
        char reply[256];
        if (visa->viWrite(session, reinterpret_cast<ViConstBuf>(message.data()), static_cast<ViUInt32>(message.size()),
                          &count) != VI_SUCCESS ||
            visa->viWrite(session, reinterpret_cast<ViConstBuf>(check.data()), static_cast<ViUInt32>(check.size()),
                          &count) != VI_SUCCESS ||
            visa->viRead(session, reinterpret_cast<ViBuf>(reply), sizeof reply, &count) != VI_SUCCESS ||
            std::string(reply, count) != "0,\"No error\"\n") {
            state.SkipWithError("the block write failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    visa->viClose(manager);
}
BENCHMARK(BM_OurVisaLanBlockWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PyvisaPyLanBlockQuery(benchmark::State& state)
{
    TimePyvisaPyBlockQuery(state, resource, Sensor().data.size());
}
BENCHMARK(BM_PyvisaPyLanBlockQuery)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    const std::string problem = private_network::Enter();
    if (!problem.empty()) {
        std::fprintf(stderr, "bench_visa needs a network namespace of its own: %s\n", problem.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
