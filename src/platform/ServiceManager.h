#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The operating system's service control (the Service Control Manager on Windows, systemd
// elsewhere), asked by service name. Every call is synchronous and may take a while, so
// callers that wait for a state run them off the user-interface thread.
class ServiceManager
{
public:
    // The Windows service states, by their numbers.
    enum class State
    {
        Stopped = 1,
        StartPending = 2,
        StopPending = 3,
        Running = 4,
        ContinuePending = 5,
        PausePending = 6,
        Paused = 7
    };
    struct Status
    {
        State state = State::Stopped;
        int waitHintMs = 0; // how long the service expects its pending state to last
    };

    virtual ~ServiceManager() = default;

    // Whether the service exists and may be controlled by us (installed).
    virtual bool open(const QString& name) = 0;
    // The service's status; none when it cannot be asked.
    virtual std::optional<Status> query(const QString& name) = 0;
    // Asks the system to start or stop the service; true when the request was accepted.
    virtual bool start(const QString& name) = 0;
    virtual bool stop(const QString& name) = 0;
    // Running services that depend on it, to be stopped first; none when they cannot be listed.
    virtual std::optional<QStringList> activeDependents(const QString& name) = 0;
};

// No service control at all: every service counts as not installed. Tests derive their own.
class NullServiceManager : public ServiceManager
{
public:
    bool open(const QString& name) override;
    std::optional<Status> query(const QString& name) override;
    bool start(const QString& name) override;
    bool stop(const QString& name) override;
    std::optional<QStringList> activeDependents(const QString& name) override;
};
