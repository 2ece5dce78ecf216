#pragma once

#include "Tamrix.h"

#include <string>
#include <vector>

// The sample data sets checked in under samples/, built by code so that the
// make_samples tool can write them again byte for byte.
struct SampleDataSet
{
    std::string fileName; // e.g. "factory_v3.cal"
    CTamrix dataSet; // UTF-8 support enabled
    char version;
    char revision;
};

std::vector<SampleDataSet> BuildSampleDataSets();
