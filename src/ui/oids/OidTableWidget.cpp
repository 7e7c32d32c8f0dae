#include "ui/oids/OidTableWidget.h"

#include "mib/Oid.h"
#include "mib/TreeModel.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

namespace {

constexpr int ColumnCount = 5;

} // namespace

OidTableWidget::OidTableWidget(QWidget* parent)
    : EntryTableWidget({tr("Address"), tr("Int #"), tr("OID (name)"), tr("Description"), tr("Alert threshold")}, parent)
{
    setColumnSamples({QStringLiteral("255.255.255.255:16100 "), QStringLiteral(" Int # "),
                      QStringLiteral("1.3.6.1.2.1.2.2.1.10.12 (ifInOctets) "),
                      QStringLiteral("Uplink traffic in, port 12 ")});
}

OidTableWidget::~OidTableWidget() = default;

void OidTableWidget::setEntries(const QList<OidEntry>& entries)
{
    m_entries = entries;
    resetRows(entries.size());
}

void OidTableWidget::replaceEntry(int row, const OidEntry& entry)
{
    m_entries[row] = entry;
    showRow(row);
}

void OidTableWidget::removeEntry(int row)
{
    removeRow(row);
}

QString OidTableWidget::nodeName(const OidEntry& entry) const
{
    const OidPtr node = m_treeModel ? m_treeModel->findByPath(OidPath::parentPath(entry.oid)) : OidPtr();
    return node ? node->name : QString();
}

QString OidTableWidget::entryText(const OidEntry& entry) const
{
    QString text = entry.ipAddress;
    if (!entry.interfaceNumber.isEmpty())
        text += QLatin1String(" Int#") + entry.interfaceNumber;
    text += QLatin1String(" - ") + oidText(entry);
    if (!entry.alertThreshold.isEmpty())
        text += QLatin1Char(' ') + tr("Alert threshold:") + QLatin1Char(' ') + entry.alertThreshold;
    return text;
}

QString OidTableWidget::oidText(const OidEntry& entry) const
{
    const QString name = nodeName(entry);
    return name.isEmpty() ? entry.oid : tr("%1 (%2)").arg(entry.oid, name);
}

void OidTableWidget::showRow(int row)
{
    const OidEntry& entry = m_entries.at(row);
    const QString texts[ColumnCount] = {entry.ipAddress, entry.interfaceNumber, oidText(entry), entry.graphDescription,
                                        entry.alertThreshold};
    for (int column = 0; column < ColumnCount; ++column)
        model()->item(row, column)->setText(texts[column]);
}
