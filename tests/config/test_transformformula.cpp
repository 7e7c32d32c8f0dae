#include "config/TransformFormula.h"

#include <QtTest>

#include <limits>

class TestTransformFormula final : public QObject
{
    Q_OBJECT

private slots:
    void formulas_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<double>("input");
        QTest::addColumn<QString>("result"); // the value ('g', 6), "invalid" (no compile), "fails" (no result)
        const QString rows = "|7|7;*8|1|8;F|100|212;c|212|100;-5|7|2;V-5|7|2;V+2^3^2|0|64;V*(-2^2)|1|4;1+2*3-V|1|6;"
                             "V/0|1|inf;ROUND(v)|2.5|3;round(V)|-2.5|-3;round(-5 + max(V^2, F)/1.27)|1|22;"
                             "min(V, 3)|5|3;max(v,3)|5|5;2v*V|3|6;0x10+v|1|17;V*1e3|2|2000;V*1e-3|2|-1;2^3^2|0|fails;"
                             "round(5)|0|fails;--V|1|fails;min(1,2,3)|0|fails;max(V)|1|fails;1,2|0|invalid;"
                             ")|0|invalid;(V|0|invalid;abc|0|invalid;V*1e999|0|invalid";
        for (const QString& row : rows.split(';'))
            QTest::newRow(qPrintable(row))
                << row.section('|', 0, 0) << row.section('|', 1, 1).toDouble() << row.section('|', 2);
    }

    void formulas()
    {
        QFETCH(QString, formula);
        QFETCH(double, input);
        QFETCH(QString, result);
        const TransformFormula compiled(formula);
        bool ok = false;
        const double output = compiled.evaluate(input, &ok);
        QCOMPARE(compiled.isValid(), result != "invalid");
        QCOMPARE(ok, compiled.isValid() && result != "fails");
        QCOMPARE(ok ? QString::number(output, 'g', 6) : result, result);
        QVERIFY(ok || output == input); // a failure leaves the value as it was
        QCOMPARE(compiled.problem().isEmpty(), ok);
    }

    // The dialogs say what is wrong, and where.
    void problems()
    {
        QCOMPARE(TransformFormula("V+(2").problem(), QString("\"(\" that is not closed (at character 3)"));
        QCOMPARE(TransformFormula("v * X2").problem(), QString("\"X2\" is no number, V, C, F, min, max or round (at "
                                                               "character 5)"));
    }
};

QTEST_GUILESS_MAIN(TestTransformFormula)
#include "test_transformformula.moc"
