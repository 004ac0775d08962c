#pragma once
// The real distance between two matched points, which puts the model and its exports in
// millimetres. Matches are named by their number in the project's match list (from 1),
// as the user sees them.
#include <optional>
#include <string>

#include "base/result.h"
#include "project/project_doc.h"

namespace q3d {

// Sets the real distance between the matches numbered first and second; the project is
// then modified. A failure says why and changes nothing.
Status SetRealDistance(CProjectDoc& doc, int first, int second, double millimetres);
// Removes the real distance: exports go back to the model's own units.
void ClearRealDistance(CProjectDoc& doc);

struct RealDistanceState {
  int first = 0;  // the matches' numbers, 0 when one of them is gone
  int second = 0;
  double millimetres = 0;
  Result<double> mmPerUnit = Status::Fail("No real distance is set.");
};
// The real distance as it stands, or nothing when none is set.
std::optional<RealDistanceState> CurrentRealDistance(CProjectDoc& doc);

}  // namespace q3d
