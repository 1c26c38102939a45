// tessara-screenshots: renders the windows on a generated survey into PNG
// files for the README, on whatever platform Qt runs (offscreen in `make
// screenshots`).
//
//   tessara-screenshots OUT_DIR [PROGRAM_DIR]
//
// PROGRAM_DIR holds the help pages (the build's ui folder). Writes
// main_window.png, demultiplex_options.png, processing_log.png,
// job_summary.png, speed_chart.png (from a real speed-corrected job),
// viewer.png, viewer_zoom.png, viewer_waterfall.png (the outputs of a
// sidescan job) and help.png. On a screen of a higher scale factor
// (QT_SCALE_FACTOR=2) only the viewer's pictures are written, as
// NAME@2x.png: they show how sharp the section is beside the controls. Exit
// code 0 when all were written, 1 otherwise.
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
    /// The folder of the jobs from now on.
    void SetDirectory(const QString& directory) { m_directory = directory; }
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

/// Whether the screen has more than one pixel to a logical pixel.
bool bScaled()
{
    return qApp->devicePixelRatio() > 1.0;
}

bool Save(QWidget& window, const QDir& out, const char* name)
{
    window.show();
    QCoreApplication::processEvents();
    QString file = name;
    if (bScaled())
        file.replace(".png", "@2x.png");
    const QString path = out.filePath(file);
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

/// A job on a survey of interleaved port (1) and starboard (2) pings, the
/// channel in bytes 24-27, paired by the job; View then shows the pairs as
/// a waterfall by itself.
bool ShowSidescan(tessara::Form1& window,
                  CFixedPrompts& prompts,
                  const QString& workDirectory,
                  const QDir& out)
{
    tessara::synth::SurveyOptions survey =
        tessara::synth::DemoSurveyOptions(QDir(workDirectory).filePath("sidescan").toStdString());
    survey.fileCount = 1;
    survey.samplesPerTrace = 400;
    survey.channelCount = 2;
    survey.channelField = tessara::synth::ChannelField::TraceInEnsemble;
    const tessara::synth::SurveyResult files = tessara::synth::WriteSurvey(survey);
    if (!files.ok) {
        std::fprintf(stderr, "tessara-screenshots: %s\n", files.error.c_str());
        return false;
    }
    // A folder of its own: the first job's composites would be questioned.
    const QString results = QDir(workDirectory).filePath("out-sidescan");
    QDir().mkpath(results);
    prompts.SetDirectory(results);
    window.button_clear_list->click();
    window.AppendInputFiles({QString::fromStdString(files.files.front().path.string())});
    window.checkBox1->setChecked(false);
    window.popts->checkBox_demultiplex_sidescan->setChecked(true);
    window.popts->numericUpDown_channel_col2->setValue(1);
    window.popts->numericUpDown_port->setValue(1);
    window.popts->numericUpDown_stbd->setValue(2);
    window.button1->click();
    if (window.SummaryWindow() != nullptr)
        window.SummaryWindow()->hide();
    window.button_view->click();
    tessara::CSectionViewer* viewer = window.Viewer();
    if (viewer == nullptr) {
        std::fprintf(stderr, "tessara-screenshots: View opened no viewer\n");
        return false;
    }
    // As recorded: the processing of the pictures before is put away.
    viewer->checkBox_dc->setChecked(false);
    viewer->checkBox_bandpass->setChecked(false);
    viewer->comboBox_wiggles->setCurrentIndex(0);
    viewer->comboBox_palette->setCurrentIndex(0);
    return ShowViewer(*viewer, out, "viewer_waterfall.png");
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

    auto ownPrompts = std::make_unique<CFixedPrompts>(results);
    CFixedPrompts& prompts = *ownPrompts;
    tessara::Form1 window(programDirectory, QString(), std::move(ownPrompts));
    window.resize(1100, 700);
    QStringList paths;
    for (const auto& f : files.files)
        paths << QString::fromStdString(f.path.string());
    window.AppendInputFiles(paths);
    window.comboBox_Expedition->setEditText("25042");
    window.comboBox_data_type->setEditText("SEISMIC");
    window.comboBox_instrument_type->setEditText("CHIRP");
    window.listBox_input_segy_files->item(1)->setSelected(true);
    // Only the viewer shows pictures of its own, which a scaled screen sharpens.
    bool ok = bScaled() || Save(window, out, "main_window.png");

    window.button2->click();
    window.popts->numericUpDown1->setValue(1);
    window.popts->numericUpDown_start_pos->setValue(180);
    window.popts->button1->click();
    ok = (bScaled() || Save(*window.popts, out, "demultiplex_options.png")) && ok;
    window.popts->hide();
    // View opens the inputs selected in the list: here the job's outputs.
    window.listBox_input_segy_files->clearSelection();

    // A real speed-corrected job: the survey's ship slows down and speeds up
    // again, and the chart shows what the correction measured.
    window.checkBox1->setChecked(true);
    // Fill traces carry no position of their own: the chart would show the
    // ship stopping in every gap between files.
    window.checkBox_make_null_traces->setChecked(false);
    window.plog->show();
    window.button1->click();
    ok = (bScaled() || Save(*window.plog, out, "processing_log.png")) && ok;
    if (window.SummaryWindow() != nullptr)
        ok = (bScaled() || Save(*window.SummaryWindow(), out, "job_summary.png")) && ok;
    if (window.ChartWindow() != nullptr) {
        ok = (bScaled() || Save(*window.ChartWindow(), out, "speed_chart.png")) && ok;
        window.ChartWindow()->hide();
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

    window.plog->hide();
    ok = ShowSidescan(window, prompts, work.path(), out) && ok;

    window.button_help->click();
    ok = (bScaled() || Save(*window.phelp, out, "help.png")) && ok;

    return ok ? 0 : 1;
}
