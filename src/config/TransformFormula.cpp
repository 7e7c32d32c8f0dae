#include "config/TransformFormula.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <utility>

namespace {

using Kind = TransformFormula::Kind;

// A word or a delimiter of the text, with its 1-based character position.
struct Word
{
    QString text;
    int position = 0;
};

// Cut at the delimiters " ,+-*/()^": each but the blank is a word of its own, blanks only
// separate.
QVector<Word> split(const QString& text)
{
    static const QString delimiters = QStringLiteral(" ,+-*/()^");
    QVector<Word> words;
    Word current;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!delimiters.contains(c)) {
            if (current.text.isEmpty())
                current.position = i + 1;
            current.text += c;
            continue;
        }
        if (!current.text.isEmpty())
            words.append(std::exchange(current, Word()));
        if (c != QLatin1Char(' '))
            words.append(Word{QString(c), i + 1});
    }
    if (!current.text.isEmpty())
        words.append(current);
    return words;
}

bool isOperator(Kind kind)
{
    return kind >= Kind::Plus && kind <= Kind::Power;
}

int precedence(Kind kind)
{
    switch (kind) {
    case Kind::Plus:
    case Kind::Minus:
        return 1;
    case Kind::Times:
    case Kind::Divide:
        return 2;
    case Kind::Power:
        return 3;
    case Kind::Negate:
        return 4;
    default:
        return 0;
    }
}

// The leading number of the word, as strtod reads it in the C locale (2.5, 1e3, 0x10; "2v" is 2),
// whatever the program's locale; false without one, or out of the double range.
bool leadingNumber(const QString& word, double* number)
{
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    const QByteArray bytes = word.toLatin1();
    char* end = nullptr;
    errno = 0;
    const double value = strtod_l(bytes.constData(), &end, cLocale);
    if (end == bytes.constData() || errno == ERANGE)
        return false;
    *number = value;
    return true;
}

QString text(const char* words)
{
    return QCoreApplication::translate("TransformFormula", words);
}

} // namespace

bool TransformFormula::fail(const QString& reason, int position)
{
    m_valid = false;
    m_postfix.clear();
    m_problem = text("%1 (at character %2)").arg(reason).arg(position);
    return false;
}

bool TransformFormula::compile(const QString& formula)
{
    m_postfix.clear();
    m_problem.clear();
    const QString lowered = formula.toLower();
    QVector<Word> words = split(lowered);
    // Without V, C or F the formula works on V, as if it began with it.
    const bool named = std::any_of(words.cbegin(), words.cend(), [](const Word& word) {
        return word.text == QLatin1String("v") || word.text == QLatin1String("c") || word.text == QLatin1String("f");
    });
    if (!named)
        words.prepend(Word{QStringLiteral("v"), 0});

    static const QHash<QString, Kind> kinds = {
        {QStringLiteral("("), Open},       {QStringLiteral(")"), Close}, {QStringLiteral("*"), Times},
        {QStringLiteral("+"), Plus},       {QStringLiteral(","), Comma}, {QStringLiteral("/"), Divide},
        {QStringLiteral("^"), Power},      {QStringLiteral("v"), Value}, {QStringLiteral("c"), Celsius},
        {QStringLiteral("f"), Fahrenheit}, {QStringLiteral("min"), Min}, {QStringLiteral("max"), Max},
        {QStringLiteral("round"), Round}};
    QVector<std::pair<Kind, int>> stack; // kind, position
    Kind previous = Open;                // as at the start: a "-" here is a negation
    for (const Word& word : qAsConst(words)) {
        Token token;
        if (word.text == QLatin1String("-")) {
            const bool negates = isOperator(previous) || previous == Open || previous == Comma;
            token.kind = negates ? Negate : Minus;
        } else if (kinds.contains(word.text)) {
            token.kind = kinds.value(word.text);
        } else if (!leadingNumber(word.text, &token.number)) {
            {
                // Named as typed; lower case is only how words are compared.
                const QString typed =
                    formula.size() == lowered.size() ? formula.mid(word.position - 1, word.text.size()) : word.text;
                return fail(text("\"%1\" is no number, V, C, F, min, max or round").arg(typed), word.position);
            }
        }
        previous = token.kind;
        switch (token.kind) {
        case Number:
        case Value:
        case Celsius:
        case Fahrenheit:
            m_postfix.append(token);
            break;
        case Min:
        case Max:
        case Round:
        case Open:
            stack.append({token.kind, word.position});
            break;
        case Close:
        case Comma:
            while (!stack.isEmpty() && stack.constLast().first != Open)
                m_postfix.append(Token{stack.takeLast().first, 0});
            if (stack.isEmpty()) {
                return fail(token.kind == Close ? text("\")\" without its \"(\"")
                                                : text("\",\" outside the parentheses of min or max"),
                            word.position);
            }
            if (token.kind == Comma) {
                m_postfix.append(token);
                break;
            }
            stack.removeLast();
            if (!stack.isEmpty() && stack.constLast().first >= Min && stack.constLast().first <= Round)
                m_postfix.append(Token{stack.takeLast().first, 0});
            break;
        default: // an operator: those on the stack that bind as tight or tighter go first
            while (!stack.isEmpty() && isOperator(stack.constLast().first) &&
                   precedence(stack.constLast().first) >= precedence(token.kind))
                m_postfix.append(Token{stack.takeLast().first, 0});
            stack.append({token.kind, word.position});
            break;
        }
    }
    while (!stack.isEmpty()) {
        const std::pair<Kind, int> top = stack.takeLast();
        if (top.first == Open)
            return fail(text("\"(\" that is not closed"), top.second);
        m_postfix.append(Token{top.first, 0});
    }
    m_valid = true;
    return true;
}

double TransformFormula::evaluate(double value, bool* ok) const
{
    if (ok)
        *ok = false;
    if (!m_valid)
        return value;
    struct Entry
    {
        bool mark; // an argument boundary, not a number
        double number;
    };
    QVector<Entry> stack;
    const auto numberAt = [&stack](int fromTop) {
        return stack.size() >= fromTop && !stack.at(stack.size() - fromTop).mark;
    };
    for (const Token& token : m_postfix) {
        switch (token.kind) {
        case Number:
            stack.append({false, token.number});
            break;
        case Value:
            stack.append({false, value});
            break;
        case Celsius:
            stack.append({false, (value - 32) * 5 / 9});
            break;
        case Fahrenheit:
            stack.append({false, value * 9 / 5 + 32});
            break;
        case Comma:
            stack.append({true, 0});
            break;
        case Negate:
        case Round:
            if (!numberAt(1))
                return value;
            stack.last().number = token.kind == Negate ? -stack.last().number : std::round(stack.last().number);
            break;
        case Plus:
        case Minus:
        case Times:
        case Divide:
        case Power: {
            if (!numberAt(1) || !numberAt(2))
                return value;
            const double b = stack.takeLast().number;
            double& a = stack.last().number;
            a = token.kind == Plus     ? a + b
                : token.kind == Minus  ? a - b
                : token.kind == Times  ? a * b
                : token.kind == Divide ? a / b
                                       : std::pow(a, b);
            break;
        }
        case Min:
        case Max: {
            if (!numberAt(1) || stack.size() < 3 || !stack.at(stack.size() - 2).mark || !numberAt(3))
                return value;
            const double b = stack.takeLast().number;
            stack.removeLast();
            double& a = stack.last().number;
            // Equal or not comparable (NaN): the first argument.
            if (token.kind == Min ? b < a : b > a)
                a = b;
            break;
        }
        default:
            return value;
        }
    }
    if (stack.size() != 1 || stack.constFirst().mark)
        return value;
    if (ok)
        *ok = true;
    return stack.constFirst().number;
}

bool TransformFormula::isAcceptable() const
{
    bool ok = false;
    evaluate(0, &ok);
    return ok;
}

QString TransformFormula::problem() const
{
    if (!m_valid)
        return m_problem;
    return isAcceptable() ? QString()
                          : text("The formula does not compute: an operator or function lacks a value, or values are "
                                 "left over");
}
