#include "cli/commands.h"

namespace q3d::cli {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      NewCommand(),  MatchCommand(), RenderCommand(), ExportCommand(),
      SnapCommand(), InfoCommand(),  ScaleCommand(),
  };
  return commands;
}

}  // namespace q3d::cli
