#pragma once

// Every message box goes through one presenter. The default one shows a real
// message box; tests install their own to answer boxes and to see what was asked.

#include <QString>

#include <functional>

class QWidget;

enum class MessageBoxIcon
{
    None,
    Stop,
    Question,
    Exclamation,
    Information
};

enum class MessageBoxButtons
{
    Ok,
    YesNo,
    // Save (IDYES), Discard (IDNO), Cancel (IDCANCEL).
    SaveDiscardCancel
};

struct MessageBoxRequest
{
    QWidget* parent; // may be null
    QString text; // as given, line breaks included
    QString caption;
    MessageBoxIcon icon;
    MessageBoxButtons buttons;
    int defaultButton; // IDOK, IDYES or IDNO
};

// Returns IDOK, IDYES, IDNO or IDCANCEL.
using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;

// Installs a presenter for the whole process (an empty one restores the default)
// and returns the one it replaces. User-interface thread only.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Asks the presenter in place.
int PresentMessageBox(const MessageBoxRequest& request);

// The presenter that shows a QMessageBox.
int ShowQtMessageBox(const MessageBoxRequest& request);

// Installs a presenter for its lifetime.
class ScopedMessageBoxPresenter
{
public:
    explicit ScopedMessageBoxPresenter(MessageBoxPresenter presenter);
    ~ScopedMessageBoxPresenter();

    ScopedMessageBoxPresenter(const ScopedMessageBoxPresenter&) = delete;
    ScopedMessageBoxPresenter& operator=(const ScopedMessageBoxPresenter&) = delete;

private:
    MessageBoxPresenter m_previous;
};
