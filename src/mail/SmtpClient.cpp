#include "mail/SmtpClient.h"

#include "mail/MimeMessage.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSslConfiguration>
#include <QSslSocket>

namespace {
QMutex extraCaMutex;
QList<QSslCertificate> extraCa;
const int waitSlice = 50;
} // namespace

SmtpClient::SmtpClient(const QString& host, int port, ConnectionType type, QObject* parent)
    : QObject(parent)
    , m_socket(new QSslSocket(this))
    , m_host(host)
    , m_port(port)
    , m_type(type)
{
    qRegisterMetaType<SmtpClient::SmtpError>();
    QMutexLocker lock(&extraCaMutex);
    if (!extraCa.isEmpty()) {
        QSslConfiguration config = m_socket->sslConfiguration();
        config.addCaCertificates(extraCa);
        m_socket->setSslConfiguration(config);
    }
    connect(m_socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), this,
            [this](const QList<QSslError>& errors) {
                for (const QSslError& error : errors) {
                    m_log << QStringLiteral("SSL Error: ") + error.errorString();
                    m_errorText = error.errorString();
                }
                if (m_ignoreSslErrors)
                    m_socket->ignoreSslErrors();
            });
}

SmtpClient::~SmtpClient() = default;

void SmtpClient::setTimeouts(int connectionMs, int responseMs, int sendMs)
{
    m_connectionTimeout = connectionMs;
    m_responseTimeout = responseMs;
    m_sendTimeout = sendMs;
}

void SmtpClient::setExtraCaCertificates(const QList<QSslCertificate>& certificates)
{
    QMutexLocker lock(&extraCaMutex);
    extraCa = certificates;
}

bool SmtpClient::waitSliced(int timeoutMs, const std::function<bool(int)>& wait)
{
    QElapsedTimer timer;
    timer.start();
    while (!aborted() && m_socket->state() != QAbstractSocket::UnconnectedState) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return false;
        if (wait(static_cast<int>(qMin<qint64>(left, waitSlice))))
            return true;
    }
    return false;
}

void SmtpClient::fail(SmtpError error, const QString& text)
{
    if (m_errorText.isEmpty())
        m_errorText = text;
    emit smtpError(error);
}

SmtpClient::ReplyLine SmtpClient::parseReplyLine(const QString& line)
{
    ReplyLine reply;
    reply.code = line.left(3).toInt();
    if (reply.code == 250 && line.mid(4).startsWith(QLatin1String("AUTH"))) {
        const QStringList words = line.mid(4).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        reply.offersPlain = words.mid(1).contains(QLatin1String("PLAIN"));
        reply.offersLogin = words.mid(1).contains(QLatin1String("LOGIN"));
    }
    reply.last = line.size() <= 3 || line[3] == QLatin1Char(' ');
    return reply;
}

void SmtpClient::waitForResponse()
{
    m_responseText.clear();
    for (;;) {
        if (!m_socket->canReadLine() &&
            !waitSliced(m_responseTimeout, [this](int ms) { return m_socket->waitForReadyRead(ms); })) {
            fail(ResponseTimeoutError, aborted() ? tr("Cancelled") : tr("No response from the server in time"));
            throw ResponseTimeoutException();
        }
        while (m_socket->canReadLine()) {
            const QString line = QString::fromUtf8(m_socket->readLine()).trimmed();
            m_log << line;
            m_responseText += line + QLatin1Char('\n');
            const ReplyLine reply = parseReplyLine(line);
            m_responseCode = reply.code;
            m_offersPlain = m_offersPlain || reply.offersPlain;
            m_offersLogin = m_offersLogin || reply.offersLogin;
            if (!reply.last)
                continue;
            if (m_responseCode >= 400 && m_responseCode <= 499)
                fail(ServerError, line);
            else if (m_responseCode >= 500 && m_responseCode <= 599)
                fail(ClientError, line);
            return;
        }
    }
}

bool SmtpClient::expect(int code)
{
    waitForResponse();
    if (m_responseCode == code)
        return true;
    if (m_errorText.isEmpty())
        m_errorText = m_responseText.trimmed();
    return false;
}

void SmtpClient::sendBytes(const QByteArray& bytes)
{
    m_socket->write(bytes);
    if (!waitSliced(m_sendTimeout,
                    [this](int ms) { return m_socket->bytesToWrite() == 0 || m_socket->waitForBytesWritten(ms); })) {
        fail(SendDataTimeoutError, aborted() ? tr("Cancelled") : tr("Could not send to the server in time"));
        throw SendMessageTimeoutException();
    }
}

void SmtpClient::sendCommand(const QString& text, const QString& logged)
{
    m_log << (logged.isNull() ? text : logged);
    sendBytes(text.toUtf8() + "\r\n");
}

bool SmtpClient::connectToHost()
{
    m_log.clear();
    m_errorText.clear();
    m_offersPlain = m_offersLogin = false;
    const auto wait = [this](const std::function<bool(int)>& step) {
        if (waitSliced(m_connectionTimeout, step))
            return true;
        fail(ConnectionTimeoutError, m_socket->errorString());
        return false;
    };
    if (m_type == SslConnection) {
        m_socket->connectToHostEncrypted(m_host, static_cast<quint16>(m_port));
        if (!wait([this](int ms) { return m_socket->waitForEncrypted(ms); }))
            return false;
    } else {
        m_socket->connectToHost(m_host, static_cast<quint16>(m_port));
        if (!wait([this](int ms) { return m_socket->waitForConnected(ms); }))
            return false;
    }
    try {
        const QString ehlo = QStringLiteral("EHLO ") + m_name;
        bool ok = expect(220);
        if (ok) {
            sendCommand(ehlo);
            ok = expect(250);
        }
        if (ok && m_type == TlsConnection) {
            sendCommand(QStringLiteral("STARTTLS"));
            if (!expect(220)) {
                fail(ServerError, m_responseText.trimmed());
                return false;
            }
            m_socket->startClientEncryption();
            if (!wait([this](int ms) { return m_socket->waitForEncrypted(ms); })) {
                m_log << m_socket->errorString();
                return false;
            }
            sendCommand(ehlo);
            ok = expect(250);
        }
        if (!ok)
            fail(ServerError, m_responseText.trimmed());
        return ok;
    } catch (const ResponseTimeoutException&) {
    } catch (const SendMessageTimeoutException&) {
    }
    return false;
}

bool SmtpClient::login()
{
    try {
        AuthMethod method = m_authMethod;
        if (method == AuthAny)
            method = m_offersPlain || !m_offersLogin ? AuthPlain : AuthLogin;
        bool ok;
        if (method == AuthPlain) {
            const QByteArray blob = '\0' + m_user.toUtf8() + '\0' + m_password.toUtf8();
            sendCommand(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(blob.toBase64()),
                        QStringLiteral("AUTH PLAIN ***"));
            ok = expect(235);
        } else {
            sendCommand(QStringLiteral("AUTH LOGIN"));
            ok = expect(334);
            if (ok) {
                sendCommand(QString::fromLatin1(m_user.toUtf8().toBase64()));
                ok = expect(334);
            }
            if (ok) {
                sendCommand(QString::fromLatin1(m_password.toUtf8().toBase64()), QStringLiteral("***"));
                ok = expect(235);
            }
        }
        if (!ok)
            fail(AuthenticationFailedError, m_responseText.trimmed());
        return ok;
    } catch (const ResponseTimeoutException&) {
    } catch (const SendMessageTimeoutException&) {
    }
    return false;
}

bool SmtpClient::sendMail(MimeMessage& message)
{
    try {
        sendCommand(QStringLiteral("MAIL FROM:<%1>").arg(message.sender().address()));
        if (!expect(250))
            return false;
        for (const EmailAddress& to : message.to() + message.cc() + message.bcc()) {
            sendCommand(QStringLiteral("RCPT TO:<%1>").arg(to.address()));
            if (!expect(250))
                return false;
        }
        sendCommand(QStringLiteral("DATA"));
        if (!expect(354))
            return false;
        // A line that starts with a dot gets a second one, so that it cannot end the data.
        QByteArray data = message.toBytes();
        if (data.startsWith('.'))
            data.prepend('.');
        data.replace("\r\n.", "\r\n..");
        m_log << QStringLiteral("<message of %1 bytes>").arg(data.size());
        sendBytes(data);
        sendCommand(QStringLiteral("."));
        return expect(250);
    } catch (const ResponseTimeoutException&) {
    } catch (const SendMessageTimeoutException&) {
    }
    return false;
}

void SmtpClient::quit()
{
    try {
        if (m_socket->state() == QAbstractSocket::ConnectedState)
            sendCommand(QStringLiteral("QUIT"));
    } catch (const SendMessageTimeoutException&) {
    }
    m_socket->disconnectFromHost();
}
