#pragma once

#include <QString>

#include <string_view>

// Writes `content` to a temporary file beside `path` (following a link) and puts
// it in place of `path`, with the old file's permissions, only once every byte
// is written. On failure the old file stays as it was, no temporary file
// remains, and the result is false. A temporary file that a save killed in the
// middle left behind is removed by the next save of the same file.
bool WriteWholeFile(const QString& path, std::string_view content);
