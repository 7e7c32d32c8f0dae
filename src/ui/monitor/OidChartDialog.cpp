#include "ui/monitor/OidChartDialog.h"

#include "ui/widgets/ScreenGeometry.h"
#include "snmp/SnmpAsyncReader.h"

#include <QColor>
#include <QComboBox>
#include <QLocale>
#include <QPen>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_series_data.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr int kInitialAxisSeconds = 600;
constexpr qint64 kHistorySeconds = 3600;

// Nearest integer, halves upward, saturated at the ends of the 64-bit range.
qint64 roundHalfUp(double value)
{
    const double r = std::floor(value + 0.5);
    if (std::isnan(r))
        return 0;
    if (r >= 9223372036854775807.0) // 2^63: the first double above kInt64Max
        return kInt64Max;
    if (r <= -9223372036854775808.0)
        return kInt64Min;
    return static_cast<qint64>(r);
}

qint64 saturatedAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? kInt64Max : kInt64Min;
    return sum;
}

qint64 saturatedSub(qint64 a, qint64 b)
{
    qint64 difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? kInt64Max : kInt64Min;
    return difference;
}

// The value with no decimals (never "-0").
QString noDecimals(double value)
{
    return QString::number(roundHalfUp(value));
}

QDateTime localTime(double secondsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(roundHalfUp(secondsSinceEpoch * 1000.0), Qt::LocalTime);
}

// A result's value as a 64-bit signed integer. Only the integer variants of
// SnmpOidUtils::toVariant count: an octet string is no number even when it holds digits,
// and an unsigned 64-bit value above INT64_MAX is refused instead of wrapping to negative.
bool integerValue(const SnmpOidUtils::OidValue& result, qint64& value)
{
    if (result.isException())
        return false;
    switch (result.value.userType()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        value = result.value.toLongLong();
        return true;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort: {
        const qulonglong unsignedValue = result.value.toULongLong();
        if (unsignedValue > static_cast<qulonglong>(kInt64Max))
            return false;
        value = static_cast<qint64>(unsignedValue);
        return true;
    }
    default:
        return false;
    }
}

// Bottom axis labels: the value as seconds since the epoch, in local time.
class TimeScaleDraw final : public QwtScaleDraw
{
public:
    explicit TimeScaleDraw(const QString& format)
        : m_format(format)
    {
    }

    QwtText label(double value) const override { return localTime(value).toString(m_format); }

private:
    QString m_format;
};

// Left axis labels: the value with no decimals.
class ValueScaleDraw final : public QwtScaleDraw
{
public:
    QwtText label(double value) const override { return noDecimals(value); }
};

// The tracker: "<y with no decimals>, HH:mm:ss".
class PlotPicker final : public QwtPlotPicker
{
public:
    PlotPicker(int xAxis, int yAxis, RubberBand rubberBand, DisplayMode trackerMode, QWidget* canvas)
        : QwtPlotPicker(xAxis, yAxis, rubberBand, trackerMode, canvas)
    {
    }

protected:
    QwtText trackerTextF(const QPointF& pos) const override
    {
        return QwtText(noDecimals(pos.y()) + localTime(pos.x()).toString(QStringLiteral(", HH:mm:ss")));
    }
};

} // namespace

OidChartDialog::OidChartDialog(const SnmpOidUtils::Device& device, const QString& name, const QString& oid,
                               bool differenceMode, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , m_device(device)
    , m_oid(oid)
    , m_differenceMode(differenceMode)
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (name.isEmpty())
        setWindowTitle(QStringLiteral("%1 - %2").arg(device.ip, oid));
    else
        setWindowTitle(QStringLiteral("%1 - %2 (%3)").arg(device.ip, name, oid));
    setMinimumSize(200, 150);
    resize(450, 200);

    m_pollTimer = new QTimer(this);
    m_pollTimer->setSingleShot(true);
    m_pollTimer->setInterval(5000);

    m_plot = new QwtPlot(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot);

    m_timeFormat = QLocale::system().timeFormat(QLocale::ShortFormat);
    auto* timeDraw = new TimeScaleDraw(m_timeFormat);
    timeDraw->setLabelRotation(0);
    timeDraw->setLabelAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    timeDraw->setSpacing(10);
    m_plot->setAxisScaleDraw(QwtPlot::xBottom, timeDraw);
    m_plot->axisScaleEngine(QwtPlot::xBottom)->setAttribute(QwtScaleEngine::Floating, true);

    m_plot->setAxisScaleEngine(QwtPlot::yLeft, new QwtLinearScaleEngine(10));
    m_plot->setAxisScaleDraw(QwtPlot::yLeft, new ValueScaleDraw);
    m_plot->setAxisAutoScale(QwtPlot::yLeft, true);

    m_plot->setCanvasBackground(QBrush(Qt::white));

    auto* picker = new PlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::CrossRubberBand, QwtPicker::AlwaysOn,
                                  m_plot->canvas());
    picker->setStateMachine(new QwtPickerTrackerMachine);

    const QColor color = QColor(Qt::green).darker(120);
    m_curve = new QwtPlotCurve;
    m_curve->setPen(color, 1);
    m_curve->setBrush(QBrush(color, Qt::SolidPattern));
    m_curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    m_curveData = new QwtPointSeriesData;
    m_curve->setData(m_curveData);
    m_curve->attach(m_plot);

    reset();

    m_intervalBox = new QComboBox(this);
    m_intervalBox->addItem(tr("5 seconds"), 5);
    m_intervalBox->addItem(tr("10 seconds"), 10);
    m_intervalBox->addItem(tr("15 seconds"), 15);
    m_intervalBox->addItem(tr("30 seconds"), 30);
    m_intervalBox->addItem(tr("1 minute"), 60);
    m_intervalBox->addItem(tr("5 minutes"), 300);
    m_intervalBox->setCurrentIndex(0);
    m_intervalBox->adjustSize();
    connect(m_intervalBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &OidChartDialog::onCurrentIntervalChanged);
    connect(m_pollTimer, &QTimer::timeout, this, &OidChartDialog::onReadValue);
}

OidChartDialog::~OidChartDialog() = default;

void OidChartDialog::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

QDateTime OidChartDialog::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

int OidChartDialog::pollInterval() const
{
    return m_pollTimer->interval();
}

void OidChartDialog::onCurrentIntervalChanged(int index)
{
    if (index < 0)
        return;
    const int seconds = m_intervalBox->itemData(index).toInt();
    m_pollTimer->stop();
    m_pollTimer->setInterval(seconds * 1000);
    m_pollTimer->start();
    // Answers to polls issued before now belong to the cleared history.
    ++m_generation;
    m_pollPending = false;
    reset();
    m_plot->replot();
    onReadValue();
}

void OidChartDialog::onReadValue()
{
    // One poll at a time: its answer restarts the timer. The timer only runs alongside a poll
    // after the first show and after an interval change.
    if (m_pollPending)
        return;
    m_pollPending = true;
    const quint64 generation = m_generation;
    SnmpAsyncReader::instance()->get(
        m_device, m_oid, 1,
        [this, generation](const QString& ip, const QString& requestPath,
                           const QList<SnmpOidUtils::OidValue>& results) {
            if (generation != m_generation)
                return;
            m_pollPending = false;
            onGetValueFinished(ip, requestPath, results);
        },
        this);
}

void OidChartDialog::onGetValueFinished(const QString& ip, const QString& request_path,
                                        const QList<SnmpOidUtils::OidValue>& results)
{
    Q_UNUSED(ip)
    Q_UNUSED(request_path)
    qint64 value = 0;
    if (!results.isEmpty() && integerValue(results.constFirst(), value))
        addSample(now().toSecsSinceEpoch(), value);
    m_pollTimer->start();
}

void OidChartDialog::reset()
{
    m_samples.clear();
    m_curveData->setSamples(m_samples);
    m_curve->itemChanged();
    m_axisStart = QDateTime();
    m_axisEnd = QDateTime();
    m_upperBand = Band();
    m_lowerBand = Band();
    m_plot->setAxisScale(QwtPlot::yLeft, 0, 10);
    const qint64 t = now().toSecsSinceEpoch();
    m_plot->setAxisScale(QwtPlot::xBottom, static_cast<double>(t), static_cast<double>(t + kInitialAxisSeconds));
}

void OidChartDialog::addSample(qint64 t, qint64 value)
{
    qint64 x = t;
    if (m_samples.isEmpty()) {
        m_previous = value;
        m_samples.append(QPointF(static_cast<double>(t), m_differenceMode ? 0.0 : static_cast<double>(value)));
        x = t + 1;
    }
    // The increase per poll; the difference wraps instead of overflowing (it cannot for the
    // non-negative values of counters, which are all difference mode is used for).
    const qint64 y =
        m_differenceMode ? static_cast<qint64>(static_cast<quint64>(value) - static_cast<quint64>(m_previous)) : value;
    m_samples.append(QPointF(static_cast<double>(x), static_cast<double>(y)));
    m_previous = value;

    int old = 0;
    while (old < m_samples.size() && m_samples.at(old).x() < static_cast<double>(t - kHistorySeconds))
        ++old;
    m_samples.remove(0, old);

    updateValueAxis();
    updateTimeAxis();

    m_curveData->setSamples(m_samples);
    m_curve->itemChanged();
    m_plot->replot();
}

void OidChartDialog::updateValueAxis()
{
    double yMin = m_samples.constFirst().y();
    double yMax = yMin;
    for (const QPointF& sample : qAsConst(m_samples)) {
        yMin = std::min(yMin, sample.y());
        yMax = std::max(yMax, sample.y());
    }
    qint64 half = roundHalfUp(yMax - yMin) / 2;
    if (half <= 6)
        half = 6;
    const qint64 step = half / 5;
    const qint64 mid = roundHalfUp((yMin + yMax) / 2.0);
    const qint64 hi = saturatedAdd(mid, half);
    qint64 lo = saturatedSub(mid, half);
    if (!m_differenceMode && yMin >= 0 && lo < 0)
        lo = 0;

    if (m_upperBand.contains(hi) && m_lowerBand.contains(lo))
        return;
    m_upperBand = {saturatedSub(hi, step), saturatedAdd(hi, step)};
    m_lowerBand = {saturatedSub(lo, step), saturatedAdd(lo, step)};
    const qint64 axisMax = saturatedAdd(hi, step);
    qint64 axisMin = saturatedSub(lo, step);
    if (!m_differenceMode && lo >= 0 && axisMin < 0) {
        axisMin = 0;
        m_lowerBand.low = 0;
    }
    // Outside difference mode the fill reaches below the bottom edge.
    m_curve->setBaseline(m_differenceMode ? 0.0 : 2.0 * static_cast<double>(axisMin) - static_cast<double>(axisMax));
    m_plot->setAxisScale(QwtPlot::yLeft, static_cast<double>(axisMin), static_cast<double>(axisMax));
}

void OidChartDialog::updateTimeAxis()
{
    const double first = m_samples.constFirst().x();
    const double span = m_samples.constLast().x() - first;
    double window = kInitialAxisSeconds;
    while (window < span) {
        if (1.5 * window >= span) {
            window *= 1.5;
            break;
        }
        window *= 2;
    }
    const QDateTime start = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(first));
    const QDateTime end = start.addSecs(static_cast<qint64>(window));
    if (start == m_axisStart && end == m_axisEnd)
        return;
    m_axisStart = start;
    m_axisEnd = end;
    m_plot->setAxisScale(QwtPlot::xBottom, first, first + window);
}

void OidChartDialog::placeIntervalBox()
{
    m_intervalBox->move(width() - 10 - m_intervalBox->width(), 10);
}

void OidChartDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_intervalBox)
        placeIntervalBox();
    // As many time labels as fit side by side: Qwt's default of 8 overlaps them in a window
    // of the chart's usual size.
    const QFontMetrics metrics(m_plot->axisWidget(QwtPlot::xBottom)->font());
    const int labelWidth = metrics.horizontalAdvance(QTime(23, 59, 59).toString(m_timeFormat)) + 3 * metrics.height();
    m_plot->setAxisMaxMajor(QwtPlot::xBottom, std::max(2, m_plot->width() / std::max(1, labelWidth)));
}

void OidChartDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    resize(centeredFractionRect(this, 0.25).size());
    placeIntervalBox();
    m_pollTimer->start();
    onReadValue();
}
