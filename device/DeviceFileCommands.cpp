// The device editor's File menu: Touchstone two-port and uncertainty files into
// and out of the frequency table. The imports read the whole file before they
// touch a control, so a file the reader refuses changes nothing.

#include "Device.h"

#include "EditFlexGrid.h"
#include "FileDialog.h"
#include "CellBlock.h"
#include "GridNumbers.h"
#include "LibraryError.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "S2PDataFile.h"
#include "S2PFileFormat.h"
#include "Tamrix.h"
#include "TamrixError.h"
#include "TextConversion.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QUndoStack>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

namespace
{

constexpr long frequencyColumn = 1;
// Real and imaginary part of S11, S21, S12 and S22 in the grid, in Touchstone order.
constexpr long valueColumns[8] = {2, 3, 5, 6, 8, 9, 11, 12};
constexpr long uncertaintyColumns[4] = {4, 7, 10, 13};
// The columns the two exports write, in file order.
constexpr long s2pFileColumns[9] = {1, 2, 3, 5, 6, 8, 9, 11, 12};
constexpr long uncertaintyFileColumns[5] = {1, 4, 7, 10, 13};
const SParaType<1>* const touchstoneOrder[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12,
                                                 &SParaType<1>::S22};

// Derived power limits keep three significant digits.
constexpr int limitDigits = 3;

struct FileDialogSetup
{
    bool open;
    const char* extension;
    const char* filter;
    const char* title;
};

const char* const s2pFilter = "*.s2p Files|*.s2p;|All Files (*.*)|*.*||";
const char* const txtFilter = "*.txt Files|*.txt;|All Files (*.*)|*.*||";
const FileDialogSetup importS2PDialog{true, "S2P", s2pFilter, "Select S2P file"};
const FileDialogSetup importUncertaintyDialog{true, "TXT", txtFilter, "Select uncertainty file"};
const FileDialogSetup exportS2PDialog{false, "S2P", s2pFilter, "Select S2P file for export"};
const FileDialogSetup exportUncertaintyDialog{false, "TXT", txtFilter, "Select uncertainty file for export"};

// The path chosen in the file dialog; nothing when the user cancelled, chose an
// empty name or no dialog could be made (the user has been told then). Unlike
// the main window's, the save dialogs do not ask before replacing a file.
std::optional<QString> AskForPath(QWidget* owner, const FileDialogSetup& setup)
{
    CFileDialog dialog(setup.open, QString::fromLatin1(setup.extension), QString(), OFN_HIDEREADONLY,
                       QString::fromLatin1(setup.filter), owner);
    dialog.SetTitle(QString::fromLatin1(setup.title));
    const int result = dialog.DoModal();
    if (result == -1)
    {
        MessageBox(owner, QStringLiteral("Dialog Box could not be created."), QString(), MB_OK | MB_ICONERROR);
        return std::nullopt;
    }
    if (result != IDOK || dialog.GetPathName().isEmpty())
    {
        return std::nullopt;
    }
    return dialog.GetPathName();
}

void ShowLibraryError(QWidget* owner, const TvxKyyCalcDLLError& error)
{
    MessageBox(owner, FormatLibraryError(error), QString(), MB_OK | MB_ICONSTOP);
}

// The file's points as the rows of the table, every number as the file gives
// it, no uncertainties.
CellBlock ReadPoints(const CS2PDataFile& file, long cols)
{
    const unsigned count = file.GetNumPoints();
    CellBlock rows(static_cast<long>(count), cols);
    for (unsigned i = 0; i < count; ++i)
    {
        const long row = static_cast<long>(i);
        rows.SetNumber(row, frequencyColumn, file.GetFrequency(i));
        for (std::size_t s = 0; s < 4; ++s)
        {
            const SParaValue value = file.GetSPara(i, touchstoneOrder[s]);
            rows.SetNumber(row, valueColumns[2 * s], std::get<0>(value));
            rows.SetNumber(row, valueColumns[2 * s + 1], std::get<1>(value));
        }
        for (const long col : uncertaintyColumns)
        {
            rows.SetNumber(row, col, 0);
        }
    }
    return rows;
}

// The file's points beyond the most a device holds are refused at the first
// of them, before the table changes.
void CheckPointCount(const CS2PDataFile& file, const std::string& fileName)
{
    const auto most = static_cast<unsigned>(maxSParaFreqNumber);
    if (file.GetNumPoints() > most)
    {
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument, fileName + ", point " + std::to_string(most + 1) +
                                                                     ", line " + std::to_string(file.GetLine(most)));
    }
}

// The data set's power limits referred to the input of the device in front of
// the sensor, as texts for the limit fields; nothing when the file gives no
// positive finite largest |S21|^2 to divide by.
std::optional<std::pair<QString, QString>> DerivedPowerLimits(const CS2PDataFile& file, const CTamrix& dataSet)
{
    const double gain = file.GetMaxS21Gain();
    if (!(gain > 0) || !std::isfinite(gain))
    {
        return std::nullopt;
    }
    const MiscNum& misc = dataSet.GetMiscNum();
    double lower = misc.minPower;
    double upper = misc.maxPower;
    if (std::isnan(lower) || std::isnan(upper))
    {
        std::tie(lower, upper) = GetDefaultPowerLimits(dataSet.GetStockNumber());
    }
    return std::make_pair(FormatEngineering(RoundToSignificantDigits(lower / gain, limitDigits)),
                          FormatEngineering(RoundToSignificantDigits(upper / gain, limitDigits)));
}

long DataRows(const CMSFlexGrid& grid)
{
    return std::max(grid.GetRows() - 1, 0L);
}

// The fields of one grid row for a file that writes the given columns: every
// number with as many digits as reading it back takes.
template <std::size_t Count>
auto RowFieldsOf(const CMSFlexGrid& grid, const long (&columns)[Count])
{
    return [&grid, &columns, texts = std::array<std::string, Count>()](
               std::size_t index, std::array<std::string_view, Count>& fields) mutable {
        const long row = static_cast<long>(index) + 1;
        for (std::size_t i = 0; i < Count; ++i)
        {
            texts[i].clear();
            grid.AppendTextMatrixExact(texts[i], row, columns[i]);
            fields[i] = texts[i];
        }
    };
}

// The "!" line holds the mnemonic as the field shows it; an empty field gives none.
std::optional<std::string> ExportComment(const QLineEdit& mnemonic)
{
    if (mnemonic.text().isEmpty())
    {
        return std::nullopt;
    }
    return WideToLatin1(mnemonic.text());
}

void WriteExport(QWidget* owner, const QString& path, const std::string& text)
{
    const std::string fileName = WideToPath(path);
    if (!WriteStringToFile(fileName, text))
    {
        ShowLibraryError(owner, TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, fileName));
    }
}

} // namespace

void CDevice::OnImportS2P()
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    const std::optional<QString> path = AskForPath(this, importS2PDialog);
    if (!path)
    {
        return;
    }
    const std::string fileName = WideToPath(*path);
    CellBlock rows;
    std::optional<std::pair<QString, QString>> limits;
    std::optional<unsigned> fallingLine;
    try
    {
        const CS2PDataFile file('s', fileName,
                                 [&](const std::string& message) { ShowParserError(fileName, message); });
        CheckPointCount(file, fileName);
        rows = ReadPoints(file, m_grid->GetCols());
        limits = DerivedPowerLimits(file, *m_dataSet);
        if (const std::optional<unsigned> falling = file.GetFirstFallingRow())
        {
            fallingLine = file.GetLine(*falling);
        }
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        ShowLibraryError(this, error);
        return;
    }
    CommitFieldEdits();
    m_undo->beginMacro(QStringLiteral("Import S2P"));
    ChangeRows(1, m_grid->GetRows() - 1, std::move(rows), QStringLiteral("Import S2P"));
    SetFieldText(m_mnemonic, QFileInfo(*path).completeBaseName());
    if (limits)
    {
        SetFieldText(m_lowerLimit, limits->first);
        SetFieldText(m_upperLimit, limits->second);
    }
    m_undo->endMacro();
    if (fallingLine)
    {
        WarnFallingFrequency(fileName, *fallingLine);
    }
}

void CDevice::OnImportUncertainty()
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    const std::optional<QString> path = AskForPath(this, importUncertaintyDialog);
    if (!path)
    {
        return;
    }
    const std::string fileName = WideToPath(*path);
    const long rows = DataRows(*m_grid);
    CellBlock table = m_grid->GetRowBlock(1, rows);
    std::optional<unsigned> fallingLine;
    try
    {
        const CS2PDataFile file('u', fileName,
                                 [&](const std::string& message) { ShowParserError(fileName, message); });
        for (long row = 0; row < rows; ++row)
        {
            // The file's points need not be the grid's: the reader picks the
            // line that applies at each grid frequency.
            const std::array<double, 4> values = file.GetUncertainty(CellToDouble(*m_grid, row + 1, frequencyColumn, 0.0));
            for (std::size_t s = 0; s < values.size(); ++s)
            {
                table.SetNumber(row, uncertaintyColumns[s], values[s]);
            }
        }
        if (const std::optional<unsigned> falling = file.GetFirstFallingRow())
        {
            fallingLine = file.GetLine(*falling);
        }
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        ShowLibraryError(this, error);
        return;
    }
    ChangeRows(1, rows, std::move(table), QStringLiteral("Import uncertainty"));
    if (fallingLine)
    {
        WarnFallingFrequency(fileName, *fallingLine);
    }
}

void CDevice::OnExportS2P()
{
    if (!m_grid->CommitEdit())
    {
        return;
    }
    const std::optional<QString> path = AskForPath(this, exportS2PDialog);
    if (!path)
    {
        return;
    }
    const std::string text = MakeS2PFileText(ExportComment(*m_mnemonic), static_cast<std::size_t>(DataRows(*m_grid)),
                                             RowFieldsOf(*m_grid, s2pFileColumns));
    WriteExport(this, *path, text);
}

void CDevice::OnExportUncertainty()
{
    if (!m_grid->CommitEdit())
    {
        return;
    }
    const std::optional<QString> path = AskForPath(this, exportUncertaintyDialog);
    if (!path)
    {
        return;
    }
    const std::string text =
        MakeUncertaintyFileText(ExportComment(*m_mnemonic), static_cast<std::size_t>(DataRows(*m_grid)),
                                RowFieldsOf(*m_grid, uncertaintyFileColumns));
    WriteExport(this, *path, text);
}

void CDevice::WarnFallingFrequency(const std::string& fileName, unsigned line)
{
    MessageBox(this,
               QStringLiteral("The frequency falls at line %1 of\r\n%2\r\nThe file was imported; OK stores the device only "
                              "once its frequencies do not fall.")
                   .arg(line)
                   .arg(PathToWide(fileName)),
               QString(), MB_OK | MB_ICONEXCLAMATION);
}

// The reader's report, after the file's name and where in it reading stopped.
void CDevice::ShowParserError(const std::string& fileName, const std::string& message)
{
    static const std::string location = "\n\nCheck input file in this location!";
    MessageBox(this, PathToWide(fileName) + QStringLiteral(", ") + Latin1ToWide(message + location),
               QStringLiteral("Parser Error"), MB_OK | MB_ICONERROR);
}
