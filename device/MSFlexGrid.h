#pragma once

// A spreadsheet-like grid of texts with the members of the FlexGrid control the
// program was written against. Coordinates are the control's: row 0 is the fixed
// header row, data rows are FixedRows ... Rows - 1; with one fixed column (the
// device editor), column 0 is fixed as well. Fixed cells are shown as headers and
// are neither selectable nor editable.
//
// Row and Col name the current cell, RowSel and ColSel the other corner of the
// selected block. While there are data rows they always name a data row; when
// rows go away they are clamped. Without data rows Row and RowSel are 0.
//
// Colours are 0xBBGGRR integers; 0 from a cell colour means "the grid's colour
// applies". Sizes and positions are in twips (1/1440 inch) at the screen's
// logical resolution.
//
// Cells out of range read as empty texts and ignore writes, so that a stale
// coordinate can never write outside the table.

#include "CellBlock.h"
#include "GridCellModel.h"

#include <QPixmap>
#include <QString>
#include <QTableView>

#include <optional>
#include <string>

class CGridCellModel;
class CGridCellDelegate;

// A new grid has Rows = 2, Cols = 2, one fixed row and no fixed column.
class CMSFlexGrid : public QTableView
{
    Q_OBJECT

public:
    explicit CMSFlexGrid(QWidget* parent = nullptr);
    ~CMSFlexGrid() override;

    long GetRows() const;
    void SetRows(long rows);
    long GetCols() const;
    void SetCols(long cols);
    long GetFixedRows() const;
    // 0 or 1.
    void SetFixedRows(long rows);
    long GetFixedCols() const;
    // 0 or 1.
    void SetFixedCols(long cols);
    // 0 or 1: with 1, the first data column stays at the left, beside the
    // fixed column, while the table scrolls sideways under it.
    long GetFrozenCols() const;
    void SetFrozenCols(long cols);

    long GetRow() const;
    void SetRow(long row);
    long GetCol() const;
    void SetCol(long col);
    long GetRowSel() const;
    void SetRowSel(long row);
    long GetColSel() const;
    void SetColSel(long col);
    // First data row shown at the top of the view.
    long GetTopRow() const;
    void SetTopRow(long row);

    // FlexGrid selection modes: 0 free, 1 by row, 2 by column.
    short GetSelectionMode() const;
    void SetSelectionMode(short mode);

    // Text of the current cell.
    QString GetText() const;
    void SetText(const QString& text);
    QString GetTextMatrix(long row, long col) const;
    void SetTextMatrix(long row, long col, const QString& text);

    // How a column's data cells keep and show their contents (texts, numbers in
    // a format, row numbers); every column starts with texts.
    void SetColFormat(long col, CellFormat format);
    CellFormat GetColFormat(long col) const;
    // A number column keeps numbers bit for bit and shows six digits. Its exact
    // text has as many digits as reading back to the number takes.
    QString GetTextMatrixExact(long row, long col) const;
    // The exact text as ISO-8859-1 bytes, appended.
    void AppendTextMatrixExact(std::string& latin1, long row, long col) const;
    // The cell's number (or the number its text reads as); nothing otherwise.
    std::optional<double> GetValueMatrix(long row, long col) const;
    void SetValueMatrix(long row, long col, double value);

    // Whole rows in and out, fixed cells included: `count` rows from `first`
    // are replaced by the rows of the block in one model operation, and are
    // handed back (the whole table without a copy).
    CellBlock GetRowBlock(long first, long count) const;
    CellBlock ReplaceRowBlock(long first, long count, CellBlock rows);

    long GetCellLeft() const;
    long GetCellTop() const;
    long GetCellWidth() const;
    long GetCellHeight() const;
    unsigned int GetCellBackColor() const;
    unsigned int GetCellForeColor() const;
    unsigned int GetBackColor() const;
    unsigned int GetForeColor() const;

    // Picture of the current cell; a null pixmap removes it.
    void SetCellPicture(const QPixmap& picture);
    QPixmap GetCellPicture() const;
    // 4 centres the picture (the only alignment the program uses); 0 ... 2 put
    // it at the left, 6 ... 8 at the right.
    void SetCellPictureAlignment(short alignment);
    short GetCellPictureAlignment() const;
    // The same for any cell, without moving the current cell.
    void SetCellPictureAt(long row, long col, const QPixmap& picture, short alignment);
    QPixmap GetCellPictureAt(long row, long col) const;

    // 0 ... 2 left, 3 ... 5 centred, 6 ... 8 right, 9 general (numbers right,
    // other texts left).
    short GetColAlignment(long col) const;
    void SetColAlignment(long col, short alignment);
    long GetColWidth(long col) const;
    void SetColWidth(long col, long twips);

    // Inserts a row at `index` (Rows when out of range) with the TAB-separated texts.
    void AddItem(const QString& tabSeparated, long index);
    void RemoveItem(long index);
    // The row commands' batches: one model operation for the whole block. Rows
    // are inserted empty; indexes out of range change nothing.
    void InsertRows(long index, long count);
    void RemoveRows(long index, long count);

    // With redraw off, writes do not repaint; turning it on repaints once.
    bool GetRedraw() const;
    void SetRedraw(bool redraw);

    // Typing does not move the current cell.
    void keyboardSearch(const QString& search) override;
    // A cell of the frozen column scrolls only up and down; one of another
    // column comes out from under it.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // Texts or rows changed; raised once from the event loop for any number
    // of changes before it.
    void TextsChanged();

protected:
    // The control's events. Default handlers do nothing; OnKeyDown may set
    // *keyCode to 0 to take the key from the grid.
    virtual void OnDblClick();
    // keyCode: virtual-key code (Enter 13, Escape 27, Insert 45, Delete 46,
    // A ... Z 65 ... 90); shift: 1 Shift, 2 Ctrl, 4 Alt.
    virtual void OnKeyDown(short* keyCode, short shift);
    // A character typed without Ctrl or Alt (no blank, no control character)
    // that OnKeyDown left to the grid; setting *character to 0 takes it.
    virtual void OnKeyPress(QChar* character);
    // Raised before the current cell changes; Row and Col still name the old cell.
    virtual void OnLeaveCell();
    // Raised whenever the visible area scrolls.
    virtual void OnScroll();

    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

    // The current cell's rectangle in pixels, in the grid's own coordinates.
    QRect CurrentCellRect() const;
    // Where a data cell is seen: the widget that draws it (the viewport, or
    // the frozen column's) and its rectangle there.
    QWidget* CellSurface(long col) const;
    QRect CellRect(long row, long col) const;

    void updateGeometries() override;

private:
    QModelIndex ViewIndex(long row, long col) const;
    template <class Change>
    void ChangeStructure(Change change);
    void PushSelection();
    void PullSelection();
    void ClampSelection();
    void UpdateFixedHeaders();
    bool IsFrozenCol(long col) const;
    void UpdateFrozenColumn();
    void RequestRepaint();
    void NoteTextsChanged();
    long PixelsToTwipsX(int pixels) const;
    long PixelsToTwipsY(int pixels) const;

    CGridCellModel* m_model;
    CGridCellDelegate* m_delegate;
    // The frozen column: a view of the same cells and selection over the
    // viewport's left edge, showing only the first data column.
    QTableView* m_frozen = nullptr;
    long m_frozenCols = 0;
    bool m_keepingSideways = false;
    long m_row = 0;
    long m_col = 0;
    long m_rowSel = 0;
    long m_colSel = 0;
    bool m_syncing = false;
    bool m_redraw = true;
    bool m_repaintPending = false;
    bool m_textsChangedPending = false;
};
