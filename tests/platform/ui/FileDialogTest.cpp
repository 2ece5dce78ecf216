#include "FileDialog.h"
#include "FileDialogFilter.h"
#include "FileDialogPresenter.h"
#include "Support.h"

#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace
{

using rows::operator<<;

const QString DataSets = "*.cal and *.bin Files|*.cal; *.bin|*.cal Files|*.cal|*.bin Files|*.bin|All Files (*.*)|*.*||";

struct FilterRow
{
    const char* scenario;
    QString filter;
    QStringList expected;
};

using FileDialogFilterTest = rows::Test<FilterRow>;

TEST_P(FileDialogFilterTest, BecomesQtNameFilters)
{
    EXPECT_EQ(ConvertFileDialogFilter(GetParam().filter), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FileDialogFilterTest,
    testing::Values(FilterRow{"pattern_lists_and_all_files", DataSets,
                              {"*.cal and *.bin Files (*.cal *.bin)", "*.cal Files (*.cal)", "*.bin Files (*.bin)",
                               "All Files (*.*) (*)"}},
                    FilterRow{"without_closing_bars", "Touchstone|*.s2p", {"Touchstone (*.s2p)"}},
                    FilterRow{"list_ends_at_first_empty_entry", "A|*.a||B|*.b||", {"A (*.a)"}},
                    FilterRow{"description_without_patterns", "A|*.a|B", {"A (*.a)"}},
                    FilterRow{"empty", "", {}}),
    rows::Name());

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
    QString path, name, extension, lastFolder; // chosen; where the next dialog opens
};

using FileDialogTest = rows::Test<ChoiceRow>;

// The last dialog of the process ended in /start.
TEST_P(FileDialogTest, AsksWithTheFrameworksArgumentsAndHandsBackTheChoice)
{
    const ChoiceRow& row = GetParam();
    CFileDialog::SetLastFolder("/start");
    std::vector<FileDialogRequest> asked;
    const ScopedFileDialogPresenter presenter([&](const FileDialogRequest& request) {
        asked.push_back(request);
        return row.chosen;
    });
    CFileDialog dialog(row.open, row.defaultExtension, row.fileName, row.flags, "*.xml Files|*.xml||");
    dialog.SetTitle("Select XML file");
    EXPECT_EQ(dialog.DoModal(), row.result);
    ASSERT_EQ(asked.size(), 1u);
    const FileDialogRequest& a = asked[0];
    EXPECT_EQ(std::make_tuple(a.open, a.directory, a.fileName, a.nameFilters, a.defaultExtension, a.overwritePrompt, a.title),
              std::make_tuple(row.open, row.folder, QFileInfo(row.fileName).fileName(), QStringList{"*.xml Files (*.xml)"},
                              QString("xml"), row.asksBeforeReplacing, QString("Select XML file")));
    EXPECT_EQ(QStringList({dialog.GetPathName(), dialog.GetFileName(), dialog.GetFileExt()}),
              QStringList({row.path, row.name, row.extension}));
    EXPECT_EQ(CFileDialog::GetLastFolder(), row.lastFolder);
}

constexpr UINT Both = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

INSTANTIATE_TEST_SUITE_P(
    Rows, FileDialogTest,
    testing::Values(
        ChoiceRow{"save_appends_the_default_extension", false, "xml", "", Both, "/data/export", "/start", true, IDOK,
                  "/data/export.xml", "export.xml", "xml", "/data"},
        ChoiceRow{"save_keeps_another_extension", false, ".xml", "", Both, "/data/export.bin", "/start", true, IDOK,
                  "/data/export.bin", "export.bin", "bin", "/data"},
        ChoiceRow{"save_in_a_folder_with_a_dot", false, "xml", "", OFN_HIDEREADONLY, "/data/v1.2/export", "/start",
                  false, IDOK, "/data/v1.2/export.xml", "export.xml", "xml", "/data/v1.2"},
        ChoiceRow{"open_takes_the_name_as_chosen", true, "xml", "", Both, "/data/one/export", "/start", false, IDOK,
                  "/data/one/export", "export", "", "/data/one"},
        ChoiceRow{"initial_name_with_a_folder_opens_there", false, "xml", "/data/two/old.xml", Both,
                  "/data/two/new.xml", "/data/two", true, IDOK, "/data/two/new.xml", "new.xml", "xml", "/data/two"},
        ChoiceRow{"ok_without_a_name", false, "xml", "old.xml", Both, "", "/start", true, IDOK, "", "", "", "/start"},
        ChoiceRow{"cancel_changes_nothing", false, "xml", "", Both, std::nullopt, "/start", true, IDCANCEL, "", "", "",
                  "/start"}),
    rows::Name());

TEST(FileDialog, DefaultPresenterShowsAQtFileDialog)
{
    const QTemporaryDir folder;
    CFileDialog::SetLastFolder(folder.path());
    CFileDialog dialog(false, "cal", QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, DataSets);
    const auto look = [&folder](QWidget* modal) {
        auto* shown = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->nameFilters(), ConvertFileDialogFilter(DataSets));
        EXPECT_EQ(shown->directory().absolutePath(), QDir(folder.path()).absolutePath());
        EXPECT_FALSE(shown->testOption(QFileDialog::DontConfirmOverwrite)) << "asks before replacing a file";
        shown->reject();
    };
    EXPECT_EQ(WithModalWidget<int>([&dialog] { return dialog.DoModal(); }, look), IDCANCEL);
}

} // namespace
