#include "ui/monitor/OidIndexSelectionDialog.h"

#include "platform/AppSettings.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ui/widgets/ScreenGeometry.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

OidIndexSelectionDialog::OidIndexSelectionDialog(const OidPtr& node, const SnmpOidUtils::Device& device,
                                                 QWidget* parent)
    : QDialog(parent)
    , m_node(node)
    , m_device(device)
    , m_widget(new OidIndexSelectionWidget(this))
    , m_getValuesButton(new QPushButton(tr("Get values"), this))
    , m_monitorButton(new QPushButton(tr("Monitor OID"), this))
{
    setWindowTitle(tr("Select OID index"));
    m_widget->setObjectName(QStringLiteral("indexSelection"));
    m_getValuesButton->setObjectName(QStringLiteral("getValuesButton"));
    m_monitorButton->setObjectName(QStringLiteral("monitorButton"));
    m_getValuesButton->setAutoDefault(false);
    m_monitorButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_getValuesButton);
    buttons->addWidget(m_monitorButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_widget, 1);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    setMinimumSize(300, 300);

    connect(m_getValuesButton, &QPushButton::clicked, m_widget, &OidIndexSelectionWidget::onGetIndices);
    connect(m_monitorButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_widget, &OidIndexSelectionWidget::indexChanged, this, &OidIndexSelectionDialog::updateMonitorButton);

    m_widget->setDevice(m_device);
    m_widget->setOid(m_node ? m_node->numericPath() : QString(), false, m_node ? m_node->type : Oid::Other);
    updateMonitorButton();
}

void OidIndexSelectionDialog::setTreeModel(const TreeModel* model)
{
    m_widget->setTreeModel(model);
}

void OidIndexSelectionDialog::setSettings(AppSettings* settings)
{
    m_settings = settings;
}

void OidIndexSelectionDialog::done(int result)
{
    if (m_settings)
        m_settings->setOidIndexWindowSize(size());
    QDialog::done(result);
}

QString OidIndexSelectionDialog::selectedOid() const
{
    return m_widget->selectedOid();
}

void OidIndexSelectionDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    const QSize stored = m_settings ? m_settings->oidIndexWindowSize() : QSize();
    if (stored.width() > 0 && stored.height() > 0) {
        resize(stored);
    } else {
        const int side = centeredFractionRect(this, 0.5).height();
        resize(side, side);
    }
    QTimer::singleShot(1, m_widget, &OidIndexSelectionWidget::onGetIndices);
}

void OidIndexSelectionDialog::updateMonitorButton()
{
    m_monitorButton->setEnabled(m_widget->selectedIndex() != -1);
}
