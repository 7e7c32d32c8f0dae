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

// text as it goes to disk: UTF-8, with a line end if it has none, and every LF as CR LF.
QByteArray diskBytes(QString text)
{
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text.toUtf8().replace("\n", "\r\n");
}

void refreshBackup(const QString& path)
{
    if (!path.endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive))
        return;
    const QString backup = path.left(path.size() - 4) + QLatin1String(".bak");
    QFile::remove(backup);
    QFile::copy(path, backup); // nothing to copy on the first save
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
                line.text = QString::fromUtf8(bytes);
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
        line.text = QString::fromUtf8(bytes);
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

bool writeConfigFile(const QString& path, const QList<ConfigLine>& lines, EmptyColumnPolicy policy,
                     const QByteArray& ignoredTail, bool hasIgnore, bool replaceTabs)
{
    refreshBackup(path);

    QByteArray bytes;
    for (const ConfigLine& line : lines)
        bytes += diskBytes(line.isData ? dataLineText(line, policy, replaceTabs) : line.text);
    if (hasIgnore)
        bytes += diskBytes(QString::fromLatin1(ignoreMarker)) + ignoredTail;

    // The old file stays in place until every byte has reached the temporary file.
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    if (!written)
        file.cancelWriting();
    if (!written || !file.commit()) {
        qCWarning(lcConfig, "cannot write %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}
