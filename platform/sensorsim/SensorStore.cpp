#include "SensorStore.h"

#include "FileDescriptor.h"
#include "StoreSupport.h"
#include "TemporaryFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <map>
#include <sstream>
#include <system_error>
#include <tuple>

namespace fs = std::filesystem;

namespace
{

const char* const IdentityFile = "sensor.conf";
const char* const FactoryFile = "factory.cal";
const char* const UserFile = "user.cal";
const char* const FaultsFile = "faults.conf";

[[noreturn]] void Fail(const std::string& text)
{
    throw SensorStoreError(text);
}

std::string ErrnoText()
{
    return std::generic_category().message(errno);
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The lines of a hand-editable file that say something (not blank, no comment), trimmed.
std::vector<std::pair<int, std::string>> MeaningfulLines(const std::string& text)
{
    std::vector<std::pair<int, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = Trim(line);
        if (!line.empty() && line[0] != '#')
            lines.emplace_back(number, line);
    }
    return lines;
}

// Makes a rename or removal in `folder` survive a crash; nothing to report
// when that fails, the change itself is done.
void SyncFolder(const fs::path& folder)
{
    FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.IsOpen())
        ::fsync(descriptor.Get());
}

// A new empty folder ".<purpose>-XXXXXX" in `parent`, removed with everything
// in it unless Keep() is called. Its name is no serial number, so the store
// never lists it.
class TemporaryFolder
{
public:
    TemporaryFolder(const fs::path& parent, const std::string& purpose)
    {
        std::string pattern = (parent / ("." + purpose + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            Fail("Cannot create a folder in " + parent.string() + ": " + ErrnoText());
        m_path = pattern;
    }
    ~TemporaryFolder()
    {
        if (m_path.empty())
            return;
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const fs::path& Path() const { return m_path; }
    void Keep() { m_path.clear(); }

private:
    fs::path m_path;
};

// Whether a text survives a "key = value" line unchanged.
bool IsOneLine(const std::string& text)
{
    return Trim(text) == text && OneLineText(text) == text;
}

std::string IdentityText(const SensorIdentity& identity)
{
    char productId[8];
    std::snprintf(productId, sizeof productId, "0x%04X", static_cast<unsigned>(identity.productId));
    const auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    std::ostringstream text;
    text << "model = " << identity.model << '\n'
         << "stock-number = " << identity.stockNumber << '\n'
         << "firmware = " << identity.firmware << '\n'
         << "product-id = " << productId << '\n'
         << "user-data = " << yesNo(identity.hasUserData) << '\n'
         << "usb = " << yesNo(identity.onUsb) << '\n'
         << "lan = " << identity.lanAddress << '\n';
    return text.str();
}

std::optional<std::uint16_t> ReadProductId(const std::string& text)
{
    if (text.size() < 3 || text.size() > 6 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint16_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + 2, end, value, 16);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

SensorIdentity ReadIdentity(const std::string& serial, const std::string& text, const fs::path& file)
{
    const auto broken = [&](const std::string& what) { Fail("Broken sensor file " + file.string() + ": " + what); };
    std::map<std::string, std::string> values;
    for (const auto& [number, line] : MeaningfulLines(text)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            broken("line " + std::to_string(number) + " is not 'key = value'");
        values[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
    const auto required = [&](const char* key) -> const std::string& {
        const auto found = values.find(key);
        if (found == values.end() || found->second.empty())
            broken(std::string("no ") + key);
        return found->second;
    };
    const auto yesNo = [&](const char* key) {
        const std::string& value = required(key);
        if (value != "yes" && value != "no")
            broken(std::string(key) + " '" + OneLineText(value) + "' is neither yes nor no");
        return value == "yes";
    };
    SensorIdentity identity;
    identity.serialNumber = serial;
    identity.model = required("model");
    identity.stockNumber = values["stock-number"];
    identity.firmware = required("firmware");
    const auto productId = ReadProductId(required("product-id"));
    if (!productId)
        broken("product-id '" + OneLineText(values["product-id"]) + "' is not 0x0000 to 0xFFFF");
    identity.productId = *productId;
    identity.hasUserData = yesNo("user-data");
    identity.onUsb = yesNo("usb");
    identity.lanAddress = values["lan"];
    return identity;
}

} // namespace

std::optional<std::string> ReadFileIfPresent(const fs::path& path)
{
    // Non-blocking, so that a FIFO in the way cannot hang the open.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsOpen()) {
        if (errno == ENOENT)
            return std::nullopt;
        Fail("Cannot read " + path.string() + ": " + ErrnoText());
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        Fail("Cannot read " + path.string() + ": " + ErrnoText());
    if (!S_ISREG(status.st_mode))
        Fail("Cannot read " + path.string() + ": not a regular file");
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got == 0)
            return data;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Fail("Cannot read " + path.string() + ": " + ErrnoText());
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

void WriteFileAtomically(const fs::path& path, const std::string& data)
{
    try {
        TemporaryFile file(path.string());
        file.WriteAllAndClose(data);
        file.ReplaceTarget();
    } catch (const std::system_error& error) {
        Fail("Cannot write " + path.string() + ": " + error.code().message());
    }
}

const std::vector<SensorModel>& SensorModels()
{
    static const std::vector<SensorModel> models{
        {"TVX-18G", 0x0118, true},
        {"TVX-33G", 0x0133, true},
        {"TVX-40G", 0x0140, true},
        {"TVX-6G", 0x0106, false},
    };
    return models;
}

bool SensorIdentity::operator==(const SensorIdentity& other) const
{
    const auto fields = [](const SensorIdentity& identity) {
        return std::tie(identity.serialNumber, identity.model, identity.stockNumber, identity.firmware,
                        identity.productId, identity.hasUserData, identity.onUsb, identity.lanAddress);
    };
    return fields(*this) == fields(other);
}

SensorIdentity NewSensorIdentity(const std::string& serial, const std::string& model)
{
    SensorIdentity identity;
    identity.serialNumber = serial;
    identity.model = model;
    identity.firmware = DefaultSensorFirmware;
    identity.productId = 0x00FF;
    identity.hasUserData = true;
    for (const SensorModel& known : SensorModels()) {
        if (model == known.name) {
            identity.productId = known.productId;
            identity.hasUserData = known.hasUserData;
        }
    }
    return identity;
}

std::string CheckSerialNumber(const std::string& serial)
{
    const auto allowed = [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '_' || c == '-'; };
    if (!serial.empty() && serial.size() <= 32 && serial[0] != '.' &&
        std::all_of(serial.begin(), serial.end(), [&](char c) { return c < 0x7F && allowed(c); }))
        return {};
    return "Bad serial number '" + OneLineText(serial) +
           "': use 1 to 32 letters, digits, '.', '_' or '-', not starting with '.'";
}

std::string OneLineText(const std::string& text)
{
    std::string shown = text;
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return shown;
}

SensorStore::SensorStore(fs::path folder) : m_folder(std::move(folder)) {}

fs::path SensorStore::DefaultFolder()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (dataHome && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            Fail("Cannot find the store folder: neither XDG_DATA_HOME nor HOME names a folder");
        base = fs::path(home) / ".local" / "share";
    }
    return base / "Trobe-Lindvar" / "sensors";
}

std::vector<std::string> SensorStore::Serials() const
{
    std::vector<std::string> serials;
    try {
        std::error_code error;
        fs::directory_iterator entries(m_folder, error);
        if (error == std::errc::no_such_file_or_directory)
            return serials;
        if (error)
            Fail("Cannot read the store folder " + m_folder.string() + ": " + error.message());
        for (const fs::directory_entry& entry : entries) {
            const std::string name = entry.path().filename().string();
            if (Contains(name))
                serials.push_back(name);
        }
    } catch (const fs::filesystem_error& error) {
        Fail("Cannot read the store folder " + m_folder.string() + ": " + error.code().message());
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

bool SensorStore::Contains(const std::string& serial) const
{
    std::error_code ignored;
    return CheckSerialNumber(serial).empty() && fs::is_regular_file(m_folder / serial / IdentityFile, ignored);
}

fs::path SensorStore::SensorFolder(const std::string& serial) const
{
    const std::string problem = CheckSerialNumber(serial);
    if (!problem.empty())
        Fail(problem);
    return m_folder / serial;
}

fs::path SensorStore::ExistingSensorFolder(const std::string& serial) const
{
    fs::path folder = SensorFolder(serial);
    if (!Contains(serial))
        Fail(NoSensorText(serial));
    return folder;
}

std::string SensorStore::NoSensorText(const std::string& serial) const
{
    return "No simulated sensor " + serial + " in " + m_folder.string();
}

void SensorStore::RemoveLeftovers() const
{
    std::vector<std::string> serials;
    try {
        serials = Serials();
    } catch (const SensorStoreError&) {
        return; // a store that cannot be read keeps its leftovers
    }
    for (const std::string& serial : serials)
        RemoveLeftoverTemporaryFiles(SensorFolder(serial).string());
}

void SensorStore::Add(const SensorIdentity& identity, const std::string& factoryData)
{
    const std::string& serial = identity.serialNumber;
    const fs::path target = SensorFolder(serial);
    const std::string refusal = "Cannot add simulated sensor " + serial + " to " + m_folder.string() + ": ";
    for (const std::string* text : {&identity.model, &identity.stockNumber, &identity.firmware, &identity.lanAddress}) {
        if (!IsOneLine(*text))
            Fail(refusal + "'" + OneLineText(*text) + "' is not one line of text without blanks at its ends");
    }
    if (identity.model.empty() || identity.firmware.empty() || factoryData.empty())
        Fail(refusal + "it needs a model, a firmware version and factory data");
    const std::string exists = "Simulated sensor " + serial + " already exists in " + m_folder.string();
    if (Contains(serial))
        Fail(exists);
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error)
        Fail("Cannot create the store folder " + m_folder.string() + ": " + error.message());

    TemporaryFolder building(m_folder, "add-" + serial);
    WriteFileAtomically(building.Path() / IdentityFile, IdentityText(identity));
    WriteFileAtomically(building.Path() / FactoryFile, factoryData);
    int renamed = ::renameat2(AT_FDCWD, building.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    // A file system without RENAME_NOREPLACE: rename fails anyway over a
    // sensor folder, which is never empty.
    if (renamed != 0 && errno == EINVAL)
        renamed = ::rename(building.Path().c_str(), target.c_str());
    if (renamed != 0) {
        if (errno == EEXIST || errno == ENOTEMPTY)
            Fail(Contains(serial) ? exists : refusal + target.string() + " is in the way");
        Fail(refusal + ErrnoText());
    }
    building.Keep();
    SyncFolder(m_folder);
}

void SensorStore::Remove(const std::string& serial)
{
    const fs::path folder = ExistingSensorFolder(serial);
    // Renamed over an empty folder of a unique name first, so that readers see
    // the whole sensor or none of it while its files are deleted.
    TemporaryFolder removed(m_folder, "remove-" + serial);
    if (::rename(folder.c_str(), removed.Path().c_str()) != 0) {
        if (errno == ENOENT)
            Fail(NoSensorText(serial));
        Fail("Cannot remove simulated sensor " + serial + " from " + m_folder.string() + ": " + ErrnoText());
    }
    SyncFolder(m_folder);
}

SensorIdentity SensorStore::LoadIdentity(const std::string& serial) const
{
    const fs::path file = SensorFolder(serial) / IdentityFile;
    const auto text = ReadFileIfPresent(file);
    if (!text)
        Fail(NoSensorText(serial));
    return ReadIdentity(serial, *text, file);
}

namespace
{
const char* AreaFile(DataArea area)
{
    return area == DataArea::Factory ? FactoryFile : UserFile;
}
} // namespace

std::string SensorStore::LoadArea(const std::string& serial, DataArea area) const
{
    const fs::path file = ExistingSensorFolder(serial) / AreaFile(area);
    auto data = ReadFileIfPresent(file);
    if (!data && area == DataArea::Factory)
        Fail("Broken simulated sensor " + serial + ": " + file.string() + " is missing");
    return data.value_or(std::string());
}

void SensorStore::SaveArea(const std::string& serial, DataArea area, const std::string& data)
{
    const fs::path file = ExistingSensorFolder(serial) / AreaFile(area);
    if (!data.empty()) {
        WriteFileAtomically(file, data);
        return;
    }
    if (area == DataArea::Factory)
        Fail("The factory area of simulated sensor " + serial + " in " + m_folder.string() + " cannot be emptied");
    if (::unlink(file.c_str()) != 0 && errno != ENOENT)
        Fail("Cannot empty " + file.string() + ": " + ErrnoText());
    SyncFolder(file.parent_path());
}

SensorFaults SensorStore::LoadFaults(const std::string& serial) const
{
    const fs::path file = ExistingSensorFolder(serial) / FaultsFile;
    SensorFaults faults;
    const auto text = ReadFileIfPresent(file);
    if (!text)
        return faults;
    for (const auto& [number, line] : MeaningfulLines(*text)) {
        std::string error;
        if (!faults.Apply(line, error))
            Fail("Broken faults file " + file.string() + ": line " + std::to_string(number) + ": " + error);
    }
    return faults;
}

void SensorStore::SaveFaults(const std::string& serial, const SensorFaults& faults)
{
    std::string text;
    for (const std::string& setting : faults.Settings())
        text += setting + '\n';
    WriteFileAtomically(ExistingSensorFolder(serial) / FaultsFile, text);
}

std::string SensorStore::FaultsStamp(const std::string& serial) const
{
    const fs::path file = SensorFolder(serial) / FaultsFile;
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return {};
        Fail("Cannot read " + file.string() + ": " + ErrnoText());
    }
    return std::to_string(status.st_ino) + ':' + std::to_string(status.st_size) + ':' +
           std::to_string(status.st_mtim.tv_sec) + '.' + std::to_string(status.st_mtim.tv_nsec);
}
