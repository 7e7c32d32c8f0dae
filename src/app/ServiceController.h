#pragma once

#include "platform/ServiceManager.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

// The main window's control of the monitoring service, without widgets. The service reads its
// files only when it starts, so the window's pending monitored-OID changes are written while
// it is stopped: a restart stops it (its running dependents first, which stay stopped), runs
// the save, and starts it again.
//
// Starts and stops run on the controller's own worker thread; each polls the service's state
// (every wait hint, clamped to 100..1000 ms) until it is reached, at most the state time-out
// (30 s) from the request. A stop is done at once when the service is stopped or cannot be
// asked; one that is stopping already is waited for. Their ends come back on the
// controller's thread. One runs at a time: while busy, start, stop and restart are ignored.
// The manager must outlive the controller; destroying the controller cuts a running wait
// short and waits for its end.
class ServiceController final : public QObject
{
    Q_OBJECT

public:
    struct Actions
    {
        bool start = false;
        bool stop = false;
        bool restart = false;
    };
    enum class Confirm
    {
        Saved,      // the service was not running: the changes were written at once
        SaveFailed, // as Saved, but writing failed: the changes are still pending
        Restarting, // a restart runs; the changes are written once the service has stopped
        Postponed,  // the service runs and a restart was declined (or one is running already)
        Nothing     // there were no pending changes
    };

    ServiceController(ServiceManager& manager, const QString& serviceName, QObject* parent = nullptr);
    ~ServiceController() override;

    // Asks whether the service is installed; the answer holds for the controller's life.
    bool init();
    bool isInstalled() const { return m_installed; }
    // Asks the service now; false when not installed or it cannot be asked.
    bool isRunning() const;
    // Installed and idle: start when not running, stop when running, restart always.
    // All false while busy or not installed.
    Actions actions() const;
    bool isBusy() const { return m_operation != Operation::None; }

    void startService();
    void stopService(bool restartAfter = false);
    void restartService() { stopService(true); }

    // The window's pending monitored-OID changes: whether there are any, and the routine that
    // writes them (true on success). Either may be empty: then there are none.
    void setPendingChanges(std::function<bool()> hasPending, std::function<bool()> savePending);
    // Before the changes are dropped (a close): none pending gives Nothing; a service that is
    // not running (or not installed) has them written at once; a running one is restarted for
    // them when askRestart() says yes, or they stay pending. While busy they stay pending.
    Confirm confirmPendingChanges(const std::function<bool()>& askRestart);
    // A close waits for the restart: quitRequested follows the next successful start. The
    // start's end, or any failure before it (of the stop, the save or the start), clears it.
    void setQuitAfterStart(bool quit) { m_quitAfterStart = quit; }
    // How long a start or stop may take to reach its state; 30 s unless set.
    void setStateTimeout(int ms) { m_stateTimeoutMs = ms; }

signals:
    // A start or stop began; text says which ("Starting Orvane service...").
    void busy(const QString& text);
    // Nothing runs any more.
    void idle();
    // actions() may answer otherwise now.
    void actionsChanged();
    void serviceStarted();
    void serviceStopped();
    // A start or stop failed or timed out; pending changes stay pending.
    void restartFailed();
    // The service started again after a close that waited for it.
    void quitRequested();
    // The service stopped, but writing the pending changes failed: they stay pending and
    // a pending restart is dropped.
    void pendingSaveFailed();

private:
    enum class Operation
    {
        None,
        Starting,
        Stopping
    };
    void begin(Operation operation);
    void onWorkFinished();
    void finish(bool failed);
    bool hasPending() const { return m_hasPending && m_hasPending(); }

    ServiceManager& m_manager;
    const QString m_serviceName;
    bool m_installed = false;
    Operation m_operation = Operation::None;
    bool m_restartAfterStop = false;
    bool m_quitAfterStart = false;
    int m_stateTimeoutMs = 30000;
    std::function<bool()> m_hasPending;
    std::function<bool()> m_savePending;
    // Set when the controller goes, so that a running wait ends early.
    std::shared_ptr<std::atomic_bool> m_cancelled = std::make_shared<std::atomic_bool>(false);
    QFutureWatcher<bool> m_watcher;
    // Last, so that it goes first: its destruction waits for the running work.
    QThreadPool m_worker;
};
