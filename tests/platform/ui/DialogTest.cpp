#include "DialogControls.h"
#include "DialogTemplate.h"
#include "ListCtrl.h"
#include "Resource.h"
#include "Support.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{

using rows::operator<<;
using Action = std::function<void(RecordingDialog&)>;
constexpr int LeftOpen = -100; // what DoModal returns when the row's action left the dialog open

// Runs the action from inside the modal loop, once it runs, and ends a dialog it left open.
int RunModal(RecordingDialog& dialog, const Action& action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        action(dialog);
        if (dialog.isVisible())
            dialog.EndDialog(LeftOpen);
    });
    return dialog.DoModal();
}

Action Click(int id)
{
    return [id](RecordingDialog& d) { QTest::mouseClick(d.GetDlgItem(id), Qt::LeftButton); };
}

// After `first`, puts the focus on the control of the active window and presses the keys where the focus is.
Action Press(int id, std::vector<QKeyCombination> keys, Action first = {})
{
    return [id, keys, first](RecordingDialog& d) {
        if (first)
            first(d);
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        d.GetDlgItem(id)->setFocus();
        for (const QKeyCombination key : keys)
            QTest::keyClick(d.focusWidget(), key.key(), key.keyboardModifiers());
    };
}

struct WayRow
{
    const char* scenario;
    int templateId;
    Action before, action; // before DoModal, inside its loop
    int result;
    Strings calls;
    std::vector<int> checked; // the buttons checked at the end
    Strings boxes;
};

using WayOutTest = rows::Test<WayRow>;

TEST_P(WayOutTest, EndsWithTheResultOfTheUsersWay)
{
    const WayRow& row = GetParam();
    const ShownBoxes shown;
    RecordingDialog dialog(row.templateId);
    if (row.before)
        row.before(dialog);
    EXPECT_EQ(RunModal(dialog, row.action), row.result);
    EXPECT_EQ(dialog.calls, row.calls);
    std::vector<int> checked;
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        if (dialog.IsDlgButtonChecked(GetDlgCtrlID(button)))
            checked.push_back(GetDlgCtrlID(button));
    EXPECT_EQ(checked, row.checked);
    EXPECT_EQ(shown.boxes, row.boxes);
}

const Strings Ok{"OnInitDialog", "command 1", "OnOK"};
const Strings Cancel{"OnInitDialog", "command 2", "OnCancel"};
const Strings Init{"OnInitDialog"};

INSTANTIATE_TEST_SUITE_P(
    Rows, WayOutTest,
    testing::Values(
        WayRow{"ok_button", IDD_CAL_INFO, {}, Click(IDOK), IDOK, Ok},
        WayRow{"cancel_button", IDD_CAL_INFO, {}, Click(IDCANCEL), IDCANCEL, Cancel},
        WayRow{"enter_in_edit_presses_default_button", IDD_CAL_INFO, {}, Press(IDC_CAL_LAB, {Qt::Key_Return}), IDOK, Ok},
        WayRow{"keypad_enter_without_default_button", IDD_OSTREL_DIALOG, {},
               Press(IDC_FLAG_STATE_LOCKED, {Qt::Key_Enter | Qt::KeypadModifier}), IDOK, Ok},
        WayRow{"enter_on_focused_cancel_button", IDD_CAL_INFO, {}, Press(IDCANCEL, {Qt::Key_Return}), IDCANCEL, Cancel},
        WayRow{"enter_clicks_the_focused_button_of_the_window", IDD_CAL_INFO, {},
               Press(IDC_CAL_LAB, {Qt::Key_Return},
                     [](RecordingDialog& d) {
                         auto* own = static_cast<QPushButton*>(d.ReplaceDlgItem(IDC_CAL_LAB, new QPushButton));
                         own->setAutoDefault(false);
                         QObject::connect(own, &QPushButton::clicked, &d, [&d] { d.SendCommand(4711); });
                     }),
               LeftOpen, {"OnInitDialog", "command 4711"}},
        WayRow{"enter_on_greyed_default_button_does_nothing", IDD_CAL_INFO, {},
               Press(IDC_CAL_LAB, {Qt::Key_Return}, [](RecordingDialog& d) { d.EnableDlgItem(IDOK, false); }), LeftOpen,
               Init},
        WayRow{"enter_without_default_button_sends_ok", IDD_OSTREL_DIALOG, {},
               Press(IDC_FLAG_STATE_LOCKED, {Qt::Key_Return}), IDOK, Ok},
        WayRow{"control_that_uses_enter_keeps_it", IDD_OSTREL_DIALOG, {},
               Press(IDC_DEVICE_GRID, {Qt::Key_1, Qt::Key_Return},
                     [](RecordingDialog& d) { d.ReplaceDlgItem(IDC_DEVICE_GRID, new QPlainTextEdit); }),
               LeftOpen, Init},
        WayRow{"escape_in_edit", IDD_CAL_INFO, {}, Press(IDC_CAL_ENG, {Qt::Key_Escape}), IDCANCEL, Cancel},
        WayRow{"close_box", IDD_SENSOR_ID, {}, [](RecordingDialog& d) { d.close(); }, IDCANCEL, Cancel},
        WayRow{"close_box_when_on_cancel_keeps_the_window", IDD_OSTREL_DIALOG,
               [](RecordingDialog& d) { d.cancelEnds = false; }, [](RecordingDialog& d) { d.close(); }, LeftOpen,
               Cancel},
        WayRow{"own_result", IDD_REMOTE, {}, [](RecordingDialog& d) { d.EndDialog(1040); }, 1040, Init},
        WayRow{"check_box_click_sends_its_number", IDD_OSTREL_DIALOG, {}, Click(IDC_FLAG_USE_FACTORY_FLAGS), LeftOpen,
               {"OnInitDialog", "command 1023"}, {IDC_FLAG_USE_FACTORY_FLAGS}},
        WayRow{"checking_a_box_is_no_click", IDD_OSTREL_DIALOG, {},
               [](RecordingDialog& d) { d.CheckDlgButton(IDC_FLAG_DEVICE_LOCKED, true); }, LeftOpen, Init,
               {IDC_FLAG_DEVICE_LOCKED}},
        WayRow{"end_dialog_while_initialising", IDD_CAL_INFO,
               [](RecordingDialog& d) { d.initDialog = [&d] { return d.EndDialog(IDCANCEL), true; }; },
               [](RecordingDialog&) { ADD_FAILURE() << "shown"; }, IDCANCEL, Init},
        WayRow{"unknown_template", 4711, {}, {}, -1, {}},
        WayRow{"initialisation_that_throws", IDD_CAL_INFO,
               [](RecordingDialog& d) { d.initDialog = []() -> bool { throw std::runtime_error("no sensor library"); }; },
               {}, -1, Init, {}, {"Error (stop): no sensor library"}},
        WayRow{"command_handler_that_throws", IDD_CAL_INFO,
               [](RecordingDialog& d) { d.MapCommand(IDOK, [] { throw std::runtime_error("Checksum failed"); }); },
               Click(IDOK), LeftOpen, {"OnInitDialog", "command 1"}, {}, {"Error (stop): Checksum failed"}},
        WayRow{"message_handler_that_throws_anything", IDD_CAL_INFO,
               [](RecordingDialog& d) { d.MapMessage(WM_USER + 7, [](WPARAM, LPARAM) { throw 42; }); },
               [](RecordingDialog& d) { d.SendMessage(WM_USER + 7, 0, 0); }, LeftOpen, Init, {},
               {"Error (stop): An unexpected error occurred."}}),
    rows::Name());

struct DestroyRow
{
    const char* scenario;
    Action use;
    int whileAlive, inAll; // OnDestroy calls before the dialog object goes, in all
};

using OnDestroyTest = rows::Test<DestroyRow>;

TEST_P(OnDestroyTest, RunsOnceForEveryWindowMade)
{
    int destroyed = 0;
    {
        RecordingDialog dialog(IDD_CAL_INFO);
        dialog.destroyed = &destroyed;
        GetParam().use(dialog);
        EXPECT_EQ(destroyed, GetParam().whileAlive);
    }
    EXPECT_EQ(destroyed, GetParam().inAll);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OnDestroyTest,
    testing::Values(DestroyRow{"ended_with_ok", [](RecordingDialog& d) { RunModal(d, Click(IDOK)); }, 1, 1},
                    DestroyRow{"ended_with_cancel", [](RecordingDialog& d) { RunModal(d, Click(IDCANCEL)); }, 1, 1},
                    DestroyRow{"run_twice", [](RecordingDialog& d) { RunModal(d, Click(IDOK)), RunModal(d, Click(IDCANCEL)); },
                               2, 2},
                    DestroyRow{"destroyed_without_being_shown", [](RecordingDialog& d) { d.Create(); }, 0, 1},
                    DestroyRow{"destroyed_while_shown", [](RecordingDialog& d) { d.Create(), d.show(); }, 0, 1},
                    DestroyRow{"never_made", [](RecordingDialog&) {}, 0, 0}),
    rows::Name());

std::string Alignment(Qt::Alignment alignment)
{
    return alignment & Qt::AlignHCenter ? "centre" : alignment & Qt::AlignRight ? "right" : "left";
}

// The widget a control became, with what its template styles made of it.
std::string Describe(QWidget* w)
{
    std::string d = w ? w->metaObject()->className() : "none";
    const auto add = [&d](bool on, const std::string& what) { d += on ? ", " + what : ""; };
    if (auto* button = qobject_cast<QPushButton*>(w))
        add(button->isDefault(), "default");
    if (auto* label = qobject_cast<QLabel*>(w))
        add(label->wordWrap(), "wraps"), add(true, Alignment(label->alignment()));
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        add(true, Alignment(edit->alignment())), add(edit->isReadOnly(), "read-only"), add(!edit->hasFrame(), "frameless");
    if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
        add(true, Alignment(text->document()->defaultTextOption().alignment()));
        add(text->isReadOnly(), "read-only"), add(text->lineWrapMode() == QPlainTextEdit::NoWrap, "no wrap");
        add(text->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, "v-scroll");
        add(text->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, "h-scroll");
        add(text->tabChangesFocus(), "tab moves on"), add(text->frameShape() == QFrame::NoFrame, "frameless");
    }
    if (auto* list = qobject_cast<CListCtrl*>(w)) {
        add(list->selectionMode() == QAbstractItemView::SingleSelection, "single");
        add(list->selectionBehavior() == QAbstractItemView::SelectRows, "rows");
        add(list->showGrid(), "grid"), add(!list->horizontalHeader()->sectionsClickable(), "fixed headings");
        add(list->GetExtendedStyle() == (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE |
                                         LVS_EX_UNDERLINEHOT), "hot");
        for (int column = 0; column < list->model()->columnCount(); ++column)
            add(true, list->model()->headerData(column, Qt::Horizontal).toString().toStdString() + " " +
                          std::to_string(list->GetColumnWidth(column)));
    }
    return d;
}

struct ControlRow
{
    const char* scenario;
    int templateId, id;
    std::string widget;
    QRect pixels;
    const char* set; // nullptr: the template's text
    const char* typed;
    QString text; // read back
};

using ControlTest = rows::Test<ControlRow>;

// The dialog font ("MS Shell Dlg" 8 pt, not installed) falls back to Liberation
// Sans at 11 px on the 96 dpi offscreen screen: 333 px for the alphabet, 12 px
// high, so one dialog unit is 6/4 px across and 12/8 px down.
TEST_P(ControlTest, IsTheWidgetOfItsTemplateAtItsRectangleWithItsText)
{
    const ControlRow& row = GetParam();
    CDialog dialog(row.templateId);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(std::make_pair(dialog.GetDialogBaseUnits().x, dialog.GetDialogBaseUnits().y), std::make_pair(6, 12));
    QWidget* control = dialog.GetDlgItem(row.id);
    EXPECT_EQ(Describe(control), row.widget);
    EXPECT_EQ(control ? control->geometry() : QRect(), row.pixels);
    EXPECT_EQ(control ? QFontInfo(control->font()).family() : "Liberation Sans", "Liberation Sans");
    if (row.set)
        dialog.SetDlgItemText(row.id, QString::fromUtf8(row.set));
    if (control)
        QTest::keyClicks(control, row.typed);
    EXPECT_EQ(dialog.GetDlgItemText(row.id), row.text);
}

const char* const Found = "Sensor found:\r\nT 1 via USB\r\n\r\nChoose a button.";

INSTANTIATE_TEST_SUITE_P(
    Rows, ControlTest,
    testing::Values(
        ControlRow{"read_only_line", IDD_OSTREL_DIALOG, IDC_STATUS_LINE, "QLineEdit, centre, read-only, frameless",
                   QRect(243, 45, 378, 45), "No cal. data set loaded.", "x", "No cal. data set loaded."},
        ControlRow{"right_aligned_edit", IDD_DEVICE, IDC_UPPER_LIMIT, "QLineEdit, right", QRect(387, 450, 99, 18),
                   "1e-3", "5", "1e-35"},
        ControlRow{"digits_only", IDD_REMOTE, IDC_COMMAND_TIMEOUT, "QLineEdit, left", QRect(189, 9, 72, 21), nullptr,
                   "1a2-3 4", "1234"},
        ControlRow{"scrolling_text", IDD_VISUALIZE, IDC_VISUALIZE_TEXT,
                   "QPlainTextEdit, left, read-only, no wrap, v-scroll, h-scroll, tab moves on", QRect(8, 8, 956, 488),
                   "a\nb\rc", "", "a\r\nb\r\nc"},
        ControlRow{"centred_text", IDD_DOWNLOAD, IDC_DOWNLOAD_TEXT, "QPlainTextEdit, centre, read-only, tab moves on",
                   QRect(18, 9, 252, 72), Found, "", Found},
        ControlRow{"default_button", IDD_CAL_INFO, IDOK, "QPushButton, default", QRect(9, 117, 75, 21), nullptr, "",
                   "OK"},
        ControlRow{"button", IDD_CAL_INFO, IDCANCEL, "QPushButton", QRect(162, 117, 75, 21), "Save", "", "Save"},
        ControlRow{"half_rounds_up", IDD_SETNUMBER, IDC_POINT_NUMBER, "QLineEdit, left", QRect(93, 14, 90, 21),
                   nullptr, "", ""},
        ControlRow{"check_box_grows_to_show_its_text", IDD_OSTREL_DIALOG, IDC_FLAG_ACTIVE_AFTER_RESET, "QCheckBox",
                   QRect(18, 27, 214, 20), nullptr, "", "S-Parameter Correction ON by Default"},
        ControlRow{"group_box", IDD_DEVICE, IDC_DEVICE_PARAMETERS, "QGroupBox", QRect(9, 405, 603, 81), "Limits", "",
                   "Limits"},
        ControlRow{"label", IDD_DEVICE, IDC_MNEMONIC_LABEL, "QLabel, wraps, left", QRect(27, 434, 203, 12), nullptr,
                   "", "S-Parameter Device Mnemonic"},
        ControlRow{"report_list", IDD_UPLOAD, IDC_SENSOR_LIST,
                   "CListCtrl, single, rows, grid, fixed headings, hot, Resource Descriptor 240, Type 60, "
                   "Serial No. 60, Connection Type 100",
                   QRect(18, 27, 468, 198), nullptr, "", ""},
        ControlRow{"grid_placeholder", IDD_OSTREL_DIALOG, IDC_DEVICE_GRID, "QWidget", QRect(9, 126, 657, 288), nullptr,
                   "", ""},
        ControlRow{"static_texts_have_no_number", IDD_CAL_INFO, IDC_STATIC, "none", QRect(), nullptr, "", ""},
        ControlRow{"unknown_number", IDD_CAL_INFO, 9999, "none", QRect(), "x", "", ""}),
    rows::Name());

// Every control of every template is found by its number and shows its whole
// text unless it reaches the window's edge.
TEST(DialogTemplates, EveryControlIsFoundAndShowsItsWholeText)
{
    for (const DialogTemplate& t : AllDialogTemplates()) {
        CDialog dialog(t.id);
        ASSERT_TRUE(dialog.Create()) << t.id;
        EXPECT_EQ(dialog.GetWindowText(), QString::fromUtf8(t.caption));
        const QList<QWidget*> widgets = dialog.GetClientArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_EQ(widgets.size(), t.controls.size()) << t.id;
        const int edge = dialog.MapDialogRect(QRect(0, 0, t.cx, t.cy)).width();
        for (std::size_t i = 0; i < t.controls.size(); ++i) {
            const ControlTemplate& c = t.controls[i];
            QWidget* w = widgets[static_cast<qsizetype>(i)];
            const std::string where = std::to_string(t.id) + "/" + std::to_string(c.id);
            EXPECT_EQ(dialog.GetDlgItem(c.id), c.id == IDC_STATIC ? nullptr : w) << where;
            const bool reachesEdge = w->geometry().right() + 1 >= edge;
            if (const auto* label = qobject_cast<QLabel*>(w)) {
                const int needed = label->heightForWidth(w->width());
                EXPECT_TRUE(needed <= w->height() || needed == label->heightForWidth(QWIDGETSIZE_MAX) || reachesEdge)
                    << where;
            }
            if (qobject_cast<QCheckBox*>(w))
                EXPECT_TRUE(w->width() >= w->sizeHint().width() || reachesEdge) << where;
        }
    }
}

struct ShownRow
{
    const char* scenario;
    int templateId;
    std::vector<int> focused; // in turn
    int popup, lowerLimitLeft; // then opened and closed (-1 for none); focus losses of the lower limit
    QSize client, grown; // when shown; after the user made the window 40 x 30 px larger
};

using ShownTest = rows::Test<ShownRow>;

TEST_P(ShownTest, ReportsFocusLossesAndItsClientSize)
{
    const ShownRow& row = GetParam();
    RecordingDialog dialog(row.templateId);
    ASSERT_TRUE(dialog.Create());
    int left = 0;
    dialog.MapKillFocus(IDC_LOWER_LIMIT, [&left] { ++left; });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (const int id : row.focused)
        dialog.GetDlgItem(id)->setFocus();
    if (row.popup >= 0) {
        auto* menu = qobject_cast<QMenu*>(dialog.GetMenu().GetSubMenu(row.popup).GetWidget());
        EXPECT_FALSE(IsMenuActive());
        menu->popup(dialog.mapToGlobal(QPoint(10, 10)));
        EXPECT_TRUE(IsMenuActive());
        menu->close();
        EXPECT_FALSE(IsMenuActive());
        EXPECT_EQ(dialog.popups, std::vector<int>{row.popup});
    }
    EXPECT_EQ(left, row.lowerLimitLeft);
    EXPECT_EQ(dialog.GetClientArea()->size(), row.client);
    dialog.resize(dialog.width() + 40, dialog.height() + 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.GetClientArea()->size(), row.grown);
    EXPECT_EQ(dialog.lastSize, row.grown);
}

const QSize Device(717, 495), Grown(757, 525);

INSTANTIATE_TEST_SUITE_P(
    Rows, ShownTest,
    testing::Values(ShownRow{"fixed_frame", IDD_CAL_INFO, {}, -1, 0, QSize(249, 153), QSize(249, 153)},
                    ShownRow{"focus_to_another_control", IDD_DEVICE, {IDC_LOWER_LIMIT, IDC_MNEMONIC}, -1, 1, Device, Grown},
                    ShownRow{"focus_on_from_there", IDD_DEVICE, {IDC_LOWER_LIMIT, IDC_MNEMONIC, IDC_UPPER_LIMIT}, -1, 1,
                             Device, Grown},
                    ShownRow{"opening_a_menu_is_no_focus_loss", IDD_DEVICE, {IDC_LOWER_LIMIT}, 1, 0, Device, Grown}),
    rows::Name());

TEST(ReplaceDlgItem, TheWindowsOwnControlTakesThePlaceholdersPlace)
{
    CDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    QPointer<QWidget> placeholder = dialog.GetDlgItem(IDC_POINT_GRID);
    const QRect place = placeholder->geometry();
    auto* grid = new QTableView;
    EXPECT_EQ(dialog.ReplaceDlgItem(IDC_POINT_GRID, grid), grid);
    EXPECT_TRUE(placeholder.isNull());
    EXPECT_EQ(dialog.GetDlgItem(IDC_POINT_GRID), grid);
    EXPECT_EQ(grid->geometry(), place);
    EXPECT_EQ(grid->parentWidget(), dialog.GetClientArea());
    QWidget* next = grid->nextInFocusChain();
    while (next != grid && !(next->parentWidget() == dialog.GetClientArea() && (next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, dialog.GetDlgItem(IDC_MNEMONIC)) << "tab order as in the template";
    QTableView unused;
    EXPECT_EQ(dialog.ReplaceDlgItem(9999, &unused), nullptr);
}

struct DropRow
{
    const char* scenario;
    int templateId;
    QList<QUrl> urls;
    bool underModal; // a modal dialog is open over the window
    std::vector<QStringList> drops;
};

using DropFilesTest = rows::Test<DropRow>;

TEST_P(DropFilesTest, WindowGetsTheLocalFilesOfADrop)
{
    const DropRow& row = GetParam();
    RecordingDialog window(row.templateId);
    ASSERT_TRUE(window.Create());
    window.show();
    CDialog editor(IDD_SETNUMBER, &window);
    if (row.underModal) {
        ASSERT_TRUE(editor.Create());
        editor.setWindowModality(Qt::ApplicationModal);
        editor.show();
    }
    QMimeData data;
    data.setUrls(row.urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(window.drops.empty()) << "handled once the drop has finished";
    QCoreApplication::processEvents();
    EXPECT_EQ(window.drops, row.drops);
    EXPECT_EQ(enter.isAccepted(), !row.drops.empty()) << "the drag is refused where the drop would be";
}

const QUrl Sensor = QUrl::fromLocalFile("/data/sensor.cal");
const QUrl Remote("https://example.org/a.cal");

INSTANTIATE_TEST_SUITE_P(
    Rows, DropFilesTest,
    testing::Values(DropRow{"one_file", IDD_OSTREL_DIALOG, {Sensor}, false, {{"/data/sensor.cal"}}},
                    DropRow{"files_in_drop_order_without_remote_ones", IDD_OSTREL_DIALOG,
                            {QUrl::fromLocalFile("/data/b.bin"), Remote, QUrl::fromLocalFile("/data/ä a.cal")}, false,
                            {{"/data/b.bin", "/data/ä a.cal"}}},
                    DropRow{"only_remote_urls", IDD_OSTREL_DIALOG, {Remote}, false, {}},
                    DropRow{"window_that_takes_no_files", IDD_CAL_INFO, {Sensor}, false, {}},
                    DropRow{"none_while_a_modal_dialog_is_open_over_it", IDD_OSTREL_DIALOG, {Sensor}, true, {}}),
    rows::Name());

} // namespace
