#include "TvxControl2.h"

#include "ServedSensors.h"
#include "Tamrix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{

std::string ErrorText(int32_t status)
{
    std::string text(static_cast<std::size_t>(TvxGetErrorText(status, nullptr, 0)), '\0');
    EXPECT_EQ(TvxGetErrorText(status, text.data(), static_cast<int32_t>(text.size())), 0);
    return text.c_str();
}

// What the editor's transfers do on the driver path, one call sequence each.
struct Transfer
{
    int32_t status = 0;
    uint32_t code = 0;
    std::string data;
};

Transfer Upload(int32_t sensor, bool forceFactory, int32_t timeout = 5000)
{
    Transfer t;
    bool factory = forceFactory;
    if (!factory) {
        t.status = TvxEmptyAllBuffers(sensor);
        if (t.status == 0)
            t.status = TvxSendCommand(sensor, "cal:user:data?", timeout);
        if (t.status == 0)
            t.status = TvxGetError(sensor, &t.code);
        factory = t.status == 0 && t.code == TVX_SENSOR_ERROR_UNDEFINED_HEADER;
    }
    if (factory) {
        t.status = TvxEmptyAllBuffers(sensor);
        if (t.status == 0)
            t.status = TvxSendCommand(sensor, "cal:data?", timeout);
    }
    int32_t available = 0;
    uint32_t type = 99;
    int32_t length = 0;
    if (t.status == 0 && TvxDataAvailable(sensor, &available) == 0 && available &&
        TvxGetData(sensor, &type, nullptr, nullptr) == 0 && type == TVX_RESULT_BINARY &&
        TvxGetBinaryResultLength(sensor, &length) == 0) {
        t.data.resize(static_cast<std::size_t>(length));
        int32_t count = 0;
        EXPECT_EQ(TvxGetBinaryResult(sensor, t.data.data(), length, &count), 0);
        EXPECT_EQ(count, length);
    }
    return t;
}

// The write, then the completion's error query.
Transfer Download(int32_t sensor, const std::string& data, bool forceFactory)
{
    Transfer t;
    const char* command = "cal:data";
    if (!forceFactory) {
        t.status = TvxSendCommand(sensor, "cal:user:data #10", 5000);
        if (t.status == 0)
            t.status = TvxGetError(sensor, &t.code);
        if (t.status != 0 || (t.code != TVX_SENSOR_ERROR_BLOCK_DATA && t.code != TVX_SENSOR_ERROR_UNDEFINED_HEADER))
            return t;
        if (t.code == TVX_SENSOR_ERROR_BLOCK_DATA)
            command = "cal:user:data";
    }
    t.status = TvxEmptyErrorQueue(sensor);
    if (t.status == 0)
        t.status = TvxSendBinaryBlock(sensor, command, data.data(), static_cast<int32_t>(data.size()), 5000);
    if (t.status == 0)
        t.status = TvxGetError(sensor, &t.code);
    return t;
}

class TvxDriver : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(TvxOpenDriver(), 0); }
    void TearDown() override { TvxCloseDriver(); }

    int32_t Open(const std::string& serial)
    {
        int32_t sensor = 0;
        EXPECT_EQ(TvxOpenSensor(("TVXUSB::" + serial).c_str(), &sensor), 0);
        return sensor;
    }

    std::string Stored(const std::string& serial, DataArea area) { return sensors.Store().LoadArea(serial, area); }

    ServedSensors sensors;
};

struct DialogueCase
{
    const char* name;
    const char* model;
    bool hasUserData;
    const char* sample; // what is written
    bool forceFactory;
    DataArea area;      // where it must land
};

class Dialogue : public TvxDriver, public ::testing::WithParamInterface<DialogueCase>
{
};

// Download, store-and-restart, then upload on a new handle gives back the bytes.
TEST_P(Dialogue, WritesIntoTheRightAreaAndReadsItBack)
{
    const DialogueCase& c = GetParam();
    sensors.Add("100001", c.model, c.hasUserData);
    sensors.Start();
    const std::string data = SampleDataFor(c.sample, c.model, "100001");
    const DataArea other = c.area == DataArea::User ? DataArea::Factory : DataArea::User;
    const std::string otherBefore = Stored("100001", other);

    int32_t sensor = Open("100001");
    const Transfer down = Download(sensor, data, c.forceFactory);
    EXPECT_EQ(down.status, 0) << ErrorText(down.status);
    EXPECT_EQ(down.code, 0u) << ErrorText(static_cast<int32_t>(down.code));
    EXPECT_EQ(TvxSendVendorOutRequest(sensor, 1, 1, 0), 0);
    EXPECT_EQ(TvxSendCommand(sensor, "*cls", 1000), TVX_ERR_CONNECTION_LOST) << "the sensor restarted";
    EXPECT_EQ(ErrorText(TVX_ERR_CONNECTION_LOST), "The connection to the sensor was lost.");
    TvxCloseSensor(sensor);

    EXPECT_EQ(Stored("100001", c.area), data);
    EXPECT_EQ(Stored("100001", other), otherBefore);
    sensor = Open("100001");
    const Transfer up = Upload(sensor, c.forceFactory);
    EXPECT_EQ(up.status, 0) << ErrorText(up.status);
    EXPECT_EQ(up.data, data);
    TvxCloseSensor(sensor);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, Dialogue,
    ::testing::Values(DialogueCase{"UserDataSetIntoTheUserArea", "TVX-18G", true, "user_v3.cal", false, DataArea::User},
                      DialogueCase{"FactoryDataSetWhenForced", "TVX-18G", true, "factory_v4.cal", true, DataArea::Factory},
                      DialogueCase{"FactoryAreaOfAModelWithoutUserArea", "TVX-6G", false, "factory_v4.cal", false,
                                   DataArea::Factory}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
