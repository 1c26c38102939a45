// tessara-cli: the command-line front end over the core libraries.
#include "cli/commands.h"

#include <gsl/gsl_errno.h>

#include <iostream>

int main(int argc, char** argv)
{
    // GSL must report errors as status codes, never abort the process.
    gsl_set_error_handler_off();

    CLI::App app{"Tessara: order, repair and combine marine SEG-Y survey files", "tessara-cli"};
    app.require_subcommand(1);
    std::vector<tessara::cli::Command> commands;
    tessara::cli::RegisterInfo(app, commands);
    tessara::cli::RegisterCopy(app, commands);
    tessara::cli::RegisterHeaders(app, commands);
    tessara::cli::RegisterCombine(app, commands);
    tessara::cli::RegisterScan(app, commands);
    tessara::cli::RegisterNav(app, commands);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
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
        return command.run();
    }
    return tessara::cli::kExitUsage;
}
