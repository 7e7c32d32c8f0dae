#include "MibTokenizer.h"

#include <QFile>

namespace {

bool isWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

MibTokenizer::MibTokenizer(const QByteArray& text)
    : m_text(text)
{
}

MibTokenizer::Token MibTokenizer::next()
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
    Token token;
    const char c = m_text.at(m_pos);
    if (c == '"') {
        const int end = m_text.indexOf('"', m_pos + 1);
        const int stop = end < 0 ? m_text.size() : end;
        token = {Kind::Quoted, view(m_pos + 1, stop - m_pos - 1)};
        m_pos = end < 0 ? m_text.size() : end + 1;
    } else if (isWordChar(c)) {
        const int start = m_pos;
        while (m_pos < m_text.size() && isWordChar(m_text.at(m_pos)))
            ++m_pos;
        token = {Kind::Word, view(start, m_pos - start)};
        if (token.text == "DEFINITIONS" && !m_previousWord.empty())
            m_module = m_previousWord;
    } else {
        ++m_pos;
        token = {Kind::Other, view(m_pos - 1, 1)};
    }
    m_previousWord = token.kind == Kind::Word ? token.text : std::string_view();
    return token;
}

std::string_view MibTokenizer::view(int from, int length) const
{
    return std::string_view(m_text.constData() + from, size_t(length));
}

std::string_view MibTokenizer::module() const
{
    return m_module;
}

QByteArray MibTokenizer::readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool MibTokenizer::startsComment() const
{
    return m_text.at(m_pos) == '-' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == '-';
}

void MibTokenizer::skipComment()
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
