// The Sensor menu's transfers: Load Calibration Data reads a data set out of a
// sensor and loads it like a file; Save Calibration Data writes the data set
// into the sensor it belongs to.

#include "OstrelDlg.h"

#include "DownloadDialog.h"
#include "LibraryErrorReport.h"
#include "MessageBox.h"
#include "Resource.h"
#include "TextConversion.h"
#include "UploadDialog.h"

namespace
{

const QString NoDialog = QStringLiteral("Dialog Box could not be created.");
const QString EmptyUpload = QStringLiteral("Error during upload of calibration data set.");
const QString UserSetWithFactoryOption = QStringLiteral(
    "Consistency check failed:\r\nThe option \"Always Use Factory Data Set\" in the Sensor menu is checked, but the "
    "current data set is a user data set. Uncheck the option before downloading.");

constexpr UINT StopBox = MB_OK | MB_ICONSTOP;

// Why an upload brought nothing, after the error text; for an empty user area
// also where the factory data set is.
QString EmptyUploadReason(const std::string& reason, bool factoryForced)
{
    if (reason.empty())
        return {};
    QString text = QStringLiteral("\r\n\r\n") + Latin1ToWide(reason);
    if (!factoryForced && reason.find("user data area") != std::string::npos)
        text += QStringLiteral("\r\n\"Always Use Factory Data Set\" in the Sensor menu reads the sensor's factory data "
                               "set instead.");
    return text;
}

} // namespace

void COstrelDlg::OnSensorLoad()
{
    if (!MayDropDataSet())
        return;
    CUploadDialog dialog(m_timeout, m_calDataTimeout, m_includeNetworkResources, m_alwaysUseFactoryDataSet);
    const int result = dialog.DoModal();
    if (result == -1) {
        MessageBox(this, NoDialog, QString(), StopBox);
        return;
    }
    if (result != IDOK)
        return;
    if (dialog.ResultData().empty())
        MessageBox(this, EmptyUpload + EmptyUploadReason(dialog.EmptyReason(), m_alwaysUseFactoryDataSet), QString(),
                   StopBox);
    else
        RunLibraryAction(this, [this, &dialog] { LoadDataSetFromBuffer(dialog.ResultData()); });
    RunLibraryAction(this, [this] {
        RefreshDeviceList();
        RefreshGlobalFlags();
    });
}

void COstrelDlg::OnSensorSave()
{
    const long channel = m_dataSet.GetChannelNumber();
    if (channel == 0 && m_alwaysUseFactoryDataSet) {
        MessageBox(this, UserSetWithFactoryOption, QString(), StopBox);
        return;
    }
    const bool forceFactory = channel > 0 || (channel != 0 && m_alwaysUseFactoryDataSet);
    CDownloadDialog dialog(m_timeout, m_calDataTimeout, m_includeNetworkResources, forceFactory);
    dialog.SetSensorIdentity(m_dataSet.GetSensorName(), m_dataSet.GetSerialNumber());
    const std::string lin = m_dataSet.GetCalDate(CMeasurement::Lin);
    const std::string temp = m_dataSet.GetCalDate(CMeasurement::Temp);
    const std::string refl = m_dataSet.GetCalDate(CMeasurement::Refl);
    const std::string abso = m_dataSet.GetCalDate(CMeasurement::Abso);
    const std::string misc = m_dataSet.GetCalDate(CMeasurement::Misc);
    dialog.SetCalDates(misc, abso, refl, temp, lin);
    if (!RunLibraryAction(this, [this, &dialog] {
            CTamrixUtil::StoreTMXToBuffer2(m_dataSet, dialog.DataBuffer(), m_version, m_revision);
        }))
        return;
    dialog.SetSensorIdentity(m_dataSet.GetSensorName(), m_dataSet.GetSerialNumber());
    if (dialog.DoModal() == -1)
        MessageBox(this, NoDialog, QString(), StopBox);
}
