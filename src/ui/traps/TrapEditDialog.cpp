#include "ui/traps/TrapEditDialog.h"

#include "mib/TreeModel.h"
#include "ui/widgets/UserPrompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

TrapEditDialog::TrapEditDialog(const TreeModel* treeModel, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)
    , m_treeModel(treeModel)
    , m_ip(new QLineEdit(this))
    , m_oid(new QLineEdit(this))
    , m_value(new QLineEdit(this))
    , m_email(new QLineEdit(this))
    , m_description(new QLineEdit(this))
    , m_anyIp(new QCheckBox(tr("Any IP address"), this))
    , m_anyOid(new QCheckBox(tr("Any OID"), this))
    , m_anyValue(new QCheckBox(tr("Any value"), this))
    , m_name(new QLabel(this))
{
    auto* grid = new QGridLayout;
    const QList<std::tuple<QString, QLineEdit*, QCheckBox*, const char*>> rows{
        {tr("IP Address"), m_ip, m_anyIp, "ip"},
        {tr("Trap OID"), m_oid, m_anyOid, "oid"},
        {tr("Trap Value"), m_value, m_anyValue, "value"},
        {tr("Email"), m_email, nullptr, "email"},
        {tr("Alert Description"), m_description, nullptr, "description"}};
    int row = 0;
    for (const auto& [label, edit, any, name] : rows) {
        edit->setObjectName(QLatin1String(name) + QLatin1String("Edit"));
        grid->addWidget(new QLabel(label, this), row, 0);
        if (any) {
            // Wide enough for an enterprise's trap OID.
            edit->setMinimumWidth(
                edit->fontMetrics().horizontalAdvance(QStringLiteral("1.3.6.1.4.1.99999.1.2.3.4.5.6")));
            grid->addWidget(edit, row, 1);
            grid->addWidget(any, row, 2);
            connect(any, &QCheckBox::toggled, edit, &QWidget::setDisabled);
        } else
            grid->addWidget(edit, row, 1, 1, 2);
        // The OID's name goes below the OID.
        row += edit == m_oid ? 2 : 1;
    }
    m_anyIp->setObjectName(QStringLiteral("anyIpBox"));
    m_anyOid->setObjectName(QStringLiteral("anyOidBox"));
    m_anyValue->setObjectName(QStringLiteral("anyValueBox"));
    m_name->setObjectName(QStringLiteral("nameLabel"));
    grid->addWidget(m_name, 2, 1);
    connect(m_oid, &QLineEdit::textChanged, this, &TrapEditDialog::onOidTextChanged);

    auto* save = new QPushButton(tr("Save"), this);
    save->setObjectName(QStringLiteral("saveButton"));
    save->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &TrapEditDialog::onSave);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(520, sizeHint().height());
}

int TrapEditDialog::add(const QString& ip, const OidPtr& node)
{
    setNew(ip, node);
    return exec();
}

void TrapEditDialog::setNew(const QString& ip, const OidPtr& node)
{
    setWindowTitle(tr("Add new trap alert"));
    m_ip->setText(ip);
    m_oid->setText(node ? node->numericPath() : QString());
    m_value->clear();
    m_email->clear();
    m_description->clear();
    m_anyIp->setChecked(false);
    m_anyOid->setChecked(false);
    m_anyValue->setChecked(true);
}

int TrapEditDialog::edit(const TrapAlertFile::Entry& entry)
{
    setEntry(entry);
    return exec();
}

void TrapEditDialog::setEntry(const TrapAlertFile::Entry& entry)
{
    setWindowTitle(tr("Edit trap alert"));
    m_ip->setText(entry.ip);
    m_oid->setText(entry.oidText());
    m_value->setText(entry.value);
    m_email->setText(entry.email);
    m_description->setText(entry.description);
    m_anyIp->setChecked(entry.ip.isEmpty());
    m_anyOid->setChecked(entry.oid.isEmpty());
    m_anyValue->setChecked(entry.value.isEmpty());
}

TrapAlertFile::Entry TrapEditDialog::buildEntry(QString* error) const
{
    TrapAlertFile::Entry entry;
    error->clear();
    if (!m_anyIp->isChecked())
        entry.ip = m_ip->text().trimmed();
    const QString oid = m_oid->text().trimmed();
    // Components are unsigned 32-bit numbers, as the service reads them.
    if (!m_anyOid->isChecked() && !oid.isEmpty() && !TrapAlertFile::parseOid(oid, &entry.oid)) {
        *error = tr("Trap OID is not valid");
        return entry;
    }
    const QString value = m_value->text().trimmed();
    if (!m_anyValue->isChecked() && !value.isEmpty()) {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok, 10);
        if (!ok) {
            *error = tr("Trap value must be a number or empty");
            return entry;
        }
        entry.value = QString::number(number);
    }
    entry.email = m_email->text().trimmed();
    entry.description = m_description->text().trimmed();
    if (entry.email.count(QLatin1Char('@')) != 1)
        *error = tr("Specify email to receive messages when the trap alert occurs");
    else
        *error = entry.problem();
    return entry;
}

void TrapEditDialog::onOidTextChanged(const QString& text)
{
    m_name->clear();
    m_name->setToolTip(QString());
    const OidPtr node = m_treeModel ? m_treeModel->findByPath(text) : OidPtr();
    if (node) {
        m_name->setText(node->name);
        m_name->setToolTip(node->descriptionText());
    }
}

void TrapEditDialog::onSave()
{
    QString error;
    buildEntry(&error);
    if (error.isEmpty())
        accept();
    else
        UserPrompts::instance().warning(this, tr("Trap alert parameters"), error);
}
