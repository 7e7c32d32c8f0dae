#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reads a node's DESCRIPTION from its module's file. net-snmp's parser keeps only the first
// MAXQUOTESTR - 1 bytes of a quoted string, so longer descriptions are taken from here.
class DescriptionScanner final
{
public:
    // The DESCRIPTION of descriptor's definition in module, kept as net-snmp keeps a shorter
    // one (carriage returns dropped, nothing else changed); nothing when it is not found.
    static std::optional<QByteArray> scanFile(const QString& path, const QString& module, const QByteArray& descriptor);
    static std::optional<QByteArray> scanText(const QByteArray& text, const QString& module,
                                              const QByteArray& descriptor);
};
