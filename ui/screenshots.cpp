// tessara-screenshots: renders the windows on a generated survey into PNG
// files for the README, on whatever platform Qt runs (offscreen in `make
// screenshots`).
//
//   tessara-screenshots OUT_DIR [PROGRAM_DIR]
//
// PROGRAM_DIR holds the help pages (the build's ui folder). Writes
// main_window.png, demultiplex_options.png, processing_log.png,
// job_summary.png, speed_chart.png (from a real speed-corrected job) and
// help.png. Exit code 0 when all were written, 1 otherwise.
#include "tools/synth/synth_survey.h"
#include "ui/form1.h"
#include "ui/job_summary.h"
#include "ui/processing_help.h"
#include "ui/processing_log.h"
#include "ui/processing_options.h"
#include "ui/range_spin_box.h"
#include "ui/section_viewer.h"
#include "ui/speed_correction.h"

#include <gsl/gsl_errno.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace
{

/// Answers the folder chooser with the screenshot job's folder; shows no
/// message box (a message would be printed instead).
class CFixedPrompts : public tessara::IWindowPrompts
{
public:
    explicit CFixedPrompts(QString directory) : m_directory(std::move(directory)) {}
    QStringList ChooseFiles(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString ChooseDirectory(QWidget*, const QString&, const QString&) override
    {
        return m_directory;
    }
    bool Ask(QWidget*, const QString&) override { return false; }
    void ShowMessage(QWidget*, const QString& text) override
    {
        std::fprintf(stderr, "tessara-screenshots: message: %s\n", qPrintable(text));
    }

private:
    QString m_directory;
};

bool Save(QWidget& window, const QDir& out, const char* name)
{
    window.show();
    QCoreApplication::processEvents();
    const QString path = out.filePath(name);
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "tessara-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

/// Saves the viewer once it has read all it was asked for, the pointer
/// resting on the middle of the section.
bool ShowViewer(tessara::CSectionViewer& viewer, const QDir& out, const char* name)
{
    viewer.show();
    // The view rests first, then what it asked for is read.
    QElapsedTimer rest;
    rest.start();
    while (rest.elapsed() < 2 * tessara::CSectionPictureView::kSettleMs || viewer.bIsLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    tessara::CSectionPictureView& view = *viewer.view_section;
    const QPointF middle(view.width() / 2.0, view.height() / 2.0);
    QMouseEvent move(QEvent::MouseMove,
                     middle,
                     view.mapToGlobal(middle),
                     Qt::NoButton,
                     Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
    return Save(viewer, out, name);
}

/// The viewer band-passed over the whole file, then zoomed in to some sixty
/// traces and the reflections, drawn as wiggles over the seismic colours.
bool ShowProcessedViewer(tessara::CSectionViewer& viewer, const QDir& out)
{
    tessara::CSectionPictureView& view = *viewer.view_section;
    view.ShowWhole();
    viewer.checkBox_dc->setChecked(true);
    viewer.numericUpDown_band_low->setValue(500.0);
    viewer.numericUpDown_band_high->setValue(6000.0);
    viewer.checkBox_bandpass->setChecked(true);
    bool ok = ShowViewer(viewer, out, "viewer_bandpass.png");
    const double share = std::min(1.0, 60.0 / std::max(1.0, view.Whole().width()));
    view.ZoomToBox(
        QRectF(view.width() * 0.4, view.height() * 0.2, view.width() * share, view.height() * 0.3));
    viewer.comboBox_palette->setCurrentIndex(2); // seismic
    viewer.comboBox_wiggles->setCurrentIndex(1);
    ok = ShowViewer(viewer, out, "viewer_wiggles.png") && ok;
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    // GSL failures are status codes checked where they arise, never an abort.
    (void)gsl_set_error_handler_off();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessara-screenshots OUT_DIR [PROGRAM_DIR]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path()))
        return 1;
    const QString programDirectory =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QApplication::applicationDirPath();

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    tessara::synth::SurveyOptions survey =
        tessara::synth::DemoSurveyOptions(QDir(work.path()).filePath("in").toStdString());
    survey.longGapS = 30.0; // one composite file
    // Half speed for the second and third minutes, then faster than at first.
    survey.speedChanges = {{60.0, 1.25}, {180.0, 3.5}};
    const tessara::synth::SurveyResult files = tessara::synth::WriteSurvey(survey);
    if (!files.ok) {
        std::fprintf(stderr, "tessara-screenshots: %s\n", files.error.c_str());
        return 1;
    }
    const QString results = QDir(work.path()).filePath("out");
    QDir().mkpath(results);

    tessara::Form1 window(programDirectory, QString(), std::make_unique<CFixedPrompts>(results));
    window.resize(1100, 700);
    QStringList paths;
    for (const auto& f : files.files)
        paths << QString::fromStdString(f.path.string());
    window.AppendInputFiles(paths);
    window.comboBox_Expedition->setEditText("25042");
    window.comboBox_data_type->setEditText("SEISMIC");
    window.comboBox_instrument_type->setEditText("CHIRP");
    window.listBox_input_segy_files->item(1)->setSelected(true);
    bool ok = Save(window, out, "main_window.png");

    window.button2->click();
    window.popts->numericUpDown1->setValue(1);
    window.popts->numericUpDown_start_pos->setValue(180);
    window.popts->button1->click();
    ok = Save(*window.popts, out, "demultiplex_options.png") && ok;
    window.popts->hide();

    // A real speed-corrected job: the survey's ship slows down and speeds up
    // again, and the chart shows what the correction measured.
    window.checkBox1->setChecked(true);
    // Fill traces carry no position of their own: the chart would show the
    // ship stopping in every gap between files.
    window.checkBox_make_null_traces->setChecked(false);
    window.plog->show();
    window.button1->click();
    ok = Save(*window.plog, out, "processing_log.png") && ok;
    if (window.SummaryWindow() != nullptr)
        ok = Save(*window.SummaryWindow(), out, "job_summary.png") && ok;
    if (window.ChartWindow() != nullptr) {
        ok = Save(*window.ChartWindow(), out, "speed_chart.png") && ok;
    } else {
        std::fprintf(stderr, "tessara-screenshots: the job drew no chart\n");
        ok = false;
    }

    // The viewer on the job's outputs: the whole composite with a trace
    // hovered, then a box zoomed into.
    window.button_view->click();
    if (tessara::CSectionViewer* viewer = window.Viewer()) {
        viewer->resize(1200, 700);
        ok = ShowViewer(*viewer, out, "viewer.png") && ok;
        tessara::CSectionPictureView& view = *viewer->view_section;
        view.ZoomToBox(QRectF(
            view.width() * 0.35, view.height() * 0.1, view.width() * 0.2, view.height() * 0.45));
        ok = ShowViewer(*viewer, out, "viewer_zoom.png") && ok;
        ok = ShowProcessedViewer(*viewer, out) && ok;
    } else {
        std::fprintf(stderr, "tessara-screenshots: View opened no viewer\n");
        ok = false;
    }

    window.button_help->click();
    ok = Save(*window.phelp, out, "help.png") && ok;

    return ok ? 0 : 1;
}
