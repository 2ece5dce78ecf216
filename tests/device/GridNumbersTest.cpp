#include "GridNumbers.h"
#include "MSFlexGrid.h"

#include <QLabel>
#include <QLineEdit>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using rows::operator<<;

struct NumberCase
{
    const char* scenario;
    const char* text;
    double asDouble;
    int asInt;
};

using NumberReaders = rows::Test<NumberCase>;

TEST_P(NumberReaders, ReadTheWholeTextOrGiveTheFallback)
{
    const NumberCase& c = GetParam();
    const QString text = QString::fromLatin1(c.text);
    CMSFlexGrid grid;
    grid.SetTextMatrix(1, 1, text);
    QLineEdit edit(text);
    EXPECT_EQ(CellToDouble(grid, 1, 1, -1.0), c.asDouble);
    EXPECT_EQ(WindowToDouble(&edit, -1.0), c.asDouble);
    EXPECT_EQ(ParseIntOrDefault(&edit, -7), c.asInt);
}

INSTANTIATE_TEST_SUITE_P(Grid, NumberReaders,
                         testing::Values(NumberCase{"Integer", "42", 42.0, 42},
                                         NumberCase{"Negative", "-17", -17.0, -17},
                                         NumberCase{"Engineering", "1.5e3", 1500.0, -7},
                                         NumberCase{"Fraction", "0.25", 0.25, -7},
                                         NumberCase{"Blanks", " 42", -1.0, -7},
                                         NumberCase{"Empty", "", -1.0, -7},
                                         NumberCase{"Text", "abc", -1.0, -7},
                                         NumberCase{"TrailingExponent", "1e", -1.0, -7},
                                         NumberCase{"IntOverflow", "2147483648", 2147483648.0, -7}),
                         rows::Name());

TEST(NumberReaders, CellsOutsideTheTableAndOtherWidgetsGiveTheFallback)
{
    CMSFlexGrid grid;
    EXPECT_EQ(CellToDouble(grid, 5, 5, 3.5), 3.5);
    const QLabel label(QStringLiteral("12"));
    EXPECT_EQ(WindowToDouble(&label, 3.5), 3.5);
    EXPECT_EQ(ParseIntOrDefault(nullptr, 9), 9);
}

} // namespace
