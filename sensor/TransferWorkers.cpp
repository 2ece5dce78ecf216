#include "TransferWorkers.h"

#include "PostMessage.h"
#include "ScpiHelpers.h"
#include "TvxControl2.h"

#include <exception>

namespace
{

constexpr std::uint32_t undefinedHeader = TVX_SENSOR_ERROR_UNDEFINED_HEADER;
constexpr std::uint32_t blockRefused = TVX_SENSOR_ERROR_BLOCK_DATA;

WPARAM StatusParameter(std::int32_t status)
{
    return static_cast<WPARAM>(static_cast<std::uint32_t>(status));
}

} // namespace

namespace upload
{

void ThreadFunctorLegacy::operator()() const
{
    std::int32_t status = 0;
    bool factory = forceFactory;
    if (!factory) {
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
        status = TvxEmptyAllBuffers(sensor);
        if (status == 0)
            status = TvxSendCommand(sensor, "cal:data?", uploadTimeout);
    }
    PostMessage(window, WM_UPLOAD_DRIVER_DONE, StatusParameter(status), 0);
}

void ThreadFunctorVISA::operator()() const
{
    ViStatus status = VI_SUCCESS;
    try {
        bool factory = forceFactory;
        if (!factory) {
            std::string headers;
            status = VisaQueryBlock(*visa, session, "*cls;syst:help:head?", headers);
            const bool userData = status == VI_SUCCESS && HasUserDataCommand(headers);
            if (userData) {
                status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
                if (status == VI_SUCCESS)
                    status = VisaQueryBlock(*visa, session, "*cls;cal:user:data?", *result);
            }
            factory = status == VI_SUCCESS && !userData;
        }
        if (factory) {
            status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
            if (status == VI_SUCCESS)
                status = VisaQueryBlock(*visa, session, "*cls;cal:data?", *result);
        }
    } catch (const std::exception&) {
        status = VI_ERROR_ALLOC;
    }
    PostMessage(window, WM_UPLOAD_VISA_DONE, StatusParameter(status), static_cast<LPARAM>(result->size()));
}

} // namespace upload

namespace download
{

void ThreadFunctorLegacy::operator()() const
{
    const std::int32_t count = static_cast<std::int32_t>(data->size());
    std::int32_t status = 0;
    if (!forceFactory) {
        // The empty block tells whether the sensor has a user data area: one
        // that has refuses it as no data set, one that has not does not know
        // the command. An error an earlier session left in the queue must not
        // stand in for that answer.
        status = TvxEmptyErrorQueue(sensor); // before the probe
        if (status == 0)
            status = TvxSendCommand(sensor, "cal:user:data #10", uploadTimeout);
        std::uint32_t code = 0;
        if (status == 0)
            status = TvxGetError(sensor, &code);
        if (status == 0 && code == blockRefused) {
            status = TvxEmptyErrorQueue(sensor);
            if (status == 0)
                status = TvxSendBinaryBlock(sensor, "cal:user:data", data->data(), count, uploadTimeout);
            PostMessage(window, WM_DOWNLOAD_DRIVER_DONE, StatusParameter(status), 0);
            return;
        }
        if (status != 0 || code != undefinedHeader) {
            // Nothing is written: the failure is reported as what it is.
            if (status == 0)
                status = code != 0 ? static_cast<std::int32_t>(code) : UnexpectedUserDataProbe;
            PostMessage(window, WM_DOWNLOAD_DRIVER_DONE, StatusParameter(status), 0);
            return;
        }
    }
    status = TvxEmptyErrorQueue(sensor);
    if (status == 0)
        status = TvxSendBinaryBlock(sensor, "cal:data", data->data(), count, uploadTimeout);
    PostMessage(window, WM_DOWNLOAD_DRIVER_DONE, StatusParameter(status), 0);
}

void ThreadFunctorVISA::operator()() const
{
    ViStatus status = VI_SUCCESS;
    try {
        bool factory = forceFactory;
        if (!factory) {
            std::string headers;
            status = VisaQueryBlock(*visa, session, "*cls;syst:help:head?", headers);
            const bool userData = status == VI_SUCCESS && HasUserDataCommand(headers);
            if (userData) {
                status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
                if (status == VI_SUCCESS)
                    status = VisaWriteBlock(*visa, session, "*cls;cal:user:data", *data);
            }
            factory = status == VI_SUCCESS && !userData;
        }
        if (factory) {
            status = visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(uploadTimeout));
            if (status == VI_SUCCESS)
                status = VisaWriteBlock(*visa, session, "*cls;cal:data", *data);
        }
    } catch (const std::exception&) {
        status = VI_ERROR_ALLOC;
    }
    PostMessage(window, WM_DOWNLOAD_VISA_DONE, StatusParameter(status), 0);
}

} // namespace download
