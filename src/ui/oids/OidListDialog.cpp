#include "ui/oids/OidListDialog.h"

#include "mib/Oid.h"
#include "mib/TreeModel.h"
#include "platform/AppSettings.h"
#include "platform/Icons.h"
#include "ui/oids/OidSettingsDialog.h"
#include "ui/oids/OidTableWidget.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QCoreApplication>

OidListDialog::OidListDialog(const QList<VelmoraFile::Entry>& devices,
                             const QList<SnmpReader::HostInfoResult>& deviceInfo, const QList<OidEntry>& entries,
                             const TreeModel* treeModel, AppSettings* settings, QWidget* parent)
    : EntryListDialog(new OidTableWidget, new QAction(loadIcon(QStringLiteral("leafEdit")), tr("Modify OID")),
                      new QAction(loadIcon(QStringLiteral("leafDelete")), tr("Delete OID")), settings,
                      {QStringLiteral("oid_list_window"), &AppSettings::oidListSplitterState,
                       &AppSettings::setOidListSplitterState},
                      Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint,
                      parent)
    , m_devices(devices)
    , m_deviceInfo(deviceInfo)
    , m_treeModel(treeModel)
    , m_table(static_cast<OidTableWidget*>(entryTable()))
{
    setWindowTitle(tr("%1 - Monitoring OIDs").arg(QCoreApplication::applicationName()));
    modifyAction()->setToolTip(tr("Modify monitoring OID"));
    deleteAction()->setToolTip(tr("Delete monitoring OID"));
    m_table->setObjectName(QStringLiteral("oidTable"));
    m_table->setPlaceholderText(tr("There are no monitoring OIDs\nYou can add new OIDs in main program window"));
    m_table->setTreeModel(treeModel);
    m_table->setEntries(entries);
    onSelectionChanged();
}

OidListDialog::~OidListDialog() = default;

QList<OidEntry> OidListDialog::entries() const
{
    return m_table->entries();
}

int OidListDialog::entryCount() const
{
    return m_table->entries().size();
}

QString OidListDialog::detailsHtml(int row) const
{
    const OidEntry& entry = m_table->entries().at(row);
    QString column;
    qint32 index = 0;
    if (!OidPath::split(entry.oid, &column, &index))
        column = entry.oid;
    const OidPtr node = m_treeModel ? m_treeModel->findByPath(column) : OidPtr();
    const QString name = node ? node->name : column;
    const int type = node ? int(node->type) : mibTypeForTypeWord(entry.typeWord);
    QString html = QStringLiteral("<b>%1.%2<br>%3.%4</b><br>Type: %5<br>")
                       .arg(column.toHtmlEscaped())
                       .arg(index)
                       .arg(name.toHtmlEscaped())
                       .arg(index)
                       .arg(Oid::typeName(type));
    html += tr("IP: <b>%1</b> on").arg(entry.ipAddress.toHtmlEscaped()) + QLatin1Char(' ');
    html += entry.interfaceNumber.isEmpty() ? tr("<b>all interfaces</b>")
                                            : tr("<b>interface #%1</b>").arg(entry.interfaceNumber.toHtmlEscaped());
    html += QLatin1String("<br>") + tr("Description:") + QLatin1Char(' ') + entry.graphDescription.toHtmlEscaped();
    return html;
}

void OidListDialog::modify(int row)
{
    const OidEntry old = m_table->entries().at(row);
    VelmoraFile::Entry device;
    device.ipAddress = old.ipAddress;
    SnmpReader::HostInfoResult info;
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).ipAddress == old.ipAddress) {
            device = m_devices.at(i);
            info = m_deviceInfo.value(i);
            break;
        }
    }
    OidSettingsDialog dialog(device, info, m_treeModel, settings(), this);
    if (dialog.editEntry(old) != QDialog::Accepted)
        return;
    const OidEntry changed = dialog.entry();
    m_changed.insert(old.fileName);
    m_changed.insert(changed.fileName);
    m_table->replaceEntry(row, changed);
    onSelectionChanged();
}

void OidListDialog::remove(int row)
{
    const OidEntry entry = m_table->entries().at(row);
    const QMessageBox::StandardButton answer = UserPrompts::instance().question(
        this, tr("Delete OID"), tr("Are you sure you want to delete OID\n\"%1\"?").arg(m_table->entryText(entry)),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    m_changed.insert(entry.fileName);
    m_table->removeEntry(row);
    onSelectionChanged();
}
