#pragma once

#include "platform/ServiceManager.h"

#include <QString>
#include <QStringList>

// Service control through systemd's systemctl command: the program "systemctl", or the one
// the environment variable TESSARO_SYSTEMCTL names. Every call runs the command and waits for
// it, at most commandTimeoutMs (then it is killed and the call counts as failed), without an
// event loop, so any thread may call; no shell is involved. systemd gives no wait hints: the
// status always has 0.
class SystemdServiceManager : public ServiceManager
{
public:
    explicit SystemdServiceManager(int commandTimeoutMs = 10000);

    // Installed: the unit is loaded.
    bool open(const QString& name) override;
    // active: Running; activating: StartPending; deactivating: StopPending; anything else
    // (inactive, failed...): Stopped.
    std::optional<Status> query(const QString& name) override;
    // Asked without waiting for the job (--no-block); the caller polls for the state.
    bool start(const QString& name) override;
    bool stop(const QString& name) override;
    // The units that depend on it (list-dependencies --reverse) and are active.
    std::optional<QStringList> activeDependents(const QString& name) override;

    const QString& program() const { return m_program; }

private:
    struct Output
    {
        bool ran = false; // started and ended by itself within the time
        int exitCode = -1;
        QString text;
    };
    Output run(const QStringList& arguments) const;

    QString m_program;
    int m_timeoutMs;
};
