#pragma once

// What the store and the tool share: whole-file reads and writes as the store
// does them (failures are SensorStoreError with a one-line text naming the
// file), and user texts made fit for a one-line message.

#include "SensorStore.h"

#include <filesystem>
#include <optional>
#include <string>

// The file's bytes, or nothing when there is no such file.
std::optional<std::string> ReadFileIfPresent(const std::filesystem::path& path);

// Replaces the file whole (see TemporaryFile.h): on failure the old file, or
// no file, stays.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& data);

// `text` with its control characters shown as '?'.
std::string OneLineText(const std::string& text);
