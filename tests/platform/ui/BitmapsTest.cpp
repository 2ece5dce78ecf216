#include "Bitmaps.h"
#include "Resource.h"

#include <QColor>

#include "Rows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <utility>

namespace
{

using rows::operator<<;

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb Grey = 0xFF808080;

QRgb Pixel(int id, int x, int y)
{
    return LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32).pixel(x, y);
}

struct PictureRow
{
    const char* scenario;
    int id;
    QRgb centre;
    QRgb leftEdgeMiddle;
};

using BitmapTest = rows::Test<PictureRow>;

TEST_P(BitmapTest, IsA16By16PictureOfItsShape)
{
    const PictureRow& row = GetParam();
    const QImage image = LoadBitmapImage(row.id);
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(Pixel(row.id, 0, 0)), 0) << "transparent around the shape";
    EXPECT_EQ(Pixel(row.id, 7, 8), row.centre);
    EXPECT_EQ(Pixel(row.id, 1, 7), row.leftEdgeMiddle);

    // Only colours of the 16-colour palette.
    const std::set<QRgb> palette{Black, White, Blue, Grey};
    for (int y = 0; y < 16; ++y)
    {
        for (int x = 0; x < 16; ++x)
        {
            const QRgb pixel = Pixel(row.id, x, y);
            EXPECT_TRUE(qAlpha(pixel) == 0 || palette.count(pixel) == 1) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BitmapTest,
                         testing::Values(PictureRow{"ticked_box", IDB_CHECK_TICKED, Blue, Black},
                                         PictureRow{"empty_box", IDB_CHECK_EMPTY, White, Black},
                                         PictureRow{"set_radio", IDB_RADIO_SET, Blue, Black},
                                         PictureRow{"clear_radio", IDB_RADIO_CLEAR, White, Black},
                                         PictureRow{"grey_box", IDB_GREY_BOX, Grey, Grey}),
                         rows::Name());

// The marked and the empty picture differ only where the mark is.
TEST(Bitmaps, MarkedPicturesAreTheEmptyOnesWithABlueMark)
{
    const std::pair<int, int> pairs[] = {{IDB_CHECK_TICKED, IDB_CHECK_EMPTY}, {IDB_RADIO_SET, IDB_RADIO_CLEAR}};
    for (const auto& [marked, empty] : pairs)
    {
        int markPixels = 0;
        for (int y = 0; y < 16; ++y)
        {
            for (int x = 0; x < 16; ++x)
            {
                if (Pixel(marked, x, y) != Pixel(empty, x, y))
                {
                    EXPECT_EQ(Pixel(marked, x, y), Blue);
                    EXPECT_EQ(Pixel(empty, x, y), White);
                    ++markPixels;
                }
            }
        }
        EXPECT_GT(markPixels, 10) << marked;
    }
}

TEST(Bitmaps, CornersOfTheRadioAreCut)
{
    EXPECT_EQ(qAlpha(Pixel(IDB_RADIO_CLEAR, 1, 1)), 0);
    EXPECT_EQ(Pixel(IDB_CHECK_EMPTY, 1, 1), Black);
}

TEST(Bitmaps, UnknownNumberGivesNoPicture)
{
    EXPECT_TRUE(LoadBitmapImage(170).isNull());
    EXPECT_TRUE(LoadBitmap(4711).isNull());
    EXPECT_EQ(LoadBitmap(IDB_GREY_BOX).size(), QSize(16, 16));
}

} // namespace
