#include "config/VelmoraFile.h"

#include "config/Cipher.h"
#include "config/ConfigFile.h"
#include "config/ConfigLog.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QHash>

namespace {

constexpr int columnCount = 7;
constexpr int minimumColumns = 3; // address, group and credentials

// The comment lines a save writes at the top of a file that has none of its own.
const char headerTemplate[] = R"(;This is the Orvane Configuration file
;--------------------------------------
;
;Enter one device per line, its fields in TAB-delimited form in the order
;described below.
;A semicolon remarks out the rest of a line; a line that starts with one
;is ignored as a whole.
;An empty Contract Date, Number or Telephone is written as a single "/".
;
;IPADDRESS FIELD
;  The IP address of the device. Every device needs an address.
;
;GROUP FIELD
;  The group the device is listed under. Every device needs a group;
;  Default holds the devices that belong to no other. Groups collect
;  related devices, such as those of one site.
;
;SNMP COMMUNICATIONS SECURITY FIELD
;  The read community string, or the credentials of an SNMPv3 user.
;  Accepted forms:
;    public
;    &v1("public")
;    &v2c("public")
;    &v3(UserName:"user", AuthType:SHA1, AuthPass:"authpass", PrivType:AES, PrivPass:"privpass")
;  AuthType is one of MD5, SHA1, SHA224, SHA256, SHA384 or SHA512; PrivType
;  one of DES, AES, 3DES, AES192, AES192C, AES256 or AES256C.
;  A password is required whenever its protocol is given. When a protocol
;  is not used, leave out both its Type and its Pass key.
;
;CONTRACT DATE Field
;  The date the support contract of the device expires, in MM/DD/YYYY form,
;  for example 12/31/2027 for the last day of 2027.
;
;CONTRACT NUMBER FIELD
;  The number of the support contract.
;
;CONTRACT TELEPHONE FIELD
;  The telephone number to call for support.
;
;DESCRIPTION FIELD
;  Free text about the device. It may hold an HTML hyperlink, such as
;  <a href="http://intranet/racks/b3">Rack B3</a>
;  The description runs to the end of the line.
;
;Example:
;IP Address	Group	Security	Contract	Contract	Contract	Description
;			Date	Number	Telephone
;----------	-----	--------	--------	--------	---------	-----------
;192.168.1.10	Default	public	12/31/2027	SC-10442	555-0100	Core switch
;192.168.1.20	Servers	&v2c("private")	06/30/2027	SC-20931	555-0142	<a href="http://srv/">Servers</a>
;10.0.0.5	Printers	&v1("public")	/	/	/	Second floor printer
;10.0.0.9	Default	&v3(UserName:"ops", AuthType:SHA256, AuthPass:"authpass")	/	/	/	Branch router
;
;Enter your devices below:
;IP Address	Group	Security	Contract Date	Contract Number	Contract Telephone	Description
;----------	-----	--------	-------------	---------------	------------------	-----------
)";

QList<ConfigLine> headerLines()
{
    QList<ConfigLine> lines;
    const QString text = QString::fromUtf8(headerTemplate);
    int start = 0;
    while (start < text.size()) {
        const int end = text.indexOf(QLatin1Char('\n'), start);
        const int next = end < 0 ? text.size() : end + 1;
        ConfigLine line;
        line.text = text.mid(start, next - start);
        lines.append(line);
        start = next;
    }
    return lines;
}

// The protocol words of the notation by code; code 0, no protocol, has none.
const QStringList& authWords()
{
    static const QStringList words = QStringLiteral(",MD5,SHA1,SHA224,SHA256,SHA384,SHA512").split(QLatin1Char(','));
    return words;
}

const QStringList& privWords()
{
    static const QStringList words =
        QStringLiteral(",DES,AES,3DES,AES192,AES192C,AES256,AES256C").split(QLatin1Char(','));
    return words;
}

// The code of word in words (letter case ignored), or -1; code 0 has no word.
int protocolCode(const QStringList& words, const QString& word)
{
    for (int code = 1; code < words.size(); ++code) {
        if (words.at(code).compare(word, Qt::CaseInsensitive) == 0)
            return code;
    }
    return -1;
}

// ", AuthType:SHA1, AuthPass:"secret"" for a protocol in use, nothing for code 0 or an unknown code.
QString protocolPart(const QStringList& words, const QString& kind, int code, const QString& password)
{
    if (code <= 0 || code >= words.size())
        return QString();
    return QStringLiteral(", %1Type:%2, %1Pass:\"%3\"").arg(kind, words.at(code), password);
}

// The text between a prefix and a closing suffix of suffixLength characters, which are not checked.
QString enclosed(const QString& text, int prefixLength, int suffixLength)
{
    return text.mid(prefixLength, qMax(0, text.size() - prefixLength - suffixLength));
}

// Reads the SNMPv3 body: "Key:value" pieces separated by commas, a quoted value losing its
// quotes. False when a piece has no colon, a key is not one of the notation's or a quote is
// not closed.
bool readKeyValues(const QString& body, QHash<QString, QString>& values)
{
    static const QStringList keys{QStringLiteral("UserName"), QStringLiteral("AuthType"), QStringLiteral("AuthPass"),
                                  QStringLiteral("PrivType"), QStringLiteral("PrivPass")};
    const QStringList pieces = body.split(QLatin1Char(','));
    for (const QString& piece : pieces) {
        const int colon = piece.indexOf(QLatin1Char(':'));
        if (colon < 0 || !keys.contains(piece.left(colon).trimmed()))
            return false;
        QString value = piece.mid(colon + 1).trimmed();
        if (value.startsWith(QLatin1Char('"'))) {
            if (value.size() < 2 || !value.endsWith(QLatin1Char('"')))
                return false; // a quote not closed
            value = enclosed(value, 1, 1);
        }
        values.insert(piece.left(colon).trimmed(), value);
    }
    return true;
}

// Reads one protocol of an SNMPv3 body: used only when both its Type and its Pass keys are
// there. False for a Type word that is not in words, with or without its Pass key, and for an
// encrypted Pass that does not decrypt.
bool readProtocol(const QHash<QString, QString>& values, const QStringList& words, const QString& kind, bool encrypted,
                  qint32& code, QString& password)
{
    const QString typeKey = kind + QLatin1String("Type");
    const QString passKey = kind + QLatin1String("Pass");
    if (!values.contains(typeKey))
        return true;
    const int read = protocolCode(words, values.value(typeKey));
    if (read < 0)
        return false;
    if (!values.contains(passKey))
        return true;
    const std::optional<QString> pass =
        encrypted ? VelmoraFile::decryptedSecret(values.value(passKey)) : values.value(passKey);
    code = read;
    password = pass.value_or(QString());
    return pass.has_value();
}

// The program's fixed AES-256 key for the encrypted notation, and the salt that ends the
// digested bytes. Changing either makes every encrypted value written so far unreadable.
const char secretKey[] = "Tessaro.Velmora/credential.k3y#1";
const char integritySalt[] = "Orvane.devices.1";
static_assert(sizeof(secretKey) - 1 == 32, "AES-256 takes a 32-byte key");
static_assert(sizeof(integritySalt) - 1 == 16, "the salt is 16 bytes");

constexpr int digestSize = 32;
constexpr int randomSize = 32;
constexpr int ivSize = Cipher::BlockSize;
constexpr int blockSize = Cipher::BlockSize;

const Cipher& secretCipher()
{
    static const Cipher cipher(QByteArray(secretKey, sizeof(secretKey) - 1), Cipher::Padding::Pkcs7);
    return cipher;
}

// SHA-256 over the random bytes and the ciphertext (given together) and the salt.
QByteArray integrityDigest(const QByteArray& randomAndCiphertext)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(randomAndCiphertext);
    hash.addData(integritySalt, sizeof(integritySalt) - 1);
    return hash.result();
}

// Whether contents, read from a file that is there, hold nothing this program understands:
// not text, or lines of which none is a device, a comment or the "#IGNORE" line. Such a file
// is never saved over.
bool unreadable(const ConfigFileContents& contents)
{
    if (contents.notText)
        return true;
    if (contents.hasIgnore)
        return false;
    for (const ConfigLine& line : contents.dataLines) {
        if (line.fields.size() >= minimumColumns)
            return false;
    }
    for (const ConfigLine& line : contents.nonDataLines) {
        if (!line.text.trimmed().isEmpty())
            return false;
    }
    return !contents.dataLines.isEmpty(); // blank lines alone are an empty list
}

QString unreadableText(const QString& path)
{
    return QCoreApplication::translate(
               "VelmoraFile", "The device list %1 cannot be read: it is not a text file this program understands.")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace

VelmoraFile::VelmoraFile(const QString& path)
    : m_path(path)
{
}

QList<VelmoraFile::Entry> VelmoraFile::entries() const
{
    QList<Entry> result;
    ConfigFileContents contents;
    const bool read = readConfigFile(m_path, EmptyColumnPolicy::AllButLastColumn, columnCount, false, contents);
    m_errorText = unreadable(contents) ? unreadableText(m_path) : QString();
    if (!read || !m_errorText.isEmpty())
        return result;
    for (const ConfigLine& line : qAsConst(contents.dataLines)) {
        if (line.fields.size() < minimumColumns)
            continue;
        const auto column = [&line](int index) { return line.fields.value(index); };
        Entry entry;
        entry.ipAddress = column(0);
        entry.group = normalizedGroup(column(1));
        entry.securityText = column(2);
        // An empty column holds no credentials: nothing is lost writing it empty again.
        entry.credentialsUnread =
            !textToCredentials(entry.securityText, entry.credentials, entry.encrypted) && !entry.securityText.isEmpty();
        entry.contractDate = column(3) == QLatin1String("N") ? QString() : column(3);
        entry.contractDate.replace(QLatin1Char('/'), QLatin1Char('-'));
        entry.contractNumber = column(4);
        entry.contractTelephone = column(5);
        entry.description = column(6);
        result.append(entry);
    }
    return result;
}

bool VelmoraFile::save(const QList<Entry>& entries) const
{
    ConfigFileContents old;
    const bool read = readConfigFile(m_path, EmptyColumnPolicy::AllButLastColumn, columnCount, false, old);
    m_errorText = unreadable(old) ? unreadableText(m_path) : QString();
    if (!m_errorText.isEmpty()) {
        qCWarning(lcConfig, "%s", qUtf8Printable(m_errorText));
        return false;
    }

    QList<ConfigLine> lines = read && !old.nonDataLines.isEmpty() ? old.nonDataLines : headerLines();
    // Each address keeps the end-of-line comment of its first old device line.
    QHash<QString, QString> comments;
    for (const ConfigLine& oldLine : qAsConst(old.dataLines)) {
        if (oldLine.fields.size() >= minimumColumns && !comments.contains(oldLine.fields.constFirst()))
            comments.insert(oldLine.fields.constFirst(), oldLine.comment);
    }
    lines.reserve(lines.size() + entries.size());
    for (const Entry& entry : entries) {
        ConfigLine line;
        line.isData = true;
        line.comment = comments.value(entry.ipAddress);
        // Credentials the file held but that could not be read go back as they were, and so do
        // encrypted ones that still read as the entry's: their random bytes stay, and with them
        // the line of a device nobody changed.
        bool encrypted = true;
        SnmpUtils::SnmpParams held;
        bool heldEncrypted = false;
        const bool keep =
            entry.credentialsUnread || (entry.encrypted && textToCredentials(entry.securityText, held, heldEncrypted) &&
                                        heldEncrypted && held == entry.credentials);
        const QString security =
            keep ? entry.securityText : credentialsToText(entry.credentials, entry.encrypted, &encrypted);
        if (!encrypted) {
            m_errorText = QCoreApplication::translate("VelmoraFile", "The device list %1 could not be saved: %2")
                              .arg(QDir::toNativeSeparators(m_path),
                                   QCoreApplication::translate("VelmoraFile",
                                                               "the SNMPv3 credentials of %1 could not be encrypted")
                                       .arg(entry.ipAddress));
            qCWarning(lcConfig, "%s", qUtf8Printable(m_errorText));
            return false;
        }
        line.fields =
            QStringList{entry.ipAddress,         entry.group,      security, entry.contractDate, entry.contractNumber,
                        entry.contractTelephone, entry.description};
        lines.append(line);
    }
    QString reason;
    if (writeConfigFile(m_path, lines, EmptyColumnPolicy::AllButLastColumn, old.ignoredTail, old.hasIgnore, false,
                        &reason))
        return true;
    m_errorText = QCoreApplication::translate("VelmoraFile", "The device list %1 could not be saved: %2")
                      .arg(QDir::toNativeSeparators(m_path), reason);
    return false;
}

QString VelmoraFile::credentialsToText(const SnmpUtils::SnmpParams& params, bool encrypted, bool* ok)
{
    if (ok)
        *ok = true;
    switch (params.version) {
    case 1:
        return QStringLiteral("&v1(\"") + params.community + QStringLiteral("\")");
    case 2:
        return QStringLiteral("&v2c(\"") + params.community + QStringLiteral("\")");
    case 3: {
        const auto secret = [encrypted, ok](const QString& value) {
            if (!encrypted)
                return value;
            const std::optional<QString> text = encryptedSecret(value);
            if (!text && ok)
                *ok = false;
            return text.value_or(QString());
        };
        const QString prefix = encrypted ? QStringLiteral("&v3#(") : QStringLiteral("&v3(");
        return QStringLiteral("%1UserName:\"%2\"").arg(prefix, secret(params.userName)) +
               protocolPart(authWords(), QStringLiteral("Auth"), params.authProtocol, secret(params.authPassword)) +
               protocolPart(privWords(), QStringLiteral("Priv"), params.privProtocol, secret(params.privPassword)) +
               QLatin1Char(')');
    }
    default:
        return params.community;
    }
}

bool VelmoraFile::textToCredentials(const QString& text, SnmpUtils::SnmpParams& params, bool& encrypted)
{
    params = SnmpUtils::SnmpParams();
    encrypted = false;
    // A community cut short, without its closing quote and parenthesis, would lose characters.
    const bool closed = text.endsWith(QLatin1String("\")"));
    if (text.startsWith(QLatin1String("&v1(\""))) {
        if (!closed || text.size() < 7)
            return false;
        params.version = 1;
        params.community = enclosed(text, 5, 2);
        return true;
    }
    if (text.startsWith(QLatin1String("&v2c(\""))) {
        if (!closed || text.size() < 8)
            return false;
        params.version = 2;
        params.community = enclosed(text, 6, 2);
        return true;
    }
    // An empty column ("/") holds no credentials at all; it stays empty when saved.
    if (text.isEmpty())
        return false;
    const bool encryptedText = text.startsWith(QLatin1String("&v3#("));
    if (!encryptedText && !text.startsWith(QLatin1String("&v3("))) {
        params.version = 2;
        params.community = text;
        return true;
    }

    QHash<QString, QString> values;
    if (!text.endsWith(QLatin1Char(')')) || !readKeyValues(enclosed(text, encryptedText ? 5 : 4, 1), values) ||
        !values.contains(QStringLiteral("UserName")))
        return false;
    SnmpUtils::SnmpParams read;
    read.version = 3;
    const std::optional<QString> userName = encryptedText ? decryptedSecret(values.value(QStringLiteral("UserName")))
                                                          : values.value(QStringLiteral("UserName"));
    if (!userName)
        return false;
    read.userName = *userName;
    if (!readProtocol(values, authWords(), QStringLiteral("Auth"), encryptedText, read.authProtocol,
                      read.authPassword) ||
        !readProtocol(values, privWords(), QStringLiteral("Priv"), encryptedText, read.privProtocol, read.privPassword))
        return false;
    params = read;
    encrypted = encryptedText;
    return true;
}

std::optional<QString> VelmoraFile::encryptedSecret(const QString& plain)
{
    const QByteArray random = Cipher::randomBytes(randomSize);
    if (random.size() != randomSize)
        return std::nullopt;
    const std::optional<QByteArray> ciphertext = secretCipher().encrypt(random.left(ivSize), plain.toUtf8());
    if (!ciphertext)
        return std::nullopt;
    const QByteArray digested = random + *ciphertext;
    const QByteArray blob = integrityDigest(digested) + digested;
    return QString::fromLatin1(blob.toBase64());
}

std::optional<QString> VelmoraFile::decryptedSecret(const QString& base64)
{
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray& blob = *decoded;
    // The digest, the random bytes and at least one cipher block.
    if (!decoded || blob.size() < digestSize + randomSize + blockSize)
        return std::nullopt;
    if (!Cipher::equalSecrets(integrityDigest(blob.mid(digestSize)), blob.left(digestSize)))
        return std::nullopt;
    const std::optional<QByteArray> plain =
        secretCipher().decrypt(blob.mid(digestSize, ivSize), blob.mid(digestSize + randomSize));
    if (!plain)
        return std::nullopt;
    return QString::fromUtf8(*plain);
}

QString VelmoraFile::normalizedGroup(const QString& group)
{
    const QString trimmed = group.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Default");
    return trimmed;
}
