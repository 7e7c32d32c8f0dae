#include "ui/oids/OidListDialog.h"

#include "mib/Oid.h"
#include "mib/TreeModel.h"
#include "platform/AppSettings.h"
#include "platform/Icons.h"
#include "ui/oids/OidSettingsDialog.h"
#include "ui/oids/OidTableWidget.h"
#include "ui/widgets/DialogGeometry.h"
#include "ui/widgets/ScreenGeometry.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The key of the dialog's geometry in the settings (oid_list_window_geometry).
const QString kGeometryName = QStringLiteral("oid_list_window");

} // namespace

OidListDialog::OidListDialog(const QList<VelmoraFile::Entry>& devices,
                             const QList<SnmpReader::HostInfoResult>& deviceInfo, const QList<OidEntry>& entries,
                             const TreeModel* treeModel, AppSettings* settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint)
    , m_devices(devices)
    , m_deviceInfo(deviceInfo)
    , m_treeModel(treeModel)
    , m_settings(settings)
    , m_table(new OidTableWidget(this))
    , m_details(new QTextBrowser(this))
    , m_splitter(new QSplitter(this))
    , m_modify(new QAction(loadIcon(QStringLiteral("leafEdit")), tr("Modify OID"), this))
    , m_delete(new QAction(loadIcon(QStringLiteral("leafDelete")), tr("Delete OID"), this))
{
    setWindowTitle(tr("%1 - Monitoring OIDs").arg(QCoreApplication::applicationName()));
    setSizeGripEnabled(true);
    m_modify->setToolTip(tr("Modify monitoring OID"));
    m_delete->setToolTip(tr("Delete monitoring OID"));
    auto* toolBar = new QToolBar(this);
    toolBar->addAction(m_modify);
    toolBar->addAction(m_delete);

    m_table->setObjectName(QStringLiteral("oidTable"));
    m_table->setPlaceholderText(tr("There are no monitoring OIDs\nYou can add new OIDs in main program window"));
    m_table->setTreeModel(treeModel);
    m_table->setEntries(entries);
    m_details->setObjectName(QStringLiteral("details"));
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->addWidget(m_table);
    m_splitter->addWidget(m_details);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);

    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolBar);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(buttons);
    resize(900, 500);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &OidListDialog::onFinished);
    connect(m_modify, &QAction::triggered, this, &OidListDialog::onModifyOid);
    connect(m_delete, &QAction::triggered, this, &OidListDialog::onDeleteOid);
    connect(m_table, &OidTableWidget::modifyRequested, this, &OidListDialog::modify);
    connect(m_table, &OidTableWidget::deleteRequested, this, &OidListDialog::remove);
    connect(m_table->view(), &QTableView::customContextMenuRequested, this, &OidListDialog::onListWidgetContextMenu);
    connect(m_table->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OidListDialog::onOidSelectionChanged);
    // The first entry is shown at once, so that its details and the actions are there.
    if (!m_table->entries().isEmpty())
        m_table->selectRows({0});
    onOidSelectionChanged();
    m_table->view()->setFocus();
}

OidListDialog::~OidListDialog() = default;

QList<OidEntry> OidListDialog::entries() const
{
    return m_table->entries();
}

void OidListDialog::onOidSelectionChanged()
{
    // While a row goes, the selection changes before the table has settled: only rows it holds count.
    int row = m_table->currentRow();
    if (row >= m_table->entries().size())
        row = -1;
    m_modify->setEnabled(row != -1);
    m_delete->setEnabled(row != -1);
    m_details->setHtml(row == -1 ? QString() : detailsHtml(m_table->entries().at(row)));
}

QString OidListDialog::detailsHtml(const OidEntry& entry) const
{
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

void OidListDialog::onListWidgetContextMenu(const QPoint& position)
{
    QTableView* view = m_table->view();
    const QModelIndex index = view->indexAt(position);
    if (!index.isValid())
        return;
    view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QMenu menu(this);
    QAction* modify = menu.addAction(m_modify->icon(), tr("Modify..."), this, &OidListDialog::onModifyOid);
    menu.addAction(m_delete->icon(), tr("Delete"), this, &OidListDialog::onDeleteOid);
    menu.setDefaultAction(modify);
    menu.exec(view->viewport()->mapToGlobal(position));
}

void OidListDialog::onModifyOid()
{
    modify(m_table->currentRow());
}

void OidListDialog::onDeleteOid()
{
    remove(m_table->currentRow());
}

void OidListDialog::modify(int row)
{
    if (row < 0 || row >= m_table->entries().size())
        return;
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
    OidSettingsDialog dialog(device, info, m_treeModel, m_settings, this);
    if (dialog.editEntry(old) != QDialog::Accepted)
        return;
    const OidEntry changed = dialog.entry();
    m_changed.insert(old.fileName);
    m_changed.insert(changed.fileName);
    m_table->replaceEntry(row, changed);
    onOidSelectionChanged();
}

void OidListDialog::remove(int row)
{
    if (row < 0 || row >= m_table->entries().size())
        return;
    const OidEntry entry = m_table->entries().at(row);
    const QMessageBox::StandardButton answer = UserPrompts::instance().question(
        this, tr("Delete OID"), tr("Are you sure you want to delete OID\n\"%1\"?").arg(m_table->entryText(entry)),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    m_changed.insert(entry.fileName);
    m_table->removeEntry(row);
    onOidSelectionChanged();
}

void OidListDialog::onFinished()
{
    if (!m_settings)
        return;
    DialogGeometry(*m_settings).save(this, kGeometryName);
    m_settings->setOidListSplitterState(m_splitter->saveState());
}

void OidListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow || !m_settings)
        return;
    m_firstShow = false;
    if (!m_settings->oidListWindowGeometry().isEmpty())
        DialogGeometry(*m_settings).restore(this, kGeometryName);
    else
        setGeometry(centeredFractionRect(this, 0.7));
    m_splitter->restoreState(m_settings->oidListSplitterState());
}
