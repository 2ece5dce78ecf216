#include "CellEdit.h"
#include "GridHost.h"
#include "MessageBeep.h"
#include "MessageBoxPresenter.h"

#include <QHeaderView>
#include <QScrollBar>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace
{

using rows::operator<<;

struct Cell
{
    long row;
    long col;
};

long CountOf(const std::vector<UINT>& messages, UINT message)
{
    return static_cast<long>(std::count(messages.begin(), messages.end(), message));
}

// Opens the editor on a cell with a double-click and forgets the messages so far.
void OpenEditor(GridHost& host, Cell cell)
{
    host.DoubleClick(cell.row, cell.col);
    ASSERT_TRUE(host.grid->IsEditing());
    host.messages.clear();
}

struct ActivationCase
{
    const char* scenario;
    bool byEnter;
    Cell cell;
    bool lockThirdColumn;
    bool editorOpens;
};

using Activation = rows::Test<ActivationCase>;

TEST_P(Activation, OpensTheEditorOnEditableCellsAndAlwaysPostsOnce)
{
    const ActivationCase& c = GetParam();
    GridHost host;
    if (c.lockThirdColumn)
    {
        host.grid->SetColumnType(3, Locked);
    }
    if (c.byEnter)
    {
        host.Click(c.cell.row, c.cell.col);
        host.messages.clear();
        host.KeyToGrid(Qt::Key_Return);
    }
    else
    {
        host.DoubleClick(c.cell.row, c.cell.col);
    }
    EXPECT_EQ(host.grid->IsEditing(), c.editorOpens);
    EXPECT_EQ(host.messages, std::vector<UINT>{WM_GRID_ACTIVATE});
    if (c.editorOpens)
    {
        const CCellEdit& edit = host.grid->GetCellEdit();
        EXPECT_EQ(edit.GetRow(), c.cell.row);
        EXPECT_EQ(edit.GetCol(), c.cell.col);
        EXPECT_EQ(edit.text(), host.grid->GetTextMatrix(c.cell.row, c.cell.col));
        EXPECT_EQ(edit.selectedText(), edit.text());
        EXPECT_TRUE(edit.hasFocus());
    }
}

INSTANTIATE_TEST_SUITE_P(Grid, Activation,
                         testing::Values(ActivationCase{"DoubleClickOnFrequency", false, {1, 1}, false, true},
                                         ActivationCase{"DoubleClickOnValue", false, {2, 3}, false, true},
                                         ActivationCase{"EnterOnValue", true, {3, 2}, false, true},
                                         ActivationCase{"DoubleClickOnLocked", false, {2, 3}, true, false},
                                         ActivationCase{"EnterOnLocked", true, {1, 3}, true, false}),
                         rows::Name());

TEST(Activation, DoubleClickOnTheHeaderRowPostsNothing)
{
    GridHost host;
    QWidget* header = host.grid->horizontalHeader()->viewport();
    const QPoint at(host.grid->columnViewportPosition(0) + 5, 5);
    QTest::mousePress(header, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(header, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(header, Qt::LeftButton, Qt::NoModifier, at);
    GridHost::Settle();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(host.grid->IsEditing());
}

struct EnterCase
{
    const char* scenario;
    Cell cell;
    const char* typed;
    const char* stored;
    bool nextEditor;
    Cell next;
};

using EnterInEditor = rows::Test<EnterCase>;

TEST_P(EnterInEditor, WritesTheNumberInTheColumnsFormatAndMovesOn)
{
    const EnterCase& c = GetParam();
    GridHost host;
    OpenEditor(host, c.cell);
    host.Type(QString::fromLatin1(c.typed));
    host.KeyToEditor(Qt::Key_Return);

    EXPECT_EQ(host.grid->GetTextMatrix(c.cell.row, c.cell.col), QString::fromLatin1(c.stored));
    EXPECT_EQ(host.grid->IsEditing(), c.nextEditor);
    EXPECT_EQ(CountOf(host.messages, WM_GRID_ACTIVATE), 2) << "one for the next cell, one for the commit";
    if (c.nextEditor)
    {
        EXPECT_EQ(host.grid->GetCellEdit().GetRow(), c.next.row);
        EXPECT_EQ(host.grid->GetCellEdit().GetCol(), c.next.col);
        EXPECT_EQ(host.grid->GetRow(), c.next.row);
        EXPECT_EQ(host.grid->GetCol(), c.next.col);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grid, EnterInEditor,
    testing::Values(EnterCase{"FrequencyTrimmedAndKept", {1, 1}, " 1.5e3 ", "1.5e3", true, {2, 1}},
                    EnterCase{"FrequencyInEngineeringFormat", {1, 1}, "1500", "1.5e3", true, {2, 1}},
                    EnterCase{"ValueStaysPlain", {1, 2}, "1500", "1500", true, {2, 2}},
                    EnterCase{"SmallValueScaled", {2, 3}, "0.00001234", "1.234e-5", true, {3, 3}},
                    EnterCase{"LastRowWrapsToNextColumn", {3, 1}, "7e6", "7e6", true, {3, 2}},
                    EnterCase{"LastCellWrapsToFixedColumn", {3, 3}, "-0.5", "-0.5", false, {0, 0}}),
    rows::Name());

TEST(EnterInEditor, NearTheBottomOfTheViewKeepsTheNewEditorOpen)
{
    GridHost host;
    host.grid->SetRows(400);
    const long lastVisible = host.grid->rowAt(host.grid->viewport()->height() - 1) + 1;
    host.grid->SetTextMatrix(lastVisible, 2, QStringLiteral("1"));
    OpenEditor(host, {lastVisible, 2});
    host.Type(QStringLiteral("2"));
    host.KeyToEditor(Qt::Key_Return);
    EXPECT_EQ(host.grid->GetTextMatrix(lastVisible, 2), QStringLiteral("2"));
    ASSERT_TRUE(host.grid->IsEditing());
    EXPECT_EQ(host.grid->GetCellEdit().GetRow(), lastVisible + 1);
    EXPECT_TRUE(host.grid->viewport()->rect().contains(host.grid->GetCellEdit().geometry().center()));
}

TEST(EnterInEditor, NotANumberBeepsKeepsTheEditorAndEscapeDropsIt)
{
    GridHost host;
    int beeps = 0;
    const ScopedBeepHook hook([&beeps](UINT type) {
        EXPECT_EQ(type, MB_DEFAULT_BEEP);
        ++beeps;
    });
    OpenEditor(host, {2, 1});
    host.Type(QStringLiteral(" abc "));
    host.KeyToEditor(Qt::Key_Return);
    EXPECT_EQ(beeps, 1);
    ASSERT_TRUE(host.grid->IsEditing());
    EXPECT_EQ(host.grid->GetCellEdit().text(), QStringLiteral("abc")) << "blanks are trimmed even so";
    EXPECT_EQ(host.grid->GetCellEdit().selectedText(), QStringLiteral("abc"));
    EXPECT_TRUE(host.grid->GetCellEdit().hasFocus());
    EXPECT_EQ(host.grid->GetTextMatrix(2, 1), QStringLiteral("2e9"));

    host.KeyToEditor(Qt::Key_Escape);
    EXPECT_FALSE(host.grid->IsEditing());
    EXPECT_EQ(host.grid->GetTextMatrix(2, 1), QStringLiteral("2e9"));
    EXPECT_EQ(host.grid->GetRow(), 2) << "closing the editor keeps the current cell";
    EXPECT_EQ(host.grid->GetCol(), 1);
    EXPECT_TRUE(host.grid->hasFocus());
    EXPECT_TRUE(host.isVisible()) << "Escape must not reach the dialog";
}

struct LeaveCase
{
    const char* scenario;
    const char* typed;
    bool committed;
};

using LeavingACell = rows::Test<LeaveCase>;

TEST_P(LeavingACell, CommitsANumberAndKeepsAnythingElseOpen)
{
    const LeaveCase& c = GetParam();
    GridHost host;
    int beeps = 0;
    const ScopedBeepHook hook([&beeps](UINT) { ++beeps; });
    OpenEditor(host, {1, 2});
    host.Type(QString::fromLatin1(c.typed));
    host.Click(2, 3);

    EXPECT_EQ(host.grid->GetRow(), 2);
    EXPECT_EQ(host.grid->GetCol(), 3);
    EXPECT_EQ(host.grid->IsEditing(), !c.committed);
    EXPECT_EQ(beeps, c.committed ? 0 : 1);
    EXPECT_EQ(host.grid->GetTextMatrix(1, 2), c.committed ? QString::fromLatin1(c.typed) : QStringLiteral("0.5"));
    EXPECT_EQ(host.grid->GetTextMatrix(2, 3), QStringLiteral("0.35"));
    if (!c.committed)
    {
        EXPECT_EQ(host.grid->GetCellEdit().GetRow(), 1) << "the editor stays over its own cell";
        host.Type(QStringLiteral("9"));
        EXPECT_TRUE(host.grid->CommitEdit());
        EXPECT_EQ(host.grid->GetTextMatrix(1, 2), QStringLiteral("9"));
        EXPECT_EQ(host.grid->GetTextMatrix(2, 3), QStringLiteral("0.35"));
    }
}

INSTANTIATE_TEST_SUITE_P(Grid, LeavingACell,
                         testing::Values(LeaveCase{"NumberIsWritten", "42", true},
                                         LeaveCase{"TextBeepsAndStays", "abc", false}),
                         rows::Name());

TEST(Scrolling, WritesTheEditorsTextWithoutChecking)
{
    GridHost host;
    host.grid->SetRows(300);
    OpenEditor(host, {1, 2});
    host.Type(QStringLiteral("abc"));
    host.grid->verticalScrollBar()->setValue(50);
    GridHost::Settle();
    EXPECT_FALSE(host.grid->IsEditing());
    EXPECT_EQ(host.grid->GetTextMatrix(1, 2), QStringLiteral("abc"));
}

struct KeyCase
{
    const char* scenario;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::vector<UINT> posted;
};

using GridKeys = rows::Test<KeyCase>;

TEST_P(GridKeys, PostTheirMessages)
{
    const KeyCase& c = GetParam();
    GridHost host;
    host.Click(2, 2);
    host.messages.clear();
    host.KeyToGrid(c.key, c.modifiers);
    EXPECT_EQ(host.messages, c.posted);
    EXPECT_FALSE(host.grid->IsEditing()) << "typing never opens the editor";
    EXPECT_EQ(host.grid->GetRow(), 2);
    EXPECT_EQ(host.grid->GetText(), QStringLiteral("0.6"));
}

INSTANTIATE_TEST_SUITE_P(
    Grid, GridKeys,
    testing::Values(KeyCase{"Insert", Qt::Key_Insert, Qt::NoModifier, {WM_GRID_INSERT}},
                    KeyCase{"Delete", Qt::Key_Delete, Qt::NoModifier, {WM_GRID_DELETE}},
                    KeyCase{"CtrlA", Qt::Key_A, Qt::ControlModifier, {WM_GRID_SELECTALL}},
                    KeyCase{"CtrlC", Qt::Key_C, Qt::ControlModifier, {WM_GRID_COPY}},
                    KeyCase{"CtrlV", Qt::Key_V, Qt::ControlModifier, {WM_GRID_PASTE}},
                    KeyCase{"PlainA", Qt::Key_A, Qt::NoModifier, {}},
                    KeyCase{"PlainC", Qt::Key_C, Qt::NoModifier, {}},
                    KeyCase{"PlainV", Qt::Key_V, Qt::NoModifier, {}},
                    KeyCase{"Digit", Qt::Key_3, Qt::NoModifier, {}}),
    rows::Name());

struct EditorKeyCase
{
    const char* scenario;
    Qt::Key key;
    int cursorAfter;
};

using EditorKeys = rows::Test<EditorKeyCase>;

TEST_P(EditorKeys, StayInTheEditor)
{
    const EditorKeyCase& c = GetParam();
    GridHost host;
    OpenEditor(host, {2, 2});
    CCellEdit& edit = host.grid->GetCellEdit();
    edit.setCursorPosition(1);
    host.KeyToEditor(c.key);
    EXPECT_TRUE(host.grid->IsEditing());
    EXPECT_EQ(edit.cursorPosition(), c.cursorAfter);
    EXPECT_EQ(host.grid->GetRow(), 2);
    EXPECT_EQ(host.grid->GetCol(), 2);
    EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Grid, EditorKeys,
                         testing::Values(EditorKeyCase{"Left", Qt::Key_Left, 0},
                                         EditorKeyCase{"Right", Qt::Key_Right, 2},
                                         EditorKeyCase{"Home", Qt::Key_Home, 0},
                                         EditorKeyCase{"End", Qt::Key_End, 3},
                                         EditorKeyCase{"Up", Qt::Key_Up, 1},
                                         EditorKeyCase{"Down", Qt::Key_Down, 1}),
                         rows::Name());

struct FocusCase
{
    const char* scenario;
    const char* typed;
    bool committed;
};

using EditorFocusLoss = rows::Test<FocusCase>;

TEST_P(EditorFocusLoss, ToAnotherControlCommitsLikeEnter)
{
    const FocusCase& c = GetParam();
    GridHost host;
    int beeps = 0;
    const ScopedBeepHook hook([&beeps](UINT) { ++beeps; });
    OpenEditor(host, {1, 1});
    host.Type(QString::fromLatin1(c.typed));
    QWidget* mnemonic = host.GetDlgItem(IDC_MNEMONIC);
    ASSERT_NE(mnemonic, nullptr);
    mnemonic->setFocus(Qt::MouseFocusReason);
    GridHost::Settle();

    EXPECT_EQ(host.grid->IsEditing(), !c.committed);
    EXPECT_EQ(beeps, c.committed ? 0 : 1);
    EXPECT_EQ(host.grid->GetTextMatrix(1, 1), c.committed ? QStringLiteral("2.5e9") : QStringLiteral("1e9"));
    EXPECT_EQ(CountOf(host.messages, WM_GRID_ACTIVATE), c.committed ? 1 : 0);
    EXPECT_EQ(QApplication::focusWidget(), c.committed ? mnemonic : &host.grid->GetCellEdit());
}

INSTANTIATE_TEST_SUITE_P(Grid, EditorFocusLoss,
                         testing::Values(FocusCase{"NumberIsWritten", "2500e6", true},
                                         FocusCase{"TextTakesTheFocusBack", "abc", false}),
                         rows::Name());

TEST(EditorFocusLoss, ToNoWindowLeavesTheEditOpen)
{
    GridHost host;
    OpenEditor(host, {1, 1});
    host.Type(QStringLiteral("abc"));
    QWidget other;
    other.show();
    other.activateWindow();
    (void)QTest::qWaitForWindowActive(&other);
    GridHost::Settle();
    EXPECT_TRUE(host.grid->IsEditing());
    EXPECT_EQ(host.grid->GetCellEdit().text(), QStringLiteral("abc"));
    EXPECT_EQ(host.grid->GetTextMatrix(1, 1), QStringLiteral("1e9"));
    EXPECT_TRUE(host.messages.empty());
}

TEST(EditorFocusLoss, ToTheGridLeavesTheCommitToLeaveCell)
{
    GridHost host;
    OpenEditor(host, {1, 1});
    host.Type(QStringLiteral("3e9"));
    host.grid->setFocus(Qt::MouseFocusReason);
    GridHost::Settle();
    EXPECT_TRUE(host.grid->IsEditing()) << "the same cell: nothing left";
    EXPECT_TRUE(host.messages.empty());
}

struct CommitCase
{
    const char* scenario;
    bool open;
    const char* typed;
    bool result;
    const char* stored;
};

using CommitEdit = rows::Test<CommitCase>;

TEST_P(CommitEdit, WritesAValidEditAndRefusesText)
{
    const CommitCase& c = GetParam();
    GridHost host;
    int beeps = 0;
    const ScopedBeepHook hook([&beeps](UINT) { ++beeps; });
    host.Click(1, 1);
    if (c.open)
    {
        OpenEditor(host, {1, 1});
        host.Type(QString::fromLatin1(c.typed));
    }
    host.messages.clear();
    EXPECT_EQ(host.grid->CommitEdit(), c.result);
    GridHost::Settle();
    EXPECT_EQ(host.grid->GetTextMatrix(1, 1), QString::fromLatin1(c.stored));
    EXPECT_EQ(host.grid->IsEditing(), !c.result);
    EXPECT_EQ(beeps, c.result ? 0 : 1);
    EXPECT_EQ(host.grid->GetRow(), 1) << "a commit does not move on";
    EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Grid, CommitEdit,
                         testing::Values(CommitCase{"NoEditOpen", false, "", true, "1e9"},
                                         CommitCase{"FrequencyWritten", true, "4.5e9", true, "4.5e9"},
                                         CommitCase{"FrequencyNormalised", true, "0.0025", true, "2.5e-3"},
                                         CommitCase{"TextRefused", true, "1e9x", false, "1e9"}),
                         rows::Name());

TEST(ColumnTypes, AnIndexOutOfRangeIsReportedAndChangesNothing)
{
    GridHost host;
    std::vector<MessageBoxRequest> boxes;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return IDOK;
    });
    host.grid->SetColumnType(4, Value);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error: Column index is not valid"));
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(host.grid->GetColumnType(3), Value);
    EXPECT_EQ(host.grid->GetColumnType(4), Locked);

    host.grid->SetColumnType(2, Frequency);
    OpenEditor(host, {1, 2});
    host.Type(QStringLiteral("1500"));
    host.KeyToEditor(Qt::Key_Return);
    EXPECT_EQ(host.grid->GetTextMatrix(1, 2), QStringLiteral("1.5e3"));
}

} // namespace
