#pragma once

// "Visualize Content": the whole calibration data set as read-only text in a
// fixed-pitch font, from which the text can be copied to the clipboard.
//
// A large data set renders to hundreds of megabytes of text, which the edit
// takes in several seconds. So the dialog opens with the first part of the text
// and the edit takes the rest part by part while the dialog runs; Copy to
// Clipboard always copies the whole text.

#include "Dialog.h"

#include <QFont>
#include <QString>
#include <QTimer>

#include <functional>
#include <string>

class CVisualizeEdit;

class CVisualizeDialog : public CDialog
{
    Q_OBJECT

public:
    explicit CVisualizeDialog(QWidget* parent = nullptr);

    // The text to show (UTF-8), set before the dialog opens.
    void SetText(const std::string& text);

protected:
    bool OnInitDialog() override;

private:
    void OnCopyToClipboard();
    // The template's edit, replaced once by one that copies plain text only.
    CVisualizeEdit* TextEdit();
    // Appends the next part of the text to the edit and, while text remains,
    // schedules the part after it.
    void FillNextPart();

    CVisualizeEdit* m_edit = nullptr;
    QString m_text;
    QFont m_font;
    qsizetype m_filled = 0; // characters of m_text that the edit holds
    QTimer m_fillTimer; // the next part, once the dialog has answered the user
};

// Show Cal. Data: renders the text with `render` under the wait cursor and shows
// it in the view. A library error while rendering is shown (captioned "Error")
// once the cursor is back, and the view then opens empty.
void ShowDataSetText(QWidget* parent, const std::function<std::string()>& render);
