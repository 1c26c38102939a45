// The main window as a desktop application: where the folder chooser opens,
// the question before writing among inputs or earlier composites, the keys,
// command-line files, what is remembered between runs, and the preview that
// follows the list.
#include "combine/api/output_directory.h"
#include "tests/ui/ui_test_support.h"
#include "ui/job_summary.h"
#include "ui/processing_help.h"
#include "ui/processing_log.h"
#include "ui/processing_options.h"
#include "ui/range_spin_box.h"

#include <QAbstractButton>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace tessara::test
{

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        QSettings(QSettings::IniFormat, QSettings::UserScope, "tessara", "tessara").clear();
    }
    void cleanup() { m_dir.reset(); }

    void folder_chooser_opens_at_home_then_at_the_last_output_folder();
    void output_folder_question_data();
    void output_folder_question();
    void answering_no_runs_no_job();
    void keys_data();
    void keys();
    void escape_closes_and_enter_presses_in_the_child_windows();
    void mnemonics_are_unique_in_the_main_window();
    void about_box_names_version_licence_and_libraries();
    void command_line_files_data();
    void command_line_files();
    void folders_and_sizes_are_remembered_but_not_settings();
    void restored_window_fits_its_screen();
    void status_line_shortens_a_long_text();
    void load_filter_lists_segy_names_data();
    void load_filter_lists_segy_names();
    void preview_names_its_file_and_follows_the_selection();

private:
    [[nodiscard]] QString Dir(const char* name) const
    {
        fs::create_directories(m_dir->Path() / name);
        return QString::fromStdString((m_dir->Path() / name).string());
    }

    std::unique_ptr<TempDir> m_dir;
};

void TestDesktop::folder_chooser_opens_at_home_then_at_the_last_output_folder()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    const QString input = QString::fromStdString(WriteSurveyFile(m_dir->Path() / "in", 5));
    w.AppendInputFiles({input});
    ui.prompts->directory = Dir("out");
    QTest::mouseClick(w.button1, Qt::LeftButton);
    // Not the inputs' folder, though it is the only one the window knows.
    QCOMPARE(ui.prompts->directoryStarts.value(0), QDir::homePath());
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(ui.prompts->directoryStarts.value(1), Dir("out"));
}

void TestDesktop::output_folder_question_data()
{
    QTest::addColumn<QString>("where");     // the output folder: "in" or "out"
    QTest::addColumn<QString>("composite"); // a file put there first, or none
    QTest::addColumn<QStringList>("named"); // what the question names; empty: no question

    const QString sameTime = "Choose Expedition_255_1735_to_255_1736.sgy";
    QTest::newRow("input in the folder") << "in" << QString() << QStringList{"a.sgy"};
    QTest::newRow("earlier composite over the same time")
        << "out" << sameTime << QStringList{sameTime};
    QTest::newRow("earlier composite, corrected and renumbered")
        << "out"
        << "Choose Expedition_255_1700_to_255_1735_SC4.9m_2.sgy"
        << QStringList{"Choose Expedition_255_1700_to_255_1735_SC4.9m_2.sgy"};
    QTest::newRow("composite of another day")
        << "out"
        << "Choose Expedition_100_1735_to_100_1800.sgy" << QStringList{};
    QTest::newRow("composite of another expedition")
        << "out"
        << "25042_255_1735_to_255_1736.sgy" << QStringList{};
    QTest::newRow("neither") << "out" << QString() << QStringList{};
}

void TestDesktop::output_folder_question()
{
    QFETCH(QString, where);
    QFETCH(QString, composite);
    QFETCH(QStringList, named);
    // The generator's first ping is on day 255 at 17:35.
    const fs::path input = WriteSurveyFile(m_dir->Path() / "in", 5);
    fs::rename(input, m_dir->Path() / "in" / "a.sgy");
    const QString folder = Dir(where.toUtf8().constData());
    if (!composite.isEmpty())
        std::ofstream(fs::path(folder.toStdString()) / composite.toStdString()) << "x";

    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles({QString::fromStdString((m_dir->Path() / "in" / "a.sgy").string())});
    ui.prompts->directory = folder;
    ui.prompts->answer = true;
    QTest::mouseClick(w.button1, Qt::LeftButton);
    if (named.isEmpty()) {
        QVERIFY2(ui.prompts->questions.isEmpty(), qPrintable(ui.prompts->questions.join('\n')));
    } else {
        QCOMPARE(ui.prompts->questions.size(), 1);
        for (const QString& name : named)
            QVERIFY2(ui.prompts->questions[0].contains("\n    " + name + "\n"),
                     qPrintable(ui.prompts->questions[0]));
    }
    // Answered yes, or nothing to ask: the job ran.
    QVERIFY(w.SummaryWindow() != nullptr);
}

void TestDesktop::answering_no_runs_no_job()
{
    const QString input = QString::fromStdString(WriteSurveyFile(m_dir->Path() / "in", 5));
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles({input});
    ui.prompts->directory = Dir("in");
    ui.prompts->answer = false;
    QTest::mouseClick(w.button1, Qt::LeftButton);
    QCOMPARE(ui.prompts->questions.size(), 1);
    QCOMPARE(FileNames(m_dir->Path() / "in").size(), std::size_t{1});
    QCOMPARE(w.label_status->text(), QString("..."));
    QVERIFY(w.SummaryWindow() == nullptr);
}

void TestDesktop::keys_data()
{
    QTest::addColumn<QString>("focus"); // object name of the widget that has the focus
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("effect");
    QTest::newRow("F1") << "listBox_input_segy_files" << int(Qt::Key_F1) << 0 << "help shown";
    QTest::newRow("Delete") << "listBox_input_segy_files" << int(Qt::Key_Delete) << 0
                            << "rows 1 and 3 removed";
    QTest::newRow("Enter") << "button3" << int(Qt::Key_Return) << 0 << "log shown";
    QTest::newRow("keypad Enter") << "button3" << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                  << "log shown";
    QTest::newRow("Alt+L") << "listBox_input_segy_files" << int(Qt::Key_L) << int(Qt::AltModifier)
                           << "file chooser asked";
    QTest::newRow("Alt+O") << "listBox_input_segy_files" << int(Qt::Key_O) << int(Qt::AltModifier)
                           << "log shown";
    QTest::newRow("Ctrl+O") << "comboBox_Expedition" << int(Qt::Key_O) << int(Qt::ControlModifier)
                            << "file chooser asked";
    QTest::newRow("Ctrl+Q") << "listBox_input_segy_files" << int(Qt::Key_Q)
                            << int(Qt::ControlModifier) << "window closed";
    // Delete in a text box deletes text, never list entries.
    QTest::newRow("Delete elsewhere")
        << "comboBox_Expedition" << int(Qt::Key_Delete) << 0 << "nothing";
}

void TestDesktop::keys()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, effect);
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles({"/d/0.sgy", "/d/1.sgy", "/d/2.sgy", "/d/3.sgy"});
    w.listBox_input_segy_files->item(1)->setSelected(true);
    w.listBox_input_segy_files->item(3)->setSelected(true);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QWidget* target = w.findChild<QWidget*>(focus);
    QVERIFY(target != nullptr);
    target->setFocus();
    QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));

    // A mnemonic presses its button as a click does, after the press shows.
    QTRY_COMPARE(w.plog->isVisible(), effect == "log shown");
    QTRY_COMPARE(ui.prompts->fileTitles.size(), effect == "file chooser asked" ? 1 : 0);
    QCOMPARE(w.phelp->isVisible(), effect == "help shown");
    QCOMPARE(w.isVisible(), effect != "window closed");
    const QStringList left = effect == "rows 1 and 3 removed"
                                 ? QStringList{"/d/0.sgy", "/d/2.sgy"}
                                 : QStringList{"/d/0.sgy", "/d/1.sgy", "/d/2.sgy", "/d/3.sgy"};
    QCOMPARE(w.InputFiles(), left);
}

void TestDesktop::escape_closes_and_enter_presses_in_the_child_windows()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles({"/d/0.sgy"});
    QTest::mouseClick(w.button2, Qt::LeftButton);
    QTest::mouseClick(w.button_help, Qt::LeftButton);
    QVERIFY(w.popts->isVisible() && w.phelp->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(w.popts));
    w.popts->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.popts));
    QTest::keyClick(w.popts->button1, Qt::Key_Escape);
    QVERIFY(!w.popts->isVisible());
    QVERIFY(w.phelp->isVisible());
    w.phelp->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.phelp));
    QTest::keyClick(w.phelp, Qt::Key_Escape);
    QVERIFY(!w.phelp->isVisible());
    QVERIFY(w.isVisible()); // Escape in a child never closes the main window

    // Enter presses the focused button in the child windows too.
    QTest::mouseClick(w.button2, Qt::LeftButton);
    QVERIFY(w.popts->isVisible());
    w.popts->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.popts));
    w.popts->button2->setFocus();
    QTest::keyClick(w.popts->button2, Qt::Key_Return);
    QVERIFY(!w.popts->isVisible());
}

void TestDesktop::mnemonics_are_unique_in_the_main_window()
{
    WindowUnderTest ui;
    QMap<QString, QString> owners; // mnemonic -> the caption that has it
    int count = 0;
    for (QWidget* w : ui.window->findChildren<QWidget*>()) {
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        else if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->buddy())
            text = label->text();
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (key.isEmpty())
            continue;
        ++count;
        QVERIFY2(!owners.contains(key.toString()),
                 qPrintable(key.toString() + ": " + owners.value(key.toString()) + " and " + text));
        owners.insert(key.toString(), text);
    }
    QVERIFY(count >= 20); // the command buttons and most setting captions
}

void TestDesktop::about_box_names_version_licence_and_libraries()
{
    WindowUnderTest ui;
    QVERIFY(ui.window->AboutWindow() == nullptr);
    QTest::mouseClick(ui.window->button_about, Qt::LeftButton);
    QWidget* about = ui.window->AboutWindow();
    QVERIFY(about != nullptr && about->isVisible());
    QVERIFY(!about->isModal()); // the main window stays usable
    const QString text = AboutText();
    for (const QString& part : {QString("Tessara Ver 1.0"),
                                QString("GNU General Public License"),
                                "Qt " + QString(qVersion())})
        QVERIFY2(text.contains(part), qPrintable(part));

        // Every library the program needs at run time, as the loader sees it,
        // is named with its version; the C and C++ runtimes are the system's.
        // A debug build (the sanitizers') links more than the package does.
#ifndef NDEBUG
    QSKIP("a debug build's libraries are not the package's");
#endif
    QProcess readelf;
    readelf.start("readelf", {"-d", TESSARA_GUI});
    QVERIFY(readelf.waitForFinished() && readelf.exitCode() == 0);
    const QMap<QString, QString> names = {{"libQt6Charts", "Qt Charts"},
                                          {"libQt6Core", "Qt"},
                                          {"libQt6Gui", "Qt"},
                                          {"libQt6Widgets", "Qt"},
                                          {"libfftw3", "FFTW"},
                                          {"libgsl", "GNU Scientific Library"},
                                          {"libgslcblas", "GNU Scientific Library"},
                                          {"libGeographicLib", "GeographicLib"},
                                          {"libtomlplusplus", "toml++"},
                                          {"libstdc++", ""},
                                          {"libm", ""},
                                          {"libgcc_s", ""},
                                          {"libc", ""}};
    auto needed = QRegularExpression(R"(\(NEEDED\).*\[(.*)\.so)")
                      .globalMatch(QString::fromLocal8Bit(readelf.readAllStandardOutput()));
    while (needed.hasNext()) {
        const QString library = needed.next().captured(1);
        QVERIFY2(names.contains(library), qPrintable(library + " is linked and not known here"));
        QVERIFY2(names[library].isEmpty() ||
                     text.contains(QRegularExpression(
                         "\\n    " + QRegularExpression::escape(names[library]) + " [0-9]+\\.")),
                 qPrintable(library));
    }
}

void TestDesktop::command_line_files_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("none") << QStringList{"tessara"} << QStringList{};
    QTest::newRow("paths in order")
        << QStringList{"tessara", "/a/2.sgy", "b.sgy"} << QStringList{"/a/2.sgy", "b.sgy"};
    QTest::newRow("options are not files")
        << QStringList{"tessara", "--version", "-platform", "/a/1.sgy"}
        << QStringList{"offscreen_is_not_here", "/a/1.sgy"}.mid(1);
    QTest::newRow("after --, a dash name is a file")
        << QStringList{"tessara", "--", "-odd.sgy"} << QStringList{"-odd.sgy"};
    QTest::newRow("file URL") << QStringList{"tessara", "file:///a/b%20c.sgy"}
                              << QStringList{"/a/b c.sgy"};
}

void TestDesktop::command_line_files()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QCOMPARE(CommandLineFiles(arguments), files);
}

void TestDesktop::folders_and_sizes_are_remembered_but_not_settings()
{
    const QString input = QString::fromStdString(WriteSurveyFile(m_dir->Path() / "in", 5));
    {
        WindowUnderTest ui;
        Form1& w = *ui.window;
        ui.prompts->files = {input};
        QTest::mouseClick(w.button_load_segy, Qt::LeftButton);
        w.resize(760, 640);
        w.plog->resize(420, 310);
        w.numericUpDown_file_gap->setValue(33);
        QVERIFY(w.close());
    }
    WindowUnderTest ui;
    Form1& w = *ui.window;
    QTest::mouseClick(w.button_load_segy, Qt::LeftButton);
    QCOMPARE(ui.prompts->fileStarts.value(0),
             QString::fromStdString((m_dir->Path() / "in").string()));
    QCOMPARE(w.size(), QSize(760, 640)); // within the offscreen screen's 800 x 800
    QCOMPARE(w.plog->size(), QSize(420, 310));
    QCOMPARE(w.Settings().file_gap, 60);
    QVERIFY(w.InputFiles().isEmpty());
}

void TestDesktop::load_filter_lists_segy_names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");           // by Qt's own chooser, in any letter case
    QTest::addColumn<bool>("listedCaseByCase"); // by a desktop chooser that matches case by case
    QTest::newRow("segy") << "line1.segy" << true << true;
    QTest::newRow("SyQwest seg") << "0001_255_1735.seg" << true << true;
    QTest::newRow("upper case") << "LINE1.SGY" << true << true;
    QTest::newRow("mixed case") << "Line1.Sgy" << true << false;
    QTest::newRow("sgy inside the name") << "line1.sgy.txt" << false << false;
}

void TestDesktop::load_filter_lists_segy_names()
{
    QFETCH(QString, name);
    QFETCH(bool, listed);
    QFETCH(bool, listedCaseByCase);
    WindowUnderTest ui;
    QTest::mouseClick(ui.window->button_load_segy, Qt::LeftButton);
    // The first of "Name (patterns);;...", which the chooser preselects.
    const QStringList patterns =
        ui.prompts->fileFilters.value(0).section(";;", 0, 0).section('(', 1).chopped(1).split(' ');
    const auto matches = [&](Qt::CaseSensitivity cs) {
        return std::any_of(patterns.begin(), patterns.end(), [&](const QString& p) {
            return QRegularExpression::fromWildcard(p, cs).match(name).hasMatch();
        });
    };
    QCOMPARE(matches(Qt::CaseInsensitive), listed);
    QCOMPARE(matches(Qt::CaseSensitive), listedCaseByCase);
}

void TestDesktop::restored_window_fits_its_screen()
{
    {
        WindowUnderTest ui;
        ui.window->setGeometry(300, 200, 2000, 1280);
        ui.window->SaveWindowState();
    }
    WindowUnderTest ui;
    ui.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(ui.window.get()));
    const QRect area = ui.window->screen()->availableGeometry(); // the offscreen 800 x 800
    QVERIFY(area.contains(ui.window->frameGeometry()));
}

void TestDesktop::status_line_shortens_a_long_text()
{
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int width = w.width();
    const QString text = "Input file = /survey/" + QString(200, 'x') + ".sgy : reading trace 120";
    w.label_status->setText(text);
    (void)w.label_status->grab(); // paints it, as the next repaint would
    QCOMPARE(w.width(), width);
    QCOMPARE(w.label_status->toolTip(), text);
    w.label_status->setText("Done....");
    (void)w.label_status->grab();
    QVERIFY(w.label_status->toolTip().isEmpty());
}

void TestDesktop::preview_names_its_file_and_follows_the_selection()
{
    const QString first = QString::fromStdString(WriteSurveyFile(m_dir->Path() / "a", 40));
    const QString second = QString::fromStdString(WriteSurveyFile(m_dir->Path() / "b", 7));
    WindowUnderTest ui;
    Form1& w = *ui.window;
    w.AppendInputFiles({first, second});
    QTest::mouseClick(w.button2, Qt::LeftButton);
    QTest::mouseClick(w.popts->button1, Qt::LeftButton);
    QCOMPARE(w.popts->dataGridView1->rowCount(), 40);
    QCOMPARE(w.popts->label_input_file->text(), "Showing " + first);
    w.listBox_input_segy_files->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(w.popts->input_file(), second);
    QCOMPARE(w.popts->dataGridView1->rowCount(), 7);
    QCOMPARE(w.popts->label_input_file->text(), "Showing " + second);
    // Hidden, it does not scan on every click in the list.
    QTest::mouseClick(w.popts->button2, Qt::LeftButton);
    w.listBox_input_segy_files->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(w.popts->input_file(), second);
}

QObject* NewDesktopTest()
{
    return new TestDesktop;
}

} // namespace tessara::test

#include "test_desktop.moc"
