#include "mib/OidDescription.h"

#include "mib/Oid.h"

#include <QCoreApplication>

namespace OidDescription {

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString typeWithDetails(const Oid& oid)
{
    QString text = escaped(Oid::typeName(oid.type));
    if (!oid.enums.isEmpty()) {
        QString list;
        // Multi-argument arg(): a label holding "%2" stays as it is.
        for (const Oid::EnumValue& entry : oid.enums)
            list += QStringLiteral("%1(%2), ").arg(escaped(entry.label), QString::number(entry.value));
        list.chop(2);
        text += QLatin1String("<br>Enum: ") + list;
    }
    if (!oid.ranges.isEmpty()) {
        QString list;
        for (const Oid::Range& range : oid.ranges)
            list += QString::number(range.low) + QLatin1Char('-') + QString::number(range.high) + QLatin1String(", ");
        list.chop(2);
        text += QLatin1String("<br>Range: ") + list;
    }
    return text;
}

} // namespace

QString html(const Oid& oid)
{
    // The TAB between "td" and "colspan" belongs to the layout users and tests rely on.
    const QString templateText =
        QCoreApplication::translate("OidBrowser", "<table>\n"
                                                  "<tr><td\tcolspan=\"2\"><b>%1</b></td></tr>\n"
                                                  "<tr><td>Path:</td> <td>%2</td></tr>\n"
                                                  "<tr><td>TextPath:</td> <td>%3</td></tr>\n"
                                                  "<tr><td>Type:</td> <td>%4</td></tr>\n"
                                                  "<tr><td>Access:</td> <td>%5</td></tr>\n"
                                                  "<tr><td>Module:</td> <td>%6</td></tr>\n"
                                                  "%7\n"
                                                  "</table>");
    QString lastUpdated;
    if (oid.lastUpdated.isValid()) {
        lastUpdated = QCoreApplication::translate("OidBrowser", "<tr><td>Last updated:</td> <td>%1</td></tr>")
                          .arg(oid.lastUpdated.toUTC().toString(QStringLiteral("yyyy-MM-dd")));
    }
    // One multi-argument arg() call: a value is never scanned for further placeholders.
    QString text =
        templateText.arg(escaped(oid.name), escaped(oid.numericPath()), escaped(oid.textPath()), typeWithDetails(oid),
                         escaped(Oid::accessName(oid.access)), escaped(oid.moduleText()), lastUpdated);
    if (!oid.description.isEmpty()) {
        QString description = escaped(oid.descriptionText());
        description.remove(QLatin1Char('\r'));
        description.replace(QLatin1Char('\n'), QLatin1String("<br>"));
        text += QLatin1String("<br><br>") + description;
    }
    return text;
}

} // namespace OidDescription
