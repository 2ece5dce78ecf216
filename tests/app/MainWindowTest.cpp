#include "../platform/ui/Rows.h"
#include "Bitmaps.h"
#include "CalDate.h"
#include "CalInfoDialog.h"
#include "CellEdit.h"
#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialogPresenter.h"
#include "GuiTest.h"
#include "ListCtrl.h"
#include "Menu.h"
#include "MessageBoxPresenter.h"
#include "OstrelApp.h"
#include "OstrelDlg.h"
#include "PrivateNetwork.h"
#include "Resource.h"
#include "ScopedEnvironment.h"
#include "ScopedFileSizeLimit.h"
#include "EmulatedUsb.h"
#include "ServedSensors.h"
#include "Settings.h"
#include "UserGuide.h"
#include "Tamrix.h"
#include "TextConversion.h"
#include "VisaLoader.h"
#include "VisualizeDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <time.h>

#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

// The sensor menu's LAN row serves a sensor at 127.0.0.2 in this program's own network.
bool TestsUsePrivateNetwork() { return true; }
// The sensor rows with USB devices need umockdev's preload library from the start.
void RestartUnderUsbPreload(char** argv) { EmulatedUsbBus::RestartUnderPreload(argv); }

namespace
{

using rows::operator<<;

struct Held // the six settings, shown as lab/eng/timeout/calDataTimeout/network/factory
{
    std::string lab = "old lab", eng = "old eng";
    int timeout = 7, calDataTimeout = 8;
    bool network = true, factory = true;
    SettingsBinding Binding() { return {lab, eng, timeout, calDataTimeout, network, factory}; }
    std::string Text() const { return lab + "/" + eng + "/" + std::to_string(timeout) + "/" + std::to_string(calDataTimeout) + (network ? "/on" : "/off") + (factory ? "/on" : "/off"); }
};
const char* const Untouched = "old lab/old eng/7/8/on/on";
const char* const Defaults = "user lab/user/1000/60000/off/off";

// A settings file (nullptr: none) in the configuration folder `home` (nullptr: XDG_CONFIG_HOME unset) and the
// settings it gives; `asWritten` when the file is byte for byte what the program writes for them.
struct FileRow { const char* scenario; const char* file; const char* values; bool asWritten = false; const char* home = "Köln é"; };
using SettingsFile = testing::TestWithParam<FileRow>;

TEST_P(SettingsFile, GivesAllSettingsOrNone)
{
    const FileRow& row = GetParam();
    const QTemporaryDir root;
    const bool named = row.home && *row.home;
    const auto home = ScopedEnvironmentVariable("HOME", root.path().toStdString());
    const auto config = ScopedEnvironmentVariable("XDG_CONFIG_HOME", row.home ? std::optional((named ? root.filePath(row.home) : "").toStdString()) : std::nullopt);
    const QString path = SettingsFilePath();
    EXPECT_EQ(path, root.filePath(QString(named ? row.home : ".config") + "/Trobe-Lindvar/Ostrel.cfg"));
    EXPECT_TRUE(QFileInfo(path).dir().exists());
    EXPECT_FALSE(QFile::exists(path)) << "made only when written";
    if (row.file) Put(path, row.file);
    Held held;
    const bool read = ReadSettingsFile(path, held.Binding());
    EXPECT_EQ(read, held.Text() != Untouched);
    EXPECT_EQ(held.Text(), row.values);
    if (!row.asWritten) return;
    EXPECT_EQ(WriteSettingsFile(path, held.Binding()) ? Bytes(path).toStdString() : "(not written)", row.file);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFile, testing::Values(
    FileRow{"NoFileUnderHome", nullptr, Defaults, false, nullptr},
    FileRow{"EmptyFileUnderAnEmptyConfigHome", "", Defaults, false, ""},
    FileRow{"AsWrittenEmptyLabEqualsAndExtremeTimeouts", "[cal]\r\nlab = \r\neng = x = y [3]  a\r\n[rc]\r\ntimeout = -2147483648\r\ncalDataTimeout = 2147483647\r\nincludeNetworkResources = false\r\nalwaysUseFactoryDataSet = true\n", "/x = y [3]  a/-2147483648/2147483647/off/on", true},
    FileRow{"LinesEndingInCrCrLf", "[cal]\r\r\nlab = Lab 3\r\r\n[rc]\r\r\ntimeout = 250\r\r\n", "Lab 3/user/250/60000/off/off"},
    FileRow{"ByHand", "# by hand\n\n[cal]\n   # indented\n  lab\t=  \t Lab 3 \t #3 north\neng=Eng\n\n", "Lab 3/Eng/1000/60000/off/off"},
    FileRow{"SignsAndOptionWords", "[rc]\ntimeout = +5\ncalDataTimeout = -1\nincludeNetworkResources = yes\nalwaysUseFactoryDataSet = 1\n", "user lab/user/5/-1/on/on"},
    FileRow{"UnknownKeyAfterGoodOnes", "[cal]\nlab = A\n[rc]\ntimeout = 5\ncalDataTimout = 7\n", Untouched},
    FileRow{"TimeoutBeyondTheIntRange", "[rc]\ncalDataTimeout = 2147483648\n", Untouched}), rows::Name());

// Today's date where the user is: the two zones (POSIX rules) are 26 hours apart, so their dates always differ.
TEST(CalDate, IsTodayInTheLocalZoneAsYearMonthDay)
{
    EXPECT_EQ(FormatCalDate({1400, 3, 7}), "1400-03-07");
    for (const char* zone : {"AHEAD-14", "BEHIND+12"}) {
        const auto tz = ScopedEnvironmentVariable("TZ", zone);
        tzset();
        const QString before = QDate::currentDate().toString(Qt::ISODate);
        const QString today = QString::fromStdString(TodayCalDate());
        EXPECT_TRUE(today == before || today == QDate::currentDate().toString(Qt::ISODate)) << zone;
    }
    tzset();
}

// A double-click in the middle of a cell, the press first as a real mouse sends it.
void DoubleClickGridCell(CEditFlexGrid* grid, long row, long col)
{
    grid->SetRow(row), grid->SetCol(col);
    const QPoint at = grid->viewport()->mapFrom(
        grid, QPoint(int((grid->GetCellLeft() + grid->GetCellWidth() / 2) * grid->logicalDpiX() / 1440),
                     int((grid->GetCellTop() + grid->GetCellHeight() / 2) * grid->logicalDpiY() / 1440)));
    QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    Settle();
}

// Types `text` into a cell of an editor's grid and confirms it with Enter.
void TypeIntoCell(CEditFlexGrid* grid, long row, long col, const QString& text)
{
    DoubleClickGridCell(grid, row, col);
    ASSERT_TRUE(grid->IsEditing());
    grid->GetCellEdit().selectAll();
    QTest::keyClicks(&grid->GetCellEdit(), text);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) // Escape when Enter moved on to the next cell
        if (grid->IsEditing()) QTest::keyClick(&grid->GetCellEdit(), key), Settle();
}

const char* const NotLoaded = "No cal. data set loaded.";
const char* const Modified = "Calibration data set modified.";
// Device lists as shown: number, mnemonic, "*" the default, "+" write protected, "~" no flags in this version.
const char* const User3 = "1001 Cable 1 m SMA*, 1002 User 6 dB pad";
const char* const FactoryStamp = "2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo";
const char* const UserStamp = "2024-06-02/Field Service Brenna/Ilse Marquardt";
const char* const Today = "today/user lab/user";
const char* const Samples[] = {"factory_v3.cal", "factory_v4.cal", "user_v3.cal", "single_device_v2.cal",
                               "missing_identity_v3.cal"};
constexpr int FlagIds[4] = {IDC_FLAG_ACTIVE_AFTER_RESET, IDC_FLAG_STATE_LOCKED, IDC_FLAG_DEVICE_LOCKED,
                            IDC_FLAG_USE_FACTORY_FLAGS};
const std::map<QString, int> Commands{
    {"load", ID_FILE_LOAD}, {"save", ID_FILE_SAVE}, {"export", ID_FILE_EXPORT_SPARA}, {"import", ID_FILE_IMPORT_SPARA},
    {"append", ID_DEVICE_APPEND}, {"insert", ID_DEVICE_INSERT}, {"delete", ID_DEVICE_DELETE},
    {"up", ID_DEVICE_MOVE_UP}, {"down", ID_DEVICE_MOVE_DOWN}, {"edit", ID_DEVICE_EDIT}, {"remote", ID_OPTIONS_REMOTE},
    {"userdata", ID_OPTIONS_USER_DATA}, {"scan", ID_SENSOR_SCAN_NETWORK}, {"factory", ID_SENSOR_ALWAYS_FACTORY},
    {"showcal", ID_OPTIONS_SHOW_CAL_DATA}, {"upload", ID_SENSOR_LOAD}, {"download", ID_SENSOR_SAVE},
    {"exit", ID_FILE_EXIT}};
const QString SaveQuestion = "The calibration data set has been modified.\r\nDo you want to save the changes?";
// Lines of different lengths, non-ASCII letters and a trailing newline, as a data set's text has them.
const char* const Text = "Calibration data set\n  Engineer    \"Jörg\"\n  Temperature 23 °C\n\n  #  Frequency/Hz\n  0  1e+07\n";
// The user loads the sensor's user data set, edits its second device, saves it into the sensor, is refused saving it
// while the factory data set is forced, and loads it again: the sensor holds the edit and it comes back.
const char* const SensorSession = "upload; title; dev:type; ud:cancel; dbl:2,1; download; factory; download:-; disk:sensor;"
                                  " factory; blank; upload; val; disk:sensor";
const char* const SensorLog = "title=Upload from TVX-18G Ser.# 100001 | editor(User 6 dB pad rw) | User Data(user lab/user) | I orphan:Download successful. | S:Consistency check failed:\r\nThe option \"Always Use Factory Data Set\" in the Sensor menu is checked, but the current data set is a user data set. Uncheck the option before downloading. | sensor=same | val=0.125 -0.0625 | sensor=same";
const char* const SensorTitle = "Upload from TVX-18G Ser.# 100001";
const char* const SensorList = "1001 Cable 1 m SMA*, 1002 DÄMPFUNG 6 dB";
const char* const HandSettings = "[cal]\nlab = Prüflabor Köln, Nordflügel, Raum 7\neng = Jörg\n[rc]\ntimeout = -5\ncalDataTimeout = 90000\n";

QImage Picture(int id) { return LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32); }

QString Waiting() { return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor ? " waiting" : ""; }

// A session and what the window says and holds afterwards: title, status line, device list and S-parameter
// date/laboratory/engineer. In texts "@" stands for the test's folder.
struct Row { const char *scenario, *steps, *log, *title = "Ostrel", *status = NotLoaded, *list = "", *stamp = "//"; };
// A user's session in a main window on the screen, with the samples in a folder of its own and a configuration folder
// of its own: steps (";" between them) that note message boxes and observations in the log. Message boxes are noted
// as S stop, E exclamation, I information, Q Yes/No with No the default (answered with m_yesNoAnswer); file dialogs
// are answered in turn from m_fileAnswers (none left: Cancel).
class MainWindow : public testing::TestWithParam<Row>
{
public:
    void SetUp() override { Start(); }

    // A new window in place of the old one, which goes without closing, with fresh copies of the samples.
    void Start(const QString& file = QString())
    {
        for (const char* sample : Samples) Put(In(sample), Sample(sample));
        m_dialog = std::make_unique<COstrelDlg>();
        m_dialog->SetStartFile(file);
        ASSERT_TRUE(m_dialog->Create());
        m_dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
        m_grid = m_dialog->GetDlgItemAs<CEditFlexGrid>(IDC_DEVICE_GRID);
    }

    // Runs `action` on the next modal dialog (of that class) once it is open, then cancels it should it still be open.
    static void WhenModal(const std::function<void(QWidget*)>& action, const char* kind = "QDialog", int attempts = 50)
    {
        QTimer::singleShot(attempts == 50 ? 0 : 10, [action, kind, attempts] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && !modal->inherits(kind)) return WhenModal(action, kind, 49); // waits for the one before to close
            if (modal == nullptr && attempts > 0) return WhenModal(action, kind, attempts - 1);
            ASSERT_NE(modal, nullptr) << "no dialog opened";
            EXPECT_TRUE(QTest::qWaitForWindowExposed(modal));
            action(modal);
            if (modal->isVisible()) QTest::keyClick(modal, Qt::Key_Escape);
        });
    }

    // Clicks the next dialog's controls in turn once enabled (-1: the one row of its list) and waits until it closes.
    static void Clicks(const std::vector<int>& ids)
    {
        WhenModal([ids](QWidget* modal) {
            for (const int id : ids) {
                QWidget* control = qobject_cast<CDialog*>(modal)->GetDlgItem(id < 0 ? IDC_SENSOR_LIST : id);
                ASSERT_TRUE(QTest::qWaitFor([control] { return control->isEnabled(); }, 20000)) << id;
                auto* list = qobject_cast<CListCtrl*>(control);
                // A sensor still restarting after a download may miss the first scan: the user builds the list again.
                for (int scan = 0; list && list->GetItemCount() == 0 && scan < 5; ++scan)
                    QTest::mouseClick(qobject_cast<CDialog*>(modal)->GetDlgItem(IDC_REBUILD_LIST), Qt::LeftButton);
                ASSERT_TRUE(!list || list->GetItemCount() == 1);
                QTest::mouseClick(list ? list->viewport() : control, Qt::LeftButton, {}, list ? list->visualRect(list->model()->index(0, 0)).center() : QPoint());
            }
            EXPECT_TRUE(QTest::qWaitFor([modal] { return !modal->isVisible(); }, 20000)) << "still open";
        });
    }
    QString In(const QString& name) const { return m_folder.filePath(name); }
    static QByteArray Sample(const QString& name) { return Bytes(OSTREL_SOURCE_DIR "/samples/" + name); }
    void Note(const QString& text) { m_log += (m_log.isEmpty() ? "" : " | ") + text; }

    QTemporaryDir m_folder;
    QTemporaryDir m_configFolder;
    std::shared_ptr<void> m_configHome = ScopedEnvironmentVariable("XDG_CONFIG_HOME", m_configFolder.path().toStdString());
    QString m_log;
    int m_yesNoAnswer = IDYES;
    std::deque<int> m_saveAnswers; // IDYES Save, IDNO Discard (also when none is left), IDCANCEL
    ScopedMessageBoxPresenter m_presenter{[this](const MessageBoxRequest& box) {
        if (box.buttons == MessageBoxButtons::SaveDiscardCancel) { // noted as A=save, discard or cancel
            const int answer = m_saveAnswers.empty() ? IDNO : m_saveAnswers.front();
            if (!m_saveAnswers.empty()) m_saveAnswers.pop_front();
            Note(QString("A=") + (answer == IDYES ? "save" : answer == IDNO ? "discard" : "cancel")
                 + (box.text == SaveQuestion && box.parent && box.icon == MessageBoxIcon::Exclamation ? "" : "?" + box.text));
            return answer;
        }
        const bool yesNo = box.buttons == MessageBoxButtons::YesNo;
        if (box.caption == "About Ostrel") // what it names of this machine: its first line and where the settings are
            return Note("About " + box.text.section("\r\n", 0, 0) + (box.text.contains(SettingsFilePath()) ? " settings" : "")), IDOK;
        Note((box.caption == "Ostrel" ? "" : box.caption + " ")
             + (yesNo ? (box.defaultButton == IDNO ? "Q" : "Qy") : box.icon == MessageBoxIcon::Stop ? "S"
                : box.icon == MessageBoxIcon::Exclamation ? "E" : box.icon == MessageBoxIcon::Information ? "I" : "?")
             + (box.parent ? "" : " orphan") + Waiting() + ":" + box.text);
        return yesNo ? m_yesNoAnswer : IDOK;
    }};
    std::deque<std::optional<QString>> m_fileAnswers;
    std::vector<FileDialogRequest> m_fileRequests;
    ScopedFileDialogPresenter m_filePresenter{[this](const FileDialogRequest& request) {
        m_fileRequests.push_back(request);
        const std::optional<QString> answer = m_fileAnswers.empty() ? std::nullopt : m_fileAnswers.front();
        if (!m_fileAnswers.empty()) m_fileAnswers.pop_front();
        return answer;
    }};
    DocumentViewer m_previousViewer = SetDocumentViewer([this](const QString& path) {
        return Note("guide=" + QString(path == OSTREL_SOURCE_DIR "/docs/guide.md" ? "source" : path)), true;
    });
    ~MainWindow() override { SetDocumentViewer(m_previousViewer); }
    void Run(const QString& steps)
    {
        for (const QString& step : steps.split(';'))
            Step(step.trimmed().section(':', 0, 0), step.trimmed().section(':', 1));
    }
    QCheckBox* Flag(const QString& k) const { return m_dialog->GetDlgItemAs<QCheckBox>(FlagIds[k.toInt()]); }
    QString Mark(long row, long col, const std::map<int, const char*>& pictures) // the cell's picture
    {
        m_grid->SetRow(row), m_grid->SetCol(col);
        for (const auto& [id, mark] : pictures)
            if (m_grid->GetCellPicture().toImage().convertToFormat(QImage::Format_ARGB32) == Picture(id)) return mark;
        return "?";
    }
    QString Shown()
    {
        const long row = m_grid->GetRow(), col = m_grid->GetCol();
        QStringList rows;
        for (long r = 1; r < m_grid->GetRows(); ++r)
            rows << m_grid->GetTextMatrix(r, 0) + ' ' + m_grid->GetTextMatrix(r, 1)
                        + Mark(r, 2, {{IDB_RADIO_SET, "*"}, {IDB_RADIO_CLEAR, ""}})
                        + Mark(r, 3, {{IDB_CHECK_TICKED, "+"}, {IDB_CHECK_EMPTY, ""}, {IDB_GREY_BOX, "~"}});
        m_grid->SetRow(row), m_grid->SetCol(col);
        return rows.join(", ");
    }
    QString Stamp() const
    {
        const CTamrix& set = m_dialog->DataSet();
        const QString date = QString::fromStdString(set.GetCalDate(CMeasurement::SPara));
        return (date == QDate::currentDate().toString(Qt::ISODate) ? "today" : date) + "/"
               + Utf8ToWide(set.GetCalLab(CMeasurement::SPara) + "/" + set.GetCalEng(CMeasurement::SPara));
    }
    // "on" or "off" for an option of the Sensor menu, "?" where its check mark or picture disagrees.
    QString Option(bool on, int item) const
    {
        const CMenu menu = m_dialog->GetMenu();
        const bool agrees = ((menu.GetMenuState(item, MF_BYCOMMAND) & MF_CHECKED) != 0) == on
                            && menu.FindMenuItem(item, MF_BYCOMMAND)->icon().pixmap(16, 16).toImage().convertToFormat(
                                   QImage::Format_ARGB32) == Picture(on ? IDB_CHECK_TICKED : IDB_CHECK_EMPTY);
        return QString(on ? "on" : "off") + (agrees ? "" : "?");
    }
    // Notes the next dialog's title, `fields` and cut labels, types `texts` into the fields and ends it by `end` ("ok",
    // "cancel": the button, "ret": Enter, "reset": the reset button and Enter, else Escape).
    void Answer(const std::vector<int>& fields, const QStringList& texts, const QString& end, const char* kind)
    {
        WhenModal([=](QWidget* modal) {
            auto* dialog = qobject_cast<CDialog*>(modal);
            const auto shown = [&] {
                QStringList shown;
                for (const int field : fields) shown << dialog->GetDlgItemText(field);
                return "(" + shown.join('/') + ")";
            };
            QString note = modal->windowTitle() + shown();
            // A wrapping label breaks a text too long for it into a line it has no room for.
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                if (label->heightForWidth(label->width()) != label->heightForWidth(QWIDGETSIZE_MAX))
                    note += " cut " + label->text();
            if (fields.size() == 2) Note(note);
            for (int i = 0; i < texts.size(); ++i) {
                dialog->GetDlgItem(fields[i])->setFocus(Qt::TabFocusReason);
                QTest::keySequence(dialog->GetDlgItem(fields[i]), QKeySequence("Ctrl+A, Backspace"));
                QTest::keyClicks(dialog->GetDlgItem(fields[i]), texts[i]);
            }
            if (end == "reset") {
                QTest::mouseClick(dialog->GetDlgItem(IDC_RESET_TIMEOUTS), Qt::LeftButton);
                Note("reset" + shown() + (modal->isVisible() ? " open" : " closed"));
            }
            if (end == "ok" || end == "cancel") QTest::mouseClick(dialog->GetDlgItem(end == "ok" ? IDOK : IDCANCEL), Qt::LeftButton);
            else QTest::keyClick(QApplication::focusWidget(), end == "ret" || end == "reset" ? Qt::Key_Return : Qt::Key_Escape);
        }, kind);
    }
    QString ShownText(const QString& text) const { return text == m_text ? "<set>" : text.left(200); }
    // A step in the content view.
    void View(CDialog* dialog, const QString& step)
    {
        auto* edit = dialog->GetDlgItemAs<QPlainTextEdit>(IDC_VISUALIZE_TEXT);
        const QString text = edit->toPlainText();
        const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
        edit->setFocus(Qt::TabFocusReason);
        if (step == "copy" || step == "cancel")
            QTest::mouseClick(dialog->GetDlgItem(step == "copy" ? IDC_COPY_TO_CLIPBOARD : IDCANCEL), Qt::LeftButton);
        else if (step.startsWith("type:")) { // as a user replaces a text
            QTest::keySequence(edit, QKeySequence("Ctrl+A, Backspace"));
            QTest::keyClicks(edit, step.mid(5));
        } else if (step.startsWith("keys:"))
            QTest::keySequence(edit, QKeySequence(step.mid(5)));
        else if (step == "show")
            Note("(" + ShownText(text) + ")");
        else if (step == "clip")
            Note("clip=" + ShownText(clip->text()) + (clip->formats() == QStringList{"text/plain"} ? "" : " " + clip->formats().join(',')));
        else if (step == "open")
            Note(dialog->isVisible() ? "open" : "closed");
        else if (step == "part") // whole lines only, before the view has taken the whole text
            Note(m_text.startsWith(text) && text.endsWith('\n') ? "part" : ShownText(text));
        else if (step == "fill")
            EXPECT_TRUE(QTest::qWaitFor([&] { return edit->document()->characterCount() - 1 >= m_text.size(); }, 60000));
        else
            ADD_FAILURE() << "no view step " << step.toStdString();
    }
    void Step(const QString& verb, const QString& arg);
    // Runs `start`, then the row's steps, and checks what the window says and holds.
    void Session(const QString& start = QString())
    {
        Run(start.isEmpty() ? QString::fromUtf8(GetParam().steps) : start + "; " + QString::fromUtf8(GetParam().steps));
        const auto expand = [this](const char* text) { return QString::fromUtf8(text).replace('@', m_folder.path()).toStdString(); };
        EXPECT_EQ(m_log.toStdString(), expand(GetParam().log));
        EXPECT_EQ(m_dialog->windowTitle().toStdString(), expand(GetParam().title));
        EXPECT_EQ(m_dialog->GetDlgItemText(IDC_STATUS_LINE).toStdString(), GetParam().status);
        EXPECT_EQ(Shown().toStdString(), GetParam().list);
        m_dialog->RefreshDeviceList(); // the data set holds what the list shows
        EXPECT_EQ(Shown().toStdString(), GetParam().list);
        EXPECT_EQ(Stamp().toStdString(), GetParam().stamp);
        EXPECT_EQ(Waiting(), "");
    }

    std::optional<ServedSensors> m_sensors;
    std::optional<EmulatedUsbBus> m_usb; // after m_sensors: goes first
    std::shared_ptr<void> m_visa; // gives the VISA library back
    std::unique_ptr<COstrelDlg> m_dialog; // goes first, before the sensors it may still talk to
    CEditFlexGrid* m_grid = nullptr;
    QString m_text; // what the content view is to show
};

void MainWindow::Step(const QString& verb, const QString& arg)
{
    const QStringList args = arg.split(arg.contains('>') ? '>' : arg.contains('/') ? '/' : ',');
    CTamrix& set = m_dialog->DataSet();
    if (Commands.count(verb) != 0) {
        if (verb == "load" || verb == "save" || verb == "export" || verb == "import") // "-": Cancel
            m_fileAnswers.push_back(arg == "-" ? std::nullopt : std::optional(arg.isEmpty() ? arg : In(arg)));
        if (verb == "showcal") m_text = Utf8ToWide(set.Visualize());
        if (arg == "-") // refused or cancelled: no dialog may open
            QTimer::singleShot(0, [] {
                if (auto* opened = qobject_cast<CDialog*>(QApplication::activeModalWidget()))
                    ADD_FAILURE() << "a dialog opened", opened->EndDialog(IDCANCEL);
            });
        else if (arg == "peek") // the dialog's title, then Escape
            WhenModal([this](QWidget* modal) { Note(modal->windowTitle()); });
        else if (verb == "upload" || verb == "download") // the transfer dialog's clicks
            Clicks(verb == "upload" ? std::vector{-1, IDC_UPLOAD, IDOK} : std::vector{IDC_DOWNLOAD});
        m_dialog->GetMenu().FindMenuItem(Commands.at(verb), MF_BYCOMMAND)->trigger();
    } else if (verb == "drop") {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(In(args[0])), QUrl::fromLocalFile(In(args.value(1, args[0])))});
        QDragEnterEvent enter(m_dialog->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(m_dialog->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_dialog.get(), &enter);
        QApplication::sendEvent(m_dialog.get(), &drop);
    } else if (verb == "row" || verb == "away") { // the current row, the keyboard in the list or away from it
        (verb == "row" ? static_cast<QWidget*>(m_grid) : Flag("1"))->setFocus(Qt::MouseFocusReason);
        m_grid->SetRow(arg.toLong());
    } else if (verb == "key" || verb == "ret") { // a key in the list, Enter on a cell
        m_grid->setFocus(Qt::OtherFocusReason);
        if (verb == "ret") m_grid->SetRow(args[0].toLong()), m_grid->SetCol(args[1].toLong());
        QTest::keyClick(m_grid, verb == "ret" ? Qt::Key_Return : arg == "Insert" ? Qt::Key_Insert : Qt::Key_Delete);
    } else if (verb == "dbl") DoubleClickGridCell(m_grid, args[0].toLong(), args[1].toLong());
    else if (verb == "fclick") QTest::mouseClick(Flag(arg), Qt::LeftButton);
    else if (verb == "fspace" || verb == "fret" || verb == "fenter") { // a key on a flag's check box
        Flag(arg)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Flag(arg), verb == "fspace" ? Qt::Key_Space : verb == "fret" ? Qt::Key_Return : Qt::Key_Enter);
    } else if (verb == "no") m_yesNoAnswer = IDNO;
    else if (verb == "ask") { // the answer to the next Save question; after Save, the file to save to ("-": Cancel)
        m_saveAnswers.push_back(args[0] == "save" ? IDYES : args[0] == "discard" ? IDNO : IDCANCEL);
        if (args.size() > 1) m_fileAnswers.push_back(args[1] == "-" ? std::nullopt : std::optional(In(args[1])));
    } else if (verb == "keys") { // key sequences (", " between them) where the keyboard is
        m_dialog->activateWindow(); // as the desktop gives it back once a dialog over it has closed
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        for (const QString& keys : arg.split(", "))
            QTest::keySequence(m_dialog->focusWidget() ? m_dialog->focusWidget() : m_dialog.get(), QKeySequence(keys));
    }
    else if (verb == "cur") Note("row=" + QString::number(m_grid->GetRow()));
    else if (verb == "same") Note(args[0] + (Bytes(In(args[0])) == Bytes(In(args[1])) ? "==" : "!=") + args[1]);
    else if (verb == "menu") { // Edit menu: U Undo, R Redo, "-" greyed
        const CMenu menu = m_dialog->GetMenu();
        Note(QString("edit=") + (menu.GetMenuState(ID_EDIT_UNDO, MF_BYCOMMAND) & MF_GRAYED ? '-' : 'U')
             + (menu.GetMenuState(ID_EDIT_REDO, MF_BYCOMMAND) & MF_GRAYED ? '-' : 'R'));
    } else if (verb == "negative") { // a copy of a sample whose first point holds a negative S21 uncertainty
        CTamrix sample;
        const FormatPair format = CTamrixUtil::LoadTMXFromFile2(sample, WideToPath(In(args[0])).c_str());
        TamrixContent content = sample.Content();
        content.devices[0].points[0].values[8] = -0.03125f;
        sample.ReplaceContent(content);
        CTamrixUtil::StoreTMXToFile2(sample, WideToPath(In(args[1])).c_str(), std::get<0>(format), std::get<1>(format));
    }
    else if (verb == "poke") set.SetSParaDeviceNumber(arg.toLong()); // the data set changes behind the list's back
    else if (verb == "mask") set.SetSParaCorrDef(arg.toULong());
    else if (verb == "showflags") m_dialog->RefreshGlobalFlags();
    else if (verb == "nofigures") {
        MiscNum misc = set.GetMiscNum();
        misc.startFrequency = misc.maxPower = std::nanf("");
        misc.minPower = 2e-9f;
        set.SetMiscNum(misc);
    } else if (verb == "longlab") m_dialog->SetUserData(std::string(maxInfoStringLength + 1, 'L'), "Eng"); // too long
    else if (verb == "dir") QDir().mkpath(In(arg));
    else if (verb == "fifo") mkfifo(WideToPath(In(arg)).c_str(), 0600);
    else if (verb == "text") Put(In(arg), QByteArray(1 << 20, 'x'));
    else if (verb == "spoil") Put(In(arg), Bytes(In(arg)).replace("real=\"", "real=\"1e39x")); // no number in any point
    else if (verb == "cp") Put(In(args[1]), Sample(args[0]));
    else if (verb == "dev") // the device editor: mnemonic shown, "ro" when read-only
        WhenModal([this, arg](QWidget* modal) {
            auto* editor = qobject_cast<CDevice*>(modal);
            ASSERT_NE(editor, nullptr);
            QLineEdit* mnemonic = editor->GetDlgItemAs<QLineEdit>(IDC_MNEMONIC);
            // A read-only editor says why above its table, and only then.
            const auto* line = editor->findChild<QLabel*>("writeProtectedLine");
            const bool saysWhy = line && line->isVisible() && line->text().contains("Write Prot.")
                                 && line->geometry().bottom() < editor->GetDlgItem(IDC_POINT_GRID)->geometry().top();
            Note("editor(" + mnemonic->text() + (mnemonic->isReadOnly() || !mnemonic->isEnabled() ? " ro" : " rw")
                 + (saysWhy ? ", says why)" : ")"));
            if (arg == "type") { // a new mnemonic and two values
                mnemonic->selectAll();
                QTest::keyClicks(mnemonic, "DÄMPFUNG 6 dB");
                TypeIntoCell(editor->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID), 2, 6, "-0.0625"); // S21 im, point 1
            }
            if (arg == "type" || arg == "value") // "value": that one alone
                TypeIntoCell(editor->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID), 1, 2, "0.125"); // S11 re, point 0
            QTest::mouseClick(editor->GetDlgItem(arg == "cancel" ? IDCANCEL : IDOK), Qt::LeftButton);
        });
    else if (verb == "ud" || verb == "rc" || verb == "id") // User Data, Remote Control or the sensor identity dialog:
        Answer(verb == "ud"   ? std::vector{IDC_CAL_LAB, IDC_CAL_ENG} // texts as far as given, then how the dialog ends
               : verb == "rc" ? std::vector{IDC_COMMAND_TIMEOUT, IDC_CAL_DATA_TIMEOUT}
                              : std::vector{IDC_SENSOR_NAME, IDC_STOCK_NUMBER, IDC_SERIAL_NUMBER},
               args.mid(0, args.size() - 1), args.last(), verb == "ud" ? "CCalInfoDialog" : "QDialog");
    else if (verb == "view") // steps ("/" between them) in the content view that opens next
        WhenModal([this, arg](QWidget* modal) {
            Note(modal->windowTitle() + Waiting());
            QGuiApplication::clipboard()->setText("before");
            for (const QString& step : arg.split('/'))
                View(qobject_cast<CDialog*>(modal), step);
        });
    else if (verb == "render") { // the content view over a text, or the library's error in making it
        m_text = QString::fromUtf8(Text);
        for (int line = 0; arg == "large" && line < 60000; ++line)
            m_text += QString("  %1  1.2345678e+09  0.98765432  -0.0012345678  0.0001\n").arg(line);
        ShowDataSetText(m_dialog.get(), [this, arg]() -> std::string {
            Note("ran" + Waiting());
            return arg == "library" ? throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, "/tmp/x.cal") : WideToUtf8(m_text);
        });
    } else if (verb == "hand") { // a settings file by hand, its laboratory too long for a data set; read by a new window
        Put(m_configFolder.filePath("Trobe-Lindvar/Ostrel.cfg"), HandSettings);
        Start();
    } else if (verb == "close") { // "esc" where the keyboard is, "flag" Escape on a check box, "full" on a full disk
        std::optional<ScopedFileSizeLimit> limit;
        if (arg == "full") limit.emplace(16);
        QWidget* focus = arg == "flag" ? Flag("1") : m_dialog->focusWidget() ? m_dialog->focusWidget() : m_dialog.get();
        focus->setFocus(Qt::TabFocusReason);
        arg == "box" ? void(m_dialog->close()) : QTest::keyClick(focus, Qt::Key_Escape);
    } else if (verb == "serve") { // TVX-18G 100001 with its user data set, for its driver, or VISA over USB or the LAN;
        m_sensors.emplace();      // "usb-device" and "usb-device-driver": the same as a USB device under libusb
        arg == "lan" ? m_sensors->AddOnLan("100001", "127.0.0.2") : m_sensors->Add("100001");
        m_sensors->Store().SaveArea("100001", DataArea::User, SampleDataFor("user_v3.cal", "TVX-18G", "100001"));
        if (arg.startsWith("usb-device")) {
            if (!EmulatedUsbBus::Available())
                GTEST_SKIP() << "not under umockdev's preload library";
            m_usb.emplace();
            m_usb->AddSensor(m_sensors->Store(), "100001");
        } else {
            m_sensors->Start();
        }
        const bool driver = arg == "driver" || arg == "usb-device-driver";
        const auto previous = VisaLoader::ReplaceDefault(driver ? nullptr : VisaLoader::Load({OSTREL_VISA_LIBRARY}));
        m_visa = std::shared_ptr<void>(nullptr, [previous](void*) { VisaLoader::ReplaceDefault(previous); });
    } else if (verb == "sensor") Run(SensorSession); // with the sensor that "serve" gave
    else if (verb == "blank") m_dialog->AcceptLoadedDataSet(CTamrix(), FormatPair{'3', '0'}); // for the next load
    else if (verb == "start") Start(arg.isEmpty() ? QString() : In(arg)), Settle(); // with the file it was opened with
    else if (verb == "dlg") {
        const FileDialogRequest request = m_fileRequests.empty() ? FileDialogRequest{} : m_fileRequests.back();
        Note(QString(request.open ? "open " : "save ") + (request.overwritePrompt ? "asking " : "") + request.fileName
             + "." + request.defaultExtension + " " + request.nameFilters.join(";"));
    } else if (verb == "folder") // where the last file dialog opened
        Note("folder=" + (m_fileRequests.empty() ? "" : m_fileRequests.back().directory));
    else if (verb == "answer") m_fileAnswers.push_back(arg == "-" ? std::nullopt : std::optional(In(arg))); // to a dialog the keys open
    else if (verb == "about") m_dialog->GetMenu().FindMenuItem(ID_HELP_ABOUT, MF_BYCOMMAND)->trigger();
    else if (verb == "fmt") Note(QString("v") + m_dialog->Version() + m_dialog->Revision());
    else if (verb == "flags") { // X checked, - not, lower case when disabled; then the data set's mask
        QString boxes;
        for (const QString k : {"0", "1", "2", "3"})
            boxes += Flag(k)->isEnabled() ? (Flag(k)->isChecked() ? 'X' : '-') : (Flag(k)->isChecked() ? 'x' : '_');
        Note("flags " + boxes + " " + QString::number(set.GetSParaCorrDef()));
    } else if (verb == "title" || verb == "list" || verb == "status" || verb == "stamp")
        Note(verb + "=" + (verb == "title" ? m_dialog->windowTitle() : verb == "list" ? Shown()
                           : verb == "stamp" ? Stamp() : m_dialog->GetDlgItemText(IDC_STATUS_LINE)));
    else if (verb == "ident")
        Note(Utf8ToWide("ident=" + set.GetSensorName() + "/" + set.GetStockNumber() + "/" + set.GetAttribute() + "/"
                        + set.GetSerialNumber() + "/" + set.GetSerialNumberInternal()));
    else if (verb == "fig") // a new device's first frequency and power limits
        Note(QString("fig=%1 %2 %3").arg(set.GetSParaFreq(arg.toLong(), 0)).arg(set.GetSParaMinPower(arg.toLong()))
                 .arg(set.GetSParaMaxPower(arg.toLong())));
    else if (verb == "val")
        Note(QString("val=%1 %2").arg(std::get<0>(set.GetSParaValue(1, 0, &SParaType<1>::S11)))
                 .arg(std::get<1>(set.GetSParaValue(1, 1, &SParaType<1>::S21))));
    else if (verb == "disk") { // "sample": as copied; "same": what the library makes of the window's data set
        std::ostringstream xml;
        std::string cal;
        const std::string inSensor = arg == "sensor" ? m_sensors->Store().LoadArea("100001", DataArea::User) : "";
        const QByteArray bytes = arg == "sensor" ? QByteArray::fromStdString(inSensor) : Bytes(In(arg));
        if (bytes != Sample(arg) && arg.endsWith(".xml")) set.ExportSPara(xml);
        else if (bytes != Sample(arg))
            CTamrixUtil::StoreTMXToBuffer2(set, cal, m_dialog->Version(), m_dialog->Revision());
        Note(arg + (bytes == Sample(arg) ? "=sample" : bytes.toStdString() == xml.str() + cal ? "=same" : "=other"));
    } else if (verb == "files" || verb == "cfg") { // the files beside the samples; the settings file, and beside it
        const QString folder = verb == "files" ? m_folder.path() : m_configFolder.filePath("Trobe-Lindvar");
        QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const char* known : {"Ostrel.cfg", Samples[0], Samples[1], Samples[2], Samples[3], Samples[4]})
            names.removeAll(known);
        Note(verb == "files" ? "files=" + names.join(",")
                             : Bytes(folder + "/Ostrel.cfg") + (names.isEmpty() ? "" : " +" + names.join(",")));
    } else if (verb == "settings")
        Note(Utf8ToWide(m_dialog->CalLab() + "/" + m_dialog->CalEng() + "/") + QString::number(m_dialog->Timeout())
             + "/" + QString::number(m_dialog->CalDataTimeout()) + "/"
             + Option(m_dialog->IncludeNetworkResources(), ID_SENSOR_SCAN_NETWORK) + "/"
             + Option(m_dialog->AlwaysUseFactoryDataSet(), ID_SENSOR_ALWAYS_FACTORY));
    else if (verb == "shown") Note(m_dialog->isVisible() ? "open" : "closed");
    else ADD_FAILURE() << "no step " << verb.toStdString();
    Settle();
}

TEST_P(MainWindow, DoesWhatTheUserAsks)
{
    if (QString(GetParam().steps).contains("serve:lan") && !private_network::Problem().empty())
        GTEST_SKIP() << "no LAN without a private network: " << private_network::Problem();
    Session();
}

INSTANTIATE_TEST_SUITE_P(Sessions, MainWindow, testing::Values(
        Row{"EditsAndUserDataComeBackInTheirFormat", "load:factory_v4.cal; ud:PRÜFLABOR 7/JÖRG 9/ret; userdata; stamp; dev:type; dbl:2,1; status; append; save:gesichert ä; dlg; title; disk:gesichert ä.cal; load:gesichert ä.cal; fmt; val",
            "User Data(user lab/user) | stamp=2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo | editor(ATT 10dB 18G rw) | status=Calibration data set modified. | save asking factory_v4.cal.cal *.cal and *.bin Files (*.cal *.bin);*.cal Files (*.cal);*.bin Files (*.bin);All Files (*.*) (*) | title=@/gesichert ä.cal | gesichert ä.cal=same | v40 | val=0.125 -0.0625", "gesichert ä.cal", "", "1 ATT 3dB 18G+, 2 DÄMPFUNG 6 dB, 3 ATT 20dB 18G*+, 4 new_device", "today/PRÜFLABOR 7/JÖRG 9"},
        Row{"UserDataAndTimeoutsOnlyOnOkAlsoFromAHandEditedFile", "ud:A/B/ok; userdata; ud:C/D/cancel; userdata; ud:E/F/esc; userdata; ud:I/J/ret; userdata; rc:250/90000/ok; remote; rc:1/2/cancel; remote; rc:3/4/esc; remote; rc:700/8000/ret; remote; factory; settings; scan; factory; settings; hand; ud:cancel; userdata; settings; ud:ok; userdata; settings; ud:KALIBRIERLABOR NORD, GEBÄUDE 4, RAUM 12/JÖRG ÅSTRÖM UND ILSE MARQUARDT, TEAM B/ok; userdata; rc:ok; remote; settings; rc:1a2 b-+3.4e/9x8/ok; remote; rc://ok; remote; rc:12/34/reset; remote; settings",
            "User Data(user lab/user) | User Data(A/B) | User Data(A/B) | User Data(A/B) | Remote Control Settings(1000/60000) | Remote Control Settings(250/90000) | Remote Control Settings(250/90000) | Remote Control Settings(250/90000) | I/J/700/8000/off/on | I/J/700/8000/on/off | User Data(Prüflabor Köln, Nordflügel, Raum/Jörg) | Prüflabor Köln, Nordflügel, Raum 7/Jörg/-5/90000/off/off | User Data(Prüflabor Köln, Nordflügel, Raum/Jörg) | Prüflabor Köln, Nordflügel, Raum/Jörg/-5/90000/off/off | User Data(Prüflabor Köln, Nordflügel, Raum/Jörg) | Remote Control Settings(-5/90000) | KALIBRIERLABOR NORD, GEBÄUDE 4, /JÖRG ÅSTRÖM UND ILSE MARQUARDT, /-5/90000/off/off | Remote Control Settings(-5/90000) | Remote Control Settings(1234/98) | Remote Control Settings(1000/60000) | reset(1000/60000) open | KALIBRIERLABOR NORD, GEBÄUDE 4, /JÖRG ÅSTRÖM UND ILSE MARQUARDT, /1000/60000/off/off"},
        Row{"ContentViewShowsCopiesAndFills", "view:show; render:text; view:show; render:library; view:part/copy/clip/fill/show; render:large; view:show/copy/open/clip/cancel/open; showcal; load:user_v3.cal; view:type:xyz/show/keys:Ctrl+Home, Down, Shift+Down, Ctrl+C/clip/keys:Ctrl+A, Ctrl+C/clip; showcal",
            "ran waiting | Visualize Content | (<set>) | ran waiting | Error S:\"/tmp/x.cal\": File read access failed! | Visualize Content | () | ran waiting | Visualize Content | part | clip=<set> | (<set>) | Visualize Content | (<set>) | open | clip=<set> | closed | Visualize Content | (<set>) | clip=  Sensor name             \"TLS-18G\"\n | clip=<set>", "user_v3.cal", "", User3, UserStamp},
        Row{"ClosingWritesTheSettings", "settings; cfg; load:user_v3.cal; ud:cancel; append; close:flag; shown; cfg; start; ud:PRÜFLABOR KÖLN/JÖRG ÅSTRÖM/ok; userdata; rc:250/90000/ret; remote; scan; factory; close:box; cfg; start; settings; ud:New lab/New eng/ok; userdata; close:full; shown; cfg",
            "user lab/user/1000/60000/off/off | (none) | User Data(user lab/user) | A=discard | closed | [cal]\r\nlab = user lab\r\neng = user\r\n[rc]\r\ntimeout = 1000\r\ncalDataTimeout = 60000\r\nincludeNetworkResources = false\r\nalwaysUseFactoryDataSet = false\n | User Data(user lab/user) | Remote Control Settings(1000/60000) | [cal]\r\nlab = PRÜFLABOR KÖLN\r\neng = JÖRG ÅSTRÖM\r\n[rc]\r\ntimeout = 250\r\ncalDataTimeout = 90000\r\nincludeNetworkResources = true\r\nalwaysUseFactoryDataSet = true\n | PRÜFLABOR KÖLN/JÖRG ÅSTRÖM/250/90000/on/on | User Data(PRÜFLABOR KÖLN/JÖRG ÅSTRÖM) | closed | [cal]\r\nlab = PRÜFLABOR KÖLN\r\neng = JÖRG ÅSTRÖM\r\n[rc]\r\ntimeout = 250\r\ncalDataTimeout = 90000\r\nincludeNetworkResources = true\r\nalwaysUseFactoryDataSet = true\n"},
        Row{"DroppedAndRefusedLoads", "start:none.cal; start:factory_v3.cal; title; cp:user_v3.cal>user.data; drop:user.data,factory_v3.cal; title; list; load:factory_v4.cal; ud:cancel; append; load:none.cal; dir:dir.cal; load:dir.cal; fifo:pipe.cal; load:pipe.cal; text:text.cal; load:text.cal; drop:none.cal; drop:text.cal; fmt",
            "S:\"@/none.cal\": File read access failed! | title=factory_v3.cal | title=user.data | list=1001 Cable 1 m SMA*, 1002 User 6 dB pad | User Data(user lab/user) | A=discard | S:\"@/none.cal\": File read access failed! | A=discard | S:\"@/dir.cal\": File read access failed! | A=discard | S:\"@/pipe.cal\": File read access failed! | A=discard | S:\"@/text.cal\": Calibration data set has wrong signature! | A=discard | Error S:\"@/none.cal\": File read access failed! | A=discard | Error S:\"@/text.cal\": Calibration data set has wrong signature! | v40", "factory_v4.cal", Modified, "1 ATT 3dB 18G+, 2 ATT 10dB 18G, 3 ATT 20dB 18G*+, 4 new_device", Today},
        Row{"CancelledRefusedAndDevicelessCommands", "poke:2; load:-; list; load:; list; save:-; save:; export:-; export:; poke:3; import:-; list; import:; list; title; status; load:factory_v3.cal; ud:cancel; append; save:missing/set.cal; dir:folder.cal; save:folder.cal; export:missing/devices.xml; dir:folder.xml; export:folder.xml; disk:factory_v3.cal; files; title; load:user_v3.cal; row:1; delete; row:1; delete; save:user_v3.cal; disk:user_v3.cal; export:none; insert; fig:0; row:1; key:Insert; list; stamp; load:factory_v3.cal; import:none.xml",
            "list= | list=1001 , 1002  | list=1001 , 1002  | list=1001 , 1002 , 1003  | title=Ostrel | status=No cal. data set loaded. | User Data(user lab/user) | S:\"@/missing/set.cal\": File write access failed! | S:\"@/folder.cal\": File write access failed! | S:\"@/missing/devices.xml\": File write access failed! | S:\"@/folder.xml\": File write access failed! | factory_v3.cal=sample | files=folder.cal,folder.xml | title=factory_v3.cal | A=discard | Q:Deleting cannot be undone. Proceed? | Q:Deleting cannot be undone. Proceed? | S:\"@/user_v3.cal\": You must add at least one s-parameter device and one calibration point per device! Storing was cancelled! | user_v3.cal=sample | fig=1e+07 0 0.1 | list=1001 new_device, 1002 new_device | stamp=today/user lab/user | A=discard", "factory_v3.cal", Modified, "", "not applicable/not applicable/not applicable"},
        Row{"RefusedImportsThenExportAndImport", "load:factory_v3.cal; import:none.xml; dir:folder.xml; import:folder.xml; fifo:pipe.xml; import:pipe.xml; text:Geräte.xml; import:Geräte.xml; export:Geräte; dlg; disk:Geräte.xml; status; row:1; delete; row:3; key:Delete; list; stamp; ud:cancel; import:Geräte.xml; dlg; files; spoil:Geräte.xml; import:Geräte.xml",
            "S:\"@/none.xml\": File read access failed! | S:\"@/folder.xml\": File read access failed! | S:\"@/pipe.xml\": File read access failed! | S:\"@/Geräte.xml\": Generic XML error! | save asking .xml *.xml Files (*.xml);All Files (*.*) (*) | Geräte.xml=same | status= | Q:Deleting cannot be undone. Proceed? | Q:Deleting cannot be undone. Proceed? | list=1 ATT 10dB 18G*, 2 ATT 20dB 18G+ | stamp=2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo | User Data(user lab/user) | open .xml *.xml Files (*.xml);All Files (*.*) (*) | files=folder.xml,Geräte.xml | S:\"@/Geräte.xml, Device 1, point 1\": Generic XML error!", "factory_v3.cal", Modified, "1 ATT 3dB 18G*, 2 ATT 10dB 18G, 3 ATT 20dB 18G+, 4 ADP N-SMA", Today},
        Row{"DeviceRefusalsMovesThenLibraryErrors", "edit; delete; up; down; load:factory_v3.cal; away:2; edit; delete; up; down; row:3; delete; row:1; up; row:4; down; no; row:1; delete; status; row:2; up; list; down; row:1; down; row:2; up; row:3; down; row:3; up; row:2; up; list; poke:3; dbl:4,3; load:; longlab; append",
            "S:No device available! | S:No device available! | S:No device available! | S:No device available! | S:No device selected! | S:No device selected! | S:No device selected! | S:No device selected! | S:This device is write-protected!\r\nRemove write protection first. | S:This device is already on top of the list. | S:This device is already at the end of the list. | Q:Deleting cannot be undone. Proceed? | status= | list=1 ATT 10dB 18G*, 2 ATT 3dB 18G, 3 ATT 20dB 18G+, 4 ADP N-SMA | list=1 ADP N-SMA, 2 ATT 3dB 18G, 3 ATT 10dB 18G*, 4 ATT 20dB 18G+ | S:Invalid access on table entry! | A=discard | S:Missing or wrong argument(s)!", "factory_v3.cal", Modified, "1 ADP N-SMA, 2 ATT 3dB 18G, 3 ATT 10dB 18G*, 4 new_device", FactoryStamp},
        Row{"NewDevicesTakeTheSensorFiguresAndVersionTwoWarns", "load:factory_v3.cal; row:2; ud:cancel; append; fig:4; row:2; insert; fig:1; away:4; insert; nofigures; append; fig:7; list; load:single_device_v2.cal; row:1; delete; append; row:1; insert; append",
            "User Data(user lab/user) | fig=1e+07 1e-10 0.2 | fig=1e+07 1e-10 0.2 | fig=0 2e-09 0.1 | list=1 ATT 3dB 18G, 2 new_device, 3 ATT 10dB 18G*, 4 new_device, 5 ATT 20dB 18G+, 6 ADP N-SMA, 7 new_device, 8 new_device | A=discard | Q:Deleting cannot be undone. Proceed? | E:This sensor supports only one s-parameter device!\r\nSaving calibration data will not be possible. | E:This sensor supports only one s-parameter device!\r\nSaving calibration data will not be possible.", "single_device_v2.cal", Modified, "1 new_device~, 2 new_device~, 3 new_device~", Today},
        Row{"MissingIdentityIsAskedForThenTheEditorOpensOnTheSelectedDevice", "id:a/b/c/esc; load:missing_identity_v3.cal; ident; id:TLS-40G/4711.0815/100234/ret; load:missing_identity_v3.cal; ident; list; title; stamp; load:factory_v3.cal; dev:cancel; row:1; edit; dev:cancel; row:3; edit; status; stamp; dev:ok; dbl:2,1; menu; close:flag; shown",
            "ident=//N(m), 50 ohm//QX-0417-233 | ident=TLS-40G/4711.0815/N(m), 50 ohm/100234/QX-0417-233 | list=1 ADP N-3.5mm | title=missing_identity_v3.cal | stamp=2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo | editor(ATT 3dB 18G rw) | editor(ATT 20dB 18G ro, says why) | status= | stamp=2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo | editor(ATT 10dB 18G rw) | edit=-- | closed", "factory_v3.cal", "", "1 ATT 3dB 18G, 2 ATT 10dB 18G*, 3 ATT 20dB 18G+, 4 ADP N-SMA", FactoryStamp},
        Row{"DefaultDeviceMayGoOnlyInAUserSet", "load:factory_v3.cal; dbl:2,2; status; ret:1,2; dbl:1,3; list; ret:1,3; list; stamp; load:user_v3.cal; dbl:2,2; list; ret:1,2; status; dbl:1,2",
            "status= | list=1 ATT 3dB 18G*+, 2 ATT 10dB 18G, 3 ATT 20dB 18G+, 4 ADP N-SMA | list=1 ATT 3dB 18G*, 2 ATT 10dB 18G, 3 ATT 20dB 18G+, 4 ADP N-SMA | stamp=2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo | A=discard | list=1001 Cable 1 m SMA, 1002 User 6 dB pad* | status=Calibration data set modified.", "user_v3.cal", Modified, "1001 Cable 1 m SMA, 1002 User 6 dB pad", UserStamp},
        Row{"BeforeTheFirstLoad", "fret:0; fenter:1; fret:3; shown; dbl:0,2; ret:0,3; append; append; append; fig:0; dbl:2,2; list; dbl:1,2; dbl:1,2; ret:3,3; fclick:1; flags; ask:cancel; close:box; shown",
            "open | fig=0 0 0.1 | list=1001 new_device, 1002 new_device*, 1003 new_device | flags -X-- 2 | A=cancel | open", "Ostrel", NotLoaded, "1001 new_device, 1002 new_device, 1003 new_device+"},
        Row{"FlagsFollowTheDataSetAndTheClicks", "flags; load:user_v3.cal; flags; load:factory_v3.cal; dlg; fmt; flags; load:factory_v4.cal; flags; load:single_device_v2.cal; flags; mask:12; showflags; flags; dbl:1,3; status; list; load:user_v3.cal; mask:2; fclick:0; fclick:1; fclick:2; fclick:3; flags; fspace:0; fspace:1; fspace:2; fspace:3; flags",
            "flags ---- 0 | flags X--- 1 | open .cal *.cal and *.bin Files (*.cal *.bin);*.cal Files (*.cal);*.bin Files (*.bin);All Files (*.*) (*) | v30 | flags X--x 9 | flags -XX_ 6 | flags XX__ 3 | flags --xx 12 | status= | list=1 ATT 10dB 6G*~ | flags -XXX 14 | flags X--- 1", "user_v3.cal", Modified, User3, UserStamp},
        Row{"ShortcutsHelpAndProposedNames", "answer:user_v3.cal; keys:Ctrl+O; title; keys:Ctrl+S; dlg; folder; row:1; dev:cancel; keys:Ctrl+E; keys:F1; about; keys:Ctrl+Q; shown",
            "title=user_v3.cal | save asking user_v3.cal.cal *.cal and *.bin Files (*.cal *.bin);*.cal Files (*.cal);*.bin Files (*.bin);All Files (*.*) (*) | folder=@ | editor(Cable 1 m SMA rw) | guide=source | About Ostrel 0.1 settings | closed", "user_v3.cal", "", User3, UserStamp},
        Row{"SensorOverItsDriver", "serve:driver; sensor", SensorLog, SensorTitle, "", SensorList, Today},
        Row{"SensorOverVisaUsb", "serve:usb; sensor", SensorLog, SensorTitle, "", SensorList, Today},
        Row{"SensorOverVisaLan", "serve:lan; scan; sensor", SensorLog, SensorTitle, "", SensorList, Today},
        Row{"UsbDeviceOverVisa", "serve:usb-device; sensor", SensorLog, SensorTitle, "", SensorList, Today},
        Row{"UsbDeviceOverItsDriver", "serve:usb-device-driver; sensor", SensorLog, SensorTitle, "", SensorList, Today}), rows::Name());

// The one argument the program takes is a data set file (from the desktop); anything else is ignored with a line.
TEST(StartFile, IsTheOnlyArgumentUnlessItIsAnOption)
{
    const QString ignored = "Ostrel takes one data set file as its only argument; ignored: ";
    const std::tuple<QStringList, std::optional<QString>, QString> rows[] = {
        {{"ostrel"}, std::nullopt, ""}, {{"ostrel", "a.cal"}, QDir::current().absoluteFilePath("a.cal"), ""},
        {{"ostrel", "/x/b.cal"}, "/x/b.cal", ""}, {{"ostrel", "-v"}, std::nullopt, ignored + "-v"},
        {{"ostrel", "a.cal", "b.cal"}, std::nullopt, ignored + "a.cal b.cal"}};
    for (const auto& [arguments, file, complaint] : rows)
    {
        QString said;
        EXPECT_EQ(StartFileArgument(arguments, said), file) << arguments.join(' ').toStdString();
        EXPECT_EQ(said, complaint);
    }
}

// Each way the data set is closed or replaced, after one change to a loaded data set: the question and each answer.
class UnsavedChanges : public MainWindow {};
TEST_P(UnsavedChanges, AreSavedDiscardedOrKeptAsTheUserAnswers) { Session("load:user_v3.cal; fclick:0"); }

const char* const Kept = "@/kept.cal";
INSTANTIATE_TEST_SUITE_P(Answers, UnsavedChanges, testing::Values(
    Row{"EscapeSaves", "ask:save>kept.cal; close:flag; shown; disk:kept.cal", "A=save | closed | kept.cal=same", Kept, Modified, User3, UserStamp},
    Row{"EscapeDiscards", "ask:discard; close:flag; shown", "A=discard | closed", "user_v3.cal", Modified, User3, UserStamp},
    Row{"EscapeCancelled", "ask:cancel; close:flag; shown; flags", "A=cancel | open | flags ---- 0", "user_v3.cal", Modified, User3, UserStamp},
    Row{"CloseBoxSaves", "ask:save>kept.cal; close:box; shown; disk:kept.cal", "A=save | closed | kept.cal=same", Kept, Modified, User3, UserStamp},
    Row{"CloseBoxDiscards", "ask:discard; close:box; shown", "A=discard | closed", "user_v3.cal", Modified, User3, UserStamp},
    Row{"CloseBoxCancelled", "ask:cancel; close:box; shown", "A=cancel | open", "user_v3.cal", Modified, User3, UserStamp},
    Row{"ExitSaves", "ask:save>kept.cal; exit; shown; disk:kept.cal", "A=save | closed | kept.cal=same", Kept, Modified, User3, UserStamp},
    Row{"ExitDiscards", "ask:discard; exit; shown", "A=discard | closed", "user_v3.cal", Modified, User3, UserStamp},
    Row{"ExitCancelled", "ask:cancel; exit; shown", "A=cancel | open", "user_v3.cal", Modified, User3, UserStamp},
    Row{"LoadSaves", "ask:save>kept.cal; load:factory_v3.cal; title; load:kept.cal; flags", "A=save | title=factory_v3.cal | flags ---- 0", "kept.cal", "", User3, UserStamp},
    Row{"LoadDiscardsAndStartsANewHistory", "ask:discard; load:factory_v3.cal; menu", "A=discard | edit=--", "factory_v3.cal", "", "1 ATT 3dB 18G, 2 ATT 10dB 18G*, 3 ATT 20dB 18G+, 4 ADP N-SMA", FactoryStamp},
    Row{"LoadCancelled", "ask:cancel; load:factory_v3.cal; flags", "A=cancel | flags ---- 0", "user_v3.cal", Modified, User3, UserStamp},
    Row{"DropSaves", "ask:save>kept.cal; drop:factory_v3.cal; title; load:kept.cal; flags", "A=save | title=factory_v3.cal | flags ---- 0", "kept.cal", "", User3, UserStamp},
    Row{"DropDiscards", "ask:discard; drop:factory_v3.cal", "A=discard", "factory_v3.cal", "", "1 ATT 3dB 18G, 2 ATT 10dB 18G*, 3 ATT 20dB 18G+, 4 ADP N-SMA", FactoryStamp},
    Row{"DropCancelled", "ask:cancel; drop:factory_v3.cal; flags", "A=cancel | flags ---- 0", "user_v3.cal", Modified, User3, UserStamp},
    Row{"SensorLoadSaves", "ask:save>kept.cal; upload:peek; disk:kept.cal", "A=save | Upload Calibration Data | kept.cal=same", Kept, Modified, User3, UserStamp},
    Row{"SensorLoadDiscards", "ask:discard; upload:peek", "A=discard | Upload Calibration Data", "user_v3.cal", Modified, User3, UserStamp},
    Row{"SensorLoadCancelled", "ask:cancel; upload:-", "A=cancel", "user_v3.cal", Modified, User3, UserStamp},
    Row{"SaveDialogCancelledGoesNotOn", "ask:save>-; close:flag; shown; ask:save>-; upload:-; ask:save>-; load:factory_v3.cal", "A=save | open | A=save | A=save", "user_v3.cal", Modified, User3, UserStamp},
    Row{"SaveRefusedGoesNotOn", "ask:save>missing/kept.cal; exit; shown; files", "A=save | S:\"@/missing/kept.cal\": File write access failed! | open | files=", "user_v3.cal", Modified, User3, UserStamp},
    Row{"NoQuestionOnceUndoneToTheLoad", "keys:Ctrl+Z; close:flag; shown", "closed", "user_v3.cal", "", User3, UserStamp},
    Row{"NoQuestionBackAtTheSave", "save:kept.cal; keys:Ctrl+Z; ask:cancel; exit; keys:Ctrl+Y; exit; shown", "A=cancel | closed", Kept, Modified, User3, UserStamp}), rows::Name());

// Every command of the window, undone with Ctrl+Z and redone with Ctrl+Shift+Z and Ctrl+Y: the saved files.
class History : public MainWindow {};
TEST_P(History, UndoesAndRedoesEveryCommandExactly) { Session(); }

INSTANTIATE_TEST_SUITE_P(Steps, History, testing::Values(
    Row{"AllTheWayBackAndForth", "load:user_v3.cal; export:devs.xml; negative:user_v3.cal>neg.cal; load:neg.cal; save:start.cal; menu;"
        " ud:cancel; append; row:1; insert; row:2; key:Delete; row:1; down; row:2; up; dbl:2,2; dbl:2,2; dbl:1,2; dbl:2,3;"
        " fclick:0; fclick:1; fclick:2; fclick:3; import:devs.xml; dev:type; dbl:2,1; save:end.cal; menu;"
        " keys:Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z, Ctrl+Z; menu; status; save:back.cal;"
        " keys:Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z, Ctrl+Y, Ctrl+Shift+Z; menu; save:again.cal;"
        " same:start.cal>back.cal; same:end.cal>again.cal; same:start.cal>end.cal",
        "edit=-- | User Data(user lab/user) | Q:Deleting cannot be undone. Proceed? | editor(User 6 dB pad rw) | edit=U- | edit=-R | status= | edit=U- | start.cal==back.cal | end.cal==again.cal | start.cal!=end.cal",
        "@/again.cal", Modified, "1001 Cable 1 m SMA*, 1002 DÄMPFUNG 6 dB", Today},
    Row{"TheListShowsTheStepsDevice", "load:user_v3.cal; row:2; key:Delete; row:1; fclick:0; keys:Ctrl+Z; cur; flags; keys:Ctrl+Z; cur; list; status; keys:Ctrl+Y; cur",
        "Q:Deleting cannot be undone. Proceed? | row=1 | flags X--- 1 | row=2 | list=1001 Cable 1 m SMA*, 1002 User 6 dB pad | status= | row=1", "user_v3.cal", Modified, "1001 Cable 1 m SMA*", UserStamp},
    Row{"OneValueInTheEditorIsAStep", "load:factory_v3.cal; ud:cancel; dev:value; dbl:2,1; val; stamp; keys:Ctrl+Z; val; stamp; status",
        "editor(ATT 10dB 18G rw) | User Data(user lab/user) | val=0.125 -0.00432151 | stamp=today/user lab/user | val=0.0083374 -0.00432151 | stamp=2024-03-15/Korvenlab VNA Bench 4/Petra Okonjo | status=",
        "factory_v3.cal", "", "1 ATT 3dB 18G, 2 ATT 10dB 18G*, 3 ATT 20dB 18G+, 4 ADP N-SMA", FactoryStamp}), rows::Name());

// The first stamp of a run that writes the laboratory and engineer offers User Data while either is the default.
class UserDataPrompt : public MainWindow {};
TEST_P(UserDataPrompt, ComesOncePerRunBeforeTheFirstStamp) { Session("load:user_v3.cal"); }

INSTANTIATE_TEST_SUITE_P(Stamps, UserDataPrompt, testing::Values(
    Row{"OkStampsTheTextsGiven", "ud:Lab A/Eng B/ok; append; stamp; settings; insert:-; stamp", "User Data(user lab/user) | stamp=today/Lab A/Eng B | Lab A/Eng B/1000/60000/off/off | stamp=today/Lab A/Eng B", "user_v3.cal", Modified, "1001 new_device, 1002 Cable 1 m SMA*, 1003 User 6 dB pad, 1004 new_device", "today/Lab A/Eng B"},
    Row{"CancelStampsTheDefaults", "ud:cancel; append; stamp; insert:-", "User Data(user lab/user) | stamp=today/user lab/user", "user_v3.cal", Modified, "1001 new_device, 1002 Cable 1 m SMA*, 1003 User 6 dB pad, 1004 new_device", Today},
    Row{"OneDefaultTextIsEnough", "ud:Lab A/user/ok; userdata; ud:cancel; append", "User Data(user lab/user) | User Data(Lab A/user)", "user_v3.cal", Modified, "1001 Cable 1 m SMA*, 1002 User 6 dB pad, 1003 new_device", "today/Lab A/user"},
    Row{"NotWhenGivenFirstNorLater", "ud:Lab A/Eng B/ok; userdata; append:-; ud:user lab/user/ok; userdata; insert:-", "User Data(user lab/user) | User Data(Lab A/Eng B)", "user_v3.cal", Modified, "1001 new_device, 1002 Cable 1 m SMA*, 1003 User 6 dB pad, 1004 new_device", Today}), rows::Name());

} // namespace
