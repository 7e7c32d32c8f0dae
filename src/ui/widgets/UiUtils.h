#pragma once

#include <QList>

class QAction;
class QLabel;
class QWidget;

// How much larger than at 96 dpi the screen of widget shows things (its logical horizontal
// dots per inch / 96); 1.25 when there is no screen at all. Widths given in pixels at 96 dpi
// are multiplied by it.
double screenScaleFactor(const QWidget* widget);

// Adds the actions to a tool bar or menu in order; a null one stands for a separator.
void addActionsWithSeparators(QWidget* widget, const QList<QAction*>& actions);

// A label showing the loading animation, which plays while the label is visible.
QLabel* createSpinnerLabel(QWidget* parent);
