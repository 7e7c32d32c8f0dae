#include "ui/browser/TreeView.h"

#include <QScrollBar>

void TreeView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid()) {
        QTreeView::scrollTo(index, hint);
        return;
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
