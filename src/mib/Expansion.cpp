#include "mib/Expansion.h"


namespace {

// Nesting beyond this cannot come from a real tree; a damaged setting is cut off there
// instead of exhausting the stack.
constexpr int maxDepth = 4096;

struct Token
{
    enum Kind
    {
        End,
        Number,
        Char
    } kind = End;
    qint32 number = 0;
    QChar ch;
};

class Tokenizer final
{
public:
    explicit Tokenizer(const QString& text)
        : m_text(text)
    {
    }

    // A maximal run of digits as one number (a run that does not convert gives no token),
    // any other character by itself, End at the end.
    Token next()
    {
        while (m_pos < m_text.size()) {
            const QChar ch = m_text.at(m_pos);
            if (!ch.isDigit() || ch.unicode() > 127) {
                ++m_pos;
                return Token{Token::Char, 0, ch};
            }
            const int start = m_pos;
            while (m_pos < m_text.size() && m_text.at(m_pos).unicode() >= '0' && m_text.at(m_pos).unicode() <= '9')
                ++m_pos;
            bool ok = false;
            const qint32 number = m_text.midRef(start, m_pos - start).toInt(&ok, 10);
            if (ok)
                return Token{Token::Number, number, QChar()};
        }
        return Token{};
    }

private:
    const QString& m_text;
    int m_pos = 0;
};

bool isChar(const Token& token, char ch)
{
    return token.kind == Token::Char && token.ch == QLatin1Char(ch);
}

// Parses one node; *following receives the token after it (after its "]" when it has a
// child list), which tells the caller whether another sibling follows.
ExpansionNode parseNode(Tokenizer& tokens, Token* following, int depth)
{
    ExpansionNode node;
    const Token first = tokens.next();
    if (first.kind != Token::Number || depth > maxDepth) {
        *following = first;
        return node;
    }
    node.number = first.number;
    Token token = tokens.next();
    if (isChar(token, '[')) {
        while (true) {
            Token afterChild;
            ExpansionNode child = parseNode(tokens, &afterChild, depth + 1);
            if (child.number == -1)
                break;
            node.children.append(child);
            if (!isChar(afterChild, ','))
                break;
        }
        token = tokens.next();
    }
    *following = token;
    return node;
}

// One text grows for the whole tree, so a deep chain is written in linear time.
void appendExpansion(const ExpansionNode& node, QString& text)
{
    if (node.number == -1)
        return;
    text += QString::number(node.number);
    if (!node.children.isEmpty()) {
        text += QLatin1Char('[');
        for (int i = 0; i < node.children.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(',');
            appendExpansion(node.children.at(i), text);
        }
        text += QLatin1Char(']');
    }
}

} // namespace

QString serializeExpansion(const ExpansionNode& node)
{
    QString text;
    appendExpansion(node, text);
    return text;
}

ExpansionNode parseExpansion(const QString& text)
{
    Tokenizer tokens(text);
    Token following;
    return parseNode(tokens, &following, 0);
}
