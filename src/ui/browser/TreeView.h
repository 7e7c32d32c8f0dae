#pragma once

#include <QTreeView>

// The MIB tree view: scrolling to a node also brings it into view sideways, keeping one
// indentation step of its branch visible, without jumping when it already fits.
class TreeView final : public QTreeView
{
    Q_OBJECT

public:
    using QTreeView::QTreeView;

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
};
