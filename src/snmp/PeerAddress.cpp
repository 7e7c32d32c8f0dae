#include "snmp/PeerAddress.h"

#include <QRegularExpression>

namespace {

// Splits "a.b.c.d" or "a.b.c.d:port"; false when text has another form or a number is too large.
bool parseAddress(const QString& text, quint32& key, int& port)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    key = 0;
    for (int i = 1; i <= 4; ++i) {
        const uint octet = match.capturedRef(i).toUInt();
        if (octet > 255)
            return false;
        key = (key << 8) | octet;
    }
    port = match.capturedRef(5).isEmpty() ? -1 : match.capturedRef(5).toInt();
    return true;
}

} // namespace

quint32 ipAddressSortKey(const QString& address)
{
    quint32 key = 0;
    int port = 0;
    return parseAddress(address, key, port) ? key : 0;
}

bool isIpAddressWithPort(const QString& text)
{
    quint32 key = 0;
    int port = 0;
    return parseAddress(text, key, port) && (port == -1 || (port >= 1 && port <= 65535));
}
