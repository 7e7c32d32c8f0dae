// The table index selection against the snmpd test agent: listing a column (and where the
// listing ends), a scalar, manual entry, and the dialog's first show.

#include "../browse/LoadedMib.h"
#include "OidIndexSelectionDialog.h"
#include "OidIndexSelectionWidget.h"
#include "ScreenGeometry.h"
#include "SnmpdFixture.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

const QString kRoot = QString::fromLatin1(SnmpdFixture::kFixtureRoot);
const QString kStrColumn = kRoot + ".2.1.1";     // rows 1, 2, 10: "one", "two", "ten"
const QString kPairColumn = kRoot + ".3.1.1";    // rows 1.5, 1.17, 2.3
const QString kRepeatColumn = kRoot + ".5.1";    // GETNEXT of .5.1.1 answers .5.1.1
const QString kBackwardsColumn = kRoot + ".5.2"; // GETNEXT of .5.2.2 answers .5.2.1
const QString kBulkColumn = QString::fromLatin1(SnmpdFixture::kOidBulkColumn);

QStringList column(const QTableWidget* table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

int selectedRow(const QTableWidget* table)
{
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

QString entryName(const QWidget* widget)
{
    return widget->findChild<QLabel*>("entryNameLabel")->text();
}

} // namespace

class TestIndexSelection final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsColumn_data();
    void listsColumn();
    void requestedIndexSelectsItsRow();
    void multiPartIndexEndsListing();
    void scalarIsOneGet();
    void listingEnds_data();
    void listingEnds();
    void silentDeviceGivesEmptyTable();
    void manualEntry();
    void dialogFirstShow();

private:
    SnmpOidUtils::Device device(int version = 2) const
    {
        SnmpOidUtils::Device device;
        device.ip = m_agent.address();
        device.version = version;
        device.community = SnmpdFixture::kCommunity;
        return device;
    }

    SnmpdFixture m_agent;
    LoadedMib m_mib;
};

void TestIndexSelection::initTestCase()
{
    m_agent.setMisbehavingColumns(true);
    m_agent.setBulkRows(3); // row 3 is the last object of the view
    SNMPD_FIXTURE_START(m_agent);
    QVERIFY(m_mib.load(QVector<MibTestDb::Node>(MibTestDb::sampleNodes())
                       << MibTestDb::parse("21 18 fixture 32473; 22 21 fixtureRoot 1; 23 22 strTable 2;"
                                           "24 23 strEntry 1; 25 24 strValue 1 2 18")));
    QVERIFY(m_mib.model->findByPath(kStrColumn));
}

void TestIndexSelection::listsColumn_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("v2c") << 2;
    QTest::newRow("v1") << 1;
}

void TestIndexSelection::listsColumn()
{
    QFETCH(int, version);
    OidIndexSelectionWidget widget;
    widget.setDevice(device(version));
    widget.setOid(kStrColumn, false, Oid::OctetString);
    QCOMPARE(widget.selectedIndex(), -1);
    QCOMPARE(widget.findChild<QLabel*>("typeLabel")->text(), Oid::typeName(Oid::OctetString));
    QVERIFY(widget.findChild<QLabel*>("titleLabel")->isHidden()); // no MIB database

    QSignalSpy changed(&widget, &OidIndexSelectionWidget::indexChanged);
    widget.onGetIndices();
    QVERIFY(!changed.isEmpty());
    const QTableWidget* table = widget.resultsTable();
    QCOMPARE(column(table, 0), QStringList({"1", "2", "10"}));
    QCOMPARE(column(table, 1), QStringList({"one", "two", "ten"}));
    QCOMPARE(selectedRow(table), 0);
    QCOMPARE(widget.selectedIndex(), 1);
    QCOMPARE(widget.selectedOid(), kStrColumn + ".1");
    QCOMPARE(widget.entryEdit()->text(), kStrColumn + ".1");
    QCOMPARE(widget.findChild<QLabel*>("entryIndexLabel")->text(), QString(".1"));

    // A row picked by the user stays picked when the list is read again.
    widget.resultsTable()->selectRow(1);
    QCOMPARE(widget.selectedOid(), kStrColumn + ".2");
    widget.onGetIndices();
    QCOMPARE(selectedRow(table), 1);

    // With the MIB database the column has its bold title, and the entry its name.
    widget.setTreeModel(m_mib.model.get());
    widget.setOid(kStrColumn, false, Oid::OctetString);
    const QLabel* title = widget.findChild<QLabel*>("titleLabel");
    QVERIFY(!title->isHidden());
    QCOMPARE(title->text(), QString("strValue"));
    QVERIFY(title->font().bold());
    QCOMPARE(table->rowCount(), 0); // setOid clears the table
    widget.onGetIndices();
    QCOMPARE(entryName(&widget), QString("strValue"));
}

void TestIndexSelection::requestedIndexSelectsItsRow()
{
    OidIndexSelectionWidget widget;
    widget.setDevice(device());
    widget.setOid(kStrColumn + ".10", true, Oid::OctetString);
    QCOMPARE(widget.columnOid(), kStrColumn);
    QCOMPARE(widget.requestedIndex(), 10);
    QCOMPARE(widget.selectedIndex(), 10);
    widget.onGetIndices();
    QCOMPARE(widget.resultsTable()->rowCount(), 3);
    QCOMPARE(selectedRow(widget.resultsTable()), 2);
    QCOMPARE(widget.selectedOid(), kStrColumn + ".10");
}

void TestIndexSelection::multiPartIndexEndsListing()
{
    OidIndexSelectionWidget widget;
    widget.setDevice(device());
    widget.setOid(kPairColumn, false, Oid::Integer);
    widget.onGetIndices();
    QCOMPARE(widget.resultsTable()->rowCount(), 0);
    QCOMPARE(entryName(&widget), QString("Not selected"));
    QCOMPARE(widget.selectedIndex(), -1);
    QVERIFY(widget.selectedOid().isEmpty());
}

void TestIndexSelection::scalarIsOneGet()
{
    OidIndexSelectionWidget widget;
    widget.setDevice(device());
    widget.setOid(SnmpdFixture::kOidSysUpTime, true, Oid::TimeTicks);
    QCOMPARE(widget.requestedIndex(), 0);
    widget.onGetIndices();
    const QTableWidget* table = widget.resultsTable();
    QCOMPARE(column(table, 0), QStringList({"0"}));
    bool number = false;
    table->item(0, 1)->text().toUInt(&number);
    QVERIFY2(number, qPrintable(table->item(0, 1)->text()));
    QCOMPARE(selectedRow(table), 0);
    QVERIFY(widget.entryEdit()->text().endsWith(".0"));
    QCOMPARE(widget.selectedOid(), QString(SnmpdFixture::kOidSysUpTime));
}

void TestIndexSelection::listingEnds_data()
{
    QTest::addColumn<QString>("oid");
    QTest::addColumn<int>("version");
    QTest::addColumn<QStringList>("indexes");
    QTest::newRow("repeating") << kRepeatColumn << 2 << QStringList({"1"});
    QTest::newRow("backwards") << kBackwardsColumn << 2 << QStringList({"1", "2"});
    QTest::newRow("endOfMibView") << kBulkColumn << 2 << QStringList({"1", "2", "3"});
    QTest::newRow("v1 end of view") << kBulkColumn << 1 << QStringList({"1", "2", "3"});
}

void TestIndexSelection::listingEnds()
{
    QFETCH(QString, oid);
    QFETCH(int, version);
    QFETCH(QStringList, indexes);
    OidIndexSelectionWidget widget;
    widget.setDevice(device(version));
    widget.setOid(oid, false, Oid::OctetString);
    QElapsedTimer timer;
    timer.start();
    widget.onGetIndices();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(column(widget.resultsTable(), 0), indexes);
    QCOMPARE(selectedRow(widget.resultsTable()), 0);
}

void TestIndexSelection::silentDeviceGivesEmptyTable()
{
    SnmpOidUtils::Device silent = device();
    silent.ip = QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
    OidIndexSelectionWidget widget;
    widget.setDevice(silent);
    widget.setOid(kStrColumn, false, Oid::OctetString);
    QElapsedTimer timer;
    timer.start();
    widget.onGetIndices();
    QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed()))); // one time-out, about 3 s
    QCOMPARE(widget.resultsTable()->rowCount(), 0);
    QCOMPARE(entryName(&widget), QString("Not selected"));
    QCOMPARE(widget.selectedIndex(), -1);
}

void TestIndexSelection::manualEntry()
{
    OidIndexSelectionDialog dialog(m_mib.model->findByPath(kStrColumn), device());
    OidIndexSelectionWidget* widget = dialog.widget();
    QPushButton* edit = widget->findChild<QPushButton*>("editButton");
    QVERIFY(edit);
    QVERIFY(edit->isCheckable());
    QVERIFY(!edit->autoDefault());
    QVERIFY(!edit->icon().isNull());
    QCOMPARE(edit->toolTip(), QString("Set OID manually"));
    QPushButton* monitor = dialog.monitorButton();
    QVERIFY(!monitor->isEnabled()); // nothing listed, nothing requested

    edit->click();
    QVERIFY(widget->isManualMode());
    QLineEdit* entry = widget->findChild<QLineEdit*>("entryEdit");
    entry->clear();
    QTest::keyClicks(entry, "5");
    QCOMPARE(widget->selectedIndex(), -1);
    QVERIFY(!monitor->isEnabled());

    const QString typed = kStrColumn + ".7";
    entry->setText(typed);
    QCOMPARE(widget->selectedIndex(), 7);
    QVERIFY(monitor->isEnabled());
    QCOMPARE(dialog.selectedOid(), typed);

    edit->click(); // back to the (empty) table
    QVERIFY(!widget->isManualMode());
    QVERIFY(!monitor->isEnabled());
}

void TestIndexSelection::dialogFirstShow()
{
    OidIndexSelectionDialog dialog(m_mib.model->findByPath(kStrColumn), device());
    dialog.setTreeModel(m_mib.model.get());
    QCOMPARE(dialog.windowTitle(), QString("Select OID index"));
    QCOMPARE(dialog.minimumSize(), QSize(300, 300));
    QVERIFY(dialog.monitorButton()->isDefault());
    QVERIFY(!dialog.getValuesButton()->autoDefault());
    QCOMPARE(dialog.widget()->findChild<QLabel*>("titleLabel")->text(), QString("strValue"));

    dialog.show();
    const int side = centeredFractionRect(&dialog, 0.5).height();
    QCOMPARE(dialog.size(), QSize(side, side).expandedTo(dialog.minimumSize()));
    QTableWidget* table = dialog.widget()->resultsTable();
    QTRY_COMPARE(table->rowCount(), 3);
    QVERIFY(dialog.monitorButton()->isEnabled());
    QCOMPARE(dialog.selectedOid(), kStrColumn + ".1");

    table->clearSelection();
    QVERIFY(!dialog.monitorButton()->isEnabled());
    table->selectRow(2);
    QVERIFY(dialog.monitorButton()->isEnabled());
    QCOMPARE(dialog.selectedOid(), kStrColumn + ".10");
    dialog.monitorButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    // A stored size is taken as it is.
    OidIndexSelectionDialog sized(m_mib.model->findByPath(kStrColumn), device());
    sized.setStoredSize(QSize(420, 350));
    sized.show();
    QCOMPARE(sized.size(), QSize(420, 350));
    QTRY_COMPARE(sized.widget()->resultsTable()->rowCount(), 3);
}

QTEST_MAIN(TestIndexSelection)
#include "test_indexselection.moc"
