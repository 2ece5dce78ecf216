#include "TransferWorkers.h"

#include "DriverResults.h"
#include "PostMessage.h"
#include "ScpiHelpers.h"
#include "TvxControl2.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

namespace
{

constexpr std::uint32_t undefinedHeader = TVX_SENSOR_ERROR_UNDEFINED_HEADER;
constexpr std::uint32_t blockRefused = TVX_SENSOR_ERROR_BLOCK_DATA;

WPARAM StatusParameter(std::int32_t status)
{
    return static_cast<WPARAM>(static_cast<std::uint32_t>(status));
}

// Runs a worker's body and posts its status, also when the body throws (a
// failed allocation): nothing leaves the thread.
template <typename Body>
void RunAndPost(HWND window, UINT message, std::int32_t failed, Body body, LPARAM lParam = 0) noexcept
{
    std::int32_t status = failed;
    try {
        status = body();
    } catch (...) {
    }
    PostMessage(window, message, StatusParameter(status), lParam);
}

const char* DriverQuery(DataAreaChoice area)
{
    return area == DataAreaChoice::User ? "cal:user:data?" : "cal:data?";
}

const char* VisaQuery(DataAreaChoice area)
{
    return area == DataAreaChoice::User ? "*cls;cal:user:data?" : "*cls;cal:data?";
}

// Records a probe that found another area than the one the user was shown;
// true when it did.
bool AreaChanged(DataAreaChoice expected, DataAreaChoice found, TransferOutcome& outcome)
{
    if (expected == DataAreaChoice::Unknown || expected == found)
        return false;
    outcome.problem = std::string("The sensor now says it ") +
                      (found == DataAreaChoice::User ? "has" : "has no") +
                      " user data area, unlike at the search. Nothing was written.";
    return true;
}

using Clock = std::chrono::steady_clock;

// The device name of the sensor of that type and serial number, when the
// driver lists it as present.
std::string FindSensor(const std::string& type, const std::string& serialNumber)
{
    for (const DriverSensor& sensor : ListDriverSensors())
        if (sensor.type == type && sensor.serialNumber == serialNumber)
            return sensor.name;
    return {};
}

std::string ReadBackProblem(const std::string& sent, const std::string& held, const char* what)
{
    const std::string difference = DescribeDifference(sent, held);
    return difference.empty() ? difference : what + (" " + difference);
}

} // namespace

std::string DescribeDifference(const std::string& sent, const std::string& held)
{
    if (sent == held)
        return {};
    if (held.empty())
        return "The sensor's data area holds no data set.";
    const auto first = std::mismatch(sent.begin(), sent.end(), held.begin(), held.end());
    const std::size_t at = static_cast<std::size_t>(first.first - sent.begin());
    return "The sensor holds " + std::to_string(held.size()) + " bytes, the data set sent has " +
           std::to_string(sent.size()) + "; they differ from byte " + std::to_string(at + 1) + " on.";
}

namespace upload
{

void ThreadFunctorLegacy::operator()() const
{
    RunAndPost(window, WM_UPLOAD_DRIVER_DONE, TVX_ERR_SYSTEM, [this] {
        std::int32_t status = 0;
        bool factory = forceFactory;
        outcome->step = TransferStep::Reading;
        if (!factory) {
            outcome->area = DataAreaChoice::User;
            // The error queue is read as the query's answer, so an error an
            // earlier session left there must not stand in for it.
            status = TvxEmptyAllBuffers(sensor);
            if (status == 0)
                status = TvxEmptyErrorQueue(sensor); // before the query
            if (status == 0)
                status = TvxSendCommand(sensor, "cal:user:data?", uploadTimeout);
            std::uint32_t code = 0;
            if (status == 0)
                status = TvxGetError(sensor, &code);
            // Only a sensor that does not know the user data command is asked
            // for its factory data; any other answer keeps the user data query.
            factory = status == 0 && code == undefinedHeader;
        }
        if (factory) {
            outcome->area = DataAreaChoice::Factory;
            status = TvxEmptyAllBuffers(sensor);
            if (status == 0)
                status = TvxSendCommand(sensor, "cal:data?", uploadTimeout);
        }
        return status;
    });
}

void ThreadFunctorVISA::operator()() const
{
    RunAndPost(window, WM_UPLOAD_VISA_DONE, VI_ERROR_ALLOC, [this] {
        ViStatus status = VI_SUCCESS;
        bool factory = forceFactory;
        if (!factory) {
            outcome->step = TransferStep::Probing;
            std::string headers;
            status = VisaQueryBlock(*visa, session, "*cls;syst:help:head?", headers, &outcome->fault);
            const bool userData = status == VI_SUCCESS && HasUserDataCommand(headers);
            if (userData) {
                outcome->step = TransferStep::Reading;
                outcome->area = DataAreaChoice::User;
                status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
                if (status == VI_SUCCESS)
                    status = VisaQueryBlock(*visa, session, "*cls;cal:user:data?", outcome->data, &outcome->fault);
            }
            factory = status == VI_SUCCESS && !userData;
        }
        if (factory) {
            outcome->step = TransferStep::Reading;
            outcome->area = DataAreaChoice::Factory;
            status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
            if (status == VI_SUCCESS)
                status = VisaQueryBlock(*visa, session, "*cls;cal:data?", outcome->data, &outcome->fault);
        }
        return status;
    });
}

} // namespace upload

namespace download
{

void ThreadFunctorLegacy::operator()() const
{
    RunAndPost(window, WM_DOWNLOAD_DRIVER_DONE, TVX_ERR_SYSTEM, [this] {
        const std::int32_t count = static_cast<std::int32_t>(data->size());
        std::int32_t status = 0;
        if (!forceFactory) {
            // The empty block tells whether the sensor has a user data area: one
            // that has refuses it as no data set, one that has not does not know
            // the command. An error an earlier session left in the queue must not
            // stand in for that answer.
            outcome->step = TransferStep::Probing;
            status = TvxEmptyErrorQueue(sensor); // before the probe
            if (status == 0)
                status = TvxSendCommand(sensor, "cal:user:data #10", uploadTimeout);
            std::uint32_t code = 0;
            if (status == 0)
                status = TvxGetError(sensor, &code);
            if (status == 0 && code == blockRefused) {
                if (AreaChanged(expected, DataAreaChoice::User, *outcome))
                    return 0;
                outcome->step = TransferStep::Writing;
                outcome->area = DataAreaChoice::User;
                status = TvxEmptyErrorQueue(sensor);
                if (status == 0)
                    status = TvxSendBinaryBlock(sensor, "cal:user:data", data->data(), count, uploadTimeout);
                return status;
            }
            if (status != 0 || code != undefinedHeader) {
                // Nothing is written: the failure is reported as what it is.
                if (status == 0)
                    status = code != 0 ? static_cast<std::int32_t>(code) : UnexpectedUserDataProbe;
                return status;
            }
        }
        if (AreaChanged(expected, DataAreaChoice::Factory, *outcome))
            return 0;
        outcome->step = TransferStep::Writing;
        outcome->area = DataAreaChoice::Factory;
        status = TvxEmptyErrorQueue(sensor);
        if (status == 0)
            status = TvxSendBinaryBlock(sensor, "cal:data", data->data(), count, uploadTimeout);
        return status;
    });
}

void ThreadFunctorVISA::operator()() const
{
    RunAndPost(window, WM_DOWNLOAD_VISA_DONE, VI_ERROR_ALLOC, [this] {
        ViStatus status = VI_SUCCESS;
        bool factory = forceFactory;
        if (!factory) {
            outcome->step = TransferStep::Probing;
            std::string headers;
            status = VisaQueryBlock(*visa, session, "*cls;syst:help:head?", headers, &outcome->fault);
            const bool userData = status == VI_SUCCESS && HasUserDataCommand(headers);
            if (status == VI_SUCCESS &&
                AreaChanged(expected, userData ? DataAreaChoice::User : DataAreaChoice::Factory, *outcome))
                return VI_SUCCESS;
            if (userData) {
                outcome->step = TransferStep::Writing;
                outcome->area = DataAreaChoice::User;
                status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
                if (status == VI_SUCCESS)
                    status = VisaWriteBlock(*visa, session, "*cls;cal:user:data", *data);
            }
            factory = status == VI_SUCCESS && !userData;
        } else if (AreaChanged(expected, DataAreaChoice::Factory, *outcome)) {
            return VI_SUCCESS;
        }
        if (factory) {
            outcome->step = TransferStep::Writing;
            outcome->area = DataAreaChoice::Factory;
            status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
            if (status == VI_SUCCESS)
                status = VisaWriteBlock(*visa, session, "*cls;cal:data", *data);
        }
        return status;
    });
}

void CheckFunctorVISA::operator()() const
{
    RunAndPost(window, WM_CHECK_VISA_DONE, VI_ERROR_ALLOC, [this] {
        outcome->step = TransferStep::ReadingBack;
        ViStatus status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
        std::string held;
        if (status == VI_SUCCESS)
            status = VisaQueryBlock(*visa, session, VisaQuery(outcome->area), held, &outcome->fault);
        if (status == VI_SUCCESS)
            outcome->problem = ReadBackProblem(*data, held, "The data set read back from the sensor is not the one sent.");
        return status;
    });
}

void CheckFunctorLegacy::operator()() const
{
    RunAndPost(window, WM_CHECK_DRIVER_DONE, TVX_ERR_SYSTEM, [this] {
        const char* query = DriverQuery(outcome->area);
        outcome->step = TransferStep::ReadingBack;
        std::string held;
        std::int32_t status = QueryDriverBlock(sensor, query, uploadTimeout, held);
        if (status != 0 ||
            !(outcome->problem = ReadBackProblem(*data, held, "The data set read back from the sensor is not the one sent."))
                 .empty())
            return status;
        outcome->step = TransferStep::Restarting;
        if ((status = TvxSendVendorOutRequest(sensor, 1, 1, 0)) != 0)
            return status;
        // The sensor goes away and comes back under the same serial number.
        const std::int32_t wait = std::max({commandTimeout, uploadTimeout, 0});
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait);
        std::int32_t last = TVX_ERR_NO_SUCH_DEVICE;
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const std::string name = FindSensor(type, serialNumber);
            std::int32_t again = 0;
            if (name.empty() || (last = TvxOpenSensor(name.c_str(), &again)) != 0)
                continue;
            held.clear();
            last = QueryDriverBlock(again, query, uploadTimeout, held);
            TvxCloseSensor(again);
            if (last == 0) {
                outcome->step = TransferStep::ReadingBack;
                outcome->problem = ReadBackProblem(*data, held, "After its restart the sensor does not hold the data set sent.");
                return 0;
            }
        } while (Clock::now() < deadline);
        outcome->tooSlow = true;
        outcome->problem = "The sensor did not come back within " + std::to_string(wait) +
                           " ms after its restart. It gave the data set sent back before the restart; whether it "
                           "kept it is not known.";
        return 0;
    });
}

} // namespace download
