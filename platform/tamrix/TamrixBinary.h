#pragma once

// The binary data set format (FORMAT.md beside this file): plain functions
// between a TamrixContent and the stored bytes.

#include "Tamrix.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tamrix_binary
{

constexpr char signature[8] = {'\x89', 'T', 'M', 'X', '\r', '\n', '\x1a', '\n'};
constexpr std::size_t headerSize = 18;

// The CRC-32 of stored bytes over every byte except the checksum field.
std::uint32_t Checksum(std::string_view data);

// Whether `version` (and its revision) is a stored format this library writes
// and reads.
bool IsSupportedVersion(char version);
bool IsSupportedRevision(char revision);

// Throws what storing `content` in `version` refuses: no device or a device
// without points (211), more than one device in version '2' or an internal
// serial number in version '4' (214), frequencies out of order (109).
void CheckStorable(const TamrixContent& content, char version);

// Replaces `out` with the stored bytes of `content`, a valid content
// (CTamrix::Validate); reuses the memory of `out` when it is large enough.
// Refuses 205/206 for another format, then as CheckStorable, then 202; `out`
// is unchanged then.
void Store(const TamrixContent& content, char version, char revision, std::string& out);

// Reads the stored bytes into `set` (and leaves its UTF-8 flag alone) after
// checking them completely, as described in FORMAT.md: header, structure,
// CTamrix::Validate, then what storing would refuse. On failure `set` is
// unchanged.
FormatPair Load(std::string_view data, CTamrix& set);
// The checks of Load that need only the first headerSize bytes (`start`) and
// the whole length (`size`): throws as Load does for a data set that fails them.
void CheckHeader(std::string_view start, std::uint64_t size);

} // namespace tamrix_binary
