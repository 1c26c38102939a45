// tessara-cli: the command-line front end over the core libraries.
#include "cli/commands.h"

#include <gsl/gsl_errno.h>

#include <csignal>
#include <iostream>
#include <new>

namespace
{

// Output that never reached its reader (a full disk, a closed pipe) is a
// failure like any other; a command that failed already keeps its own code.
int WithStandardOutputChecked(int code)
{
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && std::cout.good() && std::ferror(stdout) == 0)
        return code;
    std::cerr << "tessara-cli: cannot write standard output\n";
    return code == tessara::cli::kExitOk ? tessara::cli::kExitFailure : code;
}

// Memory that cannot be had ends a command with one line, like any other
// failure; the file it was writing beside its name is removed as the stack
// unwinds.
int RunReportingMemory(const tessara::cli::Command& command)
{
    try {
        return command.run();
    } catch (const std::bad_alloc&) {
        std::cerr << "tessara-cli: out of memory\n";
        return tessara::cli::kExitFailure;
    }
}

} // namespace

int main(int argc, char** argv)
{
    // GSL must report errors as status codes, never abort the process.
    gsl_set_error_handler_off();
    // A file-size limit must show as a failed write that the command
    // reports, with its partial file removed, not end the process silently.
    (void)std::signal(SIGXFSZ, SIG_IGN);

    CLI::App app{"Tessara: order, repair and combine marine SEG-Y survey files", "tessara-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tessara-cli " TESSARA_VERSION, "Print the version and exit");
    // Every command's options on one page: the man page is generated from it.
    app.set_help_all_flag("--help-all", "Print the help of every command and exit");
    std::vector<tessara::cli::Command> commands;
    tessara::cli::RegisterInfo(app, commands);
    tessara::cli::RegisterCopy(app, commands);
    tessara::cli::RegisterHeaders(app, commands);
    tessara::cli::RegisterCombine(app, commands);
    tessara::cli::RegisterScan(app, commands);
    tessara::cli::RegisterNav(app, commands);
    tessara::cli::RegisterSection(app, commands);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return WithStandardOutputChecked(app.exit(e));
    } catch (const CLI::CallForAllHelp& e) {
        return WithStandardOutputChecked(app.exit(e));
    } catch (const CLI::CallForVersion& e) {
        return WithStandardOutputChecked(app.exit(e));
    } catch (const CLI::ParseError& e) {
        // One line, like every other error; usage errors have one exit code.
        std::cerr << "tessara-cli: " << e.what() << '\n';
        return tessara::cli::kExitUsage;
    }
    for (const auto& command : commands) {
        if (!command.app->parsed())
            continue;
        // An empty value is always a slip ("--log $LOG" with LOG unset).
        for (const CLI::Option* option : command.app->get_options()) {
            for (const std::string& value : option->results()) {
                if (value.empty() && option->get_expected_min() > 0) {
                    std::cerr << "tessara-cli: " << option->get_name() << ": empty value\n";
                    return tessara::cli::kExitUsage;
                }
            }
        }
        return WithStandardOutputChecked(RunReportingMemory(command));
    }
    return tessara::cli::kExitUsage;
}
