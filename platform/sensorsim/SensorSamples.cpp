#include "SensorSamples.h"

#include "SampleDataSets.h"

#include <stdexcept>

std::string SampleDataFor(const std::string& sampleName, const std::string& model, const std::string& serial,
                          const std::optional<std::string>& stock)
{
    for (SampleDataSet& sample : BuildSampleDataSets()) {
        if (sample.fileName != sampleName)
            continue;
        sample.dataSet.SetSensorName(model);
        sample.dataSet.SetSerialNumber(serial);
        if (stock)
            sample.dataSet.SetStockNumber(*stock);
        std::string data;
        CTamrixUtil::StoreTMXToBuffer2(sample.dataSet, data, sample.version, sample.revision);
        return data;
    }
    throw std::runtime_error("no sample data set " + sampleName + " in this build");
}
