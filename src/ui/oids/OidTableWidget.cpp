#include "ui/oids/OidTableWidget.h"

#include "mib/Oid.h"
#include "mib/TreeModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

namespace {

constexpr int ColumnCount = 5;

} // namespace

namespace {

// Widths for typical texts: measuring 10,000 rows would take longer than filling them.
void sizeColumns(QTableView* view)
{
    const QFontMetrics metrics = view->fontMetrics();
    const int widths[] = {metrics.horizontalAdvance(QStringLiteral("255.255.255.255:16100 ")),
                          metrics.horizontalAdvance(QStringLiteral(" Int # ")),
                          metrics.horizontalAdvance(QStringLiteral("1.3.6.1.2.1.2.2.1.10.12 (ifInOctets) ")),
                          metrics.horizontalAdvance(QStringLiteral("Uplink traffic in, port 12 "))};
    for (int column = 0; column < 4; ++column)
        view->horizontalHeader()->resizeSection(column, widths[column]);
}

} // namespace

OidTableWidget::OidTableWidget(QWidget* parent)
    : CrudTableWidget({tr("Address"), tr("Int #"), tr("OID (name)"), tr("Description"), tr("Alert threshold")},
                      new QSortFilterProxyModel, parent)
    , m_placeholder(new QLabel(view()->viewport()))
{
    // Entries come from the main window; only changing and deleting them is the table's.
    for (QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        button->hide();
    for (QAction* action : view()->actions())
        view()->removeAction(action);
    view()->setSelectionMode(QAbstractItemView::SingleSelection);
    view()->setContextMenuPolicy(Qt::CustomContextMenu);
    view()->setWordWrap(false);
    view()->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view()->viewport()->installEventFilter(this);

    m_placeholder->setObjectName(QStringLiteral("placeholder"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->setEnabled(false);
    updatePlaceholder();
}

OidTableWidget::~OidTableWidget() = default;

void OidTableWidget::setEntries(const QList<OidEntry>& entries)
{
    // Filled apart from the filter: one reset rather than a change per cell.
    proxyModel()->setSourceModel(nullptr);
    model()->removeRows(0, model()->rowCount());
    m_entries = entries;
    model()->setRowCount(entries.size());
    for (int row = 0; row < entries.size(); ++row) {
        for (int column = 0; column < ColumnCount; ++column)
            model()->setItem(row, column, new QStandardItem);
        showRow(row);
    }
    proxyModel()->setSourceModel(model());
    sizeColumns(view());
    updateActions();
    updatePlaceholder();
}

void OidTableWidget::replaceEntry(int row, const OidEntry& entry)
{
    m_entries[row] = entry;
    showRow(row);
}

void OidTableWidget::removeEntry(int row)
{
    takeRecord(row);
    model()->removeRow(row);
    updatePlaceholder();
}

int OidTableWidget::currentRow() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void OidTableWidget::setPlaceholderText(const QString& text)
{
    m_placeholder->setText(text);
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

void OidTableWidget::updatePlaceholder()
{
    m_placeholder->setVisible(model()->rowCount() == 0);
}

void OidTableWidget::changeRecords(const QList<int>& rows)
{
    if (!rows.isEmpty())
        emit modifyRequested(rows.first());
}

bool OidTableWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view()->viewport() && event->type() == QEvent::Resize)
        m_placeholder->setGeometry(view()->viewport()->rect());
    if (watched == view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (currentRow() != -1)
            emit deleteRequested(currentRow());
        return true;
    }
    return CrudTableWidget::eventFilter(watched, event);
}
