#include "SnmpUtils.h"

namespace SnmpUtils {

bool operator==(const SnmpParams& a, const SnmpParams& b)
{
    return a.version == b.version && a.community == b.community && a.userName == b.userName
        && a.authProtocol == b.authProtocol && a.authPassword == b.authPassword && a.privProtocol == b.privProtocol
        && a.privPassword == b.privPassword && a.encrypted == b.encrypted;
}

bool operator!=(const SnmpParams& a, const SnmpParams& b)
{
    return !(a == b);
}

const QStringList& authProtocolNames()
{
    static const QStringList names;
    return names;
}

const QStringList& privProtocolNames()
{
    static const QStringList names;
    return names;
}

int privProtocolPartner(int)
{
    return -1;
}

void initLibrary() {}
void shutdownLibrary() {}
void clearUsmUsers() {}
LibraryLocker::LibraryLocker() {}
LibraryLocker::~LibraryLocker() {}
SingleSession* openSingleSession(const QString&, const SnmpParams&, int, long)
{
    return nullptr;
}
void closeSingleSession(SingleSession*) {}
int synchResponse(SingleSession*, snmp_pdu*, snmp_pdu**)
{
    return 1;
}
void freePdu(snmp_pdu*) {}

} // namespace SnmpUtils
