#pragma once

#include "snmp/SnmpReader.h"
#include "config/VelmoraFile.h"

#include <QDialog>
#include <QList>

class DeviceTableWidget;

// The device list editor window: the device table with its buttons, search and duplicate
// filter, and a Close button. It edits copies of the lists it is given; the caller takes
// them back, and saves the file, when isModified() says the user changed something.
class DevicesDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit DevicesDialog(QWidget* parent = nullptr);

    // The device list and one device-information record per entry, row for row.
    void setData(const QList<VelmoraFile::Entry>& entries, const QList<SnmpReader::HostInfoResult>& deviceInfo);

    bool isModified() const { return m_modified; }
    QList<VelmoraFile::Entry> entries() const;
    QList<SnmpReader::HostInfoResult> deviceInfo() const;

    DeviceTableWidget* tableWidget() const { return m_table; }

private:
    DeviceTableWidget* m_table = nullptr;
    bool m_modified = false;
};
