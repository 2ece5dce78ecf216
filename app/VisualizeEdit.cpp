#include "VisualizeEdit.h"

#include <QMimeData>
#include <QTextCursor>

CVisualizeEdit::CVisualizeEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
}

QMimeData* CVisualizeEdit::createMimeDataFromSelection() const
{
    // The cursor gives line ends as paragraph separators and leaves every other
    // character as it is (the edit's plain text would turn no-break spaces into
    // spaces).
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}
