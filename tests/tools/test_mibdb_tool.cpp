// Runs the tessaro-mibdb command-line tool on MIB modules written here and reads back what it wrote.

#include "mib/MibDatabase.h"
#include "mib/Oid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <JlCompress.h>

#include <algorithm>

namespace {

const QString Tool = QStringLiteral(TESSARO_MIBDB_TOOL);
const QString SampleDir = QStringLiteral(TESSARO_SAMPLE_MIBS_DIR);

// net-snmp pre-creates only the three roots; everything below iso comes from here.
const char* const SmiModule = R"(TEST-SMI DEFINITIONS ::= BEGIN
org OBJECT IDENTIFIER ::= { iso 3 }    dod OBJECT IDENTIFIER ::= { org 6 }    internet OBJECT IDENTIFIER ::= { dod 1 }
private OBJECT IDENTIFIER ::= { internet 4 }    enterprises OBJECT IDENTIFIER ::= { private 1 }
testCcitt OBJECT IDENTIFIER ::= { ccitt 42 }    testJoint OBJECT IDENTIFIER ::= { joint-iso-ccitt 42 }
END
)";

const char* const TestModule = R"(TEST-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM TEST-SMI;
testMIB MODULE-IDENTITY LAST-UPDATED "202403150930Z" ORGANIZATION "Tessaro" CONTACT-INFO "nobody"
    DESCRIPTION "A module made up for the builder test." ::= { enterprises 99999 }
testObjects       OBJECT IDENTIFIER ::= { testMIB 1 }
testNotifications OBJECT IDENTIFIER ::= { testMIB 2 }
testTable OBJECT-TYPE SYNTAX SEQUENCE OF TestEntry MAX-ACCESS not-accessible STATUS current
    DESCRIPTION "A table of things." ::= { testObjects 1 }
testEntry OBJECT-TYPE SYNTAX TestEntry MAX-ACCESS not-accessible STATUS current
    DESCRIPTION "One thing." INDEX { testIndex } ::= { testTable 1 }
TestEntry ::= SEQUENCE { testIndex Integer32, testState INTEGER, testLevel Integer32, testName OCTET STRING }
testIndex OBJECT-TYPE SYNTAX Integer32 (1..2147483647) MAX-ACCESS not-accessible STATUS current
    DESCRIPTION "The thing's number." ::= { testEntry 1 }
testState OBJECT-TYPE SYNTAX INTEGER { stopped(0), idle(1), running(2), failed(-3) } MAX-ACCESS read-write
    STATUS current DESCRIPTION "What the thing does." ::= { testEntry 2 }
testLevel OBJECT-TYPE SYNTAX Integer32 (-5..5 | 10..20) MAX-ACCESS read-create STATUS current
    DESCRIPTION "How high the thing is." ::= { testEntry 3 }
testName OBJECT-TYPE SYNTAX OCTET STRING (SIZE (0..32)) MAX-ACCESS read-only STATUS current
    DESCRIPTION "The thing's name." ::= { testEntry 4 }
testCounter OBJECT-TYPE SYNTAX Counter64 MAX-ACCESS read-only STATUS current
    DESCRIPTION "How often." ::= { testObjects 2 }
testEvent NOTIFICATION-TYPE OBJECTS { testState } STATUS current
    DESCRIPTION "Something happened." ::= { testNotifications 1 }
END
)";

const char* const UnknownImportModule = R"(TEST-UNKNOWN-MIB DEFINITIONS ::= BEGIN
IMPORTS testMIB FROM TEST-MIB NowhereThing FROM NOWHERE-MIB;
testExtra OBJECT IDENTIFIER ::= { testMIB 3 }
END
)";

const char* const BrokenModule = R"(TEST-BROKEN-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM TEST-SMI;
brokenThing OBJECT IDENTIFIER ::= { enterprises 777 }
brokenObject OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current
    DESCRIPTION "Its OID value lacks the closing brace." ::= { brokenThing 1
END
)";

// Only reachable through the user's net-snmp set-up (MIBS, MIBDIRS, snmp.conf, ~/.snmp/mibs).
const char* const StrayModule = "TEST-STRAY-MIB DEFINITIONS ::= BEGIN\n"
                                "strayThing OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 31337 }\nEND\n";

// %1: the LAST-UPDATED value, %2: a digit that tells the modules apart. The commented-out
// clause must never be taken for the value.
const char* const DateModule = R"(TEST-DATE%2-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM TEST-SMI;
-- LAST-UPDATED "199901010000Z"
date%2MIB MODULE-IDENTITY LAST-UPDATED "%1" ORGANIZATION "o" CONTACT-INFO "c" DESCRIPTION "d" ::= { enterprises 424%2 }
date%2Child OBJECT IDENTIFIER ::= { date%2MIB 1 }
END
)";

// %1: a short description, %2: a long one. The commented-out definition must never be taken
// for the real one; the file has CRLF line ends.
const char* const LongDescriptionModule = R"(TEST-LONG-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM TEST-SMI;
longObjects OBJECT IDENTIFIER ::= { enterprises 5151 }
shortThing OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "%1" ::= { longObjects 1 }
-- longThing OBJECT-TYPE SYNTAX Integer32 DESCRIPTION "commented out" ::= { longObjects 2 }
longThing OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "%2" ::= { longObjects 2 }
END
)";

// File names sort so that importers come before the modules they import.
const char* const FixtureFiles[][2] = {
    {"z-smi.mib", SmiModule},
    {"a-test.mib", TestModule},
    {"m-unknown.mib", UnknownImportModule},
    {"b-broken.mib", BrokenModule},
    {"notes.txt", "These are notes about MIB modules,\nnot a MIB module.\n"},
};

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
    static QTemporaryFile file(QDir::tempPath() + "/mibdb-lsan-XXXXXX.supp");
    if (!file.isOpen() && file.open()) {
        file.write("leak:libnetsnmp.so\n");
        file.flush();
    }
    QProcessEnvironment environment = cleanEnvironment();
    environment.insert("LSAN_OPTIONS", QString("suppressions=%1:print_suppressions=0").arg(file.fileName()));
    return environment;
}

ToolRun runTool(const QStringList& arguments, const QProcessEnvironment& environment = cleanEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(Tool, arguments);
    const bool finished = process.waitForFinished(120000); // if not, the process is killed on return
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
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

QString writeFixture(const QString& folder, const QStringList& files)
{
    QDir().mkpath(folder);
    for (const auto& file : FixtureFiles) {
        if (files.contains(file[0]) && !writeFile(folder + '/' + file[0], file[1]))
            return {};
    }
    return folder;
}

// "major.minor" when the program would accept the file, else its status.
QString versionOf(const QString& fileName)
{
    MibDatabase database;
    database.setFileName(fileName);
    int major = 0;
    int minor = 0;
    const int status = database.check(&major, &minor);
    return status == MibDatabase::Usable ? QString("%1.%2").arg(major).arg(minor) : QString("status %1").arg(status);
}

// Every node of a built database by its numeric path, which is found by following parent_id
// (none for a node cut off from the root), with its enumeration ("label=value") and range
// ("low..high") rows in the extra column valueList.
struct DbContent
{
    QHash<QString, QSqlRecord> nodes;
    QStringList dump; // every row in a fixed order, for comparing builds

    bool load(const QString& fileName)
    {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "mibdb-tool-test");
            db.setDatabaseName(fileName);
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
            QSqlQuery query(db);
            ok = db.open() && query.exec(R"(WITH RECURSIVE up(id, at, path, depth) AS (
                    SELECT id, parent_id, number, 0 FROM node UNION ALL
                    SELECT up.id, node.parent_id, node.number || '.' || path, depth + 1
                    FROM up JOIN node ON node.id = up.at WHERE depth < 200)
                SELECT p.path, node.*, v.valueList FROM node
                LEFT JOIN (SELECT id, path FROM up WHERE at IS NULL) AS p ON p.id = node.id
                LEFT JOIN (SELECT node_id, group_concat(v, ' ') AS valueList FROM (
                    SELECT node_id, label || '=' || value AS v FROM enum UNION ALL
                    SELECT node_id, low || '..' || high FROM range ORDER BY 1, 2) GROUP BY node_id) AS v
                ON v.node_id = node.id ORDER BY node.id)");
            while (ok && query.next()) {
                QStringList fields;
                for (int i = 0; i < query.record().count(); ++i)
                    fields << (query.isNull(i) ? QString("NULL") : query.value(i).toString());
                dump << fields.join('|');
                nodes.insert(query.value(0).toString(), query.record());
            }
        }
        QSqlDatabase::removeDatabase("mibdb-tool-test");
        return ok;
    }
};

// Builds the test SMI module and the given files in a folder of dir and loads the database.
ToolRun buildFiles(const QTemporaryDir& dir, const QVector<QPair<QString, QByteArray>>& files, DbContent& content)
{
    bool written = writeFile(dir.filePath("in/smi.mib"), SmiModule);
    for (const auto& file : files)
        written = written && writeFile(dir.filePath("in/" + file.first), file.second);
    ToolRun run = runTool({"build", "-o", dir.filePath("out.db"), dir.filePath("in")});
    if (!written || (run.exitCode == 0 && !content.load(dir.filePath("out.db"))))
        run.exitCode = -1;
    return run;
}

struct Expected
{
    QString path;
    int type;
    int access;
    QString module;
    QString description; // in the sample: how it starts
    QString values;      // as in valueList; in the sample: one of them
};

} // namespace

Q_DECLARE_METATYPE(Expected)

class TestMibdbTool final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nodes_data();
    void nodes();
    void fixtureTree();
    void moduleText();
    void badInput_data();
    void badInput();
    void sameRowsWhateverTheSetUp();
    void package();
    void sampleModules();

private:
    QTemporaryDir m_dir;
    QString m_fixtureDir;
    ToolRun m_fixtureRun;
    DbContent m_fixture;
    QStringList m_today; // the default version, before and after the fixture build
    bool m_sampleBuilt = false;
    ToolRun m_sampleRun;
    DbContent m_sample;
};

void TestMibdbTool::initTestCase()
{
    QVERIFY2(QFileInfo(Tool).isExecutable(), qPrintable(Tool));
    if (QFileInfo(SampleDir).isDir()) {
        m_sampleRun = runTool({"build", "-o", m_dir.filePath("sample.db"), SampleDir});
        m_sampleBuilt = m_sampleRun.exitCode == 0 && m_sample.load(m_dir.filePath("sample.db"));
    }
    m_fixtureDir = writeFixture(m_dir.filePath("fixture"), {"z-smi.mib", "a-test.mib", "m-unknown.mib"});
    m_today << QString("%1.0").arg(MibDatabase::todayVersion());
    m_fixtureRun = runTool({"build", "-o", m_dir.filePath("fixture.db"), m_fixtureDir});
    m_today << QString("%1.0").arg(MibDatabase::todayVersion());
    QVERIFY2(m_fixtureRun.exitCode == 0, qPrintable(m_fixtureRun.err));
    QVERIFY(m_fixture.load(m_dir.filePath("fixture.db")));
}

void TestMibdbTool::nodes_data()
{
    QTest::addColumn<bool>("sample"); // else the fixture
    QTest::addColumn<Expected>("expected");

    bool sample = false;
    auto addRow = [&sample](const char* name, const QString& path, int type, int access, const QString& module,
                            const QString& description = {}, const QString& values = {}) {
        QTest::newRow(name) << sample << Expected{path, type, access, module, description, values};
    };
    const QString base = "1.3.6.1.4.1.99999";
    const QString test = "TEST-MIB";
    addRow("iso", "1", Oid::Other, 0, "");
    addRow("enterprises", "1.3.6.1.4.1", Oid::Other, 0, "TEST-SMI");
    addRow("testMIB", base, Oid::ModuleId, 0, test, "A module made up for the builder test.");
    addRow("testTable", base + ".1.1", Oid::Other, Oid::NoAccess, test, "A table of things.");
    addRow("testIndex", base + ".1.1.1.1", Oid::Integer32, Oid::NoAccess, test, "The thing's number.", "1..2147483647");
    addRow("testState", base + ".1.1.1.2", Oid::Integer, Oid::ReadWrite, test, "What the thing does.",
           "failed=-3 idle=1 running=2 stopped=0");
    addRow("testLevel", base + ".1.1.1.3", Oid::Integer32, Oid::Create, test, "How high the thing is.", "-5..5 10..20");
    addRow("testName", base + ".1.1.1.4", Oid::OctetString, Oid::ReadOnly, test, "The thing's name.", "0..32");
    addRow("testCounter", base + ".1.2", Oid::Counter64, Oid::ReadOnly, test, "How often.");
    addRow("testEvent", base + ".2.1", Oid::NotifyType, 0, test, "Something happened.");
    addRow("testExtra", base + ".3", Oid::Other, 0, "TEST-UNKNOWN-MIB"); // its other import is missing

    sample = true;
    const QString mib2 = "1.3.6.1.2.1.";
    // SNMPv2-MIB, not RFC1213-MIB, defines the system group; IP-MIB wins over both for ipForwarding.
    addRow("sysDescr", mib2 + "1.1", Oid::OctetString, Oid::ReadOnly, "SNMPv2-MIB", "A textual description");
    addRow("sysUpTime", mib2 + "1.3", Oid::TimeTicks, Oid::ReadOnly, "SNMPv2-MIB", "The time (in hundredths");
    addRow("ipForwarding", mib2 + "4.1", Oid::Integer, Oid::ReadWrite, "IP-MIB", "The indication", "forwarding=1");
    addRow("ifTable", mib2 + "2.2", Oid::Other, Oid::NoAccess, "IF-MIB", "A list of interface entries.");
    // InterfaceIndex is a textual convention on Integer32.
    addRow("ifIndex", mib2 + "2.2.1.1", Oid::Integer32, Oid::ReadOnly, "IF-MIB", "A unique value");
    // IANAifType comes from another module and brings its enumeration along.
    addRow("ifType", mib2 + "2.2.1.3", Oid::Integer, Oid::ReadOnly, "IF-MIB", "The type of", "ethernetCsmacd=6");
    addRow("ifInOctets", mib2 + "2.2.1.10", Oid::Counter, Oid::ReadOnly, "IF-MIB", "The total number of octets");
    addRow("linkDown", "1.3.6.1.6.3.1.1.5.3", Oid::NotifyType, 0, "IF-MIB", "A linkDown trap signifies");
    addRow("lmTempSensorsValue", "1.3.6.1.4.1.2021.13.16.2.1.3", Oid::Gauge, Oid::ReadOnly, "LM-SENSORS-MIB",
           "The temperature of this sensor");
}

void TestMibdbTool::nodes()
{
    QFETCH(bool, sample);
    QFETCH(Expected, expected);

    if (sample && !QFileInfo(SampleDir).isDir())
        QSKIP("no folder of sample MIB modules");
    QVERIFY2(!sample || m_sampleBuilt, qPrintable(m_sampleRun.err));
    const DbContent& content = sample ? m_sample : m_fixture;
    QVERIFY2(content.nodes.contains(expected.path), qPrintable(expected.path));
    const QSqlRecord node = content.nodes.value(expected.path);
    QCOMPARE(node.value("name").toString(), QString(QTest::currentDataTag()));
    QCOMPARE(node.value("type").toInt(), expected.type);
    QCOMPARE(node.value("access").toInt(), expected.access);
    QCOMPARE(node.value("module").toString(), expected.module);
    const QString description = node.value("description").toString();
    const QString values = node.value("valueList").toString();
    if (sample) {
        QVERIFY2(node.value("last_updated").toLongLong() > 0, qPrintable(node.value("last_updated").toString()));
        QVERIFY2(description.startsWith(expected.description), qPrintable(description));
        QVERIFY2(values.split(' ').contains(expected.values) || expected.values.isEmpty(), qPrintable(values));
        return;
    }
    const QHash<QString, QString> files{
        {"TEST-SMI", "z-smi.mib"}, {"TEST-MIB", "a-test.mib"}, {"TEST-UNKNOWN-MIB", "m-unknown.mib"}};
    QCOMPARE(node.value("filename").toString(), files.value(expected.module));
    QCOMPARE(node.value("last_updated").toLongLong(), expected.module == "TEST-MIB" ? qint64(1710495000) : qint64(0));
    QCOMPARE(description, expected.description);
    QCOMPARE(values, expected.values);
}

void TestMibdbTool::fixtureTree()
{
    const QString version = versionOf(m_dir.filePath("fixture.db"));
    QVERIFY2(m_today.contains(version), qPrintable(version));
    // Only the iso tree is kept; ids number its nodes in pre-order, children by ascending number.
    QCOMPARE(m_fixture.nodes.size(), 18);
    QVector<QPair<QVector<qint64>, qint64>> order; // numeric path, id
    for (auto it = m_fixture.nodes.cbegin(); it != m_fixture.nodes.cend(); ++it) {
        QVector<qint64> numbers;
        for (const QString& number : it.key().split('.'))
            numbers << number.toLongLong();
        QVERIFY2(numbers.first() == 1, qPrintable(it.key()));
        order.append({numbers, it->value("id").toLongLong()});
    }
    std::sort(order.begin(), order.end());
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(order.at(i).second, qint64(i + 1));
    // The module importing from a module nobody has is reported, and still contributes.
    QVERIFY2(m_fixtureRun.err.contains("TEST-UNKNOWN-MIB") && m_fixtureRun.err.contains("NOWHERE-MIB"),
             qPrintable(m_fixtureRun.err));
    QVERIFY2(m_fixtureRun.out.contains("2 modules loaded, 1 with problems"), qPrintable(m_fixtureRun.out));
}

void TestMibdbTool::moduleText()
{
    // Each date in a module of its own; a four-digit year is in the fixture's module.
    const QList<QPair<QString, qint64>> dates{{"9505241811Z", 801339060},   // a two-digit year means 19xx
                                              {"200002291200Z", 951825600}, // leap day
                                              {"202402300930Z", 0},         // February 30
                                              {"202403152430Z", 0},         // hour 24
                                              {"2024031509300", 0}};        // no Z
    // A description far beyond the 4,095 bytes net-snmp's parser keeps of a quoted string; each
    // paragraph has a "--" that is text, not a comment.
    const QString paragraph = "Paragraph -- with dashes, then an indented line\n      ending here.\n";
    QVector<QPair<QString, QByteArray>> files{
        {"long.mib",
         QString(LongDescriptionModule).arg(paragraph, paragraph.repeated(90)).replace("\n", "\r\n").toUtf8()}};
    for (int i = 0; i < dates.size(); ++i)
        files.append({QString("date%1.mib").arg(i), QString(DateModule).arg(dates.at(i).first).arg(i).toLatin1()});
    QTemporaryDir dir;
    DbContent content;
    const ToolRun run = buildFiles(dir, files, content);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    // Every node of a module carries its date, and only those.
    QCOMPARE(content.nodes.value("1.3.6.1.4.1").value("last_updated").toLongLong(), qint64(0));
    for (int i = 0; i < dates.size(); ++i) {
        for (const QString& path : {QString("1.3.6.1.4.1.424%1").arg(i), QString("1.3.6.1.4.1.424%1.1").arg(i)}) {
            const qint64 date = content.nodes.value(path).value("last_updated").toLongLong();
            QVERIFY2(date == dates.at(i).second, qPrintable(path + ": " + QString::number(date)));
        }
    }

    const QString shortText = content.nodes.value("1.3.6.1.4.1.5151.1").value("description").toString();
    QVERIFY(shortText.startsWith("Paragraph -- with dashes"));
    QCOMPARE(content.nodes.value("1.3.6.1.4.1.5151.2").value("description").toString(), shortText.repeated(90));
    if (!m_sampleBuilt)
        return;
    const QString ifTestTable = m_sample.nodes.value("1.3.6.1.2.1.31.1.3").value("description").toString();
    QVERIFY2(ifTestTable.endsWith("An agent must reject any test for which it cannot,\n"
                                  "            perhaps due to resource constraints, make available at least\n"
                                  "            the minimum amount of information after that test\n"
                                  "            completes."),
             qPrintable(ifTestTable.right(300)));
}

void TestMibdbTool::badInput_data()
{
    QTest::addColumn<QStringList>("files"); // fixture files in the input folder; none: no path given at all
    QTest::addColumn<bool>("existingOutput");
    QTest::addColumn<QString>("outcome"); // nodes, fails, or empty (with --allow-empty)
    const QStringList bad{"notes.txt", "b-broken.mib"};
    QTest::newRow("bad files beside good ones") << bad + QStringList{"z-smi.mib", "a-test.mib"} << false << "nodes";
    QTest::newRow("only bad files") << bad << false << "fails";
    QTest::newRow("only bad files, earlier database kept") << bad << true << "fails";
    // The default database is built this way on a machine without MIB modules: the program
    // must still find a usable, if empty, database.
    QTest::newRow("only bad files, empty allowed") << bad << false << "empty";
    QTest::newRow("no path, empty allowed") << QStringList() << false << "empty";
}

void TestMibdbTool::badInput()
{
    QFETCH(QStringList, files);
    QFETCH(bool, existingOutput);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    const QString outDir = dir.filePath("out");
    const QString out = outDir + "/MIB.db";
    const QByteArray earlier("an earlier database");
    QVERIFY(existingOutput ? writeFile(out, earlier) : QDir().mkpath(outDir));
    QStringList arguments{"build", "--major", "1", "-o", out};
    if (outcome == "empty")
        arguments << "--allow-empty";
    if (!files.isEmpty())
        arguments << writeFixture(dir.filePath("in"), files);

    const bool broken = files.contains("b-broken.mib");
    const ToolRun run = runTool(arguments, broken ? brokenInputEnvironment() : cleanEnvironment());
    QVERIFY2(!files.contains("notes.txt") || run.err.contains("notes.txt"), qPrintable(run.err));
    QVERIFY2(!broken || run.err.contains("TEST-BROKEN-MIB"), qPrintable(run.err));
    QVERIFY2((run.exitCode != 0) == (outcome == "fails"), qPrintable(run.err));
    QCOMPARE(filesIn(outDir), outcome == "fails" && !existingOutput ? QStringList() : QStringList{"MIB.db"});
    if (outcome == "fails") {
        QCOMPARE(readFile(out), existingOutput ? earlier : QByteArray());
        return;
    }
    QCOMPARE(versionOf(out), QString("1.0"));
    DbContent content;
    QVERIFY(content.load(out));
    QCOMPARE(content.nodes.isEmpty(), outcome == "empty");
    // The parser drops a module with a syntax error whole; the others are kept.
    QCOMPARE(content.nodes.contains("1.3.6.1.4.1.99999.1.1.1.2"), outcome == "nodes"); // testState
    QVERIFY(!content.nodes.contains("1.3.6.1.4.1.777"));                               // brokenThing
}

void TestMibdbTool::sameRowsWhateverTheSetUp()
{
    // Clean; Debian's snmp.conf; snmp.conf asking for everything, and MIBS, MIBDIRS and MIBFILES.
    // A stray module where net-snmp looks for modules of its own accord, and where the set-up points.
    for (QString config : {QString(), QString("mibs :\n"), QString("mibs +ALL\nmibdirs +%1\n")}) {
        QTemporaryDir dir;
        const bool variables = config.startsWith("mibs +");
        const QString stray = dir.filePath("home/.snmp/mibs");
        QVERIFY(writeFile(stray + "/TEST-STRAY-MIB.txt", StrayModule));
        QProcessEnvironment environment = cleanEnvironment();
        environment.insert("HOME", dir.filePath("home"));
        if (!config.isEmpty()) {
            QVERIFY(writeFile(dir.filePath("conf/snmp.conf"), config.replace("%1", stray).toLatin1()));
            environment.insert("SNMPCONFPATH", dir.filePath("conf"));
        }
        if (variables) {
            environment.insert("MIBS", "+TEST-STRAY-MIB:NO-SUCH-MIB:ALL");
            environment.insert("MIBDIRS", "+/no/such/folder:" + stray);
            environment.insert("MIBFILES", stray + "/TEST-STRAY-MIB.txt");
        }

        // The files named one by one, each before the module it imports from.
        const QString out = dir.filePath("out.db");
        const ToolRun run = runTool({"build", "-o", out, m_fixtureDir + "/m-unknown.mib", m_fixtureDir + "/a-test.mib",
                                     m_fixtureDir + "/z-smi.mib"},
                                    environment);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.err, m_fixtureRun.err);
        DbContent content;
        QVERIFY(content.load(out));
        QCOMPARE(content.dump, m_fixture.dump);
        // net-snmp keeps index files beside the modules it scans; none may appear.
        QCOMPARE(filesIn(stray), QStringList{"TEST-STRAY-MIB.txt"});
        QCOMPARE(QDir(dir.filePath("home/.snmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"mibs"});
        QCOMPARE(filesIn(m_fixtureDir), (QStringList{"a-test.mib", "m-unknown.mib", "z-smi.mib"}));
    }
}

void TestMibdbTool::package()
{
    QTemporaryDir dir;
    const QString db = dir.filePath("built.db");
    ToolRun run = runTool({"build", "-o", db, "--major", "20240501", "--minor", "3", m_fixtureDir});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(versionOf(db), QString("20240501.3"));

    const QString outDir = dir.filePath("server");
    run = runTool({"package", "-d", outDir, db});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(filesIn(outDir), (QStringList{"MIB.ver", "MIB.zip"}));
    QCOMPARE(JlCompress::getFileList(outDir + "/MIB.zip"), QStringList{"MIB.db"});
    QCOMPARE(readFile(JlCompress::extractFile(outDir + "/MIB.zip", "MIB.db", dir.filePath("x.db"))), readFile(db));
    QCOMPARE(readFile(outDir + "/MIB.ver"),
             QString("DB_VERSION:20240501,3\nDB_FILESIZE:%1\n").arg(QFileInfo(outDir + "/MIB.zip").size()).toLatin1());

    // A missing file, a text file and a database of an unsupported version format are refused.
    QVERIFY(writeFile(dir.filePath("text.db"), "not a database\n"));
    MibDatabase database;
    database.setFileName(dir.filePath("format2.db"));
    QCOMPARE(database.open(false), int(MibDatabase::Usable));
    database.writeVersion(2, 20240501, 0);
    database.close();
    for (const char* name : {"missing.db", "text.db", "format2.db"}) {
        run = runTool({"package", "-d", dir.filePath("refused"), dir.filePath(name)});
        QVERIFY2(run.exitCode != 0 && run.err.contains(dir.filePath(name)), qPrintable(run.err));
        QCOMPARE(filesIn(dir.filePath("refused")), QStringList());
    }
}

void TestMibdbTool::sampleModules()
{
    if (!QFileInfo(SampleDir).isDir())
        QSKIP("no folder of sample MIB modules");
    QVERIFY2(m_sampleBuilt, qPrintable(m_sampleRun.err));
    QVERIFY2(m_sampleRun.out.contains("78 modules loaded, 0 with problems, 0 other"), qPrintable(m_sampleRun.out));
    QVERIFY2(m_sampleRun.err.isEmpty(), qPrintable(m_sampleRun.err));

    // Every node hangs under the root and names its module's file. No module is lost: each
    // one that defines a node of its own is credited with nodes.
    QVERIFY(!m_sample.nodes.contains(QString()));
    QStringList modules;
    for (const QSqlRecord& node : qAsConst(m_sample.nodes)) {
        const QString module = node.value("module").toString();
        QCOMPARE(node.value("filename").toString(), module.isEmpty() ? QString() : QString(module + ".txt"));
        if (!modules.contains(module))
            modules << module;
    }
    QStringList expected = QDir(SampleDir).entryList(QDir::Files).replaceInStrings(".txt", "");
    QCOMPARE(expected.size(), 78);
    for (const char* module : {"IPV6-TC", "RFC-1215", "RFC1155-SMI", "SNMPv2-CONF", "SNMPv2-TC"})
        expected.removeOne(module);
    expected << QString(); // the root's
    expected.sort();
    modules.sort();
    QCOMPARE(modules, expected);
}

QTEST_GUILESS_MAIN(TestMibdbTool)

#include "test_mibdb_tool.moc"
