#pragma once

// Numbers read back from cells and edit boxes. The text is taken unchanged (no
// trimming); anything that is not one number gives `fallback`.

class CMSFlexGrid;
class QWidget;

double CellToDouble(const CMSFlexGrid& grid, long row, long col, double fallback);
// The window text of a QLineEdit; `fallback` for any other widget or nullptr.
double WindowToDouble(const QWidget* edit, double fallback);
int ParseIntOrDefault(const QWidget* edit, int fallback);
