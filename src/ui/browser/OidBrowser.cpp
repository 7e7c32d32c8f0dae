#include "ui/browser/OidBrowser.h"

#include "ui/browser/TreeExpansion.h"
#include "mib/OidDescription.h"
#include "ui/browser/OidValueViewer.h"
#include "mib/TreeModel.h"
#include "ui/browser/TreeView.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QTextEdit>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace {

void setUpSplitter(QSplitter* splitter)
{
    splitter->setOpaqueResize(true);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({1, 1});
}

} // namespace

OidBrowser::OidBrowser(bool showValueViewer, QWidget* parent)
    : QWidget(parent)
    , m_mainSplitter(new QSplitter(Qt::Horizontal, this))
    , m_rightSplitter(new QSplitter(Qt::Vertical, m_mainSplitter))
    , m_treeView(new TreeView(m_mainSplitter))
    , m_description(new QTextEdit(m_rightSplitter))
    , m_valueViewer(new OidValueViewer(m_rightSplitter))
    , m_expandBranchAction(new QAction(tr("Expand branch"), this))
    , m_collapseBranchAction(new QAction(tr("Collapse branch"), this))
    , m_saveAsAction(new QAction(tr("Save as..."), this))
{
    // The tree first, then the right side; the splitters were created in the other order.
    m_mainSplitter->addWidget(m_treeView);
    m_mainSplitter->addWidget(m_rightSplitter);
    m_rightSplitter->addWidget(m_description);
    m_rightSplitter->addWidget(m_valueViewer);
    setUpSplitter(m_mainSplitter);
    setUpSplitter(m_rightSplitter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_mainSplitter);

    m_treeView->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_treeView->setUniformRowHeights(true);
    m_treeView->setHeaderHidden(true);
    m_treeView->header()->setStretchLastSection(false);
    m_treeView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_treeView->setContextMenuPolicy(Qt::CustomContextMenu);

    m_description->setReadOnly(true);
    m_description->setUndoRedoEnabled(false);

    m_valueViewer->setVisible(showValueViewer);
    m_valueViewer->setExtraActions({m_saveAsAction});

    connect(m_treeView, &QTreeView::activated, this, &OidBrowser::onItemActivated);
    connect(m_treeView, &QWidget::customContextMenuRequested, this, &OidBrowser::onCustomContextMenuTreeView);
    connect(m_expandBranchAction, &QAction::triggered, this, &OidBrowser::onExpandAllChildren);
    connect(m_collapseBranchAction, &QAction::triggered, this, &OidBrowser::onCollapseAllChildren);
    connect(m_saveAsAction, &QAction::triggered, this, &OidBrowser::onSaveValueData);
}

OidBrowser::~OidBrowser() = default;

void OidBrowser::setModel(TreeModel* model)
{
    if (m_model)
        disconnect(m_model, &QAbstractItemModel::modelReset, this, nullptr);
    m_model = model;
    m_treeView->setModel(model);
    m_treeView->setRootIndex(QModelIndex());
    if (QItemSelectionModel* selection = m_treeView->selectionModel())
        connect(selection, &QItemSelectionModel::currentChanged, this, &OidBrowser::onCurrentChanged);
    // A reset (a new database) drops the current index without a change signal; the
    // description and the owner must not go on showing a node of the old tree.
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this,
                [this] { onCurrentChanged(QModelIndex(), QModelIndex()); });
    }
}

TreeModel* OidBrowser::model() const
{
    return m_model;
}

void OidBrowser::setContextMenuCallback(ContextMenuCallback callback)
{
    m_contextMenuCallback = std::move(callback);
}

OidPtr OidBrowser::currentOid() const
{
    const QModelIndex index = m_treeView->currentIndex();
    if (!index.isValid())
        return OidPtr();
    return static_cast<Oid*>(index.internalPointer())->shared_from_this();
}

void OidBrowser::selectIndex(const QModelIndex& index)
{
    m_treeView->setCurrentIndex(index);
    if (!index.isValid())
        m_treeView->clearSelection();
    m_treeView->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

QString OidBrowser::saveExpansion() const
{
    return ::saveExpansion(m_treeView);
}

void OidBrowser::restoreExpansion(const QString& expansion)
{
    ::restoreExpansion(m_treeView, expansion);
}

QByteArray OidBrowser::saveMainSplitterState() const
{
    return m_mainSplitter->saveState();
}

bool OidBrowser::restoreMainSplitterState(const QByteArray& state)
{
    return m_mainSplitter->restoreState(state);
}

QByteArray OidBrowser::saveRightSplitterState() const
{
    return m_rightSplitter->saveState();
}

bool OidBrowser::restoreRightSplitterState(const QByteArray& state)
{
    return m_rightSplitter->restoreState(state);
}

OidValueViewer* OidBrowser::valueViewer() const
{
    return m_valueViewer;
}

TreeView* OidBrowser::treeView() const
{
    return m_treeView;
}

QTextEdit* OidBrowser::descriptionPane() const
{
    return m_description;
}

void OidBrowser::onCollapseTree()
{
    if (!m_model)
        return;
    // The root is the only top-level row, so this collapses every branch, as collapsing
    // node by node would, without visiting a million nodes that are closed already.
    m_treeView->collapseAll();
    const char* const paths[] = {"1.3.6.1", "1.3.6", "1.3", "1"};
    for (const char* path : paths) {
        const OidPtr oid = m_model->findByPath(QLatin1String(path));
        if (oid)
            m_treeView->expand(m_model->indexFromOid(oid));
    }
}

void OidBrowser::onCurrentChanged(const QModelIndex& current, const QModelIndex&)
{
    const OidPtr oid = current.isValid() ? static_cast<Oid*>(current.internalPointer())->shared_from_this() : OidPtr();
    if (oid)
        m_description->setHtml(OidDescription::html(*oid));
    else
        m_description->clear();
    emit currentChanged(oid);
}

void OidBrowser::onItemActivated(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const Oid* node = static_cast<const Oid*>(index.internalPointer());
    if (node->isLeaf())
        emit leafOidActivated(std::const_pointer_cast<Oid>(node->shared_from_this()));
}

void OidBrowser::onCustomContextMenuTreeView(const QPoint& point)
{
    const QModelIndex index = m_treeView->indexAt(point);
    if (!index.isValid())
        return;
    // The branch actions and the owner's entries act on the current node: a menu opened
    // on another row (from the keyboard, say) must not act on a node it was not opened for.
    if (index != m_treeView->currentIndex())
        m_treeView->setCurrentIndex(index);
    const OidPtr oid = static_cast<Oid*>(index.internalPointer())->shared_from_this();

    QMenu menu;
    if (!oid->isLeaf()) {
        menu.addAction(m_expandBranchAction);
        menu.addAction(m_collapseBranchAction);
    }
    if (m_contextMenuCallback)
        m_contextMenuCallback(&menu, oid);
    if (!menu.actions().isEmpty())
        menu.exec(m_treeView->viewport()->mapToGlobal(point));
}

void OidBrowser::onExpandAllChildren()
{
    setBranchExpanded(true);
}

void OidBrowser::onCollapseAllChildren()
{
    setBranchExpanded(false);
}

void OidBrowser::onSaveValueData()
{
    const QString fileName =
        UserPrompts::instance().saveFileName(this, QString(), QString(), tr("Text files (*.txt);;All files (*.*)"));
    if (fileName.isEmpty())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    m_valueViewer->showPendingRows();
    file.write(m_valueViewer->toPlainText().toUtf8());
}

void OidBrowser::setBranchExpanded(bool expand)
{
    // The current node is collapsed while its children change, so the view lays out once.
    const QModelIndex index = m_treeView->currentIndex();
    if (!index.isValid() || !m_model)
        return;
    m_treeView->collapse(index);
    const int rows = m_model->rowCount(index);
    for (int row = 0; row < rows; ++row)
        setExpandedRecursively(m_model->index(row, 0, index), expand);
    if (expand)
        m_treeView->expand(index);
}

void OidBrowser::setExpandedRecursively(const QModelIndex& index, bool expand)
{
    // Collapsing goes top-down, expanding bottom-up, so that expanding a branch lays out
    // the view once. Leaves have nothing to show either way and are left alone: the view
    // would keep every "expanded" leaf in its set. An explicit stack, since a damaged
    // database can nest deeper than the call stack reaches.
    if (!index.isValid() || !m_model)
        return;
    struct Step
    {
        QModelIndex index;
        int nextRow;
    };
    std::vector<Step> stack;
    auto enter = [this, expand, &stack](const QModelIndex& node) {
        if (m_model->rowCount(node) == 0)
            return;
        if (!expand && m_treeView->isExpanded(node))
            m_treeView->collapse(node);
        stack.push_back(Step{node, 0});
    };
    enter(index);
    while (!stack.empty()) {
        Step& top = stack.back();
        if (top.nextRow < m_model->rowCount(top.index)) {
            const QModelIndex child = m_model->index(top.nextRow++, 0, top.index);
            enter(child);
            continue;
        }
        const QModelIndex done = top.index;
        stack.pop_back();
        if (expand && !m_treeView->isExpanded(done))
            m_treeView->expand(done);
    }
}
