// Helpers of the window tests: a main window with scripted prompts, surveys
// written by the generator, and the test classes run by test_main.cpp.
#pragma once

#include "tests/support/temp_dir.h"
#include "tests/ui/scripted_prompts.h"
#include "ui/form1.h"

#include <QObject>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tessara::test
{

/// A main window whose choosers and message boxes the test answers; its
/// program directory and configuration folder are `programDirectory` and
/// `configDirectory` (empty: no site lists).
struct WindowUnderTest {
    explicit WindowUnderTest(const QString& programDirectory = {},
                             const QString& configDirectory = {});
    CScriptedPrompts* prompts; ///< owned by the window
    std::unique_ptr<Form1> window;
};

/// A file of `traces` traces, one channel, written by the survey generator;
/// digitizerChannel (byte 180) carries `channel` when given.
std::string WriteSurveyFile(const std::filesystem::path& dir, int traces, int channel = 0);

/// Loads the two files of a small generated survey, written under
/// `dir`/in, into `window`, whose folder chooser answers `dir`/out. False
/// when the survey could not be written.
bool LoadTwoFileSurvey(Form1& window, CScriptedPrompts& prompts, const std::filesystem::path& dir);

/// The named controls in the order Tab visits them from `first`, as many as
/// `names` holds, leaving out the parts inside one of `names` (the line edit
/// of a spin box or combo box) and widgets that take no tab focus.
QStringList TabChain(QWidget& first, const QStringList& names);

/// Reads a whole file.
std::string ReadAll(const std::filesystem::path& path);

/// The names of the files in `dir`, sorted.
std::vector<std::string> FileNames(const std::filesystem::path& dir);

// The test classes, each in its own file.
QObject* NewForm1Test();
QObject* NewProcessingOptionsTest();
QObject* NewLogHelpTest();
QObject* NewSpeedChartTest();
QObject* NewWindowJobTest();
QObject* NewJobSummaryTest();
QObject* NewDesktopTest();
QObject* NewViewerTest();
QObject* NewSettingsProfilesTest();

} // namespace tessara::test
