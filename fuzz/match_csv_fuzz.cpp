// libFuzzer target: any text handed to the match-file parser gives finite matches or one
// printable line naming the fault.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/printable_text.h"
#include "cli/match_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto matches =
      q3d::cli::ParseMatchCsv(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (matches) {
    for (const q3d::cli::CsvMatch& m : *matches)
      if (!std::isfinite(m.x1 + m.y1 + m.x2 + m.y2)) std::abort();
  } else if (error.empty() || q3d::PrintableText(error, error.size() + 1) != error) {
    std::abort();
  }
  return 0;
}
