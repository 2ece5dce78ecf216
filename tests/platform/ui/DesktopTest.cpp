// The desktop services under the windows: dialog units, fonts and the clipboard.

#include "Clipboard.h"
#include "DialogUnits.h"
#include "FontFallback.h"
#include "Rows.h"

#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace
{

using rows::operator<<;

// Dialog units round half away from zero; the average character width rounds to the nearest pixel.
struct RoundingRow
{
    const char* scenario;
    std::function<int()> compute;
    int expected;
};

using RoundingTest = testing::TestWithParam<RoundingRow>;

TEST_P(RoundingTest, GivesTheFrameworksPixels)
{
    EXPECT_EQ(GetParam().compute(), GetParam().expected);
}

const std::vector<RoundingRow> RoundingRows{
    {"half_up", [] { return MulDiv(7, 6, 4); }, 11},
    {"below_half", [] { return MulDiv(5, 13, 8); }, 8},
    {"negative_half_away", [] { return MulDiv(-7, 6, 4); }, -11},
    {"negative_divisor", [] { return MulDiv(7, 6, -4); }, -11},
    {"division_by_zero", [] { return MulDiv(1, 1, 0); }, -1},
    {"wide_intermediate", [] { return MulDiv(INT_MAX, INT_MAX, INT_MAX); }, INT_MAX},
    {"overflowing_result", [] { return MulDiv(INT_MAX, 2, 1); }, -1},
    {"alphabet_just_below_six", [] { return BaseUnitsFromMetrics(285, 13).x; }, 5},
    {"alphabet_rounds_up_to_six", [] { return BaseUnitsFromMetrics(286, 13).x; }, 6},
};

INSTANTIATE_TEST_SUITE_P(Rows, RoundingTest, testing::ValuesIn(RoundingRows), rows::Name());

// Substitutes do not count as installed, and the case of a family's name does not matter.
TEST(FontFallback, MissingFamilyIsReplacedByTheFallbackName)
{
    // Installed, the family asked for, the size and the face the font configuration delivers.
    const auto made = [](const QString& family) {
        const QFont font = CreateFontOrFallback(family, 9.75, "DejaVu Sans");
        return std::make_tuple(IsFontFamilyInstalled(family), font.family(), font.pointSizeF(),
                               QFontInfo(font).family());
    };
    EXPECT_EQ(made("liberation mono"),
              std::make_tuple(true, QString("liberation mono"), 9.75, QString("Liberation Mono")));
    EXPECT_EQ(made("Arial"), std::make_tuple(false, QString("DejaVu Sans"), 9.75, QString("DejaVu Sans")));
}

struct ClipboardRow
{
    const char* scenario;
    const char* ours; // put as bytes, nullptr: another program puts `text`
    std::size_t size;
    QString text; // what other programs see, or put
    std::string bytes; // read back
};

using ClipboardTest = testing::TestWithParam<ClipboardRow>;

TEST_P(ClipboardTest, CarriesBytesAndReadsOtherTextAsLatin1)
{
    const ClipboardRow& row = GetParam();
    if (row.ours)
        SetClipboardText8(std::string(row.ours, row.size));
    else if (row.text.isNull())
        QGuiApplication::clipboard()->clear();
    else
        QGuiApplication::clipboard()->setText(row.text);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), row.text);
    EXPECT_EQ(GetClipboardText8(), row.bytes);
}

const std::string Cells = "1\t2,5e3\tGr\xFC\xDF" "e \xB5W\r\n";
const char Controls[] = "\x00\x01\x7F\x80\x9F\r\n";

const std::vector<ClipboardRow> ClipboardRows{
    {"our_latin1_cells", Cells.c_str(), Cells.size(), "1\t2,5e3\tGrüße µW\r\n", Cells},
    {"our_control_bytes", Controls, 7, QString::fromLatin1(Controls, 7), std::string(Controls, 7)},
    {"other_text_without_what_latin1_lacks", nullptr, 0, "Grüße\t5 €\ta😀b Ом=50\r\n", "Gr\xFC\xDF" "e\t5 \tab =50\r\n"},
    {"no_text", nullptr, 0, QString(), ""},
};

INSTANTIATE_TEST_SUITE_P(Rows, ClipboardTest, testing::ValuesIn(ClipboardRows), rows::Name());

} // namespace
