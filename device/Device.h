#pragma once

// The modal editor of one S-parameter device of a data set: mnemonic, lower and
// upper power limit and the frequency table in an editable grid (row r holds
// point r - 1; columns: number, frequency, then real part, imaginary part and
// uncertainty of S11, S21, S12 and S22).
//
// The device is copied into the controls when the dialog opens and written back
// in one go by OK; Cancel leaves the data set untouched, after asking whether to
// save when something was changed. Every change of the table, the fields and the
// mirror options is an undo step. A write-protected device opens read-only:
// only viewing, selecting and copying remain.
//
// DoModal returns IDOK when the device was stored and differs from before,
// IDCANCEL otherwise (also when OK found nothing changed, and when the data set
// refused to give the device; its error was shown then).

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
class QUndoStack;
class CellBlock;
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
    void ShowRefusal(const DeviceTableRefused& refusal);
    // Refuses (with the message of a refused table) a table of more points than
    // a device holds; `firstTooMany` names the place of the first one too many.
    bool FitsInDevice(long rows, const std::string& firstTooMany);
    void ApplyReadOnly();
    void Layout();
    void FitToScreen();

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
    void OnEditUndo();
    void OnEditRedo();
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
    void ShowParserError(const std::string& fileName, const std::string& message);
    // Warns that the frequencies of an imported file fall at its line `line`.
    void WarnFallingFrequency(const std::string& fileName, unsigned line);

    void InsertBeforeSelection();
    void AppendRow();
    void DeleteSelectedRows();
    void ClearSelectedCells();
    void SetNumber();
    // `count` rows of a new point's values.
    CellBlock NewPoints(long count) const;
    // Replaces `count` rows from `first` by `rows` as one undo step.
    void ChangeRows(long first, long count, CellBlock rows, const QString& what);

    // Field texts as undo steps: a field left with a new text becomes a step;
    // the commands and the closing buttons take pending ones first.
    void CommitFieldEdits();
    void SetFieldText(QLineEdit* field, const QString& text);
    QString& CommittedText(QLineEdit* field);
    // Something that OK would store differs from what the dialog opened with.
    bool HasChanges();
    void UpdateUndoItems();

    long m_device;
    int m_minWidth = 0;
    int m_minHeight = 0;
    CTamrix* m_dataSet;
    const bool m_readOnly;
    CEditFlexGrid* m_grid = nullptr;
    // View > Plot: made on first use, closed with the editor.
    CPlotWindow* m_plot = nullptr;
    QUndoStack* m_undo = nullptr;
    // The field texts of the last undo step (or of opening): mnemonic, lower
    // and upper limit.
    QString m_committedTexts[3];
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
    QLabel* m_protectedLine = nullptr; // only for a write-protected device
    // Set while a power limit check runs (its message box moves the focus) and
    // once the dialog closes, so that no check starts from those focus losses.
    bool m_checkingLimit = false;
    bool m_closing = false;
};
