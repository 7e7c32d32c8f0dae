#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class MimeMessage;
class QSslSocket;

// A blocking SMTP client over plain TCP, TLS from the start, or STARTTLS. Every wait is
// bounded by its time-out and cut short by the abort flag, so a worker thread can run it
// while the window stays responsive. Passwords never reach the log.
class SmtpClient : public QObject
{
    Q_OBJECT
public:
    enum ConnectionType
    {
        TcpConnection,
        SslConnection,
        TlsConnection
    };
    enum AuthMethod
    {
        AuthAny,
        AuthPlain,
        AuthLogin
    };
    enum SmtpError
    {
        ConnectionTimeoutError,
        ResponseTimeoutError,
        SendDataTimeoutError,
        AuthenticationFailedError,
        ServerError,
        ClientError
    };
    Q_ENUM(SmtpError)

    struct ResponseTimeoutException
    {
    };
    struct SendMessageTimeoutException
    {
    };

    // One line of a server reply, trimmed: its code (0 when it has none), whether it is the
    // reply's last ("250 ..." rather than "250-..."), and the AUTH methods an EHLO line offers.
    struct ReplyLine
    {
        int code = 0;
        bool last = true;
        bool offersPlain = false;
        bool offersLogin = false;
    };
    static ReplyLine parseReplyLine(const QString& line);

    SmtpClient(const QString& host, int port, ConnectionType type, QObject* parent = nullptr);
    ~SmtpClient() override;

    void setUser(const QString& user) { m_user = user; }
    void setPassword(const QString& password) { m_password = password; }
    void setAuthMethod(AuthMethod method) { m_authMethod = method; }
    void setName(const QString& name) { m_name = name; }
    void setIgnoreSslErrors(bool ignore) { m_ignoreSslErrors = ignore; }
    void setTimeouts(int connectionMs, int responseMs, int sendMs);
    // Set from any thread, it ends the exchange at the next slice of a wait.
    void setAbortFlag(std::shared_ptr<std::atomic_bool> flag) { m_abort = std::move(flag); }
    // Certificates trusted besides the system's, for every client made afterwards.
    static void setExtraCaCertificates(const QList<QSslCertificate>& certificates);

    bool connectToHost();
    bool login();
    bool sendMail(MimeMessage& message);
    void quit();

    QStringList log() const { return m_log; }
    QString errorText() const { return m_errorText; }
    int responseCode() const { return m_responseCode; }
    QString responseText() const { return m_responseText; }

signals:
    void smtpError(SmtpClient::SmtpError error);

private:
    bool aborted() const { return m_abort && *m_abort; }
    bool waitSliced(int timeoutMs, const std::function<bool(int)>& wait);
    void fail(SmtpError error, const QString& text);
    void waitForResponse();
    bool expect(int code);
    void sendCommand(const QString& text, const QString& logged = QString());
    void sendBytes(const QByteArray& bytes);

    QSslSocket* m_socket;
    QString m_host;
    int m_port;
    ConnectionType m_type;
    QString m_name = QStringLiteral("localhost");
    QString m_user;
    QString m_password;
    AuthMethod m_authMethod = AuthAny;
    int m_connectionTimeout = 5000;
    int m_responseTimeout = 5000;
    int m_sendTimeout = 60000;
    QString m_responseText;
    int m_responseCode = 0;
    bool m_offersPlain = false;
    bool m_offersLogin = false;
    QStringList m_log;
    QString m_errorText;
    bool m_ignoreSslErrors = false;
    std::shared_ptr<std::atomic_bool> m_abort;
};
