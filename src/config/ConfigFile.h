#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

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
    // The file is there but is not text this reader understands: UTF-16, by its byte-order
    // mark or by a zero in every other byte of its start. Nothing was read from it.
    bool notText = false;
};

// Reads path. With skipComments, comment lines, blank lines and end-of-line comments are not
// kept and nothing after "#IGNORE" is taken. A zero byte is part of its line like any other.
// False (and empty contents) when the file cannot be opened or is not text (notText).
bool readConfigFile(const QString& path, EmptyColumnPolicy policy, int columnCount, bool skipComments,
                    ConfigFileContents& contents);

// The steps of a save that the file system may refuse.
enum class SaveStep
{
    CreateTemporary,
    ReplaceFile,
    WriteInPlace
};

// Asked before each step of every save: a false answer makes the step fail as a refusal of
// the file system would. Tests set it; null, the default, lets every step go ahead.
void setSaveStepFilter(std::function<bool(SaveStep)> filter);

// Writes lines, then "#IGNORE" and the tail when hasIgnore. A path ending in ".cfg" (any case)
// first has its ".bak" copy refreshed; the copy takes the file's permissions. The file is
// replaced atomically: the lines go to a temporary file beside it, which takes the file's
// permissions and is renamed over it only when everything was written. When no temporary file
// can be made in the folder, or the rename is refused (on Windows the service may hold the
// file open), the lines are written into the file itself, but only once the old file is safe
// in its copy or there was no old file. False, with the reason in error, when the file could
// not be written; only a failed write into the file itself can leave it changed, and then its
// copy holds the old contents. While the file is written into itself a mark, the path with
// ".saving" added, stands beside it: a save killed then leaves the mark, and the next save
// keeps the copy, the last whole version, instead of copying the cut file over it. A data
// line value holding a line break, or a tab unless replaceTabs, would not read back as
// written: such lines are refused before anything is written.
bool writeConfigFile(const QString& path, const QList<ConfigLine>& lines, EmptyColumnPolicy policy,
                     const QByteArray& ignoredTail, bool hasIgnore, bool replaceTabs, QString* error = nullptr);

// Puts bytes in place of the file at path with the backup, atomic replacement and fallback
// that writeConfigFile describes. False, with the reason in error, when it could not.
bool replaceFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);
