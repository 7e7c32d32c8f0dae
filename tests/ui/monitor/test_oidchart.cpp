// The live OID chart: sample rules, axes and polling with a fake clock and fabricated
// answers, and polling against the snmpd test agent.

#include "ui/monitor/OidChartDialog.h"
#include "ui/widgets/ScreenGeometry.h"
#include "snmp/SnmpAsyncReader.h"
#include "SnmpdFixture.h"

#include <QComboBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_div.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr char kOid[] = "1.3.6.1.4.1.32473.1.5.0";
constexpr qint64 kT0 = 1700000000;

QList<SnmpOidUtils::OidValue> result(const QVariant& value)
{
    SnmpOidUtils::OidValue r;
    r.oid = QString::fromLatin1(kOid);
    r.value = value;
    return {r};
}

QPair<double, double> axisRange(const OidChartDialog& dialog, int axis)
{
    const QwtScaleDiv& div = dialog.plot()->axisScaleDiv(axis);
    return {div.lowerBound(), div.upperBound()};
}

QwtPlotCurve* curveOf(const OidChartDialog& dialog)
{
    const QwtPlotItemList curves = dialog.plot()->itemList(QwtPlotItem::Rtti_PlotCurve);
    return curves.size() == 1 ? static_cast<QwtPlotCurve*>(curves.first()) : nullptr;
}

} // namespace

class TestOidChart final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    QDateTime m_now;

    SnmpOidUtils::Device device(const QString& ip) const
    {
        SnmpOidUtils::Device device;
        device.ip = ip;
        device.params.version = 1;
        device.params.community = QString::fromLatin1(SnmpdFixture::kCommunity);
        return device;
    }

    // A chart of a device that never answers, on the fake clock.
    std::unique_ptr<OidChartDialog> offlineChart(bool differenceMode)
    {
        const QString closed = QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
        auto dialog = std::make_unique<OidChartDialog>(device(closed), QString(), kOid, differenceMode);
        dialog->setClock([this] { return m_now; });
        return dialog;
    }

    // Answers with value at kT0 + seconds.
    void answerAt(OidChartDialog& dialog, qint64 seconds, const QVariant& value)
    {
        m_now = QDateTime::fromSecsSinceEpoch(kT0 + seconds);
        dialog.onGetValueFinished(QString(), QString::fromLatin1(kOid), result(value));
    }

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent);
        SnmpAsyncReader::instance();
    }

    // Values plotted as they are, or as the increase per poll (a counter reset shows as one
    // negative step, which the axis keeps in view).
    void sampleSequences_data()
    {
        QTest::addColumn<bool>("difference");
        QTest::addColumn<QList<quint32>>("values");
        QTest::addColumn<QVector<double>>("plotted");
        QTest::newRow("gauge") << false << QList<quint32>{10, 12, 11} << QVector<double>{10, 10, 12, 11};
        QTest::newRow("counter") << true << QList<quint32>{100, 150, 175} << QVector<double>{0, 0, 50, 25};
        QTest::newRow("counter reset") << true << QList<quint32>{100, 150, 20, 30}
                                       << QVector<double>{0, 0, 50, -130, 10};
    }

    void sampleSequences()
    {
        QFETCH(bool, difference);
        QFETCH(QList<quint32>, values);
        QFETCH(QVector<double>, plotted);
        const auto dialog = offlineChart(difference);
        for (int i = 0; i < values.size(); ++i)
            answerAt(*dialog, 5 * i, values.at(i));
        QVector<QPointF> expected{{double(kT0), plotted.at(0)}};
        for (int i = 1; i < plotted.size(); ++i)
            expected << QPointF(kT0 + (i == 1 ? 1 : 5 * (i - 1)), plotted.at(i));
        QCOMPARE(dialog->samples(), expected);
        QCOMPARE(curveOf(*dialog)->dataSize(), size_t(plotted.size()));
        QVERIFY(axisRange(*dialog, QwtPlot::yLeft).first <= *std::min_element(plotted.begin(), plotted.end()));
    }

    // The value axis moves only once its ends leave the bands around them.
    void valueAxisHysteresis()
    {
        const auto dialog = offlineChart(false);
        for (int i = 0; i < 3; ++i)
            answerAt(*dialog, 5 * i, 5);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        QCOMPARE(curveOf(*dialog)->baseline(), -12.0); // the fill reaches below the axis
        answerAt(*dialog, 15, 6);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        answerAt(*dialog, 20, 100);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 109.0));
    }

    // The time axis widens by halves and doublings from 600 s; an hour of history is kept.
    void timeAxisAndHistory()
    {
        const auto dialog = offlineChart(false);
        for (int s = 0; s <= 61 * 60; s += 60) {
            answerAt(*dialog, s, s);
            if (s == 900)
                QCOMPARE(axisRange(*dialog, QwtPlot::xBottom), qMakePair(double(kT0), double(kT0 + 900)));
            if (s == 960)
                QCOMPARE(axisRange(*dialog, QwtPlot::xBottom), qMakePair(double(kT0), double(kT0 + 1200)));
        }
        const QVector<QPointF> samples = dialog->samples();
        QCOMPARE(samples.size(), 61);
        QCOMPARE(samples.first(), QPointF(kT0 + 60, 60));
        QCOMPARE(samples.last(), QPointF(kT0 + 3660, 3660));
        QCOMPARE(axisRange(*dialog, QwtPlot::xBottom), qMakePair(double(kT0 + 60), double(kT0 + 60 + 3600)));
    }

    void nonIntegerValues_data()
    {
        QTest::addColumn<QList<SnmpOidUtils::OidValue>>("results");
        QTest::newRow("empty list (failed poll)") << QList<SnmpOidUtils::OidValue>();
        QTest::newRow("octet string of digits") << result(QByteArray("123"));
        QTest::newRow("object identifier") << result(QStringLiteral("1.3.6.1.4.1.32473.1"));
        QList<SnmpOidUtils::OidValue> exception = result(QVariant());
        exception.first().exception = SnmpOidUtils::OidValue::NoSuchInstance;
        QTest::newRow("noSuchInstance") << exception;
        QTest::newRow("Counter64 above INT64_MAX")
            << result(QVariant::fromValue(quint64(std::numeric_limits<qint64>::max()) + 1));
    }

    void nonIntegerValues()
    {
        QFETCH(QList<SnmpOidUtils::OidValue>, results);
        const auto dialog = offlineChart(false);
        dialog->onGetValueFinished(QString(), QString::fromLatin1(kOid), results);
        QVERIFY(dialog->samples().isEmpty());
        QVERIFY(dialog->pollTimer()->isActive()); // polling goes on
    }

    // "<value with no decimals>, HH:mm:ss" under the mouse.
    void trackerText()
    {
        const auto dialog = offlineChart(false);
        answerAt(*dialog, 0, 1234);
        QwtPlot* plot = dialog->plot();
        plot->resize(450, 200);
        plot->updateLayout();
        auto* picker = plot->canvas()->findChild<QwtPlotPicker*>();
        QVERIFY(picker);
        const QwtScaleMap xMap = plot->canvasMap(QwtPlot::xBottom);
        const QwtScaleMap yMap = plot->canvasMap(QwtPlot::yLeft);
        const QPoint pos(qRound(xMap.transform(kT0 + 300)), qRound(yMap.transform(1234)));
        const QString text = static_cast<QwtPicker*>(picker)->trackerText(pos).text();
        const qint64 y = qint64(std::floor(yMap.invTransform(pos.y()) + 0.5));
        const QString time = QDateTime::fromMSecsSinceEpoch(qRound64(xMap.invTransform(pos.x()) * 1000))
                                 .toString(QStringLiteral("HH:mm:ss"));
        QCOMPARE(text, QString::number(y) + QStringLiteral(", ") + time);
    }

    // Against the agent: the first show places the window and polls; "1 minute" clears the
    // history, polls at once and waits 60 s after each answer; an answer to a poll issued
    // before the change, or before the close, is dropped.
    void liveAgent()
    {
        QPointer<OidChartDialog> dialog = new OidChartDialog(device(m_agent.address()), QStringLiteral("sysUpTime"),
                                                             SnmpdFixture::kOidSysUpTime, true);
        dialog->show();
        QCOMPARE(dialog->size(), centeredFractionRect(dialog.data(), 0.25).size());
        QCOMPARE(dialog->intervalBox()->pos(), QPoint(dialog->width() - 10 - dialog->intervalBox()->width(), 10));
        dialog->resize(500, 300);
        QCOMPARE(dialog->intervalBox()->pos(), QPoint(500 - 10 - dialog->intervalBox()->width(), 10));
        QTRY_VERIFY_WITH_TIMEOUT(dialog->samples().size() >= 2, 20000);

        dialog->pollTimer()->stop();
        dialog->onReadValue(); // outstanding across the change
        dialog->intervalBox()->setCurrentIndex(4);
        QVERIFY(dialog->samples().isEmpty());
        QCOMPARE(curveOf(*dialog)->dataSize(), size_t(0));
        QCOMPARE(dialog->pollInterval(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog->samples().size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
        QCOMPARE(dialog->samples().size(), 2); // the old poll's answer added nothing
        QCOMPARE(dialog->samples().first().y(), 0.0);
        QVERIFY(dialog->pollTimer()->remainingTime() > 55000);

        dialog->pollTimer()->stop();
        dialog->onReadValue();
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
    }
};

QTEST_MAIN(TestOidChart)
#include "test_oidchart.moc"
