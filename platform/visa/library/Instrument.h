#pragma once

// One open instrument of a session: the transport behind viRead, viWrite,
// viLock and the attributes. One call at a time per instrument (the session
// serialises them); Shutdown may come from any thread and ends a blocked call.

#include "ResourceName.h"
#include "VisaTypes.h"

#include <chrono>
#include <memory>
#include <string>

namespace ostrel_visa
{

using Clock = std::chrono::steady_clock;

class Instrument
{
public:
    virtual ~Instrument() = default;

    virtual ViStatus Write(const char* data, std::size_t count, bool end, ViUInt32 timeoutMs, std::size_t& written) = 0;
    // Reads at most `capacity` bytes: VI_SUCCESS at the end of a message,
    // VI_SUCCESS_MAX_CNT when the capacity was reached first.
    virtual ViStatus Read(char* destination, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& count) = 0;
    // The exclusive lock, waiting up to `timeoutMs` for another holder.
    virtual ViStatus Lock(ViUInt32 timeoutMs) = 0;
    virtual ViStatus Unlock() = 0;
    virtual ViStatus Clear(ViUInt32 timeoutMs) = 0;
    // A text attribute of the instrument, or VI_ERROR_NSUP_ATTR.
    virtual ViStatus TextAttribute(ViAttr attribute, std::string& value) = 0;
    virtual ViStatus NumberAttribute(ViAttr attribute, ViUInt32& value) = 0;
    virtual void Shutdown() = 0;
};

// Opens the instrument a resource name gives; VI_ERROR_RSRC_NFOUND when it
// is not there. `problem` tells a user why a device that is there could not
// be opened (no permission, held by another program), or stays empty.
ViStatus OpenInstrument(const ResourceName& name, std::unique_ptr<Instrument>& instrument, std::string& problem);

// Time left until `deadline` in whole milliseconds, at least 0.
ViUInt32 MillisecondsUntil(Clock::time_point deadline);
Clock::time_point DeadlineAfter(ViUInt32 timeoutMs);

} // namespace ostrel_visa
