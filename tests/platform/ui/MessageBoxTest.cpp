#include "MessageBox.h"
#include "Support.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace
{

using rows::operator<<;

struct BoxRow
{
    const char* scenario;
    const char* caption;
    UINT flags;
    std::vector<Qt::Key> keys; // the user's, where the focus is; none: the close box
    QString shownCaption;
    QMessageBox::Icon icon;
    QString buttons; // the default one in brackets
    int result;
};

using MessageBoxTest = rows::Test<BoxRow>;

TEST_P(MessageBoxTest, ShowsTheButtonsOfItsFlagsAndReturnsTheOnePressed)
{
    const BoxRow& row = GetParam();
    QString caption, text, buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const int result = WithModalWidget<int>(
        [&row] { return MessageBox(nullptr, "Deleting cannot be undone.\r\nProceed?", row.caption, row.flags); },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle(), text = box->text(), icon = box->icon();
            for (const QAbstractButton* button : box->buttons())
                buttons += QString(button == box->defaultButton() ? "[%1] " : "%1 ").arg(button->text().remove('&'));
            box->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(box));
            for (const Qt::Key key : row.keys)
                QTest::keyClick(box->focusWidget(), key);
            if (row.keys.empty())
                box->close();
        });
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(caption, row.shownCaption);
    EXPECT_EQ(text, "Deleting cannot be undone.\nProceed?");
    EXPECT_EQ(icon, row.icon);
    EXPECT_EQ(buttons.trimmed(), row.buttons);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MessageBoxTest,
    testing::Values(
        BoxRow{"stop_with_the_applications_caption", "", MB_ICONSTOP, {Qt::Key_Return}, "Ostrel", QMessageBox::Critical,
               "[OK]", IDOK},
        BoxRow{"information_escaped", "Download", MB_ICONINFORMATION, {Qt::Key_Escape}, "Download",
               QMessageBox::Information, "[OK]", IDOK},
        BoxRow{"warning_with_no_as_default", "", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, {Qt::Key_Return},
               "Ostrel", QMessageBox::Warning, "Yes [No]", IDNO},
        BoxRow{"tab_to_yes", "", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, {Qt::Key_Tab, Qt::Key_Return}, "Ostrel",
               QMessageBox::Warning, "Yes [No]", IDYES},
        BoxRow{"question_with_yes_as_default", "Delete", MB_YESNO | MB_ICONQUESTION, {Qt::Key_Return}, "Delete",
               QMessageBox::Question, "[Yes] No", IDYES},
        BoxRow{"question_escaped_is_no", "", MB_YESNO, {Qt::Key_Escape}, "Ostrel", QMessageBox::NoIcon, "[Yes] No",
               IDNO},
        BoxRow{"question_closed_is_no", "", MB_YESNO, {}, "Ostrel", QMessageBox::NoIcon, "[Yes] No", IDNO}),
    rows::Name());

// A presenter sees the box as asked, nests, and cannot make a question return OK.
TEST(MessageBoxPresenter, SeesTheRequestAndNests)
{
    std::vector<MessageBoxRequest> seen;
    const ScopedMessageBoxPresenter outer([&seen](const MessageBoxRequest& request) {
        seen.push_back(request);
        return IDOK;
    });
    {
        const ShownBoxes inner;
        EXPECT_EQ(AfxMessageBox("inner"), IDOK);
        EXPECT_EQ(inner.boxes, Strings{"Ostrel: inner"});
    }
    EXPECT_EQ(AfxMessageBox("Proceed?\r\n", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Proceed?\r\n");
    EXPECT_EQ(seen[0].defaultButton, IDNO);
}

} // namespace
