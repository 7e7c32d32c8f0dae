#pragma once

#include "config/TrapAlertFile.h"
#include "mib/Oid.h"
#include "ui/widgets/EntryTableWidget.h"

#include <QList>

class TreeModel;

// The trap alert rules as a table (source, trap OID with its MIB name, value, e-mail,
// description), one row per rule in list order, sortable and searchable.
class TrapTableWidget final : public EntryTableWidget
{
    Q_OBJECT

public:
    using Entry = TrapAlertFile::Entry;

    // treeModel: where the OIDs' names come from (not owned; may be null).
    explicit TrapTableWidget(const TreeModel* treeModel, QWidget* parent = nullptr);
    ~TrapTableWidget() override;
    Q_DISABLE_COPY_MOVE(TrapTableWidget)

    void setEntries(const QList<Entry>& entries);
    QList<Entry> entries() const { return m_entries; }
    void replaceEntry(int row, const Entry& entry);
    void removeEntry(int row) { removeRow(row); }

    // The MIB node of the rule's trap OID; null for any OID or one the MIB does not know.
    OidPtr node(const Entry& entry) const;
    // "Any OID", the OID, or the node's name followed by the OID in parentheses.
    QString oidText(const Entry& entry) const;
    // The rule in one line: source - trap OID - value.
    QString entryText(const Entry& entry) const;

protected:
    void showRow(int row) override;
    void takeRecord(int row) override { m_entries.removeAt(row); }
    void moveRecord(int from, int to) override { m_entries.move(from, to); }

private:
    const TreeModel* m_treeModel;
    QList<Entry> m_entries;
};
