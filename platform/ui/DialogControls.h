#pragma once

// The Qt widget for each control of a dialog template:
//   label -> QLabel (plain text, wrapped), edit -> QLineEdit or, multi-line,
//   QPlainTextEdit (each line aligned), button -> QPushButton (the default button
//   is the dialog's default), check box -> QCheckBox, group box -> QGroupBox,
//   list -> QListWidget, report list -> CListCtrl with the template's columns,
//   grid -> an empty placeholder the window replaces.
// Every control carries its number (GetDlgCtrlID).

class QWidget;
struct ControlTemplate;

// The control, created as a child of `parent` with its text and styles but not yet
// placed.
QWidget* CreateDialogControl(const ControlTemplate& control, QWidget* parent);

// The control's number, or 0 when the widget is no template control.
int GetDlgCtrlID(const QWidget* control);
void SetDlgCtrlID(QWidget* control, int id);
