#include "ui/oids/TransformTestDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TransformTestDialog::TransformTestDialog(const QString& formula, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_formula(new QLineEdit(this))
    , m_problem(new QLabel(this))
    , m_input(new QLineEdit(this))
    , m_output(new QLineEdit(this))
{
    setWindowTitle(tr("Edit Transform Formula"));
    m_formula->setObjectName(QStringLiteral("formulaEdit"));
    m_problem->setObjectName(QStringLiteral("formulaProblem"));
    m_input->setObjectName(QStringLiteral("inputEdit"));
    m_output->setObjectName(QStringLiteral("outputEdit"));
    m_output->setReadOnly(true);
    m_problem->setStyleSheet(QStringLiteral("color: red;"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    auto* help = new QLabel(
        tr("You can use addition, subtraction, multiplication, division, exponentiation, and parentheses.<br>The OID "
           "value is denoted by the symbol V. If this symbol is not present, it is automatically added to the "
           "beginning of the formula.<br>Supported functions: min(a,b), max(a,b), round(a)<br><u>Examples</u><br>*5 = "
           "Multiply result by 5<br>F = Convert value to Fahrenheit<br>C = Convert value to Celsius<br>round(-5 + "
           "max(V^2, F)/1.27) = more complex example"),
        this);
    help->setTextFormat(Qt::RichText);
    help->setWordWrap(true);
    help->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* form = new QFormLayout;
    form->addRow(tr("Transform formula:"), m_formula);
    form->addRow(QString(), m_problem);
    form->addRow(tr("Input value:"), m_input);
    form->addRow(tr("Output value:"), m_output);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    setTabOrder(m_formula, m_input);
    setTabOrder(m_input, m_output);
    setTabOrder(m_output, ok);
    resize(460, sizeHint().height());

    m_formula->setText(formula);
    m_input->setText(QStringLiteral("1"));
    connect(m_formula, &QLineEdit::textChanged, this, &TransformTestDialog::onFormulaChanged);
    connect(m_input, &QLineEdit::textChanged, this, &TransformTestDialog::onInputChanged);
    onFormulaChanged();
    m_formula->setFocus();
}

QString TransformTestDialog::formula() const
{
    return m_formula->text();
}

QString TransformTestDialog::invalidStyle()
{
    return QStringLiteral("background: rgb(255, 175, 175);");
}

QString TransformTestDialog::checkFormula(const QString& formula, QLineEdit* field, QLabel* problemLabel)
{
    const QString problem = TransformFormula(formula).problem();
    field->setStyleSheet(problem.isEmpty() ? QString() : invalidStyle());
    problemLabel->setText(problem);
    problemLabel->setVisible(!problem.isEmpty());
    return problem;
}

void TransformTestDialog::onFormulaChanged()
{
    m_compiled.compile(m_formula->text());
    checkFormula(m_formula->text(), m_formula, m_problem);
    showOutput();
}

void TransformTestDialog::onInputChanged()
{
    bool number = false;
    m_input->text().toDouble(&number);
    m_input->setStyleSheet(number ? QString() : invalidStyle());
    showOutput();
}

void TransformTestDialog::showOutput()
{
    bool number = false;
    const double input = m_input->text().toDouble(&number);
    bool ok = false;
    const double output = m_compiled.evaluate(input, &ok);
    m_output->setText(number && ok && m_compiled.isAcceptable() ? QString::number(output, 'g', 6) : QString());
}
