#include "../platform/ui/Rows.h"
#include "LibraryErrorReport.h"
#include "ListCtrl.h"
#include "MainWindowFixture.h"
#include "Menu.h"
#include "PrivateNetwork.h"
#include "ServedSensors.h"
#include "TextConversion.h"
#include "VisaLoader.h"
#include "VisualizeDialog.h"

#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>

#include <map>

// The sensor menu's LAN row serves a sensor at 127.0.0.2 in this program's own network.
bool TestsUsePrivateNetwork() { return true; }

namespace
{

using rows::operator<<;

// Lines of different lengths, non-ASCII letters and a trailing newline, as a data set's text has them.
const char* const Text = "Calibration data set\n  Engineer    \"Jörg\"\n  Temperature 23 °C\n\n  #  Frequency/Hz\n  0  1e+07\n";
// A laboratory longer than the data set holds, as only a file edited by hand gives it.
const char* const Settings = "[cal]\nlab = Prüflabor Köln, Nordflügel, Raum 7\neng = Jörg\n[rc]\ntimeout = -5\ncalDataTimeout = 90000\n";
// What opens: a command of the Options menu with its fields; the content view over a rendered text ("render"), or a
// library action ("run"), the text given, a library error or another error.
const std::map<QString, std::array<int, 3>> Openers{{"userdata", {ID_OPTIONS_USER_DATA, IDC_CAL_LAB, IDC_CAL_ENG}},
    {"remote", {ID_OPTIONS_REMOTE, IDC_COMMAND_TIMEOUT, IDC_CAL_DATA_TIMEOUT}},
    {"showcal", {ID_OPTIONS_SHOW_CAL_DATA, IDC_VISUALIZE_TEXT, 0}}, {"render", {0, IDC_VISUALIZE_TEXT, 0}}, {"run", {}}};

// Steps (";" between them) in the dialog that opens, and what it showed; "<set>" stands for the whole text to show.
struct Row { const char* scenario; const char* open; const char* steps; const char* log; };

class Dialogs : public rows::Fixture<MainWindowFixture, Row>
{
public:
    void Note(const QString& text) { m_log += (m_log.isEmpty() ? "" : " | ") + text; }
    QString Shown(const QString& text) const { return text == m_text ? "<set>" : text.left(200); }
    static QString Waiting() { return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor ? " waiting" : ""; }
    void Step(CDialog* dialog, const QString& step);

    QString m_log, m_text;
    std::array<int, 2> m_fields{};
};

void Dialogs::Step(CDialog* dialog, const QString& step)
{
    static const std::map<QString, int> Buttons{{"ok", IDOK}, {"cancel", IDCANCEL}, {"reset", IDC_RESET_TIMEOUTS}, {"copy", IDC_COPY_TO_CLIPBOARD}};
    QWidget* field = dialog->GetDlgItem(m_fields[step.startsWith('b')]);
    auto* edit = qobject_cast<QPlainTextEdit*>(field);
    const QString text = edit ? edit->toPlainText() : dialog->GetDlgItemText(m_fields[0]);
    field->setFocus(Qt::TabFocusReason);
    if (Buttons.count(step) != 0)
        QTest::mouseClick(dialog->GetDlgItem(Buttons.at(step)), Qt::LeftButton);
    else if (step.mid(1, 1) == "=") { // as a user replaces a field's text
        QTest::keySequence(field, QKeySequence("Ctrl+A, Backspace"));
        QTest::keyClicks(field, step.mid(2));
    } else if (step.startsWith("keys:"))
        QTest::keySequence(field, QKeySequence(step.mid(5)));
    else if (step == "ret")
        QTest::keyClick(field, Qt::Key_Return);
    else if (step == "show")
        Note("(" + Shown(text) + (m_fields[1] ? "/" + dialog->GetDlgItemText(m_fields[1]) : "") + ")");
    else if (const QMimeData* clip = QGuiApplication::clipboard()->mimeData(); step == "clip")
        Note("clip=" + Shown(clip->text()) + (clip->formats() == QStringList{"text/plain"} ? "" : " " + clip->formats().join(',')));
    else if (step == "open")
        Note(dialog->isVisible() ? "open" : "closed");
    else if (const QFont font = field->font(); step == "look")
        Note(QString::number(font.pointSizeF()) + "pt " + (QStringList{"Consolas", "Courier New"}.contains(font.family()) && QFontInfo(font).fixedPitch() ? "fixed" : font.family())
             + (edit->lineWrapMode() == QPlainTextEdit::NoWrap ? " nowrap" : "") + (edit->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn && edit->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ? " bars" : ""));
    else if (const QList<QLabel*> labels = dialog->findChildren<QLabel*>(); step == "labels") {
        QString note = QString::number(labels.size()) + " labels"; // a wrapping label breaks a text too long for it into a line it has no room for
        for (const QLabel* label : labels)
            note += label->heightForWidth(label->width()) == label->heightForWidth(QWIDGETSIZE_MAX) ? "" : ", cut " + label->text();
        Note(note);
    } else if (step == "part") // whole lines only, before the view has taken the whole text
        Note(m_text.startsWith(text) && text.endsWith('\n') ? "part" : Shown(text));
    else if (step == "fill")
        EXPECT_TRUE(QTest::qWaitFor([&] { return edit->document()->characterCount() - 1 >= m_text.size(); }, 60000));
    else
        ADD_FAILURE() << "no step " << step.toStdString();
}

TEST_P(Dialogs, ShowWhatTheyHoldAndKeepWhatTheUserTook)
{
    const Row& row = GetParam();
    QDir().mkpath(m_configFolder.filePath("Trobe-Lindvar"));
    QFile file(m_configFolder.filePath("Trobe-Lindvar/Ostrel.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(Settings) > 0 && file.flush());
    Start();
    QGuiApplication::clipboard()->setText("before");
    const ScopedMessageBoxPresenter boxes([this](const MessageBoxRequest& box) {
        Note("box " + box.caption + (box.icon == MessageBoxIcon::Stop ? " stop" : " ?") + (box.buttons == MessageBoxButtons::Ok ? " ok" : " ?")
             + (box.parent == m_dialog.get() ? "" : " orphan") + Waiting() + (QApplication::activeModalWidget() ? " over a dialog" : "") + ": " + box.text);
        return IDOK;
    });
    const QStringList open = QString(row.open).split(':');
    const auto [command, a, b] = Openers.at(open[0]);
    m_fields = {a, b};
    if (open.size() > 1 && command)
        LoadIntoWindow(open[1].toStdString());
    m_text = command ? Utf8ToWide(m_dialog->DataSet().Visualize()) : QString::fromUtf8(Text);
    for (int line = 0; open.value(1) == "large" && line < 60000; ++line)
        m_text += QString("  %1  1.2345678e+09  0.98765432  -0.0012345678  0.0001\n").arg(line);
    if (a)
        WhenModal([this, &row](QWidget* modal) {
            Note(modal->windowTitle() + Waiting());
            for (const QString& step : QString(row.steps).split(';', Qt::SkipEmptyParts))
                Step(qobject_cast<CDialog*>(modal), step.trimmed());
        });
    const auto produce = [this, kind = open.value(1)]() -> std::string {
        Note("ran" + Waiting());
        if (kind == "library" || kind == "other")
            kind == "other" ? throw std::runtime_error("not the library") : throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, "/tmp/x.cal");
        return WideToUtf8(m_text);
    };
    if (command)
        m_dialog->GetMenu().FindMenuItem(command, MF_BYCOMMAND)->trigger();
    else if (a)
        ShowDataSetText(m_dialog.get(), produce);
    else try {
        Note(RunLibraryAction(m_dialog.get(), [&] { produce(); }) ? "=true" : "=false");
    } catch (const std::runtime_error&) {
        Note("=throws");
    }
    if (b)
        Note(Utf8ToWide(m_dialog->CalLab() + "/" + m_dialog->CalEng() + "/") + QString::number(m_dialog->Timeout()) + "/" + QString::number(m_dialog->CalDataTimeout()));
    EXPECT_EQ(m_log.toStdString(), row.log);
    EXPECT_EQ(Waiting(), "");
}

INSTANTIATE_TEST_SUITE_P(Dialogs, Dialogs, testing::Values(
    Row{"UserDataShowsALongerLabCut", "userdata", "show; labels; cancel", "User Data | (Prüflabor Köln, Nordflügel, Raum/Jörg) | 2 labels | Prüflabor Köln, Nordflügel, Raum 7/Jörg/-5/90000"},
    Row{"UserDataOkKeepsTheCut", "userdata", "ok", "User Data | Prüflabor Köln, Nordflügel, Raum/Jörg/-5/90000"},
    Row{"UserDataTakesNoMoreThanTheDataSetHolds", "userdata", "a=KALIBRIERLABOR NORD, GEBÄUDE 4, RAUM 12; b=JÖRG ÅSTRÖM UND ILSE MARQUARDT, TEAM B; show; ok",
        "User Data | (KALIBRIERLABOR NORD, GEBÄUDE 4, /JÖRG ÅSTRÖM UND ILSE MARQUARDT, ) | KALIBRIERLABOR NORD, GEBÄUDE 4, /JÖRG ÅSTRÖM UND ILSE MARQUARDT, /-5/90000"},
    Row{"RemoteShowsTheTimeoutsSignAndAll", "remote", "show; labels; ok", "Remote Control Settings | (-5/90000) | 2 labels | Prüflabor Köln, Nordflügel, Raum 7/Jörg/-5/90000"},
    Row{"RemoteTakesOnlyDigitsFromTheKeyboard", "remote", "a=1a2 b-+3.4e; b=9x8; show; ok", "Remote Control Settings | (1234/98) | Prüflabor Köln, Nordflügel, Raum 7/Jörg/1234/98"},
    Row{"RemoteEmptyFieldsGiveTheirDefaults", "remote", "a=; b=; ok", "Remote Control Settings | Prüflabor Köln, Nordflügel, Raum 7/Jörg/1000/60000"},
    Row{"RemoteResetShowsTheDefaultsAndStaysOpen", "remote", "a=12; b=34; reset; open; show; ret", "Remote Control Settings | open | (1000/60000) | Prüflabor Köln, Nordflügel, Raum 7/Jörg/1000/60000"},
    Row{"ShowCalDataAtStart", "showcal", "show; copy; open; clip; cancel; open", "Visualize Content | (<set>) | open | clip=<set> | closed"},
    Row{"ShowCalDataOfALoadedSet", "showcal:user_v3.cal", "look; a=xyz; show; keys:Ctrl+Home, Down, Shift+Down, Ctrl+C; clip; keys:Ctrl+A, Ctrl+C; clip",
        "Visualize Content | 10pt fixed nowrap bars | (<set>) | clip=  Sensor name             \"TLS-18G\"\n | clip=<set>"},
    Row{"ViewRendersUnderTheWaitCursor", "render:text", "show", "ran waiting | Visualize Content | (<set>)"},
    Row{"RenderErrorShownBeforeAnEmptyView", "render:library", "show", "ran waiting | box Error stop ok: \"/tmp/x.cal\": File read access failed! | Visualize Content | ()"},
    Row{"LargeTextFillsInWhileTheViewIsOpen", "render:large", "part; copy; clip; fill; show", "ran waiting | Visualize Content | part | clip=<set> | (<set>)"},
    Row{"LibraryActionRuns", "run:text", "", "ran | =true"},
    Row{"LibraryErrorStopsTheAction", "run:library", "", "ran | box Ostrel stop ok: \"/tmp/x.cal\": File read access failed! | =false"},
    Row{"OtherErrorsPassThrough", "run:other", "", "ran | =throws"}), rows::Name());

// How the window reaches TVX-18G 100001: its driver, or VISA over USB or the LAN.
struct Path { const char* scenario; bool visa; const char* lan; };
using SensorMenu = rows::Fixture<MainWindowFixture, Path>;

// Clicks the next dialog's controls in turn, each once it is enabled (-1: the one row of its list), and waits until
// the dialog has closed.
void Clicks(const std::vector<int>& ids)
{
    MainWindowFixture::WhenModal([ids](QWidget* modal) {
        for (const int id : ids) {
            QWidget* control = qobject_cast<CDialog*>(modal)->GetDlgItem(id < 0 ? IDC_SENSOR_LIST : id);
            ASSERT_TRUE(QTest::qWaitFor([control] { return control->isEnabled(); }, 20000)) << id;
            auto* list = qobject_cast<CListCtrl*>(control);
            ASSERT_TRUE(!list || list->GetItemCount() == 1);
            QTest::mouseClick(list ? list->viewport() : control, Qt::LeftButton, {}, list ? list->visualRect(list->model()->index(0, 0)).center() : QPoint());
        }
        EXPECT_TRUE(QTest::qWaitFor([modal] { return !modal->isVisible(); }, 20000)) << "still open";
    });
}

// The user loads the sensor's user data set, edits a value of its first device, saves it into the sensor, is refused
// saving it while the factory data set is forced, and loads it again: the value is in the sensor's store and back in
// the window.
TEST_P(SensorMenu, AnEditGoesIntoTheSensorAndComesBack)
{
    const Path& path = GetParam();
    if (*path.lan && !private_network::Problem().empty())
        GTEST_SKIP() << "no LAN without a private network: " << private_network::Problem();
    ServedSensors sensors;
    SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
    identity.onUsb = !*path.lan;
    identity.lanAddress = path.lan;
    sensors.Store().Add(identity, SampleDataFor("factory_v3.cal", "TVX-18G", "100001"));
    sensors.Store().SaveArea("100001", DataArea::User, SampleDataFor("user_v3.cal", "TVX-18G", "100001"));
    sensors.Start();
    const auto previous = VisaLoader::ReplaceDefault(path.visa ? VisaLoader::Load({OSTREL_VISA_LIBRARY}) : nullptr);
    const std::shared_ptr<void> restore(nullptr, [previous](void*) { VisaLoader::ReplaceDefault(previous); });
    const auto menu = [this](int id) { m_dialog->GetMenu().FindMenuItem(id, MF_BYCOMMAND)->trigger(); };
    if (*path.lan)
        menu(ID_SENSOR_SCAN_NETWORK);
    Clicks({-1, IDC_UPLOAD, IDOK});
    menu(ID_SENSOR_LOAD);
    EXPECT_EQ(m_dialog->GetWindowText(), QStringLiteral("Upload from TVX-18G Ser.# 100001"));
    ASSERT_EQ(m_dialog->DataSet().GetChannelNumber(), 0);
    WhenModal([](QWidget* modal) {
        TypeIntoCell(qobject_cast<CDialog*>(modal)->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID), 1, 2, QStringLiteral("0.125"));
        QTest::mouseClick(qobject_cast<CDialog*>(modal)->GetDlgItem(IDOK), Qt::LeftButton);
    });
    DoubleClickCell(1, 1);
    Clicks({IDC_DOWNLOAD});
    menu(ID_SENSOR_SAVE);
    const std::string stored = sensors.Store().LoadArea("100001", DataArea::User);
    menu(ID_SENSOR_ALWAYS_FACTORY);
    menu(ID_SENSOR_SAVE);
    EXPECT_EQ(sensors.Store().LoadArea("100001", DataArea::User), stored);
    menu(ID_SENSOR_ALWAYS_FACTORY);
    m_dialog->AcceptLoadedDataSet(CTamrix(), FormatPair{'3', '0'});
    Clicks({-1, IDC_UPLOAD, IDOK});
    menu(ID_SENSOR_LOAD);
    QString boxes;
    for (const MessageBoxRequest& box : m_boxes)
        boxes += (box.icon == MessageBoxIcon::Information ? "I:" : box.icon == MessageBoxIcon::Stop ? "S:" : "?:") + box.text + "|";
    EXPECT_EQ(boxes.toStdString(), "I:Download successful.|S:Consistency check failed:\r\nThe option \"Always Use Factory Data Set\" in the Sensor menu is checked, but the current data set is a user data set. Uncheck the option before downloading.|");
    CTamrix set;
    set.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromBuffer2(set, stored);
    EXPECT_EQ(std::get<0>(set.GetSParaValue(0, 0, &SParaType<1>::S11)), 0.125);
    EXPECT_EQ(std::get<0>(m_dialog->DataSet().GetSParaValue(0, 0, &SParaType<1>::S11)), 0.125);
    EXPECT_EQ(m_dialog->DataSet().Content().devices[1].points.size(), set.Content().devices[1].points.size());
}

INSTANTIATE_TEST_SUITE_P(Paths, SensorMenu, testing::Values(Path{"Driver", false, ""}, Path{"VisaUsb", true, ""}, Path{"VisaLan", true, "127.0.0.2"}), rows::Name());

} // namespace
