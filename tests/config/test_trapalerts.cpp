#include "config/ConfigFile.h"
#include "config/TrapAlertFile.h"
#include "TestFiles.h"

#include <QtTest>

using Entry = TrapAlertFile::Entry;

// A rule from "ip|oid|value|email|description", "*" in oid for any.
static Entry rule(const QString& text)
{
    const QStringList f = text.split('|');
    Entry entry{f[0], {}, f[2], f[3], f[4]};
    TrapAlertFile::parseOid(f[1], &entry.oid);
    return entry;
}

class TestTrapAlerts final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("TrapAlert.cfg");

private slots:
    void header()
    {
        const QByteArray header = TrapAlertFile::header();
        const QList<QByteArray> lines = header.split('\n');
        QCOMPARE(lines.size(), 39); // 38 lines and nothing after the last line end
        for (int i = 0; i < 38; ++i)
            QVERIFY2(lines.at(i).startsWith(i < 37 ? ";" : "\r") && lines.at(i).endsWith('\r'), lines.at(i));
        QVERIFY(lines[0] == ";This is the SNMP Trap Alert file\r" && lines[34] == ";Enter your servers below:\r");
        QCOMPARE(lines.at(35), ";TRAP SOURCE\t\tTRAP OID\t\t\t\tTRAP VALUE\tEMAIL ALERT\t\t\tDESCRIPTION\r");
        QVERIFY(writeBytes(m_path, header) && TrapAlertFile::readEntries(m_path).isEmpty());
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected"); // ip|oid|value|email|description; empty: skipped
        const QList<std::pair<const char*, const char*>> rows{
            {"*\t1.3.6.1.4.1.9.0.1\t*\tops@x.org\t\r\n", "|1.3.6.1.4.1.9.0.1||ops@x.org|"},
            {"10.0.0.1\t\t1.3.6\t\t\t\t32\t\tops@x.org\t\tLink – down\t\textra",
             "10.0.0.1|1.3.6|32|ops@x.org|Link – down"},
            {"10.0.0.1\t*\t5\tops@x.org", "10.0.0.1|*|5|ops@x.org|"},
            {"  10.0.0.1 \t 1.3 \t 5 \t a@b, c@d \t see a;b\t\tc", "10.0.0.1|1.3|5|a@b, c@d|see a"},
            {"10.0.0.1\t1.3\tops@x.org", ""},
            {"10.0.0.1\t1.3\t \tops@x.org", ""}};
        for (const char* oid : {".1.3.6", "1.3.x", "1.-3", "1.4294967296"})
            QTest::newRow(oid) << "10.0.0.1\t" + QByteArray(oid) + "\t*\tops@x.org" << QString();
        for (const auto& [line, expected] : rows)
            QTest::newRow(line) << QByteArray(line) << QString::fromUtf8(expected);
    }

    void read()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QVERIFY(writeBytes(m_path, "a\tb\r\n" + line + "\r\n;comment\r\n"));
        QCOMPARE(TrapAlertFile::readEntries(m_path),
                 expected.isEmpty() ? QList<Entry>() : QList<Entry>{rule(expected)});
    }

    void write()
    {
        const QList<Entry> entries{rule("|1.3.6.1.4.1.9.0.1||ops@x.org|"), rule("core-1|*|-7|a@b,c@d|Link – down")};
        QVERIFY(TrapAlertFile::writeEntries(m_path, entries));
        QCOMPARE(readBytes(m_path), TrapAlertFile::header() + "*\t1.3.6.1.4.1.9.0.1\t*\tops@x.org\t\r\n" +
                                        "core-1\t*\t-7\ta@b,c@d\tLink – down\r\n");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("text"); // a fine rule: the disk refuses
        for (const char* text : {"10.0.0.1|1.3|5|ops@x.org|a;b", "10.0.0.1\t2|1.3|5|ops@x.org|", "|1.3|5\n6|ops@x.org|",
                                 "|1.3||\"ops\"@x.org|", "|1.3|*|ops@x.org|", "|1.3|5||", "|1.3|5|ops@x.org| down",
                                 "|1.3|5|ops@x.org|fine"})
            QTest::newRow(text) << QString(text);
    }

    void refused()
    {
        QFETCH(QString, text);
        const Entry entry = rule(text);
        const bool refusedByDisk = entry.problem().isEmpty();
        QCOMPARE(refusedByDisk, text.endsWith("fine"));
        QVERIFY(writeBytes(m_path, "old"));
        const auto reset = qScopeGuard([] { setSaveStepFilter(nullptr); });
        setSaveStepFilter([](SaveStep) { return false; });
        QString error;
        QVERIFY(!TrapAlertFile::writeEntries(m_path, {rule("|*||a@b|"), entry}, &error));
        QVERIFY(refusedByDisk ? !error.isEmpty() : error == entry.problem());
        QCOMPARE(readBytes(m_path), QByteArray("old"));
    }

    void addOnce()
    {
        const Entry first = rule("|1.3.6||ops@x.org|");
        QVERIFY(TrapAlertFile::writeEntries(m_path, {first}));
        const QByteArray before = readBytes(m_path);
        TrapAlertFile file;
        file.setFileName(m_path);
        QVERIFY(!file.add(first));
        QCOMPARE(readBytes(m_path), before);
        const Entry second = rule("|1.3.6||ops@x.org|again");
        QVERIFY(file.add(second) && file.entries() == (QList<Entry>{first, second}));
        QCOMPARE(TrapAlertFile::readEntries(m_path), file.entries());
    }
};

QTEST_MAIN(TestTrapAlerts)
#include "test_trapalerts.moc"
