#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN

#include "platform/ServiceManager.h"

// Service control through the Windows Service Control Manager of the local machine. Every call
// opens the manager and the service with the rights it needs and closes them again, so any
// thread may call; the manager is opened with enumerate-service rights only, which an ordinary
// user has.
class WindowsServiceManager : public ServiceManager
{
public:
    // Installed: the service can be opened with the rights to query, start and stop it and to
    // list its dependents.
    bool open(const QString& name) override;
    // The state and wait hint the service reports.
    std::optional<Status> query(const QString& name) override;
    bool start(const QString& name) override;
    bool stop(const QString& name) override;
    // Its dependents that are active, in the order the system gives them.
    std::optional<QStringList> activeDependents(const QString& name) override;
};

#endif
