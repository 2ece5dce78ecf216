// The dialogs of the window layer: what a user's keys, clicks, drops and menus send to the
// window class, the controls their templates make, the menus and the report list, and the
// messages other threads post.

#include "Bitmaps.h"
#include "Dialog.h"
#include "DialogControls.h"
#include "DialogTemplate.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
#include "PostMessage.h"
#include "Resource.h"
#include "Rows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <stdexcept>
#include <thread>

namespace
{

using rows::operator<<;
using Strings = std::vector<std::string>;

// Logs what the framework calls it for, in order; the rows' steps add what they see.
class RecordingDialog : public CDialog
{
public:
    using CDialog::CDialog;
    using CDialog::MapCommand;
    using CDialog::MapKillFocus;
    using CDialog::MapMessage;
    using CDialog::MapNotify;
    ~RecordingDialog() override { DestroyWindow(); }

    Strings log;
    QSize lastSize; // from OnSize
    std::function<bool()> initDialog; // replaces OnInitDialog's own work when set

protected:
    bool OnInitDialog() override
    {
        log.push_back("OnInitDialog");
        return initDialog ? initDialog() : CDialog::OnInitDialog();
    }
    void OnOK() override { log.push_back("OnOK"); CDialog::OnOK(); }
    void OnCancel() override { log.push_back("OnCancel"); CDialog::OnCancel(); }
    void OnCommand(int id) override { log.push_back("command " + std::to_string(id)); CDialog::OnCommand(id); }
    void OnDropFiles(const QStringList& paths) override { log.push_back("drop " + paths.join(", ").toStdString()); }
    void OnSize(int cx, int cy) override { lastSize = QSize(cx, cy); }
    void OnInitMenuPopup(CMenu, int position) override { log.push_back("popup " + std::to_string(position)); }
    void OnDestroy() override { log.push_back("OnDestroy"); }
};

using Action = std::function<void(RecordingDialog&)>;
constexpr int LeftOpen = -100; // what DoModal returns when the row's steps left the dialog open

Action Click(int id)
{
    return [id](RecordingDialog& d) { QTest::mouseClick(d.GetDlgItem(id), Qt::LeftButton); };
}

// Puts the focus on the control of the active window and presses the keys where the focus is.
Action Press(int id, std::vector<QKeyCombination> keys = {})
{
    return [id, keys](RecordingDialog& d) {
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        d.GetDlgItem(id)->setFocus();
        for (const QKeyCombination key : keys)
            QTest::keyClick(d.focusWidget(), key.key(), key.keyboardModifiers());
    };
}

// Puts a widget of the window's own in the control's place; a push button of its own is no default
// button, and its clicks are logged.
Action Replace(int id, std::function<QWidget*()> make)
{
    return [id, make](RecordingDialog& d) {
        auto* own = qobject_cast<QPushButton*>(d.ReplaceDlgItem(id, make()));
        if (own == nullptr)
            return;
        own->setAutoDefault(false);
        QObject::connect(own, &QPushButton::clicked, &d, [&d] { d.log.push_back("own button"); });
    };
}

// With a modal dialog open over the window when asked, drags the urls onto it with the actions the source
// offers (with no key held, the move is proposed) and drops them; logs whether the drag was taken and as
// what the drop ended, then lets the drop be handled.
Action Drop(QList<QUrl> urls, bool underModal = false, Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction)
{
    return [urls, underModal, offered](RecordingDialog& d) {
        CDialog editor(IDD_SETNUMBER, &d);
        if (underModal)
            editor.Create(), editor.setWindowModality(Qt::ApplicationModal), editor.show();
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&d, &enter);
        QDropEvent drop(QPointF(20, 20), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&d, &drop);
        const char* const ended[] = {"ignored", "copy", "move", "?", "link"};
        d.log.push_back(enter.isAccepted() ? std::string("drag taken, dropped as ") + ended[drop.dropAction() & 7] : "drag refused");
        QCoreApplication::processEvents();
    };
}

// Makes the window 40 x 30 px larger as the user would; logs the client area before and after, and
// what OnSize told.
void Grow(RecordingDialog& d)
{
    const auto Text = [](QSize size) { return std::to_string(size.width()) + "x" + std::to_string(size.height()); };
    const QSize before = d.GetClientArea()->size();
    d.resize(d.width() + 40, d.height() + 30);
    QCoreApplication::processEvents();
    d.log.push_back(Text(before) + " -> " + Text(d.GetClientArea()->size()) + ", told " + Text(d.lastSize));
}

// The sensor list of the upload dialog with three rows; its clicks logged.
void FillList(RecordingDialog& d)
{
    ASSERT_TRUE(d.Create());
    auto* list = d.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
    for (const char* descriptor : {"USB::1", "USB::2", "TCPIP::3"}) {
        const int row = list->InsertItem(list->GetItemCount(), descriptor);
        list->SetItemText(row, 3, QString::number(row));
    }
    d.MapNotify(NM_CLICK, IDC_SENSOR_LIST, [&d](int item) { d.log.push_back("click " + std::to_string(item)); });
    d.MapNotify(NM_DBLCLK, IDC_SENSOR_LIST, [&d](int item) { d.log.push_back("double " + std::to_string(item)); });
}

enum Mouse { LeftClick, ControlClick, DoubleClick, Hover };

// What the mouse does on a cell of the sensor list, or in its empty space below the rows (row -1); logs
// the list's selection and hot row after it.
Action OnList(Mouse what, int row, int column = 0)
{
    return [=](RecordingDialog& d) {
        auto* list = d.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
        QWidget* view = list->viewport();
        const QPoint at =
            row < 0 ? QPoint(5, view->height() - 5) : list->visualRect(list->model()->index(row, column)).center();
        if (what == Hover)
            QTest::mouseMove(view, at);
        else
            QTest::mouseClick(view, Qt::LeftButton, what == ControlClick ? Qt::ControlModifier : Qt::NoModifier, at);
        // The widget overload of mouseDClick sends the second press alone.
        if (what == DoubleClick)
            QTest::mouseDClick(view, Qt::LeftButton, {}, at), QTest::mouseRelease(view, Qt::LeftButton, {}, at);
        d.log.push_back("selected " + std::to_string(list->GetFirstSelectedItem()) + " (" +
                        std::to_string(list->selectionModel()->selectedIndexes().size()) + " cells), hot " +
                        std::to_string(list->GetHotItem()));
    };
}

struct ActionRow
{
    const char* scenario;
    int templateId;
    std::vector<Action> steps; // inside the modal loop
    int result;
    Strings log; // the dialog's, once it is destroyed
    Action before = {}; // before DoModal
    Strings boxes = {}; // "caption (stop): text" of the message boxes shown
};

using DialogActionTest = testing::TestWithParam<ActionRow>;

TEST_P(DialogActionTest, ReachesTheWindowClassAndEndsWithTheResultOfTheUsersWay)
{
    const ActionRow& row = GetParam();
    Strings boxes;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest& box) {
        const char* icon = box.icon == MessageBoxIcon::Stop ? " (stop)" : "";
        boxes.push_back((box.caption + icon + ": " + box.text).toStdString());
        return IDOK;
    });
    RecordingDialog dialog(row.templateId);
    if (row.before)
        row.before(dialog);
    QTimer::singleShot(0, &dialog, [&dialog, &row] {
        for (const Action& step : row.steps)
            step(dialog);
        if (dialog.isVisible())
            dialog.EndDialog(LeftOpen);
    });
    EXPECT_EQ(dialog.DoModal(), row.result);
    dialog.DestroyWindow(); // nothing more: the window went with the modal loop
    EXPECT_EQ(dialog.log, row.log);
    EXPECT_EQ(boxes, row.boxes);
}

// The log of one window: what happened between its OnInitDialog and its OnDestroy.
Strings Run(Strings between = {})
{
    between.insert(between.begin(), "OnInitDialog");
    between.push_back("OnDestroy");
    return between;
}

const Strings Ok = Run({"command 1", "OnOK"});
const Strings Cancel = Run({"command 2", "OnCancel"});
const QUrl Sensor = QUrl::fromLocalFile("/data/sensor.cal");
const QUrl Remote("https://example.org/a.cal");
const std::string NoneSelected = "selected -1 (0 cells), hot -1";

const std::vector<ActionRow> ActionRows{
    {"keypad_enter_without_default_button_sends_ok", IDD_OSTREL_DIALOG,
     {Press(IDC_FLAG_STATE_LOCKED, {Qt::Key_Enter | Qt::KeypadModifier})}, IDOK, Ok},
    {"enter_on_focused_cancel_button", IDD_CAL_INFO, {Press(IDCANCEL, {Qt::Key_Return})}, IDCANCEL, Cancel},
    {"enter_clicks_the_focused_button_of_the_window", IDD_CAL_INFO,
     {Replace(IDC_CAL_LAB, [] { return new QPushButton; }), Press(IDC_CAL_LAB, {Qt::Key_Return})}, LeftOpen,
     Run({"own button"})},
    {"enter_on_greyed_default_button_does_nothing_the_fixed_frame_keeps_its_size_and_takes_no_files", IDD_CAL_INFO,
     {[](RecordingDialog& d) { d.EnableDlgItem(IDOK, false); }, Press(IDC_CAL_LAB, {Qt::Key_Return}), Grow,
      Drop({Sensor})}, LeftOpen, Run({"249x153 -> 249x153, told 249x153", "drag refused"})},
    {"escape_in_edit", IDD_CAL_INFO, {Press(IDC_CAL_ENG, {Qt::Key_Escape})}, IDCANCEL, Cancel},
    {"close_box_then_run_again", IDD_CAL_INFO, {Click(IDOK)}, IDOK,
     {"OnInitDialog", "command 2", "OnCancel", "OnDestroy", "OnInitDialog", "command 1", "OnOK", "OnDestroy"},
     [](RecordingDialog& d) { QTimer::singleShot(0, &d, [&d] { d.close(); }), d.DoModal(); }},
    {"control_that_uses_enter_keeps_it_check_box_click_sends_its_number_checking_one_is_no_click", IDD_OSTREL_DIALOG,
     {Replace(IDC_DEVICE_GRID, [] { return new QPlainTextEdit; }), Press(IDC_DEVICE_GRID, {Qt::Key_1, Qt::Key_Return}),
      Click(IDC_FLAG_USE_FACTORY_FLAGS),
      [](RecordingDialog& d) {
          d.CheckDlgButton(IDC_FLAG_DEVICE_LOCKED, true);
          for (const int id : {IDC_FLAG_USE_FACTORY_FLAGS, IDC_STATUS_LINE, IDC_FLAG_DEVICE_LOCKED})
              d.log.push_back(std::to_string(id) + (d.IsDlgButtonChecked(id) ? " checked" : " clear"));
      }},
     LeftOpen, Run({"command 1023", "1023 checked", "1034 clear", "1022 checked"})},
    {"focus_starts_on_the_first_enabled_control", IDD_REMOTE, {}, LeftOpen, Run({"focus 1042"}),
     [](RecordingDialog& d) {
         d.initDialog = [&d] { return d.EnableDlgItem(IDC_COMMAND_TIMEOUT, false), true; };
         d.Create();
         d.log.push_back("focus " + std::to_string(GetDlgCtrlID(d.focusWidget())));
     }},
    {"focus_losses_of_a_control_but_not_to_a_menu_and_the_size_it_grows_to", IDD_DEVICE,
     {Press(IDC_LOWER_LIMIT),
      [](RecordingDialog& d) { // the menu popup opens and closes again
          auto* menu = qobject_cast<QMenu*>(d.GetMenu().GetSubMenu(1).GetWidget());
          menu->popup(d.mapToGlobal(QPoint(10, 10)));
          EXPECT_TRUE(IsMenuActive()) << "the menu loop has the keyboard";
          menu->close();
          EXPECT_FALSE(IsMenuActive());
      },
      Press(IDC_MNEMONIC), Press(IDC_UPPER_LIMIT), Grow},
     LeftOpen,
     Run({"popup 1", "lower limit left", "717x495 -> 757x525, told 757x525"}),
     [](RecordingDialog& d) { d.MapKillFocus(IDC_LOWER_LIMIT, [&d] { d.log.push_back("lower limit left"); }); }},
    {"drops_take_local_files_in_drop_order_as_a_copy_or_link_never_a_move_unless_a_modal_dialog_is_open", IDD_OSTREL_DIALOG,
     {Drop({QUrl::fromLocalFile("/data/b.bin"), Remote, QUrl::fromLocalFile("/data/ä a.cal")}), Drop({Remote}),
      Drop({Sensor}, true), Drop({Sensor}, false, Qt::MoveAction), Drop({Sensor}, false, Qt::MoveAction | Qt::LinkAction)},
     LeftOpen, Run({"drag taken, dropped as copy", "drop /data/b.bin, /data/ä a.cal", "drag refused", "drag refused",
                    "drag refused", "drag taken, dropped as link", "drop /data/sensor.cal"})},
    // The first move makes sure that the cursor moves at all.
    {"list_clicks_select_rows_the_row_under_the_mouse_is_hot_until_one_click_activation_or_the_list_goes", IDD_UPLOAD,
     {OnList(LeftClick, 2, 3), OnList(ControlClick, 0, 1), OnList(LeftClick, -1), OnList(DoubleClick, 1, 2),
      OnList(DoubleClick, -1), OnList(Hover, 0, 1), OnList(Hover, 2, 1),
      [](RecordingDialog& d) { d.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST)->SetExtendedStyle(0); },
      OnList(Hover, 1, 1), [](RecordingDialog& d) { d.EnableDlgItem(IDC_SENSOR_LIST, false); }, OnList(DoubleClick, 1)},
     LeftOpen,
     Run({"click 2", "selected 2 (4 cells), hot -1", "click 0", "selected 0 (4 cells), hot -1", "click -1",
          NoneSelected, "click 1", "double 1", "selected 1 (4 cells), hot -1", "click -1", "double -1", NoneSelected,
          "selected -1 (0 cells), hot 0", "selected -1 (0 cells), hot 2", NoneSelected, NoneSelected}),
     FillList},
    {"end_dialog_while_initialising", IDD_CAL_INFO, {}, IDCANCEL, Run(),
     [](RecordingDialog& d) { d.initDialog = [&d] { return d.EndDialog(IDCANCEL), true; }; }},
    {"unknown_template", 4711, {}, -1, {}},
    {"initialisation_that_throws", IDD_CAL_INFO, {}, -1, Run(),
     [](RecordingDialog& d) { d.initDialog = []() -> bool { throw std::runtime_error("no sensor library"); }; },
     {"Error (stop): no sensor library"}},
    {"command_handler_that_throws", IDD_CAL_INFO, {Click(IDOK)}, LeftOpen, Run({"command 1"}),
     [](RecordingDialog& d) { d.MapCommand(IDOK, [] { throw std::runtime_error("Checksum failed"); }); },
     {"Error (stop): Checksum failed"}},
    {"message_handler_that_throws_anything", IDD_CAL_INFO,
     {[](RecordingDialog& d) { d.SendMessage(WM_USER + 7, 0, 0); }}, LeftOpen, Run(),
     [](RecordingDialog& d) { d.MapMessage(WM_USER + 7, [](WPARAM, LPARAM) { throw 42; }); },
     {"Error (stop): An unexpected error occurred."}},
};

INSTANTIATE_TEST_SUITE_P(Rows, DialogActionTest, testing::ValuesIn(ActionRows), rows::Name());

struct ControlRow
{
    const char* scenario;
    int templateId, id;
    const char* widget;
    QRect pixels;
    const char* set; // nullptr: the template's text
    const char* typed;
    QString text; // read back
};

using ControlTest = testing::TestWithParam<ControlRow>;

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
    EXPECT_STREQ(control ? control->metaObject()->className() : "none", row.widget);
    EXPECT_EQ(control ? control->geometry() : QRect(), row.pixels);
    EXPECT_EQ(control ? QFontInfo(control->font()).family() : "Liberation Sans", "Liberation Sans");
    if (row.set)
        dialog.SetDlgItemText(row.id, QString::fromUtf8(row.set));
    if (control)
        QTest::keyClicks(control, row.typed);
    EXPECT_EQ(dialog.GetDlgItemText(row.id), row.text);
}

const char* const Found = "Sensor found:\r\nT 1 via USB\r\n\r\nChoose a button.";
const char* const Loaded = "No cal. data set loaded.";

// Typing into a read-only control changes nothing.
const std::vector<ControlRow> ControlRows{
    {"read_only_line", IDD_OSTREL_DIALOG, IDC_STATUS_LINE, "QLineEdit", {243, 45, 378, 45}, Loaded, "x", Loaded},
    {"edit", IDD_DEVICE, IDC_UPPER_LIMIT, "QLineEdit", {387, 450, 99, 18}, "1e-3", "5", "1e-35"},
    {"digits_only", IDD_REMOTE, IDC_COMMAND_TIMEOUT, "QLineEdit", {189, 9, 72, 21}, nullptr, "1a2-3 4", "1234"},
    {"read_only_text", IDD_VISUALIZE, IDC_VISUALIZE_TEXT, "QPlainTextEdit", {8, 8, 956, 488}, "a\nb\rc", "x",
     "a\r\nb\r\nc"},
    {"lines_of_text", IDD_DOWNLOAD, IDC_DOWNLOAD_TEXT, "QPlainTextEdit", {18, 9, 252, 90}, Found, "", Found},
    {"button", IDD_CAL_INFO, IDCANCEL, "QPushButton", {162, 117, 75, 21}, "Save", "", "Save"},
    {"half_rounds_up", IDD_SETNUMBER, IDC_POINT_NUMBER, "QLineEdit", {93, 14, 90, 21}, nullptr, "", ""},
    {"check_box_grows_to_show_its_text", IDD_OSTREL_DIALOG, IDC_FLAG_ACTIVE_AFTER_RESET, "QCheckBox",
     {18, 27, 214, 20}, nullptr, "", "S-Parameter Correction ON by Default"},
    {"group_box", IDD_DEVICE, IDC_DEVICE_PARAMETERS, "QGroupBox", {9, 405, 603, 81}, "Limits", "", "Limits"},
    {"label", IDD_DEVICE, IDC_MNEMONIC_LABEL, "QLabel", {27, 434, 203, 12}, nullptr, "", "S-Parameter Device Mnemonic"},
    {"report_list", IDD_UPLOAD, IDC_SENSOR_LIST, "CListCtrl", {18, 27, 468, 198}, nullptr, "", ""},
    {"grid_placeholder", IDD_OSTREL_DIALOG, IDC_DEVICE_GRID, "QWidget", {9, 126, 657, 288}, nullptr, "", ""},
    {"unknown_number", IDD_CAL_INFO, 9999, "none", {}, "x", "", ""},
    {"number_nobody_addresses", IDD_CAL_INFO, 0, "none", {}, "x", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Rows, ControlTest, testing::ValuesIn(ControlRows), rows::Name());

// Every control of every template is found by its number (static texts have none) and
// shows its whole text unless it reaches the window's edge.
TEST(DialogTemplates, EveryControlIsFoundAndShowsItsWholeText)
{
    for (const DialogTemplate& t : AllDialogTemplates()) {
        CDialog dialog(t.id);
        ASSERT_TRUE(dialog.Create()) << t.id;
        EXPECT_EQ(dialog.GetWindowText(), QString::fromUtf8(t.caption));
        const auto widgets = dialog.GetClientArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
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
            const bool checkBox = qobject_cast<QCheckBox*>(w) != nullptr;
            EXPECT_TRUE(!checkBox || w->width() >= w->sizeHint().width() || reachesEdge) << where;
        }
    }
}

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
    EXPECT_EQ(std::make_pair(grid->geometry(), grid->parentWidget()), std::make_pair(place, dialog.GetClientArea()));
    QWidget* next = grid->nextInFocusChain();
    while (next != grid && !(next->parentWidget() == dialog.GetClientArea() && (next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, dialog.GetDlgItem(IDC_MNEMONIC)) << "tab order as in the template";
    QTableView unused;
    EXPECT_EQ(dialog.ReplaceDlgItem(9999, &unused), nullptr);
}

constexpr UINT Command = MF_BYCOMMAND;
constexpr UINT Position = MF_BYPOSITION;
constexpr UINT Scan = ID_SENSOR_SCAN_NETWORK;

// What the window reads of a menu item, its text and state, then what shows where its check mark goes.
std::string Item(const CMenu& menu, UINT item, UINT flags)
{
    std::string shown = menu.GetMenuString(item, flags).toStdString();
    const UINT state = menu.GetMenuState(item, flags);
    if (state == MENU_ITEM_NOT_FOUND)
        return shown + "(none)";
    const std::pair<UINT, const char*> names[] = {
        {MF_CHECKED, " checked"}, {MF_GRAYED, " grayed"}, {MF_SEPARATOR, " separator"}, {MF_POPUP, " popup"}};
    for (const auto& [flag, name] : names)
        shown += state & flag ? name : "";
    const QAction* action = menu.FindMenuItem(item, flags);
    shown += action->isChecked() ? ", Qt's mark" : "";
    const QImage icon = action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    for (const int id : {IDB_CHECK_EMPTY, IDB_CHECK_TICKED})
        if (!action->icon().isNull() && icon == LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32))
            shown += ", picture " + std::to_string(id) + (action->isCheckable() ? " over a mark" : "");
    return shown;
}

// The main window's menu in one run: what the window reads of it, and what the check, the pictures and
// choosing the item make of Scan Network's mark.
TEST(Menu, AnswersTheMainWindowsCallsAsItsTemplateAndTheCallsMadeIt)
{
    RecordingDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    CMenu bar = dialog.GetMenu();
    CMenu sensor = bar.GetSubMenu(2);
    const auto choose = [&bar] { bar.FindMenuItem(Scan, Command)->trigger(); };
    const auto pictures = [&sensor](bool set) {
        return sensor.SetMenuItemBitmaps(3, Position, set ? LoadBitmap(IDB_CHECK_EMPTY) : QPixmap(),
                                         set ? LoadBitmap(IDB_CHECK_TICKED) : QPixmap());
    };
    EXPECT_EQ(bar.GetMenuItemCount(), 6);
    EXPECT_EQ(Item(bar, 2, Position), "&Sensor popup");
    EXPECT_EQ(bar.GetMenuItemID(0), -1) << "a popup has no command";
    EXPECT_EQ(bar.GetSubMenu(4).GetMenuItemID(3), ID_OPTIONS_SHOW_CAL_DATA);
    EXPECT_EQ(Item(bar, ID_OPTIONS_SHOW_CAL_DATA, Command), "&Show Cal. Data") << "found in its popup";
    EXPECT_EQ(sensor.GetMenuItemID(2), 0);
    EXPECT_EQ(Item(sensor, 2, Position), " separator");
    EXPECT_FALSE(sensor.SetMenuItemBitmaps(2, Position, QPixmap(), QPixmap())) << "a separator takes no pictures";
    EXPECT_FALSE(bar.GetSubMenu(6).IsValid());
    EXPECT_EQ(Item(bar.GetSubMenu(3), 6, Position), "(none)");
    EXPECT_EQ(bar.CheckMenuItem(4711, Command | MF_CHECKED), MENU_ITEM_NOT_FOUND);
    EXPECT_EQ(bar.CheckMenuItem(Scan, Command | MF_CHECKED), MF_UNCHECKED);
    choose();
    EXPECT_EQ(Item(sensor, 3, Position), "Scan &Network for Sensors checked, Qt's mark") << "as the window left it";
    EXPECT_EQ(bar.CheckMenuItem(Scan, Command | MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(Item(bar, Scan, Command), "Scan &Network for Sensors");
    EXPECT_TRUE(pictures(true));
    EXPECT_EQ(Item(bar, Scan, Command), "Scan &Network for Sensors, picture 153");
    EXPECT_EQ(bar.CheckMenuItem(Scan, Command | MF_CHECKED), MF_UNCHECKED);
    choose();
    EXPECT_EQ(Item(bar, Scan, Command), "Scan &Network for Sensors checked, picture 150");
    EXPECT_TRUE(pictures(false));
    EXPECT_EQ(Item(bar, Scan, Command), "Scan &Network for Sensors checked, Qt's mark") << "no pictures bring it back";
    EXPECT_TRUE(pictures(true));
    EXPECT_EQ(Item(bar, Scan, Command), "Scan &Network for Sensors checked, picture 150") << "instead of the mark";
    EXPECT_EQ(dialog.log, Strings({"OnInitDialog", "command 32807", "command 32807"}));
}

// The device editor's menu: its items are chosen, greyed by position or command and enabled again;
// the calls return the state before. A window without a menu has no items.
TEST(Menu, ChoosesGreysAndEnablesTheItemsOfTheDeviceEditor)
{
    RecordingDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    CMenu bar = dialog.GetMenu();
    bar.FindMenuItem(ID_POINTS_SET_NUMBER, Command)->trigger();
    bar.GetSubMenu(1).FindMenuItem(4, Position)->trigger();
    EXPECT_EQ(dialog.log, Strings({"OnInitDialog", "command 32804", "command 57637"}));
    const QAction* redo = bar.FindMenuItem(ID_EDIT_REDO, Command);
    EXPECT_EQ(std::make_pair(redo->text(), redo->shortcuts()),
              std::make_pair(QStringLiteral("&Redo"), QKeySequence::listFromString("Ctrl+Shift+Z; Ctrl+Y")))
        << "the text after the tab is the item's keys";
    EXPECT_EQ(Item(bar, ID_EDIT_PASTE, Command), "&Paste from clipboard") << "choosing sets no mark";
    EXPECT_EQ(bar.GetSubMenu(0).EnableMenuItem(0, Position | MF_DISABLED), MF_ENABLED);
    EXPECT_EQ(Item(bar, ID_IMPORT_S2P, Command), "&Import S2P ... grayed");
    EXPECT_EQ(bar.EnableMenuItem(2, Position | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(Item(bar, 2, Position), "Frequency &Grid Points grayed popup");
    EXPECT_EQ(bar.EnableMenuItem(ID_EDIT_PASTE, Command | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(bar.EnableMenuItem(ID_EDIT_PASTE, Command | MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(Item(bar, ID_EDIT_PASTE, Command), "&Paste from clipboard");
    EXPECT_EQ(bar.EnableMenuItem(9, Position), MENU_ITEM_NOT_FOUND);
    RecordingDialog plain(IDD_CAL_INFO);
    ASSERT_TRUE(plain.Create());
    EXPECT_EQ(plain.GetMenu().GetMenuItemCount(), -1);
    EXPECT_EQ(Item(plain.GetMenu(), 0, Position), "(none)");
}

TEST(ListItems, TextsKeepToTheirCellsUntilAllRowsAreDeleted)
{
    RecordingDialog dialog(IDD_UPLOAD);
    FillList(dialog);
    CListCtrl& list = *dialog.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
    EXPECT_EQ(std::vector<int>({list.InsertItem(0, "first"), list.InsertItem(9, "last"), list.InsertItem(-1, "none")}),
              std::vector<int>({0, 4, -1}));
    EXPECT_EQ(QStringList({list.GetItemText(3, 0), list.GetItemText(2, 3)}), QStringList({"TCPIP::3", "1"}))
        << "the row's cells moved down with it";
    EXPECT_FALSE(list.SetItemText(5, 0, "x") || list.SetItemText(0, 4, "x"));
    list.SetItemSelected(1, true);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(std::make_tuple(list.GetItemCount(), list.GetFirstSelectedItem(), list.GetItemText(0, 0)),
              std::make_tuple(0, -1, QString()));
    EXPECT_EQ(list.GetColumnWidth(3), 100) << "the columns stay";
}

constexpr UINT WM_TRANSFER_DONE = WM_USER + 1010;

// Eight windows; the user-interface thread posts a first round to each, a worker thread more rounds
// while every other window is destroyed, and the user-interface thread a last round.
TEST(PostMessage, ArrivesInOrderOnTheUserInterfaceThreadAtTheWindowsThatStillExist)
{
    constexpr WPARAM Last = 300;
    auto delivered = std::make_shared<std::vector<std::vector<WPARAM>>>(8);
    std::vector<HWND> handles;
    std::vector<std::unique_ptr<RecordingDialog>> windows;
    for (std::size_t i = 0; i < 8; ++i) {
        windows.push_back(std::make_unique<RecordingDialog>(IDD_CAL_INFO));
        windows.back()->MapMessage(WM_TRANSFER_DONE, [delivered, i](WPARAM wParam, LPARAM lParam) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            EXPECT_EQ(lParam, -static_cast<LPARAM>(wParam));
            (*delivered)[i].push_back(wParam);
        });
        handles.push_back(windows.back()->GetSafeHwnd());
    }
    const auto postToAll = [handles](WPARAM round) {
        std::vector<bool> posted;
        for (const HWND handle : handles)
            posted.push_back(PostMessage(handle, WM_TRANSFER_DONE, round, -static_cast<LPARAM>(round))),
                PostMessage(handle, WM_USER + 1, 0, 0); // no handler: dropped
        return posted;
    };
    postToAll(0);
    EXPECT_TRUE((*delivered)[1].empty()) << "posting never delivers at once";
    std::thread worker([postToAll] {
        for (WPARAM round = 1; round < Last; ++round)
            postToAll(round);
    });
    for (std::size_t i = 0; i < windows.size(); i += 2)
        windows[i].reset(), QCoreApplication::processEvents();
    worker.join();
    EXPECT_EQ(postToAll(Last), (std::vector<bool>{false, true, false, true, false, true, false, true}));
    QCoreApplication::sendPostedEvents();
    std::vector<WPARAM> all(Last + 1);
    std::iota(all.begin(), all.end(), 0);
    for (std::size_t i = 1; i < windows.size(); i += 2)
        EXPECT_EQ((*delivered)[i], all) << i;
    EXPECT_NE(RecordingDialog(IDD_CAL_INFO).GetSafeHwnd(), handles[0]) << "a handle is never handed out twice";
    EXPECT_FALSE(PostMessage(NULL_HWND, WM_TRANSFER_DONE, 0, 0));
}

} // namespace
