#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVariant>

#include <optional>

// The monitoring service's values in its registry key (RegistryStore): read from the
// WOW6432Node view first and from the native view when absent there, always written to
// the WOW6432Node view. Writes answer false when the value could not be stored (for
// example without administrator rights); callers may ignore that.
namespace ServiceRegistry {

// A null variant when the value exists in neither view.
QVariant readValue(const QString& name);
// defaultValue when the value is missing or empty.
QString readString(const QString& name, const QString& defaultValue = QString());
// defaultValue when the value is missing or not an integer.
int readInt(const QString& name, int defaultValue = 0);
bool writeString(const QString& name, const QString& value);
bool writeInt(const QString& name, int value);
// Stores strings and integers together, so that the service never reads some of them new and
// the others old (where the store allows: the registry takes one value at a time). Answers
// the names of the values not stored.
QStringList writeValues(const QVariantMap& values);

// Strings the service keeps encrypted: AES-128-CBC with the MD5 of the value
// SubCustomerNumber plus a fixed suffix as key, "#" + UTF-8 text zero-padded to whole
// blocks, stored as lower-case hexadecimal digits. Reading strips every trailing zero byte,
// however many, and takes text that is not UTF-8 as Windows-1252, as the service may write
// it. A value that is not whole blocks of hexadecimal digits, or does not decrypt to "#"
// and text without a zero byte before its zero tail, is not decodable (a wrong key, mostly).
struct EncryptedValue
{
    QString stored;              // the value as stored; empty when missing
    std::optional<QString> text; // nothing when stored is not decodable; empty when missing
    bool changed = false;        // a new text was set: only then is the value written

    bool isDecodable() const { return text.has_value(); }
    void setText(const QString& newText)
    {
        text = newText;
        changed = true;
    }
};

EncryptedValue readEncryptedValue(const QString& name);
// Stores value's text encrypted when it was changed; otherwise writes nothing, so that a
// value that is not decodable, or was written by the service, keeps its stored text. False
// only when a changed value could not be stored.
bool writeEncryptedValue(const QString& name, const EncryptedValue& value);
// Adds value's stored form to values when it was changed, for writeValues.
void addEncryptedValue(QVariantMap& values, const QString& name, const EncryptedValue& value);

// The cipher on its own, with the key text given. decrypt answers an empty string for a
// value that is not decodable; tryDecrypt tells the two apart.
QString encrypt(const QString& text, const QString& keyText);
QString decrypt(const QString& hexText, const QString& keyText);
std::optional<QString> tryDecrypt(const QString& hexText, const QString& keyText);

} // namespace ServiceRegistry
