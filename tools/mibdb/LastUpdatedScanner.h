#pragma once

#include <QHash>
#include <QString>

// Finds the MODULE-IDENTITY LAST-UPDATED value of every module in a MIB file. net-snmp's
// parser checks that clause but keeps nothing of it, so the file is read once more here.
class LastUpdatedScanner final
{
public:
    // Module name -> seconds since the epoch (UTC) of its first LAST-UPDATED clause, 0 when
    // that value is malformed. Modules without the clause (SMIv1 modules) are absent.
    static QHash<QString, qint64> scanFile(const QString& path);
    static QHash<QString, qint64> scanText(const QByteArray& text);

    // "YYMMDDHHMMZ" (19YY) or "YYYYMMDDHHMMZ" as seconds since the epoch; false when malformed.
    static bool parseTimestamp(const QByteArray& value, qint64* secondsSinceEpoch);
};
