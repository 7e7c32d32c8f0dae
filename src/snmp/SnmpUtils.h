#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

struct snmp_pdu;

// SNMP credentials, the protocol code tables, the library's life cycle and the
// single-session interface that may be used from many threads at once.
//
// Threading. net-snmp is built without its own locks, and every exchange touches state
// it keeps for the whole process (request-id counters, the SNMPv3 user table, the
// engine-time cache, statistics). Therefore every library call that is not a plain
// wait on a socket runs under one process-wide library lock (LibraryLocker); the
// functions here and in SnmpOidUtils take it themselves and wait on the network without
// it. Code that calls net-snmp directly holds a LibraryLocker for each such call.
//
// SNMPv3 user table. An SNMPv3 session is "in use" from open to close. clearUsmUsers()
// never empties the table under a session in use: it takes effect at once when none is,
// otherwise as soon as the last one closes; sessions opened after the call wait for it.
// A thread therefore never holds two SNMPv3 sessions at the same time.
namespace SnmpUtils {

struct SnmpParams
{
    qint32 version = 0; // 1 = SNMPv1, 2 = SNMPv2c, 3 = SNMPv3, 0 = not set
    QString community;  // Latin-1 on the wire; used for every version when not empty
    QString userName;   // SNMPv3 security name, UTF-8
    qint32 authProtocol = 0;
    QString authPassword;
    qint32 privProtocol = 0;
    QString privPassword;
};

bool operator==(const SnmpParams& a, const SnmpParams& b);
bool operator!=(const SnmpParams& a, const SnmpParams& b);

// authProtocol codes; a combo box filled with authProtocolNames() has index = code.
enum AuthProtocol : qint32
{
    NoAuth = 0,
    AuthMD5 = 1,
    AuthSHA1 = 2,
    AuthSHA224 = 3,
    AuthSHA256 = 4,
    AuthSHA384 = 5,
    AuthSHA512 = 6
};

// privProtocol codes; a combo box filled with privProtocolNames() has index = code.
enum PrivProtocol : qint32
{
    NoPriv = 0,
    PrivDES = 1,
    PrivAES = 2,
    Priv3DES = 3,
    PrivAES192 = 4,
    PrivAES192Cisco = 5,
    PrivAES256 = 6,
    PrivAES256Cisco = 7
};

const QStringList& authProtocolNames(); // "NoAuth", "MD5", ... in code order
const QStringList& privProtocolNames(); // "NoPriv", "DES", "AES", "3DES", ... in code order

// The other member of an AES-192/256 pair (4 <-> 5, 6 <-> 7); -1 for every other code.
int privProtocolPartner(int privProtocol);

// Sets the library up (settings, silent logging, init_snmp) on the first call and
// counts the calls; shutdownLibrary() shuts it down when the count returns to 0.
// Both are thread-safe. Configuration files are never read, nothing is persisted, and
// MIB modules are never read (the library is pointed at a folder that does not exist).
void initLibrary();
void shutdownLibrary();

// Empties the library's SNMPv3 user table, so that the next session of a user derives
// its keys from the credentials it is given instead of reusing those cached for the
// user name and engine. Never blocks and never disturbs a session in use (see above).
void clearUsmUsers();

// Holds the process-wide library lock for direct net-snmp calls. Not recursive: never
// call the functions of this header or of SnmpOidUtils while holding it.
class LibraryLocker final
{
public:
    LibraryLocker();
    ~LibraryLocker();
    Q_DISABLE_COPY_MOVE(LibraryLocker)
};

// A single-session (snmp_sess_*) handle owned by the thread that opened it.
struct SingleSession;

// Opens a single session to ip (net-snmp's peer syntax: host or address, optionally
// ":port") with the given credentials; for SNMPv3 the agent's engine ID is discovered
// here, which waits on the network. Null when the version is not 1, 2 or 3, a key
// cannot be derived (for example a pass phrase of fewer than 8 characters or an
// authentication code outside 1..6), the privacy code is outside 0..7, the peer cannot
// be resolved, or an SNMPv3 agent does not answer the discovery.
SingleSession* openSingleSession(const QString& ip, const SnmpParams& params, int retries, long timeoutMicroseconds);
void closeSingleSession(SingleSession* session); // null is ignored

// snmp_sess_synch_response over the handle, with the library lock held only while the
// library works: STAT_SUCCESS, STAT_ERROR or STAT_TIMEOUT. The PDU is consumed in every
// case; *response is set on STAT_SUCCESS (free it with snmp_free_pdu under a LibraryLocker
// or with freePdu()).
int synchResponse(SingleSession* session, snmp_pdu* pdu, snmp_pdu** response);
void freePdu(snmp_pdu* pdu); // takes the library lock; null is ignored

// Caps the retries and the time-out of every session opened from now on, so that a test
// meets an agent that never answers in a fraction of a second; negative retries lift the caps.
void limitSessionTiming(int retries, long timeoutMicroseconds);

// SNMPv3 engine discoveries sent by this process so far (one per SNMPv3 session opened).
int engineDiscoveries();

} // namespace SnmpUtils

Q_DECLARE_METATYPE(SnmpUtils::SnmpParams)
