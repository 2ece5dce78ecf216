#pragma once

// The six settings as plain values, comparable and printable in test output.

#include "Settings.h"

#include <ostream>
#include <string>

struct SettingsValues
{
    std::string calLab;
    std::string calEng;
    int timeout;
    int calDataTimeout;
    bool includeNetworkResources;
    bool alwaysUseFactoryDataSet;

    SettingsBinding Binding()
    {
        return {calLab, calEng, timeout, calDataTimeout, includeNetworkResources, alwaysUseFactoryDataSet};
    }

    bool operator==(const SettingsValues& other) const
    {
        return calLab == other.calLab && calEng == other.calEng && timeout == other.timeout
               && calDataTimeout == other.calDataTimeout && includeNetworkResources == other.includeNetworkResources
               && alwaysUseFactoryDataSet == other.alwaysUseFactoryDataSet;
    }
};

inline void PrintTo(const SettingsValues& values, std::ostream* out)
{
    *out << "{\"" << values.calLab << "\", \"" << values.calEng << "\", " << values.timeout << ", "
         << values.calDataTimeout << ", " << values.includeNetworkResources << ", " << values.alwaysUseFactoryDataSet
         << '}';
}

// What a missing file or a missing key gives.
inline const SettingsValues DefaultSettings{"user lab", "user", 1000, 60000, false, false};
