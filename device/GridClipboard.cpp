#include "GridClipboard.h"

#include "Clipboard.h"
#include "MSFlexGrid.h"
#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace
{

// Lines end at every CR and every LF; empty lines are skipped.
template <class Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    const char* const end = text.data() + text.size();
    for (const char* start = text.data(); start < end;)
    {
        const char* stop = start;
        while (stop != end && *stop != '\r' && *stop != '\n')
        {
            ++stop;
        }
        if (stop != start)
        {
            visit(std::string_view(start, static_cast<std::size_t>(stop - start)));
        }
        start = stop + 1;
    }
}

// The blanks a text field may have around its number: the white space of
// ISO-8859-1, no-break space and next line included.
bool IsBlank(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte == ' ' || (byte >= '\t' && byte <= '\r') || byte == 0x85 || byte == 0xA0;
}

// A number that from_chars reads whole at `at`, blanks around it allowed, up
// to the end of its field, which `at` is then moved to; nothing (and `at` as it
// was) for anything else.
std::optional<double> ReadNumberAt(const char*& at, const char* end)
{
    const char* start = at;
    while (start != end && *start != '\t' && IsBlank(*start) && *start != '\r' && *start != '\n')
    {
        ++start;
    }
    double value = 0;
    const std::from_chars_result read = std::from_chars(start, end, value);
    const char* stop = read.ptr;
    while (stop != end && *stop != '\t' && IsBlank(*stop) && *stop != '\r' && *stop != '\n')
    {
        ++stop;
    }
    if (read.ec != std::errc() || read.ptr == start || std::isnan(value) ||
        (stop != end && *stop != '\t' && *stop != '\r' && *stop != '\n'))
    {
        return std::nullopt;
    }
    at = stop;
    return value;
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

// A number into a cell of the pasted rows that keeps texts: its exact text,
// frequencies (column 1) in engineering format. A row number stays.
void PutNumberAsText(const CMSFlexGrid& grid, CellBlock& rows, long row, long col, double value)
{
    if (grid.GetColFormat(col) == CellFormat::Text)
    {
        std::string text;
        col == 1 ? AppendEngineeringExact(text, value) : AppendValueExact(text, value);
        rows.SetText(row, col, std::move(text));
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
    const long cols = grid.GetCols();
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
    std::vector<bool> numberColumns(static_cast<std::size_t>(std::max(cols, 0L)));
    for (long col = 0; col < cols; ++col)
    {
        const CellFormat format = grid.GetColFormat(col);
        numberColumns[static_cast<std::size_t>(col)] = format == CellFormat::Value || format == CellFormat::Engineering;
    }
    const char* at = text.data();
    const char* const end = at + text.size();
    for (long row = 0; at < end; ++row)
    {
        while (at < end && (*at == '\r' || *at == '\n'))
        {
            ++at;
        }
        if (at == end)
        {
            break;
        }
        // One line, field by field: most fields are a number that from_chars
        // reads whole; the others are found, trimmed and read by the rules.
        for (long col = firstCol;; ++col)
        {
            const char* fieldEnd = at;
            std::optional<double> value = ReadNumberAt(fieldEnd, end);
            if (!value)
            {
                fieldEnd = at;
                while (fieldEnd != end && *fieldEnd != '\t' && *fieldEnd != '\r' && *fieldEnd != '\n')
                {
                    ++fieldEnd;
                }
                const std::string_view field = Trimmed(std::string_view(at, static_cast<std::size_t>(fieldEnd - at)));
                value = field.empty() ? std::nullopt : ReadDouble(field);
            }
            if (value && col < cols)
            {
                numberColumns[static_cast<std::size_t>(col)] ? paste.rows.SetNumber(row, col, *value)
                                                             : PutNumberAsText(grid, paste.rows, row, col, *value);
            }
            at = fieldEnd;
            if (at == end || *at != '\t')
            {
                break;
            }
            ++at;
        }
    }
    return paste;
}

void PasteCellBlockText(CMSFlexGrid& grid, std::string_view text, const CellBlock& newRow)
{
    PastedRows paste = PasteRows(grid, text, newRow);
    grid.ReplaceRowBlock(paste.first, paste.replaced, std::move(paste.rows));
}
