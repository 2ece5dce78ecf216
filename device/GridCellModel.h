#pragma once

// The grid's cells, fixed ones included, in CellBlocks: a number per cell
// where the column shows numbers, a text where it shows texts (and for the
// rare number cell given a text that is not the column's text of a number),
// plus sparse per-cell pictures. Model rows and columns are the grid's data
// cells; the fixed row and column are shown by the view's headers.
//
// A number column keeps the number it was given bit for bit and shows it in
// its format with six digits; its exact text has as many digits as reading
// back takes. A row-number column shows its row's number and keeps nothing.

#include "CellBlock.h"

#include <QAbstractTableModel>
#include <QPixmap>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class CellFormat
{
    Text,
    Value,       // plain or scaled by powers of 10: "1.23456e5"
    Engineering, // scaled by powers of 1000: "123.456e3"
    RowNumber    // data rows show their row number; writes are ignored
};

class CGridCellModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CGridCellModel(QObject* parent = nullptr);

    long Rows() const;
    long Cols() const;
    long FixedRows() const;
    long FixedCols() const;
    void SetFixed(long fixedRows, long fixedCols);
    // New cells are empty; cells kept keep their contents.
    void Resize(long rows, long cols);
    void InsertRows(long index, long count);
    void RemoveRows(long index, long count);

    // The data cells of the column take the format; a cell of a changed
    // column keeps what its text says. New columns show texts.
    void SetColFormat(long col, CellFormat format);
    CellFormat ColFormat(long col) const;

    // Out of range: an empty text or nothing, and writes are ignored. Writes
    // do not tell the view, except for fixed cells; the caller repaints.
    QString Text(long row, long col) const;
    // A text that reads back to the cell's number; other cells' texts.
    QString ExactText(long row, long col) const;
    // The same as ISO-8859-1 bytes, appended.
    void AppendExactText(std::string& latin1, long row, long col) const;
    // A number column takes a text as the number it reads as when the text is
    // that number's text or exact text; any other text is kept as it is.
    void SetText(long row, long col, const QString& text);
    // The cell's number, or the number its text reads as; nothing for other texts.
    std::optional<double> Value(long row, long col) const;
    // A text column keeps the number's exact text.
    void SetValue(long row, long col, double value);

    // Rows [first, first + count) of every column.
    CellBlock ReadRows(long first, long count) const;
    // Replaces `count` rows from `first` by the rows of `rows` (same column
    // count), telling the view once, and returns the rows replaced. The whole
    // table is replaced without a copy. Fixed rows are never touched.
    CellBlock ReplaceRows(long first, long count, CellBlock rows);

    QPixmap Picture(long row, long col) const;
    short PictureAlignment(long row, long col) const;
    void SetPicture(long row, long col, const QPixmap& picture, short alignment);
    void SetPictureAlignment(long row, long col, short alignment);

    short ColAlignment(long col) const;
    void SetColAlignment(long col, short alignment);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Model index <-> grid coordinates.
    QModelIndex IndexOf(long row, long col) const;
    long GridRow(const QModelIndex& index) const;
    long GridCol(const QModelIndex& index) const;

private:
    struct CellPicture
    {
        QPixmap picture;
        short alignment = 4;
    };
    using PictureKey = std::pair<long, long>;

    bool InRange(long row, long col) const;
    bool HoldsNumber(long row, long col) const;
    // The block that holds the row, and the row's index in it.
    const CellBlock& BlockOf(long& row) const;
    CellBlock& BlockOf(long& row);
    // A change of the rows as one block, after which the fixed rows are taken
    // apart again.
    template <class Change>
    void ChangeAllRows(Change change);
    // How the cell is kept: fixed cells and text columns as texts.
    CellFormat FormatOf(long row, long col) const;
    void TellFixedCell(long row, long col);
    QVariant Alignment(long row, long col) const;
    void ShiftPictures(long fromRow, long delta);
    void BeginRowChange(bool insert, long index, long count);
    void EndRowChange(bool insert, long index);

    long m_fixedRows = 1;
    long m_fixedCols = 0;
    // The fixed rows (as many as there are) and the data rows.
    CellBlock m_header;
    CellBlock m_data;
    std::vector<CellFormat> m_formats;
    std::vector<short> m_colAlignment;
    std::map<PictureKey, CellPicture> m_pictures;
};
