#include "DataSetHistory.h"

#include "LibraryErrorReport.h"

#include <algorithm>
#include <cstring>

namespace
{

// Numbers compare by their bits: 0 and -0 differ, as they do in a stored file.
template <class Number>
bool SameBits(const Number& a, const Number& b)
{
    return std::memcmp(&a, &b, sizeof(Number)) == 0;
}

DataSetSummary SummaryOf(const CTamrix& dataSet)
{
    const TamrixContent& content = dataSet.Content();
    DataSetSummary summary{content.sParaCorrDef, content.sParaDefaultDevice, {},
                           content.calInfo[CMeasurement::SPara->Index()]};
    for (const SParaDevice& device : content.devices)
    {
        summary.deviceFlags.push_back(device.flags);
    }
    return summary;
}

bool SameSummary(const DataSetSummary& a, const DataSetSummary& b)
{
    return a.corrDef == b.corrDef && a.defaultDevice == b.defaultDevice && a.deviceFlags == b.deviceFlags
           && a.sParaCalInfo.date == b.sParaCalInfo.date && a.sParaCalInfo.laboratory == b.sParaCalInfo.laboratory
           && a.sParaCalInfo.engineer == b.sParaCalInfo.engineer;
}

// The texts are the data set's own (UTF-8), which its setters take as they are
// only with UTF-8 enabled, as the main window keeps it.
void RestoreSummary(CTamrix& dataSet, const DataSetSummary& summary)
{
    dataSet.SetSParaCorrDef(summary.corrDef);
    dataSet.SetSParaDefaultDevice(summary.defaultDevice);
    for (std::size_t device = 0; device < summary.deviceFlags.size(); ++device)
    {
        dataSet.SetSParaDeviceFlags(static_cast<long>(device), summary.deviceFlags[device]);
    }
    dataSet.SetCalDate(CMeasurement::SPara, summary.sParaCalInfo.date);
    dataSet.SetCalLab(CMeasurement::SPara, summary.sParaCalInfo.laboratory);
    dataSet.SetCalEng(CMeasurement::SPara, summary.sParaCalInfo.engineer);
}

// The setters refuse a negative uncertainty, which a loaded data set may still
// hold; everything else a data set holds they store bit for bit.
bool SettersStoreExactly(const CTamrix& dataSet, const SParaDevice& device)
{
    return dataSet.IsUtf8SupportEnabled()
           && std::none_of(device.points.begin(), device.points.end(), [](const SParaPoint& point) {
                  for (const SParaType<1>* tag = SParaType<1>::First(); tag->index >= 0; tag = tag->next)
                  {
                      if (point.values[3 * tag->index + 2] < 0.0f)
                      {
                          return true;
                      }
                  }
                  return false;
              });
}

void WriteDevice(CTamrix& dataSet, long index, const SParaDevice& device)
{
    dataSet.SetSPDMnemonic(index, device.mnemonic);
    dataSet.SetSParaMinPower(index, device.minPower);
    dataSet.SetSParaMaxPower(index, device.maxPower);
    dataSet.SetSParaDeviceFlags(index, device.flags);
    const long count = static_cast<long>(device.points.size());
    dataSet.SetSParaFreqNumber(index, count);
    for (long point = 0; point < count; ++point)
    {
        const SParaPoint& source = device.points[static_cast<std::size_t>(point)];
        dataSet.SetSParaFreq(index, point, source.frequency);
        for (const SParaType<1>* tag = SParaType<1>::First(); tag->index >= 0; tag = tag->next)
        {
            const float* value = &source.values[3 * static_cast<std::size_t>(tag->index)];
            dataSet.SetSParaValue(index, point, tag, {value[0], value[1], value[2]});
        }
    }
}

// Puts `devices` in the place of the `count` devices from `first` on. The
// default device is set afterwards by the summary.
void ReplaceDevices(CTamrix& dataSet, long first, long count, const std::vector<SParaDevice>& devices)
{
    const long wanted = static_cast<long>(devices.size());
    if (std::all_of(devices.begin(), devices.end(),
                    [&dataSet](const SParaDevice& device) { return SettersStoreExactly(dataSet, device); }))
    {
        const long common = std::min(count, wanted);
        for (long i = 0; i < common; ++i)
        {
            WriteDevice(dataSet, first + i, devices[static_cast<std::size_t>(i)]);
        }
        for (long i = common; i < count; ++i)
        {
            dataSet.DeleteSParaDevice(first + common);
        }
        for (long i = common; i < wanted; ++i)
        {
            dataSet.InsertSParaDeviceBefore(first + i);
            WriteDevice(dataSet, first + i, devices[static_cast<std::size_t>(i)]);
        }
        return;
    }
    // Only the whole content takes such values: the one case that copies it.
    TamrixContent content = dataSet.Content();
    content.devices.erase(content.devices.begin() + first, content.devices.begin() + first + count);
    content.devices.insert(content.devices.begin() + first, devices.begin(), devices.end());
    content.sParaDefaultDevice = -1;
    dataSet.ReplaceContent(std::move(content));
}

bool SameDevices(const std::vector<SParaDevice>& kept, const CTamrix& dataSet, long first, long count)
{
    const std::vector<SParaDevice>& devices = dataSet.Content().devices;
    return static_cast<long>(kept.size()) == count
           && std::equal(kept.begin(), kept.end(), devices.begin() + first, SameDevice);
}

// The data set on one side of a step, and the list's row there.
struct StepSide
{
    DataSetSummary summary;
    std::vector<SParaDevice> devices;
    long row = 0;
};

class DataSetStep : public QUndoCommand
{
public:
    DataSetStep(CTamrix& dataSet, std::optional<long> first, std::optional<std::pair<long, long>> swapped,
                StepSide before, StepSide after, QWidget* owner, std::function<void(long)> shown)
        : m_dataSet(dataSet)
        , m_first(first)
        , m_swapped(swapped)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_owner(owner)
        , m_shown(std::move(shown))
    {
    }

    void undo() override
    {
        Apply(m_after, m_before);
    }

    void redo() override
    {
        if (m_pushed)
        {
            m_pushed = false;
            return;
        }
        Apply(m_before, m_after);
    }

private:
    void Apply(const StepSide& from, const StepSide& to)
    {
        RunLibraryAction(m_owner, [&] {
            if (m_swapped)
            {
                m_dataSet.SwapSParaDevices(m_swapped->first, m_swapped->second);
            }
            if (m_first)
            {
                ReplaceDevices(m_dataSet, *m_first, static_cast<long>(from.devices.size()), to.devices);
            }
            RestoreSummary(m_dataSet, to.summary);
        });
        m_shown(to.row);
    }

    CTamrix& m_dataSet;
    std::optional<long> m_first;
    std::optional<std::pair<long, long>> m_swapped;
    StepSide m_before;
    StepSide m_after;
    QWidget* m_owner;
    std::function<void(long)> m_shown;
    bool m_pushed = true;
};

} // namespace

bool SameDevice(const SParaDevice& a, const SParaDevice& b)
{
    return a.mnemonic == b.mnemonic && SameBits(a.minPower, b.minPower) && SameBits(a.maxPower, b.maxPower)
           && a.flags == b.flags
           && std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(),
                         [](const SParaPoint& p, const SParaPoint& q) {
                             return SameBits(p.frequency, q.frequency) && SameBits(p.values, q.values);
                         });
}

DataSetChange::DataSetChange(CTamrix& dataSet, long row)
    : m_dataSet(dataSet)
    , m_row(row)
    , m_summary(SummaryOf(dataSet))
    , m_countBefore(dataSet.GetSParaDeviceNumber())
{
}

void DataSetChange::ReplacingDevices(long first, long count)
{
    // A list that no longer matches the data set may name devices it lacks;
    // the command itself is then refused by the library.
    const std::vector<SParaDevice>& devices = m_dataSet.Content().devices;
    m_first = std::clamp(first, 0L, m_countBefore);
    count = std::clamp(count, 0L, m_countBefore - *m_first);
    m_replaced.assign(devices.begin() + *m_first, devices.begin() + *m_first + count);
}

void DataSetChange::SwappingDevices(long first, long second)
{
    m_swapped.emplace(first, second);
}

bool DataSetChange::DevicesAsBefore() const
{
    return !m_first || SameDevices(m_replaced, m_dataSet, *m_first, CountNow());
}

long DataSetChange::CountNow() const
{
    // What the command added or removed happened among the replaced devices.
    const long count = static_cast<long>(m_replaced.size()) + m_dataSet.GetSParaDeviceNumber() - m_countBefore;
    return std::clamp(count, 0L, m_dataSet.GetSParaDeviceNumber() - *m_first);
}

std::unique_ptr<QUndoCommand> DataSetChange::Finish(long row, QWidget* owner, std::function<void(long)> shown)
{
    StepSide after{SummaryOf(m_dataSet), {}, row};
    if (!m_swapped && DevicesAsBefore() && SameSummary(m_summary, after.summary))
    {
        return nullptr;
    }
    if (m_first)
    {
        const std::vector<SParaDevice>& devices = m_dataSet.Content().devices;
        after.devices.assign(devices.begin() + *m_first, devices.begin() + *m_first + CountNow());
    }
    return std::make_unique<DataSetStep>(m_dataSet, m_first, m_swapped,
                                         StepSide{std::move(m_summary), std::move(m_replaced), m_row},
                                         std::move(after), owner, std::move(shown));
}
