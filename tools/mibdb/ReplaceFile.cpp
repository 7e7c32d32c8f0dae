#include "ReplaceFile.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>
#else
#include <cstdio>
#endif

bool replaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    // rename() refuses an existing target here, and removing it first would leave no file at all
    // for a moment: the move replaces it in one step.
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}
