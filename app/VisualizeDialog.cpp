#include "VisualizeDialog.h"

#include "FontFallback.h"
#include "LibraryError.h"
#include "MessageBox.h"
#include "Resource.h"
#include "TamrixError.h"
#include "TextConversion.h"
#include "VisualizeEdit.h"
#include "WaitCursor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <optional>
#include <stdexcept>

namespace
{

const QString ErrorCaption = QStringLiteral("Error");
const QString NoDialog = QStringLiteral("Dialog Box could not be created.");

// About 40 ms of the edit's work per part: long enough not to slow the filling
// down, short enough for the dialog to answer the user between parts.
constexpr qsizetype PartLength = 1 << 20;

// Where the part that starts at `from` ends: after the last line end within
// PartLength characters, so that no line is split; at the end of the text.
qsizetype PartEnd(const QString& text, qsizetype from)
{
    if (text.size() - from <= PartLength)
    {
        return text.size();
    }
    qsizetype lineEnd = text.lastIndexOf(QLatin1Char('\n'), from + PartLength - 1);
    if (lineEnd < from)
    {
        lineEnd = text.indexOf(QLatin1Char('\n'), from + PartLength);
    }
    return lineEnd < 0 ? text.size() : lineEnd + 1;
}

} // namespace

CVisualizeDialog::CVisualizeDialog(QWidget* parent)
    : CDialog(IDD_VISUALIZE, parent)
{
    MapCommand(IDC_COPY_TO_CLIPBOARD, &CVisualizeDialog::OnCopyToClipboard);
    m_fillTimer.setSingleShot(true);
    m_fillTimer.setInterval(0);
    connect(&m_fillTimer, &QTimer::timeout, this, [this] {
        // A closed view is not filled any further; opening it again starts over.
        if (isVisible())
        {
            FillNextPart();
        }
    });
}

void CVisualizeDialog::SetText(const std::string& text)
{
    m_text = Utf8ToWide(text);
}

CVisualizeEdit* CVisualizeDialog::TextEdit()
{
    if (auto* edit = GetDlgItemAs<CVisualizeEdit>(IDC_VISUALIZE_TEXT))
    {
        return edit;
    }
    const auto* templateEdit = GetDlgItemAs<QPlainTextEdit>(IDC_VISUALIZE_TEXT);
    if (templateEdit == nullptr)
    {
        // DoModal then reports the dialog as not made.
        throw std::logic_error("The content view lacks its text field.");
    }
    auto* edit = new CVisualizeEdit();
    edit->setReadOnly(templateEdit->isReadOnly());
    if (edit->isReadOnly())
    {
        // As in a read-only edit control: the caret, the arrow keys and Shift
        // select too, not only the mouse.
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    edit->setTabChangesFocus(templateEdit->tabChangesFocus());
    edit->setLineWrapMode(templateEdit->lineWrapMode());
    edit->setVerticalScrollBarPolicy(templateEdit->verticalScrollBarPolicy());
    edit->setHorizontalScrollBarPolicy(templateEdit->horizontalScrollBarPolicy());
    edit->setFrameShape(templateEdit->frameShape());
    ReplaceDlgItem(IDC_VISUALIZE_TEXT, edit);
    return edit;
}

bool CVisualizeDialog::OnInitDialog()
{
    m_edit = TextEdit();
    m_font = CreateFontOrFallback(QStringLiteral("Consolas"), 10, QStringLiteral("Courier New"));
    // The columns of the text line up only in a fixed-pitch face, whatever the
    // font configuration puts in for the names.
    m_font.setStyleHint(QFont::TypeWriter);
    m_edit->setFont(m_font);
    // Read-only: an undo history would only double the memory the text takes.
    m_edit->setUndoRedoEnabled(false);
    m_fillTimer.stop();
    m_edit->clear();
    m_filled = 0;
    FillNextPart();
    return true;
}

void CVisualizeDialog::FillNextPart()
{
    const qsizetype end = PartEnd(m_text, m_filled);
    QTextCursor cursor(m_edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_text.mid(m_filled, end - m_filled));
    m_filled = end;
    if (m_filled < m_text.size())
    {
        m_fillTimer.start();
    }
}

void CVisualizeDialog::OnCopyToClipboard()
{
    // Unicode plain text, as the edit copies its selection, and the whole text
    // also while the edit is still taking it.
    m_edit->selectAll();
    QGuiApplication::clipboard()->setText(m_text);
}

void ShowDataSetText(QWidget* parent, const std::function<std::string()>& render)
{
    CVisualizeDialog dialog(parent);
    std::optional<QString> failure;
    {
        const CWaitCursor wait;
        try
        {
            dialog.SetText(render());
        }
        catch (const TvxKyyCalcDLLError& error)
        {
            failure = FormatLibraryError(error);
        }
    }
    if (failure)
    {
        MessageBox(parent, *failure, ErrorCaption, MB_OK | MB_ICONSTOP);
    }
    if (dialog.DoModal() == -1)
    {
        MessageBox(parent, NoDialog, QString(), MB_OK | MB_ICONSTOP);
    }
}
