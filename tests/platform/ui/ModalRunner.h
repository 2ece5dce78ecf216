#pragma once

// Drives a modal dialog from inside its own loop: exec() blocks, so the action
// runs from a zero timer once the loop is running.

#include "Dialog.h"

#include <QApplication>
#include <QTimer>

#include <functional>

// What DoModal returns when the action left the dialog open.
constexpr int LeftOpen = -100;

inline int RunModal(CDialog& dialog, std::function<void(CDialog&)> action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        action(dialog);
        if (dialog.isVisible())
        {
            dialog.EndDialog(LeftOpen);
        }
    });
    return dialog.DoModal();
}

// Runs `action` with the modal widget that `open` brings up, then returns what
// `open` returned.
template <class Result>
Result WithModalWidget(const std::function<Result()>& open, std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, qApp, [action] { action(QApplication::activeModalWidget()); });
    return open();
}
