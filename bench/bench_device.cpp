// The device editor on the largest device it can be given: 99,999 frequency
// points. Opening is measured until the dialog is shown; storing is OK writing
// limits, mnemonic and the whole table back into the data set; pasting is Edit >
// Paste of the whole table into a device of one point, the editor appending the
// rows; plotting is View > Plot until the plot window's first frame is drawn.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "Clipboard.h"
#include "Device.h"
#include "MessageBoxPresenter.h"
#include "NumberText.h"
#include "PlotWindow.h"
#include "Resource.h"
#include "Tamrix.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include <memory>
#include <string>

namespace
{

constexpr long points = 99999;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

CTamrix LargeDataSet()
{
    CTamrix set;
    set.EnableUtf8Support(true);
    set.SetChannelNumber(1);
    set.SetSParaDeviceNumber(1);
    set.SetSPDMnemonic(0, "Largest device");
    set.SetSParaMinPower(0, 1e-9);
    set.SetSParaMaxPower(0, 0.1);
    set.SetSParaFreqNumber(0, points);
    for (long i = 0; i < points; ++i)
    {
        set.SetSParaFreq(0, i, 1e7 + 1e5 * static_cast<double>(i));
        for (int s = 0; s < 4; ++s)
        {
            const double base = 0.001 * static_cast<double>(i % 997) + s;
            set.SetSParaValue(0, i, tags[s], SParaValue(base, -base / 3, base / 700));
        }
    }
    return set;
}

std::unique_ptr<CDevice> OpenEditor(CTamrix& set)
{
    auto dialog = std::make_unique<CDevice>(0, &set, false);
    dialog->Create();
    dialog->show();
    QCoreApplication::processEvents();
    return dialog;
}

void BM_OpenDevice(benchmark::State& state)
{
    CTamrix set = LargeDataSet();
    for (auto _ : state)
    {
        auto dialog = OpenEditor(set);
        state.PauseTiming();
        dialog.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenDevice)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StoreDevice(benchmark::State& state)
{
    CTamrix set = LargeDataSet();
    // The limits are in order, so OK asks nothing; any box would be an error.
    const ScopedMessageBoxPresenter presenter([&state](const MessageBoxRequest& request) {
        state.SkipWithError(request.text.toStdString().c_str());
        return IDOK;
    });
    for (auto _ : state)
    {
        state.PauseTiming();
        auto dialog = OpenEditor(set);
        state.ResumeTiming();
        dialog->SendCommand(IDOK);
        state.PauseTiming();
        if (dialog->result() != IDOK || set.GetSParaFreqNumber(0) != points)
        {
            state.SkipWithError("the device was not stored");
        }
        dialog.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreDevice)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PasteAppendingRows(benchmark::State& state)
{
    std::string text;
    for (long i = 0; i < points; ++i)
    {
        text += FormatEngineering(1e7 + 1e5 * static_cast<double>(i)).toStdString();
        for (int col = 0; col < 12; ++col)
        {
            text += '\t';
            text += FormatValue(0.001 * static_cast<double>(i % 997) + col).toStdString();
        }
        text += "\r\n";
    }
    SetClipboardText8(text);
    CTamrix set;
    set.SetSParaDeviceNumber(1);
    set.SetSParaFreqNumber(0, 1);
    for (auto _ : state)
    {
        state.PauseTiming();
        auto dialog = OpenEditor(set);
        state.ResumeTiming();
        dialog->SendCommand(ID_EDIT_PASTE);
        state.PauseTiming();
        dialog.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_PasteAppendingRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PlotFirstFrame(benchmark::State& state)
{
    CTamrix set = LargeDataSet();
    for (auto _ : state)
    {
        state.PauseTiming();
        auto dialog = OpenEditor(set);
        state.ResumeTiming();
        dialog->SendCommand(ID_VIEW_PLOT);
        auto* plot = dialog->findChild<CPlotWindow*>();
        QCoreApplication::processEvents();
        const QPixmap frame = plot->grab();
        benchmark::DoNotOptimize(frame);
        state.PauseTiming();
        dialog.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlotFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

// One step of the wheel on the plot, to the next frame.
void BM_PlotZoomStep(benchmark::State& state)
{
    CTamrix set = LargeDataSet();
    auto dialog = OpenEditor(set);
    dialog->SendCommand(ID_VIEW_PLOT);
    auto* plot = dialog->findChild<CPlotWindow*>();
    QCoreApplication::processEvents();
    bool in = true;
    for (auto _ : state)
    {
        const auto [from, to] = plot->FrequencyRange();
        const double quarter = (to - from) / 4;
        in ? plot->SetFrequencyRange(from + quarter, to - quarter) : plot->ResetZoom();
        in = !in;
        const QPixmap frame = plot->grab();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_PlotZoomStep)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
