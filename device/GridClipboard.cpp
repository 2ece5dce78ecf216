#include "GridClipboard.h"

#include "Clipboard.h"
#include "MSFlexGrid.h"
#include "NumberText.h"
#include "TextConversion.h"

#include <QString>

#include <algorithm>
#include <string_view>

namespace
{

// Cells hold UTF-8; the clipboard takes Latin-1. Number texts are ASCII and are
// copied as they are.
void AppendLatin1(std::string& out, const std::string& utf8)
{
    if (std::none_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    {
        out += utf8;
        return;
    }
    out += WideToLatin1(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

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

// Paints once when the paste is done, also when the row appender throws.
class RedrawOffScope
{
public:
    explicit RedrawOffScope(CMSFlexGrid& grid)
        : m_grid(grid)
        , m_redraw(grid.GetRedraw())
    {
        m_grid.SetRedraw(false);
    }
    ~RedrawOffScope() { m_grid.SetRedraw(m_redraw); }

    RedrawOffScope(const RedrawOffScope&) = delete;
    RedrawOffScope& operator=(const RedrawOffScope&) = delete;

private:
    CMSFlexGrid& m_grid;
    bool m_redraw;
};

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
            AppendLatin1(text, grid.GetTextMatrixUtf8(row, col));
            text += '\t';
        }
        AppendLatin1(text, grid.GetTextMatrixUtf8(row, c2));
        text += "\r\n";
    }
    return text;
}

void CopyCells(const CMSFlexGrid& grid)
{
    SetClipboardText8(CellBlockText(grid));
}

void PasteCellBlockText(CMSFlexGrid& grid, const std::string& text, const RowAppender& rowAppender)
{
    long row = std::min(grid.GetRow(), grid.GetRowSel());
    const long firstCol = std::min(grid.GetCol(), grid.GetColSel());
    long lines = 0;
    ForEachLine(text, [&lines](std::string_view) { ++lines; });
    const RedrawOffScope redrawOff(grid);
    // All rows in one go: rows added one by one cost the view time in the
    // number of rows each.
    const long missing = row == 0 ? std::max(lines, 1L) : row + lines - grid.GetRows();
    if (missing > 0)
    {
        rowAppender(missing);
    }
    row = std::max(row, 1L);
    ForEachLine(text, [&](std::string_view line) {
        if (row >= grid.GetRows())
        {
            return;
        }
        std::size_t fieldStart = 0;
        bool fieldsLeft = true;
        for (long col = firstCol; col < grid.GetCols() && fieldsLeft; ++col)
        {
            const std::size_t tab = line.find('\t', fieldStart);
            const std::size_t fieldEnd = tab == std::string_view::npos ? line.size() : tab;
            const std::string_view field = line.substr(fieldStart, fieldEnd - fieldStart);
            fieldsLeft = tab != std::string_view::npos;
            fieldStart = fieldEnd + 1;
            if (field.empty())
            {
                continue;
            }
            QString number = Latin1ToWide(std::string(field));
            if (NormalizeNumber(number, col == 1))
            {
                grid.SetTextMatrix(row, col, number);
            }
        }
        ++row;
    });
}

void PasteCells(CMSFlexGrid& grid, const RowAppender& rowAppender)
{
    PasteCellBlockText(grid, GetClipboardText8(), rowAppender);
}
