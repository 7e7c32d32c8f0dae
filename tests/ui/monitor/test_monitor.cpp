// The monitoring dialogs: the table index selection against the snmpd test agent, and the
// live chart on a fake clock with fabricated answers.

#include "LoadedMib.h"
#include "SnmpdFixture.h"
#include "snmp/SnmpAsyncReader.h"
#include "ui/monitor/OidChartDialog.h"
#include "platform/AppSettings.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/monitor/OidIndexSelectionWidget.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <limits>
#include <memory>

namespace {

const QString kRoot = SnmpdFixture::kFixtureRoot;
const QString kStrColumn = kRoot + ".2.1.1"; // rows 1, 2, 10: "one", "two", "ten"
const QString kClosed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
constexpr char kOid[] = "1.3.6.1.4.1.32473.1.5.0";
constexpr qint64 kT0 = 1700000000;

SnmpOidUtils::Device device(const QString& ip, int version = 2)
{
    return {ip, {version, SnmpdFixture::kCommunity, {}, 0, {}, 0, {}}};
}

QPair<double, double> axisRange(const OidChartDialog& dialog, int axis)
{
    const QwtScaleDiv& div = dialog.plot()->axisScaleDiv(axis);
    return {div.lowerBound(), div.upperBound()};
}

// The OID, whether it names a row, the rows shown ("index=value"), the row selected (-1: none).
using Listing = std::tuple<QString, bool, QStringList, int>;

} // namespace

Q_DECLARE_METATYPE(Listing)

class TestMonitor final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    LoadedMib m_mib;
    QDateTime m_now;

    // A chart of a device that never answers, on the fake clock.
    std::unique_ptr<OidChartDialog> offlineChart(bool differenceMode)
    {
        auto dialog = std::make_unique<OidChartDialog>(device(kClosed, 1), QString(), kOid, differenceMode);
        dialog->setClock([this] { return m_now; });
        return dialog;
    }

    // Answers with value at kT0 + seconds; an invalid value is a failed poll (no answer).
    void answerAt(OidChartDialog& dialog, qint64 seconds, const QVariant& value)
    {
        m_now = QDateTime::fromSecsSinceEpoch(kT0 + seconds);
        const SnmpOidUtils::OidValue result{kOid, 0, value, {}, {}};
        dialog.onGetValueFinished(
            QString(), kOid, value.isValid() ? QList<SnmpOidUtils::OidValue>{result} : QList<SnmpOidUtils::OidValue>{});
    }

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent);
        QVERIFY(m_mib.load(MibTestDb::sampleNodes() + MibTestDb::parse("21 18 fixture 32473; 22 21 fixtureRoot 1;"
                                                                       "23 22 strTable 2; 24 23 strEntry 1;"
                                                                       "25 24 strValue 1 2 18")));
    }

    // Rows and values, the requested one selected (else the first); where listings end; a GET for .0.
    void listings_data()
    {
        QTest::addColumn<Listing>("c");
        QTest::newRow("column") << Listing{kStrColumn, false, {"1=one", "2=two", "10=ten"}, 1};
        QTest::newRow("requested row") << Listing{kStrColumn + ".10", true, {"1=one", "2=two", "10=ten"}, 10};
        QTest::newRow("instance .0") << Listing{kRoot + ".1.4.0", true, {"0=-42"}, 0};
        QTest::newRow("two-part index 1.5") << Listing{kRoot + ".3.1.1", false, {}, -1};
        QTest::newRow("unreachable device") << Listing{kStrColumn, false, {}, -1};
    }

    void listings()
    {
        QFETCH(Listing, c);
        const auto& [oid, hasIndex, rows, selected] = c;
        const bool reachable = QTest::currentDataTag() != QLatin1String("unreachable device");
        OidIndexSelectionWidget widget;
        widget.setDevice(device(reachable ? m_agent.address() : kClosed));
        widget.setOid(oid, hasIndex, Oid::OctetString);
        QSignalSpy finished(&widget, &OidIndexSelectionWidget::listingFinished);
        widget.onGetIndices(); // returns at once; the rows come in the background
        QVERIFY(widget.isListing() && finished.wait(10000) && !widget.isListing());
        // A note says why the table is empty.
        QVERIFY(widget.progressLabel()->isVisibleTo(&widget) == rows.isEmpty() && widget.cancelButton()->isHidden());
        const QTableWidget* table = widget.resultsTable();
        QStringList shown;
        for (int row = 0; row < table->rowCount(); ++row)
            shown << table->item(row, 0)->text() + "=" + table->item(row, 1)->text();
        QCOMPARE(shown, rows);
        QCOMPARE(widget.selectedOid(), selected < 0 ? QString() : widget.columnOid() + "." + QString::number(selected));
    }

    // Cancel ends a long listing at once; the rows read stay, and none come after it.
    void listingCancelled()
    {
        OidIndexSelectionWidget widget;
        widget.setDevice(device(m_agent.address()));
        widget.setOid(SnmpdFixture::kOidBulkColumn, false, Oid::OctetString);
        widget.onGetIndices();
        QTRY_VERIFY_WITH_TIMEOUT(widget.resultsTable()->rowCount() > 0, 10000);
        QVERIFY(widget.isListing() && widget.cancelButton()->isVisibleTo(&widget));
        QSignalSpy finished(&widget, &OidIndexSelectionWidget::listingFinished);
        widget.cancelButton()->click();
        const int rows = widget.resultsTable()->rowCount();
        QVERIFY(finished.size() == 1 && !widget.isListing() && rows < SnmpdFixture::kBulkRows &&
                widget.selectedIndex() == 1);
        QCOMPARE(widget.progressLabel()->text(), QString("Cancelled after %1 row(s)").arg(rows));
        QTest::qWait(200);
        QCOMPARE(widget.resultsTable()->rowCount(), rows);
    }

    // "Monitor OID" follows the selection; a typed OID counts once it has a parent and an index.
    void dialog()
    {
        OidIndexSelectionDialog dialog(m_mib.model->findByPath(kStrColumn), device(m_agent.address()));
        QTemporaryDir dir;
        AppSettings settings(dir.filePath("Tessaro.ini"));
        settings.setOidIndexWindowSize(QSize(420, 350));
        dialog.setSettings(&settings); // the dialog keeps its own size
        dialog.show();
        QCOMPARE(dialog.size(), QSize(420, 350));
        OidIndexSelectionWidget* widget = dialog.widget();
        widget->editButton()->click();
        widget->entryEdit()->setText("5");
        QVERIFY(widget->selectedIndex() == -1 && !dialog.monitorButton()->isEnabled());
        widget->entryEdit()->setText(kStrColumn + ".7");
        QVERIFY(widget->selectedIndex() == 7 && dialog.monitorButton()->isEnabled());
        widget->editButton()->click();
        QVERIFY(!dialog.monitorButton()->isEnabled()); // back to a table without a selection
    }

    // Values plotted as they are, or as the increase per poll (a counter reset shows as one
    // negative step, which the axis keeps in view); answers that are no integer are skipped.
    void samples_data()
    {
        QTest::addColumn<bool>("difference");
        QTest::addColumn<QVariantList>("values"); // one poll each 5 s
        QTest::addColumn<QVector<QPointF>>("plotted");
        QTest::newRow("gauge") << false << QVariantList{10, 12, 11}
                               << QVector<QPointF>{{0, 10}, {1, 10}, {5, 12}, {10, 11}};
        QTest::newRow("counter") << true << QVariantList{100u, 150u, 175u}
                                 << QVector<QPointF>{{0, 0}, {1, 0}, {5, 50}, {10, 25}};
        QTest::newRow("counter reset") << true << QVariantList{100u, 150u, 20u, 30u}
                                       << QVector<QPointF>{{0, 0}, {1, 0}, {5, 50}, {10, -130}, {15, 10}};
        QTest::newRow("not integers") << false
                                      << QVariantList{QByteArray("123"), "1.3.6.1.4.1.32473.1", QVariant(),
                                                      quint64(std::numeric_limits<qint64>::max()) + 1, 7}
                                      << QVector<QPointF>{{20, 7}, {21, 7}};
    }

    void samples()
    {
        QFETCH(bool, difference);
        QFETCH(QVariantList, values);
        QFETCH(QVector<QPointF>, plotted);
        const auto dialog = offlineChart(difference);
        double lowest = std::numeric_limits<double>::max();
        for (int i = 0; i < values.size(); ++i)
            answerAt(*dialog, 5 * i, values.at(i));
        for (QPointF& point : plotted) {
            point.rx() += kT0;
            lowest = std::min(lowest, point.y());
        }
        QCOMPARE(dialog->samples(), plotted);
        QVERIFY(axisRange(*dialog, QwtPlot::yLeft).first <= lowest);
        QVERIFY(dialog->pollTimer()->isActive()); // polling goes on
    }

    // The value axis moves only once its ends leave the bands around them; an hour is kept.
    void axesAndHistory()
    {
        auto dialog = offlineChart(false);
        for (int i = 0; i < 3; ++i)
            answerAt(*dialog, 5 * i, 5);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        answerAt(*dialog, 15, 6);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        answerAt(*dialog, 20, 100);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 109.0));
        for (int s = 60; s <= 61 * 60; s += 60)
            answerAt(*dialog, s, s);
        QCOMPARE(dialog->samples().first(), QPointF(kT0 + 60, 60));
        QCOMPARE(axisRange(*dialog, QwtPlot::xBottom), qMakePair(double(kT0 + 60), double(kT0 + 60 + 3600)));
    }
    // Against the agent: an answer to a poll issued before an interval change, or before the
    // close, adds nothing and starts no second timer chain (and reaches no deleted chart).
    void stalePollsDropped()
    {
        QPointer<OidChartDialog> dialog =
            new OidChartDialog(device(m_agent.address()), "sysUpTime", SnmpdFixture::kOidSysUpTime, true);
        dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->samples().size() >= 2, 20000);
        dialog->pollTimer()->stop();
        dialog->onReadValue(); // outstanding across the change
        dialog->intervalBox()->setCurrentIndex(4);
        QVERIFY(dialog->samples().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(dialog->samples().size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
        QCOMPARE(dialog->samples().size(), 2);
        QVERIFY(dialog->pollTimer()->remainingTime() > 55000);

        dialog->pollTimer()->stop();
        dialog->onReadValue();
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
    }
};

QTEST_MAIN(TestMonitor)
#include "test_monitor.moc"
