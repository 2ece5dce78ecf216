#pragma once

// File dialog filters written the framework's way, "Description|patterns|...||",
// with patterns separated by ";", turned into Qt's name filters
// ("Description (pattern pattern)").

#include <QString>
#include <QStringList>

// "*.*" becomes "*", which matches names without a dot as well. The list ends at
// its first empty entry (the "||"), and a description without patterns ends it too.
QStringList ConvertFileDialogFilter(const QString& filter);
