// A 56 MB block query (10 devices of 99,999 points) from one sensor over USB:
// through our VISA library to the sensor as a USB device under libusb (emulated
// at the usbfs level), through our VISA library to its simulator socket, and
// through pyvisa-py's own USB backend to the USB device, in the same run.

#include "EmulatedUsb.h"
#include "SensorDataSet.h"
#include "ServedSensors.h"
#include "VisaBlockQuery.h"

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
    TimeOurVisaBlockQuery(state,
                          state.range(0) == 0 ? "USB0::0x1B7E::0x0118::100001::INSTR"
                                              : "USB9::0x1B7E::0x0118::100001::INSTR",
                          Sensor().data);
}
BENCHMARK(BM_OurVisaUsbBlockQuery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PyvisaPyUsbBlockQuery(benchmark::State& state)
{
    TimePyvisaPyBlockQuery(state, "USB0::7038::280::100001::0::INSTR", Sensor().data.size());
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
