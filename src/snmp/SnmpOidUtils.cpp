#include "SnmpOidUtils.h"

namespace SnmpOidUtils {

QMutex snmpMutex;

SnmpUtils::SnmpParams Device::params() const
{
    return {version, community, userName, authProtocol, authPassword, privProtocol, privPassword, encrypted};
}

Device Device::fromParams(const QString& ip, const SnmpUtils::SnmpParams& p)
{
    return {ip, p.version, p.community, p.userName, p.authProtocol, p.authPassword, p.privProtocol, p.privPassword,
            p.encrypted};
}

int typeFromTag(int)
{
    return 0;
}
QVariant toVariant(const variable_list*)
{
    return {};
}
QVariant toCellVariant(const variable_list*)
{
    return {};
}
QString valueText(const QVariant& value)
{
    return value.toString();
}
snmp_session* openSession(const Device&)
{
    return nullptr;
}
OidValue get(bool& ok, const Device&, const QString&)
{
    ok = false;
    return {};
}
OidValue getNext(bool& ok, const Device&, const QString&)
{
    ok = false;
    return {};
}
QList<OidValue> getBulk(bool& ok, const Device&, const QString&)
{
    ok = false;
    return {};
}
QList<OidValue> request(bool& ok, SnmpUtils::SingleSession*, int, const QStringList&, ValueForm, int)
{
    ok = false;
    return {};
}

} // namespace SnmpOidUtils
