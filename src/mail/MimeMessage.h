#pragma once

#include "mail/EmailAddress.h"
#include "mail/MimePart.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// An e-mail: the envelope's header fields and a multipart content.
class MimeMessage
{
public:
    MimeMessage();

    EmailAddress sender() const { return m_sender; }
    void setSender(const EmailAddress& sender) { m_sender = sender; }
    QList<EmailAddress> to() const { return m_to; }
    QList<EmailAddress> cc() const { return m_cc; }
    QList<EmailAddress> bcc() const { return m_bcc; }
    void addTo(const EmailAddress& address) { m_to.append(address); }
    void addCc(const EmailAddress& address) { m_cc.append(address); }
    void addBcc(const EmailAddress& address) { m_bcc.append(address); }
    QString subject() const { return m_subject; }
    void setSubject(const QString& subject) { m_subject = subject; }
    void setReplyTo(const QString& address) { m_replyTo = address; }
    void setInReplyTo(const QString& id) { m_inReplyTo = id; }
    void setReferences(const QString& id) { m_references = id; }
    // Base64 or QuotedPrintable encode the names and the subject; anything else leaves them.
    void setHeaderEncoding(MimePart::Encoding encoding) { m_headerEncoding = encoding; }

    MimeMultiPart& content() { return *m_content; }
    void addPart(std::shared_ptr<MimePart> part) { m_content->addPart(std::move(part)); }

    // The whole message as sent after DATA; prepares every part.
    QByteArray toBytes();

private:
    QString encoded(const QString& text) const;
    QString mailbox(const EmailAddress& address) const;

    EmailAddress m_sender;
    QList<EmailAddress> m_to;
    QList<EmailAddress> m_cc;
    QList<EmailAddress> m_bcc;
    QString m_subject;
    QString m_replyTo;
    QString m_inReplyTo;
    QString m_references;
    MimePart::Encoding m_headerEncoding = MimePart::EightBit;
    std::shared_ptr<MimeMultiPart> m_content;
};
