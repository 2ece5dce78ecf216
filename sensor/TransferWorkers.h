#pragma once

// The transfers of the two sensor dialogs, each run once on a thread of its
// own. A worker owns everything it uses but the sensor handle or VISA session,
// which the dialog opened and keeps open (and its controls disabled) until the
// one message the worker posts back: WM_…_DONE with the status in wParam.
// Nothing a worker does can throw out of it.

#include "VisaLoader.h"
#include "WinDefs.h"

#include <cstdint>
#include <memory>
#include <string>

constexpr UINT WM_UPLOAD_DRIVER_DONE = WM_USER + 1010;
constexpr UINT WM_DOWNLOAD_DRIVER_DONE = WM_USER + 1011;
constexpr UINT WM_UPLOAD_VISA_DONE = WM_USER + 1012;
constexpr UINT WM_DOWNLOAD_VISA_DONE = WM_USER + 1013;

// The driver worker of a download posts this when the sensor answered the
// empty user data block otherwise than with a refusal or as a sensor without
// user data command: nothing was written.
constexpr std::int32_t UnexpectedUserDataProbe = static_cast<std::int32_t>(0xC1000001);

namespace upload
{

// Sends the query; the answer is read on the window thread.
struct ThreadFunctorLegacy
{
    std::int32_t sensor;
    std::int32_t uploadTimeout;
    bool forceFactory;
    HWND window;
    void operator()() const;
};

// Reads the block into `result`, which the dialog takes after the message.
struct ThreadFunctorVISA
{
    std::shared_ptr<const VisaFunctions> visa;
    ViSession session;
    std::int32_t uploadTimeout;
    std::shared_ptr<std::string> result;
    bool forceFactory;
    HWND window;
    void operator()() const;
};

} // namespace upload

namespace download
{

struct ThreadFunctorLegacy
{
    std::int32_t sensor;
    std::int32_t uploadTimeout;
    bool forceFactory;
    std::shared_ptr<const std::string> data;
    HWND window;
    void operator()() const;
};

struct ThreadFunctorVISA
{
    std::shared_ptr<const VisaFunctions> visa;
    ViSession session;
    std::int32_t uploadTimeout;
    bool forceFactory;
    std::shared_ptr<const std::string> data;
    HWND window;
    void operator()() const;
};

} // namespace download
