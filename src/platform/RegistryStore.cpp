#include "platform/RegistryStore.h"

#include "platform/IniFile.h"
#include "platform/PlatformLog.h"

#include <QDir>
#include <QSettings>
#include <QStringList>

namespace {

#ifdef Q_OS_WIN
constexpr QSettings::Format StoreFormat = QSettings::NativeFormat;
#else
constexpr QSettings::Format StoreFormat = QSettings::IniFormat;
#endif

QString locationOf(RegistryStore::View view, const QString& root)
{
#ifdef Q_OS_WIN
    Q_UNUSED(root)
    return view == RegistryStore::View::Wow6432Node
               ? QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Dunmere\\Velmora")
               : QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmere\\Velmora");
#else
    QString folder = QDir::fromNativeSeparators(root);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (view == RegistryStore::View::Wow6432Node)
        folder += QLatin1String("WOW6432Node/");
    return folder + QLatin1String("Dunmere/Velmora.ini");
#endif
}

} // namespace

RegistryStore::RegistryStore(View view)
    : RegistryStore(view, defaultRoot())
{
}

RegistryStore::RegistryStore(View view, const QString& root)
    : m_location(locationOf(view, root))
{
}

QString RegistryStore::defaultRoot()
{
    const QString root = qEnvironmentVariable("TESSARO_REGISTRY_ROOT");
    return root.isEmpty() ? QStringLiteral("/etc") : root;
}

QVariant RegistryStore::value(const QString& name) const
{
    const QSettings key(m_location, StoreFormat);
    const QVariant value = key.value(name);
    // An ini line with an unquoted comma reads as a list; in the registry it is one string.
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(','));
    return value;
}

bool RegistryStore::setValue(const QString& name, const QVariant& value)
{
    return setValues({{name, value}}).isEmpty();
}

QStringList RegistryStore::setValues(const QVariantMap& values)
{
    QStringList failed;
#ifdef Q_OS_WIN
    for (auto it = values.begin(); it != values.end(); ++it) {
        QSettings key(m_location, StoreFormat);
        key.setValue(it.key(), it.value());
        key.sync();
        // A format error only concerns what was read; the write itself went through.
        if (key.status() == QSettings::AccessError)
            failed.append(it.key());
    }
#else
    if (!writeIniValues(m_location, values))
        failed = values.keys();
#endif
    if (!failed.isEmpty())
        qCWarning(lcPlatform) << "cannot write" << failed.join(QLatin1String(", ")) << "to" << m_location;
    return failed;
}
