#pragma once

// Text helpers of the data set library: texts are kept as UTF-8 bytes, but a
// data set written elsewhere may hold bytes that are not UTF-8, and those must
// pass through unchanged.

#include <cstddef>
#include <string>

namespace tamrix_text
{

// Characters in `text`: one per valid UTF-8 sequence, one per byte that is not
// part of a valid sequence.
std::size_t CountCharacters(const std::string& text);

// ISO-8859-1 bytes to UTF-8.
std::string Latin1ToUtf8(const std::string& text);

// UTF-8 to ISO-8859-1: characters above U+00FF become '?', bytes that are not
// part of a valid UTF-8 sequence are kept as they are.
std::string Utf8ToLatin1(const std::string& text);

} // namespace tamrix_text
