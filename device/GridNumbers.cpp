#include "GridNumbers.h"

#include "MSFlexGrid.h"
#include "NumberText.h"

#include <QLineEdit>

double CellToDouble(const CMSFlexGrid& grid, long row, long col, double fallback)
{
    return grid.GetValueMatrix(row, col).value_or(fallback);
}

double WindowToDouble(const QWidget* edit, double fallback)
{
    const auto* lineEdit = qobject_cast<const QLineEdit*>(edit);
    return lineEdit == nullptr ? fallback : TextToDouble(lineEdit->text(), fallback);
}

int ParseIntOrDefault(const QWidget* edit, int fallback)
{
    const auto* lineEdit = qobject_cast<const QLineEdit*>(edit);
    return lineEdit == nullptr ? fallback : TextToInt(lineEdit->text(), fallback);
}
