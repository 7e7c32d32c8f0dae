#include "ReplaceFile.h"

#include <QFile>

#include <cstdio>

bool replaceFile(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    // Systems whose rename() refuses an existing target: the old file has to go first.
    return QFile::exists(to) && QFile::remove(to) && QFile::rename(from, to);
}
