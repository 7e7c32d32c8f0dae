// Imports MIB modules into a copy of a core database with the real builder, then applies,
// discards or cancels.

#include "app/MibImport.h"
#include "mib/MibDatabase.h"
#include "TestFiles.h"

#include <QtTest>

namespace {

const QString Builder = QStringLiteral(TESSARO_MIBDB_TOOL);
const QString CoreDir = QStringLiteral(TESSARO_CORE_MIBS_DIR);

const char* const DepModule = R"(TEST-DEP-MIB DEFINITIONS ::= BEGIN
IMPORTS MODULE-IDENTITY, OBJECT-TYPE, Integer32, enterprises FROM SNMPv2-SMI;
depMIB MODULE-IDENTITY LAST-UPDATED "202401010000Z" ORGANIZATION "o" CONTACT-INFO "c" DESCRIPTION "Dep." ::= { enterprises 88888 }
depCount OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "Count." ::= { depMIB 1 }
depSize OBJECT-TYPE SYNTAX Integer32 MAX-ACCESS read-only STATUS current DESCRIPTION "Size." ::= { depMIB 2 }
END
)";
const char* const UseModule = R"(TEST-USE-MIB DEFINITIONS ::= BEGIN
IMPORTS OBJECT-TYPE, Counter32 FROM SNMPv2-SMI depMIB FROM TEST-DEP-MIB;
useValue OBJECT-TYPE SYNTAX Counter32 MAX-ACCESS read-only STATUS current DESCRIPTION "Use." ::= { depMIB 9 }
END
)";

bool hasNode(const QString& fileName, const QString& name)
{
    MibDatabase database;
    database.setFileName(fileName);
    const QVector<OidPtr> nodes = database.open(true) == MibDatabase::Usable ? database.loadNodes() : QVector<OidPtr>();
    return std::any_of(nodes.cbegin(), nodes.cend(), [&name](const OidPtr& node) { return node->name == name; });
}

} // namespace

class TestMibImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString db() const { return m_dir.filePath("data/MIB.db"); }
    QString kept() const { return m_dir.filePath("data/modules"); }

    // Runs an import to its end; the signals of the run stay in the spies.
    bool run(MibImport& import, const QStringList& paths, QSignalSpy& progress, QSignalSpy& finished)
    {
        import.setSearchFolders({CoreDir});
        return import.start(paths) && finished.wait(120000) && finished.size() == 1 && progress.isValid();
    }

private slots:
    void initTestCase()
    {
        QDir().mkpath(m_dir.filePath("data"));
        QVERIFY(QProcess::execute(Builder, {"build", "-o", db(), "--major", "7", CoreDir}) == 0);
        QVERIFY(writeBytes(m_dir.filePath("in/dep.mib"), DepModule) &&
                writeBytes(m_dir.filePath("in/use.mib"), UseModule));
        QVERIFY(writeBytes(m_dir.filePath("in/notes.txt"), "Not a module.\n"));
        QVERIFY(writeBytes(m_dir.filePath("alone/use.mib"), UseModule));
    }

    // Steps on one database, in order.
    void importAndApply_data()
    {
        QTest::addColumn<QStringList>("files"); // under the temporary folder
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("module"); // name|kind|nodes|start of the reason
        QTest::addColumn<QString>("node");   // in the database afterwards; empty: unchanged
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("importer alone") << QStringList{"alone/use.mib"} << false
                                        << "TEST-USE-MIB|2|0|Cannot find module (TEST-DEP-MIB)"
                                        << "" << QStringList();
        QTest::newRow("not a MIB") << QStringList{"in/notes.txt"} << false << "notes.txt|2|0|not a MIB module"
                                   << "" << QStringList();
        QTest::newRow("dependency") << QStringList{"in/dep.mib", "in/notes.txt"} << true << "TEST-DEP-MIB|0|3|"
                                    << "depSize" << QStringList{"dep.mib"};
        QTest::newRow("importer, dependency kept") << QStringList{"alone/use.mib"} << true << "TEST-USE-MIB|0|1|"
                                                   << "useValue" << QStringList{"dep.mib", "use.mib"};
        QTest::newRow("same again") << QStringList{"alone/use.mib"} << true << "TEST-USE-MIB|0|1|"
                                    << "" << QStringList{"dep.mib", "use.mib"};
    }

    void importAndApply()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, ok);
        QFETCH(QString, module);
        QFETCH(QString, node);
        QFETCH(QStringList, kept);
        const QByteArray before = readBytes(db());
        MibImport import(Builder, db(), this->kept());
        QSignalSpy progress(&import, &MibImport::progress);
        QSignalSpy finished(&import, &MibImport::finished);
        for (QString& file : files)
            file = m_dir.filePath(file);
        QVERIFY(run(import, files, progress, finished));
        QVERIFY2(finished.first().first().toBool() == ok, qPrintable(import.errorText()));
        QStringList got;
        for (const MibImport::Module& m : import.modules())
            got << QString("%1|%2|%3|%4").arg(m.name).arg(m.kind).arg(m.nodes).arg(m.reason);
        QVERIFY2(!got.filter(QRegularExpression('^' + QRegularExpression::escape(module))).isEmpty(),
                 qPrintable(got.join('\n')));
        QCOMPARE(import.hasChanges(), !node.isEmpty());
        QVERIFY(!ok || !progress.isEmpty());
        QCOMPARE(import.summary().added > 0, import.hasChanges());
        QCOMPARE(import.summary().total > 300, ok);
        QCOMPARE(ok ? import.apply() : (import.discard(), false), ok);
        QCOMPARE(readBytes(db()) == before, node.isEmpty());
        QVERIFY(node.isEmpty() || hasNode(db(), node));
        QCOMPARE(QDir(this->kept()).entryList(QDir::Files), kept);
        QCOMPARE(QDir(m_dir.filePath("data")).entryList(QDir::Files), QStringList{"MIB.db"});
    }

    // Runs that end without a result: the database stays as it was and no copy is left.
    void noResult_data()
    {
        QTest::addColumn<QString>("builder");
        QTest::addColumn<QString>("error"); // in errorText(); empty: start() refuses
        QTest::newRow("cancelled") << Builder << "Cancelled";
        QTest::newRow("builder missing") << "/nonexistent/tessaro-mibdb"
                                         << "/nonexistent/tessaro-mibdb";
        QTest::newRow("copy cannot be made") << Builder << "";
    }

    void noResult()
    {
        QFETCH(QString, builder);
        QFETCH(QString, error);
        const QByteArray before = readBytes(db());
        if (error.isEmpty()) // a folder where the copy would go
            QVERIFY(writeBytes(db() + ".import/x", "x"));
        MibImport import(builder, db(), kept());
        QSignalSpy finished(&import, &MibImport::finished);
        connect(&import, &MibImport::progress, &import, &MibImport::cancel);
        import.setSearchFolders({CoreDir});
        const bool started = import.start({CoreDir, "/work/shared/mibs/netsnmp"});
        if (error.isEmpty())
            QDir(db() + ".import").removeRecursively();
        QCOMPARE(started, !error.isEmpty());
        QVERIFY(!started || (finished.wait(60000) && finished.size() == 1 && !finished.first().first().toBool()));
        QVERIFY2(import.errorText().contains(error.isEmpty() ? m_dir.filePath("data") : error),
                 qPrintable(import.errorText()));
        QVERIFY(!import.isRunning());
        QCOMPARE(readBytes(db()), before);
        QVERIFY(!QFile::exists(import.pendingDatabase()));
    }
};

QTEST_MAIN(TestMibImport)
#include "test_mibimport.moc"
