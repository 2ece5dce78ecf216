#pragma once

// The grid's cells: one text per cell in a single row-major array (UTF-8, short
// texts such as numbers stay inside the string object), plus sparse per-cell
// pictures. Model rows and columns are the grid's data cells; the fixed row and
// column are kept here too and shown by the view's headers.

#include <QAbstractTableModel>
#include <QPixmap>

#include <map>
#include <string>
#include <utility>
#include <vector>

class CGridTextModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CGridTextModel(QObject* parent = nullptr);

    long Rows() const;
    long Cols() const;
    long FixedRows() const;
    long FixedCols() const;
    void SetFixed(long fixedRows, long fixedCols);
    // New cells are empty; cells kept keep their texts.
    void Resize(long rows, long cols);
    void InsertRows(long index, long count);
    void RemoveRows(long index, long count);

    // Out of range: an empty text, and writes are ignored.
    const std::string& Text(long row, long col) const;
    void SetText(long row, long col, std::string text);
    QString TextQ(long row, long col) const;
    // Writes without telling the view; the caller repaints.
    void SetTextQuietly(long row, long col, const QString& text);

    // A number per row that travels with the row; 0 for new rows and out of range.
    long RowData(long row) const;
    void SetRowData(long row, long value);

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
    std::size_t Offset(long row, long col) const;
    QVariant Alignment(long row, long col) const;
    void ShiftPictures(long fromRow, long delta);

    long m_rows = 0;
    long m_cols = 0;
    long m_fixedRows = 1;
    long m_fixedCols = 0;
    std::vector<std::string> m_cells;
    std::vector<long> m_rowData;
    std::vector<short> m_colAlignment;
    std::map<PictureKey, CellPicture> m_pictures;
};
