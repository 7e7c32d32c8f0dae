// Loads every image the program takes from its resources, through the same Qt image plugins
// the program uses, and checks that each is there, has the sizes asked for and shows something.

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QtTest>

#include <algorithm>

namespace {

// Share of pixels in rect that are at least half opaque.
double opaqueShare(const QImage& image, const QRect& rect)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            opaque += qAlpha(argb.pixel(x, y)) >= 128 ? 1 : 0;
    return static_cast<double>(opaque) / (rect.width() * rect.height());
}

} // namespace

class TestResources final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void images_data();
    void images();
    void logoAndSpinner();
};

void TestResources::initTestCase()
{
    Q_INIT_RESOURCE(tessaro);
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    QVERIFY2(formats.contains("ico"), "Qt's ICO image plugin (libqico) is not installed");
    QVERIFY2(formats.contains("gif"), "Qt's GIF image plugin (libqgif) is not installed");
}

void TestResources::images_data()
{
    QTest::addColumn<QString>("path"); // %1: the size
    QTest::addColumn<QList<int>>("sides");
    QTest::addColumn<bool>("badged");
    const QList<int> iconSides{16, 30, 32, 40, 64, 80};
    for (const char* name : {"leaf", "open", "notification", "open-leaf", "edit", "available-updates"})
        QTest::newRow(name) << QStringLiteral(":/images/%1-%2.png").arg(QLatin1String(name)) << iconSides << false;
    for (const char* name : {"leafAdd", "leafEdit", "leafSubmit", "leafSearch", "leafCollapse", "leafStop",
                             "leafDelete", "notificationAdd", "notificationEdit", "notificationDelete"})
        QTest::newRow(name) << QStringLiteral(":/images/%1-%2.png").arg(QLatin1String(name)) << iconSides << true;
    // Windows icons hold all their sizes in one file.
    QTest::newRow("App") << QStringLiteral(":/images/App.ico") << QList<int>{16, 32, 48, 64, 256} << false;
    for (const char* name : {"start", "stop", "restart", "settings"})
        QTest::newRow(name) << QStringLiteral(":/images/%1.ico").arg(QLatin1String(name)) << QList<int>{16, 32, 48}
                            << false;
}

void TestResources::images()
{
    QFETCH(QString, path);
    QFETCH(QList<int>, sides);
    QFETCH(bool, badged);
    QList<QImage> images;
    if (path.endsWith(".ico")) {
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("ico"));
        for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i)
            images << reader.read();
        // The window and the tray take the icon whole, as QIcon reads it.
        const QList<QSize> available = QIcon(path).availableSizes();
        for (int side : sides)
            QVERIFY2(available.contains(QSize(side, side)), qPrintable(path));
    } else {
        for (int side : sides)
            images << QImage(path.arg(side));
    }
    QList<int> read;
    for (const QImage& image : images) {
        QVERIFY2(!image.isNull() && image.width() == image.height(), qPrintable(path));
        QVERIFY2(image.hasAlphaChannel() || path.endsWith(".ico"), qPrintable(path));
        QVERIFY2(opaqueShare(image, image.rect()) > 0.15, qPrintable(path + " is nearly empty"));
        // The badge is taken from another file; if the reference breaks, the corner is bare.
        const int from = image.width() * 5 / 8;
        const QRect corner(from, from, image.width() - from, image.width() - from);
        QVERIFY2(!badged || opaqueShare(image, corner) > 0.5, qPrintable(path + " has no badge"));
        read << image.width();
    }
    std::sort(read.begin(), read.end());
    QCOMPARE(read, sides);
}

void TestResources::logoAndSpinner()
{
    const QImage logo(QStringLiteral(":/images/logo.png"));
    QCOMPARE(logo.size(), QSize(400, 100));
    QVERIFY(logo.hasAlphaChannel());
    QCOMPARE(qAlpha(logo.pixel(0, 0)), 0);
    QVERIFY2(opaqueShare(logo, QRect(10, 10, 80, 80)) > 0.8, "the mark is missing");
    QVERIFY2(opaqueShare(logo, QRect(110, 20, 270, 60)) > 0.2, "the name is missing");

    QMovie movie(QStringLiteral(":/images/loading.gif"));
    QVERIFY(movie.isValid());
    QVERIFY(movie.frameCount() > 1);
    QCOMPARE(movie.loopCount(), -1); // forever
    QVERIFY(movie.jumpToFrame(0));
    const QImage first = movie.currentImage();
    QCOMPARE(first.size(), QSize(64, 64));
    QVERIFY(movie.jumpToFrame(1));
    QVERIFY2(first != movie.currentImage(), "the spinner does not turn");
    QVERIFY(movie.nextFrameDelay() > 0);
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
