// The standard boxes: message boxes and file dialogs, shown by Qt or asked of a presenter.

#include "FileDialog.h"
#include "FileDialogPresenter.h"
#include "MessageBox.h"
#include "MessageBoxPresenter.h"
#include "Rows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>

#include <optional>

namespace
{

using rows::operator<<;

// Runs `action` on the modal widget that `open` brings up; returns what `open` returned.
int WithModalWidget(const std::function<int()>& open, std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, qApp, [action] { action(QApplication::activeModalWidget()); });
    return open();
}

struct BoxRow
{
    const char* scenario;
    const char* caption; // nullptr: the application's box
    UINT flags;
    Qt::Key key; // the user's, where the focus is
    QString shown; // caption, icon and buttons, the default one in brackets
    int result;
};

using MessageBoxTest = testing::TestWithParam<BoxRow>;

TEST_P(MessageBoxTest, ShowsTheButtonsOfItsFlagsAndReturnsTheOnePressed)
{
    const BoxRow& row = GetParam();
    QString shown, text;
    const int result = WithModalWidget(
        [&row] {
            const QString text = "Deleting cannot be undone.\r\nProceed?";
            return row.caption ? MessageBox(nullptr, text, row.caption, row.flags) : AfxMessageBox(text, row.flags);
        },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            text = box->text();
            const char* const icons[] = {"no icon", "information", "warning", "stop", "question"};
            shown = box->windowTitle() + ", " + icons[box->icon()] + ":";
            for (const QAbstractButton* button : box->buttons())
                shown += QString(button == box->defaultButton() ? " [%1]" : " %1").arg(button->text().remove('&'));
            box->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(box));
            QTest::keyClick(box->focusWidget(), row.key);
        });
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(text, "Deleting cannot be undone.\nProceed?");
    EXPECT_EQ(shown, row.shown);
}

const std::vector<BoxRow> BoxRows{
    {"stop_with_the_applications_caption", "", MB_ICONSTOP, Qt::Key_Return, "Ostrel, stop: [OK]", IDOK},
    {"information_escaped", "Download", MB_ICONINFORMATION, Qt::Key_Escape, "Download, information: [OK]", IDOK},
    {"warning_with_no_as_default", "", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, Qt::Key_Return,
     "Ostrel, warning: Yes [No]", IDNO},
    {"question_with_yes_as_default", "Delete", MB_YESNO | MB_ICONQUESTION, Qt::Key_Return,
     "Delete, question: [Yes] No", IDYES},
    {"applications_box_escaped_is_no", nullptr, MB_YESNO, Qt::Key_Escape, "Ostrel, no icon: [Yes] No", IDNO},
};

INSTANTIATE_TEST_SUITE_P(Rows, MessageBoxTest, testing::ValuesIn(BoxRows), rows::Name());

const QString DataSets = "*.cal and *.bin Files|*.cal; *.bin|*.cal Files|*.cal|All Files (*.*)|*.*||";
const QStringList DataSetFilters{"*.cal and *.bin Files (*.cal *.bin)", "*.cal Files (*.cal)", "All Files (*.*) (*)"};

struct ChoiceRow
{
    const char* scenario;
    bool open;
    QString defaultExtension, fileName;
    UINT flags;
    std::optional<QString> chosen; // nothing: cancelled
    QString folder; // the dialog opens in
    bool asksBeforeReplacing;
    int result;
    QStringList got; // path, name and extension chosen; then where the next dialog opens
    QString filter = "*.xml Files|*.xml||"; // bar-separated, as the window gives it
    QStringList nameFilters = {"*.xml Files (*.xml)"}; // as Qt takes them
};

using FileDialogTest = testing::TestWithParam<ChoiceRow>;

// The last dialog of the process ended in /start. The window's bar-separated filters become Qt's.
TEST_P(FileDialogTest, AsksWithTheFrameworksArgumentsAndHandsBackTheChoice)
{
    const ChoiceRow& row = GetParam();
    CFileDialog::SetLastFolder("/start");
    std::vector<FileDialogRequest> asked;
    const ScopedFileDialogPresenter presenter([&](const FileDialogRequest& request) {
        asked.push_back(request);
        return row.chosen;
    });
    CFileDialog dialog(row.open, row.defaultExtension, row.fileName, row.flags, row.filter);
    dialog.SetTitle("Select XML file");
    EXPECT_EQ(dialog.DoModal(), row.result);
    ASSERT_EQ(asked.size(), 1u);
    const FileDialogRequest& a = asked[0];
    EXPECT_EQ(std::make_tuple(a.open, a.directory, a.fileName, a.nameFilters, a.defaultExtension, a.overwritePrompt),
              std::make_tuple(row.open, row.folder, QFileInfo(row.fileName).fileName(),
                              row.nameFilters, QString("xml"), row.asksBeforeReplacing));
    EXPECT_EQ(a.title, "Select XML file");
    EXPECT_EQ(QStringList({dialog.GetPathName(), dialog.GetFileName(), dialog.GetFileExt(), dialog.GetLastFolder()}),
              row.got);
}

constexpr UINT Both = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

const std::vector<ChoiceRow> ChoiceRows{
    {"save_appends_the_default_extension", false, "xml", "", Both, "/data/export", "/start", true, IDOK,
     {"/data/export.xml", "export.xml", "xml", "/data"}},
    // a filter without closing bars
    {"save_keeps_another_extension", false, ".xml", "", Both, "/data/export.bin", "/start", true, IDOK,
     {"/data/export.bin", "export.bin", "bin", "/data"}, "Touchstone|*.s2p", {"Touchstone (*.s2p)"}},
    // the filters end at the first empty entry
    {"save_in_a_folder_with_a_dot", false, "xml", "", OFN_HIDEREADONLY, "/data/v1.2/export", "/start", false, IDOK,
     {"/data/v1.2/export.xml", "export.xml", "xml", "/data/v1.2"}, "A|*.a||B|*.b||", {"A (*.a)"}},
    // a description without patterns is no filter
    {"open_takes_the_name_as_chosen", true, "xml", "", Both, "/data/one/export", "/start", false, IDOK,
     {"/data/one/export", "export", "", "/data/one"}, "A|*.a|B", {"A (*.a)"}},
    {"initial_name_with_a_folder_opens_there", false, "xml", "/data/two/old.xml", Both, "/data/two/new.xml",
     "/data/two", true, IDOK, {"/data/two/new.xml", "new.xml", "xml", "/data/two"}},
    // no filters
    {"ok_without_a_name", false, "xml", "old.xml", Both, "", "/start", true, IDOK, {"", "", "", "/start"}, "", {}},
    {"cancel_changes_nothing", false, "xml", "", Both, std::nullopt, "/start", true, IDCANCEL, {"", "", "", "/start"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, FileDialogTest, testing::ValuesIn(ChoiceRows), rows::Name());

// Each kind of file opens where its last dialog ended; a kind not asked for yet where the last of any kind did.
TEST(FileDialog, RemembersTheFolderOfEachKindOfFile)
{
    CFileDialog::SetLastFolder("/start");
    std::deque<QString> chosen{"/xml/a.xml", "/cal/b.cal", "", "/txt/c.txt"};
    QStringList opened;
    const ScopedFileDialogPresenter presenter([&](const FileDialogRequest& request) {
        opened << request.directory;
        const QString choice = chosen.front();
        chosen.pop_front();
        return std::optional(choice);
    });
    for (const char* kind : {"xml", "CAL", ".xml", "txt"})
        CFileDialog(true, kind).DoModal();
    EXPECT_EQ(opened, QStringList({"/start", "/xml", "/xml", "/cal"}));
}

TEST(FileDialog, DefaultPresenterShowsAQtFileDialog)
{
    const QTemporaryDir folder;
    CFileDialog::SetLastFolder(folder.path());
    CFileDialog dialog(false, "cal", QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, DataSets);
    const auto look = [&folder](QWidget* modal) {
        auto* shown = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->nameFilters(), DataSetFilters);
        EXPECT_EQ(shown->directory().absolutePath(), QDir(folder.path()).absolutePath());
        EXPECT_FALSE(shown->testOption(QFileDialog::DontConfirmOverwrite)) << "asks before replacing a file";
        shown->reject();
    };
    EXPECT_EQ(WithModalWidget([&dialog] { return dialog.DoModal(); }, look), IDCANCEL);
}

} // namespace
