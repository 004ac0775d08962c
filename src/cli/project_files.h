#pragma once
// Opening and saving the project a command works on, with one-line failure messages.
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace q3d {
class CProjectDoc;
}

namespace q3d::cli {

// Loads the project; on failure returns the message (the document is left empty).
std::optional<std::string> OpenProject(CProjectDoc& doc, const std::string& path);

// Saves through a temporary file renamed over the path, so that a failure leaves any
// earlier file as it was. Returns the message on failure.
std::optional<std::string> SaveProjectSafely(CProjectDoc& doc, const std::string& path);

// A message when the output is the same file as one of the inputs (same device and inode,
// whatever the names): writing it would destroy that input.
struct NamedInput {
  const char* role;  // "image 1", "the match file", ...
  std::string path;
};
std::optional<std::string> RefuseOutputOntoInput(const std::string& output,
                                                 const std::vector<NamedInput>& inputs);

// The -o path when given, otherwise the input project itself.
std::string OutputPathOr(const ParsedArguments& arguments, const std::string& input);

inline const OptionSpec kOutputProjectOption{"--output", "-o", "OUT.qvp",
                                             "write the result here instead of over the project"};

}  // namespace q3d::cli
