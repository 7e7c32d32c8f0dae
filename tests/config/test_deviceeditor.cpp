#include <QtTest>

// Placeholder until the tests of this area are written.
class Testdeviceeditor : public QObject
{
    Q_OBJECT
private slots:
    void nothingYet() {}
};

QTEST_MAIN(Testdeviceeditor)
#include "test_deviceeditor.moc"
