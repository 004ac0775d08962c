#pragma once
// Runs the built quorvan3d-cli with arguments and collects its exit status and output.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace q3d::test {

struct CliRun {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs the tool with the words as its arguments; stdout and stderr go through files in
// scratch (which must exist). A run still going at the time-out is killed and fails the test.
CliRun RunCli(const std::vector<std::string>& words, const std::filesystem::path& scratch,
              std::chrono::seconds timeout = std::chrono::seconds(120));

// Number of lines of the text (a final line without a newline counts).
int LineCount(const std::string& text);

}  // namespace q3d::test
