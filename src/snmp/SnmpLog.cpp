#include "snmp/SnmpLog.h"

Q_LOGGING_CATEGORY(lcSnmp, "tessaro.snmp")
