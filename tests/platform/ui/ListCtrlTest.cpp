#include "ListCtrl.h"
#include "Resource.h"
#include "Support.h"

#include <QTest>

#include <gtest/gtest.h>

namespace
{

using rows::operator<<;

// The sensor list of the upload dialog with three rows, shown, its notifications noted.
struct ShownList
{
    ShownList()
    {
        for (const char* descriptor : {"USB::1", "USB::2", "TCPIP::3"}) {
            const int row = list->InsertItem(list->GetItemCount(), descriptor);
            list->SetItemText(row, 3, QString::number(row));
        }
        dialog.MapNotify(NM_CLICK, IDC_SENSOR_LIST, [this](int item) { notes.push_back("click " + std::to_string(item)); });
        dialog.MapNotify(NM_DBLCLK, IDC_SENSOR_LIST, [this](int item) { notes.push_back("double " + std::to_string(item)); });
        dialog.show();
    }
    QPoint Cell(int row, int column) const { return list->visualRect(list->model()->index(row, column)).center(); }
    QPoint Empty() const { return {5, list->viewport()->height() - 5}; }
    void Click(QPoint at, Qt::KeyboardModifiers keys = {}) { QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, at); }
    // The widget overload of mouseDClick sends the second press alone.
    void DoubleClick(QPoint at)
    {
        Click(at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
    void Hover(QPoint at) { QTest::mouseMove(list->viewport(), at); }

    RecordingDialog dialog{IDD_UPLOAD};
    CListCtrl* list = dialog.Create() ? dialog.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST) : nullptr;
    Strings notes;
};

struct MouseRow
{
    const char* scenario;
    std::function<void(ShownList&)> action;
    int selected;
    int hot;
    Strings notes;
};

using ListMouseTest = rows::Test<MouseRow>;

TEST_P(ListMouseTest, SelectsOneWholeRowAndNotifiesTheDialog)
{
    ShownList shown;
    GetParam().action(shown);
    EXPECT_EQ(shown.list->GetFirstSelectedItem(), GetParam().selected);
    EXPECT_EQ(shown.list->selectionModel()->selectedIndexes().size(), GetParam().selected < 0 ? 0 : 4);
    EXPECT_EQ(shown.list->GetHotItem(), GetParam().hot);
    EXPECT_EQ(shown.notes, GetParam().notes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListMouseTest,
    testing::Values(
        MouseRow{"click_on_a_row", [](ShownList& s) { s.Click(s.Cell(1, 0)); }, 1, -1, {"click 1"}},
        MouseRow{"click_on_a_later_column", [](ShownList& s) { s.Click(s.Cell(2, 3)); }, 2, -1, {"click 2"}},
        MouseRow{"control_click_on_another_row_moves_the_selection",
                 [](ShownList& s) { s.Click(s.Cell(0, 0)), s.Click(s.Cell(2, 1), Qt::ControlModifier); }, 2, -1,
                 {"click 0", "click 2"}},
        MouseRow{"click_in_empty_space_clears_the_selection",
                 [](ShownList& s) { s.list->SetItemSelected(1, true), s.Click(s.Empty()); }, -1, -1, {"click -1"}},
        MouseRow{"double_click_on_a_row", [](ShownList& s) { s.DoubleClick(s.Cell(1, 2)); }, 1, -1,
                 {"click 1", "double 1"}},
        MouseRow{"double_click_in_empty_space", [](ShownList& s) { s.DoubleClick(s.Empty()); }, -1, -1,
                 {"click -1", "double -1"}},
        MouseRow{"disabled_list_ignores_clicks",
                 [](ShownList& s) { s.dialog.EnableDlgItem(IDC_SENSOR_LIST, false), s.DoubleClick(s.Cell(1, 0)); }, -1,
                 -1, {}},
        // The first move makes sure that the cursor moves at all.
        MouseRow{"row_under_the_mouse_is_hot", [](ShownList& s) { s.Hover(s.Cell(0, 1)), s.Hover(s.Cell(2, 1)); }, -1,
                 2, {}}),
    rows::Name());

TEST(ListItems, TextsKeepToTheirCellsUntilAllRowsAreDeleted)
{
    ShownList shown;
    CListCtrl& list = *shown.list;
    EXPECT_EQ(list.InsertItem(0, "first"), 0);
    EXPECT_EQ(list.InsertItem(9, "last"), 4);
    EXPECT_EQ(list.InsertItem(-1, "none"), -1);
    EXPECT_EQ(list.GetItemText(3, 0), "TCPIP::3");
    EXPECT_EQ(list.GetItemText(2, 3), "1") << "moved down with its row";
    EXPECT_FALSE(list.SetItemText(5, 0, "x"));
    EXPECT_FALSE(list.SetItemText(0, 4, "x"));
    list.SetItemSelected(1, true);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_EQ(list.GetFirstSelectedItem(), -1);
    EXPECT_EQ(list.GetItemText(0, 0), QString());
    EXPECT_EQ(list.GetColumnWidth(3), 100) << "the columns stay";
}

} // namespace
