#include "Bitmaps.h"
#include "Menu.h"
#include "Support.h"
#include "Resource.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "Rows.h"

#include <gtest/gtest.h>

#include <ostream>

namespace
{

using rows::operator<<;

struct ItemRow
{
    const char* scenario;
    int popup;
    int position;
    QString text; // empty for a separator
    int id; // 0 for a separator
};

using MainMenuTest = rows::Test<ItemRow>;

TEST_P(MainMenuTest, IsBuiltFromTheTemplate)
{
    const ItemRow& row = GetParam();
    CDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    const CMenu popup = dialog.GetMenu().GetSubMenu(row.popup);
    ASSERT_TRUE(popup.IsValid());
    EXPECT_EQ(popup.GetMenuItemID(row.position), row.id);
    EXPECT_EQ(popup.GetMenuString(static_cast<UINT>(row.position), MF_BYPOSITION), row.text);
    const bool separator = row.id == 0;
    EXPECT_EQ((popup.GetMenuState(static_cast<UINT>(row.position), MF_BYPOSITION) & MF_SEPARATOR) != 0, separator);
    if (!separator)
    {
        EXPECT_EQ(dialog.GetMenu().GetMenuString(static_cast<UINT>(row.id), MF_BYCOMMAND), row.text)
            << "found by command from the bar";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MainMenuTest,
    testing::Values(ItemRow{"file_load", 0, 0, "&Load Calibration Data ...", ID_FILE_LOAD},
                    ItemRow{"file_first_separator", 0, 2, "", 0},
                    ItemRow{"file_import", 0, 4, "&Import S-Parameters ...", ID_FILE_IMPORT_SPARA},
                    ItemRow{"file_exit", 0, 6, "E&xit", ID_FILE_EXIT},
                    ItemRow{"sensor_separator", 1, 2, "", 0},
                    ItemRow{"sensor_scan_network", 1, 3, "Scan &Network for Sensors", ID_SENSOR_SCAN_NETWORK},
                    ItemRow{"sensor_factory_data_set", 1, 4, "Always Use Factory Data Set", ID_SENSOR_ALWAYS_FACTORY},
                    ItemRow{"device_move_down", 2, 5, "Move d&own", ID_DEVICE_MOVE_DOWN},
                    ItemRow{"options_separator", 3, 2, "", 0},
                    ItemRow{"options_show", 3, 3, "&Show Cal. Data", ID_OPTIONS_SHOW_CAL_DATA}),
    rows::Name());

TEST(Menu, MainMenuHasFourPopupsOfTheirSizes)
{
    CDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    const CMenu bar = dialog.GetMenu();
    ASSERT_EQ(bar.GetMenuItemCount(), 4);
    const QStringList titles{"&File", "&Sensor", "&Device", "&Options"};
    const int sizes[] = {7, 5, 6, 4};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(bar.GetMenuString(static_cast<UINT>(i), MF_BYPOSITION), titles[i]);
        EXPECT_EQ(bar.GetMenuItemID(i), -1) << "a popup has no command";
        EXPECT_EQ(bar.GetSubMenu(i).GetMenuItemCount(), sizes[i]);
    }
    EXPECT_FALSE(bar.GetSubMenu(4).IsValid());
    EXPECT_FALSE(CDialog(IDD_CAL_INFO).GetMenu().IsValid());
}

TEST(Menu, ChoosingAnItemSendsItsCommand)
{
    RecordingDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    dialog.GetMenu().FindMenuItem(ID_POINTS_SET_NUMBER, MF_BYCOMMAND)->trigger();
    dialog.GetMenu().GetSubMenu(1).FindMenuItem(1, MF_BYPOSITION)->trigger();
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"OnInitDialog", "command 32804", "command 57637"}));
}

TEST(Menu, CheckMarksStayAsTheWindowSetsThem)
{
    RecordingDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    CMenu bar = dialog.GetMenu();
    EXPECT_EQ(bar.CheckMenuItem(ID_SENSOR_SCAN_NETWORK, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(bar.GetMenuState(ID_SENSOR_SCAN_NETWORK, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);

    QAction* scan = bar.FindMenuItem(ID_SENSOR_SCAN_NETWORK, MF_BYCOMMAND);
    ASSERT_NE(scan, nullptr);
    EXPECT_TRUE(scan->isChecked());
    scan->trigger();
    EXPECT_TRUE(scan->isChecked()) << "choosing the item leaves the mark to the window";
    QAction* factory = bar.FindMenuItem(ID_SENSOR_ALWAYS_FACTORY, MF_BYCOMMAND);
    factory->trigger();
    EXPECT_FALSE(factory->isChecked());
    EXPECT_EQ(bar.GetMenuState(ID_SENSOR_ALWAYS_FACTORY, MF_BYCOMMAND) & MF_CHECKED, 0u);

    EXPECT_EQ(bar.CheckMenuItem(ID_SENSOR_SCAN_NETWORK, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_FALSE(scan->isChecked());
    EXPECT_EQ(bar.CheckMenuItem(4711, MF_BYCOMMAND | MF_CHECKED), MENU_ITEM_NOT_FOUND);
}

bool ShowsPicture(const QAction* action, int id)
{
    if (action->icon().isNull())
    {
        return false;
    }
    const QImage shown = action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    return shown == LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32);
}

TEST(Menu, ItemPicturesFollowTheCheckState)
{
    RecordingDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    CMenu sensor = dialog.GetMenu().GetSubMenu(1);
    ASSERT_TRUE(sensor.SetMenuItemBitmaps(3, MF_BYPOSITION, LoadBitmap(IDB_CHECK_EMPTY), LoadBitmap(IDB_CHECK_TICKED)));
    const QAction* scan = sensor.FindMenuItem(3, MF_BYPOSITION);
    EXPECT_TRUE(ShowsPicture(scan, IDB_CHECK_EMPTY));
    EXPECT_FALSE(scan->isCheckable()) << "the picture replaces Qt's mark";

    dialog.GetMenu().CheckMenuItem(ID_SENSOR_SCAN_NETWORK, MF_BYCOMMAND | MF_CHECKED);
    EXPECT_TRUE(ShowsPicture(scan, IDB_CHECK_TICKED));
    sensor.FindMenuItem(3, MF_BYPOSITION)->trigger();
    EXPECT_TRUE(ShowsPicture(scan, IDB_CHECK_TICKED));

    EXPECT_TRUE(sensor.SetMenuItemBitmaps(3, MF_BYPOSITION, QPixmap(), QPixmap()));
    EXPECT_TRUE(scan->icon().isNull());
    EXPECT_TRUE(scan->isChecked()) << "back to the plain mark";
    EXPECT_FALSE(sensor.SetMenuItemBitmaps(2, MF_BYPOSITION, QPixmap(), QPixmap())) << "a separator has no mark";
}

TEST(Menu, ItemsAndWholePopupsAreGreyed)
{
    RecordingDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    CMenu bar = dialog.GetMenu();
    EXPECT_EQ(bar.EnableMenuItem(ID_EDIT_PASTE, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(bar.GetSubMenu(0).EnableMenuItem(0, MF_BYPOSITION | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(bar.EnableMenuItem(2, MF_BYPOSITION | MF_GRAYED), MF_ENABLED);

    EXPECT_TRUE(bar.GetMenuState(ID_EDIT_PASTE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(bar.GetMenuState(ID_IMPORT_S2P, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(bar.GetMenuState(ID_EDIT_COPY, MF_BYCOMMAND) & MF_GRAYED);
    const UINT pointsMenu = bar.GetMenuState(2, MF_BYPOSITION);
    EXPECT_EQ(pointsMenu & (MF_GRAYED | MF_POPUP), MF_GRAYED | MF_POPUP);
    EXPECT_FALSE(bar.FindMenuItem(2, MF_BYPOSITION)->isEnabled());

    EXPECT_EQ(bar.EnableMenuItem(ID_EDIT_PASTE, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
    EXPECT_FALSE(bar.GetMenuState(ID_EDIT_PASTE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(bar.EnableMenuItem(9, MF_BYPOSITION | MF_GRAYED), MENU_ITEM_NOT_FOUND);
}

TEST(Menu, OpeningAPopupIsSeenAndIsNoFocusLoss)
{
    RecordingDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    int focusLost = 0;
    dialog.MapKillFocus(IDC_MNEMONIC, [&focusLost] { ++focusLost; });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.GetDlgItem(IDC_MNEMONIC)->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), dialog.GetDlgItem(IDC_MNEMONIC));

    EXPECT_FALSE(IsMenuActive());
    auto* edit = qobject_cast<QMenu*>(dialog.GetMenu().GetSubMenu(1).GetWidget());
    edit->popup(dialog.mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(IsMenuActive());
    EXPECT_EQ(dialog.popups, std::vector<int>{1});
    edit->close();
    EXPECT_FALSE(IsMenuActive());
    EXPECT_EQ(focusLost, 0);
}

} // namespace
