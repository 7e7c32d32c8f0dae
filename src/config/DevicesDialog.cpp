#include "DevicesDialog.h"

// Stub: replaced by the real editor window.
DevicesDialog::DevicesDialog(QWidget* parent) : QDialog(parent) {}
void DevicesDialog::setData(const QList<VelmoraFile::Entry>&, const QList<SnmpReader::HostInfoResult>&) {}
QList<VelmoraFile::Entry> DevicesDialog::entries() const { return {}; }
QList<SnmpReader::HostInfoResult> DevicesDialog::deviceInfo() const { return {}; }
