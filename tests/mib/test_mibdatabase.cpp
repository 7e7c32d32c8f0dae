#include "mib/MibDatabase.h"
#include "MibTestDb.h"

#include <QFile>
#include <QSqlQuery>
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
    void loadNodesToleratesDamagedRows();

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

// Name, parent, number, type, access, module, file, then enumerations and ranges.
QString row(const Oid& o)
{
    QStringList list(QStringLiteral("%1 %2 %3 %4 %5 %6 %7:")
                         .arg(o.name, QString::number(o.parentId), QString::number(o.number),
                              QString::number(int(o.type)), QString::number(int(o.access)), o.module, o.filename));
    for (const Oid::EnumValue& e : o.enums)
        list << QStringLiteral("%1=%2").arg(e.label).arg(e.value);
    for (const Oid::Range& r : o.ranges)
        list << QStringLiteral("%1..%2").arg(r.low).arg(r.high);
    return list.join(QLatin1Char(' '));
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
        QVERIFY(MibTestDb::create(file, {}, {}, {}, -1));
    if (tag.startsWith("version"))
        QVERIFY(MibTestDb::exec(file, {QStringLiteral("INSERT INTO db_version VALUES (2, 1, 20240101, 0)")}));
    if (tag.endsWith("file") || tag.startsWith("random")) {
        const QByteArray content =
            tag.startsWith("text") ? "iso OBJECT IDENTIFIER ::= { 1 }\n" : QByteArray(8192, '\xA5');
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
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
        QCOMPARE(major, 7);
        minor = -1;
        QCOMPARE(db.check(nullptr, &minor), status);
        QCOMPARE(minor, 9);
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
    MibDatabase db; // closed: nothing to load, no version
    QVERIFY(db.loadNodes().isEmpty() && !db.readVersion(&format, &major, &minor));
    QCOMPARE(version(), QStringLiteral("0 0 0"));

    QFile(path("empty-ro.db")).open(QIODevice::WriteOnly);
    QFile(path("empty-rw.db")).open(QIODevice::WriteOnly);
    db.setFileName(path("empty-ro.db"));
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
    db.close();
    QCOMPARE(QFileInfo(path("empty-ro.db")).size(), 0);
    db.setFileName(path("empty-rw.db"));
    QCOMPARE(db.open(false), int(MibDatabase::Usable));
    QVERIFY(db.readVersion(&format, &major, &minor));
    QCOMPARE(version(), QStringLiteral("1 %1 0").arg(MibDatabase::todayVersion()));
    QSqlQuery query(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"), db.database());
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), MibDatabase::schemaStatements().size());
    QVERIFY(query.exec(QStringLiteral("PRAGMA foreign_keys")) && query.next());
    QCOMPARE(query.value(0).toInt(), 1);
    query.finish();

    // check() leaves the read-only option on the handle; open(false) must not inherit it.
    QCOMPARE(db.check(), int(MibDatabase::Usable));
    QCOMPARE(db.open(false), int(MibDatabase::Usable));
    db.writeVersion(1, 20300101, 4);
    QVERIFY(db.readVersion(&format, &major, &minor));
    QCOMPARE(version(), QStringLiteral("1 20300101 4"));

    // A format-0 database opened read-only is accepted as it is.
    QVERIFY(MibTestDb::create(path("format0.db"), {}, {}, {}, 0));
    db.setFileName(path("format0.db"));
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
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
    QHash<qint64, OidPtr> byId;
    for (const OidPtr& oid : db.loadNodes())
        byId.insert(oid->id, oid);
    QCOMPARE(byId.size(), nodes.size());

    QCOMPARE(byId.value(1)->lastUpdated, QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::UTC));
    QCOMPARE(byId.value(1)->lastUpdated.timeSpec(), Qt::UTC);
    QVERIFY(!byId.value(2)->lastUpdated.isValid() && !byId.value(3)->lastUpdated.isValid()); // 0 and NULL
    QCOMPARE(byId.value(8)->descriptionText(), QStringLiteral("Grüße \"quoted\"\nsecond line"));
    QVERIFY(byId.value(11)->description.isEmpty());
    // Enumerations by value, ranges by their lower bound; unknown codes load as 0.
    QCOMPARE(row(*byId.value(1)), QStringLiteral("iso 0 1 0 0 SAMPLE-MIB :"));
    QCOMPARE(row(*byId.value(8)), QStringLiteral("sysDescr 7 1 2 18 SAMPLE-MIB sample.mib: one=1 three=3 five=5"));
    QCOMPARE(row(*byId.value(9)), QStringLiteral("sysObjectID 7 2 0 0 SAMPLE-MIB : minus=-3 zero=0"));
    QCOMPARE(row(*byId.value(10)), QStringLiteral("sysName 7 5 0 48 SAMPLE-MIB : -50..10 20..30 100..200"));
}

void TestMibDatabase::loadNodesToleratesDamagedRows()
{
    // A node table without the schema's constraints: NULLs, duplicate ids, text where numbers
    // belong, codes far out of range and a huge description.
    const QString file = path("loose.db");
    QVERIFY(MibTestDb::exec(
        file, {"CREATE TABLE node (id, name, number, access, type, module, filename, last_updated, description, "
               "parent_id)",
               "CREATE TABLE enum (node_id, label, value)", "CREATE TABLE range (node_id, low, high)",
               MibDatabase::schemaStatements().at(3), "INSERT INTO db_version VALUES (1, 1, 1, 0)",
               "INSERT INTO node VALUES (1, 'iso', 1, 0, 0, NULL, NULL, NULL, NULL, NULL)",
               "INSERT INTO node VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1)",
               "INSERT INTO node VALUES (2, 'again', 5, 99999999999, -7, 'M', 'f', 99999999999999999, zeroblob(9), 1)",
               "INSERT INTO node VALUES (3, 'big', 'text', 'x', 3.5, 7, 8, 'soon', 'desc', 'parent')",
               "INSERT INTO node VALUES (4, 'huge', 4, 18, 2, 'M', 'f', 0, "
               "replace(hex(zeroblob(2500000)), '00', 'ab'), 1)",
               "INSERT INTO enum VALUES (2, NULL, NULL)", "INSERT INTO range VALUES (NULL, 1, 2)"}));
    MibDatabase db;
    db.setFileName(file);
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
    const QVector<OidPtr> nodes = db.loadNodes();
    QCOMPARE(nodes.size(), 5);
    int enums = 0;
    for (const OidPtr& oid : nodes) {
        QVERIFY(Oid::typeFromCode(oid->type) == oid->type && Oid::accessFromCode(oid->access) == oid->access);
        if (oid->name == QLatin1String("again")) {
            QCOMPARE(row(*oid), QStringLiteral("again 1 5 0 0 M f: =0"));
            QVERIFY(!oid->lastUpdated.isValid());
        }
        if (oid->name == QLatin1String("huge"))
            QCOMPARE(oid->description.size(), 5000000);
        enums += oid->enums.size();
    }
    QCOMPARE(enums, 2); // both rows with id 2 get the enumeration
}

QTEST_GUILESS_MAIN(TestMibDatabase)
#include "test_mibdatabase.moc"
