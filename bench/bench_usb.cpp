// A 56 MB block query (10 devices of 99,999 points) from one sensor over USB:
// through our VISA library to the sensor as a USB device under libusb (emulated
// at the usbfs level), through our VISA library to its simulator socket, and
// through pyvisa-py's own USB backend to the USB device, in the same run.

#include "EmulatedUsb.h"
#include "SensorDataSet.h"
#include "ServedSensors.h"
#include "VisaLoader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

namespace
{

struct UsbSensor
{
    UsbSensor() : sensors(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"), data(SensorDataSet(10, 99999))
    {
        sensors.Store().Add(NewSensorIdentity("100001", "TVX-18G"), data);
        sensors.Start();
        bus.AddSensor(sensors.Store(), "100001");
    }
    ServedSensors sensors;
    EmulatedUsbBus bus;
    std::string data;
};

UsbSensor& Sensor()
{
    static UsbSensor sensor;
    return sensor;
}

// range(0): 0 the USB device, 1 the simulator's socket.
void BM_OurVisaUsbBlockQuery(benchmark::State& state)
{
    const char* const resource =
        state.range(0) == 0 ? "USB0::0x1B7E::0x0118::100001::INSTR" : "USB9::0x1B7E::0x0118::100001::INSTR";
    const auto visa = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    const std::string& data = Sensor().data;
    ViSession manager = 0;
    ViSession session = 0;
    if (!visa || visa->viOpenDefaultRM(&manager) != VI_SUCCESS ||
        visa->viOpen(manager, resource, VI_NULL, VI_NULL, &session) != VI_SUCCESS) {
        state.SkipWithError("cannot open the sensor");
        return;
    }
    visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, 60000);
    const std::string header = "#8" + std::to_string(data.size());
    std::string reply(header.size() + data.size() + 1, '\0');
    const std::string query = "*cls;cal:data?\n";
    for (auto _ : state) {
        ViUInt32 count = 0;
        if (visa->viWrite(session, reinterpret_cast<ViConstBuf>(query.data()), static_cast<ViUInt32>(query.size()),
                          &count) != VI_SUCCESS ||
            visa->viRead(session, reinterpret_cast<ViBuf>(reply.data()), static_cast<ViUInt32>(reply.size()), &count) !=
                VI_SUCCESS ||
            count != reply.size()) {
            state.SkipWithError("the block query failed");
            break;
        }
    }
    if (reply.compare(header.size(), data.size(), data) != 0)
        state.SkipWithError("the block is not the data set");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    visa->viClose(manager);
}
BENCHMARK(BM_OurVisaUsbBlockQuery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Times taken by pyvisa-py itself (interpreter start-up excluded).
void BM_PyvisaPyUsbBlockQuery(benchmark::State& state)
{
    const std::string command = "/usr/bin/python3 " OSTREL_BENCH_DATA_DIR "/pyvisa_py_block.py "
                                "USB0::7038::280::100001::0::INSTR " +
                                std::to_string(state.max_iterations) + " " + std::to_string(Sensor().data.size());
    FILE* const times = ::popen(command.c_str(), "r");
    if (!times) {
        state.SkipWithError("cannot run pyvisa-py");
        return;
    }
    for (auto _ : state) {
        double seconds = 0;
        if (std::fscanf(times, "%lf", &seconds) != 1) {
            state.SkipWithError("pyvisa-py did not read the block");
            break;
        }
        state.SetIterationTime(seconds);
    }
    ::pclose(times);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Sensor().data.size()));
}
BENCHMARK(BM_PyvisaPyUsbBlockQuery)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    EmulatedUsbBus::RestartUnderPreload(argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
