#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// Breaks encoded content into lines of at most maxLength characters.
class MimeContentFormatter
{
public:
    explicit MimeContentFormatter(int maxLength = 76)
        : m_maxLength(maxLength)
    {
    }
    int maxLength() const { return m_maxLength; }
    // Base64 text in lines joined by CRLF.
    QByteArray formatBase64(const QByteArray& text) const;
    // Quoted-printable text with soft breaks ("=" CRLF) that never split an "=XX" escape;
    // every line feed of the text starts a new line.
    QByteArray formatQuotedPrintable(const QByteArray& text) const;

private:
    int m_maxLength;
};

// One part of a MIME message: its header fields and its content, prepared into the text
// that goes on the wire.
class MimePart
{
public:
    enum Encoding
    {
        SevenBit,
        EightBit,
        Base64,
        QuotedPrintable
    };

    MimePart();
    virtual ~MimePart();

    QString header() const { return m_header; }
    void setHeader(const QString& header) { m_header = header; }
    void addHeaderLine(const QString& line) { m_header += line + QStringLiteral("\r\n"); }
    QByteArray content() const { return m_content; }
    void setContent(const QByteArray& content) { m_content = content; }
    QString contentId() const { return m_contentId; }
    void setContentId(const QString& id) { m_contentId = id; }
    QString contentName() const { return m_contentName; }
    void setContentName(const QString& name) { m_contentName = name; }
    QString contentType() const { return m_contentType; }
    void setContentType(const QString& type) { m_contentType = type; }
    QString charset() const { return m_charset; }
    void setCharset(const QString& charset) { m_charset = charset; }
    QString boundary() const { return m_boundary; }
    Encoding encoding() const { return m_encoding; }
    void setEncoding(Encoding encoding) { m_encoding = encoding; }
    const MimeContentFormatter& contentFormatter() const { return m_formatter; }

    // Builds the part's text from its fields; toBytes answers it afterwards.
    virtual void prepare();
    QByteArray toBytes() const { return m_prepared; }

    // "=XX" for every byte but blanks and the printable characters other than "=".
    static QByteArray quotedPrintable(const QByteArray& bytes);

protected:
    QString m_header;
    QByteArray m_content;
    QString m_contentId;
    QString m_contentName;
    QString m_contentType;
    QString m_charset;
    QString m_boundary;
    Encoding m_encoding = SevenBit;
    MimeContentFormatter m_formatter;
    QByteArray m_prepared;
};

// Plain UTF-8 text.
class MimeText : public MimePart
{
public:
    explicit MimeText(const QString& text = QString());
    QString text() const { return QString::fromUtf8(m_content); }
    void setText(const QString& text) { m_content = text.toUtf8(); }
};

// A file's bytes, read when the part is prepared, in Base64.
class MimeFile : public MimePart
{
public:
    explicit MimeFile(const QString& path);
    QString path() const { return m_path; }
    void prepare() override;

private:
    QString m_path;
};

// A file the reader's program offers to save.
class MimeAttachment : public MimeFile
{
public:
    explicit MimeAttachment(const QString& path);
};

// Parts one after the other, each behind the boundary line.
class MimeMultiPart : public MimePart
{
public:
    MimeMultiPart();
    void addPart(std::shared_ptr<MimePart> part) { m_parts.append(std::move(part)); }
    const QList<std::shared_ptr<MimePart>>& parts() const { return m_parts; }
    void prepare() override;

private:
    QList<std::shared_ptr<MimePart>> m_parts;
};
