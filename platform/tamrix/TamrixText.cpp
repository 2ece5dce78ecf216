#include "TamrixText.h"

#include <cstdint>

namespace
{

constexpr std::uint32_t invalidSequence = 0xFFFFFFFFu;

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0u) == 0x80u;
}

// Decodes the sequence at `pos` and advances past it; an invalid sequence
// yields invalidSequence and advances by one byte only, so that the bytes after
// a broken lead byte are judged on their own.
std::uint32_t DecodeAt(const std::string& text, std::size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80u) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    std::uint32_t smallest = 0;
    if ((lead & 0xE0u) == 0xC0u) {
        length = 2;
        codePoint = lead & 0x1Fu;
        smallest = 0x80u;
    } else if ((lead & 0xF0u) == 0xE0u) {
        length = 3;
        codePoint = lead & 0x0Fu;
        smallest = 0x800u;
    } else if ((lead & 0xF8u) == 0xF0u) {
        length = 4;
        codePoint = lead & 0x07u;
        smallest = 0x10000u;
    } else {
        ++pos;
        return invalidSequence;
    }
    if (text.size() - pos < length) {
        ++pos;
        return invalidSequence;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuation(byte)) {
            ++pos;
            return invalidSequence;
        }
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
    }
    // Overlong forms, UTF-16 surrogates and values beyond U+10FFFF are not UTF-8.
    if (codePoint < smallest || (codePoint >= 0xD800u && codePoint <= 0xDFFFu) || codePoint > 0x10FFFFu) {
        ++pos;
        return invalidSequence;
    }
    pos += length;
    return codePoint;
}

} // namespace

namespace tamrix_text
{

std::size_t CountCharacters(const std::string& text)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        DecodeAt(text, pos);
        ++count;
    }
    return count;
}

std::string Latin1ToUtf8(const std::string& text)
{
    std::string result;
    result.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80u) {
            result += c;
        } else {
            result += static_cast<char>(0xC0u | (byte >> 6));
            result += static_cast<char>(0x80u | (byte & 0x3Fu));
        }
    }
    return result;
}

std::string Utf8ToLatin1(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const std::uint32_t codePoint = DecodeAt(text, pos);
        if (codePoint == invalidSequence)
            result += text[start];
        else if (codePoint > 0xFFu)
            result += '?';
        else
            result += static_cast<char>(codePoint);
    }
    return result;
}

} // namespace tamrix_text
