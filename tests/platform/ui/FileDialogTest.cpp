#include "FileDialog.h"
#include "FileDialogFilter.h"
#include "FileDialogPresenter.h"
#include "Support.h"

#include <QFileDialog>
#include <QTemporaryDir>

#include "Rows.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace
{

using rows::operator<<;

const QString DataSetFilter =
    QStringLiteral("*.cal and *.bin Files|*.cal; *.bin|*.cal Files|*.cal|*.bin Files|*.bin|All Files (*.*)|*.*||");

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
    testing::Values(
        FilterRow{"data_set_files_with_pattern_list", DataSetFilter,
                  {"*.cal and *.bin Files (*.cal *.bin)", "*.cal Files (*.cal)", "*.bin Files (*.bin)",
                   "All Files (*.*) (*)"}},
        FilterRow{"xml_files", "*.xml Files|*.xml|All Files (*.*)|*.*||",
                  {"*.xml Files (*.xml)", "All Files (*.*) (*)"}},
        FilterRow{"without_closing_bars", "Touchstone|*.s2p", {"Touchstone (*.s2p)"}},
        FilterRow{"list_ends_at_first_empty_entry", "A|*.a||B|*.b||", {"A (*.a)"}},
        FilterRow{"description_without_patterns", "A|*.a|B", {"A (*.a)"}},
        FilterRow{"empty", "", {}}),
    rows::Name());

// Answers every file dialog with a fixed choice and keeps the requests.
class ChoosingPresenter
{
public:
    explicit ChoosingPresenter(std::optional<QString> choice)
        : m_scope([this](const FileDialogRequest& request) {
            requests.push_back(request);
            return m_choice;
        })
        , m_choice(std::move(choice))
    {
    }

    std::vector<FileDialogRequest> requests;

private:
    ScopedFileDialogPresenter m_scope;
    std::optional<QString> m_choice;
};

struct SaveNameRow
{
    const char* scenario;
    bool open;
    QString chosen;
    QString expectedPath;
};

using FileDialogNameTest = rows::Test<SaveNameRow>;

TEST_P(FileDialogNameTest, SaveAppendsTheDefaultExtensionToANameWithoutOne)
{
    const SaveNameRow& row = GetParam();
    ChoosingPresenter presenter(row.chosen);
    CFileDialog dialog(row.open, QStringLiteral("cal"), QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       DataSetFilter);
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetPathName(), row.expectedPath);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FileDialogNameTest,
    testing::Values(SaveNameRow{"save_without_extension", false, "/data/sensor", "/data/sensor.cal"},
                    SaveNameRow{"save_with_other_extension", false, "/data/sensor.bin", "/data/sensor.bin"},
                    SaveNameRow{"save_in_folder_with_dot", false, "/data/v1.2/sensor", "/data/v1.2/sensor.cal"},
                    SaveNameRow{"open_takes_the_name_as_chosen", true, "/data/sensor", "/data/sensor"},
                    SaveNameRow{"ok_without_a_name", false, "", ""}),
    rows::Name());

TEST(FileDialog, RequestCarriesTheFrameworkArguments)
{
    ChoosingPresenter presenter(QStringLiteral("/data/export.xml"));
    CFileDialog save(false, QStringLiteral("xml"), QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     QStringLiteral("*.xml Files|*.xml|All Files (*.*)|*.*||"));
    CFileDialog open(true, QStringLiteral("xml"), QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     QStringLiteral("*.xml Files|*.xml|All Files (*.*)|*.*||"));
    open.SetTitle(QStringLiteral("Select XML file"));
    ASSERT_EQ(save.DoModal(), IDOK);
    ASSERT_EQ(open.DoModal(), IDOK);
    ASSERT_EQ(presenter.requests.size(), 2u);
    EXPECT_FALSE(presenter.requests[0].open);
    EXPECT_TRUE(presenter.requests[0].overwritePrompt);
    EXPECT_TRUE(presenter.requests[1].open);
    EXPECT_FALSE(presenter.requests[1].overwritePrompt) << "an open dialog never asks about overwriting";
    EXPECT_TRUE(presenter.requests[0].title.isEmpty());
    EXPECT_EQ(presenter.requests[1].title, QStringLiteral("Select XML file"));
    EXPECT_EQ(presenter.requests[0].defaultExtension, QStringLiteral("xml"));
    EXPECT_EQ(presenter.requests[0].nameFilters,
              (QStringList{"*.xml Files (*.xml)", "All Files (*.*) (*)"}));
    EXPECT_EQ(save.GetFileName(), QStringLiteral("export.xml"));
    EXPECT_EQ(save.GetFileExt(), QStringLiteral("xml"));
}

TEST(FileDialog, OpensWhereTheLastDialogEndedAndCancelChangesNothing)
{
    CFileDialog::SetLastFolder(QStringLiteral("/start"));
    {
        ChoosingPresenter chooser(QStringLiteral("/data/one/sensor.cal"));
        CFileDialog first(true, QStringLiteral("cal"), QString(), OFN_HIDEREADONLY, DataSetFilter);
        ASSERT_EQ(first.DoModal(), IDOK);
        EXPECT_EQ(chooser.requests.at(0).directory, QStringLiteral("/start"));
    }
    ChoosingPresenter canceller(std::nullopt);
    CFileDialog second(false, QStringLiteral("s2p"), QString(), OFN_OVERWRITEPROMPT, QStringLiteral("S2P|*.s2p||"));
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(second.GetPathName(), QString());
    CFileDialog third(true, QString(), QString(), OFN_HIDEREADONLY, QString());
    EXPECT_EQ(third.DoModal(), IDCANCEL);
    EXPECT_EQ(canceller.requests.at(0).directory, QStringLiteral("/data/one"));
    EXPECT_EQ(canceller.requests.at(1).directory, QStringLiteral("/data/one"));
}

TEST(FileDialog, InitialNameWithFolderOpensInThatFolder)
{
    CFileDialog::SetLastFolder(QStringLiteral("/start"));
    ChoosingPresenter presenter(std::nullopt);
    CFileDialog dialog(false, QStringLiteral("cal"), QStringLiteral("/data/two/old.cal"));
    dialog.DoModal();
    ASSERT_EQ(presenter.requests.size(), 1u);
    EXPECT_EQ(presenter.requests[0].directory, QStringLiteral("/data/two"));
    EXPECT_EQ(presenter.requests[0].fileName, QStringLiteral("old.cal"));
}

TEST(FileDialog, DefaultPresenterShowsAQtFileDialog)
{
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    CFileDialog::SetLastFolder(folder.path());
    QStringList shownFilters;
    QString shownFolder;
    bool asksAboutOverwriting = false;
    CFileDialog dialog(false, QStringLiteral("cal"), QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, DataSetFilter);
    const int result = WithModalWidget<int>([&dialog] { return dialog.DoModal(); },
                                            [&](QWidget* modal) {
                                                auto* fileDialog = qobject_cast<QFileDialog*>(modal);
                                                ASSERT_NE(fileDialog, nullptr);
                                                shownFilters = fileDialog->nameFilters();
                                                shownFolder = fileDialog->directory().absolutePath();
                                                asksAboutOverwriting =
                                                    !fileDialog->testOption(QFileDialog::DontConfirmOverwrite);
                                                fileDialog->reject();
                                            });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(shownFilters, ConvertFileDialogFilter(DataSetFilter));
    EXPECT_EQ(shownFolder, QDir(folder.path()).absolutePath());
    EXPECT_TRUE(asksAboutOverwriting);
}

} // namespace
