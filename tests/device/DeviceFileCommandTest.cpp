// The device editor's File menu through the real editor: menu items chosen, file
// dialogs answered, files written and read on disk. After a row's steps the
// editor's table is read back through both exports, byte for byte.

#include "CellEdit.h"
#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialogFilter.h"
#include "FileDialogPresenter.h"
#include "Menu.h"
#include "MessageBox.h"
#include "MessageBoxPresenter.h"
#include "Resource.h"
#include "S2PFileFormat.h"
#include "Tamrix.h"
#include "TextConversion.h"

#include "ScopedFileSizeLimit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "../platform/ui/Rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{

using rows::operator<<;

std::string ReadFile(const QString& path)
{
    std::ifstream stream(WideToPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Device 0 of a user data set; the sensor's own limits and stock number decide the limits an import
// derives. Points 0 and 1 hold values of both notations, the others distinct values of every magnitude.
struct Device
{
    int points = 2;
    const char* mnemonic = "Attenuator";
    float minPower = 1e-9f;
    float maxPower = 0.1f;
    int stockList = -1; // a stock number of that list, or one of none
    bool readOnly = false;
};

void Fill(CTamrix& set, const Device& d)
{
    const SParaType<1>* const tags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12, &SParaType<1>::S22};
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
            set.SetSParaValue(0, i, tags[s], i < 2 ? first[i][s] : SParaValue(v, -v / 3, v / 700));
        }
    }
}

// The device editor on device 0, shown (not modal). Message boxes are recorded and answered OK;
// file dialogs are recorded and answered from `answers` (nothing left: Cancel).
class FileCommands : public testing::Test
{
public:
    void Open(bool readOnly)
    {
        dialog = std::make_unique<CDevice>(0, &set, readOnly);
        ASSERT_TRUE(dialog->Create());
        grid = dialog->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
        dialog->show();
        dialog->activateWindow();
        (void)QTest::qWaitForWindowActive(dialog.get());
        Settle();
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i)
        {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
    QAction* Item(int id) const { return dialog->GetMenu().FindMenuItem(static_cast<UINT>(id), MF_BYCOMMAND); }

    // Chooses the menu item with its file dialog answered by `path`; an answer not asked for is dropped.
    void Run(int id, const std::optional<QString>& path, bool send = false)
    {
        answers.push_back(path);
        send ? dialog->SendCommand(id) : Item(id)->trigger();
        Settle();
        answers.clear();
    }

    // Both exports, into a folder of their own.
    std::pair<std::string, std::string> Exports()
    {
        Run(ID_EXPORT_S2P, exports.filePath("e.s2p"));
        Run(ID_EXPORT_UNCERTAINTY, exports.filePath("e.txt"));
        return {ReadFile(exports.filePath("e.s2p")), ReadFile(exports.filePath("e.txt"))};
    }

    CTamrix set;
    std::unique_ptr<CDevice> dialog;
    CEditFlexGrid* grid = nullptr;
    QTemporaryDir folder;
    QTemporaryDir exports;
    std::vector<MessageBoxRequest> boxes;
    std::vector<FileDialogRequest> requests;
    std::deque<std::optional<QString>> answers;
    ScopedMessageBoxPresenter boxPresenter{[this](const MessageBoxRequest& request) { return boxes.push_back(request), IDOK; }};
    ScopedFileDialogPresenter filePresenter{[this](const FileDialogRequest& request) {
        const std::optional<QString> answer = answers.empty() ? std::nullopt : answers.front();
        return requests.push_back(request), answers.empty() ? void() : answers.pop_front(), answer;
    }};
};

using Step = std::function<void(FileCommands&)>;

Step Input(const char* name, std::string content)
{
    return [=](FileCommands& t) { std::ofstream(WideToPath(t.Path(name)), std::ios::binary) << content; };
}

// The command on a file of the folder; `limit`: writes beyond 1 KiB fail meanwhile; `send`: sent as
// the window's own command, around the menu.
Step Run(int id, const char* name, bool limit = false, bool send = false)
{
    return [=](FileCommands& t) {
        std::optional<ScopedFileSizeLimit> sizeLimit;
        limit ? sizeLimit.emplace(1024), void() : void();
        t.Run(id, t.Path(name), send);
    };
}

Step Import(int id, const char* name, std::string content)
{
    return [=](FileCommands& t) { Input(name, content)(t), Run(id, name)(t); };
}

// Double-clicks the cell and types into its editor.
Step Edit(long row, long col, const char* text)
{
    return [=](FileCommands& t) {
        const QPoint at = t.grid->visualRect(t.grid->model()->index(int(row - 1), int(col - 1))).center();
        QTest::mouseClick(t.grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(t.grid->viewport(), Qt::LeftButton, {}, at);
        t.Settle();
        QTest::keyClicks(&t.grid->GetCellEdit(), text);
    };
}

const Step editorClosed = [](FileCommands& t) { EXPECT_FALSE(t.grid->IsEditing()); };

// What a row expects of an export: its bytes, "=" the bytes at the opening, "" not looked at. Boxes:
// caption (empty: the program's name), TAB, text, with "@" for the folder of the files. Fields: mnemonic,
// lower and upper limit separated by '|', "*" not looked at; "=" all as at the opening.
struct Session
{
    const char* scenario;
    Device device;
    std::vector<Step> steps;
    std::string s2p = "=";
    std::string txt = "=";
    std::vector<const char*> boxes = {};
    const char* fields = "=";
    const char* folder = nullptr; // "name=content|..." of the files the steps left
};

using FileCommand = rows::Fixture<FileCommands, Session>;

TEST_P(FileCommand, ShowsAndWritesWhatTheFileSays)
{
    const Session& c = GetParam();
    Fill(set, c.device);
    Open(c.device.readOnly);
    const auto opening = Exports();
    ASSERT_FALSE(opening.first.empty() || opening.second.empty());
    const auto fields = [this] {
        const auto text = [this](int id) { return dialog->GetDlgItemAs<QLineEdit>(id)->text(); };
        return QStringList{text(IDC_MNEMONIC), text(IDC_LOWER_LIMIT), text(IDC_UPPER_LIMIT)};
    };
    const QStringList openingFields = fields();
    for (const Step& step : c.steps)
    {
        step(*this);
    }

    std::vector<std::string> shown;
    for (const MessageBoxRequest& box : boxes)
    {
        EXPECT_TRUE(box.icon == MessageBoxIcon::Stop && box.buttons == MessageBoxButtons::Ok);
        shown.push_back(QString(box.caption == AfxGetAppName() ? "" : box.caption).append('\t').append(box.text).toStdString());
    }
    std::vector<std::string> expected;
    for (const char* box : c.boxes)
    {
        expected.push_back(QString::fromUtf8(box).replace("@", folder.path() + "/").toStdString());
    }
    EXPECT_EQ(shown, expected);
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
        files << name + "=" + QString::fromStdString(ReadFile(folder.filePath(name)));
    }
    EXPECT_TRUE(c.folder == nullptr || files.join("|") == c.folder) << files.join("|").toStdString();
    const auto after = Exports();
    EXPECT_TRUE(c.s2p.empty() || after.first == (c.s2p == "=" ? opening.first : c.s2p)) << after.first;
    EXPECT_TRUE(c.txt.empty() || after.second == (c.txt == "=" ? opening.second : c.txt)) << after.second;
}

const std::string s2pHeader = "# HZ S RI R 50\r\n";
// The two first points as the exports write them.
const std::string twoPointLines = "         1e9        0.125        -0.25          0.5        0.375         0.75"
                                  "       -0.875      -0.0625       0.1875\r\n"
                                  "       2.5e9       1.5e-5           -3         0.25        2.5e5           -1"
                                  "            0          0.5         -0.5\r\n";
const std::string twoPoints = "! Attenuator\r\n" + s2pHeader + twoPointLines;
const std::string twoUncertainties = "! Attenuator\r\n# HZ U\r\n"
                                     "         1e9       0.0625         0.01         0.02         0.03\r\n"
                                     "       2.5e9         0.04         0.05         0.06         0.07\r\n";
const std::string zeroUncertainties = "# HZ U\r\n"
                                      "         1e9            0            0            0            0\r\n"
                                      "       2.5e9            0            0            0            0\r\n";

// Lines at 1, 2 and 3 GHz; between 2 and 3 GHz each column has its larger value in another line.
Step Uncertainty(const char* frequencyCell)
{
    return [=](FileCommands& t) {
        t.grid->SetTextMatrix(1, 1, frequencyCell);
        Import(ID_IMPORT_UNCERTAINTY, "u.txt", "# GHZ U\r\n1 0.011 0.012 0.013 0.014\r\n2 0.021 0.042 0.023 0.044\r\n"
                                               "3 0.031 0.032 0.033 0.034\r\n")(t);
    };
}

Step S21(const char* pairs)
{
    return Import(ID_IMPORT_S2P, "gain.s2p", std::string("# GHZ S RI R 50\r\n") + pairs);
}

constexpr float none = std::numeric_limits<float>::quiet_NaN();
const Device onePoint{1, ""};
const char* const writeFailed = "\t\"@kept.s2p\": File write access failed!";

INSTANTIATE_TEST_SUITE_P(
    Files, FileCommand,
    testing::Values(
        Session{"ExportsWriteTheGridTextsByteForByte", {}, {}, twoPoints, twoUncertainties},
        // S2P import: the whole table, the device named after the file, the limits derived.
        Session{"S2PImportReplacesTheTable", {5}, {Import(ID_IMPORT_S2P, "sweep.2.s2p", twoPoints)},
                "! sweep.2\r\n" + s2pHeader + twoPointLines, "! sweep.2\r\n" + zeroUncertainties, {}, "sweep.2|*|*"},
        Session{"ExportThenImportGivesTheTableBack", {15, "round trip"},
                {Run(ID_EXPORT_S2P, "round trip.s2p"), [](FileCommands& t) { t.grid->SetRows(2); }, Run(ID_IMPORT_S2P, "round trip.s2p")},
                "=", "", {}, "round trip|*|*"},
        Session{"UncertaintyExportThenImportGivesThemBack", {15},
                {Run(ID_EXPORT_UNCERTAINTY, "u.txt"),
                 [](FileCommands& t) { for (long cell = 0; cell < 60; ++cell) t.grid->SetTextMatrix(cell / 4 + 1, cell % 4 * 3 + 4, "0"); },
                 Run(ID_IMPORT_UNCERTAINTY, "u.txt")}},
        Session{"MegahertzDecibel", onePoint, {Import(ID_IMPORT_S2P, "c.s2p", "# MHZ S DB R 50\r\n150 -6.0206 60 0 45 -20 120 -40 -30\r\n")},
                "! c\r\n" + s2pHeader + "       150e6         0.25     0.433013     0.707107     0.707107        -0.05    0.0866025"
                "   0.00866025       -0.005\r\n", "", {}, "c|*|*"},
        Session{"BareOptionLineIsGigahertzMagnitudeAngle", onePoint, {Import(ID_IMPORT_S2P, "c.d.s2p", "#\r\n1.25 1 0 0.5 30 0.25 -30 2 30\r\n")},
                "! c.d\r\n" + s2pHeader + "      1.25e9            1            0     0.433013         0.25     0.216506       -0.125"
                "      1.73205            1\r\n", "", {}, "c.d|*|*"},
        Session{"NameOutsideLatin1", {}, {Import(ID_IMPORT_S2P, "Kabel \u20ac \u03a9.s2p", twoPoints)},
                "! Kabel  \r\n" + s2pHeader + twoPointLines, "", {}, "Kabel \u20ac \u03a9|*|*"},
        Session{"LimitsDividedByTheLargestGain", {}, {S21("1 0 0 0.06 0.08 0 0 0 0\r\n2 0 0 0.01 0 0 0 0 0\r\n3 0 0 0 -0.05 0 0 0 0\r\n")}, "", "", {}, "*|100e-9|10"},
        Session{"LimitsKeepThreeDigits", {}, {S21("1 0 0 0 0.3 0 0 0 0\r\n")}, "", "", {}, "*|11.1e-9|1.11"},
        Session{"OneSensorLimitMissing", {2, "", 1e-9f, none, 2}, {S21("1 0 0 0.1 0 0 0 0 0\r\n")}, "", "", {}, "*|30e-6|10"},
        Session{"UnknownModelHasNoLowerLimit", {2, "", none, none}, {S21("1 0 0 0.1 0 0 0 0 0\r\n")}, "", "", {}, "*|0|10"},
        Session{"S21ZeroKeepsTheLimits", {}, {S21("1 0 0 0 0 0 0 0 0\r\n2 0 0 0 0 0 0 0 0\r\n")}, "", "", {}, "*|=|="},
        Session{"S21InfiniteKeepsTheLimits", {}, {S21("1 0 0 inf 0 0 0 0 0\r\n")}, "", "", {}, "*|=|="},
        // Uncertainty import: the line that applies at each grid frequency, and nothing else.
        Session{"UncertaintyBelowTheFirstLine", onePoint, {Uncertainty("500e6")}, "",
                "# HZ U\r\n       500e6        0.011        0.012        0.013        0.014\r\n"},
        Session{"UncertaintyWithinOnePpmOfALine", onePoint, {Uncertainty("2.000001e9")}, "",
                "# HZ U\r\n  2.000001e9        0.021        0.042        0.023        0.044\r\n"},
        Session{"UncertaintyBetweenTakesTheLargerOfEach", onePoint, {Uncertainty("2.5e9")}, "",
                "# HZ U\r\n       2.5e9        0.031        0.042        0.033        0.044\r\n"},
        Session{"UncertaintyAboveTheLastLine", onePoint, {Uncertainty("40e9")}, "",
                "# HZ U\r\n        40e9        0.031        0.032        0.033        0.034\r\n"},
        Session{"UncertaintyAtATextCountsAsZero", onePoint, {Uncertainty("abc")}, "",
                "# HZ U\r\n         abc        0.011        0.012        0.013        0.014\r\n"},
        Session{"UncertaintyChangesNothingElse", {}, {Import(ID_IMPORT_UNCERTAINTY, "flat.txt", "# MHZ U\r\n1 0.25 0.25 0.25 0.25\r\n")},
                "=", "! Attenuator\r\n# HZ U\r\n         1e9         0.25         0.25         0.25         0.25\r\n"
                "       2.5e9         0.25         0.25         0.25         0.25\r\n"},
        // The mnemonic as the exports' comment line.
        Session{"CommentOfTabsAndLetters", {0, "Pad\t20 dB Pr\u00e4zision \u20ac"}, {}, "! Pad_20 dB Pr_zision \r\n" + s2pHeader,
                "! Pad_20 dB Pr_zision \r\n# HZ U\r\n"},
        Session{"NoCommentForNoMnemonic", {0, ""}, {}, s2pHeader, "# HZ U\r\n"},
        Session{"CommentAsTyped", {0},
                {[](FileCommands& t) {
                    t.dialog->GetDlgItem(IDC_MNEMONIC)->setFocus();
                    QTest::keyClick(t.dialog->GetDlgItem(IDC_MNEMONIC), Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(t.dialog->GetDlgItem(IDC_MNEMONIC), "Typed name");
                }},
                "! Typed name\r\n" + s2pHeader, "! Typed name\r\n# HZ U\r\n", {}, "Typed name|=|="},
        // Refused files: the reader's report, and nothing changes.
        Session{"SyntaxErrorInData", {}, {Import(ID_IMPORT_S2P, "bad.s2p", "# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9 10\r\n")}, "=", "=",
                {"Parser Error\tExpecting <eol> here:\n\" 10\r\n\r\n\"\n\nCheck input file in this location!",
                 "\t\"@bad.s2p\": Measurement data file could not be parsed!"}},
        Session{"UncertaintySyntaxError", {}, {Import(ID_IMPORT_UNCERTAINTY, "bad.txt", "# HZ U\r\n1 2 x\r\n")}, "=", "=",
                {"Parser Error\tExpecting <data_line_list> here:\n\"1 2 x\r\n\r\n\"\n\nCheck input file in this location!",
                 "\t\"@bad.txt\": Measurement data file could not be parsed!"}},
        Session{"UncertaintyFileForS2P", {}, {Import(ID_IMPORT_S2P, "u.s2p", "# HZ U\r\n1 2 3 4 5\r\n")}, "=", "=",
                {"\tS2P file contains wrong parameter type!"}},
        Session{"S2PFileForUncertainty", {}, {Import(ID_IMPORT_UNCERTAINTY, "s.txt", "# HZ S RI R 50\r\n1 2 3 4 5 6 7 8 9\r\n")}, "=", "=",
                {"\tS2P file contains wrong parameter type!"}},
        Session{"MissingFiles", {}, {Run(ID_IMPORT_S2P, "none.s2p"), Run(ID_IMPORT_UNCERTAINTY, "none.txt")}, "=", "=",
                {"\t\"@none.s2p\": File read access failed!", "\t\"@none.txt\": File read access failed!"}},
        // Failed exports: reported, the old file kept, nothing left beside it.
        Session{"ExportsTooLargeToWrite", {40},
                {Input("kept.s2p", "old"), Run(ID_EXPORT_S2P, "kept.s2p", true), Run(ID_EXPORT_UNCERTAINTY, "kept.s2p", true)}, "=", "=",
                {writeFailed, writeFailed}, "=", "kept.s2p=old"},
        Session{"ExportsIntoAPlainFile", {}, {Input("plain", "plain"), Run(ID_EXPORT_S2P, "plain/e.s2p"), Run(ID_EXPORT_UNCERTAINTY, "plain/e.txt")},
                "=", "=", {"\t\"@plain/e.s2p\": File write access failed!", "\t\"@plain/e.txt\": File write access failed!"}, "=", "plain=plain"},
        // An open edit is committed first; one that is not a number keeps every command from running.
        Session{"OpenEditCommittedByEveryCommand", {},
                {Edit(1, 5, "0.75"), Import(ID_IMPORT_S2P, "in.s2p", twoPoints), editorClosed, Edit(1, 5, "0.75"),
                 Import(ID_IMPORT_UNCERTAINTY, "in.txt", "# HZ U\r\n1 0.5 0.5 0.5 0.5\r\n"), editorClosed, Edit(1, 5, "0.75"),
                 Run(ID_EXPORT_S2P, "out.s2p"), editorClosed, Edit(1, 5, "0.75"), Run(ID_EXPORT_UNCERTAINTY, "out.txt"), editorClosed},
                "! in\r\n" + s2pHeader + "         1e9        0.125        -0.25         0.75        0.375         0.75       -0.875"
                "      -0.0625       0.1875\r\n" + twoPointLines.substr(118),
                "! in\r\n# HZ U\r\n         1e9          0.5          0.5          0.5          0.5\r\n"
                "       2.5e9          0.5          0.5          0.5          0.5\r\n", {}, "in|*|*"},
        Session{"TextInTheEditorStopsEveryCommand", {},
                {Edit(1, 5, "abc"), Import(ID_IMPORT_S2P, "in.s2p", "x"), Import(ID_IMPORT_UNCERTAINTY, "in.txt", "x"),
                 Run(ID_EXPORT_S2P, "out.s2p"), Run(ID_EXPORT_UNCERTAINTY, "out.txt"),
                 [](FileCommands& t) { QTest::keyClick(&t.grid->GetCellEdit(), Qt::Key_Escape); }},
                "=", "=", {}, "=", "in.s2p=x|in.txt=x"},
        Session{"ReadOnlyImportsNothingAndExports", {2, "Attenuator", 1e-9f, 0.1f, -1, true},
                {[](FileCommands& t) { EXPECT_FALSE(t.Item(ID_IMPORT_S2P)->isEnabled() || t.Item(ID_IMPORT_UNCERTAINTY)->isEnabled()); },
                 Import(ID_IMPORT_S2P, "in.s2p", s2pHeader + "1 1 1 1 1 1 1 1 1\r\n"), Import(ID_IMPORT_UNCERTAINTY, "in.txt", "# HZ U\r\n1 1 1 1 1\r\n"),
                 Run(ID_IMPORT_S2P, "in.s2p", false, true), Run(ID_IMPORT_UNCERTAINTY, "in.txt", false, true)},
                twoPoints, twoUncertainties},
        Session{"FileMenuFromTheKeyboard", {},
                {Input("keys.s2p", twoPoints),
                 [](FileCommands& t) {
                     t.answers.push_back(t.Path("keys.s2p"));
                     QTest::keyClick(t.dialog.get(), Qt::Key_F, Qt::AltModifier);
                     t.Settle();
                     ASSERT_NE(QApplication::activePopupWidget(), nullptr);
                     QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_I);
                     t.Settle();
                     t.answers.clear();
                 }},
                "! keys\r\n" + s2pHeader + twoPointLines, "", {}, "keys|*|*"},
        Session{"ImportedFilesStoredByOk", {5},
                {Import(ID_IMPORT_S2P, "Coupler 20dB.s2p", "# MHZ S RI R 50\r\n100 0.125 -0.25 0.5 0 0.0625 0.75 -0.5 0.375\r\n"
                                                           "250 0.25 -0.125 0.25 0.25 1 -1 0.5 0.5\r\n"),
                 Import(ID_IMPORT_UNCERTAINTY, "Coupler 20dB.txt", "# MHZ U\r\n100 0.01 0.02 0.03 0.04\r\n"),
                 [](FileCommands& t) {
                     QTest::mouseClick(t.dialog->GetDlgItemAs<QPushButton>(IDOK), Qt::LeftButton);
                     t.Settle();
                     ASSERT_EQ(t.dialog->result(), IDOK);
                     t.Open(false);
                 }},
                "! Coupler 20dB\r\n" + s2pHeader +
                    "       100e6        0.125        -0.25          0.5            0       0.0625         0.75         -0.5        0.375\r\n"
                    "       250e6         0.25       -0.125         0.25         0.25            1           -1          0.5          0.5\r\n",
                "! Coupler 20dB\r\n# HZ U\r\n       100e6         0.01         0.02         0.03         0.04\r\n"
                "       250e6         0.01         0.02         0.03         0.04\r\n", {}, "Coupler 20dB|4e-9|400e-3"}),
    rows::Name());

struct DialogCase
{
    const char* scenario;
    int command;
    bool open;
    const char* extension;
    const char* title;
};

using FileDialogOfCommand = rows::Fixture<FileCommands, DialogCase>;

TEST_P(FileDialogOfCommand, AsksForTheFileAndCancelOrAnEmptyNameChangesNothing)
{
    const DialogCase& c = GetParam();
    Fill(set, Device{});
    Open(false);
    Run(c.command, std::nullopt);
    Run(c.command, QString());
    ASSERT_EQ(requests.size(), 2u);
    const QString filter = QString("*.%1 Files|*.%1;|All Files (*.*)|*.*||").arg(QString(c.extension).toLower());
    for (const FileDialogRequest& r : requests)
    {
        EXPECT_EQ(std::tie(r.parent, r.open, r.defaultExtension, r.nameFilters, r.fileName, r.overwritePrompt, r.title),
                  std::make_tuple(dialog.get(), c.open, QString(c.extension), ConvertFileDialogFilter(filter), QString(), false, QString(c.title)));
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Exports(), std::make_pair(twoPoints, twoUncertainties));
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Commands, FileDialogOfCommand,
                         testing::Values(DialogCase{"ImportS2P", ID_IMPORT_S2P, true, "S2P", "Select S2P file"},
                                         DialogCase{"ImportUncertainty", ID_IMPORT_UNCERTAINTY, true, "TXT", "Select uncertainty file"},
                                         DialogCase{"ExportS2P", ID_EXPORT_S2P, false, "S2P", "Select S2P file for export"},
                                         DialogCase{"ExportUncertainty", ID_EXPORT_UNCERTAINTY, false, "TXT", "Select uncertainty file for export"}),
                         rows::Name());

} // namespace
