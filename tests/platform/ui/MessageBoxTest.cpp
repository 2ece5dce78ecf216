#include "MessageBox.h"
#include "MessageBoxPresenter.h"
#include "Support.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include "Rows.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace
{

using rows::operator<<;

struct BoxRow
{
    const char* scenario;
    const char* caption;
    UINT flags;
    int answer; // what the user presses
    QString expectedCaption;
    MessageBoxIcon expectedIcon;
    MessageBoxButtons expectedButtons;
    int expectedDefault;
    int expectedResult;
};

using MessageBoxTest = rows::Test<BoxRow>;

TEST_P(MessageBoxTest, PresenterSeesTheBoxAndAnswersIt)
{
    const BoxRow& row = GetParam();
    std::optional<MessageBoxRequest> seen;
    const ScopedMessageBoxPresenter presenter([&seen, &row](const MessageBoxRequest& request) {
        seen = request;
        return row.answer;
    });
    const QString text = QStringLiteral("This device is write-protected!\r\nRemove write protection first.");
    EXPECT_EQ(MessageBox(nullptr, text, QString::fromUtf8(row.caption), row.flags), row.expectedResult);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->text, text);
    EXPECT_EQ(seen->caption, row.expectedCaption);
    EXPECT_EQ(seen->icon, row.expectedIcon);
    EXPECT_EQ(seen->buttons, row.expectedButtons);
    EXPECT_EQ(seen->defaultButton, row.expectedDefault);
}

const QString Ostrel = QStringLiteral("Ostrel");

INSTANTIATE_TEST_SUITE_P(
    Rows, MessageBoxTest,
    testing::Values(
        BoxRow{"stop_with_application_caption", "", MB_ICONSTOP, IDOK, Ostrel, MessageBoxIcon::Stop,
               MessageBoxButtons::Ok, IDOK, IDOK},
        BoxRow{"warning_question_no_is_default", "", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, IDYES, Ostrel,
               MessageBoxIcon::Exclamation, MessageBoxButtons::YesNo, IDNO, IDYES},
        BoxRow{"question_answered_no", "", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, IDNO, Ostrel,
               MessageBoxIcon::Exclamation, MessageBoxButtons::YesNo, IDNO, IDNO},
        BoxRow{"yes_is_default_without_defbutton2", "", MB_YESNO, IDYES, Ostrel, MessageBoxIcon::None,
               MessageBoxButtons::YesNo, IDYES, IDYES},
        BoxRow{"information", "Download", MB_ICONINFORMATION, IDOK, QStringLiteral("Download"),
               MessageBoxIcon::Information, MessageBoxButtons::Ok, IDOK, IDOK},
        BoxRow{"unexpected_answer_to_question_is_no", "", MB_YESNO | MB_DEFBUTTON2, IDOK, Ostrel,
               MessageBoxIcon::None, MessageBoxButtons::YesNo, IDNO, IDNO}),
    rows::Name());

TEST(MessageBoxPresenter, ScopesNestAndRestoreThePreviousPresenter)
{
    std::vector<int> used;
    const ScopedMessageBoxPresenter outer([&used](const MessageBoxRequest&) {
        used.push_back(1);
        return IDOK;
    });
    {
        const ScopedMessageBoxPresenter inner([&used](const MessageBoxRequest&) {
            used.push_back(2);
            return IDOK;
        });
        AfxMessageBox(QStringLiteral("inner"));
    }
    AfxMessageBox(QStringLiteral("outer"), MB_ICONSTOP);
    EXPECT_EQ(used, (std::vector<int>{2, 1}));
}

TEST(MessageBoxPresenter, DefaultShowsAQtMessageBoxWithTheChosenDefault)
{
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QString defaultText;
    const int answer = WithModalWidget<int>(
        [] {
            return MessageBox(nullptr, QStringLiteral("Deleting cannot be undone.\r\nProceed?"), QString(),
                              MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
        },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            shownText = box->text();
            shownIcon = box->icon();
            defaultText = box->defaultButton()->text();
            box->button(QMessageBox::Yes)->click();
        });
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(shownText, QStringLiteral("Deleting cannot be undone.\nProceed?"));
    EXPECT_EQ(shownIcon, QMessageBox::Warning);
    EXPECT_EQ(QString(defaultText).remove(QLatin1Char('&')), QStringLiteral("No"));
}

TEST(MessageBoxPresenter, DefaultQuestionClosedWithoutAnswerIsNo)
{
    const int answer = WithModalWidget<int>(
        [] { return AfxMessageBox(QStringLiteral("Proceed?"), MB_YESNO | MB_ICONEXCLAMATION); },
        [](QWidget* modal) { modal->close(); });
    EXPECT_EQ(answer, IDNO);
}

} // namespace
