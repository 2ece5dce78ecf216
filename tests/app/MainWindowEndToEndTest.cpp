#include "CalDate.h"
#include "CellEdit.h"
#include "Device.h"
#include "MainWindowFixture.h"
#include "TextConversion.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

namespace
{

const SParaType<1>* const S11 = &SParaType<1>::S11;
const SParaType<1>* const S21 = &SParaType<1>::S21;

void DropFile(QWidget* window, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    Settle();
}

struct EndToEndCase
{
    const char* scenario;
    const char* sample;
    bool dropped;
    const char* fileName;
};

class EndToEnd : public MainWindowFixture, public testing::WithParamInterface<EndToEndCase>
{
};

// A user opens a file, edits cells of a device in the editor, saves under a new
// name and opens that file again: exactly the edited values come back, with
// today's stamp.
TEST_P(EndToEnd, EditedValuesSurviveSaveAndReload)
{
    const EndToEndCase& row = GetParam();
    const QString source = CopySample(row.sample, QString::fromUtf8(row.fileName));
    const CTamrix original = LoadSample(row.sample);
    m_dialog->SetUserData("Pr\xC3\xBC" "flabor 3", "J\xC3\xB6rg");
    if (row.dropped)
    {
        DropFile(m_dialog.get(), source);
    }
    else
    {
        m_fileAnswers.push_back(source);
        m_dialog->SendCommand(ID_FILE_LOAD);
    }
    ASSERT_TRUE(m_boxes.empty());
    ASSERT_TRUE(m_dialog->IsLoaded());

    const long device = 1;
    bool edited = false;
    WhenModal([&edited](QWidget* modal) {
        auto* editor = qobject_cast<CDevice*>(modal);
        ASSERT_NE(editor, nullptr);
        auto* grid = editor->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
        ASSERT_NE(grid, nullptr);
        TypeIntoCell(grid, 1, 2, QStringLiteral("0.125"));  // S11 real part of point 0
        TypeIntoCell(grid, 2, 6, QStringLiteral("-0.0625")); // S21 imaginary part of point 1
        QTest::mouseClick(editor->GetDlgItemAs<QPushButton>(IDOK), Qt::LeftButton);
        edited = true;
    });
    DoubleClickCell(device + 1, 1);
    ASSERT_TRUE(edited);
    EXPECT_EQ(Status(), QStringLiteral("Calibration data set modified."));

    const QString saved = m_folder.filePath(QStringLiteral("gesichert \u00e4.cal"));
    m_fileAnswers.push_back(saved);
    m_dialog->SendCommand(ID_FILE_SAVE);
    ASSERT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dialog->GetWindowText(), saved);

    m_dialog->DataSet().SetSParaDeviceNumber(0);
    m_fileAnswers.push_back(saved);
    m_dialog->SendCommand(ID_FILE_LOAD);
    ASSERT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("gesichert \u00e4.cal"));

    const CTamrix& reread = m_dialog->DataSet();
    // The editor stores every value of the device as it shows it; its OK without
    // a change gives the values the two edits are made on.
    CTamrix expected = original;
    expected.EnableUtf8Support(true);
    {
        CDevice unchanged(device, &expected, false);
        QTimer::singleShot(0, [&unchanged] {
            QTest::mouseClick(unchanged.GetDlgItemAs<QPushButton>(IDOK), Qt::LeftButton);
        });
        ASSERT_EQ(unchanged.DoModal(), IDOK);
    }
    SParaValue s11 = expected.GetSParaValue(device, 0, S11);
    std::get<0>(s11) = 0.125;
    expected.SetSParaValue(device, 0, S11, s11);
    SParaValue s21 = expected.GetSParaValue(device, 1, S21);
    std::get<1>(s21) = -0.0625;
    expected.SetSParaValue(device, 1, S21, s21);
    ASSERT_EQ(reread.Content().devices.size(), expected.Content().devices.size());
    for (std::size_t d = 0; d < expected.Content().devices.size(); ++d)
    {
        const SParaDevice& got = reread.Content().devices[d];
        const SParaDevice& want = expected.Content().devices[d];
        EXPECT_EQ(got.mnemonic, want.mnemonic);
        EXPECT_EQ(got.minPower, want.minPower);
        EXPECT_EQ(got.maxPower, want.maxPower);
        EXPECT_EQ(got.flags, want.flags);
        ASSERT_EQ(got.points.size(), want.points.size());
        for (std::size_t p = 0; p < want.points.size(); ++p)
        {
            EXPECT_EQ(got.points[p].frequency, want.points[p].frequency) << "device " << d << " point " << p;
            for (std::size_t v = 0; v < 12; ++v)
            {
                EXPECT_EQ(got.points[p].values[v], want.points[p].values[v])
                    << "device " << d << " point " << p << " value " << v;
            }
        }
    }
    EXPECT_EQ(reread.GetCalDate(CMeasurement::SPara), TodayCalDate());
    EXPECT_EQ(reread.GetCalLab(CMeasurement::SPara), "Pr\xC3\xBC" "flabor 3");
    EXPECT_EQ(reread.GetCalEng(CMeasurement::SPara), "J\xC3\xB6rg");
    EXPECT_EQ(reread.GetCalDate(CMeasurement::Abso), original.GetCalDate(CMeasurement::Abso));
    EXPECT_EQ(reread.GetSParaDefaultDevice(), original.GetSParaDefaultDevice());
    EXPECT_EQ(reread.GetSensorName(), original.GetSensorName());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndToEnd,
    testing::Values(EndToEndCase{"FileDialog", "factory_v3.cal", false, "factory.cal"},
                    EndToEndCase{"DroppedFile", "user_v3.cal", true, "Kalibrierdaten J\xC3\xB6rg.cal"}),
    [](const testing::TestParamInfo<EndToEndCase>& info) { return std::string(info.param.scenario); });

} // namespace
