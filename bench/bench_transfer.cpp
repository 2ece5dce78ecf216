// The transfer dialogs' side of the sensor work:
//   - Scan with 20 served sensors, 10 on USB and 10 on the LAN;
//   - an upload of a 10 x 99,999-point data set (about 56 MB) through the
//     upload dialog over each path, with a timer ticking every 5 ms on the
//     window thread: "max_gap_ms" is the longest time between two ticks, which
//     says whether the window kept handling events during the transfer;
//   - a download of the same data set through the download dialog over each
//     path: the sensor's identity asked, the block written, read back and
//     compared (on the driver path also stored, restarted and read again).
//     The upload of the same block is the anchor for what the check costs.
// It runs in a network namespace of its own, as the tests do (no broadcast
// networks there, so the LAN search asks only the served sensors).

#include "DownloadDialog.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
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
#include <functional>
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

// The large data set in the factory area of sensor 100001, served on the
// path range(0): 0 driver, 1 VISA USB, 2 VISA LAN.
struct ServedLargeSet
{
    explicit ServedLargeSet(int path) : path(path), sensors(Base()), data(SensorDataSet(10, 99999))
    {
        SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
        identity.onUsb = path != 2;
        identity.lanAddress = path == 2 ? "127.0.0.2" : "";
        sensors.Store().Add(identity, data);
        sensors.Start();
        if (path != 0)
            visa = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    }
    int path;
    ServedSensors sensors;
    std::string data;
    std::shared_ptr<const VisaFunctions> visa;
};

// Runs one transfer in the dialog once its search is over: `start` begins it,
// `finished` says when it is over; the time between is measured, with the
// longest gap between two 5 ms ticks of the window thread.
bool TimeInDialog(benchmark::State& state, CDialog& dialog, const std::function<void()>& start,
                  const std::function<bool()>& finished, double& maxGap)
{
    bool ok = false;
    std::function<void()> run = [&] {
        if (!dialog.GetDlgItem(IDCANCEL)->isEnabled()) { // still searching
            QTimer::singleShot(20, &dialog, run);
            return;
        }
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
        start();
        ok = QTest::qWaitFor(finished, 120000);
        state.PauseTiming();
        ticks.stop();
        if (dialog.isVisible())
            dialog.EndDialog(IDOK);
    };
    QTimer::singleShot(0, &dialog, run);
    dialog.DoModal();
    return ok;
}

void BM_UploadThroughTheDialog(benchmark::State& state)
{
    ServedLargeSet served(static_cast<int>(state.range(0)));
    double maxGap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CUploadDialog dialog(1000, 60000, served.path == 2, true, nullptr, served.visa);
        const bool ok = TimeInDialog(
            state, dialog,
            [&] {
                dialog.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST)->SetItemSelected(0, true);
                dialog.SendCommand(IDC_UPLOAD);
            },
            [&] { return dialog.GetDlgItem(IDC_REBUILD_LIST)->isEnabled(); }, maxGap);
        state.ResumeTiming();
        if (!ok || dialog.ResultData() != served.data) {
            state.SkipWithError("the upload did not deliver the data set");
            break;
        }
    }
    state.counters["max_gap_ms"] = maxGap;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * served.data.size()));
}
BENCHMARK(BM_UploadThroughTheDialog)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(5);

void BM_CheckedDownloadThroughTheDialog(benchmark::State& state)
{
    ServedLargeSet served(static_cast<int>(state.range(0)));
    std::string said; // the dialog's last word, "Download successful." or why not
    ScopedMessageBoxPresenter presenter{[&](const MessageBoxRequest& request) {
        said = request.text.toStdString();
        return IDOK;
    }};
    double maxGap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CDownloadDialog dialog(1000, 60000, served.path == 2, true, nullptr, served.visa);
        dialog.SetSensorIdentity("TVX-18G", "100001");
        dialog.SetCalDates("2024-03-11", "2024-03-12", "2024-03-12", "2024-03-13", "2024-03-14");
        dialog.DataBuffer() = served.data;
        const bool ok = TimeInDialog(
            state, dialog, [&] { dialog.SendCommand(IDC_DOWNLOAD); }, [&] { return !dialog.isVisible(); }, maxGap);
        state.ResumeTiming();
        if (!ok || said != "Download successful." ||
            served.sensors.Store().LoadArea("100001", DataArea::Factory) != served.data) {
            state.SkipWithError(("the download failed: " + said).c_str());
            break;
        }
    }
    state.counters["max_gap_ms"] = maxGap;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * served.data.size()));
}
BENCHMARK(BM_CheckedDownloadThroughTheDialog)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);

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
