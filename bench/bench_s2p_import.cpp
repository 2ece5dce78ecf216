// The device editor's Touchstone commands on two-port files of 1,000, 10,000
// and 99,999 points (the most a device holds; about 12 MB, MA format, CR LF, a
// comment header): the import through the File menu's handler into an open
// editor (read, parse, fill the table), undoing it, and, as their anchor in the
// same run, the reader alone on the same file; then the export of the largest
// table as S2P and uncertainty file. The file dialogs are answered with paths
// in a temporary folder. Runs on the offscreen platform unless QT_QPA_PLATFORM
// says otherwise.

#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialogPresenter.h"
#include "MessageBoxPresenter.h"
#include "Resource.h"
#include "S2PDataFile.h"
#include "Tamrix.h"
#include "TextConversion.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <charconv>
#include <fstream>
#include <memory>
#include <string>

namespace
{

constexpr long mostPoints = 99999;

void AppendNumber(std::string& line, double value, int precision)
{
    char buffer[32];
    // to_chars: the file must not depend on the locale the application set.
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision);
    line.append(buffer, result.ptr);
}

// Frequencies from 10 MHz in steps of 100 kHz; magnitudes and angles that
// change from point to point.
std::string MagnitudeAngleFile(long points)
{
    std::string text = "! Two-port data\r\n! Generated for the import benchmark\r\n# HZ S MA R 50\r\n";
    text.reserve(13 * 1000 * 1000);
    for (long i = 0; i < points; ++i)
    {
        AppendNumber(text, 1e7 + 1e5 * static_cast<double>(i), 7);
        for (int s = 0; s < 4; ++s)
        {
            text += ' ';
            AppendNumber(text, 0.001 + 0.0009 * static_cast<double>((i * (s + 3)) % 997), 6);
            text += ' ';
            AppendNumber(text, -179.5 + 0.37 * static_cast<double>((i * (s + 7)) % 970), 6);
        }
        text += "\r\n";
    }
    return text;
}

CTamrix SmallDataSet()
{
    CTamrix set;
    set.EnableUtf8Support(true);
    set.SetChannelNumber(1);
    set.SetSParaDeviceNumber(1);
    set.SetSPDMnemonic(0, "Benchmark device");
    set.SetSParaMinPower(0, 1e-9);
    set.SetSParaMaxPower(0, 0.1);
    set.SetSParaFreqNumber(0, 1);
    set.SetSParaFreq(0, 0, 1e9);
    return set;
}

// The editor shown on a small device, with every file dialog answered by the
// path of the moment and every message box reported as an error.
class BenchEditor
{
public:
    explicit BenchEditor(benchmark::State& state)
        : m_set(SmallDataSet())
        , m_boxes([&state](const MessageBoxRequest& request) {
            state.SkipWithError(request.text.toStdString().c_str());
            return IDOK;
        })
        , m_files([this](const FileDialogRequest&) { return std::optional<QString>(path); })
        , m_dialog(std::make_unique<CDevice>(0, &m_set, false))
    {
        m_dialog->Create();
        m_dialog->show();
        QCoreApplication::processEvents();
        grid = m_dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
    }

    void Command(int id) { m_dialog->SendCommand(id); }

    QString path;
    CEditFlexGrid* grid = nullptr;

private:
    CTamrix m_set;
    ScopedMessageBoxPresenter m_boxes;
    ScopedFileDialogPresenter m_files;
    std::unique_ptr<CDevice> m_dialog;
};

struct Folder
{
    explicit Folder(long points)
    {
        const std::string text = MagnitudeAngleFile(points);
        std::ofstream(WideToPath(input), std::ios::binary) << text;
    }

    QTemporaryDir dir;
    QString input = dir.filePath(QStringLiteral("large.s2p"));
};

void Points(benchmark::internal::Benchmark* bench)
{
    bench->Arg(1000)->Arg(10000)->Arg(mostPoints)->Unit(benchmark::kMillisecond);
}

void BM_ReaderAlone(benchmark::State& state)
{
    const Folder folder(state.range(0));
    for (auto _ : state)
    {
        const CS2PDataFile file('s', WideToPath(folder.input), [](const std::string&) {});
        benchmark::DoNotOptimize(file.GetNumPoints());
    }
}
BENCHMARK(BM_ReaderAlone)->Apply(Points);

// File > Import S2P into a device of one point (`undo`: then Edit > Undo,
// which is what is timed).
void Import(benchmark::State& state, bool undo)
{
    const Folder folder(state.range(0));
    state.counters["file_MB"] = static_cast<double>(QFileInfo(folder.input).size()) / 1e6;
    BenchEditor editor(state);
    editor.path = folder.input;
    for (auto _ : state)
    {
        state.PauseTiming();
        undo ? editor.Command(ID_IMPORT_S2P) : void();
        state.ResumeTiming();
        editor.Command(undo ? ID_EDIT_UNDO : ID_IMPORT_S2P);
        state.PauseTiming();
        if (editor.grid->GetRows() != (undo ? 2 : state.range(0) + 1))
        {
            state.SkipWithError("the import did not do what it should");
        }
        // The next import starts again from the small table.
        undo ? void() : editor.Command(ID_EDIT_UNDO);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_ImportS2P(benchmark::State& state)
{
    Import(state, false);
}
BENCHMARK(BM_ImportS2P)->Apply(Points);

void BM_UndoImportS2P(benchmark::State& state)
{
    Import(state, true);
}
// Undoing takes microseconds; each is timed once after an import.
BENCHMARK(BM_UndoImportS2P)->Apply(Points)->Iterations(20);

void BM_Export(benchmark::State& state, int command, const char* name)
{
    const Folder folder(mostPoints);
    BenchEditor editor(state);
    editor.path = folder.input;
    editor.Command(ID_IMPORT_S2P);
    if (editor.grid->GetRows() != mostPoints + 1)
    {
        state.SkipWithError("the table was not imported");
    }
    editor.path = folder.dir.filePath(QString::fromLatin1(name));
    for (auto _ : state)
    {
        editor.Command(command);
    }
    state.counters["file_MB"] = static_cast<double>(QFileInfo(editor.path).size()) / 1e6;
}
BENCHMARK_CAPTURE(BM_Export, S2P, ID_EXPORT_S2P, "export.s2p")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_Export, Uncertainty, ID_EXPORT_UNCERTAINTY, "export.txt")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
