#pragma once

#include "ui/devices/CrudTableWidget.h"
#include "ui/devices/DeviceEditDialog.h"
#include "snmp/SnmpReader.h"
#include "config/VelmoraFile.h"

#include <QList>
#include <QStringList>
#include <QVector>

class DeviceFilterProxyModel;
class QCheckBox;

// The monitoring service's device list as a table: group, device name, address, SNMP version
// and description, one row per entry in file order. Beside each entry it keeps the device's
// information from its last SNMP query, from which rows that are the same device are marked
// as duplicates. New and changed devices are checked over SNMP by DeviceEditDialog; devices
// whose credentials change together are queried again under the table's own request id.
class DeviceTableWidget final : public CrudTableWidget
{
    Q_OBJECT

public:
    enum Column
    {
        GroupColumn,
        NameColumn,
        IpColumn,
        SnmpColumn,
        DescriptionColumn
    };

    explicit DeviceTableWidget(QWidget* parent = nullptr);
    ~DeviceTableWidget() override;
    Q_DISABLE_COPY_MOVE(DeviceTableWidget)

    // The entries and one device-information record per entry, row for row.
    void setData(const QList<VelmoraFile::Entry>& entries, const QList<SnmpReader::HostInfoResult>& deviceInfo);
    QList<VelmoraFile::Entry> entries() const { return m_entries; }
    QList<SnmpReader::HostInfoResult> deviceInfo() const;
    bool isDuplicate(int row) const { return m_devices.value(row).duplicate; }

    QCheckBox* onlyDuplicatesBox() const { return m_onlyDuplicates; }

    // Which of the devices are the same as another one of the list (SnmpReader::isSameDevice).
    static QVector<bool> duplicateMarks(const QList<SnmpReader::HostInfoResult>& devices);

signals:
    void DeviceInfoChanged(int row);

protected:
    void addRecord() override;
    void copyRecord(int row) override;
    void changeRecords(const QList<int>& rows) override;
    DeleteQuestion deleteQuestion(const QList<int>& rows) const override;
    void takeRecord(int row) override;
    void moveRecord(int from, int to) override;
    void recordsRemoved() override;

private:
    struct Device
    {
        SnmpReader::HostInfoResult info; // without usedParams and paramsChanged
        bool duplicate = false;
    };

    void insertRow(int row, const VelmoraFile::Entry& entry, const SnmpReader::HostInfoResult& info);
    void showRow(int row);
    void markDuplicates();
    // row and every other row of its address take info; answers the rows changed.
    QList<int> takeVerifiedInfo(int row, const SnmpReader::HostInfoResult& info);
    void finishEdit(int row, const QList<int>& infoChanged);
    QStringList groups() const;
    QList<DeviceEditDialog::KnownDevice> knownDevices(int exceptRow) const;
    void addDevice(const VelmoraFile::Entry* prefill);
    void changeDevice(int row);
    void changeDevices(const QList<int>& rows);
    void onHostResolved(const SnmpReader::HostInfoResult& result, int requestId);
    void showQueryProgress();

    DeviceFilterProxyModel* m_proxy;
    QCheckBox* m_onlyDuplicates;
    const int m_requestId;
    QList<VelmoraFile::Entry> m_entries;
    QList<Device> m_devices;
    int m_queriesDone = 0;
    int m_queriesTotal = 0;
};
