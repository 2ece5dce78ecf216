// The device editor's Touchstone commands on the largest table a device holds:
// a two-port file of 100,000 points in MA format (about 12 MB, CR LF, a comment
// header) imported through the File menu's handler into an open editor (read,
// parse, fill the grid), and the export of that table as S2P and uncertainty
// file. The file dialogs are answered with paths in a temporary folder.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialogPresenter.h"
#include "MessageBoxPresenter.h"
#include "Resource.h"
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

constexpr long points = 100000;

void AppendNumber(std::string& line, double value, int precision)
{
    char buffer[32];
    // to_chars: the file must not depend on the locale the application set.
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision);
    line.append(buffer, result.ptr);
}

// Frequencies from 10 MHz in steps of 100 kHz; magnitudes and angles that
// change from point to point.
std::string LargeMagnitudeAngleFile()
{
    std::string text = "! Two-port data, 100000 points\r\n! Generated for the import benchmark\r\n# HZ S MA R 50\r\n";
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
    Folder()
    {
        const std::string text = LargeMagnitudeAngleFile();
        std::ofstream(WideToPath(input), std::ios::binary) << text;
    }

    QTemporaryDir dir;
    QString input = dir.filePath(QStringLiteral("large.s2p"));
};

void BM_ImportS2P(benchmark::State& state)
{
    const Folder folder;
    state.counters["file_MB"] = static_cast<double>(QFileInfo(folder.input).size()) / 1e6;
    BenchEditor editor(state);
    editor.path = folder.input;
    for (auto _ : state)
    {
        editor.Command(ID_IMPORT_S2P);
        state.PauseTiming();
        if (editor.grid->GetRows() != points + 1)
        {
            state.SkipWithError("the table was not imported");
        }
        // The next import starts again from a small table.
        editor.grid->SetRows(2);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportS2P)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Export(benchmark::State& state, int command, const char* name)
{
    const Folder folder;
    BenchEditor editor(state);
    editor.path = folder.input;
    editor.Command(ID_IMPORT_S2P);
    if (editor.grid->GetRows() != points + 1)
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
