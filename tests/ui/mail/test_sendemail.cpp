#include "mail/MimeMessage.h"
#include "platform/AppSettings.h"
#include "ui/mail/SendEmailDialog.h"

#include "ScriptedPrompts.h"
#include "Smtpd.h"
#include "TestFiles.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>

class TestSendEmail : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<AppSettings> m_settings;
    QPointer<SendEmailDialog> m_dialog;

    template <typename T = QLineEdit> T* field(const char* name) { return m_dialog->findChild<T*>(name); }
    QAbstractButton* button(const char* name) { return field<QAbstractButton>(name); }
    // A dialog with a From address, a server and one attachment.
    void open(int port)
    {
        m_dialog = new SendEmailDialog("mibs@example.com", m_settings.get());
        field("from")->setText(" ann@example.org ");
        field("server")->setText("127.0.0.1");
        field("port")->setText(QString::number(port));
        writeBytes(m_dir.filePath("A-MIB.txt"), "A-MIB DEFINITIONS ::= BEGIN\r\nEND\n\xff");
        m_dialog->addAttachments({m_dir.filePath("A-MIB.txt"), m_dir.filePath("A-MIB.txt")});
        m_dialog->show();
    }

private slots:
    void init()
    {
        m_settings = std::make_unique<AppSettings>(m_dir.filePath("Tessaro.ini"));
        m_settings->setEmailEncryption("NONE");
    }
    void cleanup() { delete m_dialog; }

    // From, server, port and the attachment kept ("-" removes it), each field as typed.
    void validation_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("warning");
        const QString port = "Fill in the SMTP port number";
        for (const QString& row :
             QStringList{"no @;ann|h|25|+;Fill in the \"From\" field. E.g. john.smith@gmail.com",
                         "no server;a@b| |25|+;Fill in the SMTP server address", "port 0;a@b|h|0|+;" + port,
                         "port 70000;a@b|h|70000|+;" + port, "port text;a@b|h|x25|+;" + port,
                         "no files;a@b|h|25|-;Add at least one attachment file"})
            QTest::newRow(qPrintable(row.section(';', 0, 0))) << row.section(';', 1, 1) << row.section(';', 2);
    }
    void validation()
    {
        QFETCH(QString, fields);
        QFETCH(QString, warning);
        const QStringList values = fields.split('|');
        ScriptedPrompts prompts;
        open(1);
        field("from")->setText(values[0]);
        field("server")->setText(values[1]);
        field("port")->setText(values[2]);
        m_dialog->findChild<QListWidget*>("attachments")->setCurrentRow(0);
        if (values[3] == "-")
            button("removeAttachment")->click();
        button("send")->click();
        QVERIFY(!m_dialog->isSending() && m_dialog->isVisible());
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].kind + prompts.asked[0].title + prompts.asked[0].text, "warning" + warning);
    }

    void settingsAndMessage()
    {
        m_settings->setEmailEncryption("TLS");
        m_settings->setEmailPassword("pw");
        open(465);
        QVERIFY(button("tls")->isChecked() && !field("password")->isEnabled());
        button("authentication")->setChecked(true);
        QVERIFY(field("password")->isEnabled() && field("password")->text() == "pw");
        QCOMPARE(m_dialog->attachments().size(), 1);
        QVERIFY(!button("removeAttachment")->isEnabled());
        field("phone")->setText("+1 555");
        const auto text = [this] {
            return static_cast<MimeText*>(m_dialog->buildMessage()->content().parts().first().get())->text();
        };
        QCOMPARE(text(), "Phone: +1 555\n");
        field<QPlainTextEdit>("message")->setPlainText("Hi");
        QCOMPARE(text(), "Hi\nPhone: +1 555\n");
        button("none")->setChecked(true);
        m_dialog->close();
        QVERIFY(m_settings->emailEncryption() == "NONE" && m_settings->emailPort() == "465");
        QVERIFY(m_settings->emailFrom() == " ann@example.org " && m_settings->emailAttachmentDir() == m_dir.path());
        QTRY_VERIFY(!m_dialog);
    }

    void send_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("port"); // 0: the test server's
        QTest::addColumn<QString>("answer");
        QTest::newRow("sent, login as From") << "pw:1" << 0 << "informationEmail has been successfully sent";
        // A failure gives the server's or the connection's own words on a second line.
        QTest::newRow("535") << "bad" << 0 << "warningUser name or password is incorrect\n535 ";
        QTest::newRow("refused") << "pw:1" << 1 << "warningFailed connect to SMTP server\nConnection refused";
    }
    void send()
    {
        QFETCH(QString, password);
        QFETCH(int, port);
        ScriptedPrompts prompts;
        Smtpd server({"--user", "ann@example.org"});
        open(port ? port : server.port);
        button("authentication")->setChecked(true);
        field("password")->setText(password);
        QSignalSpy ended(m_dialog.data(), &SendEmailDialog::sendEnded);
        button("send")->click();
        QVERIFY(!button("send")->isEnabled() && field<QWidget>("status")->isVisible() && ended.wait(20000));
        QFETCH(QString, answer);
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY2(QString(prompts.asked[0].kind + prompts.asked[0].text).startsWith(answer),
                 qPrintable(prompts.asked[0].text));
        if (answer.startsWith("warning")) {
            QVERIFY(button("send")->isEnabled() && m_dialog->isVisible());
            return;
        }
        QTRY_VERIFY(!m_dialog);
        QCOMPARE(server.file("envelope.txt"), QByteArray("ann@example.org\nmibs@example.com\n"));
        QCOMPARE(server.file("A-MIB.txt"), QByteArray("A-MIB DEFINITIONS ::= BEGIN\r\nEND\n\xff"));
    }

    void cancelWhileSending()
    {
        ScriptedPrompts prompts;
        QTcpServer silent; // accepts, never greets
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        open(silent.serverPort());
        QSignalSpy ended(m_dialog.data(), &SendEmailDialog::sendEnded);
        button("send")->click();
        QTest::qWait(200);
        QVERIFY(m_dialog->isSending() && ended.isEmpty());
        button("cancel")->click();
        QVERIFY(ended.wait(2000) && prompts.asked.isEmpty() && m_dialog->isVisible() && button("send")->isEnabled());
        button("cancel")->click();
        QTRY_VERIFY(!m_dialog);
    }
};

QTEST_MAIN(TestSendEmail)
#include "test_sendemail.moc"
