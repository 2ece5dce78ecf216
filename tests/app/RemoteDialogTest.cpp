#include "CalInfoDialog.h"
#include "ModalRun.h"
#include "RemoteDialog.h"
#include "Resource.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace
{

QLineEdit* Field(const CRemoteDialog& dialog, int id)
{
    return dialog.GetDlgItemAs<QLineEdit>(id);
}

TEST(RemoteDialog, OpensWithTheTimeoutsGivenInDecimal)
{
    CRemoteDialog dialog;
    dialog.SetTimeout(2500);
    dialog.SetCalDataTimeout(90000);
    QString shown[2];
    RunModal<CRemoteDialog>(dialog, [&shown](CRemoteDialog& open) {
        shown[0] = Field(open, IDC_COMMAND_TIMEOUT)->text();
        shown[1] = Field(open, IDC_CAL_DATA_TIMEOUT)->text();
    });
    EXPECT_EQ(shown[0], QStringLiteral("2500"));
    EXPECT_EQ(shown[1], QStringLiteral("90000"));
}

TEST(RemoteDialog, TakesOnlyDigitsFromTheKeyboard)
{
    CRemoteDialog dialog;
    dialog.SetTimeout(0);
    dialog.SetCalDataTimeout(0);
    QString typed[2];
    RunModal<CRemoteDialog>(dialog, [&typed](CRemoteDialog& open) {
        const int ids[2] = {IDC_COMMAND_TIMEOUT, IDC_CAL_DATA_TIMEOUT};
        for (int i = 0; i < 2; ++i)
        {
            QLineEdit* field = Field(open, ids[i]);
            field->setFocus(Qt::TabFocusReason);
            field->selectAll();
            QTest::keyClicks(field, QStringLiteral("1a2 b-+3.4e"));
            typed[i] = field->text();
        }
    });
    EXPECT_EQ(typed[0], QStringLiteral("1234"));
    EXPECT_EQ(typed[1], QStringLiteral("1234"));
}

struct FieldCase
{
    const char* scenario;
    const char* timeoutText;
    const char* calDataTimeoutText;
    int timeout;
    int calDataTimeout;
};

class RemoteDialogOk : public testing::TestWithParam<FieldCase>
{
};

// The fields take only digits from the keyboard, but a paste of a number with a
// sign or a text set by the program reaches them as it is.
TEST_P(RemoteDialogOk, ReadsEachFieldOrItsDefault)
{
    const FieldCase& row = GetParam();
    CRemoteDialog dialog;
    dialog.SetTimeout(4321);
    dialog.SetCalDataTimeout(87654);
    const int result = RunModal<CRemoteDialog>(dialog, [&row](CRemoteDialog& open) {
        Field(open, IDC_COMMAND_TIMEOUT)->setText(QString::fromUtf8(row.timeoutText));
        Field(open, IDC_CAL_DATA_TIMEOUT)->setText(QString::fromUtf8(row.calDataTimeoutText));
        ClickControl(open, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetTimeout(), row.timeout);
    EXPECT_EQ(dialog.GetCalDataTimeout(), row.calDataTimeout);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RemoteDialogOk,
    testing::Values(FieldCase{"Zero", "0", "0", 0, 0},
                    FieldCase{"PlusSign", "+5", "+7", 5, 7},
                    FieldCase{"MinusSign", "-5", "-7", -5, -7},
                    FieldCase{"LargeNumbers", "2147483647", "120000", 2147483647, 120000},
                    FieldCase{"TrailingSpace", "5 ", "7 ", 1000, 60000},
                    FieldCase{"LeadingSpace", " 5", " 7", 1000, 60000},
                    FieldCase{"Letters", "abc", "7x", 1000, 60000},
                    FieldCase{"Empty", "", "", 1000, 60000},
                    FieldCase{"BeyondTheIntRange", "2147483648", "99999999999", 1000, 60000},
                    FieldCase{"OnlyTheSecondBad", "250", "abc", 250, 60000},
                    FieldCase{"OnlyTheFirstBad", "", "30000", 1000, 30000}),
    [](const testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.scenario); });

TEST(RemoteDialog, ResetShowsTheDefaultsAndStaysOpen)
{
    CRemoteDialog dialog;
    dialog.SetTimeout(4321);
    dialog.SetCalDataTimeout(87654);
    bool openAfterReset = false;
    QString shown[2];
    const int result = RunModal<CRemoteDialog>(dialog, [&](CRemoteDialog& open) {
        Field(open, IDC_COMMAND_TIMEOUT)->setText(QStringLiteral("abc"));
        ClickControl(open, IDC_RESET_TIMEOUTS);
        QCoreApplication::processEvents();
        openAfterReset = open.isVisible();
        shown[0] = Field(open, IDC_COMMAND_TIMEOUT)->text();
        shown[1] = Field(open, IDC_CAL_DATA_TIMEOUT)->text();
        QLineEdit* field = Field(open, IDC_CAL_DATA_TIMEOUT);
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_Return);
    });
    EXPECT_TRUE(openAfterReset);
    EXPECT_EQ(shown[0], QStringLiteral("1000"));
    EXPECT_EQ(shown[1], QStringLiteral("60000"));
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetTimeout(), 1000);
    EXPECT_EQ(dialog.GetCalDataTimeout(), 60000);
}

// The fallback face is wider than the dialog font the templates were drawn for;
// a label that is too narrow for its text would show only part of it.
TEST(SettingsDialogs, ShowTheirLabelsWhole)
{
    CCalInfoDialog calInfo;
    CRemoteDialog remote;
    for (CDialog* dialog : std::initializer_list<CDialog*>{&calInfo, &remote})
    {
        ASSERT_TRUE(dialog->Create());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 2);
        for (const QLabel* label : labels)
        {
            // A wrapping label breaks a text that is too long into a second
            // line, for which the label has no room.
            EXPECT_EQ(label->heightForWidth(label->width()), label->heightForWidth(QWIDGETSIZE_MAX))
                << label->text().toStdString();
        }
    }
}

} // namespace
