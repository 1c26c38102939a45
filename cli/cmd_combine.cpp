// The combine subcommand: placeholder until the combine job lands.
#include "cli/commands.h"

namespace tessara::cli {

void RegisterCombine(CLI::App& /*app*/, std::vector<Command>& /*commands*/) {}

} // namespace tessara::cli
