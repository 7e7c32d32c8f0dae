#include "ui/devices/DevicesDialog.h"

#include "ui/devices/DeviceTableWidget.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

DevicesDialog::DevicesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint)
    , m_table(new DeviceTableWidget(this))
{
    setObjectName(QStringLiteral("DevicesDialog"));
    setWindowTitle(tr("Devices"));
    setSizeGripEnabled(true);
    m_table->setObjectName(QStringLiteral("crudWidget"));
    connect(m_table, &DeviceTableWidget::DataChanged, this, [this] { m_modified = true; });

    auto* close = new QPushButton(tr("Close"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &DevicesDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(820, 496);
}

void DevicesDialog::setData(const QList<VelmoraFile::Entry>& entries,
                            const QList<SnmpReader::HostInfoResult>& deviceInfo)
{
    m_table->setData(entries, deviceInfo);
}

QList<VelmoraFile::Entry> DevicesDialog::entries() const
{
    return m_table->entries();
}

QList<SnmpReader::HostInfoResult> DevicesDialog::deviceInfo() const
{
    return m_table->deviceInfo();
}
