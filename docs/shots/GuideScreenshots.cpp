// The pictures of the user guide (docs/guide.md). The program's own windows are
// opened and worked as a user works them, with mouse clicks and keys: a sample
// data set loaded from the File menu, a new device filled from a Touchstone file
// and an uncertainty file, its plot, a simulated sensor in the upload dialog,
// and the two settings dialogs. Each window is written as a PNG into the folder
// given as the only argument.
//
// Everything the program would keep (settings, the sensor store, the runtime
// folder) goes into temporary folders; the simulated sensor is served in this
// process over local sockets only.

#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialogPresenter.h"
#include "GuiTest.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
#include "OstrelApp.h"
#include "OstrelDlg.h"
#include "PlotWindow.h"
#include "Resource.h"
#include "ScopedEnvironment.h"
#include "ServedSensors.h"
#include "VisaLoader.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace
{

constexpr int patience = 20000; // ms a window may take to appear
QDir output;
int failures = 0;

void Fail(const QString& what)
{
    std::fprintf(stderr, "guide_screenshots: %s\n", qPrintable(what));
    ++failures;
}

void Save(const QPixmap& picture, const QString& name)
{
    const QString path = output.filePath(name);
    if (!picture.toImage().convertToFormat(QImage::Format_RGB32).save(path, "PNG"))
        Fail("cannot write " + path);
}

// A window as it is drawn now, at its own size.
void Shoot(QWidget* window, const QString& name)
{
    Settle();
    Save(window->grab(), name);
}

bool Wait(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, patience);
}

// Runs `work` on the next modal dialog once it shows; Escape closes the dialog
// should `work` leave it open. Looks every 10 ms until `left` looks are used up.
void WhenDialog(const std::function<void(CDialog*)>& work, int left = patience / 10)
{
    QTimer::singleShot(left == patience / 10 ? 0 : 10, [work, left] {
        auto* dialog = qobject_cast<CDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return left > 0 ? WhenDialog(work, left - 1) : Fail("no dialog opened");
        if (!QTest::qWaitForWindowExposed(dialog)) Fail(dialog->windowTitle() + " not shown");
        Settle();
        work(dialog);
        if (dialog->isVisible()) QTest::keyClick(dialog, Qt::Key_Escape);
    });
}

// Runs `work` on the dialog that `open` opens, from the event loop it runs in.
void InDialog(const std::function<void()>& open, const std::function<void(CDialog*)>& work)
{
    WhenDialog(work);
    open();
}

// Clicks a menu's title in the window's menu bar; the menu that opens, or null.
QMenu* OpenMenu(QWidget* window, const QString& title)
{
    auto* bar = window->findChild<QMenuBar*>();
    for (QAction* action : bar->actions())
        if (action->text() == title) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
            QMenu* menu = nullptr;
            if (Wait([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; })
                && QTest::qWaitForWindowExposed(menu))
                return Settle(), menu;
        }
    Fail("menu " + title + " did not open");
    return nullptr;
}

// A menu command: the menu opened with the mouse (photographed with the window
// below it when `shot` is named), the item chosen by its underlined letter.
void Command(QWidget* window, const QString& menuTitle, Qt::Key item, const QString& shot = QString())
{
    QMenu* menu = OpenMenu(window, menuTitle);
    if (menu == nullptr) return;
    if (!shot.isEmpty()) {
        const QRect area = window->frameGeometry().united(menu->geometry());
        Save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()), shot);
    }
    QTest::keyClick(menu, item);
    Settle();
}

void Click(QWidget* control)
{
    if (!Wait([control] { return control->isEnabled(); })) Fail(control->property("text").toString() + " stays disabled");
    QTest::mouseClick(control, Qt::LeftButton);
    Settle();
}

// A click on a cell of a grid (row 1 is the first data row), as the mouse gives it.
void ClickCell(QAbstractItemView* grid, int row, int col, Qt::KeyboardModifiers modifiers = {})
{
    const QModelIndex index = grid->model()->index(row - 1, col - 1);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, grid->visualRect(index).center());
    Settle();
}

void TypeInto(CDialog* dialog, int id, const QString& text)
{
    QWidget* field = dialog->GetDlgItem(id);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keySequence(field, QKeySequence(QStringLiteral("Ctrl+A, Backspace")));
    QTest::keyClicks(field, text);
}

// The frequencies of the attenuator's 20 points, in GHz.
double PointGHz(int i)
{
    return i == 0 ? 0.01 : i == 1 ? 0.5 : i - 1.0;
}

// A 6 dB attenuator up to 18 GHz as a network analyser writes it: magnitude in dB, angle in degrees.
QByteArray AttenuatorFile()
{
    QByteArray text = "! Ostrel guide: 6 dB attenuator, SMA, 18 GHz\n# GHZ S DB R 50\n";
    const auto angle = [](double degrees) { return std::remainder(degrees, 360.0); };
    for (int i = 0; i < 20; ++i) {
        const double f = PointGHz(i);
        const double s11 = -36 + 0.75 * f, s22 = -34 + 0.7 * f, s21 = -6.02 - 0.022 * f;
        text += QString::asprintf("%-6g %7.2f %8.2f %7.3f %8.2f %7.3f %8.2f %7.2f %8.2f\n", f, s11, angle(95 - 21 * f),
                                  s21, angle(-28.8 * f), s21, angle(-28.8 * f), s22, angle(-80 - 23 * f))
                    .toLatin1();
    }
    return text;
}

// Its uncertainties, linear, at the same frequencies in Hz.
QByteArray UncertaintyFile()
{
    QByteArray text = "! Ostrel guide: uncertainties of the 6 dB attenuator\n# HZ U\n";
    for (int i = 0; i < 20; ++i) {
        const double f = PointGHz(i);
        text += QString::asprintf("%.6g %.4f %.4f %.4f %.4f\n", f * 1e9, 0.008 + 0.0006 * f, 0.004 + 0.0004 * f,
                                  0.004 + 0.0004 * f, 0.008 + 0.0006 * f)
                    .toLatin1();
    }
    return text;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) Fail("cannot write " + path);
}

// The session of the guide, window by window.
void Session(const QTemporaryDir& files)
{
    std::deque<QString> answers; // the file dialogs' choices, in turn
    const ScopedFileDialogPresenter chooser([&answers](const FileDialogRequest&) -> std::optional<QString> {
        if (answers.empty()) return std::nullopt;
        const QString path = answers.front();
        answers.pop_front();
        return path;
    });
    const ScopedMessageBoxPresenter boxes([](const MessageBoxRequest& box) {
        // The edits of the session are not kept when the sensor's data set is loaded.
        if (box.buttons == MessageBoxButtons::SaveDiscardCancel) return IDNO;
        Fail("unexpected message: " + box.text);
        return box.buttons == MessageBoxButtons::YesNo ? IDNO : IDOK;
    });

    COstrelDlg main;
    if (!main.Create()) return Fail("the main window could not be made");
    main.show();
    if (!QTest::qWaitForWindowExposed(&main)) Fail("the main window is not shown");

    // Options > User Data, before anything is changed.
    InDialog([&] { Command(&main, "&Options", Qt::Key_U); }, [](CDialog* dialog) {
        TypeInto(dialog, IDC_CAL_LAB, "Korvenlab VNA Bench 4");
        TypeInto(dialog, IDC_CAL_ENG, "Petra Okonjo");
        Shoot(dialog, "user-data.png");
        Click(dialog->GetDlgItem(IDOK));
    });
    InDialog([&] { Command(&main, "&Options", Qt::Key_R); }, [](CDialog* dialog) {
        Shoot(dialog, "remote.png");
        Click(dialog->GetDlgItem(IDCANCEL));
    });

    // File > Load Calibration Data ... with the factory sample.
    answers.push_back(files.filePath("factory_v3.cal"));
    Command(&main, "&File", Qt::Key_L);
    if (!main.windowTitle().endsWith("factory_v3.cal")) Fail("not loaded: " + main.windowTitle());
    Shoot(&main, "main-window.png");

    // Device > Append, then Device > Edit ... on the new row: both files imported, a block selected, the plot.
    Command(&main, "&Device", Qt::Key_A);
    auto* devices = main.GetDlgItemAs<CEditFlexGrid>(IDC_DEVICE_GRID);
    ClickCell(devices, int(devices->GetRows() - 1), 1);
    InDialog([&] { Command(&main, "&Device", Qt::Key_E); }, [&](CDialog* editor) {
        answers.push_back(files.filePath("ATT 6dB 18G.s2p"));
        Command(editor, "&File", Qt::Key_I);
        answers.push_back(files.filePath("ATT 6dB 18G.txt"));
        Command(editor, "&File", Qt::Key_M);
        auto* grid = editor->GetDlgItemAs<CEditFlexGrid>(IDC_POINT_GRID);
        if (grid->GetRows() != 21) Fail(QString("the table has %1 rows").arg(grid->GetRows()));
        ClickCell(grid, 1, 1);
        ClickCell(grid, 4, 7, Qt::ShiftModifier);
        Shoot(editor, "device-editor.png");

        Command(editor, "&View", Qt::Key_P);
        CPlotWindow* plot = editor->findChild<CPlotWindow*>();
        if (plot == nullptr || !QTest::qWaitForWindowExposed(plot)) return Fail("the plot did not open");
        Settle();
        QChart* chart = plot->MagnitudeChart();
        auto* view = static_cast<QChartView*>(chart->scene()->views().value(0));
        const QPointF at = chart->mapToPosition(QPointF(9.2e9 / plot->FrequencyUnit(), -20));
        QTest::mouseMove(plot->windowHandle(), view->viewport()->mapTo(plot, view->mapFromScene(at)));
        if (!plot->Readout().startsWith("Row 11:")) Fail("readout: " + plot->Readout());
        Shoot(plot, "plot.png");
        plot->close();
        Click(editor->GetDlgItem(IDOK));
    });
    // Another device from a real cable's file and an uncertainty of its own: the plot with a marker set.
    Command(&main, "&Device", Qt::Key_A);
    ClickCell(devices, int(devices->GetRows() - 1), 1);
    InDialog([&] { Command(&main, "&Device", Qt::Key_E); }, [&](CDialog* editor) {
        answers.push_back(OSTREL_SOURCE_DIR "/tests/s2p/data/corpus/CABLE_3_5MM_1N_TYPE_CONNECTORS.S2P");
        Command(editor, "&File", Qt::Key_I);
        answers.push_back(files.filePath("cable.txt"));
        Command(editor, "&File", Qt::Key_M);
        Command(editor, "&View", Qt::Key_P);
        CPlotWindow* plot = editor->findChild<CPlotWindow*>();
        if (plot == nullptr || !QTest::qWaitForWindowExposed(plot)) return Fail("the cable's plot did not open");
        Settle();
        QChart* chart = plot->MagnitudeChart();
        auto* view = static_cast<QChartView*>(chart->scene()->views().value(0));
        const QPointF at = chart->mapToPosition(QPointF(100e6 / plot->FrequencyUnit(), -20));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(at));
        Settle();
        if (!plot->Markers().startsWith("M1")) Fail("no marker: " + plot->Markers());
        Shoot(plot, "plot-cable.png");
        plot->close();
        Click(editor->GetDlgItem(IDOK));
    });
    Command(&main, "&File", Qt::Key_Escape, "file-menu.png");

    // Sensor > Load Calibration Data ... from the simulated sensor.
    InDialog([&] { Command(&main, "&Sensor", Qt::Key_L); }, [](CDialog* dialog) {
        auto* list = dialog->GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
        if (list->GetItemCount() != 1) return Fail(QString("%1 sensors listed").arg(list->GetItemCount()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        Settle();
        Shoot(dialog, "upload-dialog.png");
        Click(dialog->GetDlgItem(IDC_UPLOAD));
        Click(dialog->GetDlgItem(IDOK));
    });
    if (!main.windowTitle().startsWith("Upload from TVX-18G")) Fail("no upload: " + main.windowTitle());
    Command(&main, "&Sensor", Qt::Key_Escape, "sensor-menu.png");
}

} // namespace

int main(int argc, char** argv)
{
    // Nothing of the user's is read or written: home, settings and data in a folder of their own.
    const QTemporaryDir home;
    if (!home.isValid()) return 1;
    const std::pair<const char*, const char*> folders[] = {
        {"HOME", ""}, {"XDG_CONFIG_HOME", "/.config"}, {"XDG_DATA_HOME", "/.local/share"}, {"XDG_RUNTIME_DIR", ""}};
    std::vector<std::shared_ptr<void>> environment;
    for (const auto& [name, folder] : folders)
        environment.push_back(ScopedEnvironmentVariable(name, (home.path() + folder).toStdString()));

    COstrelApp application(argc, argv);
    if (application.arguments().size() != 2) {
        std::fprintf(stderr, "usage: guide_screenshots FOLDER\n");
        return 2;
    }
    output.setPath(application.arguments()[1]);
    if (!output.mkpath(".")) return Fail("cannot make " + output.path()), 1;

    const QTemporaryDir files;
    if (!QFile::copy(OSTREL_SOURCE_DIR "/samples/factory_v3.cal", files.filePath("factory_v3.cal")))
        Fail("cannot copy the sample data set");
    Write(files.filePath("ATT 6dB 18G.s2p"), AttenuatorFile());
    Write(files.filePath("ATT 6dB 18G.txt"), UncertaintyFile());
    Write(files.filePath("cable.txt"), "# MHZ U\n0.009 0.02 0.004 0.004 0.02\n50 0.03 0.01 0.01 0.03\n"
                                       "176.3 0.06 0.02 0.02 0.06\n");

    // The demo sensor of the run command: TVX-18G, serial 100001, factory data set only; the program's own VISA library.
    ServedSensors sensors;
    sensors.Add("100001", "TVX-18G", false);
    sensors.Start();
    VisaLoader::ReplaceDefault(VisaLoader::Load({OSTREL_VISA_LIBRARY}));

    Session(files);
    sensors.Stop();
    return failures == 0 ? 0 : 1;
}
