#pragma once

#include "snmp/SnmpAsyncReader.h"
#include "snmp/SnmpOidUtils.h"

#include <QString>
#include <QVector>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TreeModel;

// Chooses the row (instance) of a table column to monitor: lists the rows the device has,
// with their current values, or takes an instance OID typed by hand. Only single-number
// indexes are listed. The listing is a walk of the background runner (a scalar is one get):
// the table fills as rows arrive, a line counts them, and Cancel ends the listing.
//
// Child object names: "titleLabel", "typeLabel", "entryNameLabel", "entryIndexLabel",
// "entryEdit", "editButton", "resultsTable", "progressLabel", "cancelButton".
class OidIndexSelectionWidget final : public QWidget
{
    Q_OBJECT

public:
    // Longest listing: a column that never ends is cut off after this many rows.
    static constexpr int kMaxRows = 100000;

    explicit OidIndexSelectionWidget(QWidget* parent = nullptr);
    ~OidIndexSelectionWidget() override;

    void setDevice(const SnmpOidUtils::Device& device);
    SnmpOidUtils::Device device() const { return m_device; }
    // The MIB database the column's name is looked up in (not owned; may be null). Call it
    // before setOid, or call setOid again afterwards.
    void setTreeModel(const TreeModel* model);

    // oidText: the column OID, or with hasIndex an instance OID (column plus one index
    // sub-identifier; index 0 is a scalar). typeCode: the Oid::Type shown as "Type:".
    // Clears the table and the previous selection.
    void setOid(const QString& oidText, bool hasIndex, int typeCode);

    QString columnOid() const { return m_columnOid; }
    qint32 requestedIndex() const { return m_requestedIndex; }
    // Manual mode: the last sub-identifier of the typed OID when it has at least two, else
    // -1. Otherwise the selected row's index, or the requested index when none is selected.
    qint32 selectedIndex() const;
    // Manual mode: the typed text. Otherwise column OID + "." + selectedIndex(); empty when
    // there is no index.
    QString selectedOid() const;
    bool isManualMode() const;

    QTableWidget* resultsTable() const { return m_table; }
    QLineEdit* entryEdit() const { return m_entryEdit; }
    QPushButton* editButton() const { return m_editButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* progressLabel() const { return m_progressLabel; }

    // A listing is running.
    bool isListing() const { return m_listing; }

signals:
    void indexChanged();
    // The listing ended: read to its end, cancelled, or replaced by a new one.
    void listingFinished();

public slots:
    // Lists the rows again; the listing runs in the background and ends any earlier one.
    void onGetIndices();
    // Ends the running listing; the rows read so far stay.
    void onCancelListing();
    void onResultSelectionChanged();
    void onEditButtonToggled(bool checked);

private:
    struct Row
    {
        qint32 index = 0;
        QString value;
    };

    void onScalarAnswer(const QList<SnmpOidUtils::OidValue>& results);
    void onListingUpdate(const SnmpAsyncReader::WalkUpdate& update);
    // Adds the rows to the table, selecting the wanted one when it comes.
    void appendRows(const QVector<Row>& rows);
    void endListing(const QString& status);
    void updateTitle();
    void showEntry(qint32 index);

    SnmpOidUtils::Device m_device;
    const TreeModel* m_treeModel = nullptr;
    QString m_columnOid;
    QString m_columnName;
    qint32 m_requestedIndex = -1;
    qint32 m_selectedIndex = -1;
    bool m_listing = false;
    bool m_rowSelected = false; // the listing has selected a row of its own accord
    quint64 m_walkId = 0;
    quint64 m_serial = 0; // of the scalar get: only the latest one's answer counts

    QLabel* m_titleLabel;
    QLabel* m_typeLabel;
    QLabel* m_entryNameLabel;
    QLabel* m_entryIndexLabel;
    QLineEdit* m_entryEdit;
    QPushButton* m_editButton;
    QTableWidget* m_table;
    QLabel* m_progressLabel;
    QPushButton* m_cancelButton;
};
