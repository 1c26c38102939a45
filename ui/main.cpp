// tessara: the desktop application. Files named on the command line (as a
// file manager's "Open with" passes them) are loaded into the input list;
// --help and --version answer without a window. Exit code 0.
#include "ui/form1.h"

#include <gsl/gsl_errno.h>

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>
#include <cstring>

namespace
{

constexpr const char* kHelp =
    "Usage: tessara [--help | --version | FILE...]\n"
    "The desktop application of Tessara: orders the SEG-Y files of a survey by\n"
    "recording time and combines them into a few composite SEG-Y files, with the\n"
    "same job as tessara-cli combine. The files are loaded, the options set and\n"
    "the output folder chosen in the window; \"Help\" shows the help pages.\n"
    "SEG-Y files named on the command line are loaded into the input list.\n"
    "\n"
    "Options:\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

// Exit code 1 when the text did not reach its reader (a full disk, a closed pipe).
int Print(const char* text)
{
    return std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the application object exists, so that they work
    // without a display (man pages are generated from them at build time).
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return Print("tessara " TESSARA_VERSION "\n");
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
        return Print(kHelp);
    // GSL failures are status codes checked where they arise, never an abort.
    (void)gsl_set_error_handler_off();
    QApplication app(argc, argv);
    QApplication::setApplicationName("tessara");
    QApplication::setApplicationVersion(TESSARA_VERSION);
    tessara::Form1 window(QApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    window.AppendInputFiles(tessara::CommandLineFiles(QApplication::arguments()));
    window.show();
    (void)QApplication::exec();
    return 0;
}
