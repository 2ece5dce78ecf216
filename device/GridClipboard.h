#pragma once

// Blocks of cells on the clipboard as 8-bit text: fields separated by TAB, each
// row ending in CR LF, texts exactly as the cells show them.

#include <functional>
#include <string>

class CMSFlexGrid;

// The selected block (Row/RowSel, Col/ColSel in either order) as cell block text.
std::string CellBlockText(const CMSFlexGrid& grid);
// Puts CellBlockText on the clipboard.
void CopyCells(const CMSFlexGrid& grid);

// Writes the cell block text from the top-left corner of the selection: lines
// at CR or LF (empty lines skipped), fields at TAB. A field is written only when
// it is a number, in engineering format in column 1 and value format elsewhere;
// empty fields and other texts leave their cells. Fields beyond the last column
// are ignored. `rowAppender(count)` adds rows at the end: once, before any cell
// is written, as many as the lines beyond the last row (at least one when the
// table has no data rows), and not at all when the lines fit.
using RowAppender = std::function<void(long count)>;
void PasteCellBlockText(CMSFlexGrid& grid, const std::string& text, const RowAppender& rowAppender);
// PasteCellBlockText with the clipboard's text.
void PasteCells(CMSFlexGrid& grid, const RowAppender& rowAppender);
