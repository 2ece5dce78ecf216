#pragma once

#include <array>
#include <cstdint>

struct LibraryErrorMessage
{
    std::int32_t code;
    const char* text;
};

// Every code the data set library raises, with its user text, in ascending code order.
extern const std::array<LibraryErrorMessage, 65> LibraryErrorMessages;

// The text for codes missing from the table (spelling as users have always seen it).
extern const char* const UnknownLibraryErrorMessage;

// The text for a code: from the table, else UnknownLibraryErrorMessage.
const char* LibraryErrorText(std::int32_t code);
