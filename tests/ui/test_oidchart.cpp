// The live OID chart: sample rules, axes and polling with a fake clock and fabricated
// answers, and one run against the snmpd test agent.

#include "OidChartDialog.h"
#include "ScreenGeometry.h"
#include "SnmpAsyncReader.h"
#include "SnmpdFixture.h"

#include <QComboBox>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr char kOid[] = "1.3.6.1.4.1.32473.1.5.0";
constexpr qint64 kT0 = 1700000000;

SnmpOidUtils::Device offlineDevice()
{
    SnmpOidUtils::Device device;
    device.ip = QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
    device.version = 1;
    device.community = QString::fromLatin1(SnmpdFixture::kCommunity);
    return device;
}

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

QVector<double> ys(const QVector<QPointF>& points)
{
    QVector<double> values;
    for (const QPointF& p : points)
        values << p.y();
    return values;
}

} // namespace

class TestOidChart final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    QDateTime m_now = QDateTime::fromSecsSinceEpoch(kT0);

    void useFakeClock(OidChartDialog& dialog)
    {
        dialog.setClock([this] { return m_now; });
    }

    // Answers with value at kT0 + seconds.
    void answerAt(OidChartDialog& dialog, qint64 seconds, const QVariant& value)
    {
        m_now = QDateTime::fromSecsSinceEpoch(kT0 + seconds);
        dialog.onGetValueFinished(QString(), QString::fromLatin1(kOid), result(value));
    }

    SnmpOidUtils::Device agentDevice() const
    {
        SnmpOidUtils::Device device;
        device.ip = m_agent.address();
        device.version = 1;
        device.community = QString::fromLatin1(SnmpdFixture::kCommunity);
        return device;
    }

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent);
        SnmpAsyncReader::instance();
    }

    void init() { m_now = QDateTime::fromSecsSinceEpoch(kT0); }

    void titles()
    {
        SnmpOidUtils::Device device = offlineDevice();
        device.ip = QStringLiteral("10.0.0.1");
        OidChartDialog named(device, QStringLiteral("ifInOctets"), QStringLiteral("1.3.6.1.2.1.2.2.1.10.2"), true);
        QCOMPARE(named.windowTitle(), QStringLiteral("10.0.0.1 - ifInOctets (1.3.6.1.2.1.2.2.1.10.2)"));
        OidChartDialog unnamed(device, QString(), QStringLiteral("1.3.6.1.2.1.2.2.1.10.2"), true);
        QCOMPARE(unnamed.windowTitle(), QStringLiteral("10.0.0.1 - 1.3.6.1.2.1.2.2.1.10.2"));
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
        OidChartDialog dialog(offlineDevice(), QString(), QString::fromLatin1(kOid), difference);
        useFakeClock(dialog);
        for (int i = 0; i < values.size(); ++i)
            answerAt(dialog, 5 * i, QVariant::fromValue(values.at(i)));
        QVector<double> times{double(kT0), double(kT0 + 1)};
        for (int i = 1; i < values.size(); ++i)
            times << double(kT0 + 5 * i);
        QVector<double> xs;
        for (const QPointF& p : dialog.samples())
            xs << p.x();
        QCOMPARE(xs, times);
        QCOMPARE(ys(dialog.samples()), plotted);
        QCOMPARE(curveOf(dialog)->dataSize(), size_t(plotted.size()));
        QCOMPARE(axisRange(dialog, QwtPlot::xBottom), qMakePair(double(kT0), double(kT0 + 600)));
        if (difference)
            QVERIFY(axisRange(dialog, QwtPlot::yLeft).first <= *std::min_element(plotted.begin(), plotted.end()));
    }

    void valueAxisHysteresis()
    {
        OidChartDialog dialog(offlineDevice(), QString(), QString::fromLatin1(kOid), false);
        useFakeClock(dialog);
        for (int i = 0; i < 3; ++i)
            answerAt(dialog, 5 * i, QVariant::fromValue(qint32(5)));
        // half 6, step 1, mid 5, hi 11, lo -1 clamped to 0.
        QCOMPARE(axisRange(dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        QCOMPARE(curveOf(dialog)->baseline(), -12.0); // 2 * 0 - 12
        // mid 5.5 rounds up to 6: hi 12 and lo 0 stay within their bands, the axis stays.
        answerAt(dialog, 15, QVariant::fromValue(qint32(6)));
        QCOMPARE(axisRange(dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        // 5..100: half 47, step 9, mid 53 (52.5 rounded up), hi 100, lo 6; the axis
        // minimum 6 - 9 becomes 0.
        answerAt(dialog, 20, QVariant::fromValue(qint32(100)));
        QCOMPARE(axisRange(dialog, QwtPlot::yLeft), qMakePair(0.0, 109.0));
        QCOMPARE(curveOf(dialog)->baseline(), -109.0);
    }

    void timeAxisWindow()
    {
        OidChartDialog dialog(offlineDevice(), QString(), QString::fromLatin1(kOid), false);
        useFakeClock(dialog);
        for (int s = 0; s <= 900; s += 60)
            answerAt(dialog, s, QVariant::fromValue(qint32(1)));
        QCOMPARE(axisRange(dialog, QwtPlot::xBottom), qMakePair(double(kT0), double(kT0 + 900)));
        answerAt(dialog, 960, QVariant::fromValue(qint32(1))); // span 960: 1200
        QCOMPARE(axisRange(dialog, QwtPlot::xBottom), qMakePair(double(kT0), double(kT0 + 1200)));
    }

    void oneHourHistory()
    {
        OidChartDialog dialog(offlineDevice(), QString(), QString::fromLatin1(kOid), false);
        useFakeClock(dialog);
        for (int s = 0; s <= 61 * 60; s += 60)
            answerAt(dialog, s, QVariant::fromValue(qint32(s)));
        const QVector<QPointF> samples = dialog.samples();
        QCOMPARE(samples.size(), 61);
        QCOMPARE(samples.first(), QPointF(kT0 + 60, 60));
        QCOMPARE(samples.last(), QPointF(kT0 + 3660, 3660));
        QCOMPARE(axisRange(dialog, QwtPlot::xBottom), qMakePair(double(kT0 + 60), double(kT0 + 60 + 3600)));
    }

    void nonIntegerValues_data()
    {
        QTest::addColumn<QList<SnmpOidUtils::OidValue>>("results");
        QTest::addColumn<bool>("plotted");
        QTest::newRow("empty list (failed poll)") << QList<SnmpOidUtils::OidValue>() << false;
        QTest::newRow("octet string") << result(QByteArray("abc")) << false;
        QTest::newRow("octet string of digits") << result(QByteArray("123")) << false;
        QTest::newRow("object identifier") << result(QStringLiteral("1.3.6.1.4.1.32473.1")) << false;
        QTest::newRow("invalid") << result(QVariant()) << false;
        QList<SnmpOidUtils::OidValue> exception = result(QVariant());
        exception.first().exception = SnmpOidUtils::OidValue::NoSuchInstance;
        QTest::newRow("noSuchInstance") << exception << false;
        QTest::newRow("Counter64 above INT64_MAX")
            << result(QVariant::fromValue(quint64(std::numeric_limits<qint64>::max()) + 1)) << false;
        QTest::newRow("Counter64 INT64_MAX")
            << result(QVariant::fromValue(quint64(std::numeric_limits<qint64>::max()))) << true;
        QTest::newRow("Integer64 negative") << result(QVariant::fromValue(qint64(-5))) << true;
    }

    void nonIntegerValues()
    {
        QFETCH(QList<SnmpOidUtils::OidValue>, results);
        QFETCH(bool, plotted);
        OidChartDialog dialog(offlineDevice(), QString(), QString::fromLatin1(kOid), false);
        useFakeClock(dialog);
        dialog.onGetValueFinished(QString(), QString::fromLatin1(kOid), results);
        QCOMPARE(dialog.samples().size(), plotted ? 2 : 0);
        QVERIFY(dialog.pollTimer()->isActive()); // polling goes on
        QCOMPARE(dialog.pollInterval(), 5000);
    }

    void labelsAndTracker()
    {
        OidChartDialog dialog(offlineDevice(), QString(), QString::fromLatin1(kOid), false);
        useFakeClock(dialog);
        answerAt(dialog, 0, QVariant::fromValue(qint32(1234)));
        QwtPlot* plot = dialog.plot();
        plot->resize(450, 200);
        plot->updateLayout();
        QCOMPARE(plot->axisScaleDraw(QwtPlot::yLeft)->label(12.4).text(), QStringLiteral("12"));
        QCOMPARE(plot->axisScaleDraw(QwtPlot::yLeft)->label(-0.2).text(), QStringLiteral("0"));

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

    // "1 minute" clears the history, polls at once and waits 60 s after each answer; an
    // answer to a poll issued before the change is dropped.
    void intervalChange()
    {
        OidChartDialog dialog(agentDevice(), QString(), QString::fromLatin1(SnmpdFixture::kOidSysUpTime), true);
        useFakeClock(dialog);
        answerAt(dialog, 0, QVariant::fromValue(quint32(100)));
        answerAt(dialog, 5, QVariant::fromValue(quint32(150)));
        dialog.pollTimer()->stop();
        dialog.onReadValue(); // outstanding across the change

        m_now = QDateTime::fromSecsSinceEpoch(kT0 + 100);
        dialog.intervalBox()->setCurrentIndex(4);
        QVERIFY(dialog.samples().isEmpty());
        QCOMPARE(curveOf(dialog)->dataSize(), size_t(0));
        QCOMPARE(dialog.pollInterval(), 60000);
        QVERIFY(dialog.pollTimer()->isActive());
        QCOMPARE(axisRange(dialog, QwtPlot::xBottom), qMakePair(double(kT0 + 100), double(kT0 + 700)));
        QCOMPARE(axisRange(dialog, QwtPlot::yLeft), qMakePair(0.0, 10.0));

        QTRY_COMPARE_WITH_TIMEOUT(dialog.samples().size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
        QCOMPARE(dialog.samples().size(), 2); // the old poll's answer added nothing
        QCOMPARE(dialog.samples().first(), QPointF(kT0 + 100, 0));
        QVERIFY(dialog.pollTimer()->isActive());
        QVERIFY(dialog.pollTimer()->remainingTime() > 55000);
    }

    void liveAgent()
    {
        QPointer<OidChartDialog> dialog = new OidChartDialog(agentDevice(), QStringLiteral("sysUpTime"),
                                                             QString::fromLatin1(SnmpdFixture::kOidSysUpTime), true);
        dialog->show();
        QCOMPARE(dialog->size(), centeredFractionRect(dialog.data(), 0.25).size());
        QCOMPARE(dialog->intervalBox()->pos(), QPoint(dialog->width() - 10 - dialog->intervalBox()->width(), 10));
        QTRY_VERIFY_WITH_TIMEOUT(dialog->samples().size() >= 2, 20000);
        QVERIFY(dialog->pollTimer()->isActive());

        dialog->resize(500, 300);
        QCOMPARE(dialog->intervalBox()->pos(), QPoint(500 - 10 - dialog->intervalBox()->width(), 10));

        // An answer arriving after the close finds no receiver.
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
