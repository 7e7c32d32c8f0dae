#pragma once

#include <QLoggingCategory>

// Messages of the widgets.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
