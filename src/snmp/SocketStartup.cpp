#include "snmp/SocketStartup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

void startSockets()
{
    SOCK_STARTUP;
}

void cleanupSockets()
{
    SOCK_CLEANUP;
}
