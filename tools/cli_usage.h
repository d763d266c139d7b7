// Help and usage texts of the zarnocrypt tool.
#pragma once

#include <optional>
#include <string>

#include "cli_arguments.h"

namespace zarnocrypt::cli {

// Full help: of one command, or of the whole tool without one.
std::string HelpText(std::optional<Command> command);

// The short text that follows a usage error on standard error.
std::string UsageText(std::optional<Command> command);

}  // namespace zarnocrypt::cli
