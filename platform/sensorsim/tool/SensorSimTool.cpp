// ostrel-sensorsim: adds, shows, changes and removes the simulated sensors of a
// store and serves them. Exit status 0 on success, 1 when a command fails,
// 2 for a command line it does not take.

#include "RuntimeFolder.h"
#include "LibraryErrorTable.h"
#include "SensorSamples.h"
#include "SensorServer.h"
#include "SensorStore.h"
#include "StoreSupport.h"
#include "Tamrix.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const char* const Program = "ostrel-sensorsim";
const char* const StoreOption = "--store";

// A command line the tool does not take.
struct UsageError
{
    std::string text;
};

// Anything else that stops a command.
struct Failure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The words after the command: positional arguments and options, where the
// options in `valued` take the next word as their value; "--" ends the options.
class Arguments
{
public:
    Arguments(const std::vector<std::string>& words, const std::set<std::string>& flags,
              const std::set<std::string>& valued)
    {
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::string& word = words[i];
            if (word == "--") {
                m_positional.insert(m_positional.end(), words.begin() + static_cast<long>(i) + 1, words.end());
                break;
            }
            if (word.size() < 2 || word[0] != '-') {
                m_positional.push_back(word);
                continue;
            }
            if (!flags.count(word) && !valued.count(word))
                throw UsageError{"unknown option '" + OneLineText(word) + "'"};
            if (m_options.count(word))
                throw UsageError{"option " + word + " given twice"};
            if (valued.count(word) && i + 1 == words.size())
                throw UsageError{"option " + word + " needs a value"};
            m_options[word] = valued.count(word) ? words[++i] : std::string();
        }
    }

    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& option) const { return m_options.count(option) != 0; }
    std::optional<std::string> Value(const std::string& option) const
    {
        const auto found = m_options.find(option);
        return found == m_options.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

    // The first positional argument as a serial number.
    std::string Serial() const
    {
        const std::string problem = CheckSerialNumber(m_positional.at(0));
        if (!problem.empty())
            throw UsageError{problem};
        return m_positional[0];
    }

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
};

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string joined;
    for (const std::string& part : parts)
        joined += (joined.empty() ? "" : separator) + part;
    return joined;
}

std::string Where(const SensorIdentity& identity)
{
    std::vector<std::string> places;
    if (identity.onUsb)
        places.emplace_back("usb");
    if (!identity.lanAddress.empty())
        places.push_back("lan " + identity.lanAddress);
    return places.empty() ? "not reachable" : Join(places, ", ");
}

std::string FaultsText(const SensorFaults& faults)
{
    return faults.Any() ? Join(faults.Settings(), ", ") : "none";
}

bool StartsWithTvx(const std::string& model)
{
    return model.compare(0, 3, "TVX") == 0;
}

// Why a text cannot be a model or stock number (one line, and one the data set
// library takes as a sensor name), or an empty text.
std::string TextProblem(const char* what, const std::string& text, bool model)
{
    bool fits = OneLineText(text) == text && (text.empty() || (text.front() != ' ' && text.back() != ' '));
    if (model)
        fits = fits && StartsWithTvx(text) && text.find(' ') == std::string::npos;
    if (fits) {
        CTamrix scratch;
        scratch.EnableUtf8Support(true);
        try {
            scratch.SetSensorName(text);
        } catch (const TvxKyyCalcDLLError&) {
            fits = false;
        }
    }
    if (fits)
        return {};
    return std::string("Bad ") + what + " '" + OneLineText(text) + "': use one line of at most " +
           std::to_string(maxInfoStringLength) + " characters" +
           (model ? ", no blanks, beginning with TVX" : ", no blanks at either end");
}

// Four decimal numbers of 0 to 255 with dots between, nothing else.
bool IsDottedIpv4(const std::string& address)
{
    in_addr parsed{};
    return address.size() <= 15 && ::inet_pton(AF_INET, address.c_str(), &parsed) == 1;
}

CTamrix ReadDataSet(const std::string& data, const std::string& what)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    try {
        CTamrixUtil::LoadTMXFromBuffer2(set, data);
    } catch (const TvxKyyCalcDLLError& error) {
        throw Failure(what + " is no valid data set file: " + LibraryErrorText(error.code));
    }
    return set;
}

// The bytes of a factory data set file that names this sensor; takes the model
// from the file when none is given.
std::string FactoryFileData(const std::string& file, const std::string& serial, std::optional<std::string>& model,
                            const std::optional<std::string>& stock)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    try {
        CTamrixUtil::LoadTMXFromFile2(set, file.c_str());
    } catch (const TvxKyyCalcDLLError& error) {
        throw Failure("Cannot load " + file + ": " +
                      (error.code == TamrixErrorCode::FileRead ? "not a readable data set file"
                                                               : LibraryErrorText(error.code)));
    }
    if (set.GetChannelNumber() == 0)
        throw Failure(file + " holds a user data set, not a factory data set");
    const std::string name = set.GetSensorName();
    if (!model) {
        const std::string problem = TextProblem("model", name, true);
        if (!problem.empty())
            throw Failure(problem + " (the sensor name in " + file + ")");
        model = name;
    }
    if (name != *model || set.GetSerialNumber() != serial || (stock && *stock != set.GetStockNumber()))
        throw Failure(file + " is for " + OneLineText(name) + " serial " + OneLineText(set.GetSerialNumber()) +
                      " stock " + OneLineText(set.GetStockNumber()) + ", not for " + *model + " serial " + serial +
                      (stock ? " stock " + *stock : std::string()));
    auto data = ReadFileIfPresent(file);
    if (!data)
        throw Failure("Cannot read " + file + ": it is gone");
    return *data;
}

int RunAdd(SensorStore& store, const Arguments& arguments)
{
    const std::string serial = arguments.Serial();
    std::optional<std::string> model = arguments.Value("--model");
    const std::optional<std::string> stock = arguments.Value("--stock");
    const std::optional<std::string> lan = arguments.Value("--lan");
    const std::optional<std::string> factoryFile = arguments.Value("--factory");
    if (arguments.Has("--user-data") && arguments.Has("--no-user-data"))
        throw UsageError{"give --user-data or --no-user-data, not both"};
    const auto check = [](const char* what, const std::optional<std::string>& text, bool isModel) {
        const std::string problem = text ? TextProblem(what, *text, isModel) : std::string();
        if (!problem.empty())
            throw UsageError{problem};
    };
    check("model", model, true);
    check("stock number", stock, false);
    if (lan && !IsDottedIpv4(*lan))
        throw UsageError{"Bad LAN address '" + OneLineText(*lan) + "': use a dotted IPv4 address such as 127.0.0.2"};

    std::string factoryData;
    if (factoryFile) {
        factoryData = FactoryFileData(*factoryFile, serial, model, stock);
    } else {
        model = model.value_or(DefaultSensorModel);
        factoryData = SampleDataFor("factory_v3.cal", *model, serial, stock);
    }
    SensorIdentity identity = NewSensorIdentity(serial, *model);
    identity.stockNumber = ReadDataSet(factoryData, "The factory data").GetStockNumber();
    if (arguments.Has("--user-data") || arguments.Has("--no-user-data"))
        identity.hasUserData = arguments.Has("--user-data");
    identity.onUsb = arguments.Has("--usb") || !lan;
    identity.lanAddress = lan.value_or("");
    store.Add(identity, factoryData);
    std::cout << "Added simulated sensor " << serial << " (" << identity.model << ", " << Where(identity) << ") to "
              << store.Folder().string() << '\n';
    return 0;
}

int RunList(SensorStore& store, const Arguments&)
{
    const std::vector<std::string> serials = store.Serials();
    if (serials.empty())
        std::cout << "No simulated sensors in " << store.Folder().string() << '\n';
    int status = 0;
    for (const std::string& serial : serials) {
        try {
            const SensorIdentity identity = store.LoadIdentity(serial);
            const SensorFaults faults = store.LoadFaults(serial);
            std::cout << serial << "  " << identity.model << "  " << Where(identity)
                      << (faults.Any() ? "  faults: " + FaultsText(faults) : std::string()) << '\n';
        } catch (const SensorStoreError& error) {
            // One broken sensor does not hide the others.
            std::cerr << Program << ": " << error.what() << '\n';
            status = 1;
        }
    }
    return status;
}

void ShowLine(const std::string& label, const std::string& value)
{
    std::cout << label << ':' << std::string(label.size() < 19 ? 19 - label.size() : 1, ' ') << value << '\n';
}

void ShowArea(const std::string& label, const CTamrix& set)
{
    const long devices = set.GetSParaDeviceNumber();
    ShowLine(label, (set.GetChannelNumber() == 0 ? std::string("user data set")
                                                 : "factory data set (channel " +
                                                       std::to_string(set.GetChannelNumber()) + ")") +
                        ", sensor " + OneLineText(set.GetSensorName()) + ", serial " +
                        OneLineText(set.GetSerialNumber()) + ", " +
                        std::to_string(devices) + (devices == 1 ? " device" : " devices"));
    for (long device = 0; device < devices; ++device) {
        const std::string mnemonic = set.GetSPDMnemonic(device);
        std::cout << "  " << device + 1 << ". " << (mnemonic.empty() ? "(no mnemonic)" : OneLineText(mnemonic)) << ": "
                  << set.GetSParaFreqNumber(device) << " points\n";
    }
}

int RunShow(SensorStore& store, const Arguments& arguments)
{
    const std::string serial = arguments.Serial();
    const SensorIdentity identity = store.LoadIdentity(serial);
    const std::string what = "The factory data area of simulated sensor " + serial;
    const CTamrix factory = ReadDataSet(store.LoadArea(serial, DataArea::Factory), what);
    const std::string userData = identity.hasUserData ? store.LoadArea(serial, DataArea::User) : std::string();
    const SensorFaults faults = store.LoadFaults(serial);

    char productId[8];
    std::snprintf(productId, sizeof productId, "0x%04X", static_cast<unsigned>(identity.productId));
    ShowLine("Manufacturer", SensorManufacturer);
    ShowLine("Model", identity.model);
    ShowLine("Serial number", identity.serialNumber);
    ShowLine("Firmware", identity.firmware);
    ShowLine("Stock number", identity.stockNumber);
    ShowLine("USB product id", productId);
    ShowLine("User data area", identity.hasUserData ? "yes" : "no");
    ShowLine("Reachable on", Where(identity));
    std::cout << "Calibration dates:\n";
    const std::pair<const CMeasurement*, const char*> dates[] = {
        {CMeasurement::Misc, "Miscellaneous"}, {CMeasurement::Abso, "Absolute"},
        {CMeasurement::Refl, "Reflection"},    {CMeasurement::Temp, "Temperature"},
        {CMeasurement::Lin, "Linearity"},
    };
    for (const auto& [measurement, label] : dates)
        ShowLine(std::string("  ") + label, OneLineText(factory.GetCalDate(measurement)));
    ShowArea("Factory area", factory);
    if (!identity.hasUserData)
        ShowLine("User area", "none");
    else if (userData.empty())
        ShowLine("User area", "empty");
    else
        ShowArea("User area", ReadDataSet(userData, "The user data area of simulated sensor " + serial));
    ShowLine("Faults", FaultsText(faults));
    return 0;
}

int RunExport(SensorStore& store, const Arguments& arguments)
{
    const std::string serial = arguments.Serial();
    const std::string& areaName = arguments.Positional()[1];
    const std::string& file = arguments.Positional()[2];
    if (areaName != "factory" && areaName != "user")
        throw UsageError{"Bad data area '" + OneLineText(areaName) + "': use factory or user"};
    const DataArea area = areaName == "factory" ? DataArea::Factory : DataArea::User;
    const SensorIdentity identity = store.LoadIdentity(serial);
    if (area == DataArea::User && !identity.hasUserData)
        throw Failure("Simulated sensor " + serial + " (" + identity.model + ") has no user data area");
    const std::string data = store.LoadArea(serial, area);
    if (data.empty())
        throw Failure("The user data area of simulated sensor " + serial + " is empty; nothing exported");
    WriteFileAtomically(file, data);
    std::cout << "Exported the " << areaName << " data area of simulated sensor " << serial << " to " << file << '\n';
    return 0;
}

int RunFault(SensorStore& store, const Arguments& arguments)
{
    const std::string serial = arguments.Serial();
    const std::vector<std::string> settings(arguments.Positional().begin() + 1, arguments.Positional().end());
    const bool clear = arguments.Has("--clear");
    if (clear == !settings.empty())
        throw UsageError{"give either NAME[=VALUE] settings or --clear"};
    std::string error;
    SensorFaults checked;
    for (const std::string& setting : settings) {
        if (!checked.Apply(setting, error))
            throw UsageError{error};
    }
    SensorFaults faults = clear ? SensorFaults() : store.LoadFaults(serial);
    for (const std::string& setting : settings)
        faults.Apply(setting, error);
    store.SaveFaults(serial, faults);
    std::cout << "Faults of simulated sensor " << serial << ": " << FaultsText(faults) << '\n';
    return 0;
}

int RunRemove(SensorStore& store, const Arguments& arguments)
{
    const std::string serial = arguments.Serial();
    store.Remove(serial);
    std::cout << "Removed simulated sensor " << serial << " from " << store.Folder().string() << '\n';
    return 0;
}

int RunServe(SensorStore& store, const Arguments&)
{
    // Blocked before the server starts its threads, so that they inherit the
    // mask and only sigwait below receives these signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::size_t count = store.Serials().size();
    SensorServer server(store, usbtmc::EnsureRuntimeFolder());
    try {
        server.Start();
    } catch (const SensorServerError& error) {
        throw Failure(error.what());
    }
    std::cout << "Serving " << count << (count == 1 ? " simulated sensor" : " simulated sensors") << " from "
              << store.Folder().string() << "; stop with Ctrl+C." << std::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    server.Stop();
    return 0;
}

struct Command
{
    const char* name;
    const char* synopsis;
    std::set<std::string> flags;
    std::set<std::string> valued;
    std::size_t fewestArguments;
    std::size_t mostArguments;
    int (*run)(SensorStore&, const Arguments&);
};

const std::vector<Command>& Commands()
{
    const std::size_t any = static_cast<std::size_t>(-1);
    static const std::vector<Command> commands{
        {"add",
         "add SERIAL [--model M] [--stock S] [--factory FILE] [--user-data|--no-user-data] [--usb] [--lan ADDRESS]",
         {"--user-data", "--no-user-data", "--usb"},
         {"--model", "--stock", "--factory", "--lan"},
         1,
         1,
         RunAdd},
        {"list", "list", {}, {}, 0, 0, RunList},
        {"show", "show SERIAL", {}, {}, 1, 1, RunShow},
        {"export", "export SERIAL factory|user FILE", {}, {}, 3, 3, RunExport},
        {"fault", "fault SERIAL NAME[=VALUE]... | fault SERIAL --clear", {"--clear"}, {}, 1, any, RunFault},
        {"remove", "remove SERIAL", {}, {}, 1, 1, RunRemove},
        {"serve", "serve", {}, {}, 0, 0, RunServe},
    };
    return commands;
}

std::string UsageLine()
{
    std::string names;
    for (const Command& command : Commands())
        names += (names.empty() ? "" : "|") + std::string(command.name);
    return std::string("usage: ") + Program + " [" + StoreOption + " DIR] " + names + " ...";
}

// Takes "--store DIR" out of the words before a "--", wherever it stands.
std::optional<fs::path> TakeStoreFolder(std::vector<std::string>& words)
{
    std::optional<fs::path> folder;
    const auto end = std::find(words.begin(), words.end(), "--");
    auto option = std::find(words.begin(), end, StoreOption);
    if (option == end)
        return folder;
    if (option + 1 == words.end() || option[1].empty())
        throw UsageError{std::string("option ") + StoreOption + " needs a folder"};
    folder = option[1];
    words.erase(option, option + 2);
    if (std::find(words.begin(), std::find(words.begin(), words.end(), "--"), StoreOption) != words.end())
        throw UsageError{std::string("option ") + StoreOption + " given twice"};
    return folder;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    const Command* command = nullptr;
    try {
        const std::optional<fs::path> folder = TakeStoreFolder(words);
        if (words.empty())
            throw UsageError{"no command given"};
        if (words[0] == "--help" || words[0] == "-h") {
            std::cout << UsageLine() << '\n';
            for (const Command& known : Commands())
                std::cout << "       " << Program << " [" << StoreOption << " DIR] " << known.synopsis << '\n';
            return 0;
        }
        for (const Command& known : Commands()) {
            if (words[0] == known.name)
                command = &known;
        }
        if (!command)
            throw UsageError{"unknown command '" + OneLineText(words[0]) + "'"};
        const Arguments arguments({words.begin() + 1, words.end()}, command->flags, command->valued);
        const std::size_t count = arguments.Positional().size();
        if (count < command->fewestArguments)
            throw UsageError{std::string("missing arguments for ") + command->name};
        if (count > command->mostArguments)
            throw UsageError{std::string("too many arguments for ") + command->name};
        SensorStore store(folder ? *folder : SensorStore::DefaultFolder());
        return command->run(store, arguments);
    } catch (const UsageError& error) {
        std::cerr << Program << ": " << error.text << '\n' << UsageLine() << '\n';
        if (command)
            std::cerr << "       " << Program << " [" << StoreOption << " DIR] " << command->synopsis << '\n';
        return 2;
    } catch (const std::exception& error) {
        std::cerr << Program << ": " << error.what() << '\n';
        return 1;
    }
}
