#include "WholeFile.h"

#include "TemporaryFile.h"

#include <QFile>

#include <exception>

bool WriteWholeFile(const QString& path, std::string_view content)
{
    // The data set store's writer, so that a save killed in the middle leaves
    // a leftover that the next save of the same file removes.
    try {
        ReplaceFileWhole(QFile::encodeName(path).toStdString(), content);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
