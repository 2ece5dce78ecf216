#include "Resources.h"

#include "Client.h"
#include "ResourceName.h"
#include "RuntimeFolder.h"
#include "UsbDevice.h"
#include "Vxi11Client.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

namespace ostrel_visa
{

namespace
{

constexpr int usbProbeTimeoutMs = 500;
constexpr int broadcastWaitMs = 1000;

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Every USBTMC interface of every real device. One that cannot be opened or
// read is still named (by where it is when its serial number is unknown), and
// why goes to standard error.
std::vector<std::string> RealUsbResources()
{
    std::vector<std::string> names;
    for (const usbtmc::UsbTmcInterface& found : usbtmc::ListUsbTmcInterfaces()) {
        if (!found.problem.empty())
            std::fprintf(stderr, "%s\n", found.problem.c_str());
        ResourceName name;
        name.interfaceType = VI_INTF_USB;
        name.board = RealUsbBoard;
        name.vendorId = found.vendorId;
        name.productId = found.productId;
        name.serialNumber = found.serialRead && PlainText(found.serialNumber) ? found.serialNumber : NoSerialName(found.bus, found.address);
        name.interfaceNumber = found.interfaceNumber;
        names.push_back(name.Canonical());
    }
    return names;
}

std::vector<std::string> UsbResources()
{
    std::vector<std::string> names = RealUsbResources();
    const std::filesystem::path folder = usbtmc::RuntimeFolder();
    for (const std::string& serial : usbtmc::UsbSocketSerials(folder)) {
        usbtmc::Client client;
        usbtmc::DeviceInfo info;
        const auto deadline = usbtmc::DeadlineAfter(usbProbeTimeoutMs);
        if (client.Open(usbtmc::UsbSocketPath(folder, serial).string(), deadline) != usbtmc::LinkStatus::Ok ||
            client.QueryDeviceInfo(info, deadline) != usbtmc::LinkStatus::Ok || info.serialNumber != serial)
            continue;
        ResourceName name;
        name.interfaceType = VI_INTF_USB;
        name.board = SimulatedUsbBoard;
        name.vendorId = info.vendorId;
        name.productId = info.productId;
        name.serialNumber = info.serialNumber;
        names.push_back(name.Canonical());
    }
    return names;
}

std::string TcpipResource(const std::string& host)
{
    ResourceName name;
    name.interfaceType = VI_INTF_TCPIP;
    name.host = host;
    name.deviceName = "inst0";
    return name.Canonical();
}

std::vector<std::string> LanResources()
{
    std::vector<std::string> names;
    std::ifstream listed(LanInstrumentsFile());
    for (std::string line; std::getline(listed, line);) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const auto last = line.find_last_not_of(" \t\r");
        const std::string entry = line.substr(first, last - first + 1);
        const auto parsed = ParseResourceName(entry);
        if (parsed && parsed->interfaceType == VI_INTF_TCPIP)
            names.push_back(parsed->Canonical());
        else if (entry.find("::") == std::string::npos && entry.find_first_of(" \t") == std::string::npos)
            names.push_back(TcpipResource(entry));
    }
    for (const std::string& address : usbtmc::LanSensorAddresses(usbtmc::RuntimeFolder()))
        names.push_back(TcpipResource(address));
    for (const std::string& address : vxi11::DiscoverInstruments(broadcastWaitMs))
        names.push_back(TcpipResource(address));
    return names;
}

} // namespace

std::filesystem::path LanInstrumentsFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path folder;
    if (config && config[0] == '/')
        folder = config;
    else if (const char* home = std::getenv("HOME"))
        folder = std::filesystem::path(home) / ".config";
    return folder / "Trobe-Lindvar" / "lan-instruments.conf";
}

std::vector<std::string> FindResources(const std::string& expression)
{
    std::vector<std::string> candidates = UsbResources();
    if (MayMatchPrefix(expression, "TCPIP")) {
        const std::vector<std::string> lan = LanResources();
        candidates.insert(candidates.end(), lan.begin(), lan.end());
    }
    std::vector<std::string> found;
    std::set<std::string> seen;
    for (const std::string& name : candidates) {
        bool valid = true;
        if (seen.insert(Upper(name)).second && MatchesExpression(expression, name, valid))
            found.push_back(name);
    }
    return found;
}

} // namespace ostrel_visa
