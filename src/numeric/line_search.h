#pragma once
// Step-length interpolation and the mixed quadratic/cubic line search of the least-squares
// engine. Each line search keeps three samples (step lengths MATX, objective values MATL);
// index 0 of the arrays is the first sample.
#include <array>
#include <string>

namespace q3d {

using LineSamples = std::array<double, 3>;

// Minimiser of the cubic through (0, fold) and (step, fnew) with slopes gold and gnew.
double cubici1(double fnew, double fold, double gnew, double gold, double step);

// Minimiser of the cubic with slope gold at 0 through the three samples (matx, matl).
double cubici2(double gold, const LineSamples& matl, const LineSamples& matx);

struct CubicMinimum {
  double stepmin = 0;
  double fbest = 0;
};
// Minimiser and predicted minimum of the cubic of cubici1's data.
CubicMinimum cubici3(double fnew, double fold, double gnew, double gold, double step);

// Minimiser of the parabola through three samples.
double quadi(const LineSamples& x, const LineSamples& y);

struct LineSearchState {
  int PCNT = 0;  // phase 0..4; 0 ends the search
  LineSamples MATL{};
  LineSamples MATX{};
  double step = 0;
  double fnew = 0;
  std::string how;
};

// One step of the line search: takes the objective value fnew reached at state.step and
// updates the phase, the samples and the next step length. GDOLD is the directional
// derivative at the start of the search.
void searchq(LineSearchState& state, double GDOLD);

}  // namespace q3d
