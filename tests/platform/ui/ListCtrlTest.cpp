#include "ListCtrl.h"
#include "Support.h"
#include "Resource.h"

#include <QTest>

#include "Rows.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace
{

using rows::operator<<;

using Notes = std::vector<std::string>;

// The sensor list of dialog 130 with three rows, shown, its notifications noted.
struct ShownList
{
    ShownList()
    {
        for (const char* descriptor : {"USB::1", "USB::2", "TCPIP::3"})
        {
            const int row = list->InsertItem(list->GetItemCount(), descriptor);
            list->SetItemText(row, 3, QString::number(row));
        }
        for (const auto& [code, name] : {std::pair{NM_CLICK, "click "}, std::pair{NM_DBLCLK, "double "}})
        {
            dialog.MapNotify(code, IDC_SENSOR_LIST,
                             [this, name = name](int item) { notes.push_back(name + std::to_string(item)); });
        }
        dialog.show();
    }

    QPoint Cell(int row, int column) const { return list->visualRect(list->model()->index(row, column)).center(); }
    QPoint Empty() const { return {5, list->viewport()->height() - 5}; }
    void Click(QPoint at, Qt::KeyboardModifiers keys = {})
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, at);
    }
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
    Notes notes;
};

struct MouseRow
{
    const char* scenario;
    std::function<void(ShownList&)> action;
    int selected;
    int hot;
    Notes notes;
};

using ListMouseTest = rows::Test<MouseRow>;

TEST_P(ListMouseTest, SelectsOneWholeRowAndNotifiesTheDialog)
{
    const MouseRow& row = GetParam();
    ShownList shown;
    row.action(shown);
    EXPECT_EQ(shown.list->GetFirstSelectedItem(), row.selected);
    EXPECT_EQ(shown.list->selectionModel()->selectedIndexes().size(), row.selected < 0 ? 0 : 4);
    EXPECT_EQ(shown.list->GetHotItem(), row.hot);
    EXPECT_EQ(shown.notes, row.notes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListMouseTest,
    testing::Values(
        MouseRow{"click_on_a_row", [](ShownList& s) { s.Click(s.Cell(1, 0)); }, 1, -1, {"click 1"}},
        MouseRow{"click_on_a_later_column", [](ShownList& s) { s.Click(s.Cell(2, 3)); }, 2, -1, {"click 2"}},
        MouseRow{"control_click_on_another_row_moves_the_selection",
                 [](ShownList& s) { s.Click(s.Cell(0, 0)); s.Click(s.Cell(2, 1), Qt::ControlModifier); }, 2, -1,
                 {"click 0", "click 2"}},
        MouseRow{"click_in_empty_space_clears_the_selection",
                 [](ShownList& s) { s.list->SetItemSelected(1, true); s.Click(s.Empty()); }, -1, -1, {"click -1"}},
        MouseRow{"double_click_on_a_row", [](ShownList& s) { s.DoubleClick(s.Cell(1, 2)); }, 1, -1,
                 {"click 1", "double 1"}},
        MouseRow{"double_click_in_empty_space", [](ShownList& s) { s.DoubleClick(s.Empty()); }, -1, -1,
                 {"click -1", "double -1"}},
        MouseRow{"disabled_list_ignores_clicks",
                 [](ShownList& s) { s.dialog.EnableDlgItem(IDC_SENSOR_LIST, false); s.DoubleClick(s.Cell(1, 0)); },
                 -1, -1, {}},
        // The first move makes sure that the cursor moves at all.
        MouseRow{"row_under_the_mouse_is_hot", [](ShownList& s) { s.Hover(s.Cell(0, 1)); s.Hover(s.Cell(2, 1)); },
                 -1, 2, {}}),
    rows::Name());

TEST(ListItems, TextsKeepToTheirCellsUntilAllRowsAreDeleted)
{
    ShownList shown;
    CListCtrl& list = *shown.list;
    EXPECT_EQ(list.InsertItem(0, QStringLiteral("first")), 0);
    EXPECT_EQ(list.InsertItem(9, QStringLiteral("last")), 4);
    EXPECT_EQ(list.InsertItem(-1, QStringLiteral("none")), -1);
    EXPECT_EQ(list.GetItemText(3, 0), QStringLiteral("TCPIP::3"));
    EXPECT_EQ(list.GetItemText(2, 3), QStringLiteral("1")) << "moved down with its row";
    EXPECT_FALSE(list.SetItemText(5, 0, QStringLiteral("x")));
    EXPECT_FALSE(list.SetItemText(0, 4, QStringLiteral("x")));
    list.SetItemSelected(1, true);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_EQ(list.GetFirstSelectedItem(), -1);
    EXPECT_EQ(list.GetItemText(0, 0), QString());
    EXPECT_EQ(list.GetColumnWidth(3), 100) << "the columns stay";
}

} // namespace
