#pragma once
// Reading matches from a CSV file: a header line "x1,y1,x2,y2", then one match per line
// in 0-based pixel coordinates of image 1 and image 2.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q3d::cli {

struct CsvMatch {
  double x1 = 0.0;
  double y1 = 0.0;
  double x2 = 0.0;
  double y2 = 0.0;
  int line = 0;  // 1-based line of the file, for messages about the match
};

// Parses the text of a match file. Blank lines are skipped; Windows line ends and a
// UTF-8 byte-order mark are accepted. On failure returns nothing and sets error to
// "line N: ..." (the caller adds the file name).
std::optional<std::vector<CsvMatch>> ParseMatchCsv(std::string_view text, std::string& error);

// Reads and parses the file; errors read "FILE: line N: ..." or "FILE: cannot be read".
std::optional<std::vector<CsvMatch>> ReadMatchCsv(const std::string& path, std::string& error);

}  // namespace q3d::cli
