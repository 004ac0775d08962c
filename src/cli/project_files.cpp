#include "cli/project_files.h"

#include <filesystem>

#include "base/error_stack.h"
#include "base/file_output.h"
#include "cli/command.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

std::string NamingPath(const std::string& message, const std::string& path) {
  const std::string line = OneLine(message);
  return line.find(path) == std::string::npos ? path + ": " + line : line;
}

}  // namespace

std::optional<std::string> OpenProject(CProjectDoc& doc, const std::string& path) {
  std::error_code ec;
  // A directory opens as a stream of undefined length: refuse it before reading.
  if (std::filesystem::is_directory(path, ec)) return path + ": is a directory, not a project file";
  const Status loaded = doc.LoadProject(path);
  if (loaded) return std::nullopt;
  ClearErrors();  // the message is in the status; keep the stack clean
  return NamingPath(loaded.Reason(), path);
}

std::optional<std::string> SaveProjectSafely(CProjectDoc& doc, const std::string& path) {
  const Status saved = doc.SaveProject(path);
  if (saved) return std::nullopt;
  ClearErrors();
  return NamingPath(saved.Reason(), path);
}

std::optional<std::string> RefuseOutputOntoInput(const std::string& output,
                                                 const std::vector<NamedInput>& inputs) {
  for (const NamedInput& input : inputs)
    if (IsSameFile(output, input.path))
      return output + ": is " + input.role + " of this command; writing it would destroy " +
             input.role + " (choose another output file)";
  return std::nullopt;
}

std::string OutputPathOr(const ParsedArguments& arguments, const std::string& input) {
  return arguments.Value("--output").value_or(input);
}

}  // namespace q3d::cli
