#pragma once

#include <QString>

#include <ostream>
#include <string>
#include <string_view>

// GoogleTest shows a QString in failure messages as its UTF-8 text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

// A QString holding exactly these UTF-16 code units, unpaired surrogates included.
inline QString Units(std::u16string_view units)
{
    return QString(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));
}

// A table's row, named after its case: the test's name and what a failure shows.
struct Row { const char* name; };
inline std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }
inline constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };
