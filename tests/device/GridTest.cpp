// The editable grid in the device editor's window, driven with real mouse and key
// events: a fixed column of row numbers, a Frequency column and two Value columns
// over three data rows. A row of the session table is what a user (or the owner
// through the grid's members) does, and everything the grid shows afterwards.

#include "Bitmaps.h"
#include "CellEdit.h"
#include "Clipboard.h"
#include "Dialog.h"
#include "EditFlexGrid.h"
#include "GridClipboard.h"
#include "GridMessages.h"
#include "GridNumbers.h"
#include "MessageBeep.h"
#include "MessageBoxPresenter.h"
#include "Resource.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace
{

using rows::operator<<;

// The device editor's window with a bare grid in place of its own. The grid's messages are
// recorded as letters: Activate, Insert, Delete, Select all, Copy, Paste.
class GridTest : public testing::Test, public CDialog
{
public:
    GridTest()
        : CDialog(IDD_DEVICE)
    {
        Create();
        ReplaceDlgItem(IDC_POINT_GRID, grid);
        grid->m_hNotifyWnd = GetSafeHwnd();
        for (UINT message = WM_GRID_ACTIVATE; message <= WM_GRID_PASTE; ++message)
        {
            MapMessage(message, [this, message](WPARAM, LPARAM) { messages += "AIDSCP"[message - WM_GRID_ACTIVATE]; });
        }
        const int types[] = {Locked, Frequency, Value, Value};
        const QString headers[] = {"No.", "Frequency", "S11", "S21"};
        grid->SetFixedCols(1);
        grid->SetupColumns(4, types, headers);
        grid->SetRows(4);
        const char* cells[] = {"1", "1e9", "0.5", "0.25", "2", "2e9", "0.6", "0.35", "3", "3e9", "0.7", "0.45"};
        for (int i = 0; i < 12; ++i)
        {
            grid->SetTextMatrix(i / 4 + 1, i % 4, cells[i]);
        }
        resize(700, 500);
        show();
        activateWindow();
        (void)QTest::qWaitForWindowActive(this);
        grid->setFocus(Qt::OtherFocusReason);
        Settle();
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i)
        {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QRect Cell(long row, long col) const { return grid->visualRect(grid->model()->index(int(row - 1), int(col - 1))); }

    // The data cells, rows separated by '|' and cells by ','; a picture follows its text in brackets.
    std::string Table() const
    {
        const std::pair<int, const char*> pictures[] = {{IDB_CHECK_TICKED, "[ticked]"}, {IDB_CHECK_EMPTY, "[empty]"},
            {IDB_RADIO_SET, "[set]"}, {IDB_RADIO_CLEAR, "[clear]"}, {IDB_GREY_BOX, "[grey]"}};
        std::string text;
        for (long cell = grid->GetCols(); cell < grid->GetRows() * grid->GetCols(); ++cell)
        {
            const long row = cell / grid->GetCols(), col = cell % grid->GetCols();
            text += (col > 0 ? "," : row > 1 ? "|" : "") + grid->GetTextMatrix(row, col).toStdString();
            const QImage image = grid->GetCellPictureAt(row, col).toImage();
            for (const auto& [id, name] : pictures)
            {
                text += !image.isNull() && image == LoadBitmapImage(id).convertToFormat(image.format()) ? name : "";
            }
        }
        return text;
    }

    std::vector<MessageBoxRequest> boxes;
    ScopedMessageBoxPresenter presenter{[this](const MessageBoxRequest& request) { return boxes.push_back(request), IDOK; }};
    int beeps = 0;
    ScopedBeepHook beepHook{[this](UINT type) { beeps += type == MB_DEFAULT_BEEP ? 1 : 100; }};
    CEditFlexGrid* grid = new CEditFlexGrid;
    std::string messages;
    QWidget otherWindow;
};

using Step = std::function<void(GridTest&)>;
using G = CEditFlexGrid;

Step Call(std::function<void(G&)> call) { return [=](GridTest& t) { call(*t.grid); }; }
Step Select(long r, long c, long rs, long cs) { return Call([=](G& g) { g.SetRow(r), g.SetCol(c), g.SetRowSel(rs), g.SetColSel(cs); }); }
Step Key(Qt::Key key, Qt::KeyboardModifiers m = {}) { return [=](GridTest& t) { QTest::keyClick(t.grid, key, m); }; }
Step EditKey(Qt::Key key) { return [=](GridTest& t) { QTest::keyClick(&t.grid->GetCellEdit(), key); }; }
Step Type(const char* text) { return [=](GridTest& t) { QTest::keyClicks(&t.grid->GetCellEdit(), QString::fromUtf8(text)); }; }
Step Commit(bool result) { return Call([=](G& g) { EXPECT_EQ(g.CommitEdit(), result); }); }
Step Text(long row, long col, const char* text) { return Call([=](G& g) { g.SetTextMatrix(row, col, QString::fromUtf8(text)); }); }
const Step Copy = Call([](G& g) { CopyCells(g); });
const Step Return = EditKey(Qt::Key_Return);
const Step NoDataRows = Call([](G& g) { g.SetRows(1); });

// A click on a cell, or on a data row's header (col 0); with `twice` a double-click after it (row 0: on
// the first column's header).
Step Click(long row, long col, bool twice = false)
{
    return [=](GridTest& t) {
        QWidget* on = row == 0 ? t.grid->horizontalHeader()->viewport() : col == 0 ? t.grid->verticalHeader()->viewport() : t.grid->viewport();
        const QPoint at = row == 0 ? QPoint(5, 5) : col == 0 ? QPoint(5, t.Cell(row, 1).center().y()) : t.Cell(row, col).center();
        QTest::mouseClick(on, Qt::LeftButton, {}, at);
        twice ? QTest::mouseDClick(on, Qt::LeftButton, {}, at) : void();
    };
}

Step Double(long row, long col) { return Click(row, col, true); }

// As the device editor pastes; rows it appends show "new". nullptr: what the clipboard holds.
Step Paste(const char* text)
{
    return Call([=](G& g) {
        text != nullptr ? SetClipboardText8(text) : void();
        PasteCells(g, [&g] { g.AddItem("new", g.GetRows()); });
    });
}

// The focus goes to the mnemonic field (0), the grid (1) or another window (2).
Step FocusTo(int where)
{
    return [=](GridTest& t) {
        QWidget* to[] = {t.GetDlgItem(IDC_MNEMONIC), t.grid, &t.otherWindow};
        to[where]->show();
        to[where]->activateWindow();
        to[where]->setFocus(Qt::MouseFocusReason);
        (void)QTest::qWaitForWindowActive(to[where]);
    };
}

// Two and a half rows in view, so that row 3 lies partly below it.
const Step Shrink = Call([](G& g) {
    g.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g.resize(g.width(), g.height() - g.viewport()->height() + g.rowHeight(0) * 5 / 2);
});

// Row, Col, RowSel and ColSel.
using Selection = std::array<long, 4>;

enum Focus
{
    OnGrid,
    OnEditor,
    OnMnemonic,
    Away, // neither grid nor editor
};

struct Editor
{
    long row = 0; // 0: closed
    long col = 0;
    const char* text = "";
};

const char* const start = "1,1e9,0.5,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45";

struct Session
{
    const char* scenario;
    std::vector<Step> steps;
    Selection selection; // afterwards
    const char* messages = "";
    Editor editor = {};
    const char* table = start;
    Focus focus = OnGrid;
    int beeps = 0;
    const char* clipboard = nullptr; // nullptr: not looked at
    const char* box = "";            // the text of the one message box shown, with its stop icon
};

using GridSession = rows::Fixture<GridTest, Session>;

TEST_P(GridSession, ShowsWhatTheUserDid)
{
    const Session& c = GetParam();
    for (const Step& step : c.steps)
    {
        step(*this);
        Settle();
    }
    const Selection& e = c.selection;
    EXPECT_EQ((Selection{grid->GetRow(), grid->GetCol(), grid->GetRowSel(), grid->GetColSel()}), e);
    const long block = (std::abs(e[0] - e[2]) + 1) * (std::abs(e[1] - e[3]) + 1);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), grid->GetRows() > 1 ? block : 0) << "cells shown selected";
    EXPECT_EQ(std::make_tuple(messages, Table(), beeps), std::make_tuple(std::string(c.messages), std::string(c.table), c.beeps));
    const CCellEdit& edit = grid->GetCellEdit();
    ASSERT_EQ(grid->IsEditing(), c.editor.row != 0);
    if (grid->IsEditing())
    {
        EXPECT_EQ(std::make_tuple(edit.GetRow(), edit.GetCol(), edit.text()), std::make_tuple(c.editor.row, c.editor.col, QString::fromUtf8(c.editor.text)));
        EXPECT_EQ(edit.geometry(), Cell(c.editor.row, c.editor.col));
        EXPECT_TRUE(grid->viewport()->rect().contains(edit.geometry())) << "the edited cell is in view";
    }
    const QWidget* focus[] = {grid, &edit, GetDlgItem(IDC_MNEMONIC), QApplication::focusWidget() == grid ? nullptr : QApplication::focusWidget()};
    EXPECT_EQ(QApplication::focusWidget(), focus[c.focus]);
    EXPECT_TRUE(c.focus != Away || QApplication::focusWidget() != &edit);
    EXPECT_TRUE(c.clipboard == nullptr || GetClipboardText8() == c.clipboard) << GetClipboardText8();
    QString shown;
    for (const MessageBoxRequest& box : boxes)
    {
        shown += box.icon == MessageBoxIcon::Stop ? box.text : "?";
    }
    EXPECT_EQ(shown, c.box);
    for (long col = 0; col < grid->GetCols(); ++col)
    {
        EXPECT_TRUE(grid->GetCellPictureAt(0, col).isNull()) << "no picture in the header row";
    }
    EXPECT_TRUE(isVisible()) << "no key reached the dialog";
}

const Step pictures = Call([](G& g) {
    g.SetCheckCell(1, 2, true);
    g.SetCheckCell(2, 2, false);
    g.SetGreyCell(3, 2);
    g.SetRadioColumn(2, 3);
    g.SetRadioCell(0, 3, true);
});

INSTANTIATE_TEST_SUITE_P(
    Grid, GridSession,
    testing::Values(
        // Selection and structure.
        Session{"RowHeaderClickSelectsTheRowsDataCells", {Click(2, 0)}, {2, 1, 2, 3}},
        Session{"ArrowsAndShiftArrowStayInTheDataCells",
                {Click(1, 1), Key(Qt::Key_Left), Key(Qt::Key_Up), Key(Qt::Key_Down), Key(Qt::Key_Right, Qt::ShiftModifier)}, {2, 2, 2, 1}},
        Session{"TabLeavesTheGrid", {Click(2, 2), Key(Qt::Key_Tab)}, {2, 2, 2, 2}, "", {}, start, Away},
        Session{"RemovingRowsClampsRowAndRowSel", {Select(2, 2, 3, 3), Call([](G& g) { g.RemoveRows(2, 2); })}, {1, 2, 1, 3}, "", {}, "1,1e9,0.5,0.25"},
        Session{"NoDataRowsNoCellSelected", {Call([](G& g) { g.RemoveRows(1, 3); }), Select(1, 1, 3, 3)}, {0, 1, 0, 3}, "", {}, ""},
        Session{"RowsComeAndGoWithTheirTexts",
                {Call([](G& g) { g.AddItem("z\t\t9\t\textra", 2), g.AddItem("w", -1), g.RemoveItem(1), g.InsertRows(2, 2), g.RemoveRows(4, 2); }),
                 Text(9, 0, "nowhere"), Text(2, 2, "S\u2081\u2081 \u00b5W \U0001F4C8")},
                {1, 1, 1, 1}, "", {}, "z,,9,|,,S\u2081\u2081 \u00b5W \U0001F4C8,|,,,|w,,,"},
        Session{"PicturesSitCentredInTheirCells", {Click(2, 3), pictures, Call([](G& g) { EXPECT_EQ(g.GetCellPictureAlignment(), 4); })},
                {2, 3, 2, 3}, "", {}, "1,1e9,0.5[ticked],0.25[clear]|2,2e9,0.6[empty],0.35[set]|3,3e9,0.7[grey],0.45[clear]"},
        Session{"PicturesMoveWithTheirRows", {pictures, Call([](G& g) { g.AddItem("x", 1), g.RemoveItem(2); })}, {1, 1, 1, 1}, "", {},
                "x,,,|2,2e9,0.6[empty],0.35[set]|3,3e9,0.7[grey],0.45[clear]"},
        // Activation and the editor.
        Session{"DoubleClickOpensTheEditor", {Double(1, 1)}, {1, 1, 1, 1}, "A", {1, 1, "1e9"}, start, OnEditor},
        Session{"EnterOpensTheEditor", {Click(3, 2), Key(Qt::Key_Return)}, {3, 2, 3, 2}, "A", {3, 2, "0.7"}, start, OnEditor},
        Session{"LockedColumnOnlyPosts", {Call([](G& g) { g.SetColumnType(3, Locked); }), Double(2, 3), Click(1, 3), Key(Qt::Key_Return)},
                {1, 3, 1, 3}, "AA"},
        Session{"HeaderDoubleClickPostsNothing", {Double(0, 0)}, {1, 1, 3, 1}},
        Session{"EnterWritesFrequencyInEngineeringFormat", {Double(1, 1), Type(" 1500 "), Return}, {2, 1, 2, 1}, "AAA", {2, 1, "2e9"},
                "1,1.5e3,0.5,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45", OnEditor},
        Session{"EnterWritesValuePlain", {Double(1, 2), Type("1500"), Return}, {2, 2, 2, 2}, "AAA", {2, 2, "0.6"},
                "1,1e9,1500,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45", OnEditor},
        Session{"EnterOnTheLastRowWrapsToTheNextColumn", {Double(3, 1), Type("7e6"), Return}, {3, 2, 3, 2}, "AAA", {3, 2, "0.7"},
                "1,1e9,0.5,0.25|2,2e9,0.6,0.35|3,7e6,0.7,0.45", OnEditor},
        Session{"EnterOnTheLastCellStopsAtTheFixedColumn", {Double(3, 3), Type("-0.5"), Return}, {3, 3, 3, 3}, "AAA", {},
                "1,1e9,0.5,0.25|2,2e9,0.6,0.35|3,3e9,0.7,-0.5"},
        Session{"EnterScrollsTheNextEditorIntoView", {Shrink, Double(2, 2), Type("2"), Return}, {3, 2, 3, 2}, "AAA", {3, 2, "0.7"},
                "1,1e9,0.5,0.25|2,2e9,2,0.35|3,3e9,0.7,0.45", OnEditor},
        Session{"NotANumberBeepsAndStaysTrimmed", {Double(2, 1), Type(" abc "), Return}, {2, 1, 2, 1}, "AA", {2, 1, "abc"}, start, OnEditor, 1},
        Session{"NotANumberIsSelectedForRetyping", {Double(2, 1), Type("abc"), Return, Type("7"), Return}, {3, 1, 3, 1}, "AAAA",
                {3, 1, "3e9"}, "1,1e9,0.5,0.25|2,7,0.6,0.35|3,3e9,0.7,0.45", OnEditor, 1},
        Session{"EscapeDropsTheEdit", {Double(2, 1), Type("5"), EditKey(Qt::Key_Escape)}, {2, 1, 2, 1}, "A"},
        Session{"CursorKeysStayInTheEditor",
                {Double(2, 2), EditKey(Qt::Key_End), EditKey(Qt::Key_Left), Type("9"), EditKey(Qt::Key_Home), Type("8"), EditKey(Qt::Key_Right),
                 Type("7"), EditKey(Qt::Key_End), EditKey(Qt::Key_Up), EditKey(Qt::Key_Down), Type("6")},
                {2, 2, 2, 2}, "A", {2, 2, "807.966"}, start, OnEditor},
        Session{"LeavingTheCellCommitsANumber", {Double(1, 2), Type("42"), Click(2, 3)}, {2, 3, 2, 3}, "A", {},
                "1,1e9,42,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45"},
        Session{"LeavingTheCellKeepsTextInItsEditor", {Double(1, 2), Type("abc"), Click(2, 3), Type("9"), Commit(true)}, {2, 3, 2, 3}, "A",
                {}, "1,1e9,9,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45", OnGrid, 1},
        Session{"ScrollingWritesTheTextUnchecked", {Shrink, Double(1, 2), Type("abc"), Call([](G& g) { g.verticalScrollBar()->setValue(1); })},
                {1, 2, 1, 2}, "A", {}, "1,1e9,abc,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45"},
        Session{"FocusToAnotherControlCommits", {Double(1, 1), Type("2500e6"), FocusTo(0)}, {1, 1, 1, 1}, "AA", {},
                "1,2.5e9,0.5,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45", OnMnemonic},
        Session{"FocusToAnotherControlKeepsText", {Double(1, 1), Type("abc"), FocusTo(0)}, {1, 1, 1, 1}, "A", {1, 1, "abc"}, start, OnEditor, 1},
        Session{"FocusToTheGridLeavesTheEdit", {Double(1, 1), Type("3e9"), FocusTo(1)}, {1, 1, 1, 1}, "A", {1, 1, "3e9"}},
        Session{"FocusToAnotherWindowLeavesTheEdit", {Double(1, 1), Type("abc"), FocusTo(2)}, {1, 1, 1, 1}, "A", {1, 1, "abc"}, start, Away},
        Session{"CommitNormalisesAndStays", {Double(1, 1), Type("0.0025"), Commit(true)}, {1, 1, 1, 1}, "A", {},
                "1,2.5e-3,0.5,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45"},
        Session{"CommitRefusesText", {Double(1, 1), Type("1e9x"), Commit(false)}, {1, 1, 1, 1}, "A", {1, 1, "1e9x"}, start, OnEditor, 1},
        Session{"ColumnTypesOutOfRangeReported",
                {Call([](G& g) { g.SetColumnType(4, Value), g.SetColumnType(2, Frequency); }), Double(1, 2), Type("1500"), Return},
                {2, 2, 2, 2}, "AAA", {2, 2, "0.6"}, "1,1e9,1.5e3,0.25|2,2e9,0.6,0.35|3,3e9,0.7,0.45", OnEditor, 0, nullptr, "Error: Column index is not valid"},
        // Keys.
        Session{"CommandKeysPostTheirMessages",
                {Click(2, 2), Key(Qt::Key_Insert), Key(Qt::Key_Delete), Key(Qt::Key_A, Qt::ControlModifier), Key(Qt::Key_C, Qt::ControlModifier),
                 Key(Qt::Key_V, Qt::ControlModifier)},
                {2, 2, 2, 2}, "IDSCP"},
        Session{"TypingPostsNothing", {Click(2, 2), Key(Qt::Key_A), Key(Qt::Key_C), Key(Qt::Key_V), Key(Qt::Key_3)}, {2, 2, 2, 2}},
        // The clipboard.
        Session{"CopyClampsToTheFirstDataCell", {Select(0, 0, 0, 0), Copy}, {1, 1, 1, 1}, "", {}, start, OnGrid, 0, "1e9\r\n"},
        Session{"CopyClampsToTheLastCell", {Select(9, 9, 9, 9), Copy}, {3, 3, 3, 3}, "", {}, start, OnGrid, 0, "0.45\r\n"},
        Session{"CopyReversedBlockInLatin1", {Text(2, 3, "\u00b5x"), Select(2, 3, 1, 1), Copy}, {2, 3, 1, 1}, "", {},
                "1,1e9,0.5,0.25|2,2e9,0.6,\u00b5x|3,3e9,0.7,0.45", OnGrid, 0, "1e9\t0.5\t0.25\r\n2e9\t0.6\t\xb5x\r\n"},
        Session{"CopyThenPasteElsewhere", {Select(1, 2, 2, 3), Copy, Select(2, 2, 2, 2), Paste(nullptr)}, {2, 2, 2, 2}, "", {},
                "1,1e9,0.5,0.25|2,2e9,0.5,0.25|3,3e9,0.6,0.35", OnGrid, 0, "0.5\t0.25\r\n0.6\t0.35\r\n"},
        Session{"PasteWritesNumbersOnlyInTheColumnsFormat", {Select(1, 1, 1, 1), Paste(" 1500 \t\tx\r\nn/a\t0.123456789")}, {1, 1, 1, 1},
                "", {}, "1,1.5e3,0.5,0.25|2,2e9,0.123457,0.35|3,3e9,0.7,0.45"},
        Session{"PasteBeyondTheTableAppendsRowsAndDropsFields", {Select(2, 2, 2, 2), Paste("4\t40\t400\n5\r6\r\n\r\n7\n")}, {2, 2, 2, 2},
                "", {}, "1,1e9,0.5,0.25|2,2e9,4,40|3,3e9,5,0.45|new,,6,|new,,7,"},
        Session{"PasteIntoNoDataRowsAppendsTheFirst", {NoDataRows, Select(1, 1, 1, 1), Paste("5e6\t0.5\r\n6e6\t0.6")}, {1, 1, 1, 1}, "",
                {}, "new,5e6,0.5,|new,6e6,0.6,"},
        Session{"PasteOfNothingIntoNoDataRowsStillAppends", {NoDataRows, Select(1, 1, 1, 1), Paste("")}, {1, 1, 1, 1}, "", {}, "new,,,"}),
    rows::Name());

TEST_F(GridTest, ColumnWidthsAndTheCellRectangleAreInTwips)
{
    grid->SetColWidth(2, 1440);
    Click(2, 2)(*this);
    Settle();
    const long pixel = 1440 / grid->logicalDpiX() + 1;
    EXPECT_NEAR(grid->GetColWidth(2), 1440, pixel);
    EXPECT_NEAR(grid->GetCellWidth(), 1440, pixel);
    EXPECT_GT(grid->GetCellLeft(), grid->GetColWidth(1));
    EXPECT_GT(grid->GetCellTop(), grid->GetCellHeight());
}

struct NumberCase
{
    const char* scenario;
    const char* text;
    double asDouble;
    int asInt;
};

using NumberReaders = rows::Test<NumberCase>;

TEST_P(NumberReaders, ReadTheWholeTextOfACellOrLineEditOrGiveTheFallback)
{
    const NumberCase& c = GetParam();
    CMSFlexGrid grid;
    grid.SetTextMatrix(1, 1, c.text);
    const QLineEdit edit(c.text);
    const QLabel label(c.text);
    EXPECT_EQ(std::make_pair(CellToDouble(grid, 1, 1, -1.0), CellToDouble(grid, 5, 5, -1.0)), std::make_pair(c.asDouble, -1.0));
    EXPECT_EQ(std::make_pair(WindowToDouble(&edit, -1.0), WindowToDouble(&label, -1.0)), std::make_pair(c.asDouble, -1.0));
    EXPECT_EQ(std::make_pair(ParseIntOrDefault(&edit, -7), ParseIntOrDefault(&label, -7)), std::make_pair(c.asInt, -7));
}

INSTANTIATE_TEST_SUITE_P(Grid, NumberReaders,
                         testing::Values(NumberCase{"Integer", "-42", -42.0, -42}, NumberCase{"Engineering", "1.5e3", 1500.0, -7},
                                         NumberCase{"Blanks", " 42", -1.0, -7}, NumberCase{"TrailingExponent", "1e", -1.0, -7},
                                         NumberCase{"IntOverflow", "2147483648", 2147483648.0, -7}),
                         rows::Name());

} // namespace
