#pragma once

#include <QString>
#include <QVariant>

// One line of a query's result as the result viewer shows it: a value the agent returned,
// labelled from the MIB tree, or a message (ok false) shown in red.
struct ResultRow
{
    QString label;
    QString oidPath;
    bool showOidPath = false;
    QVariant value;
    QString valueText;
    qint32 type = 0;
    bool ok = true; // false: a message line showing message in red
    QString message;
};
