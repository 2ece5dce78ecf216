#include "SampleDataSets.h"

std::vector<SampleDataSet> BuildSampleDataSets()
{
    return {};
}
