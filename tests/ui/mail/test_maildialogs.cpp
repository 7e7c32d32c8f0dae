// The e-mail dialogs: sending MIB files through the SMTP test server, and the service's alert
// e-mail settings on its key in a temporary folder.

#include "mail/MimeMessage.h"
#include "platform/AppSettings.h"
#include "platform/RegistryStore.h"
#include "ui/mail/SendEmailDialog.h"
#include "ui/service/SettingsDialog.h"

#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "Smtpd.h"
#include "TestFiles.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>

namespace {

const QString kSender = "alerts@sender.example";
const QString kDefaults = "+|25+|" + kSender + "+|false+|-|-|TLS+|false+";

// The form's controls in order: each one's value, then "+" when enabled.
QString shown(QWidget* dialog)
{
    QStringList shown;
    for (QWidget* w : dialog->findChildren<QWidget*>(QRegularExpression("(Edit|Spin|Combo|Check)$")))
        shown << w->metaObject()->userProperty().read(w).toString() + (w->isEnabled() ? "+" : "-");
    return shown.join('|');
}

// The values as the service reads them; "#" and the text for one stored encrypted.
QString stored()
{
    QStringList values;
    for (const QString name : {"DestEmailServer", "SMTPPort", "DestEmailFrom", "SMTPUseAuthentication",
                               "DestEmailUsername", "DestEmailPassword", "SMTPEncryption", "SMTPIgnoreSslErrors"}) {
        const auto value = ServiceRegistry::readEncryptedValue(name);
        values << (value.isDecodable() && !value.stored.isEmpty() ? "#" + *value.text : value.stored);
    }
    return values.join('|');
}

} // namespace

class TestMailDialogs final : public QObject
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
        // The service's key, one per row; a plain file where the "failing" key's folder should be:
        // nothing can be stored.
        const QString root = m_dir.filePath("registry/" + QString(QTest::currentDataTag()));
        QVERIFY(qstrcmp(QTest::currentDataTag(), "failing") || writeBytes(root, "x"));
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(root));
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

    void saves_data()
    {
        QTest::addColumn<QVariantMap>("values"); // stored in the native view; "*": encrypted as the program does
        QTest::addColumn<QVariantMap>("edits");  // by object name: its value
        QTest::addColumn<int>("key");            // 0: "Save" clicked
        QTest::addColumn<QString>("form");       // after closing
        QTest::addColumn<QString>("saved");      // and the warning shown
        const QVariantMap none;
        const QString written = "|25|" + kSender + "|0|||2|0";
        QTest::newRow("none") << none << none << 0 << kDefaults << written;
        QTest::newRow("escape") << none << none << int(Qt::Key_Escape) << kDefaults << "|||||||";
        QTest::newRow("0, 5") << QVariantMap{{"SMTPPort", 0}, {"SMTPEncryption", 5}} << none << int(Qt::Key_Return)
                              << kDefaults << written;
        const QVariantMap all{{"DestEmailServer", "smtp.example"}, {"SMTPPort", 587},
                              {"DestEmailFrom", "noc@x"},          {"SMTPUseAuthentication", 2},
                              {"DestEmailUsername*", "bob"},       {"SMTPEncryption", 0},
                              {"SMTPIgnoreSslErrors", 1}};
        QTest::newRow("all") << all << none << 0 << "smtp.example+|587+|noc@x+|true+|bob+|+|None+|true-"
                             << "smtp.example|587|noc@x|1|#bob||0|1";
        const QVariantMap undecodable{
            {"DestEmailUsername", "zz"}, {"DestEmailPassword", "0123"}, {"SMTPPort", 70000}, {"SMTPEncryption", -1}};
        QTest::newRow("undecodable") << undecodable << none << 0 << kDefaults << "|25|" + kSender + "|0|zz|0123|2|0";
        const QVariantMap typed{{"serverEdit", " smtp.example "}, {"senderEdit", " noc@x "},
                                {"authenticationCheck", true},    {"userNameEdit", " bob "},
                                {"passwordEdit", " pw "},         {"encryptionCombo", "None"},
                                {"ignoreSslErrorsCheck", true}};
        const QString typedForm = " smtp.example +|25+| noc@x +|true+| bob +| pw +|None+|true-";
        QTest::newRow("typed") << undecodable << typed << 0 << typedForm << "smtp.example|25| noc@x |1|#bob|# pw |0|1";
        QTest::newRow("failing") << none << typed << 0 << typedForm
                                 << "|||||||warning" // nothing stored
                                    "The settings were not all saved: DestEmailServer, SMTPPort, "
                                    "DestEmailFrom, SMTPUseAuthentication, DestEmailUsername, DestEmailPassword, "
                                    "SMTPEncryption, SMTPIgnoreSslErrors";
    }

    // Cancel has the focus; Enter saves and Escape cancels. A failed save keeps the dialog open.
    void saves()
    {
        QFETCH(QVariantMap, values);
        QFETCH(QVariantMap, edits);
        QFETCH(int, key);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QVERIFY(it.key().endsWith('*')
                        ? ServiceRegistry::writeEncryptedValue(it.key().chopped(1), {{}, it->toString(), true})
                        : RegistryStore(RegistryStore::View::Native).setValue(it.key(), *it));
        ScriptedPrompts prompts;
        SettingsDialog dialog(kSender);
        dialog.show();
        for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
            QWidget* control = dialog.findChild<QWidget*>(it.key());
            control->metaObject()->userProperty().write(control, *it);
        }
        QCOMPARE(dialog.focusWidget(), buttonWithText(&dialog, "Cancel"));
        dialog.setResult(-1);
        key ? QTest::keyClick(dialog.focusWidget(), Qt::Key(key)) : buttonWithText(&dialog, "Save")->click();
        QCOMPARE(dialog.result(), key == Qt::Key_Escape ? 0 : prompts.asked.isEmpty() ? 1 : -1);
        QTEST(shown(&dialog), "form");
        const ScriptedPrompts::Asked warning = prompts.asked.value(0);
        QTEST(QString(stored() + warning.kind + warning.text.section(" could not", 0, 0)), "saved");
    }
};

QTEST_MAIN(TestMailDialogs)
#include "test_maildialogs.moc"
