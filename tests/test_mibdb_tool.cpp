// Runs the tessaro-mibdb command-line tool on MIB modules written here and reads back
// what it wrote.

#include "MibDatabase.h"
#include "Oid.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <quazip.h>
#include <quazipfile.h>

#include <algorithm>

namespace {

const QString Tool = QStringLiteral(TESSARO_MIBDB_TOOL);
const QString SampleDir = QStringLiteral(TESSARO_SAMPLE_MIBS_DIR);

// net-snmp pre-creates only the three roots; everything below iso comes from here.
const char* const SmiModule = R"(TEST-SMI DEFINITIONS ::= BEGIN
org         OBJECT IDENTIFIER ::= { iso 3 }
dod         OBJECT IDENTIFIER ::= { org 6 }
internet    OBJECT IDENTIFIER ::= { dod 1 }
private     OBJECT IDENTIFIER ::= { internet 4 }
enterprises OBJECT IDENTIFIER ::= { private 1 }
testCcitt   OBJECT IDENTIFIER ::= { ccitt 42 }
testJoint   OBJECT IDENTIFIER ::= { joint-iso-ccitt 42 }
END
)";

const char* const TestModule = R"(TEST-MIB DEFINITIONS ::= BEGIN

IMPORTS
    enterprises FROM TEST-SMI;

testMIB MODULE-IDENTITY
    LAST-UPDATED "202403150930Z"
    ORGANIZATION "Tessaro"
    CONTACT-INFO "nobody"
    DESCRIPTION  "A module made up for the builder test."
    ::= { enterprises 99999 }

testObjects       OBJECT IDENTIFIER ::= { testMIB 1 }
testNotifications OBJECT IDENTIFIER ::= { testMIB 2 }

testTable OBJECT-TYPE
    SYNTAX      SEQUENCE OF TestEntry
    MAX-ACCESS  not-accessible
    STATUS      current
    DESCRIPTION "A table of things."
    ::= { testObjects 1 }

testEntry OBJECT-TYPE
    SYNTAX      TestEntry
    MAX-ACCESS  not-accessible
    STATUS      current
    DESCRIPTION "One thing."
    INDEX       { testIndex }
    ::= { testTable 1 }

TestEntry ::= SEQUENCE {
    testIndex Integer32,
    testState INTEGER,
    testLevel Integer32,
    testName  OCTET STRING
}

testIndex OBJECT-TYPE
    SYNTAX      Integer32 (1..2147483647)
    MAX-ACCESS  not-accessible
    STATUS      current
    DESCRIPTION "The thing's number."
    ::= { testEntry 1 }

testState OBJECT-TYPE
    SYNTAX      INTEGER { stopped(0), idle(1), running(2), failed(-3) }
    MAX-ACCESS  read-write
    STATUS      current
    DESCRIPTION "What the thing does."
    ::= { testEntry 2 }

testLevel OBJECT-TYPE
    SYNTAX      Integer32 (-5..5 | 10..20)
    MAX-ACCESS  read-create
    STATUS      current
    DESCRIPTION "How high the thing is."
    ::= { testEntry 3 }

testName OBJECT-TYPE
    SYNTAX      OCTET STRING (SIZE (0..32))
    MAX-ACCESS  read-only
    STATUS      current
    DESCRIPTION "The thing's name."
    ::= { testEntry 4 }

testCounter OBJECT-TYPE
    SYNTAX      Counter64
    MAX-ACCESS  read-only
    STATUS      current
    DESCRIPTION "How often."
    ::= { testObjects 2 }

testEvent NOTIFICATION-TYPE
    OBJECTS     { testState }
    STATUS      current
    DESCRIPTION "Something happened."
    ::= { testNotifications 1 }

END
)";

const char* const UnknownImportModule = R"(TEST-UNKNOWN-MIB DEFINITIONS ::= BEGIN
IMPORTS
    testMIB FROM TEST-MIB
    NowhereThing FROM NOWHERE-MIB;
testExtra OBJECT IDENTIFIER ::= { testMIB 3 }
END
)";

const char* const BrokenModule = R"(TEST-BROKEN-MIB DEFINITIONS ::= BEGIN
IMPORTS
    enterprises FROM TEST-SMI;
brokenThing OBJECT IDENTIFIER ::= { enterprises 777 }
brokenObject OBJECT-TYPE
    SYNTAX      Integer32
    MAX-ACCESS  read-only
    STATUS      current
    DESCRIPTION "Its OID value lacks the closing brace."
    ::= { brokenThing 1
brokenOther OBJECT IDENTIFIER ::= { brokenThing 2 }
END
)";

const char* const NotAModule = "These are notes about MIB modules,\nnot a MIB module.\n";

// A module that the tool must never see: it is only reachable through the user's net-snmp
// set-up (MIBS, MIBDIRS, snmp.conf, ~/.snmp/mibs).
const char* const StrayModule = R"(TEST-STRAY-MIB DEFINITIONS ::= BEGIN
strayThing OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 31337 }
END
)";

const char* const DateModule = R"(TEST-DATE-MIB DEFINITIONS ::= BEGIN
IMPORTS
    enterprises FROM TEST-SMI;
%1
dateChild OBJECT IDENTIFIER ::= { dateMIB 1 }
END
)";

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"MIBS", "MIBDIRS", "MIBFILES", "SNMPCONFPATH"})
        environment.remove(QLatin1String(name));
    return environment;
}

// net-snmp's parser leaks what it had allocated for a definition it cannot parse, which a
// sanitizer build reports as the tool's leak. Runs on such modules let leaks allocated
// inside libnetsnmp through; every other run keeps the full leak check.
QProcessEnvironment brokenInputEnvironment()
{
    static QTemporaryFile file(QDir::tempPath() + QStringLiteral("/mibdb-lsan-XXXXXX.supp"));
    if (!file.isOpen() && file.open()) {
        file.write("leak:libnetsnmp.so\n");
        file.flush();
    }
    QProcessEnvironment environment = cleanEnvironment();
    environment.insert(QStringLiteral("LSAN_OPTIONS"),
                       QStringLiteral("suppressions=%1:print_suppressions=0").arg(file.fileName()));
    return environment;
}

ToolRun runTool(const QStringList& arguments, const QProcessEnvironment& environment = cleanEnvironment(),
                const QString& workingDirectory = QString())
{
    ToolRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(Tool, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        run.err = QStringLiteral("tessaro-mibdb did not finish");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

struct NodeRow
{
    qint64 id = 0;
    QVariant parentId;
    QString name;
    qint64 number = 0;
    int type = 0;
    int access = 0;
    QString module;
    QString filename;
    qint64 lastUpdated = 0;
    QVariant description;
};

// Everything a built database holds, read through its own connection so that MibDatabase
// (on Qt's default connection) is free for the version checks.
class DbContent final
{
public:
    bool load(const QString& fileName)
    {
        static int serial = 0;
        const QString connection = QStringLiteral("mibdb-tool-test-%1").arg(++serial);
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(fileName);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            if (db.open()) {
                ok = readNodes(db) && readValues(db);
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(connection);
        return ok;
    }

    const NodeRow* find(const QString& numericPath) const
    {
        for (const NodeRow& node : m_nodes) {
            if (path(node.id) == numericPath)
                return &node;
        }
        return nullptr;
    }

    const NodeRow* findByName(const QString& name) const
    {
        for (const NodeRow& node : m_nodes) {
            if (node.name == name)
                return &node;
        }
        return nullptr;
    }

    // The numeric path found by following parent_id up to a node without parent.
    QString path(qint64 id) const
    {
        QStringList numbers;
        for (int guard = 0; guard < 200; ++guard) {
            const auto it = m_nodes.constFind(id);
            if (it == m_nodes.cend())
                return QStringLiteral("<dangling %1>").arg(id);
            numbers.prepend(QString::number(it->number));
            if (it->parentId.isNull())
                return numbers.join(QLatin1Char('.'));
            id = it->parentId.toLongLong();
        }
        return QStringLiteral("<loop>");
    }

    QStringList enums(qint64 id) const { return m_enums.values(id); }
    QStringList ranges(qint64 id) const { return m_ranges.values(id); }
    const QHash<qint64, NodeRow>& nodes() const { return m_nodes; }
    QStringList modules() const
    {
        QStringList result;
        for (const NodeRow& node : m_nodes) {
            if (!result.contains(node.module))
                result << node.module;
        }
        return result;
    }

    // Every row of the three content tables, in a fixed order, for comparing builds.
    QStringList dump() const { return m_dump; }

private:
    bool readNodes(const QSqlDatabase& db)
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT id, parent_id, name, number, type, access, module, filename, "
                                       "last_updated, description FROM node ORDER BY id")))
            return false;
        while (query.next()) {
            NodeRow node;
            node.id = query.value(0).toLongLong();
            node.parentId = query.value(1);
            node.name = query.value(2).toString();
            node.number = query.value(3).toLongLong();
            node.type = query.value(4).toInt();
            node.access = query.value(5).toInt();
            node.module = query.value(6).toString();
            node.filename = query.value(7).toString();
            node.lastUpdated = query.value(8).toLongLong();
            node.description = query.value(9);
            m_nodes.insert(node.id, node);
            QStringList fields;
            for (int i = 0; i < 10; ++i)
                fields << (query.value(i).isNull() ? QStringLiteral("NULL") : query.value(i).toString());
            m_dump << fields.join(QLatin1Char('|'));
        }
        return true;
    }

    bool readValues(const QSqlDatabase& db)
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT node_id, label, value FROM enum ORDER BY node_id, value")))
            return false;
        while (query.next()) {
            const QString text = QStringLiteral("%1=%2").arg(query.value(1).toString()).arg(query.value(2).toInt());
            m_enums.insert(query.value(0).toLongLong(), text);
            m_dump << QStringLiteral("enum|%1|").arg(query.value(0).toLongLong()) + text;
        }
        if (!query.exec(QStringLiteral("SELECT node_id, low, high FROM range ORDER BY node_id, low")))
            return false;
        while (query.next()) {
            const QString text = QStringLiteral("%1..%2").arg(query.value(1).toInt()).arg(query.value(2).toInt());
            m_ranges.insert(query.value(0).toLongLong(), text);
            m_dump << QStringLiteral("range|%1|").arg(query.value(0).toLongLong()) + text;
        }
        return true;
    }

    QHash<qint64, NodeRow> m_nodes;
    QMultiHash<qint64, QString> m_enums;
    QMultiHash<qint64, QString> m_ranges;
    QStringList m_dump;
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Descriptors that a module defines with an OID value under iso, found with a rough
// reading of the text: strings and comments are blanked first.
QHash<QString, QStringList> descriptorsByModule(const QString& folder)
{
    static const QRegularExpression blank(QStringLiteral("\"[^\"]*\"|--[^\\n]*"));
    static const QRegularExpression header(QStringLiteral("([A-Za-z][\\w-]*)\\s+DEFINITIONS"));
    static const QRegularExpression definition(
        QStringLiteral("(?m)^\\s*([a-z][\\w-]*)\\s+(?:OBJECT\\s+IDENTIFIER|OBJECT-TYPE|MODULE-IDENTITY|OBJECT-IDENTITY|"
                       "NOTIFICATION-TYPE|OBJECT-GROUP|NOTIFICATION-GROUP|MODULE-COMPLIANCE|AGENT-CAPABILITIES|"
                       "TRAP-TYPE)\\b[^:]*?::=\\s*\\{\\s*([\\w-]+)"));
    QHash<QString, QStringList> result;
    const QStringList files = QDir(folder).entryList(QDir::Files);
    for (const QString& file : files) {
        QString text = QString::fromLatin1(readFile(QDir(folder).filePath(file)));
        text.replace(blank, QStringLiteral(" "));
        const QString module = header.match(text).captured(1);
        QStringList& descriptors = result[module];
        QRegularExpressionMatchIterator it = definition.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            const QString parent = match.captured(2);
            if (parent != QLatin1String("0") && parent != QLatin1String("2") && parent != QLatin1String("ccitt") &&
                parent != QLatin1String("joint-iso-ccitt"))
                descriptors << match.captured(1);
        }
    }
    return result;
}

} // namespace

class TestMibdbTool final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fixtureNodes_data();
    void fixtureNodes();
    void fixtureTreeShape();
    void fixtureEnumsAndRanges_data();
    void fixtureEnumsAndRanges();
    void fixtureReport();

    void version_data();
    void version();
    void lastUpdated_data();
    void lastUpdated();
    void importsResolveInAnyOrder();

    void badInput_data();
    void badInput();
    void allowEmpty_data();
    void allowEmpty();
    void environmentHasNoInfluence_data();
    void environmentHasNoInfluence();

    void package();
    void packageRefusesBadDatabase_data();
    void packageRefusesBadDatabase();


    void sampleModulesAllLoad();
    void sampleNodes_data();
    void sampleNodes();

private:
    QString writeFixtureModules(const QString& folder, const QStringList& which);
    bool buildSample();

    QTemporaryDir m_dir;
    ToolRun m_fixtureRun;
    DbContent m_fixture;
    bool m_sampleBuilt = false;
    ToolRun m_sampleRun;
    DbContent m_sample;
};

QString TestMibdbTool::writeFixtureModules(const QString& folder, const QStringList& which)
{
    // File names sort so that importers come before the modules they import.
    const QHash<QString, QPair<QString, const char*>> modules{
        {QStringLiteral("smi"), {QStringLiteral("z-smi.mib"), SmiModule}},
        {QStringLiteral("test"), {QStringLiteral("a-test.mib"), TestModule}},
        {QStringLiteral("unknown"), {QStringLiteral("m-unknown.mib"), UnknownImportModule}},
        {QStringLiteral("broken"), {QStringLiteral("b-broken.mib"), BrokenModule}},
        {QStringLiteral("notes"), {QStringLiteral("notes.txt"), NotAModule}},
    };
    QDir().mkpath(folder);
    for (const QString& key : which) {
        const auto module = modules.value(key);
        if (!writeFile(QDir(folder).filePath(module.first), QByteArray(module.second)))
            return {};
    }
    return folder;
}

void TestMibdbTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo(Tool).isExecutable(), qPrintable(Tool));
    const QString input =
        writeFixtureModules(m_dir.filePath(QStringLiteral("fixture")),
                            {QStringLiteral("smi"), QStringLiteral("test"), QStringLiteral("unknown")});
    QVERIFY(!input.isEmpty());
    m_fixtureRun =
        runTool({QStringLiteral("build"), QStringLiteral("-o"), m_dir.filePath(QStringLiteral("fixture.db")), input});
    QVERIFY2(m_fixtureRun.exitCode == 0, qPrintable(m_fixtureRun.err));
    QVERIFY(m_fixture.load(m_dir.filePath(QStringLiteral("fixture.db"))));
}

void TestMibdbTool::fixtureNodes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("access");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<qint64>("lastUpdated");
    QTest::addColumn<QString>("description");

    const QString smi = QStringLiteral("TEST-SMI");
    const QString smiFile = QStringLiteral("z-smi.mib");
    const QString test = QStringLiteral("TEST-MIB");
    const QString testFile = QStringLiteral("a-test.mib");
    const qint64 updated = 1710495000; // 2024-03-15 09:30 UTC
    const QString base = QStringLiteral("1.3.6.1.4.1.99999");

    // ids are handed out in pre-order, children by ascending number.
    QTest::newRow("iso") << QStringLiteral("1") << qint64(1) << QStringLiteral("iso") << 0 << 0 << QString()
                         << QString() << qint64(0) << QString();
    QTest::newRow("org") << QStringLiteral("1.3") << qint64(2) << QStringLiteral("org") << 0 << 0 << smi << smiFile
                         << qint64(0) << QString();
    QTest::newRow("enterprises") << QStringLiteral("1.3.6.1.4.1") << qint64(6) << QStringLiteral("enterprises") << 0
                                 << 0 << smi << smiFile << qint64(0) << QString();
    QTest::newRow("module identity") << base << qint64(7) << QStringLiteral("testMIB") << int(Oid::ModuleId) << 0
                                     << test << testFile << updated
                                     << QStringLiteral("A module made up for the builder test.");
    QTest::newRow("object identifier") << base + QStringLiteral(".1") << qint64(8) << QStringLiteral("testObjects")
                                       << int(Oid::Other) << 0 << test << testFile << updated << QString();
    QTest::newRow("table") << base + QStringLiteral(".1.1") << qint64(9) << QStringLiteral("testTable")
                           << int(Oid::Other) << int(Oid::NoAccess) << test << testFile << updated
                           << QStringLiteral("A table of things.");
    QTest::newRow("entry") << base + QStringLiteral(".1.1.1") << qint64(10) << QStringLiteral("testEntry")
                           << int(Oid::Other) << int(Oid::NoAccess) << test << testFile << updated
                           << QStringLiteral("One thing.");
    QTest::newRow("index column") << base + QStringLiteral(".1.1.1.1") << qint64(11) << QStringLiteral("testIndex")
                                  << int(Oid::Integer32) << int(Oid::NoAccess) << test << testFile << updated
                                  << QStringLiteral("The thing's number.");
    QTest::newRow("enumerated column") << base + QStringLiteral(".1.1.1.2") << qint64(12) << QStringLiteral("testState")
                                       << int(Oid::Integer) << int(Oid::ReadWrite) << test << testFile << updated
                                       << QStringLiteral("What the thing does.");
    QTest::newRow("ranged column") << base + QStringLiteral(".1.1.1.3") << qint64(13) << QStringLiteral("testLevel")
                                   << int(Oid::Integer32) << int(Oid::Create) << test << testFile << updated
                                   << QStringLiteral("How high the thing is.");
    QTest::newRow("sized column") << base + QStringLiteral(".1.1.1.4") << qint64(14) << QStringLiteral("testName")
                                  << int(Oid::OctetString) << int(Oid::ReadOnly) << test << testFile << updated
                                  << QStringLiteral("The thing's name.");
    QTest::newRow("scalar") << base + QStringLiteral(".1.2") << qint64(15) << QStringLiteral("testCounter")
                            << int(Oid::Counter64) << int(Oid::ReadOnly) << test << testFile << updated
                            << QStringLiteral("How often.");
    QTest::newRow("notification") << base + QStringLiteral(".2.1") << qint64(17) << QStringLiteral("testEvent")
                                  << int(Oid::NotifyType) << 0 << test << testFile << updated
                                  << QStringLiteral("Something happened.");
    QTest::newRow("module with a missing import")
        << base + QStringLiteral(".3") << qint64(18) << QStringLiteral("testExtra") << int(Oid::Other) << 0
        << QStringLiteral("TEST-UNKNOWN-MIB") << QStringLiteral("m-unknown.mib") << qint64(0) << QString();
}

void TestMibdbTool::fixtureNodes()
{
    QFETCH(QString, path);
    QFETCH(qint64, id);
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, access);
    QFETCH(QString, module);
    QFETCH(QString, filename);
    QFETCH(qint64, lastUpdated);
    QFETCH(QString, description);

    const NodeRow* node = m_fixture.find(path);
    QVERIFY2(node, qPrintable(path));
    QCOMPARE(node->id, id);
    QCOMPARE(node->name, name);
    QCOMPARE(node->type, type);
    QCOMPARE(node->access, access);
    QCOMPARE(node->module, module);
    QCOMPARE(node->filename, filename);
    QCOMPARE(node->lastUpdated, lastUpdated);
    if (description.isEmpty())
        QVERIFY(node->description.toString().isEmpty());
    else
        QCOMPARE(node->description.toString(), description);
}

void TestMibdbTool::fixtureTreeShape()
{
    const QHash<qint64, NodeRow>& nodes = m_fixture.nodes();
    QCOMPARE(nodes.size(), 18);
    int roots = 0;
    for (const NodeRow& node : nodes) {
        QVERIFY(node.id >= 1 && node.id <= nodes.size());
        if (node.parentId.isNull()) {
            ++roots;
            QCOMPARE(node.name, QStringLiteral("iso"));
            continue;
        }
        // Pre-order: a parent always comes first.
        QVERIFY2(node.parentId.toLongLong() < node.id, qPrintable(node.name));
        QVERIFY(nodes.contains(node.parentId.toLongLong()));
    }
    QCOMPARE(roots, 1);
    // Only the iso tree is kept: the program shows a single tree.
    QVERIFY(!m_fixture.findByName(QStringLiteral("testCcitt")));
    QVERIFY(!m_fixture.findByName(QStringLiteral("testJoint")));
    QVERIFY2(m_fixtureRun.out.contains(QStringLiteral("left out")), qPrintable(m_fixtureRun.out));
}

void TestMibdbTool::fixtureEnumsAndRanges_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("enums");
    QTest::addColumn<QStringList>("ranges");

    QTest::newRow("enumeration with zero and negative values")
        << QStringLiteral("testState")
        << QStringList{QStringLiteral("failed=-3"), QStringLiteral("stopped=0"), QStringLiteral("idle=1"),
                       QStringLiteral("running=2")}
        << QStringList();
    QTest::newRow("range up to the largest Integer32")
        << QStringLiteral("testIndex") << QStringList() << QStringList{QStringLiteral("1..2147483647")};
    QTest::newRow("two ranges") << QStringLiteral("testLevel") << QStringList()
                                << QStringList{QStringLiteral("-5..5"), QStringLiteral("10..20")};
    QTest::newRow("size") << QStringLiteral("testName") << QStringList() << QStringList{QStringLiteral("0..32")};
    QTest::newRow("neither") << QStringLiteral("testCounter") << QStringList() << QStringList();
}

void TestMibdbTool::fixtureEnumsAndRanges()
{
    QFETCH(QString, name);
    QFETCH(QStringList, enums);
    QFETCH(QStringList, ranges);

    const NodeRow* node = m_fixture.findByName(name);
    QVERIFY(node);
    QCOMPARE(sorted(m_fixture.enums(node->id)), sorted(enums));
    QCOMPARE(sorted(m_fixture.ranges(node->id)), sorted(ranges));
}

void TestMibdbTool::fixtureReport()
{
    // A module importing from a module nobody has is reported, and still contributes.
    QVERIFY2(m_fixtureRun.err.contains(QStringLiteral("TEST-UNKNOWN-MIB")), qPrintable(m_fixtureRun.err));
    QVERIFY2(m_fixtureRun.err.contains(QStringLiteral("Cannot find module (NOWHERE-MIB)")),
             qPrintable(m_fixtureRun.err));
    QVERIFY2(m_fixtureRun.out.contains(QStringLiteral("2 modules loaded, 1 with problems")),
             qPrintable(m_fixtureRun.out));
    QVERIFY2(m_fixtureRun.out.contains(QStringLiteral("18 nodes")), qPrintable(m_fixtureRun.out));
}

void TestMibdbTool::version_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("major"); // -1: today
    QTest::addColumn<int>("minor");

    QTest::newRow("defaults") << QStringList() << -1 << 0;
    QTest::newRow("both given") << QStringList{QStringLiteral("--major"), QStringLiteral("3"),
                                               QStringLiteral("--minor"), QStringLiteral("7")}
                                << 3 << 7;
    QTest::newRow("minor only") << QStringList{QStringLiteral("--minor"), QStringLiteral("12")} << -1 << 12;
}

void TestMibdbTool::version()
{
    QFETCH(QStringList, options);
    QFETCH(int, major);
    QFETCH(int, minor);

    const QString out = m_dir.filePath(QStringLiteral("version.db"));
    QFile::remove(out);
    const int before = MibDatabase::todayVersion();
    const ToolRun run = runTool(QStringList{QStringLiteral("build"), QStringLiteral("-o"), out} + options +
                                QStringList{m_dir.filePath(QStringLiteral("fixture"))});
    const int after = MibDatabase::todayVersion();
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    MibDatabase database;
    database.setFileName(out);
    int storedMajor = 0;
    int storedMinor = 0;
    QCOMPARE(database.check(&storedMajor, &storedMinor), int(MibDatabase::Usable));
    QCOMPARE(database.open(true), int(MibDatabase::Usable));
    int format = 0;
    QVERIFY(database.readVersion(&format, &storedMajor, &storedMinor));
    database.close();
    QCOMPARE(format, 1);
    if (major < 0)
        QVERIFY2(storedMajor == before || storedMajor == after, qPrintable(QString::number(storedMajor)));
    else
        QCOMPARE(storedMajor, major);
    QCOMPARE(storedMinor, minor);
}

void TestMibdbTool::lastUpdated_data()
{
    QTest::addColumn<QString>("identity");
    QTest::addColumn<qint64>("expected");

    const QString identity = QStringLiteral(
        "dateMIB MODULE-IDENTITY\n    LAST-UPDATED \"%1\"\n    ORGANIZATION \"o\"\n    CONTACT-INFO \"c\"\n"
        "    DESCRIPTION \"d\"\n    ::= { enterprises 4242 }\n");
    QTest::newRow("four-digit year") << identity.arg(QStringLiteral("202403150930Z")) << qint64(1710495000);
    QTest::newRow("two-digit year means 19xx") << identity.arg(QStringLiteral("9505241811Z")) << qint64(801339060);
    QTest::newRow("year 00 is 1900") << identity.arg(QStringLiteral("0001010000Z")) << qint64(-2208988800);
    QTest::newRow("leap day") << identity.arg(QStringLiteral("200002291200Z")) << qint64(951825600);
    QTest::newRow("month 13") << identity.arg(QStringLiteral("202413150930Z")) << qint64(0);
    QTest::newRow("February 30") << identity.arg(QStringLiteral("202402300930Z")) << qint64(0);
    QTest::newRow("hour 24") << identity.arg(QStringLiteral("202403152430Z")) << qint64(0);
    QTest::newRow("no Z") << identity.arg(QStringLiteral("2024031509300")) << qint64(0);
    QTest::newRow("twelve characters") << identity.arg(QStringLiteral("20240315093Z")) << qint64(0);
    QTest::newRow("clause in a comment is not it")
        << QStringLiteral("-- LAST-UPDATED \"199901010000Z\"\n") + identity.arg(QStringLiteral("202403150930Z"))
        << qint64(1710495000);
    QTest::newRow("no MODULE-IDENTITY") << QStringLiteral("dateMIB OBJECT IDENTIFIER ::= { enterprises 4242 }\n")
                                        << qint64(0);
}

void TestMibdbTool::lastUpdated()
{
    QFETCH(QString, identity);
    QFETCH(qint64, expected);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("in/smi.mib")), SmiModule));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("in/date.mib")),
                      QString::fromLatin1(DateModule).arg(identity).toLatin1()));
    const QString out = dir.filePath(QStringLiteral("date.db"));
    const ToolRun run =
        runTool({QStringLiteral("build"), QStringLiteral("-o"), out, dir.filePath(QStringLiteral("in"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    DbContent content;
    QVERIFY(content.load(out));
    // Every node of the module carries its date, not only the identity node.
    for (const QString& name : {QStringLiteral("dateMIB"), QStringLiteral("dateChild")}) {
        const NodeRow* node = content.findByName(name);
        QVERIFY2(node, qPrintable(name));
        QCOMPARE(node->module, QStringLiteral("TEST-DATE-MIB"));
        QCOMPARE(node->lastUpdated, expected);
    }
    const NodeRow* enterprises = content.findByName(QStringLiteral("enterprises"));
    QVERIFY(enterprises);
    QCOMPARE(enterprises->lastUpdated, qint64(0));
}

void TestMibdbTool::importsResolveInAnyOrder()
{
    // Files named one by one, importer first and last: the result is the same.
    const QString folder = m_dir.filePath(QStringLiteral("fixture"));
    const QStringList files{QDir(folder).filePath(QStringLiteral("m-unknown.mib")),
                            QDir(folder).filePath(QStringLiteral("a-test.mib")),
                            QDir(folder).filePath(QStringLiteral("z-smi.mib"))};
    QStringList reversed = files;
    std::reverse(reversed.begin(), reversed.end());
    for (const QStringList& order : {files, reversed}) {
        const QString out = m_dir.filePath(QStringLiteral("order.db"));
        const ToolRun run = runTool(QStringList{QStringLiteral("build"), QStringLiteral("-o"), out} + order);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        DbContent content;
        QVERIFY(content.load(out));
        QStringList expected = m_fixture.dump();
        QStringList actual = content.dump();
        QCOMPARE(actual, expected);
    }
}

void TestMibdbTool::badInput_data()
{
    QTest::addColumn<QStringList>("modules");
    QTest::addColumn<bool>("existingOutput");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QStringList>("reported");

    QTest::newRow("not a module beside good ones")
        << QStringList{QStringLiteral("notes"), QStringLiteral("smi"), QStringLiteral("test")} << false << true
        << QStringList{QStringLiteral("notes.txt: not a MIB module")};
    QTest::newRow("syntax error beside good ones")
        << QStringList{QStringLiteral("broken"), QStringLiteral("smi"), QStringLiteral("test")} << false << true
        << QStringList{QStringLiteral("TEST-BROKEN-MIB (b-broken.mib)"), QStringLiteral("not compiled")};
    QTest::newRow("only bad input") << QStringList{QStringLiteral("notes"), QStringLiteral("broken")} << false << false
                                    << QStringList{QStringLiteral("notes.txt: not a MIB module"),
                                                   QStringLiteral("TEST-BROKEN-MIB"),
                                                   QStringLiteral("no MIB module could be compiled")};
    QTest::newRow("only bad input, earlier database kept")
        << QStringList{QStringLiteral("notes"), QStringLiteral("broken")} << true << false
        << QStringList{QStringLiteral("no MIB module could be compiled")};
    QTest::newRow("empty folder") << QStringList() << false << false
                                  << QStringList{QStringLiteral("no MIB module could be compiled")};
}

void TestMibdbTool::badInput()
{
    QFETCH(QStringList, modules);
    QFETCH(bool, existingOutput);
    QFETCH(bool, succeeds);
    QFETCH(QStringList, reported);

    QTemporaryDir dir;
    const QString input = writeFixtureModules(dir.filePath(QStringLiteral("in")), modules);
    QVERIFY(!input.isEmpty());
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const QString out = QDir(outDir).filePath(QStringLiteral("MIB.db"));
    const QByteArray earlier("an earlier database");
    if (existingOutput)
        QVERIFY(writeFile(out, earlier));
    else
        QDir().mkpath(outDir);

    const ToolRun run =
        runTool({QStringLiteral("build"), QStringLiteral("-o"), out, input},
                modules.contains(QStringLiteral("broken")) ? brokenInputEnvironment() : cleanEnvironment());
    for (const QString& text : reported)
        QVERIFY2(run.err.contains(text), qPrintable(run.err));

    if (succeeds) {
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        DbContent content;
        QVERIFY(content.load(out));
        QVERIFY(content.findByName(QStringLiteral("testState")));
        // The parser drops a module with a syntax error whole.
        QVERIFY(!content.findByName(QStringLiteral("brokenThing")));
        QCOMPARE(filesIn(outDir), QStringList{QStringLiteral("MIB.db")});
        return;
    }
    QVERIFY(run.exitCode != 0);
    if (existingOutput) {
        QCOMPARE(readFile(out), earlier);
        QCOMPARE(filesIn(outDir), QStringList{QStringLiteral("MIB.db")});
    } else {
        QCOMPARE(filesIn(outDir), QStringList());
    }
}

void TestMibdbTool::allowEmpty_data()
{
    QTest::addColumn<QStringList>("modules"); // empty: no path given at all

    QTest::newRow("no input") << QStringList();
    QTest::newRow("only bad input") << QStringList{QStringLiteral("notes"), QStringLiteral("broken")};
}

void TestMibdbTool::allowEmpty()
{
    QFETCH(QStringList, modules);

    // The default database is built this way on a machine without MIB modules: the program
    // must still find a usable, if empty, database.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("MIB.db"));
    QStringList arguments{QStringLiteral("build"), QStringLiteral("--allow-empty"), QStringLiteral("-o"), out};
    if (!modules.isEmpty())
        arguments << writeFixtureModules(dir.filePath(QStringLiteral("in")), modules);
    const ToolRun run = runTool(arguments, brokenInputEnvironment());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    MibDatabase database;
    database.setFileName(out);
    QCOMPARE(database.check(), int(MibDatabase::Usable));
    DbContent content;
    QVERIFY(content.load(out));
    QCOMPARE(content.nodes().size(), 0);
}

void TestMibdbTool::environmentHasNoInfluence_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<bool>("garbage");

    QTest::newRow("Debian's snmp.conf") << QStringLiteral("mibs :\n") << false;
    QTest::newRow("snmp.conf asking for everything") << QStringLiteral("mibs +ALL\nmibdirs +%1\n") << false;
    QTest::newRow("MIBS and MIBDIRS") << QString() << true;
    QTest::newRow("all at once") << QStringLiteral("mibs +ALL\nmibdirs +%1\n") << true;
}

void TestMibdbTool::environmentHasNoInfluence()
{
    QFETCH(QString, config);
    QFETCH(bool, garbage);

    const QString input = m_dir.filePath(QStringLiteral("fixture"));
    const QStringList arguments{QStringLiteral("build"), QStringLiteral("--major"), QStringLiteral("1"),
                                QStringLiteral("-o")};

    QTemporaryDir dir;
    const QString baselineFile = dir.filePath(QStringLiteral("baseline.db"));
    const ToolRun baselineRun = runTool(arguments + QStringList{baselineFile, input});
    QVERIFY2(baselineRun.exitCode == 0, qPrintable(baselineRun.err));

    // A stray module wherever net-snmp would look for modules of its own accord.
    const QString stray = dir.filePath(QStringLiteral("stray"));
    const QString home = dir.filePath(QStringLiteral("home"));
    QVERIFY(writeFile(QDir(stray).filePath(QStringLiteral("TEST-STRAY-MIB.txt")), StrayModule));
    QVERIFY(writeFile(QDir(home).filePath(QStringLiteral(".snmp/mibs/TEST-STRAY-MIB.txt")), StrayModule));

    QProcessEnvironment environment = cleanEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    if (!config.isEmpty()) {
        const QString confDir = dir.filePath(QStringLiteral("conf"));
        QVERIFY(writeFile(QDir(confDir).filePath(QStringLiteral("snmp.conf")),
                          QString(config).replace(QStringLiteral("%1"), stray).toLatin1()));
        environment.insert(QStringLiteral("SNMPCONFPATH"), confDir);
    }
    if (garbage) {
        environment.insert(QStringLiteral("MIBS"), QStringLiteral("+TEST-STRAY-MIB:NO-SUCH-MIB:ALL"));
        environment.insert(QStringLiteral("MIBDIRS"), QStringLiteral("+/no/such/folder:") + stray);
        environment.insert(QStringLiteral("MIBFILES"), QDir(stray).filePath(QStringLiteral("TEST-STRAY-MIB.txt")));
    }
    const QString outFile = dir.filePath(QStringLiteral("out.db"));
    const ToolRun run = runTool(arguments + QStringList{outFile, input}, environment);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.err, baselineRun.err);

    DbContent baseline;
    DbContent content;
    QVERIFY(baseline.load(baselineFile));
    QVERIFY(content.load(outFile));
    QVERIFY(!content.findByName(QStringLiteral("strayThing")));
    QCOMPARE(content.dump(), baseline.dump());
    // net-snmp keeps index files beside the modules it scans; none may appear.
    QCOMPARE(filesIn(stray), QStringList{QStringLiteral("TEST-STRAY-MIB.txt")});
    QCOMPARE(filesIn(input), filesIn(input).filter(QRegularExpression(QStringLiteral("\\.mib$"))));
    QVERIFY(!QFileInfo::exists(QDir(home).filePath(QStringLiteral(".snmp/mibs/.index"))));
    QVERIFY(!QFileInfo::exists(QDir(home).filePath(QStringLiteral(".snmp/mib_indexes"))));
}

void TestMibdbTool::package()
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("built.db"));
    ToolRun run = runTool({QStringLiteral("build"), QStringLiteral("-o"), db, QStringLiteral("--major"),
                           QStringLiteral("20240501"), QStringLiteral("--minor"), QStringLiteral("3"),
                           m_dir.filePath(QStringLiteral("fixture"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QString outDir = dir.filePath(QStringLiteral("server"));
    run = runTool({QStringLiteral("package"), QStringLiteral("-d"), outDir, db});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(filesIn(outDir), (QStringList{QStringLiteral("MIB.ver"), QStringLiteral("MIB.zip")}));

    const QString archive = QDir(outDir).filePath(QStringLiteral("MIB.zip"));
    QuaZip zip(archive);
    QVERIFY(zip.open(QuaZip::mdUnzip));
    QCOMPARE(zip.getFileNameList(), QStringList{QStringLiteral("MIB.db")});
    QVERIFY(zip.setCurrentFile(QStringLiteral("MIB.db")));
    QuaZipFile entry(&zip);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray extracted = entry.readAll();
    entry.close();
    zip.close();
    QCOMPARE(extracted, readFile(db));

    const QByteArray expected =
        QStringLiteral("DB_VERSION:20240501,3\nDB_FILESIZE:%1\n").arg(QFileInfo(archive).size()).toLatin1();
    QCOMPARE(readFile(QDir(outDir).filePath(QStringLiteral("MIB.ver"))), expected);
}

void TestMibdbTool::packageRefusesBadDatabase_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("sqliteWithoutVersion");

    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("text file") << QByteArray("not a database\n") << false;
    QTest::newRow("SQLite file without version row") << QByteArray() << true;
}

void TestMibdbTool::packageRefusesBadDatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, sqliteWithoutVersion);

    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("candidate.db"));
    if (!content.isEmpty())
        QVERIFY(writeFile(db, content));
    if (sqliteWithoutVersion) {
        const QString connection = QStringLiteral("mibdb-tool-test-plain");
        {
            QSqlDatabase plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            plain.setDatabaseName(db);
            QVERIFY(plain.open());
            QSqlQuery query(plain);
            QVERIFY(query.exec(QStringLiteral("CREATE TABLE node (id INTEGER PRIMARY KEY)")));
            query.finish();
            plain.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    const QString outDir = dir.filePath(QStringLiteral("server"));
    const ToolRun run = runTool({QStringLiteral("package"), QStringLiteral("-d"), outDir, db});
    QVERIFY(run.exitCode != 0);
    QVERIFY2(run.err.contains(db), qPrintable(run.err));
    QCOMPARE(filesIn(outDir), QStringList());
}

bool TestMibdbTool::buildSample()
{
    if (m_sampleBuilt)
        return true;
    const QString out = m_dir.filePath(QStringLiteral("sample.db"));
    m_sampleRun = runTool({QStringLiteral("build"), QStringLiteral("-o"), out, SampleDir});
    m_sampleBuilt = m_sampleRun.exitCode == 0 && m_sample.load(out);
    return m_sampleBuilt;
}

void TestMibdbTool::sampleModulesAllLoad()
{
    if (!QFileInfo(SampleDir).isDir())
        QSKIP("no folder of sample MIB modules");
    QVERIFY2(buildSample(), qPrintable(m_sampleRun.err));
    const int fileCount = QDir(SampleDir).entryList(QDir::Files).size();
    QVERIFY2(m_sampleRun.out.contains(QStringLiteral("%1 modules loaded, 0 with problems, 0 other").arg(fileCount)),
             qPrintable(m_sampleRun.out));
    QVERIFY2(m_sampleRun.err.isEmpty(), qPrintable(m_sampleRun.err));

    // No module lost: every descriptor that only one module defines is there, credited
    // to that module.
    const QHash<QString, QStringList> defined = descriptorsByModule(SampleDir);
    QCOMPARE(defined.size(), fileCount);
    QHash<QString, int> definers;
    for (const QStringList& descriptors : defined) {
        for (const QString& descriptor : descriptors)
            ++definers[descriptor];
    }
    QHash<QString, QString> moduleOf;
    for (const NodeRow& node : m_sample.nodes())
        moduleOf.insert(node.name, node.module);
    const QStringList modulesInDatabase = m_sample.modules();
    int checked = 0;
    for (auto it = defined.cbegin(); it != defined.cend(); ++it) {
        bool ownDescriptor = false;
        for (const QString& descriptor : it.value()) {
            if (definers.value(descriptor) != 1)
                continue;
            ownDescriptor = true;
            ++checked;
            QVERIFY2(moduleOf.contains(descriptor), qPrintable(descriptor));
            QCOMPARE(moduleOf.value(descriptor), it.key());
        }
        if (ownDescriptor)
            QVERIFY2(modulesInDatabase.contains(it.key()), qPrintable(it.key()));
    }
    QVERIFY(checked > 2000);
}

void TestMibdbTool::sampleNodes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("access");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("enumeration"); // one label=value that must be among the node's

    const QString ifMib = QStringLiteral("IF-MIB");
    QTest::newRow("sysDescr") << QStringLiteral("1.3.6.1.2.1.1.1") << QStringLiteral("sysDescr")
                              << int(Oid::OctetString) << int(Oid::ReadOnly) << QStringLiteral("SNMPv2-MIB")
                              << QStringLiteral("A textual description of the entity.") << QString();
    QTest::newRow("sysUpTime") << QStringLiteral("1.3.6.1.2.1.1.3") << QStringLiteral("sysUpTime")
                               << int(Oid::TimeTicks) << int(Oid::ReadOnly) << QStringLiteral("SNMPv2-MIB")
                               << QStringLiteral("The time (in hundredths of a second)") << QString();
    QTest::newRow("ifTable") << QStringLiteral("1.3.6.1.2.1.2.2") << QStringLiteral("ifTable") << int(Oid::Other)
                             << int(Oid::NoAccess) << ifMib << QStringLiteral("A list of interface entries.")
                             << QString();
    QTest::newRow("ifEntry") << QStringLiteral("1.3.6.1.2.1.2.2.1") << QStringLiteral("ifEntry") << int(Oid::Other)
                             << int(Oid::NoAccess) << ifMib << QStringLiteral("An entry containing management")
                             << QString();
    // InterfaceIndex is a textual convention on Integer32.
    QTest::newRow("ifIndex") << QStringLiteral("1.3.6.1.2.1.2.2.1.1") << QStringLiteral("ifIndex")
                             << int(Oid::Integer32) << int(Oid::ReadOnly) << ifMib
                             << QStringLiteral("A unique value, greater than zero") << QString();
    QTest::newRow("ifDescr") << QStringLiteral("1.3.6.1.2.1.2.2.1.2") << QStringLiteral("ifDescr")
                             << int(Oid::OctetString) << int(Oid::ReadOnly) << ifMib
                             << QStringLiteral("A textual string containing information") << QString();
    // IANAifType comes from another module and brings its enumeration along.
    QTest::newRow("ifType") << QStringLiteral("1.3.6.1.2.1.2.2.1.3") << QStringLiteral("ifType") << int(Oid::Integer)
                            << int(Oid::ReadOnly) << ifMib << QStringLiteral("The type of interface.")
                            << QStringLiteral("ethernetCsmacd=6");
    QTest::newRow("ifAdminStatus") << QStringLiteral("1.3.6.1.2.1.2.2.1.7") << QStringLiteral("ifAdminStatus")
                                   << int(Oid::Integer) << int(Oid::ReadWrite) << ifMib
                                   << QStringLiteral("The desired state of the interface.")
                                   << QStringLiteral("testing=3");
    QTest::newRow("ifInOctets") << QStringLiteral("1.3.6.1.2.1.2.2.1.10") << QStringLiteral("ifInOctets")
                                << int(Oid::Counter) << int(Oid::ReadOnly) << ifMib
                                << QStringLiteral("The total number of octets received") << QString();
    QTest::newRow("ifHCInOctets") << QStringLiteral("1.3.6.1.2.1.31.1.1.1.6") << QStringLiteral("ifHCInOctets")
                                  << int(Oid::Counter64) << int(Oid::ReadOnly) << ifMib
                                  << QStringLiteral("The total number of octets received") << QString();
    QTest::newRow("linkDown") << QStringLiteral("1.3.6.1.6.3.1.1.5.3") << QStringLiteral("linkDown")
                              << int(Oid::NotifyType) << 0 << ifMib << QStringLiteral("A linkDown trap signifies")
                              << QString();
    QTest::newRow("ipForwarding") << QStringLiteral("1.3.6.1.2.1.4.1") << QStringLiteral("ipForwarding")
                                  << int(Oid::Integer) << int(Oid::ReadWrite) << QStringLiteral("IP-MIB")
                                  << QStringLiteral("The indication of whether this entity")
                                  << QStringLiteral("forwarding=1");
    QTest::newRow("hrStorageTable") << QStringLiteral("1.3.6.1.2.1.25.2.3") << QStringLiteral("hrStorageTable")
                                    << int(Oid::Other) << int(Oid::NoAccess) << QStringLiteral("HOST-RESOURCES-MIB")
                                    << QStringLiteral("The (conceptual) table of logical storage areas") << QString();
    QTest::newRow("memTotalReal") << QStringLiteral("1.3.6.1.4.1.2021.4.5") << QStringLiteral("memTotalReal")
                                  << int(Oid::Integer32) << int(Oid::ReadOnly) << QStringLiteral("UCD-SNMP-MIB")
                                  << QStringLiteral("The total amount of real/physical memory") << QString();
    QTest::newRow("lmTempSensorsValue") << QStringLiteral("1.3.6.1.4.1.2021.13.16.2.1.3")
                                        << QStringLiteral("lmTempSensorsValue") << int(Oid::Gauge) << int(Oid::ReadOnly)
                                        << QStringLiteral("LM-SENSORS-MIB")
                                        << QStringLiteral("The temperature of this sensor") << QString();
}

void TestMibdbTool::sampleNodes()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, access);
    QFETCH(QString, module);
    QFETCH(QString, description);
    QFETCH(QString, enumeration);

    if (!QFileInfo(SampleDir).isDir())
        QSKIP("no folder of sample MIB modules");
    QVERIFY2(buildSample(), qPrintable(m_sampleRun.err));
    const NodeRow* node = m_sample.find(path);
    QVERIFY2(node, qPrintable(path));
    QCOMPARE(node->name, name);
    QCOMPARE(node->type, type);
    QCOMPARE(node->access, access);
    QCOMPARE(node->module, module);
    QCOMPARE(node->filename, module + QStringLiteral(".txt"));
    QVERIFY2(node->lastUpdated > 0, qPrintable(QString::number(node->lastUpdated)));
    QVERIFY2(node->description.toString().startsWith(description), qPrintable(node->description.toString()));
    if (!enumeration.isEmpty())
        QVERIFY2(m_sample.enums(node->id).contains(enumeration),
                 qPrintable(m_sample.enums(node->id).join(QLatin1Char(','))));
}

QTEST_GUILESS_MAIN(TestMibdbTool)

#include "test_mibdb_tool.moc"
