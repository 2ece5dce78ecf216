#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

// The one exception type of the data set library (and of the Touchstone reader).
// Thrown by value. `context` is null or names what failed, usually a file path;
// it points into storage shared by the error and all its copies, so it stays
// valid for as long as any copy of the error lives.
struct TvxKyyCalcDLLError : std::exception
{
    explicit TvxKyyCalcDLLError(std::int32_t errorCode);
    TvxKyyCalcDLLError(std::int32_t errorCode, const char* errorContext);
    TvxKyyCalcDLLError(std::int32_t errorCode, const std::string& errorContext);

    // A short technical text ("data set library error 208"); users see
    // FormatLibraryError's text instead.
    const char* what() const noexcept override;

    std::int32_t code;
    const char* context;

private:
    std::shared_ptr<const std::string> m_context;
    std::shared_ptr<const std::string> m_what;
};

// The codes the library raises. The user texts for them live in common/.
namespace TamrixErrorCode
{
constexpr std::int32_t FileRead = 1;
constexpr std::int32_t FileWrite = 2;
constexpr std::int32_t WrongArgument = 104;
constexpr std::int32_t InvalidTableAccess = 105;
constexpr std::int32_t XmlError = 107;
constexpr std::int32_t FrequenciesNotAscending = 109;
constexpr std::int32_t NotParsable = 201;
constexpr std::int32_t TooLarge = 202;
constexpr std::int32_t Invalid = 203;
constexpr std::int32_t WrongSignature = 204;
constexpr std::int32_t UnsupportedVersion = 205;
constexpr std::int32_t UnsupportedRevision = 206;
constexpr std::int32_t InconsistentLength = 207;
constexpr std::int32_t ChecksumFailed = 208;
constexpr std::int32_t NoSParaDevice = 211;
constexpr std::int32_t IncompatibleVersion = 214;
constexpr std::int32_t SinglePrecisionOverflow = 215;
} // namespace TamrixErrorCode
