#pragma once

#include <QString>
#include <QVector>

// The transform formula the monitoring service applies to each polled value of an OID entry:
// arithmetic on the value V (C and F: V converted from Fahrenheit to Celsius and back), with
// + - * / ^, parentheses and min(a,b), max(a,b), round(a). Compiled into postfix form here to
// check a formula while the user types and to try it on a value; the service has its own
// evaluator.
//
// Every operator groups from the left (2^3^2 is 64); unary minus binds tighter than ^. A
// formula that names neither V, C nor F works on V: "*8" is V*8.
class TransformFormula final
{
public:
    // The kinds of the compiled tokens, in the numbering the evaluator uses.
    enum Kind
    {
        Number = 1,
        Value = 2,
        Celsius = 3,
        Fahrenheit = 4,
        Plus = 5,
        Minus = 6,
        Negate = 7,
        Times = 8,
        Divide = 9,
        Power = 10,
        Min = 11,
        Max = 12,
        Round = 13,
        Open = 14,
        Close = 15,
        Comma = 16
    };

    struct Token
    {
        Kind kind = Number;
        double number = 0; // numbers only
    };

    TransformFormula() = default;
    explicit TransformFormula(const QString& text) { compile(text); }

    // Compiles the text; gives whether it compiled. An empty text compiles (it leaves V as it is).
    bool compile(const QString& text);
    bool isValid() const { return m_valid; }

    // The formula applied to value; on failure (an invalid formula, or one whose shape does not
    // compute) the value itself with ok false. Division by zero gives IEEE infinities, not a failure.
    double evaluate(double value, bool* ok = nullptr) const;

    // Whether the formula compiles and computes (tried on 0): what the dialogs accept.
    bool isAcceptable() const;
    // Why the formula is not acceptable, in words with the position (1-based character) where
    // that is known; empty when it is.
    QString problem() const;

    const QVector<Token>& postfix() const { return m_postfix; }

private:
    bool fail(const QString& reason, int position);

    bool m_valid = true;
    QVector<Token> m_postfix;
    QString m_problem;
};
