#include "MainWindowFixture.h"

#include "Menu.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <functional>

namespace
{

// Counts the cancel paths that end the window.
class CountingMainWindow : public COstrelDlg
{
public:
    int cancels = 0;

protected:
    void OnCancel() override
    {
        ++cancels;
        COstrelDlg::OnCancel();
    }
};

constexpr int LeftOpen = -100;

// Runs the window modally and `action` inside its loop; LeftOpen when the
// action did not close it.
int RunModal(COstrelDlg& dialog, const std::function<void(COstrelDlg&)>& action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        action(dialog);
        QCoreApplication::processEvents();
        if (dialog.isVisible())
        {
            dialog.EndDialog(LeftOpen);
        }
    });
    return dialog.DoModal();
}

struct CloseCase
{
    const char* scenario;
    std::function<void(COstrelDlg&)> close;
};

class MainWindowClose : public testing::TestWithParam<CloseCase>
{
};

TEST_P(MainWindowClose, EndsInTheCancelPath)
{
    int boxes = 0;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest&) {
        ++boxes;
        return IDOK;
    });
    CountingMainWindow dialog;
    EXPECT_EQ(RunModal(dialog, GetParam().close), IDCANCEL);
    EXPECT_EQ(dialog.cancels, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(boxes, 0) << "no question about unsaved changes";
}

INSTANTIATE_TEST_SUITE_P(
    Ways, MainWindowClose,
    testing::Values(CloseCase{"EscapeKey",
                              [](COstrelDlg& dialog) {
                                  QWidget* focus = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
                                  QTest::keyClick(focus, Qt::Key_Escape);
                              }},
                    CloseCase{"CloseBox", [](COstrelDlg& dialog) { dialog.close(); }},
                    CloseCase{"ExitCommand",
                              [](COstrelDlg& dialog) {
                                  QAction* exit = dialog.GetMenu().FindMenuItem(ID_FILE_EXIT, MF_BYCOMMAND);
                                  ASSERT_NE(exit, nullptr);
                                  exit->trigger();
                              }},
                    CloseCase{"EscapeOnACheckBoxAfterALoad",
                              [](COstrelDlg& dialog) {
                                  FormatPair format{};
                                  CTamrix set = LoadSample("user_v3.cal", &format);
                                  dialog.AcceptLoadedDataSet(std::move(set), format);
                                  dialog.MarkModified(true, false);
                                  QWidget* box = dialog.GetDlgItem(IDC_FLAG_STATE_LOCKED);
                                  box->setFocus(Qt::TabFocusReason);
                                  QTest::keyClick(box, Qt::Key_Escape);
                              }}),
    [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.scenario); });

struct EnterCase
{
    const char* scenario;
    int id;
    Qt::Key key;
};

class EnterOnACheckBox : public testing::TestWithParam<EnterCase>
{
};

TEST_P(EnterOnACheckBox, LeavesTheWindowOpenAndTheBoxAsItWas)
{
    const ScopedMessageBoxPresenter presenter([](const MessageBoxRequest&) { return IDOK; });
    CountingMainWindow dialog;
    const EnterCase row = GetParam();
    bool checkedBefore = true;
    bool checkedAfter = false;
    unsigned long maskAfter = 1;
    const int result = RunModal(dialog, [&](COstrelDlg& window) {
        auto* box = window.GetDlgItemAs<QCheckBox>(row.id);
        ASSERT_NE(box, nullptr);
        box->setFocus(Qt::TabFocusReason);
        checkedBefore = box->isChecked();
        QTest::keyClick(box, row.key);
        checkedAfter = box->isChecked();
        maskAfter = window.DataSet().GetSParaCorrDef();
    });
    EXPECT_EQ(result, LeftOpen);
    EXPECT_EQ(dialog.cancels, 0);
    EXPECT_EQ(checkedAfter, checkedBefore);
    EXPECT_EQ(maskAfter, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, EnterOnACheckBox,
    testing::Values(EnterCase{"ReturnOnActiveAfterReset", IDC_FLAG_ACTIVE_AFTER_RESET, Qt::Key_Return},
                    EnterCase{"KeypadEnterOnStateLocked", IDC_FLAG_STATE_LOCKED, Qt::Key_Enter},
                    EnterCase{"ReturnOnUseFactoryFlags", IDC_FLAG_USE_FACTORY_FLAGS, Qt::Key_Return}),
    [](const testing::TestParamInfo<EnterCase>& info) { return std::string(info.param.scenario); });

TEST(MainWindowPicture, RendersWithTheFactorySampleLoaded)
{
    const ScopedMessageBoxPresenter presenter([](const MessageBoxRequest&) { return IDOK; });
    COstrelDlg dialog;
    ASSERT_TRUE(dialog.Create());
    FormatPair format{};
    CTamrix set = LoadSample("factory_v3.cal", &format);
    dialog.AcceptLoadedDataSet(std::move(set), format);
    dialog.setWindowTitle(QStringLiteral("factory_v3.cal"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage picture = dialog.grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), dialog.MapDialogRect(QRect(0, 0, 451, 285)).width());
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("main-window.png"));
    EXPECT_TRUE(picture.save(path)) << path.toStdString();
}

} // namespace
