// Transfers through the USB driver library to a simulated sensor served in this
// process: reading (upload) and writing (download) the factory data area, for
// the largest data set the editor handles (10 devices of 99,999 points, about
// 56 MB) and for one of realistic size (10 devices of 200 points). The floor is
// a plain copy of the same bytes over a local stream socket pair. The store
// lives in /dev/shm where there is one, so that the disk does not set the pace.

#include "SensorDataSet.h"
#include "ServedSensors.h"
#include "TvxControl2.h"

#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <thread>

namespace
{

const std::string& Data(bool large)
{
    static const std::string largeSet = SensorDataSet(10, 99999);
    static const std::string realisticSet = SensorDataSet(10, 200);
    return large ? largeSet : realisticSet;
}

// One served sensor whose factory area holds the data set; the driver is open.
class Sensor
{
public:
    explicit Sensor(const std::string& data, bool refusing = false)
        : m_sensors(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")
    {
        m_sensors.Add("100001");
        m_sensors.Store().SaveArea("100001", DataArea::Factory, data);
        if (refusing)
            m_sensors.SetFaults("100001", {"refuse-write=-350"});
        m_sensors.Start();
        TvxOpenDriver();
        TvxOpenSensor("TVXUSB::100001", &m_handle);
    }
    ~Sensor() { TvxCloseDriver(); }
    int32_t Handle() const { return m_handle; }

private:
    ServedSensors m_sensors;
    int32_t m_handle = 0;
};

// range(1): receive into fresh memory each time, as every real transfer does,
// or into the same buffer, whose pages are set up already.
void BM_SocketCopyFloor(benchmark::State& state)
{
    const std::string& data = Data(state.range(0) != 0);
    std::unique_ptr<char[]> reused(new char[data.size()]);
    std::memset(reused.get(), 0, data.size());
    for (auto _ : state) {
        std::unique_ptr<char[]> fresh(state.range(1) ? new char[data.size()] : nullptr);
        char* const received = fresh ? fresh.get() : reused.get();
        int pair[2];
        socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
        std::thread writer([&] {
            for (std::size_t at = 0; at < data.size();) {
                const ssize_t n = ::write(pair[0], data.data() + at, std::min<std::size_t>(data.size() - at, 1 << 20));
                if (n <= 0)
                    break;
                at += static_cast<std::size_t>(n);
            }
        });
        for (std::size_t at = 0; at < data.size();) {
            const ssize_t n = ::read(pair[1], received + at, data.size() - at);
            if (n <= 0)
                break;
            at += static_cast<std::size_t>(n);
        }
        writer.join();
        ::close(pair[0]);
        ::close(pair[1]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_SocketCopyFloor)
    ->ArgNames({"large", "fresh"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DriverUpload(benchmark::State& state)
{
    const std::string& data = Data(state.range(0) != 0);
    Sensor sensor(data);
    std::string buffer(data.size(), '\0');
    for (auto _ : state) {
        int32_t length = 0;
        int32_t count = 0;
        if (TvxSendCommand(sensor.Handle(), "cal:data?", 60000) != 0 ||
            TvxGetBinaryResultLength(sensor.Handle(), &length) != 0 ||
            TvxGetBinaryResult(sensor.Handle(), buffer.data(), length, &count) != 0 || count != length) {
            state.SkipWithError("upload failed");
            break;
        }
    }
    if (buffer != data)
        state.SkipWithError("the upload is not the data set");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_DriverUpload)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// Until the sensor has checked the data set and stored it; with range(1) the
// sensor refuses every write at once, which leaves the transfer alone.
void BM_DriverDownload(benchmark::State& state)
{
    const std::string& data = Data(state.range(0) != 0);
    Sensor sensor(data, state.range(1) != 0);
    const uint32_t expected = state.range(1) ? 0xD001FEA2 : 0;
    for (auto _ : state) {
        uint32_t code = 0;
        if (TvxSendBinaryBlock(sensor.Handle(), "cal:data", data.data(), static_cast<int32_t>(data.size()), 60000) != 0 ||
            TvxGetError(sensor.Handle(), &code) != 0 || code != expected) {
            state.SkipWithError("download failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_DriverDownload)
    ->ArgNames({"large", "refused"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
