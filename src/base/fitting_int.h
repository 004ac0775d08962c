#pragma once
// Computed sizes and coordinates become integers only when they fit: converting a double
// that is not finite or lies beyond int's range is undefined behaviour.
#include <optional>

namespace q3d {

// The value truncated toward zero, when the result is an int.
inline std::optional<int> FittingInt(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace q3d
