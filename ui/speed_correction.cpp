#include "ui/speed_correction.h"

#include "ui/app_icon.h"
#include "ui/child_window.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QEvent>
#include <QLineSeries>
#include <QPalette>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessara
{
namespace
{

/// 0001-01-01 to 1970-01-01: 719162 days.
constexpr std::int64_t kTicksAtEpoch = 719162LL * 86400LL * 10'000'000LL;
constexpr std::int64_t kTicksPerMs = 10'000;

const QColor kSeriesColour(68, 102, 163);
const QColor kSpacingColour(243, 156, 53);

QChartView* MakeChart(QWidget* parent, const char* name, QLineSeries* series)
{
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->addSeries(series);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing, false); // many points: keep drawing cheap
    return view;
}

QLineSeries* MakeSeries(const char* name, const QColor& colour, qreal width)
{
    auto* series = new QLineSeries;
    series->setObjectName(name);
    QPen pen(colour);
    pen.setWidthF(width);
    series->setPen(pen);
    return series;
}

QDateTimeAxis* TimeAxis(const QString& title)
{
    auto* axis = new QDateTimeAxis;
    axis->setFormat("HH:mm:ss");
    axis->setTitleText(title);
    axis->setTickCount(6);
    return axis;
}

bool ByTime(const QPointF& a, const QPointF& b)
{
    return a.x() < b.x();
}

/// Ticks a time axis shows at most: their labels must not run together.
constexpr int kMaxTimeTicks = 7;

/// Ticks a value axis shows at most.
constexpr int kMaxValueTicks = 7;

/// Columns a series is thinned to: more than any chart is wide on screen.
constexpr int kChartColumns = 4096;

} // namespace

QList<QPointF> ThinToColumns(const QList<QPointF>& points, int columns)
{
    if (points.size() <= 4 * static_cast<qsizetype>(columns))
        return points;
    const double first = points.front().x();
    const double span = points.back().x() - first;
    QList<QPointF> thin;
    thin.reserve(4 * columns);
    qsizetype k = 0;
    while (k < points.size()) {
        // One column: the points up to the column's right edge.
        const auto column = static_cast<long long>((points[k].x() - first) / span * columns);
        qsizetype end = k + 1;
        qsizetype low = k;
        qsizetype high = k;
        while (end < points.size() &&
               static_cast<long long>((points[end].x() - first) / span * columns) == column) {
            if (points[end].y() < points[low].y())
                low = end;
            if (points[end].y() > points[high].y())
                high = end;
            ++end;
        }
        qsizetype keep[] = {k, std::min(low, high), std::max(low, high), end - 1};
        for (int i = 0; i < 4; ++i) {
            if (i == 0 || keep[i] != keep[i - 1])
                thin.append(points[keep[i]]);
        }
        k = end;
    }
    return thin;
}

double TicksToEpochMs(std::int64_t ticks)
{
    return static_cast<double>((ticks - kTicksAtEpoch) / kTicksPerMs) +
           static_cast<double>((ticks - kTicksAtEpoch) % kTicksPerMs) / kTicksPerMs;
}

TimeAxisTicks RoundTimeTicks(double firstMs, double lastMs, int maxTicks)
{
    constexpr qint64 kSecond = 1000;
    constexpr qint64 kMinute = 60 * kSecond;
    constexpr qint64 kHour = 60 * kMinute;
    constexpr qint64 steps[] = {kSecond,
                                2 * kSecond,
                                5 * kSecond,
                                10 * kSecond,
                                15 * kSecond,
                                30 * kSecond,
                                kMinute,
                                2 * kMinute,
                                5 * kMinute,
                                10 * kMinute,
                                15 * kMinute,
                                30 * kMinute,
                                kHour,
                                2 * kHour,
                                3 * kHour,
                                6 * kHour,
                                12 * kHour,
                                24 * kHour};
    TimeAxisTicks ticks;
    for (const qint64 step : steps) {
        const double size = static_cast<double>(step);
        ticks.stepMs = step;
        ticks.firstMs = std::floor(firstMs / size) * size;
        ticks.lastMs = std::ceil(lastMs / size) * size;
        if (ticks.lastMs <= ticks.firstMs)
            ticks.lastMs = ticks.firstMs + size; // one point: one step around it
        const double intervals = std::round((ticks.lastMs - ticks.firstMs) / size);
        ticks.tickCount = static_cast<int>(std::min(intervals, 1e6)) + 1;
        if (ticks.tickCount <= maxTicks)
            break;
    }
    ticks.format = ticks.stepMs < kMinute ? "HH:mm:ss" : "HH:mm";
    return ticks;
}

ValueAxisTicks RoundValueTicks(double largest, int maxTicks)
{
    ValueAxisTicks ticks;
    // Below a nanometre or a nanometre a second the data are zero.
    if (!(largest >= 1e-9) || !std::isfinite(largest) || maxTicks < 2)
        return ticks;
    const int intervals = maxTicks - 1;
    // The step is at least largest / intervals: start one power of ten below.
    double power = std::pow(10.0, std::floor(std::log10(largest / intervals)) - 1);
    for (;; power *= 10) {
        for (const double multiple : {1.0, 2.0, 2.5, 5.0}) {
            const double step = multiple * power;
            // The axis ends a tick above the largest value, also when that
            // value lies on a tick: a line along the frame is not seen.
            const double count = std::floor(largest / step) + 1;
            if (count <= intervals) {
                ticks.step = step;
                ticks.tickCount = static_cast<int>(count) + 1;
                ticks.max = count * step;
                return ticks;
            }
        }
    }
}

SpeedCorrection::SpeedCorrection(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("SpeedCorrection");
    setWindowIcon(AppIcon());
    fastLine1 = MakeSeries("fastLine1", kSeriesColour, 1);
    fastLine2 = MakeSeries("fastLine2", kSeriesColour, 1);
    line1 = MakeSeries("line1", kSpacingColour, 2);
    fastLine1->setName("Ship speed");
    fastLine2->setName("Average shot distance");
    line1->setName("Trace spacing used");
    tChart1 = MakeChart(this, "tChart1", fastLine1);
    tChart2 = MakeChart(this, "tChart2", fastLine2);
    tChart2->chart()->addSeries(line1);

    m_time1 = TimeAxis(QString());
    m_speedAxis = new QValueAxis;
    m_speedAxis->setTitleText("Ship Speed (m/s)");
    m_speedAxis->setLabelFormat("%.4g");
    QChart* top = tChart1->chart();
    top->addAxis(m_time1, Qt::AlignBottom);
    top->addAxis(m_speedAxis, Qt::AlignLeft);
    fastLine1->attachAxis(m_time1);
    fastLine1->attachAxis(m_speedAxis);

    m_time2 = TimeAxis("Time");
    m_spacingAxis = new QValueAxis;
    m_spacingAxis->setTitleText("Ave Shot Distance (m) ");
    m_spacingAxis->setLabelFormat("%.4g");
    QChart* bottom = tChart2->chart();
    bottom->addAxis(m_time2, Qt::AlignBottom);
    bottom->addAxis(m_spacingAxis, Qt::AlignLeft);
    for (QLineSeries* s : {fastLine2, line1}) {
        s->attachAxis(m_time2);
        s->attachAxis(m_spacingAxis);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tChart1, 1);
    layout->addWidget(tChart2, 1);
    resize(900, 700);
    FollowPalette();
    FitValueAxis(*m_speedAxis, 0);
    FitValueAxis(*m_spacingAxis, 0);
    // The window has no title-bar buttons; Escape is the way to put it away.
    CloseOnEscape(*this, [this] { hide(); });
}

void SpeedCorrection::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        FollowPalette();
    QWidget::changeEvent(event);
}

// The charts take the window's colours, so that a dark desktop theme gives
// dark charts; the series keep their own colours.
void SpeedCorrection::FollowPalette()
{
    const QPalette& p = palette();
    const QColor text = p.color(QPalette::WindowText);
    const QColor grid = p.color(QPalette::Mid);
    for (QChartView* view : {tChart1, tChart2}) {
        QChart* chart = view->chart();
        chart->setBackgroundBrush(p.brush(QPalette::Base));
        chart->setBackgroundPen(QPen(grid));
        chart->legend()->setLabelColor(text);
        for (QAbstractAxis* axis : chart->axes()) {
            axis->setLabelsColor(text);
            axis->setTitleBrush(text);
            axis->setLinePenColor(text);
            axis->setGridLineColor(grid);
        }
    }
}

void SpeedCorrection::Begin(std::string_view title)
{
    setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    show();
    m_speeds.clear();
    m_spacings.clear();
    m_haveOffset = false;
    fastLine1->clear();
    fastLine2->clear();
    line1->clear();
}

void SpeedCorrection::AddFix(std::int64_t ticks, double speedMps, double spacingM)
{
    const double ms = TicksToEpochMs(ticks);
    if (!m_haveOffset) {
        // The axes label their values in local time; the fixes carry no time
        // zone, so they are shifted by the local offset to show as recorded.
        const QDateTime utc = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Qt::UTC);
        const QDateTime local(utc.date(), utc.time());
        m_localOffsetMs = 1000.0 * local.offsetFromUtc();
        m_haveOffset = true;
    }
    const double x = ms - m_localOffsetMs;
    if (std::isfinite(speedMps))
        m_speeds.append(QPointF(x, speedMps));
    if (std::isfinite(spacingM))
        m_spacings.append(QPointF(x, spacingM));
}

void SpeedCorrection::SetSpacing(std::int64_t fromTicks,
                                 std::int64_t toTicks,
                                 double spacingM,
                                 std::string_view titleSuffix)
{
    setWindowTitle(windowTitle() + QString::fromUtf8(titleSuffix.data(),
                                                     static_cast<qsizetype>(titleSuffix.size())));
    if (std::isfinite(spacingM)) {
        const double from = TicksToEpochMs(fromTicks) - m_localOffsetMs;
        const double to = TicksToEpochMs(toTicks) - m_localOffsetMs;
        line1->replace(QList<QPointF>{QPointF(from, spacingM), QPointF(to, spacingM)});
    } else {
        line1->clear();
    }
    FitAxes();
}

void SpeedCorrection::End()
{
    tChart1->setUpdatesEnabled(false);
    tChart2->setUpdatesEnabled(false);
    std::stable_sort(m_speeds.begin(), m_speeds.end(), ByTime);
    std::stable_sort(m_spacings.begin(), m_spacings.end(), ByTime);
    fastLine1->replace(ThinToColumns(m_speeds, kChartColumns));
    fastLine2->replace(ThinToColumns(m_spacings, kChartColumns));
    FitAxes();
    tChart1->setUpdatesEnabled(true);
    tChart2->setUpdatesEnabled(true);
    tChart1->update();
    tChart2->update();
}

void SpeedCorrection::FitAxes()
{
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    double fastest = 0;
    double widest = 0;
    for (const QLineSeries* s : {fastLine1, fastLine2, line1}) {
        const QList<QPointF> points = s->points();
        if (points.isEmpty())
            continue;
        first = std::min(first, points.front().x());
        last = std::max(last, points.back().x());
        double& largest = s == fastLine1 ? fastest : widest;
        for (const QPointF& p : points)
            largest = std::max(largest, p.y());
    }
    if (first > last)
        return; // nothing to show yet
    if (last - first < 1000.0) {
        first -= 500.0;
        last += 500.0;
    }
    const TimeAxisTicks ticks = RoundTimeTicks(first, last, kMaxTimeTicks);
    for (QDateTimeAxis* axis : {m_time1, m_time2}) {
        axis->setFormat(ticks.format);
        axis->setTickCount(ticks.tickCount);
        axis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ticks.firstMs)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ticks.lastMs)));
    }
    // Both charts start at 0 and reach the largest value on a round tick.
    FitValueAxis(*m_speedAxis, fastest);
    FitValueAxis(*m_spacingAxis, widest);
}

void SpeedCorrection::FitValueAxis(QValueAxis& axis, double largest)
{
    const ValueAxisTicks ticks = RoundValueTicks(largest, kMaxValueTicks);
    axis.setRange(0, ticks.max);
    axis.setTickCount(ticks.tickCount);
}

} // namespace tessara
