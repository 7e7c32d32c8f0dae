#include "config/AlertMailSettings.h"

namespace {

const QString ServerName = QStringLiteral("DestEmailServer");
const QString PortName = QStringLiteral("SMTPPort");
const QString SenderName = QStringLiteral("DestEmailFrom");
const QString UseAuthenticationName = QStringLiteral("SMTPUseAuthentication");
const QString UserNameName = QStringLiteral("DestEmailUsername");
const QString PasswordName = QStringLiteral("DestEmailPassword");
const QString EncryptionName = QStringLiteral("SMTPEncryption");
const QString IgnoreSslErrorsName = QStringLiteral("SMTPIgnoreSslErrors");

int readInRange(const QString& name, int minimum, int maximum, int defaultValue)
{
    const int value = ServiceRegistry::readInt(name, defaultValue);
    return value < minimum || value > maximum ? defaultValue : value;
}

} // namespace

AlertMailSettings AlertMailSettings::load(const QString& defaultSender)
{
    AlertMailSettings settings;
    settings.server = ServiceRegistry::readString(ServerName);
    settings.port = readInRange(PortName, 1, MaximumPort, DefaultPort);
    settings.sender = ServiceRegistry::readString(SenderName, defaultSender);
    settings.useAuthentication = ServiceRegistry::readInt(UseAuthenticationName) != 0;
    settings.userName = ServiceRegistry::readEncryptedValue(UserNameName);
    settings.encryption = readInRange(EncryptionName, NoEncryption, Tls, Tls);
    settings.ignoreSslErrors = ServiceRegistry::readInt(IgnoreSslErrorsName) != 0;
    return settings;
}

void AlertMailSettings::setUserName(const QString& typed)
{
    const QString text = typed.trimmed();
    if (text != userNameText())
        userName.setText(text);
}

void AlertMailSettings::setPassword(const QString& typed)
{
    if (!typed.isEmpty())
        password.setText(typed);
}

QStringList AlertMailSettings::save() const
{
    QStringList failed;
    const auto check = [&failed](bool stored, const QString& name) {
        if (!stored)
            failed.append(name);
    };
    check(ServiceRegistry::writeString(ServerName, server.trimmed()), ServerName);
    check(ServiceRegistry::writeInt(PortName, port), PortName);
    check(ServiceRegistry::writeString(SenderName, sender), SenderName);
    check(ServiceRegistry::writeInt(UseAuthenticationName, useAuthentication ? 1 : 0), UseAuthenticationName);
    check(ServiceRegistry::writeEncryptedValue(UserNameName, userName), UserNameName);
    check(ServiceRegistry::writeEncryptedValue(PasswordName, password), PasswordName);
    check(ServiceRegistry::writeInt(EncryptionName, encryption), EncryptionName);
    check(ServiceRegistry::writeInt(IgnoreSslErrorsName, ignoreSslErrors ? 1 : 0), IgnoreSslErrorsName);
    return failed;
}
