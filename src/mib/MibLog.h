#pragma once

#include <QLoggingCategory>

// Messages of the MIB database and tree.
Q_DECLARE_LOGGING_CATEGORY(lcMib)
