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
#include <vector>

class EmulatedUsbBus
{
public:
    struct Options
    {
        bool serialReadable = true; // false: the serial string request stalls, sysfs has none
        bool kernelDriver = false;  // the kernel's usbtmc driver holds the interface at first
        bool noAccess = false;      // opening the node fails as for a user without the right
        bool fullSpeed = false;     // on a 12 Mbit/s link: bulk packets of 64 bytes, not 512
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
    // A sensor's store-and-restart request makes it leave the bus once the
    // request is answered and come back this much later at a new address,
    // as a real one does, later than a command may take (not when its faults
    // keep it unplugged).
    static constexpr int restartMs = 1200;
    // The address of the device with this serial number now on the bus, or 0.
    int AddressOf(const std::string& serial) const;
    // While held, the device takes no bulk-OUT data (a real one NAKs): the
    // host's transfers stay pending until they time out.
    void HoldBulkOut(int address, bool hold);
    // The USBTMC class requests and clear-halts the device was sent since the
    // last call, by name ("INITIATE_ABORT_BULK_OUT", "CLEAR_HALT 0x01", ...).
    std::vector<std::string> TakeRequests(int address);
    bool KernelDriverBound(int address) const;
    // Times the kernel driver was detached and given back.
    int KernelDriverReattached(int address) const;

    struct Device;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
