#include "platform/ServiceManager.h"

bool NullServiceManager::open(const QString&)
{
    return false;
}

std::optional<ServiceManager::Status> NullServiceManager::query(const QString&)
{
    return std::nullopt;
}

bool NullServiceManager::start(const QString&)
{
    return false;
}

bool NullServiceManager::stop(const QString&)
{
    return false;
}

std::optional<QStringList> NullServiceManager::activeDependents(const QString&)
{
    return std::nullopt;
}
