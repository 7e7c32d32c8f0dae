#pragma once

#include <QString>
#include <QVariant>

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

// Strings the service keeps encrypted: AES-128-CBC with the MD5 of the value
// SubCustomerNumber plus a fixed suffix as key, "#" + UTF-8 text zero-padded to whole
// blocks, stored as lower-case hexadecimal digits. A value that is missing, is not whole
// blocks of hexadecimal digits, or does not decrypt to a "#"-marked UTF-8 text followed by
// nothing but its zero padding reads as empty.
QString readEncryptedString(const QString& name);
bool writeEncryptedString(const QString& name, const QString& text);

// The cipher on its own, with the key text given.
QString encrypt(const QString& text, const QString& keyText);
QString decrypt(const QString& hexText, const QString& keyText);

} // namespace ServiceRegistry
