#include "platform/WindowsServiceManager.h"

#ifdef Q_OS_WIN

#include "platform/PlatformLog.h"

#include <qt_windows.h>

#include <vector>

namespace {

constexpr DWORD ServiceRights = SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_START | SERVICE_STOP;

// A service control handle that closes itself.
class Handle
{
public:
    explicit Handle(SC_HANDLE handle = nullptr)
        : m_handle(handle)
    {
    }
    ~Handle()
    {
        if (m_handle)
            CloseServiceHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    SC_HANDLE get() const { return m_handle; }
    void reset(SC_HANDLE handle)
    {
        if (m_handle)
            CloseServiceHandle(m_handle);
        m_handle = handle;
    }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

// The manager and a service opened in it; the service's handle is null when either failed.
struct Opened
{
    Handle manager;
    Handle service;
};

bool openService(const QString& name, DWORD rights, Opened& opened)
{
    if (name.isEmpty())
        return false;
    opened.manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!opened.manager) {
        qCWarning(lcPlatform, "cannot open the service control manager: error %lu", GetLastError());
        return false;
    }
    opened.service.reset(OpenServiceW(opened.manager.get(), wide(name).c_str(), rights));
    if (!opened.service) {
        qCInfo(lcPlatform, "cannot open the service %s: error %lu", qUtf8Printable(name), GetLastError());
        return false;
    }
    return true;
}

} // namespace

bool WindowsServiceManager::open(const QString& name)
{
    Opened opened;
    return openService(name, ServiceRights, opened);
}

std::optional<ServiceManager::Status> WindowsServiceManager::query(const QString& name)
{
    Opened opened;
    if (!openService(name, SERVICE_QUERY_STATUS, opened))
        return std::nullopt;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(opened.service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                              sizeof status, &needed))
        return std::nullopt;
    Status result;
    result.state = static_cast<State>(status.dwCurrentState);
    result.waitHintMs = static_cast<int>(qMin<DWORD>(status.dwWaitHint, 0x7fffffff));
    return result;
}

bool WindowsServiceManager::start(const QString& name)
{
    Opened opened;
    return openService(name, SERVICE_START, opened) && StartServiceW(opened.service.get(), 0, nullptr);
}

bool WindowsServiceManager::stop(const QString& name)
{
    Opened opened;
    SERVICE_STATUS status{};
    return openService(name, SERVICE_STOP, opened) &&
           ControlService(opened.service.get(), SERVICE_CONTROL_STOP, &status);
}

std::optional<QStringList> WindowsServiceManager::activeDependents(const QString& name)
{
    Opened opened;
    if (!openService(name, SERVICE_ENUMERATE_DEPENDENTS, opened))
        return std::nullopt;
    DWORD needed = 0;
    DWORD count = 0;
    // With no room at all, success means there are none.
    if (EnumDependentServicesW(opened.service.get(), SERVICE_ACTIVE, nullptr, 0, &needed, &count))
        return QStringList();
    if (GetLastError() != ERROR_MORE_DATA)
        return std::nullopt;
    std::vector<BYTE> buffer(needed);
    auto* services = reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data());
    if (!EnumDependentServicesW(opened.service.get(), SERVICE_ACTIVE, services, needed, &needed, &count))
        return std::nullopt;
    QStringList names;
    for (DWORD i = 0; i < count; ++i)
        names.append(QString::fromWCharArray(services[i].lpServiceName));
    return names;
}

#endif
