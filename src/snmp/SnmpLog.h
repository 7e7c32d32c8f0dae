#pragma once

#include <QLoggingCategory>

// Failed sessions and requests of the SNMP layer. Addresses and OIDs only, never credentials.
Q_DECLARE_LOGGING_CATEGORY(lcSnmp)
