#include "mail/MimeMessage.h"
#include "platform/AppSettings.h"
#include "ui/mail/SendEmailDialog.h"

#include "ScriptedPrompts.h"
#include "Smtpd.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

class TestSendEmail : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<AppSettings> m_settings;
    QPointer<SendEmailDialog> m_dialog;

    template <typename T = QLineEdit> T* field(const char* name) { return m_dialog->findChild<T*>(name); }
    // A dialog with a From address, a server and one attachment.
    void open(int port)
    {
        m_dialog = new SendEmailDialog("mibs@example.com", m_settings.get());
        field("from")->setText(" ann@example.org ");
        field("server")->setText("127.0.0.1");
        field("port")->setText(QString::number(port));
        QFile file(m_dir.filePath("A-MIB.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("A-MIB DEFINITIONS ::= BEGIN\r\nEND\n\xff") > 0);
        m_dialog->addAttachments({file.fileName(), file.fileName()});
        m_dialog->show();
    }

private slots:
    void init()
    {
        m_settings = std::make_unique<AppSettings>(m_dir.filePath("Tessaro.ini"));
        m_settings->setEmailEncryption("NONE");
    }
    void cleanup() { delete m_dialog; }

    void validation_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("attach");
        QTest::addColumn<QString>("warning");
        QTest::newRow("no @") << "ann"
                              << "h"
                              << "25" << true << "Fill in the \"From\" field. E.g. john.smith@gmail.com";
        QTest::newRow("no server") << "a@b"
                                   << " "
                                   << "25" << true << "Fill in the SMTP server address";
        QTest::newRow("port 0") << "a@b"
                                << "h"
                                << "0" << true << "Fill in the SMTP port number";
        QTest::newRow("port 70000") << "a@b"
                                    << "h"
                                    << "70000" << true << "Fill in the SMTP port number";
        QTest::newRow("port text") << "a@b"
                                   << "h"
                                   << "x25" << true << "Fill in the SMTP port number";
        QTest::newRow("no files") << "a@b"
                                  << "h"
                                  << "25" << false << "Add at least one attachment file";
    }
    void validation()
    {
        QFETCH(QString, from);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(bool, attach);
        ScriptedPrompts prompts;
        open(1);
        field("from")->setText(from);
        field("server")->setText(server);
        field("port")->setText(port);
        if (!attach) {
            m_dialog->findChild<QListWidget*>("attachments")->setCurrentRow(0);
            field<QPushButton>("removeAttachment")->click();
        }
        field<QPushButton>("send")->click();
        QVERIFY(!m_dialog->isSending() && m_dialog->isVisible());
        QCOMPARE(prompts.asked.size(), 1);
        QFETCH(QString, warning);
        QCOMPARE(prompts.asked[0].kind + prompts.asked[0].title + prompts.asked[0].text, "warning" + warning);
    }

    void settingsAndMessage()
    {
        m_settings->setEmailEncryption("TLS");
        m_settings->setEmailPassword("pw");
        open(465);
        QCOMPARE(field("to")->text(), "mibs@example.com");
        QVERIFY(field<QRadioButton>("tls")->isChecked() && !field("password")->isEnabled());
        field<QCheckBox>("authentication")->setChecked(true);
        QVERIFY(field("password")->isEnabled() && field("password")->text() == "pw");
        QCOMPARE(m_dialog->attachments().size(), 1);
        QVERIFY(!field<QPushButton>("removeAttachment")->isEnabled());
        field("phone")->setText("+1 555");
        const auto text = [this] {
            return static_cast<MimeText*>(m_dialog->buildMessage()->content().parts().first().get())->text();
        };
        QCOMPARE(text(), "Phone: +1 555\n");
        field<QPlainTextEdit>("message")->setPlainText("Hi");
        QCOMPARE(text(), "Hi\nPhone: +1 555\n");
        QCOMPARE(m_dialog->buildMessage()->content().parts().size(), 2);
        field<QRadioButton>("none")->setChecked(true);
        m_dialog->close();
        QVERIFY(m_settings->emailEncryption() == "NONE" && m_settings->emailPort() == "465");
        QVERIFY(m_settings->emailFrom() == " ann@example.org " && m_settings->emailAttachmentDir() == m_dir.path());
        QTRY_VERIFY(!m_dialog);
    }

    void send_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QString>("answer");
        QTest::newRow("sent, login as From") << "pw:1" << true << "informationEmail has been successfully sent";
        QTest::newRow("535") << "bad" << true << "warningUser name or password is incorrect";
        QTest::newRow("refused") << "pw:1" << false << "warningFailed connect to SMTP server";
    }
    void send()
    {
        QFETCH(QString, password);
        QFETCH(bool, listening);
        ScriptedPrompts prompts;
        Smtpd server({"--user", "ann@example.org"});
        if (!listening) {
            server.process.closeWriteChannel();
            QVERIFY(server.process.waitForFinished(10000));
        }
        open(server.port);
        field<QCheckBox>("authentication")->setChecked(true);
        field("password")->setText(password);
        QSignalSpy ended(m_dialog.data(), &SendEmailDialog::sendEnded);
        field<QPushButton>("send")->click();
        QVERIFY(!field<QPushButton>("send")->isEnabled() && field<QLabel>("status")->isVisible());
        QVERIFY(ended.wait(20000));
        QFETCH(QString, answer);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].kind + prompts.asked[0].text, answer);
        if (answer.startsWith("warning")) {
            QVERIFY(field<QPushButton>("send")->isEnabled() && m_dialog->isVisible());
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
        field<QPushButton>("send")->click();
        QTest::qWait(200);
        QVERIFY(m_dialog->isSending() && ended.isEmpty());
        field<QPushButton>("cancel")->click();
        QVERIFY(ended.wait(2000));
        QVERIFY(prompts.asked.isEmpty() && m_dialog->isVisible() && field<QPushButton>("send")->isEnabled());
        field<QPushButton>("cancel")->click();
        QTRY_VERIFY(!m_dialog);
    }
};

QTEST_MAIN(TestSendEmail)
#include "test_sendemail.moc"
