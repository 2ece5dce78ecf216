#pragma once

// The undo steps of the main window's data set. A data set may hold 64 devices
// of 99,999 points each, so a step keeps only what its command changed: the
// small values any command may touch (global flags, default device, device
// flags, the S-parameter calibration record) before and after, and the contents
// of the devices it rewrote, removed or added, or the two it swapped.

#include "Tamrix.h"

#include <QUndoCommand>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

// True when the two devices hold the same mnemonic, limits, flags and points,
// every number bit for bit.
bool SameDevice(const SParaDevice& a, const SParaDevice& b);

// The small values of a data set that commands change besides whole devices.
struct DataSetSummary
{
    std::uint32_t corrDef = 0;
    std::int32_t defaultDevice = -1;
    std::vector<std::uint32_t> deviceFlags;
    CalInfo sParaCalInfo;
};

// One command's change, taken around the command: made before it runs, told
// which devices it is about to replace or swap, and finished after it ran.
class DataSetChange
{
public:
    // `row` is the device list's current row before the command.
    DataSetChange(CTamrix& dataSet, long row);

    // The command rewrites or removes `count` devices from `first` on, or adds
    // devices there (count 0); their contents are kept from now on.
    void ReplacingDevices(long first, long count);
    // The command swaps these two devices.
    void SwappingDevices(long first, long second);

    // After the command: whether the devices it was to replace are all still
    // there as they were (nothing was added or removed, no number differs).
    bool DevicesAsBefore() const;

    // After the command: the undo step, with `row` the list's row now, or
    // nothing when the data set is as it was. The step's first redo does
    // nothing, the command having done it. Undo and redo call `shown` with the
    // row the list had then; a refusal of the data set is reported to `owner`.
    std::unique_ptr<QUndoCommand> Finish(long row, QWidget* owner, std::function<void(long row)> shown);

private:
    // How many devices stand now where the replaced ones stood.
    long CountNow() const;

    CTamrix& m_dataSet;
    long m_row;
    DataSetSummary m_summary;
    long m_countBefore;
    std::optional<long> m_first;
    std::vector<SParaDevice> m_replaced;
    std::optional<std::pair<long, long>> m_swapped;
};
