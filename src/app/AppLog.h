#pragma once

#include <QLoggingCategory>

// Messages of the program's start-up, main window and packaging mode.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
