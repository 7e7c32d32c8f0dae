#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// One view of the monitoring service's registry key HKEY_LOCAL_MACHINE\SOFTWARE\Dunmere\Velmora.
// On Windows the registry itself, through the 32-bit path (WOW6432Node) or the native one.
// Elsewhere an ini file stands for each view below a root folder:
//   <root>/WOW6432Node/Dunmere/Velmora.ini and <root>/Dunmere/Velmora.ini,
// the root being $TESSARO_REGISTRY_ROOT, or /etc when that is unset or empty.
// The values are the file's top-level keys (its [General] section) and keep the registry's
// shape: strings are plain text, integers their decimal text.
// Every call opens the key and closes it again; nothing is cached.
class RegistryStore final
{
public:
    enum class View
    {
        Wow6432Node, // the 32-bit view, which the program writes
        Native
    };

    explicit RegistryStore(View view);
    // A view below the given root folder (not used on Windows).
    RegistryStore(View view, const QString& root);

    static QString defaultRoot();

    // The registry path or the ini file standing for it.
    QString location() const { return m_location; }

    // A null variant when the value does not exist.
    QVariant value(const QString& name) const;
    // False when the value could not be stored (no rights, unwritable folder).
    bool setValue(const QString& name, const QVariant& value);
    // Stores several values at once and answers the names of those not stored. The ini file
    // takes them all in one step, or none; the registry takes them one at a time.
    QStringList setValues(const QVariantMap& values);

private:
    QString m_location;
};
