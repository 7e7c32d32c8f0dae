#include "LastUpdatedScanner.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTime>

namespace {

enum class TokenKind
{
    End,
    Word,
    Quoted,
    Other
};

struct Token
{
    TokenKind kind = TokenKind::End;
    QByteArray text;
};

bool isWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Just enough of the SMI lexical rules to tell clauses from comments and strings: a "--"
// comment ends at the line end or at the next "--", as in net-snmp's default mode.
class Tokenizer final
{
public:
    explicit Tokenizer(const QByteArray& text)
        : m_text(text)
    {
    }

    Token next()
    {
        for (;;) {
            while (m_pos < m_text.size() && isSpace(m_text.at(m_pos)))
                ++m_pos;
            if (m_pos >= m_text.size())
                return {};
            if (startsComment()) {
                skipComment();
                continue;
            }
            break;
        }
        const char c = m_text.at(m_pos);
        if (c == '"') {
            const int end = m_text.indexOf('"', m_pos + 1);
            const int stop = end < 0 ? m_text.size() : end;
            Token token{TokenKind::Quoted, m_text.mid(m_pos + 1, stop - m_pos - 1)};
            m_pos = end < 0 ? m_text.size() : end + 1;
            return token;
        }
        if (isWordChar(c)) {
            const int start = m_pos;
            while (m_pos < m_text.size() && isWordChar(m_text.at(m_pos)))
                ++m_pos;
            return {TokenKind::Word, m_text.mid(start, m_pos - start)};
        }
        ++m_pos;
        return {TokenKind::Other, QByteArray(1, c)};
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

    bool startsComment() const
    {
        return m_text.at(m_pos) == '-' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == '-';
    }

    void skipComment()
    {
        m_pos += 2;
        while (m_pos < m_text.size()) {
            const char c = m_text.at(m_pos);
            if (c == '\n')
                return;
            if (c == '-' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == '-') {
                m_pos += 2;
                return;
            }
            ++m_pos;
        }
    }

    const QByteArray& m_text;
    int m_pos = 0;
};

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return scanText(file.readAll());
}

QHash<QString, qint64> LastUpdatedScanner::scanText(const QByteArray& text)
{
    QHash<QString, qint64> result;
    Tokenizer tokenizer(text);
    QString module;
    QByteArray previousWord;
    for (Token token = tokenizer.next(); token.kind != TokenKind::End; token = tokenizer.next()) {
        if (token.kind != TokenKind::Word) {
            previousWord.clear();
            continue;
        }
        if (token.text == "DEFINITIONS" && !previousWord.isEmpty()) {
            module = QString::fromLatin1(previousWord);
        } else if (token.text == "LAST-UPDATED" && !module.isEmpty() && !result.contains(module)) {
            const Token value = tokenizer.next();
            qint64 seconds = 0;
            if (value.kind != TokenKind::Quoted || !parseTimestamp(value.text.trimmed(), &seconds))
                seconds = 0;
            result.insert(module, seconds);
        }
        previousWord = token.text;
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
