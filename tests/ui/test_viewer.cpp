// The viewer: a job's outputs shown from the summary, files dropped on it,
// a file it cannot read, and the keyboard's way out.
#include "section_paint/section_picture.h"
#include "tests/ui/ui_test_support.h"
#include "ui/job_summary.h"
#include "ui/section_viewer.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QWheelEvent>
#include <QtTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace tessara::test
{
namespace
{

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
    void keys_and_wheel_zoom_and_pan();
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
    QVERIFY(!viewer.view_section->Picture().isNull());
    viewer.listBox_files->setCurrentRow(1);
    QVERIFY(viewer.view_section->Picture().isNull());
    QCOMPARE(viewer.TrackPoints(), 0);
    QVERIFY2(viewer.label_status->text().startsWith("broken.sgy cannot be read"),
             qPrintable(viewer.label_status->text()));
    // Back to the good file: the last file's message does not linger.
    viewer.listBox_files->setCurrentRow(0);
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
    TempDir dir;
    const QString file = QString::fromStdString(WriteSurveyFile(dir.Path(), 40, 3));
    CSectionViewer viewer;
    viewer.show();
    viewer.SetFiles({file});
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
    TempDir dir;
    const QString file = QString::fromStdString(WriteSurveyFile(dir.Path(), 40));
    CSectionViewer viewer;
    viewer.show();
    viewer.SetFiles({file});
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

    // A click on the track at trace 30's fix marks trace 30 in the section.
    QChart* chart = viewer.chart_track->chart();
    const QPoint onChart =
        viewer.chart_track->mapFromScene(chart->mapToScene(chart->mapToPosition(*fix30)));
    QTest::mouseClick(viewer.chart_track->viewport(), Qt::LeftButton, {}, onChart);
    QCOMPARE(viewer.TraceAtColumn(*viewer.view_section->MarkedColumn()), std::int64_t{30});
    QCOMPARE(viewer.TrackMark(), fix30);

    // Another file: no mark is carried over.
    viewer.AddFiles({QString::fromStdString(WriteSurveyFile(dir.Path() / "b", 12))});
    QVERIFY(!viewer.TrackMark());
    QVERIFY(!viewer.view_section->MarkedColumn());
}

void TestViewer::keys_and_wheel_zoom_and_pan()
{
    TempDir dir;
    const QString file = QString::fromStdString(WriteSurveyFile(dir.Path(), 40));
    CSectionViewer viewer;
    viewer.show();
    viewer.SetFiles({file});
    CSectionPictureView& view = *viewer.view_section;
    const QPointF middle(view.width() / 2.0, view.height() / 2.0);
    const QPointF whole = view.ToPicture(middle);
    // The whole picture cannot be panned.
    QTest::keyClick(&view, Qt::Key_Right);
    QCOMPARE(view.ToPicture(middle), whole);

    QTest::keyClick(&view, Qt::Key_Plus);
    QVERIFY(view.Zoom() > 1.0);
    QTest::keyClick(&view, Qt::Key_Right);
    QVERIFY(view.ToPicture(middle).x() > whole.x());
    QTest::keyClick(&view, Qt::Key_Down);
    QVERIFY(view.ToPicture(middle).y() > whole.y());
    // Zooming keeps the point under the pointer where it is.
    const QPointF pointer(view.width() / 4.0, view.height() / 3.0);
    const QPointF under = view.ToPicture(pointer);
    QWheelEvent wheel(pointer,
                      view.mapToGlobal(pointer),
                      {},
                      {0, 240},
                      Qt::NoButton,
                      Qt::NoModifier,
                      Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&view, &wheel);
    QVERIFY(view.Zoom() > 1.5);
    QVERIFY(std::abs(view.ToPicture(pointer).x() - under.x()) < 0.5);
    // Out again as far as it goes: the whole picture, as it began.
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(&view, Qt::Key_Minus);
    QCOMPARE(view.Zoom(), 1.0);
    QCOMPARE(view.ToPicture(middle), whole);
}

QObject* NewViewerTest()
{
    return new TestViewer;
}

} // namespace tessara::test

#include "test_viewer.moc"
