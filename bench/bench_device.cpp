// The device editor on devices of 1,000, 10,000 and 99,999 frequency points
// (the most a device holds), each figure beside the anchor it is judged by,
// measured in the same run:
//   - opening until the dialog is shown, beside a to_chars pass over the
//     device's numbers (13 per point, shortest form); the editor on a device
//     of one point is the window's own share;
//   - the heap the open editor takes, per byte of the device's numbers as
//     doubles (counter heap_per_data);
//   - Edit > Paste of a whole table into a device of one point, and undoing
//     it, beside a from_chars pass over the same text's numbers;
//   - OK storing the table, and the plot's first frame and zoom steps.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "Clipboard.h"
#include "Device.h"
#include "EditFlexGrid.h"
#include "MessageBoxPresenter.h"
#include "NumberText.h"
#include "PlotWindow.h"
#include "Resource.h"
#include "Tamrix.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include <charconv>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr long mostPoints = 99999;
constexpr int numbersPerPoint = 13;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

double Frequency(long i)
{
    return 1e7 + 1e5 * static_cast<double>(i) + 0.25;
}

double Value(long i, int s)
{
    return 0.001 * static_cast<double>(i % 997) + s + 1.0 / 3;
}

CTamrix DataSet(long points)
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
        set.SetSParaFreq(0, i, Frequency(i));
        for (int s = 0; s < 4; ++s)
        {
            const double base = Value(i, s);
            set.SetSParaValue(0, i, tags[s], SParaValue(base, -base / 3, base / 700));
        }
    }
    return set;
}

// A whole table as the clipboard brings it: every number with its digits.
std::string TableText(long points)
{
    std::string text;
    for (long i = 0; i < points; ++i)
    {
        AppendEngineeringExact(text, Frequency(i));
        for (int col = 0; col < 12; ++col)
        {
            text += '\t';
            AppendValueExact(text, Value(i, col) / 7);
        }
        text += "\r\n";
    }
    return text;
}

std::unique_ptr<CDevice> OpenEditor(CTamrix& set)
{
    auto dialog = std::make_unique<CDevice>(0, &set, false);
    dialog->Create();
    dialog->show();
    QCoreApplication::processEvents();
    return dialog;
}

void Close(std::unique_ptr<CDevice>& dialog)
{
    dialog.reset();
    QCoreApplication::processEvents();
}

// Any message box is an error: the limits are in order and nothing is refused.
ScopedMessageBoxPresenter NoBoxes(benchmark::State& state)
{
    return ScopedMessageBoxPresenter([&state](const MessageBoxRequest& request) {
        state.SkipWithError(request.text.toStdString().c_str());
        return IDOK;
    });
}

void Points(benchmark::internal::Benchmark* bench)
{
    bench->Arg(1000)->Arg(10000)->Arg(mostPoints)->Unit(benchmark::kMillisecond);
}

void BM_ToCharsPass(benchmark::State& state)
{
    const CTamrix set = DataSet(state.range(0));
    std::vector<double> numbers;
    for (long i = 0; i < state.range(0); ++i)
    {
        numbers.push_back(set.GetSParaFreq(0, i));
        for (const SParaType<1>* tag : tags)
        {
            const SParaValue v = set.GetSParaValue(0, i, tag);
            numbers.insert(numbers.end(), {std::get<0>(v), std::get<1>(v), std::get<2>(v)});
        }
    }
    char buffer[32];
    for (auto _ : state)
    {
        std::size_t length = 0;
        for (const double number : numbers)
        {
            length += static_cast<std::size_t>(std::to_chars(buffer, buffer + sizeof buffer, number).ptr - buffer);
        }
        benchmark::DoNotOptimize(length);
    }
}
BENCHMARK(BM_ToCharsPass)->Apply(Points);

void BM_OpenDevice(benchmark::State& state)
{
    CTamrix set = DataSet(state.range(0));
    const auto noBoxes = NoBoxes(state);
    for (auto _ : state)
    {
        auto dialog = OpenEditor(set);
        state.PauseTiming();
        Close(dialog);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenDevice)->Arg(1)->Apply(Points);

// The heap the open editor holds, beside the device's numbers as doubles.
void BM_EditorHeap(benchmark::State& state)
{
    CTamrix set = DataSet(state.range(0));
    double perData = 0;
    for (auto _ : state)
    {
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks;
        auto dialog = OpenEditor(set);
        const std::size_t open = mallinfo2().uordblks;
        perData = static_cast<double>(open - before) /
                  (static_cast<double>(state.range(0)) * numbersPerPoint * sizeof(double));
        Close(dialog);
    }
    state.counters["heap_per_data"] = perData;
}
BENCHMARK(BM_EditorHeap)->Arg(10000)->Arg(mostPoints)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FromCharsFloor(benchmark::State& state)
{
    const std::string text = TableText(state.range(0));
    std::vector<double> numbers(static_cast<std::size_t>(state.range(0)) * numbersPerPoint);
    for (auto _ : state)
    {
        const char* at = text.data();
        const char* const end = at + text.size();
        std::size_t i = 0;
        while (at < end)
        {
            if (*at == '\t' || *at == '\r' || *at == '\n')
            {
                ++at;
                continue;
            }
            at = std::from_chars(at, end, numbers[i++]).ptr;
        }
        benchmark::DoNotOptimize(numbers.data());
    }
}
BENCHMARK(BM_FromCharsFloor)->Apply(Points);

// Edit > Paste into a device of one point (`undo`: then Edit > Undo, which is
// what is timed).
void Paste(benchmark::State& state, bool undo)
{
    SetClipboardText8(TableText(state.range(0)));
    CTamrix set;
    set.SetSParaDeviceNumber(1);
    set.SetSParaFreqNumber(0, 1);
    const auto noBoxes = NoBoxes(state);
    for (auto _ : state)
    {
        state.PauseTiming();
        auto dialog = OpenEditor(set);
        undo ? dialog->SendCommand(ID_EDIT_PASTE) : void();
        state.ResumeTiming();
        dialog->SendCommand(undo ? ID_EDIT_UNDO : ID_EDIT_PASTE);
        state.PauseTiming();
        const long rows = dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID)->GetRows();
        if (rows != (undo ? 2 : state.range(0) + 1))
        {
            state.SkipWithError("the paste did not do what it should");
        }
        Close(dialog);
        state.ResumeTiming();
    }
}

void BM_Paste(benchmark::State& state)
{
    Paste(state, false);
}
BENCHMARK(BM_Paste)->Apply(Points);

void BM_UndoPaste(benchmark::State& state)
{
    Paste(state, true);
}
// Undoing takes microseconds; each is timed once after a paste.
BENCHMARK(BM_UndoPaste)->Apply(Points)->Iterations(20);

void BM_StoreDevice(benchmark::State& state)
{
    CTamrix set = DataSet(mostPoints);
    const auto noBoxes = NoBoxes(state);
    for (auto _ : state)
    {
        state.PauseTiming();
        auto dialog = OpenEditor(set);
        // A change, so that OK has something to store.
        dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID)->SetValueMatrix(1, 2, 0.5);
        state.ResumeTiming();
        dialog->SendCommand(IDOK);
        state.PauseTiming();
        if (dialog->result() != IDOK || set.GetSParaFreqNumber(0) != mostPoints)
        {
            state.SkipWithError("the device was not stored");
        }
        Close(dialog);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreDevice)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PlotFirstFrame(benchmark::State& state)
{
    CTamrix set = DataSet(mostPoints);
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
        Close(dialog);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlotFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

// One step of the wheel on the plot, to the next frame.
void BM_PlotZoomStep(benchmark::State& state)
{
    CTamrix set = DataSet(mostPoints);
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
