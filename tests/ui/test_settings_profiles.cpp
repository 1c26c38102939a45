// Job profiles between the window and the command line: the same settings
// record and the same outputs either way, and every setting reaching its
// control.
#include "combine/api/settings_profile.h"
#include "tests/support/every_setting.h"
#include "tests/ui/ui_test_support.h"
#include "ui/processing_log.h"
#include "ui/range_spin_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace tessara::test
{
namespace
{

/// The settings `path` holds over the window's defaults.
CombineSettings Profile(const std::string& path)
{
    CombineSettings s;
    (void)LoadSettingsProfile(path, s); // a refused profile leaves the defaults: no match
    return s;
}

/// Two records alike in every setting of the table.
bool SameSettings(const CombineSettings& a, const CombineSettings& b)
{
    return SettingsProfileText(a) == SettingsProfileText(b);
}

} // namespace

class TestSettingsProfiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<TempDir>(); }
    void cleanup()
    {
        // The other tests' windows start from the defaults.
        StoredState().remove("profiles/last");
        m_dir.reset();
    }

    void cli_profile_opened_in_the_window_gives_the_cli_outputs();
    void window_profile_given_to_the_cli_gives_the_window_outputs();
    void every_setting_reaches_its_control_and_restore_defaults_undoes_it();
    void a_refused_last_profile_is_logged_and_the_defaults_used();

private:
    /// Runs the window's job on its list into `dir`/window and the command
    /// line's with --settings `profile` on the same list into `dir`/cli;
    /// true when both wrote the same files, byte for byte.
    bool SameOutputs(WindowUnderTest& ui, const std::string& profile);
    [[nodiscard]] std::string File(const char* name) const { return m_dir->File(name); }

    std::unique_ptr<TempDir> m_dir;
};

bool TestSettingsProfiles::SameOutputs(WindowUnderTest& ui, const std::string& profile)
{
    Form1& w = *ui.window;
    const QStringList inputs = w.InputFiles();
    const fs::path windowOut = m_dir->Path() / "window";
    const fs::path cliOut = m_dir->Path() / "cli";
    fs::create_directories(windowOut);
    ui.prompts->directory = QString::fromStdString(windowOut.string());
    QTest::mouseClick(w.button1, Qt::LeftButton);
    if (w.label_status->text() != "Done...." || !ui.prompts->messages.isEmpty())
        return false;
    std::string command = std::string("\"") + TESSARA_CLI + "\" combine --settings \"" + profile +
                          "\" -o \"" + cliOut.string() + "\"";
    for (const QString& path : inputs)
        command += " \"" + path.toStdString() + "\"";
    command += " >/dev/null";
    if (std::system(command.c_str()) != 0)
        return false;
    const std::vector<std::string> names = FileNames(cliOut);
    if (names.empty() || FileNames(windowOut) != names)
        return false;
    for (const std::string& name : names)
        if (ReadAll(cliOut / name) != ReadAll(windowOut / name))
            return false;
    return true;
}

void TestSettingsProfiles::cli_profile_opened_in_the_window_gives_the_cli_outputs()
{
    const std::string profile = File("cli.toml");
    const std::string command = std::string("\"") + TESSARA_CLI +
                                "\" combine --file-gap 1 --data-type CHIRP --time-correction 30 "
                                "--no-delay-scan --sampling-frequency 9000 --save-settings \"" +
                                profile + "\"";
    QCOMPARE(std::system(command.c_str()), 0);
    WindowUnderTest ui;
    Form1& w = *ui.window;
    QVERIFY(LoadTwoFileSurvey(w, *ui.prompts, m_dir->Path()));
    ui.prompts->file = QString::fromStdString(profile);
    w.action_open_settings->trigger();
    QVERIFY2(ui.prompts->messages.isEmpty(), qPrintable(ui.prompts->messages.join('\n')));
    QVERIFY(SameSettings(w.Settings(), Profile(profile)));
    QCOMPARE(w.InputFiles().size(), 2); // a profile holds no inputs
    QVERIFY(SameOutputs(ui, profile));
}

void TestSettingsProfiles::window_profile_given_to_the_cli_gives_the_window_outputs()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    QVERIFY(LoadTwoFileSurvey(w, *ui.prompts, m_dir->Path()));
    w.comboBox_Expedition->setEditText("W 7");
    w.numericUpDown_file_gap->setValue(1);
    QTest::mouseClick(w.checkBox_make_null_traces, Qt::LeftButton);
    w.numericUpDown_timecorrection->setValue(7200);
    // Saved without a suffix, the profile is given its own.
    ui.prompts->file = QString::fromStdString(File("window"));
    w.action_save_settings->trigger();
    QVERIFY2(ui.prompts->messages.isEmpty(), qPrintable(ui.prompts->messages.join('\n')));
    const std::string profile = File("window.toml");
    QVERIFY(SameSettings(Profile(profile), w.Settings()));
    QVERIFY(SameOutputs(ui, profile));
    // Opened again at the next start.
    WindowUnderTest next;
    QCOMPARE(next.window->comboBox_Expedition->currentText(), QString("W 7"));
    QVERIFY(SameSettings(next.window->Settings(), w.Settings()));
    QCOMPARE(next.window->label_status->text(), "Settings from " + QString::fromStdString(profile));
}

void TestSettingsProfiles::every_setting_reaches_its_control_and_restore_defaults_undoes_it()
{
    const std::string profile = File("every.toml");
    const CombineSettings every = EverySettingChanged();
    QCOMPARE(SaveSettingsProfile(every, profile), std::string());
    WindowUnderTest ui;
    Form1& w = *ui.window;
    ui.prompts->file = QString::fromStdString(profile);
    w.action_open_settings->trigger();
    QVERIFY2(SameSettings(w.Settings(), every), SettingsProfileText(w.Settings()).c_str());
    w.action_restore_defaults->trigger();
    QVERIFY(SameSettings(w.Settings(), CombineSettings{}));
    QVERIFY(!StoredState().contains("profiles/last"));
}

void TestSettingsProfiles::a_refused_last_profile_is_logged_and_the_defaults_used()
{
    const std::string bad = File("bad.toml");
    std::ofstream(bad) << "file_gap = 30\nmax_file_size = 0\n";
    StoredState().setValue("profiles/last", QString::fromStdString(bad));
    WindowUnderTest ui;
    QVERIFY(ui.window->plog->Text().contains(
        QString::fromStdString(bad + ":2: max_file_size: 0 not in 1..2000")));
    QVERIFY(SameSettings(ui.window->Settings(), CombineSettings{}));
}

QObject* NewSettingsProfilesTest()
{
    return new TestSettingsProfiles;
}

} // namespace tessara::test

#include "test_settings_profiles.moc"
