#pragma once

#include <QLoggingCategory>

// Failures to read or write the service's files and values. Never logs a secret.
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
