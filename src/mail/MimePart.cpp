#include "mail/MimePart.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

QByteArray MimeContentFormatter::formatBase64(const QByteArray& text) const
{
    QByteArray out;
    for (int i = 0; i < text.size(); i += m_maxLength) {
        if (i > 0)
            out += "\r\n";
        out += text.mid(i, m_maxLength);
    }
    return out;
}

QByteArray MimeContentFormatter::formatQuotedPrintable(const QByteArray& text) const
{
    QByteArray out;
    int length = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            out += '\n';
            length = 0;
            continue;
        }
        const int token = text[i] == '=' ? 3 : 1;
        // The soft break's "=" must fit on the line as well.
        if (length + token > m_maxLength - 1) {
            out += "=\r\n";
            length = 0;
        }
        out += text.mid(i, token);
        length += token;
        i += token - 1;
    }
    return out;
}

MimePart::MimePart() = default;
MimePart::~MimePart() = default;

QByteArray MimePart::quotedPrintable(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ' || (byte >= 33 && byte <= 126 && byte != '='))
            out += c;
        else
            out += '=' + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

void MimePart::prepare()
{
    QString head = QStringLiteral("Content-Type: ") + m_contentType;
    if (!m_contentName.isEmpty())
        head += QStringLiteral("; name=\"%1\"").arg(m_contentName);
    if (!m_charset.isEmpty())
        head += QStringLiteral("; charset=") + m_charset;
    if (!m_boundary.isEmpty())
        head += QStringLiteral("; boundary=") + m_boundary;
    static const char* const names[] = {"7bit", "8bit", "base64", "quoted-printable"};
    head +=
        QStringLiteral("\r\nContent-Transfer-Encoding: ") + QLatin1String(names[m_encoding]) + QStringLiteral("\r\n");
    if (!m_contentId.isEmpty())
        head += QStringLiteral("Content-ID: <%1>\r\n").arg(m_contentId);
    head += m_header + QStringLiteral("\r\n");

    m_prepared = head.toUtf8();
    switch (m_encoding) {
    case SevenBit: // Latin-1 text: the bytes as they are
    case EightBit:
        m_prepared += m_content;
        break;
    case Base64:
        m_prepared += m_formatter.formatBase64(m_content.toBase64());
        break;
    case QuotedPrintable:
        m_prepared += m_formatter.formatQuotedPrintable(quotedPrintable(m_content));
        break;
    }
    m_prepared += "\r\n";
}

MimeText::MimeText(const QString& text)
{
    m_contentType = QStringLiteral("text/plain");
    m_charset = QStringLiteral("utf-8");
    m_encoding = EightBit;
    setText(text);
}

MimeFile::MimeFile(const QString& path)
    : m_path(path)
{
    m_contentType = QStringLiteral("application/octet-stream");
    m_contentName = QFileInfo(path).fileName();
    m_encoding = Base64;
}

void MimeFile::prepare()
{
    QFile file(m_path);
    m_content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    MimePart::prepare();
}

MimeAttachment::MimeAttachment(const QString& path)
    : MimeFile(path)
{
    m_header += QStringLiteral("Content-disposition: attachment\r\n");
}

MimeMultiPart::MimeMultiPart()
{
    m_contentType = QStringLiteral("multipart/mixed");
    m_encoding = EightBit;
    QByteArray random(32, '\0');
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    m_boundary = QString::fromLatin1(QCryptographicHash::hash(random, QCryptographicHash::Md5).toHex());
}

void MimeMultiPart::prepare()
{
    const QByteArray line = "--" + m_boundary.toLatin1();
    m_content.clear();
    for (const auto& part : m_parts) {
        part->prepare();
        m_content += line + "\r\n" + part->toBytes();
    }
    m_content += line + "--\r\n";
    MimePart::prepare();
}
