#pragma once

#include <QByteArray>
#include <QString>

// What the update check and the download dialog both need, without widgets and without
// the update logic, so that the dialog does not depend on the application layer.
namespace Updater {

// Every request to the update server introduces itself as a common browser.
inline QByteArray userAgent()
{
    return QByteArrayLiteral("Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
                             "Chrome/73.0.3683.86 Safari/537.36");
}

// A size for the user: whole MBytes, KBytes or Bytes, truncated.
inline QString sizeText(qint32 n)
{
    if (n >= 1048576)
        return QStringLiteral("%1 MBytes").arg(n / 1048576);
    if (n >= 1024)
        return QStringLiteral("%1 KBytes").arg(n / 1024);
    return QStringLiteral("%1 Bytes").arg(n);
}

} // namespace Updater
