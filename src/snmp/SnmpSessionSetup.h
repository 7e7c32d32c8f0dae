#pragma once

#include "snmp/SnmpUtils.h"

#include <QByteArray>
#include <QString>

#include <atomic>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

// The parts of session handling that the traditional and the single-session openers
// share. Internal to this folder: callers use SnmpUtils.h and SnmpOidUtils.h.
namespace SnmpUtils {

struct ProtocolOid
{
    size_t length;
    oid numbers[16];
};

// The protocol identifiers of the code tables; null for a code outside them.
const ProtocolOid* authProtocolOid(int code);
const ProtocolOid* privProtocolOid(int code);

// A filled session structure and the bytes it points to, which the library copies
// when it opens the session.
struct SessionSetup
{
    netsnmp_session session;
    QByteArray peer;
    QByteArray community;
    QByteArray securityName;
    oid authOid[16];
    oid privOid[16];
};

// Fills the structure from the credentials (keys derived); false when no session may be
// opened: version not 1/2/3, a key that cannot be derived, or an unknown privacy code.
// The session is marked not to probe: discoverEngine() does that after the open.
bool prepareSession(SessionSetup* setup, const QString& ip, const SnmpParams& params, int retries,
                    long timeoutMicroseconds);

// For an SNMPv3 session (the single-session pointer of an open session): learns the
// agent's engine ID and puts the session's user into the user table. Waits on the
// network without the library lock. True at once for other versions.
bool discoverEngine(void* sessionPointer);

// snmp_sess_synch_response with the library lock held only while the library works.
int sessionSynchResponse(void* sessionPointer, netsnmp_pdu* pdu, netsnmp_pdu** response);

// The same in two halves, so that the caller may work while the agent answers: sessionSend
// sends the PDU (consumed in every case; false when it could not be sent), sessionWait waits
// for its answer as sessionSynchResponse does. A request still waiting refers to its record
// until the session is closed, so the record must outlive the session's close.
struct SentRequest
{
    synch_state state;
};
// With a cancelled flag, sessionWait gives up with STAT_ERROR soon after the flag is set; the
// request then stays outstanding until the session is closed.
bool sessionSend(void* sessionPointer, netsnmp_pdu* pdu, SentRequest* request);
int sessionWait(void* sessionPointer, SentRequest* request, netsnmp_pdu** response,
                const std::atomic<bool>* cancelled = nullptr);

// The library's single-session pointer behind a handle.
void* singleSessionHandle(SingleSession* session);

// Marks an SNMPv3 session in use (waits while a clearing of the user table is pending)
// and ends that; the last one to leave performs a pending clearing.
void enterUsmSession();
void leaveUsmSession();

} // namespace SnmpUtils
