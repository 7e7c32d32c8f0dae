#pragma once

#include <QString>
#include <QtGlobal>

// Device addresses as net-snmp peers take them: a dotted IPv4 address with an optional port.

// The four octets of a dotted IPv4 address as one number, so that addresses sort by value;
// a ":port" suffix is ignored. 0 for anything that is not such an address.
quint32 ipAddressSortKey(const QString& address);

// Whether text is four dot-separated decimal numbers of up to three digits, each at most 255,
// optionally followed by ":port" with a port from 1 to 65535.
bool isIpAddressWithPort(const QString& text);
