#pragma once

// Helpers shared by the library's own source files; not part of its interface.

#include "TamrixError.h"

#include <cmath>
#include <limits>

struct SParaDevice;
struct SParaPoint;

namespace tamrix_detail
{

// The rules of the model for a device and for one of its points, as
// CTamrix::Validate applies them (code 104).
void CheckSParaDevice(const SParaDevice& device);
void CheckSParaPoint(const SParaPoint& point);

// Values are kept in single precision, as a sensor keeps them. A finite value
// beyond the single-precision range cannot be kept and is refused; NaN and
// infinities convert as they are (the callers decide whether they are allowed).
inline float ToSinglePrecision(double value)
{
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
        throw TvxKyyCalcDLLError(TamrixErrorCode::SinglePrecisionOverflow);
    return static_cast<float>(value);
}

} // namespace tamrix_detail
