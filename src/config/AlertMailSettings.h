#pragma once

#include "config/ServiceRegistry.h"

#include <QString>
#include <QStringList>

// How the monitoring service sends its alert e-mails: the SMTP values in its registry key,
// read and written through ServiceRegistry. The user name and the password are stored
// encrypted; each keeps its stored text unless a new one is set, so that a value this program
// cannot decode is never overwritten by accident.
struct AlertMailSettings
{
    // SMTPEncryption, in the order the settings dialog offers them.
    enum Encryption
    {
        NoEncryption = 0,
        Ssl = 1,
        Tls = 2
    };

    static constexpr int DefaultPort = 25;
    static constexpr int MaximumPort = 65535;

    QString server;
    int port = DefaultPort;
    QString sender;
    bool useAuthentication = false;
    ServiceRegistry::EncryptedValue userName;
    // Never read: only a new password the user typed is written.
    ServiceRegistry::EncryptedValue password;
    int encryption = Tls;
    bool ignoreSslErrors = false;

    // Values missing, not integers or out of range load as their defaults; the sender is
    // defaultSender when none is stored. The password is not read.
    static AlertMailSettings load(const QString& defaultSender);

    // The user name as typed: stored trimmed, and only when it differs from the text read.
    void setUserName(const QString& typed);
    // The password as typed; an empty one leaves the stored password as it is.
    void setPassword(const QString& typed);
    // The user name to show: empty when the stored one cannot be decoded.
    QString userNameText() const { return userName.text.value_or(QString()); }

    // Writes every value (the server trimmed, the sender as it is) and answers the names of
    // those that could not be stored; empty when all were.
    QStringList save() const;
};
