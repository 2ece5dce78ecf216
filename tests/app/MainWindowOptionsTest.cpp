#include "MainWindowFixture.h"

#include "Menu.h"

namespace
{

using MainWindowOptions = MainWindowFixture;

QLineEdit* Field(QWidget* dialog, int id)
{
    auto* open = qobject_cast<CDialog*>(dialog);
    return open == nullptr ? nullptr : open->GetDlgItemAs<QLineEdit>(id);
}

void TypeInto(QLineEdit* field, const QString& text)
{
    ASSERT_NE(field, nullptr);
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, text);
}

void Choose(COstrelDlg& window, int command)
{
    QAction* item = window.GetMenu().FindMenuItem(command, MF_BYCOMMAND);
    ASSERT_NE(item, nullptr) << command;
    item->trigger();
}

struct EndCase
{
    const char* scenario;
    std::function<void(QWidget* dialog)> end;
    bool confirmed;
};

const auto EndCases = testing::Values(
    EndCase{"ClickOk", [](QWidget* dialog) { QTest::mouseClick(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDOK), Qt::LeftButton); },
            true},
    EndCase{"EnterInAField", [](QWidget*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }, true},
    EndCase{"ClickCancel",
            [](QWidget* dialog) { QTest::mouseClick(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDCANCEL), Qt::LeftButton); },
            false},
    EndCase{"EscapeInAField", [](QWidget*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }, false},
    EndCase{"CloseBox", [](QWidget* dialog) { dialog->close(); }, false});

std::string EndCaseName(const testing::TestParamInfo<EndCase>& info)
{
    return info.param.scenario;
}

class UserDataCommand : public MainWindowFixture, public testing::WithParamInterface<EndCase>
{
};

TEST_P(UserDataCommand, ChangesTheLaboratoryAndEngineerOnlyOnOk)
{
    m_dialog->SetUserData("Lab 1", "Eng 1");
    QString shown[2];
    WhenModal([&shown](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("User Data"));
        shown[0] = Field(dialog, IDC_CAL_LAB)->text();
        shown[1] = Field(dialog, IDC_CAL_ENG)->text();
        TypeInto(Field(dialog, IDC_CAL_LAB), QStringLiteral("Lab \u00C4 2"));
        TypeInto(Field(dialog, IDC_CAL_ENG), QStringLiteral("Eng 2"));
        GetParam().end(dialog);
    });
    Choose(*m_dialog, ID_OPTIONS_USER_DATA);
    EXPECT_EQ(shown[0], QStringLiteral("Lab 1"));
    EXPECT_EQ(shown[1], QStringLiteral("Eng 1"));
    EXPECT_EQ(m_dialog->CalLab(), GetParam().confirmed ? "Lab \xC3\x84 2" : "Lab 1");
    EXPECT_EQ(m_dialog->CalEng(), GetParam().confirmed ? "Eng 2" : "Eng 1");
    EXPECT_TRUE(m_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, UserDataCommand, EndCases, EndCaseName);

class RemoteCommand : public MainWindowFixture, public testing::WithParamInterface<EndCase>
{
};

TEST_P(RemoteCommand, ChangesTheTimeoutsOnlyOnOk)
{
    QString shown[2];
    WhenModal([&shown](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Remote Control Settings"));
        shown[0] = Field(dialog, IDC_COMMAND_TIMEOUT)->text();
        shown[1] = Field(dialog, IDC_CAL_DATA_TIMEOUT)->text();
        TypeInto(Field(dialog, IDC_COMMAND_TIMEOUT), QStringLiteral("250"));
        TypeInto(Field(dialog, IDC_CAL_DATA_TIMEOUT), QStringLiteral("90000"));
        GetParam().end(dialog);
    });
    Choose(*m_dialog, ID_OPTIONS_REMOTE);
    EXPECT_EQ(shown[0], QStringLiteral("1000"));
    EXPECT_EQ(shown[1], QStringLiteral("60000"));
    EXPECT_EQ(m_dialog->Timeout(), GetParam().confirmed ? 250 : 1000);
    EXPECT_EQ(m_dialog->CalDataTimeout(), GetParam().confirmed ? 90000 : 60000);
    EXPECT_TRUE(m_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, RemoteCommand, EndCases, EndCaseName);

// From the dialog to the file: the texts typed reach the data set with the next
// change that stamps it, not before.
TEST_F(MainWindowOptions, TheNextStampUsesTheUserData)
{
    LoadIntoWindow("user_v3.cal");
    const std::string labBefore = m_dialog->DataSet().GetCalLab(CMeasurement::SPara);
    WhenModal([](QWidget* dialog) {
        // Typed letters beyond ASCII: the test keyboard has the capital ones.
        TypeInto(Field(dialog, IDC_CAL_LAB), QStringLiteral("PR\u00DCFLABOR 7"));
        TypeInto(Field(dialog, IDC_CAL_ENG), QStringLiteral("J\u00D6RG 9"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    Choose(*m_dialog, ID_OPTIONS_USER_DATA);
    EXPECT_EQ(m_dialog->DataSet().GetCalLab(CMeasurement::SPara), labBefore);
    EXPECT_EQ(Status(), QString());

    Choose(*m_dialog, ID_DEVICE_APPEND);
    const QString path = m_folder.filePath(QStringLiteral("stamped.cal"));
    m_fileAnswers.push_back(path);
    Choose(*m_dialog, ID_FILE_SAVE);
    ASSERT_TRUE(m_boxes.empty()) << m_boxes.front().text.toStdString();

    CTamrix reread;
    reread.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromFile2(reread, path.toStdString().c_str());
    EXPECT_EQ(reread.GetCalLab(CMeasurement::SPara), "PR\xC3\x9C" "FLABOR 7");
    EXPECT_EQ(reread.GetCalEng(CMeasurement::SPara), "J\xC3\x96RG 9");
}

} // namespace
