#pragma once

#include "config/OidEntryFile.h"
#include "config/VelmoraFile.h"
#include "snmp/SnmpReader.h"

#include <QDialog>
#include <QList>
#include <QSet>

class AppSettings;
class OidTableWidget;
class QAction;
class QSplitter;
class QTextBrowser;
class TreeModel;

// "Monitoring OIDs": every monitored OID in a table beside the details of the selected one,
// to modify (OidSettingsDialog) or delete. It edits a copy of the list; the caller takes
// entries() back when changedFileNames() is not empty: the data files of the entries
// changed or deleted, old names and new.
//
// Child object names: "oidTable", "details", "splitter", "closeButton".
class OidListDialog final : public QDialog
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
    QTextBrowser* details() const { return m_details; }
    QAction* modifyAction() const { return m_modify; }
    QAction* deleteAction() const { return m_delete; }

public slots:
    void onFinished();
    void onListWidgetContextMenu(const QPoint& position);
    void onOidSelectionChanged();
    void onModifyOid();
    void onDeleteOid();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void modify(int row);
    void remove(int row);
    QString detailsHtml(const OidEntry& entry) const;

    QList<VelmoraFile::Entry> m_devices;
    QList<SnmpReader::HostInfoResult> m_deviceInfo;
    const TreeModel* m_treeModel;
    AppSettings* m_settings;
    QSet<QString> m_changed;
    bool m_firstShow = true;

    OidTableWidget* m_table;
    QTextBrowser* m_details;
    QSplitter* m_splitter;
    QAction* m_modify;
    QAction* m_delete;
};
