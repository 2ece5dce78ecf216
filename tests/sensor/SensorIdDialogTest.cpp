#include "SensorIdDialog.h"

#include "Resource.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>

namespace
{

// Sensor name, stock number, attribute, serial number, internal serial number.
using Texts = std::array<std::string, 5>;
const int FieldIds[]{IDC_SENSOR_NAME, IDC_STOCK_NUMBER, IDC_ATTRIBUTE, IDC_SERIAL_NUMBER, IDC_SERIAL_NUMBER_INTERNAL};
const std::string No = "(Not required)";
const Texts Typed{"TS-2", "0815.0001.11", "B9", "204711", "J-5"};
const Texts Empty{};
// U+1D538, a character outside the BMP: two UTF-16 units, four UTF-8 bytes.
const std::string Far = "\xF0\x9D\x94\xB8";
constexpr int LeftOpen = -100; // what DoModal gives when the row's actions left the dialog open

Texts With(Texts texts, std::size_t field, const std::string& text) { return texts[field] = text, texts; }
std::string Times(int count, const std::string& text) { return count > 0 ? text + Times(count - 1, text) : ""; }

struct Row
{
    const char* name;
    Texts given;
    bool userDataSet;
    char version;
    Texts shown;             // UTF-8, when the dialog opens
    const char* enabled;     // '1' for each field that can be typed in
    Texts taken;             // the getters after OK
    Texts typed = Typed;     // into every field, greyed or not, one key press per character
    std::string pasted = ""; // then with Ctrl+V into the sensor name (nothing when empty)
};

std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }

using IdDialog = ::testing::TestWithParam<Row>;

// Clicks into the edit and types as a keyboard or an input method delivers the
// text (a pair of surrogates in one event).
void Type(QLineEdit* edit, const std::string& utf8)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    for (const char32_t c : QString::fromStdString(utf8).toUcs4())
        if (c < 0x80 && c >= 0x20)
            QTest::keyClick(edit, static_cast<char>(c));
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUcs4(&c, 1), Qt::NoModifier);
}

TEST_P(IdDialog, ShowsTheTextsTakesWhatIsTypedWhereNeededAndKeepsTheRestByteForByte)
{
    const Row& row = GetParam();
    CSensorIdDialog dialog;
    dialog.SetSensorName(row.given[0]);
    dialog.SetStockNumber(row.given[1]);
    dialog.SetAttribute(row.given[2]);
    dialog.SetSerialNumber(row.given[3]);
    dialog.SetSerialNumberInternal(row.given[4]);
    dialog.SetOptions(row.userDataSet, row.version, 'b');
    QTimer::singleShot(0, &dialog, [&] {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (std::size_t i = 0; i < std::size(FieldIds); ++i) {
            QLineEdit* edit = dialog.GetDlgItemAs<QLineEdit>(FieldIds[i]);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), QString::fromStdString(row.shown[i])) << "field " << i;
            EXPECT_EQ(edit->isEnabled(), row.enabled[i] == '1') << "field " << i;
            Type(edit, row.typed[i]);
        }
        QApplication::clipboard()->setText(QString::fromStdString(row.pasted));
        QTest::keyClick(dialog.GetDlgItem(IDC_SENSOR_NAME), Qt::Key_V, Qt::ControlModifier);
        QTest::mouseClick(dialog.GetDlgItem(IDOK), Qt::LeftButton);
        if (dialog.isVisible())
            dialog.EndDialog(LeftOpen);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ((Texts{dialog.GetSensorName(), dialog.GetStockNumber(), dialog.GetAttribute(), dialog.GetSerialNumber(),
                     dialog.GetSerialNumberInternal()}),
              row.taken);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IdDialog,
    ::testing::ValuesIn(std::vector<Row>{
        {"UserDataSetKeepsTheBytesOfTextsNotRequiredAndNeverTheirNotice", {"", "4711", "\xC4\xD6", "", ""}, true, '3',
         {"", "4711", No, "", No}, "10010", {"TS-2", "4711", "\xC4\xD6", "204711", ""}},
        {"FactoryVersion4InternalSerialNotReadPasteFits", Empty, false, '4', With(Empty, 4, No), "11110",
         {"TS-2" + Times(28, Far), "0815.0001.11", "B9", "204711", ""}, Typed, Times(28, Far)},
        // Bytes that are not UTF-8 count as text: the field is greyed and keeps them.
        {"GivenShownAsUtf8GreyedKeptByteForByte", {"Sonde \xC2\xB5W", "\xE9\xE8", "\xCE\xA9-7", "", "x\xFFy"}, false,
         '3', {"Sonde \xC2\xB5W", "", "\xCE\xA9-7", "", "xy"}, "00010",
         {"Sonde \xC2\xB5W", "\xE9\xE8", "\xCE\xA9-7", "204711", "x\xFFy"}},
        {"TypedArrivesAsUtf8CutAtTheCharacterLimit", Empty, false, '3', Empty, "11111",
         {Times(20, "A") + Times(12, Far), "M\xC3\xBC\xC3\x9F", "\xE2\x82\xAC", "1" + Far, Times(32, Far)},
         {Times(20, "A") + Times(20, Far), "M\xC3\xBC\xC3\x9F", "\xE2\x82\xAC", "1" + Far, Times(32, Far)}},
        {"PasteAfterAnOddUnitCount", Empty, false, '3', Empty, "11111", {"A"}, {"A"}, Times(40, Far)}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
