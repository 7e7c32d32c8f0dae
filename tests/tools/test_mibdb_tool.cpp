// Runs the tessaro-mibdb tool on MIB modules and reads back what it wrote as the program loads it.

#include "mib/MibDatabase.h"
#include "mib/OidDescription.h"
#include "mib/TreeModel.h"
#include "MibTestDb.h"
#include "TestFiles.h"

#include <QtTest>

#include <JlCompress.h>

namespace {

const QString Tool = QStringLiteral(TESSARO_MIBDB_TOOL);
const QString SampleDir = QStringLiteral(TESSARO_SAMPLE_MIBS_DIR);
// Test modules; their file names sort so that importers come before the modules they import.
const QString ModuleDir = QStringLiteral(TESSARO_TEST_MIBS_DIR);
const QString CoreDir = QStringLiteral(TESSARO_CORE_MIBS_DIR);

// Modules to add to a database of the core modules; %1 is the definition the module may lose.
const char* const DepModule = R"(TEST-DEP-MIB DEFINITIONS ::= BEGIN
IMPORTS MODULE-IDENTITY, OBJECT-TYPE, Integer32, enterprises FROM SNMPv2-SMI;
depMIB MODULE-IDENTITY LAST-UPDATED "202401010000Z" ORGANIZATION "o" CONTACT-INFO "c" DESCRIPTION "Dep." ::= { enterprises 88888 }
depObjects OBJECT IDENTIFIER ::= { depMIB 1 }
depCount OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "Count." ::= { depObjects 2 }
depMore OBJECT IDENTIFIER ::= { depObjects 3 }
depMore1 OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "More." ::= { depMore 1 }
%1
END
)";
const char* const DepGone =
    R"(depGone OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "Gone." ::= { depObjects 1 })";
const char* const UseModule = R"(TEST-USE-MIB DEFINITIONS ::= BEGIN
IMPORTS OBJECT-TYPE, Counter32 FROM SNMPv2-SMI depObjects FROM TEST-DEP-MIB;
useValue OBJECT-TYPE SYNTAX Counter32 MAX-ACCESS read-only STATUS current DESCRIPTION "Use." ::= { depObjects 9 }
END
)";

// %1: the LAST-UPDATED value, %2: a digit; the commented-out clause must never be taken for the value.
const char* const DateModule = R"(TEST-DATE%2-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM TEST-SMI;
-- LAST-UPDATED "199901010000Z"
date%2MIB MODULE-IDENTITY LAST-UPDATED "%1" ORGANIZATION "o" CONTACT-INFO "c" DESCRIPTION "d" ::= { enterprises 424%2 }
date%2Child OBJECT IDENTIFIER ::= { date%2MIB 1 }
END
)";

// %1: a short description, %2: a long one; the commented-out definition must never be taken.
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

ToolRun runTool(const QStringList& arguments)
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
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(Tool, arguments);
    const bool finished = process.waitForFinished(120000); // if not, the process is killed on return
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QStringList filesIn(const QString& path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString copyModules(const QString& folder, const QStringList& files)
{
    for (const QString& file : files) {
        if (!writeBytes(folder + '/' + file, readBytes(ModuleDir + '/' + file)))
            return {};
    }
    return folder;
}

// "major.minor" when the program would accept the file, else its status.
QString versionOf(const QString& fileName)
{
    MibDatabase database;
    database.setFileName(fileName);
    int major = 0, minor = 0;
    const int status = database.check(&major, &minor);
    return status == MibDatabase::Usable ? QString("%1.%2").arg(major).arg(minor) : QString("status %1").arg(status);
}

// The linked nodes in pre-order with their numeric paths; *all: how many nodes the file holds.
QVector<QPair<QString, OidPtr>> treeOf(const QString& fileName, int* all = nullptr)
{
    MibDatabase database;
    database.setFileName(fileName);
    const QVector<OidPtr> nodes = database.open(true) == MibDatabase::Usable ? database.loadNodes() : QVector<OidPtr>();
    if (all)
        *all = nodes.size();
    QVector<QPair<QString, OidPtr>> tree, pending;
    if (const OidPtr root = TreeModel::buildTree(nodes))
        pending.append({QString::number(root->number), root});
    while (!pending.isEmpty()) {
        tree.append(pending.takeLast());
        for (auto it = tree.last().second->children.crbegin(); it != tree.last().second->children.crend(); ++it)
            pending.append({tree.last().first + '.' + QString::number((*it)->number), *it});
    }
    return tree;
}

OidPtr nodeAt(const QVector<QPair<QString, OidPtr>>& tree, const QString& path)
{
    const auto it = std::find_if(tree.begin(), tree.end(), [&](const auto& node) { return node.first == path; });
    return it != tree.end() ? it->second : std::make_shared<Oid>();
}

} // namespace

class TestMibdbTool final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(Tool).isExecutable(), qPrintable(Tool));
        if (QFileInfo(SampleDir).isDir()) {
            m_sampleRun = runTool({"build", "-o", m_dir.filePath("sample.db"), SampleDir});
            m_sample = treeOf(m_dir.filePath("sample.db"));
        }
        m_fixtureDir = copyModules(m_dir.filePath("fixture"), {"z-smi.txt", "a-test.txt", "m-unknown.txt"});
        m_fixtureRun = runTool({"build", "-o", m_dir.filePath("fixture.db"), "--major", "1", m_fixtureDir});
        QVERIFY2(m_fixtureRun.exitCode == 0, qPrintable(m_fixtureRun.err));
        m_fixture = treeOf(m_dir.filePath("fixture.db"));
        if (QFileInfo(CoreDir).isDir())
            runTool({"build", "-o", m_dir.filePath("core.db"), "--major", "7", "--minor", "3", CoreDir});
        QFile::copy(m_dir.filePath("core.db"), m_dir.filePath("core-0.db")); // add() changes core.db
        // add() works on rows that do not come parent first: private renumbered after enterprises.
        QVERIFY(!QFile::exists(m_dir.filePath("core.db")) ||
                MibTestDb::exec(m_dir.filePath("core.db"), {"UPDATE node SET parent_id = 999999 WHERE parent_id = "
                                                            "(SELECT id FROM node WHERE name = 'private')",
                                                            "UPDATE node SET id = 999999 WHERE name = 'private'"}));
        QVERIFY(writeBytes(m_dir.filePath("dep/dep.mib"), QString(DepModule).arg(DepGone).toLatin1()));
    }

    // Steps on one database, in order.
    void add_data()
    {
        QTest::addColumn<QString>("file"); // written as the only input; dep-: without depGone
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");   // lines of the output, each the start of one
        QTest::addColumn<QStringList>("present"); // path|name|module|type|description; empty: unchanged
        QTest::addColumn<QString>("absent");
        const QStringList dep{"1.3.6.1.4.1.88888|depMIB|TEST-DEP-MIB|Modid|Dep.",
                              "1.3.6.1.4.1.88888.1.3.1|depMore1|TEST-DEP-MIB|Integer32|More.",
                              "1.3.6.1.4.1.88888.1.2|depCount|TEST-DEP-MIB|Integer32|Count."};
        const QString gone = "1.3.6.1.4.1.88888.1.1";
        const QStringList withDep{"-I", m_dir.filePath("dep")};
        const auto row = [](const char* name, const QString& file, const QStringList& options, int exitCode,
                            const QString& lines, const QStringList& present = {}, const QString& absent = {}) {
            QTest::newRow(name) << file << options << exitCode << lines.split('~') << present << absent;
        };
        row("syntax error", "b-broken.txt", {}, 1,
            "module TEST-BROKEN-MIB failed Expected label or number (END): At line 6 in ");
        // Of the module imported from -I only the ancestors of the new node come along.
        row("importer, dependency as -I", "use.mib", withDep, 0, "module TEST-USE-MIB loaded 1~merged 3 0 0 ",
            {dep.first(), "1.3.6.1.4.1.88888.1.9|useValue|TEST-USE-MIB|Counter|Use."}, gone);
        row("dependency", "dep.mib", {}, 0, "progress 1 1 TEST-DEP-MIB~module TEST-DEP-MIB loaded 6~merged 4 0 0 ",
            dep + QStringList{gone + "|depGone|TEST-DEP-MIB|Integer32|Gone."});
        // Refused: the unrelated module of the same name, and losing a node TEST-USE-MIB hangs below.
        row("name clash", "use~.mib", withDep, 1, "error TEST-USE-MIB clashes with the module of that name");
        row("node others need", "dep~.mib", {}, 1,
            "error TEST-DEP-MIB no longer defines depObjects (1.3.6.1.4.1.88888.1), which nodes of other modules need");
        row("dry run", "dep-.mib", {"--dry-run"}, 0, "would-merge 0 0 1 ");
        row("definition removed", "dep-.mib", {}, 0, "merged 0 0 1 ", dep, gone);
        row("definition changed", "dep+.mib", {}, 0, "merged 0 1 0 ", {dep.last().chopped(1) + "ed."}, gone);
        // remove: options are the modules.
        row("remove, needed", "remove", {"TEST-DEP-MIB"}, 1,
            "module TEST-DEP-MIB removed 5~error TEST-DEP-MIB cannot be removed: useValue of TEST-USE-MIB is defined "
            "below its node depObjects; remove TEST-USE-MIB too");
        row("remove unknown", "remove", {"NO-SUCH-MIB"}, 0, "module NO-SUCH-MIB failed not in the database~unchanged ");
        row("remove both", "remove", {"TEST-USE-MIB", "TEST-DEP-MIB"}, 0, "module TEST-USE-MIB removed 1~merged 0 0 6 ",
            {"1.3.6.1.4.1|enterprises|SNMPv2-SMI|Other|"}, "1.3.6.1.4.1.88888");
    }

    void add()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, present);
        QFETCH(QString, absent);
        if (!QFileInfo(CoreDir).isDir())
            QSKIP("no core MIB modules");
        QTemporaryDir dir;
        const QString input = dir.filePath(QString(file).remove(QRegularExpression("(?<=dep|use)[-+~]")));
        const QByteArray text = file.startsWith("dep")
                                    ? QString(DepModule).arg(file == "dep.mib" ? DepGone : "").toLatin1()
                                : file.startsWith("use") ? QByteArray(UseModule)
                                                         : readBytes(ModuleDir + '/' + file);
        QVERIFY(writeBytes(input, QString(text)
                                      .replace("TEST-SMI", "SNMPv2-SMI")
                                      .replace(file == "dep+.mib" ? "Count." : "~", "Counted.")
                                      .replace(file == "dep~.mib" ? "{ depMIB 1 }" : "~", "{ depMIB 5 }")
                                      .replace(file == "use~.mib" ? "{ depObjects 9 }" : "~", "{ depObjects 7 }")
                                      .toLatin1()));
        const QString db = m_dir.filePath("core.db");
        const QByteArray before = readBytes(db);
        const QStringList common{"-d", db, "--report", dir.filePath("report")};
        const ToolRun run = file == "remove"
                                ? runTool(QStringList{"remove"} + common + options)
                                : runTool(QStringList{"add", "-I", CoreDir} + common + options + QStringList{input});
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
        QCOMPARE(readBytes(dir.filePath("report")), run.out.toUtf8());
        const QStringList outLines = run.out.split('\n', Qt::SkipEmptyParts);
        for (const QString& line : lines)
            QVERIFY2(!outLines.filter(QRegularExpression('^' + QRegularExpression::escape(line))).isEmpty(),
                     qPrintable(line + " in:\n" + run.out));
        QCOMPARE(readBytes(db) == before, present.isEmpty());
        QCOMPARE(versionOf(db), QString("7.3"));
        int all = 0;
        const auto tree = treeOf(db, &all);
        // Every row linked, and no path of the added modules twice.
        QStringList ours;
        for (const auto& node : tree)
            ours << (node.first.startsWith("1.3.6.1.4.1.88888") ? node.first : QString::number(ours.size()));
        QCOMPARE(tree.size(), all);
        QCOMPARE(ours.removeDuplicates(), 0);
        for (const QString& expected : present) {
            const OidPtr node = nodeAt(tree, expected.section('|', 0, 0));
            const QStringList fields{node->name, node->module, Oid::typeName(node->type), node->descriptionText()};
            QCOMPARE(expected.section('|', 0, 0) + '|' + fields.join('|'), expected);
        }
        QVERIFY(absent.isEmpty() || nodeAt(tree, absent)->name.isEmpty());
    }

    void addFails_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("content"); // empty: the core database
        QTest::newRow("read-only folder") << "ro/MIB.db" << QByteArray();
        QTest::newRow("no room for a temporary name beside it") << QString(245, 'x') << QByteArray();
        QTest::newRow("not a database") << "MIB.db" << QByteArray("an earlier database");
    }

    void addFails()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString db = dir.filePath(target);
        QVERIFY(writeBytes(db, content.isEmpty() ? readBytes(m_dir.filePath("core-0.db")) : content));
        const QString folder = QFileInfo(db).absolutePath();
        if (target.startsWith("ro/")) {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            if (QFileInfo(folder).isWritable()) // as root
                QSKIP("read-only folders are writable here");
        }
        const QByteArray before = readBytes(db);
        const ToolRun run = runTool({"add", "-d", db, "-I", CoreDir, m_dir.filePath("dep")});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(run.exitCode == 1 &&
                     run.out.contains(QRegularExpression("^error ", QRegularExpression::MultilineOption)) &&
                     run.err.contains(db),
                 qPrintable(run.out + run.err));
        QCOMPARE(readBytes(db), before);
        QCOMPARE(filesIn(folder), QStringList{QFileInfo(db).fileName()});
    }

    void nodes_data()
    {
        QTest::addColumn<QStringList>("expected");
        // Path (~: testMIB's), name, type, access, module, description, values; sample: their starts.
        for (const char* row : {
                 "1.3.6.1.4.1|enterprises|Other|unknown|TEST-SMI||",
                 "~|testMIB|Modid|unknown|TEST-MIB|A module made up for the builder test.|",
                 "~.1.1.1.1|testIndex|Integer32|no access|TEST-MIB|Number.|1..2147483647",
                 "~.1.1.1.2|testState|Integer|read-write|TEST-MIB|State.|failed=-3 stopped=0 idle=1 running=2",
                 "~.1.1.1.3|testLevel|Integer32|create|TEST-MIB|Level.|-5..5 10..20",
                 "~.1.1.1.4|testName|Octet string|read-only|TEST-MIB|Name.|0..32",
                 "~.1.2|testCounter|Counter64|read-only|TEST-MIB|Count.|",
                 "~.1.3|testSerial|Unsigned32|read-only|TEST-MIB|Serial.|0..4294967295",
                 "~.1.4|testOffset|Integer32|read-only|TEST-MIB|Offset.|-2147483648..-1 1..100",
                 "~.2.1|testEvent|Notify type|unknown|TEST-MIB|Event.|",
                 "~.3|testExtra|Other|unknown|TEST-UNKNOWN-MIB||", // its other import is missing
                 // SNMPv2-MIB, not RFC1213-MIB, has system; IP-MIB wins ipForwarding; IANAifType enumerates.
                 "1.3.6.1.2.1.1.1|sysDescr|Octet string|read-only|SNMPv2-MIB|A textual description|",
                 "1.3.6.1.2.1.4.1|ipForwarding|Integer|read-write|IP-MIB|The indication|forwarding=1",
                 "1.3.6.1.2.1.2.2.1.3|ifType|Integer|read-only|IF-MIB|The type of|ethernetCsmacd=6",
                 "1.3.6.1.2.1.2.2.1.10|ifInOctets|Counter|read-only|IF-MIB|The total number|",
                 "1.3.6.1.4.1.2021.13.16.2.1.3|lmTempSensorsValue|Gauge|read-only|LM-SENSORS-MIB|The temperature|",
             }) {
            const QStringList fields = QString(row).replace("~", "1.3.6.1.4.1.99999").split('|');
            QTest::newRow(qPrintable(fields.at(1))) << fields;
        }
    }

    void nodes()
    {
        QFETCH(QStringList, expected);
        const bool sample = !expected.at(4).startsWith("TEST");
        if (sample && !QFileInfo(SampleDir).isDir())
            QSKIP("no folder of sample MIB modules");
        const OidPtr node = nodeAt(sample ? m_sample : m_fixture, expected.at(0));
        QStringList values;
        for (const Oid::EnumValue& value : node->enums)
            values << QStringLiteral("%1=%2").arg(value.label).arg(value.value);
        for (const Oid::Range& range : node->ranges)
            values << QStringLiteral("%1..%2").arg(range.low).arg(range.high);
        if (sample && (expected.at(6).isEmpty() || values.contains(expected.at(6))))
            values = QStringList{expected.at(6)};
        QString description = node->descriptionText();
        if (sample)
            description.truncate(expected.at(5).size());
        const QStringList actual{expected.at(0), node->name,  Oid::typeName(node->type), Oid::accessName(node->access),
                                 node->module,   description, values.join(' ')};
        QCOMPARE(actual, expected);
        // The description shows the ranges with the bounds the module wrote.
        QString ranges = values.filter("..").join(", ").replace("..", "-");
        QVERIFY2(sample || node->ranges.isEmpty() || OidDescription::html(*node).contains("<br>Range: " + ranges + "<"),
                 qPrintable(OidDescription::html(*node)));
        // Every node of a module names its file and carries its module's date.
        const QHash<QString, QString> files{
            {"TEST-SMI", "z-smi.txt"}, {"TEST-MIB", "a-test.txt"}, {"TEST-UNKNOWN-MIB", "m-unknown.txt"}};
        QCOMPARE(node->filename, sample ? node->module + ".txt" : files.value(node->module));
        const QDateTime updated(QDate(2024, 3, 15), QTime(9, 30), Qt::UTC);
        QVERIFY(sample ? node->lastUpdated.isValid()
                       : node->lastUpdated == (node->module == "TEST-MIB" ? updated : QDateTime()));
    }

    void fixtureTree()
    {
        // Only the iso tree is kept; ids number its nodes in pre-order, children by ascending number.
        int all = 0;
        QCOMPARE(treeOf(m_dir.filePath("fixture.db"), &all).size(), 20);
        QCOMPARE(all, 20);
        for (int i = 0; i < m_fixture.size(); ++i)
            QVERIFY2(m_fixture.at(i).second->id == i + 1, qPrintable(m_fixture.at(i).first));
        // The module importing from a module nobody has is reported, and still contributes.
        QVERIFY2(m_fixtureRun.err.contains("TEST-UNKNOWN-MIB") && m_fixtureRun.err.contains("NOWHERE-MIB"),
                 qPrintable(m_fixtureRun.err));
        QVERIFY2(m_fixtureRun.out.contains("2 modules loaded, 1 with problems"), qPrintable(m_fixtureRun.out));
        QVERIFY2(m_sampleRun.out.contains("78 modules loaded, 0 with problems, 0 other") || m_sample.isEmpty(),
                 qPrintable(m_sampleRun.out + m_sampleRun.err));
    }

    void moduleText()
    {
        // Each date in a module of its own; a four-digit year is in the fixture's module.
        const QList<QPair<QString, qint64>> dates{{"9505241811Z", 801339060},   // a two-digit year means 19xx
                                                  {"200002291200Z", 951825600}, // leap day
                                                  {"202402300930Z", 0},         // February 30
                                                  {"202403152430Z", 0},         // hour 24
                                                  {"2024031509300", 0}};        // no Z
        // A description far beyond net-snmp's 4,095 bytes, CRLF line ends, "--" as text in each paragraph.
        const QString paragraph = "Paragraph -- with dashes, then an indented line\n      ending here.\n";
        QTemporaryDir dir;
        const QString in = copyModules(dir.filePath("in"), {"z-smi.txt"});
        QVERIFY(writeBytes(
            in + "/long.mib",
            QString(LongDescriptionModule).arg(paragraph, paragraph.repeated(90)).replace("\n", "\r\n").toUtf8()));
        for (int i = 0; i < dates.size(); ++i)
            QVERIFY(writeBytes(in + QString("/date%1.mib").arg(i),
                               QString(DateModule).arg(dates.at(i).first).arg(i).toLatin1()));
        const QString before = QString("%1.0").arg(MibDatabase::todayVersion());
        const ToolRun run = runTool({"build", "-o", dir.filePath("out.db"), in}); // without --major: today's version
        const QString version = versionOf(dir.filePath("out.db"));
        QVERIFY2(run.exitCode == 0 &&
                     (version == before || version == QString("%1.0").arg(MibDatabase::todayVersion())),
                 qPrintable(version + run.err));
        const auto tree = treeOf(dir.filePath("out.db"));
        // Every node of a module carries its date.
        for (int i = 0; i < dates.size(); ++i) {
            for (const QString& path : {QString("1.3.6.1.4.1.424%1").arg(i), QString("1.3.6.1.4.1.424%1.1").arg(i)})
                QCOMPARE(nodeAt(tree, path)->lastUpdated,
                         dates.at(i).second ? QDateTime::fromSecsSinceEpoch(dates.at(i).second, Qt::UTC) : QDateTime());
        }
        const QString shortText = nodeAt(tree, "1.3.6.1.4.1.5151.1")->descriptionText();
        QVERIFY(shortText.startsWith("Paragraph -- with dashes"));
        QCOMPARE(nodeAt(tree, "1.3.6.1.4.1.5151.2")->descriptionText(), shortText.repeated(90));
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("files"); // test modules in the input folder; none: no path given at all
        QTest::addColumn<bool>("existingOutput");
        QTest::addColumn<QString>("outcome"); // nodes, fails, or empty (with --allow-empty)
        const QStringList bad{"notes.txt", "b-broken.txt"};
        QTest::newRow("bad files beside good ones") << bad + QStringList{"z-smi.txt", "a-test.txt"} << false << "nodes";
        QTest::newRow("only bad files") << bad << false << "fails";
        QTest::newRow("only bad files, earlier database kept") << bad << true << "fails";
        // So the default database is built on a machine without MIB modules: usable, if empty.
        QTest::newRow("only bad files, empty allowed") << bad << false << "empty";
        QTest::newRow("no path, empty allowed") << QStringList() << false << "empty";
    }

    void badInput()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, existingOutput);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        const QString out = dir.filePath("out/MIB.db");
        QVERIFY(existingOutput ? writeBytes(out, "an earlier database") : QDir().mkpath(dir.filePath("out")));
        QStringList arguments{"build", "--major", "1", "-o", out};
        if (outcome == "empty")
            arguments << "--allow-empty";
        if (!files.isEmpty())
            arguments << copyModules(dir.filePath("in"), files);

        const ToolRun run = runTool(arguments);
        QVERIFY2(files.isEmpty() || (run.err.contains("notes.txt") && run.err.contains("TEST-BROKEN-MIB")),
                 qPrintable(run.err));
        QVERIFY2((run.exitCode != 0) == (outcome == "fails"), qPrintable(run.err));
        QCOMPARE(filesIn(dir.filePath("out")),
                 outcome == "fails" && !existingOutput ? QStringList() : QStringList{"MIB.db"});
        if (outcome == "fails") {
            QCOMPARE(readBytes(out), QByteArray(existingOutput ? "an earlier database" : "<missing>"));
            return;
        }
        QCOMPARE(versionOf(out), QString("1.0"));
        // The parser drops a module with a syntax error whole; the others are kept.
        const auto tree = treeOf(out);
        QCOMPARE(tree.isEmpty(), outcome == "empty");
        QCOMPARE(nodeAt(tree, "1.3.6.1.4.1.99999.1.1.1.2")->name, outcome == "nodes" ? "testState" : "");
        QCOMPARE(nodeAt(tree, "1.3.6.1.4.1.777")->name, QString());
    }

    void package()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath("built.db");
        ToolRun run = runTool({"build", "-o", db, "--major", "20240501", "--minor", "3", m_fixtureDir});
        const QString outDir = dir.filePath("server");
        run = runTool({"package", "-d", outDir, db});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(filesIn(outDir), (QStringList{"MIB.ver", "MIB.zip"}));
        QCOMPARE(JlCompress::getFileList(outDir + "/MIB.zip"), QStringList{"MIB.db"});
        QCOMPARE(readBytes(JlCompress::extractFile(outDir + "/MIB.zip", "MIB.db", dir.filePath("x.db"))),
                 readBytes(db));
        QCOMPARE(
            readBytes(outDir + "/MIB.ver"),
            QString("DB_VERSION:20240501,3\nDB_FILESIZE:%1\n").arg(QFileInfo(outDir + "/MIB.zip").size()).toLatin1() +
                "DB_SHA256:" +
                QCryptographicHash::hash(readBytes(outDir + "/MIB.zip"), QCryptographicHash::Sha256).toHex() + "\n");

        // A database of a version format the program does not read is refused.
        QVERIFY(MibTestDb::exec(db, {"UPDATE db_version SET format = 2"}));
        run = runTool({"package", "-d", dir.filePath("refused"), db});
        QVERIFY2(run.exitCode != 0 && run.err.contains(db) && filesIn(dir.filePath("refused")).isEmpty(),
                 qPrintable(run.err));
    }

private:
    QTemporaryDir m_dir;
    QString m_fixtureDir;
    ToolRun m_fixtureRun;
    QVector<QPair<QString, OidPtr>> m_fixture;
    ToolRun m_sampleRun;
    QVector<QPair<QString, OidPtr>> m_sample;
};

QTEST_GUILESS_MAIN(TestMibdbTool)
#include "test_mibdb_tool.moc"
