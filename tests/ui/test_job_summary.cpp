// The end of a job: the summary's first line, icon and lines for the ways a
// job ends, the progress text, and the summary a real job leaves in the window.
#include "tests/ui/ui_test_support.h"
#include "tools/synth/synth_survey.h"
#include "ui/job_summary.h"
#include "ui/window_job_host.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <filesystem>
#include <fstream>

Q_DECLARE_METATYPE(tessara::CombineResult)

namespace fs = std::filesystem;

namespace tessara::test
{
namespace
{

OutputRecord Output(const std::string& name, std::int64_t traces, std::int64_t fill)
{
    OutputRecord r;
    r.path = "/out/" + name;
    r.traces = traces;
    r.fill_traces = fill;
    return r;
}

/// A job that wrote two outputs from 500 traces read.
CombineResult Clean()
{
    CombineResult r;
    r.outputs = {Output("A_255_1735_to_255_1800.sgy", 300, 12),
                 Output("A_255_1900_to_255_1930.sgy", 188, 0)};
    r.summary.traces_read = 500;
    r.summary.traces_written = 476;
    r.summary.traces_filled = 12;
    r.summary.dropped_reference = 2;
    return r;
}

} // namespace

class TestJobSummary : public QObject
{
    Q_OBJECT
private slots:
    void headline_and_icon_data();
    void headline_and_icon();
    void lines_name_outputs_skips_and_drops();
    void speed_corrected_output_shows_spacing_and_counts();
    void progress_text_data();
    void progress_text();
    void window_job_with_a_broken_input_shows_a_warning_summary();
    void open_folder_data();
    void open_folder();
};

void TestJobSummary::headline_and_icon_data()
{
    QTest::addColumn<CombineResult>("result");
    QTest::addColumn<bool>("warning");
    QTest::addColumn<QString>("headline");

    QTest::newRow("clean") << Clean() << false << "Done: 2 outputs written";
    CombineResult nothing;
    nothing.summary.traces_read = 40;
    nothing.summary.dropped_channel = 38;
    nothing.summary.dropped_reference = 2;
    QTest::newRow("all dropped") << nothing << true
                                 << "Nothing was written: every trace read was dropped";
    QTest::newRow("empty list") << CombineResult{} << true
                                << "Nothing was written: no trace was read";
    CombineResult skipped = Clean();
    skipped.summary.inputs_unreadable = 1;
    skipped.unreadable_inputs = {{"/in/broken.sgy", "too short"}};
    QTest::newRow("skipped") << skipped << true
                             << "Done, 2 outputs written, but 1 input was skipped";
    CombineResult twice = Clean();
    twice.summary.inputs_same_file = 1; // read once, as asked: nothing to warn of
    QTest::newRow("listed twice") << twice << false << "Done: 2 outputs written";
    CombineResult stopped = Clean();
    stopped.outcome = CombineOutcome::Stopped;
    stopped.outputs.resize(1);
    QTest::newRow("stopped") << stopped << true << "Stopped: 1 output written before the stop";
    CombineResult failed = Clean();
    failed.outcome = CombineOutcome::WriteFailed;
    failed.failed_path = "/out/SegyOut.sgy";
    QTest::newRow("failed") << failed << true
                            << "Failed: /out/SegyOut.sgy could not be written; 2 outputs written";
    CombineResult gone = failed;
    gone.failed_path = "/in/b.sgy";
    gone.input_changed = true;
    gone.input_failure = "is gone";
    QTest::newRow("input gone") << gone << true << "Failed: /in/b.sgy is gone; 2 outputs written";
    CombineResult overlap = Clean();
    overlap.overlapping_inputs = {{"/in/a.sgy", "/in/b.sgy"}};
    QTest::newRow("overlap") << overlap << true << "Done, 2 outputs written, with warnings";
}

void TestJobSummary::headline_and_icon()
{
    QFETCH(CombineResult, result);
    QFETCH(bool, warning);
    QFETCH(QString, headline);
    const JobSummaryText text = SummarizeJob(result);
    QCOMPARE(text.warning, warning);
    QCOMPARE(text.headline, headline);
    CJobSummaryDialog dialog;
    dialog.SetResult(result, "/out");
    QCOMPARE(dialog.bWarning(), warning);
    QCOMPARE(dialog.label_headline->text(), headline);
    QCOMPARE(dialog.label_icon->accessibleName(), warning ? "Warning" : "Information");
    QVERIFY(!dialog.label_icon->pixmap().isNull());
}

void TestJobSummary::lines_name_outputs_skips_and_drops()
{
    CombineResult r = Clean();
    r.summary.inputs_unreadable = 1;
    r.unreadable_inputs = {{"/in/broken.sgy", "too short"}};
    r.summary.inputs_without_navigation = 1;
    r.inputs_without_navigation = {"/in/nonav.sgy"};
    r.summary.dropped_channel = 7;
    r.summary.removed_by_delay_scan = 3;
    r.overlapping_inputs = {{"/in/a.sgy", "/in/b.sgy"}};
    const QStringList lines = SummarizeJob(r).lines;
    QCOMPARE(lines.at(0), "A_255_1735_to_255_1800.sgy: 300 traces, 12 fill traces");
    QCOMPARE(lines.at(1), "A_255_1900_to_255_1930.sgy: 188 traces, 0 fill traces");
    QVERIFY(lines.contains("    not readable: /in/broken.sgy (too short)"));
    QVERIFY(lines.contains("    without navigation: /in/nonav.sgy"));
    QVERIFY(lines.contains("    7 of another channel"));
    QVERIFY(lines.contains("    3 removed by the delay scan"));
    // Reasons without a trace are left out.
    QVERIFY(!lines.join('\n').contains("clock glitch"));
    QVERIFY(lines.join('\n').contains("/in/b.sgy starts before the end of /in/a.sgy"));
}

void TestJobSummary::speed_corrected_output_shows_spacing_and_counts()
{
    CombineResult r;
    OutputRecord o = Output("A_255_1735_to_255_1800_SC4.9m.sgy", 950, 0);
    o.speed_corrected = true;
    o.spacing_metres = 4.8671234567;
    o.traces_before_correction = 1000;
    r.outputs = {o};
    r.summary.traces_read = 1004;
    r.summary.traces_written = 1000;
    r.summary.dropped_reference = 3;
    r.summary.dropped_clock_glitch = 1;
    const QStringList lines = SummarizeJob(r).lines;
    QCOMPARE(lines.at(0),
             "A_255_1735_to_255_1800_SC4.9m.sgy: 950 traces, 0 fill traces, spacing 4.867 m "
             "(1000 traces before, 950 after)");
    // Records read and written differ from the traces the output holds.
    QCOMPARE(lines.at(1), "1004 records read, 1000 written from them, 0 fill traces");
    QCOMPARE(lines.at(2), "Traces in the outputs after speed correction 950");
    QVERIFY(lines.contains("    3 reference traces, one per input, not written"));
    QVERIFY(lines.contains("    1 clock glitch"));
}

void TestJobSummary::progress_text_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("input");
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    using P = JobProgress::Phase;
    QTest::newRow("start") << int(P::Reading) << 0 << qint64(0) << qint64(1000) << qint64(0)
                           << "0%, input 0 of 4, reading, 0:00 elapsed";
    // A quarter in 30 s: 90 s to go.
    QTest::newRow("quarter") << int(P::Reading) << 1 << qint64(250) << qint64(1000) << qint64(30000)
                             << "25%, input 1 of 4, reading, 0:30 elapsed, 1:30 left";
    QTest::newRow("deciding") << int(P::Deciding) << 2 << qint64(100) << qint64(1000)
                              << qint64(10000)
                              << "10%, input 2 of 4, deciding, 0:10 elapsed, 1:30 left";
    QTest::newRow("hours") << int(P::DelayScan) << 4 << qint64(500) << qint64(1000)
                           << qint64(3'725'000)
                           << "50%, input 4 of 4, delay scan, 1:02:05 elapsed, 1:02:05 left";
    QTest::newRow("all read") << int(P::SpeedCorrection) << 4 << qint64(1000) << qint64(1000)
                              << qint64(5000)
                              << "100%, input 4 of 4, speed correction, 0:05 elapsed";
    // No bytes to read (every input empty or gone): no division by zero.
    QTest::newRow("no bytes") << int(P::Scanning) << 2 << qint64(0) << qint64(0) << qint64(1000)
                              << "0%, input 2 of 4, scanning start times, 0:01 elapsed";
}

void TestJobSummary::progress_text()
{
    QFETCH(int, phase);
    QFETCH(int, input);
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, text);
    JobProgress p;
    p.phase = static_cast<JobProgress::Phase>(phase);
    p.input = input;
    p.inputCount = 4;
    p.bytesDone = done;
    p.bytesTotal = total;
    QCOMPARE(ProgressText(p, elapsedMs), text);
}

void TestJobSummary::window_job_with_a_broken_input_shows_a_warning_summary()
{
    TempDir dir;
    WindowUnderTest ui;
    Form1& w = *ui.window;
    QVERIFY(LoadTwoFileSurvey(w, *ui.prompts, dir.Path()));
    const fs::path broken = dir.Path() / "in" / "broken.sgy";
    std::ofstream(broken) << "not a SEG-Y file";
    w.AppendInputFiles({QString::fromStdString(broken.string())});
    bool barShown = false;
    QTimer::singleShot(0, &w, [&] { barShown = w.progressBar_job->isVisible(); });
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QVERIFY(barShown);
    QVERIFY(!w.progressBar_job->isVisible());

    CJobSummaryDialog* summary = w.SummaryWindow();
    QVERIFY(summary != nullptr && summary->isVisible());
    QVERIFY(summary->bWarning());
    QVERIFY2(summary->label_headline->text().endsWith("but 1 input was skipped"),
             qPrintable(summary->label_headline->text()));
    const QString lines = summary->textBox_summary->toPlainText();
    QVERIFY(lines.contains("not readable: " + QString::fromStdString(broken.string())));
    for (const std::string& name : FileNames(dir.Path() / "out"))
        QVERIFY2(lines.contains(QString::fromStdString(name) + ": "), name.c_str());
}

void TestJobSummary::open_folder_data()
{
    QTest::addColumn<QString>("opener");  // the xdg-open on the PATH; empty: none
    QTest::addColumn<QString>("message"); // what the user is told; empty: nothing
    // Shell built-ins only: the PATH holds nothing else.
    QTest::newRow("a file manager opens it") << R"(printf %s "$1" >"${0%/*}/opened")" << QString();
    QTest::newRow("no file manager")
        << R"(echo "xdg-open: no method available for opening '$1'" >&2; exit 3)"
        << "The folder /data/out put could not be opened in a file manager: xdg-open: no "
           "method available for opening '/data/out put'";
    QTest::newRow("no xdg-open") << QString()
                                 << "The folder /data/out put could not be opened in a file "
                                    "manager: xdg-open could not be started";
}

void TestJobSummary::open_folder()
{
    QFETCH(QString, opener);
    QFETCH(QString, message);
    TempDir bin;
    if (!opener.isEmpty()) {
        std::ofstream(bin.Path() / "xdg-open") << "#!/bin/sh\n" << opener.toStdString() << "\n";
        fs::permissions(bin.Path() / "xdg-open", fs::perms::owner_all);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.Path().string()));
    CJobSummaryDialog dialog;
    QStringList told;
    dialog.reportFailure = [&told](const QString& text) { told << text; };
    dialog.SetResult(Clean(), "/data/out put");
    QTest::mouseClick(dialog.button_open_folder, Qt::LeftButton);
    qputenv("PATH", path);
    if (message.isEmpty()) {
        QTRY_VERIFY(fs::exists(bin.Path() / "opened"));
        QCOMPARE(QString::fromStdString(ReadAll(bin.Path() / "opened")), QString("/data/out put"));
        QTest::qWait(100); // xdg-open has ended: nothing more is said
        QCOMPARE(told, QStringList());
    } else {
        QTRY_COMPARE(told.size(), 1);
        QVERIFY2(told.front().startsWith(message), qPrintable(told.front()));
    }
    QCOMPARE(dialog.button_open_folder->accessibleName(), QString("Open Folder"));
}

QObject* NewJobSummaryTest()
{
    return new TestJobSummary;
}

} // namespace tessara::test

#include "test_job_summary.moc"
