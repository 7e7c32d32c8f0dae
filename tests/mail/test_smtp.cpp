#include "mail/MimeMessage.h"
#include "mail/SmtpClient.h"

#include "Smtpd.h"
#include "TestFiles.h"

#include <QSignalSpy>

class TestSmtp : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_cert;
    const QByteArray m_binary = QByteArray(300, '\0') + QByteArray(400, '\xff') + "\r\n.\r\n";

    // A text and two files, one a MIB with a line that starts with a dot, one binary.
    MimeMessage message()
    {
        MimeMessage m;
        m.setSender(EmailAddress("ann@example.org"));
        m.addTo(EmailAddress("mibs@example.com", "MIB desk"));
        m.addBcc(EmailAddress("hidden@example.com"));
        m.setSubject("Add this MIB file to database");
        m.addPart(std::make_shared<MimeText>("Phone: 123\n"));
        writeBytes(m_dir.filePath("A-MIB.txt"), "A-MIB DEFINITIONS ::= BEGIN\r\n.END\n");
        writeBytes(m_dir.filePath("b.bin"), m_binary);
        m.addPart(std::make_shared<MimeAttachment>(m_dir.filePath("A-MIB.txt")));
        m.addPart(std::make_shared<MimeAttachment>(m_dir.filePath("b.bin")));
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
        QCOMPARE(MimeContentFormatter().formatQuotedPrintable(QByteArray(74, 'x') + "=3Dyy\nz"),
                 QByteArray(74, 'x') + "=\r\n=3Dyy\nz");
        MimeMessage m;
        m.setSender(EmailAddress("a@b.c", "Ann: Lee"));
        m.setHeaderEncoding(MimePart::QuotedPrintable);
        QVERIFY(m.toBytes().startsWith("From: =?utf-8?Q?Ann=3A_Lee?= <a@b.c>\r\nTo:\r\nSubject: =?utf-8?Q?\?=\r\n"));
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
        QVERIFY(bytes.contains("Content-Type: multipart/mixed; boundary=" + boundary + "\r\n"));
        QCOMPARE(bytes.count("--" + boundary + "\r\n"), 3);
        QVERIFY(bytes.contains("--" + boundary +
                               "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                               "Content-Transfer-Encoding: 8bit\r\n\r\nPhone: 123\n\r\n"));
        QVERIFY(bytes.contains("Content-Type: application/octet-stream; name=\"b.bin\"\r\nContent-Transfer-Encoding: "
                               "base64\r\nContent-disposition: attachment\r\n\r\n"));
        QVERIFY(bytes.endsWith("--" + boundary + "--\r\n\r\n") && !bytes.contains("hidden"));
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
        QFETCH(QString, authLine);
        QCOMPARE(client.login(), reply == 235);
        QCOMPARE(client.responseCode(), reply);
        QVERIFY(client.log().contains(authLine));
        for (const QByteArray& secret : {QByteArray("pw:1"), QByteArray("cHc6MQ"), QByteArray("AGFubgBwdzox")})
            QVERIFY(!client.log().join('\n').contains(secret) && !client.errorText().contains(secret));
        if (reply != 235) {
            QCOMPARE(errors.takeLast().at(0).value<SmtpClient::SmtpError>(), SmtpClient::AuthenticationFailedError);
            return;
        }
        MimeMessage m = message();
        QVERIFY(client.sendMail(m));
        client.quit();
        QCOMPARE(server.file("envelope.txt"), QByteArray("ann@example.org\nmibs@example.com\nhidden@example.com\n"));
        QCOMPARE(server.file("A-MIB.txt"), QByteArray("A-MIB DEFINITIONS ::= BEGIN\r\n.END\n"));
        QCOMPARE(server.file("b.bin"), m_binary);
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
        QVERIFY(!client.connectToHost());
        QCOMPARE(errors.takeFirst().at(0).value<SmtpClient::SmtpError>(), SmtpClient::ResponseTimeoutError);
    }
};

QTEST_GUILESS_MAIN(TestSmtp)
#include "test_smtp.moc"
