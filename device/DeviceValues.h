#pragma once

// One S-parameter device as the device editor hands it to the data set: limits,
// mnemonic and the frequency table, with the two mirror options.

#include "Tamrix.h"

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

// The same, but all or nothing: the values go into a scratch data set first, so
// every value the library refuses throws before `dataSet` changes.
void StoreDeviceValuesSafely(CTamrix& dataSet, long device, const DeviceValues& values);
