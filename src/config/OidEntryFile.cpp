#include "config/OidEntryFile.h"

#include "mib/Oid.h"

#include <QFile>

bool OidEntry::operator==(const OidEntry& other) const
{
    return ipAddress == other.ipAddress && interfaceNumber == other.interfaceNumber && fileName == other.fileName &&
           graphDescription == other.graphDescription && yAxisLabel == other.yAxisLabel &&
           legendLabel == other.legendLabel && oid == other.oid && typeWord == other.typeWord &&
           transform == other.transform && alertThreshold == other.alertThreshold && alertEmail == other.alertEmail;
}

QString OidEntry::fileNameFor(const QString& oid, const QString& ipAddress, const QString& interfaceNumber,
                              const QString& legendLabel)
{
    return QStringLiteral("%1-%2-%3-%4")
        .arg(oid, ipAddress, interfaceNumber.isEmpty() ? QStringLiteral("0") : interfaceNumber, legendLabel);
}

QString typeWordForMibType(int type)
{
    switch (type) {
    case Oid::Integer:
    case Oid::Integer32:
        return QStringLiteral("SGAUGE");
    case Oid::Gauge:
    case Oid::UnsignedInteger:
    case Oid::Unsigned32:
        return QStringLiteral("UGAUGE");
    case Oid::Counter:
    case Oid::TimeTicks:
    case Oid::Counter64:
        return QStringLiteral("UCOUNTER");
    default:
        return {};
    }
}

int mibTypeForTypeWord(const QString& word)
{
    const QString upper = word.trimmed().toUpper();
    if (upper == QLatin1String("SGAUGE"))
        return Oid::Integer;
    if (upper == QLatin1String("UGAUGE"))
        return Oid::UnsignedInteger;
    if (upper == QLatin1String("UCOUNTER"))
        return Oid::Counter;
    return Oid::Other;
}
