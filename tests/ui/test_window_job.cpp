// The whole path: the combine job run from the main window, beside
// tessara-cli combine with the same settings on the same survey.
#include "tests/ui/ui_test_support.h"
#include "tools/synth/synth_survey.h"
#include "ui/job_preview.h"
#include "ui/processing_log.h"
#include "ui/range_spin_box.h"
#include "ui/section_viewer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace tessara::test
{

class TestWindowJob : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        synth::SurveyOptions o = synth::DemoSurveyOptions(m_dir->Path() / "in");
        o.samplesPerTrace = 200;
        const synth::SurveyResult survey = synth::WriteSurvey(o);
        QVERIFY(survey.ok);
        m_listed.clear();
        m_timeOrder.clear();
        m_timeOrder.resize(static_cast<qsizetype>(survey.files.size()));
        for (const synth::SynthFile& f : survey.files) {
            m_listed << QString::fromStdString(f.path.string());
            m_timeOrder[f.timeOrder] = QString::fromStdString(f.path.string());
        }
        QVERIFY(m_listed != m_timeOrder);
        fs::create_directories(m_dir->Path() / "out");
    }
    void cleanup() { m_dir.reset(); }

    void window_and_cli_write_the_same_files_and_log();
    void demultiplex_only_keeps_the_list_order();
    void setting_changed_during_the_job_takes_effect_and_no_second_job_starts();
    void cancelled_or_unwriteable_folder_runs_no_job();
    void stop_ends_the_job_and_the_next_job_runs();
    void closing_during_the_job_stops_it_and_closes_after();
    void preview_writes_nothing_and_lists_what_the_job_then_writes();
    void follow_folder_takes_its_files_until_stop();

private:
    [[nodiscard]] QString Out() const
    {
        return QString::fromStdString((m_dir->Path() / "out").string());
    }

    std::unique_ptr<TempDir> m_dir;
    QStringList m_listed;
    QStringList m_timeOrder;
};

void TestWindowJob::window_and_cli_write_the_same_files_and_log()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    ui.prompts->files = m_listed;
    QTest::mouseClick(w.button_load_segy, Qt::LeftButton);
    w.comboBox_Expedition->setEditText("25042");
    w.comboBox_data_type->setEditText("SEISMIC");
    w.numericUpDown_file_gap->setValue(30);
    ui.prompts->directory = Out();
    QTest::mouseClick(w.button1, Qt::LeftButton);

    QCOMPARE(ui.prompts->directoryDescriptions,
             QStringList{" Choose output directory for composite files"});
    QVERIFY2(ui.prompts->messages.isEmpty(), qPrintable(ui.prompts->messages.join('\n')));
    QCOMPARE(w.label_status->text(), QString("Done...."));
    QVERIFY(!w.bIsJobRunning());
    QVERIFY(w.button1->isEnabled() && w.button_load_segy->isEnabled());
    // The list shows the inputs in start-time order.
    QCOMPARE(w.InputFiles(), m_timeOrder);
    const std::string windowLog = w.plog->Text().toStdString();
    QVERIFY(windowLog.find("Processing file ") != std::string::npos);

    // The same job on the command line, into the same folder (the log names
    // it), with the files in the order they were loaded.
    const fs::path out = m_dir->Path() / "out";
    const fs::path windowOut = m_dir->Path() / "window";
    fs::rename(out, windowOut);
    fs::create_directories(out);
    std::string command = std::string("\"") + TESSARA_CLI + "\" combine -o \"" + out.string() +
                          "\" --expedition 25042 --data-type SEISMIC --file-gap 30 --log \"" +
                          (m_dir->Path() / "cli.log").string() + "\"";
    for (const QString& path : m_listed)
        command += " \"" + path.toStdString() + "\"";
    command += " >/dev/null";
    QCOMPARE(std::system(command.c_str()), 0);

    const std::vector<std::string> names = FileNames(out);
    QCOMPARE(FileNames(windowOut), names);
    QVERIFY(names.size() >= 2); // the demo survey's long gap splits it
    for (const std::string& name : names) {
        QVERIFY(name.rfind("25042_SEISMIC_", 0) == 0);
        QVERIFY2(ReadAll(out / name) == ReadAll(windowOut / name), name.c_str());
    }
    QCOMPARE(windowLog, ReadAll(m_dir->Path() / "cli.log"));
}

void TestWindowJob::demultiplex_only_keeps_the_list_order()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles(m_listed);
    QTest::mouseClick(w.checkBox_demultiplex_only, Qt::LeftButton);
    ui.prompts->directory = Out();
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(w.label_status->text(), QString("Done...."));
    QCOMPARE(w.InputFiles(), m_listed);
    QCOMPARE(FileNames(m_dir->Path() / "out").size(), static_cast<std::size_t>(m_listed.size()));
}

void TestWindowJob::setting_changed_during_the_job_takes_effect_and_no_second_job_starts()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles(m_listed);
    ui.prompts->directory = Out();
    bool ran = false;
    bool disabledInside = false;
    int rowsInside = -1;
    bool closedInside = true;
    // Runs at the job's first event pumping, inside the click.
    QTimer::singleShot(0, &w, [&] {
        ran = true;
        disabledInside = w.bIsJobRunning() && !w.button1->isEnabled() &&
                         !w.button_load_segy->isEnabled() && !w.button_clear_list->isEnabled() &&
                         !w.button_clear_selected->isEnabled();
        w.comboBox_Expedition->setEditText("LATER");
        QTest::mouseClick(w.button1, Qt::LeftButton);
        QTest::mouseClick(w.button_clear_list, Qt::LeftButton);
        w.AppendInputFiles({"/data/extra.sgy"});
        rowsInside = w.listBox_input_segy_files->count();
        closedInside = w.close();
    });
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QVERIFY(ran);
    QVERIFY(disabledInside);
    QCOMPARE(rowsInside, static_cast<int>(m_listed.size()));
    QCOMPARE(ui.prompts->directoryDescriptions.size(), 1); // no second job asked for a folder
    // Closing asked whether to stop; answered no, the job went on.
    QVERIFY(!closedInside);
    QVERIFY(w.isVisible());
    QCOMPARE(ui.prompts->questions.size(), 1);
    QVERIFY(ui.prompts->messages.isEmpty());
    QCOMPARE(w.label_status->text(), QString("Done...."));
    // Every output was named after the job started: the new text is in force.
    const std::vector<std::string> names = FileNames(m_dir->Path() / "out");
    QVERIFY(!names.empty());
    for (const std::string& name : names)
        QVERIFY2(name.rfind("LATER_", 0) == 0, name.c_str());
    QVERIFY(w.button1->isEnabled());
}

void TestWindowJob::cancelled_or_unwriteable_folder_runs_no_job()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles(m_listed);
    w.plog->Append("previous job\r\n");
    ui.prompts->directory.clear(); // cancelled
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(w.label_status->text(), QString("..."));
    const QString missing = QString::fromStdString((m_dir->Path() / "no" / "such").string());
    ui.prompts->directory = missing;
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(ui.prompts->messages,
             QStringList{"Selected output directory, " + missing + ", is not writeable"});
    QCOMPARE(w.plog->Text(), QString("previous job\r\n"));
    // The chooser opens at home, then at the folder chosen last.
    QCOMPARE(ui.prompts->directoryStarts.back(), QDir::homePath());
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(ui.prompts->directoryStarts.back(), missing);
}

void TestWindowJob::stop_ends_the_job_and_the_next_job_runs()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles(m_listed);
    ui.prompts->directory = Out();
    QVERIFY(!w.button_stop->isEnabled());
    bool enabledInside = false;
    // "Stop" while the inputs are being scanned: no input is processed.
    QTimer::singleShot(0, &w, [&] {
        enabledInside = w.button_stop->isEnabled();
        QTest::mouseClick(w.button_stop, Qt::LeftButton);
    });
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QVERIFY(enabledInside);
    QCOMPARE(w.label_status->text(), QString("Stopped...."));
    QVERIFY(!w.button_stop->isEnabled() && w.button1->isEnabled());
    QVERIFY(FileNames(m_dir->Path() / "out").empty()); // no working file remains
    // The next job is not stopped by the last one's request.
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(w.label_status->text(), QString("Done...."));
    QVERIFY(!FileNames(m_dir->Path() / "out").empty());
}

void TestWindowJob::closing_during_the_job_stops_it_and_closes_after()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles(m_listed);
    ui.prompts->directory = Out();
    ui.prompts->answer = true;
    bool visibleAfterClose = false;
    QTimer::singleShot(0, &w, [&] {
        (void)w.close();
        visibleAfterClose = w.isVisible();
    });
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QVERIFY(visibleAfterClose); // the window waited for the job
    QCOMPARE(ui.prompts->questions.size(), 1);
    QCOMPARE(w.label_status->text(), QString("Stopped...."));
    QVERIFY(!w.isVisible());
}

void TestWindowJob::follow_folder_takes_its_files_until_stop()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    const QString in = QString::fromStdString((m_dir->Path() / "in").string());
    ui.prompts->directories = {in, Out()};
    // Modified a minute apart in time order, as a recorder leaves them.
    const auto now = fs::file_time_type::clock::now();
    for (qsizetype k = 0; k < m_timeOrder.size(); ++k)
        fs::last_write_time(m_timeOrder[k].toStdString(),
                            now - std::chrono::minutes(m_timeOrder.size() - k));
    // The viewer, open while following, gets each output as it is written.
    QTest::mouseClick(w.button_view, Qt::LeftButton);
    QVERIFY(w.Viewer() != nullptr && w.Viewer()->Files().isEmpty());
    // "Stop" as soon as the job lets the window run: the files taken by
    // then are written, the newest (not settled, nothing newer) is left out.
    QTimer::singleShot(0, &w, [&] { QTest::mouseClick(w.button_stop, Qt::LeftButton); });
    QTest::mouseClick(w.button_follow, Qt::LeftButton);
    QCOMPARE(ui.prompts->directoryDescriptions.first(),
             QString(" Choose the folder the recorder writes into"));
    QCOMPARE(w.label_status->text(), QString("Done...."));
    QVERIFY(w.button_follow->isEnabled() && !w.button_stop->isEnabled());
    QCOMPARE(w.plog->Text().count(": never completed"), 1);
    QStringList outputs;
    for (const std::string& name : FileNames(m_dir->Path() / "out"))
        outputs << QString::fromStdString((m_dir->Path() / "out" / name).string());
    QVERIFY(!outputs.isEmpty());
    QCOMPARE(w.Viewer()->Files(), outputs);
}

QObject* NewWindowJobTest()
{
    return new TestWindowJob;
}

void TestWindowJob::preview_writes_nothing_and_lists_what_the_job_then_writes()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    ui.prompts->files = m_listed;
    QTest::mouseClick(w.button_load_segy, Qt::LeftButton);
    ui.prompts->directory = Out();
    QTest::mouseClick(w.button_preview, Qt::LeftButton);

    QVERIFY(FileNames(m_dir->Path() / "out").empty());
    QVERIFY(w.plog->Text().isEmpty());
    QVERIFY(w.button1->isEnabled() && w.button_preview->isEnabled());
    CJobPreviewDialog* preview = w.PreviewWindow();
    QVERIFY(preview != nullptr && preview->isVisible());
    const int rows = preview->table_outputs->rowCount();
    QVERIFY(rows >= 2); // the demo survey's long gap splits it

    QTest::mouseClick(w.button1, Qt::LeftButton);
    const std::vector<std::string> names = FileNames(m_dir->Path() / "out");
    QCOMPARE(static_cast<int>(names.size()), rows);
    for (int row = 0; row < rows; ++row) {
        const std::string name = preview->table_outputs->item(row, 0)->text().toStdString();
        QVERIFY2(std::find(names.begin(), names.end(), name) != names.end(), name.c_str());
        const auto bytes = static_cast<qlonglong>(fs::file_size(m_dir->Path() / "out" / name));
        QCOMPARE(preview->table_outputs->item(row, 5)->text(), QLocale::c().toString(bytes));
    }
}

} // namespace tessara::test

#include "test_window_job.moc"
