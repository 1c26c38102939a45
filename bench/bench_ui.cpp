// The desktop application's speed, on the offscreen platform:
//
// 1. The whole combine job started from the main window (log window hidden)
//    beside `tessara-cli combine` with the same settings on the same survey,
//    in paired runs whose order alternates; target: the window within 1.1x
//    of the command line (medians).
// 2. The speed chart filled with 200,000 fixes through the job host's chart
//    calls and drawn once (QWidget::grab); target: under one second.
//
//   QT_QPA_PLATFORM=offscreen bench_ui [ROUNDS] [TOTAL_BYTES]
//
// ROUNDS defaults to 5, TOTAL_BYTES to 200000000 (the survey is the
// generator's benchmark preset). The survey and the outputs live under
// /dev/shm and are removed at the end.
#include "combine/api/combine_job.h"
#include "tools/synth/synth_survey.h"
#include "ui/form1.h"
#include "ui/processing_log.h"
#include "ui/speed_correction.h"
#include "ui/window_job_host.h"

#include <gsl/gsl_errno.h>

#include <QApplication>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{

class CBenchPrompts : public tessara::IWindowPrompts
{
public:
    explicit CBenchPrompts(QString directory) : m_directory(std::move(directory)) {}
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
        std::fprintf(stderr, "bench_ui: message: %s\n", qPrintable(text));
        failed = true;
    }
    bool failed = false;

private:
    QString m_directory;
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Renew(const fs::path& dir)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
}

double RunCli(const std::vector<std::string>& inputs, const fs::path& out, const fs::path& log)
{
    Renew(out);
    std::string command = std::string("\"") + TESSARA_CLI + "\" combine -o \"" + out.string() +
                          "\" --log \"" + log.string() + "\"";
    for (const std::string& path : inputs)
        command += " \"" + path + "\"";
    command += " >/dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_ui: tessara-cli combine failed\n");
        std::exit(1);
    }
    return Seconds(start);
}

double RunWindow(const std::vector<std::string>& inputs, const fs::path& out)
{
    Renew(out);
    auto owned = std::make_unique<CBenchPrompts>(QString::fromStdString(out.string()));
    CBenchPrompts* prompts = owned.get();
    tessara::Form1 window(QString(), QString(), std::move(owned));
    QStringList paths;
    for (const std::string& path : inputs)
        paths << QString::fromStdString(path);
    window.AppendInputFiles(paths);
    window.show();
    QCoreApplication::processEvents();
    const auto start = Clock::now();
    window.button1->click();
    const double seconds = Seconds(start);
    if (prompts->failed || window.label_status->text() != "Done....") {
        std::fprintf(stderr, "bench_ui: the window's job did not finish\n");
        std::exit(1);
    }
    return seconds;
}

/// The job in this process with a front end that does nothing: what the
/// window adds is the difference to this.
class CNullHost : public tessara::IJobHost
{
public:
    void ClearLog() override {}
    void AppendLog(std::string_view) override {}
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view) override {}
    void PumpEvents() override {}
    void ShowMessage(std::string_view) override {}
    void SetInputOrder(const std::vector<std::string>&) override {}
};

double RunBare(const std::vector<std::string>& inputs, const fs::path& out)
{
    Renew(out);
    tessara::CombineSettings settings;
    settings.input_files = inputs;
    CNullHost host;
    tessara::CCombineJob job(settings, host);
    const auto start = Clock::now();
    const tessara::CombineOutcome outcome = job.Run(out.string());
    const double seconds = Seconds(start);
    if (outcome != tessara::CombineOutcome::Done) {
        std::fprintf(stderr, "bench_ui: the job without windows failed\n");
        std::exit(1);
    }
    return seconds;
}

double FillAndDrawChart(int fixes)
{
    tessara::Form1 window{QString(), QString()};
    tessara::SpeedCorrection chart;
    CBenchPrompts prompts({});
    tessara::CWindowJobHost host(*window.plog,
                                 *window.label_status,
                                 *window.listBox_input_segy_files,
                                 prompts,
                                 [&chart]() -> tessara::SpeedCorrection& { return chart; });
    // One fix every quarter second from 2003-09-12 17:35, a ship near 2.5 m/s.
    constexpr std::int64_t kStart = 731'469LL * 864'000'000'000LL + 632'000'000'000LL;
    constexpr std::int64_t kStep = 2'500'000;
    const auto start = Clock::now();
    host.ChartBegin("Speed Correction from 255 benchmark");
    for (int k = 0; k < fixes; ++k) {
        const double speed = 2.5 + 0.3 * std::sin(k * 0.001) + 0.05 * std::sin(k * 0.37);
        host.ChartAddFix(kStart + k * kStep, speed, speed * 0.25);
    }
    host.ChartSetSpacing(kStart, kStart + (fixes - 1) * kStep, 0.625, " shot spacing = 0.6 m");
    host.ChartEnd();
    const QPixmap drawn = chart.grab();
    const double seconds = Seconds(start);
    if (drawn.isNull() || chart.fastLine1->count() == 0) {
        std::fprintf(stderr, "bench_ui: the chart was not drawn\n");
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char* argv[])
{
    // GSL failures are status codes checked where they arise, never an abort.
    (void)gsl_set_error_handler_off();
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::int64_t total = argc > 2 ? std::atoll(argv[2]) : 200'000'000;

    std::vector<double> chart;
    for (int r = 0; r < rounds; ++r)
        chart.push_back(FillAndDrawChart(200'000));
    std::printf("chart: 200000 fixes filled and drawn: median %.3f s (target < 1 s)\n",
                Median(chart));

    const fs::path work = fs::path("/dev/shm") / ("tessara-bench-ui-" + std::to_string(::getpid()));
    const tessara::synth::SurveyResult survey =
        tessara::synth::WriteSurvey(tessara::synth::BigSurveyOptions(work / "in", total));
    if (!survey.ok) {
        std::fprintf(stderr, "bench_ui: %s\n", survey.error.c_str());
        return 1;
    }
    std::vector<std::string> inputs;
    std::int64_t bytes = 0;
    for (const auto& f : survey.files) {
        inputs.push_back(f.path.string());
        bytes += f.bytes;
    }
    std::printf("survey: %zu files, %lld bytes\n", inputs.size(), static_cast<long long>(bytes));

    std::vector<double> cli, window, bare;
    for (int r = 0; r < rounds; ++r) {
        bare.push_back(RunBare(inputs, work / "out"));
        if (r % 2 == 0) {
            cli.push_back(RunCli(inputs, work / "out", work / "cli.log"));
            window.push_back(RunWindow(inputs, work / "out"));
        } else {
            window.push_back(RunWindow(inputs, work / "out"));
            cli.push_back(RunCli(inputs, work / "out", work / "cli.log"));
        }
    }
    const double c = Median(cli);
    const double w = Median(window);
    std::printf("tessara-cli combine: median %.3f s\n", c);
    std::printf("main window (log hidden): median %.3f s\n", w);
    std::printf("the job in this process without windows: median %.3f s\n", Median(bare));
    std::printf("ratio window / cli: %.3f (target <= 1.1)\n", w / c);
    fs::remove_all(work);
    return 0;
}
