#include "Dialog.h"
#include "DialogTemplate.h"
#include "ListCtrl.h"
#include "MessageBoxPresenter.h"
#include "ModalRunner.h"
#include "RecordingDialog.h"
#include "Resource.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTextBlock>
#include <QTest>

#include "Rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace
{

using rows::operator<<;

using Calls = std::vector<std::string>;

struct ModalRow
{
    const char* scenario;
    int templateId;
    std::function<void(CDialog&)> action;
    int expectedResult;
    Calls expectedCalls;
};

using DoModalTest = rows::Test<ModalRow>;

TEST_P(DoModalTest, EndsWithTheResultOfTheWayOut)
{
    const ModalRow& row = GetParam();
    RecordingDialog dialog(row.templateId);
    EXPECT_EQ(RunModal(dialog, row.action), row.expectedResult);
    EXPECT_EQ(dialog.calls, row.expectedCalls);
}

void Click(CDialog& dialog, int id)
{
    QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton);
}

void KeyInto(CDialog& dialog, int id, Qt::Key key)
{
    QWidget* control = dialog.GetDlgItem(id);
    control->setFocus();
    QTest::keyClick(control, key);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DoModalTest,
    testing::Values(
        ModalRow{"ok_button", IDD_CAL_INFO, [](CDialog& d) { Click(d, IDOK); }, IDOK,
                 {"OnInitDialog", "command 1", "OnOK"}},
        ModalRow{"cancel_button", IDD_CAL_INFO, [](CDialog& d) { Click(d, IDCANCEL); }, IDCANCEL,
                 {"OnInitDialog", "command 2", "OnCancel"}},
        ModalRow{"enter_in_edit_presses_default_button", IDD_CAL_INFO,
                 [](CDialog& d) { KeyInto(d, IDC_CAL_LAB, Qt::Key_Return); }, IDOK,
                 {"OnInitDialog", "command 1", "OnOK"}},
        ModalRow{"keypad_enter_in_edit", IDD_SETNUMBER,
                 [](CDialog& d) { KeyInto(d, IDC_POINT_NUMBER, Qt::Key_Enter); }, IDOK,
                 {"OnInitDialog", "command 1", "OnOK"}},
        ModalRow{"enter_on_focused_cancel_button", IDD_CAL_INFO,
                 [](CDialog& d) { KeyInto(d, IDCANCEL, Qt::Key_Return); }, IDCANCEL,
                 {"OnInitDialog", "command 2", "OnCancel"}},
        ModalRow{"escape_in_edit", IDD_CAL_INFO, [](CDialog& d) { KeyInto(d, IDC_CAL_ENG, Qt::Key_Escape); },
                 IDCANCEL, {"OnInitDialog", "command 2", "OnCancel"}},
        ModalRow{"close_box", IDD_SENSOR_ID, [](CDialog& d) { d.close(); }, IDCANCEL,
                 {"OnInitDialog", "command 2", "OnCancel"}},
        ModalRow{"enter_without_default_button_sends_ok", IDD_OSTREL_DIALOG,
                 [](CDialog& d) { KeyInto(d, IDC_FLAG_STATE_LOCKED, Qt::Key_Return); }, IDOK,
                 {"OnInitDialog", "command 1", "OnOK"}},
        ModalRow{"own_result", IDD_REMOTE, [](CDialog& d) { d.EndDialog(1040); }, 1040, {"OnInitDialog"}},
        ModalRow{"enter_on_greyed_default_button_does_nothing", IDD_CAL_INFO,
                 [](CDialog& d) {
                     d.EnableDlgItem(IDOK, false);
                     KeyInto(d, IDC_CAL_LAB, Qt::Key_Return);
                 },
                 LeftOpen, {"OnInitDialog"}}),
    rows::Name());

struct DestroyRow
{
    const char* scenario;
    std::function<void(CDialog&)> use;
    int whileAlive; // OnDestroy calls before the dialog object goes
    int inAll;
};

using OnDestroyTest = rows::Test<DestroyRow>;

TEST_P(OnDestroyTest, RunsOnceForEveryWindowMade)
{
    const DestroyRow& row = GetParam();
    int destroyed = 0;
    {
        RecordingDialog dialog(IDD_CAL_INFO);
        dialog.destroyed = &destroyed;
        row.use(dialog);
        EXPECT_EQ(destroyed, row.whileAlive);
    }
    EXPECT_EQ(destroyed, row.inAll);
}

void ClickModal(CDialog& dialog, int id)
{
    RunModal(dialog, [id](CDialog& d) { Click(d, id); });
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OnDestroyTest,
    testing::Values(DestroyRow{"ended_with_ok", [](CDialog& d) { ClickModal(d, IDOK); }, 1, 1},
                    DestroyRow{"ended_with_cancel", [](CDialog& d) { ClickModal(d, IDCANCEL); }, 1, 1},
                    DestroyRow{"run_twice", [](CDialog& d) { ClickModal(d, IDOK); ClickModal(d, IDCANCEL); }, 2, 2},
                    DestroyRow{"destroyed_without_being_shown", [](CDialog& d) { d.Create(); }, 0, 1},
                    DestroyRow{"destroyed_while_shown", [](CDialog& d) { d.Create(); d.show(); }, 0, 1},
                    DestroyRow{"never_made", [](CDialog&) {}, 0, 0}),
    rows::Name());

TEST(DoModal, UnknownTemplateCannotBeMade)
{
    RecordingDialog dialog(4711);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(dialog.calls.empty());
}

TEST(DoModal, InitialisationThatThrowsIsReportedAndCountsAsNotMade)
{
    std::vector<MessageBoxRequest> boxes;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return IDOK;
    });
    RecordingDialog dialog(IDD_CAL_INFO);
    dialog.initDialog = []() -> bool { throw std::runtime_error("no sensor library"); };
    EXPECT_EQ(dialog.DoModal(), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("no sensor library"));
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
}

TEST(DoModal, EndDialogDuringInitialisationReturnsWithoutShowing)
{
    RecordingDialog dialog(IDD_CAL_INFO);
    dialog.initDialog = [&dialog] {
        dialog.EndDialog(IDCANCEL);
        return true;
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(DoModal, CloseBoxLeavesTheWindowOpenWhenOnCancelDoesNotEndIt)
{
    RecordingDialog dialog(IDD_OSTREL_DIALOG);
    dialog.cancelEnds = false;
    const int result = RunModal(dialog, [](CDialog& d) {
        d.close();
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(result, LeftOpen);
}

TEST(DialogEnter, ControlThatUsesEnterKeepsIt)
{
    RecordingDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    auto* editor = new QPlainTextEdit;
    ASSERT_EQ(dialog.ReplaceDlgItem(IDC_DEVICE_GRID, editor), editor);
    dialog.show();
    editor->setFocus();
    QTest::keyClicks(editor, "1");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("1\n"));
    EXPECT_EQ(dialog.calls, Calls{"OnInitDialog"});
}

bool IsWidgetOfKind(QWidget* control, ControlKind kind)
{
    const auto* button = qobject_cast<QPushButton*>(control);
    switch (kind)
    {
    case ControlKind::Label:
        return qobject_cast<QLabel*>(control) != nullptr;
    case ControlKind::Edit:
        return qobject_cast<QLineEdit*>(control) != nullptr || qobject_cast<QPlainTextEdit*>(control) != nullptr;
    case ControlKind::Button:
        return button != nullptr && !button->isDefault();
    case ControlKind::DefaultButton:
        return button != nullptr && button->isDefault();
    case ControlKind::CheckBox:
        return qobject_cast<QCheckBox*>(control) != nullptr;
    case ControlKind::GroupBox:
        return qobject_cast<QGroupBox*>(control) != nullptr;
    case ControlKind::List:
        return qobject_cast<QListWidget*>(control) != nullptr;
    case ControlKind::ReportList:
        return qobject_cast<CListCtrl*>(control) != nullptr;
    case ControlKind::Grid:
        return control->metaObject() == &QWidget::staticMetaObject;
    }
    return false;
}

TEST(DialogTemplates, EveryTemplateBuildsItsControlsFindableByNumber)
{
    for (const DialogTemplate& dialogTemplate : AllDialogTemplates())
    {
        CDialog dialog(dialogTemplate.id);
        ASSERT_TRUE(dialog.Create()) << dialogTemplate.id;
        EXPECT_EQ(dialog.GetWindowText(), QString::fromUtf8(dialogTemplate.caption));
        for (const ControlTemplate& control : dialogTemplate.controls)
        {
            if (control.id == IDC_STATIC)
            {
                continue;
            }
            QWidget* widget = dialog.GetDlgItem(control.id);
            ASSERT_NE(widget, nullptr) << dialogTemplate.id << "/" << control.id;
            EXPECT_TRUE(IsWidgetOfKind(widget, control.kind)) << dialogTemplate.id << "/" << control.id;
            const QRect expected = dialog.MapDialogRect(QRect(control.x, control.y, control.cx, control.cy));
            if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::Label)
            {
                // Only grows to the right, to show its whole text.
                EXPECT_EQ(widget->geometry().topLeft(), expected.topLeft());
                EXPECT_EQ(widget->height(), expected.height());
                EXPECT_GE(widget->width(), expected.width());
            }
            else
            {
                EXPECT_EQ(widget->geometry(), expected);
            }
        }
    }
}

struct TransferTemplateRow
{
    const char* scenario;
    int templateId;
    const char* caption;
    std::vector<std::pair<int, QString>> buttons; // the default button first
    QString groupBox;
    std::vector<std::pair<QString, int>> columns; // of the sensor list
};

using TransferTemplateTest = rows::Test<TransferTemplateRow>;

TEST_P(TransferTemplateTest, ShowsItsCaptionButtonsAndList)
{
    const TransferTemplateRow& row = GetParam();
    CDialog dialog(row.templateId);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.GetWindowText(), QString::fromUtf8(row.caption));
    for (const auto& [id, text] : row.buttons)
    {
        const auto* button = dialog.GetDlgItemAs<QPushButton>(id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->text(), text);
        EXPECT_EQ(button->isDefault(), id == row.buttons.front().first) << id;
    }
    const auto* group = dialog.GetClientArea()->findChild<QGroupBox*>();
    EXPECT_EQ(group ? group->title() : QString(), row.groupBox);
    const auto* list = dialog.GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
    std::vector<std::pair<QString, int>> columns;
    for (int column = 0; list && column < list->model()->columnCount(); ++column)
    {
        columns.emplace_back(list->model()->headerData(column, Qt::Horizontal).toString(),
                             list->GetColumnWidth(column));
    }
    EXPECT_EQ(columns, row.columns);
    EXPECT_TRUE(!list || (list->showGrid() && !list->horizontalHeader()->sectionsClickable()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TransferTemplateTest,
    testing::Values(
        TransferTemplateRow{"upload", IDD_UPLOAD, "Upload Calibration Data",
                            {{IDOK, "OK"}, {IDC_REBUILD_LIST, "Rebuild List"}, {IDC_UPLOAD, "Upload"},
                             {IDCANCEL, "Cancel"}},
                            "Select Sensor",
                            {{"Resource Descriptor", 240}, {"Type", 60}, {"Serial No.", 60}, {"Connection Type", 100}}},
        TransferTemplateRow{"download", IDD_DOWNLOAD, "Download Calibration Data",
                            {{IDC_DOWNLOAD, "Download"}, {IDC_RESCAN, "Rescan"}, {IDCANCEL, "Cancel"}}, {}, {}}),
    rows::Name());

TEST(DialogControls, CheckBoxTextIsNotCut)
{
    CDialog mainWindow(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(mainWindow.Create());
    for (int id : {IDC_FLAG_ACTIVE_AFTER_RESET, IDC_FLAG_STATE_LOCKED, IDC_FLAG_DEVICE_LOCKED, IDC_FLAG_USE_FACTORY_FLAGS})
    {
        QWidget* box = mainWindow.GetDlgItem(id);
        ASSERT_NE(box, nullptr);
        EXPECT_GE(box->width(), box->sizeHint().width()) << id;
    }
}

// Every static text of every window shows whole: it breaks into no more
// lines than its template has room for, unless it reaches the window's edge.
TEST(DialogControls, StaticTextIsNotCut)
{
    for (const DialogTemplate& dialogTemplate : AllDialogTemplates())
    {
        CDialog dialog(dialogTemplate.id);
        ASSERT_TRUE(dialog.Create()) << dialogTemplate.id;
        const int clientWidth = dialog.MapDialogRect(QRect(0, 0, dialogTemplate.cx, dialogTemplate.cy)).width();
        for (const QLabel* label : dialog.findChildren<QLabel*>())
        {
            if (!(label->alignment() & Qt::AlignLeft) || label->geometry().right() + 1 >= clientWidth)
            {
                continue;
            }
            const int needed = label->heightForWidth(label->width());
            EXPECT_TRUE(needed <= label->height() || needed == label->heightForWidth(QWIDGETSIZE_MAX))
                << dialogTemplate.id << ": " << label->text().toStdString();
        }
    }
}

TEST(DialogControls, EditStylesAreApplied)
{
    CDialog mainWindow(IDD_OSTREL_DIALOG);
    CDialog remote(IDD_REMOTE);
    CDialog view(IDD_VISUALIZE);
    CDialog device(IDD_DEVICE);
    ASSERT_TRUE(mainWindow.Create() && remote.Create() && view.Create() && device.Create());

    const auto* status = mainWindow.GetDlgItemAs<QLineEdit>(IDC_STATUS_LINE);
    EXPECT_TRUE(status->isReadOnly());
    EXPECT_FALSE(status->hasFrame());
    EXPECT_TRUE(status->alignment() & Qt::AlignHCenter);

    auto* timeout = remote.GetDlgItemAs<QLineEdit>(IDC_COMMAND_TIMEOUT);
    QTest::keyClicks(timeout, "1a2-3 4");
    EXPECT_EQ(timeout->text(), QStringLiteral("1234"));

    const auto* text = view.GetDlgItemAs<QPlainTextEdit>(IDC_VISUALIZE_TEXT);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(text->tabChangesFocus());

    EXPECT_TRUE(device.GetDlgItemAs<QLineEdit>(IDC_LOWER_LIMIT)->alignment() & Qt::AlignRight);
    EXPECT_TRUE(device.GetDlgItemAs<QLineEdit>(IDC_MNEMONIC)->alignment() & Qt::AlignLeft);
}

TEST(DialogControls, CentredMultilineEditCentresEveryLineAndGivesBackItsLineBreaks)
{
    CDialog dialog(IDD_DOWNLOAD);
    ASSERT_TRUE(dialog.Create());
    const QString text = QStringLiteral("Sensor found:\r\nT 1 via USB\r\n\r\nChoose a button.");
    dialog.SetDlgItemText(IDC_DOWNLOAD_TEXT, text);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_DOWNLOAD_TEXT), text);
    auto* edit = dialog.GetDlgItemAs<QPlainTextEdit>(IDC_DOWNLOAD_TEXT);
    ASSERT_TRUE(edit && edit->isReadOnly()) << "a read-only multi-line edit";
    dialog.show();
    ASSERT_EQ(edit->document()->blockCount(), 4);
    for (QTextBlock line = edit->document()->begin(); line.isValid(); line = line.next())
    {
        QTextCursor cursor(line);
        const int left = edit->cursorRect(cursor).left();
        cursor.movePosition(QTextCursor::EndOfBlock);
        EXPECT_NEAR(left, edit->viewport()->width() - edit->cursorRect(cursor).left(), 3) << line.text().toStdString();
    }
}

TEST(DialogControls, TextsAndCheckStatesGoThroughTheNumbers)
{
    CDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    dialog.SetDlgItemText(IDC_STATUS_LINE, QStringLiteral("No cal. data set loaded."));
    EXPECT_EQ(dialog.GetDlgItemText(IDC_STATUS_LINE), QStringLiteral("No cal. data set loaded."));
    EXPECT_EQ(dialog.GetDlgItemText(IDC_FLAG_DEVICE_LOCKED), QStringLiteral("S-Parameter Device Locked"));
    dialog.CheckDlgButton(IDC_FLAG_DEVICE_LOCKED, true);
    EXPECT_TRUE(dialog.IsDlgButtonChecked(IDC_FLAG_DEVICE_LOCKED));
    EXPECT_FALSE(dialog.IsDlgButtonChecked(IDC_FLAG_STATE_LOCKED));
    EXPECT_EQ(dialog.GetDlgItem(9999), nullptr);
    EXPECT_EQ(dialog.GetDlgItemText(9999), QString());
}

TEST(DialogControls, CheckBoxClickTogglesAndSendsItsNumber)
{
    RecordingDialog dialog(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(dialog.Create());
    int flagClicks = 0;
    dialog.MapCommand(IDC_FLAG_USE_FACTORY_FLAGS, [&flagClicks] { ++flagClicks; });
    dialog.show();
    QTest::mouseClick(dialog.GetDlgItem(IDC_FLAG_USE_FACTORY_FLAGS), Qt::LeftButton);
    EXPECT_EQ(flagClicks, 1);
    EXPECT_TRUE(dialog.IsDlgButtonChecked(IDC_FLAG_USE_FACTORY_FLAGS));
    dialog.CheckDlgButton(IDC_FLAG_USE_FACTORY_FLAGS, false);
    EXPECT_EQ(flagClicks, 1) << "setting the state is no click";
}

TEST(DialogControls, ReplacedPlaceholderTakesItsPlace)
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
    {
        next = next->nextInFocusChain();
    }
    EXPECT_EQ(next, dialog.GetDlgItem(IDC_MNEMONIC)) << "tab order as in the template";

    auto* unused = new QTableView;
    EXPECT_EQ(dialog.ReplaceDlgItem(9999, unused), nullptr);
    delete unused;
}

TEST(DialogHandlers, ExceptionsAreShownNotThrown)
{
    std::vector<MessageBoxRequest> boxes;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return IDOK;
    });
    RecordingDialog dialog(IDD_CAL_INFO);
    ASSERT_TRUE(dialog.Create());
    dialog.MapCommand(IDOK, [] { throw std::runtime_error("Checksum failed"); });
    dialog.MapMessage(WM_USER + 7, [](WPARAM, LPARAM) { throw 42; });

    EXPECT_NO_THROW(QTest::mouseClick(dialog.GetDlgItem(IDOK), Qt::LeftButton));
    EXPECT_NO_THROW(dialog.SendMessage(WM_USER + 7, 0, 0));

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Checksum failed"));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(boxes[1].text, QStringLiteral("An unexpected error occurred."));
}

TEST(DialogHandlers, KillFocusRunsWhenFocusMovesToAnotherControl)
{
    RecordingDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    int lowerLeft = 0;
    dialog.MapKillFocus(IDC_LOWER_LIMIT, [&lowerLeft] { ++lowerLeft; });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    dialog.GetDlgItem(IDC_LOWER_LIMIT)->setFocus();
    dialog.GetDlgItem(IDC_MNEMONIC)->setFocus();
    EXPECT_EQ(lowerLeft, 1);
    dialog.GetDlgItem(IDC_UPPER_LIMIT)->setFocus();
    EXPECT_EQ(lowerLeft, 1);
}

TEST(DialogHandlers, SizingDialogReportsItsClientSize)
{
    RecordingDialog dialog(IDD_DEVICE);
    ASSERT_TRUE(dialog.Create());
    dialog.show();
    dialog.resize(dialog.width() + 40, dialog.height() + 30);
    QCoreApplication::processEvents();
    ASSERT_FALSE(dialog.sizes.empty());
    const QSize client = dialog.GetClientArea()->size();
    EXPECT_EQ(dialog.sizes.back(), std::make_pair(client.width(), client.height()));
    EXPECT_EQ(client, QSize(717 + 40, 495 + 30));
}

} // namespace
