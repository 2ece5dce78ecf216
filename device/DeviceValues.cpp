#include "DeviceValues.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace
{

const SParaType<1>* const columnTags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12,
                                           &SParaType<1>::S22};

// Runs the setter call; a refusal is reported at the cell.
template <class Setter>
void TryAt(long row, long col, Setter setter)
{
    try
    {
        setter();
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        throw DeviceTableRefused{error, row, col};
    }
}

// Every value of the table through the setters of a one-point device, each on
// its own so that a refusal names its cell; a mirrored parameter is not tried,
// as its source's values are stored for it.
void CheckTable(CTamrix& scratch, const DeviceValues& values)
{
    if (values.points.size() > static_cast<std::size_t>(maxSParaFreqNumber))
    {
        throw DeviceTableRefused{TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument), maxSParaFreqNumber + 1, 0};
    }
    scratch.SetSParaFreqNumber(0, 1);
    const bool mirrored[4] = {false, false, values.useS21ForS12, values.useS11ForS22};
    for (std::size_t point = 0; point < values.points.size(); ++point)
    {
        const DevicePoint& source = values.points[point];
        const long row = static_cast<long>(point) + 1;
        TryAt(row, 1, [&] { scratch.SetSParaFreq(0, 0, source.frequency); });
        // Frequencies may repeat but not fall, as Save and download require.
        if (point > 0 && source.frequency < values.points[point - 1].frequency)
        {
            throw DeviceTableRefused{TvxKyyCalcDLLError(TamrixErrorCode::FrequenciesNotAscending), row, 1};
        }
        for (std::size_t s = 0; s < 4; ++s)
        {
            if (mirrored[s])
            {
                continue;
            }
            const SParaValue& value = source.values[s];
            const long col = 2 + 3 * static_cast<long>(s);
            TryAt(row, col, [&] { scratch.SetSParaValue(0, 0, columnTags[s], {std::get<0>(value), 0, 0}); });
            TryAt(row, col + 1, [&] { scratch.SetSParaValue(0, 0, columnTags[s], {0, std::get<1>(value), 0}); });
            TryAt(row, col + 2, [&] { scratch.SetSParaValue(0, 0, columnTags[s], {0, 0, std::get<2>(value)}); });
        }
    }
}

// What the editor writes, bit for bit; the flags are not the editor's.
bool SameContent(const SParaDevice& a, const SParaDevice& b)
{
    const auto bits = [](const auto& value) {
        std::array<unsigned char, sizeof value> bytes;
        std::memcpy(bytes.data(), &value, sizeof value);
        return bytes;
    };
    return a.mnemonic == b.mnemonic && bits(a.minPower) == bits(b.minPower) && bits(a.maxPower) == bits(b.maxPower) &&
           std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(),
                      [&bits](const SParaPoint& p, const SParaPoint& q) {
                          return bits(p.frequency) == bits(q.frequency) && bits(p.values) == bits(q.values);
                      });
}

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

bool StoreDeviceValuesSafely(CTamrix& dataSet, long device, const DeviceValues& values)
{
    // An index that names no device throws here, before anything is written.
    (void)dataSet.GetSParaFreqNumber(device);
    CTamrix scratch;
    scratch.EnableUtf8Support(dataSet.IsUtf8SupportEnabled());
    scratch.SetSParaDeviceNumber(1);
    scratch.SetSParaMinPower(0, values.minPower);
    scratch.SetSParaMaxPower(0, values.maxPower);
    scratch.SetSPDMnemonic(0, values.mnemonic);
    CheckTable(scratch, values);
    // Every value has now passed the same setters; the real write cannot fail.
    StoreDeviceValues(scratch, 0, values);
    if (SameContent(scratch.Content().devices.front(), dataSet.Content().devices.at(static_cast<std::size_t>(device))))
    {
        return false;
    }
    StoreDeviceValues(dataSet, device, values);
    return true;
}
