// The device editor's largest table: 99,999 frequency points x 14 columns.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "EditFlexGrid.h"
#include "GridClipboard.h"
#include "GridColumnType.h"
#include "NumberText.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

namespace
{

constexpr long dataRows = 99999;
constexpr long columns = 14;

double ResidentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::unique_ptr<CEditFlexGrid> MakeGrid(long rows)
{
    auto grid = std::make_unique<CEditFlexGrid>();
    int types[columns];
    QString headers[columns];
    for (long col = 0; col < columns; ++col)
    {
        types[col] = col == 0 ? Locked : col == 1 ? Frequency : Value;
        headers[col] = QStringLiteral("Column %1").arg(col);
    }
    grid->SetFixedCols(1);
    grid->SetupColumns(columns, types, headers);
    grid->SetColFormat(0, CellFormat::RowNumber);
    grid->SetColFormat(1, CellFormat::Engineering);
    for (long col = 2; col < columns; ++col)
    {
        grid->SetColFormat(col, CellFormat::Value);
    }
    grid->SetRows(rows + 1);
    grid->resize(1000, 700);
    grid->show();
    return grid;
}

double CellValue(long row, long col)
{
    return col == 1 ? 1e7 + 1e6 * static_cast<double>(row) : 0.001 * static_cast<double>(row % 997) + col;
}

void Fill(CMSFlexGrid& grid)
{
    for (long row = 1; row <= dataRows; ++row)
    {
        grid.SetTextMatrix(row, 0, QString::number(row));
        grid.SetTextMatrix(row, 1, FormatEngineering(CellValue(row, 1)));
        for (long col = 2; col < columns; ++col)
        {
            grid.SetTextMatrix(row, col, FormatValue(CellValue(row, col)));
        }
    }
}

void BM_FillFormattedNumbers(benchmark::State& state)
{
    for (auto _ : state)
    {
        state.PauseTiming();
        auto grid = MakeGrid(dataRows);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        Fill(*grid);
        state.PauseTiming();
        state.counters["RSS_MB"] = ResidentMegabytes();
        grid.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FillFormattedNumbers)->Unit(benchmark::kMillisecond)->Iterations(3);

// The grid's own share of the fill: the same texts, formatted beforehand.
void BM_FillPreformattedTexts(benchmark::State& state)
{
    std::vector<QString> texts;
    texts.reserve(static_cast<std::size_t>(dataRows) * columns);
    for (long row = 1; row <= dataRows; ++row)
    {
        texts.push_back(QString::number(row));
        texts.push_back(FormatEngineering(CellValue(row, 1)));
        for (long col = 2; col < columns; ++col)
        {
            texts.push_back(FormatValue(CellValue(row, col)));
        }
    }
    for (auto _ : state)
    {
        state.PauseTiming();
        auto grid = MakeGrid(dataRows);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        std::size_t i = 0;
        for (long row = 1; row <= dataRows; ++row)
        {
            for (long col = 0; col < columns; ++col)
            {
                grid->SetTextMatrix(row, col, texts[i++]);
            }
        }
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FillPreformattedTexts)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FirstPaint(benchmark::State& state)
{
    auto grid = MakeGrid(dataRows);
    Fill(*grid);
    QImage image(grid->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
    {
        QPainter painter(&image);
        grid->render(&painter);
    }
}
BENCHMARK(BM_FirstPaint)->Unit(benchmark::kMillisecond);

std::string FullBlockText()
{
    auto grid = MakeGrid(dataRows);
    Fill(*grid);
    grid->SetRow(1);
    grid->SetCol(1);
    grid->SetRowSel(dataRows);
    grid->SetColSel(columns - 1);
    return CellBlockText(*grid);
}

void BM_PasteFullBlock(benchmark::State& state)
{
    const std::string text = FullBlockText();
    auto grid = MakeGrid(dataRows);
    for (auto _ : state)
    {
        grid->SetRow(1);
        grid->SetCol(1);
        PasteCellBlockText(*grid, text, CellBlock(1, columns));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_PasteFullBlock)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PasteFullBlockAppendingRows(benchmark::State& state)
{
    const std::string text = FullBlockText();
    for (auto _ : state)
    {
        state.PauseTiming();
        auto grid = MakeGrid(0);
        state.ResumeTiming();
        PasteCellBlockText(*grid, text, CellBlock(1, columns));
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PasteFullBlockAppendingRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CopyFullBlock(benchmark::State& state)
{
    auto grid = MakeGrid(dataRows);
    Fill(*grid);
    grid->SetRow(1);
    grid->SetCol(1);
    grid->SetRowSel(dataRows);
    grid->SetColSel(columns - 1);
    for (auto _ : state)
    {
        std::string text = CellBlockText(*grid);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_CopyFullBlock)->Unit(benchmark::kMillisecond);

void BM_InsertAndRemoveRowBlock(benchmark::State& state)
{
    auto grid = MakeGrid(dataRows);
    Fill(*grid);
    for (auto _ : state)
    {
        grid->InsertRows(25000, 50000);
        grid->RemoveRows(25000, 50000);
    }
    state.counters["rows"] = static_cast<double>(grid->GetRows());
}
BENCHMARK(BM_InsertAndRemoveRowBlock)->Unit(benchmark::kMillisecond);

} // namespace
