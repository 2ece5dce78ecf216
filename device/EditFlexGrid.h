#pragma once

// The grid with in-place editing: every column has a type (GridColumnType.h),
// Value and Frequency cells are edited in a CCellEdit laid over the cell, picture
// cells show check boxes and radio buttons, and keys become messages to the
// owner (GridMessages.h).
//
// Editing: a double-click or Enter on an editable cell opens the editor with
// the cell's exact text; a character typed on it opens the editor with that
// character in place of the text; Enter in the editor checks the number, writes it as
// it reads (the cell shows it in the column's format) and opens
// the editor one row further down (on the last row: one column to the right).
// A text that is not a number beeps and keeps the editor, which tells why at
// the cell. Escape drops the edit.
// Leaving the cell commits; scrolling writes the text as it stands.
//
// Every command of the owner that reads or changes the table calls CommitEdit
// first, and does not run when it returns false.

#include "GridColumnType.h"
#include "MSFlexGrid.h"
#include "WinDefs.h"

#include <QPixmap>
#include <QString>

#include <vector>

class CCellEdit;
class QUndoStack;

class CEditFlexGrid : public CMSFlexGrid
{
    Q_OBJECT

public:
    explicit CEditFlexGrid(QWidget* parent = nullptr);
    ~CEditFlexGrid() override;

    // Sets Cols to `count` and Rows to 2, stores the types and writes the headers
    // into row 0. Both arrays hold `count` entries. Returns true.
    bool SetupColumns(long count, const int* types, const QString* headers);
    // A column index >= Cols shows "Error: Column index is not valid" and changes nothing.
    void SetColumnType(long col, int type);
    // The column's type; Locked for a column without one.
    int GetColumnType(long col) const;

    // Picture cells; rows <= 0 are left alone. SetRadioColumn gives the selected
    // row the set radio button and every other data row the clear one.
    void SetRadioColumn(long selectedRow, long col);
    void SetRadioCell(long row, long col, bool set);
    void SetCheckCell(long row, long col, bool ticked);
    void SetGreyCell(long row, long col);

    // Opens the editor over the current cell with its text selected.
    void StartEdit();
    // Trims and normalises the editor's text (engineering format when `frequency`)
    // and puts it back; a text that is not a number beeps, keeps the focus in
    // the editor, shows why in a tool tip at the cell and returns false.
    bool ValidateEdit(bool frequency);
    // Writes the editor's text into the cell it was opened on and hides it.
    void EndEdit();
    // True when no edit is open, or the open edit was a number and is written.
    // False keeps the editor open (with the beep); the caller's command must not
    // run then. Posts nothing.
    bool CommitEdit();
    bool IsEditing() const;
    CCellEdit& GetCellEdit() const;
    // Where a committed edit that changed its cell is pushed as one step; none
    // by default.
    void SetUndoStack(QUndoStack* stack);

    // The owner's window, which receives the grid's messages.
    HWND m_hNotifyWnd = NULL_HWND;

protected:
    void OnDblClick() override;
    void OnKeyDown(short* keyCode, short shift) override;
    void OnKeyPress(QChar* character) override;
    void OnLeaveCell() override;
    void OnScroll() override;

private:
    bool IsEditableType(long col) const;
    // A data cell of an editable column.
    bool IsEditableCell(long row, long col) const;
    void Activate();
    void CommitForFocusLoss();
    void Post(UINT message) const;
    void SetPictureCell(long row, long col, const QPixmap& picture);

    CCellEdit* m_edit;
    QUndoStack* m_undoStack = nullptr;
    std::vector<int> m_columnTypes;
    QPixmap m_checkTicked;
    QPixmap m_checkEmpty;
    QPixmap m_radioSet;
    QPixmap m_radioClear;
    QPixmap m_greyBox;
};
