#pragma once

#include <cstdint>

// A frequency unit of the option line. The four instances are the only ones;
// records refer to them by address.
struct CFreqUnit
{
    const char* name;
    std::int32_t multiplier; // to Hz

    static const CFreqUnit Hz;
    static const CFreqUnit kHz;
    static const CFreqUnit MHz;
    static const CFreqUnit GHz;

    constexpr CFreqUnit(const char* unitName, std::int32_t toHz) : name(unitName), multiplier(toHz) {}
    CFreqUnit(const CFreqUnit&) = delete;
    CFreqUnit& operator=(const CFreqUnit&) = delete;
};
