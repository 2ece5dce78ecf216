#pragma once

// An exception that leaves an event handler would end the program inside Qt.
// Every handler the framework calls runs through this guard, which shows the
// exception's text in a stop box instead.

#include <functional>

class QWidget;

// Runs the handler; returns false when it threw.
bool RunHandlerGuarded(QWidget* owner, const std::function<void()>& handler) noexcept;
