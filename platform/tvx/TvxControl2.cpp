#include "TvxControl2.h"

#include "RuntimeFolder.h"
#include "TvxSensor.h"
#include "UsbDevice.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{

using tvx::Result;
using tvx::Sensor;

// Device names are this prefix and the sensor's serial number, which also
// names its socket; a real sensor's name continues with "USB::" and its
// serial number, or with "@bus.address" when it gives none. A simulated
// sensor's serial number never holds a colon, so the two never meet.
const std::string devicePrefix = "TVXUSB::";
const std::string realPrefix = devicePrefix + "USB::";
constexpr int listTimeoutMs = 500;

struct DeviceEntry
{
    std::string name;
    std::string type;
    std::string serial;
    bool present = false;
};

// Everything the driver keeps, guarded by one lock; a sensor's own calls run
// under its call lock, outside this one.
struct Driver
{
    std::mutex lock;
    bool open = false;
    bool listLocked = false;
    std::vector<DeviceEntry> devices;
    std::map<std::int32_t, std::shared_ptr<Sensor>> sensors;
    std::int32_t nextHandle = 1;
    std::map<std::uint32_t, std::string> sensorTexts; // the sensor's last text for each of its codes
    std::map<std::int32_t, std::string> openProblems;  // why the last open failed, for its status
};

Driver& TheDriver()
{
    // Never destroyed: a transfer thread may still be in a call while the
    // program exits.
    static Driver* const driver = new Driver;
    return *driver;
}

// The sensor of a handle, kept alive for the call even if it is closed meanwhile.
std::int32_t Find(std::int32_t handle, std::shared_ptr<Sensor>& sensor)
{
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    if (!driver.open)
        return TVX_ERR_NOT_OPEN;
    const auto it = driver.sensors.find(handle);
    if (it == driver.sensors.end())
        return TVX_ERR_INVALID_HANDLE;
    sensor = it->second;
    return 0;
}

template <typename Call>
std::int32_t WithSensor(std::int32_t handle, Call call)
{
    std::shared_ptr<Sensor> sensor;
    const std::int32_t status = Find(handle, sensor);
    if (status != 0)
        return status;
    std::lock_guard<std::mutex> lock(sensor->CallLock());
    return call(*sensor);
}

void CopyText(const std::string& text, char* buffer)
{
    const std::size_t size = std::min<std::size_t>(text.size(), TVX_DEVICE_TEXT_SIZE - 1);
    std::memcpy(buffer, text.data(), size);
    buffer[size] = '\0';
}

// Fills `buffer` with the zero-terminated text when it fits and gives 0;
// otherwise the length to provide (the text cut to fit when there is a buffer).
std::int32_t GiveText(const char* text, std::size_t size, char* buffer, std::int32_t length)
{
    const std::size_t needed = size + 1;
    if (buffer && length > 0) {
        const std::size_t copy = std::min<std::size_t>(size, static_cast<std::size_t>(length) - 1);
        std::memcpy(buffer, text, copy);
        buffer[copy] = '\0';
    }
    if (!buffer || length < 0 || static_cast<std::size_t>(length) < needed)
        return static_cast<std::int32_t>(needed);
    return 0;
}

const struct
{
    std::int32_t status;
    const char* text;
} statusTexts[] = {
    {0, "No error."},
    {TVX_ERR_NOT_OPEN, "The sensor driver is not open."},
    {TVX_ERR_INVALID_ARGUMENT, "The sensor driver was called with a missing or wrong argument."},
    {TVX_ERR_INVALID_HANDLE, "The sensor is not open (invalid sensor handle)."},
    {TVX_ERR_NO_SUCH_DEVICE, "The sensor is not connected."},
    {TVX_ERR_TIMEOUT, "The sensor did not answer within the timeout."},
    {TVX_ERR_CONNECTION_LOST, "The connection to the sensor was lost."},
    {TVX_ERR_PROTOCOL, "The sensor's answer could not be read: it is not a valid reply."},
    {TVX_ERR_NO_RESULT, "The sensor has sent no result."},
    {TVX_ERR_WRONG_RESULT_TYPE, "The sensor's result is not of the requested kind."},
    {TVX_ERR_BUFFER_TOO_SMALL, "The buffer is too small for the sensor's result."},
    {TVX_ERR_REQUEST_FAILED, "The sensor refused the request."},
    {TVX_ERR_REPLY_TOO_LONG, "The sensor's answer is longer than the driver accepts."},
    {TVX_ERR_LIST_NOT_LOCKED, "The device list is not locked."},
    {TVX_ERR_SYSTEM, "The operating system refused a request of the sensor driver."},
    {TVX_ERR_NO_ACCESS, "No permission to open the sensor's USB device."},
    {TVX_ERR_BUSY, "The sensor's USB device is in use by another program."},
    {TVX_ERR_LOCKED, "Another program has locked the sensor and did not let go of it within the timeout."},
    {static_cast<std::int32_t>(TVX_SENSOR_ERROR_BLOCK_DATA), "The sensor refused the data block."},
    {static_cast<std::int32_t>(TVX_SENSOR_ERROR_SETTINGS_CONFLICT),
     "The sensor refused the data set: it is not for this sensor or this data area."},
    {static_cast<std::int32_t>(TVX_SENSOR_ERROR_UNDEFINED_HEADER), "The sensor does not know the command."},
};

std::string TextOf(std::int32_t status)
{
    const std::uint32_t code = static_cast<std::uint32_t>(status);
    Driver& driver = TheDriver();
    {
        std::lock_guard<std::mutex> lock(driver.lock);
        const auto it = driver.sensorTexts.find(code);
        if (it != driver.sensorTexts.end())
            return "Sensor error " + it->second;
        const auto problem = driver.openProblems.find(status);
        if (problem != driver.openProblems.end())
            return problem->second;
    }
    for (const auto& entry : statusTexts)
        if (entry.status == status)
            return entry.text;
    char text[96];
    if ((code & 0xFFFF0000u) == 0xD0010000u)
        std::snprintf(text, sizeof text, "The sensor reported error %d.", static_cast<std::int16_t>(code & 0xFFFF));
    else
        std::snprintf(text, sizeof text, "Unknown status 0x%08X of the sensor driver.", code);
    return text;
}

DeviceEntry Probe(const std::filesystem::path& folder, const std::string& serial)
{
    DeviceEntry entry;
    entry.name = devicePrefix + serial;
    usbtmc::Client client;
    usbtmc::DeviceInfo info;
    const usbtmc::Deadline deadline = usbtmc::DeadlineAfter(listTimeoutMs);
    if (client.Open(usbtmc::UsbSocketPath(folder, serial).string(), deadline) == usbtmc::LinkStatus::Ok &&
        client.QueryDeviceInfo(info, deadline) == usbtmc::LinkStatus::Ok && info.vendorId == usbtmc::VendorId) {
        entry.type = info.product;
        entry.serial = info.serialNumber;
        entry.present = true;
    }
    return entry;
}

// The real sensors on USB: the first USBTMC interface of each device of the
// maker's vendor id. One that cannot be opened or read is listed with "error"
// for what is unknown, and why goes to standard error.
std::vector<DeviceEntry> RealSensors()
{
    std::vector<DeviceEntry> entries;
    std::uint16_t lastDevice = 0xFFFF;
    for (const usbtmc::UsbTmcInterface& found : usbtmc::ListUsbTmcInterfaces()) {
        const std::uint16_t device = static_cast<std::uint16_t>(found.bus << 8 | found.address);
        if (found.vendorId != usbtmc::VendorId || device == lastDevice)
            continue;
        lastDevice = device;
        if (!found.problem.empty())
            std::fprintf(stderr, "%s\n", found.problem.c_str());
        const bool named = found.serialRead && !found.serialNumber.empty();
        DeviceEntry entry;
        entry.name = realPrefix + (named ? found.serialNumber
                                         : "@" + std::to_string(found.bus) + "." + std::to_string(found.address));
        entry.type = found.problem.empty() || !found.product.empty() ? found.product : "error";
        entry.serial = found.serialRead ? found.serialNumber : "error";
        entry.present = true;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::int32_t OpenReal(const std::string& name, Sensor& sensor)
{
    usbtmc::UsbTmcSelector selector;
    selector.vendorId = usbtmc::VendorId;
    const std::string rest = name.substr(realPrefix.size());
    unsigned bus = 0;
    unsigned address = 0;
    char end = 0;
    if (!rest.empty() && rest[0] == '@') {
        if (std::sscanf(rest.c_str(), "@%3u.%3u%c", &bus, &address, &end) != 2 || bus > 255 || address > 255)
            return TVX_ERR_NO_SUCH_DEVICE;
        selector.bySerial = false;
        selector.bus = static_cast<std::uint8_t>(bus);
        selector.address = static_cast<std::uint8_t>(address);
    } else {
        selector.serialNumber = rest;
    }
    std::unique_ptr<usbtmc::Pipes> pipes;
    usbtmc::DeviceInfo info;
    std::string problem;
    std::int32_t status = 0;
    switch (usbtmc::OpenUsbTmc(selector, pipes, info, problem)) {
    case usbtmc::OpenResult::Ok:
        sensor.Open(std::move(pipes));
        return 0;
    case usbtmc::OpenResult::NotFound:
        return TVX_ERR_NO_SUCH_DEVICE;
    case usbtmc::OpenResult::NoAccess:
        status = TVX_ERR_NO_ACCESS;
        break;
    case usbtmc::OpenResult::Busy:
        status = TVX_ERR_BUSY;
        break;
    case usbtmc::OpenResult::Failed:
        status = TVX_ERR_SYSTEM;
        break;
    }
    std::fprintf(stderr, "%s\n", problem.c_str());
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    driver.openProblems[status] = problem;
    return status;
}

} // namespace

extern "C" {

int32_t TvxOpenDriver(void)
{
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    driver.open = true;
    return 0;
}

int32_t TvxCloseDriver(void)
{
    Driver& driver = TheDriver();
    std::map<std::int32_t, std::shared_ptr<Sensor>> sensors;
    {
        std::lock_guard<std::mutex> lock(driver.lock);
        driver.open = false;
        driver.listLocked = false;
        driver.devices.clear();
        sensors.swap(driver.sensors);
    }
    for (auto& [handle, sensor] : sensors)
        sensor->Shutdown();
    return 0;
}

int32_t TvxLockDeviceList(void)
{
    Driver& driver = TheDriver();
    {
        std::lock_guard<std::mutex> lock(driver.lock);
        if (!driver.open)
            return TVX_ERR_NOT_OPEN;
    }
    const std::filesystem::path folder = usbtmc::RuntimeFolder();
    std::vector<DeviceEntry> devices;
    for (const std::string& serial : usbtmc::UsbSocketSerials(folder))
        devices.push_back(Probe(folder, serial));
    for (DeviceEntry& entry : RealSensors())
        devices.push_back(std::move(entry));
    std::lock_guard<std::mutex> lock(driver.lock);
    driver.devices = std::move(devices);
    driver.listLocked = true;
    return 0;
}

int32_t TvxGetDeviceListLength(int32_t* count)
{
    if (!count)
        return TVX_ERR_INVALID_ARGUMENT;
    *count = 0;
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    if (!driver.open)
        return TVX_ERR_NOT_OPEN;
    if (!driver.listLocked)
        return TVX_ERR_LIST_NOT_LOCKED;
    *count = static_cast<int32_t>(driver.devices.size());
    return 0;
}

int32_t TvxGetDeviceInfo(int32_t index, char* deviceName, char* sensorType, char* serialNumber, int32_t* present)
{
    if (!deviceName || !sensorType || !serialNumber || !present)
        return TVX_ERR_INVALID_ARGUMENT;
    deviceName[0] = sensorType[0] = serialNumber[0] = '\0';
    *present = 0;
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    if (!driver.open)
        return TVX_ERR_NOT_OPEN;
    if (!driver.listLocked)
        return TVX_ERR_LIST_NOT_LOCKED;
    if (index < 0 || static_cast<std::size_t>(index) >= driver.devices.size())
        return TVX_ERR_INVALID_ARGUMENT;
    const DeviceEntry& entry = driver.devices[static_cast<std::size_t>(index)];
    CopyText(entry.name, deviceName);
    CopyText(entry.type, sensorType);
    CopyText(entry.serial, serialNumber);
    *present = entry.present ? 1 : 0;
    return 0;
}

int32_t TvxCommitDeviceList(void)
{
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    if (!driver.open)
        return TVX_ERR_NOT_OPEN;
    driver.listLocked = false;
    return 0;
}

int32_t TvxGetErrorText(int32_t status, char* buffer, int32_t length)
{
    const std::string text = TextOf(status);
    return GiveText(text.data(), text.size(), buffer, length);
}

int32_t TvxOpenSensor(const char* deviceName, int32_t* sensor)
{
    if (!deviceName || !sensor)
        return TVX_ERR_INVALID_ARGUMENT;
    *sensor = 0;
    {
        std::lock_guard<std::mutex> lock(TheDriver().lock);
        if (!TheDriver().open)
            return TVX_ERR_NOT_OPEN;
    }
    const std::string name = deviceName;
    if (name.compare(0, devicePrefix.size(), devicePrefix) != 0 || name.size() == devicePrefix.size())
        return TVX_ERR_NO_SUCH_DEVICE;
    const bool real = name.compare(0, realPrefix.size(), realPrefix) == 0;
    if (!real && (name.find('/') != std::string::npos || name.find(':', devicePrefix.size()) != std::string::npos))
        return TVX_ERR_NO_SUCH_DEVICE;
    auto opened = std::make_shared<Sensor>();
    const std::int32_t status =
        real ? OpenReal(name, *opened)
             : opened->Open(usbtmc::UsbSocketPath(usbtmc::RuntimeFolder(), name.substr(devicePrefix.size())).string());
    if (status != 0)
        return status;
    Driver& driver = TheDriver();
    std::lock_guard<std::mutex> lock(driver.lock);
    if (!driver.open)
        return TVX_ERR_NOT_OPEN;
    while (driver.nextHandle <= 0 || driver.sensors.count(driver.nextHandle))
        driver.nextHandle = driver.nextHandle <= 0 ? 1 : driver.nextHandle + 1;
    *sensor = driver.nextHandle++;
    driver.sensors.emplace(*sensor, std::move(opened));
    return 0;
}

int32_t TvxCloseSensor(int32_t handle)
{
    std::shared_ptr<Sensor> sensor;
    {
        Driver& driver = TheDriver();
        std::lock_guard<std::mutex> lock(driver.lock);
        const auto it = driver.sensors.find(handle);
        if (it == driver.sensors.end())
            return driver.open ? TVX_ERR_INVALID_HANDLE : TVX_ERR_NOT_OPEN;
        sensor = std::move(it->second);
        driver.sensors.erase(it);
    }
    sensor->Shutdown();
    return 0;
}

int32_t TvxEmptyAllBuffers(int32_t handle)
{
    return WithSensor(handle, [](Sensor& sensor) { return sensor.EmptyAllBuffers(); });
}

int32_t TvxEmptyErrorQueue(int32_t handle)
{
    return WithSensor(handle, [](Sensor& sensor) { return sensor.SendCommand("*cls", tvx::controlTimeoutMs); });
}

int32_t TvxSendCommand(int32_t handle, const char* command, int32_t timeout)
{
    if (!command || timeout < 0)
        return TVX_ERR_INVALID_ARGUMENT;
    return WithSensor(handle, [&](Sensor& sensor) { return sensor.SendCommand(command, timeout); });
}

int32_t TvxSendBinaryBlock(int32_t handle, const char* header, const void* data, int32_t count, int32_t timeout)
{
    if (!header || count < 0 || (!data && count > 0) || timeout < 0)
        return TVX_ERR_INVALID_ARGUMENT;
    return WithSensor(handle, [&](Sensor& sensor) {
        return sensor.SendBlock(header, std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(count)),
                                timeout);
    });
}

int32_t TvxGetError(int32_t handle, uint32_t* code)
{
    if (!code)
        return TVX_ERR_INVALID_ARGUMENT;
    *code = 0;
    std::string text;
    const std::int32_t status = WithSensor(handle, [&](Sensor& sensor) { return sensor.GetError(*code, text); });
    if (status == 0 && *code != 0) {
        Driver& driver = TheDriver();
        std::lock_guard<std::mutex> lock(driver.lock);
        driver.sensorTexts[*code] = text;
    }
    return status;
}

int32_t TvxDataAvailable(int32_t handle, int32_t* available)
{
    if (!available)
        return TVX_ERR_INVALID_ARGUMENT;
    *available = 0;
    return WithSensor(handle, [&](Sensor& sensor) {
        *available = sensor.Results().empty() ? 0 : 1;
        return 0;
    });
}

int32_t TvxGetData(int32_t handle, uint32_t* type, uint32_t* length, uint32_t* sequence)
{
    if (!type)
        return TVX_ERR_INVALID_ARGUMENT;
    return WithSensor(handle, [&](Sensor& sensor) {
        if (sensor.Results().empty())
            return TVX_ERR_NO_RESULT;
        const Result& result = sensor.Results().front();
        *type = result.type;
        if (length)
            *length = static_cast<uint32_t>(result.size);
        if (sequence)
            *sequence = result.sequence;
        return 0;
    });
}

int32_t TvxGetStringResult(int32_t handle, char* buffer, int32_t length)
{
    return WithSensor(handle, [&](Sensor& sensor) {
        if (sensor.Results().empty())
            return TVX_ERR_NO_RESULT;
        Result& result = sensor.Results().front();
        if (result.type != TVX_RESULT_TEXT)
            return TVX_ERR_WRONG_RESULT_TYPE;
        const std::int32_t given = GiveText(result.bytes.get(), result.size, buffer, length);
        if (given == 0)
            sensor.Results().pop_front();
        return given;
    });
}

int32_t TvxGetBinaryResultLength(int32_t handle, int32_t* length)
{
    if (!length)
        return TVX_ERR_INVALID_ARGUMENT;
    *length = 0;
    return WithSensor(handle, [&](Sensor& sensor) {
        if (sensor.Results().empty())
            return TVX_ERR_NO_RESULT;
        const Result& result = sensor.Results().front();
        if (result.type != TVX_RESULT_BINARY)
            return TVX_ERR_WRONG_RESULT_TYPE;
        *length = static_cast<int32_t>(result.size);
        return 0;
    });
}

int32_t TvxGetBinaryResult(int32_t handle, void* buffer, int32_t length, int32_t* count)
{
    if (!count || length < 0 || (!buffer && length > 0))
        return TVX_ERR_INVALID_ARGUMENT;
    *count = 0;
    return WithSensor(handle, [&](Sensor& sensor) {
        if (sensor.Results().empty())
            return TVX_ERR_NO_RESULT;
        const Result& result = sensor.Results().front();
        if (result.type != TVX_RESULT_BINARY)
            return TVX_ERR_WRONG_RESULT_TYPE;
        if (static_cast<std::size_t>(length) < result.size)
            return TVX_ERR_BUFFER_TOO_SMALL;
        if (result.size > 0)
            std::memcpy(buffer, result.bytes.get(), result.size);
        *count = static_cast<int32_t>(result.size);
        sensor.Results().pop_front();
        return 0;
    });
}

int32_t TvxDiscardResult(int32_t handle)
{
    return WithSensor(handle, [](Sensor& sensor) {
        if (sensor.Results().empty())
            return TVX_ERR_NO_RESULT;
        sensor.Results().pop_front();
        return 0;
    });
}

int32_t TvxSendVendorOutRequest(int32_t handle, int32_t request, int32_t value, int32_t index)
{
    if (request < 0 || request > 0xFF || value < 0 || value > 0xFFFF || index < 0 || index > 0xFFFF)
        return TVX_ERR_INVALID_ARGUMENT;
    return WithSensor(handle, [&](Sensor& sensor) {
        return sensor.VendorOut(static_cast<std::uint8_t>(request), static_cast<std::uint16_t>(value),
                                static_cast<std::uint16_t>(index));
    });
}

} // extern "C"
