#include "MainWindowFixture.h"
#include "ModalRun.h"
#include "VisualizeDialog.h"

#include "LibraryError.h"
#include "Menu.h"
#include "TamrixError.h"
#include "TextConversion.h"

#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>

#include <string>

namespace
{

// Lines of different lengths, non-ASCII letters and a trailing newline, as the
// data set's text has them.
const std::string Text = "Calibration data set\n  Engineer    \"J\xC3\xB6rg\"\n  Temperature 23 \xC2\xB0"
                         "C\n\n  #  Frequency/Hz\n  0        1e+07\n";

QPlainTextEdit* TextField(const QWidget* dialog)
{
    const auto* view = qobject_cast<const CDialog*>(dialog);
    return view == nullptr ? nullptr : view->GetDlgItemAs<QPlainTextEdit>(IDC_VISUALIZE_TEXT);
}

void ClickCopy(QWidget* dialog)
{
    ClickControl(*qobject_cast<CDialog*>(dialog), IDC_COPY_TO_CLIPBOARD);
}

TEST(VisualizeDialog, ShowsTheTextReadOnlyInAFixedPitchFont)
{
    CVisualizeDialog dialog;
    dialog.SetText(Text);
    QString shown;
    bool readOnly = false;
    QFont font;
    Qt::ScrollBarPolicy scrollBars[2] = {};
    bool wraps = true;
    RunModal<CVisualizeDialog>(dialog, [&](CVisualizeDialog& open) {
        QPlainTextEdit* field = TextField(&open);
        ASSERT_NE(field, nullptr);
        shown = field->toPlainText();
        readOnly = field->isReadOnly();
        font = field->font();
        scrollBars[0] = field->verticalScrollBarPolicy();
        scrollBars[1] = field->horizontalScrollBarPolicy();
        wraps = field->lineWrapMode() != QPlainTextEdit::NoWrap;
    });
    EXPECT_EQ(shown, QString::fromUtf8(Text.c_str()));
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(scrollBars[0], Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(scrollBars[1], Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(wraps);
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 10.0);
    // Without "Consolas" the font configuration's face for "Courier New" is taken.
    EXPECT_TRUE(font.family() == QStringLiteral("Consolas") || font.family() == QStringLiteral("Courier New"))
        << font.family().toStdString();
    EXPECT_TRUE(QFontInfo(font).fixedPitch()) << QFontInfo(font).family().toStdString();
}

TEST(VisualizeDialog, TypingDoesNotChangeTheText)
{
    CVisualizeDialog dialog;
    dialog.SetText(Text);
    QString shown;
    RunModal<CVisualizeDialog>(dialog, [&shown](CVisualizeDialog& open) {
        QPlainTextEdit* field = TextField(&open);
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(field, QStringLiteral("xyz"));
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClick(field, Qt::Key_Backspace);
        shown = field->toPlainText();
    });
    EXPECT_EQ(shown, QString::fromUtf8(Text.c_str()));
}

TEST(VisualizeDialog, CopyPutsTheWholeTextOnTheClipboardAndCloseCancels)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    CVisualizeDialog dialog;
    dialog.SetText(Text);
    bool openAfterCopy = false;
    QString copied;
    QStringList formats;
    const int result = RunModal<CVisualizeDialog>(dialog, [&](CVisualizeDialog& open) {
        ClickCopy(&open);
        QCoreApplication::processEvents();
        openAfterCopy = open.isVisible();
        copied = QGuiApplication::clipboard()->text();
        formats = QGuiApplication::clipboard()->mimeData()->formats();
        ClickControl(open, IDCANCEL);
    });
    EXPECT_TRUE(openAfterCopy);
    EXPECT_EQ(copied, QString::fromUtf8(Text.c_str()));
    EXPECT_EQ(formats, QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(result, IDCANCEL);
}

struct KeyboardCopyCase
{
    const char* scenario;
    std::function<void(QPlainTextEdit*)> select;
    const char* copied; // UTF-8
};

class VisualizeDialogKeyboardCopy : public testing::TestWithParam<KeyboardCopyCase>
{
};

TEST_P(VisualizeDialogKeyboardCopy, GivesTheSelectionAsPlainTextOnly)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    CVisualizeDialog dialog;
    dialog.SetText(Text);
    QString copied;
    QStringList formats;
    RunModal<CVisualizeDialog>(dialog, [&](CVisualizeDialog& open) {
        QPlainTextEdit* field = TextField(&open);
        field->setFocus(Qt::TabFocusReason);
        GetParam().select(field);
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        copied = QGuiApplication::clipboard()->text();
        formats = QGuiApplication::clipboard()->mimeData()->formats();
    });
    EXPECT_EQ(copied, QString::fromUtf8(GetParam().copied));
    EXPECT_EQ(formats, QStringList{QStringLiteral("text/plain")});
}

INSTANTIATE_TEST_SUITE_P(
    Selections, VisualizeDialogKeyboardCopy,
    testing::Values(KeyboardCopyCase{"All", [](QPlainTextEdit* field) { QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier); },
                                     Text.c_str()},
                    KeyboardCopyCase{"SecondLineWithItsEnd",
                                     [](QPlainTextEdit* field) {
                                         QTest::keyClick(field, Qt::Key_Home, Qt::ControlModifier);
                                         QTest::keyClick(field, Qt::Key_Down);
                                         QTest::keyClick(field, Qt::Key_Down, Qt::ShiftModifier);
                                     },
                                     "  Engineer    \"J\xC3\xB6rg\"\n"}),
    [](const testing::TestParamInfo<KeyboardCopyCase>& info) { return std::string(info.param.scenario); });

// Lines of a point table, numbered, several times as long as the part the
// view takes at a time.
std::string LargeText()
{
    std::string text;
    for (int line = 0; line < 60000; ++line)
    {
        text += "  " + std::to_string(line) + "  1.2345678e+09  0.98765432  -0.0012345678  0.0001\n";
    }
    return text;
}

TEST(VisualizeDialog, ALargeTextFillsInWhileTheViewIsOpen)
{
    const std::string text = LargeText();
    const QString expected = QString::fromStdString(text);
    ASSERT_GT(expected.size(), 3 << 20);
    CVisualizeDialog dialog;
    dialog.SetText(text);

    // Closed at first sight, before the view has taken the whole text.
    QString firstSight;
    QString copied;
    RunModal<CVisualizeDialog>(dialog, [&](CVisualizeDialog& open) {
        firstSight = TextField(&open)->toPlainText();
        ClickCopy(&open);
        copied = QGuiApplication::clipboard()->text();
        ClickControl(open, IDCANCEL);
    });
    EXPECT_TRUE(expected.startsWith(firstSight));
    EXPECT_TRUE(firstSight.endsWith(QLatin1Char('\n'))) << "whole lines only";
    EXPECT_EQ(copied, expected) << "the whole text, also before the view has it";

    // Opened again: the view starts over and ends with the text once.
    QString filled;
    RunModal<CVisualizeDialog>(dialog, [&](CVisualizeDialog& open) {
        const QPlainTextEdit* field = TextField(&open);
        EXPECT_TRUE(QTest::qWaitFor(
            [field, &expected] { return field->document()->characterCount() - 1 >= expected.size(); }, 60000));
        QCoreApplication::processEvents();
        filled = field->toPlainText();
    });
    EXPECT_EQ(filled.size(), expected.size());
    EXPECT_TRUE(filled == expected);
}

using ShowCalData = MainWindowFixture;

// Before the first load the view shows the start data set, which the commands
// edit and save like a loaded one.
TEST_F(ShowCalData, ShowsTheDataSetAsTheLibraryRendersIt)
{
    for (const char* sample : {"", "factory_v3.cal", "user_v3.cal"})
    {
        if (*sample != '\0')
        {
            LoadIntoWindow(sample);
        }
        const QString expected = Utf8ToWide(m_dialog->DataSet().Visualize());
        QGuiApplication::clipboard()->clear();
        QString shown;
        QString copied;
        bool opened = false;
        WhenModal([&](QWidget* modal) {
            QPlainTextEdit* field = TextField(modal);
            ASSERT_NE(field, nullptr);
            opened = true;
            shown = field->toPlainText();
            ClickCopy(modal);
            copied = QGuiApplication::clipboard()->text();
        });
        QAction* command = m_dialog->GetMenu().FindMenuItem(ID_OPTIONS_SHOW_CAL_DATA, MF_BYCOMMAND);
        ASSERT_NE(command, nullptr);
        command->trigger();
        EXPECT_TRUE(opened) << sample;
        EXPECT_EQ(shown, expected) << sample;
        EXPECT_EQ(copied, expected) << sample;
    }
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ShowDataSetText, RendersUnderTheWaitCursor)
{
    const ScopedMessageBoxPresenter presenter([](const MessageBoxRequest&) { return IDOK; });
    QWidget owner;
    Qt::CursorShape whileRendering = Qt::ArrowCursor;
    bool cursorWhileOpen = true;
    MainWindowFixture::WhenModal(
        [&cursorWhileOpen](QWidget*) { cursorWhileOpen = QGuiApplication::overrideCursor() != nullptr; });
    ShowDataSetText(&owner, [&whileRendering] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        whileRendering = cursor == nullptr ? Qt::ArrowCursor : cursor->shape();
        return Text;
    });
    EXPECT_EQ(whileRendering, Qt::WaitCursor);
    EXPECT_FALSE(cursorWhileOpen);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The data set library renders every data set it holds; a library error can
// come only from a renderer that fails, as this one does.
TEST(ShowDataSetText, ShowsALibraryErrorThenOpensTheViewEmpty)
{
    const TvxKyyCalcDLLError error(TamrixErrorCode::WrongArgument, "S-parameter device 3");
    std::vector<MessageBoxRequest> boxes;
    bool viewOpenAtTheBox = true;
    bool cursorAtTheBox = true;
    const ScopedMessageBoxPresenter presenter([&](const MessageBoxRequest& request) {
        boxes.push_back(request);
        viewOpenAtTheBox = QApplication::activeModalWidget() != nullptr;
        cursorAtTheBox = QGuiApplication::overrideCursor() != nullptr;
        return IDOK;
    });
    QWidget owner;
    bool opened = false;
    QString shown = QStringLiteral("not opened");
    MainWindowFixture::WhenModal([&](QWidget* modal) {
        QPlainTextEdit* field = TextField(modal);
        ASSERT_NE(field, nullptr);
        opened = true;
        shown = field->toPlainText();
    });
    ShowDataSetText(&owner, [&error]() -> std::string { throw error; });

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, FormatLibraryError(error));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::Ok);
    EXPECT_FALSE(viewOpenAtTheBox);
    EXPECT_FALSE(cursorAtTheBox);
    EXPECT_TRUE(opened);
    EXPECT_EQ(shown, QString());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
