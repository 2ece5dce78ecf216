#include "TvxSensor.h"

#include "MemoryAdvice.h"
#include "TvxControl2.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace tvx
{

using usbtmc::Deadline;
using usbtmc::DeadlineAfter;
using usbtmc::LinkStatus;

// How far ahead of a block's data its memory is set up.
constexpr std::size_t setUpStep = 8u << 20;
// How long the release of the lock after a block write may take past the
// call's deadline (a connection that ends releases too).
constexpr int lockReleaseMs = 1000;

std::int32_t StatusOf(LinkStatus status)
{
    switch (status) {
    case LinkStatus::Ok:
        return 0;
    case LinkStatus::Timeout:
        return TVX_ERR_TIMEOUT;
    case LinkStatus::Closed:
        return TVX_ERR_CONNECTION_LOST;
    case LinkStatus::Protocol:
        return TVX_ERR_PROTOCOL;
    case LinkStatus::System:
        break;
    }
    return TVX_ERR_SYSTEM;
}

BlockStart ParseBlockStart(std::string_view bytes, std::size_t& headerSize, std::size_t& length)
{
    if (bytes.empty())
        return BlockStart::NeedMore;
    if (bytes[0] != '#')
        return BlockStart::NotBlock;
    if (bytes.size() < 2)
        return BlockStart::NeedMore;
    if (bytes[1] < '1' || bytes[1] > '9')
        return BlockStart::NotBlock;
    const std::size_t digits = static_cast<std::size_t>(bytes[1] - '0');
    if (bytes.size() < 2 + digits)
        return BlockStart::NeedMore;
    length = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = bytes[2 + i];
        if (c < '0' || c > '9')
            return BlockStart::Bad;
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    headerSize = 2 + digits;
    return BlockStart::Block;
}

bool IsQuery(std::string_view command)
{
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '"' || c == '\'') {
            const std::size_t close = command.find(c, i + 1);
            if (close == std::string_view::npos)
                return false;
            i = close;
        } else if (c == '?') {
            return true;
        }
    }
    return false;
}

std::int32_t Sensor::Open(const std::string& socketPath)
{
    const Deadline deadline = DeadlineAfter(controlTimeoutMs);
    LinkStatus status = m_client.Open(socketPath, deadline);
    if (status == LinkStatus::Closed)
        return TVX_ERR_NO_SUCH_DEVICE;
    usbtmc::DeviceInfo info;
    if (status == LinkStatus::Ok)
        status = m_client.QueryDeviceInfo(info, deadline);
    if (status == LinkStatus::Ok && info.vendorId != usbtmc::VendorId)
        return TVX_ERR_NO_SUCH_DEVICE;
    return status == LinkStatus::Closed ? TVX_ERR_NO_SUCH_DEVICE : StatusOf(status);
}

// The device answers a status byte request only after it has executed every
// message sent before it, so the answer also tells that the sensor took them.
std::int32_t Sensor::WaitUntilTaken(Deadline deadline, std::uint8_t& statusByte)
{
    return StatusOf(m_client.ReadStatusByte(statusByte, deadline));
}

// Takes the sensor's lock (`request` VendorLock) or waits until nobody else
// holds it (VendorLockState), up to `deadline`. A device that does not know
// the request is taken as unlocked.
std::int32_t Sensor::WaitForLock(std::uint8_t request, Deadline deadline)
{
    auto answer = usbtmc::Client::LockAnswer::NotKnown;
    const std::int32_t status = StatusOf(m_client.AwaitLock(request, answer, deadline));
    return status != 0 ? status : answer == usbtmc::Client::LockAnswer::HeldElsewhere ? TVX_ERR_LOCKED : 0;
}

std::int32_t Sensor::SendCommand(std::string_view command, int timeoutMs)
{
    const Deadline deadline = DeadlineAfter(timeoutMs);
    const bool terminated = !command.empty() && command.back() == '\n';
    std::int32_t status = WaitForLock(usbtmc::VendorLockState, deadline);
    if (status == 0)
        status = StatusOf(m_client.Write({command, terminated ? "" : "\n"}, true, deadline));
    std::uint8_t statusByte = 0;
    if (status == 0)
        status = WaitUntilTaken(deadline, statusByte);
    if (status != 0 || !IsQuery(command))
        return status;
    for (;;) {
        if (statusByte & usbtmc::StatusMessageAvailable)
            return ReadAnswer(deadline);
        // A query that failed has no answer; its error waits in the queue.
        if (statusByte & usbtmc::StatusErrorQueue)
            return 0;
        if (usbtmc::Clock::now() >= deadline)
            return TVX_ERR_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        status = WaitUntilTaken(deadline, statusByte);
        if (status != 0)
            return status;
    }
}

std::int32_t Sensor::SendBlock(std::string_view header, std::string_view data, int timeoutMs)
{
    const Deadline deadline = DeadlineAfter(timeoutMs);
    const long long releaseMs = usbtmc::GraceMs(deadline, lockReleaseMs);
    const std::string length = std::to_string(data.size());
    const std::string blockHeader = " #" + std::to_string(length.size()) + length;
    // No other program writes into the sensor, or reads from it, while the
    // block goes in.
    std::int32_t status = WaitForLock(usbtmc::VendorLock, deadline);
    if (status != 0)
        return status;
    status = StatusOf(m_client.Write({header, blockHeader, data, "\n"}, true, deadline));
    std::uint8_t statusByte = 0;
    if (status == 0)
        status = WaitUntilTaken(deadline, statusByte);
    char released = 0;
    m_client.LockRequest(usbtmc::VendorUnlock, released, std::max(deadline, DeadlineAfter(releaseMs)));
    return status;
}

// Drops what is left of an answer the driver will not keep, within the
// caller's time: what a clear cannot drop by then, the next clear does.
std::int32_t Sensor::Discard(std::int32_t status, Deadline deadline)
{
    m_client.Clear(deadline);
    return status;
}

std::int32_t Sensor::ReadAnswer(Deadline deadline)
{
    // A first short read tells a block from a text; a block's data then goes
    // straight into its result.
    std::string head(64 * 1024, '\0');
    std::size_t have = 0;
    bool end = false;
    std::size_t headerSize = 0;
    std::size_t length = 0;
    BlockStart start = BlockStart::NeedMore;
    while (start == BlockStart::NeedMore && !end) {
        std::size_t count = 0;
        std::int32_t status = StatusOf(m_client.Read(&head[have], head.size() - have, count, end, deadline));
        if (status != 0)
            return status;
        have += count;
        start = ParseBlockStart(std::string_view(head.data(), have), headerSize, length);
        if (start == BlockStart::NeedMore && have == head.size())
            start = BlockStart::NotBlock;
    }
    Result result;
    result.sequence = ++m_sequence;
    if (start == BlockStart::Block) {
        // The data and the final line feed, read straight into the result.
        if (length > maxBinaryResult)
            return end ? TVX_ERR_REPLY_TOO_LONG : Discard(TVX_ERR_REPLY_TOO_LONG, deadline);
        const std::size_t want = length + 1;
        std::size_t got = have - headerSize;
        if (got > want)
            return end ? TVX_ERR_PROTOCOL : Discard(TVX_ERR_PROTOCOL, deadline);
        // The announced length only reserves address space: memory is set
        // up a step ahead of the data that has come, so that no answer can
        // make the driver hold much more than it was sent.
        result.bytes.reset(new char[want]);
        tamrix_memory::AdviseHugePages(result.bytes.get(), want);
        std::size_t setUp = 0;
        std::memcpy(result.bytes.get(), head.data() + headerSize, got);
        head = std::string();
        while (got < want && !end) {
            if (setUp < want && got + setUpStep / 2 > setUp) {
                const std::size_t next = std::min(want, got + setUpStep);
                tamrix_memory::PrepareForWriting(result.bytes.get() + setUp, next - setUp, next - setUp);
                setUp = next;
            }
            std::size_t count = 0;
            const std::int32_t status =
                StatusOf(m_client.Read(result.bytes.get() + got, want - got, count, end, deadline));
            if (status != 0)
                return status;
            got += count;
        }
        if (!end)
            return Discard(TVX_ERR_PROTOCOL, deadline);
        if (got != want || result.bytes[length] != '\n')
            return TVX_ERR_PROTOCOL;
        result.type = TVX_RESULT_BINARY;
        result.size = length;
    } else if (start == BlockStart::Bad) {
        return end ? TVX_ERR_PROTOCOL : Discard(TVX_ERR_PROTOCOL, deadline);
    } else {
        while (!end) {
            if (have >= maxTextResult)
                return Discard(TVX_ERR_REPLY_TOO_LONG, deadline);
            if (have == head.size())
                head.resize(head.size() * 2);
            std::size_t count = 0;
            const std::int32_t status = StatusOf(m_client.Read(&head[have], head.size() - have, count, end, deadline));
            if (status != 0)
                return status;
            have += count;
        }
        if (have > 0 && head[have - 1] == '\n')
            --have;
        result.type = TVX_RESULT_TEXT;
        result.size = have;
        result.bytes.reset(new char[have + 1]);
        std::memcpy(result.bytes.get(), head.data(), have);
        result.bytes[have] = '\0';
    }
    m_results.push_back(std::move(result));
    return 0;
}

std::int32_t Sensor::EmptyAllBuffers()
{
    m_results.clear();
    return StatusOf(m_client.Clear(DeadlineAfter(controlTimeoutMs)));
}

std::int32_t Sensor::GetError(std::uint32_t& code, std::string& text)
{
    std::string reply;
    bool stalled = false;
    const std::int32_t status = StatusOf(m_client.Control(
        {usbtmc::RequestTypeVendorIn, usbtmc::VendorGetError, 0, 0, 512}, {}, &reply, stalled,
        DeadlineAfter(controlTimeoutMs)));
    if (status != 0)
        return status;
    if (stalled)
        return TVX_ERR_REQUEST_FAILED;
    if (reply.size() < 8)
        return TVX_ERR_PROTOCOL;
    code = usbtmc::GetLittleEndian32(reply.data());
    const std::int32_t scpi = static_cast<std::int32_t>(usbtmc::GetLittleEndian32(reply.data() + 4));
    text = std::to_string(scpi) + ", " + reply.substr(8);
    return 0;
}

std::int32_t Sensor::VendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index)
{
    bool stalled = false;
    const std::int32_t status =
        StatusOf(m_client.Control({usbtmc::RequestTypeVendorOut, request, value, index, 0}, {}, nullptr, stalled,
                                  DeadlineAfter(controlTimeoutMs)));
    if (status != 0)
        return status;
    return stalled ? TVX_ERR_REQUEST_FAILED : 0;
}

} // namespace tvx
