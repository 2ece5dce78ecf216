#include "FileDialogFilter.h"

namespace
{

QString ConvertPatterns(const QString& patterns)
{
    QStringList converted;
    for (const QString& part : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty())
        {
            continue;
        }
        converted.append(pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    return converted.join(QLatin1Char(' '));
}

} // namespace

QStringList ConvertFileDialogFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList nameFilters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
    {
        const QString description = parts[i].trimmed();
        const QString patterns = ConvertPatterns(parts[i + 1]);
        if (description.isEmpty() || patterns.isEmpty())
        {
            // The "||" that ends the list.
            break;
        }
        nameFilters.append(description + QLatin1String(" (") + patterns + QLatin1Char(')'));
    }
    return nameFilters;
}
