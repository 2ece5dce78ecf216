#pragma once

// Dialog units to pixels, as the platform's dialog manager converts them: one
// horizontal unit is a quarter of the dialog font's average character width, one
// vertical unit an eighth of its height.

#include <QFont>
#include <QRect>
#include <QSize>

struct DialogBaseUnits
{
    int x; // average character width, pixels
    int y; // character height, pixels
};

// a * b / c rounded half away from zero, without overflow; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Base units from the width of "A…Za…z" and the font's height; the width is
// averaged with the platform's rounding, (width + 26) / 52.
DialogBaseUnits BaseUnitsFromMetrics(int alphabetWidth, int fontHeight);

// Base units of a font, measured.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// A rectangle (x, y, width, height) in dialog units to pixels; each of the four
// numbers is converted on its own, as the dialog manager does.
QRect DialogUnitsToPixels(const QRect& dialogUnits, DialogBaseUnits units);
QSize DialogUnitsToPixels(const QSize& dialogUnits, DialogBaseUnits units);

// The font of a dialog template: the family by name with the fallback rule, at the
// pixel height the platform gives a point size on the screen (points × dpi / 72).
QFont CreateDialogFont(const QString& family, int pointSize);
