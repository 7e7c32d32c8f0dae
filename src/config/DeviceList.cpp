#include "config/DeviceList.h"

#include "config/ConfigLog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

DeviceList::DeviceList(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
    , m_requestId(SnmpReader::newRequestId())
{
    m_infoRequest = [](const QString& ip, const SnmpUtils::SnmpParams& params, int flags, int requestId) {
        SnmpReader::instance()->requestHostInfo(ip, params, flags, requestId);
    };
    // Every device-information result is heard, also those the device list editor asks for.
    connect(SnmpReader::instance(), &SnmpReader::HostResolved, this, &DeviceList::onHostResolved);
}

QString DeviceList::fileStamp() const
{
    // Size and modification time tell a changed file without reading it.
    const QFileInfo info(m_path);
    return info.exists() ? QString::number(info.size()) + QLatin1Char('@') +
                               QString::number(info.lastModified().toMSecsSinceEpoch())
                         : QString();
}

void DeviceList::load(const QMap<QString, QString>& names)
{
    m_stamp = fileStamp();
    const VelmoraFile file(m_path);
    m_entries = file.entries();
    m_errorText = file.errorText();
    m_unsaved = false;
    m_deviceInfo.clear();
    for (const VelmoraFile::Entry& device : qAsConst(m_entries)) {
        SnmpReader::HostInfoResult info;
        info.ip = device.ipAddress;
        info.sysName = names.value(device.ipAddress);
        m_deviceInfo.append(info);
    }
}

QStringList DeviceList::unreadCredentials() const
{
    QStringList addresses;
    for (const VelmoraFile::Entry& device : m_entries) {
        if (device.credentialsUnread)
            addresses.append(device.ipAddress);
    }
    return addresses;
}

void DeviceList::requestDeviceInfo()
{
    for (const VelmoraFile::Entry& device : qAsConst(m_entries))
        m_infoRequest(device.ipAddress, device.credentials, InfoFlags, m_requestId);
}

bool DeviceList::changedOnDisk() const
{
    return fileStamp() != m_stamp;
}

bool DeviceList::reloadIfChanged(const QMap<QString, QString>& names)
{
    // Unsaved changes win over the file: the next save writes them.
    if (m_unsaved || !changedOnDisk())
        return false;
    qCInfo(lcConfig, "%s changed on disk: reading it again", qUtf8Printable(QDir::toNativeSeparators(m_path)));
    QHash<QString, SnmpReader::HostInfoResult> known;
    for (const SnmpReader::HostInfoResult& info : qAsConst(m_deviceInfo))
        known.insert(info.ip, info);
    load(names);
    for (int i = 0; i < m_entries.size(); ++i) {
        const VelmoraFile::Entry& device = m_entries.at(i);
        if (known.contains(device.ipAddress))
            m_deviceInfo[i] = known.value(device.ipAddress);
        else
            m_infoRequest(device.ipAddress, device.credentials, InfoFlags, m_requestId);
    }
    return true;
}

void DeviceList::setDevices(const QList<VelmoraFile::Entry>& entries,
                            const QList<SnmpReader::HostInfoResult>& deviceInfo, quint64 heardSince)
{
    QHash<QString, SnmpReader::HostInfoResult> newer;
    for (int i = 0; i < m_entries.size(); ++i) {
        const QString& address = m_entries.at(i).ipAddress;
        if (m_heardAt.value(address) > heardSince)
            newer.insert(address, m_deviceInfo.at(i));
    }
    m_entries = entries;
    m_deviceInfo = deviceInfo;
    for (int i = 0; i < m_entries.size() && i < m_deviceInfo.size(); ++i) {
        const auto found = newer.constFind(m_entries.at(i).ipAddress);
        if (found != newer.constEnd())
            m_deviceInfo[i] = *found;
    }
    m_unsaved = true;
}

bool DeviceList::save()
{
    // A file that could not be read is refused by the save too: it stays as it is on disk.
    const VelmoraFile file(m_path);
    m_unsaved = !file.save(m_entries);
    m_errorText = file.errorText();
    if (!m_unsaved)
        m_stamp = fileStamp();
    return !m_unsaved;
}

void DeviceList::onHostResolved(const SnmpReader::HostInfoResult& result, int requestId)
{
    if (requestId != m_requestId && !result.ok)
        return;
    m_heardAt.insert(result.ip, ++m_heard);
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).ipAddress != result.ip)
            continue;
        SnmpReader::HostInfoResult& info = m_deviceInfo[i];
        info.ip = result.ip;
        info.ok = result.ok;
        info.sysName = result.sysName;
        info.sysDescr = result.sysDescr;
        info.interfaces = result.interfaces;
        info.addresses = result.addresses;
        info.neighbours = result.neighbours;
        emit deviceInfoChanged(i);
    }
}
