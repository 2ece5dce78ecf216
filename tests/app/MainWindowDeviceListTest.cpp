#include "LibraryError.h"
#include "MainWindowFixture.h"
#include "TextConversion.h"

#include <functional>

namespace
{

using DeviceList = MainWindowFixture;

struct NumberingCase
{
    const char* scenario;
    const char* sample;
    long firstNumber;
};

class DeviceNumbering : public MainWindowFixture, public testing::WithParamInterface<NumberingCase>
{
};

TEST_P(DeviceNumbering, ShowsEveryDeviceWithItsNumberAndMnemonic)
{
    const NumberingCase& row = GetParam();
    LoadIntoWindow(row.sample);
    const CTamrix expected = LoadSample(row.sample);
    const long count = expected.GetSParaDeviceNumber();
    ASSERT_GT(count, 0);
    ASSERT_EQ(m_grid->GetRows(), count + 1);
    for (long device = 0; device < count; ++device)
    {
        EXPECT_EQ(m_grid->GetTextMatrix(device + 1, 0), QString::number(row.firstNumber + device)) << device;
        EXPECT_EQ(m_grid->GetTextMatrix(device + 1, 1), Utf8ToWide(expected.GetSPDMnemonic(device))) << device;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DeviceNumbering,
    testing::Values(NumberingCase{"UserDataSetFrom1001", "user_v3.cal", 1001},
                    NumberingCase{"FactoryDataSetFrom1", "factory_v3.cal", 1},
                    NumberingCase{"FactoryVersion4From1", "factory_v4.cal", 1},
                    NumberingCase{"Version2", "single_device_v2.cal", 1}),
    [](const testing::TestParamInfo<NumberingCase>& info) { return std::string(info.param.scenario); });

TEST_F(DeviceList, ShowsANonAsciiMnemonicAsText)
{
    m_dialog->DataSet().SetSParaDeviceNumber(1);
    m_dialog->DataSet().SetSPDMnemonic(0, "D\xC3\xA4mpfung 10 dB");
    m_dialog->RefreshDeviceList();
    EXPECT_EQ(m_grid->GetTextMatrix(1, 1), QString::fromUtf8("D\xC3\xA4mpfung 10 dB"));
}

struct PictureCase
{
    const char* scenario;
    const char* sample;
};

class DevicePictures : public MainWindowFixture, public testing::WithParamInterface<PictureCase>
{
};

TEST_P(DevicePictures, ShowTheDefaultDeviceAndTheWriteProtection)
{
    FormatPair format{};
    const CTamrix expected = LoadSample(GetParam().sample, &format);
    LoadIntoWindow(GetParam().sample);
    const bool hasFlags = std::get<0>(format) == '3' || std::get<0>(format) == '4';
    for (long device = 0; device < expected.GetSParaDeviceNumber(); ++device)
    {
        const bool isDefault = device == expected.GetSParaDefaultDevice();
        EXPECT_EQ(CellPicture(device + 1, 2), Picture(isDefault ? IDB_RADIO_SET : IDB_RADIO_CLEAR)) << device;
        const int protection = !hasFlags                                         ? IDB_GREY_BOX
                               : (expected.GetSParaDeviceFlags(device) & 1) != 0 ? IDB_CHECK_TICKED
                                                                                 : IDB_CHECK_EMPTY;
        EXPECT_EQ(CellPicture(device + 1, 3), Picture(protection)) << device;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DevicePictures,
    testing::Values(PictureCase{"FactoryWithAProtectedDevice", "factory_v3.cal"}, PictureCase{"User", "user_v3.cal"},
                    PictureCase{"Version4", "factory_v4.cal"}, PictureCase{"Version2GreyBoxes", "single_device_v2.cal"}),
    [](const testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.scenario); });

TEST_F(DeviceList, ShrinksWhenTheDataSetHasFewerDevices)
{
    LoadIntoWindow("factory_v3.cal");
    m_dialog->DataSet().SetSParaDeviceNumber(1);
    m_dialog->RefreshDeviceList();
    EXPECT_EQ(m_grid->GetRows(), 2);
    EXPECT_EQ(m_grid->GetTextMatrix(1, 0), QStringLiteral("1"));
}

// Both ways of activating a cell.
enum class Activation
{
    DoubleClick,
    Enter
};

struct DefaultDeviceCase
{
    const char* scenario;
    const char* sample;
    bool clickTheDefault; // else the first device that is not the default
    Activation activation;
    bool defaultRemoved;
    bool changes;
};

class DefaultDeviceColumn : public MainWindowFixture, public testing::WithParamInterface<DefaultDeviceCase>
{
};

TEST_P(DefaultDeviceColumn, ChoosesOrClearsTheDefaultDevice)
{
    const DefaultDeviceCase& row = GetParam();
    LoadIntoWindow(row.sample);
    const long count = m_dialog->DataSet().GetSParaDeviceNumber();
    const long oldDefault = m_dialog->DataSet().GetSParaDefaultDevice();
    ASSERT_GE(count, 2);
    ASSERT_GE(oldDefault, 0) << "the sample needs a default device";
    const long target = row.clickTheDefault ? oldDefault : (oldDefault == 0 ? 1 : 0);

    if (row.activation == Activation::DoubleClick)
    {
        DoubleClickCell(target + 1, 2);
    }
    else
    {
        EnterOnCell(target + 1, 2);
    }

    const long expectedDefault = !row.changes ? oldDefault : row.defaultRemoved ? -1 : target;
    EXPECT_EQ(m_dialog->DataSet().GetSParaDefaultDevice(), expectedDefault);
    for (long device = 0; device < count; ++device)
    {
        EXPECT_EQ(CellPicture(device + 1, 2), Picture(device == expectedDefault ? IDB_RADIO_SET : IDB_RADIO_CLEAR))
            << device;
    }
    EXPECT_EQ(Status(), row.changes ? QStringLiteral("Calibration data set modified.") : QString());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultDeviceColumn,
    testing::Values(
        DefaultDeviceCase{"UserOtherDeviceByDoubleClick", "user_v3.cal", false, Activation::DoubleClick, false, true},
        DefaultDeviceCase{"UserOtherDeviceByEnter", "user_v3.cal", false, Activation::Enter, false, true},
        DefaultDeviceCase{"UserSameDeviceLeavesNone", "user_v3.cal", true, Activation::DoubleClick, true, true},
        DefaultDeviceCase{"FactoryOtherDevice", "factory_v3.cal", false, Activation::Enter, false, true},
        DefaultDeviceCase{"FactorySameDeviceKeepsIt", "factory_v3.cal", true, Activation::DoubleClick, false,
                          false}),
    [](const testing::TestParamInfo<DefaultDeviceCase>& info) { return std::string(info.param.scenario); });

struct WriteProtectionCase
{
    const char* scenario;
    const char* sample;
    bool toggles;
};

class WriteProtectionColumn : public MainWindowFixture, public testing::WithParamInterface<WriteProtectionCase>
{
};

TEST_P(WriteProtectionColumn, TogglesTheFlagWhereTheVersionHasFlags)
{
    const WriteProtectionCase& row = GetParam();
    LoadIntoWindow(row.sample);
    const unsigned long before = m_dialog->DataSet().GetSParaDeviceFlags(0);

    DoubleClickCell(1, 3);
    const unsigned long once = m_dialog->DataSet().GetSParaDeviceFlags(0);
    if (!row.toggles)
    {
        EXPECT_EQ(once, before);
        EXPECT_EQ(CellPicture(1, 3), Picture(IDB_GREY_BOX));
        EXPECT_EQ(Status(), QString());
        return;
    }
    EXPECT_EQ(once, before ^ 1u);
    EXPECT_EQ(CellPicture(1, 3), Picture((once & 1) != 0 ? IDB_CHECK_TICKED : IDB_CHECK_EMPTY));
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));

    EnterOnCell(1, 3);
    EXPECT_EQ(m_dialog->DataSet().GetSParaDeviceFlags(0), before);
    EXPECT_EQ(CellPicture(1, 3), Picture((before & 1) != 0 ? IDB_CHECK_TICKED : IDB_CHECK_EMPTY));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WriteProtectionColumn,
    testing::Values(WriteProtectionCase{"Version3", "factory_v3.cal", true},
                    WriteProtectionCase{"Version4", "factory_v4.cal", true},
                    WriteProtectionCase{"Version2ChangesNothing", "single_device_v2.cal", false}),
    [](const testing::TestParamInfo<WriteProtectionCase>& info) { return std::string(info.param.scenario); });

TEST_F(DeviceList, ActivationWithOnlyTheHeaderRowDoesNothing)
{
    const unsigned long mask = m_dialog->DataSet().GetSParaCorrDef();
    DoubleClickCell(0, 2);
    EnterOnCell(0, 3);
    EXPECT_EQ(m_grid->GetRows(), 1);
    EXPECT_EQ(m_dialog->DataSet().GetSParaDefaultDevice(), -1);
    EXPECT_EQ(m_dialog->DataSet().GetSParaCorrDef(), mask);
    EXPECT_EQ(Status(), QStringLiteral("No cal. data set loaded."));
    EXPECT_TRUE(m_boxes.empty());
}

struct BeforeLoadCase
{
    const char* scenario;
    std::function<void(MainWindowFixture&)> change;
    std::function<bool(const CTamrix&)> changed;
};

class BeforeLoad : public MainWindowFixture, public testing::WithParamInterface<BeforeLoadCase>
{
};

TEST_P(BeforeLoad, ChangesTheDataSetButNotTheStatus)
{
    m_dialog->DataSet().SetSParaDeviceNumber(3);
    m_dialog->RefreshDeviceList();
    GetParam().change(*this);
    EXPECT_TRUE(GetParam().changed(m_dialog->DataSet()));
    EXPECT_EQ(Status(), QStringLiteral("No cal. data set loaded."));
    EXPECT_EQ(m_dialog->DataSet().GetCalDate(CMeasurement::SPara), "");
    EXPECT_EQ(m_dialog->DataSet().GetCalLab(CMeasurement::SPara), "");
}

INSTANTIATE_TEST_SUITE_P(
    Changes, BeforeLoad,
    testing::Values(
        BeforeLoadCase{"DefaultDevice", [](MainWindowFixture& f) { f.DoubleClickCell(2, 2); },
                       [](const CTamrix& set) { return set.GetSParaDefaultDevice() == 1; }},
        BeforeLoadCase{"ClearDefaultDevice",
                       [](MainWindowFixture& f) {
                           f.DoubleClickCell(1, 2);
                           f.DoubleClickCell(1, 2);
                       },
                       [](const CTamrix& set) { return set.GetSParaDefaultDevice() == -1; }},
        BeforeLoadCase{"WriteProtection", [](MainWindowFixture& f) { f.EnterOnCell(3, 3); },
                       [](const CTamrix& set) { return set.GetSParaDeviceFlags(2) == 1; }},
        BeforeLoadCase{"GlobalFlag",
                       [](MainWindowFixture& f) {
                           QTest::mouseClick(f.Box(IDC_FLAG_STATE_LOCKED), Qt::LeftButton);
                       },
                       [](const CTamrix& set) { return set.GetSParaCorrDef() == sParaCorr_stateLocked; }}),
    [](const testing::TestParamInfo<BeforeLoadCase>& info) { return std::string(info.param.scenario); });

TEST_F(DeviceList, ALibraryErrorInTheHandlerIsShownAsItsText)
{
    LoadIntoWindow("factory_v3.cal");
    const long count = m_dialog->DataSet().GetSParaDeviceNumber();
    // The list still shows a device the data set no longer has.
    m_dialog->DataSet().SetSParaDeviceNumber(count - 1);
    QString expected;
    try
    {
        m_dialog->DataSet().GetSParaDeviceFlags(count - 1);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        expected = FormatLibraryError(error);
    }
    ASSERT_FALSE(expected.isEmpty());

    DoubleClickCell(count, 3);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, expected);
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(m_boxes[0].caption, QStringLiteral("Ostrel"));
    EXPECT_TRUE(m_dialog->isVisible());
}

} // namespace
