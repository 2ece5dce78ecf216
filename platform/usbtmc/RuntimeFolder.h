#pragma once

// Where served simulated sensors can be reached: $XDG_RUNTIME_DIR/Trobe-Lindvar,
// else /tmp/Trobe-Lindvar-<uid>. One socket per sensor on USB, named
// "usb-<serial>.sock"; one announcement per sensor on the LAN.

#include <filesystem>
#include <string>
#include <vector>

namespace usbtmc
{

// The folder, without creating it.
std::filesystem::path RuntimeFolder();

// Creates the folder (mode 0700) when missing and checks that it is a folder
// of the current user that nobody else can write; throws std::runtime_error
// with a one-line text otherwise.
std::filesystem::path EnsureRuntimeFolder();

std::filesystem::path UsbSocketPath(const std::filesystem::path& folder, const std::string& serial);

// The serial numbers of the USB sockets in the folder, sorted (whether a
// server still answers on them is not checked).
std::vector<std::string> UsbSocketSerials(const std::filesystem::path& folder);

// A sensor served on the LAN is announced by a file "lan-<serial>.addr" that
// holds its address; the server writes it (whole) while it serves the sensor.
std::filesystem::path LanAnnouncementPath(const std::filesystem::path& folder, const std::string& serial);
// The addresses announced in the folder, sorted, each once.
std::vector<std::string> LanSensorAddresses(const std::filesystem::path& folder);

} // namespace usbtmc
