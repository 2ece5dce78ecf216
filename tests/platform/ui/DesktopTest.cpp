// The desktop services under the windows: dialog units, fonts, the clipboard,
// the beep, the wait cursor and the pictures.

#include "Bitmaps.h"
#include "Clipboard.h"
#include "DialogUnits.h"
#include "FontFallback.h"
#include "MessageBeep.h"
#include "Resource.h"
#include "Rows.h"
#include "WaitCursor.h"

#include <QClipboard>
#include <QCursor>
#include <QFontInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>

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

using RoundingTest = rows::Test<RoundingRow>;

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

using ClipboardTest = rows::Test<ClipboardRow>;

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

TEST(MessageBeep, GoesThroughTheInstalledHook)
{
    std::vector<UINT> outer, inner;
    const ScopedBeepHook outerHook([&outer](UINT type) { outer.push_back(type); });
    MessageBeep(MB_DEFAULT_BEEP);
    auto innerHook = std::make_unique<ScopedBeepHook>([&inner](UINT type) { inner.push_back(type); });
    MessageBeep(MB_ICONSTOP);
    innerHook.reset();
    MessageBeep(MB_ICONEXCLAMATION);
    EXPECT_EQ(outer, (std::vector<UINT>{MB_DEFAULT_BEEP, MB_ICONEXCLAMATION}));
    EXPECT_EQ(inner, std::vector<UINT>{MB_ICONSTOP});
}

Qt::CursorShape Shape()
{
    return QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor;
}

TEST(WaitCursor, NestsAndRestoresThePreviousCursor)
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::IBeamCursor));
    auto outer = std::make_unique<CWaitCursor>();
    auto inner = std::make_unique<CWaitCursor>();
    EXPECT_EQ(Shape(), Qt::WaitCursor);
    inner.reset();
    EXPECT_EQ(Shape(), Qt::WaitCursor);
    outer.reset();
    EXPECT_EQ(Shape(), Qt::IBeamCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

QRgb Pixel(int id, int x, int y)
{
    return LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32).pixel(x, y);
}

constexpr QRgb Black = 0xFF000000, White = 0xFFFFFFFF, Blue = 0xFF0000FF, Grey = 0xFF808080, Clear = 0;

struct PictureRow
{
    const char* scenario;
    int id;
    QRgb centre, leftEdge, corner;
    int emptyOf; // the picture that is this one with a blue mark, 0 for none; its shape follows
};

using BitmapTest = rows::Test<PictureRow>;

// 16 by 16 pixels of the 16-colour palette on a transparent ground.
TEST_P(BitmapTest, IsA16By16PictureOfItsShape)
{
    const PictureRow& row = GetParam();
    ASSERT_EQ(LoadBitmap(row.id).size(), QSize(16, 16));
    EXPECT_EQ(std::vector<QRgb>({Pixel(row.id, 0, 0), Pixel(row.id, 7, 8), Pixel(row.id, 1, 7), Pixel(row.id, 1, 1)}),
              std::vector<QRgb>({Clear, row.centre, row.leftEdge, row.corner}));
    int marks = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb pixel = Pixel(row.id, x, y);
            EXPECT_TRUE(qAlpha(pixel) == 0 || pixel == Black || pixel == White || pixel == Blue || pixel == Grey);
            if (row.emptyOf && pixel != Pixel(row.emptyOf, x, y)) {
                EXPECT_EQ(std::make_pair(Pixel(row.emptyOf, x, y), pixel), std::make_pair(White, Blue));
                ++marks;
            }
        }
    EXPECT_EQ(marks > 10, row.emptyOf != 0);
}

const std::vector<PictureRow> PictureRows{
    {"ticked_box", IDB_CHECK_TICKED, Blue, Black, Black, IDB_CHECK_EMPTY},
    {"set_radio", IDB_RADIO_SET, Blue, Black, Clear, IDB_RADIO_CLEAR},
    {"grey_box", IDB_GREY_BOX, Grey, Grey, Grey, 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, BitmapTest, testing::ValuesIn(PictureRows), rows::Name());

TEST(Bitmaps, UnknownNumberGivesNoPicture)
{
    EXPECT_TRUE(LoadBitmapImage(170).isNull());
    EXPECT_TRUE(LoadBitmap(4711).isNull());
}

} // namespace
