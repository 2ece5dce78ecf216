#pragma once

// Library errors inside window handlers. An exception that leaves a Qt event
// handler ends the program, and the generic handler guard would show only the
// error's technical text; users see FormatLibraryError's text instead.

#include <functional>

class QWidget;
struct TvxKyyCalcDLLError;

// A stop box with the error's user text, captioned with the application's name.
void ReportLibraryError(QWidget* owner, const TvxKyyCalcDLLError& error);

// Runs `action`. A library error it raises ends it and is reported; the result
// is then false. Other exceptions pass through.
bool RunLibraryAction(QWidget* owner, const std::function<void()>& action);
