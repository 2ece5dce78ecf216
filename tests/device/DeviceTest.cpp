#include "Device.h"
#include "Bitmaps.h"
#include "CellEdit.h"
#include "Clipboard.h"
#include "Dialog.h"
#include "EditFlexGrid.h"
#include "FileDialogFilter.h"
#include "FileDialogPresenter.h"
#include "GridMessages.h"
#include "GridNumbers.h"
#include "LibraryError.h"
#include "Menu.h"
#include "MessageBeep.h"
#include "MessageBox.h"
#include "MessageBoxPresenter.h"
#include "PlotWindow.h"
#include "Resource.h"
#include "S2PFileFormat.h"
#include "SetnumberDialog.h"
#include "Tamrix.h"
#include "TamrixError.h"

#include "GuiTest.h"
#include "ScopedFileSizeLimit.h"

#include <QAbstractButton>
#include <QAction>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <QLogValueAxis>
#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace
{

using rows::operator<<;

// A table over one of the fixtures below.
template <class Base, class Row>
class Rows : public Base, public testing::WithParamInterface<Row>
{
};

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

CTamrix LoadSample(const char* name)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromFile2(set, (std::string(OSTREL_SOURCE_DIR) + "/samples/" + name).c_str());
    return set;
}

// Device 0 of a user data set; the sensor's own limits and stock number decide the limits an import
// derives. Points 0 and 1 hold values of both notations, the others distinct values of every magnitude.
struct DeviceData
{
    int points = 2;
    const char* mnemonic = "Attenuator";
    float minPower = 1e-9f;
    float maxPower = 0.1f;
    int stockList = -1; // a stock number of that list, or one of none
    bool readOnly = false;
};

CTamrix Filled(const DeviceData& d)
{
    CTamrix set;
    const SParaValue first[2][4] = {{{0.125, -0.25, 0.0625}, {0.5, 0.375, 0.01}, {0.75, -0.875, 0.02}, {-0.0625, 0.1875, 0.03}},
                                    {{1.5e-5, -3, 0.04}, {0.25, 250000, 0.05}, {-1, 0, 0.06}, {0.5, -0.5, 0.07}}};
    set.EnableUtf8Support(true);
    set.SetSParaDeviceNumber(1);
    set.SetSPDMnemonic(0, d.mnemonic);
    set.SetSParaMinPower(0, 1e-9);
    set.SetSParaMaxPower(0, 0.1);
    set.SetMiscNum([&d, misc = set.GetMiscNum()]() mutable { return misc.minPower = d.minPower, misc.maxPower = d.maxPower, misc; }());
    set.SetStockNumber(d.stockList >= 0 ? std::string(GetStockNumberLists()[d.stockList].stockNumbers.back()) : "0000.0000K00");
    set.SetSParaDeviceFlags(0, d.readOnly ? sParaDevice_writeProtected : 0);
    set.SetSParaFreqNumber(0, d.points);
    for (long i = 0; i < d.points; ++i)
    {
        set.SetSParaFreq(0, i, i == 0 ? 1e9 : 2.5e9 * i);
        for (int s = 0; s < 4; ++s)
        {
            const double v = (i + (2 + 3 * s) / 16.0) * std::pow(10.0, i % 13 - 6);
            set.SetSParaValue(0, i, tags[s], i < 2 ? first[i][s] : SParaValue(v, -2 * v, v / 5));
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

// What the user does, step by step.
class DeviceEditor;
using Step = std::function<void(DeviceEditor&)>;

// Hands the grid's messages on to the editor and tells `record` of each.
class Relay : public CDialog
{
public:
    explicit Relay(std::function<void(UINT)> record)
        : CDialog(IDD_DEVICE)
    {
        for (UINT message = WM_GRID_ACTIVATE; message <= WM_GRID_PASTE; ++message)
        {
            MapMessage(message, [record, message](WPARAM, LPARAM) { record(message); });
        }
    }
};

// The device editor opened (shown, not modal) on a data set, every message box and beep
// recorded; Yes/No boxes are answered with `answer`, the others with OK. File dialogs are
// recorded and answered from `answers` (nothing left: Cancel).
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
            grid->m_hNotifyWnd = relay.GetSafeHwnd();
            dialog->show();
            dialog->activateWindow();
            (void)QTest::qWaitForWindowActive(dialog.get());
            Settle();
        }
    }

    void Play(const std::vector<Step>& steps)
    {
        for (const Step& step : steps)
        {
            step(*this);
            Settle();
        }
    }

    QLineEdit* LineEdit(int id) const { return dialog->GetDlgItemAs<QLineEdit>(id); }
    QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }

    // Chooses the menu item with its file dialog answered by `path`; an answer not asked for is dropped.
    void Run(int id, const std::optional<QString>& path, bool send = false)
    {
        answers.push_back(path);
        send ? dialog->SendCommand(id) : dialog->GetMenu().FindMenuItem(static_cast<UINT>(id), MF_BYCOMMAND)->trigger();
        Settle();
        answers.clear();
    }

    QRect Cell(long row, long col) const { return grid->visualRect(grid->model()->index(int(row - 1), int(col - 1))); }

    // A click on a cell, on a data row's header (col 0) or on the first column's header (row 0).
    void Mouse(long row, long col, bool twice, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        grid->scrollTo(grid->model()->index(static_cast<int>(row - 1), static_cast<int>(std::max(col, 1L) - 1)));
        QHeaderView* header = row == 0 ? grid->horizontalHeader() : col == 0 ? grid->verticalHeader() : nullptr;
        QWidget* on = header != nullptr ? header->viewport() : grid->viewport();
        const QPoint at = row == 0 ? QPoint(5, 5) : col == 0 ? QPoint(5, Cell(row, 1).center().y()) : Cell(row, col).center();
        QTest::mouseClick(on, Qt::LeftButton, modifiers, at);
        twice ? QTest::mouseDClick(on, Qt::LeftButton, modifiers, at) : void();
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
    int saveAnswer = IDNO; // Discard
    ScopedMessageBoxPresenter presenter{[this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return request.buttons == MessageBoxButtons::YesNo ? answer : request.buttons == MessageBoxButtons::Ok ? IDOK : saveAnswer;
    }};
    ScopedBeepHook beepHook{[this](UINT type) { beeps += type == MB_DEFAULT_BEEP ? 1 : 100; }};
    QTemporaryDir folder;
    QTemporaryDir exports;
    std::vector<FileDialogRequest> requests;
    std::deque<std::optional<QString>> answers;
    ScopedFileDialogPresenter filePresenter{[this](const FileDialogRequest& request) {
        const std::optional<QString> answer = answers.empty() ? std::nullopt : answers.front();
        return requests.push_back(request), answers.empty() ? void() : answers.pop_front(), answer;
    }};
    std::unique_ptr<CDevice> dialog;
    CEditFlexGrid* grid = nullptr;
    // The grid's messages as letters: Activate, Insert, Delete, Select all, Copy, Paste.
    std::string messages;
    Relay relay{[this](UINT message) {
        messages += "AIDSCP"[message - WM_GRID_ACTIVATE];
        dialog->SendMessage(message, 0, 0);
    }};
    QWidget otherWindow;
};

constexpr int inEditor = -2;    // the grid's cell editor, for keys and the focus
constexpr int away = -3;        // another window, for the focus

// Keys go to the grid (0), to a control of the dialog, to the cell editor or, with -1, to the dialog itself.
Step Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int to = 0)
{
    return [=](DeviceEditor& e) {
        QWidget* target = to == 0 ? e.grid : to == -1 ? e.dialog.get() : to == inEditor ? &e.grid->GetCellEdit()
                                                                                       : e.dialog->GetDlgItem(to);
        QTest::keyClick(target, key, modifiers);
    };
}

Step EditKey(Qt::Key key) { return Key(key, Qt::NoModifier, inEditor); }
Step Click(long row, long col) { return [=](DeviceEditor& e) { e.Mouse(row, col, false); }; }
Step Double(long row, long col) { return [=](DeviceEditor& e) { e.Mouse(row, col, true); }; }
Step Call(std::function<void(CEditFlexGrid&)> call) { return [=](DeviceEditor& e) { call(*e.grid); }; }

// Row, Col, RowSel and ColSel.
using Selection = std::array<long, 4>;

// Row, Col, RowSel and ColSel set through the grid's members.
Step Place(const Selection& s)
{
    return Call([=](CEditFlexGrid& g) { g.SetRow(s[0]), g.SetCol(s[1]), g.SetRowSel(s[2]), g.SetColSel(s[3]); });
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
            Settle();
            if (e.grid->IsEditing())
            {
                QTest::keyClick(&e.grid->GetCellEdit(), Qt::Key_Escape);
            }
        }
    };
}

// Types the text key by key, each key to the widget that has the focus then.
Step Typed(const char* text)
{
    return [=](DeviceEditor&) {
        for (const QChar c : QString::fromUtf8(text))
        {
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
        }
    };
}

// The table scrolled to its right end, then a double click where the user sees a row's frequency: at the
// table's left edge, beside the point numbers, on whatever widget shows there. The table stays where it was,
// and the editor opens on top there.
Step DoubleOnFrequencySideways(long row)
{
    return [=](DeviceEditor& e) {
        e.Mouse(row, 13, false);
        const int sideways = e.grid->horizontalScrollBar()->value();
        EXPECT_GT(sideways, e.grid->columnWidth(0)) << "scrolled past the frequency";
        const QPoint inGrid = e.grid->viewport()->mapTo(e.grid, QPoint(e.grid->columnWidth(0) / 2, e.Cell(row, 1).center().y()));
        QWidget* on = e.grid->childAt(inGrid);
        QTest::mouseClick(on, Qt::LeftButton, {}, on->mapFrom(e.grid, inGrid));
        QTest::mouseDClick(on, Qt::LeftButton, {}, on->mapFrom(e.grid, inGrid));
        Settle();
        EXPECT_EQ(e.grid->horizontalScrollBar()->value(), sideways);
        EXPECT_EQ(e.grid->childAt(inGrid), &e.grid->GetCellEdit());
    };
}

// The cell editor's tool tip, shown at the cell.
Step Why(const char* text)
{
    return [=](DeviceEditor& e) {
        EXPECT_EQ(e.grid->GetCellEdit().toolTip(), QString::fromUtf8(text));
        EXPECT_EQ(QToolTip::text(), QString::fromUtf8(text));
    };
}

// Clicks into the field, clears it and types the text.
Step Type(int id, const char* text)
{
    return [=](DeviceEditor& e) {
        QLineEdit* field = e.LineEdit(id);
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QString::fromUtf8(text));
    };
}

// A text that no check saw, as a field can hold one only while another field is checked.
Step SetText(int id, const char* text) { return [=](DeviceEditor& e) { e.LineEdit(id)->setText(text); }; }

Step Press(int id)
{
    return [=](DeviceEditor& e) { QTest::mouseClick(e.dialog->GetDlgItemAs<QAbstractButton>(id), Qt::LeftButton); };
}

const Step Ok = Press(IDOK);

Step Command(int id) { return [=](DeviceEditor& e) { e.dialog->SendCommand(id); }; }
Step Answer(int button) { return [=](DeviceEditor& e) { e.answer = button; }; }
// How the question before changes are lost is answered: IDYES Save, IDNO Discard, IDCANCEL Cancel.
Step SaveAnswer(int button) { return [=](DeviceEditor& e) { e.saveAnswer = button; }; }
const Step closeBox = [](DeviceEditor& e) { e.dialog->close(); };
Step Clip(const char* text) { return [=](DeviceEditor&) { SetClipboardText8(text); }; }

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

// The focus goes to the mnemonic field (0), the grid (1) or another window (2).
Step FocusTo(int where)
{
    return [=](DeviceEditor& e) {
        QWidget* to[] = {e.LineEdit(IDC_MNEMONIC), e.grid, &e.otherWindow};
        to[where]->show();
        to[where]->activateWindow();
        to[where]->setFocus(Qt::MouseFocusReason);
        (void)QTest::qWaitForWindowActive(to[where]);
    };
}

// Two and a half rows in view, so that row 3 lies partly below it.
const Step Shrink = Call([](CEditFlexGrid& g) {
    g.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g.resize(g.width(), g.height() - g.viewport()->height() + g.rowHeight(0) * 5 / 2);
});

// The cells with a picture, header row included: "row,col" and t(icked), e(mpty), s(et), c(lear) or g(rey).
Step Pictures(const char* expected)
{
    return [=](DeviceEditor& e) {
        const std::pair<int, char> pictures[] = {{IDB_CHECK_TICKED, 't'}, {IDB_CHECK_EMPTY, 'e'}, {IDB_RADIO_SET, 's'},
                                                 {IDB_RADIO_CLEAR, 'c'}, {IDB_GREY_BOX, 'g'}};
        std::string shown;
        for (long cell = 0; cell < e.grid->GetRows() * e.grid->GetCols(); ++cell)
        {
            const long row = cell / e.grid->GetCols(), col = cell % e.grid->GetCols();
            const QImage image = e.grid->GetCellPictureAt(row, col).toImage();
            for (const auto& [id, name] : pictures)
            {
                const bool same = !image.isNull() && image == LoadBitmapImage(id).convertToFormat(image.format());
                shown += same ? std::to_string(row) + "," + std::to_string(col) + name + " " : "";
            }
        }
        EXPECT_EQ(shown, expected);
    };
}

// A block of cells that differs from the layout (one cell without `toRow` and `toCol`): the text
// the grid shows (nullptr: the layout's) and the value OK stores.
struct Cells
{
    long row, col;
    const char* shown;
    double stored;
    long toRow = 0, toCol = 0;
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

Box Invalid(const char* text) { return {QStringLiteral("Invalid floating point value: ") + text}; }
Box Refused(std::int32_t code) { return {FormatLibraryError(TvxKyyCalcDLLError(code))}; }
Box RefusedAt(std::int32_t code, const char* place) { return {FormatLibraryError(TvxKyyCalcDLLError(code, place))}; }

const Box saveChanges{"This device has been changed.\r\nDo you want to save the changes?", MessageBoxIcon::Exclamation,
                      MessageBoxButtons::SaveDiscardCancel, IDYES};
const Box proceed{"Upper power limit should be higher than lower power limit. Proceed?", MessageBoxIcon::Exclamation,
                  MessageBoxButtons::YesNo, IDNO};

// The cell editor open on a cell with a text (row 0: closed).
struct Editor
{
    long row = 0;
    long col = 0;
    const char* text = "";
};

struct Session
{
    const char* scenario;
    int points;
    std::vector<Step> steps{};
    // The grid's rows afterwards: an old point's number, -n for n new points.
    std::vector<long> layout{};
    int closed = 0; // IDOK (stored), IDCANCEL, 0: still open
    std::vector<Cells> cells{};
    std::vector<Box> boxes{};
    int beeps = 0;
    std::vector<Field> fields{};
    int focus = 0;                   // the control with the focus afterwards (0: not looked at), inEditor or away
    const char* clipboard = nullptr; // afterwards (nullptr: not looked at)
    bool readOnly = false;
    Selection selection{};           // afterwards ({}: not looked at)
    const char* messages = nullptr;  // the grid's (nullptr: not looked at)
    Editor editor{};
    const char* sample = nullptr; // opened on this device of a sample instead, every row as it is
    long device = 0;
    const char* caption = nullptr; // nullptr: not looked at
};

// The editor opened on a sample's device (no caption: the data set has no such device).
Session Sample(const char* scenario, const char* sample, long device, const char* caption, std::vector<Field> fields,
               bool readOnly = false)
{
    const std::vector<Box> refused(caption == nullptr ? 1 : 0, Refused(TamrixErrorCode::InvalidTableAccess));
    Session s{scenario, 0, {}, {}, caption == nullptr ? IDCANCEL : 0, {}, refused, 0, std::move(fields), 0, nullptr, readOnly};
    s.sample = sample, s.device = device, s.caption = caption;
    return s;
}

// A session on three points that leaves the window open, the focus on the grid unless said.
Session Grid(const char* scenario, std::vector<Step> steps, Selection selection, const char* messages = "",
             Editor editor = {}, std::vector<Cells> cells = {}, int focus = IDC_POINT_GRID, int beeps = 0,
             std::vector<long> layout = {1, 2, 3}, const char* clipboard = nullptr, std::vector<Box> boxes = {})
{
    Session s{scenario, 3, std::move(steps), std::move(layout), 0, std::move(cells), std::move(boxes), beeps, {}, focus, clipboard};
    s.selection = selection, s.messages = messages, s.editor = editor;
    return s;
}

using EditorSession = Rows<DeviceEditor, Session>;

TEST_P(EditorSession, ShowsAndStoresWhatTheUserDid)
{
    const Session& c = GetParam();
    CTamrix data = Filled({c.points});
    data.SetSParaDeviceNumber(2); // a second device that must stay as it was
    Open(c.sample != nullptr ? LoadSample(c.sample) : data, c.device, c.readOnly);
    std::vector<long> layout = c.layout;
    std::vector<std::vector<QString>> opening;
    for (long row = 0; row < grid->GetRows(); ++row)
    {
        opening.push_back(Row(row));
        c.sample != nullptr && row > 0 ? layout.push_back(row) : void();
        // The exports show that each cell holds its own part of a triple.
        EXPECT_TRUE(row == 0 || CellToDouble(*grid, row, 1, -1) == set.GetSParaFreq(c.device, row - 1)) << row;
    }
    EXPECT_EQ(grid->GetCols(), 14);
    EXPECT_TRUE((c.sample != nullptr && c.caption == nullptr) || grid->GetRows() == set.GetSParaFreqNumber(c.device) + 1);
    EXPECT_FALSE(dialog->IsDlgButtonChecked(IDC_S11_FOR_S22) || dialog->IsDlgButtonChecked(IDC_S21_FOR_S12));
    EXPECT_TRUE(c.caption == nullptr || dialog->windowTitle() == c.caption) << dialog->windowTitle().toStdString();
    Play(c.steps);

    // Row by row, what the grid shows and what OK stores.
    const std::vector<QString> newPoint{"", "0", "0", "0", "0", "1", "0", "0", "1", "0", "0", "0", "0", "0"};
    std::vector<std::vector<QString>> shown;
    std::vector<std::array<double, 14>> stored;
    for (const long entry : layout)
    {
        for (long n = std::max(1L, -entry); n > 0; --n)
        {
            shown.push_back(entry > 0 ? opening[entry] : newPoint);
            shown.back()[0] = QString::number(shown.size());
            stored.emplace_back();
            for (long col = 1; col < 14; ++col)
            {
                stored.back()[col] = entry > 0 ? Stored(before, entry - 1, col) : newPoint[col].toDouble();
            }
        }
    }
    for (const Cells& block : c.cells)
    {
        for (long row = block.row; row <= std::max(block.row, block.toRow); ++row)
        {
            for (long col = block.col; col <= std::max(block.col, block.toCol); ++col)
            {
                shown[row - 1][col] = block.shown != nullptr ? block.shown : shown[row - 1][col];
                stored[row - 1][col] = block.stored;
            }
        }
    }
    ASSERT_EQ(grid->GetRows(), static_cast<long>(shown.size()) + 1);
    for (long row = 1; row < grid->GetRows(); ++row)
    {
        EXPECT_EQ(Row(row), shown[row - 1]) << "row " << row;
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
    QWidget* const focus = c.focus == inEditor ? &grid->GetCellEdit() : c.focus == away ? &otherWindow : dialog->GetDlgItem(c.focus);
    EXPECT_TRUE(c.focus == 0 || QApplication::focusWidget() == focus) << QApplication::focusWidget();
    const Selection& e = c.selection;
    if (e != Selection{})
    {
        EXPECT_EQ((Selection{grid->GetRow(), grid->GetCol(), grid->GetRowSel(), grid->GetColSel()}), e);
        const long block = (std::abs(e[0] - e[2]) + 1) * (std::abs(e[1] - e[3]) + 1);
        EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), grid->GetRows() > 1 ? block : 0) << "cells shown selected";
    }
    EXPECT_TRUE(c.messages == nullptr || messages == c.messages) << messages;
    const CCellEdit& edit = grid->GetCellEdit();
    EXPECT_EQ(grid->IsEditing(), c.editor.row != 0);
    if (grid->IsEditing() && c.editor.row != 0)
    {
        EXPECT_EQ(std::make_tuple(edit.GetRow(), edit.GetCol(), edit.text()),
                  std::make_tuple(c.editor.row, c.editor.col, QString::fromUtf8(c.editor.text)));
        EXPECT_EQ(edit.geometry(), Cell(c.editor.row, c.editor.col));
        EXPECT_TRUE(grid->viewport()->rect().contains(edit.geometry())) << "the edited cell is in view";
    }
    EXPECT_TRUE(c.clipboard == nullptr || GetClipboardText8() == c.clipboard) << GetClipboardText8();
    EXPECT_EQ(dialog->isVisible(), c.closed == 0);
    EXPECT_EQ(dialog->result(), c.closed);
    for (const int id : {IDC_MNEMONIC, IDC_LOWER_LIMIT, IDC_UPPER_LIMIT, IDC_S11_FOR_S22, IDC_S21_FOR_S12, IDOK, IDCANCEL})
    {
        EXPECT_EQ(dialog->GetDlgItem(id)->isEnabled(), !c.readOnly || id == IDCANCEL) << id;
    }
    const CMenu menu = dialog->GetMenu();
    for (const int id : {ID_IMPORT_S2P, ID_IMPORT_UNCERTAINTY, ID_EDIT_PASTE, ID_EXPORT_S2P, ID_EXPORT_UNCERTAINTY, ID_EDIT_COPY})
    {
        const bool changes = id == ID_IMPORT_S2P || id == ID_IMPORT_UNCERTAINTY || id == ID_EDIT_PASTE;
        EXPECT_EQ((menu.GetMenuState(static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) != 0, c.readOnly && changes);
    }
    for (const UINT position : {0u, 1u, 2u}) // the point commands (2) as a whole
    {
        EXPECT_EQ((menu.GetMenuState(position, MF_BYPOSITION) & MF_GRAYED) != 0, c.readOnly && position == 2);
    }

    // Only OK stores, and only into device 0 (the main window's tests save it to disk and read it back).
    EXPECT_TRUE(Same(set.Content().devices[1], before.Content().devices[1]));
    if (c.closed != IDOK)
    {
        EXPECT_TRUE(Same(set.Content().devices[0], before.Content().devices[0]));
        return;
    }
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
    EXPECT_EQ(std::make_tuple(set.GetSPDMnemonic(0), set.GetSParaMinPower(0), set.GetSParaMaxPower(0)),
              std::make_tuple(mnemonic, limits[0], limits[1]));
    ASSERT_EQ(set.GetSParaFreqNumber(0), static_cast<long>(stored.size()));
    for (long point = 0; point < static_cast<long>(stored.size()); ++point)
    {
        for (long col = 1; col < 14; ++col)
        {
            EXPECT_EQ(Stored(set, point, col), stored[point][col]) << "point " << point << ", column " << col;
        }
    }
}

double Single(float value) { return value; }

// The data set opened again with every value but 0 one step above itself: still the same texts, but
// none of them gives its value back.
const Step unrounded = [](DeviceEditor& e) {
    CTamrix set = e.set;
    const auto up = [](double v) { return v == 0 ? v : double(std::nextafter(float(v), INFINITY)); };
    for (long point = 0; point < set.GetSParaFreqNumber(0); ++point)
    {
        set.SetSParaFreq(0, point, std::nextafter(set.GetSParaFreq(0, point), INFINITY));
        for (const SParaType<1>* tag : tags)
        {
            const SParaValue v = set.GetSParaValue(0, point, tag);
            set.SetSParaValue(0, point, tag, {up(std::get<0>(v)), up(std::get<1>(v)), up(std::get<2>(v))});
        }
    }
    e.Open(set);
};
const std::string tooManyPoints = [] {
    std::string lines;
    for (int i = 0; i <= maxSParaFreqNumber; ++i)
    {
        lines += "1\n";
    }
    return lines;
}();

constexpr int mnemonicId = IDC_MNEMONIC;
constexpr int lowerId = IDC_LOWER_LIMIT;
constexpr int upperId = IDC_UPPER_LIMIT;
const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;

const Step pictures = Call([](CEditFlexGrid& g) {
    g.SetCheckCell(1, 2, true);
    g.SetCheckCell(2, 2, false);
    g.SetGreyCell(3, 2);
    g.SetRadioColumn(2, 3);
    g.SetRadioCell(0, 3, true);
});
const std::string widerItem = "z\t\t9" + std::string(12, '\t') + "extra"; // one field more than the columns

// The window's size changed by `by`: it grew by `result` (none: down to its smallest, the template's), and
// the controls keep to the edges.
Step Resized(QSize by, std::optional<QSize> result)
{
    return [=](DeviceEditor& e) {
        const QSize was = e.dialog->size();
        e.dialog->resize(was + by);
        Settle();
        EXPECT_EQ(e.dialog->size(), result ? was + *result : e.dialog->minimumSize());
        // The window rectangle in the client area's coordinates.
        const QPoint client = e.dialog->geometry().topLeft() + e.dialog->GetClientArea()->mapTo(e.dialog.get(), QPoint(0, 0));
        const QRect outer = e.dialog->frameGeometry().translated(-client);
        const int left = outer.left(), right = left + outer.width(), bottom = outer.top() + outer.height();
        const auto box = [&e](int id) { return e.dialog->GetDlgItem(id)->geometry(); };
        const auto rightOf = [&box](int id) { return box(id).x() + box(id).width(); };
        const auto bottomOf = [&box](int id) { return box(id).y() + box(id).height(); };
        const int group = IDC_DEVICE_PARAMETERS;
        const int s21 = IDC_S21_FOR_S12;
        // An edge and where it belongs: 12 from the window or the group, 18 between controls, 6 below a label.
        const std::pair<int, int> edges[] = {
            {box(group).x(), left + 12}, {bottomOf(group), bottom - 12}, {box(mnemonicId).x(), box(group).x() + 18},
            {box(lowerId).x(), rightOf(mnemonicId) + 18}, {box(upperId).x(), rightOf(lowerId) + 18},
            {bottomOf(mnemonicId), bottomOf(group) - 18}, {bottomOf(lowerId), bottomOf(group) - 18},
            {bottomOf(upperId), bottomOf(group) - 18}, {bottomOf(s21), bottomOf(group) - 18},
            {box(s21).x(), rightOf(upperId) + 18}, {box(IDC_S11_FOR_S22).x(), rightOf(upperId) + 18},
            {box(IDC_S11_FOR_S22).y(), box(s21).y() - 18},
            {box(IDC_MNEMONIC_LABEL).x(), box(mnemonicId).x()}, {bottomOf(IDC_MNEMONIC_LABEL), box(mnemonicId).y() - 6},
            {box(IDC_LOWER_LIMIT_LABEL).x(), box(lowerId).x()}, {bottomOf(IDC_LOWER_LIMIT_LABEL), box(lowerId).y() - 6},
            {box(IDC_UPPER_LIMIT_LABEL).x(), box(upperId).x()}, {bottomOf(IDC_UPPER_LIMIT_LABEL), box(upperId).y() - 6},
            {rightOf(IDOK), right - 18}, {bottomOf(IDOK), bottom - 18}, {rightOf(IDCANCEL), right - 18},
            {bottomOf(IDCANCEL), box(IDOK).y() - 18}, {e.grid->x(), left + 18}, {e.grid->y(), 12},
            {rightOf(IDC_POINT_GRID), right - 18}, {bottomOf(IDC_POINT_GRID), box(group).y() - 12}};
        for (std::size_t i = 0; i < std::size(edges); ++i)
        {
            EXPECT_EQ(edges[i].first, edges[i].second) << "edge " << i;
        }
        EXPECT_GT(e.grid->height(), 100);
    };
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, EditorSession,
    testing::Values(
        // The cells, the fields and OK. Each part of a triple, each triple, the frequency, the mnemonic and the
        // limits go to their own place.
        Session{"CellsOfEveryKindTheMnemonicAndLimits", 4,
                {Edit(1, 1, "1500"), Edit(1, 3, "-0.125"), Edit(3, 5, "0.00001234"), Edit(4, 10, " 0.03125 "),
                 Edit(2, 13, "0.5"), Type(mnemonicId, "Pad \xC2\xB5W"), Type(lowerId, "0.001"), Type(upperId, "0.5"), Ok},
                {1, 2, 3, 4}, IDOK,
                {{1, 1, "1.5e3", 1500}, {1, 3, "-0.125", -0.125}, {3, 5, "1.234e-5", Single(1.234e-5f)},
                 {4, 10, "0.03125", 0.03125}, {2, 13, "0.5", 0.5}}, {}, 0, {{mnemonicId, "Pad \xC2\xB5W", 0},
                 {lowerId, "1e-3", Single(0.001f)}, {upperId, "500e-3", Single(0.5f)}}},
        // OK refuses and leaves the window open, so that Cancel can still close it.
        // A value the data set would refuse now or at Save is shown at its cell, and OK stores nothing
        // until it is mended; the window stays open for Cancel.
        Session{"RefusedAtTheCellUntilMended", 3, {Type(mnemonicId, "Changed"), Edit(2, 1, "inf"), Ok,
                Edit(2, 1, "3e9"), Edit(2, 5, "1e39"), Ok, Edit(2, 5, "0.5"), Edit(3, 1, "2e9"), Ok, Press(IDCANCEL)},
                {1, 2, 3}, IDCANCEL, {{2, 1, "3e9", 0}, {2, 5, "0.5", 0}, {3, 1, "2e9", 0}},
                {RefusedAt(TamrixErrorCode::WrongArgument, "Row 2, Freq./Hz"),
                 RefusedAt(TamrixErrorCode::SinglePrecisionOverflow, "Row 2, S21-Re"),
                 RefusedAt(TamrixErrorCode::FrequenciesNotAscending, "Row 3, Freq./Hz"), saveChanges}, 0, {}, 0, nullptr, false, {3, 1, 3, 1}},
        // A paste that would hold more points than a device changes nothing.
        Session{"MorePointsThanADeviceHolds", 1, {Clip(tooManyPoints.c_str()), Click(1, 1), Key(Qt::Key_V, ctrl)}, {1}, 0,
                {}, {RefusedAt(TamrixErrorCode::WrongArgument, "Row 100000")}, 0, {}, IDC_POINT_GRID,
                nullptr, false, {1, 1, 1, 1}},
        // Cells that still show their loaded text store the loaded value, not the text's rounded one, also
        // after rows before them went away.
        Session{"UnchangedCellsStoreTheirValueBitForBit", 4, {unrounded, Click(2, 0), Key(Qt::Key_Delete), Edit(1, 3, "0.5"), Ok},
                {1, 3, 4}, IDOK, {{1, 3, "0.5", 0.5}}},
        // The limits. The refused OK leaves the window open for the next one.
        Session{"NegativeUpperAnsweredYesRefusedThenEqualAnsweredYes", 2, {Type(lowerId, "0.1"), Type(upperId, "-1"), Ok,
                Type(upperId, "0.1"), Edit(1, 2, "0.75"), Ok}, {1, 2}, IDOK, {{1, 2, "0.75", 0.75}},
                {proceed, Refused(TamrixErrorCode::WrongArgument), proceed}, 0,
                {{lowerId, "100e-3", Single(0.1f)}, {upperId, "100e-3", Single(0.1f)}}},
        Session{"LowerAboveUpperAnsweredNo", 2, {Answer(IDNO), Type(lowerId, "0.2"), Type(upperId, "0.1"),
                Edit(1, 2, "0.75"), Ok}, {1, 2}, 0, {{1, 2, "0.75", 0}}, {proceed}},
        Session{"NumbersOnTab", 1, {Type(lowerId, "0.001"), Key(Qt::Key_Tab, {}, lowerId), Type(upperId, " 0.5 "),
                Key(Qt::Key_Tab, {}, upperId)}, {1}, 0, {}, {}, 0, {{lowerId, "1e-3"}, {upperId, "500e-3"}},
                IDC_S11_FOR_S22},
        Session{"TrimmedWordOnTab", 1, {Type(upperId, " high "), Key(Qt::Key_Tab, {}, upperId)}, {1}, 0, {},
                {Invalid("high")}, 1, {{upperId, "high"}}, upperId},
        Session{"EnterInLowerThenInUpperThatIsNoNumber", 2, {Type(mnemonicId, "Changed"), Type(lowerId, "1mm"),
                Key(Qt::Key_Return, {}, lowerId), Type(lowerId, "0.001"), Type(upperId, "2 mW"),
                Key(Qt::Key_Return, {}, upperId)}, {1, 2}, 0, {}, {Invalid("1mm"), Invalid("2 mW")}, 2, {}, upperId},
        // A unit other than Hz on Tab; the other refused field gives no second message.
        Session{"OtherRefusedFieldGivesOneMessage", 1, {SetText(upperId, "x"), Type(lowerId, "1mW"),
                Key(Qt::Key_Tab, {}, lowerId)}, {1}, 0, {}, {Invalid("1mW")}, 1, {{upperId, "x"}, {lowerId, "1mW"}}, lowerId},
        Session{"EscapeInAFieldThatIsNoNumber", 2, {Edit(1, 2, "0.75"), Type(lowerId, "1mm"),
                Key(Qt::Key_Escape, {}, lowerId)}, {1, 2}, IDCANCEL, {{1, 2, "0.75", 0}}, {saveChanges}},
        // Closing asks only when something would be lost, and each answer does what it says.
        Session{"CancelWithoutAChangeClosesAtOnce", 2, {Edit(1, 2, "0.125"), Press(IDCANCEL)}, {1, 2}, IDCANCEL},
        Session{"OkWithoutAChangeClosesAsCancel", 2, {Edit(1, 2, "0.125"), Type(mnemonicId, "Attenuator"), Ok}, {1, 2}, IDCANCEL},
        Session{"ChangedThenCancelledStaysOpen", 2, {Edit(1, 2, "0.75"), SaveAnswer(IDCANCEL), closeBox}, {1, 2}, 0,
                {{1, 2, "0.75", 0}}, {saveChanges}},
        Session{"ChangedThenSavedByEscape", 2, {Type(mnemonicId, "Pad"), SaveAnswer(IDYES), Key(Qt::Key_Escape, {}, mnemonicId)},
                {1, 2}, IDOK, {}, {saveChanges}, 0, {{mnemonicId, "Pad"}}},
        Session{"UndoneChangesCloseWithoutAQuestion", 2, {Edit(1, 2, "0.75"), Type(mnemonicId, "Pad"), Click(1, 1),
                Key(Qt::Key_Z, ctrl), Key(Qt::Key_Z, ctrl), Press(IDCANCEL)}, {1, 2}, IDCANCEL, {}, {}, 0, {{mnemonicId, "Attenuator"}}},
        Session{"AnOpenEditIsAChange", 2, {Edit(1, 2, "0.75", false), Press(IDCANCEL)}, {1, 2}, IDCANCEL, {{1, 2, "0.75", 0}}, {saveChanges}},
        // Typed on selected cells, with SI prefixes and Hz, into the grid and the limits: each number is the double
        // nearest to the decimal typed (2.047 * 1e9 is not).
        Session{"TypedWithPrefixesStoresTheNumbersMeant", 3, {Click(2, 1), Typed("2.047 GHz"), EditKey(Qt::Key_Return),
                EditKey(Qt::Key_Escape), Click(1, 3), Typed("-9.81m"), EditKey(Qt::Key_Return), EditKey(Qt::Key_Escape),
                Type(lowerId, "100n"), Type(upperId, "0.5"), Ok}, {1, 2, 3}, IDOK,
                {{2, 1, "2.047e9", 2.047e9}, {1, 3, "-0.00981", Single(-9.81e-3f)}}, {}, 0,
                {{lowerId, "100e-9", Single(1e-7f)}, {upperId, "500e-3", Single(0.5f)}}},
        Session{"PastedWithPrefixesStoresTheNumbersMeant", 3, {Clip("2.047 GHz\t9.81m\t2\xB5\t1.1\xC2\xB5\r\n"), Click(2, 1),
                Key(Qt::Key_V, ctrl), Ok}, {1, 2, 3}, IDOK, {{2, 1, "2.047e9", 2.047e9}, {2, 2, "0.00981", Single(9.81e-3f)},
                {2, 3, "2e-6", Single(2e-6f)}, {2, 4, "1.1e-6", Single(1.1e-6f)}}},
        // The frequency column stays in view while the table scrolls sideways, and is edited where it is seen.
        Session{"FrequencyEditedWhereSeenWhileScrolledSideways", 3, {DoubleOnFrequencySideways(2), Typed("2.047G"),
                EditKey(Qt::Key_Return), EditKey(Qt::Key_Escape), Ok}, {1, 2, 3}, IDOK, {{2, 1, "2.047e9", 2.047e9}}},
        // Every digit typed is stored; the cell shows six and its editor all of them again.
        Session{"TypedDigitsAreKept", 2, {Edit(1, 1, "50.1234567e6"), Edit(2, 3, "-0.123456789"), Double(2, 3)}, {1, 2}, 0,
                {{1, 1, "50.1235e6", 0}, {2, 3, "-0.123457", 0}}, {}, 0, {}, inEditor, nullptr, false, {}, nullptr,
                {2, 3, "-0.123456789"}},
        Session{"TypedDigitsAreStored", 2, {Edit(1, 1, "50.1234567e6"), Double(2, 3), EditKey(Qt::Key_Return), EditKey(Qt::Key_Escape), Ok},
                {1, 2}, IDOK, {{1, 1, "50.1235e6", 50.1234567e6}}},
        Session{"NegativeUncertaintyRefusedAtItsCell", 2, {Edit(2, 4, "-0.01"), Ok}, {1, 2}, 0, {{2, 4, "-0.01", 0}},
                {RefusedAt(TamrixErrorCode::WrongArgument, "Row 2, S11-Unc")}, 0, {}, IDC_POINT_GRID, nullptr, false, {2, 4, 2, 4}},
        // The mirror boxes.
        Session{"S11ForS22AndS21ForS12", 2,
                {Press(IDC_S11_FOR_S22), Edit(2, 12, "9"), Press(IDC_S21_FOR_S12), Edit(1, 9, "9"), Ok}, {1, 2}, IDOK,
                {{1, 11, nullptr, 0.125}, {1, 12, nullptr, -0.25}, {1, 13, nullptr, 0.0625},
                 {2, 11, nullptr, Single(1.5e-5f)}, {2, 12, nullptr, -3}, {2, 13, nullptr, Single(0.04f)},
                 {1, 8, nullptr, 0.5}, {1, 9, nullptr, 0.375}, {1, 10, nullptr, Single(0.01f)}, {2, 8, nullptr, 0.25},
                 {2, 9, nullptr, 250000}, {2, 10, nullptr, Single(0.05f)}}, {}, 0, {}, 0, nullptr, false, {}, "ASAASA"},
        Session{"UncheckedAgain", 2, {Press(IDC_S11_FOR_S22), Press(IDC_S11_FOR_S22), Edit(1, 12, "0.375"), Ok}, {1, 2},
                IDOK, {{1, 12, "0.375", 0.375}}},
        // The point commands.
        // New points at 0 Hz before others are out of order.
        Session{"InsertKeyBeforeRows2To4", 5, {Select(2, 3, 4, 3), Key(Qt::Key_Insert), Ok}, {1, -3, 2, 3, 4, 5}, 0, {},
                {RefusedAt(TamrixErrorCode::FrequenciesNotAscending, "Row 2, Freq./Hz")}},
        Session{"WithoutRowsDeleteDoesNothingEmptyPasteAndInsertAppendOneEach", 0,
                {Key(Qt::Key_Delete), Clip(""), Key(Qt::Key_V, ctrl), Key(Qt::Key_Insert), Ok}, {-2}, IDOK},
        Session{"InsertCommandBeforeLastRowThenAppend", 3,
                {Click(3, 1), Command(ID_POINTS_INSERT), Command(ID_POINTS_APPEND), Edit(3, 1, "3e9"), Edit(5, 1, "6e9"), Ok},
                {1, 2, -1, 3, -1}, IDOK, {{3, 1, "3e9", 3e9}, {5, 1, "6e9", 6e9}}},
        // The last rows, rows within and one cell's row.
        Session{"DeleteKeyOnWholeRowsThenCommandOnOneCell", 10, {Select(8, 13, 10, 1), Key(Qt::Key_Delete),
                Select(3, 1, 5, 13), Key(Qt::Key_Delete), Click(2, 4), Command(ID_POINTS_DELETE), Ok}, {1, 6, 7}, IDOK},
        Session{"SelectAllThenDeleteCommandOnEveryRow", 2, {Click(2, 4), Key(Qt::Key_A, ctrl), Command(ID_POINTS_DELETE), Ok}, {},
                IDOK},
        Session{"DeleteKeyOnABlockWritesZeros", 5, {Select(2, 4, 4, 9), Key(Qt::Key_Delete), Ok}, {1, 2, 3, 4, 5}, IDOK,
                {{2, 4, "0", 0, 4, 9}}},
        Session{"PasteTwoLinesIntoNoPoints", 0, {Clip("1000000000\t0.5\r\n2e9\t\t-0.25\r\n"), Key(Qt::Key_V, ctrl), Ok},
                {-2}, IDOK, {{1, 1, "1e9", 1e9}, {1, 2, "0.5", 0.5}, {2, 1, "2e9", 2e9}, {2, 3, "-0.25", -0.25}}},
        // Each dialog shows the number the one before it left.
        Session{"SetNumberUnchangedLettersSixDigitsEmpty", 4, {SetNumber(nullptr, true), SetNumber("x3", true),
                SetNumber("000012", true), SetNumber("", true), Ok}, {}, IDOK},
        Session{"SetNumberMostPoints", 1, {SetNumber("99999", true), Ok}, {-99999}, IDOK},
        Session{"SetNumberCancelledThenResetsEveryPoint", 3, {SetNumber("7", false), SetNumber(nullptr, true), Ok},
                {-3}, IDOK},
        // A command commits the cell being edited first, and does not run while its text is no number.
        // Append, insert before row 1, delete the edited row, paste over the edit, OK.
        Session{"CommittedByEachPointCommandAndOk", 3, {Edit(2, 3, "0.75", false), Command(ID_POINTS_APPEND),
                Edit(1, 3, "0.5", false), Command(ID_POINTS_INSERT), Edit(4, 3, "0.25", false), Command(ID_POINTS_DELETE),
                Clip("0.125"), Edit(3, 3, "2", false), Command(ID_EDIT_PASTE), Edit(4, 1, "5e9"), Edit(1, 1, "0.0025", false),
                Command(IDOK)}, {-1, 1, 2, -1}, IDOK, {{1, 1, "2.5e-3", 0.0025}, {2, 3, "0.5", 0.5}, {3, 3, "0.125", 0.125},
                {4, 1, "5e9", 5e9}}, {}, 0, {}, 0,
                nullptr, false, {1, 1, 1, 1}},
        Session{"CommittedBySetNumber", 3, {Edit(2, 3, "0.75", false), SetNumber("1", true), Ok}, {-1}, IDOK},
        Session{"NoNumberStopsEveryCommand", 3, {Clip("0.5"), Edit(2, 3, "1e9x", false), Command(ID_POINTS_APPEND),
                Command(ID_POINTS_INSERT), Command(ID_POINTS_DELETE), Command(ID_EDIT_PASTE), SetNumber("1", true),
                Command(IDOK)}, {1, 2, 3}, 0, {}, {}, 6, {}, inEditor, nullptr, false, {}, nullptr, {2, 3, "1e9x"}},
        // A write-protected device is only viewed, selected and copied.
        Session{"RefusesEveryChangeAndCopiesEveryCell", 2, {Click(2, 3), Key(Qt::Key_Insert), Key(Qt::Key_Delete),
                Clip("5\t5\t5\r\n"), Key(Qt::Key_V, ctrl), Edit(2, 3, "7"), Command(ID_POINTS_APPEND),
                Command(ID_POINTS_DELETE), Command(ID_EDIT_PASTE), SetNumber("1", true), Key(Qt::Key_Return, {}, -1),
                Key(Qt::Key_A, ctrl), Key(Qt::Key_C, ctrl)}, {1, 2}, 0, {}, {}, 0, {}, 0,
                "1e9\t0.125\t-0.25\t0.0625\t0.5\t0.375\t0.01\t0.75\t-0.875\t0.02\t-0.0625\t0.1875\t0.03\r\n"
                "2.5e9\t1.5e-5\t-3\t0.04\t0.25\t2.5e5\t0.05\t-1\t0\t0.06\t0.5\t-0.5\t0.07\r\n",
                true},
        // The grid alone: selection, the cell editor, focus, pictures and cell blocks; its messages reach the editor.
        // Selection and structure.
        Grid("RowHeaderClickSelectsTheRowsDataCells", {Click(2, 0)}, {2, 1, 2, 13}),
        Grid("HeaderDoubleClickPostsNothing", {Double(0, 0)}, {1, 1, 3, 1}),
        Grid("PlainKeysTypeAndPostNothingArrowsStayInTheDataCellsTabLeaves",
             {Click(1, 1), Key(Qt::Key_A), EditKey(Qt::Key_C), EditKey(Qt::Key_V), EditKey(Qt::Key_3), EditKey(Qt::Key_Escape),
              Key(Qt::Key_Left), Key(Qt::Key_Up),
              Key(Qt::Key_Down), Key(Qt::Key_Right, Qt::ShiftModifier), Key(Qt::Key_Tab)},
             {2, 2, 2, 1}, "", {}, {}, IDC_MNEMONIC),
        Grid("RemovingRowsClampsRowAndRowSel", {Place({2, 2, 3, 3}), Call([](CEditFlexGrid& g) { g.RemoveRows(2, 2); })},
             {1, 2, 1, 3}, "", {}, {}, IDC_POINT_GRID, 0, {1}),
        Grid("NoDataRowsNoCellSelected", {Call([](CEditFlexGrid& g) { g.RemoveRows(1, 3); }), Place({1, 1, 3, 3})},
             {0, 1, 0, 3}, "", {}, {}, IDC_POINT_GRID, 0, {}),
        Grid("RowsComeAndGoWithTheirTexts",
             {Call([](CEditFlexGrid& g) {
                  g.AddItem(QString::fromStdString(widerItem), 2), g.AddItem("w", -1), g.RemoveItem(1), g.InsertRows(2, 2);
                  g.RemoveRows(4, 2), g.SetTextMatrix(9, 0, "nowhere"), g.SetTextMatrix(2, 2, "S\u2081\u2081 \u00b5W \U0001F4C8");
              })},
             {1, 1, 1, 1}, "", {}, {{1, 1, "", 0, 4, 13}, {1, 2, "9", 0}, {2, 2, "S\u2081\u2081 \u00b5W \U0001F4C8", 0}},
             IDC_POINT_GRID, 0, {-4}),
        Grid("PicturesSitCentredAndMoveWithTheirRows",
             {pictures, Pictures("1,2t 1,3c 2,2e 2,3s 3,2g 3,3c "), Call([](CEditFlexGrid& g) { g.AddItem("x", 1), g.RemoveItem(2); }),
              Pictures("2,2e 2,3s 3,2g 3,3c "), Click(2, 3), Call([](CEditFlexGrid& g) { EXPECT_EQ(g.GetCellPictureAlignment(), 4); })},
             {2, 3, 2, 3}, "", {}, {{1, 1, "", 0, 1, 13}}, IDC_POINT_GRID, 0, {-1, 2, 3}),
        Grid("ColumnWidthsAndTheCellRectangleAreInTwips",
             {Call([](CEditFlexGrid& g) { g.SetColWidth(2, 1440); }), Click(2, 2), Call([](CEditFlexGrid& g) {
                  const long pixel = 1440 / g.logicalDpiX() + 1;
                  EXPECT_NEAR(g.GetColWidth(2), 1440, pixel);
                  EXPECT_NEAR(g.GetCellWidth(), 1440, pixel);
                  EXPECT_GT(g.GetCellLeft(), g.GetColWidth(1));
                  EXPECT_GT(g.GetCellTop(), g.GetCellHeight());
              })},
             {2, 2, 2, 2}),
        // Activation and the cell editor.
        Grid("EnterWritesValuePlainAndScrollsTheNextEditorIntoView", {Shrink, Edit(2, 2, "1500", false), EditKey(Qt::Key_Return)},
             {3, 2, 3, 2}, "AAA", {3, 2, "0.0002125"}, {{2, 2, "1500", 0}}, inEditor),
        Grid("EnterOpensTheEditorAndOnTheLastRowWrapsToTheNextColumn",
             {Click(3, 1), Key(Qt::Key_Return), EditKey(Qt::Key_7), EditKey(Qt::Key_Return)}, {3, 2, 3, 2}, "AAA",
             {3, 2, "0.0002125"}, {{3, 1, "7", 0}}, inEditor),
        Grid("EnterOnTheLastCellStopsAtTheFixedColumn", {Edit(3, 13, "-0.5", false), EditKey(Qt::Key_Return)}, {3, 13, 3, 13},
             "AAA", {}, {{3, 13, "-0.5", 0}}),
        Grid("NotANumberIsSelectedForRetyping",
             {Edit(2, 1, "abc", false), EditKey(Qt::Key_Return), EditKey(Qt::Key_7), EditKey(Qt::Key_Return)}, {3, 1, 3, 1},
             "AAAA", {3, 1, "5e9"}, {{2, 1, "7", 0}}, inEditor, 1),
        // Typing on a selected cell opens its editor with the character in place of the cell's text.
        Grid("TypingOpensTheEditorAfterTheCharacter", {Click(2, 3), Typed("75")}, {2, 3, 2, 3}, "", {2, 3, "75"}, {}, inEditor),
        Grid("RefusedTextSaysWhyAtTheCell", {Click(2, 3), Typed("1.5 x"), EditKey(Qt::Key_Return),
             Why("\"1.5 x\" is not a number. Write it as 1500, 1.5e3, 1.5k or 1.5 kHz (prefixes T, G, M, k, m, u or \u00B5, n, p, f).")},
             {2, 3, 2, 3}, "A", {2, 3, "1.5 x"}, {}, inEditor, 1),
        Grid("EscapeDropsTheEdit", {Edit(2, 1, "5", false), EditKey(Qt::Key_Escape)}, {2, 1, 2, 1}, "A"),
        Grid("CursorKeysStayInTheEditor",
             {Double(1, 5), EditKey(Qt::Key_End), EditKey(Qt::Key_Left), EditKey(Qt::Key_9), EditKey(Qt::Key_Home),
              EditKey(Qt::Key_8), EditKey(Qt::Key_Right), EditKey(Qt::Key_7), EditKey(Qt::Key_End), EditKey(Qt::Key_Up),
              EditKey(Qt::Key_Down), EditKey(Qt::Key_6)},
             {1, 5, 1, 5}, "A", {1, 5, "807.956"}, {}, inEditor),
        Grid("LeavingTheCellCommitsANumber", {Edit(1, 2, "42", false), Click(2, 3)}, {2, 3, 2, 3}, "A", {}, {{1, 2, "42", 0}}),
        Grid("LeavingTheCellKeepsTextInItsEditor",
             {Edit(1, 2, "abc", false), Click(2, 3), EditKey(Qt::Key_9), Call([](CEditFlexGrid& g) { EXPECT_TRUE(g.CommitEdit()); })},
             {2, 3, 2, 3}, "A", {}, {{1, 2, "9", 0}}, IDC_POINT_GRID, 1),
        Grid("ScrollingWritesTheTextUnchecked",
             {Shrink, Edit(1, 2, "abc", false), Call([](CEditFlexGrid& g) { g.verticalScrollBar()->setValue(1); })}, {1, 2, 1, 2},
             "A", {}, {{1, 2, "abc", 0}}),
        Grid("FocusToAnotherControlCommits", {Edit(1, 1, "2500e6", false), FocusTo(0)}, {1, 1, 1, 1}, "AA", {},
             {{1, 1, "2.5e9", 0}}, IDC_MNEMONIC),
        Grid("FocusToAnotherControlKeepsTrimmedText", {Edit(1, 1, " abc ", false), FocusTo(0)}, {1, 1, 1, 1}, "A",
             {1, 1, "abc"}, {}, inEditor, 1),
        Grid("FocusToTheGridLeavesTheEdit", {Edit(1, 1, "3e9", false), FocusTo(1)}, {1, 1, 1, 1}, "A", {1, 1, "3e9"}),
        Grid("FocusToAnotherWindowLeavesTheEdit", {Edit(1, 1, "abc", false), FocusTo(2)}, {1, 1, 1, 1}, "A", {1, 1, "abc"}, {},
             away),
        Grid("ColumnTypesOutOfRangeReported",
             {Call([](CEditFlexGrid& g) { g.SetColumnType(14, Value), g.SetColumnType(2, Frequency); }), Edit(1, 2, "1500", false),
              EditKey(Qt::Key_Return)},
             {2, 2, 2, 2}, "AAA", {2, 2, "1.5e-5"}, {{1, 2, "1.5e3", 0}}, inEditor, 0, {1, 2, 3}, nullptr,
             {{"Error: Column index is not valid"}}),
        // The clipboard.
        Grid("CopyClampsToTheFirstDataCellInLatin1",
             {Call([](CEditFlexGrid& g) { g.SetTextMatrix(1, 1, "\u00b5x"); }), Place({0, 0, 0, 0}), Key(Qt::Key_C, ctrl)},
             {1, 1, 1, 1}, "C", {}, {{1, 1, "\u00b5x", 0}}, IDC_POINT_GRID, 0, {1, 2, 3}, "\xb5x\r\n"),
        Grid("CopyReversedBlockClampedToTheLastCell", {Place({9, 20, 2, 12}), Key(Qt::Key_C, ctrl)}, {3, 13, 2, 12}, "C", {}, {},
             IDC_POINT_GRID, 0, {1, 2, 3}, "-0.5\t0.07\r\n-0.0005375\t5.375e-5\r\n"),
        Grid("PasteWritesNumbersInTheColumnsFormatAppendsRowsAndDropsFields",
             {Click(1, 1), Clip(" 1500 \t\tx\t2 3\t4e\r\nn/a\t0.123456789"), Key(Qt::Key_V, ctrl), Click(2, 12),
              Clip("4\t40\t400\n5\r6\r\n\r\n7\n"), Key(Qt::Key_V, ctrl)},
             {2, 12, 2, 12}, "PP", {}, {{1, 1, "1.5e3", 0}, {2, 2, "0.123457", 0}, {2, 12, "4", 0}, {2, 13, "40", 0},
             {3, 12, "5", 0}, {4, 12, "6", 0}, {5, 12, "7", 0}}, IDC_POINT_GRID, 0, {1, 2, 3, -2}),
        // The window keeps the controls to its edges.
        // It opens wider than its template to show the table's columns, as wide as the screen lets it.
        Grid("OpensAsWideAsTheScreenThenGrownShrunkToTheTemplateThenWiderButLower",
             {[](DeviceEditor& e) {
                  EXPECT_EQ(e.dialog->frameGeometry().width(), e.dialog->screen()->availableGeometry().width());
                  EXPECT_GT(e.dialog->width(), e.dialog->minimumWidth());
              },
              Resized({200, 150}, QSize(200, 150)), Resized({-600, -200}, std::nullopt), Resized({100, -50}, QSize(100, 0))},
             {}),
        // The samples' devices as they open, and what a read-only one greys.
        Sample("FactoryFirst", "factory_v3.cal", 0, "Device: 1",
               {{mnemonicId, "ATT 3dB 18G"}, {lowerId, "199.52623e-12"}, {upperId, "399.05247e-3"}}),
        Sample("UserFirst", "user_v3.cal", 0, "Device: 1001",
               {{mnemonicId, "Cable 1 m SMA"}, {lowerId, "100e-12"}, {upperId, "200e-3"}}),
        Sample("UserSecondReadOnly", "user_v3.cal", 1, "Device: 1002",
               {{mnemonicId, "User 6 dB pad"}, {lowerId, "398.10716e-12"}, {upperId, "796.21434e-3"}}, true),
        Sample("NoSuchDevice", "user_v3.cal", 40, nullptr, {})),
    rows::Name());

Step Input(const char* name, std::string content)
{
    return [=](DeviceEditor& t) { Put(t.Path(name), QByteArray::fromStdString(content)); };
}

// The command on a file of the folder; `limit`: writes beyond 1 KiB fail meanwhile; `send`: sent as
// the window's own command, around the menu.
Step Run(int id, const char* name, bool limit = false, bool send = false)
{
    return [=](DeviceEditor& t) {
        std::optional<ScopedFileSizeLimit> sizeLimit;
        limit ? sizeLimit.emplace(1024), void() : void();
        t.Run(id, t.Path(name), send);
    };
}

Step Import(int id, const char* name, std::string content)
{
    return [=](DeviceEditor& t) { Input(name, content)(t), Run(id, name)(t); };
}

const Step editorClosed = [](DeviceEditor& t) { EXPECT_FALSE(t.grid->IsEditing()); };

// What a row expects of an export: its bytes, "=" the bytes at the opening, "<" those of exports/SCENARIO.s2p
// or .txt in this folder, "" not looked at. Boxes: "!" for a warning, caption (empty: the program's name),
// TAB, text, with "@" for the folder of the files. Fields: mnemonic,
// lower and upper limit separated by '|', "*" not looked at; "=" all as at the opening.
struct FileSession
{
    const char* scenario;
    DeviceData device;
    std::vector<Step> steps;
    std::string s2p = "=";
    std::string txt = "=";
    std::vector<const char*> boxes = {};
    const char* fields = "=";
    const char* folder = nullptr; // "name=content|..." of the files the steps left
};

using FileCommand = Rows<DeviceEditor, FileSession>;

TEST_P(FileCommand, ShowsAndWritesWhatTheFileSays)
{
    const FileSession& c = GetParam();
    Open(Filled(c.device), 0, c.device.readOnly);
    // Both exports, into a folder of their own.
    const auto exported = [this] {
        Run(ID_EXPORT_S2P, exports.filePath("e.s2p"));
        Run(ID_EXPORT_UNCERTAINTY, exports.filePath("e.txt"));
        return std::make_pair(Bytes(exports.filePath("e.s2p")).toStdString(), Bytes(exports.filePath("e.txt")).toStdString());
    };
    const auto opening = exported();
    const auto fields = [this] {
        return QStringList{LineEdit(mnemonicId)->text(), LineEdit(lowerId)->text(), LineEdit(upperId)->text()};
    };
    const QStringList openingFields = fields();
    Play(c.steps);

    std::vector<std::string> shown;
    for (const MessageBoxRequest& box : boxes)
    {
        EXPECT_TRUE((box.icon == MessageBoxIcon::Stop || box.icon == MessageBoxIcon::Exclamation) && box.buttons == MessageBoxButtons::Ok);
        const QString caption = QString(box.icon == MessageBoxIcon::Exclamation ? "!" : "") + (box.caption == AfxGetAppName() ? "" : box.caption);
        shown.push_back(QString(caption + '\t' + box.text).replace(folder.path() + "/", "@").toStdString());
    }
    EXPECT_EQ(shown, std::vector<std::string>(c.boxes.begin(), c.boxes.end()));
    const QStringList want = std::string(c.fields) == "=" ? openingFields : QString::fromUtf8(c.fields).split('|');
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(want[i] == "*" || (want[i] == "=" ? openingFields[i] : want[i]) == fields()[i]) << fields()[i].toStdString();
    }
    for (long row = 1; row < grid->GetRows(); ++row)
    {
        EXPECT_EQ(grid->GetTextMatrix(row, 0), QString::number(row)) << "rows are numbered";
    }
    QStringList files;
    for (const QString& name : QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
    {
        files << name + "=" + QString::fromUtf8(Bytes(folder.filePath(name)));
    }
    EXPECT_TRUE(c.folder == nullptr || files.join("|") == c.folder) << files.join("|").toStdString();
    const auto after = exported();
    const auto expected = [&c](const std::string& bytes, const std::string& opened, const char* extension) {
        const QString file = QString(OSTREL_SOURCE_DIR "/tests/device/exports/%1.%2").arg(c.scenario, extension);
        return bytes == "=" ? opened : bytes == "<" ? Bytes(file).toStdString() : bytes;
    };
    EXPECT_TRUE(c.s2p.empty() || after.first == expected(c.s2p, opening.first, "s2p")) << after.first;
    EXPECT_TRUE(c.txt.empty() || after.second == expected(c.txt, opening.second, "txt")) << after.second;
}

const std::string s2pHeader = "# HZ S RI R 50\r\n";
// The two first points as the exports write them.
const std::string twoPoints = Bytes(OSTREL_SOURCE_DIR "/tests/device/exports/TwoPoints.s2p").toStdString();

Step S21(const char* pairs) { return Import(ID_IMPORT_S2P, "gain.s2p", std::string("# GHZ S RI R 50\r\n") + pairs); }

// The command's file dialog, answered with Cancel and then with an empty name.
Step Asked(int id, bool open, const char* extension, const char* title)
{
    return [=](DeviceEditor& t) {
        t.requests.clear();
        t.Run(id, std::nullopt);
        t.Run(id, QString());
        ASSERT_EQ(t.requests.size(), 2u);
        const QString filter = QString("*.%1 Files|*.%1;|All Files (*.*)|*.*||").arg(QString(extension).toLower());
        for (const FileDialogRequest& r : t.requests)
        {
            EXPECT_EQ(std::tie(r.parent, r.open, r.defaultExtension, r.nameFilters, r.fileName, r.overwritePrompt,
                               r.title),
                      std::make_tuple(t.dialog.get(), open, QString(extension), ConvertFileDialogFilter(filter),
                                      QString(), false, QString(title)));
        }
    };
}

constexpr float none = std::numeric_limits<float>::quiet_NaN();
const char* const writeFailed = "\t\"@kept.s2p\": File write access failed!";

INSTANTIATE_TEST_SUITE_P(
    Files, FileCommand,
    testing::Values(
        // S2P import, here from the keyboard: the whole table, the device named after the file (outside Latin-1, so
        // the comment drops letters), the limits derived.
        FileSession{"S2PImportFromTheKeyboardReplacesTheTable", {5},
                {Input("Kabel \u20ac \u03a9.2.s2p", twoPoints),
                 [](DeviceEditor& t) {
                     t.answers.push_back(t.Path("Kabel \u20ac \u03a9.2.s2p"));
                     QTest::keyClick(t.dialog.get(), Qt::Key_F, Qt::AltModifier);
                     Settle();
                     ASSERT_NE(QApplication::activePopupWidget(), nullptr);
                     QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_I);
                     Settle();
                     t.answers.clear();
                 }},
                "<", "<", {}, "Kabel \u20ac \u03a9.2|*|*"},
        // The S2P import zeroes the uncertainties that the second import gives back.
        FileSession{"ExportsThenImportsGiveTheTableBack", {15, "round trip"},
                {Run(ID_EXPORT_S2P, "round trip.s2p"), Run(ID_EXPORT_UNCERTAINTY, "u.txt"),
                 [](DeviceEditor& t) { t.grid->SetRows(2); }, Run(ID_IMPORT_S2P, "round trip.s2p"), Run(ID_IMPORT_UNCERTAINTY, "u.txt")},
                "=", "=", {}, "round trip|*|*"},
        FileSession{"LimitsDividedByTheLargestGainInThreeDigits", {},
                {S21("1 0 0 0.01 0 0 0 0 0\r\n2 0 0 0.18 0.24 0 0 0 0\r\n3 0 0 0 -0.05 0 0 0 0\r\n")}, "", "", {},
                "*|11.1e-9|1.11"},
        FileSession{"OneSensorLimitMissing", {2, "", 1e-9f, none, 2}, {S21("1 0 0 0.1 0 0 0 0 0\r\n")}, "", "", {}, "*|30e-6|10"},
        FileSession{"UnknownModelHasNoLowerLimit", {2, "", none, none}, {S21("1 0 0 0.1 0 0 0 0 0\r\n")}, "", "", {}, "*|0|10"},
        FileSession{"S21ZeroOrInfiniteKeepsTheLimits", {},
                {S21("1 0 0 0 0 0 0 0 0\r\n2 0 0 0 0 0 0 0 0\r\n"), S21("1 0 0 inf 0 0 0 0 0\r\n")}, "", "", {}, "*|=|="},
        // Uncertainty import: the lines around each grid frequency, a text as 0 Hz (the reader's own tests try
        // every place between its lines), and nothing else.
        // Lines at 1, 2 and 3 GHz; between 2 and 3 GHz each column has its larger value in another line.
        FileSession{"UncertaintyAtEachGridFrequency", {2, ""},
                {Call([](CEditFlexGrid& g) {
                     g.SetTextMatrix(1, 1, "2.5e9");
                     g.SetTextMatrix(2, 1, "abc");
                 }),
                 Import(ID_IMPORT_UNCERTAINTY, "u.txt", "# GHZ U\r\n1 0.011 0.012 0.013 0.014\r\n"
                                                       "2 0.021 0.042 0.023 0.044\r\n3 0.031 0.032 0.033 0.034\r\n")},
                "", "<"},
        FileSession{"UncertaintyChangesNothingElse", {},
                {Import(ID_IMPORT_UNCERTAINTY, "flat.txt", "# MHZ U\r\n1 0.25 0.25 0.25 0.25\r\n")}, "=", "<"},
        // The mnemonic as the exports' comment line, each tab and letter outside ASCII as "_" (Latin-1) or
        // left out: "! Pad_20 dB Pr_zision ".
        FileSession{"CommentOfTabsAndLetters", {0, "Pad\t20 dB Pr\u00e4zision \u20ac"}, {}, "<", "<"},
        // The field's text, not the stored mnemonic: none.
        FileSession{"NoCommentForAnEmptiedField", {0}, {Type(IDC_MNEMONIC, "")}, s2pHeader, "# HZ U\r\n", {}, "|=|="},
        // Refused files: the reader's report, and nothing changes.
        FileSession{"RefusedS2PFiles", {}, {Import(ID_IMPORT_S2P, "bad.s2p", "# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9 10\r\n"),
                 Import(ID_IMPORT_S2P, "u.s2p", "# HZ U\r\n1 2 3 4 5\r\n"), Run(ID_IMPORT_S2P, "none.s2p"),
                 Import(ID_IMPORT_S2P, "many.s2p", s2pHeader + [] { std::string l; for (int i = 0; i <= maxSParaFreqNumber; ++i) l += "1 0 0 0 0 0 0 0 0\n"; return l; }())},
                "=", "=", {"Parser Error\t@bad.s2p, line 2, column 19:\nExpecting <eol> here:\n\" 10\r\n\r\n\"\n\nCheck input file in this location!",
                 "\t\"@bad.s2p\": Measurement data file could not be parsed!", "\tS2P file contains wrong parameter type!",
                 "\t\"@none.s2p\": File read access failed!", "\t\"@many.s2p, point 100000, line 100001\": Missing or wrong argument(s)!"}},
        // Frequencies that fall are imported, and the line where they first fall is named at once.
        FileSession{"FallingFrequenciesImportedWithAWarning", {},
                {Import(ID_IMPORT_S2P, "falling.s2p", "! two\r\n# HZ S RI R 50\r\n1 0 0 1 0 1 0 0 0\r\n\r\n3 0 0 1 0 1 0 0 0\r\n2 0 0 1 0 1 0 0 0\r\n"),
                 Import(ID_IMPORT_UNCERTAINTY, "falling.txt", "# HZ U\r\n5 1 1 1 1\r\n4 1 1 1 1\r\n")}, "", "",
                {"!\tThe frequency falls at line 6 of\r\n@falling.s2p\r\nThe file was imported; OK stores the device only once "
                 "its frequencies do not fall.", "!\tThe frequency falls at line 3 of\r\n@falling.txt\r\nThe file was imported; OK "
                 "stores the device only once its frequencies do not fall."}, "falling|*|*"},
        FileSession{"RefusedUncertaintyFiles", {}, {Import(ID_IMPORT_UNCERTAINTY, "bad.txt", "# HZ U\r\n1 2 x\r\n"),
                 Import(ID_IMPORT_UNCERTAINTY, "s.txt", "# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9\r\n"), Run(ID_IMPORT_UNCERTAINTY, "none.txt")},
                "=", "=", {"Parser Error\t@bad.txt, line 2, column 5:\nExpecting <data_line_list> here:\n\"1 2 x\r\n\r\n\"\n\nCheck input file in this location!",
                 "\t\"@bad.txt\": Measurement data file could not be parsed!", "\tS2P file contains wrong parameter type!",
                 "\t\"@none.txt\": File read access failed!"}},
        FileSession{"CancelOrAnEmptyNameChangesNothing", {},
                {Asked(ID_IMPORT_S2P, true, "S2P", "Select S2P file"),
                 Asked(ID_IMPORT_UNCERTAINTY, true, "TXT", "Select uncertainty file"),
                 Asked(ID_EXPORT_S2P, false, "S2P", "Select S2P file for export"),
                 Asked(ID_EXPORT_UNCERTAINTY, false, "TXT", "Select uncertainty file for export")},
                "=", "=", {}, "=", ""},
        // Failed exports: reported, the old file kept, nothing left beside it.
        FileSession{"ExportsTooLargeOrIntoAPlainFile", {40},
                {Input("kept.s2p", "old"), Run(ID_EXPORT_S2P, "kept.s2p", true), Run(ID_EXPORT_UNCERTAINTY, "kept.s2p", true),
                 Input("plain", "plain"), Run(ID_EXPORT_S2P, "plain/e.s2p"), Run(ID_EXPORT_UNCERTAINTY, "plain/e.txt")}, "=", "=",
                {writeFailed, writeFailed, "\t\"@plain/e.s2p\": File write access failed!", "\t\"@plain/e.txt\": File write access failed!"},
                "=", "kept.s2p=old|plain=plain"},
        // An open edit is committed first; one that is not a number keeps every command from running.
        FileSession{"OpenEditCommittedByEveryCommand", {},
                {Edit(1, 5, "0.75", false), Import(ID_IMPORT_S2P, "in.s2p", twoPoints), editorClosed, Edit(1, 5, "0.75", false),
                 Import(ID_IMPORT_UNCERTAINTY, "in.txt", "# HZ U\r\n1 0.5 0.5 0.5 0.5\r\n"), editorClosed, Edit(1, 5, "0.75", false),
                 Run(ID_EXPORT_S2P, "out.s2p"), editorClosed, Edit(1, 5, "0.75", false), Run(ID_EXPORT_UNCERTAINTY, "out.txt"), editorClosed},
                "<", "<", {}, "in|*|*"},
        FileSession{"TextInTheEditorStopsEveryCommand", {},
                {Edit(1, 5, "abc", false), Import(ID_IMPORT_S2P, "in.s2p", "x"), Import(ID_IMPORT_UNCERTAINTY, "in.txt", "x"),
                 Run(ID_EXPORT_S2P, "out.s2p"), Run(ID_EXPORT_UNCERTAINTY, "out.txt"),
                 [](DeviceEditor& t) { QTest::keyClick(&t.grid->GetCellEdit(), Qt::Key_Escape); }},
                "=", "=", {}, "=", "in.s2p=x|in.txt=x"},
        FileSession{"ReadOnlyImportsNothingAndExports", {2, "Attenuator", 1e-9f, 0.1f, -1, true},
                {Import(ID_IMPORT_S2P, "in.s2p", s2pHeader + "1 1 1 1 1 1 1 1 1\r\n"),
                 Import(ID_IMPORT_UNCERTAINTY, "in.txt", "# HZ U\r\n1 1 1 1 1\r\n"),
                 Run(ID_IMPORT_S2P, "in.s2p", false, true), Run(ID_IMPORT_UNCERTAINTY, "in.txt", false, true)}},
        FileSession{"ImportedFilesStoredByOk", {5},
                {Import(ID_IMPORT_S2P, "Coupler 20dB.s2p", "# MHZ S RI R 50\r\n100 0.125 -0.25 0.5 0 0.0625 0.75 -0.5 0.375\r\n"
                                                           "250 0.25 -0.125 0.25 0.25 1 -1 0.5 0.5\r\n"),
                 Import(ID_IMPORT_UNCERTAINTY, "Coupler 20dB.txt", "# MHZ U\r\n100 0.01 0.02 0.03 0.04\r\n"),
                 Ok,
                 [](DeviceEditor& t) {
                     ASSERT_EQ(t.dialog->result(), IDOK);
                     t.Open(t.set);
                 }},
                "<", "<", {}, "Coupler 20dB|4e-9|400e-3"}),
    rows::Name());

// Everything OK would store, and the mirror options: the rows bit for bit, the fields' texts.
struct EditorState
{
    CellBlock rows;
    QStringList fields;
    bool operator==(const EditorState& other) const { return rows == other.rows && fields == other.fields; }
};

EditorState StateOf(const DeviceEditor& e)
{
    return {e.grid->GetRowBlock(1, e.grid->GetRows() - 1),
            {e.LineEdit(mnemonicId)->text(), e.LineEdit(lowerId)->text(), e.LineEdit(upperId)->text(),
             QString::number(e.dialog->IsDlgButtonChecked(IDC_S11_FOR_S22)), QString::number(e.dialog->IsDlgButtonChecked(IDC_S21_FOR_S12)),
             QString::number(e.grid->GetColumnType(8)), QString::number(e.grid->GetColumnType(11))}};
}

// Steps that make `undoSteps` undo steps.
struct UndoCase
{
    const char* scenario;
    std::vector<Step> steps;
    int undoSteps;
};

using UndoSession = Rows<DeviceEditor, UndoCase>;

// Undone step by step (Ctrl+Z) the editor is as it opened and OK stores nothing; redone (Ctrl+Shift+Z and
// Ctrl+Y in turn) it is as the steps left it and OK stores what the steps alone store.
TEST_P(UndoSession, EndsWhereItStartedAndRedoesWhatWasDone)
{
    const UndoCase& c = GetParam();
    Open(Filled({3}));
    const EditorState opening = StateOf(*this);
    const auto undoItem = [this](int id) { return (dialog->GetMenu().GetMenuState(static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) == 0; };
    EXPECT_FALSE(undoItem(ID_EDIT_UNDO) || undoItem(ID_EDIT_REDO));
    Play(c.steps);
    const EditorState done = StateOf(*this);
    ASSERT_FALSE(done == opening);
    for (int i = 0; i <= c.undoSteps; ++i) // one more than there are: nothing happens
    {
        Play({Key(Qt::Key_Z, ctrl)});
        EXPECT_EQ(StateOf(*this) == opening, i >= c.undoSteps - 1) << "after undo " << i + 1;
    }
    EXPECT_FALSE(undoItem(ID_EDIT_UNDO));
    for (int i = 0; i < c.undoSteps; ++i)
    {
        Play({i % 2 ? Key(Qt::Key_Y, ctrl) : Key(Qt::Key_Z, ctrl | Qt::ShiftModifier)});
    }
    EXPECT_TRUE(StateOf(*this) == done);
    EXPECT_FALSE(undoItem(ID_EDIT_REDO));
    Play({Ok, Answer(IDYES)});
    ASSERT_EQ(dialog->result(), IDOK);
    const CTamrix redone = set;
    Open(Filled({3}));
    Play(c.steps);
    Play({Ok});
    ASSERT_EQ(dialog->result(), IDOK);
    EXPECT_TRUE(Same(redone.Content().devices[0], set.Content().devices[0]));
}

INSTANTIATE_TEST_SUITE_P(
    Undo, UndoSession,
    testing::Values(UndoCase{"CellEdits", {Edit(1, 2, "0.75"), Edit(3, 1, "30.000000001e9")}, 2},
                    UndoCase{"PasteAddingRows", {Clip("1e9\t0.5\r\n2e9\t\t0.25\r\n3e9\r\n4e9\r\n"), Click(2, 1), Key(Qt::Key_V, ctrl)}, 1},
                    UndoCase{"RowCommands", {Select(1, 1, 2, 1), Key(Qt::Key_Insert), Select(2, 1, 4, 13), Key(Qt::Key_Delete),
                             Command(ID_POINTS_APPEND), Edit(3, 1, "9e9")}, 4},
                    UndoCase{"ClearedCellsAndSetNumber", {Select(1, 2, 2, 4), Key(Qt::Key_Delete), SetNumber("7", true), FocusTo(1)}, 2},
                    UndoCase{"Imports", {Import(ID_IMPORT_S2P, "in.s2p", "# MHZ S RI R 50\r\n100 0.125 -0.25 0.5 0 0.0625 0.75 -0.5 0.375\r\n"),
                             Import(ID_IMPORT_UNCERTAINTY, "in.txt", "# MHZ U\r\n100 0.01 0.02 0.03 0.04\r\n")}, 2},
                    UndoCase{"MirrorsAndFields", {Press(IDC_S11_FOR_S22), Type(mnemonicId, "Pad"), Type(lowerId, "0.0012345678"),
                             Click(1, 1), Press(IDC_S21_FOR_S12)}, 4}),
    rows::Name());

// The numbers of a Touchstone file's data lines, or of a cell block, each as from_chars reads it (the
// correctly rounded double, as any other reader's).
std::vector<double> Numbers(const std::string& text)
{
    std::vector<double> numbers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
    {
        std::istringstream tokens(line);
        for (std::string token; tokens >> token && token[0] != '!' && token[0] != '#';)
        {
            double value = 0;
            EXPECT_EQ(std::from_chars(token.data(), token.data() + token.size(), value).ec, std::errc()) << token;
            numbers.push_back(value);
        }
    }
    return numbers;
}

// Bit for bit, as doubles or, for what the data set keeps in single precision, as floats.
template <class Number>
bool BitsEqual(Number a, Number b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBits(double a, double b, bool single)
{
    return single ? BitsEqual(float(a), float(b)) : BitsEqual(a, b);
}

// What a real file with up to 15 digits, typed values and a pasted block become, checked where each leaves the
// editor: cells, the S2P export, the clipboard, the data set, a data set file, the XML exchange, and another
// device pasted from this one.
TEST_F(DeviceEditor, KeepsEveryNumberAsItCameFromFileKeyboardAndClipboard)
{
    CTamrix data = Filled({2});
    data.SetSParaDeviceNumber(2);
    Open(data);
    const QString source = OSTREL_SOURCE_DIR "/tests/s2p/data/corpus/Clarity_example.S2P";
    const std::vector<double> file = Numbers(Bytes(source).toStdString());
    ASSERT_EQ(file.size() % 9, 0u);
    const long points = static_cast<long>(file.size() / 9);
    // The table in the editor's columns 1 ... 13, row by row: the file's numbers, no uncertainties.
    std::vector<std::array<double, 14>> table(static_cast<std::size_t>(points));
    for (long p = 0; p < points; ++p)
    {
        const double* line = &file[static_cast<std::size_t>(p) * 9];
        table[p] = {0, line[0], line[1], line[2], 0, line[3], line[4], 0, line[5], line[6], 0, line[7], line[8], 0};
    }
    Run(ID_IMPORT_S2P, source);
    Play({Edit(1, 13, "0.000123456789012345"), Edit(2, 4, "1.00000000000001e-3"),
          Clip("0.333333333333333314829616256247\t-1.2345678901234567e-7\r\n"), Click(3, 2), Key(Qt::Key_V, ctrl)});
    table[0][13] = 0.000123456789012345, table[1][4] = 1.00000000000001e-3;
    table[2][2] = 0.333333333333333314829616256247, table[2][3] = -1.2345678901234567e-7;
    const auto expectTable = [&](const std::vector<double>& numbers, const std::vector<long>& columns, bool single, const char* where) {
        ASSERT_EQ(numbers.size(), columns.size() * static_cast<std::size_t>(points)) << where;
        for (std::size_t i = 0; i < numbers.size(); ++i)
        {
            const long col = columns[i % columns.size()];
            EXPECT_TRUE(SameBits(numbers[i], table[i / columns.size()][col], single && col > 1)) << where << " " << i;
        }
    };
    const std::vector<long> allColumns{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    std::vector<double> cells;
    for (long row = 1; row <= points; ++row)
        for (const long col : allColumns)
            cells.push_back(grid->GetValueMatrix(row, col).value_or(-1));
    expectTable(cells, allColumns, false, "cells");
    Run(ID_EXPORT_S2P, exports.filePath("exact.s2p"));
    expectTable(Numbers(Bytes(exports.filePath("exact.s2p")).toStdString()), {1, 2, 3, 5, 6, 8, 9, 11, 12}, false, "export");
    Play({Key(Qt::Key_A, ctrl), Key(Qt::Key_C, ctrl)});
    const std::string copied = GetClipboardText8();
    expectTable(Numbers(copied), allColumns, false, "clipboard");

    Play({Ok});
    ASSERT_EQ(dialog->result(), IDOK);
    std::vector<double> stored;
    for (long p = 0; p < points; ++p)
        for (const long col : allColumns)
            stored.push_back(Stored(set, p, col));
    expectTable(stored, allColumns, true, "data set");
    std::string bytes;
    CTamrixUtil::StoreTMXToBuffer2(set, bytes, '3', '0');
    CTamrix loaded;
    loaded.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromBuffer2(loaded, bytes);
    std::stringstream xml;
    loaded.ExportSPara(xml);
    CTamrix exchanged = Filled({1});
    exchanged.ImportSPara(xml);
    EXPECT_TRUE(Same(exchanged.Content().devices[0], set.Content().devices[0])) << "XML";
    Open(exchanged);
    Run(ID_EXPORT_S2P, exports.filePath("again.s2p"));
    expectTable(Numbers(Bytes(exports.filePath("again.s2p")).toStdString()), {1, 2, 3, 5, 6, 8, 9, 11, 12}, true, "file");
    Play({Key(Qt::Key_A, ctrl), Key(Qt::Key_C, ctrl), Press(IDCANCEL)});
    Open(exchanged, 1);
    Play({Key(Qt::Key_V, ctrl), Ok});
    ASSERT_EQ(dialog->result(), IDOK);
    const auto& devices = set.Content().devices;
    EXPECT_TRUE(std::equal(devices[0].points.begin(), devices[0].points.end(), devices[1].points.begin(), devices[1].points.end(),
                           [](const SParaPoint& a, const SParaPoint& b) { return a.frequency == b.frequency && a.values == b.values; }))
        << "pasted into another device";
}

// The points a chart draws for one curve ("|S21|", "\u2220S21" or "S21 uncertainty": its upper edge), run by run.
std::vector<std::vector<QPointF>> Drawn(QChart* chart, const QString& name)
{
    std::vector<std::vector<QPointF>> runs;
    for (QAbstractSeries* series : chart->series())
    {
        auto* line = qobject_cast<QXYSeries*>(series);
        auto* area = qobject_cast<QAreaSeries*>(series);
        line = area != nullptr ? area->upperSeries() : line;
        const QList<QPointF> points = line->points();
        if (series->isVisible() && series->name() == name && !points.isEmpty()) // the legend's keys draw nothing
        {
            runs.emplace_back(points.begin(), points.end());
        }
    }
    return runs;
}

// View > Plot on a read-only device: what it draws is the table, gaps where a cell is no number, and it follows the
// table; the frequency axis zooms, pans and turns logarithmic; the readout names the nearest row; both pictures are
// written whole or not at all.
TEST_F(DeviceEditor, PlotDrawsTheTableAndFollowsIt)
{
    CTamrix data = Filled({4, "Attenuator", 1e-9f, 0.1f, -1, true});
    data.SetSParaFreq(0, 0, 0);
    Open(data, 0, true);
    dialog->GetMenu().FindMenuItem(ID_VIEW_PLOT, MF_BYCOMMAND)->trigger();
    Settle();
    auto* plot = dialog->findChild<CPlotWindow*>();
    ASSERT_TRUE(plot != nullptr && plot->isVisible());
    // From the texts the grid shows.
    const auto cell = [this](long row, long col) { return CellToDouble(*grid, row, col, NAN); };
    const auto point = [&](long row, long col, bool phase) {
        const double re = cell(row, col), im = cell(row, col + 1);
        return QPointF(cell(row, 1), phase ? std::atan2(im, re) * 180 / M_PI : 20 * std::log10(std::hypot(re, im)));
    };
    const auto expectDrawn = [&](QChart* chart, const QString& name, std::vector<std::vector<long>> rows, long col, bool phase) {
        std::vector<std::vector<QPointF>> expected;
        for (const auto& run : rows)
        {
            expected.emplace_back();
            for (const long row : run)
            {
                expected.back().push_back(point(row, col, phase));
            }
        }
        const auto drawn = Drawn(chart, name);
        ASSERT_EQ(drawn.size(), expected.size()) << name.toStdString();
        for (std::size_t r = 0; r < drawn.size(); ++r)
        {
            ASSERT_EQ(drawn[r].size(), expected[r].size()) << name.toStdString();
            for (std::size_t i = 0; i < drawn[r].size(); ++i)
            {
                EXPECT_DOUBLE_EQ(drawn[r][i].x() * plot->FrequencyUnit(), expected[r][i].x()) << name.toStdString() << " " << r << "," << i;
                EXPECT_NEAR(drawn[r][i].y(), expected[r][i].y(), 1e-9) << name.toStdString() << " " << r << "," << i;
            }
        }
    };
    expectDrawn(plot->MagnitudeChart(), "|S11|", {{1, 2, 3, 4}}, 2, false);
    expectDrawn(plot->PhaseChart(), "\u2220S22", {{1, 2, 3, 4}}, 11, true);
    const auto band = Drawn(plot->MagnitudeChart(), "S21 uncertainty");
    ASSERT_EQ(band.size(), 1u);
    EXPECT_NEAR(band[0][1].y(), 20 * std::log10(std::hypot(0.25, 250000) + 0.05), 1e-9);

    // A band only where |S| - u > 0; a phase wrapping round from 174° to -174° is not joined.
    grid->SetTextMatrix(2, 7, "1e9");
    grid->SetTextMatrix(1, 2, "-1"), grid->SetTextMatrix(1, 3, "0.1");
    grid->SetTextMatrix(2, 2, "-1"), grid->SetTextMatrix(2, 3, "-0.1");
    Settle();
    EXPECT_EQ(Drawn(plot->MagnitudeChart(), "S21 uncertainty").size(), 2u);
    expectDrawn(plot->PhaseChart(), "\u2220S11", {{1}, {2, 3, 4}}, 2, true);
    // The legend's entry of a parameter hides its curve and band, and shows them again.
    const auto legendEntry = [&plot](const QString& label) {
        for (QLegendMarker* marker : plot->MagnitudeChart()->legend()->markers())
            if (marker->isVisible() && marker->label() == label) return marker;
        return static_cast<QLegendMarker*>(nullptr);
    };
    ASSERT_NE(legendEntry("|S21|"), nullptr);
    emit legendEntry("|S21|")->clicked();
    EXPECT_EQ(Drawn(plot->MagnitudeChart(), "|S21|").size() + Drawn(plot->MagnitudeChart(), "S21 uncertainty").size(), 0u);
    EXPECT_EQ(Drawn(plot->MagnitudeChart(), "|S11|").size(), 1u);
    emit legendEntry("|S21|")->clicked();
    EXPECT_EQ(Drawn(plot->MagnitudeChart(), "S21 uncertainty").size(), 2u);

    // A cell that is no number leaves a gap; the row count follows the table.
    grid->SetTextMatrix(2, 5, "x");
    grid->SetRows(4);
    Settle();
    expectDrawn(plot->MagnitudeChart(), "|S21|", {{1}, {3}}, 5, false);
    expectDrawn(plot->PhaseChart(), "\u2220S21", {{1}, {3}}, 5, true);

    // The frequency axis: keys zoom and pan it, Reset zoom shows all; on the logarithmic axis 0 Hz has no place.
    const double top = cell(3, 1);
    EXPECT_EQ(plot->FrequencyRange(), std::make_pair(0.0, top));
    // Up to 5 GHz: ticks every 1 GHz, each naming its unit.
    const auto* ticks = qobject_cast<QValueAxis*>(plot->PhaseChart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(ticks, nullptr);
    EXPECT_EQ(std::make_tuple(ticks->labelFormat(), ticks->tickType(), ticks->tickInterval(), plot->FrequencyUnit()),
              std::make_tuple(QString("%.4g GHz"), QValueAxis::TicksDynamic, 1.0, 1e9));
    QTest::keyClick(plot, Qt::Key_Plus);
    EXPECT_EQ(plot->FrequencyRange(), std::make_pair(0.1 * top, 0.9 * top));
    QTest::keyClick(plot, Qt::Key_Right);
    EXPECT_EQ(plot->FrequencyRange(), std::make_pair(0.18 * top, 0.98 * top));
    QTest::mouseClick(plot->findChildren<QPushButton*>()[0], Qt::LeftButton);
    EXPECT_EQ(plot->FrequencyRange(), std::make_pair(0.0, top));
    QTest::mouseClick(plot->findChild<QCheckBox*>(), Qt::LeftButton);
    Settle();
    for (QAbstractAxis* axis : plot->PhaseChart()->axes(Qt::Horizontal))
    {
        EXPECT_EQ(axis->isVisible(), qobject_cast<QLogValueAxis*>(axis) != nullptr);
    }
    expectDrawn(plot->MagnitudeChart(), "|S11|", {{2, 3}}, 2, false);

    // The mouse over a chart names the nearest row.
    auto* view = static_cast<QChartView*>(plot->PhaseChart()->scene()->views().value(0));
    const QPointF at = plot->PhaseChart()->mapToPosition(QPointF(cell(2, 1) * 1.01 / plot->FrequencyUnit(), 0));
    QTest::mouseMove(plot->windowHandle(), view->viewport()->mapTo(plot, view->mapFromScene(at)));
    EXPECT_EQ(plot->Readout().left(20), "Row 2: 2.5e9 Hz   |S") << plot->Readout().toStdString();
    grid->SetTextMatrix(2, 2, "0.5"), grid->SetTextMatrix(2, 3, "0");
    Settle();
    EXPECT_TRUE(plot->Readout().contains("|S11| -6.02 dB 0.0\u00b0")) << "follows the table: " << plot->Readout().toStdString();
    // A click sets a marker on the nearest row, which stays on it while the table changes; a drag zooms instead.
    const auto range = plot->FrequencyRange();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(at));
    Settle();
    grid->SetTextMatrix(2, 2, "0.25");
    Settle();
    EXPECT_TRUE(plot->Markers().startsWith("M1  Row 2: 2.5e9 Hz   |S11| -12.04 dB")) << plot->Markers().toStdString();
    const auto rings = Drawn(plot->PhaseChart(), "Markers");
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].size(), 3u) << "one on each curve with a value in row 2 (not S21)";
    EXPECT_DOUBLE_EQ(rings[0][0].x() * plot->FrequencyUnit(), cell(2, 1)) << "on the row's curves";
    EXPECT_EQ(plot->FrequencyRange(), range) << "a click zooms nothing";

    // The pictures, through the buttons and their file dialogs.
    for (const char* name : {"plot.png", "plot.svg", "none/plot.png", "none/plot.svg"})
    {
        answers.push_back(Path(name));
        QTest::mouseClick(plot->findChildren<QPushButton*>()[QString(name).endsWith("svg") ? 2 : 1], Qt::LeftButton);
        Settle();
    }
    const QImage picture(Path("plot.png"));
    ASSERT_FALSE(picture.isNull());
    int blue = 0; // |S11| runs across the chart, smoothed into the white; its legend mark is 10 by 10 pixels
    for (int y = 0; y < picture.height(); ++y)
    {
        for (int x = 0; x < picture.width(); ++x)
        {
            const QColor c = picture.pixelColor(x, y);
            blue += c.blue() > c.red() + 80 && c.blue() > c.green() + 30;
        }
    }
    EXPECT_GT(blue, 400) << "the S11 curves are in the picture";
    EXPECT_TRUE(Bytes(Path("plot.svg")).contains("<svg"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), (QStringList{"plot.png", "plot.svg"}));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, FormatLibraryError(TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, Path("none/plot.svg").toStdString())));
}

struct NumberCase
{
    const char* scenario;
    const char* text;
    double asDouble;
    int asInt;
};

using NumberReaders = testing::TestWithParam<NumberCase>;

TEST_P(NumberReaders, ReadTheWholeTextOfACellOrLineEditOrGiveTheFallback)
{
    const NumberCase& c = GetParam();
    CMSFlexGrid grid;
    grid.SetTextMatrix(1, 1, c.text);
    const QLineEdit edit(c.text);
    const QLabel label(c.text);
    EXPECT_EQ(std::make_pair(CellToDouble(grid, 1, 1, -1.0), CellToDouble(grid, 5, 5, -1.0)), std::make_pair(c.asDouble, -1.0));
    EXPECT_EQ(std::make_pair(WindowToDouble(&edit, -1.0), WindowToDouble(&label, -1.0)), std::make_pair(c.asDouble, -1.0));
    EXPECT_EQ(std::make_pair(ParseIntOrDefault(&edit, -7), ParseIntOrDefault(&label, -7)), std::make_pair(c.asInt, -7));
}

INSTANTIATE_TEST_SUITE_P(Grid, NumberReaders,
                         testing::Values(NumberCase{"Integer", "-42", -42.0, -42}, NumberCase{"Engineering", "1.5e3", 1500.0, -7},
                                         NumberCase{"Blanks", " 42", -1.0, -7}, NumberCase{"TrailingExponent", "1e", -1.0, -7},
                                         NumberCase{"IntOverflow", "2147483648", 2147483648.0, -7}),
                         rows::Name());

} // namespace
