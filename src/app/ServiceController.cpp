#include "app/ServiceController.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

using State = ServiceManager::State;

// The wait of one start or stop, on the worker thread.
struct StateWait
{
    ServiceManager& manager;
    int timeoutMs;
    std::shared_ptr<std::atomic_bool> cancelled;

    // Polls name until it reaches wanted; false once timeoutMs have passed since requested.
    bool until(const QString& name, State wanted, const QElapsedTimer& requested) const
    {
        for (;;) {
            const std::optional<ServiceManager::Status> status = manager.query(name);
            if (status && status->state == wanted)
                return true;
            const qint64 left = timeoutMs - requested.elapsed();
            if (*cancelled || left <= 0)
                return false;
            const int interval = std::clamp(status ? status->waitHintMs : 0, 100, 1000);
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(interval, left)));
        }
    }

    bool start(const QString& name) const
    {
        const std::optional<ServiceManager::Status> status = manager.query(name);
        if (status && status->state == State::Running)
            return true;
        QElapsedTimer requested;
        requested.start();
        return manager.start(name) && until(name, State::Running, requested);
    }

    // Its own stop only: a unit already stopping is waited for.
    bool stopOne(const QString& name) const
    {
        QElapsedTimer requested;
        requested.start();
        const std::optional<ServiceManager::Status> status = manager.query(name);
        if (status && status->state == State::Stopped)
            return true;
        if (!(status && status->state == State::StopPending) && !manager.stop(name))
            return false;
        return until(name, State::Stopped, requested);
    }

    // The running dependents first; they are not started again.
    bool stop(const QString& name) const
    {
        const std::optional<ServiceManager::Status> status = manager.query(name);
        if (!status || status->state == State::Stopped)
            return true;
        const std::optional<QStringList> dependents = manager.activeDependents(name);
        if (!dependents)
            return false;
        for (const QString& dependent : *dependents) {
            if (!stopOne(dependent))
                return false;
        }
        return stopOne(name);
    }
};

} // namespace

ServiceController::ServiceController(ServiceManager& manager, const QString& serviceName, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_serviceName(serviceName)
{
    m_worker.setMaxThreadCount(1);
    connect(&m_watcher, &QFutureWatcher<bool>::finished, this, &ServiceController::onWorkFinished);
}

ServiceController::~ServiceController()
{
    *m_cancelled = true;
    m_worker.waitForDone();
}

bool ServiceController::init()
{
    m_installed = !m_serviceName.isEmpty() && m_manager.open(m_serviceName);
    return m_installed;
}

bool ServiceController::isRunning() const
{
    if (!m_installed)
        return false;
    const std::optional<ServiceManager::Status> status = m_manager.query(m_serviceName);
    return status && status->state == ServiceManager::State::Running;
}

ServiceController::Actions ServiceController::actions() const
{
    Actions actions;
    if (!m_installed || isBusy())
        return actions;
    const bool running = isRunning();
    actions.start = !running;
    actions.stop = running;
    actions.restart = true;
    return actions;
}

void ServiceController::startService()
{
    if (m_installed && !isBusy())
        begin(Operation::Starting);
}

void ServiceController::stopService(bool restartAfter)
{
    if (!m_installed || isBusy())
        return;
    m_restartAfterStop = restartAfter;
    begin(Operation::Stopping);
}

void ServiceController::setPendingChanges(std::function<bool()> hasPending, std::function<bool()> savePending)
{
    m_hasPending = std::move(hasPending);
    m_savePending = std::move(savePending);
}

ServiceController::Confirm ServiceController::confirmPendingChanges(const std::function<bool()>& askRestart)
{
    if (!hasPending())
        return Confirm::Nothing;
    if (isBusy())
        return Confirm::Postponed;
    if (!isRunning())
        return m_savePending && m_savePending() ? Confirm::Saved : Confirm::SaveFailed;
    if (!askRestart())
        return Confirm::Postponed;
    restartService();
    return Confirm::Restarting;
}

void ServiceController::begin(Operation operation)
{
    m_operation = operation;
    const bool starting = operation == Operation::Starting;
    const StateWait wait{m_manager, m_stateTimeoutMs, m_cancelled};
    const QString name = m_serviceName;
    m_watcher.setFuture(
        QtConcurrent::run(&m_worker, [wait, name, starting] { return starting ? wait.start(name) : wait.stop(name); }));
    emit busy(starting ? tr("Starting Orvane service...") : tr("Stopping Orvane service..."));
    emit actionsChanged();
}

void ServiceController::onWorkFinished()
{
    const bool succeeded = m_watcher.result();
    const Operation operation = m_operation;
    m_operation = Operation::None;
    if (!succeeded) {
        finish(true);
        emit restartFailed();
        return;
    }
    if (operation == Operation::Starting) {
        const bool quit = m_quitAfterStart;
        m_quitAfterStart = false;
        finish(false);
        emit serviceStarted();
        if (quit)
            emit quitRequested();
        return;
    }
    emit serviceStopped();
    // The service reads its files when it starts: the changes are written while it is stopped.
    if (hasPending() && !(m_savePending && m_savePending())) {
        finish(true);
        emit pendingSaveFailed();
        return;
    }
    if (m_restartAfterStop) {
        m_restartAfterStop = false;
        begin(Operation::Starting);
        return;
    }
    finish(false);
}

void ServiceController::finish(bool failed)
{
    m_restartAfterStop = false;
    if (failed)
        m_quitAfterStart = false;
    emit idle();
    emit actionsChanged();
}
