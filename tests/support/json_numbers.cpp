#include "support/json_numbers.h"

#include <cctype>
#include <cstdlib>

namespace q3d::test {

std::vector<double> JsonNumbersOf(const std::string& json, const std::string& key) {
  std::vector<double> numbers;
  size_t at = json.find("\"" + key + "\"");
  if (at == std::string::npos) return numbers;
  at = json.find(':', at);
  if (at == std::string::npos) return numbers;
  int depth = 0;
  for (++at; at < json.size(); ++at) {
    const char c = json[at];
    if (c == '[') {
      ++depth;
    } else if (c == ']') {
      if (--depth <= 0) break;
    } else if (c == ',' || c == '}') {
      if (depth == 0) break;
    } else if (c == '-' || c == '.' || std::isdigit(static_cast<unsigned char>(c))) {
      const char* start = json.c_str() + at;
      char* end = nullptr;
      numbers.push_back(std::strtod(start, &end));
      at += static_cast<size_t>(end - start) - 1;
      if (depth == 0) break;
    }
  }
  return numbers;
}

}  // namespace q3d::test
