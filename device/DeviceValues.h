#pragma once

// One S-parameter device as the device editor hands it to the data set: limits,
// mnemonic and the frequency table, with the two mirror options.

#include "Tamrix.h"
#include "TamrixError.h"

#include <array>
#include <string>
#include <vector>

struct DevicePoint
{
    double frequency = 0.0;
    // S11, S21, S12, S22, in the order of the editor's columns.
    std::array<SParaValue, 4> values{};
};

struct DeviceValues
{
    double minPower = 0.0; // W
    double maxPower = 0.0; // W
    std::string mnemonic;  // UTF-8
    std::vector<DevicePoint> points;
    bool useS21ForS12 = false;
    bool useS11ForS22 = false;
};

// Writes limits, mnemonic and points into the device, in that order; a mirrored
// parameter takes the triple just stored for its source. Throws
// TvxKyyCalcDLLError as the setters do, leaving the device partly written.
void StoreDeviceValues(CTamrix& dataSet, long device, const DeviceValues& values);

// A value of the table that the data set refuses (at the setters, or at Save and
// download for frequencies out of order), with where it is in the editor: the
// row (point + 1) and column (1 the frequency, 2 ... 13 real part, imaginary part
// and uncertainty of S11, S21, S12 and S22). More points than a device holds are
// refused at the first row beyond the most, column 0.
struct DeviceTableRefused
{
    TvxKyyCalcDLLError error;
    long row;
    long col;
};

// The same, but all or nothing: every value is tried on a scratch data set
// first. Throws TvxKyyCalcDLLError for a limit or the mnemonic and
// DeviceTableRefused for the table, in both cases before `dataSet` changes.
// Returns false, and writes nothing, when the device would be stored as it is
// (the data set keeps values in single precision).
bool StoreDeviceValuesSafely(CTamrix& dataSet, long device, const DeviceValues& values);
