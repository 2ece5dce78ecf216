#include "Device.h"
#include "CellEdit.h"
#include "Clipboard.h"
#include "EditFlexGrid.h"
#include "GridClipboard.h"
#include "GridNumbers.h"
#include "LibraryError.h"
#include "Menu.h"
#include "MessageBeep.h"
#include "MessageBoxPresenter.h"
#include "NumberText.h"
#include "Resource.h"
#include "SetnumberDialog.h"
#include "Tamrix.h"
#include "TamrixError.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

using rows::operator<<;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

// The columns of a point as the editor shows them, S-parameters in column order.
const char* const newPoint[14] = {"", "0", "0", "0", "0", "1", "0", "0", "1", "0", "0", "0", "0", "0"};

CTamrix LoadSample(const char* name)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromFile2(set, (std::string(OSTREL_SOURCE_DIR) + "/samples/" + name).c_str());
    return set;
}

// A user data set whose device 0 has `points` points with distinct values:
// frequency (i + 1) GHz, column c of point i holds i + c / 16.
CTamrix NumberedDevice(long points)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    set.SetSParaDeviceNumber(2);
    set.SetSParaFreqNumber(0, points);
    for (long i = 0; i < points; ++i)
    {
        set.SetSParaFreq(0, i, 1e9 * static_cast<double>(i + 1));
        for (int s = 0; s < 4; ++s)
        {
            const double base = static_cast<double>(i) + (2 + 3 * s) / 16.0;
            set.SetSParaValue(0, i, tags[s], SParaValue(base, base + 1 / 16.0, base + 2 / 16.0));
        }
    }
    return set;
}

bool SameDevice(const SParaDevice& a, const SParaDevice& b)
{
    if (a.mnemonic != b.mnemonic || a.minPower != b.minPower || a.maxPower != b.maxPower || a.flags != b.flags ||
        a.points.size() != b.points.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.points.size(); ++i)
    {
        if (a.points[i].frequency != b.points[i].frequency || a.points[i].values != b.points[i].values)
        {
            return false;
        }
    }
    return true;
}

// The device editor on a data set, shown (not modal), with every message box
// and beep recorded. Boxes are answered with `answer`.
class Editor
{
public:
    Editor(CTamrix& set, long device, bool readOnly = false)
        : presenter([this](const MessageBoxRequest& request) {
            boxes.push_back(request);
            return request.buttons == MessageBoxButtons::YesNo ? answer : IDOK;
        })
        , beepHook([this](UINT) { ++beeps; })
        , dialog(std::make_unique<CDevice>(device, &set, readOnly))
    {
        opened = dialog->Create();
        grid = dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
        if (opened && dialog->isVisible() == false && dialog->result() == 0)
        {
            dialog->show();
            dialog->activateWindow();
            (void)QTest::qWaitForWindowActive(dialog.get());
            Settle();
        }
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i)
        {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QLineEdit* Field(int id) const { return dialog->GetDlgItemAs<QLineEdit>(id); }
    QPushButton* Button(int id) const { return dialog->GetDlgItemAs<QPushButton>(id); }

    QPoint CellCentre(long row, long col) const
    {
        grid->scrollTo(grid->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1)));
        return grid->visualRect(grid->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1))).center();
    }

    void Click(long row, long col, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, CellCentre(row, col));
        Settle();
    }

    // Selects the block from (row1, col1) to (row2, col2) with a click and a Shift+click.
    void Select(long row1, long col1, long row2, long col2)
    {
        Click(row1, col1);
        Click(row2, col2, Qt::ShiftModifier);
    }

    void DoubleClick(long row, long col)
    {
        const QPoint at = CellCentre(row, col);
        QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        Settle();
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(grid, key, modifiers);
        Settle();
    }

    // Opens the cell's editor and types the text, leaving the editor open.
    void StartTyping(long row, long col, const QString& text)
    {
        DoubleClick(row, col);
        ASSERT_TRUE(grid->IsEditing());
        QLineEdit& edit = grid->GetCellEdit();
        edit.selectAll();
        QTest::keyClicks(&edit, text);
    }

    // Types into the cell and presses Enter, then closes the editor that Enter
    // opened on the next cell.
    void EditCell(long row, long col, const QString& text)
    {
        StartTyping(row, col, text);
        QTest::keyClick(&grid->GetCellEdit(), Qt::Key_Return);
        Settle();
        if (grid->IsEditing())
        {
            QTest::keyClick(&grid->GetCellEdit(), Qt::Key_Escape);
            Settle();
        }
    }

    void TypeInto(int id, const QString& text)
    {
        QLineEdit* field = Field(id);
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    void PressOk()
    {
        QTest::mouseClick(Button(IDOK), Qt::LeftButton);
        Settle();
    }

    bool Accepted() const { return !dialog->isVisible() && dialog->result() == IDOK; }

    QString Cell(long row, long col) const { return grid->GetTextMatrix(row, col); }

    std::vector<QString> Row(long row) const
    {
        std::vector<QString> texts;
        for (long col = 0; col < 14; ++col)
        {
            texts.push_back(Cell(row, col));
        }
        return texts;
    }

    std::vector<MessageBoxRequest> boxes;
    int beeps = 0;
    int answer = IDYES;
    ScopedMessageBoxPresenter presenter;
    ScopedBeepHook beepHook;
    std::unique_ptr<CDevice> dialog;
    CEditFlexGrid* grid = nullptr;
    bool opened = false;
};

std::vector<QString> NewPointRow(long row)
{
    std::vector<QString> texts;
    texts.push_back(QString::number(row));
    for (int col = 1; col < 14; ++col)
    {
        texts.push_back(QString::fromLatin1(newPoint[col]));
    }
    return texts;
}

// Answers the "Frequency grid points" dialog once it is open; reports whether it opened.
void AnswerSetNumber(std::function<void(CSetnumberDialog&)> answer, bool* opened = nullptr)
{
    QTimer::singleShot(0, [answer, opened] {
        auto* dialog = qobject_cast<CSetnumberDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
        {
            return;
        }
        if (opened != nullptr)
        {
            *opened = true;
        }
        answer(*dialog);
        if (dialog->isVisible())
        {
            dialog->reject();
        }
    });
}

// ---------------------------------------------------------------------------

struct CaptionCase
{
    const char* scenario;
    const char* sample;
    long device;
    const char* caption;
};

using EditorCaption = rows::Test<CaptionCase>;

TEST_P(EditorCaption, NumbersFactoryDevicesFromOneAndUserDevicesFrom1001)
{
    CTamrix set = LoadSample(GetParam().sample);
    Editor editor(set, GetParam().device);
    EXPECT_EQ(editor.dialog->windowTitle(), QString::fromLatin1(GetParam().caption));
}

INSTANTIATE_TEST_SUITE_P(Devices, EditorCaption,
                         testing::Values(CaptionCase{"FactoryFirst", "factory_v3.cal", 0, "Device: 1"},
                                         CaptionCase{"FactoryFourth", "factory_v3.cal", 3, "Device: 4"},
                                         CaptionCase{"UserFirst", "user_v3.cal", 0, "Device: 1001"},
                                         CaptionCase{"UserSecond", "user_v3.cal", 1, "Device: 1002"}),
                         rows::Name());

class EditorOpening : public testing::TestWithParam<const char*>
{
};

TEST_P(EditorOpening, ShowsTheDeviceInFieldsAndGrid)
{
    CTamrix set = LoadSample(GetParam());
    for (long device = 0; device < set.GetSParaDeviceNumber(); ++device)
    {
        Editor editor(set, device);
        ASSERT_TRUE(editor.opened);
        EXPECT_EQ(editor.Field(IDC_MNEMONIC)->text().toStdString(), set.GetSPDMnemonic(device));
        // The limits in engineering format, checked once more: a single-precision
        // 1e-9 shows as "1e-9", not "1000e-12".
        for (const auto& [id, watts] : {std::pair<int, double>{IDC_LOWER_LIMIT, set.GetSParaMinPower(device)},
                                        std::pair<int, double>{IDC_UPPER_LIMIT, set.GetSParaMaxPower(device)}})
        {
            QString expected = FormatEngineering(watts);
            ASSERT_TRUE(NormalizeNumber(expected, true));
            EXPECT_EQ(editor.Field(id)->text(), expected);
        }
        EXPECT_EQ(editor.Cell(0, 0), "ID");
        EXPECT_EQ(editor.Cell(0, 1), "Freq./Hz");
        EXPECT_EQ(editor.Cell(0, 10), "S12-Unc");
        const long points = set.GetSParaFreqNumber(device);
        ASSERT_EQ(editor.grid->GetRows(), points + 1);
        ASSERT_EQ(editor.grid->GetCols(), 14);
        for (long i = 0; i < points; ++i)
        {
            EXPECT_EQ(editor.Cell(i + 1, 0), QString::number(i + 1));
            EXPECT_EQ(CellToDouble(*editor.grid, i + 1, 1, -1), set.GetSParaFreq(device, i)) << "point " << i;
            for (int s = 0; s < 4; ++s)
            {
                const SParaValue value = set.GetSParaValue(device, i, tags[s]);
                EXPECT_EQ(editor.Cell(i + 1, 2 + 3 * s), FormatValue(std::get<0>(value)));
                EXPECT_EQ(editor.Cell(i + 1, 3 + 3 * s), FormatValue(std::get<1>(value)));
                EXPECT_EQ(editor.Cell(i + 1, 4 + 3 * s), FormatValue(std::get<2>(value)));
            }
        }
        EXPECT_FALSE(editor.dialog->IsDlgButtonChecked(IDC_S11_FOR_S22));
        EXPECT_FALSE(editor.dialog->IsDlgButtonChecked(IDC_S21_FOR_S12));
        EXPECT_TRUE(editor.boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, EditorOpening, testing::Values("factory_v3.cal", "user_v3.cal"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, std::string(info.param).find('.'));
                         });

TEST(EditorOpeningFails, OnADeviceTheDataSetDoesNotHoldShowsTheLibraryErrorAndDoesNotOpen)
{
    CTamrix set = LoadSample("user_v3.cal");
    QString expected;
    try
    {
        (void)set.GetSPDMnemonic(40);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        expected = FormatLibraryError(error);
    }
    ASSERT_FALSE(expected.isEmpty());
    std::vector<MessageBoxRequest> boxes;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return IDOK;
    });
    CDevice dialog(40, &set, false);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, expected);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
}

TEST(EditorDeviceWithoutPoints, OpensWithTheHeaderRowOnlyAndStoresNoPoints)
{
    CTamrix set = NumberedDevice(0);
    Editor editor(set, 0);
    EXPECT_EQ(editor.grid->GetRows(), 1);
    editor.PressOk();
    EXPECT_TRUE(editor.Accepted());
    EXPECT_EQ(set.GetSParaFreqNumber(0), 0);
}

// ---------------------------------------------------------------------------

struct CellEditCase
{
    const char* scenario;
    long row;
    long col;
    const char* typed;
    const char* shown;
    double stored;
};

using EditorEditAndStore = rows::Test<CellEditCase>;

TEST_P(EditorEditAndStore, OkStoresExactlyTheEditedValueAndItSurvivesTheFile)
{
    const CellEditCase& c = GetParam();
    CTamrix set = LoadSample("factory_v3.cal");
    const long device = 1;
    const long point = c.row - 1;
    Editor editor(set, device);
    editor.EditCell(c.row, c.col, QString::fromLatin1(c.typed));
    EXPECT_EQ(editor.Cell(c.row, c.col), QString::fromLatin1(c.shown));
    editor.PressOk();
    ASSERT_TRUE(editor.Accepted());
    EXPECT_TRUE(editor.boxes.empty());

    std::string stored;
    CTamrixUtil::StoreTMXToBuffer2(set, stored, '3', '0');
    CTamrix reloaded;
    reloaded.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromBuffer2(reloaded, stored);
    for (const CTamrix* dataSet : {&set, &reloaded})
    {
        if (c.col == 1)
        {
            EXPECT_EQ(dataSet->GetSParaFreq(device, point), c.stored);
            continue;
        }
        const SParaValue value = dataSet->GetSParaValue(device, point, tags[(c.col - 2) / 3]);
        const double parts[3] = {std::get<0>(value), std::get<1>(value), std::get<2>(value)};
        EXPECT_EQ(parts[(c.col - 2) % 3], c.stored);
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, EditorEditAndStore,
                         testing::Values(CellEditCase{"FrequencyInEngineeringFormat", 1, 1, "1500", "1.5e3", 1500},
                                         CellEditCase{"S11Imaginary", 1, 3, "-0.125", "-0.125", -0.125},
                                         CellEditCase{"S21RealSmall", 3, 5, "0.00001234", "1.234e-5",
                                                      static_cast<double>(1.234e-5f)},
                                         CellEditCase{"S12Uncertainty", 4, 10, " 0.03125 ", "0.03125", 0.03125},
                                         CellEditCase{"S22UncertaintyLastColumn", 2, 13, "0.5", "0.5", 0.5}),
                         rows::Name());

TEST(EditorStoreFails, OnAFrequencyTheLibraryRefusesShowsItsTextAndChangesNothing)
{
    CTamrix set = LoadSample("user_v3.cal");
    const CTamrix before = set;
    Editor editor(set, 0);
    editor.TypeInto(IDC_MNEMONIC, "Changed");
    editor.EditCell(1, 5, "0.25");
    editor.EditCell(2, 1, "inf");
    EXPECT_EQ(editor.Cell(2, 1), "inf");
    editor.PressOk();
    EXPECT_TRUE(editor.dialog->isVisible());
    ASSERT_EQ(editor.boxes.size(), 1u);
    EXPECT_EQ(editor.boxes[0].text, FormatLibraryError(TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument)));
    EXPECT_EQ(editor.boxes[0].icon, MessageBoxIcon::Stop);
    for (long device = 0; device < set.GetSParaDeviceNumber(); ++device)
    {
        EXPECT_TRUE(SameDevice(set.Content().devices[static_cast<std::size_t>(device)],
                               before.Content().devices[static_cast<std::size_t>(device)]));
    }
}

TEST(EditorDoModal, ReturnsOkWhenStoredAndCancelWhenCancelled)
{
    for (const int button : {IDOK, IDCANCEL})
    {
        CTamrix set = NumberedDevice(3);
        const CTamrix before = set;
        CDevice dialog(0, &set, false);
        QTimer::singleShot(0, [&dialog, button] {
            dialog.GetDlgItemAs<QLineEdit>(IDC_MNEMONIC)->setText("Modal");
            QTest::mouseClick(dialog.GetDlgItemAs<QPushButton>(button), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.DoModal(), button);
        EXPECT_EQ(set.GetSPDMnemonic(0), button == IDOK ? "Modal" : before.GetSPDMnemonic(0));
    }
}

// ---------------------------------------------------------------------------

struct LimitCase
{
    const char* scenario;
    const char* lower;
    const char* upper;
    int answer;
    bool asked;
    bool stored;
};

using EditorLimitsOnOk = rows::Test<LimitCase>;

TEST_P(EditorLimitsOnOk, AskWhenTheLowerIsNotBelowTheUpper)
{
    const LimitCase& c = GetParam();
    CTamrix set = NumberedDevice(2);
    const CTamrix before = set;
    Editor editor(set, 0);
    editor.answer = c.answer;
    editor.TypeInto(IDC_LOWER_LIMIT, c.lower);
    editor.TypeInto(IDC_UPPER_LIMIT, c.upper);
    editor.EditCell(1, 2, "0.75");
    editor.PressOk();
    ASSERT_EQ(editor.boxes.size(), c.asked ? 1u : 0u);
    if (c.asked)
    {
        EXPECT_EQ(editor.boxes[0].text, "Upper power limit should be higher than lower power limit. Proceed?");
        EXPECT_EQ(editor.boxes[0].icon, MessageBoxIcon::Exclamation);
        EXPECT_EQ(editor.boxes[0].buttons, MessageBoxButtons::YesNo);
        EXPECT_EQ(editor.boxes[0].defaultButton, IDNO);
    }
    EXPECT_EQ(editor.Accepted(), c.stored);
    if (c.stored)
    {
        EXPECT_EQ(set.GetSParaMinPower(0), static_cast<double>(static_cast<float>(QString(c.lower).toDouble())));
        EXPECT_EQ(set.GetSParaMaxPower(0), static_cast<double>(static_cast<float>(QString(c.upper).toDouble())));
        EXPECT_EQ(std::get<0>(set.GetSParaValue(0, 0, tags[0])), 0.75);
    }
    else
    {
        EXPECT_TRUE(SameDevice(set.Content().devices[0], before.Content().devices[0]));
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, EditorLimitsOnOk,
                         testing::Values(LimitCase{"EqualAnsweredNo", "0.1", "0.1", IDNO, true, false},
                                         LimitCase{"EqualAnsweredYes", "0.1", "0.1", IDYES, true, true},
                                         LimitCase{"LowerAboveUpperAnsweredNo", "0.2", "0.1", IDNO, true, false},
                                         LimitCase{"LowerBelowUpper", "0.001", "0.1", IDNO, false, true}),
                         rows::Name());

struct LimitTextCase
{
    const char* scenario;
    int field;
    const char* typed;
    const char* shown;
    bool refused;
};

using EditorLimitCheckOnFocusLoss = rows::Test<LimitTextCase>;

TEST_P(EditorLimitCheckOnFocusLoss, ReformatsNumbersAndRefusesTheRest)
{
    const LimitTextCase& c = GetParam();
    CTamrix set = NumberedDevice(1);
    Editor editor(set, 0);
    editor.TypeInto(c.field, c.typed);
    QTest::keyClick(editor.Field(c.field), Qt::Key_Tab);
    Editor::Settle();
    EXPECT_EQ(editor.Field(c.field)->text(), QString::fromLatin1(c.shown));
    EXPECT_EQ(editor.beeps, c.refused ? 1 : 0);
    ASSERT_EQ(editor.boxes.size(), c.refused ? 1u : 0u);
    if (c.refused)
    {
        EXPECT_EQ(editor.boxes[0].text, QStringLiteral("Invalid floating point value: ") + c.shown);
        EXPECT_EQ(editor.boxes[0].icon, MessageBoxIcon::Stop);
        EXPECT_TRUE(editor.Field(c.field)->hasFocus());
    }
    else
    {
        EXPECT_FALSE(editor.Field(c.field)->hasFocus());
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, EditorLimitCheckOnFocusLoss,
                         testing::Values(LimitTextCase{"PlainNumber", IDC_LOWER_LIMIT, "0.001", "1e-3", false},
                                         LimitTextCase{"Blanks", IDC_UPPER_LIMIT, " 0.5 ", "500e-3", false},
                                         LimitTextCase{"UnitSuffix", IDC_LOWER_LIMIT, "1m", "1m", true},
                                         LimitTextCase{"TrimmedWord", IDC_UPPER_LIMIT, " high ", "high", true}),
                         rows::Name());

using EditorLimitCheckOnEnter = rows::Test<int>;

TEST_P(EditorLimitCheckOnEnter, EnterInAFieldThatIsNoNumberStoresNothing)
{
    CTamrix set = NumberedDevice(2);
    const CTamrix before = set;
    Editor editor(set, 0);
    editor.TypeInto(IDC_MNEMONIC, "Changed");
    editor.TypeInto(GetParam(), "1m");
    QTest::keyClick(editor.Field(GetParam()), Qt::Key_Return);
    Editor::Settle();
    EXPECT_TRUE(editor.dialog->isVisible());
    EXPECT_EQ(editor.beeps, 1);
    ASSERT_EQ(editor.boxes.size(), 1u);
    EXPECT_EQ(editor.boxes[0].text, "Invalid floating point value: 1m");
    EXPECT_TRUE(editor.Field(GetParam())->hasFocus());
    EXPECT_TRUE(SameDevice(set.Content().devices[0], before.Content().devices[0]));
}

INSTANTIATE_TEST_SUITE_P(Fields, EditorLimitCheckOnEnter, testing::Values(IDC_LOWER_LIMIT, IDC_UPPER_LIMIT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == IDC_LOWER_LIMIT ? "Lower" : "Upper");
                         });

// ---------------------------------------------------------------------------

struct MirrorCase
{
    const char* scenario;
    int box;
    long firstTarget;
    const SParaType<1>* source;
    const SParaType<1>* target;
};

using EditorMirror = rows::Test<MirrorCase>;

TEST_P(EditorMirror, StoresTheSourceTripleAndReopensUnchecked)
{
    const MirrorCase& c = GetParam();
    CTamrix set = NumberedDevice(4);
    {
        Editor editor(set, 0);
        QTest::mouseClick(editor.dialog->GetDlgItemAs<QAbstractButton>(c.box), Qt::LeftButton);
        Editor::Settle();
        EXPECT_EQ(editor.grid->GetColumnType(c.firstTarget), Locked);
        editor.DoubleClick(2, c.firstTarget + 1);
        EXPECT_FALSE(editor.grid->IsEditing()) << "a mirrored column is not edited";
        editor.PressOk();
        ASSERT_TRUE(editor.Accepted());
    }
    for (long i = 0; i < 4; ++i)
    {
        EXPECT_EQ(set.GetSParaValue(0, i, c.target), set.GetSParaValue(0, i, c.source)) << "point " << i;
    }
    Editor reopened(set, 0);
    EXPECT_FALSE(reopened.dialog->IsDlgButtonChecked(c.box));
    EXPECT_EQ(reopened.grid->GetColumnType(c.firstTarget), Value);
    const long sourceColumn = c.source == tags[0] ? 2 : 5;
    EXPECT_EQ(reopened.Cell(3, c.firstTarget + 2), reopened.Cell(3, sourceColumn + 2));
}

INSTANTIATE_TEST_SUITE_P(Options, EditorMirror,
                         testing::Values(MirrorCase{"S11ForS22", IDC_S11_FOR_S22, 11, tags[0], tags[3]},
                                         MirrorCase{"S21ForS12", IDC_S21_FOR_S12, 8, tags[1], tags[2]}),
                         rows::Name());

TEST(EditorMirror, UncheckingUnlocksTheColumnsAgainAndStoresTheirOwnValues)
{
    CTamrix set = NumberedDevice(2);
    Editor editor(set, 0);
    auto* box = editor.dialog->GetDlgItemAs<QAbstractButton>(IDC_S11_FOR_S22);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::mouseClick(box, Qt::LeftButton);
    Editor::Settle();
    EXPECT_EQ(editor.grid->GetColumnType(12), Value);
    editor.EditCell(1, 12, "0.375");
    editor.PressOk();
    ASSERT_TRUE(editor.Accepted());
    EXPECT_EQ(std::get<1>(set.GetSParaValue(0, 0, tags[3])), 0.375);
}

// ---------------------------------------------------------------------------

struct RowCommandCase
{
    const char* scenario;
    long points;
    long row1, col1, row2, col2; // selection before the command
    std::function<void(Editor&)> command;
    // Expected rows after the command: an old point's number (1 ... points), or
    // 0 for a new point.
    std::vector<long> rows;
};

using EditorRowCommands = rows::Test<RowCommandCase>;

TEST_P(EditorRowCommands, ChangeTheTableAndRenumber)
{
    const RowCommandCase& c = GetParam();
    CTamrix set = NumberedDevice(c.points);
    Editor editor(set, 0);
    std::vector<std::vector<QString>> old;
    for (long row = 0; row <= c.points; ++row)
    {
        old.push_back(editor.Row(row));
    }
    if (c.row1 > 0)
    {
        editor.Select(c.row1, c.col1, c.row2, c.col2);
    }
    c.command(editor);
    ASSERT_EQ(editor.grid->GetRows(), static_cast<long>(c.rows.size()) + 1);
    for (long row = 1; row <= static_cast<long>(c.rows.size()); ++row)
    {
        std::vector<QString> expected = c.rows[static_cast<std::size_t>(row - 1)] == 0
                                            ? NewPointRow(row)
                                            : old[static_cast<std::size_t>(c.rows[static_cast<std::size_t>(row - 1)])];
        expected[0] = QString::number(row);
        EXPECT_EQ(editor.Row(row), expected) << "row " << row;
    }
    editor.PressOk();
    ASSERT_TRUE(editor.Accepted());
    ASSERT_EQ(set.GetSParaFreqNumber(0), static_cast<long>(c.rows.size()));
}

void PressInsert(Editor& editor)
{
    editor.Key(Qt::Key_Insert);
}

void PressDelete(Editor& editor)
{
    editor.Key(Qt::Key_Delete);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EditorRowCommands,
    testing::Values(
        RowCommandCase{"InsertKeyBeforeRows2To4", 5, 2, 3, 4, 3, PressInsert, {1, 0, 0, 0, 2, 3, 4, 5}},
        RowCommandCase{"InsertKeyWithoutRowsAppends", 0, 0, 0, 0, 0, PressInsert, {0}},
        RowCommandCase{"InsertCommandBeforeLastRow",
                       3,
                       3,
                       1,
                       3,
                       1,
                       [](Editor& e) { e.dialog->SendCommand(ID_POINTS_INSERT); },
                       {1, 2, 0, 3}},
        RowCommandCase{
            "AppendCommand", 2, 1, 1, 1, 1, [](Editor& e) { e.dialog->SendCommand(ID_POINTS_APPEND); }, {1, 2, 0}},
        RowCommandCase{"DeleteKeyOnWholeRows3To5", 10, 3, 1, 5, 13, PressDelete, {1, 2, 6, 7, 8, 9, 10}},
        RowCommandCase{"DeleteKeyOnWholeRows8To10CutsTheTable", 10, 8, 13, 10, 1, PressDelete, {1, 2, 3, 4, 5, 6, 7}},
        RowCommandCase{"DeleteCommandOnOneCell",
                       3,
                       2,
                       4,
                       2,
                       4,
                       [](Editor& e) { e.dialog->SendCommand(ID_POINTS_DELETE); },
                       {1, 3}},
        RowCommandCase{"DeleteCommandOnEveryRowKeepsNothing",
                       2,
                       1,
                       1,
                       2,
                       13,
                       [](Editor& e) { e.dialog->SendCommand(ID_POINTS_DELETE); },
                       {}},
        RowCommandCase{"DeleteKeyWithoutRows", 0, 0, 0, 0, 0, PressDelete, {}}),
    rows::Name());

TEST(EditorDeleteKey, OnABlockOfCellsWritesZeroIntoEachOfThem)
{
    CTamrix set = NumberedDevice(5);
    Editor editor(set, 0);
    const auto untouched = editor.Row(1);
    editor.Select(2, 4, 4, 9);
    editor.Key(Qt::Key_Delete);
    ASSERT_EQ(editor.grid->GetRows(), 6);
    EXPECT_EQ(editor.Row(1), untouched);
    for (long row = 2; row <= 4; ++row)
    {
        for (long col = 1; col < 14; ++col)
        {
            if (col >= 4 && col <= 9)
            {
                EXPECT_EQ(editor.Cell(row, col), "0") << row << "," << col;
            }
            else
            {
                EXPECT_NE(editor.Cell(row, col), "0") << row << "," << col;
            }
        }
    }
}

TEST(EditorSelectAll, CtrlASelectsEveryDataCell)
{
    CTamrix set = NumberedDevice(6);
    Editor editor(set, 0);
    editor.Click(3, 4);
    editor.Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor.grid->GetRow(), 1);
    EXPECT_EQ(editor.grid->GetCol(), 1);
    EXPECT_EQ(editor.grid->GetRowSel(), 6);
    EXPECT_EQ(editor.grid->GetColSel(), 13);
}

// ---------------------------------------------------------------------------

struct PasteCase
{
    const char* scenario;
    long points;
    long row, col; // current cell; 0 without data rows
    const char* clipboard;
    std::vector<std::vector<const char*>> expected; // columns 1 ... 4 of every row
};

using EditorPaste = rows::Test<PasteCase>;

TEST_P(EditorPaste, WritesNumbersAndAppendsNewPoints)
{
    const PasteCase& c = GetParam();
    CTamrix set = NumberedDevice(c.points);
    Editor editor(set, 0);
    if (c.row > 0)
    {
        editor.Click(c.row, c.col);
    }
    SetClipboardText8(c.clipboard);
    editor.Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(editor.grid->GetRows(), static_cast<long>(c.expected.size()) + 1);
    for (long row = 1; row <= static_cast<long>(c.expected.size()); ++row)
    {
        EXPECT_EQ(editor.Cell(row, 0), QString::number(row));
        for (long col = 1; col <= 4; ++col)
        {
            EXPECT_EQ(editor.Cell(row, col),
                      c.expected[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)])
                << row << "," << col;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, EditorPaste,
                         testing::Values(PasteCase{"EmptyClipboardIntoNoPoints", 0, 0, 0, "", {{"0", "0", "0", "0"}}},
                                         PasteCase{"TwoLinesIntoNoPoints",
                                                   0,
                                                   0,
                                                   0,
                                                   "1000000000\t0.5\r\n2e9\t\t-0.25\r\n",
                                                   {{"1e9", "0.5", "0", "0"}, {"2e9", "0", "-0.25", "0"}}},
                                         PasteCase{"BeyondTheLastRowAppends",
                                                   2,
                                                   2,
                                                   2,
                                                   "0.5\r\n0.25\r\n",
                                                   {{"1e9", "0.125", "0.1875", "0.25"},
                                                    {"2e9", "0.5", "1.1875", "1.25"},
                                                    {"0", "0.25", "0", "0"}}}),
                         rows::Name());

// ---------------------------------------------------------------------------

struct SetNumberCase
{
    const char* scenario;
    long points;
    const char* typed; // nullptr: leave the shown number
    bool ok;
    long expectedPoints; // -1: unchanged
};

using EditorSetNumber = rows::Test<SetNumberCase>;

TEST_P(EditorSetNumber, ResetsEveryPointToTheNewPointValues)
{
    const SetNumberCase& c = GetParam();
    CTamrix set = NumberedDevice(c.points);
    Editor editor(set, 0);
    const auto firstRow = editor.Row(1);
    QString shown;
    bool opened = false;
    AnswerSetNumber(
        [&c, &shown](CSetnumberDialog& dialog) {
            QLineEdit* edit = dialog.GetDlgItemAs<QLineEdit>(IDC_POINT_NUMBER);
            shown = edit->text();
            if (c.typed != nullptr)
            {
                edit->selectAll();
                QTest::keyClick(edit, Qt::Key_Backspace);
                QTest::keyClicks(edit, c.typed);
            }
            QTest::keyClick(edit, c.ok ? Qt::Key_Return : Qt::Key_Escape);
        },
        &opened);
    editor.dialog->SendCommand(ID_POINTS_SET_NUMBER);
    Editor::Settle();
    ASSERT_TRUE(opened);
    EXPECT_EQ(shown, QString::number(c.points));
    if (c.expectedPoints < 0)
    {
        EXPECT_EQ(editor.grid->GetRows(), c.points + 1);
        EXPECT_EQ(editor.Row(1), firstRow);
        return;
    }
    ASSERT_EQ(editor.grid->GetRows(), c.expectedPoints + 1);
    for (long row : {1L, c.expectedPoints / 2, c.expectedPoints})
    {
        if (row >= 1 && row <= c.expectedPoints)
        {
            EXPECT_EQ(editor.Row(row), NewPointRow(row)) << "row " << row;
        }
    }
    editor.PressOk();
    ASSERT_TRUE(editor.Accepted());
    ASSERT_EQ(set.GetSParaFreqNumber(0), c.expectedPoints);
    if (c.expectedPoints > 0)
    {
        EXPECT_EQ(set.GetSParaValue(0, c.expectedPoints - 1, tags[2]), SParaValue(1, 0, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, EditorSetNumber,
                         testing::Values(SetNumberCase{"UnchangedNumber", 4, nullptr, true, 4},
                                         SetNumberCase{"MorePoints", 2, "6", true, 6},
                                         SetNumberCase{"EmptyFieldGivesNoPoints", 3, "", true, 0},
                                         SetNumberCase{"SixDigitsKeepFive", 1, "123456", true, 12345},
                                         SetNumberCase{"MostPoints", 1, "99999", true, 99999},
                                         SetNumberCase{"LettersAreNotTaken", 2, "x3", true, 3},
                                         SetNumberCase{"Cancelled", 3, "7", false, -1}),
                         rows::Name());

// ---------------------------------------------------------------------------

struct CommitCase
{
    const char* scenario;
    std::function<void(Editor&)> command;
    std::function<bool(const Editor&, bool setNumberOpened)> ran;
};

using EditorOpenEditBeforeCommand = rows::Test<CommitCase>;

TEST_P(EditorOpenEditBeforeCommand, IsCommittedOrKeepsTheCommandFromRunning)
{
    const CommitCase& c = GetParam();
    for (const bool number : {true, false})
    {
        CTamrix set = NumberedDevice(3);
        const CTamrix before = set;
        Editor editor(set, 0);
        SetClipboardText8("0.5");
        const QString old = editor.Cell(2, 3);
        editor.StartTyping(2, 3, number ? "0.75" : "abc");
        bool setNumberOpened = false;
        AnswerSetNumber([](CSetnumberDialog& dialog) { dialog.reject(); }, &setNumberOpened);
        c.command(editor);
        Editor::Settle();
        EXPECT_EQ(c.ran(editor, setNumberOpened), number);
        if (number)
        {
            EXPECT_FALSE(editor.grid->IsEditing());
            EXPECT_EQ(editor.beeps, 0);
        }
        else
        {
            EXPECT_TRUE(editor.grid->IsEditing());
            EXPECT_EQ(editor.beeps, 1);
            EXPECT_EQ(editor.Cell(2, 3), old);
            EXPECT_TRUE(editor.dialog->isVisible());
            EXPECT_TRUE(SameDevice(set.Content().devices[0], before.Content().devices[0]));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EditorOpenEditBeforeCommand,
    testing::Values(CommitCase{"Ok", [](Editor& e) { e.dialog->SendCommand(IDOK); },
                               [](const Editor& e, bool) { return e.Accepted(); }},
                    CommitCase{"Append", [](Editor& e) { e.dialog->SendCommand(ID_POINTS_APPEND); },
                               [](const Editor& e, bool) { return e.grid->GetRows() == 5 && e.Cell(2, 3) == "0.75"; }},
                    CommitCase{"Insert", [](Editor& e) { e.dialog->SendCommand(ID_POINTS_INSERT); },
                               [](const Editor& e, bool) { return e.grid->GetRows() == 5 && e.Cell(3, 3) == "0.75"; }},
                    CommitCase{"DeleteRows", [](Editor& e) { e.dialog->SendCommand(ID_POINTS_DELETE); },
                               [](const Editor& e, bool) { return e.grid->GetRows() == 3; }},
                    CommitCase{"Paste", [](Editor& e) { e.dialog->SendCommand(ID_EDIT_PASTE); },
                               [](const Editor& e, bool) { return e.Cell(2, 3) == "0.5"; }},
                    CommitCase{"SetNumber", [](Editor& e) { e.dialog->SendCommand(ID_POINTS_SET_NUMBER); },
                               [](const Editor&, bool opened) { return opened; }}),
    rows::Name());

// ---------------------------------------------------------------------------

TEST(EditorReadOnly, AllowsViewingSelectingAndCopyingOnly)
{
    CTamrix set = LoadSample("factory_v3.cal");
    const long device = 2;
    ASSERT_NE(set.GetSParaDeviceFlags(device) & sParaDevice_writeProtected, 0u);
    Editor editor(set, device, true);
    const long rows = editor.grid->GetRows();
    ASSERT_GT(rows, 3);
    const auto second = editor.Row(2);

    editor.Click(2, 3);
    editor.Key(Qt::Key_Insert);
    editor.Key(Qt::Key_Delete);
    SetClipboardText8("5\t5\t5\r\n");
    editor.Key(Qt::Key_V, Qt::ControlModifier);
    editor.DoubleClick(2, 3);
    EXPECT_FALSE(editor.grid->IsEditing());
    EXPECT_EQ(editor.grid->GetRows(), rows);
    EXPECT_EQ(editor.Row(2), second);

    editor.Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor.grid->GetRowSel(), rows - 1);
    EXPECT_EQ(editor.grid->GetColSel(), 13);
    editor.Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(GetClipboardText8(), CellBlockText(*editor.grid));
    EXPECT_NE(GetClipboardText8().find(second[13].toStdString()), std::string::npos);

    for (const int id : {IDC_MNEMONIC, IDC_LOWER_LIMIT, IDC_UPPER_LIMIT, IDC_S11_FOR_S22, IDC_S21_FOR_S12, IDOK})
    {
        EXPECT_FALSE(editor.dialog->GetDlgItem(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(editor.dialog->GetDlgItem(IDCANCEL)->isEnabled());
    const CMenu menu = editor.dialog->GetMenu();
    for (const int id : {ID_IMPORT_S2P, ID_IMPORT_UNCERTAINTY, ID_EDIT_PASTE})
    {
        EXPECT_NE(menu.GetMenuState(static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED, 0u) << id;
    }
    for (const int id : {ID_EXPORT_S2P, ID_EXPORT_UNCERTAINTY, ID_EDIT_COPY})
    {
        EXPECT_EQ(menu.GetMenuState(static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED, 0u) << id;
    }
    EXPECT_NE(menu.GetMenuState(2, MF_BYPOSITION) & MF_GRAYED, 0u);
    EXPECT_EQ(menu.GetMenuState(1, MF_BYPOSITION) & MF_GRAYED, 0u);

    QTest::keyClick(editor.dialog.get(), Qt::Key_Return);
    Editor::Settle();
    EXPECT_TRUE(editor.dialog->isVisible()) << "Enter does not press the greyed OK";
    EXPECT_TRUE(editor.boxes.empty());
}

// ---------------------------------------------------------------------------

using EditorLayout = rows::Test<QSize>;

TEST_P(EditorLayout, KeepsTheControlsAtTheEdgesAfterEveryResize)
{
    CTamrix set = NumberedDevice(3);
    Editor editor(set, 0);
    const QSize opened = editor.dialog->size();
    editor.dialog->resize(opened + GetParam());
    Editor::Settle();
    CDevice& dialog = *editor.dialog;
    // The window rectangle in the client area's coordinates.
    const QRect outer = dialog.frameGeometry();
    const QPoint client = dialog.GetClientArea()->mapTo(&dialog, QPoint(0, 0));
    const int left = outer.left() - dialog.geometry().left() - client.x();
    const int top = outer.top() - dialog.geometry().top() - client.y();
    const int right = left + outer.width();
    const int bottom = top + outer.height();
    const auto rightOf = [](const QWidget* w) { return w->x() + w->width(); };
    const auto bottomOf = [](const QWidget* w) { return w->y() + w->height(); };

    const QWidget* group = dialog.GetDlgItem(IDC_DEVICE_PARAMETERS);
    EXPECT_EQ(group->x(), left + 12);
    EXPECT_EQ(bottomOf(group), bottom - 12);
    const QWidget* mnemonic = dialog.GetDlgItem(IDC_MNEMONIC);
    const QWidget* lower = dialog.GetDlgItem(IDC_LOWER_LIMIT);
    const QWidget* upper = dialog.GetDlgItem(IDC_UPPER_LIMIT);
    EXPECT_EQ(mnemonic->x(), group->x() + 18);
    EXPECT_EQ(lower->x(), rightOf(mnemonic) + 18);
    EXPECT_EQ(upper->x(), rightOf(lower) + 18);
    for (const QWidget* field : std::vector<const QWidget*>{mnemonic, lower, upper, dialog.GetDlgItem(IDC_S21_FOR_S12)})
    {
        EXPECT_EQ(bottomOf(field), bottomOf(group) - 18);
    }
    EXPECT_EQ(dialog.GetDlgItem(IDC_S21_FOR_S12)->x(), rightOf(upper) + 18);
    EXPECT_EQ(dialog.GetDlgItem(IDC_S11_FOR_S22)->x(), rightOf(upper) + 18);
    EXPECT_EQ(dialog.GetDlgItem(IDC_S11_FOR_S22)->y(), dialog.GetDlgItem(IDC_S21_FOR_S12)->y() - 18);
    const std::pair<int, const QWidget*> labels[] = {
        {IDC_MNEMONIC_LABEL, mnemonic}, {IDC_LOWER_LIMIT_LABEL, lower}, {IDC_UPPER_LIMIT_LABEL, upper}};
    for (const auto& [id, field] : labels)
    {
        EXPECT_EQ(dialog.GetDlgItem(id)->x(), field->x());
        EXPECT_EQ(bottomOf(dialog.GetDlgItem(id)), field->y() - 6);
    }
    const QWidget* ok = dialog.GetDlgItem(IDOK);
    const QWidget* cancel = dialog.GetDlgItem(IDCANCEL);
    EXPECT_EQ(rightOf(ok), right - 18);
    EXPECT_EQ(bottomOf(ok), bottom - 18);
    EXPECT_EQ(rightOf(cancel), right - 18);
    EXPECT_EQ(bottomOf(cancel), ok->y() - 18);
    const QWidget* grid = editor.grid;
    EXPECT_EQ(grid->x(), left + 18);
    EXPECT_EQ(grid->y(), 12);
    EXPECT_EQ(rightOf(grid), right - 18);
    EXPECT_EQ(bottomOf(grid), group->y() - 12);
    EXPECT_GT(grid->height(), 100);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EditorLayout,
                         testing::Values(QSize(0, 0), QSize(200, 150), QSize(640, 20), QSize(3, 500)),
                         [](const testing::TestParamInfo<QSize>& info) {
                             return "Grown" + std::to_string(info.param.width()) + "x" +
                                    std::to_string(info.param.height());
                         });

TEST(EditorLayout, TheWindowCannotBeMadeSmallerThanItOpened)
{
    CTamrix set = NumberedDevice(3);
    Editor editor(set, 0);
    const QSize opened = editor.dialog->size();
    editor.dialog->resize(opened / 2);
    Editor::Settle();
    EXPECT_EQ(editor.dialog->size(), opened);
    editor.dialog->resize(opened.width() + 100, opened.height() - 50);
    Editor::Settle();
    EXPECT_EQ(editor.dialog->size(), QSize(opened.width() + 100, opened.height()));
}

TEST(EditorCancel, EscapeInALimitFieldThatIsNoNumberClosesWithoutAMessageOrAChange)
{
    CTamrix set = NumberedDevice(2);
    const CTamrix before = set;
    Editor editor(set, 0);
    editor.EditCell(1, 2, "0.75");
    editor.TypeInto(IDC_LOWER_LIMIT, "1m");
    QTest::keyClick(editor.Field(IDC_LOWER_LIMIT), Qt::Key_Escape);
    Editor::Settle();
    EXPECT_FALSE(editor.dialog->isVisible());
    EXPECT_EQ(editor.dialog->result(), IDCANCEL);
    EXPECT_TRUE(editor.boxes.empty());
    EXPECT_EQ(editor.beeps, 0);
    EXPECT_TRUE(SameDevice(set.Content().devices[0], before.Content().devices[0]));
}

TEST(EditorLimitCheck, FocusComingBackFromTheOtherRefusedFieldGivesOneMessage)
{
    CTamrix set = NumberedDevice(1);
    Editor editor(set, 0);
    editor.Field(IDC_UPPER_LIMIT)->setText("x");
    editor.TypeInto(IDC_LOWER_LIMIT, "1m");
    QTest::keyClick(editor.Field(IDC_LOWER_LIMIT), Qt::Key_Tab);
    Editor::Settle();
    ASSERT_EQ(editor.boxes.size(), 1u);
    EXPECT_EQ(editor.boxes[0].text, "Invalid floating point value: 1m");
    EXPECT_TRUE(editor.Field(IDC_LOWER_LIMIT)->hasFocus());
    EXPECT_EQ(editor.Field(IDC_UPPER_LIMIT)->text(), "x");
}

} // namespace
