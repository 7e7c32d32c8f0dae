#pragma once

#include <QRect>

class QWidget;

// The available area of the screen that shows widget, shrunk evenly on each side so that
// the fraction f of its width and height remains (the default window geometry uses 0.9).
QRect centeredFractionRect(const QWidget* widget, double fraction);

// Same rule on a given area.
QRect centeredFractionRect(const QRect& available, double fraction);
