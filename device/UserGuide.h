#pragma once

// The user guide, opened in the desktop's viewer: the one installed with the
// program (<prefix>/share/doc/ostrel/guide.md) or, for a program run from its
// build, the one in the source tree. Tests put a viewer of their own.

#include <QString>

#include <functional>

class QWidget;

// Shows the document at `path`; false when nothing could show it.
using DocumentViewer = std::function<bool(const QString& path)>;

// Installs a viewer for the whole process (an empty one restores the
// desktop's) and returns the one it replaces.
DocumentViewer SetDocumentViewer(DocumentViewer viewer);

// Where the guide is looked for, in turn.
QStringList UserGuidePlaces();

// Opens the guide, or says why it cannot.
void ShowUserGuide(QWidget* owner);
