#pragma once

#include <QString>

// The program's identity and the maker's addresses, kept in one place.
namespace AppInfo {

inline QString title()
{
    return QStringLiteral("Tessaro");
}

constexpr int versionMajor = 14;
constexpr int versionMinor = 0;
constexpr int versionMaintenance = 10;

inline QString makerName()
{
    return QStringLiteral("Brantwick");
}
inline QString makerWebSite()
{
    return QStringLiteral("https://www.brantwick.example/");
}
inline QString submissionMailbox()
{
    return QStringLiteral("mibs@brantwick.example");
}
inline QString defaultAlertSender()
{
    return QStringLiteral("alerts@brantwick.example");
}

} // namespace AppInfo
