#include "EmulatedUsb.h"
#include "ServedSensors.h"
#include "UsbDevice.h"

#include <gtest/gtest.h>

namespace
{

TEST(Probe, ListsTheEmulatedSensor)
{
    ASSERT_TRUE(EmulatedUsbBus::Available());
    ServedSensors sensors;
    sensors.Add("100001");
    EmulatedUsbBus bus;
    bus.AddSensor(sensors.Store(), "100001");
    bus.AddCounter();
    for (const auto& found : usbtmc::ListUsbTmcInterfaces())
        std::printf("%s if %d serial %s product %s problem %s\n", found.Where().c_str(), found.interfaceNumber,
                    found.serialNumber.c_str(), found.product.c_str(), found.problem.c_str());
    usbtmc::UsbTmcSelector selector;
    selector.vendorId = 0x1B7E;
    selector.serialNumber = "100001";
    std::unique_ptr<usbtmc::Pipes> pipes;
    usbtmc::DeviceInfo info;
    std::string problem;
    ASSERT_EQ(usbtmc::OpenUsbTmc(selector, pipes, info, problem), usbtmc::OpenResult::Ok) << problem;
    usbtmc::Client client;
    client.Open(std::move(pipes));
    EXPECT_EQ(client.Write({"*idn?\n"}, true, usbtmc::DeadlineAfter(2000)), usbtmc::LinkStatus::Ok);
    char buffer[200];
    std::size_t count = 0;
    bool end = false;
    EXPECT_EQ(client.Read(buffer, sizeof buffer, count, end, usbtmc::DeadlineAfter(2000)), usbtmc::LinkStatus::Ok);
    EXPECT_EQ(std::string(buffer, count), "Trobe&Lindvar,TVX-18G,100001,2.14\n");
    std::uint8_t status = 0;
    EXPECT_EQ(client.ReadStatusByte(status, usbtmc::DeadlineAfter(2000)), usbtmc::LinkStatus::Ok);
    EXPECT_EQ(client.Clear(usbtmc::DeadlineAfter(2000)), usbtmc::LinkStatus::Ok);
}

} // namespace
