#include "config/ConfigFile.h"

#include "config/ConfigLog.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

const QByteArray ignoreMarker = QByteArrayLiteral("#IGNORE");

// Whether "/" stands for an empty value in the column at index (0-based) of a line with
// columnCount columns.
bool usesPlaceholder(EmptyColumnPolicy policy, int index, int columnCount)
{
    switch (policy) {
    case EmptyColumnPolicy::Never:
        return false;
    case EmptyColumnPolicy::AllColumns:
        return true;
    case EmptyColumnPolicy::AllButLastColumn:
        return index < columnCount - 1;
    }
    return false;
}

// The index of the ';' that starts an end-of-line comment, or -1. Each '"' opens or closes a
// quoted part, and a ';' inside one is text.
int commentStart(const QString& line)
{
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (line.at(i) == QLatin1Char(';') && !quoted)
            return i;
    }
    return -1;
}

QString dataLineText(const ConfigLine& line, EmptyColumnPolicy policy, bool replaceTabs)
{
    QStringList values;
    values.reserve(line.fields.size());
    for (int i = 0; i < line.fields.size(); ++i) {
        QString value = line.fields.at(i).trimmed();
        if (replaceTabs)
            value.replace(QLatin1Char('\t'), QLatin1Char(' '));
        if (value.isEmpty() && usesPlaceholder(policy, i, line.fields.size()))
            value = QStringLiteral("/");
        values.append(value);
    }
    QString text = values.join(QLatin1Char('\t'));
    if (!line.comment.isEmpty())
        text += QLatin1Char(' ') + line.comment;
    return text;
}

// The first value of a data line that would not read back as written: a tab or line break in it
// would split its column or its line. A tab counts only where tabs are not replaced.
const QString* splittingValue(const QList<ConfigLine>& lines, bool replaceTabs)
{
    for (const ConfigLine& line : lines) {
        if (!line.isData)
            continue;
        for (const QString& field : line.fields) {
            for (const QChar c : field.trimmed()) {
                if ((c == QLatin1Char('\t') && !replaceTabs) || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
                    c == QLatin1Char('\v') || c == QLatin1Char('\f'))
                    return &field;
            }
        }
    }
    return nullptr;
}

// text as it goes to disk: UTF-8, with a line end if it has none, and every LF as CR LF.
QByteArray diskBytes(QString text)
{
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text.toUtf8().replace("\n", "\r\n");
}

// The start of a file that is UTF-16: a byte-order mark of either order, or a zero in every
// other byte.
bool looksLikeUtf16(const QByteArray& start)
{
    if (start.startsWith("\xff\xfe") || start.startsWith("\xfe\xff"))
        return true;
    bool evenZero = start.size() >= 2;
    bool oddZero = evenZero;
    for (int i = 0; i + 1 < start.size(); i += 2) {
        evenZero = evenZero && start.at(i) == '\0';
        oddZero = oddZero && start.at(i + 1) == '\0';
    }
    return evenZero || oddZero;
}

std::function<bool(SaveStep)>& saveStepFilter()
{
    static std::function<bool(SaveStep)> filter;
    return filter;
}

bool allowed(SaveStep step, QString& reason)
{
    const bool yes = !saveStepFilter() || saveStepFilter()(step);
    if (!yes)
        reason = QStringLiteral("Refused by the file system");
    return yes;
}

// Stands beside a file while it is written into itself. A save killed then leaves the file cut
// short and the mark in place; the file's ".bak" copy holds its last whole version, which the
// next save then keeps rather than copying the cut file over it.
QString inPlaceMark(const QString& path)
{
    return path + QLatin1String(".saving");
}

// Copies the old file of a ".cfg" path to its ".bak" file, with the file's permissions. The
// copy is written into the ".bak" file itself, so that it is refreshed also in a folder where
// no file may be created. True when the old contents are safe: copied, kept in the copy from
// before an interrupted save, or no old file.
bool refreshBackup(const QString& path, QString& reason)
{
    QFile old(path);
    if (!old.exists())
        return true; // nothing to copy on the first save
    if (!path.endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive)) {
        reason = QStringLiteral("no backup copy is kept of this file");
        return false;
    }
    QFile backup(path.left(path.size() - 4) + QLatin1String(".bak"));
    if (QFile::exists(inPlaceMark(path)) && backup.exists()) {
        qCWarning(lcConfig, "the last save of %s was interrupted; its backup copy %s is kept as it is",
                  qUtf8Printable(QDir::toNativeSeparators(path)),
                  qUtf8Printable(QDir::toNativeSeparators(backup.fileName())));
        return true;
    }
    if (!old.open(QIODevice::ReadOnly)) {
        reason = old.errorString();
        return false;
    }
    const QByteArray bytes = old.readAll();
    // A read-only copy of our own may still be replaced.
    if (!backup.open(QIODevice::WriteOnly) &&
        !(QFile::remove(backup.fileName()) && backup.open(QIODevice::WriteOnly))) {
        reason = backup.errorString();
        return false;
    }
    backup.setPermissions(old.permissions()); // before the contents: a private file stays private
    if (backup.write(bytes) != bytes.size() || !backup.flush()) {
        reason = backup.errorString();
        return false;
    }
    return true;
}

// Writes bytes into path itself.
bool writeInPlace(const QString& path, const QByteArray& bytes, QString& reason)
{
    if (!allowed(SaveStep::WriteInPlace, reason))
        return false;
    // Where no file can be made, a kill while writing still leaves the copy whole, but the next
    // save cannot tell.
    QFile mark(inPlaceMark(path));
    mark.open(QIODevice::WriteOnly);
    mark.close();
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush())
        return true;
    reason = file.errorString();
    return false;
}

} // namespace

bool readConfigFile(const QString& path, EmptyColumnPolicy policy, int columnCount, bool skipComments,
                    ConfigFileContents& contents)
{
    contents = ConfigFileContents();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // A file not written yet is no failure: the caller starts from nothing.
        if (file.exists())
            qCWarning(lcConfig, "cannot read %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                      qUtf8Printable(file.errorString()));
        return false;
    }

    if (QFile::exists(inPlaceMark(path)))
        qCWarning(lcConfig, "%s may be cut short: its last save was interrupted",
                  qUtf8Printable(QDir::toNativeSeparators(path)));
    if (looksLikeUtf16(file.peek(256))) {
        qCWarning(lcConfig, "cannot read %s: it is UTF-16 text", qUtf8Printable(QDir::toNativeSeparators(path)));
        contents.notText = true;
        return false;
    }
    // A byte-order mark, as some editors put at the start, is not part of the first line.
    if (file.peek(3) == "\xef\xbb\xbf")
        file.skip(3);
    while (!file.atEnd()) {
        QByteArray bytes = file.readLine();
        if (bytes.endsWith("\r\n"))
            bytes.remove(bytes.size() - 2, 1);

        if (bytes.startsWith(';')) {
            if (!skipComments) {
                ConfigLine line;
                line.text = QString::fromUtf8(bytes.constData(), bytes.size());
                contents.nonDataLines.append(line);
            }
            continue;
        }
        if (bytes.startsWith(ignoreMarker)) {
            if (!skipComments) {
                contents.hasIgnore = true;
                contents.ignoredTail = file.readAll();
            }
            break;
        }

        ConfigLine line;
        line.text = QString::fromUtf8(bytes.constData(), bytes.size());
        QString values = line.text;
        const int comment = commentStart(values);
        if (comment >= 0) {
            if (!skipComments)
                line.comment = values.mid(comment);
            values.truncate(comment);
        }
        values = values.trimmed();
        if (values.isEmpty()) {
            if (!skipComments)
                contents.nonDataLines.append(line);
            continue;
        }

        const QStringList pieces = values.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        for (int i = 0; i < pieces.size(); ++i) {
            const QString value = pieces.at(i).trimmed();
            const bool placeholder = value == QLatin1String("/") && usesPlaceholder(policy, i, columnCount);
            line.fields.append(placeholder ? QString() : value);
        }
        line.isData = true;
        contents.dataLines.append(line);
    }
    return true;
}

void setSaveStepFilter(std::function<bool(SaveStep)> filter)
{
    saveStepFilter() = std::move(filter);
}

bool writeConfigFile(const QString& path, const QList<ConfigLine>& lines, EmptyColumnPolicy policy,
                     const QByteArray& ignoredTail, bool hasIgnore, bool replaceTabs, QString* error)
{
    // Refused before anything is touched: the file and its copy stay as they are.
    if (const QString* value = splittingValue(lines, replaceTabs)) {
        const QString reason = QStringLiteral("the value \"%1\" holds a tab or line break, which the file cannot hold")
                                   .arg(QString(*value)
                                            .replace(QLatin1Char('\n'), QLatin1String("\\n"))
                                            .replace(QLatin1Char('\r'), QLatin1String("\\r"))
                                            .replace(QLatin1Char('\t'), QLatin1String("\\t")));
        qCWarning(lcConfig, "cannot write %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                  qUtf8Printable(reason));
        if (error)
            *error = reason;
        return false;
    }
    QByteArray bytes;
    for (const ConfigLine& line : lines)
        bytes += diskBytes(line.isData ? dataLineText(line, policy, replaceTabs) : line.text);
    if (hasIgnore)
        bytes += diskBytes(QString::fromLatin1(ignoreMarker)) + ignoredTail;
    return replaceFile(path, bytes, error);
}

bool replaceFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QString backupFailure;
    const bool oldContentsSafe = refreshBackup(path, backupFailure);

    // The old file stays in place until every byte has reached the temporary file, which takes
    // its permissions.
    QString reason;
    QSaveFile file(path);
    bool written = false;
    bool inPlace = false;
    if (!allowed(SaveStep::CreateTemporary, reason) || !file.open(QIODevice::WriteOnly)) {
        inPlace = true;
    } else if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A short write (a full disk) of the buffered tail shows only in the flush: commit()
        // would put the cut file in place.
        file.cancelWriting();
    } else if (!allowed(SaveStep::ReplaceFile, reason)) {
        file.cancelWriting();
        inPlace = true;
    } else {
        written = file.commit();
        // A write error is the disk's, which writing in place would meet as well; anything else
        // is the file that could not be put in the old one's place.
        inPlace = !written && file.error() != QFileDevice::WriteError;
    }
    if (reason.isEmpty())
        reason = file.errorString();

    if (inPlace) {
        const QString replaceFailure = reason;
        if (!oldContentsSafe)
            reason = QStringLiteral("%1; not written in place, for the old file could not be copied: %2")
                         .arg(replaceFailure, backupFailure);
        else if (!(written = writeInPlace(path, bytes, reason)))
            reason = QStringLiteral("%1; writing into the file itself failed, its backup copy keeps the old "
                                    "contents: %2")
                         .arg(replaceFailure, reason);
    }
    // A whole file is in place: the copy may follow it again.
    if (written)
        QFile::remove(inPlaceMark(path));
    if (!written) {
        qCWarning(lcConfig, "cannot write %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                  qUtf8Printable(reason));
        if (error)
            *error = reason;
    }
    return written;
}
