#pragma once

#include "config/OidEntryFile.h"

#include <QList>
#include <QSet>
#include <QString>

// The monitored-OID entries the main window edits, with the data-file names of the entries
// changed since the file was last written. The monitoring service reads the file only when it
// starts, so changes may stay pending until the service is stopped; saving writes the file and
// deletes the service's history of every changed entry, which no longer matches it.
class MonitoredOids final
{
public:
    // path: OIDEntry.cfg; historyFolder: where the service keeps name + ".dat" per entry.
    MonitoredOids(const QString& path, const QString& historyFolder);

    // Reads the file; an unreadable file gives no entries. Pending changes are dropped.
    void load();

    const QString& path() const { return m_path; }
    const QList<OidEntry>& entries() const { return m_entries; }
    const QSet<QString>& changedFileNames() const { return m_changed; }
    bool hasPendingChanges() const { return !m_changed.isEmpty(); }

    // A new entry from the settings dialog.
    void add(const OidEntry& entry);
    // The list as the list dialog left it, with the data-file names it changed; nothing
    // happens when it changed none.
    void replace(const QList<OidEntry>& entries, const QSet<QString>& changedFileNames);

    // Writes the file and deletes the history of the changed entries, then forgets the changes.
    // Nothing to do is a success. A write that fails keeps the changes and every history file,
    // so that a later save can still succeed: false, with the reason in errorText.
    bool savePending();
    QString errorText() const { return m_error; }

    // The history file of an entry; empty for a name that would lead out of the history
    // folder (a path separator or "..") or is empty.
    QString historyFile(const QString& fileName) const;

private:
    QString m_path;
    QString m_historyFolder;
    QList<OidEntry> m_entries;
    QSet<QString> m_changed;
    QString m_error;
};
