#pragma once

#include "Tamrix.h"

// The number format of the value pairs. `convert` turns a pair (a, b) as
// written into (real, imaginary, 0), the value triple of the data set
// library. Compared by address.
struct CDataFormat
{
    using Converter = SParaValue (*)(double a, double b);

    const char* description;
    Converter convert;

    static const CDataFormat MA;
    static const CDataFormat DB;
    static const CDataFormat RI;

    constexpr CDataFormat(const char* formatDescription, Converter converter)
        : description(formatDescription), convert(converter)
    {
    }
    CDataFormat(const CDataFormat&) = delete;
    CDataFormat& operator=(const CDataFormat&) = delete;
};
