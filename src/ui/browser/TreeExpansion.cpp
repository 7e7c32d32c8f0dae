#include "ui/browser/TreeExpansion.h"

#include "mib/Expansion.h"

#include <QTreeView>

namespace {

void apply(QTreeView* view, const QModelIndex& index, const ExpansionNode& node)
{
    const QAbstractItemModel* model = view->model();
    const int rows = model->rowCount(index);
    for (int row = 0; row < rows && !node.children.isEmpty(); ++row) {
        const QModelIndex child = model->index(row, 0, index);
        const int number = child.data(Qt::UserRole).toInt();
        for (const ExpansionNode& saved : node.children) {
            if (saved.number == number) {
                apply(view, child, saved);
                break;
            }
        }
    }
    view->expand(index);
}

ExpansionNode capture(const QTreeView* view, const QModelIndex& index)
{
    ExpansionNode node;
    node.number = index.data(Qt::UserRole).toInt();
    const QAbstractItemModel* model = view->model();
    const int rows = model->rowCount(index);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex child = model->index(row, 0, index);
        if (model->hasChildren(child) && view->isExpanded(child))
            node.children.append(capture(view, child));
    }
    return node;
}

} // namespace

QString saveExpansion(const QTreeView* view)
{
    const QAbstractItemModel* model = view->model();
    if (!model)
        return QString();
    const QModelIndex root = model->index(0, 0);
    if (!root.isValid() || !view->isExpanded(root))
        return QString();
    return serializeExpansion(capture(view, root));
}

void restoreExpansion(QTreeView* view, const QString& text)
{
    const QAbstractItemModel* model = view->model();
    if (!model)
        return;
    const ExpansionNode saved = parseExpansion(text);
    const QModelIndex root = model->index(0, 0);
    if (saved.number == -1 || !root.isValid() || root.data(Qt::UserRole).toInt() != saved.number)
        return;
    apply(view, root, saved);
}
