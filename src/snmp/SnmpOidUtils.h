#pragma once

#include "snmp/SnmpUtils.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <memory>
#include <mutex>

struct snmp_pdu;
struct snmp_session;
struct variable_list;

namespace SnmpUtils {
struct SentRequest;
}

// Single SNMP exchanges with one device and the conversion of returned values.
namespace SnmpOidUtils {

// A device address plus its credentials.
struct Device
{
    QString ip; // handed to net-snmp unchanged: host or address, optionally ":port"
    SnmpUtils::SnmpParams params;
};

// One returned varbind. An empty record has empty strings, type 0 and an invalid value.
struct OidValue
{
    // SNMPv2 exception values (their ASN.1 tags). They are ordinary results with type 0;
    // a walk that meets one has reached the end of what the agent has to offer.
    enum Exception : qint32
    {
        NoException = 0,
        NoSuchObject = 0x80,
        NoSuchInstance = 0x81,
        EndOfMibView = 0x82
    };

    QString oid;     // dotted numeric, no leading dot
    qint32 type = 0; // Oid::Type code from the value's ASN.1 tag (typeFromTag)
    QVariant value;
    QString text; // net-snmp's printable form ("INTEGER: 5", "No Such Object available ...")
    Exception exception = NoException;

    bool isException() const { return exception != NoException; }
};

// Serialises every exchange on the traditional session interface. Non-recursive.
extern std::mutex snmpMutex;

// Oid::Type code of an ASN.1 tag; 0 ("Other") for tags outside the table.
int typeFromTag(int asnTag);

// A varbind's value as a variant: INTEGER as qint32, BIT/OCTET STRING as QByteArray,
// OBJECT IDENTIFIER as dotted text, Counter32/Gauge32/TimeTicks as quint32,
// Counter64/Unsigned64 as quint64, Integer64 as qint64, everything else invalid.
QVariant toVariant(const variable_list* var);
// As toVariant, except that an IpAddress becomes its dotted text (column walks).
QVariant toCellVariant(const variable_list* var);
// The string form of a converted value: numbers in decimal, OIDs as they are, octets as
// UTF-8 up to the first zero byte, invalid as empty.
QString valueText(const QVariant& value);
// About the memory a walk row takes for its value: the printable text and the octets or text form.
qint64 valueFootprint(const QString& text, const QVariant& value);
// The note of a walk cut short by its size bound: "Walk stopped after 64 MB of values".
QString sizeBoundNote(qint64 bytes);

// Opens a traditional session (retries 2, time-out 1 s), or null. For use inside the
// exchanges below only: they hold snmpMutex, keep SNMPv3 sessions in use and close it.
snmp_session* openSession(const Device& device);

// One GET: ok when the agent answered with error-status 0 about the OID asked (an answer about
// another OID is none). The record's oid is the requested text whenever a session could be
// opened; value is the converted variant.
OidValue get(bool& ok, const Device& device, const QString& oid);
// One GETNEXT: the first returned varbind, its value in string form; empty unless ok.
OidValue getNext(bool& ok, const Device& device, const QString& oid);
// One GETBULK (non-repeaters 0, max-repetitions 20): every returned varbind in order,
// values in string form; empty unless ok. Exception values are returned, not dropped.
QList<OidValue> getBulk(bool& ok, const Device& device, const QString& oid);

// How request() fills OidValue::value.
enum class ValueForm
{
    Variant,  // toVariant
    Text,     // valueText(toVariant)
    CellValue // toCellVariant
};

// One request over a single session, one varbind per OID in order: pduType is
// SNMP_MSG_GET, SNMP_MSG_GETNEXT or SNMP_MSG_GETBULK (non-repeaters 0 and the given
// max-repetitions). Every returned varbind in response order; empty unless ok (library
// success and error-status 0). OIDs are dotted numeric text; when one does not parse, or
// there is none, nothing is sent.
QList<OidValue> request(bool& ok, SnmpUtils::SingleSession* session, int pduType, const QStringList& oids,
                        ValueForm form, int maxRepetitions = 10);

// Requests of one OID each over a single session of its own, where the values of an answer
// are converted after the next request has gone out, so that the agent works on it
// meanwhile: send(); receive() gives the answer's OIDs and exceptions; send() the next;
// then values() of the answer received. One thread at a time.
class SessionPipeline final
{
public:
    // A set cancelled flag ends the wait of receive() (with no answer) soon after it is set.
    SessionPipeline(const Device& device, int retries, long timeoutMicroseconds,
                    const std::atomic<bool>* cancelled = nullptr);
    ~SessionPipeline();
    Q_DISABLE_COPY_MOVE(SessionPipeline)

    // The session could be opened (for SNMPv3: the agent's engine was discovered).
    bool isOpen() const { return m_session != nullptr; }

    // Sends one request as request() would; false when nothing was sent.
    bool send(int pduType, const QString& oid, int maxRepetitions);
    // Waits for the answer to the request sent and keeps it; ok as for request(). The records
    // carry the oid, the type and the exception only; empty unless ok.
    QList<OidValue> receive(bool& ok);
    // The first count values of the answer kept, converted in full.
    QList<OidValue> values(int count, ValueForm form) const;

private:
    SnmpUtils::SingleSession* m_session = nullptr;
    // The request in flight; it must outlive the session's close.
    std::unique_ptr<SnmpUtils::SentRequest> m_request;
    snmp_pdu* m_answer = nullptr;
    bool m_sent = false;
    const std::atomic<bool>* m_cancelled;
};

} // namespace SnmpOidUtils

Q_DECLARE_METATYPE(SnmpOidUtils::Device)
Q_DECLARE_METATYPE(SnmpOidUtils::OidValue)
