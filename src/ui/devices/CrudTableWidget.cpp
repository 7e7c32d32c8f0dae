#include "ui/devices/CrudTableWidget.h"

#include "ui/widgets/LoadingCoverWidget.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A push button that shows, and triggers, action.
QPushButton* buttonFor(QAction* action, QWidget* parent)
{
    auto* button = new QPushButton(action->text(), parent);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    });
    return button;
}

} // namespace

CrudTableWidget::CrudTableWidget(const QStringList& headers, QSortFilterProxyModel* proxy, QWidget* parent)
    : QWidget(parent)
    , m_model(new QStandardItemModel(0, headers.size(), this))
    , m_proxy(proxy)
    , m_view(new QTableView(this))
    , m_search(new QLineEdit(this))
    , m_searchRow(new QHBoxLayout)
{
    m_model->setHorizontalHeaderLabels(headers);
    m_proxy->setParent(this);
    m_proxy->setSourceModel(m_model);

    m_view->setModel(m_proxy);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_view->horizontalHeader()->setStretchLastSection(true);
    // The records' own order until the user sorts by a column.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    m_view->installEventFilter(this);

    const QString texts[ActionCount] = {tr("Add..."),  tr("Change..."), tr("Delete..."),
                                        tr("Copy..."), tr("Shift Up"),  tr("Shift Down")};
    auto* buttons = new QVBoxLayout;
    for (int i = 0; i < ActionCount; ++i) {
        m_actions[i] = new QAction(texts[i], this);
        m_view->addAction(m_actions[i]);
        buttons->addWidget(buttonFor(m_actions[i], this));
    }
    buttons->addStretch();
    connect(m_actions[AddAction], &QAction::triggered, this, &CrudTableWidget::addRecord);
    connect(m_actions[ChangeAction], &QAction::triggered, this, &CrudTableWidget::onChange);
    connect(m_actions[DeleteAction], &QAction::triggered, this, &CrudTableWidget::onDelete);
    connect(m_actions[CopyAction], &QAction::triggered, this, &CrudTableWidget::onCopy);
    connect(m_actions[ShiftUpAction], &QAction::triggered, this, [this] { shift(-1); });
    connect(m_actions[ShiftDownAction], &QAction::triggered, this, [this] { shift(1); });
    connect(m_view, &QTableView::doubleClicked, this, [this] { triggerIfEnabled(ChangeAction); });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CrudTableWidget::updateActions);
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, &CrudTableWidget::updateActions);
    connect(m_proxy, &QAbstractItemModel::rowsRemoved, this, &CrudTableWidget::updateActions);
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, &CrudTableWidget::updateActions);

    m_search->setPlaceholderText(tr("Search text"));
    m_search->setToolTip(tr("Search text"));
    connect(m_search, &QLineEdit::textChanged, this, &CrudTableWidget::search);
    auto* findLabel = new QLabel(tr("Find:"), this);
    findLabel->setBuddy(m_search);
    m_searchRow->addWidget(findLabel);
    m_searchRow->addWidget(m_search, 1);

    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(m_view, 1);
    tableRow->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_searchRow);
    layout->addLayout(tableRow, 1);

    // Made last, so that it lies above everything it covers.
    m_cover = new LoadingCoverWidget(this);
    updateActions();
}

CrudTableWidget::~CrudTableWidget() = default;

QList<int> CrudTableWidget::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        rows.append(m_proxy->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CrudTableWidget::selectRows(const QList<int>& rows)
{
    QItemSelection selection;
    QModelIndex first;
    for (int row : rows) {
        const QModelIndex index = m_proxy->mapFromSource(m_model->index(row, 0));
        if (!index.isValid())
            continue;
        selection.select(index, index);
        if (!first.isValid())
            first = index;
    }
    QItemSelectionModel* selectionModel = m_view->selectionModel();
    if (first.isValid())
        selectionModel->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CrudTableWidget::search(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QStringList words = text.split(separators, Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    QList<int> matches;
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        const bool all = std::all_of(words.begin(), words.end(), [this, row](const QString& word) {
            for (int column = 0; column < m_proxy->columnCount(); ++column) {
                if (m_proxy->index(row, column).data().toString().contains(word, Qt::CaseInsensitive))
                    return true;
            }
            return false;
        });
        if (all)
            matches.append(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
    }
    selectRows(matches);
    updateActions();
    if (!matches.isEmpty())
        m_view->scrollTo(m_view->selectionModel()->currentIndex());
}

void CrudTableWidget::showCover(const QString& text)
{
    m_cover->showText(text);
    updateActions();
}

void CrudTableWidget::hideCover()
{
    m_cover->hide();
    updateActions();
}

void CrudTableWidget::updateActions()
{
    const bool idle = m_cover->isHidden();
    const QList<int> rows = selectedRows();
    const int count = rows.size();
    m_actions[ChangeAction]->setText(count > 1 ? tr("Change (%1)...").arg(count) : tr("Change..."));
    m_actions[DeleteAction]->setText(count > 1 ? tr("Delete (%1)...").arg(count) : tr("Delete..."));
    m_actions[AddAction]->setEnabled(idle);
    m_actions[ChangeAction]->setEnabled(idle && count > 0);
    m_actions[DeleteAction]->setEnabled(idle && count > 0);
    m_actions[CopyAction]->setEnabled(idle && count > 0);
    m_actions[ShiftUpAction]->setEnabled(idle && count == 1 && rows.first() > 0);
    m_actions[ShiftDownAction]->setEnabled(idle && count == 1 && rows.first() < m_model->rowCount() - 1);
}

bool CrudTableWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        Action action = ActionCount;
        if (key == Qt::Key_Insert)
            action = AddAction;
        else if (key == Qt::Key_Delete)
            action = DeleteAction;
        else if (key == Qt::Key_Return || key == Qt::Key_Enter)
            action = ChangeAction;
        if (action != ActionCount) {
            triggerIfEnabled(action);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CrudTableWidget::triggerIfEnabled(Action which)
{
    // QAction::trigger() runs a disabled action too.
    if (m_actions[which]->isEnabled())
        m_actions[which]->trigger();
}

void CrudTableWidget::onChange()
{
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty())
        changeRecords(rows);
}

void CrudTableWidget::onCopy()
{
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty())
        copyRecord(rows.first());
}

void CrudTableWidget::onDelete()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const DeleteQuestion question = deleteQuestion(rows);
    const int answer = UserPrompts::instance().choice(QMessageBox::Question, this, question.title, question.text,
                                                      {tr("Delete"), tr("Cancel")}, 1, 1);
    if (answer != 0) {
        m_view->setFocus();
        return;
    }
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        takeRecord(*row);
        m_model->removeRow(*row);
    }
    recordsRemoved();
    emit DataChanged();
}

void CrudTableWidget::shift(int delta)
{
    const QList<int> rows = selectedRows();
    if (rows.size() != 1)
        return;
    const int from = rows.first();
    const int to = from + delta;
    if (to < 0 || to >= m_model->rowCount())
        return;
    // A sorted view would hide the move: show the records' order again.
    m_view->sortByColumn(-1, Qt::AscendingOrder);
    moveRecord(from, to);
    m_model->insertRow(to, m_model->takeRow(from));
    selectRows({to});
    updateActions();
    emit DataChanged();
}
