#pragma once

// Whole rows of grid cells, as the grid hands them out and takes them back:
// the unit of the editor's undo steps. A cell is a number or a text.

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

class CellBlock
{
public:
    CellBlock() = default;
    // `rows` empty rows of `cols` cells.
    CellBlock(long rows, long cols);

    long Rows() const { return m_rows; }
    long Cols() const { return m_cols; }

    // Rows and columns from 0. A number cell reads its number; a text cell
    // (IsText) reads a marker that is not a number.
    double Number(long row, long col) const { return m_cells[Offset(row, col)]; }
    void SetNumber(long row, long col, double value)
    {
        if (!m_texts.empty())
        {
            m_texts.erase({row, col});
        }
        m_cells[Offset(row, col)] = IsMarker(value) ? QuietNaN() : value;
    }
    bool IsText(long row, long col) const { return IsMarker(m_cells[Offset(row, col)]); }
    // Empty for a number cell.
    const std::string& Text(long row, long col) const;
    // UTF-8; an empty text makes the cell empty.
    void SetText(long row, long col, std::string text);

    // Appends the rows of `other` (same column count).
    void Append(const CellBlock& other);
    // Rows [first, first + count) as a block of their own.
    CellBlock Slice(long first, long count) const;
    // Empty rows in front of row `index`; rows going away.
    void InsertRows(long index, long count);
    void RemoveRows(long index, long count);
    // Puts the rows of `rows` (same column count) over rows first, first + 1, ...
    void Overwrite(long first, const CellBlock& rows);
    // Another column count; kept cells keep their contents.
    void Reshape(long rows, long cols);

    // Bit for bit, texts included.
    bool operator==(const CellBlock& other) const;
    bool operator!=(const CellBlock& other) const { return !(*this == other); }

    // The markers of text cells: signalling NaNs with payloads of their own,
    // which no number read from a text, a file or the data set is (a NaN
    // number is a quiet NaN).
    static constexpr std::uint64_t emptyBits = 0x7FF4000000000E01u;
    static constexpr std::uint64_t textBits = 0x7FF4000000000E02u;
    static double EmptyMarker();
    static double TextMarker();
    static bool IsMarker(double value)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits == emptyBits || bits == textBits;
    }

private:
    static double QuietNaN();

    std::size_t Offset(long row, long col) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_cols) + static_cast<std::size_t>(col);
    }

    long m_rows = 0;
    long m_cols = 0;
    std::vector<double> m_cells;
    std::map<std::pair<long, long>, std::string> m_texts;
};
