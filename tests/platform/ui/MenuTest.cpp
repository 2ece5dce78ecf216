#include "Bitmaps.h"
#include "Resource.h"
#include "Support.h"

#include <QAction>

#include <gtest/gtest.h>

namespace
{

using rows::operator<<;

// What an item shows where its check mark goes.
std::string Mark(const QAction* action)
{
    std::string mark = action && action->isChecked() ? "checked" : "";
    for (const int id : {IDB_CHECK_EMPTY, IDB_CHECK_TICKED})
        if (action && !action->icon().isNull() &&
            action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32) ==
                LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32))
            mark += "picture " + std::to_string(id) + (action->isCheckable() ? " over a mark" : "");
    return mark;
}

struct MenuRow
{
    const char* scenario;
    int templateId;
    std::function<UINT(CMenu)> calls; // on the menu bar; returns what the last call returned
    UINT returned;
    int popup; // then looks at an item of this popup, -1 for the bar
    UINT item, flags;
    QString text;
    UINT state;
    std::string mark;
    Strings commands; // sent meanwhile
};

using MenuTest = rows::Test<MenuRow>;

TEST_P(MenuTest, AnswersTheWindowsCallsAsItsTemplateAndTheCallsMadeIt)
{
    const MenuRow& row = GetParam();
    RecordingDialog dialog(row.templateId);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(row.calls(dialog.GetMenu()), row.returned);
    const CMenu menu = row.popup < 0 ? dialog.GetMenu() : dialog.GetMenu().GetSubMenu(row.popup);
    EXPECT_EQ(menu.GetMenuString(row.item, row.flags), row.text);
    EXPECT_EQ(menu.GetMenuState(row.item, row.flags), row.state);
    EXPECT_EQ(Mark(menu.FindMenuItem(row.item, row.flags)), row.mark);
    EXPECT_EQ(Strings(dialog.calls.begin() + 1, dialog.calls.end()), row.commands);
}

constexpr UINT Command = MF_BYCOMMAND;
constexpr UINT Position = MF_BYPOSITION;
constexpr UINT NotFound = MENU_ITEM_NOT_FOUND;
constexpr UINT Scan = ID_SENSOR_SCAN_NETWORK;
const Strings Scanned{"command 32807"};

UINT Check(CMenu bar, UINT item, UINT flags)
{
    return bar.CheckMenuItem(item, Command | flags);
}

UINT Choose(CMenu bar, UINT item)
{
    return bar.FindMenuItem(item, Command)->trigger(), 0;
}

UINT Pictures(CMenu bar, bool set)
{
    return bar.GetSubMenu(1).SetMenuItemBitmaps(3, Position, set ? LoadBitmap(IDB_CHECK_EMPTY) : QPixmap(),
                                               set ? LoadBitmap(IDB_CHECK_TICKED) : QPixmap());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MenuTest,
    testing::Values(
        MenuRow{"bar_of_popups", IDD_OSTREL_DIALOG, [](CMenu m) { return UINT(m.GetMenuItemCount()); }, 4, -1, 1,
                Position, "&Sensor", MF_POPUP},
        MenuRow{"popup_has_no_command", IDD_OSTREL_DIALOG, [](CMenu m) { return UINT(m.GetMenuItemID(0)); }, UINT(-1),
                0, 6, Position, "E&xit", 0},
        MenuRow{"popup_items", IDD_OSTREL_DIALOG, [](CMenu m) { return UINT(m.GetSubMenu(0).GetMenuItemCount()); }, 7,
                0, ID_FILE_IMPORT_SPARA, Command, "&Import S-Parameters ...", 0},
        MenuRow{"item_by_position", IDD_OSTREL_DIALOG, [](CMenu m) { return UINT(m.GetSubMenu(3).GetMenuItemID(3)); },
                ID_OPTIONS_SHOW_CAL_DATA, -1, ID_OPTIONS_SHOW_CAL_DATA, Command, "&Show Cal. Data", 0},
        MenuRow{"separator", IDD_OSTREL_DIALOG, [](CMenu m) { return UINT(m.GetSubMenu(1).GetMenuItemID(2)); }, 0, 1, 2,
                Position, "", MF_SEPARATOR},
        MenuRow{"past_the_end", IDD_OSTREL_DIALOG, [](CMenu m) { return UINT(m.GetSubMenu(4).IsValid()); }, 0, 2, 6,
                Position, "", NotFound},
        MenuRow{"window_without_menu", IDD_CAL_INFO, [](CMenu m) { return UINT(m.GetMenuItemCount()); }, UINT(-1), -1,
                0, Position, "", NotFound},
        MenuRow{"choosing_sends_the_command", IDD_DEVICE,
                [](CMenu m) { return Choose(m, ID_POINTS_SET_NUMBER), m.GetSubMenu(1).FindMenuItem(1, Position)->trigger(), 0u; },
                0, -1, ID_EDIT_PASTE, Command, "&Paste from clipboard", 0, "", {"command 32804", "command 57637"}},
        MenuRow{"check", IDD_OSTREL_DIALOG, [](CMenu m) { return Check(m, Scan, MF_CHECKED); }, MF_UNCHECKED, 1, Scan,
                Command, "Scan &Network for Sensors", MF_CHECKED, "checked"},
        MenuRow{"choosing_leaves_the_mark_to_the_window", IDD_OSTREL_DIALOG,
                [](CMenu m) { return Check(m, Scan, MF_CHECKED), Choose(m, Scan); }, 0, 1, 3, Position,
                "Scan &Network for Sensors", MF_CHECKED, "checked", Scanned},
        MenuRow{"choosing_sets_no_mark", IDD_OSTREL_DIALOG, [](CMenu m) { return Choose(m, ID_SENSOR_ALWAYS_FACTORY); },
                0, 1, 4, Position, "Always Use Factory Data Set", 0, "", {"command 32809"}},
        MenuRow{"uncheck", IDD_OSTREL_DIALOG, [](CMenu m) { return Check(m, Scan, MF_CHECKED), Check(m, Scan, 0); },
                MF_CHECKED, 1, 3, Position, "Scan &Network for Sensors", 0, ""},
        MenuRow{"check_unknown_item", IDD_OSTREL_DIALOG, [](CMenu m) { return Check(m, 4711, MF_CHECKED); }, NotFound,
                -1, 4711, Command, "", NotFound},
        MenuRow{"grey_by_command", IDD_DEVICE, [](CMenu m) { return m.EnableMenuItem(ID_EDIT_PASTE, MF_GRAYED); },
                MF_ENABLED, -1, ID_EDIT_PASTE, Command, "&Paste from clipboard", MF_GRAYED},
        MenuRow{"grey_by_position", IDD_DEVICE,
                [](CMenu m) { return m.GetSubMenu(0).EnableMenuItem(0, Position | MF_DISABLED); }, MF_ENABLED, -1,
                ID_IMPORT_S2P, Command, "&Import S2P ...", MF_GRAYED},
        MenuRow{"grey_a_whole_popup", IDD_DEVICE, [](CMenu m) { return m.EnableMenuItem(2, Position | MF_GRAYED); },
                MF_ENABLED, -1, 2, Position, "Frequency &Grid Points", MF_GRAYED | MF_POPUP},
        MenuRow{"enable_again", IDD_DEVICE,
                [](CMenu m) { return m.EnableMenuItem(ID_EDIT_PASTE, MF_GRAYED), m.EnableMenuItem(ID_EDIT_PASTE, 0); },
                MF_GRAYED, -1, ID_EDIT_PASTE, Command, "&Paste from clipboard", 0},
        MenuRow{"enable_unknown_position", IDD_DEVICE, [](CMenu m) { return m.EnableMenuItem(9, Position); }, NotFound,
                -1, 9, Position, "", NotFound},
        MenuRow{"pictures_replace_the_mark", IDD_OSTREL_DIALOG, [](CMenu m) { return Pictures(m, true); }, 1, 1, Scan,
                Command, "Scan &Network for Sensors", 0, "picture 153"},
        MenuRow{"pictures_follow_the_check", IDD_OSTREL_DIALOG,
                [](CMenu m) { return Pictures(m, true), Check(m, Scan, MF_CHECKED); }, MF_UNCHECKED, 1, Scan, Command,
                "Scan &Network for Sensors", MF_CHECKED, "picture 150"},
        MenuRow{"pictures_replace_a_mark_already_set", IDD_OSTREL_DIALOG,
                [](CMenu m) { return Check(m, Scan, MF_CHECKED), Pictures(m, true), Choose(m, Scan); }, 0, 1, Scan,
                Command, "Scan &Network for Sensors", MF_CHECKED, "picture 150", Scanned},
        MenuRow{"no_pictures_bring_back_the_mark", IDD_OSTREL_DIALOG,
                [](CMenu m) { return Pictures(m, true), Check(m, Scan, MF_CHECKED), Pictures(m, false); }, 1, 1, Scan,
                Command, "Scan &Network for Sensors", MF_CHECKED, "checked"},
        MenuRow{"separator_has_no_picture", IDD_OSTREL_DIALOG,
                [](CMenu m) { return UINT(m.GetSubMenu(1).SetMenuItemBitmaps(2, Position, QPixmap(), QPixmap())); }, 0,
                1, 2, Position, "", MF_SEPARATOR}),
    rows::Name());

} // namespace
