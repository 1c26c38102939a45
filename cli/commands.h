// Subcommands of tessara-cli. Each Register function adds its subcommand to
// the app and returns the action to run when that subcommand was given.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace tessara::cli
{

/// Exit codes of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
/// The user stopped the job (SIGINT or SIGTERM); what was written is complete.
constexpr int kExitStopped = 130;

struct Command {
    CLI::App* app;
    std::function<int()> run;
};

void RegisterInfo(CLI::App& app, std::vector<Command>& commands);
void RegisterCopy(CLI::App& app, std::vector<Command>& commands);
void RegisterHeaders(CLI::App& app, std::vector<Command>& commands);
void RegisterCombine(CLI::App& app, std::vector<Command>& commands);
void RegisterScan(CLI::App& app, std::vector<Command>& commands);
void RegisterNav(CLI::App& app, std::vector<Command>& commands);
void RegisterSection(CLI::App& app, std::vector<Command>& commands);

} // namespace tessara::cli
