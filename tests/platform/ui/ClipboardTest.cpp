#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "Rows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace
{

using rows::operator<<;

TEST(Clipboard, EveryByteComesBackAsItWasPut)
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
    {
        bytes.push_back(static_cast<char>(value));
    }
    SetClipboardText8(bytes);
    EXPECT_EQ(GetClipboardText8(), bytes);
}

TEST(Clipboard, OtherProgramsSeeLatin1Text)
{
    const std::string cells = "1\t2,5e3\tGr\xFC\xDF"
                              "e \xB5W\r\n";
    SetClipboardText8(cells);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("1\t2,5e3\tGrüße µW\r\n"));
}

struct ForeignRow
{
    const char* scenario;
    QString text;
    std::string expected;
};

using ClipboardForeignTextTest = rows::Test<ForeignRow>;

TEST_P(ClipboardForeignTextTest, IsReadAsLatin1LeavingOutWhatItCannotHold)
{
    QGuiApplication::clipboard()->setText(GetParam().text);
    EXPECT_EQ(GetClipboardText8(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClipboardForeignTextTest,
    testing::Values(ForeignRow{"ascii_cells", QStringLiteral("1\t2\r\n"), "1\t2\r\n"},
                    ForeignRow{"latin1_letters", QString::fromUtf8("Grüße"), "Gr\xFC\xDF"
                                                                              "e"},
                    ForeignRow{"euro_sign_left_out", QString::fromUtf8("5 €"), "5 "},
                    ForeignRow{"surrogate_pair_left_out_whole", QString::fromUtf8("a😀b"), "ab"},
                    ForeignRow{"cyrillic_left_out", QString::fromUtf8("Ом=50"), "=50"}),
    rows::Name());

TEST(Clipboard, NoTextReadsAsEmpty)
{
    SetClipboardText8("left over");
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(GetClipboardText8(), std::string());
}

} // namespace
