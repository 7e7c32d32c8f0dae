#pragma once

#include <QString>

// The socket library under the SNMP library: started once before the application object
// and cleaned up at exit (Windows sockets; nothing to do elsewhere).
void startSockets();
void cleanupSockets();

// The folder where net-snmp keeps its persistent files (cert_indexes, ...), so that nothing
// lands in the folder the program was started from. Set it before the first SNMP session;
// without it a private temporary folder of the process is used (and removed at exit).
void setSnmpPersistentFolder(const QString& folder);
QString snmpPersistentFolder();
