#pragma once

// A frequency unit of the option line. The four instances are the only ones;
// records refer to them by address.
struct CFreqUnit
{
    const char* name;
    int exponent; // the unit is 10^exponent Hz

    static const CFreqUnit Hz;
    static const CFreqUnit kHz;
    static const CFreqUnit MHz;
    static const CFreqUnit GHz;

    constexpr CFreqUnit(const char* unitName, int powerOfTen) : name(unitName), exponent(powerOfTen) {}
    CFreqUnit(const CFreqUnit&) = delete;
    CFreqUnit& operator=(const CFreqUnit&) = delete;
};
