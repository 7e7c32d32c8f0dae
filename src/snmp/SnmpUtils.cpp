#include "snmp/SnmpUtils.h"
#include "snmp/SnmpSessionSetup.h"
#include "snmp/SocketStartup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPair>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include <openssl/crypto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace SnmpUtils {

namespace {

// Standard (pthread) mutexes throughout, so that thread checkers such as helgrind and
// ThreadSanitizer see every hand-over between threads.
std::mutex g_libraryMutex;

// Counts initLibrary() calls; guarded by its own mutex so that set-up never runs twice.
std::mutex g_lifeMutex;
int g_libraryUsers = 0;
std::atomic<int> g_engineDiscoveries{0};
// The caps of limitSessionTiming(); negative: none.
std::atomic<int> g_retriesCap{-1};
std::atomic<long> g_timeoutCap{-1};

// How often a cancellable wait for an answer looks at its flag.
constexpr long CancelCheckMicroseconds = 50000;

// Keeps SNMPv3 sessions and the clearing of the user table apart. Order of locks:
// this mutex before the library lock, never the other way round.
struct UsmGate
{
    std::mutex mutex;
    std::condition_variable cleared;
    int sessionsInUse = 0;
    bool clearPending = false;
};

UsmGate g_usmGate;

void removeAllUsmUsers()
{
    LibraryLocker lock;
    while (usmUser* user = usm_get_userList()) {
        usm_remove_user(user);
        if (usm_get_userList() == user)
            break; // not unlinked: leave it rather than loop
        // Nobody can hold the entry any more: sessions that might are kept out by the gate.
        user->next = nullptr;
        user->prev = nullptr;
        usm_free_user(user);
    }
}

int discardLogMessage(int, int, void*, void*)
{
    return 1;
}

// The library's own synchronous-response callback is private to it; this one behaves
// the same way. The library itself may clear `waiting` through the magic pointer on
// reports, which is why the magic is a synch_state.
int onSynchResponse(int operation, netsnmp_session* session, int requestId, netsnmp_pdu* pdu, void* magic)
{
    auto* state = static_cast<synch_state*>(magic);
    if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT)
        return 1; // a retry went out: keep waiting
    if (requestId != state->reqid && pdu && pdu->command != SNMP_MSG_REPORT)
        return 0;
    state->waiting = 0;
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && pdu) {
        if (pdu->command == SNMP_MSG_REPORT) {
            const int reportType = snmpv3_get_report_type(pdu);
            if (reportType == SNMPERR_NOT_IN_TIME_WINDOW)
                state->waiting = 1; // the library resends by itself
            state->pdu = nullptr;
            state->status = STAT_ERROR;
            session->s_snmp_errno = reportType;
        } else if (pdu->command == SNMP_MSG_RESPONSE) {
            state->pdu = snmp_clone_pdu(pdu);
            state->status = STAT_SUCCESS;
            session->s_snmp_errno = SNMPERR_SUCCESS;
        } else {
            state->status = STAT_ERROR;
            session->s_snmp_errno = SNMPERR_PROTOCOL;
            return 0;
        }
    } else if (operation == NETSNMP_CALLBACK_OP_TIMED_OUT) {
        state->pdu = nullptr;
        state->status = STAT_TIMEOUT;
        session->s_snmp_errno = SNMPERR_TIMEOUT;
    } else if (operation == NETSNMP_CALLBACK_OP_SEC_ERROR) {
        state->pdu = nullptr;
        if (state->status == STAT_SUCCESS) {
            state->status = STAT_ERROR;
            session->s_snmp_errno = SNMPERR_GENERR;
        }
    } else if (operation == NETSNMP_CALLBACK_OP_SEND_FAILED) {
        state->pdu = nullptr;
        state->status = STAT_ERROR;
    } else if (operation == NETSNMP_CALLBACK_OP_DISCONNECT) {
        state->pdu = nullptr;
        state->status = STAT_ERROR;
        session->s_snmp_errno = SNMPERR_ABORT;
    }
    return 1;
}

// Derived keys by (authentication code, pass phrase): the derivation hashes a megabyte
// and its result depends on nothing else. An empty entry records a failed derivation.
class KuCache final
{
public:
    bool find(int authProtocol, const QByteArray& passPhrase, QByteArray* key)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_keys.constFind(qMakePair(authProtocol, passPhrase));
        if (it == m_keys.constEnd())
            return false;
        *key = it.value();
        return true;
    }

    void insert(int authProtocol, const QByteArray& passPhrase, const QByteArray& key)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_keys.size() >= MaxEntries)
            m_keys.clear();
        m_keys.insert(qMakePair(authProtocol, passPhrase), key);
    }

private:
    static constexpr int MaxEntries = 64;
    std::mutex m_mutex;
    QHash<QPair<int, QByteArray>, QByteArray> m_keys;
};

// Outlives the singletons that use the library, like the locks above.
KuCache g_kuCache;

// Derives Ku for the session's key buffer; false when the library refuses (unknown
// protocol, pass phrase shorter than its minimum).
bool deriveKey(int authProtocol, const ProtocolOid* hash, const QString& passPhrase, u_char* key, size_t* keyLength)
{
    const QByteArray bytes = passPhrase.toUtf8();
    QByteArray derived;
    if (!g_kuCache.find(authProtocol, bytes, &derived)) {
        if (hash) {
            u_char buffer[USM_AUTH_KU_LEN];
            size_t length = sizeof(buffer);
            oid hashOid[MAX_OID_LEN];
            std::copy(hash->numbers, hash->numbers + hash->length, hashOid);
            if (generate_Ku(hashOid, static_cast<u_int>(hash->length),
                            reinterpret_cast<const u_char*>(bytes.constData()), static_cast<size_t>(bytes.size()),
                            buffer, &length) == SNMPERR_SUCCESS)
                derived = QByteArray(reinterpret_cast<const char*>(buffer), static_cast<int>(length));
            OPENSSL_cleanse(buffer, sizeof(buffer));
        }
        g_kuCache.insert(authProtocol, bytes, derived);
    }
    if (derived.isEmpty() || static_cast<size_t>(derived.size()) > *keyLength)
        return false;
    std::memcpy(key, derived.constData(), static_cast<size_t>(derived.size()));
    *keyLength = static_cast<size_t>(derived.size());
    return true;
}

} // namespace

bool operator==(const SnmpParams& a, const SnmpParams& b)
{
    return a.version == b.version && a.community == b.community && a.userName == b.userName &&
           a.authProtocol == b.authProtocol && a.authPassword == b.authPassword && a.privProtocol == b.privProtocol &&
           a.privPassword == b.privPassword;
}

bool operator!=(const SnmpParams& a, const SnmpParams& b)
{
    return !(a == b);
}

const QStringList& authProtocolNames()
{
    static const QStringList names{
        QCoreApplication::translate("SnmpUtils", "NoAuth"), QCoreApplication::translate("SnmpUtils", "MD5"),
        QCoreApplication::translate("SnmpUtils", "SHA1"),   QCoreApplication::translate("SnmpUtils", "SHA224"),
        QCoreApplication::translate("SnmpUtils", "SHA256"), QCoreApplication::translate("SnmpUtils", "SHA384"),
        QCoreApplication::translate("SnmpUtils", "SHA512")};
    return names;
}

const QStringList& privProtocolNames()
{
    static const QStringList names{
        QCoreApplication::translate("SnmpUtils", "NoPriv"), QCoreApplication::translate("SnmpUtils", "DES"),
        QCoreApplication::translate("SnmpUtils", "AES"),    QCoreApplication::translate("SnmpUtils", "3DES"),
        QCoreApplication::translate("SnmpUtils", "AES192"), QCoreApplication::translate("SnmpUtils", "AES192 Cisco"),
        QCoreApplication::translate("SnmpUtils", "AES256"), QCoreApplication::translate("SnmpUtils", "AES256 Cisco")};
    return names;
}

int privProtocolPartner(int privProtocol)
{
    switch (privProtocol) {
    case PrivAES192:
        return PrivAES192Cisco;
    case PrivAES192Cisco:
        return PrivAES192;
    case PrivAES256:
        return PrivAES256Cisco;
    case PrivAES256Cisco:
        return PrivAES256;
    default:
        return -1;
    }
}

const ProtocolOid* authProtocolOid(int code)
{
    static const ProtocolOid table[] = {{10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 1}}, {10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 2}},
                                        {10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 3}}, {10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 4}},
                                        {10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 5}}, {10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 6}},
                                        {10, {1, 3, 6, 1, 6, 3, 10, 1, 1, 7}}};
    return code >= 0 && code < 7 ? &table[code] : nullptr;
}

const ProtocolOid* privProtocolOid(int code)
{
    static const ProtocolOid table[] = {
        {10, {1, 3, 6, 1, 6, 3, 10, 1, 2, 1}}, {10, {1, 3, 6, 1, 6, 3, 10, 1, 2, 2}},
        {10, {1, 3, 6, 1, 6, 3, 10, 1, 2, 4}}, {10, {1, 3, 6, 1, 6, 3, 10, 1, 2, 3}},
        {9, {1, 3, 6, 1, 4, 1, 14832, 1, 3}},  {11, {1, 3, 6, 1, 4, 1, 9, 12, 6, 1, 1}},
        {9, {1, 3, 6, 1, 4, 1, 14832, 1, 4}},  {11, {1, 3, 6, 1, 4, 1, 9, 12, 6, 1, 2}}};
    return code >= 0 && code < 8 ? &table[code] : nullptr;
}

void initLibrary()
{
    std::lock_guard<std::mutex> life(g_lifeMutex);
    if (g_libraryUsers++ > 0)
        return;
    LibraryLocker lock;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_SAVE_MIB_DESCRS, 0);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_ALARM_DONT_USE_SIG, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_LOAD_HOST_FILES, 1);
    const QByteArray persistentDir = QFile::encodeName(snmpPersistentFolder());
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR, persistentDir.constData());
    // The program reads no MIB module through the library (it has its own database). The
    // library reads every file of its MIB folder at start-up, so that folder is one that
    // never exists: the current directory could hold anything, a pipe it would wait on for
    // ever among them.
    const QByteArray noMibs = QFile::encodeName(QDir(snmpPersistentFolder()).filePath(QStringLiteral("no-mibs")));
    netsnmp_set_mib_directory(noMibs.constData());
    snmp_set_save_descriptions(0);
    snmp_set_mib_warnings(0);
    snmp_set_mib_errors(0);
    // With no log handler enabled the library writes to stderr; a handler that drops
    // everything keeps it quiet.
    init_snmp_logging();
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, &discardLogMessage, nullptr);
    snmp_enable_calllog();
    snmp_disable_syslog();
    snmp_disable_filelog();
    snmp_disable_stderrlog();
    init_snmp("Tessaro");
}

void shutdownLibrary()
{
    std::lock_guard<std::mutex> life(g_lifeMutex);
    if (g_libraryUsers == 0 || --g_libraryUsers > 0)
        return;
    // The socket library is the program's own to clean up, once, at exit.
    LibraryLocker lock;
    snmp_shutdown("Tessaro");
}

void clearUsmUsers()
{
    std::lock_guard<std::mutex> lock(g_usmGate.mutex);
    if (g_usmGate.sessionsInUse == 0)
        removeAllUsmUsers();
    else
        g_usmGate.clearPending = true;
}

void enterUsmSession()
{
    std::unique_lock<std::mutex> lock(g_usmGate.mutex);
    g_usmGate.cleared.wait(lock, [] { return !g_usmGate.clearPending; });
    ++g_usmGate.sessionsInUse;
}

void leaveUsmSession()
{
    std::lock_guard<std::mutex> lock(g_usmGate.mutex);
    if (--g_usmGate.sessionsInUse == 0 && g_usmGate.clearPending) {
        removeAllUsmUsers();
        g_usmGate.clearPending = false;
        g_usmGate.cleared.notify_all();
    }
}

LibraryLocker::LibraryLocker()
{
    g_libraryMutex.lock();
}

LibraryLocker::~LibraryLocker()
{
    g_libraryMutex.unlock();
}

void limitSessionTiming(int retries, long timeoutMicroseconds)
{
    g_retriesCap = retries;
    g_timeoutCap = retries < 0 ? -1 : timeoutMicroseconds;
}

bool prepareSession(SessionSetup* setup, const QString& ip, const SnmpParams& params, int retries,
                    long timeoutMicroseconds)
{
    int version = 0;
    switch (params.version) {
    case 1:
        version = SNMP_VERSION_1;
        break;
    case 2:
        version = SNMP_VERSION_2c;
        break;
    case 3:
        version = SNMP_VERSION_3;
        break;
    default:
        return false;
    }
    netsnmp_session& session = setup->session;
    {
        LibraryLocker lock; // the first call initialises library internals
        snmp_sess_init(&session);
    }
    setup->peer = ip.toLatin1();
    session.peername = setup->peer.data();
    const int retriesCap = g_retriesCap;
    const long timeoutCap = g_timeoutCap;
    session.retries = retriesCap < 0 ? retries : std::min(retries, retriesCap);
    session.timeout = timeoutCap < 0 ? timeoutMicroseconds : std::min(timeoutMicroseconds, timeoutCap);
    session.version = version;
    // Discovery is done by openSingleSession/openSession, so that it waits without the lock.
    session.flags |= SNMP_FLAGS_DONT_PROBE;
    if (!params.community.isEmpty()) {
        setup->community = params.community.toLatin1();
        session.community = reinterpret_cast<u_char*>(setup->community.data());
        session.community_len = static_cast<size_t>(setup->community.size());
    }
    if (version != SNMP_VERSION_3)
        return true;

    setup->securityName = params.userName.toUtf8();
    session.securityName = setup->securityName.data();
    session.securityNameLen = static_cast<size_t>(setup->securityName.size());
    const auto useOid = [](const ProtocolOid* from, oid* to, oid** target, size_t* targetLength) {
        if (!from)
            return;
        std::copy(from->numbers, from->numbers + from->length, to);
        *target = to;
        *targetLength = from->length;
    };
    if (params.authProtocol == NoAuth) {
        session.securityLevel = SNMP_SEC_LEVEL_NOAUTH;
        useOid(authProtocolOid(NoAuth), setup->authOid, &session.securityAuthProto, &session.securityAuthProtoLen);
        return true;
    }
    // Codes outside the table name no protocol; the key derivation then fails.
    const ProtocolOid* auth = authProtocolOid(params.authProtocol);
    useOid(auth, setup->authOid, &session.securityAuthProto, &session.securityAuthProtoLen);
    session.securityAuthKeyLen = USM_AUTH_KU_LEN;
    if (!deriveKey(params.authProtocol, auth, params.authPassword, session.securityAuthKey,
                   &session.securityAuthKeyLen))
        return false;
    if (params.privProtocol == NoPriv) {
        session.securityLevel = SNMP_SEC_LEVEL_AUTHNOPRIV;
        useOid(privProtocolOid(NoPriv), setup->privOid, &session.securityPrivProto, &session.securityPrivProtoLen);
        return true;
    }
    const ProtocolOid* priv = privProtocolOid(params.privProtocol);
    if (!priv)
        return false; // the library would quietly fall back to its default cipher
    session.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
    useOid(priv, setup->privOid, &session.securityPrivProto, &session.securityPrivProtoLen);
    session.securityPrivKeyLen = USM_PRIV_KU_LEN;
    return deriveKey(params.authProtocol, auth, params.privPassword, session.securityPrivKey,
                     &session.securityPrivKeyLen);
}

bool discoverEngine(void* sessionPointer)
{
    netsnmp_pdu* probe = nullptr;
    {
        LibraryLocker lock;
        netsnmp_session* session = snmp_sess_session(sessionPointer);
        if (!session)
            return false;
        if (session->version != SNMP_VERSION_3 || session->securityEngineIDLen > 0)
            return true;
        // Keeps the library from probing by itself (and waiting under the lock) on send.
        session->flags |= SNMP_FLAGS_DONT_PROBE;
        probe = snmp_pdu_create(SNMP_MSG_GET);
        if (!probe)
            return false;
        probe->version = SNMP_VERSION_3;
        probe->securityName = strdup("");
        probe->securityNameLen = 0;
        probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
        probe->securityModel = SNMP_SEC_MODEL_USM;
    }
    // The expected answer is a report that carries the agent's engine ID; the library
    // stores it in the session while it processes the report.
    ++g_engineDiscoveries;
    netsnmp_pdu* response = nullptr;
    sessionSynchResponse(sessionPointer, probe, &response);
    freePdu(response);

    LibraryLocker lock;
    netsnmp_session* session = snmp_sess_session(sessionPointer);
    if (!session || session->securityEngineIDLen == 0)
        return false;
    return usm_create_user_from_session(session) == SNMPERR_SUCCESS;
}

bool sessionSend(void* sessionPointer, netsnmp_pdu* pdu, SentRequest* request)
{
    std::memset(&request->state, 0, sizeof(request->state));
    if (!pdu)
        return false;
    LibraryLocker lock;
    request->state.reqid =
        sessionPointer ? snmp_sess_async_send(sessionPointer, pdu, &onSynchResponse, &request->state) : 0;
    if (request->state.reqid == 0) {
        snmp_free_pdu(pdu);
        return false;
    }
    request->state.waiting = 1;
    return true;
}

int sessionWait(void* sessionPointer, SentRequest* request, netsnmp_pdu** response, const std::atomic<bool>* cancelled)
{
    *response = nullptr;
    synch_state& state = request->state;
    if (!state.waiting)
        return STAT_ERROR;
    // The callback only runs inside the read and time-out calls below, on this thread,
    // so the state needs no lock of its own.
    netsnmp_large_fd_set fdset;
    netsnmp_large_fd_set_init(&fdset, FD_SETSIZE);
    while (state.waiting) {
        int fdCount = 0;
        int block = NETSNMP_SELECT_NOALARMS;
        timeval timeout{};
        timeval* waitLimit = &timeout;
        NETSNMP_LARGE_FD_ZERO(&fdset);
        {
            LibraryLocker lock;
            snmp_sess_select_info2_flags(sessionPointer, &fdCount, &fdset, waitLimit, &block, NETSNMP_SELECT_NOALARMS);
        }
        if (block == 1)
            waitLimit = nullptr;
        // A waiter that may be cancelled looks at its flag between slices of the wait.
        timeval slice{0, CancelCheckMicroseconds};
        if (cancelled) {
            if (*cancelled) {
                state.status = STAT_ERROR;
                break;
            }
            if (!waitLimit || timercmp(waitLimit, &slice, >))
                waitLimit = &slice;
        }
        const int ready = netsnmp_large_fd_set_select(fdCount, &fdset, nullptr, nullptr, waitLimit);
        if (ready > 0) {
            LibraryLocker lock;
            snmp_sess_read2(sessionPointer, &fdset);
        } else if (ready == 0) {
            LibraryLocker lock;
            snmp_sess_timeout(sessionPointer);
        } else if (errno != EINTR) {
            state.status = STAT_ERROR;
            state.waiting = 0;
        }
    }
    netsnmp_large_fd_set_cleanup(&fdset);
    *response = state.pdu;
    state.pdu = nullptr;
    return state.status;
}

int sessionSynchResponse(void* sessionPointer, netsnmp_pdu* pdu, netsnmp_pdu** response)
{
    *response = nullptr;
    SentRequest request;
    if (!sessionSend(sessionPointer, pdu, &request))
        return STAT_ERROR;
    return sessionWait(sessionPointer, &request, response);
}

struct SingleSession
{
    void* handle = nullptr;
    bool usesUsm = false;
};

SingleSession* openSingleSession(const QString& ip, const SnmpParams& params, int retries, long timeoutMicroseconds)
{
    SessionSetup setup;
    if (!prepareSession(&setup, ip, params, retries, timeoutMicroseconds))
        return nullptr;
    auto* single = new SingleSession;
    single->usesUsm = setup.session.version == SNMP_VERSION_3;
    if (single->usesUsm)
        enterUsmSession();
    {
        LibraryLocker lock;
        single->handle = snmp_sess_open(&setup.session);
    }
    if (!single->handle || !discoverEngine(single->handle)) {
        closeSingleSession(single);
        return nullptr;
    }
    return single;
}

void* singleSessionHandle(SingleSession* session)
{
    return session ? session->handle : nullptr;
}

void closeSingleSession(SingleSession* session)
{
    if (!session)
        return;
    if (session->handle) {
        LibraryLocker lock;
        snmp_sess_close(session->handle);
    }
    if (session->usesUsm)
        leaveUsmSession();
    delete session;
}

int synchResponse(SingleSession* session, snmp_pdu* pdu, snmp_pdu** response)
{
    if (!session) {
        *response = nullptr;
        freePdu(pdu);
        return STAT_ERROR;
    }
    return sessionSynchResponse(session->handle, pdu, response);
}

int engineDiscoveries()
{
    return g_engineDiscoveries;
}

void freePdu(snmp_pdu* pdu)
{
    if (!pdu)
        return;
    LibraryLocker lock;
    snmp_free_pdu(pdu);
}

} // namespace SnmpUtils
