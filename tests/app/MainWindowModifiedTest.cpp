#include "LibraryError.h"
#include "MainWindowFixture.h"

#include <QDate>

namespace
{

struct Stamp
{
    std::string date;
    std::string lab;
    std::string eng;
};

Stamp SParaStamp(const CTamrix& set)
{
    return {set.GetCalDate(CMeasurement::SPara), set.GetCalLab(CMeasurement::SPara),
            set.GetCalEng(CMeasurement::SPara)};
}

const std::string Lab = "Kalibrierlabor M\xC3\xBCnchen";
const std::string Engineer = "J. \xC3\x98stergaard";

enum class Expect
{
    Unchanged,
    Today,
    NotApplicable
};

struct ModifiedCase
{
    const char* scenario;
    const char* sample; // nullptr: the start data set, never loaded
    bool removeDevices;
    bool show;
    bool stamp;
    const char* status;
    Expect stampResult;
};

class MarkModified : public MainWindowFixture, public testing::WithParamInterface<ModifiedCase>
{
};

TEST_P(MarkModified, SetsTheStatusAndStampsTheSParameterPart)
{
    const ModifiedCase& row = GetParam();
    if (row.sample != nullptr)
    {
        LoadIntoWindow(row.sample);
    }
    if (row.removeDevices)
    {
        m_dialog->DataSet().SetSParaDeviceNumber(0);
    }
    m_dialog->SetUserData(Lab, Engineer);
    const Stamp before = SParaStamp(m_dialog->DataSet());
    const Stamp miscBefore{m_dialog->DataSet().GetCalDate(CMeasurement::Misc),
                           m_dialog->DataSet().GetCalLab(CMeasurement::Misc),
                           m_dialog->DataSet().GetCalEng(CMeasurement::Misc)};

    const QString dayBefore = QDate::currentDate().toString(Qt::ISODate);
    m_dialog->MarkModified(row.show, row.stamp);
    const QString dayAfter = QDate::currentDate().toString(Qt::ISODate);

    EXPECT_EQ(Status(), QString::fromUtf8(row.status));
    const Stamp after = SParaStamp(m_dialog->DataSet());
    switch (row.stampResult)
    {
    case Expect::Unchanged:
        EXPECT_EQ(after.date, before.date);
        EXPECT_EQ(after.lab, before.lab);
        EXPECT_EQ(after.eng, before.eng);
        break;
    case Expect::Today:
        EXPECT_TRUE(QString::fromStdString(after.date) == dayBefore || QString::fromStdString(after.date) == dayAfter)
            << after.date;
        EXPECT_EQ(after.lab, Lab);
        EXPECT_EQ(after.eng, Engineer);
        break;
    case Expect::NotApplicable:
        EXPECT_EQ(after.date, "not applicable");
        EXPECT_EQ(after.lab, "not applicable");
        EXPECT_EQ(after.eng, "not applicable");
        break;
    }
    EXPECT_EQ(m_dialog->DataSet().GetCalDate(CMeasurement::Misc), miscBefore.date);
    EXPECT_EQ(m_dialog->DataSet().GetCalLab(CMeasurement::Misc), miscBefore.lab);
    EXPECT_EQ(m_dialog->DataSet().GetCalEng(CMeasurement::Misc), miscBefore.eng);
    EXPECT_TRUE(m_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkModified,
    testing::Values(
        ModifiedCase{"NotLoadedChangesNothing", nullptr, false, true, true, "No cal. data set loaded.",
                     Expect::Unchanged},
        ModifiedCase{"HideEmptiesTheStatus", "factory_v3.cal", false, false, true, "", Expect::Unchanged},
        ModifiedCase{"ShowWithoutStamp", "factory_v3.cal", false, true, false, "Calibration data set modified.",
                     Expect::Unchanged},
        ModifiedCase{"StampWithDevices", "factory_v3.cal", false, true, true, "Calibration data set modified.",
                     Expect::Today},
        ModifiedCase{"StampUserDataSet", "user_v3.cal", false, true, true, "Calibration data set modified.",
                     Expect::Today},
        ModifiedCase{"StampWithoutDevices", "user_v3.cal", true, true, true, "Calibration data set modified.",
                     Expect::NotApplicable}),
    [](const testing::TestParamInfo<ModifiedCase>& info) { return std::string(info.param.scenario); });

TEST_F(MainWindowFixture, AStampTheDataSetRefusesIsShownAndChangesNothing)
{
    LoadIntoWindow("factory_v3.cal");
    // A laboratory longer than the data set holds, as a hand-edited settings file may give.
    const std::string tooLong(static_cast<std::size_t>(maxInfoStringLength) + 1, 'L');
    m_dialog->SetUserData(tooLong, Engineer);
    const Stamp before = SParaStamp(m_dialog->DataSet());
    QString expected;
    try
    {
        CTamrix probe;
        probe.EnableUtf8Support(true);
        probe.SetCalLab(CMeasurement::SPara, tooLong);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        expected = FormatLibraryError(error);
    }
    ASSERT_FALSE(expected.isEmpty()) << "the library takes the long laboratory";

    m_dialog->MarkModified(true, true);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, expected);
    EXPECT_EQ(m_boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(m_boxes[0].caption, QStringLiteral("Ostrel"));
    const Stamp after = SParaStamp(m_dialog->DataSet());
    EXPECT_EQ(after.date, before.date);
    EXPECT_EQ(after.lab, before.lab);
    EXPECT_EQ(after.eng, before.eng);
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));
    EXPECT_TRUE(m_dialog->isVisible());
}

TEST_F(MainWindowFixture, ALoadEmptiesTheStatusAndKeepsTheFormatPair)
{
    FormatPair format{};
    LoadSample("factory_v4.cal", &format);
    LoadIntoWindow("factory_v4.cal");
    EXPECT_TRUE(m_dialog->IsLoaded());
    EXPECT_EQ(m_dialog->Version(), std::get<0>(format));
    EXPECT_EQ(m_dialog->Revision(), std::get<1>(format));
    EXPECT_EQ(Status(), QString());
    EXPECT_TRUE(m_dialog->DataSet().IsUtf8SupportEnabled());
}

} // namespace
