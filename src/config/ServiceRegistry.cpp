#include "config/ServiceRegistry.h"

#include "config/Cipher.h"
#include "config/ConfigLog.h"
#include "platform/RegistryStore.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QTextCodec>

namespace {

// The service decrypts with the same constants: never change them.
const char KeySuffix[] = "8f3a61c07d2e94b5a1c6e0f7d3928b4e5a06";
const unsigned char InitVector[16] = {0x3c, 0x91, 0x5e, 0x0a, 0xd7, 0x42, 0x6b, 0xe8,
                                      0x19, 0xa5, 0x73, 0x2f, 0xc0, 0x8d, 0x56, 0xb4};
constexpr int BlockSize = Cipher::BlockSize;
constexpr int Utf8Mib = 106;
constexpr int Windows1252Mib = 2252;
static_assert(sizeof(KeySuffix) == 37, "the key suffix has 36 hexadecimal digits");

const QString SubCustomerNumber = QStringLiteral("SubCustomerNumber");

QByteArray cipherKey(const QString& keyText)
{
    return QCryptographicHash::hash(keyText.toUtf8(), QCryptographicHash::Md5);
}

// Whole blocks in, whole blocks out: the zero padding is the caller's. Empty on failure.
QByteArray runCipher(const QByteArray& input, const QString& keyText, bool encrypting)
{
    const Cipher cipher(cipherKey(keyText), Cipher::Padding::None);
    const QByteArray iv(reinterpret_cast<const char*>(InitVector), sizeof(InitVector));
    return (encrypting ? cipher.encrypt(iv, input) : cipher.decrypt(iv, input)).value_or(QByteArray());
}

bool isHexText(const QString& text)
{
    if (text.size() % 2 != 0)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

QString keyText()
{
    return ServiceRegistry::readValue(SubCustomerNumber).toString() + QLatin1String(KeySuffix);
}

} // namespace

namespace ServiceRegistry {

QVariant readValue(const QString& name)
{
    const QVariant value = RegistryStore(RegistryStore::View::Wow6432Node).value(name);
    if (!value.isNull())
        return value;
    return RegistryStore(RegistryStore::View::Native).value(name);
}

QString readString(const QString& name, const QString& defaultValue)
{
    const QString value = readValue(name).toString();
    return value.isEmpty() ? defaultValue : value;
}

int readInt(const QString& name, int defaultValue)
{
    const QVariant value = readValue(name);
    if (value.isNull())
        return defaultValue;
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : defaultValue;
}

bool writeString(const QString& name, const QString& value)
{
    return writeValues({{name, value}}).isEmpty();
}

bool writeInt(const QString& name, int value)
{
    return writeValues({{name, value}}).isEmpty();
}

QStringList writeValues(const QVariantMap& values)
{
    const QStringList failed = RegistryStore(RegistryStore::View::Wow6432Node).setValues(values);
    // Only the names go to the log: a value may be a secret.
    if (!failed.isEmpty())
        qCWarning(lcConfig) << "cannot store the service values" << failed.join(QLatin1String(", "));
    return failed;
}

EncryptedValue readEncryptedValue(const QString& name)
{
    EncryptedValue value;
    value.stored = readString(name);
    value.text = value.stored.isEmpty() ? QString() : tryDecrypt(value.stored, keyText());
    return value;
}

bool writeEncryptedValue(const QString& name, const EncryptedValue& value)
{
    QVariantMap values;
    addEncryptedValue(values, name, value);
    return values.isEmpty() || writeValues(values).isEmpty();
}

void addEncryptedValue(QVariantMap& values, const QString& name, const EncryptedValue& value)
{
    if (value.changed)
        values.insert(name, encrypt(value.text.value_or(QString()), keyText()));
}

QString encrypt(const QString& text, const QString& keyText)
{
    QByteArray plain = QByteArray("#") + text.toUtf8();
    const int remainder = plain.size() % BlockSize;
    if (remainder != 0)
        plain.append(BlockSize - remainder, '\0');
    return QString::fromLatin1(runCipher(plain, keyText, true).toHex());
}

QString decrypt(const QString& hexText, const QString& keyText)
{
    return tryDecrypt(hexText, keyText).value_or(QString());
}

std::optional<QString> tryDecrypt(const QString& hexText, const QString& keyText)
{
    // QByteArray::fromHex skips whatever is not a digit; a damaged value must not decode.
    if (hexText.isEmpty() || !isHexText(hexText))
        return std::nullopt;
    const QByteArray cipher = QByteArray::fromHex(hexText.toLatin1());
    if (cipher.size() % BlockSize != 0)
        return std::nullopt;
    QByteArray plain = runCipher(cipher, keyText, false);
    int end = plain.size();
    while (end > 0 && plain.at(end - 1) == '\0')
        --end;
    plain.truncate(end);
    // A zero byte before the zero tail, or no "#" mark, is a wrong key or a damaged value.
    if (!plain.startsWith('#') || plain.contains('\0'))
        return std::nullopt;
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = QTextCodec::codecForMib(Utf8Mib)->toUnicode(plain.constData() + 1, plain.size() - 1, &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    return QTextCodec::codecForMib(Windows1252Mib)->toUnicode(plain.mid(1));
}

} // namespace ServiceRegistry
