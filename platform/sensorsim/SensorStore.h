#pragma once

// Where simulated sensors live between runs: one folder per sensor under the
// store folder, named after its serial number, holding
//   sensor.conf   the identity ("key = value" lines),
//   factory.cal   the factory data area, a data set file as File > Load reads it,
//   user.cal      the user data area (absent while it holds nothing),
//   faults.conf   the faults in force, one NAME[=VALUE] per line.
// Every file is replaced whole (temporary file, then rename), so a process
// killed in the middle of a write leaves the previous content in place, and
// another process reading at the same time sees either the old or the new file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A store operation that failed; what() is a one-line text for the user, e.g.
// "No simulated sensor 100001 in /home/x/.local/share/Trobe-Lindvar/sensors".
class SensorStoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The faults a simulated sensor can be told to show; all off by default.
struct SensorFaults
{
    std::uint32_t delayMs = 0;                // delay=MS: every reply comes that late
    std::optional<std::uint64_t> dropAfter;   // drop-after=BYTES: the connection drops after that
                                              // many bytes of a reply or of a block write
    bool garbage = false;                     // garbage: replies are bytes that are no reply
    bool badDigitCount = false;               // bad-digit-count: block header digit count is wrong
    bool badLength = false;                   // bad-length: block header length is wrong
    bool noFinalLf = false;                   // no-final-lf: replies lack their final line feed
    std::optional<std::int32_t> refuseWrite;  // refuse-write=CODE: writes refused with this SCPI code
    std::optional<std::int32_t> refuseUserWrite; // refuse-user-write=CODE: the same, of the user data area only
    bool corruptStore = false;                // corrupt-store: a data set written is kept with one byte changed
    bool restartFails = false;                // restart-fails: the store-and-restart request fails
    bool goneAfterRestart = false;            // gone-after-restart: after a restart the sensor stays unplugged
    bool locked = false;                      // locked: another client holds the exclusive lock
    bool unplugged = false;                   // unplugged: gone from the bus

    // Sets one fault from "NAME" or "NAME=VALUE". False, with `error` set to a
    // one-line text, for an unknown name, a missing, superfluous or bad value.
    bool Apply(const std::string& setting, std::string& error);
    // The faults in force as NAME[=VALUE] texts, in the order of the members.
    std::vector<std::string> Settings() const;
    bool Any() const { return !Settings().empty(); }

    bool operator==(const SensorFaults& other) const { return Settings() == other.Settings(); }
    bool operator!=(const SensorFaults& other) const { return !(*this == other); }
};

// The names of the faults, as Apply takes them, with "=..." where a value is needed.
const std::vector<std::string>& SensorFaultNames();

struct SensorIdentity
{
    std::string serialNumber;       // [A-Za-z0-9._-], 1 to 32 characters, not starting with '.'
    std::string model;              // begins with "TVX"
    std::string stockNumber;
    std::string firmware;           // e.g. "2.14"
    std::uint16_t productId = 0;    // USB product id
    bool hasUserData = true;        // the model has a user data area
    bool onUsb = true;              // reachable on USB while served
    std::string lanAddress;         // empty: not on the LAN

    bool operator==(const SensorIdentity& other) const;
};

// The models the simulator knows, with their USB product id and whether they
// have a user data area; any other model name beginning with "TVX" is taken
// with product id 0x00FF and a user data area.
struct SensorModel
{
    const char* name;
    std::uint16_t productId;
    bool hasUserData;
};
const std::vector<SensorModel>& SensorModels();
const char* const DefaultSensorModel = "TVX-18G";
const char* const SensorManufacturer = "Trobe&Lindvar";
const char* const DefaultSensorFirmware = "2.14";

// A sensor of `model` with the default firmware, on USB only, its product id
// and user data area as SensorModels() tells; the stock number is empty.
SensorIdentity NewSensorIdentity(const std::string& serial, const std::string& model);

// Tells why `serial` cannot name a simulated sensor, or gives an empty text.
std::string CheckSerialNumber(const std::string& serial);

enum class DataArea
{
    Factory,
    User
};

class SensorStore
{
public:
    explicit SensorStore(std::filesystem::path folder);

    // $XDG_DATA_HOME/Trobe-Lindvar/sensors, else ~/.local/share/Trobe-Lindvar/sensors.
    static std::filesystem::path DefaultFolder();

    const std::filesystem::path& Folder() const { return m_folder; }

    // Serial numbers of the sensors in the store, sorted; a store folder that
    // does not exist holds none.
    std::vector<std::string> Serials() const;
    bool Contains(const std::string& serial) const;
    // Removes the temporary files that a process killed while writing left
    // in the sensors' folders (never one that a live writer holds).
    void RemoveLeftovers() const;

    // Creates the store folder when needed and the sensor's folder with its
    // identity and factory data (the bytes of a data set file); the user area
    // starts empty. Refuses a serial already present.
    void Add(const SensorIdentity& identity, const std::string& factoryData);
    void Remove(const std::string& serial);

    SensorIdentity LoadIdentity(const std::string& serial) const;
    // The bytes of the area's data set file; empty for a user area holding nothing.
    std::string LoadArea(const std::string& serial, DataArea area) const;
    // Replaces the area's file atomically; empty data empties a user area.
    void SaveArea(const std::string& serial, DataArea area, const std::string& data);

    SensorFaults LoadFaults(const std::string& serial) const;
    void SaveFaults(const std::string& serial, const SensorFaults& faults);

    // Changes whenever the faults file is replaced (inode, size and modification
    // time), so that a server can re-read it only when it changed.
    std::string FaultsStamp(const std::string& serial) const;

private:
    // Throw for a bad serial number; the second also for a sensor not in the store.
    std::filesystem::path SensorFolder(const std::string& serial) const;
    std::filesystem::path ExistingSensorFolder(const std::string& serial) const;
    std::string NoSensorText(const std::string& serial) const;

    std::filesystem::path m_folder;
};
