#include "app/Updater.h"
#include "config/AlertMailSettings.h"
#include "config/DeviceList.h"
#include "config/OidEntryFile.h"
#include "config/TrapAlertFile.h"
#include "mibdb/MibDbWriter.h"
#include "platform/AppSettings.h"
#include "platform/RegistryStore.h"
#include "TestFiles.h"

#include <QtTest>

#include <random>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>

// One save into a folder of a text that is short for version 0 and large for versions 1 and 2;
// true when the save said it succeeded.
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
            return list.save() && !list.isUnsaved();
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
                                           AlertMailSettings mail;
                                           mail.server = text;
                                           return mail.save().isEmpty();
                                       });
        // The swap needs no space of its own: the download it puts in place is what a full disk stops.
        QTest::newRow("database swap") << "MIB.db" << Save([](const QString& folder, const QString& text) {
            return writeBytes(folder + "/in/new.db", text.toUtf8()) &&
                   Updater::replaceFile(folder + "/MIB.db", folder + "/in/new.db", folder + "/MIB.db.old");
        });
        QTest::newRow("database build") << "MIB.db" << Save([](const QString& folder, const QString& text) {
            return MibDbWriter(folder + "/MIB.db").write({{-1, 0, "iso", 1, 0, 0, "M", "m", 0, text, {}, {}}}, 1, 0);
        });
    }

    // Refused by a read-only folder and by a full disk (a file size limit: writes fail with
    // EFBIG), in a child without the capabilities that let root write anywhere, the save says so
    // and the file stays whole. Killed at random moments while it saves the large versions in
    // turn, it leaves one of them whole.
    void saves()
    {
        QFETCH(QString, file);
        QFETCH(Save, save);
        QTemporaryDir dir, other;
        const QString path = dir.filePath(file), folder = QFileInfo(path).path();
        QVERIFY(this->save(save, other.path(), 2) && this->save(save, dir.path(), 0));
        QByteArray versions[] = {readBytes(path), {}, readBytes(other.filePath(file))};
        // With a size limit one save, its exit code telling whether it failed; else saves until killed.
        const auto child = [&](rlim_t limit) {
            const pid_t pid = fork();
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct none[2]{};
            const rlimit size = {limit, RLIM_INFINITY};
            if (pid == 0 && limit)
                _exit(syscall(SYS_capset, &header, none) == 0 && signal(SIGXFSZ, SIG_IGN) != SIG_ERR &&
                      setrlimit(RLIMIT_FSIZE, &size) == 0 && !this->save(save, dir.path(), 2, 3000));
            for (int i = 0; pid == 0 && i < 1000; ++i)
                this->save(save, dir.path(), 2 - i % 2);
            if (pid == 0)
                _exit(0);
            return pid;
        };
        for (const bool readOnly : {true, false}) {
            const QFile::Permissions readable = QFile::ReadOwner | QFile::ExeOwner;
            QVERIFY(QFile::setPermissions(folder, readOnly ? readable : readable | QFile::WriteOwner));
            const pid_t pid = child(readOnly ? RLIM_INFINITY : 4096);
            int status = 0;
            QVERIFY2(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 1, qPrintable(QString("%1 %2 %3 %4").arg(readOnly).arg(status, 0, 16).arg(readBytes(path).size()).arg(versions[0].size())));
            QCOMPARE(readBytes(path), versions[0]);
        }

        QElapsedTimer timer;
        timer.start();
        QVERIFY(this->save(save, dir.path(), 1));
        const qint64 saveTime = timer.nsecsElapsed() / 1000;
        versions[1] = readBytes(path);
        std::mt19937 pick(qHash(file));
        int kills = 0, changes = 0;
        for (timer.start(); kills < 200 && timer.elapsed() < 10000; ++kills) {
            const QByteArray before = readBytes(path);
            const pid_t pid = child(0);
            usleep(pick() % (6 * saveTime + 2000));
            QVERIFY(pid > 0 && kill(pid, SIGKILL) == 0 && waitpid(pid, nullptr, 0) == pid);
            const QByteArray now = readBytes(path);
            QVERIFY2(now == versions[1] || now == versions[2],
                     qPrintable(QString("kill %1: %2 bytes").arg(kills).arg(now.size())));
            changes += now != before;
        }
        qInfo("%d kills, %d changed the file, a save takes %lld us", kills, changes, saveTime);
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "test_savefaults.moc"
