#pragma once
// Parameters of automatic matching, as the Automatic Matching dialog and the command-line
// tool set them: each field is driven by an integer slider position, shown in a value
// label with its own format, and has a default with the slider position that gives it.
//
// How each value enters the procedure (automatic_matching.h):
//   points             most skin-texture corners per image (0: make-up dots only); the dots
//                      are all found whatever their number
//   gaussianSize/Dev   the Gaussian that smooths the image before differentiation and
//                      integrates the corner response, and smooths before the dark-dot search
//   relativeMinimum    corners whose response is below this fraction of the strongest dropped
//   windowWidth/Height correlation window of corners (and of the sub-pixel refinement); a
//                      dot's window is this one widened by six dot radii, the dot left out
//   threshold          least zero-mean normalised correlation of a match, in both passes
//   widthFactor        search region: within widthFactor tenths of the image's width and
//                      height of the feature's own position (0: the same position only)
#include <array>
#include <cstdint>
#include <string>

#include "stereo/dot_centre.h"

namespace q3d {

struct AutoMatchParams {
  int32_t points = 100;
  int32_t gaussianSize = 3;
  double gaussianDev = 0.7;
  double relativeMinimum = 0.0001;
  int32_t windowWidth = 7;
  int32_t windowHeight = 7;
  double threshold = 0.4;
  int32_t widthFactor = 4;
  // Not a dialog field: how the dots' centres are found, as the application's setting for
  // points placed on dots gives it.
  DotCentring dotCentring = DotCentring::kPrecise;
};

// The fields in the dialog's order (groups: feature extraction, correlation, matching).
enum class AutoMatchField : int {
  kPoints,
  kGaussianSize,
  kGaussianDev,
  kRelativeMinimum,
  kWindowWidth,
  kWindowHeight,
  kThreshold,
  kWidthFactor,
};

inline constexpr std::array<AutoMatchField, 8> kAutoMatchFields = {
    AutoMatchField::kPoints,      AutoMatchField::kGaussianSize, AutoMatchField::kGaussianDev,
    AutoMatchField::kRelativeMinimum, AutoMatchField::kWindowWidth, AutoMatchField::kWindowHeight,
    AutoMatchField::kThreshold,   AutoMatchField::kWidthFactor,
};

struct SliderRange {
  int min = 0;
  int max = 0;
};

// Row label of the field in the dialog ("Points", "Gaussian size", ...).
const char* AutoMatchFieldLabel(AutoMatchField field);
// Positions the field's slider can take; each contains the default position.
SliderRange AutoMatchSliderRange(AutoMatchField field);
// The slider position that gives the field's default: 100, 1, 7, 4, 3, 3, 4, 4.
int AutoMatchDefaultSliderPosition(AutoMatchField field);

// Stores the value of slider position p (clamped to the slider's range) in the field:
// p, 2p + 1, p / 10, 1 / 10^p, 2p + 1, 2p + 1, p / 10, p.
void SetFromSlider(AutoMatchParams& params, AutoMatchField field, int position);
// The slider position whose value is nearest the field's current value (for showing a
// record that was kept from an earlier use).
int SliderPositionOf(const AutoMatchParams& params, AutoMatchField field);
// The value label text: unsigned integers, "%3.1f" for the deviation and the threshold,
// "%f" for the relative minimum.
std::string FormatAutoMatchValue(const AutoMatchParams& params, AutoMatchField field);

}  // namespace q3d
