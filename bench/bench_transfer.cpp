// The transfer dialogs' side of the sensor work:
//   - Scan with 20 served sensors, 10 on USB and 10 on the LAN;
//   - an upload of a 10 x 99,999-point data set (about 56 MB) through the
//     upload dialog over each path, with a timer ticking every 5 ms on the
//     window thread: "max_gap_ms" is the longest time between two ticks, which
//     says whether the window kept handling events during the transfer.
// It runs in a network namespace of its own, as the tests do (no broadcast
// networks there, so the LAN search asks only the served sensors).

#include "ListCtrl.h"
#include "PrivateNetwork.h"
#include "Resource.h"
#include "SensorDataSet.h"
#include "ServedSensors.h"
#include "UploadDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

namespace
{

std::string Base()
{
    return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

void BM_ScanTwentySensors(benchmark::State& state)
{
    ServedSensors sensors(Base());
    for (int i = 0; i < 10; ++i) {
        sensors.Add("10000" + std::to_string(i));
        SensorIdentity identity = NewSensorIdentity("20000" + std::to_string(i), "TVX-18G");
        identity.onUsb = false;
        identity.lanAddress = "127.0.0." + std::to_string(10 + i);
        sensors.Store().Add(identity, SampleDataFor("factory_v3.cal", "TVX-18G", identity.serialNumber));
    }
    sensors.Start();
    SensorList list(1000, VisaLoader::Load({OSTREL_VISA_LIBRARY}));
    for (auto _ : state) {
        list.Scan(true);
        if (list.records.size() != 20) {
            state.SkipWithError("not every sensor was found");
            break;
        }
    }
}
BENCHMARK(BM_ScanTwentySensors)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// range(0): 0 driver, 1 VISA USB, 2 VISA LAN.
void BM_UploadThroughTheDialog(benchmark::State& state)
{
    const int path = static_cast<int>(state.range(0));
    ServedSensors sensors(Base());
    const std::string data = SensorDataSet(10, 99999);
    SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
    identity.onUsb = path != 2;
    identity.lanAddress = path == 2 ? "127.0.0.2" : "";
    sensors.Store().Add(identity, data);
    sensors.Start();
    const auto visa = path == 0 ? nullptr : VisaLoader::Load({OSTREL_VISA_LIBRARY});
    double maxGap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CUploadDialog dialog(1000, 60000, path == 2, true, nullptr, visa);
        bool ok = false;
        QTimer::singleShot(0, &dialog, [&] {
            auto* list = dialog.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
            list->SetItemSelected(0, true);
            QElapsedTimer clock;
            qint64 last = 0;
            QTimer ticks;
            QObject::connect(&ticks, &QTimer::timeout, [&] {
                const qint64 now = clock.elapsed();
                maxGap = std::max(maxGap, static_cast<double>(now - last));
                last = now;
            });
            state.ResumeTiming();
            clock.start();
            ticks.start(5);
            dialog.SendCommand(IDC_UPLOAD);
            const bool finished =
                QTest::qWaitFor([&] { return dialog.GetDlgItem(IDC_REBUILD_LIST)->isEnabled(); }, 60000);
            state.PauseTiming();
            ticks.stop();
            ok = finished && dialog.ResultData().size() == data.size();
            dialog.EndDialog(IDOK);
        });
        dialog.DoModal();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("the upload did not deliver the data set");
            break;
        }
    }
    state.counters["max_gap_ms"] = maxGap;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_UploadThroughTheDialog)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    const std::string problem = private_network::Enter();
    if (!problem.empty()) {
        std::fprintf(stderr, "bench_transfer needs a network namespace of its own: %s\n", problem.c_str());
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
