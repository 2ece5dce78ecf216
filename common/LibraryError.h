#pragma once

#include <QString>

struct TvxKyyCalcDLLError;

// The user text for a library error: the message of its code, preceded by the
// quoted context and ": " when the error has one.
QString FormatLibraryError(const TvxKyyCalcDLLError& error);
