#include "ui/widgets/DialogGeometry.h"

#include "platform/AppSettings.h"
#include "ui/UiLog.h"
#include "ui/widgets/UiUtils.h"

#include <QScreen>
#include <QWidget>

#include <cmath>

namespace {

// Dialog sizes given in code are meant for this scale (120 dots per inch).
constexpr double DesignScale = 1.25;
constexpr double ScaleTolerance = 0.01;

void fitToScreen(QWidget* widget)
{
    const QScreen* screen = widget->screen();
    if (!screen)
        return;
    const QRect fitted = DialogGeometry::fitRect(widget->geometry(), screen->availableGeometry());
    if (fitted != widget->geometry())
        widget->setGeometry(fitted);
}

} // namespace

DialogGeometry::DialogGeometry(AppSettings& settings, ScaleSource scale)
    : m_settings(settings)
    , m_scale(std::move(scale))
{
}

double DialogGeometry::scaleOf(const QWidget* widget) const
{
    return m_scale ? m_scale(widget) : screenScaleFactor(widget);
}

void DialogGeometry::restore(QWidget* widget, const QString& name, const QSize& defaultSize) const
{
    if (!widget)
        return;
    const double scale = scaleOf(widget);
    const bool scaleChanged = std::abs(scale - m_settings.dialogScale(name)) > ScaleTolerance;
    const QByteArray geometry = m_settings.dialogGeometry(name);
    if (!scaleChanged && !geometry.isEmpty()) {
        if (widget->restoreGeometry(geometry)) {
            fitToScreen(widget);
            return;
        }
        qCInfo(lcUi) << "the stored geometry of" << name << "is unreadable; the default size is used";
    }

    QSize size = defaultSize;
    if (!size.isValid()) {
        if (std::abs(scale - DesignScale) <= ScaleTolerance)
            return;
        size = widget->size();
    }
    const double factor = scale / DesignScale;
    widget->resize(static_cast<int>(std::lround(size.width() * factor)),
                   static_cast<int>(std::lround(size.height() * factor)));
    fitToScreen(widget);
}

void DialogGeometry::save(const QWidget* widget, const QString& name) const
{
    if (widget)
        m_settings.setDialogGeometry(name, widget->saveGeometry(), scaleOf(widget));
}

QRect DialogGeometry::fitRect(const QRect& rect, const QRect& area)
{
    if (area.contains(rect))
        return rect;
    QRect fitted(rect.topLeft(), rect.size().boundedTo(area.size()));
    if (fitted.left() < area.left())
        fitted.moveLeft(area.left());
    if (fitted.top() < area.top())
        fitted.moveTop(area.top());
    if (fitted.right() > area.right())
        fitted.moveRight(area.right());
    if (fitted.bottom() > area.bottom())
        fitted.moveBottom(area.bottom());
    return fitted;
}
