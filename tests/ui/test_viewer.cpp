// The viewer: a job's outputs shown from the summary, files dropped on it,
// a file it cannot read, and the keyboard's way out.
#include "tests/ui/ui_test_support.h"
#include "ui/job_summary.h"
#include "ui/section_viewer.h"

#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
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

QObject* NewViewerTest()
{
    return new TestViewer;
}

} // namespace tessara::test

#include "test_viewer.moc"
