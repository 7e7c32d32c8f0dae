#include "mib/MibDatabase.h"
#include "MibTestDb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestMibDatabase final : public QObject
{
    Q_OBJECT

private slots:
    void statuses_data();
    void statuses();
    void openCreatesSchemaOnlyWhenWritable();
    void loadNodes();

private:
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
};

namespace {

QByteArray bytes(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
}

} // namespace

void TestMibDatabase::statuses_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("missing") << int(MibDatabase::Missing);
    for (const char* tag : {"no version row", "version row with another id", "text file", "random bytes", "truncated"})
        QTest::newRow(tag) << int(MibDatabase::Damaged);
    QTest::newRow("format 2") << int(MibDatabase::Unsupported);
    QTest::newRow("format 1") << int(MibDatabase::Usable);
}

void TestMibDatabase::statuses()
{
    QFETCH(int, status);
    const QByteArray tag = QTest::currentDataTag();
    const QString file = path(tag.constData());
    QVector<MibTestDb::Node> nodes = MibTestDb::sampleNodes();
    if (tag.startsWith("format"))
        QVERIFY(MibTestDb::create(file, nodes, {}, {}, tag.right(1).toInt(), 7, 9));
    if (tag.contains("version"))
        QVERIFY(MibTestDb::create(file, {}, {}, {}, -1) &&
                (tag.startsWith("no") || MibTestDb::exec(file, {"INSERT INTO db_version VALUES (2, 1, 2, 0)"})));
    if (tag.endsWith("file") || tag.startsWith("random")) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) &&
                f.write(tag.startsWith("text") ? "iso OBJECT IDENTIFIER ::= { 1 }\n" : QByteArray(8192, '\xA5')) > 0);
    }
    if (tag == "truncated") { // a database spanning many pages, cut to its first page
        for (MibTestDb::Node& node : nodes)
            node.description = QString(3000, QLatin1Char('d'));
        QVERIFY(MibTestDb::create(file, nodes) && QFile::resize(file, 1024));
    }
    const QByteArray before = bytes(file);

    MibDatabase db;
    db.setFileName(file);
    int major = -1;
    int minor = -1;
    QCOMPARE(db.check(&major, &minor), status);
    QVERIFY(!db.isOpen());
    if (status == MibDatabase::Missing) {
        QVERIFY(!QFile::exists(file));
    } else if (status == MibDatabase::Damaged) {
        if (!tag.contains("version")) { // not a database: not even opening it for writing changes it
            QCOMPARE(db.open(false), status);
            QVERIFY(db.loadNodes().isEmpty());
        }
        QCOMPARE(bytes(file), before);
    } else {
        QCOMPARE(QString("%1.%2").arg(major).arg(minor), QString("7.9"));
        QCOMPARE(db.open(false), status);
        QCOMPARE(db.isOpen(), status == MibDatabase::Usable);
    }
}

void TestMibDatabase::openCreatesSchemaOnlyWhenWritable()
{
    int format = -1;
    int major = -1;
    int minor = -1;
    auto version = [&] { return QStringLiteral("%1 %2 %3").arg(format).arg(major).arg(minor); };
    QFile(path("empty-ro.db")).open(QIODevice::WriteOnly);
    QFile(path("empty-rw.db")).open(QIODevice::WriteOnly);
    MibDatabase db;
    db.setFileName(path("empty-ro.db"));
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
    db.close();
    QCOMPARE(QFileInfo(path("empty-ro.db")).size(), 0);
    db.setFileName(path("empty-rw.db"));
    QCOMPARE(db.open(false), int(MibDatabase::Usable));
    QVERIFY(db.readVersion(&format, &major, &minor));
    QCOMPARE(version(), QStringLiteral("1 %1 0").arg(MibDatabase::todayVersion()));
    // check() leaves the read-only option on the handle; open(false) must not inherit it.
    QCOMPARE(db.check(), int(MibDatabase::Usable));
    QCOMPARE(db.open(false), int(MibDatabase::Usable));
    db.writeVersion(1, 20300101, 4);
    QVERIFY(db.readVersion(&format, &major, &minor));
    QCOMPARE(version(), QStringLiteral("1 20300101 4"));
}

void TestMibDatabase::loadNodes()
{
    QVector<MibTestDb::Node> nodes = MibTestDb::sampleNodes();
    nodes[0].lastUpdated = 86400;
    nodes[1].lastUpdated = 0;
    nodes[7].filename = QStringLiteral("sample.mib");
    nodes[7].description = QStringLiteral("Grüße \"quoted\"\nsecond line");
    nodes[8].type = 19; // no type
    nodes[8].access = 1;
    nodes[9].type = -5;
    nodes[9].access = 48;
    const QVector<MibTestDb::Enum> enums = {{8, "five", 5},  {8, "one", 1},  {9, "minus", -3},
                                            {8, "three", 3}, {9, "zero", 0}, {999, "orphan", 1}};
    QVERIFY(MibTestDb::create(path("fields.db"), nodes, enums, {{10, 100, 200}, {10, -50, 10}, {10, 20, 30}}));
    MibDatabase db;
    db.setFileName(path("fields.db"));
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
    QStringList rows; // by id: name, parent, number, type, access, module, file, date, values
    for (const OidPtr& o : db.loadNodes()) {
        QStringList row{o->name,
                        QString::number(o->parentId),
                        QString::number(o->number),
                        QString::number(o->type),
                        QString::number(o->access),
                        o->module,
                        o->filename,
                        o->lastUpdated.toString(Qt::ISODate)};
        for (const Oid::EnumValue& e : o->enums)
            row << QStringLiteral("%1=%2").arg(e.label).arg(e.value);
        for (const Oid::Range& r : o->ranges)
            row << QStringLiteral("%1..%2").arg(r.low).arg(r.high);
        rows << QString::number(o->id) + ": " + row.join(' ').trimmed();
        if (o->id == 8)
            QCOMPARE(o->descriptionText(), QStringLiteral("Grüße \"quoted\"\nsecond line"));
    }
    QCOMPARE(rows.size(), nodes.size());
    // Dates in UTC (0 and NULL: none); enumerations by value, ranges by their lower bound;
    // unknown codes load as 0.
    QCOMPARE(rows.at(0), QStringLiteral("1: iso 0 1 0 0 SAMPLE-MIB  1970-01-02T00:00:00Z"));
    QCOMPARE(rows.at(1) + ", " + rows.at(2), QStringLiteral("2: org 1 3 0 0 SAMPLE-MIB, 3: dod 2 6 0 0 SAMPLE-MIB"));
    QCOMPARE(rows.at(7), QStringLiteral("8: sysDescr 7 1 2 18 SAMPLE-MIB sample.mib  one=1 three=3 five=5"));
    QCOMPARE(rows.at(8), QStringLiteral("9: sysObjectID 7 2 0 0 SAMPLE-MIB   minus=-3 zero=0"));
    QCOMPARE(rows.at(9), QStringLiteral("10: sysName 7 5 0 48 SAMPLE-MIB   -50..10 20..30 100..200"));
}

QTEST_GUILESS_MAIN(TestMibDatabase)
#include "test_mibdatabase.moc"
