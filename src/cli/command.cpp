#include "cli/command.h"

#include "base/error_stack.h"

namespace q3d::cli {

CommandResult Failure(const std::string& message) {
  CommandResult result;
  result.ok = false;
  result.error = OneLine(message);
  return result;
}

std::string OneLine(const std::string& message) {
  std::string line;
  for (const char c : message) {
    if (c == '\n' || c == '\r') {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      if (!line.empty() && line.back() != ':' && line.back() != '.') line += ':';
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == ':')) line.pop_back();
  return line;
}

std::string PopErrorMessage(const std::string& fallback) {
  if (ErrorCount() == 0) return fallback;
  const std::string message = PopError(true).Message();
  return message.empty() ? fallback : message;
}

}  // namespace q3d::cli
