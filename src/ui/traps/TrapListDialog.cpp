#include "ui/traps/TrapListDialog.h"

#include "mib/TreeModel.h"
#include "platform/AppSettings.h"
#include "platform/Icons.h"
#include "ui/traps/TrapEditDialog.h"
#include "ui/traps/TrapTableWidget.h"
#include "ui/widgets/DialogGeometry.h"
#include "ui/widgets/ScreenGeometry.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QDir>
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

// The key of the dialog's geometry in the settings (trap_list_window_geometry).
const QString kGeometryName = QStringLiteral("trap_list_window");

} // namespace

TrapListDialog::TrapListDialog(const QString& path, const TreeModel* treeModel, AppSettings* settings, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)
    , m_path(path)
    , m_treeModel(treeModel)
    , m_settings(settings)
    , m_table(new TrapTableWidget(treeModel, this))
    , m_summary(new QTextBrowser(this))
    , m_splitter(new QSplitter(this))
    , m_modify(new QAction(loadIcon(QStringLiteral("notificationEdit")), tr("Modify trap alert"), this))
    , m_delete(new QAction(loadIcon(QStringLiteral("notificationDelete")), tr("Delete trap alert"), this))
{
    setWindowTitle(tr("%1 - Trap Alerts").arg(QStringLiteral("Tessaro")));
    setSizeGripEnabled(true);
    auto* toolBar = new QToolBar(this);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(1, 1) * (toolBar->iconSize().height() < 32 ? 32 : 64));
    for (QAction* action : {m_modify, m_delete}) {
        action->setStatusTip(action->text());
        toolBar->addAction(action);
    }

    m_table->setObjectName(QStringLiteral("trapTable"));
    m_table->setPlaceholderText(tr("There are no trap alerts\nYou can add new trap alerts in main program window"));
    TrapAlertFile file;
    file.setFileName(path);
    m_table->setEntries(file.entries());
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setUndoRedoEnabled(false);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setOpaqueResize(true);
    m_splitter->addWidget(m_table);
    m_splitter->addWidget(m_summary);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);

    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(10, 10, 10, 10);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(toolBar);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(buttons);
    resize(900, 500);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &TrapListDialog::onFinished);
    connect(m_modify, &QAction::triggered, this, &TrapListDialog::onModifyTrap);
    connect(m_delete, &QAction::triggered, this, &TrapListDialog::onDeleteTrap);
    connect(m_table, &TrapTableWidget::modifyRequested, this, &TrapListDialog::modify);
    connect(m_table, &TrapTableWidget::deleteRequested, this, &TrapListDialog::remove);
    connect(m_table->view(), &QTableView::customContextMenuRequested, this, &TrapListDialog::onListWidgetContextMenu);
    connect(m_table->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TrapListDialog::onTrapSelectionChanged);
    onTrapSelectionChanged();
    m_table->view()->setFocus();
}

TrapListDialog::~TrapListDialog() = default;

QList<TrapAlertFile::Entry> TrapListDialog::entries() const
{
    return m_table->entries();
}

void TrapListDialog::onTrapSelectionChanged()
{
    int row = m_table->currentRow();
    if (row >= m_table->entries().size())
        row = -1;
    m_modify->setEnabled(row != -1);
    m_delete->setEnabled(row != -1);
    m_summary->setHtml(row == -1 ? QString() : summaryHtml(m_table->entries().at(row)));
}

QString TrapListDialog::summaryHtml(const TrapAlertFile::Entry& entry) const
{
    const auto bold = [](const QString& text) -> QString {
        return QLatin1String("<b>") + text.toHtmlEscaped() + QLatin1String("</b>");
    };
    const OidPtr node = m_table->node(entry);
    QString html = entry.ip.isEmpty() ? tr("From <b>any IP</b>") : tr("From IP: ") + bold(entry.ip);
    html += QLatin1String("<br>");
    html += entry.oid.isEmpty() ? tr("<b>Any Trap OID</b>") : tr("Trap OID: ") + bold(m_table->oidText(entry));
    html += QLatin1String("<br>");
    html += entry.value.isEmpty() ? tr("With <b>any value</b>") : tr("When value equals: ") + bold(entry.value);
    html += QLatin1String("<br>") + tr("Send email to: ") + bold(entry.email) + QLatin1String("<br>");
    if (!entry.description.isEmpty())
        html += tr("Description: ") + bold(entry.description) + QLatin1String("<br>");
    if (node)
        html += QLatin1String("<br>") + node->descriptionText().toHtmlEscaped();
    return html;
}

void TrapListDialog::onListWidgetContextMenu(const QPoint& position)
{
    QTableView* view = m_table->view();
    const QModelIndex index = view->indexAt(position);
    if (!index.isValid())
        return;
    view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QMenu menu(this);
    menu.setDefaultAction(menu.addAction(m_modify->icon(), tr("Modify..."), this, &TrapListDialog::onModifyTrap));
    menu.addAction(m_delete->icon(), tr("Delete"), this, &TrapListDialog::onDeleteTrap);
    menu.exec(view->viewport()->mapToGlobal(position));
}

void TrapListDialog::onModifyTrap()
{
    modify(m_table->currentRow());
}

void TrapListDialog::onDeleteTrap()
{
    remove(m_table->currentRow());
}

void TrapListDialog::modify(int row)
{
    if (row < 0 || row >= m_table->entries().size())
        return;
    TrapEditDialog dialog(m_treeModel, this);
    QString error;
    if (dialog.edit(m_table->entries().at(row)) != QDialog::Accepted)
        return;
    const TrapAlertFile::Entry entry = dialog.buildEntry(&error);
    if (!error.isEmpty())
        return;
    m_table->replaceEntry(row, entry);
    save();
    onTrapSelectionChanged();
}

void TrapListDialog::remove(int row)
{
    if (row < 0 || row >= m_table->entries().size())
        return;
    const QString text = m_table->entryText(m_table->entries().at(row));
    if (UserPrompts::instance().question(this, tr("Delete trap alert"),
                                         tr("Are you sure you want to delete trap alert\n\"%1\"?").arg(text),
                                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_table->removeEntry(row);
    save();
    onTrapSelectionChanged();
}

void TrapListDialog::save()
{
    QString error;
    m_saveFailed = !TrapAlertFile::writeEntries(m_path, m_table->entries(), &error);
    if (m_saveFailed)
        UserPrompts::instance().warning(this, tr("Trap Alerts Not Saved"),
                                        tr("The trap alerts could not be saved to %1:\n%2\nYour changes stay in "
                                           "this list and are saved again with the next change.")
                                            .arg(QDir::toNativeSeparators(m_path), error));
}

void TrapListDialog::done(int result)
{
    // Closing would lose the changes the file did not take.
    if (m_saveFailed &&
        UserPrompts::instance().question(this, tr("Trap Alerts Not Saved"),
                                         tr("The trap alerts could not be saved to %1.\nClose anyway and lose the "
                                            "changes made to them?")
                                             .arg(QDir::toNativeSeparators(m_path)),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    QDialog::done(result);
}

void TrapListDialog::onFinished()
{
    if (!m_settings)
        return;
    DialogGeometry(*m_settings).save(this, kGeometryName);
    m_settings->setTrapListSplitterState(m_splitter->saveState());
}

void TrapListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow || !m_settings)
        return;
    m_firstShow = false;
    if (!m_settings->trapListWindowGeometry().isEmpty())
        DialogGeometry(*m_settings).restore(this, kGeometryName);
    else
        setGeometry(centeredFractionRect(this, 0.7));
    m_splitter->restoreState(m_settings->trapListSplitterState());
}
