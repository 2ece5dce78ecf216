#pragma once

// Every file dialog goes through one presenter. The default one shows a real
// QFileDialog; tests install their own to choose files and to see what was asked.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

struct FileDialogRequest
{
    QWidget* parent; // may be null
    bool open; // false: a save dialog
    QString directory; // the folder the dialog opens in; empty: the current folder
    QString fileName; // initial name, without folder
    QStringList nameFilters; // Qt's form, see FileDialogFilter.h
    QString defaultExtension; // without the dot; empty: none
    bool overwritePrompt; // a save dialog asks before replacing a file
    QString title; // empty: the platform's own ("Open", "Save As")
};

// The chosen path, or nothing when the user cancelled.
using FileDialogPresenter = std::function<std::optional<QString>(const FileDialogRequest&)>;

// Installs a presenter for the whole process (an empty one restores the default)
// and returns the one it replaces. User-interface thread only.
FileDialogPresenter SetFileDialogPresenter(FileDialogPresenter presenter);

// Asks the presenter in place.
std::optional<QString> PresentFileDialog(const FileDialogRequest& request);

// The presenter that shows a QFileDialog.
std::optional<QString> ShowQtFileDialog(const FileDialogRequest& request);

// Installs a presenter for its lifetime.
class ScopedFileDialogPresenter
{
public:
    explicit ScopedFileDialogPresenter(FileDialogPresenter presenter);
    ~ScopedFileDialogPresenter();

    ScopedFileDialogPresenter(const ScopedFileDialogPresenter&) = delete;
    ScopedFileDialogPresenter& operator=(const ScopedFileDialogPresenter&) = delete;

private:
    FileDialogPresenter m_previous;
};
