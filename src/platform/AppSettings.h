#pragma once

#include <QByteArray>
#include <QMap>
#include <QSettings>
#include <QSize>
#include <QString>
#include <QStringList>

// The program's own preferences in the ini file Tessaro.ini of the data folder: keys,
// defaults and value rules only (no widgets). Every key lives at top level; every setter
// writes the value into the file at once (writeIniValues: the file is whole or as it was);
// a value that cannot be written is logged, kept in memory and otherwise ignored. Getters
// answer the key's default when the key is missing or holds something that does not convert.
class AppSettings final
{
public:
    explicit AppSettings(const QString& filePath);
    ~AppSettings();
    Q_DISABLE_COPY_MOVE(AppSettings)

    QString fileName() const;
    // The last write could not reach the file.
    bool writeFailed() const { return m_writeFailed; }

    // Main window (geometry and splitters as saved by the widgets).
    QByteArray mainWindowGeometry() const;
    void setMainWindowGeometry(const QByteArray& geometry);
    QByteArray mainWindowMainSplitterState() const;
    void setMainWindowMainSplitterState(const QByteArray& state);
    QByteArray mainWindowRightSplitterState() const;
    void setMainWindowRightSplitterState(const QByteArray& state);
    // Expansion string of the tree; empty means the default expansion.
    QString mainWindowTreeExpansion() const;
    void setMainWindowTreeExpansion(const QString& expansion);
    // Numeric path of the current node.
    QString mainWindowCurrentOid() const;
    void setMainWindowCurrentOid(const QString& path);
    QString mainWindowDeviceIp() const;
    void setMainWindowDeviceIp(const QString& address);
    bool mainWindowViewFullOid() const;
    void setMainWindowViewFullOid(bool viewFull);

    // Find dialog state.
    QString mainWindowSearchText() const;
    void setMainWindowSearchText(const QString& text);
    // "temperature", "CPU", "memory" when nothing (or an empty list) is stored.
    QStringList mainWindowSearchHistory() const;
    void setMainWindowSearchHistory(const QStringList& history);
    bool mainWindowSearchMatchCase() const;
    void setMainWindowSearchMatchCase(bool matchCase);
    bool mainWindowSearchInDescriptions() const;
    void setMainWindowSearchInDescriptions(bool inDescriptions);
    // 0, 1 or 2; anything else stored reads as 0.
    int mainWindowSearchFrom() const;
    void setMainWindowSearchFrom(int code);
    // 0, 1 or 2; anything else stored reads as 2.
    int mainWindowSearchFor() const;
    void setMainWindowSearchFor(int code);

    // Device address -> device name; never written by the program. Besides a map value,
    // a [device_names] section of address=name lines is understood, which is what a
    // person editing the file by hand writes.
    QMap<QString, QString> deviceNames() const;

    // Index selection, OID monitoring and trap alert dialogs.
    QSize oidIndexWindowSize() const; // invalid when none is stored
    void setOidIndexWindowSize(const QSize& size);
    QByteArray oidListWindowGeometry() const;
    void setOidListWindowGeometry(const QByteArray& geometry);
    QByteArray oidListSplitterState() const;
    void setOidListSplitterState(const QByteArray& state);
    QByteArray oidSettingsWindowGeometry() const;
    void setOidSettingsWindowGeometry(const QByteArray& geometry);
    QByteArray trapListWindowGeometry() const;
    void setTrapListWindowGeometry(const QByteArray& geometry);
    QByteArray trapListSplitterState() const;
    void setTrapListSplitterState(const QByteArray& state);

    // MIB submission dialog.
    QString emailServer() const;
    void setEmailServer(const QString& server);
    QString emailPort() const; // "25" by default
    void setEmailPort(const QString& port);
    QString emailEncryption() const;
    void setEmailEncryption(const QString& encryption);
    QString emailUsername() const;
    void setEmailUsername(const QString& username);
    // Kept as Base64 of the UTF-8 bytes: not encrypted, only not readable at a glance.
    QString emailPassword() const;
    void setEmailPassword(const QString& password);
    QString emailFrom() const;
    void setEmailFrom(const QString& from);
    QString emailPhoneNumber() const;
    void setEmailPhoneNumber(const QString& phoneNumber);
    QString emailAttachmentDir() const;
    void setEmailAttachmentDir(const QString& folder);
    bool emailEnableAuthentication() const; // never written by the program
    QByteArray emailWindowGeometry() const;
    void setEmailWindowGeometry(const QByteArray& geometry);

    // Base address of the update server; empty means there is none.
    QString updateBaseUrl() const;
    void setUpdateBaseUrl(const QString& url);

    // A dialog's saved geometry under name + "_geometry", and the screen scale it was saved
    // at under name + "_scale" (1.25 when missing or not a number).
    QByteArray dialogGeometry(const QString& name) const;
    double dialogScale(const QString& name) const;
    void setDialogGeometry(const QString& name, const QByteArray& geometry, double scale);

private:
    QString string(const QString& key, const QString& defaultValue = QString()) const;
    QByteArray bytes(const QString& key) const;
    bool boolean(const QString& key, bool defaultValue) const;
    int integer(const QString& key, int defaultValue) const;
    // A value that could not be written is kept here for the rest of the session.
    QVariant stored(const QString& key) const;
    void write(const QVariantMap& values);
    void write(const QString& key, const QVariant& value);

    mutable QSettings m_settings;
    QVariantMap m_unwritten;
    bool m_writeFailed = false; // logged once, not on every setter
};
