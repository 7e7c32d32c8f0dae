#pragma once

#include "config/OidEntryFile.h"
#include "config/VelmoraFile.h"
#include "snmp/SnmpReader.h"
#include "ui/widgets/EntryListDialog.h"

#include <QList>
#include <QSet>

class OidTableWidget;
class TreeModel;

// "Monitoring OIDs": every monitored OID in a table beside the details of the selected one,
// to modify (OidSettingsDialog) or delete. It edits a copy of the list; the caller takes
// entries() back when changedFileNames() is not empty: the data files of the entries
// changed or deleted, old names and new.
//
// Child object names: "oidTable" and those of EntryListDialog.
class OidListDialog final : public EntryListDialog
{
    Q_OBJECT

public:
    // The device list and one device-information record per device, row for row; treeModel
    // and settings are not owned and may be null.
    OidListDialog(const QList<VelmoraFile::Entry>& devices, const QList<SnmpReader::HostInfoResult>& deviceInfo,
                  const QList<OidEntry>& entries, const TreeModel* treeModel, AppSettings* settings,
                  QWidget* parent = nullptr);
    ~OidListDialog() override;

    QList<OidEntry> entries() const;
    QSet<QString> changedFileNames() const { return m_changed; }

    OidTableWidget* table() const { return m_table; }

protected:
    int entryCount() const override;
    QString detailsHtml(int row) const override;
    void modify(int row) override;
    void remove(int row) override;

private:
    QList<VelmoraFile::Entry> m_devices;
    QList<SnmpReader::HostInfoResult> m_deviceInfo;
    const TreeModel* m_treeModel;
    QSet<QString> m_changed;
    OidTableWidget* m_table;
};
