#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class AppSettings;
class QWidget;

// A dialog's geometry kept in the settings under its name, together with the screen scale
// it was saved at. A geometry saved at another scale is dropped: the dialog then gets its
// default size (meant for a scale of 1.25), or its current size, scaled to the present
// screen. Either way it is kept inside the screen's available area.
class DialogGeometry final
{
public:
    // The scale of the screen that shows a widget (screenScaleFactor unless a test says).
    using ScaleSource = std::function<double(const QWidget*)>;

    explicit DialogGeometry(AppSettings& settings, ScaleSource scale = ScaleSource());

    // An invalid default size keeps the widget's own size.
    void restore(QWidget* widget, const QString& name, const QSize& defaultSize = QSize()) const;
    void save(const QWidget* widget, const QString& name) const;

    // Smallest move (after bounding the size) that brings rect inside area.
    static QRect fitRect(const QRect& rect, const QRect& area);

private:
    double scaleOf(const QWidget* widget) const;

    AppSettings& m_settings;
    ScaleSource m_scale;
};
