#include "config/DeviceList.h"
#include "TestFiles.h"

#include <QtTest>

using Entry = VelmoraFile::Entry;
using Info = SnmpReader::HostInfoResult;

namespace {

Info info(const QString& ip, const QString& name, bool ok = true)
{
    return {ip, ok, name, name + " described", {}, {{1, "10.9.0.1", "255.0.0.0"}}, {}, {}, false, {}};
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

private slots:
    void loadMergeAndReloadWhenChanged()
    {
        const QString path = m_dir.filePath("Velmora.cfg");
        QVERIFY(writeBytes(path, "10.0.0.1\tA\tpublic\r\n10.0.0.2\tB\t&v1(\"x\")\r\n10.0.0.1\tC\tpublic\r\n"));
        DeviceList list(path);
        QStringList asked; // addresses asked for device information, in order
        list.setInfoRequest([&asked](const QString& ip, const SnmpUtils::SnmpParams&, int flags, int) {
            QCOMPARE(flags, int(DeviceList::InfoFlags));
            asked << ip;
        });
        list.load({{"10.0.0.2", "named-before"}});
        QCOMPARE(names(list), (QStringList{"", "named-before", ""}));
        list.requestDeviceInfo();
        QCOMPARE(asked, (QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.1"}));

        // The list's own results count, failures too; those others asked for only when the device answered.
        QSignalSpy changed(&list, &DeviceList::deviceInfoChanged);
        list.onHostResolved(info("10.0.0.1", "sw-1", false), list.requestId());
        list.onHostResolved(info("10.0.0.2", "not-heard", false), list.requestId() + 1);
        list.onHostResolved(info("10.0.0.2", "sw-2"), list.requestId() + 1);
        list.onHostResolved(info("192.0.2.1", "elsewhere"), list.requestId());
        QCOMPARE(names(list), (QStringList{"sw-1", "sw-2", "sw-1"}));
        QCOMPARE(changed.size(), 3);
        QVERIFY(changed.at(1).at(0) == 2 && changed.at(2).at(0) == 1);
        const Info& merged = list.deviceInfo().at(1);
        QVERIFY(merged.ok && merged.sysDescr == "sw-2 described" && merged.addresses.size() == 1);

        // Unchanged on disk: nothing is read again.
        asked.clear();
        QVERIFY(!list.reloadIfChanged({}));
        // A line added behind the list's back: known devices keep what was found, only the new one is asked.
        QVERIFY(writeBytes(path, "10.0.0.3\tC\tpublic\r\n", QIODevice::Append));
        QVERIFY(list.reloadIfChanged({{"10.0.0.3", "named-too"}}));
        QCOMPARE(names(list), (QStringList{"sw-1", "sw-2", "sw-1", "named-too"}));
        QCOMPARE(asked, QStringList{"10.0.0.3"});
        QVERIFY(!list.changedOnDisk() && !list.reloadIfChanged({}));

        // A name that arrives while the editor is open wins over the editor's older copy, by address.
        const quint64 opened = list.infoStamp();
        list.onHostResolved(info("10.0.0.2", "renamed"), list.requestId());
        QList<Entry> edited = list.entries();
        edited.move(1, 0);
        list.setDevices(edited, {info("10.0.0.2", "sw-2"), info("10.0.0.1", "edited"), {}, {}}, opened);
        QCOMPARE(names(list), (QStringList{"renamed", "edited", "", ""}));
    }

    void failedSaveIsKeptAndRetried()
    {
        // A folder in the file's place can neither be read as the list nor replaced by it.
        const QString path = m_dir.filePath("blocked.cfg");
        QVERIFY(QDir().mkpath(path + "/inside"));
        DeviceList list(path);
        list.load({});
        Entry added;
        added.ipAddress = "10.0.0.9";
        list.setDevices({added}, {info(added.ipAddress, "")});
        QVERIFY(list.isUnsaved());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*blocked.cfg: "));
        QVERIFY(!list.save() && list.isUnsaved());
        QVERIFY(list.errorText().startsWith("The device list ") && list.errorText().contains("could not be saved"));

        // The unsaved list wins over a file that turned up meanwhile, and the next save writes it.
        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(writeBytes(path, "127.0.0.1\tA\tpublic\r\n")); // loopback: a wrong reload would ask it
        QVERIFY(!list.reloadIfChanged({}) && list.save() && !list.isUnsaved() && !list.changedOnDisk());
        QVERIFY(VelmoraFile(path).entries().size() == 1 && list.errorText().isEmpty());
        QCOMPARE(VelmoraFile(path).entries().value(0).ipAddress, "10.0.0.9");
    }

    void unreadCredentialsKeptThroughSave()
    {
        // A value that does not decrypt, an unknown key beside a comment, a zero byte (here ~), one that decrypts.
        QByteArray kept(
            ";devices\r\n10.0.0.4\tD\t" + VelmoraFile::credentialsToText({3, {}, "u", 0, {}, 0, {}}, true).toUtf8() +
            "\t/\t/\t/\t\r\n10.0.0.2\tB\t&v3#(UserName:\"AAAA\", AuthType:SHA1, AuthPass:\"x y\")\t/\t/\t/\t"
            "k ;note\r\n10.0.0.3\tC\t&v3(UserName:\"u\", Context:\"c\")\t1-2-2027\tN1\t555\td~e\r\n");
        kept.replace('~', '\0');
        DeviceList list(m_dir.filePath("unread.cfg"));
        QVERIFY(writeBytes(list.path(), kept + "10.0.0.1\tA\t&v2c(\"public\")\t/\t/\t/\t\r\n"));
        list.load({});
        QCOMPARE(list.unreadCredentials(), (QStringList{"10.0.0.2", "10.0.0.3"}));
        QList<Entry> edited = list.entries();
        edited[3].group = "Z";
        list.setDevices(edited, list.deviceInfo());
        QVERIFY(list.save());
        QCOMPARE(readBytes(list.path()), kept + "10.0.0.1\tZ\t&v2c(\"public\")\t/\t/\t/\t\r\n");
        list.load({});
        QCOMPARE(list.unreadCredentials(), (QStringList{"10.0.0.2", "10.0.0.3"}));
    }
};

QTEST_GUILESS_MAIN(TestDeviceList)
#include "test_devicelist.moc"
