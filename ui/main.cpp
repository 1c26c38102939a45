// tessara: the desktop application. Files named on the command line (as a
// file manager's "Open with" passes them) are loaded into the input list;
// exit code 0.
#include "ui/form1.h"

#include <gsl/gsl_errno.h>

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char* argv[])
{
    // GSL failures are status codes checked where they arise, never an abort.
    (void)gsl_set_error_handler_off();
    QApplication app(argc, argv);
    QApplication::setApplicationName("tessara");
    tessara::Form1 window(QApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    window.AppendInputFiles(tessara::CommandLineFiles(QApplication::arguments()));
    window.show();
    (void)QApplication::exec();
    return 0;
}
