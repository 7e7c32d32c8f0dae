#include "platform/AppSettings.h"
#include "ui/widgets/DialogGeometry.h"

#include <QScreen>
#include <QWidget>
#include <QtTest>

// The scale saved at, the scale shown at, the default size, the size restored.
using Restore = std::tuple<double, double, QSize, QSize>;
Q_DECLARE_METATYPE(Restore)

class TestDialogGeometry final : public QObject
{
    Q_OBJECT

private slots:
    // Saved as 300x200 at one scale (0: nothing saved), shown at another; the widget is 333x222.
    void restore_data()
    {
        QTest::addColumn<Restore>("c");
        QTest::newRow("same scale") << Restore{1.0, 1.0, {400, 300}, {300, 200}};
        QTest::newRow("other scale: default scaled") << Restore{1.0, 1.5, {400, 300}, {480, 360}};
        QTest::newRow("other scale: own size scaled") << Restore{1.0, 1.5, {}, {400, 266}};
        QTest::newRow("nothing at design scale") << Restore{0.0, 1.25, {}, {333, 222}};
    }

    void restore()
    {
        QFETCH(Restore, c);
        const auto& [savedAt, shownAt, defaultSize, expected] = c;
        QTemporaryDir dir;
        AppSettings settings(dir.filePath("Tessaro.ini"));
        double scale = savedAt;
        const DialogGeometry geometry(settings, [&scale](const QWidget*) { return scale; });
        QWidget widget;
        widget.setGeometry(40, 50, 300, 200);
        if (savedAt > 0)
            geometry.save(&widget, "DevicesDialog");
        scale = shownAt;
        widget.setGeometry(40, 50, 333, 222);
        geometry.restore(&widget, "DevicesDialog", defaultSize);
        QCOMPARE(widget.size(), expected);

        // Damaged data and a default larger than the screen: the default, bounded by the screen.
        settings.setDialogGeometry("Broken", "xyz", shownAt);
        geometry.restore(&widget, "Broken", QSize(20000, 20000));
        QCOMPARE(widget.geometry(), widget.screen()->availableGeometry());
    }

    void fitRect()
    {
        const QList<QPair<QRect, QRect>> cases{
            {QRect(10, 10, 100, 100), QRect(10, 10, 100, 100)},   {QRect(-50, 10, 100, 100), QRect(0, 10, 100, 100)},
            {QRect(10, -5, 100, 100), QRect(10, 0, 100, 100)},    {QRect(750, 10, 100, 100), QRect(700, 10, 100, 100)},
            {QRect(10, 550, 100, 100), QRect(10, 500, 100, 100)}, {QRect(-10, -10, 900, 50), QRect(0, 0, 800, 50)}};
        for (const auto& [rect, fitted] : cases)
            QCOMPARE(DialogGeometry::fitRect(rect, QRect(0, 0, 800, 600)), fitted);
    }
};

QTEST_MAIN(TestDialogGeometry)
#include "test_dialoggeometry.moc"
