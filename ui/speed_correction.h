// The speed-correction chart window: the ship's speed and the average shot
// distance of the file being speed-corrected, against time, with the trace
// spacing the correction uses. Filled through the job host's chart calls.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string_view>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace tessara
{

/// Points of a series in ascending time, reduced to what `columns` screen
/// columns across its time span can show: in each column the first, the
/// lowest, the highest and the last point, in time order. A series that
/// fits (at most 4 points a column) is returned as it is.
[[nodiscard]] QList<QPointF> ThinToColumns(const QList<QPointF>& points, int columns);

/// Milliseconds since 1970-01-01 00:00 of a time in 100-nanosecond ticks
/// since 0001-01-01 00:00, both without time zone.
[[nodiscard]] double TicksToEpochMs(std::int64_t ticks);

/// A time axis with ticks on round clock times.
struct TimeAxisTicks {
    double firstMs = 0; ///< the axis starts here, a multiple of the step
    double lastMs = 0;  ///< and ends here, a multiple of the step
    int tickCount = 2;
    qint64 stepMs = 1000;
    QString format; ///< "HH:mm:ss" below a minute's step, else "HH:mm"
};

/// The smallest round step (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
/// 1, 2, 3, 6, 12 h; 1 day) whose ticks cover `firstMs`..`lastMs` with at
/// most `maxTicks` ticks; the coarsest step when none does.
[[nodiscard]] TimeAxisTicks RoundTimeTicks(double firstMs, double lastMs, int maxTicks);

/// A value axis from 0 with ticks on round values.
struct ValueAxisTicks {
    double max = 1;    ///< the axis ends here, a multiple of the step
    int tickCount = 6; ///< ticks from 0 to `max`, both ends included
    double step = 0.2;
};

/// The smallest step of 1, 2, 2.5 or 5 times a power of ten whose ticks from
/// 0 pass `largest` with at most `maxTicks` ticks; a `largest` below 1e-9
/// or not finite gives 0 to 1.
[[nodiscard]] ValueAxisTicks RoundValueTicks(double largest, int maxTicks);

class SpeedCorrection : public QWidget
{
    Q_OBJECT
public:
    /// Escape hides the window; the next speed-corrected output shows it again.
    explicit SpeedCorrection(QWidget* parent = nullptr);

    /// Starts a new file: sets the title, shows the window and empties the
    /// three series and the points gathered so far.
    void Begin(std::string_view title);
    /// Gathers one fix; a speed or spacing that is not finite is left out of
    /// its chart (the other value of the fix is still plotted).
    void AddFix(std::int64_t ticks, double speedMps, double spacingM);
    /// The spacing line from `fromTicks` to `toTicks`; `titleSuffix` is
    /// appended to the title.
    void SetSpacing(std::int64_t fromTicks,
                    std::int64_t toTicks,
                    double spacingM,
                    std::string_view titleSuffix);
    /// Fills both data series with the gathered fixes in one call each, in
    /// ascending time, and draws the charts once. Like a fast line, a long
    /// series keeps per screen column only the points that can show there.
    void End();

    QChartView* tChart1;
    QChartView* tChart2;
    QLineSeries* fastLine1; ///< (time, speed)
    QLineSeries* fastLine2; ///< (time, average shot distance)
    QLineSeries* line1;     ///< the spacing used, at the first and last fix

protected:
    void changeEvent(QEvent* event) override;

private:
    void FitAxes();
    static void FitValueAxis(QValueAxis& axis, double largest);
    void FollowPalette();

    QList<QPointF> m_speeds;
    QList<QPointF> m_spacings;
    double m_localOffsetMs = 0; ///< shown as local time by the axes
    bool m_haveOffset = false;
    QDateTimeAxis* m_time1;
    QDateTimeAxis* m_time2;
    QValueAxis* m_speedAxis;
    QValueAxis* m_spacingAxis;
};

} // namespace tessara
