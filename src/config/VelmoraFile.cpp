#include "VelmoraFile.h"

// Stub: replaced by the real device list.
VelmoraFile::VelmoraFile(const QString& path) : m_path(path) {}
QList<VelmoraFile::Entry> VelmoraFile::entries() const { return {}; }
bool VelmoraFile::save(const QList<Entry>&) const { return false; }
QString VelmoraFile::credentialsToText(const SnmpUtils::SnmpParams&) { return {}; }
bool VelmoraFile::textToCredentials(const QString&, SnmpUtils::SnmpParams&) { return false; }
QString VelmoraFile::encryptSecret(const QString&) { return {}; }
QString VelmoraFile::decryptSecret(const QString&) { return {}; }
QString VelmoraFile::normalizedGroup(const QString& group) { return group; }
