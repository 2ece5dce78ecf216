// The desktop services under the windows: dialog units, fonts and the clipboard.

#include "Clipboard.h"
#include "DialogUnits.h"
#include "FontFallback.h"

#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

namespace
{

// Dialog units round half away from zero; the average character width rounds to the nearest pixel.
TEST(DialogUnits, RoundingGivesTheFrameworksPixels)
{
    const std::tuple<const char*, int, int> cases[] = {
        {"half_up", MulDiv(7, 6, 4), 11},
        {"below_half", MulDiv(5, 13, 8), 8},
        {"negative_half_away", MulDiv(-7, 6, 4), -11},
        {"negative_divisor", MulDiv(7, 6, -4), -11},
        {"division_by_zero", MulDiv(1, 1, 0), -1},
        {"wide_intermediate", MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX},
        {"overflowing_result", MulDiv(INT_MAX, 2, 1), -1},
        {"alphabet_just_below_six", BaseUnitsFromMetrics(285, 13).x, 5},
        {"alphabet_rounds_up_to_six", BaseUnitsFromMetrics(286, 13).x, 6},
    };
    for (const auto& [scenario, pixels, expected] : cases)
        EXPECT_EQ(pixels, expected) << scenario;
}

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

// Each row: our bytes put (nullptr: another program puts the text instead), the text other programs see, or
// put, and the bytes read back.
TEST(Clipboard, CarriesBytesAndReadsOtherTextAsLatin1)
{
    const std::string Cells = "1\t2,5e3\tGr\xFC\xDF" "e \xB5W\r\n";
    const char Controls[] = "\x00\x01\x7F\x80\x9F\r\n";
    const std::tuple<const char*, const char*, std::size_t, QString, std::string> cases[] = {
        {"our_latin1_cells", Cells.c_str(), Cells.size(), "1\t2,5e3\tGrüße µW\r\n", Cells},
        {"our_control_bytes", Controls, 7, QString::fromLatin1(Controls, 7), std::string(Controls, 7)},
        {"other_text_without_what_latin1_lacks", nullptr, 0, "Grüße\t5 €\ta😀b Ом=50\r\n",
         "Gr\xFC\xDF" "e\t5 \tab =50\r\n"},
        {"no_text", nullptr, 0, QString(), ""},
    };
    for (const auto& [scenario, ours, size, text, bytes] : cases) {
        if (ours)
            SetClipboardText8(std::string(ours, size));
        else if (text.isNull())
            QGuiApplication::clipboard()->clear();
        else
            QGuiApplication::clipboard()->setText(text);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), text) << scenario;
        EXPECT_EQ(GetClipboardText8(), bytes) << scenario;
    }
}

} // namespace
