#pragma once

// Loading a stored data set into a data set that already holds one (a sample):
// a failed load must leave it exactly as it was, and what loads must store
// back, in the format it came in, to the very bytes it came from.

#include "FuzzCheck.h"
#include "SampleDataSets.h"
#include "Tamrix.h"

#include <string>

inline const CTamrix& LoadTarget()
{
    static const CTamrix target = BuildSampleDataSets().front().dataSet;
    return target;
}

// The bytes that describe a data set completely (every field, bit for bit).
inline std::string Stored(const CTamrix& set)
{
    std::string bytes;
    CTamrixUtil::StoreTMXToBuffer2(set, bytes, '3', '0');
    return bytes;
}

inline void CheckLoad(const std::string& bytes)
{
    static const std::string targetBytes = Stored(LoadTarget());
    CTamrix set = LoadTarget();
    FormatPair format;
    try {
        format = CTamrixUtil::LoadTMXFromBuffer2(set, bytes);
    } catch (const TvxKyyCalcDLLError&) {
        Check(Stored(set) == targetBytes, "a failed load changes nothing");
        return;
    }
    std::string again;
    CTamrixUtil::StoreTMXToBuffer2(set, again, std::get<0>(format), std::get<1>(format));
    Check(again == bytes, "a loaded data set stores back to the same bytes");
}
