#include "platform/IniFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryFile>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Whether bytes are the whole of what QSettings wrote for keys: one line per key besides
// the section lines and blank lines, the last one ended.
bool complete(const QByteArray& bytes, int keys)
{
    int lines = 0;
    for (const QByteArray& line : bytes.split('\n'))
        lines += !line.trimmed().isEmpty() && !line.startsWith('[');
    return lines == keys && (bytes.isEmpty() ? keys == 0 : bytes.endsWith('\n'));
}

bool renameOver(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

} // namespace

bool writeIniValues(const QString& path, const QVariantMap& values)
{
    const QFileInfo file(path);
    QDir().mkpath(file.absolutePath());
    QLockFile lock(path + QLatin1String(".lock"));
    QTemporaryFile reserved(path + QLatin1String(".XXXXXX"));
    if (!lock.lock() || !reserved.open())
        return false;
    const QString copy = reserved.fileName();
    // The copy starts from the file's bytes and permissions (a file that cannot be read is not
    // written over); a new file gets those QSettings gives one.
    QFile old(path);
    const bool hadFile = old.exists();
    const QByteArray oldBytes = hadFile && old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
    bool ok = !hadFile || (old.isOpen() && reserved.write(oldBytes) == oldBytes.size() && reserved.flush() &&
                           reserved.setPermissions(old.permissions()));
    reserved.close();
    reserved.setAutoRemove(false);
    if (!hadFile)
        QFile::remove(copy);
    if (ok) {
        QSettings settings(copy, QSettings::IniFormat);
        for (auto value = values.cbegin(); value != values.cend(); ++value)
            settings.setValue(value.key(), value.value());
        settings.sync();
        QFile written(copy);
        // A format error only concerns what was read.
        ok = settings.status() != QSettings::AccessError && written.open(QIODevice::ReadOnly) &&
             complete(written.readAll(), settings.allKeys().size());
    }
    // The new file must not look unchanged to readers that know the old one by size and time.
    const QDateTime oldTime = file.lastModified();
    if (ok && hadFile && QFileInfo(copy).lastModified() <= oldTime) {
        QFile touched(copy);
        ok = touched.open(QIODevice::ReadWrite) &&
             touched.setFileTime(oldTime.addMSecs(1), QFileDevice::FileModificationTime);
    }
    ok = ok && renameOver(copy, path);
    if (!ok)
        QFile::remove(copy);
    return ok;
}
