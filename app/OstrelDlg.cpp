#include "OstrelDlg.h"

#include "AppIcon.h"
#include "Bitmaps.h"
#include "CalDate.h"
#include "DataSetHistory.h"
#include "EditFlexGrid.h"
#include "FontFallback.h"
#include "GridMessages.h"
#include "LibraryErrorReport.h"
#include "Resource.h"
#include "Settings.h"
#include "TextConversion.h"
#include "UserGuide.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QPaintEvent>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace
{

const QString StatusNotLoaded = QStringLiteral("No cal. data set loaded.");
const QString StatusModified = QStringLiteral("Calibration data set modified.");
const std::string NotApplicable = "not applicable";

// The four boxes in the order of their controls, with the global flag bit each shows.
constexpr std::array<std::pair<int, unsigned long>, 4> FlagBoxes{{
    {IDC_FLAG_ACTIVE_AFTER_RESET, sParaCorr_activeAfterReset},
    {IDC_FLAG_STATE_LOCKED, sParaCorr_stateLocked},
    {IDC_FLAG_DEVICE_LOCKED, sParaCorr_deviceLocked},
    {IDC_FLAG_USE_FACTORY_FLAGS, sParaCorr_useFactoryFlags},
}};

constexpr int DeviceNumberColumn = 0;
constexpr int MnemonicColumn = 1;
constexpr int DefaultDeviceColumn = 2;
constexpr int WriteProtectionColumn = 3;

// Column types 2 and 3 mark the picture columns; the grid locks them like 1.
constexpr int DeviceColumnTypes[4] = {1, 1, 2, 3};

constexpr long DeviceNumberWidth = 850;
constexpr long DefaultDeviceWidth = 1550;
constexpr long WriteProtectionWidth = 1400;
// Room the grid keeps for its border and vertical scroll bar, in pixels.
constexpr int GridFramePixels = 60;

// Grid column alignments
constexpr int AlignLeftCentre = 1;
constexpr int AlignCentreCentre = 4;

constexpr unsigned long WriteProtected = 1;

} // namespace

COstrelDlg::COstrelDlg(QWidget* parent)
    : CDialog(IDD_OSTREL_DIALOG, parent)
    , m_icon(LoadAppIcon())
{
    m_dataSet.SetSParaDeviceNumber(0);

    for (const auto& [id, bit] : FlagBoxes)
    {
        MapCommand(id, &COstrelDlg::OnGlobalFlag);
    }
    MapMessage(WM_GRID_ACTIVATE, [this](WPARAM, LPARAM) { OnGridActivate(); });
    MapMessage(WM_GRID_INSERT, [this](WPARAM, LPARAM) { OnDeviceInsert(); });
    MapMessage(WM_GRID_DELETE, [this](WPARAM, LPARAM) { OnDeviceDelete(); });

    MapCommand(ID_FILE_EXIT, &COstrelDlg::OnCancel);
    MapCommand(ID_EDIT_UNDO, &COstrelDlg::OnEditUndo);
    MapCommand(ID_EDIT_REDO, &COstrelDlg::OnEditRedo);
    MapCommand(ID_SENSOR_LOAD, &COstrelDlg::OnSensorLoad);
    MapCommand(ID_SENSOR_SAVE, &COstrelDlg::OnSensorSave);
    MapCommand(ID_SENSOR_SCAN_NETWORK, &COstrelDlg::OnSensorScanNetwork);
    MapCommand(ID_SENSOR_ALWAYS_FACTORY, &COstrelDlg::OnSensorAlwaysFactory);
    MapCommand(ID_FILE_LOAD, &COstrelDlg::OnFileLoad);
    MapCommand(ID_FILE_SAVE, &COstrelDlg::OnFileSave);
    MapCommand(ID_FILE_EXPORT_SPARA, &COstrelDlg::OnFileExportSPara);
    MapCommand(ID_FILE_IMPORT_SPARA, &COstrelDlg::OnFileImportSPara);
    MapCommand(ID_DEVICE_EDIT, &COstrelDlg::OnDeviceEdit);
    MapCommand(ID_DEVICE_INSERT, &COstrelDlg::OnDeviceInsert);
    MapCommand(ID_DEVICE_APPEND, &COstrelDlg::OnDeviceAppend);
    MapCommand(ID_DEVICE_DELETE, &COstrelDlg::OnDeviceDelete);
    MapCommand(ID_DEVICE_MOVE_UP, &COstrelDlg::OnDeviceMoveUp);
    MapCommand(ID_DEVICE_MOVE_DOWN, &COstrelDlg::OnDeviceMoveDown);
    MapCommand(ID_OPTIONS_USER_DATA, &COstrelDlg::OnOptionsUserData);
    MapCommand(ID_OPTIONS_REMOTE, &COstrelDlg::OnOptionsRemote);
    MapCommand(ID_OPTIONS_SHOW_CAL_DATA, &COstrelDlg::OnOptionsShowCalData);
    MapCommand(ID_HELP_GUIDE, [this] { ShowUserGuide(this); });
    MapCommand(ID_HELP_ABOUT, &COstrelDlg::OnHelpAbout);
}

COstrelDlg::~COstrelDlg() = default;

bool COstrelDlg::OnInitDialog()
{
    DoDataExchange();
    setWindowIcon(m_icon);
    m_deviceGrid->m_hNotifyWnd = GetSafeHwnd();
    m_dataSet.EnableUtf8Support(true);
    SetUpDeviceGrid();
    RunLibraryAction(this, [this] {
        RefreshDeviceList();
        RefreshGlobalFlags();
    });
    LoadSettings();
    SetUpSensorMenu();
    SetUpEditMenu();

    m_statusFont = CreateFontOrFallback(QStringLiteral("Segoe UI"), 18, QStringLiteral("Arial"));
    m_statusLine->setFont(m_statusFont);
    m_statusLine->setEnabled(false);
    SetStatusText(StatusNotLoaded);
    if (!m_startFile.isEmpty())
    {
        QTimer::singleShot(0, this, [this] {
            LoadFileReporting(m_startFile, QString());
            RefreshAll();
        });
    }
    return true;
}

void COstrelDlg::SetStartFile(const QString& path)
{
    m_startFile = path;
}

void COstrelDlg::DoDataExchange()
{
    m_deviceGrid = static_cast<CEditFlexGrid*>(ReplaceDlgItem(IDC_DEVICE_GRID, new CEditFlexGrid()));
    for (std::size_t i = 0; i < FlagBoxes.size(); ++i)
    {
        m_flagBoxes[i] = GetDlgItemAs<QCheckBox>(FlagBoxes[i].first);
    }
    m_statusLine = GetDlgItemAs<QLineEdit>(IDC_STATUS_LINE);
}

void COstrelDlg::SetUpDeviceGrid()
{
    const QString headers[4] = {QStringLiteral("Dev. #"), QStringLiteral("Dev. Mnemonic"),
                                QStringLiteral("Default Dev."), QStringLiteral("Write Prot.")};
    QFont gridFont(QStringLiteral("Courier New"));
    gridFont.setStyleHint(QFont::TypeWriter);
    gridFont.setPointSizeF(9.75);
    m_deviceGrid->setFont(gridFont);
    m_deviceGrid->SetupColumns(4, DeviceColumnTypes, headers);
    m_deviceGrid->SetRows(1);

    // Widths in twips, from the grid's width in pixels at the display's resolution.
    const long gridTwips =
        static_cast<long>(m_deviceGrid->width() - GridFramePixels) * 1440 / m_deviceGrid->logicalDpiX();
    m_deviceGrid->SetColWidth(DeviceNumberColumn, DeviceNumberWidth);
    m_deviceGrid->SetColWidth(WriteProtectionColumn, WriteProtectionWidth);
    m_deviceGrid->SetColWidth(DefaultDeviceColumn, DefaultDeviceWidth);
    m_deviceGrid->SetColWidth(MnemonicColumn,
                              gridTwips - (DeviceNumberWidth + DefaultDeviceWidth + WriteProtectionWidth));
    m_deviceGrid->SetColAlignment(DeviceNumberColumn, AlignCentreCentre);
    m_deviceGrid->SetColAlignment(MnemonicColumn, AlignLeftCentre);
}

void COstrelDlg::SetUpSensorMenu()
{
    m_menuChecked = LoadBitmap(IDB_CHECK_TICKED);
    m_menuUnchecked = LoadBitmap(IDB_CHECK_EMPTY);
    CMenu menu = GetMenu();
    for (const auto& [item, on] : {std::pair{ID_SENSOR_SCAN_NETWORK, m_includeNetworkResources},
                                   std::pair{ID_SENSOR_ALWAYS_FACTORY, m_alwaysUseFactoryDataSet}})
    {
        menu.SetMenuItemBitmaps(item, MF_BYCOMMAND, m_menuUnchecked, m_menuChecked);
        menu.CheckMenuItem(item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    }
}

void COstrelDlg::SetUpEditMenu()
{
    const auto enable = [this](int item, bool on) {
        GetMenu().EnableMenuItem(item, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    };
    connect(&m_history, &QUndoStack::canUndoChanged, this, [enable](bool on) { enable(ID_EDIT_UNDO, on); });
    connect(&m_history, &QUndoStack::canRedoChanged, this, [enable](bool on) { enable(ID_EDIT_REDO, on); });
    enable(ID_EDIT_UNDO, false);
    enable(ID_EDIT_REDO, false);
}

void COstrelDlg::RefreshDeviceList()
{
    const long count = m_dataSet.GetSParaDeviceNumber();
    const long defaultDevice = m_dataSet.GetSParaDefaultDevice();
    const bool hasFlags = HasDeviceFlags();
    m_deviceGrid->SetRows(count + 1);
    for (long row = 1; row <= count; ++row)
    {
        const long device = row - 1;
        const long number = SParaDeviceDisplayNumber(m_dataSet.GetChannelNumber(), device);
        m_deviceGrid->SetTextMatrix(row, DeviceNumberColumn, QString::number(number));
        m_deviceGrid->SetTextMatrix(row, MnemonicColumn, Utf8ToWide(m_dataSet.GetSPDMnemonic(device)));
        m_deviceGrid->SetRadioCell(row, DefaultDeviceColumn, device == defaultDevice);
        if (hasFlags)
        {
            m_deviceGrid->SetCheckCell(row, WriteProtectionColumn,
                                       (m_dataSet.GetSParaDeviceFlags(device) & WriteProtected) != 0);
        }
        else
        {
            m_deviceGrid->SetGreyCell(row, WriteProtectionColumn);
        }
    }
}

void COstrelDlg::RefreshGlobalFlags()
{
    const unsigned long mask = m_dataSet.GetSParaCorrDef();
    for (std::size_t i = 0; i < FlagBoxes.size(); ++i)
    {
        m_flagBoxes[i]->setChecked((mask & FlagBoxes[i].second) != 0);
    }
    EnableDlgItem(IDC_FLAG_ACTIVE_AFTER_RESET, true);
    EnableDlgItem(IDC_FLAG_STATE_LOCKED, true);
    EnableDlgItem(IDC_FLAG_DEVICE_LOCKED, HasDeviceFlags());
    EnableDlgItem(IDC_FLAG_USE_FACTORY_FLAGS, HasDeviceFlags() && m_dataSet.GetChannelNumber() == 0);
}

void COstrelDlg::MarkModified(bool show, bool stamp)
{
    if (!m_loaded)
    {
        return;
    }
    if (!show)
    {
        SetStatusText(QString());
        return;
    }
    SetStatusText(StatusModified);
    if (stamp)
    {
        RunLibraryAction(this, [this] { StampSParaCalInfo(); });
    }
}

void COstrelDlg::StampSParaCalInfo()
{
    const CMeasurement* const sPara = CMeasurement::SPara;
    std::string date = NotApplicable;
    std::string lab = NotApplicable;
    std::string eng = NotApplicable;
    if (m_dataSet.GetSParaDeviceNumber() >= 1)
    {
        OfferUserDataOnce();
        date = TodayCalDate();
        lab = m_calLab;
        eng = m_calEng;
    }
    const std::string oldDate = m_dataSet.GetCalDate(sPara);
    const std::string oldLab = m_dataSet.GetCalLab(sPara);
    const std::string oldEng = m_dataSet.GetCalEng(sPara);
    try
    {
        m_dataSet.SetCalDate(sPara, date);
        m_dataSet.SetCalLab(sPara, lab);
        m_dataSet.SetCalEng(sPara, eng);
    }
    catch (const TvxKyyCalcDLLError&)
    {
        // A half-made stamp would pair today's date with another engineer's name.
        m_dataSet.SetCalDate(sPara, oldDate);
        m_dataSet.SetCalLab(sPara, oldLab);
        m_dataSet.SetCalEng(sPara, oldEng);
        throw;
    }
}

void COstrelDlg::OfferUserDataOnce()
{
    if (m_userDataOffered)
    {
        return;
    }
    m_userDataOffered = true;
    if (m_calLab == DefaultCalLab || m_calEng == DefaultCalEng)
    {
        OnOptionsUserData();
    }
}

void COstrelDlg::AcceptLoadedDataSet(CTamrix&& dataSet, FormatPair format)
{
    m_dataSet = std::move(dataSet);
    m_dataSet.EnableUtf8Support(true);
    std::tie(m_version, m_revision) = format;
    m_loaded = true;
    m_history.clear();
    SetStatusText(QString());
    RunLibraryAction(this, [this] {
        RefreshDeviceList();
        RefreshGlobalFlags();
    });
}

CTamrix& COstrelDlg::DataSet()
{
    return m_dataSet;
}

const CTamrix& COstrelDlg::DataSet() const
{
    return m_dataSet;
}

char COstrelDlg::Version() const
{
    return m_version;
}

char COstrelDlg::Revision() const
{
    return m_revision;
}

bool COstrelDlg::IsLoaded() const
{
    return m_loaded;
}

void COstrelDlg::SetUserData(const std::string& calLab, const std::string& calEng)
{
    m_calLab = calLab;
    m_calEng = calEng;
}

const std::string& COstrelDlg::CalLab() const
{
    return m_calLab;
}

const std::string& COstrelDlg::CalEng() const
{
    return m_calEng;
}

int COstrelDlg::Timeout() const
{
    return m_timeout;
}

int COstrelDlg::CalDataTimeout() const
{
    return m_calDataTimeout;
}

bool COstrelDlg::IncludeNetworkResources() const
{
    return m_includeNetworkResources;
}

bool COstrelDlg::AlwaysUseFactoryDataSet() const
{
    return m_alwaysUseFactoryDataSet;
}

void COstrelDlg::OnOK()
{
    // The window has no default button: Enter (say on a check box) must not close
    // it, which would skip writing the settings.
}

void COstrelDlg::OnCancel()
{
    if (!MayDropDataSet())
    {
        return;
    }
    SaveSettings();
    CDialog::OnCancel();
}

void COstrelDlg::paintEvent(QPaintEvent* event)
{
    if (!isMinimized())
    {
        CDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QSize size = m_icon.actualSize(QSize(32, 32));
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    m_icon.paint(&painter, target);
}

void COstrelDlg::SetStatusText(const QString& text)
{
    m_statusLine->setText(text);
}

bool COstrelDlg::HasDeviceFlags() const
{
    return m_version == '3' || m_version == '4';
}

void COstrelDlg::LoadSettings()
{
    ReadSettingsFile(SettingsFilePath(), SettingsMembers());
}

void COstrelDlg::SaveSettings()
{
    WriteSettingsFile(SettingsFilePath(), SettingsMembers());
}

SettingsBinding COstrelDlg::SettingsMembers()
{
    return {m_calLab, m_calEng, m_timeout, m_calDataTimeout, m_includeNetworkResources, m_alwaysUseFactoryDataSet};
}

DataSetChange COstrelDlg::StartChange()
{
    return DataSetChange(m_dataSet, m_deviceGrid->GetRow());
}

void COstrelDlg::Record(DataSetChange& change)
{
    if (std::unique_ptr<QUndoCommand> step =
            change.Finish(m_deviceGrid->GetRow(), this, [this](long row) { ShowHistoryRow(row); }))
    {
        m_history.push(step.release());
    }
}

void COstrelDlg::OnEditUndo()
{
    m_history.undo();
    UpdateStatusAfterHistoryMove();
}

void COstrelDlg::OnEditRedo()
{
    m_history.redo();
    UpdateStatusAfterHistoryMove();
}

void COstrelDlg::ShowHistoryRow(long row)
{
    RefreshAll();
    const long rows = m_deviceGrid->GetRows();
    if (rows > 1)
    {
        m_deviceGrid->SetRow(std::clamp(row, 1L, rows - 1));
    }
}

void COstrelDlg::UpdateStatusAfterHistoryMove()
{
    // The history starts at each load, so its first place is the loaded data set.
    if (m_loaded)
    {
        SetStatusText(m_history.index() == 0 ? QString() : StatusModified);
    }
}

void COstrelDlg::OnGlobalFlag()
{
    DataSetChange change = StartChange();
    unsigned long mask = 0;
    for (std::size_t i = 0; i < FlagBoxes.size(); ++i)
    {
        if (m_flagBoxes[i]->isChecked())
        {
            mask |= FlagBoxes[i].second;
        }
    }
    if (!RunLibraryAction(this, [this, mask] { m_dataSet.SetSParaCorrDef(mask); }))
    {
        RefreshGlobalFlags();
        return;
    }
    if (m_loaded)
    {
        SetStatusText(StatusModified);
    }
    Record(change);
}

void COstrelDlg::OnGridActivate()
{
    if (m_deviceGrid->GetRows() <= 1)
    {
        return;
    }
    const long row = m_deviceGrid->GetRow();
    const long column = m_deviceGrid->GetCol();
    const long device = row - 1;
    if (column == DeviceNumberColumn || column == MnemonicColumn)
    {
        OnDeviceEdit();
        return;
    }
    DataSetChange change = StartChange();
    switch (column)
    {
    case DefaultDeviceColumn:
        RunLibraryAction(this, [this, row, device] {
            if (device != m_dataSet.GetSParaDefaultDevice())
            {
                m_dataSet.SetSParaDefaultDevice(device);
                m_deviceGrid->SetRadioColumn(row, DefaultDeviceColumn);
                if (m_loaded)
                {
                    SetStatusText(StatusModified);
                }
            }
            else if (m_dataSet.GetChannelNumber() == 0)
            {
                // Only a user data set may be without a default device.
                m_dataSet.SetSParaDefaultDevice(-1);
                m_deviceGrid->SetRadioColumn(0, DefaultDeviceColumn);
                MarkModified(true, false);
            }
        });
        break;
    case WriteProtectionColumn:
        if (HasDeviceFlags())
        {
            RunLibraryAction(this, [this, row, device] {
                const unsigned long flags = m_dataSet.GetSParaDeviceFlags(device) ^ WriteProtected;
                m_dataSet.SetSParaDeviceFlags(device, flags);
                m_deviceGrid->SetCheckCell(row, WriteProtectionColumn, (flags & WriteProtected) != 0);
                MarkModified(true, false);
            });
        }
        break;
    default:
        break;
    }
    Record(change);
}

void COstrelDlg::OnSensorScanNetwork()
{
    m_includeNetworkResources = !m_includeNetworkResources;
    GetMenu().CheckMenuItem(ID_SENSOR_SCAN_NETWORK,
                            MF_BYCOMMAND | (m_includeNetworkResources ? MF_CHECKED : MF_UNCHECKED));
}

void COstrelDlg::OnSensorAlwaysFactory()
{
    m_alwaysUseFactoryDataSet = !m_alwaysUseFactoryDataSet;
    GetMenu().CheckMenuItem(ID_SENSOR_ALWAYS_FACTORY,
                            MF_BYCOMMAND | (m_alwaysUseFactoryDataSet ? MF_CHECKED : MF_UNCHECKED));
}
