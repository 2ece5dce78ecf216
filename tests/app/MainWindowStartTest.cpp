#include "MainWindowFixture.h"

#include "Menu.h"

#include <QFontInfo>

namespace
{

using MainWindowStart = MainWindowFixture;

TEST_F(MainWindowStart, ShowsOnlyTheHeaderRow)
{
    EXPECT_EQ(m_grid->GetRows(), 1);
    ASSERT_EQ(m_grid->GetCols(), 4);
    const QStringList headers{"Dev. #", "Dev. Mnemonic", "Default Dev.", "Write Prot."};
    for (int col = 0; col < 4; ++col)
    {
        EXPECT_EQ(m_grid->GetTextMatrix(0, col), headers[col]) << col;
    }
    EXPECT_EQ(m_dialog->DataSet().GetSParaDeviceNumber(), 0);
    EXPECT_EQ(m_dialog->Version(), '3');
    EXPECT_EQ(m_dialog->Revision(), '0');
    EXPECT_FALSE(m_dialog->IsLoaded());
}

TEST_F(MainWindowStart, WritesTheListInAFixedPitchFont)
{
    EXPECT_DOUBLE_EQ(m_grid->font().pointSizeF(), 9.75);
    EXPECT_TRUE(QFontInfo(m_grid->font()).fixedPitch()) << QFontInfo(m_grid->font()).family().toStdString();
}

TEST_F(MainWindowStart, LocksEveryColumnSoActivationReachesTheWindow)
{
    for (int col = 0; col < 4; ++col)
    {
        EXPECT_NE(m_grid->GetColumnType(col), Value) << col;
        EXPECT_NE(m_grid->GetColumnType(col), Frequency) << col;
    }
}

TEST_F(MainWindowStart, SizesTheMnemonicColumnToTheRestOfTheGrid)
{
    // The grid keeps whole pixels: a width reads back within one pixel's twips.
    const long pixelTwips = 1440 / m_grid->logicalDpiX() + 1;
    EXPECT_NEAR(m_grid->GetColWidth(0), 850, pixelTwips);
    EXPECT_NEAR(m_grid->GetColWidth(2), 1550, pixelTwips);
    EXPECT_NEAR(m_grid->GetColWidth(3), 1400, pixelTwips);
    const long gridTwips = static_cast<long>(m_grid->width() - 60) * 1440 / m_grid->logicalDpiX();
    EXPECT_NEAR(m_grid->GetColWidth(1), gridTwips - 3800, pixelTwips);
    EXPECT_GT(m_grid->GetColWidth(1), 1000);
    EXPECT_EQ(m_grid->GetColAlignment(0), 4);
    EXPECT_EQ(m_grid->GetColAlignment(1), 1);
}

TEST_F(MainWindowStart, ShowsTheEmptyDataSetsFlagsWithAllBoxesEnabled)
{
    for (int id : {IDC_FLAG_ACTIVE_AFTER_RESET, IDC_FLAG_STATE_LOCKED, IDC_FLAG_DEVICE_LOCKED,
                   IDC_FLAG_USE_FACTORY_FLAGS})
    {
        ASSERT_NE(Box(id), nullptr) << id;
        EXPECT_FALSE(Box(id)->isChecked()) << id;
        EXPECT_TRUE(Box(id)->isEnabled()) << id;
    }
}

TEST_F(MainWindowStart, SaysNoDataSetIsLoadedInTheGreyStatusFont)
{
    EXPECT_EQ(Status(), QStringLiteral("No cal. data set loaded."));
    auto* status = m_dialog->GetDlgItemAs<QLineEdit>(IDC_STATUS_LINE);
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->isEnabled());
    EXPECT_TRUE(status->isReadOnly());
    EXPECT_EQ(status->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(status->font().pointSizeF(), 18.0);
    // Without "Segoe UI" the font configuration's face for "Arial" is accepted.
    const QString family = status->font().family();
    EXPECT_TRUE(family == QStringLiteral("Segoe UI") || family == QStringLiteral("Arial")) << family.toStdString();
}

TEST_F(MainWindowStart, HasTheCaptionAndTheIcon)
{
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ostrel"));
    EXPECT_FALSE(m_dialog->windowIcon().isNull());
    EXPECT_FALSE(m_dialog->windowIcon().pixmap(16, 16).isNull());
}

struct SensorOptionCase
{
    const char* scenario;
    int position;
    bool (COstrelDlg::*option)() const;
};

class SensorMenuOption : public MainWindowFixture, public testing::WithParamInterface<SensorOptionCase>
{
};

TEST_P(SensorMenuOption, StartsUncheckedWithTheBoxPictures)
{
    const SensorOptionCase& row = GetParam();
    CMenu sensor = m_dialog->GetMenu().GetSubMenu(1);
    EXPECT_EQ(sensor.GetMenuState(row.position, MF_BYPOSITION) & MF_CHECKED, 0u);
    EXPECT_FALSE((m_dialog.get()->*row.option)());
    QAction* action = sensor.FindMenuItem(row.position, MF_BYPOSITION);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32),
              Picture(IDB_CHECK_EMPTY));
}

TEST_P(SensorMenuOption, ChoosingTheItemTogglesTheOptionAndItsCheckMark)
{
    const SensorOptionCase& row = GetParam();
    CMenu sensor = m_dialog->GetMenu().GetSubMenu(1);
    QAction* action = sensor.FindMenuItem(row.position, MF_BYPOSITION);
    ASSERT_NE(action, nullptr);

    action->trigger();
    EXPECT_TRUE((m_dialog.get()->*row.option)());
    EXPECT_EQ(sensor.GetMenuState(row.position, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32),
              Picture(IDB_CHECK_TICKED));

    action->trigger();
    EXPECT_FALSE((m_dialog.get()->*row.option)());
    EXPECT_EQ(sensor.GetMenuState(row.position, MF_BYPOSITION) & MF_CHECKED, 0u);
    EXPECT_EQ(Status(), QStringLiteral("No cal. data set loaded."));
}

INSTANTIATE_TEST_SUITE_P(
    Options, SensorMenuOption,
    testing::Values(SensorOptionCase{"ScanNetwork", 3, &COstrelDlg::IncludeNetworkResources},
                    SensorOptionCase{"AlwaysFactory", 4, &COstrelDlg::AlwaysUseFactoryDataSet}),
    [](const testing::TestParamInfo<SensorOptionCase>& info) { return std::string(info.param.scenario); });

} // namespace
