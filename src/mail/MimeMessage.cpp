#include "mail/MimeMessage.h"

#include <QDateTime>
#include <QStringList>

MimeMessage::MimeMessage()
    : m_content(std::make_shared<MimeMultiPart>())
{
}

QString MimeMessage::encoded(const QString& text) const
{
    if (m_headerEncoding == MimePart::Base64)
        return QStringLiteral("=?utf-8?B?") + QString::fromLatin1(text.toUtf8().toBase64()) + QStringLiteral("?=");
    if (m_headerEncoding == MimePart::QuotedPrintable) {
        QString qp = QString::fromLatin1(MimePart::quotedPrintable(text.toUtf8()));
        qp.replace(QLatin1Char(' '), QLatin1Char('_')).replace(QLatin1Char(':'), QStringLiteral("=3A"));
        return QStringLiteral("=?utf-8?Q?") + qp + QStringLiteral("?=");
    }
    return text;
}

QString MimeMessage::mailbox(const EmailAddress& address) const
{
    QString text;
    if (!address.name().isEmpty())
        text = QLatin1Char(' ') + encoded(address.name());
    return text + QStringLiteral(" <") + address.address() + QLatin1Char('>');
}

QByteArray MimeMessage::toBytes()
{
    const QString crlf = QStringLiteral("\r\n");
    QString head = QStringLiteral("From:") + mailbox(m_sender) + crlf;
    const auto list = [this](const QList<EmailAddress>& addresses) {
        QStringList boxes;
        for (const EmailAddress& address : addresses)
            boxes << mailbox(address);
        return boxes.join(QLatin1Char(','));
    };
    head += QStringLiteral("To:") + list(m_to) + crlf;
    if (!m_cc.isEmpty())
        head += QStringLiteral("Cc:") + list(m_cc) + crlf;
    head += QStringLiteral("Subject: ") + encoded(m_subject) + crlf;
    if (!m_replyTo.isEmpty())
        head += QStringLiteral("Reply-To: ") + m_replyTo + crlf;
    head += QStringLiteral("MIME-Version: 1.0") + crlf;
    if (!m_inReplyTo.isEmpty())
        head += QStringLiteral("In-Reply-To: <") + m_inReplyTo + QLatin1Char('>') + crlf;
    if (!m_references.isEmpty())
        head += QStringLiteral("References: <") + m_references + QLatin1Char('>') + crlf;
    head += QStringLiteral("Date: ") + QDateTime::currentDateTime().toString(Qt::RFC2822Date) + crlf;
    m_content->prepare();
    return head.toUtf8() + m_content->toBytes();
}
