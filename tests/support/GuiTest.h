#pragma once

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

// Delivers what is pending for the widgets, and what handling it posts in turn.
inline void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(), QCoreApplication::processEvents();
}

// A file's bytes, "(none)" when it cannot be read.
inline QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

inline void Put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path.toStdString();
}
