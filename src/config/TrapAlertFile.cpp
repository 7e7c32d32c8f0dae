#include "config/TrapAlertFile.h"

#include "config/ConfigFile.h"
#include "config/ConfigLog.h"
#include "platform/Icons.h"

#include <QDir>
#include <QFile>

namespace {

const QString kAny = QStringLiteral("*");

QString orAny(const QString& text)
{
    return text.isEmpty() ? kAny : text;
}

QString fromAny(const QString& text)
{
    return text == kAny ? QString() : text;
}

} // namespace

bool TrapAlertFile::Entry::operator==(const Entry& other) const
{
    return ip == other.ip && oid == other.oid && value == other.value && email == other.email &&
           description == other.description;
}

QString TrapAlertFile::Entry::oidText() const
{
    QStringList parts;
    parts.reserve(oid.size());
    for (const quint32 number : oid)
        parts.append(QString::number(number));
    return parts.join(QLatin1Char('.'));
}

QString TrapAlertFile::Entry::problem() const
{
    const QString* const fields[] = {&ip, &value, &email, &description};
    static const char* const names[] = {"source address", "trap value", "e-mail address", "description"};
    for (int i = 0; i < 4; ++i) {
        const QString& field = *fields[i];
        QString what;
        for (const QChar c : field) {
            if (c == QLatin1Char('\t'))
                what = QStringLiteral("a tab");
            else if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                what = QStringLiteral("a line break");
            else if (c == QLatin1Char(';') || c == QLatin1Char('"'))
                what = QStringLiteral("'%1'").arg(c);
            if (!what.isEmpty())
                return QStringLiteral("The %1 cannot hold %2: the monitoring service would not read the rule as "
                                      "it is written.")
                    .arg(QLatin1String(names[i]), what);
        }
        if (field != field.trimmed())
            return QStringLiteral("The %1 cannot start or end with a space.").arg(QLatin1String(names[i]));
        if (i < 2 && field == kAny)
            return QStringLiteral("The %1 cannot be just \"*\": the monitoring service reads that as any.")
                .arg(QLatin1String(names[i]));
    }
    return email.isEmpty() ? QStringLiteral("The e-mail address is missing.") : QString();
}

TrapAlertFile::TrapAlertFile(QObject* parent)
    : QObject(parent)
{
}

void TrapAlertFile::setFileName(const QString& path)
{
    m_fileName = path;
    m_dirty = true;
}

QList<TrapAlertFile::Entry> TrapAlertFile::entries()
{
    if (m_dirty) {
        m_entries = readEntries(m_fileName);
        m_dirty = false;
    }
    return m_entries;
}

bool TrapAlertFile::add(const Entry& entry, QString* error)
{
    if (entries().contains(entry))
        return false;
    m_entries.append(entry);
    m_dirty = true;
    return writeEntries(m_fileName, m_entries, error);
}

bool TrapAlertFile::parseOid(const QString& text, QVector<quint32>* oid)
{
    oid->clear();
    for (const QStringRef& piece : text.splitRef(QLatin1Char('.'))) {
        bool ok = false;
        const uint number = piece.toUInt(&ok, 10);
        if (!ok || piece.startsWith(QLatin1Char('+'))) {
            oid->clear();
            return false;
        }
        oid->append(number);
    }
    return true;
}

QList<TrapAlertFile::Entry> TrapAlertFile::readEntries(const QString& path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    const QString text = QString::fromUtf8(file.readAll());
    for (QStringRef line : text.splitRef(QLatin1Char('\n'))) {
        line = line.trimmed();
        const int comment = line.indexOf(QLatin1Char(';'));
        if (comment >= 0)
            line.truncate(comment);
        const QVector<QStringRef> columns = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        if (columns.size() < 4)
            continue;
        Entry entry;
        entry.ip = columns.at(0).trimmed().toString();
        const QString oid = columns.at(1).trimmed().toString();
        if (!oid.isEmpty() && oid != kAny && !parseOid(oid, &entry.oid))
            continue;
        entry.value = columns.at(2).trimmed().toString();
        entry.email = columns.at(3).trimmed().toString();
        if (columns.size() > 4)
            entry.description = columns.at(4).trimmed().toString();
        if (entry.ip.isEmpty() || entry.value.isEmpty() || entry.email.isEmpty())
            continue;
        entry.ip = fromAny(entry.ip);
        entry.value = fromAny(entry.value);
        entries.append(entry);
    }
    return entries;
}

QByteArray TrapAlertFile::header()
{
    registerResources();
    QFile file(QStringLiteral(":/headers/TrapAlert.cfg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TrapAlertFile::writeEntries(const QString& path, const QList<Entry>& entries, QString* error)
{
    QString reason;
    QByteArray bytes = header();
    if (bytes.isEmpty())
        reason = QStringLiteral("the file header is missing from the program");
    QString lines;
    for (int i = 0; i < entries.size() && reason.isEmpty(); ++i) {
        const Entry& entry = entries.at(i);
        reason = entry.problem();
        lines += QStringLiteral("%1\t%2\t%3\t%4\t%5\r\n")
                     .arg(orAny(entry.ip), orAny(entry.oidText()), orAny(entry.value), orAny(entry.email),
                          entry.description);
    }
    if (!reason.isEmpty()) {
        qCWarning(lcConfig, "cannot write %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                  qUtf8Printable(reason));
        if (error)
            *error = reason;
        return false;
    }
    bytes += lines.toUtf8();
    return replaceFile(path, bytes, error);
}
