#include "SensorIdDialog.h"

#include "Resource.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <ostream>

namespace
{

// A control is found by its number, a label (which has none) by its text.
struct ControlRow
{
    const char* scenario;
    int id;
    const char* labelText;
    QRect dialogUnits;
};

void PrintTo(const ControlRow& row, std::ostream* out)
{
    *out << row.scenario;
}

QWidget* FindControl(const CDialog& dialog, const ControlRow& row)
{
    if (row.labelText == nullptr)
    {
        return dialog.GetDlgItem(row.id);
    }
    for (QLabel* label : dialog.GetClientArea()->findChildren<QLabel*>())
    {
        if (label->text() == QString::fromUtf8(row.labelText))
        {
            return label;
        }
    }
    return nullptr;
}

class SensorIdControlTest : public testing::TestWithParam<ControlRow>
{
};

TEST_P(SensorIdControlTest, SitsAtItsTemplateRectangle)
{
    const ControlRow& row = GetParam();
    CSensorIdDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const QWidget* control = FindControl(dialog, row);
    ASSERT_NE(control, nullptr);
    const QRect expected = dialog.MapDialogRect(row.dialogUnits);
    if (row.id == 0)
    {
        // A static text grows to the right when the face is too wide for it.
        EXPECT_EQ(control->geometry().topLeft(), expected.topLeft());
        EXPECT_EQ(control->height(), expected.height());
        EXPECT_GE(control->width(), expected.width());
    }
    else
    {
        EXPECT_EQ(control->geometry(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SensorIdControlTest,
    testing::Values(
        ControlRow{"warning", 0,
                   "Warning: Indispensable Sensor ID data missing!\nFill in the missing fields, otherwise the "
                   "calibration data set cannot be written to a sensor.",
                   QRect(6, 6, 168, 24)},
        ControlRow{"sensor_name_label", 0, "Sensor Name", QRect(6, 45, 43, 8)},
        ControlRow{"sensor_name", IDC_SENSOR_NAME, nullptr, QRect(126, 42, 60, 14)},
        ControlRow{"stock_number_label", 0, "Stock Number", QRect(6, 63, 45, 8)},
        ControlRow{"stock_number", IDC_STOCK_NUMBER, nullptr, QRect(126, 60, 60, 14)},
        ControlRow{"attribute_label", 0, "Internal Stock Number or Attribute", QRect(6, 81, 112, 8)},
        ControlRow{"attribute", IDC_ATTRIBUTE, nullptr, QRect(126, 78, 60, 14)},
        ControlRow{"serial_number_label", 0, "Serial Number", QRect(6, 99, 45, 8)},
        ControlRow{"serial_number", IDC_SERIAL_NUMBER, nullptr, QRect(126, 96, 60, 14)},
        ControlRow{"internal_serial_number_label", 0, "Internal Serial Number", QRect(6, 117, 72, 8)},
        ControlRow{"internal_serial_number", IDC_SERIAL_NUMBER_INTERNAL, nullptr, QRect(126, 114, 60, 14)},
        ControlRow{"cancel", IDCANCEL, nullptr, QRect(6, 138, 50, 14)},
        ControlRow{"ok", IDOK, nullptr, QRect(138, 138, 50, 14)}),
    [](const testing::TestParamInfo<ControlRow>& info) { return info.param.scenario; });

TEST(SensorIdDialogWindow, HasItsCaptionSizeAndButtons)
{
    CSensorIdDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.GetWindowText(), QStringLiteral("Fill in missing Sensor ID data"));
    EXPECT_EQ(dialog.GetClientArea()->size(), dialog.MapDialogRect(QRect(0, 0, 195, 159)).size());
    EXPECT_EQ(dialog.GetClientArea()->findChildren<QLabel*>().size(), 6);

    const auto* ok = dialog.GetDlgItemAs<QPushButton>(IDOK);
    const auto* cancel = dialog.GetDlgItemAs<QPushButton>(IDCANCEL);
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(cancel->isDefault());
    for (const int id : {IDC_SENSOR_NAME, IDC_STOCK_NUMBER, IDC_ATTRIBUTE, IDC_SERIAL_NUMBER,
                         IDC_SERIAL_NUMBER_INTERNAL})
    {
        const auto* edit = dialog.GetDlgItemAs<QLineEdit>(id);
        ASSERT_NE(edit, nullptr) << id;
        EXPECT_TRUE(edit->hasFrame()) << id;
        EXPECT_FALSE(edit->isReadOnly()) << id;
    }
}

} // namespace
