#include "ui/widgets/EntryListDialog.h"

#include "platform/AppSettings.h"
#include "ui/widgets/DialogGeometry.h"
#include "ui/widgets/EntryTableWidget.h"
#include "ui/widgets/ScreenGeometry.h"

#include <QAction>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

EntryListDialog::EntryListDialog(EntryTableWidget* table, QAction* modify, QAction* remove, AppSettings* settings,
                                 const Place& place, Qt::WindowFlags flags, QWidget* parent)
    : QDialog(parent, flags)
    , m_table(table)
    , m_modify(modify)
    , m_delete(remove)
    , m_settings(settings)
    , m_place(place)
    , m_details(new QTextBrowser(this))
    , m_splitter(new QSplitter(this))
    , m_toolBar(new QToolBar(this))
    , m_buttonRow(new QHBoxLayout)
{
    setSizeGripEnabled(true);
    modify->setParent(this);
    remove->setParent(this);
    m_toolBar->addAction(modify);
    m_toolBar->addAction(remove);
    m_details->setObjectName(QStringLiteral("details"));
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->addWidget(table);
    m_splitter->addWidget(m_details);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);

    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    m_buttonRow->addStretch();
    m_buttonRow->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(m_toolBar);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(m_buttonRow);
    resize(900, 500);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &EntryListDialog::onFinished);
    connect(modify, &QAction::triggered, this, &EntryListDialog::onModify);
    connect(remove, &QAction::triggered, this, &EntryListDialog::onDelete);
    connect(table, &EntryTableWidget::modifyRequested, this, &EntryListDialog::onModify);
    connect(table, &EntryTableWidget::deleteRequested, this, &EntryListDialog::onDelete);
    connect(table->view(), &QTableView::customContextMenuRequested, this, &EntryListDialog::onListWidgetContextMenu);
    connect(table->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EntryListDialog::onSelectionChanged);
    table->view()->setFocus();
}

EntryListDialog::~EntryListDialog() = default;

int EntryListDialog::currentRow() const
{
    const int row = m_table->currentRow();
    return row < entryCount() ? row : -1;
}

void EntryListDialog::onSelectionChanged()
{
    const int row = currentRow();
    m_modify->setEnabled(row != -1);
    m_delete->setEnabled(row != -1);
    m_details->setHtml(row == -1 ? QString() : detailsHtml(row));
}

void EntryListDialog::onModify()
{
    if (currentRow() != -1)
        modify(currentRow());
}

void EntryListDialog::onDelete()
{
    if (currentRow() != -1)
        remove(currentRow());
}

void EntryListDialog::onListWidgetContextMenu(const QPoint& position)
{
    QTableView* view = m_table->view();
    const QModelIndex index = view->indexAt(position);
    if (!index.isValid())
        return;
    view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QMenu menu(this);
    menu.setDefaultAction(menu.addAction(m_modify->icon(), tr("Modify..."), this, &EntryListDialog::onModify));
    menu.addAction(m_delete->icon(), tr("Delete"), this, &EntryListDialog::onDelete);
    menu.exec(view->viewport()->mapToGlobal(position));
}

void EntryListDialog::onFinished()
{
    if (!m_settings)
        return;
    DialogGeometry(*m_settings).save(this, m_place.geometryName);
    (m_settings->*m_place.setSplitterState)(m_splitter->saveState());
}

void EntryListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow || !m_settings)
        return;
    m_firstShow = false;
    if (!m_settings->dialogGeometry(m_place.geometryName).isEmpty())
        DialogGeometry(*m_settings).restore(this, m_place.geometryName);
    else
        setGeometry(centeredFractionRect(this, 0.7));
    m_splitter->restoreState((m_settings->*m_place.splitterState)());
}
