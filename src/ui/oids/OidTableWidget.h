#pragma once

#include "config/OidEntryFile.h"
#include "ui/widgets/EntryTableWidget.h"

#include <QList>

class TreeModel;

// The monitored OIDs as a table (address, interface, OID with its MIB name, description,
// alert threshold), one row per entry in list order, sortable and searchable.
class OidTableWidget final : public EntryTableWidget
{
    Q_OBJECT

public:
    enum Column
    {
        AddressColumn,
        InterfaceColumn,
        OidColumn,
        DescriptionColumn,
        ThresholdColumn
    };

    explicit OidTableWidget(QWidget* parent = nullptr);
    ~OidTableWidget() override;
    Q_DISABLE_COPY_MOVE(OidTableWidget)

    // The MIB database the OIDs' names come from (not owned; may be null); before setEntries.
    void setTreeModel(const TreeModel* model) { m_treeModel = model; }
    void setEntries(const QList<OidEntry>& entries);
    QList<OidEntry> entries() const { return m_entries; }
    void replaceEntry(int row, const OidEntry& entry);
    void removeEntry(int row);
    // The MIB node name of the entry's OID (without its table index); empty when unknown.
    QString nodeName(const OidEntry& entry) const;
    // The OID followed by its name in parentheses when the MIB knows it.
    QString oidText(const OidEntry& entry) const;
    // The entry in one line: address, interface, OID (name), alert threshold.
    QString entryText(const OidEntry& entry) const;

protected:
    void showRow(int row) override;
    void takeRecord(int row) override { m_entries.removeAt(row); }
    void moveRecord(int from, int to) override { m_entries.move(from, to); }

private:
    const TreeModel* m_treeModel = nullptr;
    QList<OidEntry> m_entries;
};
