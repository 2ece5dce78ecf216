#pragma once

// A window's text whatever kind of window it is: the caption of a top-level
// window, the title of a group box, the text of a label, button or edit. A
// multi-line edit breaks its lines at "\r\n" (a lone "\n" or "\r" breaks too)
// and gives them back with "\r\n".

#include <QString>

class QWidget;

QString GetWindowText(const QWidget* window);
void SetWindowText(QWidget* window, const QString& text);
