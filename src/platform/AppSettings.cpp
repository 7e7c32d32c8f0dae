#include "platform/AppSettings.h"

#include "platform/IniFile.h"
#include "platform/PlatformLog.h"

namespace {

const QString MainWindowGeometry = QStringLiteral("main_window_geometry");
const QString MainWindowMainSplitterState = QStringLiteral("main_window_main_splitter_state");
const QString MainWindowRightSplitterState = QStringLiteral("main_window_right_splitter_state");
const QString MainWindowTreeExpansion = QStringLiteral("main_window_tree_expansion");
const QString MainWindowCurrentOid = QStringLiteral("main_window_current_oid");
const QString MainWindowDeviceIp = QStringLiteral("main_window_device_ip");
const QString MainWindowViewFullOid = QStringLiteral("main_window_view_full_oid");
const QString MainWindowSearchText = QStringLiteral("main_window_search_text");
const QString MainWindowSearchHistory = QStringLiteral("main_window_search_history");
const QString MainWindowSearchMatchCase = QStringLiteral("main_window_search_match_case");
const QString MainWindowSearchInDescriptions = QStringLiteral("main_window_search_in_descriptions");
const QString MainWindowSearchFrom = QStringLiteral("main_window_search_from");
const QString MainWindowSearchFor = QStringLiteral("main_window_search_for");
const QString DeviceNames = QStringLiteral("device_names");
const QString OidIndexWindowSize = QStringLiteral("oid_index_window_size");
const QString OidListWindowGeometry = QStringLiteral("oid_list_window_geometry");
const QString OidListSplitterState = QStringLiteral("oid_list_splitter_state");
const QString OidSettingsWindowGeometry = QStringLiteral("oid_settings_window_geometry");
const QString TrapListWindowGeometry = QStringLiteral("trap_list_window_geometry");
const QString TrapListSplitterState = QStringLiteral("trap_list_splitter_state");
const QString EmailServer = QStringLiteral("email_server");
const QString EmailPort = QStringLiteral("email_port");
const QString EmailEncryption = QStringLiteral("email_encryption");
const QString EmailUsername = QStringLiteral("email_username");
const QString EmailPassword = QStringLiteral("email_password");
const QString EmailFrom = QStringLiteral("email_from");
const QString EmailPhoneNumber = QStringLiteral("email_phone_number");
const QString EmailAttachmentDir = QStringLiteral("email_attachment_dir");
const QString EmailEnableAuthentication = QStringLiteral("email_enable_authentication");
const QString EmailWindowGeometry = QStringLiteral("email_window_geometry");
const QString UpdateBaseUrl = QStringLiteral("update_base_url");

// A dialog saved without a scale was saved at the scale its sizes are meant for.
constexpr double DefaultDialogScale = 1.25;

int clampedCode(int code, int fallback)
{
    return code >= 0 && code <= 2 ? code : fallback;
}

} // namespace

AppSettings::AppSettings(const QString& filePath)
    : m_settings(filePath, QSettings::IniFormat)
{
}

AppSettings::~AppSettings() = default;

QString AppSettings::fileName() const
{
    return m_settings.fileName();
}

QString AppSettings::string(const QString& key, const QString& defaultValue) const
{
    const QVariant value = stored(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-written value with a comma comes back as a list; it still is one text.
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    if (!value.canConvert<QString>())
        return defaultValue;
    return value.toString();
}

QByteArray AppSettings::bytes(const QString& key) const
{
    const QVariant value = stored(key);
    return value.canConvert<QByteArray>() ? value.toByteArray() : QByteArray();
}

bool AppSettings::boolean(const QString& key, bool defaultValue) const
{
    const QVariant value = stored(key);
    if (value.type() == QVariant::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
        return false;
    return defaultValue;
}

int AppSettings::integer(const QString& key, int defaultValue) const
{
    bool ok = false;
    const int value = stored(key).toInt(&ok);
    return ok ? value : defaultValue;
}

QVariant AppSettings::stored(const QString& key) const
{
    const auto unwritten = m_unwritten.constFind(key);
    return unwritten != m_unwritten.cend() ? *unwritten : m_settings.value(key);
}

void AppSettings::write(const QVariantMap& values)
{
    const bool failed = !writeIniValues(m_settings.fileName(), values);
    m_settings.sync(); // takes in what the file holds now
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        if (failed)
            m_unwritten.insert(value.key(), value.value());
        else
            m_unwritten.remove(value.key());
    }
    if (failed && !m_writeFailed)
        qCWarning(lcPlatform) << "cannot write the settings file" << m_settings.fileName();
    m_writeFailed = failed;
}

void AppSettings::write(const QString& key, const QVariant& value)
{
    write(QVariantMap{{key, value}});
}

QByteArray AppSettings::mainWindowGeometry() const
{
    return bytes(MainWindowGeometry);
}

void AppSettings::setMainWindowGeometry(const QByteArray& geometry)
{
    write(MainWindowGeometry, geometry);
}

QByteArray AppSettings::mainWindowMainSplitterState() const
{
    return bytes(MainWindowMainSplitterState);
}

void AppSettings::setMainWindowMainSplitterState(const QByteArray& state)
{
    write(MainWindowMainSplitterState, state);
}

QByteArray AppSettings::mainWindowRightSplitterState() const
{
    return bytes(MainWindowRightSplitterState);
}

void AppSettings::setMainWindowRightSplitterState(const QByteArray& state)
{
    write(MainWindowRightSplitterState, state);
}

QString AppSettings::mainWindowTreeExpansion() const
{
    return string(MainWindowTreeExpansion);
}

void AppSettings::setMainWindowTreeExpansion(const QString& expansion)
{
    write(MainWindowTreeExpansion, expansion);
}

QString AppSettings::mainWindowCurrentOid() const
{
    return string(MainWindowCurrentOid);
}

void AppSettings::setMainWindowCurrentOid(const QString& path)
{
    write(MainWindowCurrentOid, path);
}

QString AppSettings::mainWindowDeviceIp() const
{
    return string(MainWindowDeviceIp);
}

void AppSettings::setMainWindowDeviceIp(const QString& address)
{
    write(MainWindowDeviceIp, address);
}

bool AppSettings::mainWindowViewFullOid() const
{
    return boolean(MainWindowViewFullOid, false);
}

void AppSettings::setMainWindowViewFullOid(bool viewFull)
{
    write(MainWindowViewFullOid, viewFull);
}

QString AppSettings::mainWindowSearchText() const
{
    return string(MainWindowSearchText);
}

void AppSettings::setMainWindowSearchText(const QString& text)
{
    write(MainWindowSearchText, text);
}

QStringList AppSettings::mainWindowSearchHistory() const
{
    const QStringList history = stored(MainWindowSearchHistory).toStringList();
    if (history.isEmpty())
        return {QStringLiteral("temperature"), QStringLiteral("CPU"), QStringLiteral("memory")};
    return history;
}

void AppSettings::setMainWindowSearchHistory(const QStringList& history)
{
    write(MainWindowSearchHistory, history);
}

bool AppSettings::mainWindowSearchMatchCase() const
{
    return boolean(MainWindowSearchMatchCase, false);
}

void AppSettings::setMainWindowSearchMatchCase(bool matchCase)
{
    write(MainWindowSearchMatchCase, matchCase);
}

bool AppSettings::mainWindowSearchInDescriptions() const
{
    return boolean(MainWindowSearchInDescriptions, false);
}

void AppSettings::setMainWindowSearchInDescriptions(bool inDescriptions)
{
    write(MainWindowSearchInDescriptions, inDescriptions);
}

int AppSettings::mainWindowSearchFrom() const
{
    return clampedCode(integer(MainWindowSearchFrom, 0), 0);
}

void AppSettings::setMainWindowSearchFrom(int code)
{
    write(MainWindowSearchFrom, code);
}

int AppSettings::mainWindowSearchFor() const
{
    return clampedCode(integer(MainWindowSearchFor, 2), 2);
}

void AppSettings::setMainWindowSearchFor(int code)
{
    write(MainWindowSearchFor, code);
}

QMap<QString, QString> AppSettings::deviceNames() const
{
    QMap<QString, QString> names;
    const QVariant value = stored(DeviceNames);
    if (value.type() == QVariant::Map) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            names.insert(it.key(), it.value().toString());
        return names;
    }
    m_settings.beginGroup(DeviceNames);
    const QStringList addresses = m_settings.childKeys();
    for (const QString& address : addresses)
        names.insert(address, m_settings.value(address).toString());
    m_settings.endGroup();
    return names;
}

QSize AppSettings::oidIndexWindowSize() const
{
    const QVariant value = stored(OidIndexWindowSize);
    return value.type() == QVariant::Size ? value.toSize() : QSize();
}

void AppSettings::setOidIndexWindowSize(const QSize& size)
{
    write(OidIndexWindowSize, size);
}

QByteArray AppSettings::oidListWindowGeometry() const
{
    return bytes(OidListWindowGeometry);
}

void AppSettings::setOidListWindowGeometry(const QByteArray& geometry)
{
    write(OidListWindowGeometry, geometry);
}

QByteArray AppSettings::oidListSplitterState() const
{
    return bytes(OidListSplitterState);
}

void AppSettings::setOidListSplitterState(const QByteArray& state)
{
    write(OidListSplitterState, state);
}

QByteArray AppSettings::oidSettingsWindowGeometry() const
{
    return bytes(OidSettingsWindowGeometry);
}

void AppSettings::setOidSettingsWindowGeometry(const QByteArray& geometry)
{
    write(OidSettingsWindowGeometry, geometry);
}

QByteArray AppSettings::trapListWindowGeometry() const
{
    return bytes(TrapListWindowGeometry);
}

void AppSettings::setTrapListWindowGeometry(const QByteArray& geometry)
{
    write(TrapListWindowGeometry, geometry);
}

QByteArray AppSettings::trapListSplitterState() const
{
    return bytes(TrapListSplitterState);
}

void AppSettings::setTrapListSplitterState(const QByteArray& state)
{
    write(TrapListSplitterState, state);
}

QString AppSettings::emailServer() const
{
    return string(EmailServer);
}

void AppSettings::setEmailServer(const QString& server)
{
    write(EmailServer, server);
}

QString AppSettings::emailPort() const
{
    return string(EmailPort, QStringLiteral("25"));
}

void AppSettings::setEmailPort(const QString& port)
{
    write(EmailPort, port);
}

QString AppSettings::emailEncryption() const
{
    return string(EmailEncryption);
}

void AppSettings::setEmailEncryption(const QString& encryption)
{
    write(EmailEncryption, encryption);
}

QString AppSettings::emailUsername() const
{
    return string(EmailUsername);
}

void AppSettings::setEmailUsername(const QString& username)
{
    write(EmailUsername, username);
}

QString AppSettings::emailPassword() const
{
    // Lenient on purpose: a hand-edited value decodes to whatever its Base64 characters give.
    return QString::fromUtf8(QByteArray::fromBase64(string(EmailPassword).toLatin1()));
}

void AppSettings::setEmailPassword(const QString& password)
{
    write(EmailPassword, QString::fromLatin1(password.toUtf8().toBase64()));
}

QString AppSettings::emailFrom() const
{
    return string(EmailFrom);
}

void AppSettings::setEmailFrom(const QString& from)
{
    write(EmailFrom, from);
}

QString AppSettings::emailPhoneNumber() const
{
    return string(EmailPhoneNumber);
}

void AppSettings::setEmailPhoneNumber(const QString& phoneNumber)
{
    write(EmailPhoneNumber, phoneNumber);
}

QString AppSettings::emailAttachmentDir() const
{
    return string(EmailAttachmentDir);
}

void AppSettings::setEmailAttachmentDir(const QString& folder)
{
    write(EmailAttachmentDir, folder);
}

bool AppSettings::emailEnableAuthentication() const
{
    return boolean(EmailEnableAuthentication, false);
}

QByteArray AppSettings::emailWindowGeometry() const
{
    return bytes(EmailWindowGeometry);
}

void AppSettings::setEmailWindowGeometry(const QByteArray& geometry)
{
    write(EmailWindowGeometry, geometry);
}

QString AppSettings::updateBaseUrl() const
{
    return string(UpdateBaseUrl).trimmed();
}

void AppSettings::setUpdateBaseUrl(const QString& url)
{
    write(UpdateBaseUrl, url);
}

QByteArray AppSettings::dialogGeometry(const QString& name) const
{
    return bytes(name + QLatin1String("_geometry"));
}

double AppSettings::dialogScale(const QString& name) const
{
    bool ok = false;
    const double scale = stored(name + QLatin1String("_scale")).toDouble(&ok);
    return ok ? scale : DefaultDialogScale;
}

void AppSettings::setDialogGeometry(const QString& name, const QByteArray& geometry, double scale)
{
    write({{name + QLatin1String("_geometry"), geometry}, {name + QLatin1String("_scale"), scale}});
}
