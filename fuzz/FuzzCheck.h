#pragma once

// What every fuzz target shares: a broken invariant stops the run with its
// description (libFuzzer then keeps the input), and the library's failures are
// told apart from everything else.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Stops the run when `holds` is false.
inline void Check(bool holds, const char* invariant, std::string_view detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", invariant);
    if (!detail.empty())
        std::fprintf(stderr, "  %.*s\n", static_cast<int>(detail.size()), detail.data());
    std::abort();
}

inline std::string Bytes(const unsigned char* data, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The text with its control and non-ASCII bytes escaped, for messages.
inline std::string Printable(std::string_view text, std::size_t most = 200)
{
    std::string out;
    for (const char c : text.substr(0, most)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    if (text.size() > most)
        out += "...";
    return out;
}
