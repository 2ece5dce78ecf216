#pragma once

// Results of driver queries, read without a word to the user: each function
// gives a driver status, so that a worker thread can use it and the window
// thread report it. None throws.

#include <cstdint>
#include <string>
#include <vector>

// The next result of `type` (TVX_RESULT_TEXT or TVX_RESULT_BINARY), waited for
// up to `timeout` milliseconds; results of the other type before it are
// dropped. TVX_ERR_TIMEOUT when none came, TVX_ERR_NO_RESULT when only others did.
std::int32_t AwaitDriverResult(std::int32_t sensor, std::uint32_t type, std::int32_t timeout);

// The next text result, without its terminating zero.
std::int32_t ReadDriverTextResult(std::int32_t sensor, std::int32_t timeout, std::string& text);

// The next binary result. Its length is checked against the largest data set
// before anything is allocated (TVX_ERR_REPLY_TOO_LONG).
std::int32_t ReadDriverBlockResult(std::int32_t sensor, std::int32_t timeout, std::string& block);

// Empties the sensor's buffers, sends the query and reads its result.
std::int32_t QueryDriverText(std::int32_t sensor, const char* query, std::int32_t timeout, std::string& text);
std::int32_t QueryDriverBlock(std::int32_t sensor, const char* query, std::int32_t timeout, std::string& block);

struct DriverSensor
{
    std::string name;
    std::string type;
    std::string serialNumber;
};

// The sensors the driver lists as present, in its order.
std::vector<DriverSensor> ListDriverSensors();
