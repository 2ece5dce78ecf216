#include "Dialog.h"
#include "DialogUnits.h"
#include "Resource.h"

#include <QFontInfo>

#include "Rows.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

namespace
{

using rows::operator<<;

struct MulDivRow
{
    const char* scenario;
    int a;
    int b;
    int c;
    int expected;
};

using MulDivTest = rows::Test<MulDivRow>;

TEST_P(MulDivTest, RoundsHalfAwayFromZero)
{
    const MulDivRow& row = GetParam();
    EXPECT_EQ(MulDiv(row.a, row.b, row.c), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MulDivTest,
                         testing::Values(MulDivRow{"exact", 8, 6, 4, 12}, MulDivRow{"half_up", 7, 6, 4, 11},
                                         MulDivRow{"below_half", 5, 13, 8, 8},
                                         MulDivRow{"above_half", 3, 13, 8, 5},
                                         MulDivRow{"negative_half_away", -7, 6, 4, -11},
                                         MulDivRow{"negative_divisor", 7, 6, -4, -11},
                                         MulDivRow{"division_by_zero", 1, 1, 0, -1},
                                         MulDivRow{"wide_intermediate", INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                                         MulDivRow{"overflowing_result", INT_MAX, 2, 1, -1}),
                         rows::Name());

struct BaseUnitsRow
{
    const char* scenario;
    int alphabetWidth;
    int height;
    int expectedX;
};

using BaseUnitsTest = rows::Test<BaseUnitsRow>;

TEST_P(BaseUnitsTest, AveragesTheAlphabetWithThePlatformRounding)
{
    const BaseUnitsRow& row = GetParam();
    const DialogBaseUnits units = BaseUnitsFromMetrics(row.alphabetWidth, row.height);
    EXPECT_EQ(units.x, row.expectedX);
    EXPECT_EQ(units.y, row.height);
}

INSTANTIATE_TEST_SUITE_P(Rows, BaseUnitsTest,
                         testing::Values(BaseUnitsRow{"just_below_six", 285, 13, 5},
                                         BaseUnitsRow{"rounds_up_to_six", 286, 13, 6},
                                         BaseUnitsRow{"liberation_sans_11px", 333, 12, 6},
                                         BaseUnitsRow{"last_six", 337, 13, 6},
                                         BaseUnitsRow{"first_seven", 338, 13, 7}),
                         rows::Name());

struct PlacementRow
{
    const char* scenario;
    int templateId;
    int controlId;
    QRect expectedPixels;
};

using ControlPlacementTest = rows::Test<PlacementRow>;

// The dialog font ("MS Shell Dlg" 8 pt, not installed) falls back to Liberation
// Sans at 11 px on the 96 dpi offscreen screen: 333 px for the alphabet, 12 px
// high, so one dialog unit is 6/4 px across and 12/8 px down.
TEST_P(ControlPlacementTest, LandsAtTheRectangleOfItsDialogUnits)
{
    const PlacementRow& row = GetParam();
    CDialog dialog(row.templateId);
    ASSERT_TRUE(dialog.Create());
    const DialogBaseUnits units = dialog.GetDialogBaseUnits();
    ASSERT_EQ(units.x, 6);
    ASSERT_EQ(units.y, 12);
    QWidget* control = dialog.GetDlgItem(row.controlId);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), row.expectedPixels);
    EXPECT_EQ(QFontInfo(control->font()).family(), QStringLiteral("Liberation Sans"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ControlPlacementTest,
    testing::Values(PlacementRow{"main_window_status_field", IDD_OSTREL_DIALOG, IDC_STATUS_LINE,
                                 QRect(243, 45, 378, 45)},
                    PlacementRow{"main_window_grid", IDD_OSTREL_DIALOG, IDC_DEVICE_GRID, QRect(9, 126, 657, 288)},
                    PlacementRow{"user_data_edit", IDD_CAL_INFO, IDC_CAL_LAB, QRect(9, 36, 225, 21)},
                    PlacementRow{"device_upper_limit", IDD_DEVICE, IDC_UPPER_LIMIT, QRect(387, 450, 99, 18)},
                    PlacementRow{"set_number_ok_half_rounds_up", IDD_SETNUMBER, 1, QRect(11, 57, 75, 21)}),
    rows::Name());

TEST(DialogSize, ClientAreaIsTheTemplateSizeAndFixedFramesCannotBeResized)
{
    CDialog dialog(IDD_CAL_INFO);
    ASSERT_TRUE(dialog.Create());
    dialog.show();
    EXPECT_EQ(dialog.GetClientArea()->size(), QSize(249, 153));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST(DialogSize, SizingFrameStartsAtTheTemplateSizeBelowItsMenu)
{
    CDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    dialog.show();
    EXPECT_EQ(dialog.GetClientArea()->size(), QSize(717, 495));
    EXPECT_NE(dialog.minimumSize(), dialog.maximumSize());
}

} // namespace
