#pragma once
// The model's size in millimetres: the user gives the real distance between two matched
// points (the pupils, two dots), and every export is scaled by it.
#include <cstdint>
#include <string>

#include "base/result.h"

namespace q3d {

class CStereoPair;

// Real distances outside this range are typing errors, not faces.
constexpr double kSmallestScaleMm = 1e-6;
constexpr double kLargestScaleMm = 1e9;

struct MetricScale {
  int32_t match1 = -1;  // identifiers of the two matches (CMatch::m_id)
  int32_t match2 = -1;
  double millimetres = 0;  // their real distance; 0 when no scale is set
  bool IsSet() const { return millimetres > 0; }
};

// Millimetres per model unit for the pair's current render, or the reason there is none
// (matches gone, points not triangulated, points at the same place).
Result<double> MillimetresPerUnit(CStereoPair& pair, const MetricScale& scale);

// Checks and sets the scale from two match identifiers and a distance; leaves the scale
// unchanged when they do not give one.
Status SetMetricScale(CStereoPair& pair, int32_t match1, int32_t match2, double millimetres,
                      MetricScale& scale);

}  // namespace q3d
