#pragma once

#include <QProcessEnvironment>
#include <QString>

// The environment for one of net-snmp's command-line tools that reads no configuration and
// no MIB files: its configuration and MIB folders and HOME point at the empty folder home.
inline QProcessEnvironment netSnmpToolEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"SNMPCONFPATH", "HOME", "MIBDIRS"})
        env.insert(QLatin1String(name), home);
    env.insert(QStringLiteral("MIBS"), QString());
    return env;
}
