#include "ui/mib/MibImportDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString kindText(MibImportDialog::Row::Kind kind)
{
    switch (kind) {
    case MibImportDialog::Row::Loaded:
        return MibImportDialog::tr("Loaded");
    case MibImportDialog::Row::Problems:
        return MibImportDialog::tr("Loaded with problems");
    case MibImportDialog::Row::Failed:
        break;
    }
    return MibImportDialog::tr("Not loaded");
}

} // namespace

MibImportDialog::MibImportDialog(const QVector<Row>& rows, const QString& summary, bool canApply, QWidget* parent)
    : QDialog(parent)
    , m_table(new QTreeWidget(this))
    , m_reason(new QPlainTextEdit(this))
{
    setWindowTitle(tr("Import MIB modules"));
    auto* layout = new QVBoxLayout(this);
    auto* counts = new QLabel(countsText(rows) + QLatin1Char('\n') + summary, this);
    counts->setWordWrap(true);
    layout->addWidget(counts);

    m_table->setRootIsDecorated(false);
    m_table->setHeaderLabels({tr("Module"), tr("Result"), tr("Nodes"), tr("Reason")});
    for (const Row& row : rows) {
        auto* item = new QTreeWidgetItem(
            m_table, {row.module, kindText(row.kind), row.kind == Row::Failed ? QString() : QString::number(row.nodes),
                      QString(row.reason).replace(QLatin1Char('\n'), QLatin1String("; "))});
        item->setData(0, Qt::UserRole, row.reason);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (row.kind != Row::Loaded)
            item->setForeground(1, row.kind == Row::Failed ? QColor(Qt::red) : QColor(0xb0, 0x60, 0x00));
    }
    m_table->header()->setStretchLastSection(true);
    for (int column = 0; column < 3; ++column)
        m_table->resizeColumnToContents(column);
    layout->addWidget(m_table, 3);

    // The whole reason of the current module: net-snmp's messages can be long.
    m_reason->setReadOnly(true);
    m_reason->setPlaceholderText(tr("The selected module was loaded without problems."));
    layout->addWidget(m_reason, 1);
    connect(m_table, &QTreeWidget::currentItemChanged, this, &MibImportDialog::showReason);

    auto* buttons = new QDialogButtonBox(this);
    if (canApply) {
        QPushButton* apply = buttons->addButton(tr("Apply"), QDialogButtonBox::AcceptRole);
        apply->setDefault(true);
        buttons->addButton(QDialogButtonBox::Cancel);
    } else {
        buttons->addButton(QDialogButtonBox::Close);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    if (m_table->topLevelItemCount() > 0)
        m_table->setCurrentItem(m_table->topLevelItem(0));
    m_table->setFocus();
    resize(760, 460);
}

QString MibImportDialog::countsText(const QVector<Row>& rows)
{
    int counts[3] = {0, 0, 0};
    for (const Row& row : rows)
        ++counts[row.kind];
    return tr("Modules: %1 loaded, %2 with problems, %3 not loaded.")
        .arg(counts[Row::Loaded])
        .arg(counts[Row::Problems])
        .arg(counts[Row::Failed]);
}

void MibImportDialog::showReason()
{
    const QTreeWidgetItem* item = m_table->currentItem();
    m_reason->setPlainText(item ? item->data(0, Qt::UserRole).toString() : QString());
}
