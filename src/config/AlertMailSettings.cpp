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
    // In one write where the store allows: a save cut short never leaves a new server with the
    // old port or user.
    QVariantMap values{{ServerName, server.trimmed()}, {PortName, port},
                       {SenderName, sender},           {UseAuthenticationName, useAuthentication ? 1 : 0},
                       {EncryptionName, encryption},   {IgnoreSslErrorsName, ignoreSslErrors ? 1 : 0}};
    ServiceRegistry::addEncryptedValue(values, UserNameName, userName);
    ServiceRegistry::addEncryptedValue(values, PasswordName, password);
    const QStringList failed = ServiceRegistry::writeValues(values);
    QStringList inOrder; // as the dialog shows them
    for (const QString& name : {ServerName, PortName, SenderName, UseAuthenticationName, UserNameName, PasswordName,
                                EncryptionName, IgnoreSslErrorsName})
        if (failed.contains(name))
            inOrder.append(name);
    return inOrder;
}
