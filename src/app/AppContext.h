#pragma once

#include "platform/Folders.h"

#include <QString>

class AppSettings;
class Clock;
class ServiceManager;

// What main builds once and hands down: the folders, the settings store on the data folder's
// Tessaro.ini, the service control, the update server's base address (empty: none) and the
// clock. The objects referred to belong to main, or to a test, and outlive the window.
struct AppContext
{
    Folders folders;
    AppSettings& settings;
    ServiceManager& services;
    QString updateBaseUrl;
    const Clock& clock;
};
