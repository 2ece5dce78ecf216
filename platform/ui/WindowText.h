#pragma once

// A window's text whatever kind of window it is: the caption of a top-level
// window, the title of a group box, the text of a label, button or edit.

#include <QString>

class QWidget;

QString GetWindowText(const QWidget* window);
void SetWindowText(QWidget* window, const QString& text);
