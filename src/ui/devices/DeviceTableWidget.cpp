#include "ui/devices/DeviceTableWidget.h"

#include "ui/devices/DeviceFilterProxyModel.h"
#include "ui/widgets/UiUtils.h"
#include "snmp/PeerAddress.h"

#include <QBrush>
#include <QCheckBox>
#include <QColor>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QVector>

#include <algorithm>
#include <utility>

namespace {

constexpr int ColumnCount = 5;

QString versionText(int version)
{
    switch (version) {
    case 1:
        return QStringLiteral("v1");
    case 2:
        return QStringLiteral("v2c");
    case 3:
        return QStringLiteral("v3");
    default:
        return QStringLiteral("?");
    }
}

// What the table keeps of a query's result: the device, not how it was reached.
SnmpReader::HostInfoResult storedInfo(const SnmpReader::HostInfoResult& result)
{
    SnmpReader::HostInfoResult info = result;
    info.usedParams = SnmpUtils::SnmpParams();
    info.paramsChanged = false;
    return info;
}

} // namespace

DeviceTableWidget::DeviceTableWidget(QWidget* parent)
    : CrudTableWidget({tr("Group"), tr("Device name"), tr("IP Address"), tr("SNMP"), tr("Description")},
                      new DeviceFilterProxyModel, parent)
    , m_proxy(static_cast<DeviceFilterProxyModel*>(proxyModel()))
    , m_onlyDuplicates(new QCheckBox(tr("Only duplicates"), this))
    , m_requestId(SnmpReader::newRequestId())
{
    m_onlyDuplicates->setObjectName(QStringLiteral("onlyDuplicates"));
    m_onlyDuplicates->setToolTip(tr("Show only duplicate records in the table"));
    searchRow()->addWidget(m_onlyDuplicates);
    connect(m_onlyDuplicates, &QCheckBox::toggled, m_proxy, &DeviceFilterProxyModel::setOnlyDuplicates);

    QTableView* table = view();
    table->setStyleSheet(QStringLiteral(
        "QTableView::item:selected{background-color: palette(highlight); color: palette(highlightedText);};"));
    QHeaderView* header = table->horizontalHeader();
    header->setMinimumSectionSize(table->verticalHeader()->defaultSectionSize());
    const double scale = screenScaleFactor(this);
    const std::pair<int, int> widths[] = {
        {GroupColumn, 68}, {NameColumn, 260}, {IpColumn, 104}, {DescriptionColumn, 40}};
    for (const auto& [column, width] : widths)
        header->resizeSection(column, qRound(width * scale));

    connect(SnmpReader::instance(), &SnmpReader::HostResolved, this, &DeviceTableWidget::onHostResolved);
}

DeviceTableWidget::~DeviceTableWidget() = default;

void DeviceTableWidget::setData(const QList<VelmoraFile::Entry>& entries,
                                const QList<SnmpReader::HostInfoResult>& deviceInfo)
{
    // Filled apart from the filter, so that the view sees one reset rather than a change for
    // every cell: thousands of devices then open at once.
    m_proxy->setSourceModel(nullptr);
    model()->removeRows(0, model()->rowCount());
    m_entries.clear();
    m_devices.clear();
    for (int row = 0; row < entries.size(); ++row)
        insertRow(row, entries.at(row), deviceInfo.value(row));
    markDuplicates();
    m_proxy->setSourceModel(model());
    updateActions();
    // Groups and addresses are short; they show whole even where the font outgrows the widths.
    QHeaderView* header = view()->horizontalHeader();
    for (int column : {int(GroupColumn), int(IpColumn)}) {
        const int width = header->sectionSize(column);
        view()->resizeColumnToContents(column);
        header->resizeSection(column, std::max(width, header->sectionSize(column)));
    }
}

QList<SnmpReader::HostInfoResult> DeviceTableWidget::deviceInfo() const
{
    QList<SnmpReader::HostInfoResult> infos;
    for (const Device& device : m_devices)
        infos.append(device.info);
    return infos;
}

void DeviceTableWidget::insertRow(int row, const VelmoraFile::Entry& entry, const SnmpReader::HostInfoResult& info)
{
    Device device{storedInfo(info), false};
    // A device never queried is still known by its address.
    if (device.info.ip.isEmpty())
        device.info.ip = entry.ipAddress;
    m_entries.insert(row, entry);
    m_devices.insert(row, device);
    QList<QStandardItem*> items;
    for (int column = 0; column < ColumnCount; ++column)
        items.append(new QStandardItem);
    model()->insertRow(row, items);
    showRow(row);
}

void DeviceTableWidget::showRow(int row)
{
    const VelmoraFile::Entry& entry = m_entries.at(row);
    const Device& device = m_devices.at(row);
    const QString texts[ColumnCount] = {entry.group, device.info.sysName, entry.ipAddress,
                                        versionText(entry.credentials.version), entry.description};
    // The description, and why the information may be incomplete when its query stopped short.
    QStringList tips;
    for (const QString& tip : {device.info.sysDescr, device.info.stopNote}) {
        if (!tip.isEmpty())
            tips << tip.toHtmlEscaped();
    }
    const QString toolTip =
        tips.isEmpty() ? QString() : QStringLiteral("<qt>%1</qt>").arg(tips.join(QLatin1String("<br>")));
    const QVariant background = device.duplicate ? QVariant(QBrush(QColor(QStringLiteral("#FFC0CB")))) : QVariant();
    for (int column = 0; column < ColumnCount; ++column) {
        QStandardItem* item = model()->item(row, column);
        item->setText(texts[column]);
        item->setData(column == IpColumn ? QVariant(ipAddressSortKey(entry.ipAddress)) : QVariant(texts[column]),
                      DeviceFilterProxyModel::SortRole);
        item->setData(background, Qt::BackgroundRole);
        item->setToolTip(toolTip);
    }
    model()->item(row, GroupColumn)->setData(device.duplicate, DeviceFilterProxyModel::DuplicateRole);
}

QVector<bool> DeviceTableWidget::duplicateMarks(const QList<SnmpReader::HostInfoResult>& devices)
{
    // Two devices can only be the same when they share the address or the name, so only rows
    // of one address or of one name are compared, and a nameless device only when it has MAC
    // addresses; a list of thousands of devices then costs about one pass.
    const int count = devices.size();
    QVector<bool> marks(count, false);
    QHash<QString, QVector<int>> byAddress;
    QHash<QString, QVector<int>> byName;
    QVector<QSet<QString>> macs(count);
    for (int row = 0; row < count; ++row) {
        const SnmpReader::HostInfoResult& info = devices.at(row);
        macs[row] = SnmpReader::macAddresses(info);
        byAddress[info.ip].append(row);
        if (!info.sysName.isEmpty() || !macs.at(row).isEmpty())
            byName[info.sysName].append(row);
    }
    for (const QVector<int>& rows : qAsConst(byAddress)) {
        if (rows.size() > 1) {
            for (int row : rows)
                marks[row] = true;
        }
    }
    for (const QVector<int>& rows : qAsConst(byName)) {
        for (int i = 0; i < rows.size(); ++i) {
            for (int j = i + 1; j < rows.size(); ++j) {
                const int a = rows.at(i);
                const int b = rows.at(j);
                if ((!marks.at(a) || !marks.at(b)) &&
                    SnmpReader::isSameDevice(devices.at(a), macs.at(a), devices.at(b)))
                    marks[a] = marks[b] = true;
            }
        }
    }
    return marks;
}

void DeviceTableWidget::markDuplicates()
{
    const QVector<bool> marks = duplicateMarks(deviceInfo());
    for (int row = 0; row < marks.size(); ++row) {
        if (m_devices.at(row).duplicate != marks.at(row)) {
            m_devices[row].duplicate = marks.at(row);
            showRow(row);
        }
    }
}

QList<int> DeviceTableWidget::takeVerifiedInfo(int row, const SnmpReader::HostInfoResult& info)
{
    // Every entry of the same address is the same device.
    QList<int> rows;
    for (int other = 0; other < m_entries.size(); ++other) {
        if (other == row || m_entries.at(other).ipAddress == m_entries.at(row).ipAddress) {
            m_devices[other].info = storedInfo(info);
            showRow(other);
            rows.append(other);
        }
    }
    return rows;
}

void DeviceTableWidget::finishEdit(int row, const QList<int>& infoChanged)
{
    markDuplicates();
    selectRows({row});
    updateActions();
    emit DataChanged();
    for (int changed : infoChanged)
        emit DeviceInfoChanged(changed);
}

QStringList DeviceTableWidget::groups() const
{
    QStringList groups;
    for (const VelmoraFile::Entry& entry : m_entries)
        groups.append(entry.group);
    groups.removeDuplicates();
    groups.sort(Qt::CaseInsensitive);
    return groups;
}

QList<DeviceEditDialog::KnownDevice> DeviceTableWidget::knownDevices(int exceptRow) const
{
    QList<DeviceEditDialog::KnownDevice> devices;
    for (int row = 0; row < m_entries.size(); ++row) {
        if (row != exceptRow)
            devices.append(DeviceEditDialog::knownDevice(m_entries.at(row).ipAddress, m_devices.at(row).info));
    }
    return devices;
}

void DeviceTableWidget::addRecord()
{
    addDevice(nullptr);
}

void DeviceTableWidget::copyRecord(int row)
{
    const VelmoraFile::Entry entry = m_entries.at(row);
    addDevice(&entry);
}

void DeviceTableWidget::addDevice(const VelmoraFile::Entry* prefill)
{
    const QList<int> selected = selectedRows();
    DeviceEditDialog dialog(DeviceEditDialog::AddDevice, groups(), knownDevices(-1), this);
    if (prefill)
        dialog.setEntry(*prefill);
    else
        dialog.setDefaultGroup(selected.isEmpty() ? QStringLiteral("Default") : m_entries.at(selected.first()).group);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // After the first selected row; else after the last of the same group; else at the end.
    const VelmoraFile::Entry entry = dialog.entry();
    int row = m_entries.size();
    if (!selected.isEmpty()) {
        row = selected.first() + 1;
    } else {
        for (int other = m_entries.size() - 1; other >= 0; --other) {
            if (m_entries.at(other).group == entry.group) {
                row = other + 1;
                break;
            }
        }
    }
    insertRow(row, entry, dialog.deviceInfo());
    finishEdit(row, takeVerifiedInfo(row, dialog.deviceInfo()));
}

void DeviceTableWidget::changeRecords(const QList<int>& rows)
{
    if (rows.size() == 1)
        changeDevice(rows.first());
    else
        changeDevices(rows);
}

void DeviceTableWidget::changeDevice(int row)
{
    DeviceEditDialog dialog(DeviceEditDialog::ChangeDevice, groups(), knownDevices(row), this);
    dialog.setEntry(m_entries.at(row));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_entries[row] = dialog.entry();
    showRow(row);
    finishEdit(row, dialog.hasDeviceInfo() ? takeVerifiedInfo(row, dialog.deviceInfo()) : QList<int>());
}

void DeviceTableWidget::changeDevices(const QList<int>& rows)
{
    QList<VelmoraFile::Entry> selected;
    for (int row : rows)
        selected.append(m_entries.at(row));
    DeviceEditDialog dialog(DeviceEditDialog::ChangeSeveralDevices, groups(), {}, this);
    dialog.setEntries(selected);
    if (dialog.exec() != QDialog::Accepted ||
        !(dialog.groupChanged() || dialog.snmpChanged() || dialog.descriptionChanged()))
        return;

    const VelmoraFile::Entry form = dialog.entry();
    QList<int> changedCredentials;
    for (int row : rows) {
        VelmoraFile::Entry& entry = m_entries[row];
        if (dialog.groupChanged())
            entry.group = form.group;
        if (dialog.snmpChanged() && (entry.credentials != form.credentials || entry.encrypted != form.encrypted)) {
            entry.credentials = form.credentials;
            entry.encrypted = form.encrypted;
            entry.securityText = form.securityText;
            entry.credentialsUnread = false;
            changedCredentials.append(row);
        }
        if (dialog.descriptionChanged())
            entry.description = form.description;
        showRow(row);
    }
    emit DataChanged();
    if (changedCredentials.isEmpty())
        return;

    if (form.credentials.version == 3)
        SnmpUtils::clearUsmUsers();
    m_queriesDone = 0;
    m_queriesTotal = changedCredentials.size();
    for (int row : qAsConst(changedCredentials))
        SnmpReader::instance()->requestHostInfo(
            m_entries.at(row).ipAddress, form.credentials,
            SnmpReader::SystemInfo | SnmpReader::Interfaces | SnmpReader::IpAddresses, m_requestId);
    showQueryProgress();
}

void DeviceTableWidget::onHostResolved(const SnmpReader::HostInfoResult& result, int requestId)
{
    if (requestId != m_requestId || m_queriesTotal == 0)
        return;
    ++m_queriesDone;
    QList<int> changed;
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).ipAddress == result.ip) {
            m_devices[row].info = storedInfo(result);
            showRow(row);
            changed.append(row);
        }
    }
    markDuplicates();
    for (int row : qAsConst(changed))
        emit DeviceInfoChanged(row);
    showQueryProgress();
}

void DeviceTableWidget::showQueryProgress()
{
    if (m_queriesDone >= m_queriesTotal) {
        m_queriesDone = m_queriesTotal = 0;
        hideCover();
    } else if (m_queriesTotal == 1) {
        showCover(tr("Querying device information..."));
    } else {
        showCover(tr("Querying device information (%1/%2)...").arg(m_queriesDone).arg(m_queriesTotal));
    }
}

CrudTableWidget::DeleteQuestion DeviceTableWidget::deleteQuestion(const QList<int>& rows) const
{
    if (rows.size() == 1)
        return {tr("Delete Device"),
                tr("You are about to delete %1 from the configuration.").arg(m_entries.at(rows.first()).ipAddress)};
    return {tr("Delete Devices"), tr("You are about to delete the selected %1 devices.").arg(rows.size())};
}

void DeviceTableWidget::takeRecord(int row)
{
    m_entries.removeAt(row);
    m_devices.removeAt(row);
}

void DeviceTableWidget::moveRecord(int from, int to)
{
    m_entries.move(from, to);
    m_devices.move(from, to);
}

void DeviceTableWidget::recordsRemoved()
{
    markDuplicates();
}
