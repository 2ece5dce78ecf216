#pragma once

// Conversions between window texts (QString, UTF-16) and the 8-bit texts of the
// data set, files, the clipboard and sensors. Each drops what the target cannot
// hold; none of them throws.

#include <QString>

#include <string>

QString Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const QString& text);
std::string WideToLatin1(const QString& text);
QString Latin1ToWide(const std::string& latin1);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool IsValidUtf8(const std::string& text);

// A path as the file system takes it (UTF-8 on Linux), for the data set library
// and file streams, and back for showing it.
std::string WideToPath(const QString& path);
QString PathToWide(const std::string& path);
