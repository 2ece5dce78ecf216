#include "MainWindowFixture.h"

namespace
{

constexpr int FlagIds[4] = {IDC_FLAG_ACTIVE_AFTER_RESET, IDC_FLAG_STATE_LOCKED, IDC_FLAG_DEVICE_LOCKED,
                            IDC_FLAG_USE_FACTORY_FLAGS};

struct EnablingCase
{
    const char* scenario;
    const char* sample;
    bool deviceLockedEnabled;
    bool useFactoryFlagsEnabled;
};

class GlobalFlagBoxes : public MainWindowFixture, public testing::WithParamInterface<EnablingCase>
{
};

TEST_P(GlobalFlagBoxes, ShowTheMaskAndAreEnabledAsTheDataSetAllows)
{
    const EnablingCase& row = GetParam();
    LoadIntoWindow(row.sample);
    const unsigned long mask = LoadSample(row.sample).GetSParaCorrDef();
    const unsigned long bits[4] = {sParaCorr_activeAfterReset, sParaCorr_stateLocked, sParaCorr_deviceLocked,
                                   sParaCorr_useFactoryFlags};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(Box(FlagIds[i])->isChecked(), (mask & bits[i]) != 0) << FlagIds[i];
    }
    EXPECT_TRUE(Box(IDC_FLAG_ACTIVE_AFTER_RESET)->isEnabled());
    EXPECT_TRUE(Box(IDC_FLAG_STATE_LOCKED)->isEnabled());
    EXPECT_EQ(Box(IDC_FLAG_DEVICE_LOCKED)->isEnabled(), row.deviceLockedEnabled);
    EXPECT_EQ(Box(IDC_FLAG_USE_FACTORY_FLAGS)->isEnabled(), row.useFactoryFlagsEnabled);
    EXPECT_EQ(Status(), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Samples, GlobalFlagBoxes,
    testing::Values(EnablingCase{"UserVersion3AllEnabled", "user_v3.cal", true, true},
                    EnablingCase{"FactoryVersion3NoFactoryFlags", "factory_v3.cal", true, false},
                    EnablingCase{"FactoryVersion4NoFactoryFlags", "factory_v4.cal", true, false},
                    EnablingCase{"Version2NeitherDeviceLockNorFactoryFlags", "single_device_v2.cal", false, false}),
    [](const testing::TestParamInfo<EnablingCase>& info) { return std::string(info.param.scenario); });

TEST_F(MainWindowFixture, ADisabledBoxStillShowsItsBit)
{
    LoadIntoWindow("single_device_v2.cal");
    m_dialog->DataSet().SetSParaCorrDef(sParaCorr_deviceLocked | sParaCorr_useFactoryFlags);
    m_dialog->RefreshGlobalFlags();
    EXPECT_TRUE(Box(IDC_FLAG_DEVICE_LOCKED)->isChecked());
    EXPECT_TRUE(Box(IDC_FLAG_USE_FACTORY_FLAGS)->isChecked());
    EXPECT_FALSE(Box(IDC_FLAG_DEVICE_LOCKED)->isEnabled());
}

struct ClickCase
{
    const char* scenario;
    int id;
    unsigned long bit;
};

class GlobalFlagClick : public MainWindowFixture, public testing::WithParamInterface<ClickCase>
{
};

TEST_P(GlobalFlagClick, StoresTheWholeMaskAndMarksTheDataSetModified)
{
    const ClickCase& row = GetParam();
    LoadIntoWindow("user_v3.cal");
    const unsigned long before = m_dialog->DataSet().GetSParaCorrDef();
    const std::string dateBefore = m_dialog->DataSet().GetCalDate(CMeasurement::SPara);

    QTest::mouseClick(Box(row.id), Qt::LeftButton);
    EXPECT_EQ(m_dialog->DataSet().GetSParaCorrDef(), before ^ row.bit);
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));
    // A flag is no calibration: the stamp stays as it was.
    EXPECT_EQ(m_dialog->DataSet().GetCalDate(CMeasurement::SPara), dateBefore);

    Box(row.id)->setFocus();
    QTest::keyClick(Box(row.id), Qt::Key_Space);
    EXPECT_EQ(m_dialog->DataSet().GetSParaCorrDef(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, GlobalFlagClick,
    testing::Values(ClickCase{"ActiveAfterReset", IDC_FLAG_ACTIVE_AFTER_RESET, sParaCorr_activeAfterReset},
                    ClickCase{"StateLocked", IDC_FLAG_STATE_LOCKED, sParaCorr_stateLocked},
                    ClickCase{"DeviceLocked", IDC_FLAG_DEVICE_LOCKED, sParaCorr_deviceLocked},
                    ClickCase{"UseFactoryFlags", IDC_FLAG_USE_FACTORY_FLAGS, sParaCorr_useFactoryFlags}),
    [](const testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.scenario); });

TEST_F(MainWindowFixture, GlobalFlagBuildsTheMaskFromTheBoxesNotFromTheDataSet)
{
    LoadIntoWindow("user_v3.cal");
    // A bit the boxes do not show is not carried over.
    m_dialog->DataSet().SetSParaCorrDef(sParaCorr_stateLocked);
    Box(IDC_FLAG_ACTIVE_AFTER_RESET)->setChecked(false);
    Box(IDC_FLAG_STATE_LOCKED)->setChecked(false);
    Box(IDC_FLAG_DEVICE_LOCKED)->setChecked(true);
    Box(IDC_FLAG_USE_FACTORY_FLAGS)->setChecked(false);
    QTest::mouseClick(Box(IDC_FLAG_ACTIVE_AFTER_RESET), Qt::LeftButton);
    EXPECT_EQ(m_dialog->DataSet().GetSParaCorrDef(), sParaCorr_activeAfterReset | sParaCorr_deviceLocked);
}

} // namespace
