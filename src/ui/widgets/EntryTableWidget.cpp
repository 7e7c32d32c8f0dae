#include "ui/widgets/EntryTableWidget.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

EntryTableWidget::EntryTableWidget(const QStringList& headers, QWidget* parent)
    : CrudTableWidget(headers, new QSortFilterProxyModel, parent)
    , m_placeholder(new QLabel(view()->viewport()))
{
    for (QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        button->hide();
    for (QAction* action : view()->actions())
        view()->removeAction(action);
    view()->setSelectionMode(QAbstractItemView::SingleSelection);
    view()->setContextMenuPolicy(Qt::CustomContextMenu);
    view()->setWordWrap(false);
    view()->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view()->viewport()->installEventFilter(this);

    m_placeholder->setObjectName(QStringLiteral("placeholder"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->setEnabled(false);
    updatePlaceholder();
}

EntryTableWidget::~EntryTableWidget() = default;

int EntryTableWidget::currentRow() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void EntryTableWidget::setPlaceholderText(const QString& text)
{
    m_placeholder->setText(text);
}

void EntryTableWidget::resetRows(int count)
{
    proxyModel()->setSourceModel(nullptr);
    model()->removeRows(0, model()->rowCount());
    model()->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < model()->columnCount(); ++column)
            model()->setItem(row, column, new QStandardItem);
        showRow(row);
    }
    proxyModel()->setSourceModel(model());
    const QFontMetrics metrics = view()->fontMetrics();
    for (int column = 0; column < m_samples.size(); ++column)
        view()->horizontalHeader()->resizeSection(column, metrics.horizontalAdvance(m_samples.at(column)) +
                                                              4 * metrics.averageCharWidth()); // the cell's margins
    updateActions();
    updatePlaceholder();
    if (count > 0)
        selectRows({0});
}

void EntryTableWidget::removeRow(int row)
{
    takeRecord(row);
    model()->removeRow(row);
    updatePlaceholder();
}

void EntryTableWidget::updatePlaceholder()
{
    m_placeholder->setVisible(model()->rowCount() == 0);
}

void EntryTableWidget::changeRecords(const QList<int>& rows)
{
    if (!rows.isEmpty())
        emit modifyRequested(rows.first());
}

bool EntryTableWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view()->viewport() && event->type() == QEvent::Resize)
        m_placeholder->setGeometry(view()->viewport()->rect());
    if (watched == view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (currentRow() != -1)
            emit deleteRequested(currentRow());
        return true;
    }
    return CrudTableWidget::eventFilter(watched, event);
}
