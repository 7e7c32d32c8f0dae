#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <memory>

class AppSettings;
class MimeMessage;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QThread;

// Sends MIB files to the maker by e-mail through the user's own SMTP server. The exchange
// runs on a worker thread, so the window stays responsive; Cancel while sending aborts it.
class SendEmailDialog : public QDialog
{
    Q_OBJECT
public:
    // defaultTo: the maker's mailbox for new MIB modules, shown read-only.
    SendEmailDialog(const QString& defaultTo, AppSettings* settings, QWidget* parent = nullptr);
    ~SendEmailDialog() override;

    // Appends the files that are not in the list yet (what choosing them in the file dialog does).
    void addAttachments(const QStringList& paths);
    QStringList attachments() const { return m_attachments; }
    bool isSending() const { return m_thread != nullptr; }
    // The e-mail made from the fields as they are now.
    std::shared_ptr<MimeMessage> buildMessage() const;

public slots:
    void onAddAttachment();
    void onRemoveAttachment();
    void onCurrentAttachmentRowChanged(int row);
    void onEnableAuthenticationChanged(int state);
    void onSend();
    void onCancel();
    void onFinished();
    // Closes the dialog, or while sending only aborts the exchange.
    void reject() override;

signals:
    // A send has ended (sent, failed or aborted) and its message, if any, was shown.
    void sendEnded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum Outcome
    {
        ConnectFailed,
        LoginFailed,
        SendFailed,
        Sent
    };
    void loadSettings();
    void warn(const QString& text);
    void setSending(bool sending);
    void onSendDone(Outcome outcome, const QString& reason);

    AppSettings* m_settings;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QLineEdit* m_subject;
    QLineEdit* m_phone;
    QPlainTextEdit* m_message;
    QListWidget* m_attachmentList;
    QPushButton* m_addAttachment;
    QPushButton* m_removeAttachment;
    QLineEdit* m_server;
    QLineEdit* m_port;
    QRadioButton* m_ssl;
    QRadioButton* m_tls;
    QRadioButton* m_none;
    QCheckBox* m_authentication;
    QLineEdit* m_username;
    QLineEdit* m_password;
    QLabel* m_status;
    QPushButton* m_send;
    QPushButton* m_cancel;
    QStringList m_attachments; // parallel to the list widget's rows
    QString m_attachmentDir;
    bool m_geometryRestored = false;
    QPointer<QThread> m_thread;
    std::shared_ptr<std::atomic_bool> m_abort;
};
