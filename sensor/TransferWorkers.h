#pragma once

// The transfers of the two sensor dialogs, each run once on a thread of its
// own. A worker owns everything it uses but the sensor handle or VISA session,
// which the dialog opened and keeps open (and its controls disabled) until the
// one message the worker posts back: WM_…_DONE with the status in wParam.
// What more the dialog needs to know (the step that failed, a refused block's
// fault, the data read) is in the TransferOutcome the two share.
// Nothing a worker does can throw out of it.

#include "SensorList.h"
#include "VisaLoader.h"
#include "WinDefs.h"

#include <boost/thread/thread.hpp>

#include <cstdint>
#include <memory>
#include <string>

constexpr UINT WM_UPLOAD_DRIVER_DONE = WM_USER + 1010;
constexpr UINT WM_DOWNLOAD_DRIVER_DONE = WM_USER + 1011;
constexpr UINT WM_UPLOAD_VISA_DONE = WM_USER + 1012;
constexpr UINT WM_DOWNLOAD_VISA_DONE = WM_USER + 1013;
constexpr UINT WM_CHECK_DRIVER_DONE = WM_USER + 1014;
constexpr UINT WM_CHECK_VISA_DONE = WM_USER + 1015;

// The driver worker of a download posts this when the sensor answered the
// empty user data block otherwise than with a refusal or as a sensor without
// user data command: nothing was written.
constexpr std::int32_t UnexpectedUserDataProbe = static_cast<std::int32_t>(0xC1000001);

enum class DataAreaChoice
{
    Unknown,
    User,
    Factory
};

struct TransferOutcome
{
    TransferStep step = TransferStep::Reading; // the step the status belongs to
    DataAreaChoice area = DataAreaChoice::Unknown; // the area read or written
    std::string fault;   // what was wrong with a block VISA's helpers refused
    std::string problem; // a failure of the transfer's own, instead of the status
    bool tooSlow = false; // the problem is something the sensor took too long for
    std::string data;    // upload: the block read
};

// The first place where two byte strings differ, as a sentence on what the
// sensor holds ("…"); empty when they are equal.
std::string DescribeDifference(const std::string& sent, const std::string& held);

namespace upload
{

// Sends the query; the answer is read on the window thread.
struct ThreadFunctorLegacy
{
    std::int32_t sensor;
    std::int32_t uploadTimeout;
    bool forceFactory;
    std::shared_ptr<TransferOutcome> outcome;
    HWND window;
    void operator()() const;
};

// Reads the block into the outcome's data.
struct ThreadFunctorVISA
{
    std::shared_ptr<const VisaFunctions> visa;
    ViSession session;
    std::int32_t uploadTimeout;
    std::shared_ptr<TransferOutcome> outcome;
    bool forceFactory;
    HWND window;
    void operator()() const;
};

} // namespace upload

namespace download
{

// `expected`: the area the dialog announced; a sensor whose probe finds the
// other one is not written.
struct ThreadFunctorLegacy
{
    std::int32_t sensor;
    std::int32_t uploadTimeout;
    bool forceFactory;
    std::shared_ptr<const std::string> data;
    DataAreaChoice expected;
    std::shared_ptr<TransferOutcome> outcome;
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
    DataAreaChoice expected;
    std::shared_ptr<TransferOutcome> outcome;
    HWND window;
    void operator()() const;
};

// After a write: reads the area back over the same session and compares it
// with what was sent; a difference is the outcome's problem.
struct CheckFunctorVISA
{
    std::shared_ptr<const VisaFunctions> visa;
    ViSession session;
    std::int32_t uploadTimeout;
    std::shared_ptr<const std::string> data;
    std::shared_ptr<TransferOutcome> outcome;
    HWND window;
    void operator()() const;
};

// The same on the driver path, then the store-and-restart request, then the
// sensor opened again by its serial number and read once more. A sensor on
// USB leaves the bus and enumerates anew, which takes longer than a command:
// it is waited for up to `uploadTimeout`.
struct CheckFunctorLegacy
{
    std::int32_t sensor;
    std::string type;
    std::string serialNumber;
    std::int32_t commandTimeout;
    std::int32_t uploadTimeout;
    std::shared_ptr<const std::string> data;
    std::shared_ptr<TransferOutcome> outcome;
    HWND window;
    void operator()() const;
};

} // namespace download

// Starts a worker that reports to its window by message and lives on its own;
// false when no thread could be had.
template <typename Functor>
bool StartDetached(Functor functor) noexcept
{
    try {
        boost::thread(std::move(functor)).detach();
        return true;
    } catch (...) {
        return false;
    }
}
