// Runs the tessaro-mibdb command-line tool on MIB modules written here and reads back what it wrote.

#include "mib/MibDatabase.h"
#include "mib/Oid.h"

#include <QDir>
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
// Test modules; their file names sort so that importers come before the modules they import.
const QString ModuleDir = QStringLiteral(TESSARO_TEST_MIBS_DIR);

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
// for the real one.
const char* const LongDescriptionModule = R"(TEST-LONG-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM TEST-SMI;
longObjects OBJECT IDENTIFIER ::= { enterprises 5151 }
shortThing OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "%1" ::= { longObjects 1 }
-- longThing OBJECT-TYPE SYNTAX Integer32 DESCRIPTION "commented out" ::= { longObjects 2 }
longThing OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "%2" ::= { longObjects 2 }
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
    // net-snmp's parser leaks what it allocated for a definition it cannot parse, which a
    // sanitizer build would blame on the tool.
    static QTemporaryFile suppressions(QDir::tempPath() + "/mibdb-lsan-XXXXXX.supp");
    if (!suppressions.isOpen() && suppressions.open() && suppressions.write("leak:libnetsnmp.so\n") > 0)
        suppressions.flush();
    environment.insert("LSAN_OPTIONS", "print_suppressions=0:suppressions=" + suppressions.fileName());
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

// The given test modules copied into folder.
QString writeFixture(const QString& folder, const QStringList& files)
{
    for (const QString& file : files) {
        if (!writeFile(folder + '/' + file, readFile(ModuleDir + '/' + file)))
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

// Every node of a built database by its numeric path, found by following parent_id, with its
// enumeration ("label=value") and range ("low..high") rows in the extra column valueList.
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

} // namespace

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
    QTest::addColumn<QStringList>("expected");
    // Name, path (~: testMIB's), type, access, module, description, enumerations and ranges; in
    // the sample: how the description starts and one of the values.
    const char* const rows[] = {
        "enterprises|1.3.6.1.4.1|Other|unknown|TEST-SMI||",
        "testMIB|~|Modid|unknown|TEST-MIB|A module made up for the builder test.|",
        "testTable|~.1.1|Other|no access|TEST-MIB|A table.|",
        "testIndex|~.1.1.1.1|Integer32|no access|TEST-MIB|Number.|1..2147483647",
        "testState|~.1.1.1.2|Integer|read-write|TEST-MIB|State.|failed=-3 idle=1 running=2 stopped=0",
        "testLevel|~.1.1.1.3|Integer32|create|TEST-MIB|Level.|-5..5 10..20",
        "testName|~.1.1.1.4|Octet string|read-only|TEST-MIB|Name.|0..32",
        "testCounter|~.1.2|Counter64|read-only|TEST-MIB|Count.|",
        "testEvent|~.2.1|Notify type|unknown|TEST-MIB|Event.|",
        "testExtra|~.3|Other|unknown|TEST-UNKNOWN-MIB||", // its other import is missing
        // SNMPv2-MIB, not RFC1213-MIB, defines the system group; IP-MIB wins over both for
        // ipForwarding; InterfaceIndex is a textual convention; IANAifType brings its enumeration.
        "sysDescr|1.3.6.1.2.1.1.1|Octet string|read-only|SNMPv2-MIB|A textual description|",
        "ipForwarding|1.3.6.1.2.1.4.1|Integer|read-write|IP-MIB|The indication|forwarding=1",
        "ifIndex|1.3.6.1.2.1.2.2.1.1|Integer32|read-only|IF-MIB|A unique value|",
        "ifType|1.3.6.1.2.1.2.2.1.3|Integer|read-only|IF-MIB|The type of|ethernetCsmacd=6",
        "ifInOctets|1.3.6.1.2.1.2.2.1.10|Counter|read-only|IF-MIB|The total number|",
        "linkDown|1.3.6.1.6.3.1.1.5.3|Notify type|unknown|IF-MIB|A linkDown trap|",
        "lmTempSensorsValue|1.3.6.1.4.1.2021.13.16.2.1.3|Gauge|read-only|LM-SENSORS-MIB|The temperature|",
    };
    for (const char* row : rows) {
        const QStringList fields = QString(row).replace("~", "1.3.6.1.4.1.99999").split('|');
        QTest::newRow(qPrintable(fields.at(0))) << !fields.at(4).startsWith("TEST") << fields;
    }
}

void TestMibdbTool::nodes()
{
    QFETCH(bool, sample);
    QFETCH(QStringList, expected);
    if (sample && !QFileInfo(SampleDir).isDir())
        QSKIP("no folder of sample MIB modules");
    QVERIFY2(!sample || m_sampleBuilt, qPrintable(m_sampleRun.err));
    const QSqlRecord node = (sample ? m_sample : m_fixture).nodes.value(expected.at(1));
    const QString description = node.value("description").toString();
    const QStringList values = node.value("valueList").toString().split(' ', Qt::SkipEmptyParts);
    QStringList actual{node.value("name").toString(),
                       expected.at(1),
                       Oid::typeName(node.value("type").toInt()),
                       Oid::accessName(node.value("access").toInt()),
                       node.value("module").toString(),
                       sample ? description.left(expected.at(5).size()) : description,
                       sample && (expected.at(6).isEmpty() || values.contains(expected.at(6))) ? expected.at(6)
                                                                                               : values.join(' ')};
    QCOMPARE(actual, expected);
    if (sample) {
        QVERIFY(node.value("last_updated").toLongLong() > 0);
        return;
    }
    const QHash<QString, QString> files{
        {"TEST-SMI", "z-smi.mib"}, {"TEST-MIB", "a-test.mib"}, {"TEST-UNKNOWN-MIB", "m-unknown.mib"}};
    QCOMPARE(node.value("filename").toString(), files.value(expected.at(4)));
    QCOMPARE(node.value("last_updated").toLongLong(), expected.at(4) == "TEST-MIB" ? qint64(1710495000) : qint64(0));
}

void TestMibdbTool::fixtureTree()
{
    const QString version = versionOf(m_dir.filePath("fixture.db"));
    QVERIFY2(m_today.contains(version), qPrintable(version));
    // Only the iso tree is kept; ids number its nodes in pre-order, children by ascending number.
    QCOMPARE(m_fixture.dump.size(), 18);
    for (int i = 0; i < m_fixture.dump.size(); ++i) {
        const QString& row = m_fixture.dump.at(i);
        QCOMPARE(row.section('|', 1, 1), QString::number(i + 1));
        QVERIFY2(i == 0 || OidPath::follows(row.section('|', 0, 0), m_fixture.dump.at(i - 1).section('|', 0, 0)),
                 qPrintable(row));
    }
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
    // A description far beyond the 4,095 bytes net-snmp's parser keeps of a quoted string, with
    // CRLF line ends; each paragraph has a "--" that is text, not a comment.
    const QString paragraph = "Paragraph -- with dashes, then an indented line\n      ending here.\n";
    QTemporaryDir dir;
    const QString in = writeFixture(dir.filePath("in"), {"z-smi.mib"});
    QVERIFY(writeFile(
        in + "/long.mib",
        QString(LongDescriptionModule).arg(paragraph, paragraph.repeated(90)).replace("\n", "\r\n").toUtf8()));
    for (int i = 0; i < dates.size(); ++i)
        QVERIFY(writeFile(in + QString("/date%1.mib").arg(i),
                          QString(DateModule).arg(dates.at(i).first).arg(i).toLatin1()));
    const ToolRun run = runTool({"build", "-o", dir.filePath("out.db"), in});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    DbContent content;
    QVERIFY(content.load(dir.filePath("out.db")));

    // Every node of a module carries its date, and only those.
    QCOMPARE(content.nodes.value("1.3.6.1.4.1").value("last_updated").toLongLong(), qint64(0));
    for (int i = 0; i < dates.size(); ++i) {
        for (const QString& path : {QString("1.3.6.1.4.1.424%1").arg(i), QString("1.3.6.1.4.1.424%1.1").arg(i)})
            QCOMPARE(content.nodes.value(path).value("last_updated").toLongLong(), dates.at(i).second);
    }
    const QString shortText = content.nodes.value("1.3.6.1.4.1.5151.1").value("description").toString();
    QVERIFY(shortText.startsWith("Paragraph -- with dashes"));
    QCOMPARE(content.nodes.value("1.3.6.1.4.1.5151.2").value("description").toString(), shortText.repeated(90));
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
    // So the default database is built on a machine without MIB modules: usable, if empty.
    QTest::newRow("only bad files, empty allowed") << bad << false << "empty";
    QTest::newRow("no path, empty allowed") << QStringList() << false << "empty";
}

void TestMibdbTool::badInput()
{
    QFETCH(QStringList, files);
    QFETCH(bool, existingOutput);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    const QString out = dir.filePath("out/MIB.db");
    const QByteArray earlier("an earlier database");
    QVERIFY(existingOutput ? writeFile(out, earlier) : QDir().mkpath(dir.filePath("out")));
    QStringList arguments{"build", "--major", "1", "-o", out};
    if (outcome == "empty")
        arguments << "--allow-empty";
    if (!files.isEmpty())
        arguments << writeFixture(dir.filePath("in"), files);

    const ToolRun run = runTool(arguments);
    QVERIFY2(files.isEmpty() || (run.err.contains("notes.txt") && run.err.contains("TEST-BROKEN-MIB")),
             qPrintable(run.err));
    QVERIFY2((run.exitCode != 0) == (outcome == "fails"), qPrintable(run.err));
    QCOMPARE(filesIn(dir.filePath("out")),
             outcome == "fails" && !existingOutput ? QStringList() : QStringList{"MIB.db"});
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
        const QString stray = dir.filePath("home/.snmp/mibs");
        QVERIFY(!writeFixture(stray, {"TEST-STRAY-MIB.txt"}).isEmpty());
        QProcessEnvironment environment = cleanEnvironment();
        environment.insert("HOME", dir.filePath("home"));
        if (!config.isEmpty()) {
            QVERIFY(writeFile(dir.filePath("conf/snmp.conf"), config.replace("%1", stray).toLatin1()));
            environment.insert("SNMPCONFPATH", dir.filePath("conf"));
        }
        if (config.startsWith("mibs +")) {
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
        QCOMPARE(QDir(dir.filePath("home/.snmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"mibs"});
        QCOMPARE(filesIn(stray), QStringList{"TEST-STRAY-MIB.txt"});
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
    QSet<QString> modules;
    for (const QSqlRecord& node : qAsConst(m_sample.nodes)) {
        const QString module = node.value("module").toString();
        QCOMPARE(node.value("filename").toString(), module.isEmpty() ? QString() : QString(module + ".txt"));
        modules << module;
    }
    QStringList expected = QDir(SampleDir).entryList(QDir::Files).replaceInStrings(".txt", "");
    QCOMPARE(expected.size(), 78);
    for (const char* module : {"IPV6-TC", "RFC-1215", "RFC1155-SMI", "SNMPv2-CONF", "SNMPv2-TC"})
        expected.removeOne(module);
    expected << QString(); // the root's
    QCOMPARE(modules, QSet<QString>(expected.begin(), expected.end()));
    // A description longer than net-snmp keeps is read whole from its file.
    QVERIFY(m_sample.nodes.value("1.3.6.1.2.1.31.1.3")
                .value("description")
                .toString()
                .endsWith("test\n"
                          "            completes."));
}

QTEST_GUILESS_MAIN(TestMibdbTool)
#include "test_mibdb_tool.moc"
