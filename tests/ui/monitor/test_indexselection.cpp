// The table index selection against the snmpd test agent: listing a column (and where the
// listing ends), a scalar, and the dialog with manual entry.

#include "LoadedMib.h"
#include "platform/AppSettings.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "SnmpdFixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

const QString kRoot = QString::fromLatin1(SnmpdFixture::kFixtureRoot);
const QString kStrColumn = kRoot + ".2.1.1"; // rows 1, 2, 10: "one", "two", "ten"

QStringList column(const QTableWidget* table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

} // namespace

class TestIndexSelection final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    LoadedMib m_mib;

    SnmpOidUtils::Device device(int version = 2) const
    {
        SnmpOidUtils::Device device;
        device.ip = m_agent.address();
        device.params.version = version;
        device.params.community = SnmpdFixture::kCommunity;
        return device;
    }

private slots:
    void initTestCase()
    {
        m_agent.setMisbehavingColumns(true);
        m_agent.setBulkRows(3); // row 3 is the last object of the view
        SNMPD_FIXTURE_START(m_agent);
        QVERIFY(m_mib.load(QVector<MibTestDb::Node>(MibTestDb::sampleNodes())
                           << MibTestDb::parse("21 18 fixture 32473; 22 21 fixtureRoot 1; 23 22 strTable 2;"
                                               "24 23 strEntry 1; 25 24 strValue 1 2 18")));
    }

    // Every row with its value, the first selected; a requested index selects its own row; an
    // instance ending in .0 is read with one GET, one row 0, even where the column has rows.
    void listsColumn()
    {
        OidIndexSelectionWidget widget;
        widget.setDevice(device());
        widget.setOid(kStrColumn, false, Oid::OctetString);
        widget.onGetIndices();
        const QTableWidget* table = widget.resultsTable();
        QCOMPARE(column(table, 0), QStringList({"1", "2", "10"}));
        QCOMPARE(column(table, 1), QStringList({"one", "two", "ten"}));
        QVERIFY(table->selectionModel()->isRowSelected(0, QModelIndex()));
        QCOMPARE(widget.selectedOid(), kStrColumn + ".1");
        QCOMPARE(widget.entryEdit()->text(), kStrColumn + ".1");

        widget.setOid(kStrColumn + ".10", true, Oid::OctetString);
        QCOMPARE(table->rowCount(), 0);
        widget.onGetIndices();
        QCOMPARE(table->rowCount(), 3);
        QVERIFY(table->selectionModel()->isRowSelected(2, QModelIndex()));
        QCOMPARE(widget.selectedOid(), kStrColumn + ".10");

        widget.setOid(kStrColumn + ".0", true, Oid::OctetString);
        widget.onGetIndices();
        QCOMPARE(column(table, 0), QStringList({"0"}));
        widget.setOid(SnmpdFixture::kOidSysUpTime, true, Oid::TimeTicks);
        widget.onGetIndices();
        QCOMPARE(column(table, 0), QStringList({"0"}));
        bool number = false;
        table->item(0, 1)->text().toUInt(&number);
        QVERIFY2(number, qPrintable(table->item(0, 1)->text()));
        QCOMPARE(widget.selectedOid(), QString(SnmpdFixture::kOidSysUpTime));
    }

    // The listing stops at the first answer it cannot use, without waiting for more.
    void listingEnds_data()
    {
        QTest::addColumn<QString>("oid");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QStringList>("indexes");
        const QString bulk = QString::fromLatin1(SnmpdFixture::kOidBulkColumn);
        QTest::newRow("repeating") << kRoot + ".5.1" << 2 << true << QStringList({"1"});
        QTest::newRow("backwards") << kRoot + ".5.2" << 2 << true << QStringList({"1", "2"});
        QTest::newRow("endOfMibView") << bulk << 2 << true << QStringList({"1", "2", "3"});
        QTest::newRow("v1 end of view") << bulk << 1 << true << QStringList({"1", "2", "3"});
        QTest::newRow("two-part index 1.5") << kRoot + ".3.1.1" << 2 << true << QStringList();
        QTest::newRow("unreachable device") << kStrColumn << 2 << false << QStringList();
    }

    void listingEnds()
    {
        QFETCH(QString, oid);
        QFETCH(int, version);
        QFETCH(bool, reachable);
        QFETCH(QStringList, indexes);
        SnmpOidUtils::Device target = device(version);
        if (!reachable)
            target.ip = QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
        OidIndexSelectionWidget widget;
        widget.setDevice(target);
        widget.setOid(oid, false, Oid::OctetString);
        QElapsedTimer timer;
        timer.start();
        widget.onGetIndices();
        const qint64 limit = reachable ? 2000 : 8000; // unreachable: one time-out, about 3 s
        QVERIFY2(timer.elapsed() < limit, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(column(widget.resultsTable(), 0), indexes);
        QCOMPARE(widget.selectedIndex(), indexes.isEmpty() ? -1 : indexes.first().toInt()); // the first row
        if (indexes.isEmpty())
            QCOMPARE(widget.findChild<QLabel*>("entryNameLabel")->text(), QString("Not selected"));
    }

    // The list fills on first show and "Monitor OID" follows the selection; a typed OID counts
    // once it has a parent and an index.
    void dialog()
    {
        OidIndexSelectionDialog dialog(m_mib.model->findByPath(kStrColumn), device());
        dialog.setTreeModel(m_mib.model.get());
        QTemporaryDir dir;
        AppSettings settings(dir.filePath("Tessaro.ini"));
        settings.setOidIndexWindowSize(QSize(420, 350));
        dialog.setSettings(&settings);
        QCOMPARE(dialog.widget()->findChild<QLabel*>("titleLabel")->text(), QString("strValue"));
        QPushButton* monitor = dialog.monitorButton();
        QVERIFY(!monitor->isEnabled());
        dialog.show();
        QCOMPARE(dialog.size(), QSize(420, 350));
        QTableWidget* table = dialog.widget()->resultsTable();
        QTRY_COMPARE(table->rowCount(), 3);
        QVERIFY(monitor->isEnabled());
        QCOMPARE(dialog.selectedOid(), kStrColumn + ".1");
        table->clearSelection();
        QVERIFY(!monitor->isEnabled());
        table->selectRow(2);
        QVERIFY(monitor->isEnabled());
        QCOMPARE(dialog.selectedOid(), kStrColumn + ".10");

        OidIndexSelectionWidget* widget = dialog.widget();
        widget->editButton()->click();
        QLineEdit* entry = widget->entryEdit();
        entry->clear();
        QTest::keyClicks(entry, "5");
        QCOMPARE(widget->selectedIndex(), -1);
        QVERIFY(!monitor->isEnabled());
        entry->setText(kStrColumn + ".7");
        QCOMPARE(widget->selectedIndex(), 7);
        QCOMPARE(dialog.selectedOid(), kStrColumn + ".7");
        table->clearSelection();
        QVERIFY(monitor->isEnabled()); // the typed OID is what counts
        widget->editButton()->click();
        QVERIFY(!monitor->isEnabled()); // back to a table without a selection
    }
};

QTEST_MAIN(TestIndexSelection)
#include "test_indexselection.moc"
