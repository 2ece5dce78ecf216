#include "FontFallback.h"

#include <QFontDatabase>
#include <QStringList>

bool IsFontFamilyInstalled(const QString& family)
{
    const QStringList families = QFontDatabase::families();
    return families.contains(family, Qt::CaseInsensitive);
}

QFont CreateFontOrFallback(const QString& family, double pointSize, const QString& fallbackFamily)
{
    QFont font(IsFontFamilyInstalled(family) ? family : fallbackFamily);
    font.setPointSizeF(pointSize);
    return font;
}
