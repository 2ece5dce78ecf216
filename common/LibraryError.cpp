#include "LibraryError.h"

#include "LibraryErrorTable.h"
#include "TamrixError.h"
#include "TextConversion.h"

#include <string>

QString FormatLibraryError(const TvxKyyCalcDLLError& error)
{
    const QString message = QString::fromLatin1(LibraryErrorText(error.code));
    if (!error.context) {
        return message;
    }
    // Paths on Linux are UTF-8; other contexts (sensor answers, names from old
    // files) may be Latin-1 bytes, which are then shown one character per byte.
    const std::string context(error.context);
    const QString shown = IsValidUtf8(context) ? Utf8ToWide(context) : Latin1ToWide(context);
    return QLatin1Char('"') + shown + QLatin1String("\": ") + message;
}
