// quorvan3d-cli: the project commands without the GUI, for batch work and scripts.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "base/build_version.h"
#include "base/diagnostics.h"
#include "base/error_stack.h"
#include "base/printable_text.h"
#include "base/progress.h"
#include "cli/command.h"
#include "cli/terminal_progress.h"

namespace {

using q3d::cli::AllCommands;
using q3d::cli::Command;
using q3d::cli::CommandResult;

constexpr const char* kToolName = "quorvan3d-cli";
constexpr size_t kMaxMessageBytes = 2000;

std::string ToolHelp() {
  std::string text = std::string("Usage: ") + kToolName + " COMMAND [OPTIONS]\n\n" +
                     "Builds, renders and exports Quorvan 3D projects without the GUI.\n\n" +
                     "Commands:\n";
  for (const Command& command : AllCommands()) {
    std::string name = "  " + command.spec.name;
    name.resize(12, ' ');
    const std::string& summary = command.spec.summary;
    const size_t stop = summary.find(". ");
    text += name + (stop == std::string::npos ? summary : summary.substr(0, stop + 1)) + "\n";
  }
  text += std::string("\n") + kToolName +
          " --version prints the version and the commit it was built from.\n" +
          "Every command takes --json (one JSON object on stdout), --verbose "
          "(numeric diagnostics on stderr) and --help.\n" +
          "Exit status: 0 on success, 1 with a one-line message on stderr on any failure.\n" +
          "Run '" + kToolName + " COMMAND --help' for the options of a command.\n";
  return text;
}

int Fail(const std::string& message) {
  // The last guard: whatever a message quotes, the terminal gets one line of printable text.
  std::fprintf(stderr, "%s: %s\n", kToolName,
               q3d::PrintableText(q3d::cli::OneLine(message), kMaxMessageBytes).c_str());
  return 1;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : AllCommands())
    if (command.spec.name == name) return &command;
  return nullptr;
}

void Print(const CommandResult& result, bool json) {
  if (json) {
    std::printf("%s\n", result.json.Dump().c_str());
    return;
  }
  for (const std::string& line : result.text)
    std::printf("%s\n", q3d::PrintableText(line, kMaxMessageBytes).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) {
    std::fputs(ToolHelp().c_str(), stderr);
    return 1;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    std::fputs(ToolHelp().c_str(), stdout);
    return 0;
  }
  if (words[0] == "--version") {
    std::printf("%s %s\n", kToolName, q3d::VersionText().c_str());
    return 0;
  }
  const Command* command = FindCommand(words[0]);
  if (!command) return Fail("unknown command '" + words[0] + "' (see " + kToolName + " --help)");

  std::string error;
  const auto arguments = q3d::cli::ParseArguments(
      command->spec, std::span<const std::string>(words).subspan(1), error);
  if (!arguments) return Fail(error);
  if (arguments->Has(q3d::cli::kHelpOption)) {
    std::fputs(q3d::cli::FormatCommandHelp(command->spec).c_str(), stdout);
    return 0;
  }

  if (arguments->Has(q3d::cli::kVerboseOption))
    q3d::SetDiagnosticSink([](const std::string& line) {
      std::fprintf(stderr, "%s%s", line.c_str(), !line.empty() && line.back() == '\n' ? "" : "\n");
    });
  q3d::SetProgressFactory(&q3d::cli::MakeTerminalProgressIfInteractive);
  q3d::SetErrorPresenter([](const q3d::ErrorRecord& record) { Fail(record.Message()); });

  CommandResult result;
  try {
    result = command->run(*arguments);
  } catch (const std::bad_alloc&) {
    return Fail("Error: Out of memory");
  } catch (const std::exception& e) {
    return Fail(std::string("internal error: ") + e.what());
  }
  if (!result.ok) return Fail(result.error);
  for (const std::string& warning : result.warnings)
    std::fprintf(stderr, "%s: warning: %s\n", kToolName, warning.c_str());
  Print(result, arguments->Has(q3d::cli::kJsonOption));
  return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the result to stdout");
}
