#pragma once
// Starting calibrations for a fit with known focal lengths: the essential matrix of each
// candidate fundamental matrix under those focal lengths, in all four of its
// decompositions (camera 2's centre negated, and camera 2 turned half a turn about the
// baseline). Noise or a wrong match can make the reconstruction's sign test pick the
// wrong one; the fit decides between them instead.
#include <array>
#include <vector>

#include "numeric/match_support.h"
#include "numeric/matrix.h"

namespace q3d {

// F = A1^-T [t]x R A2^-1 of a calibration, in centred coordinates (m1' F m2 = 0).
Matrix3 FundamentalOf(const Calibration& c);

// The four decompositions of the calibration's essential matrix.
std::array<Calibration, 4> Decompositions(const Calibration& c);

// For each candidate F (centred coordinates), the reconstruction with focal lengths f1, f2
// and those of its four decompositions that put at least half the matches in front of
// both cameras. Candidates that give no reconstruction are skipped.
std::vector<Calibration> EssentialStarts(const Matrix& m1, const Matrix& m2,
                                         const std::vector<Matrix3>& candidates, double f1,
                                         double f2);

}  // namespace q3d
