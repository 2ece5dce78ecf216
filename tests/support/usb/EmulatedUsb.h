#pragma once

// Simulated sensors as real USB devices, at the level of the kernel's usbfs:
// a umockdev test bed in this process holds their sysfs entries and device
// nodes, and answers the usbfs requests that libusb (or any client under
// umockdev's preload library) makes on those nodes. A sensor's answers come
// from the simulator's own engine (SCPI, data areas, faults) of the store.
//
// Needs umockdev's preload library in the process: a test program's main()
// calls RestartUnderPreload first. One bus per process at a time.

#include "SensorStore.h"

class ServedSensor;

#include <cstdint>
#include <memory>
#include <string>

class EmulatedUsbBus
{
public:
    struct Options
    {
        bool serialReadable = true; // false: the serial string request stalls, sysfs has none
        bool kernelDriver = false;  // the kernel's usbtmc driver holds the interface at first
        bool noAccess = false;      // opening the node fails as for a user without the right
    };

    static bool Available();
    // Starts the program again with the preload library when it is not
    // loaded yet (and, in a sanitizer build, without the sanitizer's check
    // that its runtime comes first); returns only when it is loaded.
    static void RestartUnderPreload(char** argv);

    EmulatedUsbBus();
    ~EmulatedUsbBus();
    EmulatedUsbBus(const EmulatedUsbBus&) = delete;
    EmulatedUsbBus& operator=(const EmulatedUsbBus&) = delete;

    // A sensor (vendor 0x1B7E, its product id, USBTMC/USB488 on interface 0
    // with an interrupt endpoint): one a sensor server serves, which is then
    // the same sensor on its socket and here, or one of the store's of its
    // own. Gives its device address on bus 1.
    int AddSensor(std::shared_ptr<ServedSensor> sensor, const Options& options);
    int AddSensor(SensorStore& store, const std::string& serial, const Options& options);
    int AddSensor(SensorStore& store, const std::string& serial) { return AddSensor(store, serial, Options()); }
    // Another maker's instrument: vendor 0x1209, product 0x0001, serial
    // "C123", USBTMC without USB488 on interface 1 (interface 0 is vendor
    // specific); it answers "*IDN?".
    int AddCounter();

    // Lets other users read the test bed (as they may a real sysfs), except
    // the nodes of devices added with noAccess.
    void ShareWithOtherUsers();

    // The device leaves the bus: what is pending fails, the node goes.
    void Unplug(int address);
    bool KernelDriverBound(int address) const;
    // Times the kernel driver was detached and given back.
    int KernelDriverReattached(int address) const;

    struct Device;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
