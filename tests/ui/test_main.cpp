// Runs every window test class in one binary on the offscreen platform.
#include "tests/ui/ui_test_support.h"

#include <gsl/gsl_errno.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

int main(int argc, char* argv[])
{
    // GSL failures are status codes checked where they arise, never an abort.
    (void)gsl_set_error_handler_off();
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    // Remembered folders and window sizes go to a folder of this run only.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    int failed = 0;
    for (auto make : {tessara::test::NewForm1Test,
                      tessara::test::NewProcessingOptionsTest,
                      tessara::test::NewLogHelpTest,
                      tessara::test::NewSpeedChartTest,
                      tessara::test::NewWindowJobTest,
                      tessara::test::NewJobSummaryTest,
                      tessara::test::NewDesktopTest,
                      tessara::test::NewViewerTest,
                      tessara::test::NewSettingsProfilesTest}) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
