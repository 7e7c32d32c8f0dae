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

using MibTestDb::Node;

namespace {

QByteArray bytes(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
}

// The nodes of a database file opened read-only, by id.
QHash<qint64, OidPtr> loadById(const QString& file)
{
    MibDatabase db;
    db.setFileName(file);
    QHash<qint64, OidPtr> byId;
    for (const OidPtr& oid : db.open(true) == MibDatabase::Usable ? db.loadNodes() : QVector<OidPtr>())
        byId.insert(oid->id, oid);
    return byId;
}

} // namespace

void TestMibDatabase::statuses_data()
{
    QTest::addColumn<int>("status");
    const int damaged = MibDatabase::Damaged;
    QTest::newRow("missing") << int(MibDatabase::Missing);
    QTest::newRow("no version row") << damaged;
    QTest::newRow("version row with another id") << damaged;
    QTest::newRow("text file") << damaged;
    QTest::newRow("random bytes") << damaged;
    QTest::newRow("truncated database") << damaged;
    QTest::newRow("format 2") << int(MibDatabase::Unsupported);
    QTest::newRow("format 1") << int(MibDatabase::Usable);
}

void TestMibDatabase::statuses()
{
    QFETCH(int, status);
    const QByteArray tag = QTest::currentDataTag();
    const QString file = path(tag.constData());
    QVector<Node> nodes = MibTestDb::sampleNodes();
    if (tag.startsWith("format"))
        QVERIFY(MibTestDb::create(file, nodes, {}, {}, tag.right(1).toInt(), 7, 9));
    if (tag.startsWith("no version") || tag.startsWith("version"))
        QVERIFY(MibTestDb::create(file, {}, {}, {}, -1));
    if (tag.startsWith("version"))
        QVERIFY(MibTestDb::exec(file, {QStringLiteral("INSERT INTO db_version VALUES (2, 1, 20240101, 0)")}));
    if (tag.endsWith("file") || tag.startsWith("random")) {
        const QByteArray content =
            tag.startsWith("text") ? "iso OBJECT IDENTIFIER ::= { 1 }\n" : QByteArray(8192, '\xA5');
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    if (tag.startsWith("truncated")) {
        // A real database with enough rows to span many pages, cut to its first page.
        for (Node& node : nodes)
            node.description = QString(3000, QLatin1Char('d'));
        QVERIFY(MibTestDb::create(file, nodes));
        QVERIFY(QFile::resize(file, 1024));
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
        QCOMPARE(major, -1);
    } else if (status == MibDatabase::Damaged) {
        QCOMPARE(bytes(file), before);
        if (!tag.contains("version")) { // not a database at all: not even opening for writing changes it
            QCOMPARE(db.open(false), status);
            QVERIFY(db.loadNodes().isEmpty());
            QCOMPARE(bytes(file), before);
        }
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
    {
        MibDatabase closed; // nothing to load, no version
        QVERIFY(closed.loadNodes().isEmpty());
        QVERIFY(!closed.readVersion(&format, &major, &minor));
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(format).arg(major).arg(minor), QStringLiteral("0 0 0"));
    }
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
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(format).arg(major).arg(minor),
             QStringLiteral("1 %1 0").arg(QDateTime::currentDateTimeUtc().date().toString(QStringLiteral("yyyyMMdd"))));
    QSqlQuery pragma(QStringLiteral("PRAGMA foreign_keys"), db.database());
    QVERIFY(pragma.next());
    QCOMPARE(pragma.value(0).toInt(), 1);
    db.close();

    // The tables are created by exactly these statements, in this order (SQLite keeps them
    // without "IF NOT EXISTS").
    QStringList expected = MibDatabase::schemaStatements();
    expected.replaceInStrings(QStringLiteral("CREATE TABLE IF NOT EXISTS "), QStringLiteral("CREATE TABLE "));
    QStringList tables;
    {
        QSqlDatabase inspect = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        inspect.setDatabaseName(path("empty-rw.db"));
        inspect.open();
        QSqlQuery query(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' ORDER BY rowid"), inspect);
        while (query.next())
            tables << query.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    QCOMPARE(tables, expected);

    // check() leaves the read-only option on the handle; open(false) must not inherit it.
    QCOMPARE(db.check(), int(MibDatabase::Usable));
    QCOMPARE(db.open(false), int(MibDatabase::Usable));
    db.writeVersion(1, 20300101, 4);
    QVERIFY(db.readVersion(&format, &major, &minor));
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(format).arg(major).arg(minor), QStringLiteral("1 20300101 4"));

    // A format-0 database opened read-only is accepted as it is.
    QVERIFY(MibTestDb::create(path("format0.db"), {}, {}, {}, 0));
    db.setFileName(path("format0.db"));
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
}

void TestMibDatabase::loadNodes()
{
    QVector<Node> nodes = MibTestDb::sampleNodes();
    nodes[0].lastUpdated = 86400;
    nodes[1].lastUpdated = 0;
    nodes[7].filename = QStringLiteral("sample.mib");
    nodes[7].description = QStringLiteral("Grüße \"quoted\"\nsecond line");
    nodes[8].type = 19;
    nodes[8].access = 1;
    nodes[9].type = -5;
    nodes[9].access = 48;
    const QVector<MibTestDb::Enum> enums = {
        {8, QStringLiteral("five"), 5},  {8, QStringLiteral("one"), 1},  {9, QStringLiteral("minus"), -3},
        {8, QStringLiteral("three"), 3}, {9, QStringLiteral("zero"), 0}, {999, QStringLiteral("orphan"), 1},
    };
    QVERIFY(MibTestDb::create(path("fields.db"), nodes, enums, {{10, 100, 200}, {10, -50, 10}, {10, 20, 30}}));
    const QHash<qint64, OidPtr> byId = loadById(path("fields.db"));
    QCOMPARE(byId.size(), nodes.size());

    QCOMPARE(byId.value(1)->lastUpdated, QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::UTC));
    QCOMPARE(byId.value(1)->lastUpdated.timeSpec(), Qt::UTC);
    QVERIFY(!byId.value(2)->lastUpdated.isValid());
    QVERIFY(!byId.value(3)->lastUpdated.isValid()); // NULL
    QCOMPARE(byId.value(8)->descriptionText(), QStringLiteral("Grüße \"quoted\"\nsecond line"));
    QVERIFY(byId.value(11)->description.isEmpty());
    QVERIFY(byId.value(8)->children.isEmpty() && byId.value(8)->parent.expired());

    // Name, parent, number, type, access, module, file, then enumerations by value and ranges by
    // their lower bound, as codes (0: Other or Unknown).
    auto row = [&byId](qint64 id) {
        const OidPtr o = byId.value(id);
        QStringList list(QStringLiteral("%1 %2 %3 %4 %5 %6 %7:")
                             .arg(o->name, QString::number(o->parentId), QString::number(o->number),
                                  QString::number(int(o->type)), QString::number(int(o->access)), o->module,
                                  o->filename));
        for (const Oid::EnumValue& e : o->enums)
            list << QStringLiteral("%1=%2").arg(e.label).arg(e.value);
        for (const Oid::Range& r : o->ranges)
            list << QStringLiteral("%1..%2").arg(r.low).arg(r.high);
        return list.join(QLatin1Char(' '));
    };
    QCOMPARE(row(1), QStringLiteral("iso 0 1 0 0 SAMPLE-MIB :"));
    QCOMPARE(row(8), QStringLiteral("sysDescr 7 1 2 18 SAMPLE-MIB sample.mib: one=1 three=3 five=5"));
    QCOMPARE(row(9), QStringLiteral("sysObjectID 7 2 0 0 SAMPLE-MIB : minus=-3 zero=0"));       // 19 and 1 unknown
    QCOMPARE(row(10), QStringLiteral("sysName 7 5 0 48 SAMPLE-MIB : -50..10 20..30 100..200")); // -5 unknown
}

void TestMibDatabase::loadNodesToleratesDamagedRows()
{
    // A node table without the usual constraints: NULLs where the schema forbids them,
    // duplicate ids, a huge description and codes far out of range.
    const QString file = path("loose.db");
    QVERIFY(MibTestDb::exec(
        file,
        {
            QStringLiteral("CREATE TABLE node (id, name, number, access, type, module, filename, last_updated, "
                           "description, parent_id)"),
            QStringLiteral("CREATE TABLE enum (node_id, label, value)"),
            QStringLiteral("CREATE TABLE range (node_id, low, high)"),
            MibDatabase::schemaStatements().at(3),
            QStringLiteral("INSERT INTO db_version VALUES (1, 1, 1, 0)"),
            QStringLiteral("INSERT INTO node VALUES (1, 'iso', 1, 0, 0, NULL, NULL, NULL, NULL, NULL)"),
            QStringLiteral("INSERT INTO node VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1)"),
            QStringLiteral("INSERT INTO node VALUES (2, 'again', 5, 99999999999, -7, 'M', 'f', 99999999999999999, "
                           "zeroblob(10), 1)"),
            QStringLiteral("INSERT INTO node VALUES (3, 'big', 'text', 'x', 3.5, 7, 8, 'soon', 'desc', 'parent')"),
            QStringLiteral("INSERT INTO node VALUES (4, 'huge', 4, 18, 2, 'M', 'f', 0, "
                           "replace(hex(zeroblob(2500000)), '00', 'ab'), 1)"),
            QStringLiteral("INSERT INTO enum VALUES (2, NULL, NULL)"),
            QStringLiteral("INSERT INTO range VALUES (NULL, 1, 2)"),
        }));
    MibDatabase db;
    db.setFileName(file);
    QCOMPARE(db.check(), int(MibDatabase::Usable));
    QCOMPARE(db.open(true), int(MibDatabase::Usable));
    const QVector<OidPtr> nodes = db.loadNodes();
    QCOMPARE(nodes.size(), 5);
    int withEnums = 0;
    for (const OidPtr& oid : nodes) {
        QVERIFY(int(Oid::typeFromCode(oid->type)) == int(oid->type));
        QVERIFY(int(Oid::accessFromCode(oid->access)) == int(oid->access));
        if (oid->name == QLatin1String("again")) {
            QCOMPARE(oid->type, Oid::Other);
            QCOMPARE(oid->access, Oid::Unknown);
            QVERIFY(!oid->lastUpdated.isValid());
        }
        if (oid->name == QLatin1String("huge"))
            QCOMPARE(oid->description.size(), 5000000);
        withEnums += oid->enums.size();
    }
    QCOMPARE(withEnums, 2); // both rows with id 2 get the enumeration
}

QTEST_GUILESS_MAIN(TestMibDatabase)
#include "test_mibdatabase.moc"
