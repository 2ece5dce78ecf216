#include "DataFormat.h"

#include <cmath>

namespace
{

// Angles are in degrees.
constexpr double radiansPerDegree = 0.017453292519943295;
// ln(10) / 20: exp(a * this) is 10^(a/20).
constexpr double nepersPerDecibel = 0.11512925464970229;

SParaValue FromMagnitudeAngle(double magnitude, double degrees)
{
    const double angle = degrees * radiansPerDegree;
    return SParaValue(magnitude * std::cos(angle), magnitude * std::sin(angle), 0.0);
}

SParaValue FromDecibelAngle(double decibels, double degrees)
{
    return FromMagnitudeAngle(std::exp(decibels * nepersPerDecibel), degrees);
}

SParaValue FromRealImaginary(double real, double imaginary)
{
    return SParaValue(real, imaginary, 0.0);
}

} // namespace

const CDataFormat CDataFormat::MA{"MA (linear magnitude/phase angle in degrees)", FromMagnitudeAngle};
const CDataFormat CDataFormat::DB{"DB (magnitude in dB/phase angle in degrees)", FromDecibelAngle};
const CDataFormat CDataFormat::RI{"RI (linear real/imaginary part)", FromRealImaginary};
