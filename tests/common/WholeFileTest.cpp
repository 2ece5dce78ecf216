#include "WholeFile.h"

#include "ScopedFileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace
{

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// Small contents stay in the write buffer until the end; large ones go to the
// file while they are written. Both must fail as a whole.
TEST(WholeFile, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    for (const std::size_t size : {std::size_t{3000}, std::size_t{200000}})
    {
        SCOPED_TRACE(size);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.txt"));
        ASSERT_TRUE(WriteWholeFile(path, "old"));
        {
            const ScopedFileSizeLimit limit(1024);
            ASSERT_TRUE(limit.IsActive());
            EXPECT_FALSE(WriteWholeFile(path, std::string(size, 'n')));
        }
        EXPECT_EQ(ReadAll(path), QByteArray("old"));
        EXPECT_EQ(Entries(folder.path()), QStringList{"out.txt"});
    }
}
