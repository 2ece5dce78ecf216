#include "DialogUnits.h"

#include "FontFallback.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <cstdint>
#include <limits>

int MulDiv(int a, int b, int c)
{
    if (c == 0)
    {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t halfDivisor = (c < 0 ? -static_cast<std::int64_t>(c) : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (product < 0 ? -product : product) + halfDivisor;
    const std::int64_t quotient = magnitude / (c < 0 ? -static_cast<std::int64_t>(c) : c);
    const std::int64_t result = negative ? -quotient : quotient;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
    {
        return -1;
    }
    return static_cast<int>(result);
}

DialogBaseUnits BaseUnitsFromMetrics(int alphabetWidth, int fontHeight)
{
    return {(alphabetWidth + 26) / 52, fontHeight};
}

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    return BaseUnitsFromMetrics(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

QRect DialogUnitsToPixels(const QRect& dialogUnits, DialogBaseUnits units)
{
    return {MulDiv(dialogUnits.x(), units.x, 4), MulDiv(dialogUnits.y(), units.y, 8),
            MulDiv(dialogUnits.width(), units.x, 4), MulDiv(dialogUnits.height(), units.y, 8)};
}

QSize DialogUnitsToPixels(const QSize& dialogUnits, DialogBaseUnits units)
{
    return {MulDiv(dialogUnits.width(), units.x, 4), MulDiv(dialogUnits.height(), units.y, 8)};
}

QFont CreateDialogFont(const QString& family, int pointSize)
{
    QFont font = CreateFontOrFallback(family, pointSize, QStringLiteral("Liberation Sans"));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? static_cast<int>(screen->logicalDotsPerInchY() + 0.5) : 96;
    font.setPixelSize(MulDiv(pointSize, dpi, 72));
    return font;
}
