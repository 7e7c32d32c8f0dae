#include "ui/traps/TrapTableWidget.h"

#include "mib/TreeModel.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

TrapTableWidget::TrapTableWidget(const TreeModel* treeModel, QWidget* parent)
    : EntryTableWidget({tr("Source"), tr("Trap OID (name)"), tr("Value"), tr("E-mail"), tr("Description")}, parent)
    , m_treeModel(treeModel)
{
    setColumnSamples({QStringLiteral("255.255.255.255:16100 "), QStringLiteral("linkDown (1.3.6.1.6.3.1.1.5.3) "),
                      QStringLiteral(" Any value "), QStringLiteral("network-operations@example.com ")});
}

TrapTableWidget::~TrapTableWidget() = default;

void TrapTableWidget::setEntries(const QList<Entry>& entries)
{
    m_entries = entries;
    resetRows(entries.size());
}

void TrapTableWidget::replaceEntry(int row, const Entry& entry)
{
    m_entries[row] = entry;
    showRow(row);
}

OidPtr TrapTableWidget::node(const Entry& entry) const
{
    return m_treeModel && !entry.oid.isEmpty() ? m_treeModel->findByPath(entry.oidText()) : OidPtr();
}

QString TrapTableWidget::oidText(const Entry& entry) const
{
    if (entry.oid.isEmpty())
        return tr("Any OID");
    const OidPtr found = node(entry);
    return found ? found->name + tr(" (%1)").arg(entry.oidText()) : entry.oidText();
}

QString TrapTableWidget::entryText(const Entry& entry) const
{
    return (entry.ip.isEmpty() ? tr("Any IP") : entry.ip) + QLatin1String(" - ") + oidText(entry) +
           QLatin1String(" - ") + (entry.value.isEmpty() ? tr("Any value") : entry.value);
}

void TrapTableWidget::showRow(int row)
{
    const Entry& entry = m_entries.at(row);
    const QString texts[] = {entry.ip.isEmpty() ? tr("Any IP") : entry.ip, oidText(entry),
                             entry.value.isEmpty() ? tr("Any value") : entry.value, entry.email, entry.description};
    for (int column = 0; column < 5; ++column)
        model()->item(row, column)->setText(texts[column]);
}
