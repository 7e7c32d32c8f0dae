#include "ConfigFile.h"

// Stub: replaced by the real reader and writer.
bool readConfigFile(const QString&, EmptyColumnPolicy, int, bool, ConfigFileContents& contents)
{
    contents = ConfigFileContents();
    return false;
}

bool writeConfigFile(const QString&, const QList<ConfigLine>&, EmptyColumnPolicy, const QByteArray&, bool, bool)
{
    return false;
}
