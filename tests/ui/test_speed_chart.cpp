// The speed-correction chart, filled through the job host's chart calls.
#include "tests/ui/ui_test_support.h"
#include "ui/processing_log.h"
#include "ui/speed_correction.h"
#include "ui/window_job_host.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QValueAxis>
#include <QtTest>

#include <cmath>
#include <limits>

namespace tessara::test
{
namespace
{

// 2003-09-12 17:35:00 (day 255) in 100-ns ticks since 0001-01-01: 731469
// days (as .NET's DateTime(2003, 9, 12).Ticks / 864000000000 gives).
constexpr std::int64_t kDay = 864'000'000'000LL;
constexpr std::int64_t kStart = 731'469LL * kDay + (17LL * 3600 + 35 * 60) * 10'000'000LL;
constexpr std::int64_t kSecond = 10'000'000LL;

QValueAxis* VerticalAxis(QChartView* view)
{
    return qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).front());
}

} // namespace

using Ticks = QList<double>; // first, last (ms), tick count, step (ms)

class TestSpeedChart : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_ui = std::make_unique<WindowUnderTest>();
        Form1& w = *m_ui->window;
        m_host = std::make_unique<CWindowJobHost>(*w.plog,
                                                  *w.label_status,
                                                  *w.listBox_input_segy_files,
                                                  *m_ui->prompts,
                                                  [this]() -> SpeedCorrection& {
                                                      if (!m_chart)
                                                          m_chart =
                                                              std::make_unique<SpeedCorrection>();
                                                      return *m_chart;
                                                  });
    }
    void cleanup()
    {
        m_host.reset();
        m_chart.reset();
        m_ui.reset();
    }

    void ticks_convert_to_calendar_time();
    void series_colours_titles_and_ranges();
    void second_file_refills_the_same_window();
    void non_finite_points_are_left_out();
    void fixed_spacing_of_5_gives_two_points_and_title();
    void long_series_keep_each_columns_extremes();
    void status_shows_the_last_text_set();
    void round_time_ticks_data();
    void round_time_ticks();
    void dark_palette_gives_a_dark_chart();

private:
    void FillFile(int fixes, double speed, double spacing, std::int64_t start = kStart)
    {
        m_host->ChartBegin("Speed Correction from 255 file");
        for (int k = 0; k < fixes; ++k)
            m_host->ChartAddFix(start + k * kSecond, speed, spacing);
        m_host->ChartSetSpacing(
            start, start + (fixes - 1) * kSecond, spacing, " shot spacing = 4.9 m");
        m_host->ChartEnd();
    }

    std::unique_ptr<WindowUnderTest> m_ui;
    std::unique_ptr<SpeedCorrection> m_chart;
    std::unique_ptr<CWindowJobHost> m_host;
};

void TestSpeedChart::ticks_convert_to_calendar_time()
{
    const QDateTime t =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(TicksToEpochMs(kStart)), Qt::UTC);
    QCOMPARE(t.date(), QDate(2003, 9, 12));
    QCOMPARE(t.date().dayOfYear(), 255);
    QCOMPARE(t.time(), QTime(17, 35));
    QCOMPARE(TicksToEpochMs(kStart + 5000), TicksToEpochMs(kStart) + 0.5);
}

void TestSpeedChart::series_colours_titles_and_ranges()
{
    FillFile(50, 20.0, 4.0);
    SpeedCorrection& chart = *m_chart;
    QVERIFY(chart.isVisible());
    QCOMPARE(chart.fastLine1->pen().color(), QColor(68, 102, 163));
    QCOMPARE(chart.fastLine2->pen().color(), QColor(68, 102, 163));
    QCOMPARE(chart.line1->pen().color(), QColor(243, 156, 53));
    QValueAxis* speed = VerticalAxis(chart.tChart1);
    QCOMPARE(speed->titleText(), QString("Ship Speed (m/s)"));
    // Both ranges end on the round tick above the data (steps of 1, 2, 2.5
    // or 5 times a power of ten, at most 7 ticks), also from a value on a tick.
    QCOMPARE(speed->min(), 0.0);
    QCOMPARE(speed->max(), 25.0);
    QCOMPARE(speed->tickCount(), 6);
    QValueAxis* spacing = VerticalAxis(chart.tChart2);
    QCOMPARE(spacing->titleText(), QString("Ave Shot Distance (m) "));
    QCOMPARE(spacing->min(), 0.0);
    QCOMPARE(spacing->max(), 5.0);
    auto* time1 =
        qobject_cast<QDateTimeAxis*>(chart.tChart1->chart()->axes(Qt::Horizontal).front());
    auto* time2 =
        qobject_cast<QDateTimeAxis*>(chart.tChart2->chart()->axes(Qt::Horizontal).front());
    QVERIFY(time1 != nullptr && time2 != nullptr);
    QVERIFY(time1->titleText().isEmpty());
    QCOMPARE(time2->titleText(), QString("Time"));
    QVERIFY(chart.tChart1->chart()->legend()->isVisible());
    QVERIFY(chart.tChart1->chart()->title().isEmpty());
    // The axis shows the fixes' own clock time, 17:35:00 to 17:35:49, on
    // round ticks: 10 s apart, 17:35:00 to 17:35:50.
    QCOMPARE(time1->min().time(), QTime(17, 35));
    QCOMPARE(time1->max().time(), QTime(17, 35, 50));
    QCOMPARE(time1->tickCount(), 6);

    // Both ranges follow the next file, down as well as up.
    FillFile(50, 2.0, 40.0);
    QCOMPARE(VerticalAxis(chart.tChart2)->max(), 50.0);
    QCOMPARE(VerticalAxis(chart.tChart1)->max(), 2.5);

    // Escape puts the window away; the next file shows it again.
    chart.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&chart));
    QTest::keyClick(&chart, Qt::Key_Escape);
    QVERIFY(!chart.isVisible());
    FillFile(5, 2.0, 4.0);
    QVERIFY(chart.isVisible());
}

void TestSpeedChart::second_file_refills_the_same_window()
{
    FillFile(300, 2.5, 4.87);
    SpeedCorrection* first = m_chart.get();
    QCOMPARE(first->fastLine1->count(), 300);
    QCOMPARE(first->windowTitle(), QString("Speed Correction from 255 file shot spacing = 4.9 m"));
    m_host->ChartBegin("Speed Correction from 256 second");
    for (int k = 0; k < 40; ++k)
        m_host->ChartAddFix(kStart + kDay + k * kSecond, 3.0, 5.0);
    QCOMPARE(first->line1->count(), 0); // refilling empties the spacing line too
    m_host->ChartEnd();
    QCOMPARE(m_chart.get(), first);
    QCOMPARE(first->fastLine1->count(), 40);
    QCOMPARE(first->fastLine2->count(), 40);
    QCOMPARE(first->windowTitle(), QString("Speed Correction from 256 second"));
    QCOMPARE(first->fastLine1->at(0).y(), 3.0);
}

void TestSpeedChart::non_finite_points_are_left_out()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    m_host->ChartBegin("t");
    // Out of time order on purpose: the series are kept in ascending time.
    m_host->ChartAddFix(kStart + 3 * kSecond, 1.0, 2.0);
    m_host->ChartAddFix(kStart, nan, 2.0);
    m_host->ChartAddFix(kStart + kSecond, 1.0, inf);
    m_host->ChartAddFix(kStart + 2 * kSecond, -inf, nan);
    m_host->ChartEnd();
    QCOMPARE(m_chart->fastLine1->count(), 2);
    QCOMPARE(m_chart->fastLine2->count(), 2);
    QVERIFY(m_chart->fastLine1->at(0).x() < m_chart->fastLine1->at(1).x());
    QVERIFY(m_chart->fastLine2->at(0).x() < m_chart->fastLine2->at(1).x());
    QVERIFY(std::isfinite(VerticalAxis(m_chart->tChart2)->max()));
}

void TestSpeedChart::fixed_spacing_of_5_gives_two_points_and_title()
{
    m_host->ChartBegin("Speed Correction from 255");
    for (int k = 0; k < 10; ++k)
        m_host->ChartAddFix(kStart + k * kSecond, 2.0, 4.2 + 0.1 * k);
    m_host->ChartEnd();
    m_host->ChartSetSpacing(kStart, kStart + 9 * kSecond, 5.0, " shot spacing = 5.0 m");
    QCOMPARE(m_chart->line1->count(), 2);
    QCOMPARE(m_chart->line1->at(0).y(), 5.0);
    QCOMPARE(m_chart->line1->at(1).y(), 5.0);
    QCOMPARE(m_chart->line1->at(0).x(), m_chart->fastLine2->at(0).x());
    QCOMPARE(m_chart->line1->at(1).x(), m_chart->fastLine2->at(9).x());
    QVERIFY(m_chart->windowTitle().endsWith("shot spacing = 5.0 m"));
}

void TestSpeedChart::long_series_keep_each_columns_extremes()
{
    // 200,000 fixes, one a quarter second, a slow swell with one spike down
    // and one up; 1000 columns of 200 fixes each.
    QList<QPointF> points;
    for (int k = 0; k < 200'000; ++k)
        points.append(QPointF(250.0 * k, 2.5 + std::sin(k / 5000.0)));
    points[123'457].setY(-7.0);
    points[77'777].setY(40.0);
    const QList<QPointF> thin = ThinToColumns(points, 1000);
    QVERIFY(thin.size() <= 4000);
    QVERIFY(thin.size() >= 2000);
    QCOMPARE(thin.front(), points.front());
    QCOMPARE(thin.back(), points.back());
    QVERIFY(std::is_sorted(thin.begin(), thin.end(), [](const QPointF& a, const QPointF& b) {
        return a.x() < b.x();
    }));
    QVERIFY(thin.contains(points[123'457]));
    QVERIFY(thin.contains(points[77'777]));
    // A series that fits is left whole.
    const QList<QPointF> few = points.mid(0, 4000);
    QCOMPARE(ThinToColumns(few, 1000), few);

    // Through the window: the spike survives the fill.
    m_host->ChartBegin("long");
    for (int k = 0; k < 200'000; ++k)
        m_host->ChartAddFix(kStart + k * kSecond / 4, k == 150'000 ? 14.5 : 2.5, 0.6);
    m_host->ChartEnd();
    QVERIFY(m_chart->fastLine1->count() < 20'000);
    bool spike = false;
    for (const QPointF& p : m_chart->fastLine1->points())
        spike = spike || p.y() == 14.5;
    QVERIFY(spike);
}

void TestSpeedChart::status_shows_the_last_text_set()
{
    QLabel* status = m_ui->window->label_status;
    m_host->SetStatus("Input file = a.sgy : reading trace 0");
    QCOMPARE(status->text(), QString("Input file = a.sgy : reading trace 0"));
    // Texts set in quick succession wait; the last one is shown in the end.
    m_host->SetStatus("Input file = a.sgy : reading trace 10");
    m_host->SetStatus("Input file = a.sgy : reading trace 20");
    m_host->ShowPendingStatus();
    QCOMPARE(status->text(), QString("Input file = a.sgy : reading trace 20"));
    m_host->SetStatus("Input file = a.sgy : reading trace 30");
    QTest::qWait(60);
    m_host->PumpEvents();
    QCOMPARE(status->text(), QString("Input file = a.sgy : reading trace 30"));
}

void TestSpeedChart::round_time_ticks_data()
{
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("last");
    QTest::addColumn<Ticks>("expected");
    // 49 s: 10 s steps, 0 to 50 s.
    QTest::newRow("seconds") << 0.0 << 49000.0 << Ticks{0, 50000, 6, 10000};
    // 12:03:20 to 12:41:00 (ms of the day): 38 min, 10 min steps from 12:00.
    QTest::newRow("minutes") << 43'400'000.0 << 45'660'000.0
                             << Ticks{43'200'000, 46'200'000, 6, 600'000};
    // A tick exactly on the last point adds no interval: 10 s steps fit;
    // a millisecond more needs eight ticks of 10 s, so 15 s steps.
    QTest::newRow("on a tick") << 0.0 << 60000.0 << Ticks{0, 60000, 7, 10000};
    QTest::newRow("past a tick") << 0.0 << 60001.0 << Ticks{0, 75000, 6, 15000};
    // 20 h: 6 h steps.
    QTest::newRow("hours") << 3'600'000.0 << 75'600'000.0 << Ticks{0, 86'400'000, 5, 21'600'000};
    // One point: one step around it.
    QTest::newRow("one point") << 500.0 << 500.0 << Ticks{0, 1000, 2, 1000};
    // Ten days: the coarsest step, whatever the count.
    QTest::newRow("days") << 0.0 << 864'000'000.0 << Ticks{0, 864'000'000, 11, 86'400'000};
}

void TestSpeedChart::round_time_ticks()
{
    QFETCH(double, first);
    QFETCH(double, last);
    QFETCH(Ticks, expected);
    const TimeAxisTicks t = RoundTimeTicks(first, last, 7);
    QCOMPARE(t.firstMs, expected[0]);
    QCOMPARE(t.lastMs, expected[1]);
    QCOMPARE(t.tickCount, static_cast<int>(expected[2]));
    QCOMPARE(static_cast<double>(t.stepMs), expected[3]);
}

void TestSpeedChart::dark_palette_gives_a_dark_chart()
{
    SpeedCorrection chart;
    QPalette dark = chart.palette();
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    chart.setPalette(dark);
    for (QChartView* view : {chart.tChart1, chart.tChart2}) {
        QCOMPARE(view->chart()->backgroundBrush().color(), QColor(30, 30, 30));
        for (QAbstractAxis* axis : view->chart()->axes())
            QCOMPARE(axis->labelsColor(), QColor(230, 230, 230));
        QCOMPARE(view->chart()->legend()->labelColor(), QColor(230, 230, 230));
    }
    // The series keep their own colours.
    QCOMPARE(chart.fastLine1->pen().color(), QColor(68, 102, 163));
}

QObject* NewSpeedChartTest()
{
    return new TestSpeedChart;
}

} // namespace tessara::test

#include "test_speed_chart.moc"
