#pragma once

// One open sensor of the driver: its USBTMC connection and the results of its
// queries. One thread calls at a time (the call lock); Shutdown may come from
// any thread and ends a blocked call at once.

#include "Client.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tvx
{

// Largest answers the driver takes: a stored data set with room to spare, and
// any text reply.
constexpr std::size_t maxBinaryResult = 256u << 20;
constexpr std::size_t maxTextResult = 1u << 20;
// Calls without a timeout of their own.
constexpr int controlTimeoutMs = 5000;

struct Result
{
    std::uint32_t type = 0; // TVX_RESULT_BINARY or TVX_RESULT_TEXT
    // Not a string: a block of tens of megabytes is read straight into storage
    // that nobody fills with zeros first.
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::uint32_t sequence = 0;
};

// What the start of an answer says about it (IEEE 488.2 definite-length
// block "#", n, n digits of length L, L bytes).
enum class BlockStart
{
    NeedMore, // too few bytes to tell
    Block,    // headerSize and length are set
    NotBlock, // any other answer: a text
    Bad       // "#" and a digit, but no valid header
};
BlockStart ParseBlockStart(std::string_view bytes, std::size_t& headerSize, std::size_t& length);

// Whether a command expects an answer: a "?" outside quoted strings.
bool IsQuery(std::string_view command);

class Sensor
{
public:
    std::int32_t Open(const std::string& socketPath);
    // A real device's pipes, already claimed.
    void Open(std::unique_ptr<usbtmc::Pipes> pipes) { m_client.Open(std::move(pipes)); }
    void Shutdown() { m_client.Shutdown(); }

    std::mutex& CallLock() { return m_callLock; }

    // The calls below expect the call lock held; each returns a driver status.
    std::int32_t SendCommand(std::string_view command, int timeoutMs);
    std::int32_t SendBlock(std::string_view header, std::string_view data, int timeoutMs);
    std::int32_t EmptyAllBuffers();
    std::int32_t GetError(std::uint32_t& code, std::string& text);
    std::int32_t VendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index);

    std::deque<Result>& Results() { return m_results; }

private:
    std::int32_t WaitUntilTaken(usbtmc::Deadline deadline, std::uint8_t& statusByte);
    std::int32_t WaitForLock(std::uint8_t request, usbtmc::Deadline deadline);
    std::int32_t ReadAnswer(usbtmc::Deadline deadline);
    std::int32_t Discard(std::int32_t status, usbtmc::Deadline deadline);

    usbtmc::Client m_client;
    std::mutex m_callLock;
    std::deque<Result> m_results;
    std::uint32_t m_sequence = 0;
};

std::int32_t StatusOf(usbtmc::LinkStatus status);

} // namespace tvx
