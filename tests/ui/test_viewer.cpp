// The viewer: a job's outputs shown from the summary, files dropped on it,
// a file it cannot read, and the keyboard's way out.
#include "combine/api/combine_settings.h"
#include "nav/navigation.h"
#include "section_paint/section_picture.h"
#include "tests/ui/ui_test_support.h"
#include "ui/job_summary.h"
#include "ui/section_viewer.h"
#include "ui/track_outline.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <QValueAxis>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace tessara::test
{
namespace
{

/// Waits until the viewer has read what it was asked for.
bool Settled(const CSectionViewer& viewer)
{
    return QTest::qWaitFor([&viewer] { return !viewer.bIsLoading(); }, 20000);
}

/// A viewer, shown, with one generated file in it.
struct CShownFile {
    TempDir dir;
    CSectionViewer viewer;
    /// Writes a file of `traces` traces (digitizerChannel `channel`) and
    /// shows it; false when it could not be written or was not read.
    bool Show(int traces, int channel = 0)
    {
        const std::string file = WriteSurveyFile(dir.Path(), traces, channel);
        viewer.show();
        viewer.SetFiles({QString::fromStdString(file)});
        return !file.empty() && Settled(viewer);
    }
};

/// Drops `paths` on `window` as a file manager does.
void Drop(QWidget& window, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    QMimeData data;
    data.setUrls(urls);
    const QPointF at(window.width() / 2.0, window.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT
private slots:
    void summary_view_opens_the_job_outputs_with_picture_and_track();
    void view_is_off_when_no_output_was_completed();
    void dropped_files_are_added_once_and_shown();
    void unreadable_file_says_so_without_a_picture();
    void escape_closes_the_window();
    void hover_names_the_trace_under_the_pointer();
    void section_and_track_mark_each_other();
    void box_zoom_reads_the_traces_in_the_box_at_full_resolution();
    void box_past_the_data_stops_at_the_first_and_last_trace();
    void keys_zoom_and_pan_then_read_the_view();
    void one_trace_file_zooms_in_time_only();
    void gain_clip_and_palette_change_the_picture();
    void processing_reads_again_and_the_look_paints_again();
    void hovering_the_track_marks_the_nearest_trace();
    void large_view_shows_a_first_look_from_every_nth_trace();
    void main_window_view_opens_the_last_outputs_or_an_empty_viewer();
    void another_file_chosen_while_reading_is_the_one_shown();
    void picture_arriving_while_zooming_keeps_the_view();
    void view_opens_the_selected_inputs_in_list_order();
    void track_keeps_one_scale_round_ticks_and_the_palette();
    void track_click_outside_the_view_moves_the_section_there();
    void file_written_anew_is_read_again_keeping_the_zoom();
    void track_outline_keeps_the_ends_and_every_turn_data();
    void track_outline_keeps_the_ends_and_every_turn();
};

void TestViewer::summary_view_opens_the_job_outputs_with_picture_and_track()
{
    TempDir dir;
    WindowUnderTest ui;
    Form1& w = *ui.window;
    QVERIFY(LoadTwoFileSurvey(w, *ui.prompts, dir.Path()));
    QTest::mouseClick(w.button1, Qt::LeftButton);
    CJobSummaryDialog* summary = w.SummaryWindow();
    QVERIFY(summary != nullptr && summary->isVisible());
    QVERIFY(summary->button_view->isEnabled());
    QVERIFY(w.Viewer() == nullptr);

    QTest::mouseClick(summary->button_view, Qt::LeftButton);
    CSectionViewer* viewer = w.Viewer();
    QVERIFY(viewer != nullptr && viewer->isVisible());
    QVERIFY(Settled(*viewer));
    QCOMPARE(viewer->Files(), summary->Outputs());
    QCOMPARE(viewer->Files().size(), static_cast<qsizetype>(FileNames(dir.Path() / "out").size()));
    QCOMPARE(viewer->listBox_files->currentRow(), 0);
    const QImage& picture = viewer->view_section->Picture();
    QVERIFY(!picture.isNull());
    // Painted with data, not a blank page: more than one colour.
    QVERIFY(picture.pixel(picture.width() / 2, picture.height() / 2) != picture.pixel(1, 1) ||
            picture.pixel(picture.width() - 20, picture.height() - 20) != picture.pixel(1, 1));
    QVERIFY(viewer->TrackPoints() > 1);

    // A second View after the window was closed opens the same window again.
    viewer->close();
    QTest::mouseClick(summary->button_view, Qt::LeftButton);
    QCOMPARE(w.Viewer(), viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->Files(), summary->Outputs());
}

void TestViewer::view_is_off_when_no_output_was_completed()
{
    CJobSummaryDialog dialog;
    dialog.SetResult(CombineResult{}, "/out");
    QVERIFY(!dialog.button_view->isEnabled());
    QVERIFY(dialog.Outputs().isEmpty());
}

void TestViewer::dropped_files_are_added_once_and_shown()
{
    TempDir dir;
    const QString first = QString::fromStdString(WriteSurveyFile(dir.Path() / "a", 40));
    const QString second = QString::fromStdString(WriteSurveyFile(dir.Path() / "b", 7));
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    CSectionViewer viewer;
    viewer.show();
    viewer.SetFiles({first});
    QCOMPARE(viewer.listBox_files->count(), 1);

    Drop(viewer, {first, second});
    QVERIFY(Settled(viewer));
    QCOMPARE(viewer.Files(), QStringList({first, second}));
    // The file dropped is the one shown.
    QCOMPARE(viewer.listBox_files->currentRow(), 1);
    QVERIFY(!viewer.view_section->Picture().isNull());

    Drop(viewer, {second});
    QCOMPARE(viewer.listBox_files->count(), 2);

    // Added with the button as well.
    viewer.chooseFiles = [&](QWidget*) { return QStringList{first, second}; };
    viewer.SetFiles({});
    QVERIFY(viewer.view_section->Picture().isNull());
    QTest::mouseClick(viewer.button_add, Qt::LeftButton);
    QCOMPARE(viewer.Files(), QStringList({first, second}));
}

void TestViewer::unreadable_file_says_so_without_a_picture()
{
    TempDir dir;
    const fs::path broken = dir.Path() / "broken.sgy";
    std::ofstream(broken) << "not a SEG-Y file";
    const QString good = QString::fromStdString(WriteSurveyFile(dir.Path() / "a", 20));
    CSectionViewer viewer;
    viewer.show();
    viewer.SetFiles({good, QString::fromStdString(broken.string())});
    QVERIFY(Settled(viewer));
    QVERIFY(!viewer.view_section->Picture().isNull());
    viewer.listBox_files->setCurrentRow(1);
    QVERIFY(Settled(viewer));
    QVERIFY(viewer.view_section->Picture().isNull());
    QCOMPARE(viewer.TrackPoints(), 0);
    QVERIFY2(viewer.label_status->text().startsWith("broken.sgy cannot be read"),
             qPrintable(viewer.label_status->text()));
    // Back to the good file: the last file's message does not linger.
    viewer.listBox_files->setCurrentRow(0);
    QVERIFY(Settled(viewer));
    QVERIFY(viewer.label_status->text().isEmpty());
    QVERIFY(viewer.TrackPoints() > 1);
}

void TestViewer::escape_closes_the_window()
{
    CSectionViewer viewer;
    viewer.show();
    viewer.listBox_files->setFocus();
    QTest::keyClick(viewer.listBox_files, Qt::Key_Escape);
    QVERIFY(!viewer.isVisible());
}

namespace
{

/// The widget point over the middle of the column that shows `trace`,
/// halfway down the data.
QPoint OverTrace(const CSectionViewer& viewer, std::int64_t trace)
{
    const QImage& picture = viewer.view_section->Picture();
    for (int x = 0; x < picture.width(); ++x)
        if (viewer.TraceAtColumn(x) == trace)
            return viewer.view_section
                ->ToWidget(QPointF(x + 0.5,
                                   (tessara::kPictureMargins.top + picture.height() -
                                    tessara::kPictureMargins.bottom) /
                                       2.0))
                .toPoint();
    return {-1, -1};
}

} // namespace

void TestViewer::hover_names_the_trace_under_the_pointer()
{
    CShownFile shown;
    QVERIFY(shown.Show(40, 3));
    CSectionViewer& viewer = shown.viewer;
    QCOMPARE(viewer.TraceAtColumn(0), std::int64_t{0}); // the time axis, not a trace
    const QPoint at = OverTrace(viewer, 17);
    QVERIFY(viewer.view_section->rect().contains(at));
    // Sent as it is: the offscreen platform moves no pointer of its own.
    QMouseEvent move(QEvent::MouseMove,
                     at,
                     viewer.view_section->mapToGlobal(at),
                     Qt::NoButton,
                     Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewer.view_section, &move);
    const QString text = viewer.label_status->text();
    QVERIFY2(text.startsWith("Trace 17, ") && text.contains(" ms") && text.endsWith(", channel 3"),
             qPrintable(text));
    QVERIFY2(!text.contains("no position"), qPrintable(text));
    // Above the data (the title) nothing is said.
    QVERIFY(viewer.DescribeAt(QPointF(at.x(), 1)).isEmpty());
}

void TestViewer::section_and_track_mark_each_other()
{
    CShownFile shown;
    QVERIFY(shown.Show(40));
    CSectionViewer& viewer = shown.viewer;
    QCOMPARE(viewer.TrackPoints(), 40);
    QVERIFY(!viewer.TrackMark());

    QTest::mouseClick(viewer.view_section, Qt::LeftButton, {}, OverTrace(viewer, 30));
    const std::optional<QPointF> fix30 = viewer.TrackMark();
    QVERIFY(fix30.has_value());
    QVERIFY(viewer.view_section->MarkedColumn().has_value());
    QCOMPARE(viewer.TraceAtColumn(*viewer.view_section->MarkedColumn()), std::int64_t{30});

    viewer.MarkTrace(5);
    QVERIFY(viewer.TrackMark() != fix30);
    QCOMPARE(viewer.TraceAtColumn(*viewer.view_section->MarkedColumn()), std::int64_t{5});

    // A click on the track at trace 30's fix marks trace 30 in the section,
    // though the chart draws the straight run through it without it.
    QChart* chart = viewer.chart_track->chart();
    QVERIFY(!qobject_cast<QLineSeries*>(chart->series().value(0))->points().contains(*fix30));
    const QPoint onChart =
        viewer.chart_track->mapFromScene(chart->mapToScene(chart->mapToPosition(*fix30)));
    QTest::mouseClick(viewer.chart_track->viewport(), Qt::LeftButton, {}, onChart);
    QCOMPARE(viewer.TraceAtColumn(*viewer.view_section->MarkedColumn()), std::int64_t{30});
    QCOMPARE(viewer.TrackMark(), fix30);

    // Another file: no mark is carried over.
    viewer.AddFiles({QString::fromStdString(WriteSurveyFile(shown.dir.Path() / "b", 12))});
    QVERIFY(Settled(viewer));
    QVERIFY(!viewer.TrackMark());
    QVERIFY(!viewer.view_section->MarkedColumn());
}

namespace
{

/// The widget x over the data's trace position `trace` (trace n spans [n, n+1)).
double WidgetX(const CSectionPictureView& view, double trace)
{
    const double x0 = view.ToData({0, 0}).x();
    const double x1 = view.ToData({100, 0}).x();
    return (trace - x0) / (x1 - x0) * 100;
}

/// The traces the picture's data columns name, first column first.
std::vector<std::int64_t> TracesShown(const CSectionViewer& viewer)
{
    std::vector<std::int64_t> traces;
    const int end = viewer.view_section->Picture().width() - kPictureMargins.right;
    for (int x = kPictureMargins.left; x < end; ++x)
        if (traces.empty() || traces.back() != viewer.TraceAtColumn(x))
            traces.push_back(viewer.TraceAtColumn(x));
    return traces;
}

/// Drags a box with the left button from `from` to `to` on the section.
void DragBox(CSectionPictureView& view, QPoint from, QPoint to)
{
    QTest::mousePress(&view, Qt::LeftButton, {}, from);
    QTest::mouseMove(&view, (from + to) / 2);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
}

/// Waits until the picture shows other data than `before`, then until
/// everything asked for is read.
bool Reread(const CSectionViewer& viewer, QRectF before)
{
    return QTest::qWaitFor([&] { return viewer.view_section->Shown() != before; }, 5000) &&
           Settled(viewer);
}

} // namespace

void TestViewer::box_zoom_reads_the_traces_in_the_box_at_full_resolution()
{
    CShownFile shown;
    QVERIFY(shown.Show(2000));
    CSectionViewer& viewer = shown.viewer;
    CSectionPictureView& view = *viewer.view_section;
    QCOMPARE(view.Shown(), view.Whole());
    QCOMPARE(view.Whole().left(), 1.0);
    QCOMPARE(view.Whole().right(), 2001.0);
    // The whole file: many traces a column, so most traces have none of their own.
    QVERIFY(TracesShown(viewer).size() < 1000);

    const QRectF whole = view.Shown();
    const QPoint from(int(WidgetX(view, 500.5)), view.height() * 3 / 10);
    const QPoint to(int(WidgetX(view, 560.5)), view.height() * 7 / 10);
    // The traces under the box's pixels, whole.
    const auto first = static_cast<std::int64_t>(std::floor(view.ToData(from).x()));
    const auto last = static_cast<std::int64_t>(std::ceil(view.ToData(to).x())) - 1;
    QVERIFY(first >= 496 && last <= 565);
    // The window's layout is at rest before the zoom.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    DragBox(view, from, to);
    QVERIFY(Reread(viewer, whole));
    // Made for the size it is shown at (the reading bar took no room from
    // it) and shown whole: the view's left columns are the time axis.
    const QImage& picture = view.Picture();
    QCOMPARE(picture.size(), view.size());
    const QImage seen = view.grab().toImage().convertToFormat(picture.format());
    QCOMPARE(seen.copy(0, 0, kPictureMargins.left, seen.height()),
             picture.copy(0, 0, kPictureMargins.left, picture.height()));
    // Read again, those traces only, each in columns of its own.
    std::vector<std::int64_t> expected;
    for (std::int64_t n = first; n <= last; ++n)
        expected.push_back(n);
    QCOMPARE(TracesShown(viewer), expected);
    QCOMPARE(view.Shown().left(), double(first));
    QCOMPARE(view.Shown().right(), double(last + 1));
    QVERIFY(view.Shown().top() > whole.top() && view.Shown().bottom() < whole.bottom());
    // A click is not a box: it marks the trace and reads nothing.
    QTest::mouseClick(
        &view, Qt::LeftButton, {}, QPoint(int(WidgetX(view, 530.5)), view.height() / 2));
    QVERIFY(!viewer.bIsLoading());
    QCOMPARE(viewer.TraceAtColumn(*view.MarkedColumn()), std::int64_t{530});
    QCOMPARE(view.Shown().left(), double(first));
}

void TestViewer::box_past_the_data_stops_at_the_first_and_last_trace()
{
    CShownFile shown;
    QVERIFY(shown.Show(2000));
    CSectionViewer& viewer = shown.viewer;
    CSectionPictureView& view = *viewer.view_section;
    const QRectF whole = view.Shown();
    // From the time axis (left of the data) to trace 30, from above the data down.
    const QPoint at30(int(WidgetX(view, 30.5)), view.height() / 2);
    const auto last = static_cast<std::int64_t>(std::ceil(view.ToData(at30).x())) - 1;
    QVERIFY(last >= 26 && last <= 34);
    DragBox(view, {1, 1}, at30);
    QVERIFY(Reread(viewer, whole));
    QCOMPARE(TracesShown(viewer).front(), std::int64_t{1});
    QCOMPARE(TracesShown(viewer).back(), last);
    QCOMPARE(view.Shown().top(), whole.top());

    const QRectF left = view.Shown();
    QTest::keyClick(&view, Qt::Key_Home);
    QVERIFY(Reread(viewer, left));
    QCOMPARE(view.Shown(), whole);
    const QPoint at1971(int(WidgetX(view, 1971.5)), view.height() / 2);
    const auto first = static_cast<std::int64_t>(std::floor(view.ToData(at1971).x()));
    QVERIFY(first >= 1967 && first <= 1975);
    DragBox(view, at1971, {view.width() - 1, view.height() - 1});
    QVERIFY(Reread(viewer, whole));
    QCOMPARE(TracesShown(viewer).front(), first);
    QCOMPARE(TracesShown(viewer).back(), std::int64_t{2000});
    QCOMPARE(view.Shown().bottom(), whole.bottom());
}

void TestViewer::keys_zoom_and_pan_then_read_the_view()
{
    CShownFile shown;
    QVERIFY(shown.Show(2000));
    CSectionViewer& viewer = shown.viewer;
    CSectionPictureView& view = *viewer.view_section;
    const QRectF whole = view.View();
    // The whole file cannot be panned.
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.View(), whole);

    QTest::keyClick(&view, Qt::Key_Plus);
    QTest::keyClick(&view, Qt::Key_Plus);
    QVERIFY(view.View().width() < whole.width() * 0.7);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down);
    const QRectF moved = view.View();
    QVERIFY(moved.center().x() > whole.center().x());
    QVERIFY(moved.center().y() > whole.center().y());
    // Until the view rests the old picture is drawn where its data now lies.
    QCOMPARE(view.Shown(), whole);
    QVERIFY(view.ToWidget({double(kPictureMargins.left), 0}).x() < 0);
    QVERIFY(Reread(viewer, whole));
    QCOMPARE(TracesShown(viewer).front(), static_cast<std::int64_t>(std::floor(moved.left())));
    QCOMPARE(view.Shown().top(), moved.top());

    // The wheel keeps the data under the pointer where it is.
    const QPointF pointer(view.width() / 4.0, view.height() / 3.0);
    const QPointF under = view.ToData(pointer);
    QWheelEvent wheel(pointer,
                      view.mapToGlobal(pointer),
                      {},
                      {0, 240},
                      Qt::NoButton,
                      Qt::NoModifier,
                      Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&view, &wheel);
    QVERIFY(view.View().width() < moved.width());
    QVERIFY(std::abs(view.ToData(pointer).x() - under.x()) < 1e-6 * whole.width());

    // Out again as far as it goes: the whole file.
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(&view, Qt::Key_Minus);
    QCOMPARE(view.View(), whole);
    QVERIFY(QTest::qWaitFor([&] { return view.Shown() == whole; }, 5000));
}

void TestViewer::one_trace_file_zooms_in_time_only()
{
    CShownFile shown;
    QVERIFY(shown.Show(1));
    CSectionViewer& viewer = shown.viewer;
    CSectionPictureView& view = *viewer.view_section;
    QVERIFY(!view.Picture().isNull());
    QCOMPARE(TracesShown(viewer), std::vector<std::int64_t>{1});
    const QRectF whole = view.Whole();
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(&view, Qt::Key_Plus);
    QCOMPARE(view.View().width(), 1.0);
    // No closer than four samples: the 16 samples of the trace fill the whole span.
    QVERIFY(std::abs(view.View().height() - whole.height() / 4) < 1e-9);
    QVERIFY(Reread(viewer, whole));
    QCOMPARE(TracesShown(viewer), std::vector<std::int64_t>{1});
    QVERIFY(view.Shown().height() < whole.height() / 3);
}

void TestViewer::gain_clip_and_palette_change_the_picture()
{
    CShownFile shown;
    QVERIFY(shown.Show(40));
    CSectionViewer& viewer = shown.viewer;
    // Colours alone are painted again from the cells at hand.
    viewer.comboBox_palette->setCurrentIndex(1);
    QVERIFY(!viewer.bIsLoading());
    const QImage grey = viewer.view_section->Picture();
    viewer.comboBox_palette->setCurrentIndex(2);
    QVERIFY(!viewer.bIsLoading());
    const QImage seismic = viewer.view_section->Picture();
    QVERIFY(grey != seismic);

    QVERIFY(!viewer.numericUpDown_agc_window->isEnabled());
    QVERIFY(!viewer.progressBar_section->isVisible());
    viewer.comboBox_gain->setCurrentIndex(1);
    QVERIFY(viewer.numericUpDown_agc_window->isEnabled());
    QVERIFY(viewer.bIsLoading());
    QVERIFY(viewer.progressBar_section->isVisible());
    QVERIFY(Settled(viewer));
    QVERIFY(!viewer.progressBar_section->isVisible());
    const QImage agc = viewer.view_section->Picture();
    QVERIFY(agc != seismic);

    viewer.numericUpDown_clip->setValue(60.0);
    QVERIFY(Settled(viewer));
    QVERIFY(viewer.view_section->Picture() != agc);
    // The window's controls in the order Tab visits them.
    const QStringList order = {"listBox_files",
                               "button_add",
                               "comboBox_gain",
                               "numericUpDown_agc_window",
                               "numericUpDown_clip",
                               "comboBox_palette",
                               "comboBox_wiggles",
                               "checkBox_dc",
                               "checkBox_bandpass",
                               "numericUpDown_band_low",
                               "numericUpDown_band_high",
                               "checkBox_depth",
                               "numericUpDown_sound_speed",
                               "view_section",
                               "button_close"};
    QCOMPARE(TabChain(*viewer.listBox_files, order), order);
}

// Processing changes the traces: they are read again. Wiggles and the depth
// axis change the drawing alone. Hover tells the sample as stored and shown.
void TestViewer::processing_reads_again_and_the_look_paints_again()
{
    CShownFile shown;
    QVERIFY(shown.Show(40, 3));
    CSectionViewer& viewer = shown.viewer;
    const QPointF at = viewer.view_section->ToPicture(OverTrace(viewer, 17));
    const QString plain = viewer.DescribeAt(at);
    QVERIFY2(plain.contains(QRegularExpression(", sample (\\S+) as stored, \\1 shown,")),
             qPrintable(plain));

    viewer.comboBox_wiggles->setCurrentIndex(2);
    viewer.checkBox_depth->setChecked(true);
    QVERIFY(!viewer.bIsLoading());
    QVERIFY(viewer.numericUpDown_sound_speed->isEnabled());
    QVERIFY2(viewer.DescribeAt(at).contains(" m), sample "), qPrintable(viewer.DescribeAt(at)));

    QVERIFY(!viewer.numericUpDown_band_low->isEnabled());
    viewer.checkBox_bandpass->setChecked(true);
    QVERIFY(viewer.numericUpDown_band_low->isEnabled());
    QVERIFY(viewer.bIsLoading());
    QVERIFY(Settled(viewer));
    viewer.checkBox_dc->setChecked(true);
    QVERIFY(viewer.bIsLoading());
    QVERIFY(Settled(viewer));
    const QString processed = viewer.DescribeAt(at);
    QVERIFY2(!processed.contains(QRegularExpression(", sample (\\S+) as stored, \\1 shown,")),
             qPrintable(processed));
}

void TestViewer::hovering_the_track_marks_the_nearest_trace()
{
    CShownFile shown;
    QVERIFY(shown.Show(40, 2));
    CSectionViewer& viewer = shown.viewer;
    viewer.MarkTrace(30);
    const std::optional<QPointF> fix30 = viewer.TrackMark();
    QVERIFY(fix30.has_value());
    viewer.MarkTrace(1);

    QChart* chart = viewer.chart_track->chart();
    const QPoint onChart =
        viewer.chart_track->mapFromScene(chart->mapToScene(chart->mapToPosition(*fix30)));
    QMouseEvent move(QEvent::MouseMove,
                     onChart,
                     viewer.chart_track->viewport()->mapToGlobal(onChart),
                     Qt::NoButton,
                     Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewer.chart_track->viewport(), &move);
    QCOMPARE(viewer.TraceAtColumn(*viewer.view_section->MarkedColumn()), std::int64_t{30});
    const QString text = viewer.label_status->text();
    QVERIFY2(text.startsWith("Trace 30, ") && text.endsWith(", channel 2"), qPrintable(text));

    // Hovering the section marks the track.
    const QPoint over = OverTrace(viewer, 12);
    QMouseEvent onSection(QEvent::MouseMove,
                          over,
                          viewer.view_section->mapToGlobal(over),
                          Qt::NoButton,
                          Qt::NoButton,
                          Qt::NoModifier);
    QApplication::sendEvent(viewer.view_section, &onSection);
    viewer.MarkTrace(12);
    const std::optional<QPointF> fix12 = viewer.TrackMark();
    QApplication::sendEvent(viewer.view_section, &onSection);
    QCOMPARE(viewer.TrackMark(), fix12);
    QVERIFY(fix12 != fix30);
}

void TestViewer::large_view_shows_a_first_look_from_every_nth_trace()
{
    TempDir dir;
    const std::string file = WriteSurveyFile(dir.Path(), 2000);
    SectionRequest request;
    request.path = file;
    request.options.columns = 100;
    request.options.rows = 50;
    request.previewAboveSamples = 0;
    request.withTrack = true;
    QFuture<SectionLoadStep> load = StartSectionLoad(request);
    load.waitForFinished();
    const QList<SectionLoadStep> steps = load.results();
    QCOMPARE(steps.size(), 4);
    QCOMPARE(steps[0].kind, SectionLoadStep::Kind::Table);
    QCOMPARE(steps[0].traces->size(), std::size_t{2000});
    QCOMPARE(steps[1].kind, SectionLoadStep::Kind::Preview);
    QCOMPARE(steps[2].kind, SectionLoadStep::Kind::Picture);
    QCOMPARE(steps[3].kind, SectionLoadStep::Kind::Track);
    const Section& preview = steps[1].section;
    const Section& full = steps[2].section;
    // The track found in the table's pass is the one a pass of its own finds.
    std::vector<llt> alone;
    QCOMPARE(ReadAndBufferTraceHeaderData(file, CombineSettings{}.nav_average_fixes, alone).traces,
             std::int64_t{2000});
    QVERIFY(!alone.empty());
    QCOMPARE(steps[3].fixes.size(), alone.size());
    for (std::size_t k = 0; k < alone.size(); ++k) {
        QCOMPARE(steps[3].fixes[k].position, alone[k].position);
        QCOMPARE(steps[3].fixes[k].lat, alone[k].lat);
        QCOMPARE(steps[3].fixes[k].lon, alone[k].lon);
        QCOMPARE(steps[3].fixes[k].t.SecondsSince(alone[k].t), 0.0);
        QCOMPARE(steps[3].fixes[k].cummulativeDistance, alone[k].cummulativeDistance);
    }
    QCOMPARE(preview.status, SectionStatus::Ok);
    // Twenty traces a column: the first look reads one trace a column.
    QCOMPARE(preview.frame.traceCount, std::int64_t{100});
    for (std::size_t c = 0; c < preview.columnTraces.size(); ++c)
        QCOMPARE(preview.columnTraces[c].traceNumber, 1 + 20 * static_cast<std::int64_t>(c));
    QCOMPARE(full.frame.traceCount, std::int64_t{2000});
    QCOMPARE(full.columnTraces[99].traceNumber, std::int64_t{1981});
    // Both on the same time axis, so the picture does not jump when refined.
    QCOMPARE(preview.frame.startMs, full.frame.startMs);
    QCOMPARE(preview.frame.endMs, full.frame.endMs);

    // Under two traces a column there is nothing to gain from a first look.
    QCOMPARE(PreviewStep(*steps[0].traces, 1, 2000, 1001, 0), std::int64_t{1});
    QCOMPARE(PreviewStep(*steps[0].traces, 1, 2000, 1000, 0), std::int64_t{2});
    QCOMPARE(PreviewStep(*steps[0].traces, 1, 2000, 100, 2000 * 16), std::int64_t{1});
}

void TestViewer::main_window_view_opens_the_last_outputs_or_an_empty_viewer()
{
    TempDir dir;
    WindowUnderTest ui;
    Form1& w = *ui.window;
    QTest::mouseClick(w.button_view, Qt::LeftButton);
    CSectionViewer* viewer = w.Viewer();
    QVERIFY(viewer != nullptr && viewer->isVisible());
    QVERIFY(viewer->Files().isEmpty());
    const QString added = QString::fromStdString(WriteSurveyFile(dir.Path() / "x", 5));
    viewer->AddFiles({added});
    viewer->close();
    // No job yet: the files added stay.
    QTest::mouseClick(w.button_view, Qt::LeftButton);
    QCOMPARE(viewer->Files(), QStringList{added});

    QVERIFY(LoadTwoFileSurvey(w, *ui.prompts, dir.Path()));
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QVERIFY(w.SummaryWindow() != nullptr);
    w.SummaryWindow()->close();
    QTest::mouseClick(w.button_view, Qt::LeftButton);
    QCOMPARE(w.Viewer(), viewer);
    QCOMPARE(viewer->Files(), w.SummaryWindow()->Outputs());
    QVERIFY(!viewer->Files().isEmpty());
    QVERIFY(Settled(*viewer));
}

void TestViewer::another_file_chosen_while_reading_is_the_one_shown()
{
    TempDir dir;
    const QString large = QString::fromStdString(WriteSurveyFile(dir.Path() / "a", 3000));
    const QString small = QString::fromStdString(WriteSurveyFile(dir.Path() / "b", 9));
    CSectionViewer viewer;
    viewer.previewAboveSamples = 0; // the large file first shows a first look
    viewer.show();
    viewer.SetFiles({large, small});
    QVERIFY(viewer.bIsLoading());
    viewer.listBox_files->setCurrentRow(1);
    // Resized before the file has a picture: it gets one of the new size.
    viewer.resize(1200, 720);
    QVERIFY(Settled(viewer));
    QCOMPARE(viewer.view_section->Picture().size(), viewer.view_section->size());
    // Nothing of the first file's reading arrives after the second was chosen.
    QTest::qWait(200);
    std::vector<std::int64_t> nine(9);
    for (std::size_t i = 0; i < nine.size(); ++i)
        nine[i] = 1 + static_cast<std::int64_t>(i);
    QCOMPARE(TracesShown(viewer), nine);
    QCOMPARE(viewer.TrackPoints(), 9);
    QCOMPARE(viewer.view_section->Whole().right(), 10.0);

    // Back to the large file: its first look gives way to the whole picture.
    viewer.listBox_files->setCurrentRow(0);
    QVERIFY(Settled(viewer));
    QVERIFY(!viewer.bIsPreview());
    QCOMPARE(TracesShown(viewer).front(), std::int64_t{1});
    QCOMPARE(viewer.TrackPoints(), 3000);
    QVERIFY2(viewer.TrackPointsDrawn() < 100,
             qPrintable(QString::number(viewer.TrackPointsDrawn())));
}

void TestViewer::picture_arriving_while_zooming_keeps_the_view()
{
    CSectionPictureView view;
    view.resize(400, 300);
    view.show();
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QRectF whole(1, 0, 100, 50);
    view.SetLimits(whole, {1, 1});
    view.SetPicture(picture, whole);
    QSignalSpy settled(&view, &CSectionPictureView::viewSettled);
    QTest::keyClick(&view, Qt::Key_Plus);
    const QRectF zoomed = view.View();
    QVERIFY(zoomed.width() < whole.width());
    // The whole file's picture, asked for before, arrives now.
    view.SetPicture(picture, whole);
    QCOMPARE(view.View(), zoomed);
    QVERIFY(settled.wait(5000));
    QCOMPARE(settled.takeFirst().at(0).toRectF(), zoomed);
    // Once at rest, a picture takes the view.
    view.SetPicture(picture, QRectF(20, 10, 30, 20));
    QCOMPARE(view.View(), QRectF(20, 10, 30, 20));
}

// Raw inputs are looked at before a job: those selected, in the list's
// order whatever the order of selection; one that cannot be read is named
// in the list and the first that can is shown.
void TestViewer::view_opens_the_selected_inputs_in_list_order()
{
    TempDir dir;
    WindowUnderTest ui;
    Form1& w = *ui.window;
    const fs::path broken = dir.Path() / "broken.sgy";
    std::ofstream(broken) << "not a SEG-Y file";
    w.AppendInputFiles({QString::fromStdString(broken.string())});
    QVERIFY(LoadTwoFileSurvey(w, *ui.prompts, dir.Path()));
    const QStringList inputs = w.InputFiles();
    QCOMPARE(inputs.size(), qsizetype{3});
    w.listBox_input_segy_files->item(2)->setSelected(true);
    w.listBox_input_segy_files->item(0)->setSelected(true);

    QTest::mouseClick(w.button_view, Qt::LeftButton);
    CSectionViewer* viewer = w.Viewer();
    QVERIFY(viewer != nullptr && viewer->isVisible());
    QVERIFY(Settled(*viewer));
    QCOMPARE(viewer->Files(), QStringList({inputs[0], inputs[2]}));
    QCOMPARE(viewer->listBox_files->item(0)->text(), QString("broken.sgy (cannot be read)"));
    QCOMPARE(viewer->listBox_files->currentRow(), 1);
    QVERIFY(!viewer->view_section->Picture().isNull());
}

namespace
{

QValueAxis* TrackAxis(const CSectionViewer& viewer, Qt::Orientation orientation)
{
    return qobject_cast<QValueAxis*>(viewer.chart_track->chart()->axes(orientation).value(0));
}

/// Metres per pixel across against up, 1 when the track's scale is one.
double TrackAspect(const CSectionViewer& viewer)
{
    const QRectF area = viewer.chart_track->chart()->plotArea();
    const QValueAxis* x = TrackAxis(viewer, Qt::Horizontal);
    const QValueAxis* y = TrackAxis(viewer, Qt::Vertical);
    return (x->max() - x->min()) / area.width() / ((y->max() - y->min()) / area.height());
}

/// Ticks at whole metres: a whole step from a whole multiple of it.
bool bWholeTicks(const QValueAxis& axis)
{
    const double step = axis.tickInterval();
    return axis.tickType() == QValueAxis::TicksDynamic && step >= 1.0 && step == std::floor(step) &&
           std::fmod(axis.tickAnchor(), step) == 0.0;
}

} // namespace

void TestViewer::track_keeps_one_scale_round_ticks_and_the_palette()
{
    CShownFile shown;
    QVERIFY(shown.Show(300, 2));
    CSectionViewer& viewer = shown.viewer;
    QVERIFY(viewer.TrackPoints() > 1);
    QTRY_VERIFY2(std::abs(TrackAspect(viewer) - 1.0) < 0.02,
                 qPrintable(QString::number(TrackAspect(viewer))));
    QVERIFY(bWholeTicks(*TrackAxis(viewer, Qt::Horizontal)));
    QVERIFY(bWholeTicks(*TrackAxis(viewer, Qt::Vertical)));

    QPalette dark = viewer.palette();
    dark.setColor(QPalette::Base, QColor(25, 25, 30));
    dark.setColor(QPalette::Window, QColor(40, 40, 45));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    viewer.setPalette(dark);
    QCOMPARE(viewer.chart_track->chart()->backgroundBrush().color(), QColor(25, 25, 30));
    QCOMPARE(TrackAxis(viewer, Qt::Vertical)->labelsBrush().color(), QColor(230, 230, 230));
}

void TestViewer::track_click_outside_the_view_moves_the_section_there()
{
    CShownFile shown;
    QVERIFY(shown.Show(400, 2));
    CSectionViewer& viewer = shown.viewer;
    CSectionPictureView& view = *viewer.view_section;
    const QRectF whole = view.Shown();
    DragBox(view,
            QPoint(int(WidgetX(view, 20.5)), view.height() / 3),
            QPoint(int(WidgetX(view, 60.5)), view.height() * 2 / 3));
    QVERIFY(Reread(viewer, whole));
    const QRectF zoomed = view.View();
    QVERIFY(zoomed.right() < 100.0);

    const auto clickFix = [&viewer](std::int64_t trace) {
        viewer.MarkTrace(trace);
        const std::optional<QPointF> fix = viewer.TrackMark();
        QVERIFY(fix.has_value());
        QChart* chart = viewer.chart_track->chart();
        const QPoint at =
            viewer.chart_track->mapFromScene(chart->mapToScene(chart->mapToPosition(*fix)));
        QTest::mouseClick(viewer.chart_track->viewport(), Qt::LeftButton, {}, at);
    };
    // A trace in view: the view stays.
    clickFix(40);
    QCOMPARE(view.View(), zoomed);
    // One far outside: the view, as wide, moves to it and is read there.
    clickFix(350);
    QVERIFY(Reread(viewer, zoomed));
    QVERIFY2(view.View().left() <= 350.0 && view.View().right() >= 351.0,
             qPrintable(QString("%1..%2").arg(view.View().left()).arg(view.View().right())));
    QVERIFY(std::abs(view.View().width() - zoomed.width()) < 1e-9);
    QCOMPARE(viewer.TraceAtColumn(*view.MarkedColumn()), std::int64_t{350});
}

// An output that grows while it is followed: written anew under its name.
void TestViewer::file_written_anew_is_read_again_keeping_the_zoom()
{
    CShownFile shown;
    QVERIFY(shown.Show(2000));
    CSectionViewer& viewer = shown.viewer;
    CSectionPictureView& view = *viewer.view_section;
    const QString path = viewer.Files().first();

    // Not zoomed: the whole file, as it is now.
    QCOMPARE(WriteSurveyFile(shown.dir.Path(), 2500, 0), path.toStdString());
    viewer.Reread(path);
    QVERIFY(Settled(viewer));
    QCOMPARE(view.Whole().right(), 2501.0);
    QCOMPARE(view.Shown(), view.Whole());

    const QRectF whole = view.Shown();
    DragBox(view,
            QPoint(int(WidgetX(view, 500.5)), view.height() * 3 / 10),
            QPoint(int(WidgetX(view, 560.5)), view.height() * 7 / 10));
    QVERIFY(Reread(viewer, whole));
    const QRectF zoomed = view.View();
    QCOMPARE(WriteSurveyFile(shown.dir.Path(), 3000, 0), path.toStdString());
    viewer.Reread(path);
    QVERIFY(Settled(viewer));
    QCOMPARE(view.Whole().right(), 3001.0);
    QCOMPARE(view.View(), zoomed);

    // One not listed is added and shown.
    const std::string other = (shown.dir.Path() / "open.sgy").string();
    fs::copy_file(path.toStdString(), other);
    viewer.Reread(QString::fromStdString(other));
    QVERIFY(Settled(viewer));
    QCOMPARE(viewer.Files().size(), 2);
    QCOMPARE(viewer.listBox_files->currentRow(), 1);
}

void TestViewer::track_outline_keeps_the_ends_and_every_turn_data()
{
    QTest::addColumn<QList<QPointF>>("track");
    QTest::addColumn<QSizeF>("unitsPerPixel");
    QTest::addColumn<int>("most");
    QTest::addColumn<QList<int>>("kept");
    const QSizeF pixel(1.0, 1.0);
    QList<QPointF> line;
    QList<QPointF> turn;
    QList<QPointF> jitter;
    for (int i = 0; i <= 500; ++i) {
        line << QPointF(i, 2.0 * i);
        jitter << QPointF(i, i % 2);
    }
    // Out and straight back along the same line: first and last coincide.
    for (int i = 0; i <= 1000; ++i)
        turn << QPointF(500 - std::abs(500 - i), 0.0);
    QTest::newRow("straight line") << line << pixel << 4000 << QList<int>{0, 500};
    QTest::newRow("180 degree turn") << turn << pixel << 4000 << QList<int>{0, 500, 1000};
    QTest::newRow("corners fewer than the limit")
        << QList<QPointF>{{0, 0}, {10, 0}, {10, 10}, {20, 10}} << pixel << 3000
        << QList<int>{0, 1, 2, 3};
    QTest::newRow("more than the limit coarsens") << jitter << pixel << 2 << QList<int>{0, 500};
    QTest::newRow("one fix") << QList<QPointF>{{3, 4}} << pixel << 4000 << QList<int>{0};
    QTest::newRow("no pixel yet keeps all")
        << QList<QPointF>{{0, 0}, {0.1, 0}, {0.2, 0}} << QSizeF() << 4000 << QList<int>{0, 1, 2};
    // Degrees: a bump of 0.003 is 3 pixels up but a third of one across.
    const QList<QPointF> bump{{0, 0}, {0.003, 0.005}, {0, 0.01}};
    QTest::newRow("bump under a pixel across")
        << bump << QSizeF(0.01, 0.001) << 4000 << QList<int>{0, 2};
    QTest::newRow("bump over a pixel across")
        << bump << QSizeF(0.001, 0.01) << 4000 << QList<int>{0, 1, 2};
}

void TestViewer::track_outline_keeps_the_ends_and_every_turn()
{
    QFETCH(QList<QPointF>, track);
    QFETCH(QSizeF, unitsPerPixel);
    QFETCH(int, most);
    QFETCH(QList<int>, kept);
    const std::vector<std::size_t> outline =
        OutlineOfTrack({track.begin(), track.end()}, unitsPerPixel, static_cast<std::size_t>(most));
    QCOMPARE(QList<int>(outline.begin(), outline.end()), kept);
}

QObject* NewViewerTest()
{
    return new TestViewer;
}

} // namespace tessara::test

#include "test_viewer.moc"
