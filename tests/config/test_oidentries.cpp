#include "config/ConfigFile.h"
#include "config/MonitoredOids.h"
#include "config/OidEntryFile.h"
#include "mib/Oid.h"
#include "TestFiles.h"

#include <QtTest>

namespace {

OidEntry sample()
{
    const QString oid = QStringLiteral("1.3.6.1.2.1.2.2.1.10.2");
    const QString file = OidEntry::fileNameFor(oid, "10.0.0.1", "2", "In");
    return {"10.0.0.1", "2", file, "Uplink – traffic in", "Bits per second", "In", oid, "UCOUNTER", "*8", "40,90", {}};
}

} // namespace

class TestOidEntries final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("OIDEntry.cfg");

private slots:
    void header()
    {
        const QByteArray header = oidEntryFileHeader();
        QVERIFY(header.startsWith(";This is the OID Entry file\r\n"));
        const QList<QByteArray> lines = header.left(header.size() - 10).split('\n');
        QCOMPARE(lines.size(), 77); // 76 lines and what follows the last line end
        for (int i = 0; i < 76; ++i)
            QVERIFY2(lines.at(i).startsWith(';') && lines.at(i).endsWith('\r'), lines.at(i));
        QVERIFY(header.endsWith("\r\n\r\n\r\n\r\n\r\n") && lines.at(73) == ";Enter your interfaces below:\r");
        QVERIFY(lines.at(74).startsWith(";IPAddress\tInt #\tFileName\tGraph Description\tYAxis\tOID Note\tOID\t"));
        // The header reads as no entries at all.
        bool readable = false;
        QVERIFY(writeBytes(m_path, header) && readOidEntries(m_path, &readable).isEmpty() && readable);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("fields"); // ip, interface, type word, oid, alert e-mail; empty: skipped
        const QByteArray line = "10.0.0.1\t/\tf\td\ty\tl\tUCOUNTER8:1.3.6.1.2.1.2.2.1.16.1\t/\t/\ta@b.c";
        const QStringList ucounter8{"10.0.0.1", "", "UCOUNTER8", "1.3.6.1.2.1.2.2.1.16.1", "a@b.c"};
        QTest::newRow("one tab") << QByteArray(line + "\r\n") << ucounter8;
        QTest::newRow("tab runs") << QByteArray(QByteArray(line).replace("\t", "\t\t") + "; a note\n") << ucounter8;
        QTest::newRow("no type word") << QByteArray("h\t3\tf\td\ty\tl\t1.3.6\t/\t/\t/")
                                      << QStringList{"h", "3", "", "1.3.6", ""};
        QTest::newRow("second colon kept")
            << QByteArray("h\t3\tf\td\ty\tl\tSGAUGE:1:2\t/\t/\t/") << QStringList{"h", "3", "SGAUGE", "1:2", ""};
        QTest::newRow("empty column not marked") << QByteArray("h\t\tf\td\ty\tl\tSGAUGE:1.3\t/\t/\t/") << QStringList();
        QTest::newRow("';' in the description")
            << QByteArray("h\t/\tf\td;x\ty\tl\tSGAUGE:1.3\t/\t/\t/") << QStringList();
        QTest::newRow("eleven columns") << QByteArray("h\t/\tf\td\ty\tl\tSGAUGE:1.3\t/\t/\t/\tx") << QStringList();
    }
    void reading()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, fields);
        QVERIFY(writeBytes(m_path, "; first\r\n" + line + "\r\nx\r\n"));
        const QList<OidEntry> entries = readOidEntries(m_path);
        QCOMPARE(entries.size(), fields.isEmpty() ? 0 : 1);
        if (fields.isEmpty())
            return;
        const OidEntry& entry = entries.first();
        QCOMPARE((QStringList{entry.ipAddress, entry.interfaceNumber, entry.typeWord, entry.oid, entry.alertEmail}),
                 fields);
    }

    void write()
    {
        OidEntry deviceLevel = sample();
        deviceLevel.interfaceNumber.clear();
        deviceLevel.transform.clear();
        deviceLevel.fileName = OidEntry::fileNameFor(deviceLevel.oid, deviceLevel.ipAddress, {}, QStringLiteral("In"));
        QVERIFY(writeOidEntries(m_path, {sample(), deviceLevel}));
        const QByteArray bytes = readBytes(m_path);
        QVERIFY(bytes.startsWith(oidEntryFileHeader()));
        QVERIFY(
            bytes.endsWith("10.0.0.1\t/\t1.3.6.1.2.1.2.2.1.10.2-10.0.0.1-0-In\tUplink \xe2\x80\x93 traffic in\tBits "
                           "per second\tIn\tUCOUNTER:1.3.6.1.2.1.2.2.1.10.2\t/\t40,90\t/\r\n"));

        // A value the line cannot hold refuses the whole save and leaves the file as it was.
        for (const char* bad : {"a;b", "a\tb", "a\nb"}) {
            OidEntry broken = sample();
            broken.legendLabel = QString::fromLatin1(bad);
            QString error;
            QVERIFY(!writeOidEntries(m_path, {sample(), broken}, &error) && !error.isEmpty());
            QCOMPARE(readBytes(m_path), bytes);
        }
    }

    void problems_data()
    {
        QTest::addColumn<int>("field"); // index in the column order; the OID column is the OID
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("problem"); // part of it; empty: none
        const QString rows =
            "3|Core ; switch|description cannot hold ';'~9|\"Ops\" <ops@x.y>|notification e-mail cannot hold '\"'~"
            "5|a\tb|legend label cannot hold a tab~4|a\r\nb|Y-axis label cannot hold a line break~"
            "8|/|alert threshold cannot be just \"/\"~4|a/b|~3|Température|";
        for (const QString& row : rows.split('~'))
            QTest::newRow(qPrintable(row.section('|', 1, 1)))
                << row.section('|', 0, 0).toInt() << row.section('|', 1, 1) << row.section('|', 2);
    }
    void problems()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, problem);
        OidEntry entry = sample();
        QString* fields[] = {&entry.ipAddress,      &entry.interfaceNumber, &entry.fileName, &entry.graphDescription,
                             &entry.yAxisLabel,     &entry.legendLabel,     &entry.oid,      &entry.transform,
                             &entry.alertThreshold, &entry.alertEmail};
        *fields[field] = value;
        QVERIFY2(problem.isEmpty() ? entry.problem().isEmpty() : entry.problem().contains(problem),
                 qPrintable(entry.problem()));
    }

    void typeWords_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("typeBack"); // the type the word stands for without the MIB
        const QList<std::tuple<int, const char*, int>> rows{
            {Oid::Integer, "SGAUGE", Oid::Integer},       {Oid::Integer32, "SGAUGE", Oid::Integer},
            {Oid::Gauge, "UGAUGE", Oid::UnsignedInteger}, {Oid::Unsigned32, "UGAUGE", Oid::UnsignedInteger},
            {Oid::Counter64, "UCOUNTER", Oid::Counter},   {Oid::TimeTicks, "UCOUNTER", Oid::Counter},
            {Oid::OctetString, "", Oid::Other},           {Oid::IpAddress, "", Oid::Other}};
        for (const auto& [type, word, typeBack] : rows)
            QTest::addRow("%s", qPrintable(Oid::typeName(type))) << type << QString(word) << typeBack;
    }
    void typeWords()
    {
        QFETCH(int, type);
        QFETCH(QString, word);
        QCOMPARE(typeWordForMibType(type), word);
        QTEST(mibTypeForTypeWord(QStringLiteral(" %1 ").arg(word.toLower())), "typeBack");
    }

    // Saving deletes the history of changed entries only; a failed save keeps the changes and the history.
    void pendingChanges()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("Data"));
        const QString path = dir.filePath(QStringLiteral("OIDEntry.cfg"));
        auto history = [&](const QString& name) { return dir.filePath(QStringLiteral("Data/") + name + ".dat"); };
        const QStringList files{history(QStringLiteral("kept")), history(sample().fileName),
                                dir.filePath(QStringLiteral("outside.dat"))};
        for (const QString& file : files)
            writeBytes(file, "history");

        MonitoredOids list(path, dir.filePath(QStringLiteral("Data")));
        list.load();
        QVERIFY(list.entries().isEmpty() && list.savePending() && !QFile::exists(path)); // nothing to save
        list.add(sample());
        list.replace({}, {}); // a list dialog that changed nothing
        QCOMPARE(list.entries().size(), 1);
        list.replace(list.entries(), {QStringLiteral("../outside")});
        QVERIFY(list.historyFile(QStringLiteral("../outside")).isEmpty());

        setSaveStepFilter([](SaveStep) { return false; });
        QVERIFY(!list.savePending());
        setSaveStepFilter(nullptr);
        QVERIFY(!list.errorText().isEmpty() && list.hasPendingChanges() && !QFile::exists(path));
        QVERIFY(std::all_of(files.begin(), files.end(), [](const QString& file) { return QFile::exists(file); }));

        QVERIFY(list.savePending() && !list.hasPendingChanges() && list.errorText().isEmpty());
        QVERIFY(QFile::exists(files.at(0)) && !QFile::exists(files.at(1)) && QFile::exists(files.at(2)));
        MonitoredOids reread(path, {});
        reread.load();
        QCOMPARE(reread.entries(), list.entries());
    }
};

QTEST_GUILESS_MAIN(TestOidEntries)
#include "test_oidentries.moc"
