#pragma once

#include <QString>
#include <QtGlobal>

class QLabel;
class QWidget;

// How much larger than at 96 dpi the screen of widget shows things (its logical horizontal
// dots per inch / 96); 1.25 when there is no screen at all. Widths given in pixels at 96 dpi
// are multiplied by it.
double screenScaleFactor(const QWidget* widget);

// The four octets of a dotted IPv4 address as one number, so that addresses sort by value;
// a ":port" suffix is ignored. 0 for anything that is not such an address.
quint32 ipAddressSortKey(const QString& address);

// Whether text is four dot-separated decimal numbers of up to three digits, each at most 255,
// optionally followed by ":port" with a port from 1 to 65535.
bool isIpAddressWithPort(const QString& text);

// A label showing the loading animation, which plays while the label is visible.
QLabel* createSpinnerLabel(QWidget* parent);
