#include "LastUpdatedScanner.h"

#include "MibTokenizer.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace {

bool parseDigits(const QByteArray& text, int from, int count, int* value)
{
    int result = 0;
    for (int i = from; i < from + count; ++i) {
        const char c = text.at(i);
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

} // namespace

QHash<QString, qint64> LastUpdatedScanner::scanFile(const QString& path)
{
    return scanText(MibTokenizer::readFile(path));
}

QHash<QString, qint64> LastUpdatedScanner::scanText(const QByteArray& text)
{
    QHash<QString, qint64> result;
    MibTokenizer tokenizer(text);
    for (MibTokenizer::Token token = tokenizer.next(); token.kind != MibTokenizer::Kind::End;
         token = tokenizer.next()) {
        if (token.kind != MibTokenizer::Kind::Word || token.text != "LAST-UPDATED" || tokenizer.module().empty())
            continue;
        const QString module = tokenizer.moduleName();
        if (result.contains(module))
            continue;
        const MibTokenizer::Token value = tokenizer.next();
        qint64 seconds = 0;
        if (value.kind != MibTokenizer::Kind::Quoted || !parseTimestamp(value.bytes().trimmed(), &seconds))
            seconds = 0;
        result.insert(module, seconds);
    }
    return result;
}

bool LastUpdatedScanner::parseTimestamp(const QByteArray& value, qint64* secondsSinceEpoch)
{
    if ((value.size() != 11 && value.size() != 13) || value.back() != 'Z')
        return false;
    const int yearDigits = value.size() == 11 ? 2 : 4;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    if (!parseDigits(value, 0, yearDigits, &year) || !parseDigits(value, yearDigits, 2, &month) ||
        !parseDigits(value, yearDigits + 2, 2, &day) || !parseDigits(value, yearDigits + 4, 2, &hour) ||
        !parseDigits(value, yearDigits + 6, 2, &minute))
        return false;
    if (yearDigits == 2)
        year += 1900;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59)
        return false;
    *secondsSinceEpoch = QDateTime(date, QTime(hour, minute), Qt::UTC).toSecsSinceEpoch();
    return true;
}
