#include "mib/Oid.h"

#include <QtTest>

class TestOid final : public QObject
{
    Q_OBJECT

private slots:
    void paths();
    void vocabularies();
};

using Numbers = QVector<qint32>;

void TestOid::paths()
{
    QCOMPARE(OidPath::parse(" .1.3.6.1. "), (Numbers{1, 3, 6, 1})); // dots and blanks around
    QCOMPARE(OidPath::parse("1.3.6.1.2.1.1.1.0"), (Numbers{1, 3, 6, 1, 2, 1, 1, 1, 0}));
    QCOMPARE(OidPath::parse("1.2147483647"), (Numbers{1, 2147483647}));
    for (const QString& bad : {QString(), QString(""), QString("."), QString("..1.3"), QString("1.3.."),
                               QString("1..3"), QString("1.3.x"), QString("1.2147483648")})
        QVERIFY2(OidPath::parse(bad).isEmpty(), qPrintable(bad));
    QCOMPARE(OidPath::join({}) + OidPath::join({1}), QStringLiteral("1"));
    QCOMPARE(OidPath::join({1, 3, 6, 1, 4, 1, 9}), QStringLiteral("1.3.6.1.4.1.9"));

    // An agent's order: numeric per sub-identifier (up to 2^32 - 1), a prefix first.
    QVERIFY(OidPath::follows("1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1"));
    QVERIFY(OidPath::follows("1.3.6.1.2.1.10", "1.3.6.1.2.1.9.1"));
    QVERIFY(OidPath::follows("1.3.6.1.4.1.1.4294967295", "1.3.6.1.4.1.1.2147483648"));
    QVERIFY(!OidPath::follows("1.3.6.1.2.1.1", "1.3.6.1.2.1.1"));
    QVERIFY(!OidPath::follows("1.3.6.1.2.1.1.9", "1.3.6.1.2.1.1.10"));
    QVERIFY(!OidPath::follows("1.3.6.1.2.1.1", "1.3.6.1.2.1.1.1.0"));
    QVERIFY(!OidPath::follows("1.3.x", "1.3"));

    // Path, parent, last number; no parent: not split.
    const char* const splits[][3] = {
        {"1.3.6.1.2.1.2.2.1.2.5", "1.3.6.1.2.1.2.2.1.2", "5"}, {"1.3", "1", "3"}, {"1", "", ""}, {"ifDescr.5", "", ""}};
    for (const auto& row : splits) {
        QString parent;
        qint32 last = 0;
        QCOMPARE(OidPath::split(row[0], &parent, &last), *row[1] != 0);
        if (*row[1])
            QCOMPARE(parent + ' ' + QString::number(last), QString("%1 %2").arg(row[1], row[2]));
        QCOMPARE(OidPath::parentPath(row[0]), QString(row[1]));
    }
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
