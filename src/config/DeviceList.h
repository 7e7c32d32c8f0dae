#pragma once

#include "config/VelmoraFile.h"
#include "snmp/SnmpReader.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <limits>

// The one owner of the device list in memory: the entries of Velmora.cfg and one
// device-information record each, row for row. It reads the file, notices when someone else
// changed it, writes it back and remembers a save that failed, and merges the device
// information SnmpReader reports into the records.
class DeviceList final : public QObject
{
    Q_OBJECT

public:
    // Asks for one device's information under requestId; SnmpReader by default.
    using InfoRequest =
        std::function<void(const QString& ip, const SnmpUtils::SnmpParams& params, int flags, int requestId)>;

    // What the list asks of each device. The address table too: the device list editor warns
    // about a new device that answers at one of the addresses of a device already in the list.
    static constexpr int InfoFlags = SnmpReader::SystemInfo | SnmpReader::Interfaces | SnmpReader::IpAddresses;

    explicit DeviceList(const QString& path, QObject* parent = nullptr);

    QString path() const { return m_path; }
    const QList<VelmoraFile::Entry>& entries() const { return m_entries; }
    const QList<SnmpReader::HostInfoResult>& deviceInfo() const { return m_deviceInfo; }
    // The id under which the list asks for device information.
    int requestId() const { return m_requestId; }
    // The list in memory is newer than the file: it was edited and not saved since, or the
    // save failed.
    bool isUnsaved() const { return m_unsaved; }
    // Why the file was found unreadable when last read, or why the last save failed, for the
    // window to show; empty when neither. A list read from an unreadable file is empty, and
    // saving never writes over such a file.
    QString errorText() const { return m_errorText; }

    // The addresses of the devices whose credentials could not be read, in file order; their
    // credential text is kept as the file holds it.
    QStringList unreadCredentials() const;

    void setInfoRequest(InfoRequest request) { m_infoRequest = std::move(request); }

    // Reads the file; each record starts with the name names gives for its address (the
    // names known from earlier runs) until the device answers.
    void load(const QMap<QString, QString>& names);
    // Asks every device for its information.
    void requestDeviceInfo();
    // Whether the file differs in size or modification time from when it was last read or
    // written.
    bool changedOnDisk() const;
    // Reads the file again when it changed on disk and the list has no unsaved changes, so
    // that an edit starts from what the file holds. Devices already known keep their
    // information; new ones are asked. True when the list was read again.
    bool reloadIfChanged(const QMap<QString, QString>& names);
    // Counts the device information results merged so far; an editor takes it when it opens.
    quint64 infoStamp() const { return m_heard; }
    // Takes an edited list, its records row for row; it is unsaved until save() succeeds. A
    // device whose information arrived after heardSince (an infoStamp()) keeps the newer record
    // of its address rather than the editor's copy.
    void setDevices(const QList<VelmoraFile::Entry>& entries, const QList<SnmpReader::HostInfoResult>& deviceInfo,
                    quint64 heardSince = std::numeric_limits<quint64>::max());
    // Writes the file. False when it could not be written, errorText() saying why; the list
    // then stays unsaved, and the file on disk is as VelmoraFile::save leaves it.
    bool save();

signals:
    void deviceInfoChanged(int row);

public slots:
    // Results of this list's own requests always count; those others asked for count only
    // when the device answered.
    void onHostResolved(const SnmpReader::HostInfoResult& result, int requestId);

private:
    QString fileStamp() const;

    const QString m_path;
    const int m_requestId;
    QList<VelmoraFile::Entry> m_entries;
    QList<SnmpReader::HostInfoResult> m_deviceInfo;
    bool m_unsaved = false;
    QString m_errorText;
    QString m_stamp; // the file as last read or written
    InfoRequest m_infoRequest;
    quint64 m_heard = 0;
    QHash<QString, quint64> m_heardAt; // by address: the count when its last result was merged
};
