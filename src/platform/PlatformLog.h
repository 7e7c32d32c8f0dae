#pragma once

#include <QLoggingCategory>

// Messages of the platform layer (folders, settings file, registry stand-in).
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
