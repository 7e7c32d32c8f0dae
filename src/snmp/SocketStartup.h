#pragma once

// The socket library under the SNMP library: started once before the application object
// and cleaned up at exit (Windows sockets; nothing to do elsewhere).
void startSockets();
void cleanupSockets();
