#include "SensorIdDialog.h"

#include "Resource.h"
#include "Tamrix.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <string>

namespace
{

// Sensor name, stock number, attribute, serial number, internal serial number.
using Texts = std::array<std::string, 5>;
constexpr std::array<int, 5> FieldIds{IDC_SENSOR_NAME, IDC_STOCK_NUMBER, IDC_ATTRIBUTE, IDC_SERIAL_NUMBER,
                                      IDC_SERIAL_NUMBER_INTERNAL};

const Texts Complete{"PS-18", "4711.2208.02", "A3", "100234", "I-77"};
const Texts Empty{};
// U+1D538, a character outside the BMP: two UTF-16 units, four UTF-8 bytes.
const std::string OutsideBmp = "\xF0\x9D\x94\xB8";
// What an action that left the dialog open makes DoModal return.
constexpr int LeftOpen = -100;

Texts With(Texts texts, std::size_t field, const std::string& text)
{
    texts[field] = text;
    return texts;
}

std::string Repeat(const std::string& text, int count)
{
    std::string result;
    for (int i = 0; i < count; ++i)
    {
        result += text;
    }
    return result;
}

void Give(CSensorIdDialog& dialog, const Texts& texts, bool userDataSet, char version)
{
    dialog.SetSensorName(texts[0]);
    dialog.SetStockNumber(texts[1]);
    dialog.SetAttribute(texts[2]);
    dialog.SetSerialNumber(texts[3]);
    dialog.SetSerialNumberInternal(texts[4]);
    dialog.SetOptions(userDataSet, version, 'b');
}

Texts Taken(const CSensorIdDialog& dialog)
{
    return {dialog.GetSensorName(), dialog.GetStockNumber(), dialog.GetAttribute(), dialog.GetSerialNumber(),
            dialog.GetSerialNumberInternal()};
}

QLineEdit* Field(const CDialog& dialog, std::size_t field)
{
    return dialog.GetDlgItemAs<QLineEdit>(FieldIds[field]);
}

// Clicks into the edit and types the UTF-8 text one key press per character, as
// a keyboard or an input method delivers it (a pair of surrogates in one event).
void Type(QLineEdit* edit, const std::string& utf8)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    for (const char32_t c : QString::fromStdString(utf8).toUcs4())
    {
        if (c < 0x80 && c >= 0x20)
        {
            QTest::keyClick(edit, static_cast<char>(c));
        }
        else
        {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUcs4(&c, 1), Qt::NoModifier);
        }
    }
}

// Runs the dialog modally; `action` works inside its loop once it is on the screen.
int RunModal(CSensorIdDialog& dialog, const std::function<void(CSensorIdDialog&)>& action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        action(dialog);
        if (dialog.isVisible())
        {
            dialog.EndDialog(LeftOpen);
        }
    });
    return dialog.DoModal();
}

struct OpeningRow
{
    const char* scenario;
    Texts given;
    bool userDataSet;
    char version;
    std::array<const char*, 5> shown; // UTF-8
    std::array<bool, 5> enabled;
};

void PrintTo(const OpeningRow& row, std::ostream* out)
{
    *out << row.scenario;
}

class OpeningTest : public testing::TestWithParam<OpeningRow>
{
};

TEST_P(OpeningTest, ShowsEachTextAndLetsOnlyMissingRequiredOnesBeTyped)
{
    const OpeningRow& row = GetParam();
    CSensorIdDialog dialog;
    Give(dialog, row.given, row.userDataSet, row.version);
    ASSERT_TRUE(dialog.Create());
    for (std::size_t i = 0; i < FieldIds.size(); ++i)
    {
        QLineEdit* edit = Field(dialog, i);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.shown[i])) << "field " << i;
        EXPECT_EQ(edit->isEnabled(), row.enabled[i]) << "field " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OpeningTest,
    testing::Values(
        OpeningRow{"user_data_set_without_serial_number", With(Complete, 3, ""), true, '3',
                   {"PS-18", "4711.2208.02", "(Not required)", "", "(Not required)"},
                   {false, false, false, true, false}},
        OpeningRow{"factory_version_3_all_empty", Empty, false, '3', {"", "", "", "", ""},
                   {true, true, true, true, true}},
        OpeningRow{"factory_version_4_without_internal_serial_number", With(Complete, 4, ""), false, '4',
                   {"PS-18", "4711.2208.02", "A3", "100234", "(Not required)"}, {false, false, false, false, false}},
        OpeningRow{"factory_version_4_all_empty", Empty, false, '4', {"", "", "", "", "(Not required)"},
                   {true, true, true, true, false}},
        OpeningRow{"factory_version_3_complete", Complete, false, '3',
                   {"PS-18", "4711.2208.02", "A3", "100234", "I-77"}, {false, false, false, false, false}},
        OpeningRow{"non_ascii_texts_shown_converted", {"Sonde \xC2\xB5W", "", "\xCE\xA9-7", "", ""}, false, '3',
                   {"Sonde \xC2\xB5W", "", "\xCE\xA9-7", "", ""}, {false, true, false, true, true}},
        OpeningRow{"bytes_that_are_not_utf8_still_count_as_a_text", {"\xE9\xE8", "", "", "", ""}, false, '3',
                   {"", "", "", "", ""}, {false, true, true, true, true}}),
    [](const testing::TestParamInfo<OpeningRow>& info) { return info.param.scenario; });

enum class Way
{
    OkButton,
    EnterInField,
    CancelButton,
    EscapeInField,
    CloseBox
};

struct ClosingRow
{
    const char* scenario;
    Texts given;
    bool userDataSet;
    char version;
    Texts typed; // into every field, greyed or not
    Way way;
    int expectedResult;
    Texts expected;
};

void PrintTo(const ClosingRow& row, std::ostream* out)
{
    *out << row.scenario;
}

class ClosingTest : public testing::TestWithParam<ClosingRow>
{
};

TEST_P(ClosingTest, HandsBackTypedTextsAndGivenBytes)
{
    const ClosingRow& row = GetParam();
    CSensorIdDialog dialog;
    Give(dialog, row.given, row.userDataSet, row.version);
    const int result = RunModal(dialog, [&row](CSensorIdDialog& d) {
        for (std::size_t i = 0; i < FieldIds.size(); ++i)
        {
            Type(Field(d, i), row.typed[i]);
        }
        QLineEdit* last = Field(d, 3);
        switch (row.way)
        {
        case Way::OkButton:
            QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
            break;
        case Way::EnterInField:
            QTest::keyClick(last, Qt::Key_Return);
            break;
        case Way::CancelButton:
            QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton);
            break;
        case Way::EscapeInField:
            QTest::keyClick(last, Qt::Key_Escape);
            break;
        case Way::CloseBox:
            d.close();
            break;
        }
    });
    EXPECT_EQ(result, row.expectedResult);
    EXPECT_EQ(Taken(dialog), row.expected);
}

const Texts Typed{"TS-2", "0815.0001.11", "B9", "204711", "J-5"};

INSTANTIATE_TEST_SUITE_P(
    Rows, ClosingTest,
    testing::Values(
        ClosingRow{"user_data_set_keeps_texts_not_required", With(Complete, 3, ""), true, '3', Typed, Way::OkButton,
                   IDOK, With(Complete, 3, "204711")},
        ClosingRow{"user_data_set_never_stores_not_required", {"PS-18", "4711", "", "", ""}, true, '3', Typed,
                   Way::OkButton, IDOK, {"PS-18", "4711", "", "204711", ""}},
        ClosingRow{"factory_version_3_all_typed", Empty, false, '3', Typed, Way::OkButton, IDOK, Typed},
        ClosingRow{"factory_version_4_internal_serial_number_not_read", Empty, false, '4', Typed, Way::OkButton,
                   IDOK, With(Typed, 4, "")},
        ClosingRow{"every_enabled_field_left_empty", Empty, false, '3', Empty, Way::OkButton, IDOK, Empty},
        ClosingRow{"greyed_texts_unchanged_by_typing", Complete, false, '3', Typed, Way::OkButton, IDOK, Complete},
        ClosingRow{"non_ascii_typed_arrives_as_utf8", Empty, false, '3',
                   {"M\xC3\xBC\xC3\x9F", "\xCE\xA9-7", "\xE2\x82\xAC", "1" + OutsideBmp, "\xC3\xA9"}, Way::OkButton,
                   IDOK, {"M\xC3\xBC\xC3\x9F", "\xCE\xA9-7", "\xE2\x82\xAC", "1" + OutsideBmp, "\xC3\xA9"}},
        ClosingRow{"latin1_bytes_in_greyed_fields_kept", {"Sonde \xB5W", "\xE9\xE8", "", "", "x\xFFy"}, false, '3',
                   Typed, Way::OkButton, IDOK, {"Sonde \xB5W", "\xE9\xE8", "B9", "204711", "x\xFFy"}},
        ClosingRow{"latin1_bytes_in_fields_not_required_kept", {"", "", "\xC4\xD6", "", "\xDC"}, true, '3', Typed,
                   Way::OkButton, IDOK, {"TS-2", "0815.0001.11", "\xC4\xD6", "204711", "\xDC"}},
        ClosingRow{"enter_in_field_confirms", Empty, false, '3', Typed, Way::EnterInField, IDOK, Typed},
        ClosingRow{"cancel_button_hands_back_given", With(Complete, 0, ""), false, '3', Typed, Way::CancelButton,
                   IDCANCEL, With(Complete, 0, "")},
        ClosingRow{"escape_hands_back_given", Empty, false, '3', Typed, Way::EscapeInField, IDCANCEL, Empty},
        ClosingRow{"close_box_hands_back_given", Empty, true, '4', Typed, Way::CloseBox, IDCANCEL, Empty}),
    [](const testing::TestParamInfo<ClosingRow>& info) { return info.param.scenario; });

struct LimitRow
{
    const char* scenario;
    std::string typed;
    std::string expected;
};

void PrintTo(const LimitRow& row, std::ostream* out)
{
    *out << row.scenario;
}

class LengthLimitTest : public testing::TestWithParam<LimitRow>
{
};

TEST_P(LengthLimitTest, StopsAtTheDataSetsCharacterCount)
{
    const LimitRow& row = GetParam();
    CSensorIdDialog dialog;
    Give(dialog, Empty, false, '3');
    const int result = RunModal(dialog, [&row](CSensorIdDialog& d) {
        Type(Field(d, 0), row.typed);
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetSensorName(), row.expected);

    // What the dialog lets through, the data set takes.
    CTamrix dataSet;
    dataSet.EnableUtf8Support(true);
    EXPECT_NO_THROW(dataSet.SetSensorName(dialog.GetSensorName()));
    EXPECT_EQ(dataSet.GetSensorName(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LengthLimitTest,
    testing::Values(LimitRow{"ascii_up_to_the_limit", Repeat("A", 32), Repeat("A", 32)},
                    LimitRow{"ascii_beyond_the_limit", Repeat("A", 40), Repeat("A", 32)},
                    LimitRow{"two_byte_characters_beyond", Repeat("\xC3\xBC", 40), Repeat("\xC3\xBC", 32)},
                    LimitRow{"outside_bmp_up_to_the_limit", Repeat(OutsideBmp, 32), Repeat(OutsideBmp, 32)},
                    LimitRow{"outside_bmp_beyond_the_limit", Repeat(OutsideBmp, 40), Repeat(OutsideBmp, 32)},
                    LimitRow{"mixed_beyond_the_limit", Repeat("A", 20) + Repeat(OutsideBmp, 20),
                             Repeat("A", 20) + Repeat(OutsideBmp, 12)}),
    [](const testing::TestParamInfo<LimitRow>& info) { return info.param.scenario; });

struct PasteRow
{
    const char* scenario;
    std::string before; // typed first
    std::string pasted;
    std::string expected;
};

void PrintTo(const PasteRow& row, std::ostream* out)
{
    *out << row.scenario;
}

class PasteTest : public testing::TestWithParam<PasteRow>
{
};

TEST_P(PasteTest, TakesAPasteOnlyWhenItFitsWhole)
{
    const PasteRow& row = GetParam();
    CSensorIdDialog dialog;
    Give(dialog, Empty, false, '3');
    const int result = RunModal(dialog, [&row](CSensorIdDialog& d) {
        Type(Field(d, 0), row.before);
        QApplication::clipboard()->setText(QString::fromStdString(row.pasted));
        QTest::keyClick(Field(d, 0), Qt::Key_V, Qt::ControlModifier);
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetSensorName(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PasteTest,
    testing::Values(PasteRow{"fits", "AB", Repeat(OutsideBmp, 30), "AB" + Repeat(OutsideBmp, 30)},
                    PasteRow{"one_character_too_many", "ABC", Repeat(OutsideBmp, 30), "ABC"},
                    PasteRow{"odd_unit_count_before_a_long_paste", "A", Repeat(OutsideBmp, 40), "A"}),
    [](const testing::TestParamInfo<PasteRow>& info) { return info.param.scenario; });

} // namespace
