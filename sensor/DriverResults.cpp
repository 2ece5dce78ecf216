#include "DriverResults.h"

#include "MemoryAdvice.h"
#include "Tamrix.h"
#include "TvxControl2.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

template <typename Body>
std::int32_t Guarded(Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return TVX_ERR_SYSTEM;
    }
}

} // namespace

std::int32_t AwaitDriverResult(std::int32_t sensor, std::uint32_t type, std::int32_t timeout)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
    for (;;) {
        std::int32_t available = 0;
        if (const std::int32_t status = TvxDataAvailable(sensor, &available))
            return status;
        if (available != 0)
            break;
        if (Clock::now() > deadline)
            return TVX_ERR_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (;;) {
        std::uint32_t found = 0, length = 0, sequence = 0;
        if (const std::int32_t status = TvxGetData(sensor, &found, &length, &sequence))
            return status;
        if (found == type)
            return 0;
        if (const std::int32_t status = TvxDiscardResult(sensor))
            return status;
        std::int32_t available = 0;
        if (const std::int32_t status = TvxDataAvailable(sensor, &available))
            return status;
        if (available == 0)
            return TVX_ERR_NO_RESULT;
    }
}

std::int32_t ReadDriverTextResult(std::int32_t sensor, std::int32_t timeout, std::string& text)
{
    return Guarded([&] {
        if (const std::int32_t status = AwaitDriverResult(sensor, TVX_RESULT_TEXT, timeout))
            return status;
        // With no buffer the driver gives the length to provide, not a status.
        const std::int32_t length = TvxGetStringResult(sensor, nullptr, 0);
        if (length <= 0)
            return length < 0 ? length : TVX_ERR_PROTOCOL;
        std::string read(static_cast<std::size_t>(length), '\0');
        if (const std::int32_t status = TvxGetStringResult(sensor, read.data(), length))
            return status;
        read.resize(std::min(read.find('\0'), read.size()));
        text.swap(read);
        return 0;
    });
}

std::int32_t ReadDriverBlockResult(std::int32_t sensor, std::int32_t timeout, std::string& block)
{
    return Guarded([&] {
        if (const std::int32_t status = AwaitDriverResult(sensor, TVX_RESULT_BINARY, timeout))
            return status;
        std::int32_t length = 0;
        if (const std::int32_t status = TvxGetBinaryResultLength(sensor, &length))
            return status;
        if (length < 0)
            return TVX_ERR_PROTOCOL;
        if (static_cast<std::size_t>(length) > maxDataSetSize)
            return TVX_ERR_REPLY_TOO_LONG;
        std::string read;
        tamrix_memory::ResizeForWriting(read, static_cast<std::size_t>(length));
        std::int32_t count = 0;
        if (const std::int32_t status = TvxGetBinaryResult(sensor, read.data(), length, &count))
            return status;
        read.resize(static_cast<std::size_t>(std::clamp(count, 0, length)));
        block.swap(read);
        return 0;
    });
}

std::int32_t QueryDriverText(std::int32_t sensor, const char* query, std::int32_t timeout, std::string& text)
{
    std::int32_t status = TvxEmptyAllBuffers(sensor);
    if (status == 0)
        status = TvxSendCommand(sensor, query, timeout);
    return status != 0 ? status : ReadDriverTextResult(sensor, timeout, text);
}

std::int32_t QueryDriverBlock(std::int32_t sensor, const char* query, std::int32_t timeout, std::string& block)
{
    std::int32_t status = TvxEmptyAllBuffers(sensor);
    if (status == 0)
        status = TvxSendCommand(sensor, query, timeout);
    return status != 0 ? status : ReadDriverBlockResult(sensor, timeout, block);
}

std::vector<DriverSensor> ListDriverSensors()
{
    std::vector<DriverSensor> sensors;
    TvxLockDeviceList();
    std::int32_t count = 0;
    TvxGetDeviceListLength(&count);
    for (std::int32_t index = 0; index < count; ++index) {
        char name[TVX_DEVICE_TEXT_SIZE] = {};
        char type[TVX_DEVICE_TEXT_SIZE] = {};
        char serial[TVX_DEVICE_TEXT_SIZE] = {};
        std::int32_t present = 0;
        if (TvxGetDeviceInfo(index, name, type, serial, &present) != 0 || present == 0)
            continue;
        name[TVX_DEVICE_TEXT_SIZE - 1] = type[TVX_DEVICE_TEXT_SIZE - 1] = serial[TVX_DEVICE_TEXT_SIZE - 1] = '\0';
        sensors.push_back({name, type, serial});
    }
    TvxCommitDeviceList();
    return sensors;
}
