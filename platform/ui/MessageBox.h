#pragma once

// Message boxes with the framework's style flags: MB_OK or MB_YESNO, one of the
// MB_ICON... icons, MB_DEFBUTTON2 for No as the default of a Yes/No box.
// Every box goes through the installed presenter (MessageBoxPresenter.h).

#include "WinDefs.h"

#include <QString>

class QWidget;

// The application's name, the caption of every box that names no other.
QString AfxGetAppName();

// Returns IDOK, IDYES or IDNO. An empty caption means the application's name.
int MessageBox(QWidget* parent, const QString& text, const QString& caption, UINT flags);

// The same with the application's name as caption and no parent.
int AfxMessageBox(const QString& text, UINT flags = MB_OK);

// The question before unsaved changes would be lost: Save, Discard and Cancel
// buttons, the exclamation icon, Save as the default and Escape as Cancel.
enum class SaveChoice
{
    Save,
    Discard,
    Cancel
};
SaveChoice AskToSaveChanges(QWidget* parent, const QString& text);
