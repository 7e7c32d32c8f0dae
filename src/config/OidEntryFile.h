#pragma once

#include <QList>
#include <QSet>
#include <QString>

// One OID the monitoring service polls, graphs and alerts on: a line of OIDEntry.cfg.
struct OidEntry
{
    QString ipAddress;
    QString interfaceNumber; // decimal, empty when the graph belongs to the device
    QString fileName;        // the service's data file of this entry, without extension
    QString graphDescription;
    QString yAxisLabel;
    QString legendLabel;
    QString oid;      // dotted numeric, with the table index
    QString typeWord; // "SGAUGE", "UGAUGE", "UCOUNTER" (the service knows more)
    QString transform;
    QString alertThreshold; // empty, "90" (alert above) or "40,90" (alert below or above)
    QString alertEmail;

    bool operator==(const OidEntry& other) const;
    bool operator!=(const OidEntry& other) const { return !(*this == other); }

    // The data-file name every new or edited entry gets: "oid-address-interface-legend",
    // with 0 for no interface.
    static QString fileNameFor(const QString& oid, const QString& ipAddress, const QString& interfaceNumber,
                               const QString& legendLabel);

    // Why the entry would not read back from the file as it stands: a ';' (the rest of the line
    // is a comment), a '"', a tab or a line break in a field, or a field that is just "/" (read
    // as empty). Empty when it would.
    QString problem() const;
};

// The type word of a MIB type code (Oid::Type): "SGAUGE", "UGAUGE", "UCOUNTER", or empty for
// the types that cannot be monitored.
QString typeWordForMibType(int type);
// The MIB type code a type word stands for when the MIB does not know the OID: Integer,
// UnsignedInteger, Counter, or Other (0). Compared in upper case after trimming.
int mibTypeForTypeWord(const QString& word);

// Reads the entries of the file at path; lines without exactly ten columns are skipped. Empty
// when the file cannot be opened (readable false).
QList<OidEntry> readOidEntries(const QString& path, bool* readable = nullptr);
// Writes the header and one line per entry in place of the file at path, atomically (see
// replaceFile). An entry with a ';', tab or line break in a field would not read back: the
// whole save is refused then, before anything is touched. False, with the reason in error,
// when the file was not written.
bool writeOidEntries(const QString& path, const QList<OidEntry>& entries, QString* error = nullptr);
// The header written at the top of every saved OIDEntry.cfg: comment lines, CR LF ended.
QByteArray oidEntryFileHeader();
