#include "snmp/SnmpOidUtils.h"
#include "snmp/SnmpLog.h"
#include "snmp/SnmpSessionSetup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLocale>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace SnmpOidUtils {

std::mutex snmpMutex;

namespace {

constexpr int TraditionalRetries = 2;
constexpr long TraditionalTimeout = 1000000;
constexpr int BulkRepetitions = 20;
constexpr size_t PrintBufferSize = 10240;

QString oidText(const oid* numbers, size_t length)
{
    QString text;
    text.reserve(static_cast<int>(length) * 4);
    for (size_t i = 0; i < length; ++i) {
        if (i > 0)
            text += QLatin1Char('.');
        text += QString::number(static_cast<qulonglong>(numbers[i]));
    }
    return text;
}

quint64 counter64Value(const netsnmp_variable_list* var)
{
    const counter64* value = var->val.counter64;
    return (static_cast<quint64>(value->high & 0xFFFFFFFFUL) << 32) | (value->low & 0xFFFFFFFFUL);
}

QString printableText(const netsnmp_variable_list* var)
{
    char buffer[PrintBufferSize];
    buffer[0] = '\0';
    snprint_value(buffer, sizeof(buffer), var->name, var->name_length, var);
    buffer[sizeof(buffer) - 1] = '\0'; // a value too long for the buffer leaves what fitted
    return QString::fromLatin1(buffer);
}

OidValue::Exception exceptionOf(int asnTag)
{
    switch (asnTag) {
    case SNMP_NOSUCHOBJECT:
        return OidValue::NoSuchObject;
    case SNMP_NOSUCHINSTANCE:
        return OidValue::NoSuchInstance;
    case SNMP_ENDOFMIBVIEW:
        return OidValue::EndOfMibView;
    default:
        return OidValue::NoException;
    }
}

OidValue convert(const netsnmp_variable_list* var, ValueForm form)
{
    OidValue value;
    value.oid = oidText(var->name, var->name_length);
    value.type = typeFromTag(var->type);
    switch (form) {
    case ValueForm::Variant:
        value.value = toVariant(var);
        break;
    case ValueForm::Text:
        value.value = valueText(toVariant(var));
        break;
    case ValueForm::CellValue:
        value.value = toCellVariant(var);
        break;
    }
    value.text = printableText(var);
    value.exception = exceptionOf(var->type);
    return value;
}

// A PDU with one null varbind per OID; null when an OID does not parse.
netsnmp_pdu* createPdu(int pduType, const QStringList& oids, int maxRepetitions)
{
    SnmpUtils::LibraryLocker lock;
    netsnmp_pdu* pdu = snmp_pdu_create(pduType);
    if (!pdu)
        return nullptr;
    if (pduType == SNMP_MSG_GETBULK) {
        pdu->non_repeaters = 0;
        pdu->max_repetitions = maxRepetitions;
    }
    for (const QString& text : oids) {
        oid name[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        const QByteArray bytes = text.toLatin1();
        if (!read_objid(bytes.constData(), name, &length)) {
            snmp_free_pdu(pdu);
            return nullptr;
        }
        snmp_add_null_var(pdu, name, length);
    }
    return pdu;
}

QList<OidValue> exchange(bool& ok, void* sessionPointer, int pduType, const QStringList& oids, ValueForm form,
                         int maxRepetitions)
{
    ok = false;
    netsnmp_pdu* pdu = createPdu(pduType, oids, maxRepetitions);
    if (!pdu)
        return {};
    netsnmp_pdu* response = nullptr;
    const int status = SnmpUtils::sessionSynchResponse(sessionPointer, pdu, &response);
    QList<OidValue> values;
    // Printing reads the library's MIB tree and settings: under the lock like every other call.
    SnmpUtils::LibraryLocker lock;
    if (status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR) {
        ok = true;
        for (const netsnmp_variable_list* var = response->variables; var; var = var->next_variable)
            values.append(convert(var, form));
    }
    if (response)
        snmp_free_pdu(response);
    return values;
}

// One exchange on the traditional interface: holds snmpMutex and, for SNMPv3, keeps the
// user table from being cleared, from before the open until after the close.
class TraditionalExchange final
{
public:
    explicit TraditionalExchange(const Device& device)
        : m_lock(snmpMutex)
        , m_usesUsm(device.params.version == 3)
    {
        if (m_usesUsm)
            SnmpUtils::enterUsmSession();
        m_session = openSession(device);
        if (m_session) {
            SnmpUtils::LibraryLocker lock;
            m_handle = snmp_sess_pointer(m_session);
        }
    }

    ~TraditionalExchange()
    {
        if (m_session) {
            SnmpUtils::LibraryLocker lock;
            snmp_close(m_session);
        }
        if (m_usesUsm)
            SnmpUtils::leaveUsmSession();
    }

    Q_DISABLE_COPY_MOVE(TraditionalExchange)

    bool isOpen() const { return m_handle != nullptr; }

    QList<OidValue> run(bool& ok, int pduType, const QString& oid, ValueForm form)
    {
        return exchange(ok, m_handle, pduType, {oid}, form, BulkRepetitions);
    }

private:
    std::lock_guard<std::mutex> m_lock;
    bool m_usesUsm;
    netsnmp_session* m_session = nullptr;
    void* m_handle = nullptr;
};

} // namespace

int typeFromTag(int asnTag)
{
    switch (asnTag) {
    case ASN_INTEGER:
        return 3;
    case ASN_BIT_STR:
        return 12;
    case ASN_OCTET_STR:
        return 2;
    case ASN_NULL:
        return 10;
    case ASN_OBJECT_ID:
        return 1;
    case ASN_IPADDRESS:
        return 5;
    case ASN_COUNTER:
        return 6;
    case ASN_GAUGE:
        return 7;
    case ASN_TIMETICKS:
        return 8;
    case ASN_OPAQUE:
        return 9;
    case ASN_NSAP:
        return 13;
    case ASN_COUNTER64:
    case ASN_APP_I64:
    case ASN_APP_U64:
        return 11;
    default:
        return 0;
    }
}

QVariant toVariant(const variable_list* var)
{
    if (!var)
        return {};
    switch (var->type) {
    case ASN_INTEGER:
        return static_cast<qint32>(*var->val.integer);
    case ASN_BIT_STR:
    case ASN_OCTET_STR:
        return QByteArray(reinterpret_cast<const char*>(var->val.string), static_cast<int>(var->val_len));
    case ASN_OBJECT_ID:
        // The value length is in bytes; a sub-identifier is an oid, whatever its size here.
        return oidText(var->val.objid, var->val_len / sizeof(oid));
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        return static_cast<quint32>(*var->val.integer & 0xFFFFFFFFUL);
    case ASN_COUNTER64:
    case ASN_APP_U64:
        return counter64Value(var);
    case ASN_APP_I64:
        return static_cast<qint64>(counter64Value(var));
    default:
        return {};
    }
}

QVariant toCellVariant(const variable_list* var)
{
    if (var && var->type == ASN_IPADDRESS) {
        if (var->val_len < 4)
            return {};
        const u_char* octets = var->val.string;
        return QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
    }
    return toVariant(var);
}

QString valueText(const QVariant& value)
{
    if (value.type() == QVariant::ByteArray) {
        const QByteArray bytes = value.toByteArray();
        return QString::fromUtf8(bytes.constData(), static_cast<int>(qstrnlen(bytes.constData(), bytes.size())));
    }
    return value.toString();
}

qint64 valueFootprint(const QString& text, const QVariant& value)
{
    qint64 bytes = text.size() * qint64(sizeof(QChar));
    if (value.type() == QVariant::ByteArray)
        bytes += value.toByteArray().size();
    else if (value.type() == QVariant::String) // the text form, which holds what the printed text cuts off
        bytes += value.toString().size() * qint64(sizeof(QChar));
    return bytes;
}

QString sizeBoundNote(qint64 bytes)
{
    return QCoreApplication::translate("SnmpOidUtils", "Walk stopped after %1 of values")
        .arg(QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeTraditionalFormat));
}

snmp_session* openSession(const Device& device)
{
    SnmpUtils::SessionSetup setup;
    if (!SnmpUtils::prepareSession(&setup, device.ip, device.params, TraditionalRetries, TraditionalTimeout))
        return nullptr;
    netsnmp_session* session = nullptr;
    void* handle = nullptr;
    {
        SnmpUtils::LibraryLocker lock;
        session = snmp_open(&setup.session);
        if (session)
            handle = snmp_sess_pointer(session);
    }
    if (session && !SnmpUtils::discoverEngine(handle)) {
        SnmpUtils::LibraryLocker lock;
        snmp_close(session);
        session = nullptr;
    }
    return session;
}

OidValue get(bool& ok, const Device& device, const QString& oid)
{
    ok = false;
    TraditionalExchange exchange(device);
    if (!exchange.isOpen())
        return {};
    OidValue result;
    result.oid = oid;
    const QList<OidValue> values = exchange.run(ok, SNMP_MSG_GET, oid, ValueForm::Variant);
    // An answer about another OID is none: its value must not pass for the one asked.
    if (!values.isEmpty() && values.first().oid != (oid.startsWith(QLatin1Char('.')) ? oid.mid(1) : oid)) {
        qCInfo(lcSnmp) << "GET of" << oid << "to" << device.ip << "answered" << values.first().oid;
        ok = false;
        return result;
    }
    if (!values.isEmpty()) {
        const OidValue& first = values.first();
        result.type = first.type;
        result.value = first.value;
        result.text = first.text;
        result.exception = first.exception;
    }
    return result;
}

OidValue getNext(bool& ok, const Device& device, const QString& oid)
{
    ok = false;
    TraditionalExchange exchange(device);
    if (!exchange.isOpen())
        return {};
    const QList<OidValue> values = exchange.run(ok, SNMP_MSG_GETNEXT, oid, ValueForm::Text);
    return values.isEmpty() ? OidValue() : values.first();
}

QList<OidValue> getBulk(bool& ok, const Device& device, const QString& oid)
{
    ok = false;
    TraditionalExchange exchange(device);
    if (!exchange.isOpen())
        return {};
    return exchange.run(ok, SNMP_MSG_GETBULK, oid, ValueForm::Text);
}

QList<OidValue> request(bool& ok, SnmpUtils::SingleSession* session, int pduType, const QStringList& oids,
                        ValueForm form, int maxRepetitions)
{
    ok = false;
    if (!session || oids.isEmpty())
        return {};
    return exchange(ok, SnmpUtils::singleSessionHandle(session), pduType, oids, form, maxRepetitions);
}

SessionPipeline::SessionPipeline(const Device& device, int retries, long timeoutMicroseconds,
                                 const std::atomic<bool>* cancelled)
    : m_session(SnmpUtils::openSingleSession(device.ip, device.params, retries, timeoutMicroseconds))
    , m_request(std::make_unique<SnmpUtils::SentRequest>())
    , m_cancelled(cancelled)
{
}

SessionPipeline::~SessionPipeline()
{
    // Closing the session ends a request still in flight, which refers to m_request.
    SnmpUtils::closeSingleSession(m_session);
    SnmpUtils::freePdu(m_answer);
}

bool SessionPipeline::send(int pduType, const QString& oid, int maxRepetitions)
{
    m_sent = m_session && SnmpUtils::sessionSend(SnmpUtils::singleSessionHandle(m_session),
                                                 createPdu(pduType, {oid}, maxRepetitions), m_request.get());
    return m_sent;
}

QList<OidValue> SessionPipeline::receive(bool& ok)
{
    ok = false;
    SnmpUtils::freePdu(m_answer);
    m_answer = nullptr;
    if (!m_sent)
        return {};
    m_sent = false;
    netsnmp_pdu* response = nullptr;
    const int status =
        SnmpUtils::sessionWait(SnmpUtils::singleSessionHandle(m_session), m_request.get(), &response, m_cancelled);
    if (status != STAT_SUCCESS || !response || response->errstat != SNMP_ERR_NOERROR) {
        SnmpUtils::freePdu(response);
        return {};
    }
    // The answer is a copy of this thread's own: reading it needs no lock.
    m_answer = response;
    ok = true;
    QList<OidValue> values;
    for (const netsnmp_variable_list* var = response->variables; var; var = var->next_variable) {
        OidValue value;
        value.oid = oidText(var->name, var->name_length);
        value.type = typeFromTag(var->type);
        value.exception = exceptionOf(var->type);
        values.append(value);
    }
    return values;
}

QList<OidValue> SessionPipeline::values(int count, ValueForm form) const
{
    QList<OidValue> values;
    if (!m_answer)
        return values;
    // Printing reads the library's MIB tree and settings.
    SnmpUtils::LibraryLocker lock;
    for (const netsnmp_variable_list* var = m_answer->variables; var && values.size() < count; var = var->next_variable)
        values.append(convert(var, form));
    return values;
}

} // namespace SnmpOidUtils
