#include "mib/MibLog.h"

Q_LOGGING_CATEGORY(lcMib, "tessaro.mib")
