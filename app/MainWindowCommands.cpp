// The main window's commands: loading and saving data set files (menu and
// dropped files), the XML exchange of devices, the device list commands and the
// Options menu.

#include "OstrelDlg.h"

#include "CalInfoDialog.h"
#include "DataSetHistory.h"
#include "Device.h"
#include "EditFlexGrid.h"
#include "FileDialog.h"
#include "LibraryError.h"
#include "LibraryErrorReport.h"
#include "MessageBox.h"
#include "RemoteDialog.h"
#include "SParaXmlFile.h"
#include "SensorIdDialog.h"
#include "TextConversion.h"
#include "VisualizeDialog.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace
{

const QString DataSetFilter =
    QStringLiteral("*.cal and *.bin Files|*.cal; *.bin|*.cal Files|*.cal|*.bin Files|*.bin|All Files (*.*)|*.*||");
const QString XmlFilter = QStringLiteral("*.xml Files|*.xml|All Files (*.*)|*.*||");
const QString DataSetExtension = QStringLiteral("cal");
const QString XmlExtension = QStringLiteral("xml");

const QString DropErrorCaption = QStringLiteral("Error");
const QString SaveChangesQuestion =
    QStringLiteral("The calibration data set has been modified.\r\nDo you want to save the changes?");
const QString NoDialog = QStringLiteral("Dialog Box could not be created.");
const QString NoDevice = QStringLiteral("No device available!");
const QString NoSelection = QStringLiteral("No device selected!");
const QString DeviceWriteProtected =
    QStringLiteral("This device is write-protected!\r\nRemove write protection first.");
const QString ConfirmDelete = QStringLiteral("Deleting cannot be undone. Proceed?");
const QString AlreadyOnTop = QStringLiteral("This device is already on top of the list.");
const QString AlreadyAtEnd = QStringLiteral("This device is already at the end of the list.");
const QString SingleDeviceOnly = QStringLiteral(
    "This sensor supports only one s-parameter device!\r\nSaving calibration data will not be possible.");

const std::string NewDeviceMnemonic = "new_device";

constexpr UINT StopBox = MB_OK | MB_ICONSTOP;

bool IsWriteProtected(const CTamrix& dataSet, long device)
{
    return (dataSet.GetSParaDeviceFlags(device) & sParaDevice_writeProtected) != 0;
}

// The path a file dialog was confirmed with; empty after Cancel or an empty name.
struct FileChoice
{
    bool confirmed = false;
    QString path;
};

// `proposed`: the path a save dialog starts with.
FileChoice AskForFile(QWidget* parent, bool open, const QString& extension, const QString& filter,
                      const QString& proposed = QString())
{
    const UINT flags = open ? OFN_HIDEREADONLY : OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    CFileDialog dialog(open, extension, proposed, flags, filter, parent);
    FileChoice choice;
    choice.confirmed = dialog.DoModal() == IDOK;
    if (choice.confirmed)
    {
        choice.path = dialog.GetPathName();
    }
    return choice;
}

} // namespace

void COstrelDlg::LoadDataSetFromFile(const QString& path)
{
    const FormatPair format = CTamrixUtil::LoadTMXFromFile2(m_dataSet, WideToPath(path).c_str());
    std::tie(m_version, m_revision) = format;
    FinishLoad();
    m_filePath = QFileInfo(path).absoluteFilePath();
    SetWindowText(QFileInfo(path).fileName());
    SetStatusText(QString());
}

void COstrelDlg::LoadDataSetFromBuffer(const std::string& data)
{
    const FormatPair format = CTamrixUtil::LoadTMXFromBuffer2(m_dataSet, data);
    std::tie(m_version, m_revision) = format;
    FinishLoad();
    m_filePath.clear();
    SetWindowText(Utf8ToWide("Upload from " + m_dataSet.GetSensorName() + " Ser.# " + m_dataSet.GetSerialNumber()));
    SetStatusText(QString());
}

void COstrelDlg::FinishLoad()
{
    // The data set is in: an identity that cannot be stored is shown, but the
    // load itself stands.
    RunLibraryAction(this, [this] { CheckSensorIdentity(); });
    m_loaded = true;
    m_history.clear();
}

void COstrelDlg::CheckSensorIdentity()
{
    if (!m_dataSet.GetSensorName().empty() && !m_dataSet.GetStockNumber().empty()
        && !m_dataSet.GetSerialNumber().empty())
    {
        return;
    }
    CSensorIdDialog dialog(this);
    dialog.SetSensorName(m_dataSet.GetSensorName());
    dialog.SetStockNumber(m_dataSet.GetStockNumber());
    dialog.SetAttribute(m_dataSet.GetAttribute());
    dialog.SetSerialNumber(m_dataSet.GetSerialNumber());
    dialog.SetSerialNumberInternal(m_dataSet.GetSerialNumberInternal());
    dialog.SetOptions(m_dataSet.GetChannelNumber() == 0, m_version, m_revision);
    const int result = dialog.DoModal();
    if (result == -1)
    {
        MessageBox(this, NoDialog, QString(), StopBox);
        return;
    }
    if (result != IDOK)
    {
        return;
    }
    m_dataSet.SetSensorName(dialog.GetSensorName());
    m_dataSet.SetStockNumber(dialog.GetStockNumber());
    m_dataSet.SetAttribute(dialog.GetAttribute());
    m_dataSet.SetSerialNumber(dialog.GetSerialNumber());
    m_dataSet.SetSerialNumberInternal(dialog.GetSerialNumberInternal());
}

void COstrelDlg::InitNewDevice(long index)
{
    const MiscNum& misc = m_dataSet.GetMiscNum();
    // NaN means the sensor does not give the figure; infinities are figures.
    const auto given = [](float value, double start) { return std::isnan(value) ? start : double(value); };
    const double frequency = given(misc.startFrequency, 0.0);
    const double lower = given(misc.minPower, 0.0);
    const double upper = given(misc.maxPower, 0.1);
    m_dataSet.SetSPDMnemonic(index, NewDeviceMnemonic);
    m_dataSet.SetSParaFreq(index, 0, frequency);
    m_dataSet.SetSParaMinPower(index, lower);
    m_dataSet.SetSParaMaxPower(index, upper);
}

void COstrelDlg::LoadFileReporting(const QString& path, const QString& errorCaption)
{
    try
    {
        LoadDataSetFromFile(path);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        MessageBox(this, FormatLibraryError(error), errorCaption, StopBox);
    }
}

void COstrelDlg::RefreshAll()
{
    RunLibraryAction(this, [this] {
        RefreshDeviceList();
        RefreshGlobalFlags();
    });
}

bool COstrelDlg::MayDropDataSet()
{
    if (m_history.isClean())
    {
        return true;
    }
    switch (AskToSaveChanges(this, SaveChangesQuestion))
    {
    case SaveChoice::Save:
        return SaveDataSetAs();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void COstrelDlg::OnFileLoad()
{
    if (!MayDropDataSet())
    {
        return;
    }
    const FileChoice choice = AskForFile(this, true, DataSetExtension, DataSetFilter);
    if (!choice.confirmed)
    {
        return;
    }
    if (!choice.path.isEmpty())
    {
        LoadFileReporting(choice.path, QString());
    }
    RefreshAll();
}

void COstrelDlg::OnDropFiles(const QStringList& paths)
{
    if (!MayDropDataSet())
    {
        return;
    }
    // Only the first file counts, whatever its extension.
    LoadFileReporting(paths.front(), DropErrorCaption);
    RefreshAll();
}

void COstrelDlg::OnFileSave()
{
    SaveDataSetAs();
}

bool COstrelDlg::SaveDataSetAs()
{
    const FileChoice choice = AskForFile(this, false, DataSetExtension, DataSetFilter, m_filePath);
    if (choice.path.isEmpty()
        || !RunLibraryAction(this, [this, &choice] {
               CTamrixUtil::StoreTMXToFile2(m_dataSet, WideToPath(choice.path).c_str(), m_version, m_revision);
           }))
    {
        return false;
    }
    SetWindowText(choice.path);
    m_filePath = choice.path;
    m_history.setClean();
    return true;
}

void COstrelDlg::OnFileExportSPara()
{
    const FileChoice choice = AskForFile(this, false, XmlExtension, XmlFilter);
    if (choice.path.isEmpty())
    {
        return;
    }
    RunLibraryAction(this, [this, &choice] { ExportSParaToFile(m_dataSet, choice.path); });
}

void COstrelDlg::OnFileImportSPara()
{
    const FileChoice choice = AskForFile(this, true, XmlExtension, XmlFilter);
    if (!choice.confirmed)
    {
        return;
    }
    if (choice.path.isEmpty())
    {
        RefreshAll();
        return;
    }
    DataSetChange change = StartChange();
    change.ReplacingDevices(0, m_dataSet.GetSParaDeviceNumber());
    if (RunLibraryAction(this, [this, &choice] { ImportSParaFromFile(m_dataSet, choice.path); }))
    {
        MarkModified(true, true);
    }
    RefreshAll();
    Record(change);
}

bool COstrelDlg::SelectedDevice(long& device)
{
    if (m_dataSet.GetSParaDeviceNumber() < 1)
    {
        MessageBox(this, NoDevice, QString(), StopBox);
        return false;
    }
    const QWidget* focus = focusWidget();
    if (focus == nullptr || (focus != m_deviceGrid && !m_deviceGrid->isAncestorOf(focus)))
    {
        MessageBox(this, NoSelection, QString(), StopBox);
        return false;
    }
    device = m_deviceGrid->GetRow() - 1;
    return true;
}

void COstrelDlg::WarnSingleDevice()
{
    if (m_version == '2' && m_dataSet.GetSParaDeviceNumber() > 0)
    {
        MessageBox(this, SingleDeviceOnly, QString(), MB_OK | MB_ICONEXCLAMATION);
    }
}

void COstrelDlg::OnDeviceEdit()
{
    long device = 0;
    if (!SelectedDevice(device))
    {
        return;
    }
    bool readOnly = false;
    if (!RunLibraryAction(this, [this, device, &readOnly] { readOnly = IsWriteProtected(m_dataSet, device); }))
    {
        return;
    }
    DataSetChange change = StartChange();
    change.ReplacingDevices(device, 1);
    CDevice editor(device, &m_dataSet, readOnly, this);
    const int result = editor.DoModal();
    if (result == -1)
    {
        MessageBox(this, NoDialog, QString(), StopBox);
        return;
    }
    // OK on a device as it was changes nothing, whatever the editor answered.
    if (change.DevicesAsBefore())
    {
        return;
    }
    RefreshAll();
    MarkModified(true, true);
    Record(change);
}

void COstrelDlg::OnDeviceAppend()
{
    WarnSingleDevice();
    const long count = m_dataSet.GetSParaDeviceNumber();
    DataSetChange change = StartChange();
    change.ReplacingDevices(count, 0);
    bool added = false;
    RunLibraryAction(this, [this, count, &added] {
        m_dataSet.SetSParaDeviceNumber(count + 1);
        added = true;
        InitNewDevice(count);
    });
    if (added)
    {
        RefreshAll();
        MarkModified(true, true);
        Record(change);
    }
}

void COstrelDlg::OnDeviceInsert()
{
    if (m_dataSet.GetSParaDeviceNumber() < 1)
    {
        OnDeviceAppend();
        return;
    }
    WarnSingleDevice();
    // Inserting needs no focus: the current row is the place even when the
    // grid does not have the keyboard.
    const long device = std::max(m_deviceGrid->GetRow() - 1, 0L);
    DataSetChange change = StartChange();
    change.ReplacingDevices(device, 0);
    bool added = false;
    RunLibraryAction(this, [this, device, &added] {
        m_dataSet.InsertSParaDeviceBefore(device);
        added = true;
        InitNewDevice(device);
    });
    if (added)
    {
        RefreshAll();
        MarkModified(true, true);
        Record(change);
    }
}

void COstrelDlg::OnDeviceDelete()
{
    long device = 0;
    if (!SelectedDevice(device))
    {
        return;
    }
    bool writeProtected = false;
    if (!RunLibraryAction(this, [this, device, &writeProtected] {
            writeProtected = IsWriteProtected(m_dataSet, device);
        }))
    {
        return;
    }
    if (writeProtected)
    {
        MessageBox(this, DeviceWriteProtected, QString(), StopBox);
        return;
    }
    if (MessageBox(this, ConfirmDelete, QString(), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
    {
        return;
    }
    DataSetChange change = StartChange();
    change.ReplacingDevices(device, 1);
    if (!RunLibraryAction(this, [this, device] {
            m_dataSet.DeleteSParaDevice(device);
            // Only a user data set may be without a default device; a factory
            // data set's default is the library's to keep.
            if (m_dataSet.GetChannelNumber() == 0 && m_dataSet.GetSParaDeviceNumber() == 0)
            {
                m_dataSet.SetSParaDefaultDevice(-1);
            }
        }))
    {
        return;
    }
    RefreshAll();
    MarkModified(true, false);
    Record(change);
}

void COstrelDlg::OnDeviceMoveUp()
{
    MoveSelectedDevice(-1);
}

void COstrelDlg::OnDeviceMoveDown()
{
    MoveSelectedDevice(+1);
}

void COstrelDlg::MoveSelectedDevice(int step)
{
    long device = 0;
    if (!SelectedDevice(device))
    {
        return;
    }
    const long neighbour = device + step;
    if (neighbour < 0)
    {
        MessageBox(this, AlreadyOnTop, QString(), StopBox);
        return;
    }
    if (neighbour >= m_dataSet.GetSParaDeviceNumber())
    {
        MessageBox(this, AlreadyAtEnd, QString(), StopBox);
        return;
    }
    DataSetChange change = StartChange();
    change.SwappingDevices(neighbour, device);
    if (!RunLibraryAction(this, [this, device, neighbour] {
            // The library's swap carries the default index with its device; the
            // window only makes sure the moved default follows the selection.
            const long defaultDevice = m_dataSet.GetSParaDefaultDevice();
            m_dataSet.SwapSParaDevices(neighbour, device);
            if (defaultDevice == device)
            {
                m_dataSet.SetSParaDefaultDevice(neighbour);
            }
        }))
    {
        return;
    }
    m_deviceGrid->SetRow(neighbour + 1);
    RefreshAll();
    MarkModified(true, false);
    Record(change);
}

void COstrelDlg::OnOptionsUserData()
{
    CCalInfoDialog dialog(this);
    dialog.SetLab(m_calLab);
    dialog.SetEng(m_calEng);
    const int result = dialog.DoModal();
    if (result == -1)
    {
        MessageBox(this, NoDialog, QString(), StopBox);
        return;
    }
    if (result == IDOK)
    {
        // The data set gets the new texts with its next stamp.
        m_calLab = dialog.GetLab();
        m_calEng = dialog.GetEng();
    }
}

void COstrelDlg::OnOptionsRemote()
{
    CRemoteDialog dialog(this);
    dialog.SetTimeout(m_timeout);
    dialog.SetCalDataTimeout(m_calDataTimeout);
    const int result = dialog.DoModal();
    if (result == -1)
    {
        MessageBox(this, NoDialog, QString(), StopBox);
        return;
    }
    if (result == IDOK)
    {
        m_timeout = dialog.GetTimeout();
        m_calDataTimeout = dialog.GetCalDataTimeout();
    }
}

void COstrelDlg::OnOptionsShowCalData()
{
    // Before the first load this shows the start data set, which the commands
    // edit and save like any other.
    ShowDataSetText(this, [this] { return m_dataSet.Visualize(); });
}
