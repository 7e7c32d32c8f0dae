#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The line conventions shared by the monitoring service's tab-delimited files: ';' comment
// lines and end-of-line comments (a ';' inside double quotes is text), columns separated by
// runs of tabs, "/" standing for an empty column, and a "#IGNORE" line after which the rest
// of the file is carried over byte for byte. Lines end in CR LF on disk.

// One line of a file as the reader keeps it.
struct ConfigLine
{
    QString text;    // the whole line as read, line end included; for a built line, the text to write
    QString comment; // a data line's end-of-line comment from the ';' on, line end included
    bool isData = false;
    QStringList fields; // trimmed columns of a data line, "/" already read as empty where the policy says
};

// Which columns use the "/" placeholder for an empty value.
enum class EmptyColumnPolicy
{
    Never,
    AllColumns,
    AllButLastColumn // columns 1..N-1 on reading (N = the caller's column count); all but the line's last on writing
};

struct ConfigFileContents
{
    QList<ConfigLine> nonDataLines; // file order
    QList<ConfigLine> dataLines;    // file order
    QByteArray ignoredTail;         // every byte after the "#IGNORE" line
    bool hasIgnore = false;
};

// Reads path. With skipComments, comment lines, blank lines and end-of-line comments are not
// kept and nothing after "#IGNORE" is taken. False (and empty contents) when the file cannot be
// opened.
bool readConfigFile(const QString& path, EmptyColumnPolicy policy, int columnCount, bool skipComments,
                    ConfigFileContents& contents);

// Writes lines, then "#IGNORE" and the tail when hasIgnore. A path ending in ".cfg" (any case)
// first has its ".bak" copy refreshed. The file is replaced atomically: the lines go to a
// temporary file beside it, which is renamed over it only when everything was written, so a
// failed save leaves the old file whole. False when the file could not be written.
bool writeConfigFile(const QString& path, const QList<ConfigLine>& lines, EmptyColumnPolicy policy,
                     const QByteArray& ignoredTail, bool hasIgnore, bool replaceTabs);
