#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Whole files for tests. Reading a file that cannot be read gives "<missing>"; writing makes
// the folders on the way.
inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeBytes(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size() && file.flush();
}
