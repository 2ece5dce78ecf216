#include "WholeFile.h"

#include <QSaveFile>

bool WriteWholeFile(const QString& path, std::string_view content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
    {
        return false;
    }
    const auto size = static_cast<qint64>(content.size());
    // commit() flushes what is still buffered without looking at the result, so
    // a disk that fills up just then would put a cut file in place: flush and
    // check first. Without a commit the temporary file is removed.
    if (file.write(content.data(), size) != size || !file.flush())
    {
        return false;
    }
    return file.commit();
}
