#pragma once

// Fonts requested by name. A family that is not installed counts as a font that
// cannot be created; the fallback name is then requested as it is, and whatever
// the font configuration substitutes for it is accepted.

#include <QFont>
#include <QString>

// True when the font database lists the family (case does not matter; aliases
// and substitutes do not count).
bool IsFontFamilyInstalled(const QString& family);

QFont CreateFontOrFallback(const QString& family, double pointSize, const QString& fallbackFamily);
