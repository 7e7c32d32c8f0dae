#include "config/OidEntryFile.h"

#include "config/ConfigFile.h"
#include "config/ConfigLog.h"
#include "mib/Oid.h"
#include "platform/Icons.h"

#include <QDir>
#include <QFile>

#include <algorithm>

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

namespace {

constexpr int ColumnCount = 10;

QStringList columnsOf(const OidEntry& entry)
{
    // The type word ends at the column's first ':', so an OID holding one keeps an empty word before it.
    const bool colon = !entry.typeWord.isEmpty() || entry.oid.contains(QLatin1Char(':'));
    const QString oidColumn = colon ? entry.typeWord + QLatin1Char(':') + entry.oid : entry.oid;
    return {entry.ipAddress,      entry.interfaceNumber, entry.fileName, entry.graphDescription,
            entry.yAxisLabel,     entry.legendLabel,     oidColumn,      entry.transform,
            entry.alertThreshold, entry.alertEmail};
}

// What in value would change the line it is written on: the rest of the line after a ';' is a
// comment, a tab starts a new column and a line break a new line.
QString breakingCharacter(const QString& value)
{
    for (const QChar c : value) {
        if (c == QLatin1Char(';'))
            return QStringLiteral("';'");
        if (c == QLatin1Char('\t'))
            return QStringLiteral("a tab");
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return QStringLiteral("a line break");
    }
    return {};
}

} // namespace

QString OidEntry::problem() const
{
    const QStringList columns = columnsOf(*this);
    static const char* const names[ColumnCount] = {"address",         "interface number",   "file name", "description",
                                                   "Y-axis label",    "legend label",       "OID",       "transform",
                                                   "alert threshold", "notification e-mail"};
    for (int i = 0; i < ColumnCount; ++i) {
        const QString& value = columns.at(i);
        QString what = breakingCharacter(value);
        if (what.isEmpty() && value.contains(QLatin1Char('"')))
            what = QStringLiteral("'\"'");
        if (!what.isEmpty())
            return QStringLiteral("The %1 cannot hold %2: the monitoring service would not read the line as it is "
                                  "written.")
                .arg(QLatin1String(names[i]), what);
        if (value == QLatin1String("/"))
            return QStringLiteral("The %1 cannot be just \"/\": the monitoring service reads that as empty.")
                .arg(QLatin1String(names[i]));
    }
    return {};
}

QByteArray oidEntryFileHeader()
{
    registerResources();
    QFile file(QStringLiteral(":/headers/OIDEntry.cfg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<OidEntry> readOidEntries(const QString& path, bool* readable)
{
    QList<OidEntry> entries;
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (readable)
        *readable = opened;
    if (!opened)
        return entries;
    // Read whole and cut into pieces in place: only the values kept become strings of their own.
    const QString text = QString::fromUtf8(file.readAll());
    const auto value = [](const QStringRef& piece) {
        QString result = piece.toString();
        if (result.contains(QLatin1Char('\r')))
            result.remove(QLatin1Char('\r'));
        return result == QLatin1String("/") ? QString() : result;
    };
    QVector<QStringRef> columns;
    for (QStringRef line : text.splitRef(QLatin1Char('\n'))) {
        const int comment = line.indexOf(QLatin1Char(';'));
        if (comment >= 0)
            line.truncate(comment);
        columns.clear();
        for (const QStringRef& piece : line.split(QLatin1Char('\t'), Qt::SkipEmptyParts)) {
            // A piece of nothing but carriage returns is nothing.
            if (std::any_of(piece.begin(), piece.end(), [](QChar c) { return c != QLatin1Char('\r'); }))
                columns.append(piece);
        }
        if (columns.size() != ColumnCount)
            continue;
        OidEntry entry;
        entry.ipAddress = value(columns.at(0));
        entry.interfaceNumber = value(columns.at(1));
        entry.fileName = value(columns.at(2));
        entry.graphDescription = value(columns.at(3));
        entry.yAxisLabel = value(columns.at(4));
        entry.legendLabel = value(columns.at(5));
        const QString oidColumn = value(columns.at(6));
        const int colon = oidColumn.indexOf(QLatin1Char(':'));
        entry.typeWord = colon < 0 ? QString() : oidColumn.left(colon);
        entry.oid = colon < 0 ? oidColumn : oidColumn.mid(colon + 1);
        entry.transform = value(columns.at(7));
        entry.alertThreshold = value(columns.at(8));
        entry.alertEmail = value(columns.at(9));
        entries.append(entry);
    }
    return entries;
}

// A save refused before the file was touched.
static bool refuseSave(const QString& path, const QString& reason, QString* error)
{
    qCWarning(lcConfig, "cannot write %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)), qUtf8Printable(reason));
    if (error)
        *error = reason;
    return false;
}

bool writeOidEntries(const QString& path, const QList<OidEntry>& entries, QString* error)
{
    QByteArray bytes = oidEntryFileHeader();
    if (bytes.isEmpty())
        return refuseSave(path, QStringLiteral("the file header is missing from the program"), error);
    // The lines are gathered as text and converted once.
    QString lines;
    lines.reserve(entries.size() * 160);
    for (const OidEntry& entry : entries) {
        const QStringList columns = columnsOf(entry);
        for (int i = 0; i < ColumnCount; ++i) {
            const QString& column = columns.at(i);
            const QString what = breakingCharacter(column);
            if (!what.isEmpty())
                return refuseSave(
                    path, QStringLiteral("the value \"%1\" holds %2, which the file cannot hold").arg(column, what),
                    error);
            lines += column.isEmpty() ? QStringLiteral("/") : column;
            lines += i + 1 < ColumnCount ? QLatin1String("\t") : QLatin1String("\r\n");
        }
    }
    bytes += lines.toUtf8();
    return replaceFile(path, bytes, error);
}
