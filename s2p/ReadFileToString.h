#pragma once

#include <cstddef>
#include <string>

// The largest file the Touchstone reader takes (256 MiB).
constexpr std::size_t maxTouchstoneFileSize = std::size_t{256} * 1024 * 1024;

// Reads the whole regular file `fileName` (file-system encoding) as bytes,
// without any conversion, and leaves `spare` bytes of capacity beyond the
// content so the caller can append without copying. Returns false, with
// `content` unspecified, when the file cannot be opened or read, is not a
// regular file (a folder, a FIFO, a device) or holds more than `maxSize` bytes.
bool ReadFileToString(const std::string& fileName, std::string& content, std::size_t spare = 0,
                      std::size_t maxSize = maxTouchstoneFileSize);
