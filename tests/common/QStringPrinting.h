#pragma once

#include <QString>

#include <cstdio>
#include <ostream>
#include <string_view>

// GoogleTest shows a QString in failure messages as its characters, with
// everything outside printable ASCII as \uXXXX code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"';
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= 0x20 && unit < 0x7F) {
            *out << static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            *out << escaped;
        }
    }
    *out << '"';
}

// A QString holding exactly these UTF-16 code units, unpaired surrogates included.
inline QString Units(std::u16string_view units)
{
    return QString(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));
}
