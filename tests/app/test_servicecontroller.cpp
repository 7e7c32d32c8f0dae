#include "app/ServiceController.h"
#include "platform/SystemdServiceManager.h"
#include "TestFiles.h"

#include <QtTest>

#include <memory>
#include <signal.h>

// The service cycle end to end, against the fake systemctl in a folder of its own per test.
class TestServiceController : public QObject
{
    Q_OBJECT

    const QString service = "orvane.service";
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SystemdServiceManager> m_systemd; // made once the fake is named
    bool m_pending = true;
    bool m_saveOk = true;

    void unit(const QString& name, const QByteArray& settings)
    {
        QVERIFY(writeBytes(m_dir->filePath(name + ".unit"), settings));
    }
    // The starts, stops and saves, in order.
    QStringList calls() const
    {
        const QStringList lines = QString::fromUtf8(readBytes(m_dir->filePath("calls.log"))).split('\n');
        return lines.filter(QRegularExpression("^(start|stop|save)"));
    }
    void watchPending(ServiceController& controller)
    {
        controller.setPendingChanges([this] { return m_pending; },
                                     [this] {
                                         if (m_saveOk)
                                             writeBytes(m_dir->filePath("calls.log"), "save\n", QIODevice::Append);
                                         m_pending = !m_saveOk;
                                         return m_saveOk;
                                     });
    }

private slots:
    void initTestCase()
    {
        qputenv("TESSARO_SYSTEMCTL", QFINDTESTDATA("../fixtures/fake_systemctl.sh").toUtf8());
        m_systemd = std::make_unique<SystemdServiceManager>();
        QVERIFY(m_systemd->program().endsWith("fake_systemctl.sh"));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("FAKE_SYSTEMCTL_DIR", m_dir->path().toUtf8());
        m_pending = m_saveOk = true;
    }
    // Ends the units' processes that the fake started for this test.
    void cleanup()
    {
        for (const QString& name : QDir(m_dir->path()).entryList({"*.pid"})) {
            const int pid = readBytes(m_dir->filePath(name)).trimmed().toInt(); // 0 when unreadable
            if (pid > 0)
                ::kill(pid, SIGTERM);
        }
    }

    void savesAtOnceWhenNotRunning_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("installed");
        QTest::newRow("no unit") << "absent.service" << false;
        QTest::newRow("empty name") << "" << false;
        QTest::newRow("stopped") << service << true;
    }
    void savesAtOnceWhenNotRunning()
    {
        QFETCH(QString, name);
        QFETCH(bool, installed);
        unit(service, "");
        ServiceController controller(*m_systemd, name);
        watchPending(controller);
        QCOMPARE(controller.init(), installed);
        const ServiceController::Actions actions = controller.actions();
        QCOMPARE(std::make_tuple(actions.start, actions.stop, actions.restart),
                 std::make_tuple(installed, false, installed));
        int asked = 0;
        QCOMPARE(controller.confirmPendingChanges([&] { return ++asked; }), ServiceController::Confirm::Saved);
        QCOMPARE(asked, 0);
        QCOMPARE(controller.confirmPendingChanges([&] { return ++asked; }), ServiceController::Confirm::Nothing);
        QCOMPARE(calls(), QStringList({"save"}));
        QSignalSpy busy(&controller, &ServiceController::busy);
        controller.startService();
        QCOMPARE(busy.count(), installed ? 1 : 0);
    }

    void restartStopsDependentsAndSavesBetween()
    {
        unit(service, "stop_delay=300\nrequired_by=other.service\n");
        unit("other.service", "stop_delay=200\n");
        QVERIFY(m_systemd->start(service) && m_systemd->start("other.service"));
        QCOMPARE(m_systemd->activeDependents(service).value_or(QStringList()), QStringList{"other.service"});
        QVERIFY(QFile::remove(m_dir->filePath("calls.log")));
        ServiceController controller(*m_systemd, service);
        watchPending(controller);
        QVERIFY(controller.init());
        QCOMPARE(controller.actions().start, false);
        QCOMPARE(controller.confirmPendingChanges([] { return false; }), ServiceController::Confirm::Postponed);
        QVERIFY(calls().isEmpty());

        QSignalSpy busy(&controller, &ServiceController::busy);
        QSignalSpy started(&controller, &ServiceController::serviceStarted);
        QSignalSpy quit(&controller, &ServiceController::quitRequested);
        controller.setQuitAfterStart(true);
        QCOMPARE(controller.confirmPendingChanges([] { return true; }), ServiceController::Confirm::Restarting);
        QVERIFY(controller.isBusy() && !controller.actions().restart);
        controller.stopService();
        QVERIFY(started.wait(15000));
        QCOMPARE(calls(), QStringList({"stop other.service", "stop orvane.service", "save", "start orvane.service"}));
        QCOMPARE(busy.count(), 2);
        QCOMPARE(busy.at(1).at(0).toString(), "Starting Orvane service...");
        QCOMPARE(quit.count(), 1);
        QVERIFY(controller.isRunning() && !m_pending);
        QCOMPARE(m_systemd->query("other.service")->state, ServiceManager::State::Stopped);
    }

    void failedRestartKeepsChanges_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("saveOk");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("stop times out") << QByteArray("stop_delay=60000") << true << QStringList{"stop orvane.service"};
        QTest::newRow("start times out") << QByteArray("start_delay=60000") << true
                                         << QStringList{"stop orvane.service", "save", "start orvane.service"};
        QTest::newRow("save fails") << QByteArray() << false << QStringList{"stop orvane.service"};
    }
    void failedRestartKeepsChanges()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, saveOk);
        QFETCH(QStringList, expected);
        unit(service, "");
        QVERIFY(m_systemd->start(service));
        unit(service, settings);
        QVERIFY(QFile::remove(m_dir->filePath("calls.log")));
        m_saveOk = saveOk;
        ServiceController controller(*m_systemd, service);
        watchPending(controller);
        QVERIFY(controller.init());
        controller.setStateTimeout(1000);
        controller.setQuitAfterStart(true);
        QSignalSpy idle(&controller, &ServiceController::idle);
        QSignalSpy failed(&controller, &ServiceController::restartFailed);
        QSignalSpy saveFailed(&controller, &ServiceController::pendingSaveFailed);
        QSignalSpy quit(&controller, &ServiceController::quitRequested);
        controller.restartService();
        QVERIFY(idle.wait(15000));
        QCOMPARE(calls(), expected);
        QCOMPARE(std::make_tuple(failed.count(), saveFailed.count(), quit.count()),
                 std::make_tuple(int(saveOk), int(!saveOk), 0));
        QCOMPARE(m_pending, !expected.contains("save"));
    }

    void destroyedWhileWaiting()
    {
        unit(service, "start_delay=60000");
        auto controller = std::make_unique<ServiceController>(*m_systemd, service);
        QVERIFY(controller->init());
        controller->startService();
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        controller.reset();
        QVERIFY(timer.elapsed() < 3000);
    }
};

QTEST_GUILESS_MAIN(TestServiceController)
#include "test_servicecontroller.moc"
