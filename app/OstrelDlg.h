#pragma once

// The main window: the device list of the one calibration data set, its four
// global S-parameter flags and a one-line status field. It owns the data set,
// the format pair of the last load, the loaded flag, the settings and the undo
// history of the data set's changes since the last load.

#include "Dialog.h"
#include "Tamrix.h"

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QUndoStack>

#include <array>
#include <string>

class CEditFlexGrid;
class DataSetChange;
class QCheckBox;
class QLineEdit;
struct SettingsBinding;

class COstrelDlg : public CDialog
{
    Q_OBJECT

public:
    explicit COstrelDlg(QWidget* parent = nullptr);
    ~COstrelDlg() override;

    // A data set file to load as File > Load would, once the window is shown
    // (the file the desktop opens the program with).
    void SetStartFile(const QString& path);

    // Shows the data set's devices, one row each, after the header row.
    void RefreshDeviceList();
    // Shows the data set's global flags and enables the boxes its version allows.
    void RefreshGlobalFlags();
    // After a change: nothing before the first load; otherwise the status field
    // says whether the data set was modified, and `stamp` records today's date,
    // the laboratory and the engineer in the S-parameter part. A stamp the data
    // set refuses is reported and leaves the calibration info as it was.
    void MarkModified(bool show, bool stamp);

    // The load step of every command that brings in a whole data set: reads it,
    // completes a missing sensor identity, and then the caption names where it
    // came from and the status field is emptied. A library error is thrown
    // before anything changed (the data set, the format pair, the caption and
    // the status stay as they were); the caller shows it.
    void LoadDataSetFromFile(const QString& path);
    void LoadDataSetFromBuffer(const std::string& data);

    // Asks for the sensor identity texts when the sensor name, stock number or
    // serial number is empty, and stores all five after OK.
    void CheckSensorIdentity();
    // Names a new device "new_device" and gives it the first frequency and the
    // power limits from the sensor's own figures, where it has them.
    void InitNewDevice(long index);

    // Takes a data set that was just loaded, with the format pair the load
    // returned: the list and the flags show it, the status field is emptied.
    void AcceptLoadedDataSet(CTamrix&& dataSet, FormatPair format);

    CTamrix& DataSet();
    const CTamrix& DataSet() const;
    char Version() const;
    char Revision() const;
    bool IsLoaded() const;

    // The laboratory and engineer of the calibration stamp (UTF-8).
    void SetUserData(const std::string& calLab, const std::string& calEng);
    const std::string& CalLab() const;
    const std::string& CalEng() const;
    // Sensor timeouts in milliseconds: ordinary commands and data set transfers.
    int Timeout() const;
    int CalDataTimeout() const;
    bool IncludeNetworkResources() const;
    bool AlwaysUseFactoryDataSet() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDropFiles(const QStringList& paths) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void DoDataExchange();
    void SetUpDeviceGrid();
    void SetUpSensorMenu();
    void SetUpEditMenu();
    void SetStatusText(const QString& text);
    bool HasDeviceFlags() const;
    void StampSParaCalInfo();
    // Before the first stamp of a run that writes the laboratory and engineer:
    // User Data, when either is still the settings' default.
    void OfferUserDataOnce();

    // Every command that changes the data set takes a change before it runs
    // and records it after, as one undo step.
    DataSetChange StartChange();
    void Record(DataSetChange& change);
    void OnEditUndo();
    void OnEditRedo();
    void ShowHistoryRow(long row);
    void UpdateStatusAfterHistoryMove();

    // Before the data set is closed or replaced: true when that may go on (no
    // unsaved changes, or the user saved or discarded them). Unsaved means the
    // history is away from where the last load or save left it, so undoing
    // back there needs no saving.
    bool MayDropDataSet();
    // File > Save's dialog and store; true when the data set was stored.
    bool SaveDataSetAs();

    // The settings file, read at start-up and written on exit. A file that does
    // not parse changes none of the six settings, a write that fails leaves the
    // old file; neither says a word.
    void LoadSettings();
    void SaveSettings();
    SettingsBinding SettingsMembers();

    void OnGlobalFlag();
    void OnGridActivate();
    // The steps of a load after the library's: identity check, loaded flag.
    void FinishLoad();
    void LoadFileReporting(const QString& path, const QString& errorCaption);
    void RefreshAll();
    // The device the Edit, Delete and Move commands work on; false (after
    // telling the user why) when there is none.
    bool SelectedDevice(long& device);
    void WarnSingleDevice();

    void OnFileLoad();
    void OnFileSave();
    void OnFileExportSPara();
    void OnFileImportSPara();
    void OnDeviceEdit();
    void OnDeviceInsert();
    void OnDeviceAppend();
    void OnDeviceDelete();
    void OnDeviceMoveUp();
    void OnDeviceMoveDown();
    void MoveSelectedDevice(int step);
    void OnSensorLoad();
    void OnSensorSave();
    void OnSensorScanNetwork();
    void OnSensorAlwaysFactory();
    void OnOptionsUserData();
    void OnOptionsRemote();
    void OnOptionsShowCalData();
    void OnHelpAbout();

    CEditFlexGrid* m_deviceGrid = nullptr;
    std::array<QCheckBox*, 4> m_flagBoxes{};
    QLineEdit* m_statusLine = nullptr;
    QIcon m_icon;
    CTamrix m_dataSet;
    char m_version = '3';
    char m_revision = '0';
    bool m_loaded = false;
    QString m_startFile;
    QString m_filePath; // the file the data set was loaded from or saved to last
    QUndoStack m_history;
    bool m_userDataOffered = false;
    std::string m_calLab;
    std::string m_calEng;
    int m_timeout = 1000;
    int m_calDataTimeout = 60000;
    bool m_includeNetworkResources = false;
    bool m_alwaysUseFactoryDataSet = false;
    QPixmap m_menuChecked;
    QPixmap m_menuUnchecked;
    QFont m_statusFont;
};
