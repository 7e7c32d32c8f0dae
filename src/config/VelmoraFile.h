#pragma once

#include "snmp/SnmpUtils.h"

#include <QList>
#include <QString>

#include <optional>

// The monitoring service's device list, Velmora.cfg: one device per line with its address,
// group, SNMP credentials in the credential notation, support-contract columns and a
// description. Reading lists the devices; saving rewrites the file around the old comment
// lines, keeps each device's end-of-line comment by address, and writes a commented header
// when the file has none.
class VelmoraFile
{
public:
    struct Entry
    {
        QString ipAddress;
        QString group; // "Default" for an empty group or any spelling of it
        // Column 3 as read, or after an edit the notation of the new credentials.
        QString securityText;
        QString contractDate; // "N" reads as empty; "/" inside reads as "-"
        QString contractNumber;
        QString contractTelephone;
        QString description;
        SnmpUtils::SnmpParams credentials;
        // SNMPv3 values in the encrypted notation ("&v3#(") rather than as plain text ("&v3(").
        bool encrypted = false;
        // The credentials of column 3 did not read completely: a value that does not decrypt,
        // a key this program does not know, text it cannot parse. credentials are then not
        // usable (version 0), and the entry is saved with securityText as it was, so that
        // nothing the file held is lost, until its credentials are edited.
        bool credentialsUnread = false;
    };

    explicit VelmoraFile(const QString& path);

    QString path() const { return m_path; }

    // The devices in file order; empty for a missing or unreadable file. Nothing after an
    // "#IGNORE" line is listed. A file that is there but holds no device, no comment line and
    // no "#IGNORE" line, or that is UTF-16, is not text this program understands: errorText()
    // then says so.
    QList<Entry> entries() const;

    // Writes entries (see the class comment); false when the file could not be written, with
    // errorText() saying why. A file that is not text this program understands is never
    // written over. The file on disk is unchanged after a failure, except when even writing
    // into it in place failed; its ".bak" copy then keeps the old contents.
    bool save(const QList<Entry>& entries) const;

    // Why the last entries() found the file unreadable or the last save() failed; empty when
    // it did not.
    QString errorText() const { return m_errorText; }

    // The credential notation of params, and its reading. encrypted picks the SNMPv3 notation;
    // the other versions have only one; ok, when given, turns false when a value could not be
    // encrypted. textToCredentials fills params and says which notation it read; it answers
    // false (params left at version 0, plain notation) for text it cannot read completely: a
    // key it does not know or an encrypted value that does not decrypt.
    static QString credentialsToText(const SnmpUtils::SnmpParams& params, bool encrypted, bool* ok = nullptr);
    static bool textToCredentials(const QString& text, SnmpUtils::SnmpParams& params, bool& encrypted);

    // One value of the encrypted SNMPv3 notation: AES-256-CBC under the program's key with a
    // fresh random IV, guarded by a SHA-256 digest, as Base64 text. encryptSecret answers an
    // empty string when no random bytes could be had, decryptSecret for anything that is not
    // such a value; the optional forms tell these failures from an empty value.
    static QString encryptSecret(const QString& plain) { return encryptedSecret(plain).value_or(QString()); }
    static QString decryptSecret(const QString& base64) { return decryptedSecret(base64).value_or(QString()); }
    static std::optional<QString> encryptedSecret(const QString& plain);
    static std::optional<QString> decryptedSecret(const QString& base64);

    // The group as the file reads it: empty or any spelling of "Default" gives "Default".
    static QString normalizedGroup(const QString& group);

private:
    QString m_path;
    mutable QString m_errorText;
};
