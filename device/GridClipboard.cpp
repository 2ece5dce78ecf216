#include "GridClipboard.h"

#include "Clipboard.h"
#include "MSFlexGrid.h"
#include "NumberText.h"

#include <algorithm>

namespace
{

// Lines end at every CR and every LF; empty lines are skipped.
template <class Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    std::size_t start = 0;
    while (start < text.size())
    {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        if (end > start)
        {
            visit(text.substr(start, end - start));
        }
        start = end + 1;
    }
}

// The blanks a text field may have around its number: the white space of
// ISO-8859-1, no-break space and next line included.
bool IsBlank(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte == ' ' || (byte >= '\t' && byte <= '\r') || byte == 0x85 || byte == 0xA0;
}

std::string_view Trimmed(std::string_view field)
{
    while (!field.empty() && IsBlank(field.front()))
    {
        field.remove_prefix(1);
    }
    while (!field.empty() && IsBlank(field.back()))
    {
        field.remove_suffix(1);
    }
    return field;
}

// A number into a cell of the pasted rows: kept as it is where the column
// keeps numbers; elsewhere as its exact text, frequencies (column 1) in
// engineering format.
void PutNumber(const CMSFlexGrid& grid, CellBlock& rows, long row, long col, double value)
{
    switch (grid.GetColFormat(col))
    {
    case CellFormat::Value:
    case CellFormat::Engineering:
        rows.SetNumber(row, col, value);
        break;
    case CellFormat::Text:
    {
        std::string text;
        col == 1 ? AppendEngineeringExact(text, value) : AppendValueExact(text, value);
        rows.SetText(row, col, std::move(text));
        break;
    }
    case CellFormat::RowNumber:
        break;
    }
}

} // namespace

std::string CellBlockText(const CMSFlexGrid& grid)
{
    const long r1 = std::min(grid.GetRow(), grid.GetRowSel());
    const long r2 = std::max(grid.GetRow(), grid.GetRowSel());
    const long c1 = std::min(grid.GetCol(), grid.GetColSel());
    const long c2 = std::max(grid.GetCol(), grid.GetColSel());
    std::string text;
    text.reserve(static_cast<std::size_t>(r2 - r1 + 1) * static_cast<std::size_t>(c2 - c1 + 1) * 12);
    for (long row = r1; row <= r2; ++row)
    {
        for (long col = c1; col < c2; ++col)
        {
            grid.AppendTextMatrixExact(text, row, col);
            text += '\t';
        }
        grid.AppendTextMatrixExact(text, row, c2);
        text += "\r\n";
    }
    return text;
}

void CopyCells(const CMSFlexGrid& grid)
{
    SetClipboardText8(CellBlockText(grid));
}

PastedRows PasteRows(const CMSFlexGrid& grid, std::string_view text, const CellBlock& newRow)
{
    const long selected = std::min(grid.GetRow(), grid.GetRowSel());
    const long firstCol = std::min(grid.GetCol(), grid.GetColSel());
    long lines = 0;
    ForEachLine(text, [&lines](std::string_view) { ++lines; });
    PastedRows paste;
    paste.first = std::max(selected, 1L);
    const long rowCount = selected == 0 ? std::max(lines, 1L) : lines;
    paste.replaced = std::clamp(grid.GetRows() - paste.first, 0L, rowCount);
    paste.rows = grid.GetRowBlock(paste.first, paste.replaced);
    for (long added = paste.replaced; added < rowCount; ++added)
    {
        paste.rows.Append(newRow);
    }
    long row = 0;
    ForEachLine(text, [&](std::string_view line) {
        std::size_t fieldStart = 0;
        bool fieldsLeft = true;
        for (long col = firstCol; col < grid.GetCols() && fieldsLeft; ++col)
        {
            const std::size_t tab = line.find('\t', fieldStart);
            const std::size_t fieldEnd = tab == std::string_view::npos ? line.size() : tab;
            const std::string_view field = Trimmed(line.substr(fieldStart, fieldEnd - fieldStart));
            fieldsLeft = tab != std::string_view::npos;
            fieldStart = fieldEnd + 1;
            if (const std::optional<double> value = field.empty() ? std::nullopt : ReadDouble(field))
            {
                PutNumber(grid, paste.rows, row, col, *value);
            }
        }
        ++row;
    });
    return paste;
}

void PasteCellBlockText(CMSFlexGrid& grid, std::string_view text, const CellBlock& newRow)
{
    const PastedRows paste = PasteRows(grid, text, newRow);
    grid.ReplaceRowBlock(paste.first, paste.replaced, paste.rows);
}
