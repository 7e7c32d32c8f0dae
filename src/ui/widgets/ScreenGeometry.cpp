#include "ui/widgets/ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

QRect centeredFractionRect(const QRect& available, double fraction)
{
    const int mx = static_cast<int>(std::lround(available.width() * (1.0 - fraction)));
    const int my = static_cast<int>(std::lround(available.height() * (1.0 - fraction)));
    return available.adjusted(mx / 2, my / 2, -(mx / 2), -(my / 2));
}

QRect centeredFractionRect(const QWidget* widget, double fraction)
{
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return centeredFractionRect(screen ? screen->availableGeometry() : QRect(), fraction);
}
