#include "ui/monitor/OidIndexSelectionWidget.h"

#include "platform/Icons.h"
#include "mib/Oid.h"
#include "mib/TreeModel.h"
#include "snmp/SubtreeWalk.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A row index: a non-empty unsigned decimal number without sign or dots that fits in qint32.
bool parseIndex(const QString& text, qint32* index)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return false;
    }
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok)
        return false;
    *index = number;
    return true;
}

// What the user reads as a row's value: the converted value, or net-snmp's printable form for
// a value that converts to nothing (Null, Opaque and the like). An empty string stays empty.
QString displayText(const QString& converted, const SnmpOidUtils::OidValue& value)
{
    if (value.isException())
        return value.text;
    if (converted.isEmpty() && value.type != Oid::OctetString && value.type != Oid::BitString)
        return value.text;
    return converted;
}

// Listings of the dialogs go with the window's own queries, before the chart's polls.
constexpr int ListingPriority = 2;

} // namespace

OidIndexSelectionWidget::OidIndexSelectionWidget(QWidget* parent)
    : QWidget(parent)
    , m_titleLabel(new QLabel(this))
    , m_typeLabel(new QLabel(this))
    , m_entryNameLabel(new QLabel(this))
    , m_entryIndexLabel(new QLabel(this))
    , m_entryEdit(new QLineEdit(this))
    , m_editButton(new QPushButton(this))
    , m_table(new QTableWidget(this))
    , m_progressLabel(new QLabel(this))
    , m_cancelButton(new QPushButton(tr("Cancel"), this))
{
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_typeLabel->setObjectName(QStringLiteral("typeLabel"));
    m_entryNameLabel->setObjectName(QStringLiteral("entryNameLabel"));
    m_entryIndexLabel->setObjectName(QStringLiteral("entryIndexLabel"));
    m_entryEdit->setObjectName(QStringLiteral("entryEdit"));
    m_editButton->setObjectName(QStringLiteral("editButton"));
    m_table->setObjectName(QStringLiteral("resultsTable"));
    m_progressLabel->setObjectName(QStringLiteral("progressLabel"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    m_cancelButton->hide();
    m_progressLabel->hide();

    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    m_titleLabel->hide();
    m_titleLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_entryNameLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_entryIndexLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The edit set's 40-pixel image is ":/images/edit-40.png"; loadIcon also registers the
    // resources, which a static link would otherwise leave out.
    m_editButton->setIcon(loadIcon(QStringLiteral("edit")));
    m_editButton->setToolTip(tr("Set OID manually"));
    m_editButton->setCheckable(true);
    m_editButton->setAutoDefault(false);
    m_editButton->setDefault(false);

    m_table->setColumnCount(2);
    m_table->setHorizontalHeaderLabels({tr("Index"), tr("Value")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSortingEnabled(false);
    m_table->setWordWrap(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->verticalHeader()->minimumSectionSize());

    // The labels and the line edit take turns: the labels in table mode, the edit in manual mode.
    auto* entryLabels = new QWidget(this);
    entryLabels->setObjectName(QStringLiteral("entryLabels"));
    auto* labelsLayout = new QHBoxLayout(entryLabels);
    labelsLayout->setContentsMargins(0, 0, 0, 0);
    labelsLayout->setSpacing(0);
    labelsLayout->addWidget(m_entryNameLabel);
    labelsLayout->addWidget(m_entryIndexLabel);
    labelsLayout->addStretch(1);
    m_entryEdit->hide();

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(entryLabels, 1);
    entryRow->addWidget(m_entryEdit, 1);
    entryRow->addWidget(m_editButton);

    auto* form = new QFormLayout;
    form->addRow(tr("Type:"), m_typeLabel);
    form->addRow(tr("Entry:"), entryRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_titleLabel);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressLabel, 1);
    progressRow->addWidget(m_cancelButton);
    layout->addLayout(progressRow);

    m_entryNameLabel->setText(tr("Not selected"));

    connect(m_table, &QTableWidget::itemSelectionChanged, this, &OidIndexSelectionWidget::onResultSelectionChanged);
    connect(m_editButton, &QPushButton::toggled, this, &OidIndexSelectionWidget::onEditButtonToggled);
    connect(m_entryEdit, &QLineEdit::textChanged, this, &OidIndexSelectionWidget::indexChanged);
    connect(m_cancelButton, &QPushButton::clicked, this, &OidIndexSelectionWidget::onCancelListing);
}

OidIndexSelectionWidget::~OidIndexSelectionWidget()
{
    // Nobody will see the rest of the listing.
    if (m_walkId != 0)
        SnmpAsyncReader::instance()->cancel(m_walkId);
}

void OidIndexSelectionWidget::setDevice(const SnmpOidUtils::Device& device)
{
    m_device = device;
}

void OidIndexSelectionWidget::setTreeModel(const TreeModel* model)
{
    m_treeModel = model;
    updateTitle();
}

void OidIndexSelectionWidget::setOid(const QString& oidText, bool hasIndex, int typeCode)
{
    m_requestedIndex = -1;
    m_selectedIndex = -1;
    QString column = oidText.trimmed();
    if (hasIndex) {
        QString parent;
        qint32 last = -1;
        if (OidPath::split(column, &parent, &last) && last >= 0) {
            column = parent;
            m_requestedIndex = last;
        }
    } else {
        const QVector<qint32> numbers = OidPath::parse(column);
        if (!numbers.isEmpty())
            column = OidPath::join(numbers);
    }
    m_columnOid = column;
    updateTitle();
    m_typeLabel->setText(Oid::typeName(typeCode));
    {
        const QSignalBlocker blocker(m_table);
        m_table->clearSelection();
        m_table->setRowCount(0);
    }
    showEntry(m_requestedIndex);
    m_entryEdit->setText(m_requestedIndex >= 0 ? m_columnOid + QStringLiteral(".%1").arg(m_requestedIndex) : QString());
    emit indexChanged();
}

bool OidIndexSelectionWidget::isManualMode() const
{
    return m_editButton->isChecked();
}

qint32 OidIndexSelectionWidget::selectedIndex() const
{
    if (isManualMode()) {
        qint32 last = -1;
        return OidPath::split(m_entryEdit->text(), nullptr, &last) && last >= 0 ? last : -1;
    }
    const QModelIndexList selected = m_table->selectionModel()->selectedRows(0);
    if (!selected.isEmpty()) {
        const QTableWidgetItem* item = m_table->item(selected.first().row(), 0);
        bool ok = false;
        const int index = item ? item->text().toInt(&ok, 10) : -1;
        if (ok)
            return index;
    }
    return m_requestedIndex;
}

QString OidIndexSelectionWidget::selectedOid() const
{
    if (isManualMode())
        return m_entryEdit->text().trimmed();
    const qint32 index = selectedIndex();
    return index < 0 ? QString() : m_columnOid + QStringLiteral(".%1").arg(index);
}

void OidIndexSelectionWidget::onGetIndices()
{
    if (m_listing) {
        // The new listing replaces the running one.
        onCancelListing();
    }
    {
        const QSignalBlocker blocker(m_table);
        m_table->clearSelection();
        m_table->setRowCount(0);
    }
    m_listing = true;
    m_rowSelected = false;
    m_progressLabel->setText(tr("Reading rows..."));
    m_progressLabel->show();
    m_cancelButton->show();
    SnmpAsyncReader* reader = SnmpAsyncReader::instance();
    if (m_requestedIndex == 0) {
        const quint64 serial = ++m_serial;
        reader->get(
            m_device, m_columnOid + QStringLiteral(".0"), ListingPriority,
            [this, serial](const QString&, const QString&, const QList<SnmpOidUtils::OidValue>& results) {
                if (serial == m_serial && m_listing)
                    onScalarAnswer(results);
            },
            this);
        return;
    }
    if (m_columnOid.isEmpty()) {
        endListing(QString());
        return;
    }
    SnmpAsyncReader::WalkOptions options;
    options.kind = m_device.params.version == 1 ? SnmpAsyncReader::GetNext : SnmpAsyncReader::GetBulk;
    options.maxRows = kMaxRows;
    m_walkId = reader->walk(
        m_device, m_columnOid, options, ListingPriority,
        [this](const SnmpAsyncReader::WalkUpdate& update) { onListingUpdate(update); }, this);
}

void OidIndexSelectionWidget::onCancelListing()
{
    if (!m_listing)
        return;
    ++m_serial;
    if (m_walkId != 0)
        SnmpAsyncReader::instance()->cancel(m_walkId);
    m_walkId = 0;
    endListing(tr("Cancelled after %n row(s)", nullptr, m_table->rowCount()));
}

void OidIndexSelectionWidget::onScalarAnswer(const QList<SnmpOidUtils::OidValue>& results)
{
    Row row;
    row.index = 0;
    if (!results.isEmpty())
        row.value = displayText(SnmpOidUtils::valueText(results.first().value), results.first());
    appendRows({row});
    endListing(QString());
}

// The listing ends where the walk ends (no answer, an exception value, an answer out of
// order or beyond the column), at a row whose index is not one plain number, or after
// kMaxRows rows (or the runner's bounds); a device that stopped answering is named.
void OidIndexSelectionWidget::onListingUpdate(const SnmpAsyncReader::WalkUpdate& update)
{
    if (!m_listing)
        return;
    QVector<Row> rows;
    rows.reserve(update.rows.size());
    bool plainIndexes = true;
    for (const SnmpOidUtils::OidValue& value : update.rows) {
        Row row;
        if (!parseIndex(value.oid.mid(m_columnOid.size() + 1), &row.index)) {
            plainIndexes = false;
            break;
        }
        row.value = displayText(value.value.toString(), value);
        rows.append(row);
    }
    appendRows(rows);
    const int count = m_table->rowCount();
    if (!plainIndexes) {
        SnmpAsyncReader::instance()->cancel(m_walkId);
        m_walkId = 0;
        endListing(tr("Rows whose index is more than one number are not listed"));
    } else if (update.ended) {
        m_walkId = 0;
        if (update.reason == SubtreeWalk::GoesOn)
            endListing(tr("Only the first %n row(s) are listed", nullptr, count));
        else if (count == 0)
            endListing(tr("No rows"));
        else if (update.reason == SubtreeWalk::NoAnswer) // the rows listed may not be all of them
            endListing(tr("The device stopped answering after %n row(s)", nullptr, count));
        else
            endListing(QString());
    } else {
        m_progressLabel->setText(tr("Reading rows... %1").arg(count));
    }
}

void OidIndexSelectionWidget::appendRows(const QVector<Row>& rows)
{
    if (rows.isEmpty())
        return;
    // One selection update at the end, not one per change made here.
    QSignalBlocker blocker(m_table);
    const int first = m_table->rowCount();
    m_table->setRowCount(first + rows.size());
    int wanted = -1;
    const qint32 target = m_selectedIndex != -1 ? m_selectedIndex : m_requestedIndex;
    for (int i = 0; i < rows.size(); ++i) {
        const Row& row = rows.at(i);
        m_table->setItem(first + i, 0, new QTableWidgetItem(QString::number(row.index)));
        m_table->setItem(first + i, 1, new QTableWidgetItem(row.value));
        if (!m_rowSelected && wanted == -1 && target != -1 && row.index == target)
            wanted = first + i;
    }
    if (!m_rowSelected && target == -1 && first == 0)
        wanted = 0;
    if (wanted == -1)
        return;
    m_rowSelected = true;
    m_table->clearSelection();
    m_table->selectRow(wanted);
    m_table->scrollToItem(m_table->item(wanted, 0));
    blocker.unblock();
    onResultSelectionChanged();
}

void OidIndexSelectionWidget::endListing(const QString& status)
{
    m_listing = false;
    m_cancelButton->hide();
    m_progressLabel->setText(status);
    m_progressLabel->setVisible(!status.isEmpty());
    onResultSelectionChanged();
    emit listingFinished();
}

void OidIndexSelectionWidget::onResultSelectionChanged()
{
    qint32 index = -1;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows(0);
    if (!selected.isEmpty()) {
        const QTableWidgetItem* item = m_table->item(selected.first().row(), 0);
        bool ok = false;
        const int number = item ? item->text().toInt(&ok, 10) : -1;
        if (ok && number >= 0)
            index = number;
    }
    if (index != -1)
        m_selectedIndex = index;
    showEntry(index);
    // Manual mode keeps what the user typed: it is the result there.
    if (!isManualMode())
        m_entryEdit->setText(index == -1 ? QString() : m_columnOid + QStringLiteral(".%1").arg(index));
    emit indexChanged();
}

void OidIndexSelectionWidget::onEditButtonToggled(bool checked)
{
    QWidget* labels = m_entryNameLabel->parentWidget();
    labels->setVisible(!checked);
    m_entryEdit->setVisible(checked);
    if (checked)
        m_entryEdit->setFocus();
    emit indexChanged();
}

void OidIndexSelectionWidget::updateTitle()
{
    const OidPtr node = m_treeModel && !m_columnOid.isEmpty() ? m_treeModel->findByPath(m_columnOid) : OidPtr();
    m_columnName = node ? node->name : QString();
    m_titleLabel->setText(m_columnName);
    m_titleLabel->setHidden(!node);
    // The entry labels name the column too.
    if (m_entryIndexLabel->text().startsWith(QLatin1Char('.')))
        m_entryNameLabel->setText(m_columnName.isEmpty() ? m_columnOid : m_columnName);
}

// The entry labels for index (-1: none).
void OidIndexSelectionWidget::showEntry(qint32 index)
{
    if (index == -1) {
        m_entryNameLabel->setText(tr("Not selected"));
        m_entryIndexLabel->clear();
        return;
    }
    m_entryNameLabel->setText(m_columnName.isEmpty() ? m_columnOid : m_columnName);
    m_entryIndexLabel->setText(QStringLiteral(".%1").arg(index));
}
