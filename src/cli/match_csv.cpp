#include "cli/match_csv.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "base/file_output.h"
#include "base/printable_text.h"

namespace q3d::cli {
namespace {

constexpr size_t kFieldQuoteBytes = 40;
constexpr std::array<std::string_view, 4> kColumns = {"x1", "y1", "x2", "y2"};

std::string_view Trim(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t comma = line.find(',', start);
    fields.push_back(Trim(line.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string LinePrefix(int line) { return "line " + std::to_string(line) + ": "; }

// A field that is one whole finite number, nothing before or after it.
bool ParseCoordinate(std::string_view field, double& value) {
  if (field.empty()) return false;
  const std::string text(field);
  if (text.find('\0') != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

}  // namespace

std::optional<std::vector<CsvMatch>> ParseMatchCsv(std::string_view text, std::string& error) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());

  std::vector<CsvMatch> matches;
  std::map<std::array<double, 4>, int> firstLineOf;  // a repeated row would be a degenerate match
  bool headerSeen = false;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty()) continue;

    const std::vector<std::string_view> fields = SplitFields(line);
    if (!headerSeen) {
      bool isHeader = fields.size() == kColumns.size();
      for (size_t k = 0; isHeader && k < fields.size(); ++k) isHeader = fields[k] == kColumns[k];
      if (!isHeader) {
        error = LinePrefix(lineNumber) + "expected the header x1,y1,x2,y2";
        return std::nullopt;
      }
      headerSeen = true;
      continue;
    }
    if (fields.size() != kColumns.size()) {
      error = LinePrefix(lineNumber) + "expected 4 values x1,y1,x2,y2, found " +
              std::to_string(fields.size());
      return std::nullopt;
    }
    std::array<double, 4> values{};
    for (size_t k = 0; k < fields.size(); ++k) {
      if (!ParseCoordinate(fields[k], values[k])) {
        error = LinePrefix(lineNumber) + std::string(kColumns[k]) + " " +
                QuotedText(fields[k], kFieldQuoteBytes) + " is not a finite number";
        return std::nullopt;
      }
      if (values[k] < 0.0) {
        error = LinePrefix(lineNumber) + std::string(kColumns[k]) + " " +
                PrintableText(fields[k], kFieldQuoteBytes) + " is negative";
        return std::nullopt;
      }
    }
    const auto [first, added] = firstLineOf.emplace(values, lineNumber);
    if (!added) {
      error = LinePrefix(lineNumber) + "repeats the match of line " + std::to_string(first->second);
      return std::nullopt;
    }
    matches.push_back({values[0], values[1], values[2], values[3], lineNumber});
  }
  if (!headerSeen) {
    error = "the file is empty: expected the header x1,y1,x2,y2";
    return std::nullopt;
  }
  return matches;
}

std::optional<std::vector<CsvMatch>> ReadMatchCsv(const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  if (const Status read = ReadWholeFile(path, bytes); !read) {
    error = read.Reason();
    return std::nullopt;
  }
  const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string parseError;
  auto matches = ParseMatchCsv(content, parseError);
  if (!matches) error = path + ": " + parseError;
  return matches;
}

}  // namespace q3d::cli
