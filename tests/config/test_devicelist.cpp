// The device list in memory: reading it, reading it again only when the file changed, a save
// that fails and is tried again, and the device information merged into its records.

#include "config/DeviceList.h"

#include <QtTest>

using Entry = VelmoraFile::Entry;
using Info = SnmpReader::HostInfoResult;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    QVERIFY(file.open(mode));
    QCOMPARE(file.write(bytes), bytes.size());
}

Entry entry(const QString& ip)
{
    Entry entry;
    entry.ipAddress = ip;
    entry.group = "Default";
    entry.credentials.version = 2;
    entry.credentials.community = "public";
    return entry;
}

Info info(const QString& ip, const QString& name, bool ok = true)
{
    Info info;
    info.ip = ip;
    info.sysName = name;
    info.ok = ok;
    return info;
}

QStringList names(const DeviceList& list)
{
    QStringList names;
    for (const Info& info : list.deviceInfo())
        names << info.sysName;
    return names;
}

} // namespace

class TestDeviceList final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_asked; // addresses asked for device information, in order

    void listen(DeviceList& list)
    {
        list.setInfoRequest([this](const QString& ip, const SnmpUtils::SnmpParams&, int flags, int) {
            QCOMPARE(flags, int(DeviceList::InfoFlags));
            m_asked << ip;
        });
    }

private slots:
    void loadAndReloadWhenChanged()
    {
        const QString path = m_dir.filePath("Velmora.cfg");
        writeBytes(path, "10.0.0.1\tA\tpublic\r\n10.0.0.2\tB\t&v1(\"x\")\r\n");
        DeviceList list(path);
        listen(list);
        list.load({{"10.0.0.2", "named-before"}});
        QCOMPARE(list.entries().size(), 2);
        QCOMPARE(list.entries().at(1).ipAddress, "10.0.0.2");
        QCOMPARE(list.deviceInfo().at(1).ip, "10.0.0.2");
        QCOMPARE(names(list), (QStringList{"", "named-before"}));
        list.requestDeviceInfo();
        QCOMPARE(m_asked, (QStringList{"10.0.0.1", "10.0.0.2"}));
        list.onHostResolved(info("10.0.0.1", "sw-1"), list.requestId());

        // Unchanged on disk: nothing is read again.
        m_asked.clear();
        QVERIFY(!list.reloadIfChanged({}));
        QCOMPARE(names(list), (QStringList{"sw-1", "named-before"}));

        // A line added behind the list's back: known devices keep what was found, only the new one is asked.
        writeBytes(path, "10.0.0.3\tC\tpublic\r\n", QIODevice::Append);
        QVERIFY(list.changedOnDisk());
        QVERIFY(list.reloadIfChanged({{"10.0.0.3", "named-too"}}));
        QCOMPARE(names(list), (QStringList{"sw-1", "named-before", "named-too"}));
        QCOMPARE(m_asked, QStringList{"10.0.0.3"});
        QVERIFY(!list.changedOnDisk() && !list.reloadIfChanged({}));
    }

    void failedSaveIsKeptAndRetried()
    {
        // A folder in the file's place can neither be read as the list nor replaced by it.
        const QString path = m_dir.filePath("blocked.cfg");
        QVERIFY(QDir().mkpath(path + "/inside"));
        DeviceList list(path);
        listen(list);
        list.load({});
        QVERIFY(list.entries().isEmpty() && !list.isUnsaved());
        list.setDevices({entry("10.0.0.9")}, {info("10.0.0.9", "")});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*blocked.cfg: "));
        QVERIFY(!list.save());
        QVERIFY(list.isUnsaved());

        // The unsaved list wins over a file that turned up meanwhile, and the next save writes it.
        QVERIFY(QDir(path).removeRecursively());
        writeBytes(path, "10.0.0.1\tA\tpublic\r\n");
        QVERIFY(!list.reloadIfChanged({}));
        QVERIFY(list.save());
        QVERIFY(!list.isUnsaved() && !list.changedOnDisk());
        QCOMPARE(VelmoraFile(path).entries().value(0).ipAddress, "10.0.0.9");
        QCOMPARE(VelmoraFile(path).entries().size(), 1);
    }

    void mergeDeviceInfo_data()
    {
        QTest::addColumn<bool>("own");
        QTest::addColumn<Info>("result");
        QTest::addColumn<QList<int>>("rows"); // the rows that take it

        QTest::newRow("own failure counts") << true << info("10.0.0.1", "x", false) << QList<int>{0, 2};
        QTest::newRow("another's answer counts") << false << info("10.0.0.2", "x") << QList<int>{1};
        QTest::newRow("another's failure does not") << false << info("10.0.0.2", "x", false) << QList<int>{};
        QTest::newRow("not in the list") << true << info("192.0.2.1", "x") << QList<int>{};
    }

    void mergeDeviceInfo()
    {
        QFETCH(bool, own);
        QFETCH(Info, result);
        QFETCH(QList<int>, rows);

        DeviceList list(m_dir.filePath("unused.cfg"));
        const QList<Info> before{info("10.0.0.1", "a"), info("10.0.0.2", "b"), info("10.0.0.1", "a")};
        list.setDevices({entry("10.0.0.1"), entry("10.0.0.2"), entry("10.0.0.1")}, before);
        QSignalSpy changed(&list, &DeviceList::deviceInfoChanged);
        result.sysDescr = "described";
        result.addresses.append({1, "10.9.0.1", "255.0.0.0"});
        list.onHostResolved(result, own ? list.requestId() : list.requestId() + 1000);

        QCOMPARE(changed.size(), rows.size());
        for (int row = 0; row < before.size(); ++row) {
            const Info& expected = rows.contains(row) ? result : before.at(row);
            const Info& merged = list.deviceInfo().at(row);
            QCOMPARE(merged.sysName, expected.sysName);
            QCOMPARE(merged.ok, expected.ok);
            QCOMPARE(merged.sysDescr, expected.sysDescr);
            QCOMPARE(merged.addresses.size(), expected.addresses.size());
            QCOMPARE(changed.value(rows.indexOf(row)).value(0), rows.contains(row) ? QVariant(row) : QVariant());
        }
    }
};

QTEST_GUILESS_MAIN(TestDeviceList)
#include "test_devicelist.moc"
