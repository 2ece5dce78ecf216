#include "Bitmaps.h"
#include "CellEdit.h"
#include "GridHost.h"

#include <QDir>
#include <QHeaderView>
#include <QImage>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using rows::operator<<;

struct Selection
{
    long row;
    long col;
    long rowSel;
    long colSel;
};

bool operator==(const Selection& a, const Selection& b)
{
    return a.row == b.row && a.col == b.col && a.rowSel == b.rowSel && a.colSel == b.colSel;
}

void PrintTo(const Selection& s, std::ostream* out)
{
    *out << "Row " << s.row << " Col " << s.col << " RowSel " << s.rowSel << " ColSel " << s.colSel;
}

Selection SelectionOf(const CMSFlexGrid& grid)
{
    return {grid.GetRow(), grid.GetCol(), grid.GetRowSel(), grid.GetColSel()};
}

TEST(FixedCells, AClickOnTheRowHeaderSelectsTheDataColumnsOfThatRow)
{
    GridHost host;
    QHeaderView* rows = host.grid->verticalHeader();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, rows->sectionViewportPosition(1) + rows->sectionSize(1) / 2));
    GridHost::Settle();
    EXPECT_EQ(SelectionOf(*host.grid), (Selection{2, 1, 2, 3}));
}

struct ClampCase
{
    const char* scenario;
    Selection requested;
    Selection expected;
};

using FixedCellsAreNeverSelected = rows::Test<ClampCase>;

TEST_P(FixedCellsAreNeverSelected, SettersClampToDataCells)
{
    const ClampCase& c = GetParam();
    GridHost host;
    host.grid->SetRow(c.requested.row);
    host.grid->SetCol(c.requested.col);
    host.grid->SetRowSel(c.requested.rowSel);
    host.grid->SetColSel(c.requested.colSel);
    EXPECT_EQ(SelectionOf(*host.grid), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Grid, FixedCellsAreNeverSelected,
                         testing::Values(ClampCase{"HeaderRowAndFixedColumn", {0, 0, 0, 0}, {1, 1, 1, 1}},
                                         ClampCase{"BeyondTheTable", {9, 9, 9, 9}, {3, 3, 3, 3}},
                                         ClampCase{"WholeRows", {1, 1, 3, 3}, {1, 1, 3, 3}},
                                         ClampCase{"ReversedBlock", {3, 2, 2, 1}, {3, 2, 2, 1}}),
                         rows::Name());

struct RemovalCase
{
    const char* scenario;
    long removeFrom;
    long removeCount;
    Selection expected;
};

using RowsGoingAway = rows::Test<RemovalCase>;

TEST_P(RowsGoingAway, ClampRowAndRowSel)
{
    const RemovalCase& c = GetParam();
    GridHost host;
    host.grid->SetRows(10);
    host.grid->SetRow(6);
    host.grid->SetCol(2);
    host.grid->SetRowSel(9);
    host.grid->SetColSel(3);
    host.grid->RemoveRows(c.removeFrom, c.removeCount);
    EXPECT_EQ(SelectionOf(*host.grid), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Grid, RowsGoingAway,
                         testing::Values(RemovalCase{"BelowTheSelection", 8, 2, {6, 2, 7, 3}},
                                         RemovalCase{"AllButOne", 2, 8, {1, 2, 1, 3}},
                                         RemovalCase{"AllDataRows", 1, 9, {0, 2, 0, 3}}),
                         rows::Name());

TEST(RowsGoingAway, SelectingAllOfATableWithoutDataRowsSelectsNothing)
{
    GridHost host;
    host.grid->SetRows(1);
    host.grid->SetRow(1);
    host.grid->SetCol(1);
    host.grid->SetRowSel(host.grid->GetRows() - 1);
    host.grid->SetColSel(host.grid->GetCols() - 1);
    EXPECT_EQ(SelectionOf(*host.grid), (Selection{0, 1, 0, 3}));
    EXPECT_TRUE(host.grid->selectionModel()->selectedIndexes().isEmpty());
}

TEST(Keyboard, TabLeavesTheGrid)
{
    GridHost host;
    host.Click(2, 2);
    ASSERT_TRUE(host.grid->hasFocus());
    QTest::keyClick(host.grid, Qt::Key_Tab);
    GridHost::Settle();
    EXPECT_FALSE(host.grid->hasFocus());
    EXPECT_EQ(host.grid->GetRow(), 2);
    EXPECT_EQ(host.grid->GetCol(), 2);
}

TEST(Keyboard, ArrowsMoveTheCurrentCellWithinTheDataCells)
{
    GridHost host;
    host.Click(1, 1);
    host.KeyToGrid(Qt::Key_Left);
    host.KeyToGrid(Qt::Key_Up);
    EXPECT_EQ(SelectionOf(*host.grid), (Selection{1, 1, 1, 1}));
    host.KeyToGrid(Qt::Key_Down);
    host.KeyToGrid(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(SelectionOf(*host.grid), (Selection{2, 2, 2, 1}));
}

TEST(Rows, AddItemInsertsAndRemoveItemRemovesWholeRows)
{
    CMSFlexGrid grid;
    grid.SetCols(3);
    grid.SetRows(2);
    grid.SetTextMatrix(1, 0, QStringLiteral("first"));
    grid.AddItem(QStringLiteral("a\t\tc\textra"), 1);
    grid.AddItem(QStringLiteral("z"), -1);
    ASSERT_EQ(grid.GetRows(), 4);
    EXPECT_EQ(grid.GetTextMatrix(1, 0), QStringLiteral("a"));
    EXPECT_EQ(grid.GetTextMatrix(1, 1), QString());
    EXPECT_EQ(grid.GetTextMatrix(1, 2), QStringLiteral("c"));
    EXPECT_EQ(grid.GetTextMatrix(2, 0), QStringLiteral("first"));
    EXPECT_EQ(grid.GetTextMatrix(3, 0), QStringLiteral("z"));

    grid.RemoveItem(1);
    EXPECT_EQ(grid.GetRows(), 3);
    EXPECT_EQ(grid.GetTextMatrix(1, 0), QStringLiteral("first"));
    grid.InsertRows(2, 3);
    EXPECT_EQ(grid.GetRows(), 6);
    EXPECT_EQ(grid.GetTextMatrix(2, 0), QString());
    EXPECT_EQ(grid.GetTextMatrix(5, 0), QStringLiteral("z"));
    grid.RemoveRows(1, 4);
    EXPECT_EQ(grid.GetRows(), 2);
    EXPECT_EQ(grid.GetTextMatrix(1, 0), QStringLiteral("z"));
    grid.SetTextMatrix(7, 0, QStringLiteral("nowhere"));
    EXPECT_EQ(grid.GetTextMatrix(7, 0), QString());
}

TEST(Rows, TextsOutsideLatin1SurviveTheCells)
{
    CMSFlexGrid grid;
    const QString text = QStringLiteral("S\u2081\u2081 \u00b5W \U0001F4C8");
    grid.SetTextMatrix(1, 1, text);
    EXPECT_EQ(grid.GetTextMatrix(1, 1), text);
}

TEST(Geometry, ColumnWidthsAndTheCellRectangleAreInTwips)
{
    GridHost host;
    host.grid->SetColWidth(2, 1440);
    host.Click(2, 2);
    const long pixelTwips = 1440 / host.grid->logicalDpiX() + 1;
    EXPECT_NEAR(host.grid->GetColWidth(2), 1440, pixelTwips);
    EXPECT_NEAR(host.grid->GetCellWidth(), 1440, pixelTwips);
    EXPECT_GT(host.grid->GetCellLeft(), host.grid->GetColWidth(1));
    EXPECT_GT(host.grid->GetCellTop(), host.grid->GetCellHeight());
    EXPECT_EQ(host.grid->GetCellBackColor(), 0u);
    EXPECT_EQ(host.grid->GetCellForeColor(), 0u);
}

TEST(Pictures, SitInTheirCellsAndLeaveTheCurrentCellAlone)
{
    GridHost host;
    host.Click(2, 3);
    host.grid->SetCheckCell(1, 2, true);
    host.grid->SetCheckCell(2, 2, false);
    host.grid->SetGreyCell(3, 2);
    host.grid->SetRadioColumn(2, 3);
    host.grid->SetRadioCell(0, 3, true);
    EXPECT_EQ(host.grid->GetRow(), 2);
    EXPECT_EQ(host.grid->GetCol(), 3);
    const auto image = [&host](long row, long col) { return host.grid->GetCellPictureAt(row, col).toImage(); };
    EXPECT_EQ(image(1, 2), LoadBitmapImage(IDB_CHECK_TICKED).convertToFormat(image(1, 2).format()));
    EXPECT_EQ(image(2, 2), LoadBitmapImage(IDB_CHECK_EMPTY).convertToFormat(image(2, 2).format()));
    EXPECT_EQ(image(3, 2), LoadBitmapImage(IDB_GREY_BOX).convertToFormat(image(3, 2).format()));
    EXPECT_EQ(image(1, 3), LoadBitmapImage(IDB_RADIO_CLEAR).convertToFormat(image(1, 3).format()));
    EXPECT_EQ(image(2, 3), LoadBitmapImage(IDB_RADIO_SET).convertToFormat(image(2, 3).format()));
    EXPECT_TRUE(host.grid->GetCellPictureAt(0, 3).isNull());
    EXPECT_EQ(host.grid->GetCellPictureAlignment(), 4);

    host.grid->RemoveItem(1);
    EXPECT_EQ(image(1, 2), LoadBitmapImage(IDB_CHECK_EMPTY).convertToFormat(image(1, 2).format()))
        << "pictures move with their rows";
}

TEST(Rendering, AGridWithAnOpenEditorLooksLikeASpreadsheet)
{
    GridHost host;
    host.grid->SetCheckCell(1, 3, true);
    host.grid->SetRadioCell(2, 3, true);
    host.DoubleClick(2, 2);
    host.Type(QStringLiteral("0.625"));
    const QImage picture = host.grab().toImage();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("grid_with_editor.png"));
    ASSERT_TRUE(picture.save(path));
    const QRect editor = host.grid->GetCellEdit().geometry().translated(host.grid->viewport()->mapTo(&host, QPoint()));
    EXPECT_TRUE(host.rect().contains(editor));
    EXPECT_EQ(editor.intersected(host.grid->geometry()), editor);
}

} // namespace
