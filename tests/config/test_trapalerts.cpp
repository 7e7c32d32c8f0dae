// The trap alert rules file as the monitoring service reads it: its lines, the header, adding
// a rule only once, and writes that are refused.

#include "config/ConfigFile.h"
#include "config/TrapAlertFile.h"
#include "TestFiles.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using Entry = TrapAlertFile::Entry;
Q_DECLARE_METATYPE(Entry)

namespace {

Entry rule(const QString& ip, const QString& oid, const QString& value, const QString& email,
           const QString& description)
{
    Entry entry{ip, {}, value, email, description};
    if (oid != "*")
        TrapAlertFile::parseOid(oid, &entry.oid);
    return entry;
}

} // namespace

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
        for (int i = 0; i < 37; ++i)
            QVERIFY2(lines.at(i).startsWith(';') && lines.at(i).endsWith('\r'), lines.at(i));
        QCOMPARE(lines.at(0), ";This is the SNMP Trap Alert file\r");
        QCOMPARE(lines.at(34), ";Enter your servers below:\r");
        QCOMPARE(lines.at(35), ";TRAP SOURCE\t\tTRAP OID\t\t\t\tTRAP VALUE\tEMAIL ALERT\t\t\tDESCRIPTION\r");
        QVERIFY(lines.at(37) == "\r" && lines.at(38).isEmpty());
        QVERIFY(writeBytes(m_path, header));
        QVERIFY(TrapAlertFile::readEntries(m_path).isEmpty());
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
            {"10.0.0.1\t.1.3.6\t*\tops@x.org", ""},
            {"10.0.0.1\t1.3.x\t*\tops@x.org", ""},
            {"10.0.0.1\t1..3\t*\tops@x.org", ""},
            {"10.0.0.1\t1.3.\t*\tops@x.org", ""},
            {"10.0.0.1\t1.-3\t*\tops@x.org", ""},
            {"10.0.0.1\t1.4294967296\t*\tops@x.org", ""},
            {"10.0.0.1\t1.3\tops@x.org", ""},
            {"10.0.0.1\t1.3\t \tops@x.org", ""},
            {";10.0.0.1\t1.3\t5\tops@x.org", ""}};
        for (const auto& [line, expected] : rows)
            QTest::newRow(line) << QByteArray(line) << QString::fromUtf8(expected);
    }

    void read()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QVERIFY(writeBytes(m_path, "a\tb\r\n" + line + "\r\n;comment\r\n"));
        const QList<Entry> entries = TrapAlertFile::readEntries(m_path);
        const QStringList f = expected.split('|');
        QCOMPARE(entries, expected.isEmpty() ? QList<Entry>() : QList<Entry>{rule(f[0], f[1], f[2], f[3], f[4])});
    }

    void writeAndReadBack()
    {
        const QList<Entry> entries{rule("", "1.3.6.1.4.1.9.0.1", "", "ops@x.org", ""),
                                   rule("core-1", "*", "-7", "a@b,c@d", "Link – down")};
        QVERIFY(TrapAlertFile::writeEntries(m_path, entries));
        QCOMPARE(readBytes(m_path), TrapAlertFile::header() + "*\t1.3.6.1.4.1.9.0.1\t*\tops@x.org\t\r\n" +
                                        "core-1\t*\t-7\ta@b,c@d\tLink – down\r\n");
        QCOMPARE(TrapAlertFile::readEntries(m_path), entries);
        QVERIFY(TrapAlertFile::writeEntries(m_path, {}));
        QCOMPARE(readBytes(m_path), TrapAlertFile::header());
    }

    void refused_data()
    {
        QTest::addColumn<Entry>("entry");
        QTest::addColumn<bool>("refusedByDisk");
        const Entry fine = rule("10.0.0.1", "1.3", "5", "ops@x.org", "down");
        const auto with = [&fine](int field, const QString& text) {
            Entry entry = fine;
            QString* const fields[] = {&entry.ip, &entry.value, &entry.email, &entry.description};
            *fields[field] = text;
            return entry;
        };
        QTest::newRow("';' in the description") << with(3, "a;b") << false;
        QTest::newRow("tab in the source") << with(0, "10.0.0.1\t2") << false;
        QTest::newRow("line break in the value") << with(1, "5\n6") << false;
        QTest::newRow("'\"' in the e-mail") << with(2, "\"ops\"@x.org") << false;
        QTest::newRow("'*' as value") << with(1, "*") << false;
        QTest::newRow("no e-mail") << with(2, "") << false;
        QTest::newRow("space around the description") << with(3, " down") << false;
        QTest::newRow("disk refuses") << fine << true;
    }

    void refused()
    {
        QFETCH(Entry, entry);
        QFETCH(bool, refusedByDisk);
        QVERIFY(writeBytes(m_path, "old"));
        QVERIFY(refusedByDisk == entry.problem().isEmpty());
        const auto reset = qScopeGuard([] { setSaveStepFilter(nullptr); });
        if (refusedByDisk)
            setSaveStepFilter([](SaveStep) { return false; });
        QString error;
        QVERIFY(!TrapAlertFile::writeEntries(m_path, {rule("", "*", "", "a@b", ""), entry}, &error));
        QVERIFY(refusedByDisk ? !error.isEmpty() : error == entry.problem());
        QCOMPARE(readBytes(m_path), QByteArray("old"));
    }

    void addOnce()
    {
        const Entry first = rule("", "1.3.6", "", "ops@x.org", "");
        QVERIFY(TrapAlertFile::writeEntries(m_path, {first}));
        const QByteArray before = readBytes(m_path);
        TrapAlertFile file;
        file.setFileName(m_path);
        QVERIFY(!file.add(first));
        QCOMPARE(readBytes(m_path), before);
        Entry second = first;
        second.description = "again";
        QVERIFY(file.add(second));
        QCOMPARE(file.entries(), (QList<Entry>{first, second}));
        QCOMPARE(TrapAlertFile::readEntries(m_path), file.entries());
    }
};

QTEST_MAIN(TestTrapAlerts)
#include "test_trapalerts.moc"
