#pragma once

// The content view's text field: a plain text edit whose copy command (and drag)
// gives only Unicode plain text, the selection exactly as it stands in the text.
// The edit's own copy also renders the selection as HTML, Markdown and ODF,
// which for the text of a large data set takes minutes.

#include <QPlainTextEdit>

class QMimeData;

class CVisualizeEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CVisualizeEdit(QWidget* parent = nullptr);

protected:
    QMimeData* createMimeDataFromSelection() const override;
};
