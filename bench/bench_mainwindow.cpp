// The main window loading the largest data sets users keep: 10 devices of
// 99,999 frequency points each, read from a file through the Load command and
// shown in the device list. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise; the settings go to a temporary folder.

#include "FileDialogPresenter.h"
#include "MessageBoxPresenter.h"
#include "OstrelDlg.h"
#include "Resource.h"
#include "Tamrix.h"
#include "TextConversion.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace
{

constexpr long devices = 10;
constexpr long points = 99999;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

CTamrix LargeDataSet()
{
    CTamrix set;
    set.EnableUtf8Support(true);
    set.SetChannelNumber(1);
    set.SetSensorName("TLS-18G");
    set.SetStockNumber("1000.0001.02");
    set.SetSerialNumber("100001");
    set.SetSParaDeviceNumber(devices);
    set.SetSParaDefaultDevice(0);
    for (long d = 0; d < devices; ++d)
    {
        set.SetSPDMnemonic(d, "Device " + std::to_string(d + 1));
        set.SetSParaFreqNumber(d, points);
        for (long i = 0; i < points; ++i)
        {
            set.SetSParaFreq(d, i, 1e7 + 1e5 * static_cast<double>(i));
            for (int s = 0; s < 4; ++s)
            {
                const double base = 0.001 * static_cast<double>((i + d) % 997) + s;
                set.SetSParaValue(d, i, tags[s], SParaValue(base, -base / 3, base / 700));
            }
        }
    }
    return set;
}

void BM_LoadAndShowDataSet(benchmark::State& state)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.cal"));
    CTamrixUtil::StoreTMXToFile2(LargeDataSet(), WideToPath(path).c_str(), '3', '0');
    const ScopedFileDialogPresenter files([&path](const FileDialogRequest&) { return std::optional<QString>(path); });
    const ScopedMessageBoxPresenter boxes([&state](const MessageBoxRequest& request) {
        state.SkipWithError(request.text.toStdString().c_str());
        return IDOK;
    });
    for (auto _ : state)
    {
        state.PauseTiming();
        auto window = std::make_unique<COstrelDlg>();
        window->Create();
        window->show();
        QCoreApplication::processEvents();
        state.ResumeTiming();

        window->SendCommand(ID_FILE_LOAD);
        QCoreApplication::processEvents();

        state.PauseTiming();
        if (window->DataSet().GetSParaDeviceNumber() != devices || !window->IsLoaded())
        {
            state.SkipWithError("the data set was not loaded");
        }
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAndShowDataSet)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
