#pragma once

// Number texts as the grid and the editors show them, and the readers behind
// CellToDouble, WindowToDouble and ParseIntOrDefault. Nothing here depends on
// the user's locale.

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// Mantissa scaled by powers of 1000, exponent a multiple of 3: 1500 -> "1.5e3".
QString FormatEngineering(double value);
// Plain between 0.0001 and 100000, else scaled by powers of 10: 123456 -> "1.23456e5".
QString FormatValue(double value);

// The same notations with as many digits as the value needs to read back to
// the same double, at least those of the formats above: a value that six
// digits give exactly is written as they write it. Negative zero is "-0".
QString FormatEngineeringExact(double value);
QString FormatValueExact(double value);
// The same, appended to `out` (ASCII).
void AppendEngineeringExact(std::string& out, double value);
void AppendValueExact(std::string& out, double value);

// The double of the shortest decimal text that gives `value` in single
// precision, when that double gives `value` again; else `value` widened. A
// value kept in single precision is the number its text means: 0.1f is 0.1.
double DecimalOfSingle(float value);

// Trims `text` in place; when the rest is one number, replaces it by its
// exact engineering (or value) format and returns true, else leaves it
// trimmed and returns false.
bool NormalizeNumber(QString& text, bool engineering);

// The whole text, unchanged (no trimming), as one number, or nothing.
std::optional<double> TextToNumber(const QString& text);
// The whole text, unchanged (no trimming), as one number, or `fallback`.
double TextToDouble(const QString& text, double fallback);
int TextToInt(const QString& text, int fallback);

// The number in an 8-bit text by the same rules (the whole text, unchanged), or
// nothing. Bytes above 0x7F belong to a number only as the micro sign.
//
// Every reader takes an SI prefix after the number, case-sensitive: T, G, M, k,
// m, u (or the micro sign, as UTF-8 or its Latin-1 byte), n, p, f; then
// optionally the unit Hz; blanks may stand before them: "1.5G", "500 MHz",
// "2.2u". The value is the double nearest to the decimal the text means.
std::optional<double> ReadDouble(std::string_view text);
