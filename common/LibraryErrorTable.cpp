#include "LibraryErrorTable.h"

#include <algorithm>

const char* const UnknownLibraryErrorMessage = "An unknown error occured!";

const std::array<LibraryErrorMessage, 65> LibraryErrorMessages = {{
    // Files
    {0, "No error occurred."},
    {1, "File read access failed!"},
    {2, "File write access failed!"},
    // General
    {101, "Memory allocation failed!"},
    {102, "You can't mix measurement data files for different sensors!"},
    {103, "Measurement frequencies for absolute calibration and reflection don't match!"},
    {104, "Missing or wrong argument(s)!"},
    {105, "Invalid access on table entry!"},
    {106, "Unsupported type or degree of interpolation polynomial for linearization!"},
    {107, "Generic XML error!"},
    {108, "DLL not found or wrong DLL version!"},
    {109, "Calibration frequencies must be sorted in ascending order!"},
    {110, "Calibration temperatures must be sorted in ascending order!"},
    {111, "Calibration levels must be sorted in ascending order!"},
    {112, "Feature is not supported by this type of sensor!"},
    {113, "Property not found!"},
    {114, "Property could not be set!"},
    {115, "Illegal property name!"},
    // Calibration data set
    {201, "Calibration data set could not be parsed!"},
    {202, "Generated calibration data set is too large!"},
    {203, "Calibration data set is invalid!"},
    {204, "Calibration data set has wrong signature!"},
    {205, "Calibration data set has unsupported version!"},
    {206, "Calibration data set has unsupported revision!"},
    {207, "Calibration data set contains inconsistent file length information."},
    {208, "Calibration data set checksum test failed!"},
    {209, "You must add at least one absolute calibration point! Storing was cancelled!"},
    {210, "You must add at least one reflection calibration point! Storing was cancelled!"},
    {211, "You must add at least one s-parameter device and one calibration point per device! "
          "Storing was cancelled!"},
    {212, "Delinearization failed because algorithm did not converge!"},
    {213, "Conversion to fixed-point format failed!"},
    {214, "Feature is incompatible with this version of calibration data set!"},
    {215, "Conversion from double-precision to single-precision floating-point format failed."},
    {216, "Sensor has been sanitized, missing indispensable data. Contact backup service!"},
    // Measurement data files
    {301, "Measurement data file could not be parsed!"},
    {302, "Measurement data file has wrong signature!"},
    {303, "Measurement data file contains wrong type of data!"},
    {304, "Missing variable(s)!"},
    {305, "Number of elements in value table does not match (DataPoints * ValuesPerPoint)!"},
    {306, "First column of value table must be sorted in ascending order!"},
    {307, "Calibration with inactive frequency correction is not supported!"},
    {308, "Wrong unit!"},
    {309, "Reflection coefficient must be complex!"},
    {310, "Unsupported power meter family!"},
    {311, "Linearization levels must be positive!"},
    {312, "Uncertainties associated with linearization levels must be non-negative!"},
    {313, "The number of linearization value pairs must not be smaller than the polynomial degree!"},
    {314, "Polynomial fit failed because matrix is singular!"},
    {315, "Wrong encoding, UTF-8 or UTF-16 format is not supported."},
    // S2P files
    {401, "S2P file option line corrupt or not found!"},
    {402, "S2P file contains wrong parameter type!"},
    // Sensor database
    {501, "Missing sensor database name!"},
    {502, "Parser error in sensor database!"},
    {503, "Sensor not found in sensor database!"},
    {504, "Sensor database contains inconsistent data!"},
    // Calibration factors
    {601, "Frequency/temperature/level calibration factor for level = 0 is undefined!"},
    {602, "Frequency/temperature/level calibration factor undefined because of unrecoverable "
          "interpolation error!"},
    {603, "No calibration data is available for a particular frequency/temperature/channel "
          "combination!"},
    // Interpolation
    {701, "Too few points for interpolation with given degree!"},
    {702, "Interpolation failed!"},
    // User scripts
    {801, "Syntax error in user script!"},
    {802, "Runtime error in user script!"},
    {803, "Error in user script error handler!"},
    // Regular expressions
    {901, "Invalid regular expression!"},
    {902, "Regular expression matching caused stack exhaustion!"},
}};

const char* LibraryErrorText(std::int32_t code)
{
    const auto entry = std::lower_bound(
        LibraryErrorMessages.begin(), LibraryErrorMessages.end(), code,
        [](const LibraryErrorMessage& message, std::int32_t wanted) { return message.code < wanted; });
    if (entry != LibraryErrorMessages.end() && entry->code == code)
        return entry->text;
    return UnknownLibraryErrorMessage;
}
