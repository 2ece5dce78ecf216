#include "RecordingDialog.h"
#include "Resource.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "Rows.h"

#include <gtest/gtest.h>

#include <ostream>

namespace
{

using rows::operator<<;

struct DropRow
{
    const char* scenario;
    int templateId;
    QList<QUrl> urls;
    std::vector<QStringList> expectedDrops;
};

using DropFilesTest = rows::Test<DropRow>;

bool Drop(QWidget& target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    QCoreApplication::processEvents();
    return enter.isAccepted();
}

TEST_P(DropFilesTest, WindowGetsTheLocalFilesOfADrop)
{
    const DropRow& row = GetParam();
    RecordingDialog window(row.templateId);
    ASSERT_TRUE(window.Create());
    window.show();
    const bool accepted = Drop(window, row.urls);
    EXPECT_EQ(window.drops, row.expectedDrops);
    EXPECT_EQ(accepted, !row.expectedDrops.empty()) << "the drag is refused where the drop would be";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DropFilesTest,
    testing::Values(
        DropRow{"one_file", IDD_OSTREL_DIALOG, {QUrl::fromLocalFile("/data/sensor.cal")}, {{"/data/sensor.cal"}}},
        DropRow{"files_in_drop_order_without_remote_ones",
                IDD_OSTREL_DIALOG,
                {QUrl::fromLocalFile("/data/b.bin"), QUrl("https://example.org/a.cal"),
                 QUrl::fromLocalFile("/data/ä a.cal")},
                {{"/data/b.bin", QString::fromUtf8("/data/ä a.cal")}}},
        DropRow{"only_remote_urls", IDD_OSTREL_DIALOG, {QUrl("https://example.org/a.cal")}, {}},
        DropRow{"window_that_takes_no_files", IDD_CAL_INFO, {QUrl::fromLocalFile("/data/sensor.cal")}, {}}),
    rows::Name());

TEST(DropFiles, NoneWhileAModalDialogIsOpenOverTheWindow)
{
    RecordingDialog window(IDD_OSTREL_DIALOG);
    ASSERT_TRUE(window.Create());
    window.show();
    {
        CDialog editor(IDD_SETNUMBER, &window);
        ASSERT_TRUE(editor.Create());
        editor.setWindowModality(Qt::ApplicationModal);
        editor.show();
        EXPECT_FALSE(Drop(window, {QUrl::fromLocalFile("/data/sensor.cal")}));
        EXPECT_TRUE(window.drops.empty());
    }
    EXPECT_TRUE(Drop(window, {QUrl::fromLocalFile("/data/sensor.cal")}));
    EXPECT_EQ(window.drops.size(), 1u);
}

} // namespace
