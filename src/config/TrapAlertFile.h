#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

// The trap alert rules of the monitoring service, TrapAlert.cfg beside its program: a trap
// that matches a rule (source, trap OID, value; "*" in the file for any) sends an e-mail.
// Lines are TAB-delimited, a ';' starts a comment wherever it stands, and a save writes the
// built-in header and the rules, so comments of the old file are not kept.
class TrapAlertFile final : public QObject
{
    Q_OBJECT

public:
    // One rule. Empty ip, oid or value stand for any.
    struct Entry
    {
        QString ip; // as typed: an address or a name
        QVector<quint32> oid;
        QString value; // decimal
        QString email; // one address or several separated by commas
        QString description;

        bool operator==(const Entry& other) const;
        bool operator!=(const Entry& other) const { return !(*this == other); }

        QString oidText() const; // joined with "."; empty for any OID
        // Why the rule would not read back from the file as it is written: a tab, line break,
        // ';' or '"' in a field, a space around one, "*" as source or value (read as any) or no
        // e-mail address. Empty when it would.
        QString problem() const;
    };

    explicit TrapAlertFile(QObject* parent = nullptr);

    QString fileName() const { return m_fileName; }
    void setFileName(const QString& path);

    // The rules of the file, read again when it may have changed since.
    QList<Entry> entries();
    // Appends entry and writes the file, unless an equal rule is there already (false, with
    // nothing written). False, with the reason in error, when the file could not be written.
    bool add(const Entry& entry, QString* error = nullptr);

    // The rules of the file at path, in file order; malformed lines are skipped and an
    // unreadable file has none.
    static QList<Entry> readEntries(const QString& path);
    // Writes the header and one line per rule in place of the file at path, atomically (see
    // replaceFile). A rule with a problem() refuses the whole save before anything is touched.
    // False, with the reason in error, when the file was not written.
    static bool writeEntries(const QString& path, const QList<Entry>& entries, QString* error = nullptr);
    // The header of every saved file: comment lines and an empty line, CR LF ended.
    static QByteArray header();
    // A dotted OID of unsigned 32-bit components; false for anything else, empty text included.
    static bool parseOid(const QString& text, QVector<quint32>* oid);

private:
    QString m_fileName;
    bool m_dirty = true;
    QList<Entry> m_entries;
};
