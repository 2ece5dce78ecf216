// The device editor's File menu through the real editor: menu items chosen,
// file dialogs answered, files written and read on disk.

#include "CellEdit.h"
#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialogFilter.h"
#include "FileDialogPresenter.h"
#include "GridNumbers.h"
#include "Menu.h"
#include "MessageBox.h"
#include "MessageBoxPresenter.h"
#include "NumberText.h"
#include "Resource.h"
#include "S2PFileFormat.h"
#include "Tamrix.h"
#include "TextConversion.h"

#include "ScopedFileSizeLimit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>


#include <array>
#include <cmath>
#include <deque>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{

using rows::operator<<;

const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};

constexpr long uncertaintyColumns[4] = {4, 7, 10, 13};

const char* const s2pFilter = "*.s2p Files|*.s2p;|All Files (*.*)|*.*||";
const char* const txtFilter = "*.txt Files|*.txt;|All Files (*.*)|*.*||";

struct Point
{
    double frequency;
    // S11, S21, S12, S22 as (real, imaginary, uncertainty).
    std::array<SParaValue, 4> values;
};

// A user data set whose device 0 holds the points, with the limits 1e-9 W and 0.1 W.
CTamrix DataSet(const std::vector<Point>& points, const std::string& mnemonic = "Attenuator")
{
    CTamrix set;
    set.EnableUtf8Support(true);
    set.SetSParaDeviceNumber(1);
    set.SetSPDMnemonic(0, mnemonic);
    set.SetSParaMinPower(0, 1e-9);
    set.SetSParaMaxPower(0, 0.1);
    set.SetSParaFreqNumber(0, static_cast<long>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        set.SetSParaFreq(0, static_cast<long>(i), points[i].frequency);
        for (int s = 0; s < 4; ++s)
        {
            set.SetSParaValue(0, static_cast<long>(i), tags[s], points[i].values[static_cast<std::size_t>(s)]);
        }
    }
    return set;
}

// `count` points with distinct values of every magnitude the grid writes in
// its two notations: frequency (i + 1) * 1.5 MHz, column c of point i near
// (i + c / 16) scaled by a power of ten that changes along the table.
std::vector<Point> NumberedPoints(int count)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i)
    {
        Point point{1.5e6 * (i + 1), {}};
        const double scale = std::pow(10.0, i % 13 - 6);
        for (int s = 0; s < 4; ++s)
        {
            const double base = (i + (2 + 3 * s) / 16.0) * scale;
            point.values[static_cast<std::size_t>(s)] = SParaValue(base, -base / 3, base / 700);
        }
        points.push_back(point);
    }
    return points;
}

// The two points whose export is written out byte for byte below.
std::vector<Point> TwoPoints()
{
    return {Point{1e9,
                  {SParaValue(0.125, -0.25, 0.0625), SParaValue(0.5, 0.375, 0.01), SParaValue(0.75, -0.875, 0.02),
                   SParaValue(-0.0625, 0.1875, 0.03)}},
            Point{2.5e9,
                  {SParaValue(1.5e-5, -3, 0.04), SParaValue(0.25, 250000, 0.05), SParaValue(-1, 0, 0.06),
                   SParaValue(0.5, -0.5, 0.07)}}};
}

std::string ReadFile(const QString& path)
{
    std::ifstream stream(WideToPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void WriteFile(const QString& path, const std::string& content)
{
    std::ofstream stream(WideToPath(path), std::ios::binary | std::ios::trunc);
    stream << content;
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// What the editor shows: every cell, the mnemonic and both limits.
struct EditorState
{
    std::vector<std::vector<QString>> cells;
    QString mnemonic;
    QString lower;
    QString upper;

    bool operator==(const EditorState& other) const
    {
        return cells == other.cells && mnemonic == other.mnemonic && lower == other.lower && upper == other.upper;
    }
};

// The device editor on device 0 of a data set, shown (not modal). Message boxes
// are recorded and answered OK; file dialogs are recorded and answered in turn
// from `fileAnswers` (nothing left: Cancel).
class FileCommandTest : public testing::Test
{
protected:
    FileCommandTest()
        : m_boxPresenter([this](const MessageBoxRequest& request) {
            boxes.push_back(request);
            return IDOK;
        })
        , m_filePresenter([this](const FileDialogRequest& request) {
            fileRequests.push_back(request);
            std::optional<QString> answer;
            if (!fileAnswers.empty())
            {
                answer = fileAnswers.front();
                fileAnswers.pop_front();
            }
            return answer;
        })
    {
    }

    void Open(CTamrix& set, bool readOnly = false)
    {
        dialog = std::make_unique<CDevice>(0, &set, readOnly);
        ASSERT_TRUE(dialog->Create());
        grid = dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
        dialog->show();
        dialog->activateWindow();
        (void)QTest::qWaitForWindowActive(dialog.get());
        Settle();
        ASSERT_TRUE(boxes.empty());
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i)
        {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QString PathOf(const QString& name) const { return m_folder.filePath(name); }

    QString InputFile(const QString& name, const std::string& content) const
    {
        const QString path = PathOf(name);
        WriteFile(path, content);
        return path;
    }

    // Chooses the menu item, as a click on it does.
    void Choose(int id)
    {
        QAction* action = dialog->GetMenu().FindMenuItem(static_cast<UINT>(id), MF_BYCOMMAND);
        ASSERT_NE(action, nullptr) << id;
        action->trigger();
        Settle();
    }

    // Chooses the menu item with the file dialog answered by `path`.
    void Run(int id, const QString& path)
    {
        fileAnswers.push_back(path);
        Choose(id);
    }

    QLineEdit* Field(int id) const { return dialog->GetDlgItemAs<QLineEdit>(id); }
    QString Cell(long row, long col) const { return grid->GetTextMatrix(row, col); }

    EditorState State() const
    {
        EditorState state;
        for (long row = 0; row < grid->GetRows(); ++row)
        {
            std::vector<QString> cells;
            for (long col = 0; col < grid->GetCols(); ++col)
            {
                cells.push_back(Cell(row, col));
            }
            state.cells.push_back(cells);
        }
        state.mnemonic = Field(IDC_MNEMONIC)->text();
        state.lower = Field(IDC_LOWER_LIMIT)->text();
        state.upper = Field(IDC_UPPER_LIMIT)->text();
        return state;
    }

    void StartTyping(long row, long col, const QString& text)
    {
        grid->scrollTo(grid->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1)));
        const QPoint at =
            grid->visualRect(grid->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1))).center();
        QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        Settle();
        ASSERT_TRUE(grid->IsEditing());
        QLineEdit& edit = grid->GetCellEdit();
        edit.selectAll();
        QTest::keyClicks(&edit, text);
    }

    void TypeInto(int id, const QString& text)
    {
        QLineEdit* field = Field(id);
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        QTest::keyClicks(field, text);
        Settle();
    }

    std::vector<MessageBoxRequest> boxes;
    std::vector<FileDialogRequest> fileRequests;
    std::deque<std::optional<QString>> fileAnswers;
    std::unique_ptr<CDevice> dialog;
    CEditFlexGrid* grid = nullptr;

private:
    QTemporaryDir m_folder;
    ScopedMessageBoxPresenter m_boxPresenter;
    ScopedFileDialogPresenter m_filePresenter;
};

// A two-port file in RI with `count` points: frequency (i + 1) * 10 MHz, the
// numbers of point i distinct per column.
std::string RiFile(int count)
{
    std::string text = "! generated sweep\r\n# HZ S RI R 50\r\n";
    for (int i = 0; i < count; ++i)
    {
        text += std::to_string((i + 1) * 10000000);
        for (int c = 1; c <= 8; ++c)
        {
            text += " " + std::to_string(i + c / 16.0);
        }
        text += "\r\n";
    }
    return text;
}

// ---------------------------------------------------------------------------

TEST_F(FileCommandTest, S2PImportReplacesTheWholeTableAndNamesTheDeviceAfterTheFile)
{
    CTamrix set = DataSet(NumberedPoints(4));
    Open(set);
    ASSERT_EQ(grid->GetRows(), 5);
    Run(ID_IMPORT_S2P, InputFile("sweep.201.s2p", RiFile(201)));

    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(grid->GetRows(), 202);
    for (int i = 0; i < 201; ++i)
    {
        const long row = i + 1;
        EXPECT_EQ(Cell(row, 0), QString::number(row));
        EXPECT_EQ(Cell(row, 1), FormatEngineering((i + 1) * 1e7)) << row;
        const long valueColumns[8] = {2, 3, 5, 6, 8, 9, 11, 12};
        for (int c = 1; c <= 8; ++c)
        {
            EXPECT_EQ(Cell(row, valueColumns[c - 1]), FormatValue(i + c / 16.0)) << row << ", " << c;
        }
        for (const long col : uncertaintyColumns)
        {
            EXPECT_EQ(Cell(row, col), "0") << row;
        }
    }
    // The last extension only goes.
    EXPECT_EQ(Field(IDC_MNEMONIC)->text(), "sweep.201");
}

TEST_F(FileCommandTest, S2PImportOfAFileWithFewerPointsLeavesNoOldRow)
{
    CTamrix set = DataSet(NumberedPoints(30));
    Open(set);
    Run(ID_IMPORT_S2P, InputFile("three", RiFile(3)));
    ASSERT_EQ(grid->GetRows(), 4);
    EXPECT_EQ(Cell(3, 2), FormatValue(2 + 1 / 16.0));
    EXPECT_EQ(Field(IDC_MNEMONIC)->text(), "three") << "a name without a dot is taken whole";
}

// ---------------------------------------------------------------------------

struct ConversionCase
{
    const char* scenario;
    const char* file;
    double frequency;
    // Real and imaginary part of S11, S21, S12 and S22.
    std::array<double, 8> values;
};

using S2PImportConversion = rows::Fixture<FileCommandTest, ConversionCase>;

TEST_P(S2PImportConversion, GivesHertzAndRealAndImaginaryParts)
{
    CTamrix set = DataSet(NumberedPoints(2));
    Open(set);
    Run(ID_IMPORT_S2P, InputFile("converted.s2p", GetParam().file));
    ASSERT_TRUE(boxes.empty());
    ASSERT_EQ(grid->GetRows(), 2);
    EXPECT_EQ(Cell(1, 1), FormatEngineering(GetParam().frequency));
    const long valueColumns[8] = {2, 3, 5, 6, 8, 9, 11, 12};
    for (std::size_t i = 0; i < 8; ++i)
    {
        const double expected = GetParam().values[i];
        EXPECT_NEAR(CellToDouble(*grid, 1, valueColumns[i], 99), expected, 1e-5 * std::max(std::fabs(expected), 1e-6))
            << "column " << valueColumns[i] << " shows " << Cell(1, valueColumns[i]).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, S2PImportConversion,
    testing::Values(
        // 10^(-6.0206 / 20) is 0.5; each pair is (magnitude, angle in degrees).
        ConversionCase{"MegahertzDecibel",
                       "# MHZ S DB R 50\r\n150 -6.0206 60 0 90 -20 180 -40 -30\r\n",
                       150e6,
                       {0.25, 0.4330127, 0, 1, -0.1, 0, 0.008660254, -0.005}},
        ConversionCase{"KilohertzMagnitudeAngle",
                       "# KHZ MA\r\n2.5 0.5 -90 2 45 1 180 0.125 0\r\n",
                       2500,
                       {0, -0.5, 1.4142136, 1.4142136, -1, 0, 0.125, 0}},
        ConversionCase{"BareOptionLineIsGigahertzMagnitudeAngle",
                       "#\r\n1.25 1 0 0.5 90 0.25 270 2 30\r\n",
                       1.25e9,
                       {1, 0, 0, 0.5, 0, -0.25, 1.7320508, 1}},
        ConversionCase{"RealImaginaryWithNoiseLinesAfter",
                       "# HZ S RI R 50\r\n7e8 0.1 -0.2 0.3 -0.4 0.5 -0.6 0.7 -0.8\r\n1e9 1 2 3 4\r\n",
                       7e8,
                       {0.1, -0.2, 0.3, -0.4, 0.5, -0.6, 0.7, -0.8}}),
    rows::Name());

// ---------------------------------------------------------------------------

struct LimitCase
{
    const char* scenario;
    float minPower;
    float maxPower;
    // A stock number of the given list (0 ... 3), or none.
    int stockList;
    // The S21 pairs (RI) of the file's points.
    std::vector<const char*> s21;
    // Empty: the fields keep their text.
    const char* lower;
    const char* upper;
};

std::string FileWithS21(const std::vector<const char*>& s21)
{
    std::string text = "# GHZ S RI R 50\r\n";
    int frequency = 1;
    for (const char* pair : s21)
    {
        text += std::to_string(frequency++) + " 0.1 0.2 " + pair + " 0.3 0.4 0.5 0.6\r\n";
    }
    return text;
}

using S2PImportLimits = rows::Fixture<FileCommandTest, LimitCase>;

TEST_P(S2PImportLimits, AreTheSensorLimitsDividedByTheLargestGain)
{
    const LimitCase& c = GetParam();
    CTamrix set = DataSet(NumberedPoints(2));
    MiscNum misc = set.GetMiscNum();
    misc.minPower = c.minPower;
    misc.maxPower = c.maxPower;
    set.SetMiscNum(misc);
    set.SetStockNumber(c.stockList >= 0 ? std::string(GetStockNumberLists()[static_cast<std::size_t>(c.stockList)]
                                                          .stockNumbers.back())
                                        : std::string("0000.0000K00"));
    Open(set);
    const QString lowerBefore = Field(IDC_LOWER_LIMIT)->text();
    const QString upperBefore = Field(IDC_UPPER_LIMIT)->text();

    Run(ID_IMPORT_S2P, InputFile("gain.s2p", FileWithS21(c.s21)));
    ASSERT_TRUE(boxes.empty());
    ASSERT_EQ(grid->GetRows(), static_cast<long>(c.s21.size()) + 1);
    EXPECT_EQ(Field(IDC_LOWER_LIMIT)->text(), *c.lower != '\0' ? QString::fromLatin1(c.lower) : lowerBefore);
    EXPECT_EQ(Field(IDC_UPPER_LIMIT)->text(), *c.upper != '\0' ? QString::fromLatin1(c.upper) : upperBefore);
}

constexpr float notGiven = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Gains, S2PImportLimits,
    testing::Values(
        LimitCase{"HundredthGainRaisesTheLimits", 1e-9f, 0.1f, -1, {"0.06 0.08", "0.01 0", "0 -0.05"}, "100e-9", "10"},
        LimitCase{"GainAboveOneLowersThem", 1e-9f, 0.1f, -1, {"2 0"}, "250e-12", "25e-3"},
        LimitCase{"ThreeSignificantDigits", 1e-9f, 0.1f, -1, {"0 0.3"}, "11.1e-9", "1.11"},
        LimitCase{"SensorWithoutLimitsTakesItsModelsLimits", notGiven, notGiven, 2, {"0.1 0"}, "30e-6", "10"},
        LimitCase{"OneLimitMissingTakesBothFromTheModel", 1e-9f, notGiven, 2, {"0.1 0"}, "30e-6", "10"},
        LimitCase{"UnknownModelHasNoLowerLimit", notGiven, notGiven, -1, {"0.1 0"}, "0", "10"},
        LimitCase{"S21ZeroEverywhereKeepsTheFields", 1e-9f, 0.1f, -1, {"0 0", "0 0"}, "", ""},
        LimitCase{"S21NotANumberKeepsTheFields", 1e-9f, 0.1f, -1, {"nan 0"}, "", ""},
        LimitCase{"S21InfiniteKeepsTheFields", 1e-9f, 0.1f, -1, {"inf 0"}, "", ""}),
    rows::Name());

// ---------------------------------------------------------------------------

struct UncertaintyCase
{
    const char* scenario;
    const char* frequencyCell;
    std::array<double, 4> expected;
};

// Lines at 1, 2 and 3 GHz; between 2 and 3 GHz each column has its larger
// value in a different line.
const char* const threeLineUncertainties = "! uncertainties\r\n"
                                           "# GHZ U\r\n"
                                           "1 0.011 0.012 0.013 0.014\r\n"
                                           "2 0.021 0.042 0.023 0.044\r\n"
                                           "3 0.031 0.032 0.033 0.034\r\n";

using UncertaintyImport = rows::Fixture<FileCommandTest, UncertaintyCase>;

TEST_P(UncertaintyImport, TakesTheLineThatAppliesAtTheGridFrequency)
{
    CTamrix set = DataSet(NumberedPoints(3));
    Open(set);
    // A frequency cell holding any text, as an old table may.
    grid->SetTextMatrix(2, 1, QString::fromLatin1(GetParam().frequencyCell));
    EditorState expected = State();
    for (std::size_t s = 0; s < 4; ++s)
    {
        expected.cells[2][static_cast<std::size_t>(uncertaintyColumns[s])] = FormatValue(GetParam().expected[s]);
    }

    Run(ID_IMPORT_UNCERTAINTY, InputFile("unc.txt", threeLineUncertainties));
    EXPECT_TRUE(boxes.empty());
    const EditorState state = State();
    EXPECT_EQ(state.cells[2], expected.cells[2]);
    EXPECT_EQ(state.mnemonic, expected.mnemonic);
    EXPECT_EQ(state.lower, expected.lower);
    EXPECT_EQ(state.upper, expected.upper);
    EXPECT_EQ(state.cells.size(), expected.cells.size());
}

INSTANTIATE_TEST_SUITE_P(
    Frequencies, UncertaintyImport,
    testing::Values(UncertaintyCase{"BelowTheFirstLine", "500e6", {0.011, 0.012, 0.013, 0.014}},
                    UncertaintyCase{"OnTheSecondLine", "2e9", {0.021, 0.042, 0.023, 0.044}},
                    UncertaintyCase{"WithinOnePpmOfTheSecondLine", "2.000001e9", {0.021, 0.042, 0.023, 0.044}},
                    UncertaintyCase{"BetweenTakesTheLargerOfEachColumn", "2.5e9", {0.031, 0.042, 0.033, 0.044}},
                    UncertaintyCase{"AboveTheLastLine", "40e9", {0.031, 0.032, 0.033, 0.034}},
                    UncertaintyCase{"NotANumberCountsAsZero", "abc", {0.011, 0.012, 0.013, 0.014}},
                    UncertaintyCase{"EmptyCountsAsZero", "", {0.011, 0.012, 0.013, 0.014}}),
    rows::Name());

TEST_F(FileCommandTest, UncertaintyImportChangesTheUncertaintyColumnsOfEveryRowAndNothingElse)
{
    CTamrix set = DataSet(NumberedPoints(40));
    Open(set);
    EditorState expected = State();
    for (std::size_t row = 1; row < expected.cells.size(); ++row)
    {
        for (const long col : uncertaintyColumns)
        {
            expected.cells[row][static_cast<std::size_t>(col)] = "0.25";
        }
    }
    Run(ID_IMPORT_UNCERTAINTY, InputFile("flat.txt", "# MHZ U\r\n1 0.25 0.25 0.25 0.25\r\n"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(State(), expected);
}

// ---------------------------------------------------------------------------

TEST_F(FileCommandTest, S2PExportWritesTheGridTextsByteForByte)
{
    CTamrix set = DataSet(TwoPoints());
    Open(set);
    const QString path = PathOf("export.s2p");
    Run(ID_EXPORT_S2P, path);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(ReadFile(path), "! Attenuator\r\n"
                              "# HZ S RI R 50\r\n"
                              "         1e9        0.125        -0.25          0.5        0.375         0.75"
                              "       -0.875      -0.0625       0.1875\r\n"
                              "       2.5e9       1.5e-5           -3         0.25        2.5e5           -1"
                              "            0          0.5         -0.5\r\n");
    EXPECT_EQ(FolderEntries(PathOf(".")), QStringList{"export.s2p"});
}

TEST_F(FileCommandTest, UncertaintyExportWritesTheGridTextsByteForByte)
{
    CTamrix set = DataSet(TwoPoints());
    Open(set);
    const QString path = PathOf("export.txt");
    Run(ID_EXPORT_UNCERTAINTY, path);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(ReadFile(path), "! Attenuator\r\n"
                              "# HZ U\r\n"
                              "         1e9       0.0625         0.01         0.02         0.03\r\n"
                              "       2.5e9         0.04         0.05         0.06         0.07\r\n");
}

TEST_F(FileCommandTest, ExportOfATableWithoutPointsWritesTheHeaderOnly)
{
    CTamrix set = DataSet({});
    Open(set);
    Run(ID_EXPORT_S2P, PathOf("empty.s2p"));
    Run(ID_EXPORT_UNCERTAINTY, PathOf("empty.txt"));
    EXPECT_EQ(ReadFile(PathOf("empty.s2p")), "! Attenuator\r\n# HZ S RI R 50\r\n");
    EXPECT_EQ(ReadFile(PathOf("empty.txt")), "! Attenuator\r\n# HZ U\r\n");
}

struct MnemonicCase
{
    const char* scenario;
    const char* stored; // UTF-8
    const char* typed; // typed into the field over the stored one, or nullptr
    const char* commentLine; // empty: none
};

using ExportMnemonic = rows::Fixture<FileCommandTest, MnemonicCase>;

TEST_P(ExportMnemonic, IsTheCommentLineAsTheFieldShowsIt)
{
    const MnemonicCase& c = GetParam();
    CTamrix set = DataSet(TwoPoints(), c.stored);
    Open(set);
    if (c.typed != nullptr)
    {
        TypeInto(IDC_MNEMONIC, QString::fromUtf8(c.typed));
    }
    Run(ID_EXPORT_S2P, PathOf("m.s2p"));
    Run(ID_EXPORT_UNCERTAINTY, PathOf("m.txt"));
    const std::string s2p = ReadFile(PathOf("m.s2p"));
    const std::string txt = ReadFile(PathOf("m.txt"));
    const std::string comment = c.commentLine;
    EXPECT_EQ(s2p.substr(0, comment.size() + 16), comment + "# HZ S RI R 50\r\n");
    EXPECT_EQ(txt.substr(0, comment.size() + 8), comment + "# HZ U\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Mnemonics, ExportMnemonic,
    testing::Values(MnemonicCase{"Plain", "Attenuator 20 dB", nullptr, "! Attenuator 20 dB\r\n"},
                    MnemonicCase{"TabAndAccentedLetter", "Pad\t20 dB Pr\xc3\xa4zision", nullptr,
                                 "! Pad_20 dB Pr_zision\r\n"},
                    MnemonicCase{"LetterOutsideLatin1IsDropped", "Koppler \xe2\x82\xac 3", nullptr, "! Koppler  3\r\n"},
                    MnemonicCase{"EmptyGivesNoCommentLine", "", nullptr, ""},
                    MnemonicCase{"TypedNameIsTaken", "Attenuator", "Typed name", "! Typed name\r\n"}),
    rows::Name());

// ---------------------------------------------------------------------------

TEST_F(FileCommandTest, S2PExportThenImportGivesBackTheGridTexts)
{
    CTamrix set = DataSet(NumberedPoints(26));
    Open(set);
    EditorState expected = State();
    for (std::size_t row = 1; row < expected.cells.size(); ++row)
    {
        for (const long col : uncertaintyColumns)
        {
            expected.cells[row][static_cast<std::size_t>(col)] = "0";
        }
    }
    expected.mnemonic = "round trip";
    const QString path = PathOf("round trip.s2p");
    Run(ID_EXPORT_S2P, path);
    grid->SetRows(2);
    Run(ID_IMPORT_S2P, path);
    EXPECT_TRUE(boxes.empty());
    const EditorState state = State();
    EXPECT_EQ(state.cells, expected.cells);
    EXPECT_EQ(state.mnemonic, expected.mnemonic);
}

TEST_F(FileCommandTest, UncertaintyExportThenImportGivesBackTheUncertaintyTexts)
{
    std::vector<Point> points = NumberedPoints(26);
    CTamrix source = DataSet(points);
    Open(source);
    const EditorState expected = State();
    const QString path = PathOf("unc.txt");
    Run(ID_EXPORT_UNCERTAINTY, path);

    for (Point& point : points)
    {
        for (SParaValue& value : point.values)
        {
            std::get<2>(value) = 0;
        }
    }
    CTamrix target = DataSet(points);
    Open(target);
    ASSERT_NE(State().cells, expected.cells);
    Run(ID_IMPORT_UNCERTAINTY, path);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(State(), expected);
}

// ---------------------------------------------------------------------------

struct FailedImportCase
{
    const char* scenario;
    int command;
    const char* content; // nullptr: no such file
    bool parserError;
    bool fileNameShown;
    const char* message;
};

using FailedImport = rows::Fixture<FileCommandTest, FailedImportCase>;

TEST_P(FailedImport, ShowsTheReadersErrorAndChangesNothing)
{
    const FailedImportCase& c = GetParam();
    CTamrix set = DataSet(NumberedPoints(5));
    Open(set);
    const EditorState before = State();
    const QString path = c.content != nullptr ? InputFile("bad file.s2p", c.content) : PathOf("missing.s2p");

    Run(c.command, path);
    EXPECT_EQ(State(), before);
    ASSERT_EQ(boxes.size(), c.parserError ? 2u : 1u);
    if (c.parserError)
    {
        EXPECT_EQ(boxes[0].caption, "Parser Error");
        EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
        EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::Ok);
        EXPECT_TRUE(boxes[0].text.startsWith("Expecting <")) << boxes[0].text.toStdString();
        EXPECT_TRUE(boxes[0].text.endsWith("\"\n\nCheck input file in this location!")) << boxes[0].text.toStdString();
    }
    const MessageBoxRequest& error = boxes.back();
    const QString message = QString::fromLatin1(c.message);
    EXPECT_EQ(error.text, c.fileNameShown ? "\"" + path + "\": " + message : message);
    EXPECT_EQ(error.caption, AfxGetAppName());
    EXPECT_EQ(error.icon, MessageBoxIcon::Stop);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FailedImport,
    testing::Values(
        FailedImportCase{"SyntaxErrorInData", ID_IMPORT_S2P, "# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9 10\r\n", true, true,
                         "Measurement data file could not be parsed!"},
        FailedImportCase{"NoOptionLine", ID_IMPORT_S2P, "1 2 3 4 5 6 7 8 9\r\n", true, true,
                         "S2P file option line corrupt or not found!"},
        FailedImportCase{"UncertaintySyntaxError", ID_IMPORT_UNCERTAINTY, "# HZ U\r\n1 2 x\r\n", true, true,
                         "Measurement data file could not be parsed!"},
        FailedImportCase{"UncertaintyFileForS2P", ID_IMPORT_S2P, "# HZ U\r\n1 2 3 4 5\r\n", false, false,
                         "S2P file contains wrong parameter type!"},
        FailedImportCase{"ZParameterFileForS2P", ID_IMPORT_S2P, "# HZ Z RI R 50\r\n1 2 3 4 5 6 7 8 9\r\n", false,
                         false, "S2P file contains wrong parameter type!"},
        FailedImportCase{"S2PFileForUncertainty", ID_IMPORT_UNCERTAINTY, "# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9\r\n",
                         false, false, "S2P file contains wrong parameter type!"},
        FailedImportCase{"ByteOrderMark", ID_IMPORT_S2P, "\xef\xbb\xbf# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9\r\n", false,
                         true, "Wrong encoding, UTF-8 or UTF-16 format is not supported."},
        FailedImportCase{"MissingFileForS2P", ID_IMPORT_S2P, nullptr, false, true, "File read access failed!"},
        FailedImportCase{"MissingFileForUncertainty", ID_IMPORT_UNCERTAINTY, nullptr, false, true,
                         "File read access failed!"}),
    rows::Name());

TEST_F(FileCommandTest, ImportFindsAFileWhoseNameIsNotLatin1)
{
    CTamrix set = DataSet(NumberedPoints(5));
    Open(set);
    const QString name = QString::fromUtf8("Kabel \xe2\x82\xac \xce\xa9.s2p");
    Run(ID_IMPORT_S2P, InputFile(name, RiFile(2)));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(grid->GetRows(), 3);
    EXPECT_EQ(Field(IDC_MNEMONIC)->text(), QString::fromUtf8("Kabel \xe2\x82\xac \xce\xa9"));
}

// ---------------------------------------------------------------------------

struct FailedExportCase
{
    const char* scenario;
    int command;
    bool fileExists; // else the parent of the path is a regular file
};

using FailedExport = rows::Fixture<FileCommandTest, FailedExportCase>;

TEST_P(FailedExport, IsReportedAndLeavesNoFileBehind)
{
    const FailedExportCase& c = GetParam();
    CTamrix set = DataSet(NumberedPoints(300));
    Open(set);
    const EditorState before = State();
    QString path;
    if (c.fileExists)
    {
        path = InputFile("kept.s2p", "old content");
        const ScopedFileSizeLimit limit(1024);
        ASSERT_TRUE(limit.IsActive());
        Run(c.command, path);
    }
    else
    {
        InputFile("plain", "plain");
        path = PathOf("plain/export.s2p");
        Run(c.command, path);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "\"" + path + "\": File write access failed!");
    EXPECT_EQ(boxes[0].caption, AfxGetAppName());
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(State(), before);
    if (c.fileExists)
    {
        EXPECT_EQ(ReadFile(path), "old content");
        EXPECT_EQ(FolderEntries(PathOf(".")), QStringList{"kept.s2p"});
    }
    else
    {
        EXPECT_EQ(FolderEntries(PathOf(".")), QStringList{"plain"});
        EXPECT_EQ(ReadFile(PathOf("plain")), "plain");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, FailedExport,
    testing::Values(FailedExportCase{"S2PFileTooLargeToWrite", ID_EXPORT_S2P, true},
                    FailedExportCase{"UncertaintyFileTooLargeToWrite", ID_EXPORT_UNCERTAINTY, true},
                    FailedExportCase{"S2PIntoAPlainFile", ID_EXPORT_S2P, false},
                    FailedExportCase{"UncertaintyIntoAPlainFile", ID_EXPORT_UNCERTAINTY, false}),
    rows::Name());

// ---------------------------------------------------------------------------

struct DialogCase
{
    const char* scenario;
    int command;
    bool open;
    const char* extension;
    const char* filter;
    const char* title;
};

using FileDialogOfCommand = rows::Fixture<FileCommandTest, DialogCase>;

TEST_P(FileDialogOfCommand, AsksForTheFileAndCancelOrAnEmptyNameChangesNothing)
{
    const DialogCase& c = GetParam();
    CTamrix set = DataSet(NumberedPoints(3));
    Open(set);
    const EditorState before = State();
    Choose(c.command);
    fileAnswers.push_back(QString());
    Choose(c.command);

    ASSERT_EQ(fileRequests.size(), 2u);
    for (const FileDialogRequest& request : fileRequests)
    {
        EXPECT_EQ(request.parent, dialog.get());
        EXPECT_EQ(request.open, c.open);
        EXPECT_EQ(request.defaultExtension, QString::fromLatin1(c.extension));
        EXPECT_EQ(request.nameFilters, ConvertFileDialogFilter(QString::fromLatin1(c.filter)));
        EXPECT_TRUE(request.fileName.isEmpty());
        EXPECT_FALSE(request.overwritePrompt);
        EXPECT_EQ(request.title, QString::fromLatin1(c.title));
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(FolderEntries(PathOf(".")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Commands, FileDialogOfCommand,
                         testing::Values(DialogCase{"ImportS2P", ID_IMPORT_S2P, true, "S2P", s2pFilter,
                                                    "Select S2P file"},
                                         DialogCase{"ImportUncertainty", ID_IMPORT_UNCERTAINTY, true, "TXT", txtFilter,
                                                    "Select uncertainty file"},
                                         DialogCase{"ExportS2P", ID_EXPORT_S2P, false, "S2P", s2pFilter,
                                                    "Select S2P file for export"},
                                         DialogCase{"ExportUncertainty", ID_EXPORT_UNCERTAINTY, false, "TXT",
                                                    txtFilter, "Select uncertainty file for export"}),
                         rows::Name());

// ---------------------------------------------------------------------------

struct OpenEditCase
{
    const char* scenario;
    int command;
    const char* fileName;
};

using OpenEditBeforeFileCommand = rows::Fixture<FileCommandTest, OpenEditCase>;

TEST_P(OpenEditBeforeFileCommand, IsCommittedOrKeepsTheCommandFromRunning)
{
    const OpenEditCase& c = GetParam();
    for (const bool number : {true, false})
    {
        CTamrix set = DataSet(NumberedPoints(3));
        Open(set);
        fileRequests.clear();
        const QString path = InputFile(QString::fromLatin1(c.fileName), c.command == ID_IMPORT_UNCERTAINTY
                                                                             ? "# HZ U\r\n1 0.5 0.5 0.5 0.5\r\n"
                                                                             : RiFile(3));
        const QString old = Cell(2, 5);
        StartTyping(2, 5, number ? "0.75" : "abc");
        Run(c.command, path);
        if (number)
        {
            EXPECT_FALSE(grid->IsEditing());
            EXPECT_EQ(fileRequests.size(), 1u);
            if (c.command == ID_EXPORT_S2P)
            {
                EXPECT_NE(ReadFile(path).find(" 0.75 "), std::string::npos) << "the committed text is exported";
            }
        }
        else
        {
            EXPECT_TRUE(grid->IsEditing());
            EXPECT_TRUE(fileRequests.empty()) << "no file dialog opened";
            EXPECT_EQ(Cell(2, 5), old);
            fileAnswers.clear();
        }
        dialog.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, OpenEditBeforeFileCommand,
                         testing::Values(OpenEditCase{"ImportS2P", ID_IMPORT_S2P, "in.s2p"},
                                         OpenEditCase{"ImportUncertainty", ID_IMPORT_UNCERTAINTY, "in.txt"},
                                         OpenEditCase{"ExportS2P", ID_EXPORT_S2P, "out.s2p"},
                                         OpenEditCase{"ExportUncertainty", ID_EXPORT_UNCERTAINTY, "out.txt"}),
                         rows::Name());

// ---------------------------------------------------------------------------

TEST_F(FileCommandTest, ReadOnlyEditorImportsNothingAndExports)
{
    CTamrix set = DataSet(TwoPoints());
    set.SetSParaDeviceFlags(0, sParaDevice_writeProtected);
    Open(set, true);
    const EditorState before = State();
    const QString input = InputFile("in.s2p", RiFile(3));
    for (const int id : {ID_IMPORT_S2P, ID_IMPORT_UNCERTAINTY})
    {
        EXPECT_FALSE(dialog->GetMenu().FindMenuItem(static_cast<UINT>(id), MF_BYCOMMAND)->isEnabled()) << id;
        fileAnswers.push_back(input);
        Choose(id);
        fileAnswers.clear();
        dialog->SendCommand(id);
    }
    EXPECT_TRUE(fileRequests.empty());
    EXPECT_EQ(State(), before);

    Run(ID_EXPORT_S2P, PathOf("ro.s2p"));
    Run(ID_EXPORT_UNCERTAINTY, PathOf("ro.txt"));
    EXPECT_EQ(ReadFile(PathOf("ro.s2p")).substr(0, 30), "! Attenuator\r\n# HZ S RI R 50\r\n");
    EXPECT_EQ(ReadFile(PathOf("ro.txt")).size(), 14u + 8u + 2u * (5u * 13u + 1u));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FileCommandTest, FileMenuWorksFromTheKeyboard)
{
    CTamrix set = DataSet(NumberedPoints(3));
    Open(set);
    fileAnswers.push_back(InputFile("keys.s2p", RiFile(7)));
    QTest::keyClick(dialog.get(), Qt::Key_F, Qt::AltModifier);
    Settle();
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr) << "Alt+F opens the File menu";
    QTest::keyClick(popup, Qt::Key_I);
    Settle();
    EXPECT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(grid->GetRows(), 8);
    EXPECT_EQ(Field(IDC_MNEMONIC)->text(), "keys");
}

// ---------------------------------------------------------------------------

TEST_F(FileCommandTest, ImportedPointsReachTheDataSetWithOk)
{
    CTamrix set = DataSet(NumberedPoints(5));
    MiscNum misc = set.GetMiscNum();
    misc.minPower = 1e-9f;
    misc.maxPower = 0.1f;
    set.SetMiscNum(misc);
    Open(set);
    // Values a single-precision data set holds exactly.
    Run(ID_IMPORT_S2P, InputFile("Coupler 20dB.s2p", "# MHZ S RI R 50\r\n"
                                                      "100 0.125 -0.25 0.5 0 0.0625 0.75 -0.5 0.375\r\n"
                                                      "250 0.25 -0.125 0.25 0.25 1 -1 0.5 0.5\r\n"));
    Run(ID_IMPORT_UNCERTAINTY, InputFile("Coupler 20dB.txt", "# MHZ U\r\n100 0.01 0.02 0.03 0.04\r\n"));
    QTest::mouseClick(dialog->GetDlgItemAs<QPushButton>(IDOK), Qt::LeftButton);
    Settle();
    ASSERT_TRUE(boxes.empty());
    ASSERT_FALSE(dialog->isVisible());
    ASSERT_EQ(dialog->result(), IDOK);

    std::string stored;
    CTamrixUtil::StoreTMXToBuffer2(set, stored, '3', '0');
    CTamrix reloaded;
    reloaded.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromBuffer2(reloaded, stored);
    EXPECT_EQ(reloaded.GetSPDMnemonic(0), "Coupler 20dB");
    EXPECT_EQ(reloaded.GetSParaFreqNumber(0), 2);
    EXPECT_FLOAT_EQ(static_cast<float>(reloaded.GetSParaMinPower(0)), 4e-9f);
    EXPECT_FLOAT_EQ(static_cast<float>(reloaded.GetSParaMaxPower(0)), 0.4f);
    EXPECT_EQ(reloaded.GetSParaFreq(0, 0), 100e6);
    EXPECT_EQ(reloaded.GetSParaFreq(0, 1), 250e6);
    const SParaValue first[4] = {{0.125, -0.25, 0.01}, {0.5, 0, 0.02}, {0.0625, 0.75, 0.03}, {-0.5, 0.375, 0.04}};
    const SParaValue second[4] = {{0.25, -0.125, 0.01}, {0.25, 0.25, 0.02}, {1, -1, 0.03}, {0.5, 0.5, 0.04}};
    for (int s = 0; s < 4; ++s)
    {
        for (const auto& [point, values] : {std::pair<long, const SParaValue*>{0, first}, {1, second}})
        {
            const SParaValue value = reloaded.GetSParaValue(0, point, tags[s]);
            EXPECT_EQ(std::get<0>(value), std::get<0>(values[s])) << point << tags[s]->name;
            EXPECT_EQ(std::get<1>(value), std::get<1>(values[s])) << point << tags[s]->name;
            EXPECT_FLOAT_EQ(static_cast<float>(std::get<2>(value)), static_cast<float>(std::get<2>(values[s])))
                << point << tags[s]->name;
        }
    }
}

} // namespace
