// Loads every image the program takes from its resources, through the same Qt image plugins
// the program uses, and checks that each is there, has the sizes asked for and shows something.

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QtTest>

#include <algorithm>

namespace {

const int iconSizes[] = {16, 30, 32, 40, 64, 80};

// Share of pixels in rect that are at least half opaque.
double opaqueShare(const QImage& image, const QRect& rect)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qAlpha(argb.pixel(x, y)) >= 128)
                ++opaque;
    return static_cast<double>(opaque) / (rect.width() * rect.height());
}

QList<QSize> squares(std::initializer_list<int> sides)
{
    QList<QSize> sizes;
    for (int side : sides)
        sizes.append(QSize(side, side));
    return sizes;
}

} // namespace

class TestResources final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void iconSet_data();
    void iconSet();
    void logo();
    void windowsIcon_data();
    void windowsIcon();
    void spinner();
};

void TestResources::initTestCase()
{
    Q_INIT_RESOURCE(tessaro);
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    QVERIFY2(formats.contains("ico"), "Qt's ICO image plugin (libqico) is not installed");
    QVERIFY2(formats.contains("gif"), "Qt's GIF image plugin (libqgif) is not installed");
}

void TestResources::iconSet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("badged");
    for (const char* name : {"leaf", "open", "notification", "open-leaf", "edit", "available-updates"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
    for (const char* name : {"leafAdd", "leafEdit", "leafSubmit", "leafSearch", "leafCollapse", "leafStop",
                             "leafDelete", "notificationAdd", "notificationEdit", "notificationDelete"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
}

void TestResources::iconSet()
{
    QFETCH(QString, name);
    QFETCH(bool, badged);
    for (int size : iconSizes) {
        const QString path = QStringLiteral(":/images/%1-%2.png").arg(name).arg(size);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY2(image.hasAlphaChannel(), qPrintable(path));
        QVERIFY2(opaqueShare(image, image.rect()) > 0.15, qPrintable(path + QStringLiteral(" is nearly empty")));
        if (badged) {
            // The badge is taken from another file; if the reference breaks, the corner is bare.
            const int from = size * 5 / 8;
            const QRect corner(from, from, size - from, size - from);
            QVERIFY2(opaqueShare(image, corner) > 0.5, qPrintable(path + QStringLiteral(" has no badge")));
        }
    }
}

void TestResources::logo()
{
    const QImage image(QStringLiteral(":/images/logo.png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(400, 100));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY2(opaqueShare(image, QRect(10, 10, 80, 80)) > 0.8, "the mark is missing");
    QVERIFY2(opaqueShare(image, QRect(110, 20, 270, 60)) > 0.2, "the name is missing");
}

void TestResources::windowsIcon_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::newRow("App") << QStringLiteral(":/images/App.ico") << squares({16, 32, 48, 64, 256});
    for (const char* name : {"start", "stop", "restart", "settings"})
        QTest::newRow(name) << QStringLiteral(":/images/%1.ico").arg(QLatin1String(name)) << squares({16, 32, 48});
}

void TestResources::windowsIcon()
{
    QFETCH(QString, path);
    QFETCH(QList<QSize>, sizes);

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), sizes.size());
    QList<QSize> read;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(QStringLiteral("%1 image %2: %3").arg(path).arg(i).arg(reader.errorString())));
        QVERIFY2(opaqueShare(image, image.rect()) > 0.15, qPrintable(path));
        read.append(image.size());
    }
    const auto byWidth = [](const QSize& a, const QSize& b) { return a.width() < b.width(); };
    std::sort(read.begin(), read.end(), byWidth);
    std::sort(sizes.begin(), sizes.end(), byWidth);
    QCOMPARE(read, sizes);

    // The window and the tray take the icon whole, as QIcon reads it.
    const QList<QSize> available = QIcon(path).availableSizes();
    for (const QSize& size : sizes)
        QVERIFY2(available.contains(size), qPrintable(path));
}

void TestResources::spinner()
{
    QMovie movie(QStringLiteral(":/images/loading.gif"));
    QVERIFY(movie.isValid());
    QVERIFY(movie.frameCount() > 1);
    QCOMPARE(movie.loopCount(), -1); // forever
    QVERIFY(movie.jumpToFrame(0));
    const QImage first = movie.currentImage();
    QCOMPARE(first.size(), QSize(64, 64));
    QVERIFY(movie.jumpToFrame(1));
    const QImage second = movie.currentImage();
    QVERIFY2(first != second, "the spinner does not turn");
    QVERIFY(movie.nextFrameDelay() > 0);
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
