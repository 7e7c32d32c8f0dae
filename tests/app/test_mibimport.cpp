// MIB module imports with the real builder into a core database, without a window.

#include "app/MainWindow.h"
#include "app/MibImport.h"
#include "mib/MibDatabase.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "ui/browser/OidBrowser.h"
#include "ui/mib/MibImportDialog.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QLabel>

#include <QtTest>

namespace {

const QString Builder = QStringLiteral(TESSARO_MIBDB_TOOL);
const QString CoreDir = QStringLiteral(TESSARO_CORE_MIBS_DIR);

const char* const DepModule = R"(TEST-DEP-MIB DEFINITIONS ::= BEGIN
IMPORTS OBJECT-TYPE, Integer32, enterprises FROM SNMPv2-SMI;
depMIB OBJECT IDENTIFIER ::= { enterprises 88888 }
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
    const QString m_db = m_dir.filePath("data/MIB.db"), m_kept = m_dir.filePath("data/modules");

private slots:
    void initTestCase()
    {
        QDir().mkpath(m_dir.filePath("data"));
        QVERIFY(QProcess::execute(Builder, {"build", "-o", m_db, "--major", "7", CoreDir}) == 0);
        QVERIFY(writeBytes(m_dir.filePath("in/dep.mib"), DepModule) &&
                writeBytes(m_dir.filePath("in/my notes.txt"), "-"));
        QVERIFY(writeBytes(m_dir.filePath("alone/use.mib"), UseModule));
        // A hostile file: a 100,000-character name, 5,000 open braces, random bytes.
        QByteArray hostile = "EVIL-MIB DEFINITIONS ::= BEGIN\n" + QByteArray(100000, 'a') + " OBJECT IDENTIFIER ::= {";
        hostile += QByteArray("b OBJECT IDENTIFIER ::= { ").repeated(5000);
        for (int i = 0; i < 20000; ++i)
            hostile += char(QRandomGenerator::global()->bounded(256));
        QVERIFY(writeBytes(m_dir.filePath("in/evil.mib"), hostile));
        // A builder that crashes.
        QVERIFY(writeBytes(m_dir.filePath("crash.sh"), "#!/bin/sh\nkill -SEGV $$\n") &&
                QFile::setPermissions(m_dir.filePath("crash.sh"), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QDir().mkpath(m_dir.filePath("app")) && QFile::copy(m_db, m_dir.filePath("app/MIB.db")));
    }

    // The window's import: the result per module, then Apply; the rebuilt tree shows the new
    // nodes with the same branches open and the same node current.
    void windowImport()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::link(Builder, m_dir.filePath("app/tessaro-mibdb")) &&
                QFile::link(CoreDir, m_dir.filePath("app/mibs")));
        AppSettings settings(dir.filePath("Tessaro.ini"));
        ScriptedPrompts prompts;
        NullServiceManager services;
        SystemClock clock;
        const Folders folders(dir.path(), QString(), m_dir.filePath("app"), dir.path());
        QVERIFY(writeBytes(folders.dataFile("Velmora.cfg"), "h:1\tA\tp\r\n")); // no device editor at start
        MainWindow window({folders, settings, services, QString(), clock});
        window.show();
        QTRY_VERIFY(window.treeModel().findByPath("1.3.6.1.2.1.1.1"));
        FindDialog::Parameters find;
        for (const char* path : {"1.3.6.1.2.1.2.2.1", "1.3.6.1.2.1.1.1"}) { // two branches open, sysDescr current
            find.text = path;
            window.onFindNext(find);
        }
        const QString expansion = window.browser()->saveExpansion();
        QString shown;
        whenModal<MibImportDialog>([&shown](MibImportDialog* dialog) {
            shown = dialog->findChild<QLabel*>()->text();
            buttonWithText(dialog, "Apply")->click();
        });
        window.importMibModules({m_dir.filePath("in/dep.mib")});
        QTRY_VERIFY_WITH_TIMEOUT(window.treeModel().findByPath("1.3.6.1.4.1.88888.2") || !prompts.asked.isEmpty(),
                                 60000);
        QVERIFY2(prompts.asked.isEmpty(), qPrintable(prompts.asked.value(0).text));
        QVERIFY2(shown.startsWith("Modules: 1 loaded, 0 with problems, 0 not loaded.\nApplying adds 2 nodes"),
                 qPrintable(shown));
        QCOMPARE(window.browser()->saveExpansion(), expansion);
        QCOMPARE(window.browser()->currentOid()->numericPath(), "1.3.6.1.2.1.1.1");
        QVERIFY(QFile::exists(dir.filePath("Brantwick/Tessaro/mibs/dep.mib")));
    }

    // Steps on one database, in order.
    void importAndApply_data()
    {
        QTest::addColumn<QStringList>("files"); // under the temporary folder
        QTest::addColumn<QString>("module");    // name|kind|nodes|start of the reason
        QTest::addColumn<QString>("node");      // in the database afterwards; empty: unchanged
        QTest::addColumn<QStringList>("kept");  // empty: the run finishes without a result
        QTest::newRow("importer alone") << QStringList{"alone/use.mib"}
                                        << "TEST-USE-MIB|2|0|Cannot find module (TEST-DEP-MIB)"
                                        << "" << QStringList();
        QTest::newRow("hostile") << QStringList{"in/evil.mib"} << "EVIL-MIB|2|0|"
                                 << "" << QStringList();
        QTest::newRow("not a MIB") << QStringList{"in/my notes.txt"} << "my notes.txt|2|0|not a MIB module"
                                   << "" << QStringList();
        QTest::newRow("dependency") << QStringList{"in/dep.mib", "in/my notes.txt"} << "TEST-DEP-MIB|0|2|"
                                    << "depSize" << QStringList{"dep.mib"};
        QTest::newRow("importer, dependency kept") << QStringList{"alone/use.mib"} << "TEST-USE-MIB|0|1|"
                                                   << "useValue" << QStringList{"dep.mib", "use.mib"};
        QTest::newRow("same again") << QStringList{"alone/use.mib"} << "TEST-USE-MIB|0|1|"
                                    << "" << QStringList{"dep.mib", "use.mib"};
    }

    void importAndApply()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, module);
        QFETCH(QString, node);
        QFETCH(QStringList, kept);
        const bool ok = !kept.isEmpty();
        const QByteArray before = readBytes(m_db);
        MibImport import(Builder, m_db, m_kept);
        QSignalSpy progress(&import, &MibImport::progress);
        QSignalSpy finished(&import, &MibImport::finished);
        for (QString& file : files)
            file = m_dir.filePath(file);
        import.setSearchFolders({CoreDir});
        QVERIFY(import.start(files) && finished.wait(120000));
        QVERIFY2(finished.first().first().toBool() == ok, qPrintable(import.errorText()));
        QStringList got;
        for (const MibImport::Module& m : import.modules())
            got << QString("%1|%2|%3|%4").arg(m.name).arg(m.kind).arg(m.nodes).arg(m.reason);
        QVERIFY2(got.join('\n').contains(module), qPrintable(got.join('\n')));
        QCOMPARE(import.hasChanges(), !node.isEmpty());
        QVERIFY(!ok || !progress.isEmpty());
        QCOMPARE(import.summary().added > 0, import.hasChanges());
        QCOMPARE(import.summary().total > 300, ok);
        QCOMPARE(ok ? import.apply() : (import.discard(), false), ok);
        QCOMPARE(readBytes(m_db) == before, node.isEmpty());
        QVERIFY(node.isEmpty() || hasNode(m_db, node));
        QCOMPARE(QDir(m_kept).entryList(QDir::Files), kept);
        QCOMPARE(QDir(m_dir.filePath("data")).entryList(QDir::Files), QStringList{"MIB.db"});
    }

    // Removal of imported modules, on the database the steps above left.
    void removal_data()
    {
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QString>("result"); // the error, or the node gone
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("needed by another")
            << QStringList{"TEST-DEP-MIB"} << "remove TEST-USE-MIB too" << QStringList{"dep.mib", "use.mib"};
        QTest::newRow("importer") << QStringList{"TEST-USE-MIB"} << "useValue" << QStringList{"dep.mib"};
        QTest::newRow("dependency") << QStringList{"TEST-DEP-MIB"} << "depSize" << QStringList();
    }

    void removal()
    {
        QFETCH(QStringList, modules);
        QFETCH(QString, result);
        QFETCH(QStringList, kept);
        const bool ok = !result.contains(' ');
        const QByteArray before = readBytes(m_db);
        QVERIFY(MibImport::importedModules(m_kept).contains(modules.first()));
        MibImport import(Builder, m_db, m_kept);
        QSignalSpy finished(&import, &MibImport::finished);
        QVERIFY(import.startRemoval(modules) && finished.wait(60000));
        QCOMPARE(finished.first().first().toBool(), ok);
        QVERIFY2(ok ? import.apply() : import.errorText().contains(result), qPrintable(import.errorText()));
        QCOMPARE(readBytes(m_db) == before, !ok);
        QCOMPARE(hasNode(m_db, result), false);
        QVERIFY(hasNode(m_db, "enterprises"));
        QCOMPARE(QDir(m_kept).entryList(QDir::Files), kept);
        QVERIFY(!QFile::exists(import.pendingDatabase()));
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
        QTest::newRow("builder crashes") << m_dir.filePath("crash.sh") << "The MIB compiler stopped unexpectedly.";
    }

    void noResult()
    {
        QFETCH(QString, builder);
        QFETCH(QString, error);
        const QByteArray before = readBytes(m_db);
        if (error.isEmpty()) // a folder where the copy would go
            QVERIFY(writeBytes(m_db + ".import/x", "x"));
        MibImport import(builder, m_db, m_kept);
        QSignalSpy finished(&import, &MibImport::finished);
        connect(&import, &MibImport::progress, &import, &MibImport::cancel);
        import.setSearchFolders({CoreDir});
        const bool started = import.start({CoreDir, "/usr/share/snmp/mibs"});
        if (error.isEmpty())
            QDir(m_db + ".import").removeRecursively();
        QCOMPARE(started, !error.isEmpty());
        QVERIFY(!started || (finished.wait(60000) && !finished.first().first().toBool() && !import.isRunning()));
        QVERIFY2(import.errorText().contains(error.isEmpty() ? m_dir.filePath("data") : error),
                 qPrintable(import.errorText()));
        QCOMPARE(readBytes(m_db), before);
        QVERIFY(!QFile::exists(import.pendingDatabase()));
    }
};

QTEST_MAIN(TestMibImport)
#include "test_mibimport.moc"
