#include "Clipboard.h"
#include "GridClipboard.h"
#include "MSFlexGrid.h"

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using rows::operator<<;

using Table = std::vector<std::vector<std::string>>;

// A device-editor-like table: fixed column 0, a frequency column and two value
// columns, distinct texts everywhere.
void Fill(CMSFlexGrid& grid, const Table& rows)
{
    grid.SetFixedCols(1);
    grid.SetCols(4);
    grid.SetRows(static_cast<long>(rows.size()) + 1);
    for (long row = 0; row < static_cast<long>(rows.size()); ++row)
    {
        for (long col = 0; col < 4; ++col)
        {
            grid.SetTextMatrix(row + 1, col, QString::fromStdString(rows[row][col]));
        }
    }
}

Table Contents(const CMSFlexGrid& grid)
{
    Table rows;
    for (long row = 1; row < grid.GetRows(); ++row)
    {
        rows.emplace_back();
        for (long col = 0; col < grid.GetCols(); ++col)
        {
            rows.back().push_back(grid.GetTextMatrix(row, col).toStdString());
        }
    }
    return rows;
}

void Select(CMSFlexGrid& grid, long row, long col, long rowSel, long colSel)
{
    grid.SetRow(row);
    grid.SetCol(col);
    grid.SetRowSel(rowSel);
    grid.SetColSel(colSel);
}

const Table sample = {{"1", "1e9", "0.5", "0.25"}, {"2", "2e9", "0.6", "0.35"}, {"3", "3e9", "0.7", "0.45"}};

struct CopyCase
{
    const char* scenario;
    long row, col, rowSel, colSel;
    const char* text;
};

using Copy = rows::Test<CopyCase>;

TEST_P(Copy, WritesTheSelectedBlockAsShown)
{
    const CopyCase& c = GetParam();
    CMSFlexGrid grid;
    Fill(grid, sample);
    grid.SetTextMatrix(2, 3, QStringLiteral("\u00b5x"));
    Select(grid, c.row, c.col, c.rowSel, c.colSel);
    EXPECT_EQ(CellBlockText(grid), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Grid, Copy,
    testing::Values(CopyCase{"OneCell", 2, 2, 2, 2, "0.6\r\n"},
                    CopyCase{"TwoByThree", 1, 1, 2, 3, "1e9\t0.5\t0.25\r\n2e9\t0.6\t\xb5x\r\n"},
                    CopyCase{"CornersReversed", 2, 3, 1, 1, "1e9\t0.5\t0.25\r\n2e9\t0.6\t\xb5x\r\n"},
                    CopyCase{"OneColumn", 1, 2, 3, 2, "0.5\r\n0.6\r\n0.7\r\n"}),
    rows::Name());

struct PasteCase
{
    const char* scenario;
    long row, col;
    const char* text;
    int appended;
    Table expected;
};

using Paste = rows::Test<PasteCase>;

TEST_P(Paste, WritesNumbersFromTheSelectionsCorner)
{
    const PasteCase& c = GetParam();
    CMSFlexGrid grid;
    Fill(grid, sample);
    Select(grid, c.row, c.col, c.row, c.col);
    int appended = 0;
    PasteCellBlockText(grid, c.text, [&grid, &appended] {
        ++appended;
        grid.AddItem(QStringLiteral("new"), grid.GetRows());
    });
    EXPECT_EQ(appended, c.appended);
    EXPECT_EQ(Contents(grid), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Grid, Paste,
    testing::Values(
        PasteCase{"CopiedBlockBackInPlace", 1, 1, "1e9\t0.5\t0.25\r\n2e9\t0.6\t0.35\r\n", 0, sample},
        PasteCase{"EmptyFieldLeavesItsCell",
                  1,
                  1,
                  "1\t\t3",
                  0,
                  {{"1", "1", "0.5", "3"}, {"2", "2e9", "0.6", "0.35"}, {"3", "3e9", "0.7", "0.45"}}},
        PasteCase{"NonNumbersLeaveTheirCells",
                  2,
                  1,
                  "x\t0.123456789\tn/a\r\n",
                  0,
                  {{"1", "1e9", "0.5", "0.25"}, {"2", "2e9", "0.123457", "0.35"}, {"3", "3e9", "0.7", "0.45"}}},
        PasteCase{"FrequencyColumnInEngineeringFormat",
                  1,
                  1,
                  " 1500 \t1500\t0.00005",
                  0,
                  {{"1", "1.5e3", "1500", "5e-5"}, {"2", "2e9", "0.6", "0.35"}, {"3", "3e9", "0.7", "0.45"}}},
        PasteCase{"ExtraLinesAppendRows",
                  2,
                  3,
                  "4\n5\r6\r\n\r\n7\n",
                  2,
                  {{"1", "1e9", "0.5", "0.25"},
                   {"2", "2e9", "0.6", "4"},
                   {"3", "3e9", "0.7", "5"},
                   {"new", "", "", "6"},
                   {"new", "", "", "7"}}},
        PasteCase{"FieldsBeyondTheLastColumnIgnored",
                  3,
                  2,
                  "8\t9\t10\t11",
                  0,
                  {{"1", "1e9", "0.5", "0.25"}, {"2", "2e9", "0.6", "0.35"}, {"3", "3e9", "8", "9"}}},
        PasteCase{"NothingToPaste", 1, 1, "", 0, sample}),
    rows::Name());

TEST(Paste, IntoATableWithoutDataRowsAppendsTheFirstRowEvenForNothing)
{
    for (const std::string& text : {std::string(), std::string("5e6\t0.5\r\n6e6\t0.6\r\n")})
    {
        CMSFlexGrid grid;
        Fill(grid, {});
        Select(grid, 1, 1, 1, 1);
        int appended = 0;
        PasteCellBlockText(grid, text, [&grid, &appended] {
            ++appended;
            grid.SetRows(grid.GetRows() + 1);
        });
        EXPECT_EQ(appended, text.empty() ? 1 : 2) << text;
        if (!text.empty())
        {
            EXPECT_EQ(Contents(grid), (Table{{"", "5e6", "0.5", ""}, {"", "6e6", "0.6", ""}}));
        }
    }
}

TEST(Clipboard, CopyThenPasteElsewhereGivesTheSameCells)
{
    CMSFlexGrid grid;
    Fill(grid, sample);
    Select(grid, 1, 2, 2, 3);
    CopyCells(grid);
    EXPECT_EQ(GetClipboardText8(), "0.5\t0.25\r\n0.6\t0.35\r\n");
    Select(grid, 2, 2, 2, 2);
    PasteCells(grid, [] { FAIL() << "no row needed"; });
    EXPECT_EQ(Contents(grid), (Table{{"1", "1e9", "0.5", "0.25"}, {"2", "2e9", "0.5", "0.25"}, {"3", "3e9", "0.6", "0.35"}}));
}

} // namespace
