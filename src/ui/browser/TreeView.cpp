#include "ui/browser/TreeView.h"

#include <QScrollBar>

void TreeView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid()) {
        QTreeView::scrollTo(index, hint);
        return;
    }
    // The node is measured where it will be: its collapsed parents are opened first (the base
    // class would open them only after the measuring).
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
        if (!isExpanded(parent))
            expand(parent);
    }
    QScrollBar* bar = horizontalScrollBar();
    const int h = bar->value();
    const QRect rect = visualRect(index);
    const int viewportWidth = viewport()->width();
    const int hintWidth = sizeHintForIndex(index).width();
    const int indent = indentation();

    QTreeView::scrollTo(index, hint);

    int value;
    if (hintWidth + indent > viewportWidth) {
        value = qMax(0, h - indent + rect.left());
    } else if (rect.left() - indent >= 0) {
        const int overflow = rect.left() - viewportWidth + hintWidth;
        value = overflow >= 1 ? h + overflow : h;
    } else {
        value = qMax(0, h - indent + rect.left());
    }
    bar->setValue(value);
}
