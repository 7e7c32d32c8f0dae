#include <QIcon>
#include <QMovie>
#include <QtTest>

namespace {

// Share of pixels that are at least half opaque.
double opaqueShare(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(argb.constBits());
    const auto opaque =
        std::count_if(pixels, pixels + argb.width() * argb.height(), [](QRgb p) { return qAlpha(p) >= 128; });
    return static_cast<double>(opaque) / (image.width() * image.height());
}

} // namespace

class TestResources final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(tessaro);
        const QImage logo(":/images/logo.png");
        QVERIFY(logo.size() == QSize(400, 100) && qAlpha(logo.pixel(0, 0)) == 0 && opaqueShare(logo) > 0.15);
        // The spinner, through Qt's GIF plugin (libqgif), which a system may lack; it turns, forever.
        QMovie movie(":/images/loading.gif");
        QVERIFY(movie.isValid() && movie.frameCount() > 1 && movie.loopCount() == -1);
    }

    void images_data()
    {
        QTest::addColumn<QString>("path"); // %1: the size; an .ico holds all its sizes
        QTest::addColumn<QList<int>>("sides");
        const QList<int> sides{16, 30, 32, 40, 64, 80};
        for (const char* name : {"leaf", "open", "notification", "open-leaf", "edit", "available-updates", "leafAdd",
                                 "leafEdit", "leafSubmit", "leafSearch", "leafCollapse", "leafStop", "leafDelete",
                                 "notificationAdd", "notificationEdit", "notificationDelete"})
            QTest::newRow(name) << QString(":/images/%1-%2.png").arg(name) << sides;
        QTest::newRow("App") << ":/images/App.ico" << QList<int>{16, 32, 48, 64, 256};
        for (const char* name : {"start", "stop", "restart", "settings"})
            QTest::newRow(name) << QString(":/images/%1.ico").arg(name) << QList<int>{16, 32, 48};
    }

    // .ico sizes need Qt's ICO plugin; a badged icon's badge comes from another file, or its corner is bare.
    void images()
    {
        QFETCH(QString, path);
        QFETCH(QList<int>, sides);
        const bool ico = path.endsWith(".ico");
        const bool badged = QRegularExpression("(Add|Edit|Submit|Search|Collapse|Stop|Delete)-").match(path).hasMatch();
        for (int side : sides) {
            QVERIFY2(!ico || QIcon(path).availableSizes().contains(QSize(side, side)), qPrintable(path));
            const QImage image = ico ? QIcon(path).pixmap(side).toImage() : QImage(path.arg(side));
            const int from = side * 5 / 8;
            QVERIFY2(image.size() == QSize(side, side) && (ico || image.hasAlphaChannel()) &&
                         opaqueShare(image) > 0.15 &&
                         (!badged || opaqueShare(image.copy(from, from, side - from, side - from)) > 0.5),
                     qPrintable(path.arg(side)));
        }
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
