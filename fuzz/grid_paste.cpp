// Pasting a clipboard cell block into the device editor's grid (first two
// bytes: where the selection starts). Fixed cells never change; a cell either
// keeps its content or takes a number; rows are added only at the end, as
// copies of the new row, one per line at most; and pasting the grid's own
// cell block back at the same place changes nothing, every number bit for bit
// (unless it has empty lines, which a paste skips).

#include "FuzzCheck.h"
#include "GridClipboard.h"
#include "MSFlexGrid.h"
#include "NumberText.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr long columns = 5;
constexpr long dataRows = 3;

using Cells = std::vector<std::vector<QString>>;

// The exact texts: a number changed in any bit changes its text.
Cells CellsOf(const CMSFlexGrid& grid)
{
    Cells cells(static_cast<std::size_t>(grid.GetRows()));
    for (long row = 0; row < grid.GetRows(); ++row)
        for (long col = 0; col < grid.GetCols(); ++col)
            cells[row].push_back(grid.GetTextMatrixExact(row, col));
    return cells;
}

// Numbers as the grid shows them (engineering in column 1), texts and empty cells.
void Fill(CMSFlexGrid& grid)
{
    grid.SetCols(columns);
    grid.SetFixedCols(1);
    grid.SetRows(dataRows + 1);
    grid.SetColFormat(1, CellFormat::Engineering);
    for (long col = 2; col < columns; ++col)
        grid.SetColFormat(col, CellFormat::Value);
    const double numbers[] = {1500, 0.25, -2e-3};
    for (long row = 0; row <= dataRows; ++row) {
        for (long col = 0; col < columns; ++col) {
            const long kind = (row + col) % 5;
            const double number = numbers[kind % 3];
            const QString text = row == 0 || col == 0 ? QStringLiteral("fixed")
                                 : kind == 3          ? QStringLiteral("text")
                                 : kind == 4          ? QString()
                                 : col == 1           ? FormatEngineering(number)
                                                      : FormatValue(number);
            grid.SetTextMatrix(row, col, text);
        }
    }
}

void Select(CMSFlexGrid& grid, long row, long col, long rowSel, long colSel)
{
    grid.SetRow(row);
    grid.SetCol(col);
    grid.SetRowSel(rowSel);
    grid.SetColSel(colSel);
}

bool ShowsItsNumber(const CMSFlexGrid& grid, long row, long col)
{
    const std::optional<double> value = grid.GetValueMatrix(row, col);
    return value && grid.GetTextMatrix(row, col) == (col == 1 ? FormatEngineering(*value) : FormatValue(*value));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "grid_paste";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size < 2)
        return 0;
    CMSFlexGrid grid;
    Fill(grid);
    const long startRow = 1 + data[0] % dataRows;
    const long startCol = 1 + data[1] % (columns - 1);
    Select(grid, startRow, startCol, startRow, startCol);
    const Cells before = CellsOf(grid);
    const std::string text = Bytes(data + 2, size - 2);

    CellBlock newRow(1, columns);
    newRow.SetText(0, 0, "fixed");
    newRow.SetText(0, 1, "new");
    PasteCellBlockText(grid, text, newRow);
    const long appended = grid.GetRows() - (dataRows + 1);

    long lines = 0;
    for (std::size_t at = 0; at < text.size(); ++at)
        lines += (text[at] != '\r' && text[at] != '\n') && (at + 1 == text.size() || text[at + 1] == '\r' ||
                                                             text[at + 1] == '\n');
    Check(appended == std::max(0L, startRow + lines - (dataRows + 1)), "a paste appends the rows its lines need");
    const Cells after = CellsOf(grid);
    for (long row = 0; row < grid.GetRows(); ++row) {
        for (long col = 0; col < columns; ++col) {
            const QString old = row < static_cast<long>(before.size()) ? before[row][col]
                                : col == 0                              ? QStringLiteral("fixed")
                                : col == 1                              ? QStringLiteral("new")
                                                                        : QString();
            if (row == 0 || col == 0 || row < startRow || col < startCol)
                Check(after[row][col] == old, "cells outside the pasted block keep their text");
            else
                Check(after[row][col] == old || ShowsItsNumber(grid, row, col),
                      "a pasted cell keeps its content or takes a number");
        }
    }

    Select(grid, startRow, startCol, grid.GetRows() - 1, columns - 1);
    // Empty lines are skipped: a one-column block with an empty cell pastes
    // shifted, as documented.
    const std::string own = CellBlockText(grid);
    if (own.rfind("\r\n", 0) == 0 || own.find("\n\r\n") != std::string::npos)
        return 0;
    PasteCellBlockText(grid, own, newRow);
    Check(grid.GetRows() == dataRows + 1 + appended, "the grid's own block needs no rows");
    Check(CellsOf(grid) == after, "pasting the grid's own block changes nothing");
    return 0;
}
