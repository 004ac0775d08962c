#pragma once
// The commands of the tool, one source file each.
#include "cli/command.h"

namespace q3d::cli {

Command NewCommand();
Command MatchCommand();
Command RenderCommand();
Command ExportCommand();
Command SnapCommand();
Command InfoCommand();
Command ScaleCommand();

}  // namespace q3d::cli
