#pragma once

#include <QString>

class QTreeView;

// The expansion text (mib/Expansion.h) of a tree view, and the view expanded from it.
// The view's model must be a TreeModel (its user role carries node numbers).
QString saveExpansion(const QTreeView* view);
void restoreExpansion(QTreeView* view, const QString& text);
