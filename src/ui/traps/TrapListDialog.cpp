#include "ui/traps/TrapListDialog.h"

#include "platform/AppSettings.h"
#include "platform/Icons.h"
#include "ui/traps/TrapEditDialog.h"
#include "ui/traps/TrapTableWidget.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolBar>

TrapListDialog::TrapListDialog(const QString& path, const TreeModel* treeModel, AppSettings* settings, QWidget* parent)
    : EntryListDialog(
          new TrapTableWidget(treeModel),
          new QAction(loadIcon(QStringLiteral("notificationEdit")), tr("Modify trap alert")),
          new QAction(loadIcon(QStringLiteral("notificationDelete")), tr("Delete trap alert")), settings,
          {QStringLiteral("trap_list_window"), &AppSettings::trapListSplitterState,
           &AppSettings::setTrapListSplitterState},
          Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint, parent)
    , m_path(path)
    , m_treeModel(treeModel)
    , m_table(static_cast<TrapTableWidget*>(entryTable()))
{
    setWindowTitle(tr("%1 - Trap Alerts").arg(QStringLiteral("Tessaro")));
    toolBar()->setMovable(false);
    toolBar()->setFloatable(false);
    toolBar()->setIconSize(QSize(1, 1) * (toolBar()->iconSize().height() < 32 ? 32 : 64));
    for (QAction* action : {modifyAction(), deleteAction()})
        action->setStatusTip(action->text());
    layout()->setContentsMargins(0, 0, 0, 0);
    buttonRow()->setContentsMargins(10, 10, 10, 10);
    splitter()->setChildrenCollapsible(false);
    splitter()->setOpaqueResize(true);
    details()->setUndoRedoEnabled(false);

    m_table->setObjectName(QStringLiteral("trapTable"));
    m_table->setPlaceholderText(tr("There are no trap alerts\nYou can add new trap alerts in main program window"));
    TrapAlertFile file;
    file.setFileName(path);
    m_table->setEntries(file.entries());
    onSelectionChanged();
}

TrapListDialog::~TrapListDialog() = default;

int TrapListDialog::entryCount() const
{
    return m_table->entries().size();
}

QString TrapListDialog::detailsHtml(int row) const
{
    const TrapAlertFile::Entry& entry = m_table->entries().at(row);
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

void TrapListDialog::modify(int row)
{
    TrapEditDialog dialog(m_treeModel, this);
    QString error;
    if (dialog.edit(m_table->entries().at(row)) != QDialog::Accepted)
        return;
    const TrapAlertFile::Entry entry = dialog.buildEntry(&error);
    if (!error.isEmpty())
        return;
    m_table->replaceEntry(row, entry);
    save();
    onSelectionChanged();
}

void TrapListDialog::remove(int row)
{
    const QString text = m_table->entryText(m_table->entries().at(row));
    if (UserPrompts::instance().question(this, tr("Delete trap alert"),
                                         tr("Are you sure you want to delete trap alert\n\"%1\"?").arg(text),
                                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_table->removeEntry(row);
    save();
    onSelectionChanged();
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
