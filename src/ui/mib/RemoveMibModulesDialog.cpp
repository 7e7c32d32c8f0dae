#include "ui/mib/RemoveMibModulesDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

RemoveMibModulesDialog::RemoveMibModulesDialog(const QMap<QString, QString>& modules, QWidget* parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
{
    setWindowTitle(tr("Remove imported modules"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("Tick the modules to remove. Their nodes leave the MIB database and their files "
                                "the data folder."),
                             this);
    label->setWordWrap(true);
    label->setBuddy(m_list);
    layout->addWidget(label);
    for (auto it = modules.cbegin(); it != modules.cend(); ++it) {
        auto* item = new QListWidgetItem(tr("%1 (%2)").arg(it.key(), QFileInfo(it.value()).fileName()), m_list);
        item->setData(Qt::UserRole, it.key());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_remove = buttons->addButton(tr("Remove"), QDialogButtonBox::AcceptRole);
    m_remove->setEnabled(false);
    connect(m_list, &QListWidget::itemChanged, this, [this] { m_remove->setEnabled(!chosenModules().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    m_list->setFocus();
    resize(600, 420);
}

QStringList RemoveMibModulesDialog::chosenModules() const
{
    QStringList chosen;
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->checkState() == Qt::Checked)
            chosen << m_list->item(row)->data(Qt::UserRole).toString();
    }
    return chosen;
}
