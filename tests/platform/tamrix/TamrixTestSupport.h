#pragma once

// Shared helpers of the data set library's tests.

#include "Tamrix.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tamrix_core_test
{

// A data set that uses every field the format `version` holds, with the
// awkward values a round trip must keep: NaN with payloads, -0.0, denormals,
// texts of maxInfoStringLength multibyte characters and texts with bytes that
// are not UTF-8.
TamrixContent RichContent(char version);
CTamrix RichSet(char version);

// A small storable data set: one device of three points.
CTamrix SmallSet();

// Every value of a content as text, floats as their bit patterns, so that two
// contents are equal bit for bit exactly when their fingerprints are equal
// (and a difference shows in the test output).
std::string Fingerprint(const TamrixContent& content);

std::string Stored(const CTamrix& set, char version = '3');

// The stored bytes of `content` written straight from FORMAT.md, without the
// library and without any checks, so that tests can also write content that
// the library refuses.
std::string WriteAsDocumented(const TamrixContent& content, char version, char revision = '0');

// Sets the length field and the checksum of stored bytes to fit the bytes.
std::string Reseal(std::string data);

// The code of the TvxKyyCalcDLLError that `action` throws, 0 when it throws
// nothing; a test fails when it throws anything else.
std::int32_t CodeOf(const std::function<void()>& action);

// Whether `code` is one the library documents (1, 2, 101-115, 201-216).
bool IsLibraryCode(std::int32_t code);

} // namespace tamrix_core_test
