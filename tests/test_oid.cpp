#include "Oid.h"

#include <QtTest>

class TestOid final : public QObject
{
    Q_OBJECT

private slots:
    void parsePath_data();
    void parsePath();
    void joinPath();
    void splitPath_data();
    void splitPath();
    void vocabularies();
};

using Numbers = QVector<qint32>;

void TestOid::parsePath_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Numbers>("numbers");
    QTest::newRow("dots and blanks around") << QStringLiteral(" .1.3.6.1. ") << Numbers{1, 3, 6, 1};
    QTest::newRow("plain") << QStringLiteral("1.3.6.1.2.1.1.1.0") << Numbers{1, 3, 6, 1, 2, 1, 1, 1, 0};
    QTest::newRow("two leading dots") << QStringLiteral("..1.3") << Numbers{};
    QTest::newRow("two trailing dots") << QStringLiteral("1.3..") << Numbers{};
    QTest::newRow("empty piece") << QStringLiteral("1..3") << Numbers{};
    QTest::newRow("letters") << QStringLiteral("1.3.x") << Numbers{};
    QTest::newRow("empty") << QString() << Numbers{};
    QTest::newRow("only a dot") << QStringLiteral(".") << Numbers{};
    QTest::newRow("beyond 31 bits") << QStringLiteral("1.2147483648") << Numbers{};
    QTest::newRow("largest signed") << QStringLiteral("1.2147483647") << Numbers{1, 2147483647};
}

void TestOid::parsePath()
{
    QFETCH(QString, text);
    QFETCH(Numbers, numbers);
    QCOMPARE(OidPath::parse(text), numbers);
}

void TestOid::joinPath()
{
    QCOMPARE(OidPath::join({}) + OidPath::join({1}), QStringLiteral("1"));
    QCOMPARE(OidPath::join({1, 3, 6, 1, 4, 1, 9}), QStringLiteral("1.3.6.1.4.1.9"));
}

void TestOid::splitPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<int>("last");
    QTest::newRow("table cell") << QStringLiteral("1.3.6.1.2.1.2.2.1.2.5") << true
                                << QStringLiteral("1.3.6.1.2.1.2.2.1.2") << 5;
    QTest::newRow("two components") << QStringLiteral("1.3") << true << QStringLiteral("1") << 3;
    QTest::newRow("one component") << QStringLiteral("1") << false << QString() << 0;
    QTest::newRow("not a path") << QStringLiteral("ifDescr.5") << false << QString() << 0;
}

void TestOid::splitPath()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, parent);
    QFETCH(int, last);
    QString parentOut;
    qint32 lastOut = 0;
    QCOMPARE(OidPath::split(path, &parentOut, &lastOut), ok);
    if (ok) {
        QCOMPARE(parentOut, parent);
        QCOMPARE(lastOut, last);
    }
    QCOMPARE(OidPath::parentPath(path), parent);
}

void TestOid::vocabularies()
{
    // Every member loads as itself; the type gap 17-19 and anything outside the tables load as Other/unknown.
    const QList<int> access = {0, 18, 19, 20, 21, 48, 67};
    const QList<int> numeric = {3, 6, 7, 8, 11, 14, 15, 16};
    for (int code = -3; code <= 70; ++code) {
        const bool type = (code >= 1 && code <= 16) || (code >= 20 && code <= 27);
        QCOMPARE(int(Oid::typeFromCode(code)), type ? code : 0);
        QCOMPARE(int(Oid::accessFromCode(code)), access.contains(code) ? code : 0);
        QCOMPARE(isNumericType(code), numeric.contains(code));
        QCOMPARE(isNotificationType(code), code == 20 || code == 21);
    }
    QCOMPARE(Oid::typeFromCode(Q_INT64_C(0x100000003)), Oid::Other); // no truncation to 3
    QCOMPARE(Oid::typeName(Oid::typeFromCode(19)), QStringLiteral("Other"));
    QCOMPARE(Oid::typeName(19), QStringLiteral("Unknown"));
    QCOMPARE(Oid::typeName(-1), QStringLiteral("Unknown"));
    QCOMPARE(Oid::accessName(Oid::accessFromCode(1)), QStringLiteral("unknown"));
}

QTEST_GUILESS_MAIN(TestOid)
#include "test_oid.moc"
