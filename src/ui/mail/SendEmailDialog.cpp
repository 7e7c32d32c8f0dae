#include "ui/mail/SendEmailDialog.h"

#include "mail/MimeMessage.h"
#include "mail/SmtpClient.h"
#include "platform/AppSettings.h"
#include "ui/widgets/UserPrompts.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

namespace {
const QString kExampleAddress = QStringLiteral("john.smith@gmail.com");
const QString kExampleServer = QStringLiteral("smtp.gmail.com");

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit* lineEdit(const char* name, const QString& toolTip)
{
    auto* edit = named(new QLineEdit, name);
    edit->setToolTip(toolTip);
    return edit;
}
} // namespace

SendEmailDialog::SendEmailDialog(const QString& defaultTo, AppSettings* settings, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_from(lineEdit("from", tr("Your e-mail, e.g. ") + kExampleAddress))
    , m_to(lineEdit("to", tr("Destination e-mail")))
    , m_subject(lineEdit("subject", QString()))
    , m_phone(lineEdit("phone", tr("Telephone number for contacting you. This field is optional.")))
    , m_message(named(new QPlainTextEdit, "message"))
    , m_attachmentList(named(new QListWidget, "attachments"))
    , m_addAttachment(named(new QPushButton(tr("Add attachment")), "addAttachment"))
    , m_removeAttachment(named(new QPushButton(tr("Remove")), "removeAttachment"))
    , m_server(lineEdit("server", tr("SMTP server address, e.g. ") + kExampleServer))
    , m_port(lineEdit("port", tr("SMTP server port, e.g. 465 or 25")))
    , m_ssl(named(new QRadioButton(tr("SSL")), "ssl"))
    , m_tls(named(new QRadioButton(tr("TLS")), "tls"))
    , m_none(named(new QRadioButton(tr("None")), "none"))
    , m_authentication(named(new QCheckBox(tr("Use user name and password")), "authentication"))
    , m_username(lineEdit("username", tr("Your login on the server.\nLeft blank if it is same as your email "
                                         "address.\nSometimes it is a first part of your email (before @).")))
    , m_password(lineEdit("password", tr("Your password")))
    , m_status(named(new QLabel(tr("Sending...")), "status"))
    , m_send(named(new QPushButton(tr("Send")), "send"))
    , m_cancel(named(new QPushButton(tr("Cancel")), "cancel"))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setWindowTitle(tr("Submit new MIB file via e-mail"));
    m_to->setReadOnly(true);
    m_to->setText(defaultTo);
    m_message->setToolTip(tr("You can write additional information here"));
    m_password->setEchoMode(QLineEdit::Password);
    m_send->setDefault(true);
    m_send->setToolTip(tr("Send email with attached files"));
    m_removeAttachment->setEnabled(false);
    m_status->setVisible(false);

    auto* form = new QFormLayout;
    form->addRow(tr("From:"), m_from);
    form->addRow(tr("To:"), m_to);
    form->addRow(tr("Subject:"), m_subject);
    form->addRow(tr("Phone Number:"), m_phone);

    auto* attachmentButtons = new QVBoxLayout;
    attachmentButtons->addWidget(m_addAttachment);
    attachmentButtons->addWidget(m_removeAttachment);
    attachmentButtons->addStretch();
    auto* attachments = new QHBoxLayout;
    attachments->addWidget(m_attachmentList);
    attachments->addLayout(attachmentButtons);

    auto* encryption = new QHBoxLayout;
    encryption->addWidget(m_ssl);
    encryption->addWidget(m_tls);
    encryption->addWidget(m_none);
    encryption->addStretch();
    auto* smtpForm = new QFormLayout;
    smtpForm->addRow(tr("Server:"), m_server);
    smtpForm->addRow(tr("Port:"), m_port);
    smtpForm->addRow(tr("Encryption"), encryption);
    smtpForm->addRow(tr("Authentication:"), m_authentication);
    smtpForm->addRow(tr("User Name:"), m_username);
    smtpForm->addRow(tr("Password:"), m_password);
    auto* smtp = new QGroupBox(tr("SMTP settings"));
    smtp->setLayout(smtpForm);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status);
    buttons->addStretch();
    buttons->addWidget(m_send);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addLayout(attachments);
    layout->addWidget(smtp);
    layout->addLayout(buttons);

    connect(m_addAttachment, &QPushButton::clicked, this, &SendEmailDialog::onAddAttachment);
    connect(m_removeAttachment, &QPushButton::clicked, this, &SendEmailDialog::onRemoveAttachment);
    connect(m_attachmentList, &QListWidget::currentRowChanged, this, &SendEmailDialog::onCurrentAttachmentRowChanged);
    connect(m_authentication, &QCheckBox::stateChanged, this, &SendEmailDialog::onEnableAuthenticationChanged);
    connect(m_send, &QPushButton::clicked, this, &SendEmailDialog::onSend);
    connect(m_cancel, &QPushButton::clicked, this, &SendEmailDialog::onCancel);
    connect(this, &QDialog::finished, this, &SendEmailDialog::onFinished);

    m_subject->setText(tr("Add this MIB file to database"));
    loadSettings();
}

SendEmailDialog::~SendEmailDialog()
{
    // Closed while sending: the exchange ends at its next wait slice.
    if (m_thread) {
        *m_abort = true;
        m_thread->wait();
    }
}

void SendEmailDialog::loadSettings()
{
    if (!m_settings) {
        m_port->setText(QStringLiteral("25"));
        m_ssl->setChecked(true);
        onEnableAuthenticationChanged(Qt::Unchecked);
        return;
    }
    m_from->setText(m_settings->emailFrom());
    m_phone->setText(m_settings->emailPhoneNumber());
    m_server->setText(m_settings->emailServer());
    m_port->setText(m_settings->emailPort());
    const QString encryption = m_settings->emailEncryption();
    (encryption == QLatin1String("TLS")    ? m_tls
     : encryption == QLatin1String("NONE") ? m_none
                                           : m_ssl)
        ->setChecked(true);
    m_authentication->setChecked(m_settings->emailEnableAuthentication());
    onEnableAuthenticationChanged(m_authentication->checkState());
    m_username->setText(m_settings->emailUsername());
    m_password->setText(m_settings->emailPassword());
    m_attachmentDir = m_settings->emailAttachmentDir();
}

void SendEmailDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_geometryRestored && m_settings)
        restoreGeometry(m_settings->emailWindowGeometry());
    m_geometryRestored = true;
}

void SendEmailDialog::onFinished()
{
    if (!m_settings)
        return;
    m_settings->setEmailWindowGeometry(saveGeometry());
    m_settings->setEmailFrom(m_from->text());
    m_settings->setEmailPhoneNumber(m_phone->text());
    m_settings->setEmailServer(m_server->text());
    m_settings->setEmailPort(m_port->text());
    m_settings->setEmailEncryption(m_none->isChecked()  ? QStringLiteral("NONE")
                                   : m_tls->isChecked() ? QStringLiteral("TLS")
                                                        : QStringLiteral("SSL"));
    m_settings->setEmailUsername(m_username->text());
    m_settings->setEmailPassword(m_password->text());
    m_settings->setEmailAttachmentDir(m_attachmentDir);
}

void SendEmailDialog::onAddAttachment()
{
    addAttachments(QFileDialog::getOpenFileNames(this, tr("Select MIB files"), m_attachmentDir));
}

void SendEmailDialog::addAttachments(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (m_attachments.contains(path))
            continue;
        const QFileInfo info(path);
        m_attachmentDir = info.absolutePath();
        m_attachmentList->addItem(info.fileName());
        m_attachments.append(path);
    }
}

void SendEmailDialog::onRemoveAttachment()
{
    const int row = m_attachmentList->currentRow();
    if (row < 0 || row >= m_attachments.size())
        return;
    m_attachments.removeAt(row);
    delete m_attachmentList->takeItem(row);
}

void SendEmailDialog::onCurrentAttachmentRowChanged(int row)
{
    m_removeAttachment->setEnabled(row >= 0);
}

void SendEmailDialog::onEnableAuthenticationChanged(int state)
{
    m_username->setEnabled(state == Qt::Checked);
    m_password->setEnabled(state == Qt::Checked);
}

void SendEmailDialog::warn(const QString& text)
{
    UserPrompts::instance().warning(this, QString(), text);
}

std::shared_ptr<MimeMessage> SendEmailDialog::buildMessage() const
{
    auto message = std::make_shared<MimeMessage>();
    message->setSender(EmailAddress(m_from->text().trimmed()));
    message->addTo(EmailAddress(m_to->text()));
    message->setSubject(m_subject->text());
    QString text = m_message->toPlainText();
    if (!m_phone->text().isEmpty()) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QStringLiteral("Phone: ") + m_phone->text() + QLatin1Char('\n');
    }
    message->addPart(std::make_shared<MimeText>(text));
    for (const QString& path : m_attachments)
        message->addPart(std::make_shared<MimeAttachment>(path));
    return message;
}

void SendEmailDialog::onSend()
{
    if (m_thread)
        return;
    const QString from = m_from->text().trimmed();
    if (from.isEmpty() || !from.contains(QLatin1Char('@')))
        return warn(tr("Fill in the \"From\" field. E.g. ") + kExampleAddress);
    const QString host = m_server->text().trimmed();
    if (host.isEmpty())
        return warn(tr("Fill in the SMTP server address"));
    bool numeric = false;
    const uint port = m_port->text().toUInt(&numeric, 10);
    if (!numeric || port < 1 || port > 65535)
        return warn(tr("Fill in the SMTP port number"));
    QString user = m_username->text().trimmed();
    if (user.isEmpty())
        user = from;
    const QString password = m_password->text();
    if (m_attachments.isEmpty())
        return warn(tr("Add at least one attachment file"));

    const auto type = m_tls->isChecked()    ? SmtpClient::TlsConnection
                      : m_none->isChecked() ? SmtpClient::TcpConnection
                                            : SmtpClient::SslConnection;
    const bool login = m_authentication->isChecked();
    const std::shared_ptr<MimeMessage> message = buildMessage();
    auto abort = std::make_shared<std::atomic_bool>(false);
    auto outcome = std::make_shared<Outcome>(SendFailed);
    auto reason = std::make_shared<QString>();
    // The client lives and dies on the worker thread; only the outcome comes back.
    m_thread = QThread::create([=] {
        SmtpClient client(host, static_cast<int>(port), type);
        client.setUser(user);
        client.setPassword(password);
        client.setAbortFlag(abort);
        if (!client.connectToHost())
            *outcome = ConnectFailed;
        else if (login && !client.login())
            *outcome = LoginFailed;
        else
            *outcome = client.sendMail(*message) ? Sent : SendFailed;
        *reason = client.errorText();
        client.quit();
    });
    m_abort = abort;
    connect(m_thread, &QThread::finished, this, [this, outcome, reason] { onSendDone(*outcome, *reason); });
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    setSending(true);
    m_thread->start();
}

void SendEmailDialog::setSending(bool sending)
{
    m_send->setEnabled(!sending);
    m_status->setVisible(sending);
    if (sending)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void SendEmailDialog::onSendDone(Outcome outcome, const QString& reason)
{
    m_thread = nullptr;
    setSending(false);
    if (*m_abort) {
        emit sendEnded();
        return;
    }
    UserPrompts& prompts = UserPrompts::instance();
    // The server's or the connection's own words follow, so that the user can act on them.
    const QString detail = reason.isEmpty() ? QString() : QLatin1Char('\n') + reason;
    if (outcome == ConnectFailed)
        prompts.warning(this, QString(), tr("Failed connect to SMTP server") + detail);
    else if (outcome == LoginFailed)
        prompts.warning(this, QString(), tr("User name or password is incorrect") + detail);
    else if (outcome == SendFailed)
        prompts.warning(this, QString(), tr("Failed to send email message") + detail);
    else
        prompts.information(this, QString(), tr("Email has been successfully sent"));
    emit sendEnded();
    if (outcome == Sent)
        accept();
}

void SendEmailDialog::onCancel()
{
    reject();
}

void SendEmailDialog::reject()
{
    if (m_thread)
        *m_abort = true;
    else
        QDialog::reject();
}
