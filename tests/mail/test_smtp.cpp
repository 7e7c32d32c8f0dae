#include "mail/MimeMessage.h"
#include "mail/SmtpClient.h"

#include "Smtpd.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

class TestSmtp : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_cert;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    MimeMessage message()
    {
        MimeMessage m;
        m.setSender(EmailAddress("ann@example.org"));
        m.addTo(EmailAddress("mibs@example.com", "MIB desk"));
        m.addBcc(EmailAddress("hidden@example.com"));
        m.setSubject("Add this MIB file to database");
        m.addPart(std::make_shared<MimeText>("Phone: 123\n"));
        QByteArray binary;
        for (int i = 0; i < 700; ++i)
            binary += char(i * 7);
        m.addPart(std::make_shared<MimeAttachment>(writeFile("A-MIB.txt", "A-MIB DEFINITIONS ::= BEGIN\r\n.END\n")));
        m.addPart(std::make_shared<MimeAttachment>(writeFile("b.bin", binary)));
        return m;
    }

private slots:
    void initTestCase()
    {
        m_cert = m_dir.filePath("cert.pem");
        QProcess openssl; // its progress dots are not read
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                       "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", m_dir.filePath("key.pem"), "-out", m_cert});
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
    }

    void encodings()
    {
        QCOMPARE(MimePart::quotedPrintable("a b=\xc3\xa9\n~"), QByteArray("a b=3D=C3=A9=0A~"));
        const MimeContentFormatter formatter;
        const QByteArray qp = formatter.formatQuotedPrintable(QByteArray(74, 'x') + "=3Dyy\nz");
        QCOMPARE(qp, QByteArray(74, 'x') + "=\r\n=3Dyy\nz");
        MimeMessage m;
        m.setSender(EmailAddress("a@b.c", "Ann: Lee"));
        m.setHeaderEncoding(MimePart::QuotedPrintable);
        QVERIFY(m.toBytes().startsWith("From: =?utf-8?Q?Ann=3A_Lee?= <a@b.c>\r\nTo:\r\nSubject: =?utf-8?Q??=\r\n"));
        m.setHeaderEncoding(MimePart::Base64);
        QVERIFY(m.toBytes().startsWith("From: =?utf-8?B?QW5uOiBMZWU=?= <a@b.c>\r\n"));
    }

    void messageBytes()
    {
        MimeMessage m = message();
        const QByteArray bytes = m.toBytes();
        const QByteArray boundary = m.content().boundary().toLatin1();
        QCOMPARE(boundary.size(), 32);
        QVERIFY(bytes.startsWith("From: <ann@example.org>\r\nTo: MIB desk <mibs@example.com>\r\n"
                                 "Subject: Add this MIB file to database\r\nMIME-Version: 1.0\r\nDate: "));
        QVERIFY(!bytes.contains("hidden"));
        QVERIFY(bytes.contains("Content-Type: multipart/mixed; boundary=" + boundary + "\r\n"));
        QCOMPARE(bytes.count("--" + boundary + "\r\n"), 3);
        QVERIFY(bytes.contains("--" + boundary +
                               "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                               "Content-Transfer-Encoding: 8bit\r\n\r\nPhone: 123\n\r\n"));
        QVERIFY(bytes.contains("Content-Type: application/octet-stream; name=\"b.bin\"\r\nContent-Transfer-Encoding: "
                               "base64\r\nContent-disposition: attachment\r\n\r\n"));
        QVERIFY(bytes.endsWith("--" + boundary + "--\r\n\r\n"));
        for (const QByteArray& line : bytes.split('\n'))
            QVERIFY(line.size() <= 77);
    }

    void exchange_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("reply");
        QTest::addColumn<QString>("authLine");
        QTest::newRow("plain PLAIN") << QStringList{} << 0 << "pw:1" << 235 << "AUTH PLAIN ***";
        QTest::newRow("STARTTLS") << QStringList{"--tls", "starttls"} << 2 << "pw:1" << 235 << "AUTH PLAIN ***";
        QTest::newRow("implicit TLS") << QStringList{"--tls", "implicit"} << 1 << "pw:1" << 235 << "AUTH PLAIN ***";
        QTest::newRow("only LOGIN") << QStringList{"--exclude", "PLAIN"} << 0 << "pw:1" << 235 << "AUTH LOGIN";
        QTest::newRow("535") << QStringList{} << 0 << "wrong" << 535 << "AUTH PLAIN ***";
        QTest::newRow("no method: PLAIN")
            << QStringList{"--exclude", "PLAIN", "--exclude", "LOGIN"} << 0 << "pw:1" << 504 << "AUTH PLAIN ***";
    }
    void exchange()
    {
        QFETCH(QStringList, options);
        QFETCH(int, type);
        QFETCH(QString, password);
        Smtpd server(options + QStringList{"--cert", m_cert, "--key", m_dir.filePath("key.pem")});
        SmtpClient::setExtraCaCertificates(QSslCertificate::fromPath(m_cert));
        SmtpClient client("127.0.0.1", server.port, SmtpClient::ConnectionType(type));
        client.setUser("ann");
        client.setPassword(password);
        QSignalSpy errors(&client, &SmtpClient::smtpError);
        QVERIFY2(client.connectToHost(), qPrintable(client.errorText() + client.log().join('\n')));
        QFETCH(int, reply);
        const bool sent = reply == 235;
        QCOMPARE(client.login(), sent);
        QVERIFY2(client.responseCode() == reply, qPrintable(client.log().join("\n")));
        QFETCH(QString, authLine);
        QVERIFY(client.log().contains(authLine));
        for (const QByteArray& secret : {QByteArray("pw:1"), QByteArray("cHc6MQ"), QByteArray("AGFubgBwdzox")})
            QVERIFY(!client.log().join('\n').contains(secret) && !client.errorText().contains(secret));
        if (!sent) {
            QCOMPARE(errors.takeLast().at(0).value<SmtpClient::SmtpError>(), SmtpClient::AuthenticationFailedError);
            return;
        }
        MimeMessage m = message();
        QVERIFY(client.sendMail(m));
        client.quit();
        QCOMPARE(server.file("envelope.txt"), QByteArray("ann@example.org\nmibs@example.com\nhidden@example.com\n"));
        QCOMPARE(server.file("A-MIB.txt"), QByteArray("A-MIB DEFINITIONS ::= BEGIN\r\n.END\n"));
        QFile binary(m_dir.filePath("b.bin"));
        QVERIFY(binary.open(QIODevice::ReadOnly));
        QCOMPARE(server.file("b.bin"), binary.readAll());
    }

    void failures()
    {
        // Not trusted without the extra CA: the handshake fails and names why.
        SmtpClient::setExtraCaCertificates({});
        {
            Smtpd server({"--tls", "implicit", "--cert", m_cert, "--key", m_dir.filePath("key.pem")});
            SmtpClient client("127.0.0.1", server.port, SmtpClient::SslConnection);
            QVERIFY(!client.connectToHost());
            QVERIFY2(client.errorText().contains("self-signed"), qPrintable(client.errorText()));
        }
        // A server that accepts and then never answers.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        SmtpClient client("127.0.0.1", silent.serverPort(), SmtpClient::TcpConnection);
        client.setTimeouts(1000, 300, 1000);
        QSignalSpy errors(&client, &SmtpClient::smtpError);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!client.connectToHost());
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(errors.takeFirst().at(0).value<SmtpClient::SmtpError>(), SmtpClient::ResponseTimeoutError);
        // Nobody listening.
        silent.close();
        SmtpClient refused("127.0.0.1", silent.serverPort(), SmtpClient::TcpConnection);
        QVERIFY(!refused.connectToHost());
    }
};

QTEST_GUILESS_MAIN(TestSmtp)
#include "test_smtp.moc"
