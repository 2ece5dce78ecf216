#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel_visa
{

// The LAN instruments a user lists by hand: lan-instruments.conf in the
// program's settings folder ($XDG_CONFIG_HOME/Trobe-Lindvar, else
// ~/.config/Trobe-Lindvar), one host or TCPIP resource string a line; blank
// lines and lines starting with '#' are left out.
std::filesystem::path LanInstrumentsFile();

// Every resource that matches `expression` (valid, see MatchesExpression):
// the served USB sensors, then the LAN instruments from the file, the
// simulated sensors served on the LAN and the answers to a portmapper
// broadcast, each once. The LAN is asked only when the expression could
// match a TCPIP name.
std::vector<std::string> FindResources(const std::string& expression);

} // namespace ostrel_visa
