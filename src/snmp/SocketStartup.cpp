#include "snmp/SocketStartup.h"

#include <QDir>
#include <QTemporaryDir>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

QString& persistentFolder()
{
    static QString folder;
    return folder;
}

} // namespace

void startSockets()
{
    SOCK_STARTUP;
}

void cleanupSockets()
{
    SOCK_CLEANUP;
}

void setSnmpPersistentFolder(const QString& folder)
{
    persistentFolder() = folder;
}

QString snmpPersistentFolder()
{
    if (persistentFolder().isEmpty()) {
        static const QTemporaryDir temporary;
        return temporary.isValid() ? temporary.path() : QDir::tempPath();
    }
    return persistentFolder();
}
