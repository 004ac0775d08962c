#pragma once
// What a command is to the dispatcher: its declared options and a function that runs it
// and returns either a result (for text and JSON output) or a one-line failure.
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/json_value.h"

namespace q3d::cli {

struct CommandResult {
  bool ok = true;
  std::string error;                     // one line, when not ok
  JsonValue json = JsonValue::Object{};  // printed with --json
  std::vector<std::string> text;         // printed otherwise, one entry per line
  std::vector<std::string> warnings;     // printed on stderr in either case
};

CommandResult Failure(const std::string& message);

// Messages of the core may span lines ("Error: Invalid format\n<why>"): the tool reports
// every failure on one line.
std::string OneLine(const std::string& message);

// The newest error record of the core as a one-line message, or fallback when the
// stack is empty. The record is popped.
std::string PopErrorMessage(const std::string& fallback);

struct Command {
  CommandSpec spec;
  CommandResult (*run)(const ParsedArguments& arguments);
};

// Every command, in the order the tool's help lists them.
const std::vector<Command>& AllCommands();

}  // namespace q3d::cli
