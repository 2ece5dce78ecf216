#include "DeviceValues.h"

namespace
{

const SParaType<1>* const columnTags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12,
                                           &SParaType<1>::S22};

} // namespace

void StoreDeviceValues(CTamrix& dataSet, long device, const DeviceValues& values)
{
    dataSet.SetSParaMinPower(device, values.minPower);
    dataSet.SetSParaMaxPower(device, values.maxPower);
    dataSet.SetSPDMnemonic(device, values.mnemonic);
    const long count = static_cast<long>(values.points.size());
    dataSet.SetSParaFreqNumber(device, count);
    for (long point = 0; point < count; ++point)
    {
        const DevicePoint& source = values.points[static_cast<std::size_t>(point)];
        dataSet.SetSParaFreq(device, point, source.frequency);
        dataSet.SetSParaValue(device, point, columnTags[0], source.values[0]);
        dataSet.SetSParaValue(device, point, columnTags[1], source.values[1]);
        // The mirror copies what the data set holds (single precision), not the
        // texts of the source columns.
        dataSet.SetSParaValue(device, point, columnTags[2],
                              values.useS21ForS12 ? dataSet.GetSParaValue(device, point, &SParaType<1>::S21)
                                                  : source.values[2]);
        dataSet.SetSParaValue(device, point, columnTags[3],
                              values.useS11ForS22 ? dataSet.GetSParaValue(device, point, &SParaType<1>::S11)
                                                  : source.values[3]);
    }
}

void StoreDeviceValuesSafely(CTamrix& dataSet, long device, const DeviceValues& values)
{
    // An index that names no device throws here, before anything is written.
    (void)dataSet.GetSParaFreqNumber(device);
    CTamrix scratch;
    scratch.EnableUtf8Support(dataSet.IsUtf8SupportEnabled());
    scratch.SetSParaDeviceNumber(1);
    StoreDeviceValues(scratch, 0, values);
    // Every value has now passed the same setters; the real write cannot fail.
    StoreDeviceValues(dataSet, device, values);
}
