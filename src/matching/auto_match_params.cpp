#include "matching/auto_match_params.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace q3d {
namespace {

struct FieldTraits {
  const char* label;
  SliderRange range;
  int defaultPosition;
};

FieldTraits Traits(AutoMatchField field) {
  switch (field) {
    case AutoMatchField::kPoints: return {"Points", {0, 1000}, 100};
    case AutoMatchField::kGaussianSize: return {"Gaussian size", {0, 10}, 1};
    case AutoMatchField::kGaussianDev: return {"Gaussian dev", {0, 50}, 7};
    case AutoMatchField::kRelativeMinimum: return {"Relative minimum", {0, 10}, 4};
    case AutoMatchField::kWindowWidth: return {"Window width", {0, 15}, 3};
    case AutoMatchField::kWindowHeight: return {"Window height", {0, 15}, 3};
    case AutoMatchField::kThreshold: return {"Threshold", {0, 10}, 4};
    case AutoMatchField::kWidthFactor: return {"Width factor", {0, 10}, 4};
  }
  return {"", {0, 0}, 0};
}

int OddSize(int p) { return 2 * p + 1; }
// p / 10.0 rather than 0.1 * p: 7 must give exactly 0.7.
double Tenths(int p) { return p / 10.0; }
double InverseTenthPower(int p) { return 1.0 / std::pow(10.0, p); }

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string FormatUnsigned(int32_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

const char* AutoMatchFieldLabel(AutoMatchField field) { return Traits(field).label; }

SliderRange AutoMatchSliderRange(AutoMatchField field) { return Traits(field).range; }

int AutoMatchDefaultSliderPosition(AutoMatchField field) { return Traits(field).defaultPosition; }

void SetFromSlider(AutoMatchParams& params, AutoMatchField field, int position) {
  const SliderRange range = AutoMatchSliderRange(field);
  const int p = std::clamp(position, range.min, range.max);
  switch (field) {
    case AutoMatchField::kPoints: params.points = p; break;
    case AutoMatchField::kGaussianSize: params.gaussianSize = OddSize(p); break;
    case AutoMatchField::kGaussianDev: params.gaussianDev = Tenths(p); break;
    case AutoMatchField::kRelativeMinimum: params.relativeMinimum = InverseTenthPower(p); break;
    case AutoMatchField::kWindowWidth: params.windowWidth = OddSize(p); break;
    case AutoMatchField::kWindowHeight: params.windowHeight = OddSize(p); break;
    case AutoMatchField::kThreshold: params.threshold = Tenths(p); break;
    case AutoMatchField::kWidthFactor: params.widthFactor = p; break;
  }
}

int SliderPositionOf(const AutoMatchParams& params, AutoMatchField field) {
  const SliderRange range = AutoMatchSliderRange(field);
  int best = range.min;
  double bestDistance = INFINITY;
  for (int p = range.min; p <= range.max; ++p) {
    AutoMatchParams probe = params;
    SetFromSlider(probe, field, p);
    double distance = 0.0;
    switch (field) {
      case AutoMatchField::kPoints: distance = std::abs(probe.points - params.points); break;
      case AutoMatchField::kGaussianSize:
        distance = std::abs(probe.gaussianSize - params.gaussianSize);
        break;
      case AutoMatchField::kGaussianDev:
        distance = std::abs(probe.gaussianDev - params.gaussianDev);
        break;
      case AutoMatchField::kRelativeMinimum:  // compared in decades
        distance = std::abs(std::log10(probe.relativeMinimum) -
                            std::log10(std::max(params.relativeMinimum, 1e-300)));
        break;
      case AutoMatchField::kWindowWidth:
        distance = std::abs(probe.windowWidth - params.windowWidth);
        break;
      case AutoMatchField::kWindowHeight:
        distance = std::abs(probe.windowHeight - params.windowHeight);
        break;
      case AutoMatchField::kThreshold: distance = std::abs(probe.threshold - params.threshold); break;
      case AutoMatchField::kWidthFactor:
        distance = std::abs(probe.widthFactor - params.widthFactor);
        break;
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = p;
    }
  }
  return best;
}

std::string FormatAutoMatchValue(const AutoMatchParams& params, AutoMatchField field) {
  switch (field) {
    case AutoMatchField::kPoints: return FormatUnsigned(params.points);
    case AutoMatchField::kGaussianSize: return FormatUnsigned(params.gaussianSize);
    case AutoMatchField::kGaussianDev: return Format("%3.1f", params.gaussianDev);
    case AutoMatchField::kRelativeMinimum: return Format("%f", params.relativeMinimum);
    case AutoMatchField::kWindowWidth: return FormatUnsigned(params.windowWidth);
    case AutoMatchField::kWindowHeight: return FormatUnsigned(params.windowHeight);
    case AutoMatchField::kThreshold: return Format("%3.1f", params.threshold);
    case AutoMatchField::kWidthFactor: return FormatUnsigned(params.widthFactor);
  }
  return {};
}

}  // namespace q3d
