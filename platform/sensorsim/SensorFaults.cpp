#include "SensorStore.h"
#include "StoreSupport.h"

#include <charconv>
#include <limits>

namespace
{

std::string KnownFaultsText()
{
    std::string text;
    for (const std::string& name : SensorFaultNames())
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Reads the whole text as a plain decimal number between `low` and `high`
// into `value`; false for anything else (signs other than a leading '-' of a
// signed type, blanks, junk, overflow).
template <typename Number>
bool ReadDecimal(const std::string& text, Number low, Number high, Number& value)
{
    Number read{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, read);
    if (text.empty() || error != std::errc() || stop != end || read < low || read > high)
        return false;
    value = read;
    return true;
}

} // namespace

const std::vector<std::string>& SensorFaultNames()
{
    static const std::vector<std::string> names{
        "delay=MS",          "drop-after=BYTES", "garbage",       "bad-digit-count", "bad-length",
        "no-final-lf",       "refuse-write=CODE", "refuse-user-write=CODE", "corrupt-store", "restart-fails",
        "gone-after-restart", "locked",  "unplugged",
    };
    return names;
}

bool SensorFaults::Apply(const std::string& setting, std::string& error)
{
    const auto equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? setting.substr(equals + 1) : std::string();

    const std::pair<const char*, bool SensorFaults::*> flags[] = {
        {"garbage", &SensorFaults::garbage},          {"bad-digit-count", &SensorFaults::badDigitCount},
        {"bad-length", &SensorFaults::badLength},     {"no-final-lf", &SensorFaults::noFinalLf},
        {"corrupt-store", &SensorFaults::corruptStore}, {"restart-fails", &SensorFaults::restartFails},
        {"gone-after-restart", &SensorFaults::goneAfterRestart}, {"locked", &SensorFaults::locked},
        {"unplugged", &SensorFaults::unplugged},
    };
    for (const auto& [flagName, member] : flags) {
        if (name != flagName)
            continue;
        if (hasValue) {
            error = "Fault '" + name + "' takes no value";
            return false;
        }
        this->*member = true;
        return true;
    }

    const auto fail = [&](const std::string& expected) {
        error = hasValue ? "Bad value '" + OneLineText(value) + "' for fault '" + name + "': use " + expected
                         : "Fault '" + name + "' needs a value: " + expected;
        return false;
    };
    if (name == "delay") {
        if (!hasValue || !ReadDecimal<std::uint32_t>(value, 0, 600000, delayMs))
            return fail("0 to 600000 milliseconds");
        return true;
    }
    if (name == "drop-after") {
        std::uint64_t bytes = 0;
        if (!hasValue || !ReadDecimal<std::uint64_t>(value, 1, std::numeric_limits<std::uint64_t>::max(), bytes))
            return fail("a number of bytes above 0");
        dropAfter = bytes;
        return true;
    }
    if (name == "refuse-write" || name == "refuse-user-write") {
        std::int32_t code = 0;
        if (!hasValue || !ReadDecimal<std::int32_t>(value, -32768, 32767, code) || code == 0)
            return fail("an SCPI error code from -32768 to 32767 other than 0");
        (name == "refuse-write" ? refuseWrite : refuseUserWrite) = code;
        return true;
    }
    error = "Unknown fault '" + OneLineText(name) + "' (known: " + KnownFaultsText() + ")";
    return false;
}

std::vector<std::string> SensorFaults::Settings() const
{
    std::vector<std::string> settings;
    const auto flag = [&](bool on, const char* name) {
        if (on)
            settings.emplace_back(name);
    };
    if (delayMs != 0)
        settings.push_back("delay=" + std::to_string(delayMs));
    if (dropAfter)
        settings.push_back("drop-after=" + std::to_string(*dropAfter));
    flag(garbage, "garbage");
    flag(badDigitCount, "bad-digit-count");
    flag(badLength, "bad-length");
    flag(noFinalLf, "no-final-lf");
    if (refuseWrite)
        settings.push_back("refuse-write=" + std::to_string(*refuseWrite));
    if (refuseUserWrite)
        settings.push_back("refuse-user-write=" + std::to_string(*refuseUserWrite));
    flag(corruptStore, "corrupt-store");
    flag(restartFails, "restart-fails");
    flag(goneAfterRestart, "gone-after-restart");
    flag(locked, "locked");
    flag(unplugged, "unplugged");
    return settings;
}
