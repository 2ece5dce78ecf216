#include "CalDate.h"
#include "Device.h"
#include "GridMessages.h"
#include "MainWindowFixture.h"
#include "PostMessage.h"

#include <QPushButton>

#include <cmath>

namespace
{

const QString Ostrel = QStringLiteral("Ostrel");
const QString Modified = QStringLiteral("Calibration data set modified.");

std::vector<std::string> Mnemonics(const CTamrix& set)
{
    std::vector<std::string> names;
    for (long i = 0; i < set.GetSParaDeviceNumber(); ++i)
    {
        names.push_back(set.GetSPDMnemonic(i));
    }
    return names;
}

class DeviceCommand : public MainWindowFixture
{
public:
    // A loaded sample with the grid's current row on `row`, the grid focused or not.
    void Prepare(const char* sample, long row, bool gridFocused)
    {
        if (sample != nullptr)
        {
            LoadIntoWindow(sample);
        }
        if (row > 0)
        {
            m_grid->SetRow(row);
        }
        if (gridFocused)
        {
            m_grid->setFocus(Qt::MouseFocusReason);
        }
        else
        {
            Box(IDC_FLAG_STATE_LOCKED)->setFocus(Qt::MouseFocusReason);
        }
        QApplication::processEvents();
    }

    std::string SParaDate() const { return m_dialog->DataSet().GetCalDate(CMeasurement::SPara); }
};

struct RefusalCase
{
    const char* scenario;
    const char* sample; // nullptr: the empty start data set
    int command;
    long row;
    bool gridFocused;
    const char* text;
};

class Refusal : public DeviceCommand, public testing::WithParamInterface<RefusalCase>
{
};

TEST_P(Refusal, ShowsAStopBoxAndChangesNothing)
{
    const RefusalCase& row = GetParam();
    Prepare(row.sample, row.row, row.gridFocused);
    const CTamrix before = m_dialog->DataSet();
    const QString status = Status();

    m_dialog->SendCommand(row.command);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QString::fromLatin1(row.text));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(m_boxes[0].buttons, MessageBoxButtons::Ok);
    EXPECT_EQ(m_boxes[0].caption, Ostrel);
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(before));
    EXPECT_EQ(m_dialog->DataSet().GetSParaDefaultDevice(), before.GetSParaDefaultDevice());
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusal,
    testing::Values(
        RefusalCase{"EditEmptyList", nullptr, ID_DEVICE_EDIT, 0, true, "No device available!"},
        RefusalCase{"DeleteEmptyList", nullptr, ID_DEVICE_DELETE, 0, true, "No device available!"},
        RefusalCase{"MoveUpEmptyList", nullptr, ID_DEVICE_MOVE_UP, 0, true, "No device available!"},
        RefusalCase{"MoveDownEmptyList", nullptr, ID_DEVICE_MOVE_DOWN, 0, true, "No device available!"},
        RefusalCase{"EditWithoutFocus", "factory_v3.cal", ID_DEVICE_EDIT, 2, false, "No device selected!"},
        RefusalCase{"DeleteWithoutFocus", "factory_v3.cal", ID_DEVICE_DELETE, 2, false, "No device selected!"},
        RefusalCase{"MoveUpWithoutFocus", "factory_v3.cal", ID_DEVICE_MOVE_UP, 2, false, "No device selected!"},
        RefusalCase{"MoveDownWithoutFocus", "factory_v3.cal", ID_DEVICE_MOVE_DOWN, 2, false, "No device selected!"},
        RefusalCase{"DeleteWriteProtected", "factory_v3.cal", ID_DEVICE_DELETE, 3, true,
                    "This device is write-protected!\r\nRemove write protection first."},
        RefusalCase{"MoveUpFirstRow", "factory_v3.cal", ID_DEVICE_MOVE_UP, 1, true,
                    "This device is already on top of the list."},
        RefusalCase{"MoveDownLastRow", "factory_v3.cal", ID_DEVICE_MOVE_DOWN, 4, true,
                    "This device is already at the end of the list."}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.scenario); });

TEST_F(DeviceCommand, DeleteAsksWithNoAsDefaultAndNoKeepsTheDevice)
{
    Prepare("factory_v3.cal", 1, true);
    const CTamrix before = m_dialog->DataSet();
    m_yesNoAnswer = IDNO;

    m_dialog->SendCommand(ID_DEVICE_DELETE);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("Deleting cannot be undone. Proceed?"));
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Exclamation);
    EXPECT_EQ(m_boxes[0].buttons, MessageBoxButtons::YesNo);
    EXPECT_EQ(m_boxes[0].defaultButton, IDNO);
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(before));
    EXPECT_EQ(Status(), QString());
}

struct DeleteCase
{
    const char* scenario;
    const char* sample;
    long devicesToKeep; // devices beyond these are dropped before
    long row;
    bool deleteKey; // the grid's Delete key instead of the menu
    long defaultAfter;
};

class Delete : public DeviceCommand, public testing::WithParamInterface<DeleteCase>
{
};

TEST_P(Delete, RemovesTheSelectedDeviceWithoutStamp)
{
    const DeleteCase& row = GetParam();
    LoadIntoWindow(row.sample);
    m_dialog->DataSet().SetSParaDeviceNumber(row.devicesToKeep);
    m_dialog->RefreshDeviceList();
    Prepare(nullptr, row.row, true);
    std::vector<std::string> expected = Mnemonics(m_dialog->DataSet());
    expected.erase(expected.begin() + (row.row - 1));
    const std::string date = SParaDate();

    if (row.deleteKey)
    {
        QTest::keyClick(m_grid, Qt::Key_Delete);
        DeliverPosted();
    }
    else
    {
        m_dialog->SendCommand(ID_DEVICE_DELETE);
    }

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), expected);
    EXPECT_EQ(m_dialog->DataSet().GetSParaDefaultDevice(), row.defaultAfter);
    EXPECT_EQ(m_grid->GetRows(), static_cast<long>(expected.size()) + 1);
    EXPECT_EQ(Status(), Modified);
    EXPECT_EQ(SParaDate(), date);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Delete,
    testing::Values(DeleteCase{"BeforeTheDefault", "factory_v3.cal", 4, 1, false, 0},
                    DeleteCase{"AfterTheDefault", "factory_v3.cal", 4, 4, true, 1},
                    DeleteCase{"OnlyDeviceOfAUserDataSet", "user_v3.cal", 1, 1, false, -1}),
    [](const testing::TestParamInfo<DeleteCase>& info) { return std::string(info.param.scenario); });

struct NewDeviceCase
{
    const char* scenario;
    const char* sample;
    bool clearDevices;
    int command; // 0: the grid's Insert key
    long row; // current row before
    bool gridFocused;
    long at; // where the new device lands
    double frequency;
    double lower;
    double upper;
    bool warned; // the single-device warning
};

class NewDevice : public DeviceCommand, public testing::WithParamInterface<NewDeviceCase>
{
};

TEST_P(NewDevice, AddsANamedDeviceFromTheSensorFiguresAndStamps)
{
    const NewDeviceCase& row = GetParam();
    LoadIntoWindow(row.sample);
    if (row.clearDevices)
    {
        m_dialog->DataSet().SetSParaDeviceNumber(0);
        m_dialog->RefreshDeviceList();
    }
    m_dialog->SetUserData("Lab 7", "Eng 9");
    Prepare(nullptr, row.row, row.gridFocused);
    std::vector<std::string> expected = Mnemonics(m_dialog->DataSet());
    expected.insert(expected.begin() + row.at, "new_device");
    const std::string defaultName = m_dialog->DataSet().GetSParaDefaultDevice() >= 0
                                        ? m_dialog->DataSet().GetSPDMnemonic(m_dialog->DataSet().GetSParaDefaultDevice())
                                        : std::string();

    if (row.command == 0)
    {
        QTest::keyClick(m_grid, Qt::Key_Insert);
        DeliverPosted();
    }
    else
    {
        m_dialog->SendCommand(row.command);
    }

    const CTamrix& set = m_dialog->DataSet();
    EXPECT_EQ(Mnemonics(set), expected);
    EXPECT_EQ(set.GetSParaFreqNumber(row.at), 1);
    EXPECT_EQ(set.GetSParaFreq(row.at, 0), row.frequency);
    EXPECT_FLOAT_EQ(static_cast<float>(set.GetSParaMinPower(row.at)), static_cast<float>(row.lower));
    EXPECT_FLOAT_EQ(static_cast<float>(set.GetSParaMaxPower(row.at)), static_cast<float>(row.upper));
    if (!defaultName.empty())
    {
        EXPECT_EQ(set.GetSPDMnemonic(set.GetSParaDefaultDevice()), defaultName);
    }
    EXPECT_EQ(m_grid->GetTextMatrix(row.at + 1, 1), QStringLiteral("new_device"));
    EXPECT_EQ(Status(), Modified);
    EXPECT_EQ(SParaDate(), TodayCalDate());
    EXPECT_EQ(set.GetCalLab(CMeasurement::SPara), "Lab 7");
    EXPECT_EQ(set.GetCalEng(CMeasurement::SPara), "Eng 9");
    if (row.warned)
    {
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes[0].text, QStringLiteral("This sensor supports only one s-parameter device!\r\n"
                                                  "Saving calibration data will not be possible."));
        EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Exclamation);
        EXPECT_EQ(m_boxes[0].buttons, MessageBoxButtons::Ok);
    }
    else
    {
        EXPECT_TRUE(m_boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewDevice,
    testing::Values(
        NewDeviceCase{"AppendFactory", "factory_v3.cal", false, ID_DEVICE_APPEND, 2, true, 4, 1e7, 1e-10, 0.2, false},
        NewDeviceCase{"AppendUserWithoutLimits", "user_v3.cal", false, ID_DEVICE_APPEND, 1, false, 2, 1e7, 0.0, 0.1,
                      false},
        NewDeviceCase{"InsertBeforeCurrentRow", "factory_v3.cal", false, ID_DEVICE_INSERT, 2, true, 1, 1e7, 1e-10, 0.2,
                      false},
        NewDeviceCase{"InsertWithoutFocusUsesTheCurrentRow", "factory_v3.cal", false, ID_DEVICE_INSERT, 3, false, 2,
                      1e7, 1e-10, 0.2, false},
        NewDeviceCase{"InsertKey", "user_v3.cal", false, 0, 1, true, 0, 1e7, 0.0, 0.1, false},
        NewDeviceCase{"InsertOnEmptyListAppends", "user_v3.cal", true, ID_DEVICE_INSERT, 0, false, 0, 1e7, 0.0, 0.1,
                      false},
        NewDeviceCase{"AppendVersion2Warns", "single_device_v2.cal", false, ID_DEVICE_APPEND, 1, true, 1, 1e7, 1e-10,
                      0.2, true},
        NewDeviceCase{"InsertVersion2Warns", "single_device_v2.cal", false, ID_DEVICE_INSERT, 1, true, 0, 1e7, 1e-10,
                      0.2, true},
        NewDeviceCase{"AppendVersion2EmptyListNoWarning", "single_device_v2.cal", true, ID_DEVICE_APPEND, 0, true, 0,
                      1e7, 1e-10, 0.2, false}),
    [](const testing::TestParamInfo<NewDeviceCase>& info) { return std::string(info.param.scenario); });

TEST_F(DeviceCommand, NewDeviceTakesStartValuesForFiguresNotGiven)
{
    LoadIntoWindow("factory_v3.cal");
    MiscNum misc = m_dialog->DataSet().GetMiscNum();
    misc.startFrequency = std::nanf("");
    misc.minPower = 2e-9f;
    misc.maxPower = std::nanf("");
    m_dialog->DataSet().SetMiscNum(misc);
    m_dialog->SendCommand(ID_DEVICE_APPEND);
    const CTamrix& set = m_dialog->DataSet();
    const long added = set.GetSParaDeviceNumber() - 1;
    EXPECT_EQ(set.GetSParaFreq(added, 0), 0.0);
    EXPECT_FLOAT_EQ(static_cast<float>(set.GetSParaMinPower(added)), 2e-9f);
    EXPECT_FLOAT_EQ(static_cast<float>(set.GetSParaMaxPower(added)), 0.1f);
}

struct MoveCase
{
    const char* scenario;
    int command;
    long row;
    long defaultDevice; // set before the move
    bool writeProtected; // the moved device is protected
};

class Move : public DeviceCommand, public testing::WithParamInterface<MoveCase>
{
};

TEST_P(Move, SwapsWithTheNeighbourAndTheDefaultMarkStaysOnItsDevice)
{
    const MoveCase& row = GetParam();
    LoadIntoWindow("factory_v3.cal");
    CTamrix& set = m_dialog->DataSet();
    set.SetSParaDefaultDevice(row.defaultDevice);
    set.SetSParaDeviceFlags(row.row - 1, row.writeProtected ? sParaDevice_writeProtected : 0);
    m_dialog->RefreshDeviceList();
    Prepare(nullptr, row.row, true);
    const long step = row.command == ID_DEVICE_MOVE_UP ? -1 : 1;
    std::vector<std::string> expected = Mnemonics(set);
    std::swap(expected[row.row - 1], expected[row.row - 1 + step]);
    const std::string defaultName = set.GetSPDMnemonic(row.defaultDevice);
    const std::string date = SParaDate();

    m_dialog->SendCommand(row.command);

    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(Mnemonics(set), expected);
    EXPECT_EQ(set.GetSPDMnemonic(set.GetSParaDefaultDevice()), defaultName);
    EXPECT_EQ(m_grid->GetRow(), row.row + step);
    for (long r = 1; r < m_grid->GetRows(); ++r)
    {
        const bool marked = r - 1 == set.GetSParaDefaultDevice();
        EXPECT_EQ(CellPicture(r, 2), Picture(marked ? IDB_RADIO_SET : IDB_RADIO_CLEAR)) << "row " << r;
        EXPECT_EQ(m_grid->GetTextMatrix(r, 1), QString::fromStdString(expected[r - 1]));
    }
    EXPECT_EQ(Status(), Modified);
    EXPECT_EQ(SParaDate(), date);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Move,
    testing::Values(MoveCase{"UpTheDefault", ID_DEVICE_MOVE_UP, 2, 1, false},
                    MoveCase{"UpOntoTheDefault", ID_DEVICE_MOVE_UP, 3, 1, false},
                    MoveCase{"UpElsewhere", ID_DEVICE_MOVE_UP, 4, 0, false},
                    MoveCase{"DownTheDefault", ID_DEVICE_MOVE_DOWN, 2, 1, false},
                    MoveCase{"DownOntoTheDefault", ID_DEVICE_MOVE_DOWN, 1, 1, false},
                    MoveCase{"DownWriteProtected", ID_DEVICE_MOVE_DOWN, 3, 0, true}),
    [](const testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.scenario); });

struct EditCase
{
    const char* scenario;
    long row;
    int button;
};

class Edit : public DeviceCommand, public testing::WithParamInterface<EditCase>
{
};

TEST_P(Edit, OpensTheEditorOnTheSelectedDeviceAndStampsAfterOk)
{
    const EditCase& row = GetParam();
    LoadIntoWindow("factory_v3.cal");
    Prepare(nullptr, row.row, true);
    const CTamrix before = m_dialog->DataSet();
    const bool protectedDevice = (before.GetSParaDeviceFlags(row.row - 1) & sParaDevice_writeProtected) != 0;
    QString shownMnemonic;
    bool mnemonicEditable = false;
    WhenModal([&](QWidget* modal) {
        auto* editor = qobject_cast<CDevice*>(modal);
        ASSERT_NE(editor, nullptr);
        QLineEdit* mnemonic = editor->GetDlgItemAs<QLineEdit>(IDC_MNEMONIC);
        shownMnemonic = mnemonic->text();
        mnemonicEditable = mnemonic->isEnabled() && !mnemonic->isReadOnly();
        QTest::mouseClick(editor->GetDlgItemAs<QPushButton>(row.button), Qt::LeftButton);
    });

    m_dialog->SendCommand(ID_DEVICE_EDIT);

    EXPECT_EQ(shownMnemonic, QString::fromStdString(before.GetSPDMnemonic(row.row - 1)));
    EXPECT_EQ(mnemonicEditable, !protectedDevice);
    if (row.button == IDOK)
    {
        EXPECT_EQ(Status(), Modified);
        EXPECT_EQ(SParaDate(), TodayCalDate());
    }
    else
    {
        EXPECT_EQ(Status(), QString());
        EXPECT_EQ(SParaDate(), before.GetCalDate(CMeasurement::SPara));
    }
    EXPECT_EQ(Mnemonics(m_dialog->DataSet()), Mnemonics(before));
}

INSTANTIATE_TEST_SUITE_P(Cases, Edit,
                         testing::Values(EditCase{"Ok", 2, IDOK}, EditCase{"Cancel", 1, IDCANCEL},
                                         EditCase{"WriteProtectedReadOnly", 3, IDCANCEL}),
                         [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.scenario); });

} // namespace
