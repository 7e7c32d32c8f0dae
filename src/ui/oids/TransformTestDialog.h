#pragma once

#include "config/TransformFormula.h"

#include <QDialog>

class QLabel;
class QLineEdit;

// "Edit Transform Formula": the formula of an OID entry with a value to try it on. The
// formula turns red, with the reason in words under it, while it does not compute; the input
// turns red while it is not a number. The output shows the formula applied to the input.
//
// Child object names: "formulaEdit", "formulaProblem", "inputEdit", "outputEdit".
class TransformTestDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit TransformTestDialog(const QString& formula, QWidget* parent = nullptr);

    QString formula() const;

    QLineEdit* formulaEdit() const { return m_formula; }
    QLineEdit* inputEdit() const { return m_input; }
    QLineEdit* outputEdit() const { return m_output; }

    // The style of a field whose text is not usable.
    static QString invalidStyle();
    // The reason formula is not usable, or nothing; the field's style follows it.
    static QString checkFormula(const QString& formula, QLineEdit* field, QLabel* problemLabel);

private:
    void onFormulaChanged();
    void onInputChanged();
    void showOutput();

    TransformFormula m_compiled;
    QLineEdit* m_formula;
    QLabel* m_problem;
    QLineEdit* m_input;
    QLineEdit* m_output;
};
