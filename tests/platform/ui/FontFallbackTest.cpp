#include "FontFallback.h"

#include <QFontInfo>

#include "Rows.h"

#include <gtest/gtest.h>

#include <ostream>

namespace
{

using rows::operator<<;

struct FontRow
{
    const char* scenario;
    QString family;
    double pointSize;
    QString fallback;
    QString expectedRequest; // the family asked for
    QString expectedFace; // what the font configuration delivers
};

using FontFallbackTest = rows::Test<FontRow>;

TEST_P(FontFallbackTest, MissingFamilyIsReplacedByTheFallbackName)
{
    const FontRow& row = GetParam();
    const QFont font = CreateFontOrFallback(row.family, row.pointSize, row.fallback);
    EXPECT_EQ(font.family(), row.expectedRequest);
    EXPECT_DOUBLE_EQ(font.pointSizeF(), row.pointSize);
    EXPECT_EQ(QFontInfo(font).family(), row.expectedFace);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FontFallbackTest,
    testing::Values(
        FontRow{"installed_family_is_kept", "DejaVu Sans Mono", 10, "Liberation Mono", "DejaVu Sans Mono",
                "DejaVu Sans Mono"},
        FontRow{"family_name_case_does_not_matter", "liberation mono", 9.75, "DejaVu Sans", "liberation mono",
                "Liberation Mono"},
        FontRow{"status_font_falls_back_to_arial_substitute", "Segoe UI", 18, "Arial", "Arial", "Liberation Sans"},
        FontRow{"view_font_falls_back_to_courier_new_substitute", "Consolas", 10, "Courier New", "Courier New",
                "Liberation Mono"},
        FontRow{"invented_family", "No Such Family 4711", 8, "DejaVu Sans", "DejaVu Sans", "DejaVu Sans"}),
    rows::Name());

TEST(FontFallback, SubstitutesDoNotCountAsInstalled)
{
    EXPECT_TRUE(IsFontFamilyInstalled(QStringLiteral("Liberation Sans")));
    EXPECT_FALSE(IsFontFamilyInstalled(QStringLiteral("Arial")));
    EXPECT_FALSE(IsFontFamilyInstalled(QStringLiteral("MS Shell Dlg")));
}

} // namespace
