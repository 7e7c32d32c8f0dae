#pragma once

#include "snmp/SnmpOidUtils.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QPointF>
#include <QString>
#include <QVector>

#include <functional>

class QComboBox;
class QTimer;
class QwtPlot;
class QwtPlotCurve;
class QwtPointSeriesData;

// A live chart of one numeric OID of one device: one GET per interval (priority 1 through
// SnmpAsyncReader), the last hour of values, counters as the increase since the previous
// poll. Non-modal; deletes itself when closed.
class OidChartDialog final : public QDialog
{
    Q_OBJECT

public:
    // Where "now" comes from (the sample times and reset's time axis); tests set their own.
    using Clock = std::function<QDateTime()>;

    // differenceMode: plot v - previous v (Counter, TimeTicks, Counter64).
    OidChartDialog(const SnmpOidUtils::Device& device, const QString& name, const QString& oid, bool differenceMode,
                   QWidget* parent = nullptr);
    ~OidChartDialog() override;

    void setClock(Clock clock); // an empty clock restores QDateTime::currentDateTime

    // For tests.
    QVector<QPointF> samples() const { return m_samples; } // x: seconds since the epoch
    QwtPlot* plot() const { return m_plot; }
    QComboBox* intervalBox() const { return m_intervalBox; }
    QTimer* pollTimer() const { return m_pollTimer; }
    int pollInterval() const; // ms

public slots:
    void onCurrentIntervalChanged(int index);
    void onReadValue();
    void onGetValueFinished(const QString& ip, const QString& request_path,
                            const QList<SnmpOidUtils::OidValue>& results);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A closed range of axis values; the default one is empty and contains nothing.
    struct Band
    {
        qint64 low = 1;
        qint64 high = 0;
        bool contains(qint64 value) const { return low <= value && value <= high; }
    };

    void reset();
    void addSample(qint64 t, qint64 value);
    void updateValueAxis();
    void updateTimeAxis();
    void placeIntervalBox();
    QDateTime now() const;

    SnmpOidUtils::Device m_device;
    QString m_oid;
    bool m_differenceMode;
    bool m_firstShow = true;

    QComboBox* m_intervalBox = nullptr;
    QTimer* m_pollTimer = nullptr;
    QwtPlot* m_plot = nullptr;
    QwtPlotCurve* m_curve = nullptr;
    QwtPointSeriesData* m_curveData = nullptr; // owned by m_curve
    QString m_timeFormat;                      // the time axis labels'

    QVector<QPointF> m_samples;
    QDateTime m_axisStart;
    QDateTime m_axisEnd;
    Band m_upperBand;
    Band m_lowerBand;
    qint64 m_previous = 0;

    Clock m_clock;
    // Polls carry the generation they were issued in; an interval change starts a new one,
    // so that an answer to an older poll neither adds a sample nor restarts the timer.
    quint64 m_generation = 0;
    bool m_pollPending = false; // a poll of the current generation awaits its answer
};
