#pragma once

#include "config/OidEntryFile.h"
#include "ui/devices/CrudTableWidget.h"

#include <QList>

class QLabel;
class TreeModel;

// The monitored OIDs as a table (address, interface, OID with its MIB name, description,
// alert threshold), one row per entry in list order, sortable and searchable. Entries are
// changed and deleted by the owner (modifyRequested, deleteRequested: Enter or a double-click,
// the Delete key); they are added elsewhere, so the table has no buttons of its own. While it
// is empty, the placeholder text shows in the middle of it.
class OidTableWidget final : public CrudTableWidget
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
    // The model row of the selected entry, or -1.
    int currentRow() const;

    void setPlaceholderText(const QString& text);
    QLabel* placeholder() const { return m_placeholder; }

    // The MIB node name of the entry's OID (without its table index); empty when unknown.
    QString nodeName(const OidEntry& entry) const;
    // The OID followed by its name in parentheses when the MIB knows it.
    QString oidText(const OidEntry& entry) const;
    // The entry in one line: address, interface, OID (name), alert threshold.
    QString entryText(const OidEntry& entry) const;

signals:
    void modifyRequested(int row);
    void deleteRequested(int row);

protected:
    void addRecord() override {}
    void copyRecord(int) override {}
    void changeRecords(const QList<int>& rows) override;
    DeleteQuestion deleteQuestion(const QList<int>&) const override { return {}; }
    void takeRecord(int row) override { m_entries.removeAt(row); }
    void moveRecord(int from, int to) override { m_entries.move(from, to); }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRow(int row);
    void updatePlaceholder();

    const TreeModel* m_treeModel = nullptr;
    QList<OidEntry> m_entries;
    QLabel* m_placeholder;
};
