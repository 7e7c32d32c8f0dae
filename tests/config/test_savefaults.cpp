#include "app/Updater.h"
#include "config/AlertMailSettings.h"
#include "config/ConfigFile.h"
#include "config/DeviceList.h"
#include "config/OidEntryFile.h"
#include "config/TrapAlertFile.h"
#include "platform/AppSettings.h"
#include "platform/RegistryStore.h"
#include "TestFiles.h"

#include <QtTest>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>

// One save of a text into a folder; true when the save said it succeeded.
using Save = std::function<bool(const QString& folder, const QString& text)>;
Q_DECLARE_METATYPE(Save)

class TestSaveFaults : public QObject
{
    Q_OBJECT

    static bool save(const Save& save, const QString& folder, int version, int size = 12000)
    {
        return save(folder, QString("v%1.").arg(version).repeated(version ? size : 1));
    }

private slots:
    void saves_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Save>("save");
        QTest::newRow("device list") << "Velmora.cfg" << Save([](const QString& folder, const QString& text) {
            DeviceList list(folder + "/Velmora.cfg");
            list.setDevices({{"10.0.0.1", "G", "public", {}, {}, {}, text, {}, false, true}}, {});
            return list.save();
        });
        QTest::newRow("OID entries") << "OIDEntry.cfg" << Save([](const QString& folder, const QString& text) {
            return writeOidEntries(folder + "/OIDEntry.cfg",
                                   {{"1.1.1.1", {}, "f", text, "y", "l", "1.3", "SGAUGE", {}, {}, {}}});
        });
        QTest::newRow("trap alerts") << "TrapAlert.cfg" << Save([](const QString& folder, const QString& text) {
            return TrapAlertFile::writeEntries(folder + "/TrapAlert.cfg", {{"1.1.1.1", {1, 3}, "5", "a@b.c", text}});
        });
        QTest::newRow("settings") << "Tessaro.ini" << Save([](const QString& folder, const QString& text) {
            AppSettings settings(folder + "/Tessaro.ini");
            settings.setEmailServer(text);
            return !settings.writeFailed();
        });
        QTest::newRow("registry") << "Dunmere/Velmora.ini" << Save([](const QString& folder, const QString& text) {
            return RegistryStore(RegistryStore::View::Native, folder).setValue("Value", text);
        });
        QTest::newRow("alert mail") << "WOW6432Node/Dunmere/Velmora.ini"
                                    << Save([](const QString& folder, const QString& text) {
                                           qputenv("TESSARO_REGISTRY_ROOT", folder.toUtf8());
                                           AlertMailSettings settings;
                                           settings.server = settings.sender = text;
                                           settings.port = text.size() % 60000 + 1;
                                           settings.setUserName(text);
                                           return settings.save().isEmpty();
                                       });
        QTest::newRow("database swap") << "MIB.db" << Save([](const QString& folder, const QString& text) {
            return writeBytes(folder + "/in/new.db", text.toUtf8()) &&
                   Updater::replaceFile(folder + "/MIB.db", folder + "/in/new.db", folder + "/MIB.db.old");
        });
    }

    // A save refused by a read-only folder or a full disk (writes failing with EFBIG) says so and
    // leaves the file whole; one killed at random leaves one version whole.
    void saves()
    {
        QFETCH(QString, file);
        QFETCH(Save, save);
        QTemporaryDir dir, other;
        const QString path = dir.filePath(file), folder = QFileInfo(path).path();
        QVERIFY(this->save(save, other.path(), 2) && this->save(save, dir.path(), 0));
        QByteArray versions[] = {readBytes(path), {}, readBytes(other.filePath(file))};
        const auto child = [&](rlim_t limit) {
            const pid_t pid = fork();
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct none[2]{};
            const rlimit size = {limit, RLIM_INFINITY};
            for (int i = 0; pid == 0 && !limit && i < 1000; ++i) // saves until killed
                this->save(save, dir.path(), 2 - i % 2);
            if (pid == 0) // or one save without root's rights, the exit code telling whether it failed
                _exit(!limit || (syscall(SYS_capset, &header, none) == 0 && signal(SIGXFSZ, SIG_IGN) != SIG_ERR &&
                                 setrlimit(RLIMIT_FSIZE, &size) == 0 && !this->save(save, dir.path(), 2, 3000)));
            return pid;
        };
        for (const rlim_t limit : {RLIM_INFINITY, rlim_t(4096)}) { // a read-only folder, then a full disk
            QVERIFY(QFile::setPermissions(folder, QFile::Permissions(limit == 4096 ? 0x7000 : 0x5000))); // rwx, r-x
            int status = 0, pid = child(limit);
            QVERIFY(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 1);
            QCOMPARE(readBytes(path), versions[0]);
        }
        QElapsedTimer timer;
        timer.start();
        QVERIFY(this->save(save, dir.path(), 1));
        const qint64 saveTime = timer.nsecsElapsed() / 1000;
        versions[1] = readBytes(path);
        int kills = 0;
        for (timer.start(); kills < 200 && timer.elapsed() < 10000; ++kills) {
            const pid_t pid = child(0);
            usleep(QRandomGenerator::global()->bounded(quint32(6 * saveTime + 2000)));
            QVERIFY(pid > 0 && kill(pid, SIGKILL) == 0 && waitpid(pid, nullptr, 0) == pid);
            QVERIFY(readBytes(path) == versions[1] || readBytes(path) == versions[2]);
        }
        qInfo("%d kills, a save takes %lld us", kills, saveTime);
    }

    // Where no temporary file can be made, a save writes into the file itself, and a kill may cut
    // it; the next save then keeps the copy, which holds a whole version, and ends the mark.
    void killedInPlace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("TrapAlert.cfg"), mark = path + ".saving";
        const auto version = [](int n) { return QByteArray("v" + QByteArray::number(n) + ".").repeated(12000); };
        QVERIFY(replaceFile(path, version(3)));
        int kills = 0, cuts = 0;
        QElapsedTimer timer;
        for (timer.start(); kills < 200 && timer.elapsed() < 10000; ++kills) {
            const pid_t pid = fork();
            if (pid == 0) {
                setSaveStepFilter([](SaveStep step) { return step != SaveStep::CreateTemporary; });
                for (int i = 0; i < 1000; ++i)
                    replaceFile(path, version(1 + i % 2));
                _exit(0);
            }
            usleep(QRandomGenerator::global()->bounded(3000u));
            QVERIFY(pid > 0 && kill(pid, SIGKILL) == 0 && waitpid(pid, nullptr, 0) == pid);
            const QByteArray left = readBytes(path);
            cuts += left != version(1) && left != version(2) && left != version(3);
            if (QFile::exists(mark))
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("last save of .* was interrupted"));
            QVERIFY(replaceFile(path, version(3)));
            const QByteArray backup = readBytes(dir.filePath("TrapAlert.bak"));
            QVERIFY2(backup == version(1) || backup == version(2) || backup == version(3),
                     qPrintable(QString("kill %1: the copy holds %2 bytes").arg(kills).arg(backup.size())));
            QVERIFY(!QFile::exists(mark) && readBytes(path) == version(3));
        }
        qInfo("%d kills, %d of them cut the file", kills, cuts);
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "test_savefaults.moc"
