#include "tests/ui/ui_test_support.h"

#include "tools/synth/synth_survey.h"

#include <QtTest>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tessara::test
{

WindowUnderTest::WindowUnderTest(const QString& programDirectory, const QString& configDirectory)
{
    auto scripted = std::make_unique<CScriptedPrompts>();
    prompts = scripted.get();
    window = std::make_unique<Form1>(programDirectory, configDirectory, std::move(scripted));
    // Shown, so that the layout gives every control its place for the clicks.
    window->show();
    (void)QTest::qWaitForWindowExposed(window.get());
}

std::string WriteSurveyFile(const std::filesystem::path& dir, int traces, int channel)
{
    synth::SurveyOptions o;
    o.outDir = dir;
    o.fileCount = 1;
    o.tracesPerFile = traces;
    o.samplesPerTrace = 16;
    o.clockGlitchTrace = 0; // no glitch is asked for, but its trace must exist
    if (channel != 0) {
        o.channelField = synth::ChannelField::DigitizerChannel;
        o.firstChannel = channel;
    }
    const synth::SurveyResult result = synth::WriteSurvey(o);
    if (!result.ok || result.files.size() != 1) {
        qWarning("survey not written: %s", result.error.c_str());
        return {};
    }
    return result.files.front().path.string();
}

bool LoadTwoFileSurvey(Form1& window, CScriptedPrompts& prompts, const std::filesystem::path& dir)
{
    synth::SurveyOptions o = synth::DemoSurveyOptions(dir / "in");
    o.samplesPerTrace = 50;
    o.fileCount = 2;
    const synth::SurveyResult survey = synth::WriteSurvey(o);
    if (!survey.ok)
        return false;
    std::filesystem::create_directories(dir / "out");
    for (const synth::SynthFile& f : survey.files)
        window.AppendInputFiles({QString::fromStdString(f.path.string())});
    prompts.directory = QString::fromStdString((dir / "out").string());
    return true;
}

QStringList TabChain(QWidget& first, const QStringList& names)
{
    QStringList seen;
    QWidget* w = &first;
    for (int guard = 0; guard < 500 && seen.size() < names.size(); ++guard) {
        const bool part =
            w->parentWidget() != nullptr && names.contains(w->parentWidget()->objectName());
        if (!part && !w->objectName().isEmpty() && (w->focusPolicy() & Qt::TabFocus) &&
            !seen.contains(w->objectName()))
            seen << w->objectName();
        w = w->nextInFocusChain();
    }
    return seen;
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FileNames(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tessara::test
