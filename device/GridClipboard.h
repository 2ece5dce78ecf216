#pragma once

// Blocks of cells on the clipboard as 8-bit text: fields separated by TAB, each
// row ending in CR LF, every number as its exact text (as many digits as
// reading it back takes), other texts as the cells show them.

#include "CellBlock.h"

#include <string>
#include <string_view>

class CMSFlexGrid;

// The selected block (Row/RowSel, Col/ColSel in either order) as cell block text.
std::string CellBlockText(const CMSFlexGrid& grid);
// Puts CellBlockText on the clipboard.
void CopyCells(const CMSFlexGrid& grid);

// What pasting a cell block text at the top-left corner of the selection does
// to the table: rows `replaced` rows from `first` become `rows`, which ends with
// a row for each line beyond the last row (at least one when the table has no
// data rows), each a copy of `newRow` before the fields go in. Lines at CR or
// LF (empty lines skipped), fields at TAB; a field that is a number (blanks
// around it allowed) goes into its cell exactly as it reads; empty fields and
// other texts leave their cells; fields beyond the last column are ignored.
struct PastedRows
{
    long first = 1;
    long replaced = 0;
    CellBlock rows;
};
PastedRows PasteRows(const CMSFlexGrid& grid, std::string_view text, const CellBlock& newRow);

// PasteRows, put into the grid in one go.
void PasteCellBlockText(CMSFlexGrid& grid, std::string_view text, const CellBlock& newRow);
