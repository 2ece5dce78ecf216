#pragma once

// A data set of sensor TVX-18G 100001 (the factory sample's figures) with
// `devices` devices of `points` points each, as stored.

#include "SensorSamples.h"
#include "Tamrix.h"

#include <string>

inline std::string SensorDataSet(std::size_t devices, std::size_t points)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromBuffer2(set, SampleDataFor("factory_v3.cal", "TVX-18G", "100001"));
    TamrixContent content = set.Content();
    content.devices.resize(devices);
    for (std::size_t d = 0; d < devices; ++d) {
        SParaDevice& device = content.devices[d];
        device.mnemonic = "device " + std::to_string(d);
        device.points.resize(points);
        for (std::size_t p = 0; p < points; ++p) {
            device.points[p].frequency = 1.0e6 + 1.0e5 * static_cast<double>(p);
            for (std::size_t v = 0; v < device.points[p].values.size(); ++v)
                device.points[p].values[v] = static_cast<float>(p % 1000) * 1.0e-3f + static_cast<float>(v);
        }
    }
    content.sParaDefaultDevice = 0;
    set.ReplaceContent(std::move(content));
    std::string data;
    CTamrixUtil::StoreTMXToBuffer2(set, data, '3', '0');
    return data;
}
