#include "Device.h"
#include "CellEdit.h"
#include "Clipboard.h"
#include "EditFlexGrid.h"
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
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace
{

using rows::operator<<;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

CTamrix LoadSample(const char* name)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromFile2(set, (std::string(OSTREL_SOURCE_DIR) + "/samples/" + name).c_str());
    return set;
}

// A user data set whose device 0 (of two) has `points` points with distinct values:
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

// A stored value of device 0 by the editor's column: 1 the frequency, 2 ... 13 real part,
// imaginary part and uncertainty of S11, S21, S12 and S22.
double Stored(const CTamrix& set, long point, long col)
{
    if (col == 1)
    {
        return set.GetSParaFreq(0, point);
    }
    const SParaValue value = set.GetSParaValue(0, point, tags[(col - 2) / 3]);
    const double parts[3] = {std::get<0>(value), std::get<1>(value), std::get<2>(value)};
    return parts[(col - 2) % 3];
}

bool Same(const SParaDevice& a, const SParaDevice& b)
{
    const auto samePoint = [](const SParaPoint& p, const SParaPoint& q) {
        return p.frequency == q.frequency && p.values == q.values;
    };
    return std::tie(a.mnemonic, a.minPower, a.maxPower, a.flags) ==
               std::tie(b.mnemonic, b.minPower, b.maxPower, b.flags) &&
           std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(), samePoint);
}

// The device editor opened (shown, not modal) on a data set, every message box and beep
// recorded; Yes/No boxes are answered with `answer`.
class DeviceEditor : public testing::Test
{
public:
    void Open(CTamrix dataSet, long device = 0, bool readOnly = false)
    {
        set = std::move(dataSet);
        before = set;
        dialog = std::make_unique<CDevice>(device, &set, readOnly);
        dialog->Create();
        grid = dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
        if (dialog->result() == 0)
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

    QLineEdit* LineEdit(int id) const { return dialog->GetDlgItemAs<QLineEdit>(id); }

    void Mouse(long row, long col, bool twice, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QModelIndex index = grid->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1));
        grid->scrollTo(index);
        const QPoint at = grid->visualRect(index).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, at);
        if (twice)
        {
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, modifiers, at);
        }
        Settle();
    }

    std::vector<QString> Row(long row) const
    {
        std::vector<QString> texts;
        for (long col = 0; col < 14; ++col)
        {
            texts.push_back(grid->GetTextMatrix(row, col));
        }
        return texts;
    }

    CTamrix set;
    CTamrix before;
    std::vector<MessageBoxRequest> boxes;
    int beeps = 0;
    int answer = IDYES;
    ScopedMessageBoxPresenter presenter{[this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return request.buttons == MessageBoxButtons::YesNo ? answer : IDOK;
    }};
    ScopedBeepHook beepHook{[this](UINT) { ++beeps; }};
    std::unique_ptr<CDevice> dialog;
    CEditFlexGrid* grid = nullptr;
};

// What the user does, step by step.
using Step = std::function<void(DeviceEditor&)>;

// Keys go to the grid (0), to a control of the dialog or, with -1, to the dialog itself.
Step Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int to = 0)
{
    return [=](DeviceEditor& e) {
        QWidget* target = to == 0 ? e.grid : to == -1 ? e.dialog.get() : e.dialog->GetDlgItem(to);
        QTest::keyClick(target, key, modifiers);
        e.Settle();
    };
}

Step Click(long row, long col, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return [=](DeviceEditor& e) { e.Mouse(row, col, false, modifiers); };
}

// A click on the first cell and a Shift+click on the second.
Step Select(long row1, long col1, long row2, long col2)
{
    return [=](DeviceEditor& e) {
        e.Mouse(row1, col1, false);
        e.Mouse(row2, col2, false, Qt::ShiftModifier);
    };
}

// Double-clicks the cell and types the text; `enter`: then Enter, and Escape on the editor
// that Enter opens on the next cell.
Step Edit(long row, long col, const char* text, bool enter = true)
{
    return [=](DeviceEditor& e) {
        e.Mouse(row, col, true);
        QWidget* target = e.grid->IsEditing() ? &e.grid->GetCellEdit() : static_cast<QWidget*>(e.grid);
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(target, QString::fromUtf8(text));
        if (enter)
        {
            QTest::keyClick(target, Qt::Key_Return);
            e.Settle();
            if (e.grid->IsEditing())
            {
                QTest::keyClick(&e.grid->GetCellEdit(), Qt::Key_Escape);
            }
        }
        e.Settle();
    };
}

// Clicks into the field and types over its text.
Step Type(int id, const char* text)
{
    return [=](DeviceEditor& e) {
        QLineEdit* field = e.LineEdit(id);
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, QString::fromUtf8(text));
    };
}

// A text that no check saw, as a field can hold one only while another field is checked.
Step SetText(int id, const char* text)
{
    return [=](DeviceEditor& e) { e.LineEdit(id)->setText(text); };
}

Step Press(int id)
{
    return [=](DeviceEditor& e) {
        QTest::mouseClick(e.dialog->GetDlgItemAs<QAbstractButton>(id), Qt::LeftButton);
        e.Settle();
    };
}

const Step Ok = Press(IDOK);

Step Command(int id)
{
    return [=](DeviceEditor& e) {
        e.dialog->SendCommand(id);
        e.Settle();
    };
}

Step Answer(int button)
{
    return [=](DeviceEditor& e) { e.answer = button; };
}

Step Clip(const char* text)
{
    return [=](DeviceEditor&) { SetClipboardText8(text); };
}

// The point number command; its dialog, showing the number of points, gets the typed text
// (nullptr: none) and Enter (`ok`) or Escape.
Step SetNumber(const char* typed, bool ok)
{
    return [=](DeviceEditor& e) {
        const QString points = QString::number(e.grid->GetRows() - 1);
        QTimer::singleShot(0, [=] {
            if (auto* box = qobject_cast<CSetnumberDialog*>(QApplication::activeModalWidget()))
            {
                QLineEdit* edit = box->GetDlgItemAs<QLineEdit>(IDC_POINT_NUMBER);
                EXPECT_EQ(edit->text(), points);
                if (typed != nullptr)
                {
                    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClick(edit, Qt::Key_Backspace);
                    QTest::keyClicks(edit, typed);
                }
                QTest::keyClick(edit, ok ? Qt::Key_Return : Qt::Key_Escape);
            }
        });
        Command(ID_POINTS_SET_NUMBER)(e);
    };
}

// A block of cells that differs from the layout: the text the grid shows (nullptr: the
// layout's) and the value OK stores.
struct Cells
{
    Cells(long row, long col, const char* text, double value)
        : Cells(row, col, row, col, text, value)
    {
    }
    Cells(long row1, long col1, long row2, long col2, const char* text, double value)
        : row1(row1), col1(col1), row2(row2), col2(col2), shown(text), stored(value)
    {
    }
    long row1, col1, row2, col2;
    const char* shown;
    double stored;
};

// A field's text, and for a limit the value OK stores (the mnemonic stores its text).
struct Field
{
    int id;
    const char* shown;
    double stored = 0;
};

struct Box
{
    QString text;
    MessageBoxIcon icon = MessageBoxIcon::Stop;
    MessageBoxButtons buttons = MessageBoxButtons::Ok;
    int defaultButton = IDOK;
};

Box Invalid(const char* text)
{
    return {QStringLiteral("Invalid floating point value: ") + text};
}

Box Refused(std::int32_t code)
{
    return {FormatLibraryError(TvxKyyCalcDLLError(code))};
}

const Box proceed{"Upper power limit should be higher than lower power limit. Proceed?", MessageBoxIcon::Exclamation,
                  MessageBoxButtons::YesNo, IDNO};

struct Session
{
    const char* scenario;
    long points;
    std::vector<Step> steps{};
    // The grid's rows afterwards: an old point's number, -n for n new points.
    std::vector<long> layout{};
    int closed = 0; // IDOK (stored), IDCANCEL, 0: still open
    std::vector<Cells> cells{};
    std::vector<Box> boxes{};
    int beeps = 0;
    std::vector<Field> fields{};
    int focus = 0;                  // the control with the focus afterwards (0: not looked at)
    const char* clipboard = nullptr; // afterwards (nullptr: not looked at)
    bool readOnly = false;
};

using EditorSession = rows::Fixture<DeviceEditor, Session>;

TEST_P(EditorSession, ShowsAndStoresWhatTheUserDid)
{
    const Session& c = GetParam();
    Open(NumberedDevice(c.points), 0, c.readOnly);
    std::vector<std::vector<QString>> opening;
    for (long row = 0; row <= c.points; ++row)
    {
        opening.push_back(Row(row));
    }
    for (const Step& step : c.steps)
    {
        step(*this);
    }

    std::vector<std::vector<QString>> shown;
    std::vector<std::array<double, 14>> stored;
    for (const long entry : c.layout)
    {
        for (long n = entry > 0 ? 1 : -entry; n > 0; --n)
        {
            shown.push_back(entry > 0 ? opening[static_cast<std::size_t>(entry)]
                                      : std::vector<QString>{"", "0", "0", "0", "0", "1", "0", "0", "1", "0", "0",
                                                             "0", "0", "0"});
            stored.emplace_back();
            for (long col = 1; col < 14; ++col)
            {
                stored.back()[col] = entry > 0 ? Stored(before, entry - 1, col) : col == 5 || col == 8 ? 1 : 0;
            }
        }
    }
    for (const Cells& block : c.cells)
    {
        for (long row = block.row1; row <= block.row2; ++row)
        {
            for (long col = block.col1; col <= block.col2; ++col)
            {
                if (block.shown != nullptr)
                {
                    shown[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col)] = block.shown;
                }
                stored[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col)] = block.stored;
            }
        }
    }
    ASSERT_EQ(grid->GetRows(), static_cast<long>(shown.size()) + 1);
    for (long row = 1; row <= static_cast<long>(shown.size()); ++row)
    {
        shown[static_cast<std::size_t>(row - 1)][0] = QString::number(row);
        EXPECT_EQ(Row(row), shown[static_cast<std::size_t>(row - 1)]) << "row " << row;
    }
    for (const Field& field : c.fields)
    {
        EXPECT_EQ(LineEdit(field.id)->text(), QString::fromUtf8(field.shown)) << field.id;
    }
    ASSERT_EQ(boxes.size(), c.boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i)
    {
        EXPECT_EQ(std::tie(boxes[i].text, boxes[i].icon, boxes[i].buttons, boxes[i].defaultButton),
                  std::tie(c.boxes[i].text, c.boxes[i].icon, c.boxes[i].buttons, c.boxes[i].defaultButton));
    }
    EXPECT_EQ(beeps, c.beeps);
    if (c.focus != 0)
    {
        EXPECT_TRUE(dialog->GetDlgItem(c.focus)->hasFocus());
    }
    if (c.clipboard != nullptr)
    {
        EXPECT_EQ(GetClipboardText8(), c.clipboard);
    }
    EXPECT_EQ(dialog->isVisible(), c.closed == 0);
    EXPECT_EQ(dialog->result(), c.closed);

    if (c.closed != IDOK)
    {
        for (std::size_t device = 0; device < 2; ++device)
        {
            EXPECT_TRUE(Same(set.Content().devices[device], before.Content().devices[device])) << device;
        }
        return;
    }
    // What OK stored, and what a file holds of it (a file holds no device without points
    // and no frequencies out of order).
    CTamrix reloaded;
    reloaded.EnableUtf8Support(true);
    std::vector<const CTamrix*> results{&set};
    try
    {
        std::string bytes;
        CTamrixUtil::StoreTMXToBuffer2(set, bytes, '3', '0');
        CTamrixUtil::LoadTMXFromBuffer2(reloaded, bytes);
        results.push_back(&reloaded);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        EXPECT_TRUE(error.code == TamrixErrorCode::NoSParaDevice ||
                    error.code == TamrixErrorCode::FrequenciesNotAscending);
    }
    for (const CTamrix* dataSet : results)
    {
        EXPECT_TRUE(Same(dataSet->Content().devices[1], before.Content().devices[1]));
        std::string mnemonic = before.GetSPDMnemonic(0);
        double limits[2] = {before.GetSParaMinPower(0), before.GetSParaMaxPower(0)};
        for (const Field& field : c.fields)
        {
            if (field.id == IDC_MNEMONIC)
            {
                mnemonic = field.shown;
            }
            else
            {
                limits[field.id == IDC_UPPER_LIMIT] = field.stored;
            }
        }
        EXPECT_EQ(dataSet->GetSPDMnemonic(0), mnemonic);
        EXPECT_EQ(dataSet->GetSParaMinPower(0), limits[0]);
        EXPECT_EQ(dataSet->GetSParaMaxPower(0), limits[1]);
        ASSERT_EQ(dataSet->GetSParaFreqNumber(0), static_cast<long>(stored.size()));
        for (long point = 0; point < static_cast<long>(stored.size()); ++point)
        {
            for (long col = 1; col < 14; ++col)
            {
                EXPECT_EQ(Stored(*dataSet, point, col), stored[static_cast<std::size_t>(point)][col])
                    << "point " << point << ", column " << col;
            }
        }
    }
}

double Single(float value)
{
    return value;
}

constexpr int mnemonicId = IDC_MNEMONIC;
constexpr int lowerId = IDC_LOWER_LIMIT;
constexpr int upperId = IDC_UPPER_LIMIT;
const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;

INSTANTIATE_TEST_SUITE_P(
    Edits, EditorSession,
    testing::Values(
        Session{"FrequencyInEngineeringFormat", 4, {Edit(1, 1, "1500"), Ok}, {1, 2, 3, 4}, IDOK, {{1, 1, "1.5e3", 1500}}},
        Session{"S11Imaginary", 4, {Edit(1, 3, "-0.125"), Ok}, {1, 2, 3, 4}, IDOK, {{1, 3, "-0.125", -0.125}}},
        Session{"S21RealSmall", 4, {Edit(3, 5, "0.00001234"), Ok}, {1, 2, 3, 4}, IDOK, {{3, 5, "1.234e-5", Single(1.234e-5f)}}},
        Session{"S12UncertaintyBlanks", 4, {Edit(4, 10, " 0.03125 "), Ok}, {1, 2, 3, 4}, IDOK,
                {{4, 10, "0.03125", 0.03125}}},
        Session{"S22UncertaintyLastColumn", 4, {Edit(2, 13, "0.5"), Ok}, {1, 2, 3, 4}, IDOK, {{2, 13, "0.5", 0.5}}},
        Session{"MnemonicInUtf8", 1, {Type(mnemonicId, "Pad \xC2\xB5W"), Ok}, {1}, IDOK, {}, {}, 0,
                {{mnemonicId, "Pad \xC2\xB5W", 0}}},
        Session{"NoPoints", 0, {Ok}, {}, IDOK},
        Session{"InfiniteFrequencyRefused", 2, {Type(mnemonicId, "Changed"), Edit(1, 5, "0.25"), Edit(2, 1, "inf"), Ok},
                {1, 2}, 0, {{1, 5, "0.25", 0}, {2, 1, "inf", 0}}, {Refused(TamrixErrorCode::WrongArgument)}},
        Session{"ValueBeyondSinglePrecisionRefused", 2, {Edit(2, 12, "1e39"), Ok}, {1, 2}, 0, {{2, 12, "1e39", 0}},
                {Refused(TamrixErrorCode::SinglePrecisionOverflow)}},
        Session{"CancelButton", 2, {Type(mnemonicId, "Changed"), Edit(1, 2, "0.75"), Press(IDCANCEL)}, {1, 2},
                IDCANCEL, {{1, 2, "0.75", 0}}}),
    rows::Name());


INSTANTIATE_TEST_SUITE_P(
    Limits, EditorSession,
    testing::Values(
        Session{"EqualAnsweredNo", 2, {Answer(IDNO), Type(lowerId, "0.1"), Type(upperId, "0.1"), Edit(1, 2, "0.75"), Ok},
                {1, 2}, 0, {{1, 2, "0.75", 0}}, {proceed}},
        Session{"EqualAnsweredYes", 2, {Type(lowerId, "0.1"), Type(upperId, "0.1"), Edit(1, 2, "0.75"), Ok}, {1, 2}, IDOK,
                {{1, 2, "0.75", 0.75}}, {proceed}, 0, {{lowerId, "100e-3", Single(0.1f)}, {upperId, "100e-3", Single(0.1f)}}},
        Session{"LowerAboveUpperAnsweredNo", 2, {Answer(IDNO), Type(lowerId, "0.2"), Type(upperId, "0.1"), Ok}, {1, 2}, 0,
                {}, {proceed}},
        Session{"LowerBelowUpper", 2, {Type(lowerId, "0.001"), Type(upperId, "0.1"), Ok}, {1, 2}, IDOK, {}, {}, 0,
                {{lowerId, "1e-3", Single(0.001f)}, {upperId, "100e-3", Single(0.1f)}}},
        Session{"NegativeUpperAnsweredYesRefused", 2, {Type(lowerId, "0.1"), Type(upperId, "-1"), Ok}, {1, 2}, 0, {},
                {proceed, Refused(TamrixErrorCode::WrongArgument)}},
        Session{"PlainNumberOnTab", 1, {Type(lowerId, "0.001"), Key(Qt::Key_Tab, {}, lowerId)}, {1}, 0, {}, {}, 0,
                {{lowerId, "1e-3"}}, upperId},
        Session{"BlanksOnTab", 1, {Type(upperId, " 0.5 "), Key(Qt::Key_Tab, {}, upperId)}, {1}, 0, {}, {}, 0,
                {{upperId, "500e-3"}}, IDC_S11_FOR_S22},
        Session{"UnitSuffixOnTab", 1, {Type(lowerId, "1m"), Key(Qt::Key_Tab, {}, lowerId)}, {1}, 0, {}, {Invalid("1m")}, 1,
                {{lowerId, "1m"}}, lowerId},
        Session{"TrimmedWordOnTab", 1, {Type(upperId, " high "), Key(Qt::Key_Tab, {}, upperId)}, {1}, 0, {},
                {Invalid("high")}, 1, {{upperId, "high"}}, upperId},
        Session{"EnterInLowerThatIsNoNumber", 2, {Type(mnemonicId, "Changed"), Type(lowerId, "1m"),
                Key(Qt::Key_Return, {}, lowerId)}, {1, 2}, 0, {}, {Invalid("1m")}, 1, {}, lowerId},
        Session{"EnterInUpperThatIsNoNumber", 2, {Type(mnemonicId, "Changed"), Type(upperId, "1m"),
                Key(Qt::Key_Return, {}, upperId)}, {1, 2}, 0, {}, {Invalid("1m")}, 1, {}, upperId},
        Session{"OtherRefusedFieldGivesOneMessage", 1, {SetText(upperId, "x"), Type(lowerId, "1m"),
                Key(Qt::Key_Tab, {}, lowerId)}, {1}, 0, {}, {Invalid("1m")}, 1, {{upperId, "x"}}, lowerId},
        Session{"EscapeInAFieldThatIsNoNumber", 2, {Edit(1, 2, "0.75"), Type(lowerId, "1m"),
                Key(Qt::Key_Escape, {}, lowerId)}, {1, 2}, IDCANCEL, {{1, 2, "0.75", 0}}}),
    rows::Name());

INSTANTIATE_TEST_SUITE_P(
    Mirrors, EditorSession,
    testing::Values(
        Session{"S11ForS22", 2, {Press(IDC_S11_FOR_S22), Edit(2, 12, "9"), Ok}, {1, 2}, IDOK,
                {{1, 11, nullptr, 0.125}, {1, 12, nullptr, 0.1875}, {1, 13, nullptr, 0.25}, {2, 11, nullptr, 1.125},
                 {2, 12, nullptr, 1.1875}, {2, 13, nullptr, 1.25}}},
        Session{"S21ForS12", 2, {Press(IDC_S21_FOR_S12), Edit(1, 9, "9"), Ok}, {1, 2}, IDOK,
                {{1, 8, nullptr, 0.3125}, {1, 9, nullptr, 0.375}, {1, 10, nullptr, 0.4375}, {2, 8, nullptr, 1.3125},
                 {2, 9, nullptr, 1.375}, {2, 10, nullptr, 1.4375}}},
        Session{"UncheckedAgain", 2, {Press(IDC_S11_FOR_S22), Press(IDC_S11_FOR_S22), Edit(1, 12, "0.375"), Ok}, {1, 2},
                IDOK, {{1, 12, "0.375", 0.375}}}),
    rows::Name());

INSTANTIATE_TEST_SUITE_P(
    RowCommands, EditorSession,
    testing::Values(
        Session{"InsertKeyBeforeRows2To4", 5, {Select(2, 3, 4, 3), Key(Qt::Key_Insert), Ok}, {1, -3, 2, 3, 4, 5}, IDOK},
        Session{"InsertKeyWithoutRowsAppends", 0, {Key(Qt::Key_Insert), Ok}, {-1}, IDOK},
        Session{"InsertCommandBeforeLastRow", 3, {Click(3, 1), Command(ID_POINTS_INSERT), Ok}, {1, 2, -1, 3}, IDOK},
        Session{"AppendCommand", 2, {Click(1, 1), Command(ID_POINTS_APPEND), Ok}, {1, 2, -1}, IDOK},
        Session{"DeleteKeyOnWholeRows3To5", 10, {Select(3, 1, 5, 13), Key(Qt::Key_Delete), Ok}, {1, 2, 6, 7, 8, 9, 10},
                IDOK},
        Session{"DeleteKeyOnWholeRows8To10CutsTheTable", 10, {Select(8, 13, 10, 1), Key(Qt::Key_Delete), Ok},
                {1, 2, 3, 4, 5, 6, 7}, IDOK},
        Session{"DeleteCommandOnOneCell", 3, {Click(2, 4), Command(ID_POINTS_DELETE), Ok}, {1, 3}, IDOK},
        Session{"DeleteCommandOnEveryRow", 2, {Select(1, 1, 2, 13), Command(ID_POINTS_DELETE), Ok}, {}, IDOK},
        Session{"DeleteKeyWithoutRows", 0, {Key(Qt::Key_Delete), Ok}, {}, IDOK},
        Session{"DeleteKeyOnABlockWritesZeros", 5, {Select(2, 4, 4, 9), Key(Qt::Key_Delete), Ok}, {1, 2, 3, 4, 5}, IDOK,
                {{2, 4, 4, 9, "0", 0}}},
        Session{"SelectAllThenDeleteKey", 6, {Click(3, 4), Key(Qt::Key_A, ctrl), Key(Qt::Key_Delete), Ok}, {}, IDOK},
        Session{"PasteEmptyClipboardIntoNoPoints", 0, {Clip(""), Key(Qt::Key_V, ctrl), Ok}, {-1}, IDOK},
        Session{"PasteTwoLinesIntoNoPoints", 0, {Clip("1000000000\t0.5\r\n2e9\t\t-0.25\r\n"), Key(Qt::Key_V, ctrl), Ok},
                {-2}, IDOK, {{1, 1, "1e9", 1e9}, {1, 2, "0.5", 0.5}, {2, 1, "2e9", 2e9}, {2, 3, "-0.25", -0.25}}},
        Session{"PasteBeyondTheLastRowAppends", 2, {Click(2, 2), Clip("0.5\r\n0.25\r\n"), Key(Qt::Key_V, ctrl), Ok},
                {1, 2, -1}, IDOK, {{2, 2, "0.5", 0.5}, {3, 2, "0.25", 0.25}}},
        Session{"SetNumberUnchangedResetsEveryPoint", 4, {SetNumber(nullptr, true), Ok}, {-4}, IDOK},
        Session{"SetNumberMorePoints", 2, {SetNumber("6", true), Ok}, {-6}, IDOK},
        Session{"SetNumberEmptyGivesNoPoints", 3, {SetNumber("", true), Ok}, {}, IDOK},
        Session{"SetNumberSixDigitsKeepFive", 1, {SetNumber("000012", true), Ok}, {-1}, IDOK},
        Session{"SetNumberMostPoints", 1, {SetNumber("99999", true), Ok}, {-99999}, IDOK},
        Session{"SetNumberLettersAreNotTaken", 2, {SetNumber("x3", true), Ok}, {-3}, IDOK},
        Session{"SetNumberCancelled", 3, {SetNumber("7", false), Ok}, {1, 2, 3}, IDOK}),
    rows::Name());

// A command commits the cell being edited first, and does not run while its text is no number.
INSTANTIATE_TEST_SUITE_P(
    OpenEdit, EditorSession,
    testing::Values(
        Session{"CommittedByOk", 3, {Edit(2, 3, "0.75", false), Command(IDOK)}, {1, 2, 3}, IDOK, {{2, 3, "0.75", 0.75}}},
        Session{"CommittedByAppend", 3, {Edit(2, 3, "0.75", false), Command(ID_POINTS_APPEND), Ok}, {1, 2, 3, -1}, IDOK,
                {{2, 3, "0.75", 0.75}}},
        Session{"CommittedByInsert", 3, {Edit(2, 3, "0.75", false), Command(ID_POINTS_INSERT), Ok}, {1, -1, 2, 3}, IDOK,
                {{3, 3, "0.75", 0.75}}},
        Session{"CommittedByDelete", 3, {Edit(2, 3, "0.75", false), Command(ID_POINTS_DELETE), Ok}, {1, 3}, IDOK},
        Session{"CommittedByPaste", 3, {Clip("0.5"), Edit(2, 3, "0.75", false), Command(ID_EDIT_PASTE), Ok}, {1, 2, 3},
                IDOK, {{2, 3, "0.5", 0.5}}},
        Session{"CommittedBySetNumber", 3, {Edit(2, 3, "0.75", false), SetNumber("1", true), Ok}, {-1}, IDOK},
        Session{"NoNumberStopsEveryCommand", 3, {Clip("0.5"), Edit(2, 3, "abc", false), Command(ID_POINTS_APPEND),
                Command(ID_POINTS_INSERT), Command(ID_POINTS_DELETE), Command(ID_EDIT_PASTE), SetNumber("1", true),
                Command(IDOK)}, {1, 2, 3}, 0, {}, {}, 6}),
    rows::Name());

// A write-protected device is only viewed, selected and copied.
INSTANTIATE_TEST_SUITE_P(
    ReadOnly, EditorSession,
    testing::Values(
        Session{"RefusesEveryChange", 3, {Click(2, 3), Key(Qt::Key_Insert), Key(Qt::Key_Delete), Clip("5\t5\t5\r\n"),
                Key(Qt::Key_V, ctrl), Edit(2, 3, "7"), Command(ID_POINTS_APPEND), Command(ID_POINTS_DELETE),
                Command(ID_EDIT_PASTE), SetNumber("1", true), Key(Qt::Key_Return, {}, -1)}, {1, 2, 3}, 0, {}, {}, 0, {},
                0, nullptr, true},
        Session{"CopiesEveryCell", 2, {Click(2, 3), Key(Qt::Key_A, ctrl), Key(Qt::Key_C, ctrl)}, {1, 2}, 0, {}, {}, 0,
                {}, 0,
                "1e9\t0.125\t0.1875\t0.25\t0.3125\t0.375\t0.4375\t0.5\t0.5625\t0.625\t0.6875\t0.75\t0.8125\r\n"
                "2e9\t1.125\t1.1875\t1.25\t1.3125\t1.375\t1.4375\t1.5\t1.5625\t1.625\t1.6875\t1.75\t1.8125\r\n",
                true}),
    rows::Name());

struct Opening
{
    const char* scenario;
    const char* sample;
    long device;
    const char* caption; // nullptr: the data set has no such device
    const char* lower;
    const char* upper;
};

using EditorOpening = rows::Fixture<DeviceEditor, Opening>;

TEST_P(EditorOpening, ShowsTheDeviceOrTheLibraryError)
{
    const Opening& c = GetParam();
    Open(LoadSample(c.sample), c.device);
    if (c.caption == nullptr)
    {
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), IDCANCEL);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, Refused(TamrixErrorCode::InvalidTableAccess).text);
        EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
        return;
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dialog->windowTitle(), c.caption);
    EXPECT_EQ(LineEdit(mnemonicId)->text().toStdString(), set.GetSPDMnemonic(c.device));
    EXPECT_EQ(LineEdit(lowerId)->text(), c.lower);
    EXPECT_EQ(LineEdit(upperId)->text(), c.upper);
    EXPECT_FALSE(dialog->IsDlgButtonChecked(IDC_S11_FOR_S22));
    EXPECT_FALSE(dialog->IsDlgButtonChecked(IDC_S21_FOR_S12));
    const long points = set.GetSParaFreqNumber(c.device);
    ASSERT_EQ(grid->GetRows(), points + 1);
    ASSERT_EQ(grid->GetCols(), 14);
    for (long i = 0; i < points; ++i)
    {
        EXPECT_EQ(grid->GetTextMatrix(i + 1, 0), QString::number(i + 1));
        EXPECT_EQ(CellToDouble(*grid, i + 1, 1, -1), set.GetSParaFreq(c.device, i)) << "point " << i;
        for (long col = 2; col < 14; ++col)
        {
            const SParaValue value = set.GetSParaValue(c.device, i, tags[(col - 2) / 3]);
            const double parts[3] = {std::get<0>(value), std::get<1>(value), std::get<2>(value)};
            EXPECT_EQ(grid->GetTextMatrix(i + 1, col), FormatValue(parts[(col - 2) % 3])) << i << ", " << col;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, EditorOpening,
    testing::Values(Opening{"FactoryFirst", "factory_v3.cal", 0, "Device: 1", "199.526e-12", "399.052e-3"},
                    Opening{"FactorySecond", "factory_v3.cal", 1, "Device: 2", "1e-9", "2"},
                    Opening{"FactoryThird", "factory_v3.cal", 2, "Device: 3", "10e-9", "20"},
                    Opening{"FactoryFourth", "factory_v3.cal", 3, "Device: 4", "100e-12", "200e-3"},
                    Opening{"UserFirst", "user_v3.cal", 0, "Device: 1001", "100e-12", "200e-3"},
                    Opening{"UserSecond", "user_v3.cal", 1, "Device: 1002", "398.107e-12", "796.214e-3"},
                    Opening{"NoSuchDevice", "user_v3.cal", 40, nullptr, "", ""}),
    rows::Name());

struct Enabling
{
    const char* scenario;
    bool readOnly;
    std::vector<int> greyedControls;
    std::vector<int> greyedCommands;
    std::vector<int> greyedPopups; // by position in the menu bar
};

using EditorEnabling = rows::Fixture<DeviceEditor, Enabling>;

TEST_P(EditorEnabling, GreysWhatWouldChangeAReadOnlyDevice)
{
    const Enabling& c = GetParam();
    Open(NumberedDevice(2), 0, c.readOnly);
    const auto in = [](const std::vector<int>& list, int id) { return std::count(list.begin(), list.end(), id) > 0; };
    for (const int id : {mnemonicId, lowerId, upperId, IDC_S11_FOR_S22, IDC_S21_FOR_S12, IDOK, IDCANCEL})
    {
        EXPECT_EQ(dialog->GetDlgItem(id)->isEnabled(), !in(c.greyedControls, id)) << id;
    }
    const CMenu menu = dialog->GetMenu();
    for (const int id :
         {ID_IMPORT_S2P, ID_IMPORT_UNCERTAINTY, ID_EDIT_PASTE, ID_EXPORT_S2P, ID_EXPORT_UNCERTAINTY, ID_EDIT_COPY})
    {
        EXPECT_EQ((menu.GetMenuState(static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) != 0, in(c.greyedCommands, id))
            << id;
    }
    for (const int position : {0, 1, 2})
    {
        EXPECT_EQ((menu.GetMenuState(static_cast<UINT>(position), MF_BYPOSITION) & MF_GRAYED) != 0,
                  in(c.greyedPopups, position))
            << position;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, EditorEnabling,
    testing::Values(Enabling{"Writable", false, {}, {}, {}},
                    Enabling{"ReadOnly", true, {mnemonicId, lowerId, upperId, IDC_S11_FOR_S22, IDC_S21_FOR_S12, IDOK},
                             {ID_IMPORT_S2P, ID_IMPORT_UNCERTAINTY, ID_EDIT_PASTE}, {2}}),
    rows::Name());

struct Resize
{
    const char* scenario;
    QSize by;     // asked for
    QSize result; // what the window grew by: it does not get smaller than it opened
};

using EditorLayout = rows::Fixture<DeviceEditor, Resize>;

TEST_P(EditorLayout, KeepsTheControlsAtTheEdges)
{
    Open(NumberedDevice(3));
    const QSize opened = dialog->size();
    dialog->resize(opened + GetParam().by);
    Settle();
    EXPECT_EQ(dialog->size(), opened + GetParam().result);
    // The window rectangle in the client area's coordinates.
    const QRect outer = dialog->frameGeometry();
    const QPoint client = dialog->GetClientArea()->mapTo(dialog.get(), QPoint(0, 0));
    const int left = outer.left() - dialog->geometry().left() - client.x();
    const int top = outer.top() - dialog->geometry().top() - client.y();
    const int right = left + outer.width();
    const int bottom = top + outer.height();
    const auto rightOf = [](const QWidget* w) { return w->x() + w->width(); };
    const auto bottomOf = [](const QWidget* w) { return w->y() + w->height(); };
    const auto item = [this](int id) { return dialog->GetDlgItem(id); };

    const QWidget* group = item(IDC_DEVICE_PARAMETERS);
    EXPECT_EQ(group->x(), left + 12);
    EXPECT_EQ(bottomOf(group), bottom - 12);
    const QWidget* mnemonic = item(mnemonicId);
    const QWidget* lower = item(lowerId);
    const QWidget* upper = item(upperId);
    EXPECT_EQ(mnemonic->x(), group->x() + 18);
    EXPECT_EQ(lower->x(), rightOf(mnemonic) + 18);
    EXPECT_EQ(upper->x(), rightOf(lower) + 18);
    for (const QWidget* field : {mnemonic, lower, upper, static_cast<const QWidget*>(item(IDC_S21_FOR_S12))})
    {
        EXPECT_EQ(bottomOf(field), bottomOf(group) - 18);
    }
    EXPECT_EQ(item(IDC_S21_FOR_S12)->x(), rightOf(upper) + 18);
    EXPECT_EQ(item(IDC_S11_FOR_S22)->x(), rightOf(upper) + 18);
    EXPECT_EQ(item(IDC_S11_FOR_S22)->y(), item(IDC_S21_FOR_S12)->y() - 18);
    const std::pair<int, const QWidget*> labels[] = {
        {IDC_MNEMONIC_LABEL, mnemonic}, {IDC_LOWER_LIMIT_LABEL, lower}, {IDC_UPPER_LIMIT_LABEL, upper}};
    for (const auto& [id, field] : labels)
    {
        EXPECT_EQ(item(id)->x(), field->x());
        EXPECT_EQ(bottomOf(item(id)), field->y() - 6);
    }
    const QWidget* ok = item(IDOK);
    const QWidget* cancel = item(IDCANCEL);
    EXPECT_EQ(rightOf(ok), right - 18);
    EXPECT_EQ(bottomOf(ok), bottom - 18);
    EXPECT_EQ(rightOf(cancel), right - 18);
    EXPECT_EQ(bottomOf(cancel), ok->y() - 18);
    EXPECT_EQ(grid->x(), left + 18);
    EXPECT_EQ(grid->y(), 12);
    EXPECT_EQ(rightOf(grid), right - 18);
    EXPECT_EQ(bottomOf(grid), group->y() - 12);
    EXPECT_GT(grid->height(), 100);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EditorLayout,
                         testing::Values(Resize{"AsOpened", {0, 0}, {0, 0}}, Resize{"Grown200x150", {200, 150}, {200, 150}},
                                         Resize{"Grown640x20", {640, 20}, {640, 20}},
                                         Resize{"Grown3x500", {3, 500}, {3, 500}},
                                         Resize{"ShrunkKeepsTheOpeningSize", {-300, -200}, {0, 0}},
                                         Resize{"WiderButLower", {100, -50}, {100, 0}}),
                         rows::Name());

} // namespace
