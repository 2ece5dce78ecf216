#pragma once

// The modal editor of one S-parameter device of a data set: mnemonic, lower and
// upper power limit and the frequency table in an editable grid (row r holds
// point r - 1; columns: number, frequency, then real part, imaginary part and
// uncertainty of S11, S21, S12 and S22).
//
// The device is copied into the controls when the dialog opens and written back
// in one go by OK; Cancel leaves the data set untouched. A write-protected
// device opens read-only: only viewing, selecting and copying remain.
//
// DoModal returns IDOK when the device was stored, IDCANCEL otherwise (also when
// the data set refused to give the device; its error was shown then).

#include "Dialog.h"

#include <string>
#include <vector>

class CEditFlexGrid;
class CPlotWindow;
class CTamrix;
class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct DevicePoint;
struct DeviceTableRefused;
struct DeviceValues;

class CDevice : public CDialog
{
    Q_OBJECT

public:
    // `dataSet` is not owned and must outlive the dialog.
    CDevice(long device, CTamrix* dataSet, bool readOnly, QWidget* parent = nullptr);
    ~CDevice() override;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSize(int cx, int cy) override;

private:
    void DoDataExchange();
    void SetupGrid();
    void LoadTable();
    DeviceValues ReadValues() const;
    double CellValue(long row, long col, const double* loaded) const;
    void ShowRefusal(const DeviceTableRefused& refusal);
    void ApplyReadOnly();
    void Layout();

    // Returns false when the field's text is not a number (after the beep and
    // the message, with the focus back in the field).
    bool CheckPowerLimit(QLineEdit* field);
    void OnPowerLimitKillFocus(QLineEdit* field);
    void OnMirrorOption(QAbstractButton* box, long firstColumn);

    void OnGridInsert(WPARAM wParam, LPARAM lParam);
    void OnGridDelete(WPARAM wParam, LPARAM lParam);
    void OnGridSelectAll(WPARAM wParam, LPARAM lParam);
    void OnGridCopy(WPARAM wParam, LPARAM lParam);
    void OnGridPaste(WPARAM wParam, LPARAM lParam);
    void OnEditCopy();
    void OnEditPaste();
    void OnInsertRows();
    void OnAppendRow();
    void OnDeleteRows();
    void OnSetNumber();
    void OnPlot();

    // File menu: the frequency table from and to Touchstone and uncertainty
    // files (DeviceFileCommands.cpp).
    void OnImportS2P();
    void OnImportUncertainty();
    void OnExportS2P();
    void OnExportUncertainty();
    // Shows where the reader stopped in a file, before its error is shown.
    void ShowParserError(const std::string& message);

    void InsertBeforeSelection();
    void AppendRow();
    void AppendRows(long count);
    // Numbers rows `first` ... `end` - 1 and gives them a new point's values.
    void WriteNewPoints(long first, long end);
    void DeleteSelectedRows();
    void ClearSelectedCells();
    // Numbers the rows from `firstRow` to the last.
    void Renumber(long firstRow);
    // Rows whose points were replaced as a whole no longer stand for a loaded point.
    void ForgetLoadedPoints();
    void SetNumber();

    long m_device;
    int m_minWidth = 0;
    int m_minHeight = 0;
    CTamrix* m_dataSet;
    const bool m_readOnly;
    CEditFlexGrid* m_grid = nullptr;
    // View > Plot: made on first use, closed with the editor.
    CPlotWindow* m_plot = nullptr;
    // The points as loaded. A row's data is its loaded point's index + 1 (0 for
    // a new row), and a cell that still shows the text its value was loaded with
    // stores that value as it was, not the rounded value of the text.
    std::vector<DevicePoint> m_loaded;
    QLineEdit* m_mnemonic = nullptr;
    QLineEdit* m_lowerLimit = nullptr;
    QLineEdit* m_upperLimit = nullptr;
    QAbstractButton* m_s21ForS12 = nullptr;
    QAbstractButton* m_s11ForS22 = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_ok = nullptr;
    QGroupBox* m_parameters = nullptr;
    QLabel* m_mnemonicLabel = nullptr;
    QLabel* m_lowerLimitLabel = nullptr;
    QLabel* m_upperLimitLabel = nullptr;
    // Set while a power limit check runs (its message box moves the focus) and
    // once the dialog closes, so that no check starts from those focus losses.
    bool m_checkingLimit = false;
    bool m_closing = false;
};
