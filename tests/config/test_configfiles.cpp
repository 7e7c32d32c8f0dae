#include <QtTest>

// Placeholder until the tests of this area are written.
class Testconfigfiles : public QObject
{
    Q_OBJECT
private slots:
    void nothingYet() {}
};

QTEST_MAIN(Testconfigfiles)
#include "test_configfiles.moc"
